#include "win32/sim_ezusb_api.h"

#include "record_bytes.h"

#include <charconv>
#include <string_view>

namespace ov::win32 {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\Ezusb-";

// The slot a device name stands for; -1 for a name the driver does not have.
int slotOfName(std::string_view name) {
    if (!name.starts_with(kDevicePrefix)) {
        return -1;
    }
    const std::string_view digits = name.substr(kDevicePrefix.size());
    int slot = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), slot);
    if (error != std::errc{} || end != digits.data() + digits.size() || digits.starts_with('+') ||
        (digits.size() > 1 && digits.front() == '0')) {
        return -1;
    }
    return slot;
}

} // namespace

SimEzusbApi::SimEzusbApi(std::unique_ptr<sim::SimDriver> bench) : bench_(std::move(bench)) {}

OpenResult SimEzusbApi::openDevice(const std::string &name) {
    const int slot = slotOfName(name);
    const driver::DeviceHandle handle = slot < 0 ? driver::kInvalidHandle : bench_->open(slot);
    if (handle == driver::kInvalidHandle) {
        return {kNoNativeHandle, OpenError::NotPresent, 2,
                "The system cannot find the file specified."};
    }
    return {static_cast<NativeHandle>(handle), OpenError::None, 0, {}};
}

void SimEzusbApi::closeHandle(NativeHandle handle) {
    bench_->close(static_cast<driver::DeviceHandle>(handle));
}

bool SimEzusbApi::ioControl(NativeHandle handle, std::uint32_t code,
                            std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                            std::uint32_t &returned) {
    return bench_->control(static_cast<driver::DeviceHandle>(handle), code, in, out, returned);
}

driver::WaitStatus SimEzusbApi::overlappedRequest(NativeHandle handle, std::uint32_t code,
                                                  std::span<const std::uint8_t> in,
                                                  std::span<std::uint8_t> out, int timeoutMs,
                                                  std::uint32_t &returned) {
    returned = 0;
    // The virtual units wait only on their frame reads.
    if (code != driver::kIoctlBulkRead) {
        return driver::WaitStatus::Failed;
    }
    return bench_->bulkReadWait(static_cast<driver::DeviceHandle>(handle), driver::pipeIndexOf(in),
                                out, timeoutMs, returned);
}

} // namespace ov::win32
