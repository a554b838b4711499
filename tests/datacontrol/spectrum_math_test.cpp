#include "datacontrol/spectrum_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace quillon {
namespace {

TEST(FftSmoothing, TaperWidthsOfTheSpectrumLengths) {
    EXPECT_EQ(fftTaperWidth(4096, 100), 2048);
    EXPECT_EQ(fftTaperWidth(2048, 1), 39);
    // Beyond 100 the taper is wider than half the spectrum and ends at its edges.
    EXPECT_EQ(fftTaperWidth(256, 200), 226);
}

TEST(FftSmoothing, KeepsALevelAndRemovesTheHighestFrequency) {
    const FftTwiddles twiddles(256);
    std::vector<float> spectrum(256), imag(256);
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        spectrum[i] = 500.0f + (i % 2 == 0 ? 50.0f : -50.0f);
    }
    ApplyFftSmoothing(spectrum, imag, twiddles, 50);
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        EXPECT_NEAR(spectrum[i], 500.0f, 0.01f) << "pixel " << i;
    }
}

TEST(FftSmoothing, StrongerSettingSmoothsMore) {
    const FftTwiddles twiddles(1024);
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 20.0f);
    std::vector<float> noisy(1024);
    for (auto &v : noisy) {
        v = 1000.0f + noise(random);
    }
    auto roughness = [](const std::vector<float> &s) {
        double sum = 0;
        for (std::size_t i = 1; i < s.size(); ++i) {
            sum += std::abs(s[i] - s[i - 1]);
        }
        return sum;
    };
    std::vector<float> imag(1024);
    auto weak = noisy;
    auto strong = noisy;
    ApplyFftSmoothing(weak, imag, twiddles, 1);
    ApplyFftSmoothing(strong, imag, twiddles, 100);
    EXPECT_LT(roughness(weak), roughness(noisy));
    EXPECT_LT(roughness(strong), roughness(weak) * 0.8);
}

TEST(Binning, CentredWindowCutAtTheEnds) {
    std::vector<float> values{1, 2, 3, 4, 5, 6};
    std::vector<double> ring(3);
    BinningAverage(values, 2, ring);
    const std::vector<float> expected{2, 2.5f, 3, 4, 4.5f, 5};
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_FLOAT_EQ(values[i], expected[i]) << i;
    }
}

TEST(Binning, MatchesDirectAveragingOnRandomData) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(0.0f, 65535.0f);
    for (int k : {1, 3, 10}) {
        std::vector<float> values(200);
        for (auto &v : values) {
            v = value(random);
        }
        const auto input = values;
        std::vector<double> ring(k + 1);
        BinningAverage(values, k, ring);
        for (int j = 0; j < 200; ++j) {
            double sum = 0;
            int n = 0;
            for (int i = std::max(0, j - k); i <= std::min(199, j + k); ++i) {
                sum += input[i];
                ++n;
            }
            EXPECT_NEAR(values[j], sum / n, 0.01) << "k " << k << " pixel " << j;
        }
    }
}

TEST(Binning, WindowWiderThanTheSpectrumAveragesEverything) {
    std::vector<float> values{2, 4, 6};
    std::vector<double> ring(11);
    BinningAverage(values, 10, ring);
    for (float v : values) {
        EXPECT_FLOAT_EQ(v, 4.0f);
    }
}

TEST(LowPass, MedianThenMeanWithAveragedEnds) {
    std::vector<float> data{1, 2, 10, 4, 5, 6};
    std::vector<float> copy(6), window(3);
    LowPassFilter(3, data, copy, window);
    const std::vector<float> expected{1.75f, 2.5f, 11.0f / 3, 14.0f / 3, 15.5f / 3, 5.25f};
    for (std::size_t i = 0; i < data.size(); ++i) {
        EXPECT_NEAR(data[i], expected[i], 1e-5) << i;
    }
}

TEST(LowPass, DegenerateWindowsLeaveTheDataAlone) {
    const std::vector<float> original{5, 1, 9};
    for (int window : {0, 1, 4, 100}) {
        auto data = original;
        std::vector<float> copy(3), scratch(std::max(window, 1));
        LowPassFilter(window, data, copy, scratch);
        EXPECT_EQ(data, original) << "window " << window;
    }
}

} // namespace
} // namespace quillon
