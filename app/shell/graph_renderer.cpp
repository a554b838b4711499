#include "shell/graph_renderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace quillon {

namespace {

constexpr int kLabelSpacing = 6; // least free space between two tick labels

QFont makeFont(const QStringList &families, QFont::StyleHint hint, int pixelSize,
               QFont::Weight weight) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weight);
    return font;
}

QRect toQRect(const PixelRect &rect) {
    return QRect(QPoint(rect.left, rect.top), QPoint(rect.right, rect.bottom));
}

// A grid that stays visible on light and dark plot colours.
QColor gridColourFor(QColor back) {
    return back.lightness() > 128 ? QColor(200, 200, 200) : QColor(90, 90, 90);
}

QColor contrastingText(QColor back) {
    return back.lightness() > 128 ? QColor(30, 30, 30) : QColor(235, 235, 235);
}

} // namespace

QColor colourFromSetting(std::int32_t rgb) {
    const auto value = static_cast<std::uint32_t>(rgb);
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

GraphRenderer::GraphRenderer(QStringList families) : families_(std::move(families)) {
    points_.reserve(8192);
    reduced_.reserve(8192);
    polyline_.reserve(8192);
}

LabelledTicks GraphRenderer::render(const GraphSnapshot &snapshot, QImage &image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return {};
    }
    QPainter painter(&image);
    return paint(snapshot, painter, image.width(), image.height());
}

LabelledTicks GraphRenderer::paint(const GraphSnapshot &snapshot, QPainter &painter, int width,
                                   int height) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    const GraphLayout layout = computeGraphLayout(width, height, snapshot.verticalAxisTitle);
    if (layout.width != layout_.width || layout.height != layout_.height ||
        layout.verticalAxisTitle != layout_.verticalAxisTitle) {
        labelFont_ = makeFont(families_, QFont::SansSerif, layout.labelFontPx, QFont::Normal);
        titleFont_ = makeFont(families_, QFont::SansSerif, layout.titleFontPx, QFont::Medium);
        captionFont_ = makeFont(families_, QFont::SansSerif, layout.captionFontPx, QFont::Normal);
        peakFont_ = makeFont({"Courier New", "Courier", "DejaVu Sans Mono"}, QFont::Monospace,
                             layout.labelFontPx, QFont::Normal);
    }
    layout_ = layout;
    const PlotMapping mapping(snapshot.range, layout_.plot, snapshot.calibratedAxis,
                              snapshot.xUnit);

    painter.save();
    drawBackground(painter, snapshot);
    LabelledTicks ticks = drawAxes(painter, snapshot, mapping);
    drawTitles(painter, snapshot);
    painter.save();
    painter.setClipRect(toQRect(layout_.plot), Qt::IntersectClip);
    drawTraces(painter, snapshot, mapping);
    drawCursorLine(painter, snapshot, mapping);
    if (snapshot.range.peakMarks) {
        drawPeakMarks(painter, snapshot, mapping);
    }
    painter.restore();
    if (snapshot.statistics) {
        drawStatistics(painter, snapshot);
    }
    painter.restore();
    return ticks;
}

void GraphRenderer::drawBackground(QPainter &painter, const GraphSnapshot &snapshot) const {
    painter.fillRect(QRect(0, 0, layout_.width, layout_.height), Qt::white);
    painter.fillRect(toQRect(layout_.plot), colourFromSetting(snapshot.colours.back));
}

LabelledTicks GraphRenderer::drawAxes(QPainter &painter, const GraphSnapshot &snapshot,
                                      const PlotMapping &mapping) {
    const QColor gridColour = gridColourFor(colourFromSetting(snapshot.colours.back));
    const std::vector<Tick> xTicks =
        computeTicks(mapping.xAxis(snapshot.xTicks, snapshot.wavelengthPolynomial));
    const std::vector<Tick> yTicks = computeTicks(mapping.yAxis(snapshot.yTicks));
    painter.setFont(labelFont_);
    drawXTicks(painter, xTicks, (snapshot.displayWord & display_word::kXGrid) != 0, gridColour);
    drawYTicks(painter, yTicks, (snapshot.displayWord & display_word::kYGrid) != 0, gridColour);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(toQRect(layout_.plot));

    LabelledTicks labelled;
    for (const Tick &tick : xTicks) {
        if (tick.major) {
            labelled.x.push_back(tick.position);
        }
    }
    for (const Tick &tick : yTicks) {
        if (tick.major) {
            labelled.y.push_back(tick.position);
        }
    }
    return labelled;
}

void GraphRenderer::drawXTicks(QPainter &painter, const std::vector<Tick> &ticks, bool grid,
                               QColor gridColour) {
    const PixelRect &plot = layout_.plot;
    const QFontMetrics metrics(labelFont_);
    const int labelTop = plot.bottom + layout_.xLabelGap;
    int lastLabelRight = -1000000;
    for (const Tick &tick : ticks) {
        if (tick.position < plot.left || tick.position > plot.right) {
            continue;
        }
        if (grid && tick.major && tick.position > plot.left && tick.position < plot.right) {
            painter.setPen(QPen(gridColour, 1, Qt::DotLine));
            painter.drawLine(tick.position, plot.top + 1, tick.position, plot.bottom - 1);
        }
        painter.setPen(QPen(Qt::black, 1));
        const int length = tick.major ? layout_.xLongTick : layout_.xShortTick;
        painter.drawLine(tick.position, plot.bottom, tick.position, plot.bottom + length);
        if (tick.label.empty()) {
            continue;
        }
        const QString text = QString::fromStdString(tick.label);
        const int width = metrics.horizontalAdvance(text);
        const int left = std::clamp(tick.position - width / 2, 0, layout_.width - width);
        if (left < lastLabelRight + kLabelSpacing) {
            continue; // a wide label would run into its neighbour
        }
        painter.drawText(QRect(left, labelTop, width + 1, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, text);
        lastLabelRight = left + width;
    }
}

void GraphRenderer::drawYTicks(QPainter &painter, const std::vector<Tick> &ticks, bool grid,
                               QColor gridColour) {
    const PixelRect &plot = layout_.plot;
    const QFontMetrics metrics(labelFont_);
    const int labelRight = plot.left - layout_.yLabelGap;
    const int height = metrics.height();
    int lastLabelTop = 1000000;
    for (const Tick &tick : ticks) {
        if (tick.position < plot.top || tick.position > plot.bottom) {
            continue;
        }
        if (grid && tick.major && tick.position > plot.top && tick.position < plot.bottom) {
            painter.setPen(QPen(gridColour, 1, Qt::DotLine));
            painter.drawLine(plot.left + 1, tick.position, plot.right - 1, tick.position);
        }
        painter.setPen(QPen(Qt::black, 1));
        const int length = tick.major ? layout_.yLongTick : layout_.yShortTick;
        painter.drawLine(plot.left - length, tick.position, plot.left, tick.position);
        if (tick.label.empty()) {
            continue;
        }
        const int top = std::clamp(tick.position - height / 2, 0, layout_.height - height);
        if (top + height > lastLabelTop) {
            continue;
        }
        painter.drawText(QRect(0, top, labelRight, height), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(tick.label));
        lastLabelTop = top;
    }
}

void GraphRenderer::drawTitles(QPainter &painter, const GraphSnapshot &snapshot) const {
    const AxisTitleContext context{snapshot.mode, snapshot.xUnit, snapshot.relativeIrradiance,
                                   snapshot.irradianceUnit};
    const QString title = QString::fromStdString(axisTitle(context));
    painter.setFont(titleFont_);
    painter.setPen(QColor(kAxisTitleColour));
    const int fontPx = layout_.titleFontPx;
    if (layout_.verticalAxisTitle) {
        painter.save();
        painter.translate(layout_.axisTitleX, layout_.axisTitleY);
        painter.rotate(-90.0);
        const int length = layout_.plot.height();
        painter.drawText(QRect(-length / 2, -fontPx, length, 2 * fontPx), Qt::AlignCenter, title);
        painter.restore();
    } else {
        painter.drawText(QRect(layout_.axisTitleX, layout_.axisTitleY - fontPx,
                               layout_.width / 2 - layout_.axisTitleX, 2 * fontPx),
                         Qt::AlignLeft | Qt::AlignVCenter, title);
    }

    painter.setFont(captionFont_);
    const QFontMetrics metrics(captionFont_);
    const auto drawCaption = [&](const PixelRect &area, const std::string &text, QColor colour) {
        const QString elided =
            metrics.elidedText(QString::fromStdString(text), Qt::ElideRight, area.width());
        painter.setPen(colour);
        painter.drawText(toQRect(area), Qt::AlignRight | Qt::AlignVCenter, elided);
    };
    drawCaption(layout_.mainTitleArea, snapshot.mainTitle, QColor(30, 30, 30));
    drawCaption(layout_.secondTitleArea, snapshot.secondTitle, QColor(100, 100, 100));
}

void GraphRenderer::drawTraces(QPainter &painter, const GraphSnapshot &snapshot,
                               const PlotMapping &mapping) {
    if (snapshot.showDark) {
        drawPerPixelLine(painter, snapshot, snapshot.dark, mapping, QColor(kDarkLineColour));
    }
    if (snapshot.showReference) {
        drawPerPixelLine(painter, snapshot, snapshot.reference, mapping,
                         QColor(kReferenceLineColour));
    }
    const QColor traceColour = colourFromSetting(snapshot.colours.trace(snapshot.mode));
    drawMemoryTraces(painter, snapshot, mapping, traceColour);
    if (snapshot.calibratedAxis) {
        drawGridTrace(painter, snapshot, mapping, traceColour);
    } else {
        drawPixelTrace(painter, snapshot.values, mapping, traceColour);
    }
}

// Older items fade further into the plot's background.
void GraphRenderer::drawMemoryTraces(QPainter &painter, const GraphSnapshot &snapshot,
                                     const PlotMapping &mapping, QColor traceColour) {
    const QColor back = colourFromSetting(snapshot.colours.back);
    const int count = std::min(snapshot.memoryTraces.count, MemoryTraces::kMax);
    for (int k = count; k >= 1; --k) {
        const double weight = 0.55 - 0.08 * (k - 1); // of the trace colour
        const auto mix = [weight](int trace, int background) {
            return static_cast<int>(std::lround(weight * trace + (1.0 - weight) * background));
        };
        const QColor shade(mix(traceColour.red(), back.red()),
                           mix(traceColour.green(), back.green()),
                           mix(traceColour.blue(), back.blue()));
        drawPixelTrace(painter, snapshot.memoryTraces.counts[static_cast<std::size_t>(k - 1)],
                       mapping, shade);
    }
}

// Dark and reference are kept per pixel; on the wavelength axis each pixel
// sits at its wavelength.
void GraphRenderer::drawPerPixelLine(QPainter &painter, const GraphSnapshot &snapshot,
                                     std::span<const float> values, const PlotMapping &mapping,
                                     QColor colour) {
    if (snapshot.calibratedAxis) {
        drawWavelengthTrace(painter, values, snapshot.wavelengthTable, mapping, colour);
    } else {
        drawPixelTrace(painter, values, mapping, colour);
    }
}

// Pixel-held values: index i is pixel number i + 1. One point either side
// of the view joins the line to the plot edges; the clip cuts it there.
void GraphRenderer::drawPixelTrace(QPainter &painter, std::span<const float> values,
                                   const PlotMapping &mapping, QColor colour) {
    const ViewRange &range = mapping.range();
    const auto count = static_cast<double>(values.size());
    const double first = std::clamp(std::floor(range.xStart) - 2.0, 0.0, count);
    const double last = std::clamp(std::ceil(range.xEnd) + 1.0, 0.0, count);
    points_.clear();
    for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(last); ++i) {
        points_.push_back({mapping.xOf(static_cast<double>(i + 1)), mapping.yOf(values[i])});
    }
    strokeCollected(painter, colour);
}

void GraphRenderer::drawWavelengthTrace(QPainter &painter, std::span<const float> values,
                                        std::span<const float> wavelengths,
                                        const PlotMapping &mapping, QColor colour) {
    const std::size_t count = std::min(values.size(), wavelengths.size());
    points_.clear();
    for (std::size_t i = 0; i < count; ++i) {
        points_.push_back({mapping.xOf(wavelengths[i]), mapping.yOf(values[i])});
    }
    strokeCollected(painter, colour);
}

// Grid values: point i lies at start + i·step nm; only the points inside the
// view (and one either side) are drawn.
void GraphRenderer::drawGridTrace(QPainter &painter, const GraphSnapshot &snapshot,
                                  const PlotMapping &mapping, QColor colour) {
    const GraphGrid &grid = snapshot.grid;
    std::size_t count = snapshot.values.size();
    if (grid.count > 0) {
        count = std::min(count, static_cast<std::size_t>(grid.count));
    }
    if (count == 0 || !(grid.step > 0.0)) {
        return;
    }
    const ViewRange &range = mapping.range();
    const auto limit = static_cast<double>(count);
    const double first =
        std::clamp(std::floor((range.xStart - grid.start) / grid.step) - 1.0, 0.0, limit);
    const double last =
        std::clamp(std::ceil((range.xEnd - grid.start) / grid.step) + 2.0, 0.0, limit);
    points_.clear();
    for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(last); ++i) {
        const double wavelength = grid.start + static_cast<double>(i) * grid.step;
        points_.push_back({mapping.xOf(wavelength), mapping.yOf(snapshot.values[i])});
    }
    strokeCollected(painter, colour);
}

void GraphRenderer::strokeCollected(QPainter &painter, QColor colour) {
    reduced_.clear();
    reduceToColumns(points_, reduced_);
    polyline_.clear();
    for (const TracePoint &point : reduced_) {
        polyline_.emplace_back(static_cast<int>(std::lround(point.x)), static_cast<int>(point.y));
    }
    if (polyline_.size() < 2) {
        return;
    }
    painter.setPen(QPen(colour, 1, Qt::SolidLine));
    painter.drawPolyline(polyline_.data(), static_cast<int>(polyline_.size()));
}

void GraphRenderer::drawCursorLine(QPainter &painter, const GraphSnapshot &snapshot,
                                   const PlotMapping &mapping) const {
    // From the data position: a picture of another size (print, export)
    // shows the line on the same wavelength.
    const int x = mapping.columnOf(snapshot.range.cursorPosition);
    const PixelRect &plot = layout_.plot;
    if (x < 0) {
        return;
    }
    painter.setPen(
        QPen(contrastingText(colourFromSetting(snapshot.colours.back)), 1, Qt::DashLine));
    painter.drawLine(x, plot.top, x, plot.bottom);
}

void GraphRenderer::drawPeakMarks(QPainter &painter, const GraphSnapshot &snapshot,
                                  const PlotMapping &mapping) const {
    const double radius = std::max(2.0, (layout_.plot.width() - 1) / 220.0);
    const double reach = 2.5 * radius;
    const QColor colour = colourFromSetting(snapshot.colours.trace(snapshot.mode));
    const QFontMetrics metrics(peakFont_);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(peakFont_);
    painter.setBrush(Qt::NoBrush);
    int number = 0;
    for (const PeakMark &peak : snapshot.peaks) {
        ++number;
        const QPointF centre(mapping.xOf(peak.position), mapping.yOf(peak.intensity));
        painter.setPen(QPen(colour, 1));
        painter.drawEllipse(centre, radius, radius);
        painter.drawLine(QPointF(centre.x() - reach, centre.y()),
                         QPointF(centre.x() + reach, centre.y()));
        painter.drawLine(QPointF(centre.x(), centre.y() - reach),
                         QPointF(centre.x(), centre.y() + reach));
        // A star: the peak holds saturated pixels.
        const QString label = QString::number(number) + (peak.saturated ? "*" : "");
        const double width = metrics.horizontalAdvance(label) + 2;
        painter.setPen(contrastingText(colourFromSetting(snapshot.colours.back)));
        painter.drawText(QRectF(centre.x() - width / 2, centre.y() - reach - metrics.height(),
                                width, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignBottom, label);
    }
    painter.restore();
}

void GraphRenderer::drawStatistics(QPainter &painter, const GraphSnapshot &snapshot) const {
    const ScanStatistics &stats = *snapshot.statistics;
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "B=%.2f M=%.2f R=%.2f", stats.blackLevel, stats.mean,
                  std::sqrt(std::max(0.0f, stats.variance)));
    const QString label = QString::fromLatin1(text.data());
    const QFontMetrics metrics(labelFont_);
    const int pad = 4;
    const QRect box(layout_.plot.left + 8, layout_.plot.top + 8,
                    metrics.horizontalAdvance(label) + 2 * pad, metrics.height() + 2 * pad);
    painter.setFont(labelFont_);
    painter.fillRect(box, QColor(255, 255, 255, 220));
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(box);
    painter.setPen(QColor(30, 30, 30));
    painter.drawText(box, Qt::AlignCenter, label);
}

} // namespace quillon
