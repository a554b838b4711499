// bench_timeline [SECONDS_10MS [SECONDS_1MS]]: three records on the ILX511
// unit of the default bench at full speed (no waiting for the integration),
// into a file in the temporary folder:
//   1. 10 ms interval (60 s by default): frames against expected, missed
//      ticks, tick lateness p50 / p99 / maximum;
//   2. 1 ms interval (10 s), nothing drawn;
//   3. the same with a display thread that takes the recorder's copy of each
//      frame and draws it (a pass over every value), as the window does.
// Plain program, not Google Benchmark: one record is one long measurement.
#include "datacontrol/data_control.h"
#include "datacontrol/simulated_units.h"
#include "platform/scripted_prompter.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

using namespace quillon;
using namespace std::chrono_literals;

namespace {

struct Ended : RecordListener {
    void scanStarting() override {}
    void frameWritten(std::int64_t) override {}
    void recordEnded() override { done = true; }
    std::atomic<bool> done{false};
};

double us(std::chrono::nanoseconds t) {
    return static_cast<double>(t.count()) / 1000.0;
}

bool record(DataControl &dc, const std::filesystem::path &folder, int intervalMs, int seconds,
            bool display) {
    TimeLineRecorder &tl = dc.TimeLine();
    RecordSetup setup;
    setup.name = "bench_" + std::to_string(intervalMs) + (display ? "_display" : "");
    setup.folder = folder;
    setup.intervalValue = intervalMs;
    setup.startTime = std::chrono::system_clock::now();
    setup.endTime = setup.startTime + std::chrono::seconds(seconds);
    tl.CancelPending();
    const std::string problem = tl.MakeReady(setup);
    if (!problem.empty()) {
        std::fprintf(stderr, "bench_timeline: %s\n", problem.c_str());
        return false;
    }
    tl.SetDisplayWhileRecording(display);
    Ended ended;
    std::atomic<bool> drawing{display};
    std::atomic<std::uint64_t> drawn{0};
    std::thread painter;
    if (display) {
        painter = std::thread([&] {
            RecordedSpectrum copy;
            double sink = 0.0;
            while (drawing.load()) {
                if (tl.TakeRecordedSpectrum(copy.frame, copy)) {
                    const auto [lo, hi] =
                        std::minmax_element(copy.values.begin(), copy.values.end());
                    sink += lo != copy.values.end() ? *hi - *lo : 0.0f;
                    drawn.fetch_add(1);
                }
                std::this_thread::sleep_for(2ms); // the worker's pause between held passes
            }
            if (sink < 0.0) {
                std::puts("");
            }
        });
    }
    if (tl.StartRecord(&ended) != OpResult::Done) {
        drawing = false;
        if (painter.joinable()) {
            painter.join();
        }
        return false;
    }
    while (!ended.done.load()) {
        std::this_thread::sleep_for(20ms);
    }
    (void)tl.StopRecord();
    drawing = false;
    if (painter.joinable()) {
        painter.join();
    }
    const RecordProgress p = tl.Progress();
    const auto &late = tl.Lateness();
    const long long expected = static_cast<long long>(seconds) * 1000 / intervalMs;
    std::printf("interval %d ms, %d s%s: %lld frames written of %lld expected, %llu ticks missed; "
                "lateness p50 %.0f us, p99 %.0f us, max %.0f us",
                intervalMs, seconds, display ? ", display on" : "",
                static_cast<long long>(p.frames), expected,
                static_cast<unsigned long long>(p.missedTicks), us(late.quantile(0.5)),
                us(late.quantile(0.99)), us(late.maximum()));
    if (display) {
        std::printf("; display drew %llu, dropped %llu",
                    static_cast<unsigned long long>(drawn.load()),
                    static_cast<unsigned long long>(p.frames) - drawn.load());
    }
    std::printf("\n");
    return p.end == RecordEnd::Complete;
}

} // namespace

int main(int argc, char **argv) {
    const int longSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int shortSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    setenv("OV_DRIVER", "sim", 1);
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillon-bench-timeline-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    std::ofstream(folder / "QuillonX.ini") << "[Extend Options]\nTimeAV=1\n";
    runSimCommand("bench default");
    runSimCommand("set 0 timing fast");
    bool ok = false;
    {
        ScriptedPrompter prompter;
        DataControl dc(prompter);
        if (dc.StartChannels(3).result == OpResult::Done &&
            dc.SetIntegrationTime(1) == OpResult::Done && dc.TakeDarkScan() == OpResult::Done &&
            dc.TakeReferenceScan() == OpResult::Done) {
            std::printf("unit: %s, %u pixels, integration %d ms, file in %s\n",
                        dc.State().settings.modelName.c_str(),
                        static_cast<unsigned>(dc.State().geometry.activePixels),
                        dc.State().limits.current, folder.c_str());
            ok = record(dc, folder, 10, longSeconds, false);
            ok = record(dc, folder, 1, shortSeconds, false) && ok;
            ok = record(dc, folder, 1, shortSeconds, true) && ok;
        } else {
            std::fprintf(stderr, "bench_timeline: the simulated unit did not start\n");
        }
    }
    std::error_code ignored;
    std::filesystem::current_path(folder.parent_path(), ignored);
    std::filesystem::remove_all(folder, ignored);
    return ok ? 0 : 1;
}
