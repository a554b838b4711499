// Numeric kernels against independently computed values.
#include "ov/numeric/bad_pixels.h"
#include "ov/numeric/fft.h"
#include "ov/numeric/polynomial.h"
#include "ov/numeric/savgol.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

namespace ov::numeric {
namespace {

constexpr auto kOk = SavgolStatus::Ok;
constexpr auto kBadArguments = SavgolStatus::BadArguments;

TEST(Savgol, HalfWidthTwoCubicIsTheClassicFivePointSmoother) {
    std::array<double, 5> c{};
    ASSERT_EQ(savgolCoefficients(c, 2, 2, 0, 3), kOk);
    const std::array<double, 5> expected{-3.0, 12.0, 17.0, 12.0, -3.0};
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i], expected[i] / 35.0, 1e-12) << i;
    }
}

TEST(Savgol, HalfWidthFiveCubicMatchesPublishedElevenPointWeights) {
    // Eleven-point quadratic/cubic smoothing weights, normaliser 429.
    std::array<double, 11> c{};
    ASSERT_EQ(savgolCoefficients(c, 5, 5, 0, 3), kOk);
    const std::array<double, 11> expected{-36, 9, 44, 69, 84, 89, 84, 69, 44, 9, -36};
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i], expected[i] / 429.0, 1e-12) << i;
    }
}

TEST(Savgol, FirstDerivativeOfAQuadraticWindow) {
    // Five-point first-derivative weights (-2,-1,0,1,2)/10 for order 2.
    std::array<double, 5> c{};
    ASSERT_EQ(savgolCoefficients(c, 2, 2, 1, 2), kOk);
    for (int k = -2; k <= 2; ++k) {
        EXPECT_NEAR(c[static_cast<std::size_t>(k + 2)], k / 10.0, 1e-12);
    }
}

TEST(Savgol, RefusesBadArguments) {
    std::array<double, 3> c{};
    EXPECT_EQ(savgolCoefficients(c, 1, 1, 0, 3), kBadArguments); // nl + nr < m
    EXPECT_EQ(savgolCoefficients(c, 2, 2, 0, 3), kBadArguments); // window larger than the output
    std::array<double, 5> d{};
    EXPECT_EQ(savgolCoefficients(d, 2, 2, 4, 3), kBadArguments); // ld > m
    EXPECT_EQ(savgolCoefficients(d, 2, 2, 0, 7), kBadArguments); // m > 6
    EXPECT_EQ(savgolCoefficients(d, -1, 2, 0, 1), kBadArguments);
}

TEST(PolyFit, FourPointsOnACubicGiveItsCoefficients) {
    const std::array<double, 4> truth{350.0, 0.21, -1.5e-5, 2.0e-9};
    std::array<double, 4> x{1.0, 700.0, 1400.0, 2048.0};
    std::array<double, 4> y{};
    for (std::size_t i = 0; i < x.size(); ++i) {
        y[i] = truth[0] + truth[1] * x[i] + truth[2] * x[i] * x[i] + truth[3] * x[i] * x[i] * x[i];
    }
    std::array<double, 4> c{};
    ASSERT_TRUE(polyFit(x, y, c, 3));
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i], truth[i], std::fabs(truth[i]) * 1e-6) << i;
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_NEAR(polyCalc(c, 3, x[i]), y[i], 1e-6);
    }
}

TEST(PolyFit, LeastSquaresLineThroughNoisyPoints) {
    // Closed form: slope = cov(x,y)/var(x).
    const std::vector<double> x{0, 1, 2, 3, 4};
    const std::vector<double> y{1.1, 2.9, 5.2, 6.8, 9.0};
    std::array<double, 2> c{};
    ASSERT_TRUE(polyFit(x, y, c, 1));
    const double mx = 2.0;
    const double my = std::accumulate(y.begin(), y.end(), 0.0) / 5.0;
    double sxy = 0;
    double sxx = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    EXPECT_NEAR(c[1], sxy / sxx, 1e-12);
    EXPECT_NEAR(c[0], my - c[1] * mx, 1e-12);
}

TEST(PolyFit, UnsolvableSystemsAreRefused) {
    std::array<double, 4> c{};
    const std::array<double, 3> x{1, 2, 3};
    const std::array<double, 3> y{1, 4, 9};
    EXPECT_FALSE(polyFit(x, y, c, 3)); // fewer points than coefficients
    const std::array<double, 4> zeros{0, 0, 0, 0};
    EXPECT_FALSE(polyFit(zeros, zeros, c, 3)); // zero rows
    EXPECT_FALSE(polyFit(x, y, c, -1));
    EXPECT_FALSE(polyFit(x, y, c, kMaxPolyFitOrder + 1));
}

TEST(PolyFit, PointsAtOnePixelFailOnlyUnderTheCalibrationTolerance) {
    // Rounding leaves a tiny pivot rather than a zero one: the export's
    // rule takes it, the calibration's refuses it and leaves c untouched.
    const std::array<double, 3> x{500, 500, 500};
    const std::array<double, 3> y{400, 450, 500};
    std::array<double, 3> c{1, 2, 3};
    EXPECT_FALSE(polyFit(x, y, c, 2, kWellConditioned));
    EXPECT_EQ(c, (std::array<double, 3>{1, 2, 3}));
    const std::array<double, 2> line{100, 1100};
    const std::array<double, 2> nm{400, 500};
    ASSERT_TRUE(polyFit(line, nm, c, 1, kWellConditioned));
    EXPECT_NEAR(c[0], 390.0, 1e-9);
    EXPECT_NEAR(c[1], 0.1, 1e-12);
}

TEST(PolyCalc, OrderBelowZeroGivesZeroAndPowersFollowTheZeroRule) {
    const std::array<double, 3> c{2.0, 3.0, 4.0};
    EXPECT_EQ(polyCalc(c, -1, 5.0), 0.0);
    EXPECT_EQ(polyCalc(c, 2, 0.0), 2.0);
    EXPECT_EQ(polyCalc(c, 2, 2.0), 2.0 + 6.0 + 16.0);
    EXPECT_EQ(power(0.0, 0), 1.0);
    EXPECT_EQ(power(0.0, 3), 0.0);
}

TEST(BadPixels, NeighboursSkipListedPixelsAndEdgesTakeTheOtherSide) {
    std::vector<int> frame{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    const std::array<std::int16_t, 3> bad{5, 6, 0};
    repairBadPixels(frame, bad);
    EXPECT_EQ(frame[5], (50 + 80) / 2);
    EXPECT_EQ(frame[6], (50 + 80) / 2);
    EXPECT_EQ(frame[0], 20); // lower neighbour missing: upper one twice
    std::vector<int> edge{1, 2, 3, -7};
    const std::array<std::int16_t, 1> last{3};
    repairBadPixels(edge, last);
    EXPECT_EQ(edge[3], 3);
}

TEST(BadPixels, NegativeMeansTruncateTowardsZeroAndOutOfRangeEntriesAreIgnored) {
    std::vector<int> frame{-3, 0, -4, 9};
    const std::array<std::int16_t, 3> bad{1, 99, -2};
    repairBadPixels(frame, bad);
    EXPECT_EQ(frame[1], -3); // (-3 + -4) / 2 = -3.5 -> -3
    EXPECT_EQ(frame[3], 9);
}

TEST(BadPixels, AllPixelsListedLeavesTheFrameAlone) {
    std::vector<int> frame{4, 5};
    const std::array<std::int16_t, 2> bad{0, 1};
    repairBadPixels(frame, bad);
    EXPECT_EQ(frame, (std::vector<int>{4, 5}));
}

TEST(Fft, ForwardOfAnImpulseIsFlatAndInverseRestoresIt) {
    std::vector<float> re(16, 0.0F);
    std::vector<float> im(16, 0.0F);
    re[0] = 4.0F;
    const FftPlan plan(16);
    fft(re, im, plan, -1);
    for (std::size_t i = 0; i < re.size(); ++i) {
        EXPECT_NEAR(re[i], 1.0F, 1e-6F); // 4 / sqrt(16)
        EXPECT_NEAR(im[i], 0.0F, 1e-6F);
    }
    fft(re, im, plan, +1);
    EXPECT_NEAR(re[0], 4.0F, 1e-5F);
    EXPECT_NEAR(re[7], 0.0F, 1e-5F);
}

TEST(Fft, SingleToneLandsInItsBin) {
    constexpr std::size_t n = 64;
    std::vector<float> re(n);
    std::vector<float> im(n, 0.0F);
    for (std::size_t i = 0; i < n; ++i) {
        re[i] = static_cast<float>(std::cos(2.0 * M_PI * 5.0 * static_cast<double>(i) / n));
    }
    fft(re, im, FftPlan(n), -1);
    for (std::size_t k = 0; k < n; ++k) {
        const float magnitude = std::hypot(re[k], im[k]);
        const float expected = (k == 5 || k == n - 5) ? 4.0F : 0.0F; // n/2 / sqrt(n)
        EXPECT_NEAR(magnitude, expected, 1e-4F) << k;
    }
}

TEST(FftTaper, RemovesTheNyquistAlternationAndKeepsTheMean) {
    constexpr std::size_t n = 2048;
    std::vector<int> range(n);
    for (std::size_t i = 0; i < n; ++i) {
        range[i] = 1000 + ((i % 2 == 0) ? 100 : -100);
    }
    std::vector<float> re(n);
    std::vector<float> im(n);
    taperFilter(range, 50, re, im, FftPlan(n));
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_NEAR(range[i], 1000, 1) << i;
    }
}

TEST(FftTaper, StrengthOutsideOneToHundredLeavesTheRange) {
    std::vector<int> range(256);
    std::iota(range.begin(), range.end(), 0);
    const std::vector<int> before = range;
    std::vector<float> re(256);
    std::vector<float> im(256);
    const FftPlan plan(256);
    taperFilter(range, 0, re, im, plan);
    taperFilter(range, 101, re, im, plan);
    EXPECT_EQ(range, before);
}

TEST(FftTaper, LengthNotAPowerOfTwoKeepsALevelAndTheValuesOfAReference) {
    // 3648 samples (the 3648-pixel sensor): butterfly partners past the end
    // are skipped, so this is no true transform; the filter must still keep
    // its values, worked out below with the plain formulas (factors computed
    // on the spot, the scale applied last).
    constexpr std::size_t n = 3648;
    std::vector<int> range(n);
    for (std::size_t i = 0; i < n; ++i) {
        range[i] = 500 + static_cast<int>((i * 7919) % 301) - 150;
    }
    const auto reference = [&](std::vector<float> re, std::vector<float> im, int sign) {
        std::size_t j = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (i < j && j < n) {
                std::swap(re[i], re[j]);
                std::swap(im[i], im[j]);
            }
            std::size_t bit = n >> 1;
            while (bit >= 1 && j >= bit) {
                j -= bit;
                bit >>= 1;
            }
            j += bit;
        }
        for (std::size_t half = 1; half < n; half <<= 1) {
            const double step = sign * std::numbers::pi / static_cast<double>(half);
            for (std::size_t k = 0; k < half; ++k) {
                const auto wr = static_cast<float>(std::cos(step * static_cast<double>(k)));
                const auto wi = static_cast<float>(std::sin(step * static_cast<double>(k)));
                for (std::size_t a = k; a + half < n; a += 2 * half) {
                    const std::size_t b = a + half;
                    const float tr = wr * re[b] - wi * im[b];
                    const float ti = wr * im[b] + wi * re[b];
                    re[b] = re[a] - tr;
                    im[b] = im[a] - ti;
                    re[a] += tr;
                    im[a] += ti;
                }
            }
        }
        const auto norm = static_cast<float>(1.0 / std::sqrt(static_cast<double>(n)));
        for (std::size_t i = 0; i < n; ++i) {
            re[i] *= norm;
            im[i] *= norm;
        }
        return std::pair(re, im);
    };
    std::vector<float> re(n);
    std::vector<float> im(n, 0.0F);
    for (std::size_t i = 0; i < n; ++i) {
        re[i] = static_cast<float>(range[i]);
    }
    auto [fr, fi] = reference(re, im, -1);
    const int width = std::min(taperWidth(n, 40), static_cast<int>(n / 2));
    ASSERT_EQ(width, 30 + static_cast<int>((1824 - 30) * 0.4));
    fr[n / 2] = fr[n / 2 - 1] = fi[n / 2] = fi[n / 2 - 1] = 0.0F;
    for (int v = 1; v <= width - 2; ++v) {
        const float factor = static_cast<float>(v) / static_cast<float>(width);
        for (const std::size_t bin : {n / 2 - 1 - static_cast<std::size_t>(v), n / 2 + v}) {
            fr[bin] *= factor;
            fi[bin] *= factor;
        }
    }
    const auto [br, bi] = reference(fr, fi, +1);

    std::vector<float> real(n);
    std::vector<float> imag(n);
    const std::vector<int> input = range;
    taperFilter(range, 40, real, imag, FftPlan(n));
    long long differences = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(range[i], static_cast<int>(br[i])) << i;
        differences += range[i] != input[i];
    }
    EXPECT_GT(differences, 0); // the filter did something
}

TEST(FftTaper, WidthFollowsTheStrength) {
    EXPECT_EQ(taperWidth(4096, 100), 2048);
    EXPECT_EQ(taperWidth(2048, 1), 39);
    EXPECT_EQ(taperWidth(3648, 40), 747);
}

// Direct evaluation of the transform with the same sign and scaling.
std::vector<std::complex<double>> naiveTransform(const std::vector<float> &re,
                                                 const std::vector<float> &im, int sign) {
    const std::size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::complex<double> sum;
        for (std::size_t t = 0; t < n; ++t) {
            const double angle = sign * 2.0 * std::numbers::pi * double(k * t % n) / double(n);
            sum += std::complex<double>(re[t], im[t]) * std::polar(1.0, angle);
        }
        out[k] = sum / std::sqrt(double(n));
    }
    return out;
}

TEST(Fft, MatchesDirectTransformBothWays) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    for (int sign : {+1, -1}) {
        std::vector<float> re(64), im(64);
        for (std::size_t i = 0; i < re.size(); ++i) {
            re[i] = value(random);
            im[i] = value(random);
        }
        const auto expected = naiveTransform(re, im, sign);
        fft(re, im, FftPlan(64), sign);
        for (std::size_t k = 0; k < re.size(); ++k) {
            EXPECT_NEAR(re[k], expected[k].real(), 1e-3) << "bin " << k;
            EXPECT_NEAR(im[k], expected[k].imag(), 1e-3) << "bin " << k;
        }
    }
}

TEST(Fft, ForwardThenBackwardGivesBackTheSpectrum) {
    const FftPlan plan(4096);
    std::vector<float> re(4096), im(4096, 0.0f);
    for (std::size_t i = 0; i < re.size(); ++i) {
        re[i] = 1000.0f + 500.0f * std::sin(float(i) * 0.01f);
    }
    const auto original = re;
    fft(re, im, plan, +1);
    fft(re, im, plan, -1);
    for (std::size_t i = 0; i < re.size(); i += 97) {
        EXPECT_NEAR(re[i], original[i], 0.05f);
    }
}

TEST(Fft, LengthsAndMismatchedSpans) {
    EXPECT_EQ(fftLengthFor(3648), 4096u);
    EXPECT_EQ(fftLengthFor(2048), 2048u);
    EXPECT_EQ(fftLengthFor(256), 256u);
    EXPECT_TRUE(isPowerOfTwo(256));
    EXPECT_FALSE(isPowerOfTwo(3648));
    std::vector<float> re(8, 1.0f), im(4, 0.0f);
    fft(re, im, FftPlan(8), -1); // spans not of the plan's length: left alone
    EXPECT_EQ(re, std::vector<float>(8, 1.0f));
}

} // namespace
} // namespace ov::numeric
