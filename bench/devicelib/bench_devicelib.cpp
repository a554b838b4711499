// Frame throughput and the cost of the smoothing and filtering reads,
// through the library's exports against a fast simulated ILX511 unit.
#include "ovdbusbm.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kBench = "[Bench]\nPipeRecord64=0\n[Unit]\nSlot=0\nVendorId=0x0547\n"
                               "ProductId=0x0322\nMaxPacket=1024\nChannelId=0\n"
                               "Manufacturer=ORVANTIS\nProduct=OV USB Spectrometer\n"
                               "Source=halogen 2856\nTiming=fast\nSeed=5\n"
                               "Eeprom=Name=QX10-B1\nEeprom=CCD=ILX511\n";

// One fast ILX511 unit on channel 0 at packet size 512.
bool startUnit() {
    static const bool ready = [] {
        setenv("OV_DRIVER", "sim", 1);
        const auto path = std::filesystem::temp_directory_path() /
                          ("quillon-bench-" + std::to_string(::getpid()) + ".ini");
        std::ofstream(path) << kBench;
        std::array<char, 512> reply{};
        const std::string command = "bench load " + path.string();
        const bool loaded = ovSimCommand(command.c_str(), reply.data(), reply.size()) == 1;
        std::filesystem::remove(path);
        int packet = 0;
        return loaded && ovTestAllChannels(0) == 1 && ovSetupGivenChannel(0) == OV_OK &&
               ovCheckSpeedMode(&packet, 0) == OV_OK && packet == 512 && ovGetDevIsNew(0) >= 0 &&
               ovInitGivenChannel(OV_CCD_ILX511, 0) == OV_OK;
    }();
    return ready;
}

void countAllocations(benchmark::State &state, long long before) {
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(bench::heapAllocations() - before) /
                           static_cast<double>(state.iterations()));
}

void ReadDataEx(benchmark::State &state) {
    if (!startUnit()) {
        state.SkipWithError("simulated unit did not start");
        return;
    }
    std::vector<int> frame(2080);
    const long long before = bench::heapAllocations();
    for (auto _ : state) {
        if (ovReadDataEx(frame.data(), 0) != OV_OK) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations());
    countAllocations(state, before);
}
BENCHMARK(ReadDataEx);

void ReadDataExTHalfWidth5(benchmark::State &state) {
    if (!startUnit() || ovDupdate(1, 5, 0) != OV_OK) {
        state.SkipWithError("simulated unit did not start");
        return;
    }
    std::vector<int> frame(2080);
    const long long before = bench::heapAllocations();
    for (auto _ : state) {
        if (ovReadDataExT(frame.data(), 0) != OV_OK) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations());
    countAllocations(state, before);
}
BENCHMARK(ReadDataExTHalfWidth5);

void ReadDataAdvExStrength50(benchmark::State &state) {
    if (!startUnit()) {
        state.SkipWithError("simulated unit did not start");
        return;
    }
    std::vector<int> frame(2080);
    const long long before = bench::heapAllocations();
    for (auto _ : state) {
        if (ovReadDataAdvEx(frame.data(), 1, 50, 0, nullptr, 0) != OV_OK) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(state.iterations());
    countAllocations(state, before);
}
BENCHMARK(ReadDataAdvExStrength50);

} // namespace

BENCHMARK_MAIN();
