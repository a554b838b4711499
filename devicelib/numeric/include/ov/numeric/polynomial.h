// Least-squares polynomial fit and evaluation.
#ifndef QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_POLYNOMIAL_H
#define QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_POLYNOMIAL_H

#include <cstddef>
#include <span>

namespace ov::numeric {

inline constexpr int kMaxPolyFitOrder = 20;

// x^e with x^0 = 1 and 0^e = 0 for e > 0.
double power(double x, int e);

// When a fit counts as unsolvable. The device library's export refuses only
// an exact zero pivot; the wavelength calibration also refuses a pivot that
// is tiny against its row and coefficients that are not finite.
struct FitTolerance {
    double minPivotRatio = 0.0;
    bool finiteCoefficients = false;
};
inline constexpr FitTolerance kZeroPivotOnly{};
inline constexpr FitTolerance kWellConditioned{1e-13, true};

// Least squares polynomial of `order` (0..kMaxPolyFitOrder) through the
// points min(x.size(), y.size()) by the normal equations and Gaussian
// elimination with scaled partial pivoting. c gets order + 1 coefficients,
// c[0] the constant. False when the system cannot be solved (too few
// points, a row of zeros, a pivot below the tolerance, order out of range);
// c is then left untouched.
bool polyFit(std::span<const double> x, std::span<const double> y, std::span<double> c, int order,
             FitTolerance tolerance = kZeroPivotOnly);

// Sum of c[k] * x^k for k = 0..order (as far as c goes), in double precision.
double polyCalc(std::span<const double> c, int order, double x);
double polyCalc(std::span<const float> c, int order, double x);

} // namespace ov::numeric

#endif
