// The simulated bench seen at the USB level: each plugged virtual unit is a
// device on bus 1 (port = slot + 1) whose descriptors, endpoints and packets
// come from the unit's firmware. Behind the libusb backend it runs the
// backend's whole request mapping without hardware (OV_DRIVER=sim-usb).
#ifndef QUILLON_DEVICELIB_DRIVER_LIBUSB_SIM_USB_BUS_H
#define QUILLON_DEVICELIB_DRIVER_LIBUSB_SIM_USB_BUS_H

#include <array>
#include <memory>
#include <mutex>

#include "libusb/usb_bus.h"
#include "sim/sim_driver.h"

namespace ov::usb {

class SimUsbBus final : public UsbBus {
public:
    explicit SimUsbBus(std::unique_ptr<sim::SimDriver> bench);

    UsbResult listDevices(std::vector<DeviceInfo> &devices) override;
    UsbResult interfaces(std::uint64_t id, std::vector<Interface> &interfaces) override;
    UsbResult open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) override;
    bool hasHotplug() const override { return true; }
    bool takeChanges() override;
    std::string startupProblem() const override { return bench_->statusMessage(); }
    driver::SimulatorControl *simulator() override { return bench_.get(); }

    sim::SimDriver &bench() { return *bench_; }

private:
    // The plugged unit whose connection is `id`, or null.
    std::shared_ptr<sim::VirtualUnit> unitOf(std::uint64_t id) const;

    std::unique_ptr<sim::SimDriver> bench_;
    std::mutex mutex_;
    std::array<std::uint64_t, driver::kSlotCount> seen_{};
};

} // namespace ov::usb

#endif
