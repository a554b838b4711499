// Draws one pass of the spectrum graph into a picture owned by the caller.
// Touches no widget, so the acquisition worker calls it on its own thread.
#ifndef QUILLON_APP_SHELL_GRAPH_RENDERER_H
#define QUILLON_APP_SHELL_GRAPH_RENDERER_H

#include "shell/graph_layout.h"
#include "shell/graph_snapshot.h"
#include "shell/plot_mapping.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QStringList>

#include <span>
#include <vector>

class QPainter;

namespace quillon {

// Screen positions of the labelled ticks of the last pass (grid, printing).
struct LabelledTicks {
    std::vector<int> x;
    std::vector<int> y;
};

QColor colourFromSetting(std::int32_t rgb);

inline constexpr QRgb kDarkLineColour = qRgb(64, 64, 64);
inline constexpr QRgb kReferenceLineColour = qRgb(225, 225, 0);
inline constexpr QRgb kAxisTitleColour = qRgb(0, 64, 255);

class GraphRenderer {
public:
    // `families`: the font of labels and titles, first choice first.
    explicit GraphRenderer(QStringList families = {"Arial", "Helvetica", "DejaVu Sans"});

    // One pass: background, plot, grid, axes, labels, titles, traces, cursor
    // line, peak marks and statistics. An image without pixels is left alone.
    LabelledTicks render(const GraphSnapshot &snapshot, QImage &image);
    // The same pass into a `width` x `height` picture at the painter's
    // origin, in its units: a printer page scales it, lines and text are
    // then drawn at the device's own resolution. The painter's state is kept.
    LabelledTicks paint(const GraphSnapshot &snapshot, QPainter &painter, int width, int height);

private:
    void drawBackground(QPainter &painter, const GraphSnapshot &snapshot) const;
    LabelledTicks drawAxes(QPainter &painter, const GraphSnapshot &snapshot,
                           const PlotMapping &mapping);
    void drawXTicks(QPainter &painter, const std::vector<Tick> &ticks, bool grid,
                    QColor gridColour);
    void drawYTicks(QPainter &painter, const std::vector<Tick> &ticks, bool grid,
                    QColor gridColour);
    void drawTitles(QPainter &painter, const GraphSnapshot &snapshot) const;
    void drawTraces(QPainter &painter, const GraphSnapshot &snapshot, const PlotMapping &mapping);
    void drawMemoryTraces(QPainter &painter, const GraphSnapshot &snapshot,
                          const PlotMapping &mapping, QColor traceColour);
    void drawPerPixelLine(QPainter &painter, const GraphSnapshot &snapshot,
                          std::span<const float> values, const PlotMapping &mapping, QColor colour);
    void drawPixelTrace(QPainter &painter, std::span<const float> values,
                        const PlotMapping &mapping, QColor colour);
    void drawWavelengthTrace(QPainter &painter, std::span<const float> values,
                             std::span<const float> wavelengths, const PlotMapping &mapping,
                             QColor colour);
    void drawGridTrace(QPainter &painter, const GraphSnapshot &snapshot, const PlotMapping &mapping,
                       QColor colour);
    void strokeCollected(QPainter &painter, QColor colour);
    void drawCursorLine(QPainter &painter, const GraphSnapshot &snapshot,
                        const PlotMapping &mapping) const;
    void drawPeakMarks(QPainter &painter, const GraphSnapshot &snapshot,
                       const PlotMapping &mapping) const;
    void drawStatistics(QPainter &painter, const GraphSnapshot &snapshot) const;

    QStringList families_;
    GraphLayout layout_;
    QFont labelFont_;
    QFont titleFont_;
    QFont captionFont_;
    QFont peakFont_;
    // Reused between passes so a pass allocates nothing once warmed up.
    std::vector<TracePoint> points_;
    std::vector<TracePoint> reduced_;
    std::vector<QPoint> polyline_;
};

} // namespace quillon

#endif
