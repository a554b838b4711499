#include "shell/view_range.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr float kWavenumberFactor = 1.0e7f;
constexpr float kZoomFraction = 1.0f / 20.0f;
constexpr int kRubberBandMinimum = 10;

// A usable [start, end]: finite, and end above start.
void sanitise(float &start, float &end) {
    if (!std::isfinite(start)) {
        start = 0.0f;
    }
    if (!std::isfinite(end) || end <= start) {
        end = start + 1.0f;
    }
}

void yLimits(const RangeContext &context, float &start, float &end) {
    const DisplaySettings &s = context.settings;
    switch (context.mode) {
    case GraphMode::TransRefl:
        start = s.transMin;
        end = s.transMax;
        break;
    case GraphMode::Absorbance:
        start = s.absorbMin;
        end = s.absorbMax;
        break;
    case GraphMode::Irradiance:
        start = context.relativeIrradiance ? s.transMin : s.irradMin;
        end = context.relativeIrradiance ? s.transMax : s.irradMax;
        break;
    default:
        start = static_cast<float>(s.countsMin);
        end = static_cast<float>(s.countsMax);
        break;
    }
}

bool isResultMode(GraphMode mode) {
    return mode == GraphMode::TransRefl || mode == GraphMode::Absorbance ||
           mode == GraphMode::Irradiance;
}

float safeScale(float pixels, float span) {
    const float scale = span > 0.0f ? pixels / span : 0.0f;
    return std::isfinite(scale) ? scale : 0.0f;
}

// Moves [start, end] by shift, cut so that it stays inside [low, high].
void shiftWithin(float &start, float &end, float shift, float low, float high) {
    if (!std::isfinite(shift)) {
        return;
    }
    shift = std::clamp(shift, low - start, std::max(low - start, high - end));
    start += shift;
    end += shift;
}

// Moves both ends inwards by step unless that would close the range; a
// remainder within rounding error of zero counts as closed.
void narrow(float &start, float &end, float step) {
    const float remaining = (end - start) - 2.0f * step;
    if (step > 0.0f && remaining > step * 0.01f) {
        start += step;
        end -= step;
    }
}

} // namespace

ViewRange resetViewRange(const RangeContext &context) {
    ViewRange range;
    if (context.calibratedAxis) {
        range.xStart = context.settings.wavelengthStart;
        range.xEnd = context.settings.wavelengthEnd;
    } else {
        range.xStart = static_cast<float>(context.settings.pixelStart);
        range.xEnd = static_cast<float>(context.settings.pixelEnd);
    }
    sanitise(range.xStart, range.xEnd);
    yLimits(context, range.yStart, range.yEnd);
    sanitise(range.yStart, range.yEnd);
    range.fullXStart = range.xStart;
    range.fullYStart = range.yStart;
    range.fullXSpan = range.xEnd - range.xStart;
    range.fullYSpan = range.yEnd - range.yStart;
    return range;
}

void updateDerivedRange(ViewRange &range, const PixelRect &plot) {
    const bool positive = range.xStart > 0.0f && range.xEnd > 0.0f;
    range.wavenumberStart = positive ? kWavenumberFactor / range.xEnd : 0.0f;
    range.wavenumberEnd = positive ? kWavenumberFactor / range.xStart : 0.0f;
    const auto width = static_cast<float>(plot.width());
    const auto height = static_cast<float>(plot.height());
    range.xScale = safeScale(width, range.xEnd - range.xStart);
    range.wavenumberScale = safeScale(width, range.wavenumberEnd - range.wavenumberStart);
    range.yScale = safeScale(height, range.yEnd - range.yStart);
}

void zoomIn(ViewRange &range, const RangeContext &context) {
    float xStep = range.fullXSpan * kZoomFraction;
    const float gridStep = context.settings.wavelengthStep;
    if (context.calibratedAxis && isResultMode(context.mode) && gridStep > 0.0f) {
        // Whole grid steps keep the view on grid points.
        xStep = std::floor(xStep / gridStep) * gridStep;
    }
    narrow(range.xStart, range.xEnd, xStep);
    narrow(range.yStart, range.yEnd, range.fullYSpan * kZoomFraction);
}

// Widens [start, end] by step on each side, clamped to [low, high]; an end
// within a rounding error of its limit lands on it exactly.
void widenWithin(float &start, float &end, float step, float low, float high) {
    const float snap = step * 1e-3f;
    start = start - step < low + snap ? low : start - step;
    end = end + step > high - snap ? high : end + step;
}

void zoomOut(ViewRange &range) {
    widenWithin(range.xStart, range.xEnd, range.fullXSpan * kZoomFraction, range.fullXStart,
                range.fullXEnd());
    widenWithin(range.yStart, range.yEnd, range.fullYSpan * kZoomFraction, range.fullYStart,
                range.fullYEnd());
}

void panX(ViewRange &range, float dxPixels) {
    if (range.xScale <= 0.0f) {
        return;
    }
    shiftWithin(range.xStart, range.xEnd, -dxPixels / range.xScale, range.fullXStart,
                range.fullXEnd());
}

void panY(ViewRange &range, float dyPixels) {
    if (range.yScale <= 0.0f) {
        return;
    }
    // Screen y grows downwards, values grow upwards.
    shiftWithin(range.yStart, range.yEnd, dyPixels / range.yScale, range.fullYStart,
                range.fullYEnd());
}

bool applyRubberBand(ViewRange &range, const PixelRect &plot, int x0, int y0, int x1, int y1) {
    const int left = std::clamp(std::min(x0, x1), plot.left, plot.right);
    const int right = std::clamp(std::max(x0, x1), plot.left, plot.right);
    const int top = std::clamp(std::min(y0, y1), plot.top, plot.bottom);
    const int bottom = std::clamp(std::max(y0, y1), plot.top, plot.bottom);
    if (right - left <= kRubberBandMinimum && bottom - top <= kRubberBandMinimum) {
        return false;
    }
    if (range.xScale <= 0.0f || range.yScale <= 0.0f) {
        return false;
    }
    if (right > left) {
        const auto newStart = static_cast<float>(xValueAt(range, plot, left));
        const auto newEnd = static_cast<float>(xValueAt(range, plot, right));
        if (newEnd > newStart) {
            range.xStart = newStart;
            range.xEnd = newEnd;
        }
    }
    if (bottom > top) {
        const auto newStart = static_cast<float>(yValueAt(range, plot, bottom));
        const auto newEnd = static_cast<float>(yValueAt(range, plot, top));
        if (newEnd > newStart) {
            range.yStart = newStart;
            range.yEnd = newEnd;
        }
    }
    updateDerivedRange(range, plot);
    return true;
}

double xValueAt(const ViewRange &range, const PixelRect &plot, int x) {
    if (range.xScale <= 0.0f) {
        return range.xStart;
    }
    return range.xStart + static_cast<double>(x - plot.left) / range.xScale;
}

double yValueAt(const ViewRange &range, const PixelRect &plot, int y) {
    if (range.yScale <= 0.0f) {
        return range.yStart;
    }
    return range.yStart + static_cast<double>(plot.bottom - y) / range.yScale;
}

int textPanelPage(GraphXUnit unit, GraphMode mode) {
    if (unit == GraphXUnit::Pixel) {
        return 1;
    }
    switch (mode) {
    case GraphMode::Absorbance:
        return 3;
    case GraphMode::Irradiance:
        return 4;
    default:
        return 2;
    }
}

} // namespace quillon
