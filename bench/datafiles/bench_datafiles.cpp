// The scan data file at the size a long recording reaches: 10,000 items of
// a TCD1304 unit (3648 active pixels, 14,788 bytes an item, 148 MB).
//
// BM_SaveScanData   writeScanDataFile (written piece by piece, flushed to
//                   disk, renamed), and in the same iterations /bin/cp of
//                   the file just written, beside it, with and without a
//                   flush of the copy, so the two speeds come from the same
//                   disk in the same minute.
// BM_LoadScanData   readScanDataFile, then every item's counts once, with
//                   the anonymous memory (RssAnon) each step adds: the items
//                   stay in the file's mapping, so only file pages may grow.
//                   Argument 1: the file's pages are first dropped from the
//                   page cache (for this file only), so they come from disk.
// BM_StoredLoadScanData  DataControl::Stored().LoadScanData on a simulated
//                   unit: the load plus taking over the file's configuration.
// BM_PlaybackStep   one AcquireScan in memory mode per iteration, through
//                   every item once: counts to spectrum, corrections,
//                   smoothing, T/R on the wavelength base.
// BM_CopyCounts     MemoryItemView::copyCounts into a float span, the raw
//                   share of a step; argument 0 for items held in memory,
//                   1 for items in a file's mapping.
//
// The files go to a folder beside the build tree (QUILLON_BENCH_DIR
// overrides it), never to a memory file system, and are removed at the end.
#include "datacontrol/data_control.h"
#include "datafiles/scan_data_file.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"

#include "allocation_counter.h"

#include "tcd_bench_unit.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using quillon::DataControl;
using quillon::MemoryList;
using quillon::OpResult;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 10000;
constexpr double kMB = 1e6;

using quillon::bench::sim;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in bytes ("RssAnon", "RssFile"), -1 if absent.
double statusBytes(const std::string &field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            std::istringstream value(line.substr(field.size() + 1));
            double kilobytes = -1;
            value >> kilobytes;
            return kilobytes * 1024.0;
        }
    }
    return -1;
}

// Anonymous memory after giving freed heap back, so that memory the heap
// keeps from earlier work can neither hide nor inflate what a load adds.
double rssAnon() {
    ::malloc_trim(0);
    return statusBytes("RssAnon");
}

// Drops the file's clean pages from the page cache (this file only).
void dropFromCache(const fs::path &file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

bool flushFile(const fs::path &file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

// /bin/cp run as a program of its own, as the operator would.
bool copyWithCp(const fs::path &from, const fs::path &to) {
    std::string program = "/bin/cp";
    std::string source = from.string();
    std::string target = to.string();
    char *argv[] = {program.data(), source.data(), target.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

fs::path benchFolder() {
    if (const char *chosen = std::getenv("QUILLON_BENCH_DIR"); chosen != nullptr && *chosen) {
        return fs::path(chosen) / ("quillon-bench-datafiles-" + std::to_string(::getpid()));
    }
    // build/<preset>/bin/<program>: the folder goes to build/<preset>.
    std::error_code ignored;
    const fs::path program = fs::read_symlink("/proc/self/exe", ignored);
    const fs::path base =
        program.empty() ? fs::current_path() : program.parent_path().parent_path();
    return base / ("quillon-bench-datafiles-" + std::to_string(::getpid()));
}

// A started DataControl on a fast simulated TCD1304 unit with dark and
// reference taken, in T/R with smoothing and binning; the 10,000 items
// (the unit's halogen frame at varied strengths, with noise) in a list of
// their own, and that list written once as the file the loads read.
struct Setup {
    quillon::ScriptedPrompter prompter;
    std::unique_ptr<DataControl> control;
    quillon::ScanDataContext context;
    MemoryList items;
    fs::path folder;
    fs::path file;
    std::string problem = "not set up";

    Setup() {
        setenv("OV_DRIVER", "sim", 1);
        folder = benchFolder();
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) {
            problem = "cannot create " + folder.string() + ": " + error.message();
            return;
        }
        control =
            quillon::bench::startTcdUnit(folder, quillon::bench::processingSettings(), prompter);
        if (!control || toCode(control->TakeDarkScan()) != 1 || !sim("set 0 source halogen") ||
            toCode(control->TakeReferenceScan()) != 1 || !sim("set 0 sample nd 50")) {
            problem = "the simulated TCD1304 unit does not start";
            return;
        }
        control->SetDisplayMode(quillon::DisplayMode::TransRefl);
        if (control->AcquireScan() != quillon::ScanOutcome::Scanned) {
            problem = "the simulated unit does not scan";
            return;
        }
        context = control->Stored().CurrentContext();
        makeItems();
        file = folder / "run.sdf";
        if (const std::string failed = writeScanDataFile(file, context, items); !failed.empty()) {
            problem = "cannot write " + file.string() + ": " + failed;
            return;
        }
        problem.clear();
    }

    ~Setup() {
        control.reset();
        std::error_code ignored;
        fs::current_path(folder.parent_path(), ignored);
        fs::remove_all(folder, ignored);
    }

    void makeItems() {
        const auto &s = control->State();
        const std::size_t n = s.geometry.activePixels;
        const auto first = static_cast<std::ptrdiff_t>(s.geometry.firstActivePixel);
        const std::vector<std::int32_t> frame(s.buffers.rawFrame.begin() + first,
                                              s.buffers.rawFrame.begin() + first +
                                                  static_cast<std::ptrdiff_t>(n));
        std::vector<std::int32_t> counts(n);
        std::uint32_t noise = 12345;
        const std::string when = quillon::captureTimeNow();
        for (int k = 1; k <= kItems; ++k) {
            const double strength = 0.3 + 0.7 * static_cast<double>(k % 97) / 96.0;
            for (std::size_t p = 0; p < n; ++p) {
                noise = noise * 1664525u + 1013904223u;
                const auto jitter = static_cast<std::int32_t>(noise >> 28) - 8;
                counts[p] =
                    std::clamp(static_cast<std::int32_t>(frame[p] * strength) + jitter, 0, 65535);
            }
            items.append({"Item " + std::to_string(k), "Bench sample", when}, counts, k);
        }
    }

    std::uint64_t fileBytes() const { return fs::file_size(file); }

    // A file of the same items written afresh, for the DataControl: a
    // list keeps its file mapped until another load replaces it, and the
    // pages of a mapped file cannot be dropped from the cache. With `cold`
    // its pages are dropped at once, so a load reads them from disk.
    std::optional<fs::path> freshFile(const std::string &name, bool cold) {
        const fs::path written = folder / name;
        if (!writeScanDataFile(written, context, items).empty()) {
            return std::nullopt;
        }
        if (cold) {
            dropFromCache(written);
        }
        return written;
    }
};

Setup &setup() {
    static Setup instance;
    return instance;
}

bool ready(benchmark::State &state) {
    if (!setup().problem.empty()) {
        state.SkipWithError(setup().problem.c_str());
        return false;
    }
    return true;
}

void BM_SaveScanData(benchmark::State &state) {
    if (!ready(state)) {
        return;
    }
    Setup &s = setup();
    const fs::path saved = s.folder / "saved.sdf";
    const fs::path copy = s.folder / "copy.sdf";
    double ours = 0;
    double cp = 0;
    double cpFlushed = 0;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        std::error_code ignored;
        fs::remove(saved, ignored);
        fs::remove(copy, ignored);
        const auto start = Clock::now();
        const std::string error = writeScanDataFile(saved, s.context, s.items);
        const double seconds = secondsSince(start);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.SetIterationTime(seconds);
        ours += seconds;
        bytes = fs::file_size(saved);

        const auto copyStart = Clock::now();
        if (!copyWithCp(saved, copy)) {
            state.SkipWithError("/bin/cp failed");
            return;
        }
        cp += secondsSince(copyStart);
        // Our save flushes its file to disk before it renames it; cp does
        // not. The flush of the copy is timed on its own so that both
        // comparisons can be made, and leaves no dirty pages to slow the
        // next save.
        if (!flushFile(copy)) {
            state.SkipWithError("cannot flush the copy");
            return;
        }
        cpFlushed += secondsSince(copyStart);
    }
    const auto n = static_cast<double>(state.iterations());
    const double megabytes = static_cast<double>(bytes) / kMB;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["file_MB"] = megabytes;
    state.counters["ours_MB/s"] = megabytes * n / ours;
    state.counters["cp_MB/s"] = megabytes * n / cp;
    state.counters["cp+fsync_MB/s"] = megabytes * n / cpFlushed;
    state.counters["ours/cp"] = cp / ours;
    state.counters["ours/cp+fsync"] = cpFlushed / ours;
    std::error_code ignored;
    fs::remove(saved, ignored);
    fs::remove(copy, ignored);
}
BENCHMARK(BM_SaveScanData)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_LoadScanData(benchmark::State &state) {
    if (!ready(state)) {
        return;
    }
    Setup &s = setup();
    const bool cold = state.range(0) == 1;
    const std::size_t pixels = s.context.geometry.activePixels;
    std::vector<float> spectrum(pixels);
    double loadAnon = 0;
    double touchedAnon = 0;
    double touchedFile = 0;
    double touchSeconds = 0;
    for (auto _ : state) {
        if (cold) {
            dropFromCache(s.file);
        }
        const double anonBefore = rssAnon();
        const double fileBefore = statusBytes("RssFile");
        const auto start = Clock::now();
        std::string error;
        auto loaded = quillon::readScanDataFile(s.file, error);
        const double seconds = secondsSince(start);
        if (!loaded || loaded->items.size() != static_cast<std::size_t>(kItems)) {
            state.SkipWithError(("load failed: " + error).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        loadAnon = std::max(loadAnon, rssAnon() - anonBefore);

        const auto touchStart = Clock::now();
        float sum = 0;
        for (int i = 1; i <= kItems; ++i) {
            loaded->items.item(i).copyCounts(spectrum);
            sum += spectrum[i % pixels];
        }
        benchmark::DoNotOptimize(sum);
        touchSeconds += secondsSince(touchStart);
        touchedAnon = std::max(touchedAnon, rssAnon() - anonBefore);
        touchedFile = std::max(touchedFile, statusBytes("RssFile") - fileBefore);
    }
    const double megabytes = static_cast<double>(s.fileBytes()) / kMB;
    state.SetBytesProcessed(static_cast<std::int64_t>(s.fileBytes()) * state.iterations());
    state.counters["file_MB"] = megabytes;
    state.counters["anon_after_load_MB"] = loadAnon / kMB;
    state.counters["anon_after_touch_MB"] = touchedAnon / kMB;
    state.counters["anon/file"] = touchedAnon / kMB / megabytes;
    state.counters["file_pages_MB"] = touchedFile / kMB;
    state.counters["touch_ms"] = touchSeconds * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LoadScanData)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

void BM_StoredLoadScanData(benchmark::State &state) {
    if (!ready(state)) {
        return;
    }
    Setup &s = setup();
    DataControl &dc = *s.control;
    const auto file = s.freshFile("stored.sdf", false);
    if (!file) {
        state.SkipWithError("cannot write the file");
        return;
    }
    double added = 0;
    for (auto _ : state) {
        const double anonBefore = rssAnon();
        const auto start = Clock::now();
        const quillon::StoreOutcome loaded = dc.Stored().LoadScanData(*file);
        const double seconds = secondsSince(start);
        if (loaded.result != OpResult::Done || loaded.items != kItems) {
            state.SkipWithError(("load failed: " + loaded.status).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        added = std::max(added, rssAnon() - anonBefore);
        if (dc.Stored().LeaveMemoryMode() != OpResult::Done) {
            state.SkipWithError("cannot leave memory mode");
            return;
        }
    }
    state.counters["anon_after_load_MB"] = added / kMB;
}
BENCHMARK(BM_StoredLoadScanData)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_PlaybackStep(benchmark::State &state) {
    if (!ready(state)) {
        return;
    }
    Setup &s = setup();
    DataControl &dc = *s.control;
    const bool cold = state.range(0) == 1;
    const auto file = s.freshFile(cold ? "cold.sdf" : "stored.sdf", cold);
    if (!file) {
        state.SkipWithError("cannot write the file");
        return;
    }
    if (dc.Stored().LoadScanData(*file).result != OpResult::Done) {
        state.SkipWithError("load failed");
        return;
    }
    dc.Stored().Step(quillon::Playback::ContinuousForward);
    const long long before = bench::heapAllocations();
    for (auto _ : state) {
        if (dc.AcquireScan() != quillon::ScanOutcome::Scanned) {
            state.SkipWithError("a step failed");
            break;
        }
        benchmark::DoNotOptimize(dc.State().buffers.gridResult.data());
    }
    const auto steps = static_cast<double>(state.iterations());
    state.counters["allocs/step"] = static_cast<double>(bench::heapAllocations() - before) / steps;
    state.counters["last_item"] = dc.State().memory.current();
    state.counters["grid_points"] = static_cast<double>(dc.State().grid.count);
    if (dc.Stored().LeaveMemoryMode() != OpResult::Done) {
        state.SkipWithError("cannot leave memory mode");
    }
}
// Every item once per run.
BENCHMARK(BM_PlaybackStep)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(kItems);

void BM_CopyCounts(benchmark::State &state) {
    if (!ready(state)) {
        return;
    }
    Setup &s = setup();
    std::optional<quillon::ScanDataFile> loaded;
    const MemoryList *list = &s.items;
    if (state.range(0) == 1) {
        std::string error;
        loaded = quillon::readScanDataFile(s.file, error);
        if (!loaded) {
            state.SkipWithError(error.c_str());
            return;
        }
        list = &loaded->items;
    }
    std::vector<float> spectrum(list->pixels());
    int index = 0;
    for (auto _ : state) {
        index = index % kItems + 1;
        list->item(index).copyCounts(spectrum);
        benchmark::DoNotOptimize(spectrum.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(4 * list->pixels()) * state.iterations());
}
BENCHMARK(BM_CopyCounts)->ArgName("mapped")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
