#include "datacontrol/scan_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace quillon::scan {
namespace {

TEST(FrameCorrections, InGaAsInversionWithOddEvenSteps) {
    std::vector<std::int32_t> raw{100, 100, 0, 0, 65535, 7};
    correctInGaAs(raw, 6, 12, -9);
    // A saturated pixel (raw 0) gets no step; the others get theirs by parity.
    EXPECT_EQ(raw, (std::vector<std::int32_t>{65447, 65426, 65535, 65535, 12, 65519}));
}

TEST(FrameCorrections, InGaAsCorrectionStopsAtN) {
    std::vector<std::int32_t> raw{10, 10, 10};
    correctInGaAs(raw, 2, 0, 0);
    EXPECT_EQ(raw, (std::vector<std::int32_t>{65525, 65525, 10}));
}

TEST(FrameCorrections, HugeValuesFromAUnitOrFileSaturateInsteadOfOverflowing) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    std::vector<std::int32_t> raw{1, 1, kMin, 5};
    correctInGaAs(raw, 4, kMax, kMin);
    // 65534 + max and 65534 + min; 65535 - min + max; 65530 + min
    EXPECT_EQ(raw, (std::vector<std::int32_t>{kMax, 65534 + kMin, kMax, 65530 + kMin}));

    std::vector<std::int32_t> big{kMax, 0, kMax, kMin};
    scaleAdc(big, kMax);
    EXPECT_EQ(big[0], kMax);
    EXPECT_EQ(big[3], kMin);

    std::vector<std::int32_t> pixels{kMax, 7, kMax, 4};
    const std::vector<int> bad{1, kMin, kMax};
    repairBadPixels(pixels, bad, 0, kMax); // first + n past int, sums past int
    EXPECT_EQ(pixels[1], kMax);
    repairBadPixels(pixels, bad, kMin, 4);
    EXPECT_EQ(pixels[1], kMax);

    EXPECT_EQ(opticalBlackLevel(pixels, kMax, kMax), 0.0);
    EXPECT_DOUBLE_EQ(opticalBlackLevel(pixels, 2, 2), static_cast<double>(kMax));
}

TEST(FrameCorrections, FlipMirrorsOnlyTheActivePixels) {
    std::vector<std::int32_t> raw{9, 9, 1, 2, 3, 4, 5, 8};
    flipActivePixels(raw, 2, 5);
    EXPECT_EQ(raw, (std::vector<std::int32_t>{9, 9, 5, 4, 3, 2, 1, 8}));
    flipActivePixels(raw, 5, 5); // would run past the frame: left alone
    EXPECT_EQ(raw[7], 8);
}

TEST(FrameCorrections, AdcScalingRoundsToTheCeiling) {
    std::vector<std::int32_t> raw{65535, 32768, 0, 16};
    scaleAdc(raw, 4095);
    // 4095 * 32768 / 65535 = 2047.53; 4095 * 16 / 65535 = 0.9998
    EXPECT_EQ(raw, (std::vector<std::int32_t>{4095, 2048, 0, 1}));
    std::vector<std::int32_t> full{65535, 123};
    scaleAdc(full, 65535);
    EXPECT_EQ(full, (std::vector<std::int32_t>{65535, 123}));
    EXPECT_FLOAT_EQ(scaleAdc(1000.0f, 4095), 62.0f); // 62.486
}

TEST(BadPixels, AdjacentPixelsAreRepairedFromTheirGoodNeighbours) {
    std::vector<std::int32_t> raw(200, 0);
    raw[99] = 10;
    raw[100] = 5000;
    raw[101] = 7000;
    raw[102] = 41;
    const std::vector<int> bad{101, 100};
    repairBadPixels(raw, bad, 0, 200);
    EXPECT_EQ(raw[100], 25); // (10 + 41) / 2 in integers
    EXPECT_EQ(raw[101], 25);
}

TEST(BadPixels, AtTheEdgesTheOneNeighbourInsideTheSensorIsUsed) {
    // Active pixels are raw 2..6; raw 0 and 1 are dummies that must not count.
    std::vector<std::int32_t> raw{900, 900, 1, 20, 30, 40, 2};
    const std::vector<int> bad{2, 6};
    repairBadPixels(raw, bad, 2, 5);
    EXPECT_EQ(raw[2], 20);
    EXPECT_EQ(raw[6], 40);
}

TEST(BadPixels, EntriesOutsideTheSensorAndAllBadAreHarmless) {
    std::vector<std::int32_t> raw{1, 2, 3};
    const std::vector<int> bad{0, 1, 2, -5, 99};
    repairBadPixels(raw, bad, 0, 3);
    EXPECT_EQ(raw, (std::vector<std::int32_t>{1, 2, 3}));
}

TEST(OpticalBlack, MeanOfTheShieldedPixels) {
    std::vector<std::int32_t> raw(40, 0);
    for (int i = 12; i < 30; ++i) {
        raw[static_cast<std::size_t>(i)] = 1000 + (i % 2) * 10; // OB start 13, count 18
    }
    EXPECT_DOUBLE_EQ(opticalBlackLevel(raw, 13, 18), 1005.0);
    EXPECT_DOUBLE_EQ(opticalBlackLevel(raw, 1, 0), 0.0);
    EXPECT_DOUBLE_EQ(opticalBlackLevel(raw, 30, 18), 0.0); // beyond the frame
}

TEST(Statistics, MeanAndPopulationVariance) {
    const std::vector<float> values{1, 2, 3, 4};
    const Statistics stats = spectrumStatistics(values);
    EXPECT_DOUBLE_EQ(stats.mean, 2.5);
    EXPECT_DOUBLE_EQ(stats.variance, 1.25);
    const std::vector<float> dark{1, 3, 2, 2};
    EXPECT_DOUBLE_EQ(noiseEstimate(dark), 1.0); // (2 + 1 + 0) / 3
}

TEST(Playback, StepsAndWrapsBothWays) {
    EXPECT_EQ(nextPlaybackIndex(3, 3, false), 1); // forward from the last wraps to the first
    EXPECT_EQ(nextPlaybackIndex(1, 3, false), 2);
    EXPECT_EQ(nextPlaybackIndex(0, 3, false), 1);
    EXPECT_EQ(nextPlaybackIndex(1, 3, true), 3); // backwards from the first wraps to the last
    EXPECT_EQ(nextPlaybackIndex(3, 3, true), 2);
    EXPECT_EQ(nextPlaybackIndex(7, 3, true), 3); // a stale index after items were removed
    EXPECT_EQ(nextPlaybackIndex(2, 0, false), 0);
}

TEST(Absorbance, LimitedTransmission) {
    EXPECT_DOUBLE_EQ(absorbanceOfPercent(0.0), 8.0);
    EXPECT_DOUBLE_EQ(absorbanceOfPercent(-3.0), 8.0);
    EXPECT_DOUBLE_EQ(absorbanceOfPercent(100.0), 0.0);
    EXPECT_DOUBLE_EQ(absorbanceOfPercent(150.0), 0.0);
    EXPECT_NEAR(absorbanceOfPercent(25.0), 0.60206, 1e-5);
}

RatioSettings transmission() {
    RatioSettings settings;
    settings.threshold = 13.107f;
    settings.scale = 100.0;
    settings.maxT = 110.0;
    settings.minT = -10.0;
    return settings;
}

TEST(PixelBase, RatioThresholdCeilingAndDarkAdjustment) {
    const std::vector<float> spectrum{600, 1010, 350, 90, 100};
    std::vector<float> dark{100, 100, 100, 100, 100};
    const std::vector<float> reference{1100, 1100, 110, 1100, 1100};
    std::vector<float> result(5);
    ratioOnPixelBase(spectrum, dark, reference, result, transmission());
    EXPECT_FLOAT_EQ(result[0], 50.0f);
    EXPECT_FLOAT_EQ(result[1], 91.0f);
    EXPECT_FLOAT_EQ(result[2], 0.0f); // reference only 10 above dark: no signal
    // Below the dark: the dark moves to 2 under the sample, A becomes 2.
    EXPECT_FLOAT_EQ(dark[3], 88.0f);
    EXPECT_FLOAT_EQ(result[3], static_cast<float>(100.0 * 2.0 / 1012.0));
    EXPECT_FLOAT_EQ(result[4], 0.0f);

    const std::vector<float> bright{5000};
    std::vector<float> oneDark{100};
    const std::vector<float> oneReference{1100};
    std::vector<float> one(1);
    ratioOnPixelBase(bright, oneDark, oneReference, one, transmission());
    EXPECT_FLOAT_EQ(one[0], 110.0f); // 490 % shows MaxT
}

TEST(PixelBase, AbsorbanceAndOpticalBlackCorrection) {
    RatioSettings settings = transmission();
    settings.quantity = RatioQuantity::Absorbance;
    const std::vector<float> spectrum{100, 325, 5000};
    std::vector<float> dark{100, 100, 100};
    const std::vector<float> reference{1000, 1000, 1000};
    std::vector<float> result(3);
    ratioOnPixelBase(spectrum, dark, reference, result, settings);
    EXPECT_FLOAT_EQ(result[0], 8.0f); // zero transmission
    EXPECT_NEAR(result[1], 0.60206, 1e-5);
    EXPECT_FLOAT_EQ(result[2], 0.0f); // above the reference: not below zero

    RatioSettings ob = transmission();
    ob.opticalBlack = true;
    ob.darkMinusCurrent = 10.0;
    ob.darkMinusReference = -100.0;
    const std::vector<float> sample{240};
    std::vector<float> obDark{100};
    const std::vector<float> obReference{700};
    std::vector<float> obResult(1);
    ratioOnPixelBase(sample, obDark, obReference, obResult, ob);
    EXPECT_FLOAT_EQ(obResult[0], 30.0f); // (140 + 10) / (600 - 100)
}

TEST(GridBase, NearestPixelsClampedRange) {
    const std::vector<float> spectrum{0, 600, 1200, 50, 2000};
    std::vector<float> dark{0, 100, 100, 100, 100};
    const std::vector<std::int32_t> index{1, 2, 3, 4, 1};
    const std::vector<float> referenceMinusDark{1000, 1000, 1000, 5, 1000};
    std::vector<float> result(5);
    ratioOnGrid(spectrum, dark, index, referenceMinusDark, result, transmission());
    EXPECT_FLOAT_EQ(result[0], 50.0f);
    EXPECT_FLOAT_EQ(result[1], 110.0f); // clamped at MaxT
    // Pixel 3 lies below its dark: the dark moves 2 under it; 2 / 1000.
    EXPECT_FLOAT_EQ(dark[3], 48.0f);
    EXPECT_FLOAT_EQ(result[2], 0.2f);
    EXPECT_FLOAT_EQ(result[3], 0.0f); // no signal at this grid point
    EXPECT_FLOAT_EQ(result[4], 50.0f);

    RatioSettings low = transmission();
    low.minT = 1.0;
    low.scale = 98.5; // the colour view's white
    const std::vector<float> onePixel{150};
    std::vector<float> oneDark{100};
    const std::vector<std::int32_t> zero{0};
    const std::vector<float> big{10000};
    std::vector<float> out(1);
    ratioOnGrid(onePixel, oneDark, zero, big, out, low);
    EXPECT_FLOAT_EQ(out[0], 1.0f); // 0.4925 clamped up to MinT
}

TEST(GridBase, ReferenceMinusDarkAtTheGridPixels) {
    const std::vector<float> reference{10, 20, 30};
    const std::vector<float> dark{1, 2, 3};
    const std::vector<std::int32_t> index{2, 0, 7};
    std::vector<float> result(3);
    referenceMinusDarkOnGrid(reference, dark, index, 0.5, result);
    EXPECT_EQ(result, (std::vector<float>{27.5f, 9.5f, 0.0f}));
}

} // namespace
} // namespace quillon::scan
