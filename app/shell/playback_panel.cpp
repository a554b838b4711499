#include "shell/playback_panel.h"

#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {

struct FaceSpec {
    RoundButton::Face face;
    const char *text;
    const char *toolTip;
};

constexpr std::array<FaceSpec, playback::kCount> kFaces{{
    {RoundButton::Face::Text, "R", "Reset"},
    {RoundButton::Face::Text, "+", "Zoom In"},
    {RoundButton::Face::Text, "-", "Zoom Out"},
    {RoundButton::Face::Text, "P", " Pixel Unit"},
    {RoundButton::Face::Text, "W", "Wavelength Unit"},
    {RoundButton::Face::Text, "I", "Wavenumber Unit"},
    {RoundButton::Face::DoubleLeft, "", "Continuous Step Rewind"},
    {RoundButton::Face::Left, "", "One Step Rewind"},
    {RoundButton::Face::Text, "S", "Stop"},
    {RoundButton::Face::Right, "", "One Step Forward"},
    {RoundButton::Face::DoubleRight, "", "Continuous Step Forward"},
    {RoundButton::Face::Text, "R", "Record Data"},
    {RoundButton::Face::Text, "D", "Delete Data"},
}};

// A filled triangle pointing left or right, `width` wide, centred on `x`.
void addArrow(QPainterPath &path, double x, double y, double width, double height, bool right) {
    const double tip = right ? x + width / 2 : x - width / 2;
    const double base = right ? x - width / 2 : x + width / 2;
    path.moveTo(tip, y);
    path.lineTo(base, y - height / 2);
    path.lineTo(base, y + height / 2);
    path.closeSubpath();
}

} // namespace

RoundButton::RoundButton(int id, Face face, const QString &text, QWidget *parent)
    : QAbstractButton(parent), id_(id), face_(face) {
    setText(text);
    setFocusPolicy(Qt::NoFocus); // the keyboard stays with the graph
    setFixedSize(kDiameter, kDiameter);
    setCursor(Qt::PointingHandCursor);
}

bool RoundButton::hitButton(const QPoint &position) const {
    const QPointF centre = QRectF(rect()).center();
    const QPointF d = QPointF(position) - centre;
    return d.x() * d.x() + d.y() * d.y() <= (kDiameter / 2.0) * (kDiameter / 2.0);
}

void RoundButton::enterEvent(QEnterEvent *event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void RoundButton::leaveEvent(QEvent *event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void RoundButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
    QColor fill = isDown()   ? QColor(150, 170, 205)
                  : hovered_ ? QColor(225, 232, 245)
                             : QColor(240, 240, 240);
    QColor ink = isEnabled() ? QColor(30, 40, 70) : QColor(150, 150, 150);
    painter.setPen(QPen(QColor(110, 120, 140), 1));
    painter.setBrush(fill);
    painter.drawEllipse(disc);

    const QPointF c = disc.center();
    if (face_ == Face::Text) {
        QFont f = font();
        f.setPixelSize(kDiameter / 2 + 1);
        f.setBold(true);
        painter.setFont(f);
        painter.setPen(ink);
        painter.drawText(disc, Qt::AlignCenter, text());
        return;
    }
    const double w = kDiameter * 0.28;
    const double h = kDiameter * 0.40;
    QPainterPath path;
    switch (face_) {
    case Face::Left:
        addArrow(path, c.x(), c.y(), w, h, false);
        break;
    case Face::Right:
        addArrow(path, c.x(), c.y(), w, h, true);
        break;
    case Face::DoubleLeft:
        addArrow(path, c.x() - w / 2, c.y(), w, h, false);
        addArrow(path, c.x() + w / 2, c.y(), w, h, false);
        break;
    case Face::DoubleRight:
        addArrow(path, c.x() - w / 2, c.y(), w, h, true);
        addArrow(path, c.x() + w / 2, c.y(), w, h, true);
        break;
    case Face::Text:
        break;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(path);
}

CPlaybackPanel::CPlaybackPanel(QWidget *parent) : QWidget(parent) {
    setObjectName("PlaybackPanel");
    int x = kMargin;
    for (std::size_t i = 0; i < kFaces.size(); ++i) {
        const int id = static_cast<int>(i) + 1;
        auto *b = new RoundButton(id, kFaces[i].face, kFaces[i].text, this);
        b->setObjectName(QString("playback%1").arg(id));
        b->setToolTip(kFaces[i].toolTip);
        b->move(x, kMargin);
        x += RoundButton::kDiameter + kGap;
        connect(b, &QAbstractButton::clicked, this, [this, id] { emit commandChosen(id); });
        buttons_[i] = b;
    }
    setFixedSize(x - kGap + kMargin, RoundButton::kDiameter + 2 * kMargin);
}

RoundButton *CPlaybackPanel::button(int id) const {
    return id >= 1 && id <= playback::kCount ? buttons_[static_cast<std::size_t>(id - 1)] : nullptr;
}

void CPlaybackPanel::placeInCorner(int plotRight, int plotTop) {
    constexpr int kInset = 4;
    move(std::max(0, plotRight - width() - kInset + 1), plotTop + kInset);
    raise();
}

void CPlaybackPanel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(170, 175, 185), 1));
    painter.setBrush(QColor(250, 250, 252, 220));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

} // namespace quillon
