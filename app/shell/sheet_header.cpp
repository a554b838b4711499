#include "shell/sheet_header.h"

#include <QFontMetrics>
#include <QPainter>

namespace quillon {

namespace {

constexpr double kColumnPoints = 10.0;
constexpr double kMiddlePoints = 9.0;
constexpr double kBannerPoints = 18.0;

SheetRect fromQRect(const QRect &r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// Two lines of L each, the text of each line centred on it.
void paintTwoLines(QPainter &painter, const SheetRect &column, int line,
                   const std::array<std::string, 2> &lines) {
    for (int k = 0; k < 2; ++k) {
        const QRect row(column.left, column.top + k * line, column.width(), line);
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QString::fromStdString(lines[static_cast<std::size_t>(k)]));
    }
}

} // namespace

QFont sheetFont(const QString &family, double points, QPaintDevice *device, bool bold) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return device != nullptr ? QFont(font, device) : font;
}

int sheetTextHeight(QPainter &painter) {
    return QFontMetrics(sheetFont("Arial", kColumnPoints, painter.device())).height();
}

int paintSheetHeader(QPainter &painter, const QRect &page, const SheetHeaderTexts &texts) {
    QPaintDevice *device = painter.device();
    const SheetHeaderGeometry g = sheetHeaderGeometry(fromQRect(page), sheetTextHeight(painter));
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(sheetFont("Arial", kColumnPoints, device));
    paintTwoLines(painter, g.columns[0], g.lineHeight, texts.left);
    paintTwoLines(painter, g.columns[2], g.lineHeight, texts.right);

    QString middle;
    for (const std::string &line : texts.middle) {
        middle += (middle.isEmpty() ? "" : "\n") + QString::fromStdString(line);
    }
    if (!texts.middle[0].empty()) {
        painter.setFont(sheetFont("Arial", kMiddlePoints, device));
        painter.drawText(toQRect(g.columns[1]), Qt::AlignCenter, middle);
    }

    painter.setFont(sheetFont("Arial", kBannerPoints, device, true));
    painter.drawText(toQRect(g.banner), Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(texts.banner));
    painter.setFont(sheetFont("Arial", kColumnPoints, device));
    painter.drawText(toQRect(g.webAddress), Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(texts.webAddress));
    painter.restore();
    return g.bottom;
}

} // namespace quillon
