// The small floating panel of round buttons over the graph: zoom, x unit,
// stepping through the memory items, recording and deleting items. It only
// reports which button was pressed; the scope view runs the command.
#ifndef QUILLON_APP_SHELL_PLAYBACK_PANEL_H
#define QUILLON_APP_SHELL_PLAYBACK_PANEL_H

#include <QAbstractButton>
#include <QWidget>

#include <array>

namespace quillon {

namespace playback {
inline constexpr int kReset = 1;
inline constexpr int kZoomIn = 2;
inline constexpr int kZoomOut = 3;
inline constexpr int kPixelUnit = 4;
inline constexpr int kWavelengthUnit = 5;
inline constexpr int kWavenumberUnit = 6;
inline constexpr int kContinuousRewind = 7;
inline constexpr int kOneStepRewind = 8;
inline constexpr int kStop = 9;
inline constexpr int kOneStepForward = 10;
inline constexpr int kContinuousForward = 11;
inline constexpr int kRecordData = 12;
inline constexpr int kDeleteData = 13;
inline constexpr int kCount = 13;
} // namespace playback

// One round button: a letter, or arrows drawn as paths (fonts need not
// have arrow glyphs).
class RoundButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Face { Text, DoubleLeft, Left, Right, DoubleRight };
    static constexpr int kDiameter = 22;

    RoundButton(int id, Face face, const QString &text, QWidget *parent = nullptr);
    int commandId() const { return id_; }
    Face face() const { return face_; }
    QSize sizeHint() const override { return {kDiameter, kDiameter}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &position) const override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int id_;
    Face face_;
    bool hovered_ = false;
};

class CPlaybackPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kGap = 3;
    static constexpr int kMargin = 3;

    explicit CPlaybackPanel(QWidget *parent = nullptr);

    RoundButton *button(int id) const;
    // Puts the panel inside the top right corner of the parent's plot area
    // (`plotRight`, `plotTop`), clear of the titles above the plot.
    void placeInCorner(int plotRight, int plotTop);

signals:
    void commandChosen(int id);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::array<RoundButton *, playback::kCount> buttons_{};
};

} // namespace quillon

#endif
