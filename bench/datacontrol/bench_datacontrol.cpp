// AcquireScan for a TCD1304 unit (3648 pixels, FFT length 4096): time
// average 1, FFT smoothing 50, binning 2, T/R on the wavelength base.
//
// BM_ProcessScan times the processing of a frame already read (the raw
// frame is put back before each scan, then CorrectRawFrame and
// ProcessSpectrum run: every step AcquireScan takes after ovReadDataEx).
// BM_ReadFrame times ovReadDataEx alone against the fast simulated unit and
// BM_AcquireScan both together, so the unit's share is visible.
//
// --dump=PATH writes the scan's inputs and result as JSON for the NumPy
// peer (bench/peers/acquire_scan_numpy.py), which checks that it computes
// the same values.
#include "datacontrol/data_control.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"

#include "allocation_counter.h"

#include "tcd_bench_unit.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using quillon::DataControl;

using quillon::bench::sim;

// A started DataControl on the TCD1304 unit with dark and reference taken
// and a 50 % filter in the beam, in T/R on the wavelength base.
struct Setup {
    quillon::ScriptedPrompter prompter;
    std::unique_ptr<DataControl> control;
    std::vector<std::int32_t> frame;
    std::filesystem::path folder;
    bool ready = false;

    Setup() {
        setenv("OV_DRIVER", "sim", 1);
        folder = std::filesystem::temp_directory_path() /
                 ("quillon-bench-dc-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        control =
            quillon::bench::startTcdUnit(folder, quillon::bench::processingSettings(), prompter);
        if (!control || toCode(control->TakeDarkScan()) != 1 || !sim("set 0 source halogen") ||
            toCode(control->TakeReferenceScan()) != 1 || !sim("set 0 sample nd 50")) {
            return;
        }
        control->SetDisplayMode(quillon::DisplayMode::TransRefl);
        if (control->AcquireScan() != quillon::ScanOutcome::Scanned) {
            return;
        }
        frame = lastRawFrame();
        ready = true;
    }

    ~Setup() {
        control.reset();
        quillon::bench::removeBenchFolder(folder);
    }

    // The frame as read: take it again from the unit, before corrections.
    std::vector<std::int32_t> lastRawFrame() {
        std::vector<std::int32_t> raw(control->State().geometry.totalPixels);
        ovReadDataEx(raw.data(), control->State().currentChannel);
        return raw;
    }
};

Setup &setup() {
    static Setup instance;
    return instance;
}

void processOnce(DataControl &dc, const std::vector<std::int32_t> &frame) {
    dc.Pipeline().ProcessRawFrame(frame);
}

void BM_ProcessScan(benchmark::State &state) {
    Setup &s = setup();
    if (!s.ready) {
        state.SkipWithError("simulated unit not ready");
        return;
    }
    DataControl &dc = *s.control;
    processOnce(dc, s.frame);
    const long long before = bench::heapAllocations();
    for (auto _ : state) {
        processOnce(dc, s.frame);
        benchmark::DoNotOptimize(dc.State().buffers.gridResult.data());
    }
    state.counters["allocs/scan"] =
        benchmark::Counter(static_cast<double>(bench::heapAllocations() - before) /
                           static_cast<double>(state.iterations()));
    state.counters["grid points"] = static_cast<double>(dc.State().grid.count);
}
BENCHMARK(BM_ProcessScan)->Unit(benchmark::kMicrosecond);

void BM_ReadFrame(benchmark::State &state) {
    Setup &s = setup();
    if (!s.ready) {
        state.SkipWithError("simulated unit not ready");
        return;
    }
    std::vector<std::int32_t> raw(s.control->State().geometry.totalPixels);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ovReadDataEx(raw.data(), 0));
    }
}
BENCHMARK(BM_ReadFrame)->Unit(benchmark::kMicrosecond);

void BM_AcquireScan(benchmark::State &state) {
    Setup &s = setup();
    if (!s.ready) {
        state.SkipWithError("simulated unit not ready");
        return;
    }
    DataControl &dc = *s.control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dc.AcquireScan());
    }
}
BENCHMARK(BM_AcquireScan)->Unit(benchmark::kMicrosecond);

template <typename T>
void writeArray(std::ostream &out, const char *name, const std::vector<T> &values) {
    out << "\"" << name << "\": [";
    for (std::size_t i = 0; i < values.size(); ++i) {
        out << (i ? "," : "") << values[i];
    }
    out << "]";
}

// Inputs of one scan and the result this program computes for them.
bool dumpScan(const std::string &path) {
    Setup &s = setup();
    if (!s.ready) {
        return false;
    }
    DataControl &dc = *s.control;
    processOnce(dc, s.frame); // settles the dark adjustment
    const std::vector<float> dark = dc.State().buffers.dark;
    processOnce(dc, s.frame);
    std::ofstream out(path);
    out.precision(9);
    out << "{\n\"activePixels\": " << dc.State().geometry.activePixels
        << ",\n\"firstActive\": " << dc.State().geometry.firstActivePixel
        << ",\n\"obStart\": " << dc.State().geometry.obStart
        << ",\n\"obCount\": " << dc.State().geometry.obCount
        << ",\n\"fftLength\": " << dc.State().geometry.fftLength
        << ",\n\"fftPercent\": " << dc.State().acquisition.smoothingPercent
        << ",\n\"binning\": " << dc.State().acquisition.binningAverage
        << ",\n\"threshold\": " << dc.State().signalThreshold
        << ",\n\"refMax\": " << dc.State().settings.refMax
        << ",\n\"maxT\": " << dc.State().display.trMax
        << ",\n\"minT\": " << dc.State().display.trMin << ",\n";
    writeArray(out, "badPixels", dc.State().badPixels);
    out << ",\n";
    writeArray(out, "frame", s.frame);
    out << ",\n";
    writeArray(out, "dark", dark);
    out << ",\n";
    writeArray(out, "gridIndex", dc.State().buffers.gridIndex);
    out << ",\n";
    writeArray(out, "gridReferenceMinusDark", dc.State().buffers.gridReferenceMinusDark);
    out << ",\n";
    writeArray(out, "result", dc.State().buffers.gridResult);
    out << "\n}\n";
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char **argv) {
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--dump=", 7) == 0) {
            if (!dumpScan(argv[i] + 7)) {
                std::cerr << "could not dump the scan to " << (argv[i] + 7) << "\n";
                return 1;
            }
            continue;
        }
        args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
