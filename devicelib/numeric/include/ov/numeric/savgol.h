// Savitzky-Golay smoothing coefficients.
#ifndef QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_SAVGOL_H
#define QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_SAVGOL_H

#include <span>

namespace ov::numeric {

inline constexpr int kMaxSavgolOrder = 6;

enum class SavgolStatus { Ok, BadArguments, Singular };

// Coefficients for nl points left and nr right, polynomial order m,
// derivative ld, written to c[0 .. nl+nr] for offsets -nl..nr.
SavgolStatus savgolCoefficients(std::span<double> c, int nl, int nr, int ld, int m);

} // namespace ov::numeric

#endif
