#include "colour_view/colour_charts.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace quillon {

namespace {

using colour_view::Box;
using colour_view::ColourChartData;

const QColor kCurrentMark(255, 64, 0);
const QColor kPreviousMark(150, 150, 150);
const QColor kGridLine(220, 220, 220);
const QColor kFrame(90, 90, 90);
const QColor kLocus(0, 0, 255);

QRect rectOf(const Box &b) {
    return QRect(b.x, b.y, b.width, b.height);
}

QPointF pointOf(const colour_view::Point &p) {
    return QPointF(p.x, p.y);
}

QFont chartFont(int pixelSize, bool bold = false) {
    QFont font("Tohoma");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void drawTitle(QPainter &p, const Box &box, const QString &title, int pixelSize) {
    p.setFont(chartFont(pixelSize, true));
    p.setPen(Qt::black);
    p.drawText(rectOf(box), Qt::AlignCenter, title);
}

// A circle of radius r with a cross through it.
void drawMark(QPainter &p, QPointF at, double r, const QColor &colour) {
    p.setPen(QPen(colour, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at, r, r);
    p.drawLine(QPointF(at.x() - 1.6 * r, at.y()), QPointF(at.x() + 1.6 * r, at.y()));
    p.drawLine(QPointF(at.x(), at.y() - 1.6 * r), QPointF(at.x(), at.y() + 1.6 * r));
}

// A vertical 0..100 bar with the current value filled and its caption above.
void drawValueBar(QPainter &p, const Box &bar, const QString &caption, double value,
                  int pixelSize) {
    const QRect r = rectOf(bar);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 245));
    p.drawRect(r);
    const int level = static_cast<int>(std::lround(colour_view::barLevel(bar, value)));
    p.setBrush(kCurrentMark);
    p.drawRect(QRect(QPoint(r.left(), level), QPoint(r.right(), r.bottom())));
    p.setPen(kFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    p.setFont(chartFont(pixelSize));
    p.setPen(Qt::black);
    const int captionWidth = QFontMetrics(p.font()).horizontalAdvance(caption) + 4;
    p.drawText(QRect(r.center().x() - captionWidth / 2, r.top() - pixelSize - 6, captionWidth,
                     pixelSize + 4),
               Qt::AlignCenter, caption);
}

void drawChromaticity(QPainter &p, const Box &plot, const Box &yBar, const ColourChartData &d,
                      int pixelSize) {
    const QRect r = rectOf(plot);
    p.fillRect(r, Qt::white);
    p.setPen(kGridLine);
    for (int i = 1; i < 10; ++i) {
        const double x = plot.x + plot.width * i / 10.0;
        const double y = plot.y + plot.height * i / 10.0;
        p.drawLine(QPointF(x, plot.y), QPointF(x, plot.bottom()));
        p.drawLine(QPointF(plot.x, y), QPointF(plot.right(), y));
    }
    p.setPen(kFrame);
    p.drawRect(r);
    p.setFont(chartFont(pixelSize));
    p.setPen(Qt::black);
    const QFontMetrics metrics(p.font());
    const std::array<std::pair<double, const char *>, 3> ticks{
        {{0.0, "0"}, {0.5, "0.5"}, {1.0, "1"}}};
    for (const auto &[value, label] : ticks) {
        const QPointF bottom = pointOf(colour_view::chromaticityPoint(plot, value, 0.0));
        const QPointF left = pointOf(colour_view::chromaticityPoint(plot, 0.0, value));
        const int w = metrics.horizontalAdvance(label);
        p.drawText(QPointF(bottom.x() - w / 2.0, plot.bottom() + metrics.ascent() + 2), label);
        p.drawText(QPointF(plot.x - w - 4, left.y() + metrics.ascent() / 2.0), label);
    }
    p.drawText(QPointF(plot.x + plot.width * 0.75, plot.bottom() + metrics.ascent() + 2), "x");
    p.drawText(QPointF(plot.x - metrics.horizontalAdvance("y") - 4, plot.y + plot.height * 0.25),
               "y");

    if (!d.locus.empty()) {
        QPolygonF locus;
        for (const colour_view::Point &point : d.locus) {
            locus << pointOf(colour_view::chromaticityPoint(plot, point.x, point.y));
        }
        locus << locus.front(); // the purple line closes it
        p.setPen(QPen(kLocus, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(locus);
    }
    const double radius = colour_view::markRadius(plot);
    p.setRenderHint(QPainter::Antialiasing, true);
    drawMark(p, pointOf(colour_view::chromaticityPoint(plot, d.previousX, d.previousY)), radius,
             kPreviousMark);
    drawMark(p, pointOf(colour_view::chromaticityPoint(plot, d.x, d.y)), radius, kCurrentMark);
    p.setRenderHint(QPainter::Antialiasing, false);
    drawValueBar(p, yBar, "Y(100)", d.Y, pixelSize);
}

void drawLab(QPainter &p, const Box &plot, const Box &lightness, const ColourChartData &d,
             int pixelSize) {
    const QRect r = rectOf(plot);
    p.fillRect(r, Qt::white);
    const QPointF centre = pointOf(colour_view::labPoint(plot, 0.0, 0.0));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(kGridLine);
    p.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 3; ++ring) {
        const double rx = plot.width / 2.0 * ring / 3.0;
        const double ry = plot.height / 2.0 * ring / 3.0;
        p.drawEllipse(centre, rx, ry);
    }
    const int thickness = std::max(plot.width / 80, 2);
    const auto axis = [&](double a, double b, const QColor &colour) {
        p.setPen(QPen(colour, thickness));
        p.drawLine(centre, pointOf(colour_view::labPoint(plot, a, b)));
    };
    axis(colour_view::kLabRange, 0, QColor(230, 0, 0));
    axis(-colour_view::kLabRange, 0, QColor(0, 170, 0));
    axis(0, colour_view::kLabRange, QColor(230, 200, 0));
    axis(0, -colour_view::kLabRange, QColor(0, 0, 230));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(kFrame);
    p.drawRect(r);

    p.setFont(chartFont(pixelSize));
    p.setPen(Qt::black);
    const QFontMetrics metrics(p.font());
    p.drawText(
        QPointF(plot.right() - metrics.horizontalAdvance("a*(60)") - 3, centre.y() - thickness - 3),
        "a*(60)");
    p.drawText(QPointF(centre.x() + thickness + 3, plot.y + metrics.ascent() + 2), "b*(60)");

    const double radius = std::max(colour_view::markRadius(plot) * 1.5, 3.0);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(kPreviousMark);
    p.setPen(QPen(kPreviousMark.darker(130), 1));
    p.drawEllipse(pointOf(colour_view::labPoint(plot, d.referenceA, d.referenceB)), radius, radius);
    p.setBrush(kCurrentMark);
    p.setPen(QPen(kCurrentMark.darker(130), 1));
    p.drawEllipse(pointOf(colour_view::labPoint(plot, d.a, d.b)), radius, radius);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The lightness bar: grey from black to white, the two L* marked across it.
    const QRect bar = rectOf(lightness);
    QLinearGradient grey(bar.bottomLeft(), bar.topLeft());
    grey.setColorAt(0.0, Qt::black);
    grey.setColorAt(1.0, Qt::white);
    p.fillRect(bar, grey);
    p.setPen(kFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar);
    const auto markLevel = [&](double value, const QColor &colour) {
        const int y = static_cast<int>(std::lround(colour_view::barLevel(lightness, value)));
        p.fillRect(QRect(bar.left() - 4, y - 1, bar.width() + 8, 3), colour);
    };
    markLevel(d.referenceL, kPreviousMark);
    markLevel(d.L, kCurrentMark);
    p.setPen(Qt::black);
    const int captionWidth = metrics.horizontalAdvance("L*(100)") + 4;
    p.drawText(QRect(bar.center().x() - captionWidth / 2, bar.top() - pixelSize - 6, captionWidth,
                     pixelSize + 4),
               Qt::AlignCenter, "L*(100)");
}

void drawReflectance(QPainter &p, const Box &chart, const ColourChartData &d, int pixelSize) {
    const QRect r = rectOf(chart);
    p.fillRect(r, Qt::white);
    p.setPen(kGridLine);
    for (int level : {25, 50, 75}) {
        const int y = static_cast<int>(std::lround(colour_view::barLevel(chart, level)));
        p.drawLine(chart.x, y, chart.right(), y);
    }
    const int count = static_cast<int>(d.bars.size());
    for (int i = 0; i < count; ++i) {
        const ColourChartData::Bar &bar = d.bars[static_cast<std::size_t>(i)];
        p.fillRect(rectOf(colour_view::reflectanceBar(chart, i, count, bar.value)),
                   colourOfPacked(bar.colour));
    }
    p.setPen(kFrame);
    p.drawRect(r);
    p.setFont(chartFont(pixelSize));
    p.setPen(Qt::black);
    const QFontMetrics metrics(p.font());
    for (const char *label : {"100", "50", "0"}) {
        const double value = std::atof(label);
        const double y = colour_view::barLevel(chart, value);
        p.drawText(
            QPointF(chart.x - metrics.horizontalAdvance(label) - 4, y + metrics.ascent() / 2.0 - 1),
            label);
    }
    // Labels every 50 nm, or every 100 nm, 200 nm... when they would touch.
    const double pitch = count > 0 ? static_cast<double>(chart.width) / count : 0.0;
    const int room = metrics.horizontalAdvance("0000") + 4;
    int every = 5;
    while (every < count && every * pitch < room) {
        every *= 2;
    }
    for (int i = 0; i < count; i += every) {
        const Box bar = colour_view::reflectanceBar(chart, i, count, 0);
        const QString label =
            QString::asprintf("%d", d.bars[static_cast<std::size_t>(i)].wavelength);
        const int w = metrics.horizontalAdvance(label);
        p.drawText(
            QPointF(bar.x + bar.width / 2.0 - w / 2.0, chart.bottom() + metrics.ascent() + 2),
            label);
    }
}

} // namespace

void paintColourCharts(QPainter &painter, const QRect &area, const ColourChartData &data) {
    painter.save();
    const colour_view::ChartLayout layout =
        colour_view::layoutCharts({area.x(), area.y(), area.width(), area.height()});
    const int pixelSize = std::clamp(layout.xyPlot.height / 20, 9, 14);
    drawTitle(painter, layout.xyTitle, "xyY", pixelSize + 2);
    drawTitle(painter, layout.labTitle, "Lab*", pixelSize + 2);
    drawTitle(painter, layout.reflectanceTitle, "Spectral Reflectance(%)", pixelSize + 2);
    drawChromaticity(painter, layout.xyPlot, layout.yBar, data, pixelSize);
    drawLab(painter, layout.labPlot, layout.lightness, data, pixelSize);
    drawReflectance(painter, layout.reflectance, data, pixelSize);
    painter.restore();
}

void paintColourTile(QPainter &painter, const QRect &area, std::uint32_t tile,
                     const QPalette &palette) {
    painter.save();
    QRect frame = area;
    const QColor light = palette.color(QPalette::Light);
    const QColor shadow = palette.color(QPalette::Dark);
    for (int ring = 0; ring < 3; ++ring) {
        // Outer and inner frames raised, the middle one sunk.
        const bool raised = ring != 1;
        for (int edge = 0; edge < 2; ++edge) {
            painter.setPen(raised ? light : shadow);
            painter.drawLine(frame.topLeft(), frame.topRight());
            painter.drawLine(frame.topLeft(), frame.bottomLeft());
            painter.setPen(raised ? shadow : light);
            painter.drawLine(frame.bottomLeft(), frame.bottomRight());
            painter.drawLine(frame.topRight(), frame.bottomRight());
            frame.adjust(1, 1, -1, -1);
        }
        frame.adjust(2, 2, -2, -2);
    }
    painter.fillRect(frame, colourOfPacked(tile));
    painter.restore();
}

} // namespace quillon
