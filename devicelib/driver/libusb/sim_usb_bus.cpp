#include "libusb/sim_usb_bus.h"

#include "record_bytes.h"

namespace ov::usb {
namespace {

using driver::le16;
using driver::WaitStatus;

using driver::pipeRecordOf;

// The connection (plug generation) of a unit that is plugged in, else 0.
std::uint64_t connectionOf(const sim::VirtualUnit *unit) {
    std::uint64_t generation = 0;
    return unit != nullptr && unit->openable(generation) ? generation : 0;
}

// A virtual unit as an open USB device: control transfers and the two bulk
// endpoints reach its firmware on the connection the handle was opened on.
class SimUsbHandle final : public UsbHandle {
public:
    SimUsbHandle(std::shared_ptr<sim::VirtualUnit> unit, std::uint64_t generation)
        : unit_(std::move(unit)), generation_(generation) {}

    UsbResult kernelDriverActive(int, bool &active) override {
        active = false;
        return alive() ? UsbResult::Ok : UsbResult::NoDevice;
    }
    UsbResult detachKernelDriver(int) override { return UsbResult::NotFound; }
    UsbResult claimInterface(int) override { return alive() ? UsbResult::Ok : UsbResult::NoDevice; }
    UsbResult releaseInterface(int) override {
        return alive() ? UsbResult::Ok : UsbResult::NoDevice;
    }

    UsbResult stringDescriptor(std::uint8_t index, std::uint16_t language,
                               std::span<std::uint8_t> out, std::size_t &length) override {
        const std::array<std::uint8_t, 4> query{index, 0, static_cast<std::uint8_t>(language),
                                                static_cast<std::uint8_t>(language >> 8)};
        std::uint32_t returned = 0;
        const bool ok =
            unit_->control(generation_, driver::kIoctlStringDescriptor, query, out, returned);
        length = returned;
        return ok ? UsbResult::Ok : failure(UsbResult::Stall);
    }

    UsbResult bulkTransfer(std::uint8_t endpoint, std::span<std::uint8_t> data,
                           std::size_t &transferred, unsigned timeoutMs) override {
        std::uint32_t returned = 0;
        transferred = 0;
        if ((endpoint & kEndpointIn) == 0) {
            const auto record = pipeRecordOf(driver::kPipeOut);
            const bool ok =
                unit_->control(generation_, driver::kIoctlBulkWrite, record, data, returned);
            transferred = returned;
            return ok ? UsbResult::Ok : failure(UsbResult::Io);
        }
        const WaitStatus status = unit_->bulkReadWait(generation_, driver::kPipeIn, data,
                                                      static_cast<int>(timeoutMs), returned);
        transferred = returned;
        switch (status) {
        case WaitStatus::Completed:
            return UsbResult::Ok;
        case WaitStatus::TimedOut:
            return UsbResult::Timeout;
        case WaitStatus::Failed:
            break;
        }
        return failure(UsbResult::Io);
    }

    UsbResult clearHalt(std::uint8_t endpoint) override {
        const auto record =
            pipeRecordOf((endpoint & kEndpointIn) != 0 ? driver::kPipeIn : driver::kPipeOut);
        std::uint32_t returned = 0;
        return unit_->control(generation_, driver::kIoctlResetPipe, record, {}, returned)
                   ? UsbResult::Ok
                   : failure(UsbResult::Io);
    }

    UsbResult resetDevice() override {
        std::uint32_t returned = 0;
        return unit_->control(generation_, driver::kIoctlResetDevice, {}, {}, returned)
                   ? UsbResult::Ok
                   : failure(UsbResult::Io);
    }

private:
    bool alive() const { return connectionOf(unit_.get()) == generation_; }
    // A request of a unit that was pulled out fails as on a real bus.
    UsbResult failure(UsbResult whilePlugged) const {
        return alive() ? whilePlugged : UsbResult::NoDevice;
    }

    std::shared_ptr<sim::VirtualUnit> unit_;
    std::uint64_t generation_;
};

} // namespace

SimUsbBus::SimUsbBus(std::unique_ptr<sim::SimDriver> bench) : bench_(std::move(bench)) {}

std::shared_ptr<sim::VirtualUnit> SimUsbBus::unitOf(std::uint64_t id) const {
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        auto unit = bench_->unit(slot);
        if (id != 0 && connectionOf(unit.get()) == id) {
            return unit;
        }
    }
    return nullptr;
}

UsbResult SimUsbBus::listDevices(std::vector<DeviceInfo> &devices) {
    devices.clear();
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        const auto unit = bench_->unit(slot);
        const std::uint64_t id = connectionOf(unit.get());
        if (id == 0) {
            continue;
        }
        DeviceInfo device;
        device.id = id;
        device.bus = 1;
        device.portPath = {static_cast<std::uint8_t>(slot + 1)};
        std::uint32_t returned = 0;
        if (unit->control(id, driver::kIoctlDeviceDescriptor, {}, device.descriptor, returned) &&
            returned == device.descriptor.size()) {
            devices.push_back(device);
        }
    }
    return UsbResult::Ok;
}

// The endpoints as the firmware's pipe record lists them (either layout).
UsbResult SimUsbBus::interfaces(std::uint64_t id, std::vector<Interface> &interfaces) {
    interfaces.clear();
    const auto unit = unitOf(id);
    if (!unit) {
        return UsbResult::NoDevice;
    }
    std::array<std::uint8_t, driver::kPipeInfoSize> record{};
    std::uint32_t returned = 0;
    if (!unit->control(id, driver::kIoctlPipeInfo, {}, record, returned)) {
        return UsbResult::Io;
    }
    const bool wide = bench_->pipeRecordUses64BitLayout();
    const std::size_t first =
        wide ? driver::kPipeInfoMaxPacketOffset64 : driver::kPipeInfoMaxPacketOffset32;
    const std::size_t pipeSize = wide ? 24 : 20;
    const std::size_t count = le16(record, wide ? 16 : 12);
    Interface interface;
    interface.interfaceClass = record[4];
    for (std::size_t k = 0; k < count && first + (k + 1) * pipeSize <= returned; ++k) {
        const std::size_t at = first + k * pipeSize;
        interface.endpoints.push_back({record[at + 2], static_cast<std::uint8_t>(record[at + 4]),
                                       le16(record, at), record[at + 3]});
    }
    interfaces.push_back(std::move(interface));
    return UsbResult::Ok;
}

UsbResult SimUsbBus::open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) {
    auto unit = unitOf(id);
    if (!unit) {
        return UsbResult::NoDevice;
    }
    handle = std::make_unique<SimUsbHandle>(std::move(unit), id);
    return UsbResult::Ok;
}

bool SimUsbBus::takeChanges() {
    std::lock_guard lock(mutex_);
    bool changed = false;
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        const std::uint64_t now = connectionOf(bench_->unit(slot).get());
        auto &seen = seen_[static_cast<std::size_t>(slot)];
        changed = changed || now != seen;
        seen = now;
    }
    return changed;
}

} // namespace ov::usb
