// The peak scan's rules on hand-made data, and Gaussian lines of known
// centre and width against the centre and width it measures.
#include "analysis/peak_finder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace quillon::analysis;

namespace {

// lambda(p) = 400 + 0.25 p: widths in nm are a quarter of those in pixels.
const std::vector<float> kLinear{400.0f, 0.25f};
const PixelCalibration kCalibration{kLinear, 1};

PeakScan highScan(double level, double noise, int cutoff = 2) {
    return {PeakKind::High, level, noise, cutoff};
}

std::vector<Peak> pixelPeaks(const std::vector<float> &y, const PeakScan &scan) {
    std::vector<Peak> peaks;
    findPixelPeaks(y, scan, kCalibration, peaks);
    return peaks;
}

// Baseline plus Gaussian lines (index centre, FWHM in pixels, height).
struct Line {
    double centre;
    double fwhm;
    double height;
};

std::vector<float> gaussianLines(std::size_t n, double baseline, const std::vector<Line> &lines) {
    std::vector<float> y(n, static_cast<float>(baseline));
    for (std::size_t i = 0; i < n; ++i) {
        for (const Line &line : lines) {
            const double d = (static_cast<double>(i) - line.centre) / line.fwhm;
            y[i] += static_cast<float>(line.height * std::exp(-4.0 * std::numbers::ln2 * d * d));
        }
    }
    return y;
}

TEST(PeakNoise, MeanStepTimesTheRatioAndTenTimesLessOnTheGrid) {
    const std::vector<float> y{0, 2, 0, 2, 0};
    EXPECT_DOUBLE_EQ(peakNoise(y, false, 1.5), 3.0);
    EXPECT_DOUBLE_EQ(peakNoise(y, true, 1.5), 0.3);
    // Fewer than two values: nothing to divide by n - 1.
    EXPECT_EQ(peakNoise(std::vector<float>{7}, false, 1.2), 0.0);
    EXPECT_EQ(peakNoise({}, true, 1.2), 0.0);
}

TEST(PixelPeaks, TooLittleDataOrAFlatSpectrumGivesNone) {
    EXPECT_TRUE(pixelPeaks({}, highScan(0, 0)).empty());
    EXPECT_TRUE(pixelPeaks({5, 9}, highScan(0, 0)).empty());
    const std::vector<float> flat(100, 500.0f);
    EXPECT_EQ(peakNoise(flat, false, 1.2), 0.0);
    EXPECT_TRUE(pixelPeaks(flat, highScan(10, 0)).empty());
}

TEST(PixelPeaks, WithoutNoiseAnyStrictRiseAboveTheLevelStartsAPeak) {
    // N = 0: one step up starts a peak; the fall ends it when the values turn up again.
    std::vector<float> y(40, 100.0f);
    y[10] = 101.0f;
    y[11] = 100.0f;
    y[30] = 101.0f;
    const std::vector<Peak> peaks = pixelPeaks(y, highScan(50, 0.0, 0));
    ASSERT_EQ(peaks.size(), 1u);
    EXPECT_EQ(peaks[0].position, 11.0f); // index 10, pixel 11
    EXPECT_EQ(peaks[0].intensity, 101.0f);
    // Below the level nothing starts.
    EXPECT_TRUE(pixelPeaks(y, highScan(100.5, 0.0, 0)).empty());
}

TEST(PixelPeaks, AFallThatNeverEndsIsNotRecorded) {
    std::vector<float> y(30, 10.0f);
    for (int i = 10; i < 30; ++i) {
        y[static_cast<std::size_t>(i)] = static_cast<float>(1000 - 20 * (i - 15) * (i > 15));
    }
    y[9] = 10.0f; // a step up to 1000, a plateau, then a fall of 20 a step to the end
    for (int i = 10; i <= 15; ++i) {
        y[static_cast<std::size_t>(i)] = 1000.0f + static_cast<float>(i);
    }
    EXPECT_TRUE(pixelPeaks(y, highScan(5, 5.0)).empty());
    // The same peak with a flat tail is recorded.
    for (int i = 24; i < 30; ++i) {
        y[static_cast<std::size_t>(i)] = y[23];
    }
    EXPECT_EQ(pixelPeaks(y, highScan(5, 5.0)).size(), 1u);
}

TEST(PixelPeaks, ARiseOfMoreThanEightyStepsIsAbandoned) {
    // A rise that creeps (steps below N) after its start: 81 such steps
    // above the level abandon it; 60 do not.
    auto ramp = [](int creep) {
        std::vector<float> y(200, 0.0f);
        y[9] = 20.0f;
        y[10] = 100.0f;
        for (int k = 1; k <= creep; ++k) {
            y[static_cast<std::size_t>(10 + k)] = 100.0f + 0.5f * static_cast<float>(k);
        }
        return y; // then a fall to 0
    };
    EXPECT_EQ(pixelPeaks(ramp(60), highScan(10, 1.0)).size(), 1u);
    EXPECT_TRUE(pixelPeaks(ramp(90), highScan(10, 1.0)).empty());
}

TEST(PixelPeaks, APeakMustStandCutoffNoisesAboveItsStart) {
    std::vector<float> y(20, 0.0f);
    y[5] = 100.0f;
    y[6] = 105.0f;
    y[7] = 110.0f;
    y[8] = 100.0f;
    // Height 110 - 100 = 10 against cutoff 2 x N.
    EXPECT_EQ(pixelPeaks(y, highScan(50, 4.0)).size(), 1u);
    EXPECT_TRUE(pixelPeaks(y, highScan(50, 4.0, 3)).empty());
}

TEST(PeakCentre, WeightedByTheThreeExtremesWithTiesKeepingTheEarlierIndex) {
    float extreme = 0.0f;
    // Four equal tops: the first three count, centre index 2 (not 3).
    const std::vector<float> ties{1, 5, 5, 5, 5, 1};
    EXPECT_EQ(weightedCentre(ties, 0, 5, PeakKind::High, extreme), 2);
    EXPECT_EQ(extreme, 5.0f);
    // (1*4 + 2*4 + 0*0) / 8 = 1.5 rounds half up to 2.
    const std::vector<float> half{0, 4, 4, 0};
    EXPECT_EQ(weightedCentre(half, 0, 3, PeakKind::High, extreme), 2);
    // Low peaks weigh the three smallest: 1 at 3, 2 at 2, 2 at 4 -> 3.
    const std::vector<float> dip{9, 8, 2, 1, 2, 8, 9};
    EXPECT_EQ(weightedCentre(dip, 0, 6, PeakKind::Low, extreme), 3);
    EXPECT_EQ(extreme, 1.0f);
    // Weights that cancel: the extreme point itself.
    const std::vector<float> signs{-3, 3, 0, -3};
    EXPECT_EQ(weightedCentre(signs, 0, 3, PeakKind::High, extreme), 1);
}

TEST(PeakWidth, HalfHeightCrossingsThroughTheCalibration) {
    // Triangle 0..100..0 over indexes 0..8: half 50 at pixels 3 and 7.
    const std::vector<float> y{0, 25, 50, 75, 100, 75, 50, 25, 0};
    EXPECT_NEAR(peakWidth(y, 0, 8, 100.0f, PeakKind::High, kCalibration), 4 * 0.25, 1e-9);
    // Fewer than four points: not measured.
    EXPECT_EQ(peakWidth(y, 3, 5, 100.0f, PeakKind::High, kCalibration), 0.0);
    // A calibration that runs backwards gives no negative width.
    const std::vector<float> backwards{900.0f, -0.25f};
    EXPECT_EQ(peakWidth(y, 0, 8, 100.0f, PeakKind::High, {backwards, 1}), 0.0);
    // A dip: the mirror image.
    std::vector<float> dip(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) {
        dip[i] = 100.0f - y[i];
    }
    EXPECT_NEAR(peakWidth(dip, 0, 8, 0.0f, PeakKind::Low, kCalibration), 1.0, 1e-9);
}

TEST(PixelPeaks, GaussianLinesAtKnownPositionsAndWidths) {
    const std::vector<Line> lines{{200.3, 5.0, 20000},
                                  {700.7, 8.0, 30000},
                                  {1300.5, 12.0, 9000},
                                  {1800.1, 6.5, 40000},
                                  {2500.9, 3.0, 25000}};
    const std::vector<float> y = gaussianLines(3000, 500, lines);
    PeakScan scan = highScan(0.012 * 65535, peakNoise(y, false, 1.2));
    const std::vector<Peak> peaks = pixelPeaks(y, scan);
    ASSERT_EQ(peaks.size(), lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_NEAR(peaks[k].position, lines[k].centre + 1, 1.0) << k;
        EXPECT_NEAR(peaks[k].intensity, 500 + lines[k].height, 0.02 * lines[k].height) << k;
        if (lines[k].fwhm >= 5.0) {
            EXPECT_NEAR(peaks[k].fwhm, 0.25 * lines[k].fwhm, 0.05 * 0.25 * lines[k].fwhm) << k;
        }
        EXPECT_FALSE(peaks[k].saturated);
    }
}

TEST(PixelPeaks, LowPeaksFindDipsBelowTheLevel) {
    // Absorption dips of a bright continuum, one of them above the level.
    const std::vector<Line> dips{{300.4, 7.0, -20000}, {600.0, 9.0, -1500}};
    const std::vector<float> dipped = gaussianLines(1000, 50000, dips);
    PeakScan scan{PeakKind::Low, 48000, peakNoise(dipped, false, 1.2), 2};
    std::vector<Peak> peaks;
    findPixelPeaks(dipped, scan, kCalibration, peaks);
    ASSERT_EQ(peaks.size(), 1u); // the shallow dip never goes below 48000
    EXPECT_NEAR(peaks[0].position, 301.4, 1.0);
    EXPECT_NEAR(peaks[0].intensity, 30000, 300);
    EXPECT_NEAR(peaks[0].fwhm, 7.0 * 0.25, 0.05 * 7.0 * 0.25);
}

TEST(GridPeaks, PositionsOnTheGridAndNoWidth) {
    const std::vector<float> y = gaussianLines(500, 10, {{100.0, 6.0, 1000}, {350.4, 4.0, 500}});
    PeakScan scan = highScan(50, peakNoise(y, true, 1.2));
    std::vector<Peak> peaks;
    findGridPeaks(y, scan, 380.0, 0.5, peaks);
    ASSERT_EQ(peaks.size(), 2u);
    EXPECT_NEAR(peaks[0].position, 380.0 + 0.5 * 100.0, 0.5);
    EXPECT_NEAR(peaks[1].position, 380.0 + 0.5 * 350.4, 0.5);
    EXPECT_EQ(peaks[0].fwhm, 0.0f);
    EXPECT_NEAR(peaks[1].intensity, 510, 20);
}

} // namespace
