#include "shell/status_panes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

namespace quillon {

namespace {

constexpr int kHeight = 24;
constexpr int kGap = 2;
constexpr int kMinMessageWidth = 150;

// Fixed widths of panes 1-11; pane 0 takes what is left.
constexpr std::array<int, pane::kCount> kWidths{0, 26, 26, 78, 100, 96, 128, 64, 52, 44, 50, 196};

// Small captions drawn at the left of the value panes.
const char *valueCaption(int index) {
    switch (index) {
    case pane::kIntegration:
        return "IT";
    case pane::kTimeAverage:
        return "AV";
    case pane::kBinning:
        return "BN";
    case pane::kSmoothing:
        return "FF";
    default:
        return nullptr;
    }
}

const QColor kIdleText(118, 122, 130);
const QColor kIdleBack(226, 228, 232);
const QColor kValueBack(252, 252, 252);

} // namespace

CStatusPanes::CStatusPanes(QWidget *parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    font_.setFamilies({"Courior Bold", "Courier New", "DejaVu Sans Mono", "Monospace"});
    font_.setStyleHint(QFont::TypeWriter);
    font_.setBold(true);
    font_.setItalic(true);
    font_.setPixelSize(12);
    for (int i = 0; i < pane::kCount; ++i) {
        panes_[static_cast<std::size_t>(i)].width = kWidths[static_cast<std::size_t>(i)];
    }
    colours_[pane::kSource] = {Qt::white, QColor(0, 122, 86), QColor(40, 30, 0),
                               QColor(255, 196, 0)};
    colours_[pane::kDark] = {Qt::white, QColor(58, 62, 72), kIdleText, kIdleBack};
    colours_[pane::kReference] = {QColor(40, 40, 0), QColor(232, 220, 40), kIdleText, kIdleBack};
    colours_[pane::kMode] = {Qt::white, QColor(20, 70, 200), Qt::white, QColor(96, 104, 122)};
    for (int i = pane::kIntegration; i <= pane::kSmoothing; ++i) {
        colours_[static_cast<std::size_t>(i)] = {QColor(16, 24, 40), kValueBack, kIdleText,
                                                 kIdleBack};
    }
    colours_[pane::kFreeText] = {QColor(40, 44, 52), kValueBack, kIdleText, kIdleBack};
    restingMessage_ = "ORVANTIS";
    message_ = restingMessage_;
    setMinimumHeight(kHeight);
    layoutPanes();
}

QSize CStatusPanes::sizeHint() const {
    int width = kMinMessageWidth;
    for (int w : kWidths) {
        width += w + kGap;
    }
    return {width, kHeight};
}

QSize CStatusPanes::minimumSizeHint() const {
    return {kMinMessageWidth, kHeight};
}

void CStatusPanes::setMessage(const QString &text) {
    restingMessage_ = text;
    if (hovered_ < 0) {
        message_ = text;
        update(rects_[pane::kMessage]);
    }
}

void CStatusPanes::setLamp(int index, bool on) {
    Pane &p = panes_[static_cast<std::size_t>(index)];
    if (p.on != on) {
        p.on = on;
        update(rects_[static_cast<std::size_t>(index)]);
    }
}

bool CStatusPanes::lampOn(int index) const {
    return panes_[static_cast<std::size_t>(index)].on;
}

void CStatusPanes::setPane(int index, const QString &text, bool on) {
    Pane &p = panes_[static_cast<std::size_t>(index)];
    if (p.text != text || p.on != on) {
        p.text = text;
        p.on = on;
        update(rects_[static_cast<std::size_t>(index)]);
    }
}

QString CStatusPanes::paneText(int index) const {
    if (index == pane::kMessage) {
        return message_;
    }
    return panes_[static_cast<std::size_t>(index)].text;
}

bool CStatusPanes::paneOn(int index) const {
    return panes_[static_cast<std::size_t>(index)].on;
}

QRect CStatusPanes::paneRect(int index) const {
    return rects_[static_cast<std::size_t>(index)];
}

QString CStatusPanes::hoverText(int index) {
    switch (index) {
    case 1:
        return "Internal Triggering";
    case 2:
        return "External Triggering";
    case 3:
        return "Scan or Memory Mode";
    case 4:
        return "Dark scan";
    case 5:
        return "Reference scan";
    case 6:
        return "Application Mode";
    case 7:
        return "Click to adjust integration time";
    case 8:
        return "Click to adjust time average";
    case 9:
        return "Click to adjust binning average";
    case 10:
        return "Click to adjust FFT curve smoothing";
    case 11:
        return "Time of day the data was saved";
    default:
        return "Orvantis";
    }
}

void CStatusPanes::layoutPanes() {
    int fixed = 0;
    for (int i = 1; i < pane::kCount; ++i) {
        fixed += kWidths[static_cast<std::size_t>(i)] + kGap;
    }
    const int messageWidth = std::max(kMinMessageWidth, width() - fixed - kGap);
    int x = 0;
    for (int i = 0; i < pane::kCount; ++i) {
        const int w = i == 0 ? messageWidth : kWidths[static_cast<std::size_t>(i)];
        rects_[static_cast<std::size_t>(i)] = QRect(x, 1, w, height() - 2);
        x += w + kGap;
    }
}

void CStatusPanes::resizeEvent(QResizeEvent *event) {
    layoutPanes();
    QWidget::resizeEvent(event);
}

int CStatusPanes::paneAt(QPoint position) const {
    for (int i = 0; i < pane::kCount; ++i) {
        if (rects_[static_cast<std::size_t>(i)].contains(position)) {
            return i;
        }
    }
    return -1;
}

void CStatusPanes::showHover(int index) {
    hovered_ = index;
    message_ = index > 0 ? hoverText(index) : restingMessage_;
    if (index == 0) {
        hovered_ = -1;
    }
    update(rects_[pane::kMessage]);
}

void CStatusPanes::mouseMoveEvent(QMouseEvent *event) {
    const int index = paneAt(event->position().toPoint());
    if (index != hovered_) {
        showHover(index < 0 ? 0 : index);
    }
    QWidget::mouseMoveEvent(event);
}

void CStatusPanes::leaveEvent(QEvent *event) {
    showHover(0);
    QWidget::leaveEvent(event);
}

void CStatusPanes::mouseReleaseEvent(QMouseEvent *event) {
    const int index = paneAt(event->position().toPoint());
    if (index >= 0 && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        emit paneClicked(index, event->button());
    }
    QWidget::mouseReleaseEvent(event);
}

void CStatusPanes::drawLamp(QPainter &painter, const QRect &area, bool on, bool green) const {
    const QColor lit = green ? QColor(40, 220, 70) : QColor(240, 40, 30);
    const QColor dim = green ? QColor(40, 90, 50) : QColor(110, 40, 36);
    const qreal r = std::min(area.width(), area.height()) / 2.0 - 4.0;
    const QPointF c = QRectF(area).center();
    QRadialGradient glow(c + QPointF(-r / 3, -r / 3), r * 1.4);
    glow.setColorAt(0.0, on ? lit.lighter(170) : dim.lighter(140));
    glow.setColorAt(0.6, on ? lit : dim);
    glow.setColorAt(1.0, on ? lit.darker(140) : dim.darker(150));
    painter.setPen(QPen(QColor(60, 60, 66), 1));
    painter.setBrush(glow);
    painter.drawEllipse(c, r, r);
}

void CStatusPanes::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    for (int i = 0; i < pane::kCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const QRect &area = rects_[index];
        painter.setPen(QPen(QColor(170, 174, 182), 1));
        if (i == pane::kInternalLamp || i == pane::kExternalLamp) {
            painter.setBrush(QColor(236, 237, 240));
            painter.drawRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5));
            drawLamp(painter, area, panes_[index].on, i == pane::kExternalLamp);
            continue;
        }
        QColor text = palette().windowText().color();
        QColor back = palette().window().color();
        if (i != pane::kMessage) {
            const PaneColours &c = colours_[index];
            text = panes_[index].on ? c.onText : c.offText;
            back = panes_[index].on ? c.onBack : c.offBack;
        }
        painter.setBrush(back);
        painter.drawRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5));
        QRect textArea = area.adjusted(5, 0, -5, 0);
        if (const char *caption = valueCaption(i)) {
            QFont small = font();
            small.setPixelSize(9);
            painter.setFont(small);
            painter.setPen(QColor(130, 136, 150));
            painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, caption);
            textArea.setLeft(textArea.left() + 14);
        }
        painter.setFont(font_);
        painter.setPen(text);
        const Qt::Alignment align =
            i == pane::kMessage ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
        const QString shown = i == pane::kMessage ? message_ : panes_[index].text;
        painter.drawText(textArea, align,
                         painter.fontMetrics().elidedText(shown, Qt::ElideRight, textArea.width()));
    }
}

} // namespace quillon
