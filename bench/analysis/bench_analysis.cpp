// Peak finding on the spectrum of the simulated mercury-argon lamp seen by a
// TCD1304 unit (3648 active pixels, scope mode, pixel base, default peak
// settings: about twenty lines found).
//
// BM_FindPixelPeaks      the scan alone (analysis::findPixelPeaks) with the
//                        noise already known, into a vector that keeps its room.
// BM_PeakListFindPeaks   PeakList::FindPeaks: the noise estimate, the scan,
//                        the saturation check of each peak, the swap under
//                        the list's lock.
// BM_DataControlFindPeaks  DataControl::FindPeaks as the Find Peak command
//                        calls it: the threshold of the mode, the counts
//                        behind the values, then the list's run.
#include "analysis/peak_finder.h"
#include "analysis/peak_list.h"
#include "datacontrol/data_control.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"

#include "tcd_bench_unit.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using quillon::DataControl;
using quillon::bench::sim;

struct Setup {
    quillon::ScriptedPrompter prompter;
    std::unique_ptr<DataControl> control;
    std::vector<float> values;
    std::filesystem::path folder;
    bool ready = false;

    Setup() {
        setenv("OV_DRIVER", "sim", 1);
        folder = std::filesystem::temp_directory_path() /
                 ("quillon-bench-peaks-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        control = quillon::bench::startTcdUnit(folder, "TimeAV=1\n", prompter);
        if (!control || toCode(control->TakeDarkScan()) != 1 || !sim("set 0 source hgar") ||
            control->AcquireScan() != quillon::ScanOutcome::Scanned) {
            return;
        }
        const auto result = control->CurrentResult();
        values.assign(result.values.begin(), result.values.end());
        ready = values.size() == 3648;
    }

    ~Setup() {
        control.reset();
        quillon::bench::removeBenchFolder(folder);
    }
};

Setup &setup() {
    static Setup instance;
    return instance;
}

bool skipUnlessReady(benchmark::State &state) {
    if (!setup().ready) {
        state.SkipWithError("the simulated TCD1304 unit did not start");
        return true;
    }
    return false;
}

void report(benchmark::State &state, std::size_t peaks) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(setup().values.size()));
    state.counters["peaks"] = static_cast<double>(peaks);
}

void BM_FindPixelPeaks(benchmark::State &state) {
    if (skipUnlessReady(state)) {
        return;
    }
    const DataControl &dc = *setup().control;
    const quillon::PeakSettings &settings = dc.State().peaks;
    quillon::analysis::PeakScan scan;
    scan.level =
        quillon::thresholdLevel(settings, quillon::DisplayMode::Scope, dc.State().display, false);
    scan.noise = quillon::analysis::peakNoise(setup().values, false, settings.noiseRatio);
    const quillon::analysis::PixelCalibration calibration{dc.State().geometry.wavelengthOfPixel,
                                                          dc.State().calibrationPolynomialOrder};
    std::vector<quillon::analysis::Peak> peaks;
    peaks.reserve(64);
    for (auto _ : state) {
        peaks.clear();
        quillon::analysis::findPixelPeaks(setup().values, scan, calibration, peaks);
        benchmark::DoNotOptimize(peaks.data());
    }
    report(state, peaks.size());
}
BENCHMARK(BM_FindPixelPeaks);

void BM_PeakListFindPeaks(benchmark::State &state) {
    if (skipUnlessReady(state)) {
        return;
    }
    const DataControl &dc = *setup().control;
    quillon::PeakSearch search;
    search.values = setup().values;
    search.settings = dc.State().peaks;
    search.level = quillon::thresholdLevel(search.settings, quillon::DisplayMode::Scope,
                                           dc.State().display, false);
    search.calibration = {dc.State().geometry.wavelengthOfPixel,
                          dc.State().calibrationPolynomialOrder};
    search.counts = setup().values;
    search.ceiling = 65535.0;
    quillon::PeakList list;
    int found = 0;
    for (auto _ : state) {
        found = list.FindPeaks(search);
        benchmark::DoNotOptimize(found);
    }
    report(state, static_cast<std::size_t>(found));
}
BENCHMARK(BM_PeakListFindPeaks);

void BM_DataControlFindPeaks(benchmark::State &state) {
    if (skipUnlessReady(state)) {
        return;
    }
    DataControl &dc = *setup().control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dc.FindPeaks());
    }
    report(state, dc.Peaks().size());
}
BENCHMARK(BM_DataControlFindPeaks);

} // namespace

BENCHMARK_MAIN();
