#include "widgets/split_button.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace quillon {

namespace {

const QColor kFace(240, 241, 243);
const QColor kHover(222, 232, 246);
const QColor kPressed(196, 214, 238);
const QColor kFrame(160, 170, 184);
const QColor kText(32, 36, 44);
const QColor kDisabledText(150, 154, 160);
constexpr int kCaptionHeight = 16;
constexpr int kCaptionBottom = 3; // caption band above the bottom edge
constexpr int kCaptionPixels = 11;
constexpr int kSmallestCaptionPixels = 9;

} // namespace

SplitButton::SplitButton(int commandId, const QString &caption, QWidget *parent)
    : QAbstractButton(parent), commandId_(commandId) {
    setText(caption);
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &SplitButton::dispatchClick);
}

QRect SplitButton::captionRect() const {
    return {3, height() - kCaptionBottom - kCaptionHeight, width() - 6, kCaptionHeight};
}

QFont SplitButton::captionFont() const {
    QFont caption = font();
    const QString shown = QString(text()).remove('&');
    for (int pixels = kCaptionPixels; pixels >= kSmallestCaptionPixels; --pixels) {
        caption.setPixelSize(pixels);
        if (QFontMetrics(caption).horizontalAdvance(shown) <= captionRect().width()) {
            break;
        }
    }
    return caption;
}

void SplitButton::setIconPixmap(const QPixmap &pixmap) {
    icon_ = pixmap;
    update();
}

void SplitButton::setArrowEnabled(bool enabled, const QString &toolTip) {
    arrowEnabled_ = enabled;
    arrowToolTip_ = toolTip;
    update();
}

void SplitButton::setHasArrow(bool has) {
    hasArrow_ = has;
    update();
}

bool SplitButton::onArrow(const QPoint &position) const {
    return hasArrow_ && position.x() >= width() - kArrowWidth;
}

bool SplitButton::hitButton(const QPoint &position) const {
    if (onArrow(position) && !arrowEnabled_) {
        return false;
    }
    return rect().contains(position);
}

void SplitButton::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        arrowFlag_ = onArrow(event->position().toPoint());
        if (arrowFlag_ && !arrowEnabled_) {
            event->ignore();
            return;
        }
    }
    QAbstractButton::mousePressEvent(event);
}

bool SplitButton::event(QEvent *event) {
    if (event->type() == QEvent::Shortcut) {
        arrowFlag_ = false; // a mnemonic runs the main part
    }
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip =
            onArrow(help->pos()) && !arrowToolTip_.isEmpty() ? arrowToolTip_ : mainToolTip_;
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return QAbstractButton::event(event);
}

void SplitButton::enterEvent(QEnterEvent *event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SplitButton::leaveEvent(QEvent *event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SplitButton::dispatchClick() {
    if (arrowFlag_) {
        emit arrowClicked(commandId_);
    } else {
        emit mainClicked(commandId_);
    }
}

void SplitButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool enabled = isEnabled();
    QColor face = kFace;
    if (enabled && isDown()) {
        face = kPressed;
    } else if (enabled && hovered_) {
        face = kHover;
    }
    painter.setPen(QPen(enabled && hovered_ ? QColor(90, 130, 190) : kFrame, 1));
    painter.setBrush(face);
    painter.drawRoundedRect(outer, 3, 3);

    const int mainWidth = hasArrow_ ? width() - kArrowWidth : width();
    if (!icon_.isNull()) {
        const qreal ratio = icon_.devicePixelRatio();
        const QSizeF size = QSizeF(icon_.size()) / ratio;
        const QPointF at((mainWidth - size.width()) / 2.0, 5.0);
        painter.setOpacity(enabled ? 1.0 : 0.35);
        painter.drawPixmap(at, icon_);
        painter.setOpacity(1.0);
    }
    // The caption runs under the arrow part too: 59 pixels beside the arrow
    // are too narrow for captions such as "Absorbance" or "TEC Control".
    const QRect caption = captionRect();
    painter.setFont(captionFont());
    painter.setPen(enabled ? kText : kDisabledText);
    painter.drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic, text());

    if (hasArrow_) {
        const int x = width() - kArrowWidth;
        painter.setPen(QPen(kFrame, 1));
        painter.drawLine(QPointF(x + 0.5, 6), QPointF(x + 0.5, caption.top() - 2));
        const bool arrowOn = enabled && arrowEnabled_;
        painter.setPen(Qt::NoPen);
        painter.setBrush(arrowOn ? kText : kDisabledText);
        const qreal cx = x + kArrowWidth / 2.0 + 0.5;
        const qreal cy = caption.top() / 2.0; // middle of the part above the caption
        QPainterPath triangle;
        triangle.moveTo(cx - 3.5, cy - 2);
        triangle.lineTo(cx + 3.5, cy - 2);
        triangle.lineTo(cx, cy + 2.5);
        triangle.closeSubpath();
        painter.drawPath(triangle);
    }
    if (hasFocus()) {
        painter.setPen(QPen(QColor(90, 130, 190), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(outer.adjusted(2, 2, -2, -2), 2, 2);
    }
}

} // namespace quillon
