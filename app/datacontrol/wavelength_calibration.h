// Wavelength calibration arithmetic: the least-squares fits between pixel
// and wavelength, the calibrated range and the uniform wavelength grid.
#ifndef QUILLON_APP_DATACONTROL_WAVELENGTH_CALIBRATION_H
#define QUILLON_APP_DATACONTROL_WAVELENGTH_CALIBRATION_H

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

inline constexpr int kMaxPolynomialOrder = 4; // room for five coefficients

enum class FitResult { Ok, Singular };

// Least squares polynomial y(x) of `order` through the points by the normal
// equations and Gaussian elimination with scaled partial pivoting. Points
// that cannot fix the polynomial (all at one x, fewer than order+1 distinct
// values) give Singular and leave the coefficients untouched.
FitResult FitPolynomial(std::span<const double> x, std::span<const double> y,
                        std::span<float> coefficients, int order);

// Sum of c[k] * x^k for k = 0..order, in double precision.
double EvalPolynomial(std::span<const float> coefficients, int order, double x);

// Order used for k calibration points: 1 for 2, 2 for 3, 3 for more.
int calibrationOrder(int pointCount);

// One calibration point "W;P": W in tenths of a nanometre, P the pixel from 1.
struct CalibrationPoint {
    double wavelengthNm = 0.0;
    double pixel = 0.0;
};
CalibrationPoint parseCalibrationPoint(std::string_view text);

class ProfileFile;

// The wavelength calibration of one list of points (PointCount and "Data k"
// of a section of a unit file or of the main settings): both polynomials and
// the calibrated whole-nm range.
enum class CalibrationStatus { Ok, TooFewPoints, Bad };
struct CalibrationFit {
    CalibrationStatus status = CalibrationStatus::Bad;
    int order = 1;
    std::array<float, kMaxPolynomialOrder + 1> pixelOfWavelength{};
    std::array<float, kMaxPolynomialOrder + 1> wavelengthOfPixel{};
    std::uint16_t startNm = 0; // first whole nm inside the calibration
    std::uint16_t endNm = 0;
};

// Fits the list of `section` for a sensor of `activePixels`: TooFewPoints
// below two points; Bad for more than the library's maximum, points that fix
// no polynomial, or a range that is empty, runs backwards or passes 65535 nm.
CalibrationFit FitCalibration(ProfileFile &file, std::string_view section, int activePixels);

// The uniform grid of the wavelength-base display.
struct WavelengthGrid {
    double start = 0.0;    // nm
    double end = 0.0;      // nm
    double interval = 1.0; // nm
    int count = 0;
    double dispersion = 0.0; // mean nm per pixel, one decimal
};

inline constexpr int kMaxGridPoints = 200000;

// Validates the requested range against the calibrated whole-nm range and
// derives point count, end and dispersion.
WavelengthGrid ResetGrid(double start, double end, double interval, int calibratedStart,
                         int calibratedEnd, int activePixels);

// Nearest active-pixel index (from 0) of every grid wavelength, clamped
// into the sensor.
void ComputeGridIndex(const WavelengthGrid &grid, std::span<const float> pixelOfWavelength,
                      int order, int activePixels, std::span<std::int32_t> gridIndex);

inline double wavenumberOf(double wavelengthNm) {
    return 1.0e7 / wavelengthNm;
}

} // namespace quillon

#endif
