// The time-line record against a simulated unit with the acquisition worker
// running: the set-up rules, the file read back frame by frame, the ways a
// record ends (count, end time, Stop, a full disk), pause and play, and the
// worker idle for the record and scanning again afterwards.
#include "datacontrol/acquisition_worker.h"
#include "datafiles/scan_data_file.h"
#include "file_size_limit.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

using namespace quillon;
using namespace quillon::test;
using namespace std::chrono_literals;

namespace {

// Counts what the recorder tells, on the timer thread.
class EndWatch : public RecordListener {
public:
    void scanStarting() override {}
    void frameWritten(std::int64_t n) override { written = n; }
    void recordEnded() override {
        const std::lock_guard lock(m);
        ended = true;
        cv.notify_all();
    }
    bool waitForEnd(std::chrono::seconds limit = 30s) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, limit, [this] { return ended; });
    }
    std::atomic<std::int64_t> written{0};

private:
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;
};

template <typename F>
bool eventually(F condition) {
    const auto limit = std::chrono::steady_clock::now() + 30s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class TimeLine : public StartUpFixture {
protected:
    DataControl &start(bool darkAndReference = true) {
        loadBench({{0, factoryEeprom("T1", "ILX511", 20)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        if (darkAndReference) {
            EXPECT_EQ(control->TakeDarkScan(), OpResult::Done);
            EXPECT_EQ(control->TakeReferenceScan(), OpResult::Done);
        }
        EXPECT_EQ(control->ApplySetting("Title", "Warm-up"), "");
        return *control;
    }
    RecordSetup countSetup(std::int32_t frames, std::int64_t intervalMs = 20) const {
        RecordSetup setup;
        setup.name = "lamp.txt"; // the extension goes
        setup.folder = folder.path;
        setup.intervalValue = intervalMs;
        setup.startTime = std::chrono::system_clock::now();
        setup.frameLimit = frames;
        return setup;
    }
    ScanDataFile readBack() const {
        std::string error;
        auto file = readScanDataFile(folder / "lamp.sdf", error);
        EXPECT_TRUE(file.has_value()) << error;
        return file ? std::move(*file) : ScanDataFile{};
    }
    // The worker scans again after a record.
    void expectWorkerScans(DataControl &dc, const AcquisitionWorker &worker) {
        EXPECT_FALSE(dc.Hold().RecorderActive());
        EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));
        EXPECT_FALSE(dc.State().flags.option.test(option_bits::kSkipPhotometry));
        const std::uint64_t passes = worker.passCount();
        EXPECT_TRUE(eventually([&] { return worker.passCount() > passes + 2; }));
    }
};

TEST_F(TimeLine, SetReadyNeedsDarkReferenceANameAndTheMinimumInterval) {
    DataControl &dc = start(false);
    TimeLineRecorder &tl = dc.TimeLine();
    EXPECT_EQ(tl.MakeReady(countSetup(3)), "Dark and Ref Scan are required");
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    ASSERT_EQ(dc.ApplySetting("TimeAV", "3"), "");
    EXPECT_EQ(tl.MinimumInterval(), 60);
    EXPECT_EQ(tl.MakeReady(countSetup(3, 59)), "The interval is below the minimum of 60 ms");
    RecordSetup unnamed = countSetup(3, 60);
    unnamed.name.clear();
    EXPECT_EQ(tl.MakeReady(unnamed), "No file name");
    EXPECT_FALSE(tl.Ready());
    RecordSetup backwards = countSetup(3, 60);
    backwards.endTime = backwards.startTime - 1s;
    EXPECT_EQ(tl.MakeReady(backwards), "The end time is not after the start time");

    RecordSetup seconds = countSetup(3, 2);
    seconds.seconds = true;
    ASSERT_EQ(tl.MakeReady(seconds), "");
    ASSERT_TRUE(tl.Ready());
    EXPECT_EQ(tl.Settings()->interval, 2000ms);
    EXPECT_EQ(tl.Settings()->file, folder / "lamp.sdf");
    EXPECT_EQ(tl.Settings()->stopMode, analysis::StopMode::AfterFrameLimit);
    tl.CancelPending();
    EXPECT_FALSE(tl.Ready());
    EXPECT_EQ(tl.StartRecord(), OpResult::NotDone); // nothing set up
}

TEST_F(TimeLine, ACountRecordReadsBackFrameByFrameWhileTheWorkerIdles) {
    DataControl &dc = start();
    // The hold option keeps the worker idle once the record has released
    // it, so the buffers still hold the record's last frame below.
    dc.SetOption(option_bits::kHoldOption, true);
    AcquisitionWorker worker(dc, nullptr, 2ms);
    worker.start();
    EndWatch watch;
    ASSERT_EQ(dc.TimeLine().MakeReady(countSetup(5)), "");
    ASSERT_EQ(dc.TimeLine().StartRecord(&watch), OpResult::Done);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kSkipPhotometry));
    // Nothing changes the settings under the recorder's scans.
    EXPECT_EQ(dc.ApplySetting("BinningAV", "2"), "acquisition did not pause");
    ASSERT_TRUE(watch.waitForEnd());
    EXPECT_EQ(dc.TimeLine().StopRecord(), OpResult::Done);
    EXPECT_EQ(dc.TimeLine().Progress().end, RecordEnd::Complete);
    EXPECT_EQ(watch.written.load(), 5);
    EXPECT_FALSE(dc.TimeLine().Ready());

    const ScanDataFile file = readBack();
    ASSERT_EQ(file.items.size(), 5u);
    EXPECT_EQ(file.droppedBytes, 0u);
    EXPECT_TRUE(file.context.optionWord & option_bits::kSkipPhotometry); // written while open
    EXPECT_EQ(file.context.geometry.activePixels, dc.State().geometry.activePixels);
    EXPECT_EQ(file.context.dark, dc.State().buffers.dark);
    for (int k = 1; k <= 5; ++k) {
        const MemoryItemView item = file.items.item(k);
        EXPECT_EQ(item.projectName(), "Warm-up");
        EXPECT_EQ(item.sampleName(), (k < 10 ? "000" : "00") + std::to_string(k));
        const std::string time = item.captureTime();
        ASSERT_EQ(time.size(), 20u) << time;
        EXPECT_EQ(time.substr(2, 1) + time.substr(5, 1) + time.substr(10, 2), "//  ");
    }
    // The last frame is the last scan's raw counts from the first active pixel.
    const std::optional<ScanCounts> last = countsOfLastScan(dc.State());
    ASSERT_TRUE(last);
    for (std::size_t i = 0; i < last->counts.size(); i += 97) {
        EXPECT_EQ(file.items.item(5).count(i), last->counts[i]) << i;
    }
    EXPECT_EQ(file.items.item(5).scanValue(), last->scanValue);
    // The data-files loader takes it as it takes any scan data file.
    const StoreOutcome loaded = dc.Stored().LoadScanData(folder / "lamp.sdf");
    EXPECT_EQ(loaded.items, 5);
    EXPECT_EQ(dc.Stored().LeaveMemoryMode(), OpResult::Done);
    expectWorkerScans(dc, worker);
}

// With an interval of an hour, the single frame is the whole record: it
// ends right after that frame, not an hour later.
TEST_F(TimeLine, FrameLimitOneWritesOneFrameAndEndsAtOnce) {
    DataControl &dc = start();
    EndWatch watch;
    ASSERT_EQ(dc.TimeLine().MakeReady(countSetup(1, 3600000)), "");
    ASSERT_EQ(dc.TimeLine().StartRecord(&watch), OpResult::Done);
    ASSERT_TRUE(watch.waitForEnd());
    EXPECT_EQ(dc.TimeLine().StopRecord(), OpResult::Done);
    EXPECT_EQ(readBack().items.size(), 1u);
    EXPECT_EQ(readBack().items.item(1).sampleName(), "0001");
}

TEST_F(TimeLine, AStartTimeAheadTakesNoFrameBeforeIt) {
    DataControl &dc = start();
    EndWatch watch;
    RecordSetup setup = countSetup(2);
    setup.startTime = std::chrono::system_clock::now() + 400ms;
    ASSERT_EQ(dc.TimeLine().MakeReady(setup), "");
    ASSERT_EQ(dc.TimeLine().StartRecord(&watch), OpResult::Done);
    ASSERT_TRUE(watch.waitForEnd());
    EXPECT_GE(std::chrono::system_clock::now(), setup.startTime);
    const RecordProgress p = dc.TimeLine().Progress();
    EXPECT_GT(p.ticksBeforeStart, 0u);
    EXPECT_EQ(p.frames, 2);
    EXPECT_EQ(dc.TimeLine().StopRecord(), OpResult::Done);
    EXPECT_EQ(readBack().items.size(), 2u);
}

TEST_F(TimeLine, StopFromOutsideKeepsEveryFrameAndPauseTakesNone) {
    DataControl &dc = start();
    AcquisitionWorker worker(dc, nullptr, 2ms);
    worker.start();
    RecordSetup setup = countSetup(0);
    setup.endTime = setup.startTime + 1h;
    ASSERT_EQ(dc.TimeLine().MakeReady(setup), "");
    ASSERT_EQ(dc.TimeLine().StartRecord(), OpResult::Done);
    TimeLineRecorder &tl = dc.TimeLine();
    ASSERT_TRUE(eventually([&] { return tl.Progress().frames >= 2; }));

    tl.SetPaused(true);
    // A tick that began before the pause may still write its frame.
    const std::uint64_t ticks = tl.Progress().ticks;
    ASSERT_TRUE(eventually([&] { return tl.Progress().ticks > ticks + 1; }));
    const std::int64_t paused = tl.Progress().frames;
    ASSERT_TRUE(eventually([&] { return tl.Progress().ticks > ticks + 6; }));
    EXPECT_EQ(tl.Progress().frames, paused);
    tl.SetPaused(false);
    ASSERT_TRUE(eventually([&] { return tl.Progress().frames > paused; }));

    EXPECT_EQ(tl.StopRecord(), OpResult::Done);
    EXPECT_EQ(tl.Progress().end, RecordEnd::Stopped);
    EXPECT_EQ(tl.StopRecord(), OpResult::NotDone); // nothing left to stop
    const ScanDataFile file = readBack();
    EXPECT_EQ(static_cast<std::int64_t>(file.items.size()), tl.Progress().frames);
    EXPECT_EQ(file.items.item(static_cast<int>(file.items.size())).sampleName(),
              std::string(4 - std::to_string(file.items.size()).size(), '0') +
                  std::to_string(file.items.size()));
    expectWorkerScans(dc, worker);
}

TEST_F(TimeLine, AnExistingFileIsReplacedOnlyWhenTheOperatorAgrees) {
    DataControl &dc = start();
    writeBytes(folder / "lamp.sdf", "keep me");
    ASSERT_EQ(dc.TimeLine().MakeReady(countSetup(1)), "");
    prompter.queueYesNo(false);
    EXPECT_EQ(dc.TimeLine().StartRecord(), OpResult::NotDone);
    EXPECT_EQ(readBytes(folder / "lamp.sdf"), "keep me");
    EXPECT_TRUE(dc.TimeLine().Ready()); // still set up
    EXPECT_FALSE(dc.Hold().RecorderActive());

    EndWatch watch;
    prompter.queueYesNo(true);
    ASSERT_EQ(dc.TimeLine().StartRecord(&watch), OpResult::Done);
    ASSERT_TRUE(watch.waitForEnd());
    EXPECT_EQ(dc.TimeLine().StopRecord(), OpResult::Done);
    EXPECT_EQ(readBack().items.size(), 1u);
}

// A file size limit stands for a full disk (it also holds for root).
TEST_F(TimeLine, AFullDiskEndsTheRecordWithAMessageAndAValidFile) {
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    DataControl &dc = start();
    const std::size_t header = encodeScanDataHeader(dc.Stored().CurrentContext()).size();
    const std::size_t frame = memoryItemBytes(dc.State().geometry.activePixels);
    ASSERT_EQ(dc.TimeLine().MakeReady(countSetup(50)), "");

    EndWatch watch;
    OpResult started{};
    bool ended = false;
    {
        const quillon::test::FileSizeLimit limit(header + 3 * frame + frame / 2);
        started = dc.TimeLine().StartRecord(&watch);
        ended = started == OpResult::Done && watch.waitForEnd();
    }
    ASSERT_EQ(started, OpResult::Done);
    ASSERT_TRUE(ended);

    EXPECT_EQ(dc.TimeLine().StopRecord(), OpResult::Done);
    EXPECT_EQ(dc.TimeLine().Progress().end, RecordEnd::WriteFailed);
    EXPECT_EQ(dc.TimeLine().Progress().frames, 3);
    const auto shown = prompter.textsOf(PromptKind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("cannot be written"), std::string::npos) << shown[0];
    EXPECT_NE(shown[0].find("3 frames"), std::string::npos) << shown[0];
    prompter.clearShown();
    const ScanDataFile file = readBack();
    EXPECT_EQ(file.items.size(), 3u);
    EXPECT_EQ(file.droppedBytes, 0u); // the part of frame 4 was cut off again
    EXPECT_FALSE(dc.Hold().RecorderActive());
}

} // namespace
