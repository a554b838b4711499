// Instrument::scan() on the fast simulated ILX511 unit of the default bench
// (2048 pixels): what one quillon.Instrument.scan() call costs without
// Python. Scope on the pixel base, and T/R of a 25 % filter on the 1 nm
// wavelength grid. bench_scan.py times the same two from Python; the
// difference is the binding's overhead per call.
#include "instrument.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using quillon::python::Instrument;

std::filesystem::path defaultBench() {
    const char *given = std::getenv("QUILLON_BENCH_FILE");
    return given ? std::filesystem::path(given)
                 : std::filesystem::path(QUILLON_SOURCE_DIR) / "resources/sim/default-bench.ini";
}

struct Setup {
    std::filesystem::path folder;
    std::unique_ptr<Instrument> instrument;

    Setup() {
        folder = std::filesystem::temp_directory_path() /
                 ("quillon-bench-python-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        quillon::python::OpenOptions options;
        options.workdir = folder;
        options.simulate = true;
        options.bench = defaultBench().string();
        options.policy = quillon::python::Policy::Yes;
        options.shippedTables = quillon::platform::executableFolder().value_or("");
        try {
            instrument = std::make_unique<Instrument>(options);
            (void)instrument->sim("set 0 timing fast");
        } catch (const quillon::python::Error &error) {
            std::cerr << "bench_instrument_scan: " << error.what() << '\n';
            instrument.reset();
        }
    }
    ~Setup() {
        instrument.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

void BM_ScanScopePixels(benchmark::State &state) {
    Instrument *inst = setup().instrument.get();
    if (inst == nullptr) {
        state.SkipWithError("no instrument");
        return;
    }
    (void)inst->applySettings({{"mode", "scope"}, {"base", "pixel"}});
    for (auto _ : state) {
        benchmark::DoNotOptimize(inst->scan());
    }
}
BENCHMARK(BM_ScanScopePixels)->Unit(benchmark::kMicrosecond);

void BM_ScanTransmissionGrid(benchmark::State &state) {
    Instrument *inst = setup().instrument.get();
    if (inst == nullptr) {
        state.SkipWithError("no instrument");
        return;
    }
    (void)inst->applySettings({{"mode", "scope"}, {"base", "wavelength"}});
    (void)inst->sim("set 0 source dark");
    inst->dark();
    (void)inst->sim("set 0 source halogen");
    inst->reference();
    (void)inst->sim("set 0 sample nd 25");
    (void)inst->applySettings({{"mode", "tr"}});
    for (auto _ : state) {
        benchmark::DoNotOptimize(inst->scan());
    }
    (void)inst->sim("set 0 sample none");
}
BENCHMARK(BM_ScanTransmissionGrid)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
