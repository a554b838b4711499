// Numeric kernels of the read and calibration functions: plain functions
// over spans with no hidden state.
#ifndef QUILLON_DEVICELIB_SRC_KERNELS_H
#define QUILLON_DEVICELIB_SRC_KERNELS_H

#include <cstdint>
#include <span>

namespace ov {

inline constexpr int kMaxSavgolOrder = 6;
inline constexpr int kMaxPolyFitOrder = 20;

// Savitzky-Golay coefficients for nl points left and nr right, polynomial
// order m, derivative ld, written to c[0 .. nl+nr] for offsets -nl..nr.
// False (after printing the classic complaint) on bad arguments or a
// singular system.
bool savgolCoefficients(std::span<double> c, int nl, int nr, int ld, int m);

// Least squares polynomial of `order` through the points; c gets order + 1
// coefficients, c[0] the constant. Returns 1, or -5 when the system cannot be
// solved (too few points, zero pivot, order out of range).
int polyFit(std::span<const double> x, std::span<const double> y, std::span<double> c, int order);
double polyCalc(std::span<const double> c, int order, double x);

// Replaces each listed bad pixel by the mean of its nearest good neighbours;
// entries outside the frame are ignored.
void repairBadPixels(std::span<int> frame, std::span<const std::int16_t> badList);

// Low-pass filter in the frequency domain with a linear taper of the highest
// frequencies; strength 1..100. Works in 32-bit floats on scratch arrays of
// at least range.size() entries.
void fftTaperFilter(std::span<int> range, int strength, std::span<float> re, std::span<float> im);

// Forward (sign -1) or inverse (sign +1) radix-2 FFT scaled by 1/sqrt(n).
void fftInPlace(std::span<float> re, std::span<float> im, int sign);

// x^e with x^0 = 1 and 0^e = 0 for e > 0.
double power(double x, int e);

} // namespace ov

#endif
