#include "datacontrol/wavelength_calibration.h"

#include "datacontrol/profile_file.h"
#include "ov/numeric/polynomial.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace quillon {

FitResult FitPolynomial(std::span<const double> x, std::span<const double> y,
                        std::span<float> coefficients, int order) {
    if (order < 0 || order > kMaxPolynomialOrder || x.size() != y.size() ||
        coefficients.size() < static_cast<std::size_t>(order) + 1) {
        return FitResult::Singular;
    }
    std::array<double, kMaxPolynomialOrder + 1> solution{};
    if (!ov::numeric::polyFit(x, y, solution, order, ov::numeric::kWellConditioned)) {
        return FitResult::Singular;
    }
    for (int j = 0; j <= order; ++j) {
        coefficients[static_cast<std::size_t>(j)] =
            static_cast<float>(solution[static_cast<std::size_t>(j)]);
    }
    return FitResult::Ok;
}

double EvalPolynomial(std::span<const float> coefficients, int order, double x) {
    return ov::numeric::polyCalc(coefficients, order, x);
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

CalibrationFit FitCalibration(ProfileFile &file, std::string_view section, int activePixels) {
    // Counts are 16-bit in the records; a calibration beyond cannot be stored.
    constexpr double kLongestWavelength = 65535.0;
    CalibrationFit fit;
    const int count = file.GetInt(section, "PointCount");
    if (count <= 1) {
        fit.status = CalibrationStatus::TooFewPoints;
        return fit;
    }
    if (count > OV_MAX_CAL_POINTS) {
        return fit;
    }
    std::vector<double> wavelengths;
    std::vector<double> pixels;
    for (int i = 1; i <= count; ++i) {
        const CalibrationPoint point =
            parseCalibrationPoint(file.GetText(section, "Data " + std::to_string(i)));
        wavelengths.push_back(point.wavelengthNm);
        pixels.push_back(point.pixel);
    }
    fit.order = calibrationOrder(count);
    // Points that cannot fix the polynomial (all at one pixel) would divide
    // by a zero pivot.
    if (FitPolynomial(wavelengths, pixels, fit.pixelOfWavelength, fit.order) != FitResult::Ok ||
        FitPolynomial(pixels, wavelengths, fit.wavelengthOfPixel, fit.order) != FitResult::Ok) {
        return fit;
    }
    const double first = EvalPolynomial(fit.wavelengthOfPixel, fit.order, 1.0);
    const double last = EvalPolynomial(fit.wavelengthOfPixel, fit.order, activePixels);
    // A range that is empty, runs backwards or does not fit the 16-bit
    // records would give a grid without points or wrapped limits.
    if (!(first > 0.0) || !(last > 0.0) || !(last < kLongestWavelength) ||
        std::trunc(last) <= std::trunc(first + 1.0)) {
        return fit;
    }
    fit.startNm = static_cast<std::uint16_t>(std::trunc(first + 1.0));
    fit.endNm = static_cast<std::uint16_t>(std::trunc(last));
    fit.status = CalibrationStatus::Ok;
    return fit;
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
