// Backend selection: OV_DRIVER chooses the backend once, on first use.
#include "driver.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "libusb/libusb_driver.h"
#include "libusb/sim_usb_bus.h"
#include "sim/sim_driver.h"
#include "win32/sim_ezusb_api.h"
#include "win32/win32_driver.h"
#ifdef QUILLON_HAVE_LIBUSB
#include "libusb/libusb_bus.h"
#endif

namespace ov::driver {
namespace {

// The backend of a platform without a built driver: it finds no unit.
class NullDriver final : public Driver {
public:
    DeviceHandle open(int) override { return kInvalidHandle; }
    void close(DeviceHandle) override {}
    bool control(DeviceHandle, std::uint32_t, std::span<const std::uint8_t>,
                 std::span<std::uint8_t>, std::uint32_t &bytesReturned) override {
        bytesReturned = 0;
        return false;
    }
    WaitStatus bulkReadWait(DeviceHandle, std::uint32_t, std::span<std::uint8_t>, int,
                            std::uint32_t &bytesReturned) override {
        bytesReturned = 0;
        return WaitStatus::Failed;
    }
};

// The backend of the real units on this platform, and the other platform's.
#ifdef _WIN32
constexpr std::string_view kNativeBackend = "win32";
constexpr std::string_view kForeignBackend = "libusb";
#else
constexpr std::string_view kNativeBackend = "libusb";
constexpr std::string_view kForeignBackend = "win32";
#endif

struct Selection {
    std::unique_ptr<Driver> driver;
    std::string message;
};

std::unique_ptr<ov::sim::SimDriver> simulatedBench() {
    const char *benchPath = std::getenv("OV_SIM_BENCH");
    const auto bench =
        benchPath && *benchPath ? ov::sim::loadBenchFile(benchPath) : ov::sim::defaultBench();
    return std::make_unique<ov::sim::SimDriver>(bench);
}

Selection realUnitsBackend() {
#if defined(_WIN32)
    return {std::make_unique<ov::win32::Win32Driver>(ov::win32::makeKernelEzusbApi()), {}};
#elif defined(QUILLON_HAVE_LIBUSB)
    return {std::make_unique<ov::usb::LibusbDriver>(ov::usb::makeLibusbBus()), {}};
#else
    return {std::make_unique<NullDriver>(),
            "This program is built without USB access (libusb); no units. Set OV_DRIVER=sim "
            "for simulated units."};
#endif
}

Selection backendFromEnvironment() {
    const char *value = std::getenv("OV_DRIVER");
    const std::string name = value ? value : "";
    if (name == "sim") {
        return {simulatedBench(), {}};
    }
    // The simulated bench at the USB level, behind the real backend's requests.
    if (name == "sim-usb") {
        return {std::make_unique<ov::usb::LibusbDriver>(
                    std::make_unique<ov::usb::SimUsbBus>(simulatedBench())),
                {}};
    }
    // The simulated bench behind the Windows backend's requests.
    if (name == "sim-win32") {
        return {std::make_unique<ov::win32::Win32Driver>(
                    std::make_unique<ov::win32::SimEzusbApi>(simulatedBench())),
                {}};
    }
    if (name.empty() || name == kNativeBackend) {
        return realUnitsBackend();
    }
    if (name == kForeignBackend) {
        return {std::make_unique<NullDriver>(),
                "OV_DRIVER=" + name +
                    ": this driver backend is not available on this platform (no units); use " +
                    std::string(kNativeBackend) + "."};
    }
    if (name == "none") {
        return {std::make_unique<NullDriver>(), {}};
    }
    return {std::make_unique<NullDriver>(),
            "OV_DRIVER=" + name +
                " is not a known driver backend (use libusb, win32, sim, sim-usb, sim-win32 or "
                "none); no units."};
}

// The one registry of backends. A replaced driver is kept alive to the end of
// the process, because a thread may still be inside one of its requests.
struct Registry {
    std::mutex mutex;
    std::atomic<Driver *> active{nullptr};
    std::vector<std::unique_ptr<Driver>> drivers;
    std::string message;
};

Registry &registry() {
    static Registry r;
    return r;
}

} // namespace

Driver &activeDriver() {
    Registry &r = registry();
    if (Driver *d = r.active.load(std::memory_order_acquire)) {
        return *d;
    }
    std::lock_guard lock(r.mutex);
    if (Driver *d = r.active.load(std::memory_order_relaxed)) {
        return *d;
    }
    auto selection = backendFromEnvironment();
    r.message = std::move(selection.message);
    r.drivers.push_back(std::move(selection.driver));
    r.active.store(r.drivers.back().get(), std::memory_order_release);
    return *r.drivers.back();
}

void installDriver(std::unique_ptr<Driver> driver) {
    if (!driver) {
        return;
    }
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    r.message.clear();
    r.drivers.push_back(std::move(driver));
    r.active.store(r.drivers.back().get(), std::memory_order_release);
}

std::string driverStatusMessage() {
    Driver &driver = activeDriver();
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        if (!r.message.empty()) {
            return r.message;
        }
    }
    if (std::string problem = driver.unitProblem(); !problem.empty()) {
        return problem;
    }
    const SimulatorControl *simulator = driver.simulator();
    return simulator ? simulator->statusMessage() : std::string{};
}

} // namespace ov::driver
