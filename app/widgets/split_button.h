// A command button with a drop-arrow part at its right edge: the main part
// runs the command, the arrow part opens the command's panel. The button
// remembers whether the last left press landed on the arrow part.
#ifndef QUILLON_APP_WIDGETS_SPLIT_BUTTON_H
#define QUILLON_APP_WIDGETS_SPLIT_BUTTON_H

#include <QAbstractButton>
#include <QFont>
#include <QPixmap>
#include <QString>

namespace quillon {

class SplitButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kWidth = 72;
    static constexpr int kHeight = 54;
    static constexpr int kArrowWidth = 13;

    SplitButton(int commandId, const QString &caption, QWidget *parent = nullptr);

    int commandId() const { return commandId_; }
    void setIconPixmap(const QPixmap &pixmap);
    // The arrow part can be off while the main part works; its tool tip
    // then says why.
    void setArrowEnabled(bool enabled, const QString &toolTip = {});
    bool arrowEnabled() const { return arrowEnabled_; }
    void setHasArrow(bool has);
    bool hasArrow() const { return hasArrow_; }
    bool arrowFlag() const { return arrowFlag_; }
    void setArrowFlag(bool flag) { arrowFlag_ = flag; }
    void setMainToolTip(const QString &toolTip) { mainToolTip_ = toolTip; }

    // Where the caption is drawn and in which font: the band under the
    // icon across the whole button, the font stepped down from 11 pixels
    // until the caption fits the band.
    QRect captionRect() const;
    QFont captionFont() const;

    QSize sizeHint() const override { return {kWidth, kHeight}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void mainClicked(int commandId);
    void arrowClicked(int commandId);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool hitButton(const QPoint &position) const override;

private:
    bool onArrow(const QPoint &position) const;
    void dispatchClick();

    int commandId_;
    QPixmap icon_;
    bool arrowEnabled_ = true;
    bool hasArrow_ = true;
    bool arrowFlag_ = false;
    bool hovered_ = false;
    QString arrowToolTip_;
    QString mainToolTip_;
};

} // namespace quillon

#endif
