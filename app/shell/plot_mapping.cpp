#include "shell/plot_mapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

constexpr double kWavenumberFactor = 1.0e7;
constexpr double kOffPlot = 2000.0; // how far beyond the plot a clipped point may lie

} // namespace

PlotMapping::PlotMapping(ViewRange range, const PixelRect &plot, bool calibratedAxis,
                         GraphXUnit xUnit)
    : range_(range), plot_(plot), calibrated_(calibratedAxis), unit_(xUnit) {
    updateDerivedRange(range_, plot_);
}

bool PlotMapping::wavenumberAxis() const {
    return calibrated_ && unit_ == GraphXUnit::Wavenumber;
}

double PlotMapping::xOf(double position) const {
    double x = 0.0;
    if (wavenumberAxis()) {
        const double wavenumber = position > 0.0 ? kWavenumberFactor / position : 0.0;
        x = plot_.left + (wavenumber - range_.wavenumberStart) * range_.wavenumberScale;
    } else {
        x = plot_.left + (position - range_.xStart) * range_.xScale;
    }
    if (!std::isfinite(x)) {
        return plot_.left - kOffPlot;
    }
    return std::clamp(x, plot_.left - kOffPlot, plot_.right + kOffPlot);
}

double PlotMapping::yOf(double value) const {
    const double y = plot_.bottom - (value - range_.yStart) * range_.yScale;
    if (std::isnan(y)) {
        return plot_.bottom + kOffPlot;
    }
    return std::trunc(std::clamp(y, plot_.top - kOffPlot, plot_.bottom + kOffPlot));
}

AxisRequest PlotMapping::xAxis(const TickSettings &settings,
                               std::span<const double> polynomial) const {
    AxisRequest request;
    request.axis = Axis::X;
    request.origin = plot_.left;
    request.settings = settings;
    request.wavelengthPolynomial = polynomial;
    if (wavenumberAxis()) {
        request.start = range_.wavenumberStart;
        request.end = range_.wavenumberEnd;
        request.scale = range_.wavenumberScale;
        return request;
    }
    request.start = range_.xStart;
    request.end = range_.xEnd;
    request.scale = range_.xScale;
    if (!calibrated_ && unit_ == GraphXUnit::Wavenumber) {
        request.conversion = LabelConversion::PixelAsWavenumber;
    } else if (!calibrated_ && unit_ != GraphXUnit::Pixel) {
        request.conversion = LabelConversion::PixelAsWavelength;
    }
    return request;
}

AxisRequest PlotMapping::yAxis(const TickSettings &settings) const {
    AxisRequest request;
    request.axis = Axis::Y;
    request.start = range_.yStart;
    request.end = range_.yEnd;
    request.origin = plot_.bottom;
    request.scale = range_.yScale;
    request.settings = settings;
    return request;
}

double PlotMapping::positionAt(int x) const {
    if (wavenumberAxis()) {
        const double wavenumber =
            range_.wavenumberScale > 0.0f
                ? range_.wavenumberStart + (x - plot_.left) / range_.wavenumberScale
                : range_.wavenumberStart;
        return wavenumber > 0.0 ? kWavenumberFactor / wavenumber : range_.xEnd;
    }
    return xValueAt(range_, plot_, x);
}

int PlotMapping::columnOf(double position) const {
    if (!std::isfinite(position)) {
        return -1;
    }
    const double x = std::round(xOf(position));
    return x >= plot_.left && x <= plot_.right ? static_cast<int>(x) : -1;
}

double PlotMapping::xReadout(int x, std::span<const double> polynomial) const {
    const AxisRequest axis = xAxis(TickSettings{}, polynomial);
    const double value = axis.scale > 0.0 ? axis.start + (x - plot_.left) / axis.scale : axis.start;
    return convertTickValue(value, axis.conversion, polynomial);
}

float cursorOnOtherAxis(float position, bool toCalibrated, std::span<const float> wavelengths) {
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    if (!std::isfinite(position) || wavelengths.size() < 2) {
        return kNone;
    }
    if (toCalibrated) {
        const double index = position - 1.0;
        if (index < 0.0 || index > static_cast<double>(wavelengths.size() - 1)) {
            return kNone;
        }
        const auto low = std::min(static_cast<std::size_t>(index), wavelengths.size() - 2);
        const double t = index - static_cast<double>(low);
        return static_cast<float>(wavelengths[low] + t * (wavelengths[low + 1] - wavelengths[low]));
    }
    // The table rises with the pixel on every unit, but a falling one is
    // searched the same way.
    for (std::size_t i = 0; i + 1 < wavelengths.size(); ++i) {
        const double a = wavelengths[i];
        const double b = wavelengths[i + 1];
        if (a != b && (position - a) * (position - b) <= 0.0) {
            return static_cast<float>(static_cast<double>(i) + 1.0 + (position - a) / (b - a));
        }
    }
    return kNone;
}

void reduceToColumns(std::span<const TracePoint> points, std::vector<TracePoint> &out) {
    std::size_t i = 0;
    while (i < points.size()) {
        const double column = std::floor(points[i].x + 0.5);
        std::size_t end = i + 1;
        std::size_t lowest = i;
        std::size_t highest = i;
        while (end < points.size() && std::floor(points[end].x + 0.5) == column) {
            if (points[end].y < points[lowest].y) {
                lowest = end;
            }
            if (points[end].y > points[highest].y) {
                highest = end;
            }
            ++end;
        }
        out.push_back(points[i]);
        if (end - i > 2) {
            // Extremes in the order they occur keep the path's direction.
            const std::size_t first = std::min(lowest, highest);
            const std::size_t second = std::max(lowest, highest);
            out.push_back({column, points[first].y});
            out.push_back({column, points[second].y});
        }
        if (end - i > 1) {
            out.push_back(points[end - 1]);
        }
        i = end;
    }
}

} // namespace quillon
