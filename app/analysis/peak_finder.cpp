#include "analysis/peak_finder.h"

#include "ov/numeric/polynomial.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace quillon::analysis {

namespace {

// A rise that goes on for longer than this without falling is a slope, not
// a peak.
constexpr int kLongestRise = 80;
// Crossings closer than this are one point: no width.
constexpr double kNarrowestWidth = 0.0001;

// Low peaks are high peaks of the negated values: one scan serves both.
struct Signed {
    std::span<const float> y;
    double sign;
    double operator[](std::size_t i) const { return sign * static_cast<double>(y[i]); }
};

Signed signedValues(std::span<const float> y, PeakKind kind) {
    return {y, kind == PeakKind::High ? 1.0 : -1.0};
}

// Only values on the peak's side of the threshold move a rising peak on.
bool beyondLevel(float value, const PeakScan &scan) {
    return scan.kind == PeakKind::High ? value >= scan.level : value < scan.level;
}

// The three extreme values and their indexes, most extreme first; a value
// must be strictly more extreme to take a slot, so ties keep the earlier index
// in the higher slot.
struct Extremes {
    std::array<double, 3> value{};
    std::array<int, 3> index{};
    int filled = 0;
};

Extremes threeExtremes(const Signed &z, int first, int last) {
    Extremes e;
    for (int j = first; j <= last; ++j) {
        const double v = z[static_cast<std::size_t>(j)];
        int slot = 0;
        while (slot < e.filled && !(v > e.value[static_cast<std::size_t>(slot)])) {
            ++slot;
        }
        if (slot >= 3) {
            continue;
        }
        for (int k = std::min(e.filled, 2); k > slot; --k) {
            e.value[static_cast<std::size_t>(k)] = e.value[static_cast<std::size_t>(k - 1)];
            e.index[static_cast<std::size_t>(k)] = e.index[static_cast<std::size_t>(k - 1)];
        }
        e.value[static_cast<std::size_t>(slot)] = v;
        e.index[static_cast<std::size_t>(slot)] = j;
        e.filled = std::min(e.filled + 1, 3);
    }
    return e;
}

// Where the line through (b, y[b]) and (b + 1, y[b + 1]) meets `half`, as a
// pixel number from 1.
double crossingAt(const Signed &z, int b, double half) {
    const double y0 = z[static_cast<std::size_t>(b)];
    const double y1 = z[static_cast<std::size_t>(b + 1)];
    const double fraction = y1 != y0 ? (half - y0) / (y1 - y0) : 0.0;
    return b + 1 + fraction;
}

double wavelengthOf(const PixelCalibration &calibration, double pixel) {
    return ov::numeric::polyCalc(calibration.coefficients, calibration.order, pixel);
}

// The end of one peak: its record when it is tall enough.
bool recordPixelPeak(std::span<const float> y, const Signed &z, int first, int last,
                     const PeakScan &scan, const PixelCalibration &calibration, Peak &peak) {
    float extreme = 0.0f;
    const int centre = weightedCentre(y, first, last, scan.kind, extreme);
    const double height = scan.kind == PeakKind::High
                              ? extreme - z[static_cast<std::size_t>(first)]
                              : std::abs(z[static_cast<std::size_t>(first)] + extreme);
    if (!(height > scan.cutoff * scan.noise)) {
        return false;
    }
    peak = Peak{};
    peak.position = static_cast<float>(centre + 1);
    peak.intensity = extreme;
    peak.fwhm = static_cast<float>(peakWidth(y, first, last, extreme, scan.kind, calibration));
    peak.first = first;
    peak.last = last;
    return true;
}

} // namespace

double peakNoise(std::span<const float> y, bool gridData, double ratio) {
    if (y.size() < 2) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 1; i < y.size(); ++i) {
        sum += std::abs(static_cast<double>(y[i - 1]) - static_cast<double>(y[i]));
    }
    double mean = sum / static_cast<double>(y.size() - 1);
    if (gridData) {
        mean /= 10.0;
    }
    return mean * ratio;
}

int weightedCentre(std::span<const float> y, int first, int last, PeakKind kind, float &extreme) {
    const Signed z = signedValues(y, kind);
    const Extremes e = threeExtremes(z, first, last);
    if (e.filled == 0) {
        extreme = 0.0f;
        return first;
    }
    extreme = y[static_cast<std::size_t>(e.index[0])];
    // The weights are the values themselves.
    double weighted = 0.0;
    double total = 0.0;
    for (int k = 0; k < e.filled; ++k) {
        const double value = y[static_cast<std::size_t>(e.index[static_cast<std::size_t>(k)])];
        weighted += e.index[static_cast<std::size_t>(k)] * value;
        total += value;
    }
    const double centre = weighted / total;
    // Values around zero (a dark-subtracted baseline) can cancel: the
    // extreme point itself is the centre then.
    if (total == 0.0 || !std::isfinite(centre) || centre < first - 1 || centre > last + 1) {
        return e.index[0];
    }
    return static_cast<int>(std::trunc(centre + 0.5));
}

double peakWidth(std::span<const float> y, int first, int last, float top, PeakKind kind,
                 const PixelCalibration &calibration) {
    if (last - first < 3 || first < 0 || static_cast<std::size_t>(last) >= y.size()) {
        return 0.0;
    }
    const Signed z = signedValues(y, kind);
    const double extreme = z.sign * static_cast<double>(top);
    const double base =
        std::min(z[static_cast<std::size_t>(first)], z[static_cast<std::size_t>(last)]);
    const double half = base + (extreme - base) / 2.0;
    bool haveLeft = false;
    bool haveRight = false;
    double left = 0.0;
    double right = 0.0;
    for (int b = first; b < last; ++b) {
        const double y0 = z[static_cast<std::size_t>(b)];
        const double y1 = z[static_cast<std::size_t>(b + 1)];
        if (y0 <= half && half <= y1) {
            left = crossingAt(z, b, half); // the last rising crossing counts
            haveLeft = true;
        } else if (y0 >= half && half >= y1) {
            right = crossingAt(z, b, half);
            haveRight = true;
            break;
        }
    }
    if (!haveLeft || !haveRight || std::abs(right - left) < kNarrowestWidth) {
        return 0.0;
    }
    const double width = wavelengthOf(calibration, right) - wavelengthOf(calibration, left);
    return width > 0.0 && std::isfinite(width) ? width : 0.0;
}

void findPixelPeaks(std::span<const float> y, const PeakScan &scan,
                    const PixelCalibration &calibration, std::vector<Peak> &peaks) {
    const int n = static_cast<int>(y.size());
    if (n < 3) {
        return;
    }
    const Signed z = signedValues(y, scan.kind);
    const double level = z.sign * scan.level;
    const double noise = scan.noise;
    int state = 0;
    int start = 0;
    int flat = 0;
    for (int i = 1; i <= n - 2; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double here = z[at];
        const double next = z[at + 1];
        if (state == 0) {
            if (here > level && next - here > noise) {
                state = 1;
                flat = 0;
                start = i;
            }
        } else if (state == 1) {
            if (!beyondLevel(y[at], scan)) {
                continue;
            }
            if (flat > kLongestRise) {
                state = 0;
                flat = 0;
            } else if (here - next > noise) {
                state = -1;
                flat = 0;
            } else {
                ++flat;
            }
        } else if (std::abs(here - next) >= noise || flat > scan.cutoff) {
            if (std::abs(here - next) < noise || next - here > noise) {
                Peak peak;
                if (recordPixelPeak(y, z, start, i, scan, calibration, peak)) {
                    peaks.push_back(peak);
                }
                state = 0;
                flat = 0;
                if (next - here > noise) {
                    start = i;
                    state = 1;
                }
            }
        } else {
            ++flat;
        }
    }
}

void findGridPeaks(std::span<const float> y, const PeakScan &scan, double gridStart,
                   double gridStep, std::vector<Peak> &peaks) {
    const int n = static_cast<int>(y.size());
    if (n < 2) {
        return;
    }
    const Signed z = signedValues(y, scan.kind);
    const double level = z.sign * scan.level;
    const double noise = scan.noise;
    int state = 0;
    int start = 0;
    for (int i = 0; i <= n - 2; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double here = z[at];
        const double next = z[at + 1];
        if (state == 0) {
            if (here > level && next - here > noise) {
                state = 1;
                start = i;
            }
        } else if (state == 1) {
            if (beyondLevel(y[at], scan) && here - next > noise) {
                state = -1;
            }
        } else if (std::abs(here - next) < noise || next - here > noise) {
            Peak peak;
            float extreme = 0.0f;
            const int centre = weightedCentre(y, start, i, scan.kind, extreme);
            peak.position = static_cast<float>(centre * gridStep + gridStart);
            peak.intensity = extreme;
            peak.first = start;
            peak.last = i;
            peaks.push_back(peak);
            state = 0;
            if (next - here > noise) {
                start = i;
                state = 1;
            }
        }
    }
}

} // namespace quillon::analysis
