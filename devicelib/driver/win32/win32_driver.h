// The driver requests of the device library on the Windows general-purpose
// USB driver: each slot is the device "\\.\Ezusb-<slot>", opened for one
// request and closed after it; control codes and records go to the driver
// unchanged, and the frame read is an overlapped request with a wait.
#ifndef QUILLON_DEVICELIB_DRIVER_WIN32_WIN32_DRIVER_H
#define QUILLON_DEVICELIB_DRIVER_WIN32_WIN32_DRIVER_H

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "driver.h"
#include "win32/ezusb_api.h"

namespace ov::win32 {

// The device name of a slot 0..9; empty for any other number.
std::string deviceNameOf(int slot);

class Win32Driver final : public driver::Driver {
public:
    explicit Win32Driver(std::unique_ptr<EzusbApi> api);
    ~Win32Driver() override;
    Win32Driver(const Win32Driver &) = delete;
    Win32Driver &operator=(const Win32Driver &) = delete;

    driver::DeviceHandle open(int slot) override;
    void close(driver::DeviceHandle handle) override;
    bool control(driver::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out, std::uint32_t &bytesReturned) override;
    driver::WaitStatus bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned) override;
    bool pipeRecordUses64BitLayout() const override;
    driver::SimulatorControl *simulator() override { return api_->simulator(); }

    // Why devices that are present could not be opened at their last try;
    // empty when there is nothing to explain.
    std::string unitProblem() const override;

private:
    NativeHandle nativeOf(driver::DeviceHandle handle) const;

    std::unique_ptr<EzusbApi> api_;
    mutable std::mutex mutex_; // guards the tables below, not the requests
    std::map<driver::DeviceHandle, NativeHandle> open_;
    driver::DeviceHandle nextHandle_ = 1;
    std::array<std::string, driver::kSlotCount> problems_;
};

} // namespace ov::win32

#endif
