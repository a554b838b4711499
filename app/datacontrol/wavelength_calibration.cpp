#include "datacontrol/wavelength_calibration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace quillon {

namespace {

// pow with the rule 0^0 = 1, as the C library gives it.
double power(double x, int e) {
    return std::pow(x, e);
}

} // namespace

FitResult FitPolynomial(std::span<const double> x, std::span<const double> y,
                        std::span<float> coefficients, int order) {
    if (order < 0 || order > kMaxPolynomialOrder || x.size() != y.size() ||
        coefficients.size() < static_cast<std::size_t>(order) + 1 ||
        x.size() < static_cast<std::size_t>(order) + 1) {
        return FitResult::Singular;
    }
    const int m = order + 1;
    std::array<std::array<double, kMaxPolynomialOrder + 1>, kMaxPolynomialOrder + 1> a{};
    std::array<double, kMaxPolynomialOrder + 1> b{};
    std::array<double, kMaxPolynomialOrder + 1> scale{};
    std::array<int, kMaxPolynomialOrder + 1> rowOrder{};
    for (int r = 0; r < m; ++r) {
        for (int s = 0; s < m; ++s) {
            double sum = 0.0;
            for (double xi : x) {
                sum += power(xi, r + s);
            }
            a[r][s] = sum;
        }
        double sum = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            sum += y[i] * power(x[i], r);
        }
        b[r] = sum;
        rowOrder[r] = r;
    }
    for (int r = 0; r < m; ++r) {
        for (int s = 0; s < m; ++s) {
            scale[r] = std::max(scale[r], std::abs(a[r][s]));
        }
        if (!(scale[r] > 0.0) || !std::isfinite(scale[r])) {
            return FitResult::Singular;
        }
    }
    for (int j = 0; j < m; ++j) {
        int best = j;
        double bestRatio = -1.0;
        for (int k = j; k < m; ++k) {
            const double ratio = std::abs(a[rowOrder[k]][j]) / scale[rowOrder[k]];
            if (ratio > bestRatio) {
                bestRatio = ratio;
                best = k;
            }
        }
        std::swap(rowOrder[j], rowOrder[best]);
        const int pivot = rowOrder[j];
        // A vanishing pivot relative to its row means the points do not fix
        // this power: the system is singular.
        if (bestRatio < 1e-13) {
            return FitResult::Singular;
        }
        for (int k = j + 1; k < m; ++k) {
            const int row = rowOrder[k];
            const double factor = a[row][j] / a[pivot][j];
            for (int s = j + 1; s < m; ++s) {
                a[row][s] -= factor * a[pivot][s];
            }
            a[row][j] = 0.0;
            b[row] -= factor * b[pivot];
        }
    }
    std::array<double, kMaxPolynomialOrder + 1> solution{};
    for (int j = m - 1; j >= 0; --j) {
        const int pivot = rowOrder[j];
        double sum = b[pivot];
        for (int s = j + 1; s < m; ++s) {
            sum -= solution[s] * a[pivot][s];
        }
        solution[j] = sum / a[pivot][j];
        if (!std::isfinite(solution[j])) {
            return FitResult::Singular;
        }
    }
    for (int j = 0; j < m; ++j) {
        coefficients[j] = static_cast<float>(solution[j]);
    }
    return FitResult::Ok;
}

double EvalPolynomial(std::span<const float> coefficients, int order, double x) {
    double sum = 0.0;
    for (int k = 0; k <= order && k < static_cast<int>(coefficients.size()); ++k) {
        sum += static_cast<double>(coefficients[k]) * power(x, k);
    }
    return sum;
}

int calibrationOrder(int pointCount) {
    if (pointCount <= 2) {
        return 1;
    }
    return pointCount == 3 ? 2 : 3;
}

CalibrationPoint parseCalibrationPoint(std::string_view text) {
    const std::string value(text);
    CalibrationPoint point;
    point.wavelengthNm = std::atof(value.c_str()) / 10.0;
    const auto separator = value.find(';');
    if (separator != std::string::npos) {
        point.pixel = std::atof(value.c_str() + separator + 1);
    }
    return point;
}

WavelengthGrid ResetGrid(double start, double end, double interval, int calibratedStart,
                         int calibratedEnd, int activePixels) {
    WavelengthGrid grid;
    grid.start = start;
    grid.end = end;
    if (start >= end || start < calibratedStart || end > calibratedEnd) {
        grid.start = calibratedStart;
        grid.end = calibratedEnd;
    }
    const double dispersion =
        activePixels > 0 ? static_cast<double>(calibratedEnd - calibratedStart) / activePixels
                         : 0.0;
    grid.dispersion = std::trunc(dispersion * 10.0) / 10.0;
    // A step of zero or less would never reach the end; a tiny one would ask
    // for more points than any display can use.
    grid.interval = interval > 0.0 ? interval : 1.0;
    const double span = std::max(0.0, grid.end - grid.start);
    if (span / grid.interval + 1.0 > kMaxGridPoints) {
        grid.interval = span / (kMaxGridPoints - 1);
    }
    grid.count = static_cast<int>(std::trunc(span / grid.interval)) + 1;
    grid.end = (grid.count - 1) * grid.interval + grid.start;
    return grid;
}

void ComputeGridIndex(const WavelengthGrid &grid, std::span<const float> pixelOfWavelength,
                      int order, int activePixels, std::span<std::int32_t> gridIndex) {
    const int count = std::min<int>(grid.count, static_cast<int>(gridIndex.size()));
    for (int i = 0; i < count; ++i) {
        const double pixel =
            EvalPolynomial(pixelOfWavelength, order, grid.start + i * grid.interval);
        const double nearest = std::round(pixel) - 1.0;
        const double clamped =
            std::clamp(nearest, 0.0, static_cast<double>(std::max(0, activePixels - 1)));
        gridIndex[i] = static_cast<std::int32_t>(std::isfinite(clamped) ? clamped : 0.0);
    }
}

} // namespace quillon
