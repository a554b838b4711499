// The libusb backend's own cost per frame: the library's frame read of one
// fast simulated ILX511 unit, once through the simulated backend and once
// through the libusb backend whose USB calls the same firmware answers at
// the USB level. The difference is the request mapping (slot lookup, pipe
// to endpoint, result mapping) per frame.
#include "libusb/libusb_driver.h"
#include "libusb/sim_usb_bus.h"
#include "ovdbusbm.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace ov;

constexpr const char *kBench = "[Unit]\nSlot=0\nVendorId=0x0547\nProductId=0x0322\n"
                               "MaxPacket=1024\nSource=halogen 2856\nTiming=fast\nSeed=5\n"
                               "Eeprom=Name=QX10-B1\nEeprom=CCD=ILX511\n";

std::unique_ptr<sim::SimDriver> bench() {
    return std::make_unique<sim::SimDriver>(sim::parseBench(kBench, "bench", {}));
}

bool startUnit(std::unique_ptr<driver::Driver> backend) {
    driver::installDriver(std::move(backend));
    int packet = 0;
    return ovTestAllChannels(0) == 1 && ovSetupGivenChannel(0) == OV_OK &&
           ovCheckSpeedMode(&packet, 0) == OV_OK && packet == 512 &&
           ovInitGivenChannel(OV_CCD_ILX511, 0) == OV_OK;
}

void readFrames(benchmark::State &state) {
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
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(bench::heapAllocations() - before) /
                           static_cast<double>(state.iterations()));
}

void BM_ReadFrameSimBackend(benchmark::State &state) {
    if (!startUnit(bench())) {
        state.SkipWithError("simulated unit did not start");
        return;
    }
    readFrames(state);
}
BENCHMARK(BM_ReadFrameSimBackend);

void BM_ReadFrameLibusbBackend(benchmark::State &state) {
    if (!startUnit(
            std::make_unique<usb::LibusbDriver>(std::make_unique<usb::SimUsbBus>(bench())))) {
        state.SkipWithError("unit behind the libusb backend did not start");
        return;
    }
    readFrames(state);
}
BENCHMARK(BM_ReadFrameLibusbBackend);

} // namespace

BENCHMARK_MAIN();
