// The content of the shipped colour tables, computed from the published
// 1 nm colour-matching functions and illuminants.
//
// Weights for 10 nm data (360-780 nm) follow the method of ASTM E308 Table 5
// (CIE 15): the spectrum between the 10 nm points is taken as the Lagrange
// polynomial through its neighbours (cubic, quadratic in the first and last
// interval), the 1 nm sums of illuminant x CMF x polynomial give each
// point's weight, the tail beyond 780 nm goes to the 780 nm weight, and the
// set is scaled so that the white's Y is 100. This reproduces the published
// D65 / 1964 table to its last digit.
#ifndef QUILLON_APP_PHOTOMETRY_TABLES_WEIGHTING_H
#define QUILLON_APP_PHOTOMETRY_TABLES_WEIGHTING_H

#include "reference_data.h"

#include <array>
#include <string>

namespace quillon::colour::tables {

struct Triple {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline constexpr int kRows = 43; // 360-780 nm at 10 nm

struct WeightingSet {
    std::array<Triple, kRows> weights{};
    Triple white; // Xn, Yn, Zn of the illuminant (Yn = 100)
};

// The white point of an illuminant from the 1 nm sums, Y scaled to 100.
Triple whitePoint(const SpectralTable &illuminant1nm, const SpectralTable &cmf1nm);
// The weights for 10 nm data, with the white point of the same sums.
WeightingSet computeWeights(const SpectralTable &illuminant1nm, const SpectralTable &cmf1nm);
// The published ASTM E308 Table 5 weights in columns first..first+2 of the
// table, which must run 360-780 nm at 10 nm; false when it does not.
bool publishedWeights(const SpectralTable &astm, std::size_t firstColumn, WeightingSet &set);

// The spectrum locus of the 2 degree observer, 380-780 nm at 5 nm.
std::array<std::array<double, 2>, 81> spectrumLocus(const SpectralTable &cmf1931);

// The byte images of the files, float32 little-endian. Triple 43 holds the
// column sums of the float32 weights, summed in row order as the reader does.
std::string colorFileBytes(const std::array<WeightingSet, 6> &sets,
                           const std::array<std::array<double, 2>, 81> &locus);
// V(lambda) at 380-770 nm at 10 nm; empty when the table lacks a value.
std::string photopicFileBytes(const SpectralTable &v1924);
// A C++ source defining the built-in V_M table (380-780 nm at 1 nm);
// empty when the table does not cover that range at 1 nm.
std::string photopicVmSource(const SpectralTable &vm);

} // namespace quillon::colour::tables

#endif
