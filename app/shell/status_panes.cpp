#include "shell/status_panes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>

namespace quillon {

namespace {

constexpr int kHeight = 24;
constexpr int kGap = 2;
constexpr int kPadding = 5; // text from a pane's left and right edges
constexpr int kCaptionGap = 3;
constexpr int kLampWidth = 26;
constexpr int kCaptionPixels = 9;
// Eleven pixels: at twelve the panes and the longest hover text do not fit
// side by side in a 1024-pixel window.
constexpr int kTextPixels = 11;

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

constexpr const char *kWidestStatistics = "B=65535.00 M=65535.00 R=65535.00 ";

// The widest texts each fixed pane shows; its width follows from the font
// (in a proportional fallback face the longest text need not be the widest).
QStringList widestTexts(int index) {
    switch (index) {
    case pane::kSource:
        return {"MEMORY", pane::kNoUnitText};
    case pane::kDark:
        return {"DARK READY"};
    case pane::kReference:
        return {"REF READY"};
    case pane::kMode:
        return {"TRANSMITTANCE"};
    case pane::kIntegration:
        return {"65535"};
    case pane::kTimeAverage:
        return {"1000"};
    case pane::kBinning:
        return {"10"};
    case pane::kSmoothing:
        return {"100"};
    default:
        // Pane 11 is at least as wide as a time stamp, wider for its text.
        return {"00/00/0000  00:00:00"};
    }
}

const QColor kIdleText(118, 122, 130);
// The internal-trigger lamp's lit red; a pane in alarm takes it, darkened
// so that white text on it stays readable.
const QColor kLampRed(240, 40, 30);
const QColor kAlarmText(Qt::white);
const QColor kAlarmBack = kLampRed.darker(125).toRgb();
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
    font_.setPixelSize(kTextPixels);
    captionFont_ = font();
    captionFont_.setPixelSize(kCaptionPixels);
    // The message pane and the free-text pane show the longest texts (hover
    // texts, statistics) in a plain face: the typewriter face would need a
    // tenth to a quarter more room, which a 1024-pixel window does not have.
    messageFont_ = font();
    messageFont_.setPixelSize(kTextPixels);
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

int CStatusPanes::paneWidth(int index) const {
    if (index == pane::kInternalLamp || index == pane::kExternalLamp) {
        return kLampWidth;
    }
    const QFontMetrics metrics(textFont(index));
    int text = 0;
    for (const QString &widest : widestTexts(index)) {
        text = std::max(text, metrics.horizontalAdvance(widest));
    }
    if (index == pane::kFreeText) {
        // Up to the widest statistics line; a longer free text is shortened.
        const int widest = metrics.horizontalAdvance(kWidestStatistics);
        text = std::clamp(metrics.horizontalAdvance(panes_[pane::kFreeText].text), text, widest);
    }
    int width = text + 2 * kPadding + 1;
    if (const char *caption = valueCaption(index)) {
        width += QFontMetrics(captionFont_).horizontalAdvance(caption) + kCaptionGap;
    }
    return width;
}

int CStatusPanes::minimumMessageWidth() const {
    const QFontMetrics metrics(messageFont_);
    int widest = metrics.horizontalAdvance(restingMessage_);
    for (int i = 0; i < pane::kCount; ++i) {
        widest = std::max(widest, metrics.horizontalAdvance(hoverText(i)));
    }
    return widest + 2 * kPadding + 1;
}

QSize CStatusPanes::sizeHint() const {
    int width = minimumMessageWidth();
    for (int i = 1; i < pane::kCount; ++i) {
        width += paneWidth(i) + kGap;
    }
    return {width, kHeight};
}

QSize CStatusPanes::minimumSizeHint() const {
    return sizeHint();
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
    changePane(index, text, on, false);
}

void CStatusPanes::setPaneAlarm(int index, const QString &text) {
    changePane(index, text, true, true);
}

void CStatusPanes::changePane(int index, const QString &text, bool on, bool alarm) {
    Pane &p = panes_[static_cast<std::size_t>(index)];
    if (p.text != text || p.on != on || p.alarm != alarm) {
        const bool widthMayChange = index == pane::kFreeText && p.text != text;
        p.text = text;
        p.on = on;
        p.alarm = alarm;
        if (widthMayChange) {
            layoutPanes();
            updateGeometry();
            update();
        } else {
            update(rects_[static_cast<std::size_t>(index)]);
        }
    }
}

QRect CStatusPanes::textRect(int index) const {
    QRect area = rects_[static_cast<std::size_t>(index)].adjusted(kPadding, 0, -kPadding, 0);
    if (const char *caption = valueCaption(index)) {
        area.setLeft(area.left() + QFontMetrics(captionFont_).horizontalAdvance(caption) +
                     kCaptionGap);
    }
    return area;
}

QFont CStatusPanes::textFont(int index) const {
    return index == pane::kMessage || index == pane::kFreeText ? messageFont_ : font_;
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

bool CStatusPanes::paneAlarm(int index) const {
    return panes_[static_cast<std::size_t>(index)].alarm;
}

PaneLook CStatusPanes::paneLook(int index) const {
    const auto i = static_cast<std::size_t>(index);
    if (index == pane::kMessage || index == pane::kInternalLamp || index == pane::kExternalLamp) {
        return {palette().windowText().color(), palette().window().color()};
    }
    if (panes_[i].alarm) {
        return {kAlarmText, kAlarmBack};
    }
    const PaneColours &c = colours_[i];
    return panes_[i].on ? PaneLook{c.onText, c.onBack} : PaneLook{c.offText, c.offBack};
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

// Panes 1-11 take the room their texts need, right-aligned; the message
// pane takes what is left.
void CStatusPanes::layoutPanes() {
    std::array<int, pane::kCount> widths{};
    int fixed = 0;
    for (int i = 1; i < pane::kCount; ++i) {
        widths[static_cast<std::size_t>(i)] = paneWidth(i);
        fixed += widths[static_cast<std::size_t>(i)] + kGap;
    }
    widths[pane::kMessage] = std::max(kMinMessageWidth, width() - fixed);
    int x = 0;
    for (int i = 0; i < pane::kCount; ++i) {
        const int w = widths[static_cast<std::size_t>(i)];
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
    const QColor lit = green ? QColor(40, 220, 70) : kLampRed;
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
        const PaneLook look = paneLook(i);
        painter.setBrush(look.back);
        painter.drawRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5));
        if (const char *caption = valueCaption(i)) {
            painter.setFont(captionFont_);
            painter.setPen(QColor(130, 136, 150));
            painter.drawText(area.adjusted(kPadding, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             caption);
        }
        const QRect textArea = textRect(i);
        painter.setFont(textFont(i));
        painter.setPen(look.text);
        const Qt::Alignment align =
            i == pane::kMessage ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
        const QString shown = i == pane::kMessage ? message_ : panes_[index].text;
        painter.drawText(textArea, align,
                         painter.fontMetrics().elidedText(shown, Qt::ElideRight, textArea.width()));
    }
}

} // namespace quillon
