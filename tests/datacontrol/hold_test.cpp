// The hold protocol with a real acquisition worker: the interface thread
// suspends, changes settings and resumes while scans run.
#include "datacontrol/acquisition_worker.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace quillon;
using namespace quillon::test;

namespace {

class Hold : public StartUpFixture {
protected:
    DataControl &start(const std::string &timing = "fast", int intTime = 35) {
        loadBench({{0, factoryEeprom("H1", "ILX511", intTime), {"Timing=" + timing}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(control->FinishStartUp(), 1);
        return *control;
    }
};

TEST_F(Hold, WithoutAWorkerTheWaitsReturnAtOnce) {
    DataControl &dc = start();
    dc.scanDoneLimit = std::chrono::milliseconds(60000); // would be noticed
    EXPECT_EQ(dc.SuspendAcquisition(1), 1);
    EXPECT_TRUE(dc.flags.status.test(status_bits::kHold | status_bits::kDrawingSuspended));
    EXPECT_EQ(dc.ApplyAcquisitionChange(0), 1);
    EXPECT_EQ(dc.ReapplyIntegrationTime(), 1);
    dc.ResumeAcquisition(1);
    EXPECT_FALSE(dc.flags.status.test(status_bits::kHold));
    EXPECT_FALSE(dc.flags.status.test(status_bits::kDrawingSuspended));
}

TEST_F(Hold, NestedBracketsRestoreTheHoldOnlyAtTheEnd) {
    DataControl &dc = start();
    EXPECT_EQ(dc.SuspendAcquisition(1), 1);
    EXPECT_EQ(dc.TakeDarkScan(), 1); // suspends and resumes inside the dialog's bracket
    EXPECT_TRUE(dc.flags.status.test(status_bits::kHold));
    dc.ResumeAcquisition(1);
    EXPECT_FALSE(dc.flags.status.test(status_bits::kHold));

    dc.flags.status.set(status_bits::kHold); // held by the user before the dialog
    EXPECT_EQ(dc.SuspendAcquisition(0), 1);
    dc.ResumeAcquisition(0);
    EXPECT_TRUE(dc.flags.status.test(status_bits::kHold));
}

TEST_F(Hold, AWorkerThatNeverAnswersDoesNotHangTheInterface) {
    DataControl &dc = start();
    dc.scanDoneLimit = std::chrono::milliseconds(50);
    // Running in name only: suspended outright, or stuck in a read.
    dc.flags.status.set(status_bits::kWorkerRunning);
    EXPECT_EQ(dc.SuspendAcquisition(0), 0);
    dc.ResumeAcquisition(0);
    EXPECT_EQ(dc.ChangeAcquisition([](DataControl &d) { d.acquisition.binningAverage = 3; }, 1), 0);
    EXPECT_EQ(dc.acquisition.binningAverage, 0); // not changed behind a running pass
    EXPECT_FALSE(dc.flags.status.test(status_bits::kHold));
}

TEST_F(Hold, AHoldCutsALongTimeAverageShort) {
    // 40 frames of 35 ms make a 1.4 s pass; the hold must end it within a
    // frame, well inside two waits of 400 ms.
    DataControl &dc = start("realtime", 35);
    dc.acquisition.timeAverage = 40;
    dc.scanDoneLimit = std::chrono::milliseconds(400);
    std::atomic<int> passes{0};
    AcquisitionWorker worker(
        dc, [&] { ++passes; }, std::chrono::milliseconds(5));
    worker.start();
    while (passes.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // mid-average
    EXPECT_EQ(dc.SuspendAcquisition(0), 1);
    dc.ResumeAcquisition(0);
    worker.stop();
    EXPECT_FALSE(dc.flags.status.test(status_bits::kWorkerRunning));
}

TEST_F(Hold, SettingsChangeUnderHoldWhileTheWorkerScans) {
    DataControl &dc = start();
    std::atomic<int> passes{0};
    AcquisitionWorker worker(
        dc, [&] { ++passes; }, std::chrono::milliseconds(2));
    worker.start();
    for (int round = 0; round < 12; ++round) {
        const int before = passes.load();
        ASSERT_EQ(dc.ChangeAcquisition(
                      [round](DataControl &d) {
                          d.acquisition.binningAverage = static_cast<std::uint16_t>(round % 4);
                          d.acquisition.timeAverage = static_cast<std::uint16_t>(1 + round % 3);
                          d.acquisition.smoothingPercent = static_cast<std::uint16_t>(round * 8);
                          d.flags.status.assign(status_bits::kSmoothingOn, round % 2 == 0);
                      },
                      0),
                  1);
        if (round % 4 == 1) {
            ASSERT_EQ(dc.TakeDarkScan(), 1);
            ASSERT_EQ(dc.TakeReferenceScan(), 1);
            dc.SetDisplayMode(round % 8 == 1 ? DisplayMode::TransRefl : DisplayMode::Absorbance);
            dc.SetWavelengthBase(round % 8 == 5);
        }
        // The worker scans between the changes.
        while (passes.load() < before + 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    worker.stop();
    EXPECT_FALSE(dc.flags.status.test(status_bits::kHold));
    EXPECT_GT(passes.load(), 24);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(Hold, OneShotRequestIsTakenByTheWorker) {
    DataControl &dc = start();
    AcquisitionWorker worker(dc, {}, std::chrono::milliseconds(2));
    worker.start();
    ASSERT_EQ(dc.RequestDarkScan(), 1);
    // Two scan-done signals: the pass that took the dark has ended.
    ASSERT_TRUE(dc.WaitForQuietWorker());
    ASSERT_TRUE(dc.WaitForQuietWorker());
    EXPECT_EQ(dc.flags.displayMode(), DisplayMode::Scope);
    EXPECT_TRUE(dc.flags.status.test(status_bits::kDarkReady));
    worker.stop();
    EXPECT_GT(dc.buffers.dark[500], 0.0f);
}

} // namespace
