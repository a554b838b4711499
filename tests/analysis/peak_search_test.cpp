// DataControl::FindPeaks on a simulated unit: the peaks of a live scan and
// of a memory item, the saturation mark from the counts behind the values,
// and the stored spectra that clear the list.
#include "../datacontrol/sim_bench.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillon;
using namespace quillon::test;

namespace {

class PeakSearchTest : public StartUpFixture {
protected:
    // An ILX511 unit under the mercury-argon lamp, bright enough that its
    // strongest lines clip.
    DataControl &start(const std::string &level) {
        loadBench({{0,
                    {"[Factory Default]", "Name=U1", "CCD=ILX511", "IntTime=35", "[Cal Data]",
                     "PointCount=2", "Data 1=4000;100", "Data 2=8000;1900"},
                    {"Source=hgar", "SourceLevel=" + level}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
    static long saturatedCount(const DataControl &dc) {
        const auto peaks = dc.Peaks().Peaks();
        return std::count_if(peaks.begin(), peaks.end(),
                             [](const analysis::Peak &p) { return p.saturated; });
    }
};

TEST_F(PeakSearchTest, LiveAndStoredSpectraAndWhatClearsTheirPeaks) {
    DataControl &dc = start("4");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.FindPeaks(), 1);
    const auto live = dc.Peaks().Peaks();
    ASSERT_GE(live.size(), 10u);
    const long clipped = saturatedCount(dc);
    EXPECT_GT(clipped, 0);
    EXPECT_LT(clipped, static_cast<long>(live.size()));
    for (const analysis::Peak &peak : live) {
        if (peak.saturated) {
            EXPECT_EQ(peak.intensity, static_cast<float>(dc.State().display.countMax));
        }
    }

    // The same spectrum as a memory item, loaded from its file.
    ASSERT_EQ(dc.Stored().RecordItem(), OpResult::Done);
    const auto file = folder / "lamp.sdf";
    ASSERT_EQ(dc.Stored().SaveScanData(file).result, OpResult::Done);
    ASSERT_EQ(dc.Stored().LoadScanData(file).result, OpResult::Done);
    EXPECT_TRUE(dc.Peaks().empty());
    ASSERT_EQ(dc.Stored().ShowItem(1), OpResult::Done);
    EXPECT_EQ(dc.FindPeaks(), 1);
    EXPECT_EQ(dc.Peaks().size(), live.size());
    EXPECT_EQ(saturatedCount(dc), clipped); // from the item's own counts

    // Stop holds the item with its peaks; a step moves on without them.
    dc.Stored().Step(Playback::Stop);
    EXPECT_FALSE(dc.Peaks().empty());
    dc.Stored().Step(Playback::OneStepForward);
    EXPECT_TRUE(dc.Peaks().empty());
}

TEST_F(PeakSearchTest, TheLevelFollowsTheThresholdSetting) {
    DataControl &dc = start("1");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    (void)dc.FindPeaks();
    const std::size_t low = dc.Peaks().size();
    ASSERT_EQ(dc.ApplySetting("NoiseLine", "20"), "");
    (void)dc.FindPeaks();
    EXPECT_LT(dc.Peaks().size(), low);
    const float level = 0.2f * static_cast<float>(dc.State().display.countMax);
    for (const analysis::Peak &peak : dc.Peaks().Peaks()) {
        EXPECT_GT(peak.intensity, level);
    }
    // Beyond every value: nothing.
    ASSERT_EQ(dc.ApplySetting("NoiseLine", "100"), "");
    (void)dc.FindPeaks();
    EXPECT_TRUE(dc.Peaks().empty());
    EXPECT_TRUE(prompter.shown().empty());
}

} // namespace
