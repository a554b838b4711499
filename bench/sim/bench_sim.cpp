// Simulated frames in fast mode: the optics model alone, and a whole frame
// through the driver interface (start frame, every packet). Target: at most
// 30 us per 3648-pixel frame, so that library benchmarks measure the library.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "sim/sim_driver.h"

namespace {

using namespace ov;

const char *kTcdBench = "[Unit]\nSlot=0\nSensor=TCD1304\nMaxPacket=1024\nSource=halogen\n"
                        "Eeprom=CCD=TCD1304\nEeprom=IntTime=3500\n";

sim::SimDriver makeDriver() {
    return sim::SimDriver(sim::parseBench(kTcdBench, "bench", {}));
}

void reportPerFrame(benchmark::State &state) {
    state.counters["us_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FrameModel3648(benchmark::State &state) {
    auto d = makeDriver();
    auto unit = d.unit(0);
    for (auto _ : state) {
        unit->generateFrame();
    }
    reportPerFrame(state);
}
BENCHMARK(BM_FrameModel3648);

void BM_FrameThroughDriver3648(benchmark::State &state) {
    auto d = makeDriver();
    std::array<std::uint8_t, 64> command{};
    const std::array<std::uint8_t, 4> pipeOut = {1, 0, 0, 0};
    std::vector<std::uint8_t> buffer(1024 + 24);
    std::uint32_t n = 0;
    // Initialise as the library does: 3680 samples at 256 per packet, 15 packets, remainder 96.
    command = {0x00, 11, 0, 3680 & 0xFF, 3680 >> 8, 0, 0, 15, 96, 0, 0, 32, 0};
    auto h = d.open(0);
    d.control(h, driver::kIoctlBulkWrite, pipeOut, command, n);
    for (auto _ : state) {
        h = d.open(0);
        command = {0x02};
        d.control(h, driver::kIoctlBulkWrite, pipeOut, command, n);
        for (int k = 0; k < 15; ++k) {
            d.bulkReadWait(h, driver::kPipeIn, std::span(buffer.data(), 1024), 1000, n);
        }
        d.close(h);
        benchmark::DoNotOptimize(buffer.data());
    }
    reportPerFrame(state);
}
BENCHMARK(BM_FrameThroughDriver3648);

} // namespace

BENCHMARK_MAIN();
