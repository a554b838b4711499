// The main frame's status bar: twelve panes. Pane 0 carries the message
// text (and the hover text of the pane under the mouse), panes 1 and 2 the
// internal- and external-trigger lamps, panes 3-10 on/off texts in their
// colour pairs (or an alarm in the lamp's red), pane 11 free text. Clicks on panes are reported;
// what they do is the frame's business.
#ifndef QUILLON_APP_SHELL_STATUS_PANES_H
#define QUILLON_APP_SHELL_STATUS_PANES_H

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <array>

namespace quillon {

namespace pane {
inline constexpr int kMessage = 0;
inline constexpr int kInternalLamp = 1;
inline constexpr int kExternalLamp = 2;
inline constexpr int kSource = 3;
inline constexpr int kDark = 4;
inline constexpr int kReference = 5;
inline constexpr int kMode = 6;
inline constexpr int kIntegration = 7;
inline constexpr int kTimeAverage = 8;
inline constexpr int kBinning = 9;
inline constexpr int kSmoothing = 10;
inline constexpr int kFreeText = 11;
inline constexpr int kCount = 12;

// What the data-source pane shows while the current unit does not answer.
inline constexpr const char *kNoUnitText = "NO UNIT";
} // namespace pane

struct PaneColours {
    QColor onText;
    QColor onBack;
    QColor offText;
    QColor offBack;
};

struct PaneLook {
    QColor text;
    QColor back;
};

class CStatusPanes : public QWidget {
    Q_OBJECT

public:
    explicit CStatusPanes(QWidget *parent = nullptr);

    void setMessage(const QString &text);
    QString message() const { return message_; }
    void setLamp(int index, bool on);
    bool lampOn(int index) const;
    // Panes 3-11: the text and whether the on colours apply.
    void setPane(int index, const QString &text, bool on = true);
    // Panes 3-11: a text in the alarm colours, until the next setPane.
    void setPaneAlarm(int index, const QString &text);
    QString paneText(int index) const;
    bool paneOn(int index) const;
    bool paneAlarm(int index) const;
    // The colours a pane is drawn in now.
    PaneLook paneLook(int index) const;
    QRect paneRect(int index) const;
    // Where a pane's text goes, and in which font.
    QRect textRect(int index) const;
    QFont textFont(int index) const;
    static QString hoverText(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void paneClicked(int index, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    static constexpr int kMinMessageWidth = 60;

    struct Pane {
        QString text;
        bool on = false;
        bool alarm = false;
    };
    int paneWidth(int index) const;
    int minimumMessageWidth() const;
    int paneAt(QPoint position) const;
    void layoutPanes();
    void changePane(int index, const QString &text, bool on, bool alarm);
    void showHover(int index);
    void drawLamp(class QPainter &painter, const QRect &area, bool on, bool green) const;

    std::array<Pane, pane::kCount> panes_;
    std::array<PaneColours, pane::kCount> colours_;
    std::array<QRect, pane::kCount> rects_;
    QString message_;
    QString restingMessage_;
    int hovered_ = -1;
    QFont font_;
    QFont captionFont_;
    QFont messageFont_;
};

} // namespace quillon

#endif
