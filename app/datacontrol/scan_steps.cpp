#include "datacontrol/scan_steps.h"

#include "ov/numeric/bad_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quillon::scan {

namespace {

constexpr std::int32_t kFullScale = 65535;

// Raw counts come from a unit and steps and pixel numbers from a unit's
// file, so sums of them are formed in 64 bits and saturated to 32.
std::int32_t saturated(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

double transmission(double percent) {
    const double t = std::min(percent / 100.0, 1.0);
    return t > 0.0 ? t : 1e-8;
}

double ratioResult(double value, const RatioSettings &settings) {
    return settings.quantity == RatioQuantity::Absorbance ? absorbanceOfPercent(value) : value;
}

} // namespace

void correctInGaAs(std::span<std::int32_t> raw, int n, int firstStep, int secondStep) {
    const int count = std::min(n, static_cast<int>(raw.size()));
    for (int i = 0; i < count; ++i) {
        std::int32_t &value = raw[static_cast<std::size_t>(i)];
        const std::int64_t step = value != 0 ? (i % 2 == 0 ? firstStep : secondStep) : 0;
        value = saturated(std::int64_t{kFullScale} - value + step);
    }
}

void flipActivePixels(std::span<std::int32_t> raw, int first, int n) {
    if (first < 0 || n <= 0 ||
        static_cast<std::size_t>(first) + static_cast<std::size_t>(n) > raw.size()) {
        return;
    }
    std::reverse(raw.begin() + first, raw.begin() + first + n);
}

float scaleAdc(float value, std::int32_t ceiling) {
    return std::round(static_cast<float>(ceiling) * value / static_cast<float>(kFullScale));
}

void scaleAdc(std::span<std::int32_t> raw, std::int32_t ceiling) {
    if (ceiling == kFullScale) {
        return;
    }
    for (std::int32_t &value : raw) {
        // |ceiling * value / 65535| stays far below 2^63, so llround is defined.
        value = saturated(
            std::llround(static_cast<double>(ceiling) * value / static_cast<double>(kFullScale)));
    }
}

void scaleAdc(std::span<float> values, std::int32_t ceiling) {
    if (ceiling == kFullScale) {
        return;
    }
    for (float &value : values) {
        value = scaleAdc(value, ceiling);
    }
}

void repairBadPixels(std::span<std::int32_t> raw, std::span<const int> badPixels, int first,
                     int n) {
    first = std::max(first, 0); // no pixel below the frame
    const auto end = std::min<std::int64_t>(std::int64_t{first} + std::max(n, 0),
                                            static_cast<std::int64_t>(raw.size()));
    if (end <= first) {
        return;
    }
    ov::numeric::repairBadPixels(
        raw.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(end - first)),
        badPixels, first);
}

double opticalBlackLevel(std::span<const std::int32_t> raw, int obStart, int obCount) {
    if (obCount <= 0 || obStart < 1 ||
        std::int64_t{obStart} - 1 + obCount > static_cast<std::int64_t>(raw.size())) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i = 0; i < obCount; ++i) {
        sum += raw[static_cast<std::size_t>(obStart - 1 + i)];
    }
    return sum / obCount;
}

Statistics spectrumStatistics(std::span<const float> values) {
    Statistics result;
    if (values.empty()) {
        return result;
    }
    double sum = 0.0;
    for (float v : values) {
        sum += v;
    }
    result.mean = sum / static_cast<double>(values.size());
    double squares = 0.0;
    for (float v : values) {
        squares += (v - result.mean) * (v - result.mean);
    }
    result.variance = squares / static_cast<double>(values.size());
    return result;
}

double noiseEstimate(std::span<const float> values) {
    if (values.size() < 2) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        sum += std::abs(static_cast<double>(values[i - 1]) - values[i]);
    }
    return sum / static_cast<double>(values.size() - 1);
}

int nextPlaybackIndex(int current, int count, bool backwards) {
    if (count <= 0) {
        return 0;
    }
    if (backwards) {
        return current <= 1 || current > count ? count : current - 1;
    }
    return current >= count || current < 0 ? 1 : current + 1;
}

double absorbanceOfPercent(double percent) {
    return -std::log10(transmission(percent));
}

void ratioOnPixelBase(std::span<const float> spectrum, std::span<float> dark,
                      std::span<const float> reference, std::span<float> result,
                      const RatioSettings &settings) {
    const std::size_t count =
        std::min({spectrum.size(), dark.size(), reference.size(), result.size()});
    for (std::size_t i = 0; i < count; ++i) {
        double a = static_cast<double>(spectrum[i]) - dark[i];
        if (a < 0.0) {
            dark[i] = static_cast<float>(dark[i] + (a - 2.0));
            a = 2.0;
        }
        const double b = static_cast<double>(reference[i]) - dark[i];
        if (b < settings.threshold) {
            result[i] = 0.0f;
            continue;
        }
        const double ratio = settings.opticalBlack ? (a + settings.darkMinusCurrent) /
                                                         (b + settings.darkMinusReference)
                                                   : a / b;
        const double value = settings.scale * ratio;
        result[i] = static_cast<float>(settings.quantity == RatioQuantity::Absorbance
                                           ? absorbanceOfPercent(value)
                                           : std::min(value, settings.maxT));
    }
}

void ratioOnGrid(std::span<const float> spectrum, std::span<float> dark,
                 std::span<const std::int32_t> gridIndex,
                 std::span<const float> gridReferenceMinusDark, std::span<float> result,
                 const RatioSettings &settings) {
    const std::size_t count =
        std::min({gridIndex.size(), gridReferenceMinusDark.size(), result.size()});
    const std::size_t pixels = std::min(spectrum.size(), dark.size());
    const double obShift = settings.opticalBlack ? settings.darkMinusCurrent : 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto x = static_cast<std::size_t>(gridIndex[i]);
        if (x >= pixels) {
            result[i] = 0.0f;
            continue;
        }
        double a = static_cast<double>(spectrum[x]) - dark[x] + obShift;
        if (a < 0.0) {
            dark[x] = static_cast<float>(dark[x] + (a - 2.0));
            a = static_cast<double>(spectrum[x]) - dark[x];
        }
        const double b = gridReferenceMinusDark[i];
        if (b < settings.threshold) {
            result[i] = 0.0f;
            continue;
        }
        // Not std::clamp: a user's MinT above MaxT must not be undefined.
        const double value =
            std::min(std::max(a * settings.scale / b, settings.minT), settings.maxT);
        result[i] = static_cast<float>(ratioResult(value, settings));
    }
}

void referenceMinusDarkOnGrid(std::span<const float> reference, std::span<const float> dark,
                              std::span<const std::int32_t> gridIndex, double obDifference,
                              std::span<float> result) {
    const std::size_t count = std::min(gridIndex.size(), result.size());
    const std::size_t pixels = std::min(reference.size(), dark.size());
    for (std::size_t i = 0; i < count; ++i) {
        const auto x = static_cast<std::size_t>(gridIndex[i]);
        result[i] =
            x < pixels
                ? static_cast<float>(static_cast<double>(reference[x]) - dark[x] + obDifference)
                : 0.0f;
    }
}

} // namespace quillon::scan
