// The peak list: the threshold of each display mode, a run over the
// settings, the saturation mark, clearing.
#include "analysis/peak_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace quillon;

namespace {

DisplayRecord displayLimits() {
    DisplayRecord d;
    d.countMin = 0;
    d.countMax = 60000;
    d.trMin = -10.0f;
    d.trMax = 110.0f;
    d.absMin = 0.0f;
    d.absMax = 4.0f;
    d.irrMin = 0.0f;
    d.irrMax = 500.0f;
    return d;
}

TEST(ThresholdLevel, APercentOfTheModesDisplayRange) {
    PeakSettings high;
    high.noiseLine = 10.0;
    const DisplayRecord d = displayLimits();
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::Scope, d, false), 6000.0);
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::DarkScan, d, false), 6000.0);
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::TransRefl, d, false), 12.0);
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::Absorbance, d, false), 0.4);
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::Irradiance, d, false), 50.0);
    EXPECT_DOUBLE_EQ(thresholdLevel(high, DisplayMode::Irradiance, d, true), 12.0);
    EXPECT_EQ(thresholdLevel(high, static_cast<DisplayMode>(6), d, false), 0.0);
    // Low peaks: the level is 100 - NoiseLine percent of the range.
    PeakSettings low = high;
    low.noiseHighLow = 1;
    EXPECT_DOUBLE_EQ(thresholdLevel(low, DisplayMode::Scope, d, false), 54000.0);
}

// Two lines over a baseline; the first one clipped at the ceiling.
std::vector<float> twoLines() {
    std::vector<float> y(1000, 1000.0f);
    for (std::size_t i = 0; i < y.size(); ++i) {
        for (const auto &[centre, height] :
             {std::pair{250.0, 70000.0}, std::pair{700.0, 20000.0}}) {
            const double d = (static_cast<double>(i) - centre) / 6.0;
            y[i] += static_cast<float>(height * std::exp(-4.0 * std::numbers::ln2 * d * d));
        }
        y[i] = std::min(y[i], 65535.0f);
    }
    return y;
}

TEST(PeakList, ARunListsThePeaksAndMarksSaturatedOnes) {
    const std::vector<float> y = twoLines();
    const std::vector<float> line{300.0f, 0.5f};
    PeakSearch search;
    search.values = y;
    search.level = thresholdLevel(search.settings, DisplayMode::Scope, displayLimits(), false);
    search.calibration = {line, 1};
    search.counts = y;
    search.ceiling = 65535.0;
    PeakList list;
    EXPECT_EQ(list.FindPeaks(search), 2);
    const auto peaks = list.Peaks();
    ASSERT_EQ(peaks.size(), 2u);
    EXPECT_TRUE(peaks[0].saturated);
    EXPECT_FALSE(peaks[1].saturated);
    EXPECT_NEAR(peaks[1].position, 701.0, 1.0);
    EXPECT_NEAR(peaks[1].fwhm, 3.0, 0.15);

    // On grid data the check goes through each point's pixel.
    const std::vector<std::int32_t> pixelOfPoint(y.size(), 700);
    search.gridData = true;
    search.gridStep = 0.5;
    search.gridStart = 300.0;
    search.pixelOfPoint = pixelOfPoint;
    std::vector<float> clipped = y;
    clipped[700] = 65535.0f;
    search.counts = clipped;
    EXPECT_EQ(list.FindPeaks(search), 2);
    for (const auto &peak : list.Peaks()) {
        EXPECT_TRUE(peak.saturated);
        EXPECT_EQ(peak.fwhm, 0.0f);
    }
}

TEST(PeakList, EveryRunStartsAfreshAndClearingEmptiesIt) {
    const std::vector<float> y = twoLines();
    PeakSearch search;
    search.values = y;
    search.level = 700.0;
    PeakList list;
    ASSERT_EQ(list.FindPeaks(search), 2);
    const std::uint64_t found = list.Revision();
    // A spectrum of one point: no peaks, nothing divided by n - 1.
    const std::vector<float> one{5.0f};
    search.values = one;
    EXPECT_EQ(list.FindPeaks(search), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_GT(list.Revision(), found);
    search.values = y;
    ASSERT_EQ(list.FindPeaks(search), 2);
    list.ClearPeaks();
    EXPECT_TRUE(list.empty());
    std::vector<analysis::Peak> copy(3);
    list.CopyTo(copy);
    EXPECT_TRUE(copy.empty());
}

} // namespace
