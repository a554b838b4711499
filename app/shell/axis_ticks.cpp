#include "shell/axis_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace quillon {

namespace {

struct SnapRow {
    double bound;
    double step;
    int decimals; // -1: keep the configured decimals
    bool yOnly;
};

constexpr std::array<SnapRow, 9> kSnapRows{{
    {0.001, 0.001, 3, true},
    {0.005, 0.005, 3, true},
    {0.01, 0.01, 2, false},
    {0.05, 0.05, 2, false},
    {0.1, 0.1, 1, false},
    {0.5, 0.5, 1, false},
    {1.0, 1.0, -1, false},
    {5.0, 5.0, -1, false},
    {10.0, 10.0, -1, false},
}};

struct BaseRow {
    double bound;
    double base;
};

constexpr std::array<BaseRow, 10> kBaseRows{{
    {50.0, 5.0},
    {100.0, 10.0},
    {500.0, 50.0},
    {1000.0, 100.0},
    {5000.0, 500.0},
    {10000.0, 1000.0},
    {50000.0, 5000.0},
    {100000.0, 10000.0},
    {500000.0, 50000.0},
    {1000000.0, 100000.0},
}};

// Steps above 10 become a multiple of a base; on the x axis a step of the
// base-5 range is kept a multiple of 10 so the labels stay round.
double roundToBase(Axis axis, double raw) {
    for (const BaseRow &row : kBaseRows) {
        if (raw <= row.bound) {
            double multiple = std::round(raw / row.base);
            if (axis == Axis::X && row.base == 5.0 && std::fmod(multiple, 2.0) != 0.0) {
                multiple += 1.0;
            }
            return multiple * row.base;
        }
    }
    return raw;
}

long long firstTickIndex(Axis axis, double start, double minor) {
    const double scaled = start / minor;
    // The x axis rounds halves down, the y axis rounds them up.
    const double bias = axis == Axis::X ? 0.499999999999999 : 0.5;
    long long index = static_cast<long long>(scaled + bias);
    // The rounded (and, below zero, truncated) index can sit one step outside
    // the range; the first tick is the first multiple of the minor step in it.
    const double tolerance = minor * 1e-9;
    while (static_cast<double>(index) * minor < start - tolerance) {
        ++index;
    }
    while (static_cast<double>(index - 1) * minor >= start - tolerance) {
        --index;
    }
    return index;
}

int pixelPosition(const AxisRequest &request, double value) {
    const double scale = std::isfinite(request.scale) ? request.scale : 0.0;
    const double offset = (value - request.start) * scale;
    double position = request.axis == Axis::X ? request.origin + offset : request.origin - offset;
    position = std::clamp(position, -1.0e9, 1.0e9);
    return static_cast<int>(std::lround(position));
}

} // namespace

TickStep chooseTickStep(Axis axis, double start, double end, const TickSettings &settings) {
    if (!std::isfinite(start) || !std::isfinite(end) || end <= start) {
        return {};
    }
    const double raw = (end - start) / std::max(1, settings.majorDivisions);
    if (!std::isfinite(raw) || raw <= 0.0) {
        return {};
    }
    TickStep step;
    step.decimals = std::max(0, settings.decimals);
    step.major = 0.0;
    for (const SnapRow &row : kSnapRows) {
        if (row.yOnly && axis != Axis::Y) {
            continue;
        }
        if (raw <= row.bound) {
            step.major = row.step;
            if (row.decimals >= 0) {
                step.decimals = row.decimals;
            }
            break;
        }
    }
    if (step.major == 0.0) {
        step.major = roundToBase(axis, raw);
    }
    step.minor = step.major / std::max(1, settings.minorPerMajor);
    return step;
}

std::string formatTickLabel(double value, int decimals) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", std::clamp(decimals, 0, 5), value);
    return text.data();
}

double evaluatePolynomial(std::span<const double> coefficients, double x) {
    double sum = 0.0;
    double power = 1.0;
    for (double c : coefficients) {
        sum += c * power;
        power *= x;
    }
    return sum;
}

double convertTickValue(double value, LabelConversion conversion,
                        std::span<const double> wavelengthPolynomial) {
    if (conversion == LabelConversion::Plain) {
        return value;
    }
    if (wavelengthPolynomial.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double wavelength = evaluatePolynomial(wavelengthPolynomial, value);
    if (conversion == LabelConversion::PixelAsWavelength) {
        return wavelength;
    }
    return wavelength > 0.0 ? 1.0e7 / wavelength : std::numeric_limits<double>::quiet_NaN();
}

std::vector<Tick> computeTicks(const AxisRequest &request) {
    const TickStep step =
        chooseTickStep(request.axis, request.start, request.end, request.settings);
    if (step.minor <= 0.0 || !std::isfinite(step.minor) ||
        std::abs(request.start / step.minor) > 1.0e15) {
        return {};
    }
    const int minorCount = std::max(1, request.settings.minorPerMajor);
    const double tolerance = step.minor * 1e-9;
    std::vector<Tick> ticks;
    int labels = 0;
    // Every minorCount-th index is labelled, so the label limit bounds the walk.
    for (long long index = firstTickIndex(request.axis, request.start, step.minor);; ++index) {
        double value = static_cast<double>(index) * step.minor;
        if (value > request.end + tolerance) {
            break;
        }
        const bool major = index % minorCount == 0;
        if (major && labels >= kMaxAxisLabels) {
            break;
        }
        if (std::abs(value) < tolerance) {
            value = 0.0; // no "-0.00" labels
        }
        Tick tick;
        tick.value = value;
        tick.position = pixelPosition(request, value);
        tick.major = major;
        if (major) {
            ++labels;
            const double shown =
                convertTickValue(value, request.conversion, request.wavelengthPolynomial);
            if (std::isfinite(shown)) {
                tick.label = formatTickLabel(shown, step.decimals);
            }
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

} // namespace quillon
