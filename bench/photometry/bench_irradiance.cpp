// The absolute irradiance branch of the scan on a TCD1304 unit (3648
// pixels, FFT length 4096): time average 1, FFT smoothing 50, binning 2, the
// wavelength base, calibrated against the simulator's lamp at 50 cm and
// measuring it at 25 cm. Each scan converts the counts to irradiance on the
// grid, sums the totals and finds the colour temperature (the locus file
// "OVBlack.mem" read whole each time), as the worker does.
//
// BM_ProcessScanIrradiance/0  irradiance, total irradiance and power
// BM_ProcessScanIrradiance/1  illuminance, total illuminance and flux
// BM_ColourTemperatureShare   the colour temperature alone on that grid
//
// The frame is read once and processed again each iteration (every step
// AcquireScan takes after ovReadDataEx), so the unit's share is left out.
#include "datacontrol/data_control.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"

#include "allocation_counter.h"
#include "tcd_bench_unit.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quillon;
using quillon::bench::sim;

struct Setup {
    ScriptedPrompter prompter;
    std::unique_ptr<DataControl> control;
    std::vector<std::int32_t> frame;
    std::filesystem::path folder;
    bool ready = false;

    Setup() {
        setenv("OV_DRIVER", "sim", 1);
        folder = std::filesystem::temp_directory_path() /
                 ("quillon-bench-irradiance-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        control =
            quillon::bench::startTcdUnit(folder, quillon::bench::processingSettings(), prompter);
        if (!control || !sim("set 0 source dark") || toCode(control->TakeDarkScan()) != 1 ||
            !sim("set 0 source lamp") || control->CalibrateIrradiance(50) != OpResult::Done ||
            !sim("set 0 distance 25")) {
            return;
        }
        for (const auto &[key, value] : {std::pair{"IrradDist", "25"},
                                         {"base", "wavelength"},
                                         {"irradiance", "absolute"},
                                         {"mode", "irradiance"}}) {
            if (!control->ApplySetting(key, value).empty()) {
                return;
            }
        }
        if (control->AcquireScan() != ScanOutcome::Scanned) {
            return;
        }
        frame.resize(control->State().geometry.totalPixels);
        ovReadDataEx(frame.data(), control->State().currentChannel);
        ready = control->State().photometry.totalIrradiance > 0.0f;
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

void BM_ProcessScanIrradiance(benchmark::State &state) {
    Setup &s = setup();
    if (!s.ready) {
        state.SkipWithError("simulated unit not calibrated");
        return;
    }
    DataControl &dc = *s.control;
    const bool illuminance = state.range(0) != 0;
    if (!dc.ApplySetting("irradiance", illuminance ? "illuminance" : "absolute").empty()) {
        state.SkipWithError("irradiance form not set");
        return;
    }
    dc.Pipeline().ProcessRawFrame(s.frame);
    const long long before = ::bench::heapAllocations();
    for (auto _ : state) {
        dc.Pipeline().ProcessRawFrame(s.frame);
        benchmark::DoNotOptimize(dc.State().buffers.gridResult.data());
    }
    state.counters["allocs/scan"] =
        benchmark::Counter(static_cast<double>(::bench::heapAllocations() - before) /
                           static_cast<double>(state.iterations()));
    state.counters["grid points"] = static_cast<double>(dc.State().grid.count);
    state.counters["colour K"] = dc.Photometry().ColourTemperature();
}
BENCHMARK(BM_ProcessScanIrradiance)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ColourTemperatureShare(benchmark::State &state) {
    Setup &s = setup();
    if (!s.ready) {
        state.SkipWithError("simulated unit not calibrated");
        return;
    }
    if (!s.control->ApplySetting("irradiance", "absolute").empty()) {
        state.SkipWithError("irradiance form not set");
        return;
    }
    s.control->Pipeline().ProcessRawFrame(s.frame);
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.control->Photometry().ComputeColorTemp());
    }
}
BENCHMARK(BM_ColourTemperatureShare)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
