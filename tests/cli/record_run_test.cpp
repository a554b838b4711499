// quillon record end to end: the file read back by the data-files reader,
// a record ended by Ctrl-C, one killed mid-record, a full disk, and the
// question before an existing file is replaced.
#include "../datacontrol/temp_folder.h"
#include "datafiles/scan_data_file.h"
#include "quillon_process.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

// The default bench's first unit (ILX511, 35 ms), with frames that do not wait.
std::string fastBench(const fs::path &folder) {
    const std::string bench = readBytes(QUILLON_DEFAULT_BENCH);
    const auto first = bench.find("[Unit]");
    const auto second = bench.find("[Unit]", first + 1);
    std::string unit = bench.substr(first, second - first);
    const auto timing = unit.find("Timing=realtime");
    if (timing != std::string::npos) {
        unit.replace(timing, 15, "Timing=fast");
    }
    const fs::path file = folder / "fast.ini";
    writeBytes(file, bench.substr(0, first) + unit);
    return "--simulate=" + file.string();
}

std::vector<std::string> recordArgs(const fs::path &folder, std::vector<std::string> more) {
    std::vector<std::string> args{fastBench(folder), "dark", "reference", "record", "run"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

ScanDataFile readRecord(const fs::path &file) {
    std::string error;
    auto read = readScanDataFile(file, error);
    EXPECT_TRUE(read.has_value()) << error;
    return read ? std::move(*read) : ScanDataFile{};
}

bool waitForSize(const fs::path &file, std::uintmax_t size) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::error_code ec;
    while (!fs::exists(file, ec) || fs::file_size(file, ec) < size) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(RecordRun, FramesGoIntoTheFileAndTheSummaryToStandardError) {
    TempFolder folder;
    const Outcome run =
        runIn(folder.path, recordArgs(folder.path, {"--interval", "35", "--frames", "4"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("record: 4 frames written to"), std::string::npos) << run.err;
    const ScanDataFile file = readRecord(folder / "run.sdf");
    ASSERT_EQ(file.items.size(), 4u);
    EXPECT_EQ(file.items.item(1).sampleName(), "0001");
    EXPECT_EQ(file.items.item(4).sampleName(), "0004");

    // Without --yes the old record stays, and the run says which answer it needs.
    const Outcome again =
        runIn(folder.path, recordArgs(folder.path, {"--interval", "35", "--frames", "1"}));
    EXPECT_EQ(again.exitCode, 3) << again.err;
    EXPECT_EQ(readRecord(folder / "run.sdf").items.size(), 4u);
}

TEST(RecordRun, TheDialogsRulesHoldOnTheCommandLine) {
    TempFolder folder;
    const Outcome noReference = runIn(folder.path, {fastBench(folder.path), "dark", "record", "run",
                                                    "--interval", "35", "--frames", "2"});
    EXPECT_EQ(noReference.exitCode, 1);
    EXPECT_NE(noReference.err.find("Dark and Ref Scan are required"), std::string::npos);
    const Outcome tooFast =
        runIn(folder.path, recordArgs(folder.path, {"--interval", "34", "--frames", "2"}));
    EXPECT_EQ(tooFast.exitCode, 1);
    EXPECT_NE(tooFast.err.find("below the minimum of 35 ms"), std::string::npos) << tooFast.err;
    const Outcome twoEnds = runIn(
        folder.path, recordArgs(folder.path, {"--interval", "35", "--frames", "2", "--for", "3"}));
    EXPECT_EQ(twoEnds.exitCode, 1);
    EXPECT_NE(twoEnds.err.find("one of --frames, --until and --for"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "run.sdf"));
}

TEST(RecordRun, CtrlCEndsTheRecordWithEveryFrameItReported) {
#ifdef _WIN32
    GTEST_SKIP() << "a console's Ctrl-C cannot be sent to one child process alone here";
#else
    TempFolder folder;
    const Child child =
        start(folder.path, recordArgs(folder.path, {"--interval", "35", "--for", "600"}));
    ASSERT_TRUE(waitForSize(folder / "run.sdf", 40000)); // the header and a few frames
    interrupt(child);
    const Outcome run = finish(child);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("interrupted; the file keeps the"), std::string::npos) << run.err;
    const ScanDataFile file = readRecord(folder / "run.sdf");
    EXPECT_GE(file.items.size(), 3u);
    EXPECT_EQ(file.droppedBytes, 0u);
    EXPECT_NE(run.err.find("keeps the " + std::to_string(file.items.size()) + " frames"),
              std::string::npos)
        << run.err;
#endif
}

// A killed process leaves a file that ends at a frame boundary, or at worst
// in the frame being written: every frame before it reads back whole.
TEST(RecordRun, AKilledRecordLeavesAReadableFile) {
    TempFolder folder;
    const Child child =
        start(folder.path, recordArgs(folder.path, {"--interval", "35", "--for", "600"}));
    ASSERT_TRUE(waitForSize(folder / "run.sdf", 60000));
    killAtOnce(child);
    const Outcome run = finish(child);
    EXPECT_EQ(run.exitCode, kKilledExitCode);
    const ScanDataFile file = readRecord(folder / "run.sdf");
    ASSERT_GE(file.items.size(), 5u);
    EXPECT_LT(file.droppedBytes, memoryItemBytes(file.context.geometry.activePixels));
    const std::size_t n = file.items.size();
    EXPECT_EQ(file.items.item(static_cast<int>(n)).sampleName(), std::string(n < 10    ? "000"
                                                                             : n < 100 ? "00"
                                                                                       : "0") +
                                                                     std::to_string(n));
}

TEST(RecordRun, AFullDiskEndsTheRecordWithExitOneAndAValidFile) {
    if (!kCanLimitFileSize) {
        GTEST_SKIP() << "no per-process file-size limit on this platform";
    }
    TempFolder folder;
    const Child child = start(
        folder.path, recordArgs(folder.path, {"--interval", "35", "--frames", "100"}), "", 60000);
    const Outcome run = finish(child);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
    const ScanDataFile file = readRecord(folder / "run.sdf");
    EXPECT_GE(file.items.size(), 1u);
    EXPECT_LT(file.items.size(), 100u);
    EXPECT_EQ(file.droppedBytes, 0u);
}

} // namespace
