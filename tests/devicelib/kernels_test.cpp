// Numeric kernels against independently computed values.
#include "kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numeric>
#include <vector>

namespace ov {
namespace {

TEST(Savgol, HalfWidthTwoCubicIsTheClassicFivePointSmoother) {
    std::array<double, 5> c{};
    ASSERT_TRUE(savgolCoefficients(c, 2, 2, 0, 3));
    const std::array<double, 5> expected{-3.0, 12.0, 17.0, 12.0, -3.0};
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i], expected[i] / 35.0, 1e-12) << i;
    }
}

TEST(Savgol, HalfWidthFiveCubicMatchesPublishedElevenPointWeights) {
    // Eleven-point quadratic/cubic smoothing weights, normaliser 429.
    std::array<double, 11> c{};
    ASSERT_TRUE(savgolCoefficients(c, 5, 5, 0, 3));
    const std::array<double, 11> expected{-36, 9, 44, 69, 84, 89, 84, 69, 44, 9, -36};
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i], expected[i] / 429.0, 1e-12) << i;
    }
}

TEST(Savgol, FirstDerivativeOfAQuadraticWindow) {
    // Five-point first-derivative weights (-2,-1,0,1,2)/10 for order 2.
    std::array<double, 5> c{};
    ASSERT_TRUE(savgolCoefficients(c, 2, 2, 1, 2));
    for (int k = -2; k <= 2; ++k) {
        EXPECT_NEAR(c[static_cast<std::size_t>(k + 2)], k / 10.0, 1e-12);
    }
}

TEST(Savgol, RefusesBadArgumentsWithTheClassicMessage) {
    std::array<double, 3> c{};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(savgolCoefficients(c, 1, 1, 0, 3)); // nl + nr < m
    EXPECT_FALSE(savgolCoefficients(c, 2, 2, 0, 3)); // window larger than the output
    std::array<double, 5> d{};
    EXPECT_FALSE(savgolCoefficients(d, 2, 2, 4, 3)); // ld > m
    EXPECT_FALSE(savgolCoefficients(d, 2, 2, 0, 7)); // m > 6
    EXPECT_FALSE(savgolCoefficients(d, -1, 2, 0, 1));
    const std::string out = testing::internal::GetCapturedStdout();
    std::string expected;
    for (int i = 0; i < 5; ++i) {
        expected += "\n Bad args in savgol.\n";
    }
    EXPECT_EQ(out, expected);
}

TEST(PolyFit, FourPointsOnACubicGiveItsCoefficients) {
    const std::array<double, 4> truth{350.0, 0.21, -1.5e-5, 2.0e-9};
    std::array<double, 4> x{1.0, 700.0, 1400.0, 2048.0};
    std::array<double, 4> y{};
    for (std::size_t i = 0; i < x.size(); ++i) {
        y[i] = truth[0] + truth[1] * x[i] + truth[2] * x[i] * x[i] + truth[3] * x[i] * x[i] * x[i];
    }
    std::array<double, 4> c{};
    ASSERT_EQ(polyFit(x, y, c, 3), 1);
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
    ASSERT_EQ(polyFit(x, y, c, 1), 1);
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
    EXPECT_EQ(polyFit(x, y, c, 3), -5); // fewer points than coefficients
    const std::array<double, 4> zeros{0, 0, 0, 0};
    EXPECT_EQ(polyFit(zeros, zeros, c, 3), -5); // zero rows
    EXPECT_EQ(polyFit(x, y, c, -1), -5);
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
    fftInPlace(re, im, -1);
    for (std::size_t i = 0; i < re.size(); ++i) {
        EXPECT_NEAR(re[i], 1.0F, 1e-6F); // 4 / sqrt(16)
        EXPECT_NEAR(im[i], 0.0F, 1e-6F);
    }
    fftInPlace(re, im, +1);
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
    fftInPlace(re, im, -1);
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
    fftTaperFilter(range, 50, re, im);
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
    fftTaperFilter(range, 0, re, im);
    fftTaperFilter(range, 101, re, im);
    EXPECT_EQ(range, before);
}

TEST(FftTaper, LengthNotAPowerOfTwoStaysInBounds) {
    // 3648 samples (the 3648-pixel sensor): butterfly partners past the end
    // are skipped (AddressSanitizer catches any overrun of the exact-size arrays).
    std::vector<int> range(3648, 500);
    std::vector<float> re(3648);
    std::vector<float> im(3648);
    fftTaperFilter(range, 100, re, im);
    for (const int value : range) {
        ASSERT_GT(value, -100000);
        ASSERT_LT(value, 100000);
    }
}

} // namespace
} // namespace ov
