// The driver requests of the device library on a USB bus: units of the
// known IDs are given slots 0-9, each slot's device is opened once and kept
// (with its interface claimed) until it leaves the bus, and every request is
// mapped onto descriptors, control and bulk transfers.
#ifndef QUILLON_DEVICELIB_DRIVER_LIBUSB_LIBUSB_DRIVER_H
#define QUILLON_DEVICELIB_DRIVER_LIBUSB_LIBUSB_DRIVER_H

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver.h"
#include "libusb/usb_bus.h"

namespace ov::usb {

// The units' USB identities; anything else on the bus is left alone.
bool isKnownUnit(std::uint16_t vendorId, std::uint16_t productId);

// Bulk-transfer time-outs of the requests without a wait of their own.
inline constexpr unsigned kWriteTimeoutMs = 1000;
inline constexpr unsigned kAnswerTimeoutMs = 1000;
// A draining read ends as soon as the unit has nothing more to send.
inline constexpr unsigned kDrainTimeoutMs = 20;

// Where the rule file lives and how it is installed (the permission message names both).
inline constexpr const char *kRuleFile = "resources/linux/60-quillon.rules";
inline constexpr const char *kRuleInstallCommand = "sudo scripts/install-udev-rules";

struct OpenUnit;

class LibusbDriver final : public driver::Driver {
public:
    explicit LibusbDriver(std::unique_ptr<UsbBus> bus);
    ~LibusbDriver() override;
    LibusbDriver(const LibusbDriver &) = delete;
    LibusbDriver &operator=(const LibusbDriver &) = delete;

    driver::DeviceHandle open(int slot) override;
    void close(driver::DeviceHandle handle) override;
    bool control(driver::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out, std::uint32_t &bytesReturned) override;
    driver::WaitStatus bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned) override;
    std::uint64_t connectionOf(driver::DeviceHandle handle) const override;
    driver::SimulatorControl *simulator() override { return bus_->simulator(); }

    // Why units present on the bus cannot be used (no permission, claimed
    // by another program), or why the bus cannot be used; empty otherwise.
    std::string unitProblem() const override;

private:
    struct Slot {
        std::uint64_t deviceId = 0; // 0: empty
        std::uint8_t bus = 0;
        std::vector<std::uint8_t> portPath;
        DeviceDescriptor descriptor{};
        std::string name; // for messages: IDs and place on the bus
        std::uint64_t connection = 0;
        std::shared_ptr<OpenUnit> unit;
        std::string problem;
    };

    void refreshLocked(int slot);
    void enumerateLocked();
    std::shared_ptr<OpenUnit> openLocked(Slot &s, int slot);
    std::shared_ptr<OpenUnit> unitOf(driver::DeviceHandle handle) const;

    std::unique_ptr<UsbBus> bus_;
    mutable std::mutex mutex_; // guards the slot table, not the open units
    std::array<Slot, driver::kSlotCount> slots_;
    bool enumerated_ = false;
    std::uint64_t nextConnection_ = 1;
};

} // namespace ov::usb

#endif
