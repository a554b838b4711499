// Mapping between trace data and picture pixels for one plot rectangle and
// view range. Shared by the renderer (drawing) and the widget (peak tips,
// position readouts). No Qt.
#ifndef QUILLON_APP_SHELL_PLOT_MAPPING_H
#define QUILLON_APP_SHELL_PLOT_MAPPING_H

#include "shell/axis_ticks.h"
#include "shell/view_range.h"

#include <span>
#include <vector>

namespace quillon {

struct TracePoint {
    double x = 0.0;
    double y = 0.0;
};

class PlotMapping {
public:
    // `range` gets its derived values (scales, wavenumbers) for `plot`.
    PlotMapping(ViewRange range, const PixelRect &plot, bool calibratedAxis, GraphXUnit xUnit);

    const ViewRange &range() const { return range_; }
    const PixelRect &plot() const { return plot_; }
    bool wavenumberAxis() const;

    // Picture x of a position: the pixel number (from 1) on pixel-held data,
    // else the wavelength in nm.
    double xOf(double position) const;
    // Picture y of a value, truncated like the drawing; values far outside
    // the range (and non-finite ones) are held just beyond the plot.
    double yOf(double value) const;

    // The x axis as the tick walk sees it.
    AxisRequest xAxis(const TickSettings &settings, std::span<const double> polynomial) const;
    AxisRequest yAxis(const TickSettings &settings) const;

    // The position (in the units of xOf) under a picture x: the inverse of xOf.
    double positionAt(int x) const;
    // Picture column of a position, -1 when it is not a number or falls
    // outside the plot.
    int columnOf(double position) const;

    // Value shown for a picture x (the x position readout), in the x unit.
    double xReadout(int x, std::span<const double> polynomial) const;

private:
    ViewRange range_;
    PixelRect plot_;
    bool calibrated_;
    GraphXUnit unit_;
};

// A cursor position carried across a change of the axis holding: a pixel
// number (from 1, fractional) to its wavelength when `toCalibrated`, else a
// wavelength to the pixel number where the table reaches it; NaN when the
// table does not reach it.
float cursorOnOtherAxis(float position, bool toCalibrated, std::span<const float> wavelengths);

// Appends to `out` a polyline with at most four points (entry, minimum,
// maximum, exit) per run of points that share a pixel column (x rounded to
// the nearest column): the same
// picture as the full line at a bounded cost.
void reduceToColumns(std::span<const TracePoint> points, std::vector<TracePoint> &out);

} // namespace quillon

#endif
