// The hold protocol with a real acquisition worker: the interface thread
// suspends, changes settings and resumes while scans run.
#include "datacontrol/acquisition_worker.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace quillon;
using namespace quillon::test;

namespace {

// Counts the passes that scanned, as a window would count its drawings.
class CountingListener : public PassListener {
public:
    void passHeld(bool) override {}
    void scanStarting(const PassReport &) override {}
    void scanFinished(const PassReport &) override { ++scans; }
    void workerStopping() override {}
    std::atomic<int> scans{0};
};

class Hold : public StartUpFixture {
protected:
    DataControl &start(const std::string &timing = "fast", int intTime = 35) {
        loadBench({{0, factoryEeprom("H1", "ILX511", intTime), {"Timing=" + timing}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
};

TEST_F(Hold, WithoutAWorkerTheWaitsReturnAtOnce) {
    DataControl &dc = start();
    dc.Hold().SetScanDoneLimit(std::chrono::milliseconds(60000)); // would be noticed
    EXPECT_TRUE(dc.SuspendAcquisition(HoldBy::Dialog));
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kHold | status_bits::kDrawingSuspended));
    EXPECT_EQ(toCode(dc.SetIntegrationTime(40)), 1);
    EXPECT_EQ(dc.ApplySetting("StartWL", "400"), "");
    dc.ResumeAcquisition(HoldBy::Dialog);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kDrawingSuspended));
}

TEST_F(Hold, NestedBracketsRestoreTheHoldOnlyAtTheEnd) {
    DataControl &dc = start();
    EXPECT_TRUE(dc.SuspendAcquisition(HoldBy::Dialog));
    EXPECT_EQ(toCode(dc.TakeDarkScan()), 1); // suspends and resumes inside the dialog's bracket
    EXPECT_EQ(toCode(dc.SetIntegrationTime(40)), 1); // and so does a change of the time
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kHold));
    dc.ResumeAcquisition(HoldBy::Dialog);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));

    dc.StateForTests().flags.status.set(status_bits::kHold); // held by the user before the dialog
    EXPECT_TRUE(dc.SuspendAcquisition(HoldBy::Change));
    dc.ResumeAcquisition(HoldBy::Change);
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kHold));
}

TEST_F(Hold, AWorkerThatNeverAnswersDoesNotHangTheInterface) {
    DataControl &dc = start();
    dc.Hold().SetScanDoneLimit(std::chrono::milliseconds(50));
    // Running in name only: suspended outright, or stuck in a read.
    dc.Hold().WorkerStarting();
    EXPECT_FALSE(dc.SuspendAcquisition(HoldBy::Change));
    dc.ResumeAcquisition(HoldBy::Change);
    EXPECT_EQ(dc.ApplySetting("BinningAV", "3"), "acquisition did not pause");
    EXPECT_EQ(toCode(dc.SetIntegrationTime(40)), 0);
    EXPECT_EQ(dc.State().acquisition.binningAverage, 0); // not changed behind a running pass
    EXPECT_EQ(dc.State().limits.current, 35);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));
}

// A unit that refuses a new integration time keeps the old one, and so does
// the program: it never shows or stores a time the unit does not integrate.
TEST_F(Hold, ARefusedIntegrationTimeLeavesTheOldOne) {
    DataControl &dc = start();
    simCommand("fail 0 0x01 1"); // the next request to the unit fails
    EXPECT_EQ(toCode(dc.SetIntegrationTime(60)), -1);
    EXPECT_EQ(dc.State().limits.current, 35);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "Error in setting the integration time onto the USB port #0."});
    EXPECT_EQ(toCode(dc.SetIntegrationTime(60)), 1);
    EXPECT_EQ(dc.State().limits.current, 60);
}

TEST_F(Hold, AHoldCutsALongTimeAverageShort) {
    // 40 frames of 35 ms make a 1.4 s pass; the hold must end it within a
    // frame, well inside two waits of 400 ms.
    DataControl &dc = start("realtime", 35);
    ASSERT_EQ(dc.ApplySetting("TimeAV", "40"), "");
    dc.Hold().SetScanDoneLimit(std::chrono::milliseconds(400));
    CountingListener listener;
    AcquisitionWorker worker(dc, &listener, std::chrono::milliseconds(5));
    worker.start();
    while (listener.scans.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // mid-average
    EXPECT_TRUE(dc.SuspendAcquisition(HoldBy::Change));
    dc.ResumeAcquisition(HoldBy::Change);
    worker.stop();
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kWorkerRunning));
}

TEST_F(Hold, SettingsChangeUnderHoldWhileTheWorkerScans) {
    DataControl &dc = start();
    CountingListener listener;
    std::atomic<int> &passes = listener.scans;
    AcquisitionWorker worker(dc, &listener, std::chrono::milliseconds(2));
    worker.start();
    for (int round = 0; round < 12; ++round) {
        const int before = passes.load();
        std::vector<SettingAssignment> change;
        std::string error;
        for (const std::string &text :
             {"BinningAV=" + std::to_string(round % 4), "TimeAV=" + std::to_string(1 + round % 3),
              "FFT=" + std::to_string(round * 8)}) {
            change.push_back(*SettingsTable::Parse(text, error));
        }
        std::vector<std::string> warnings;
        ASSERT_EQ(dc.ApplySettings(change, warnings), "");
        ASSERT_EQ(toCode(dc.SetIntegrationTime(35 + round)), 1);
        if (round % 4 == 1) {
            ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
            ASSERT_EQ(toCode(dc.TakeReferenceScan()), 1);
            dc.SetDisplayMode(round % 8 == 1 ? DisplayMode::TransRefl : DisplayMode::Absorbance);
            dc.SetWavelengthBase(round % 8 == 5);
        }
        // The worker scans between the changes.
        while (passes.load() < before + 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    worker.stop();
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));
    EXPECT_GT(passes.load(), 24);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(Hold, OneShotRequestIsTakenByTheWorker) {
    DataControl &dc = start();
    AcquisitionWorker worker(dc, nullptr, std::chrono::milliseconds(2));
    worker.start();
    ASSERT_TRUE(dc.RequestDarkScan());
    // Two scan-done signals: the pass that took the dark has ended.
    ASSERT_TRUE(dc.WaitForQuietWorker());
    ASSERT_TRUE(dc.WaitForQuietWorker());
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kDarkReady));
    worker.stop();
    EXPECT_GT(dc.State().buffers.dark[500], 0.0f);
}

} // namespace
