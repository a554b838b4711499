// A simulated-looking spectrum for graph tests and benchmarks: a halogen
// lamp curve through a silicon response with Hg-Ar lines, bias and noise.
#ifndef QUILLON_TESTS_SHELL_SYNTHETIC_SPECTRUM_H
#define QUILLON_TESTS_SHELL_SYNTHETIC_SPECTRUM_H

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace quillon::testing {

// λ(p) = c0 + c1·p + c2·p² over 3648 pixels: about 340 to 1010 nm.
inline const std::vector<double> kSyntheticPolynomial{340.0, 0.19, -1.5e-6};
inline constexpr int kSyntheticPixels = 3648;

inline double syntheticWavelength(double pixel) {
    return kSyntheticPolynomial[0] + kSyntheticPolynomial[1] * pixel +
           kSyntheticPolynomial[2] * pixel * pixel;
}

inline std::vector<float> syntheticWavelengthTable(int pixels = kSyntheticPixels) {
    std::vector<float> table(static_cast<std::size_t>(pixels));
    for (int p = 1; p <= pixels; ++p) {
        table[static_cast<std::size_t>(p - 1)] = static_cast<float>(syntheticWavelength(p));
    }
    return table;
}

// Counts per pixel (index p-1 holds pixel p).
inline std::vector<float> syntheticHalogenSpectrum(int pixels = kSyntheticPixels,
                                                   unsigned seed = 7) {
    constexpr std::array<std::pair<double, double>, 8> kLines{{{404.66, 9000.0},
                                                               {435.83, 21000.0},
                                                               {546.07, 30000.0},
                                                               {576.96, 9000.0},
                                                               {579.07, 9500.0},
                                                               {696.54, 7000.0},
                                                               {763.51, 14000.0},
                                                               {811.53, 11000.0}}};
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 25.0);
    std::vector<float> counts(static_cast<std::size_t>(pixels));
    for (int p = 1; p <= pixels; ++p) {
        const double nm = syntheticWavelength(p);
        const double um = nm * 1e-3;
        // Planck at 3000 K, then a bell-shaped silicon response.
        const double planck = 1.0 / (std::pow(um, 5.0) * (std::exp(14388.0 / (um * 3000.0)) - 1.0));
        const double response = std::exp(-std::pow((nm - 620.0) / 230.0, 2.0));
        double value = 1500.0 + 6.0e6 * planck * response;
        for (const auto &[centre, height] : kLines) {
            value += height * std::exp(-0.5 * std::pow((nm - centre) / 0.55, 2.0));
        }
        value += noise(random);
        counts[static_cast<std::size_t>(p - 1)] =
            static_cast<float>(std::clamp(value, 0.0, 65535.0));
    }
    return counts;
}

// T/R % of a green filter on a 1 nm grid from `start`.
inline std::vector<float> syntheticTransmission(double start, int count, unsigned seed = 11) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.35);
    std::vector<float> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double nm = start + i;
        const double pass = 88.0 * std::exp(-std::pow((nm - 530.0) / 45.0, 2.0));
        const double tail = 6.0 / (1.0 + std::exp(-(nm - 760.0) / 15.0));
        values[static_cast<std::size_t>(i)] = static_cast<float>(pass + tail + noise(random));
    }
    return values;
}

} // namespace quillon::testing

#endif
