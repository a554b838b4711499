#include "libusb/libusb_driver.h"

#include "record_bytes.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <tuple>

namespace ov::usb {

// Open units are kept from their first request until their device leaves
// the bus: opening and claiming per request would cost more than a whole
// frame at 1 ms integration, and a unit that is pulled out fails its next
// transfer with NoDevice at once, which marks it gone.
struct OpenUnit {
    std::unique_ptr<UsbHandle> handle;
    std::uint8_t interfaceNumber = 0;
    Interface interface;
    std::vector<Endpoint> pipes; // pipe 0: bulk IN, pipe 1: bulk OUT, then the rest
    DeviceDescriptor descriptor{};
    int slot = 0;
    std::atomic<bool> gone{false};

    OpenUnit() = default;
    OpenUnit(const OpenUnit &) = delete;
    OpenUnit &operator=(const OpenUnit &) = delete;
    ~OpenUnit() {
        if (handle && !gone.load()) {
            handle->releaseInterface(interfaceNumber);
        }
    }

    // Every transfer goes through here, so that a unit gone from the bus is
    // known gone after its first failed request.
    UsbResult noted(UsbResult result) {
        if (result == UsbResult::NoDevice) {
            gone.store(true);
        }
        return result;
    }
};

namespace {

using driver::pipeIndexOf;
using driver::putLe16;
using driver::putLe32;

struct KnownId {
    std::uint16_t vendor;
    std::uint16_t product;
};

constexpr std::array<KnownId, 5> kKnownUnits{
    {{0x04B4, 0x0237}, {0x04B4, 0x0242}, {0x0547, 0x0322}, {0x0547, 0x0323}, {0x0547, 0x0324}}};

constexpr std::size_t kInterfaceRecordHeader = 16;
constexpr std::size_t kPipeRecordLength = 20;
constexpr std::uint32_t kMaximumTransferSize = 64 * 1024;
// Handles are connection * 10 + slot, as the simulated backend's are.
constexpr std::uint64_t kConnectionLimit = INT_MAX / driver::kSlotCount - 1;

std::string hex4(std::uint16_t value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%04x", value);
    return text.data();
}

std::string placeOf(std::uint8_t bus, const std::vector<std::uint8_t> &portPath) {
    std::string text = "bus " + std::to_string(bus) + " port ";
    for (std::size_t i = 0; i < portPath.size(); ++i) {
        text += (i == 0 ? "" : ".") + std::to_string(portPath[i]);
    }
    return portPath.empty() ? text + "?" : text;
}

std::string unitName(const DeviceInfo &device) {
    return "The unit " + hex4(device.vendorId()) + ":" + hex4(device.productId()) + " on " +
           placeOf(device.bus, device.portPath);
}

// The first interface with a bulk endpoint in each direction, its pipes in
// the order the library numbers them.
bool choosePipes(const std::vector<Interface> &interfaces, OpenUnit &unit) {
    for (const Interface &candidate : interfaces) {
        const auto &eps = candidate.endpoints;
        const auto in = std::find_if(eps.begin(), eps.end(),
                                     [](const Endpoint &e) { return e.isBulk() && e.isIn(); });
        const auto out = std::find_if(eps.begin(), eps.end(),
                                      [](const Endpoint &e) { return e.isBulk() && !e.isIn(); });
        if (in == eps.end() || out == eps.end()) {
            continue;
        }
        unit.interface = candidate;
        unit.interfaceNumber = candidate.number;
        unit.pipes = {*in, *out};
        for (auto e = eps.begin(); e != eps.end(); ++e) {
            if (e != in && e != out) {
                unit.pipes.push_back(*e);
            }
        }
        return true;
    }
    return false;
}

// The interface record the library reads its packet size from: the 32-bit
// layout, a 16-byte interface header followed by 20-byte pipe records.
bool pipeInfo(const OpenUnit &unit, std::span<std::uint8_t> out, std::uint32_t &bytesReturned) {
    const std::size_t length = kInterfaceRecordHeader + kPipeRecordLength * unit.pipes.size();
    if (out.size() < length) {
        return false;
    }
    const std::size_t n = std::min(out.size(), driver::kPipeInfoSize);
    std::fill_n(out.begin(), n, std::uint8_t{0});
    putLe16(out, 0, static_cast<std::uint32_t>(length));
    out[2] = unit.interface.number;
    out[3] = unit.interface.alternate;
    out[4] = unit.interface.interfaceClass;
    out[5] = unit.interface.subClass;
    out[6] = unit.interface.protocol;
    putLe32(out, 8, static_cast<std::uint32_t>(unit.slot + 1)); // interface handle
    putLe32(out, 12, static_cast<std::uint32_t>(unit.pipes.size()));
    for (std::size_t k = 0; k < unit.pipes.size(); ++k) {
        const Endpoint &e = unit.pipes[k];
        const std::size_t at = kInterfaceRecordHeader + k * kPipeRecordLength;
        putLe16(out, at, e.maxPacketSize);
        out[at + 2] = e.address;
        out[at + 3] = e.interval;
        putLe32(out, at + 4, e.attributes & kTransferTypeMask);  // pipe type: same numbering
        putLe32(out, at + 8, static_cast<std::uint32_t>(k + 1)); // pipe handle
        putLe32(out, at + 12, kMaximumTransferSize);
    }
    bytesReturned = static_cast<std::uint32_t>(n);
    return true;
}

// The raw string descriptor. The library asks in its own language ID; a
// unit that refuses it is asked again in the first language it offers.
bool stringDescriptor(OpenUnit &unit, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      std::uint32_t &bytesReturned) {
    if (in.size() < 4 || out.empty()) {
        return false;
    }
    const std::uint8_t index = in[0];
    const auto language = static_cast<std::uint16_t>(in[2] | (in[3] << 8));
    std::size_t length = 0;
    UsbResult result = unit.noted(unit.handle->stringDescriptor(index, language, out, length));
    if (result == UsbResult::Stall && index != 0) {
        std::array<std::uint8_t, 4> languages{};
        std::size_t got = 0;
        if (unit.noted(unit.handle->stringDescriptor(0, 0, languages, got)) == UsbResult::Ok &&
            got >= 4) {
            const auto offered = static_cast<std::uint16_t>(languages[2] | (languages[3] << 8));
            if (offered != language) {
                result = unit.noted(unit.handle->stringDescriptor(index, offered, out, length));
            }
        }
    }
    if (result != UsbResult::Ok) {
        return false;
    }
    bytesReturned = static_cast<std::uint32_t>(std::min(length, out.size()));
    return true;
}

// Endpoint of a pipe record for a transfer in the given direction.
const Endpoint *transferPipe(const OpenUnit &unit, std::span<const std::uint8_t> in,
                             std::uint32_t expected) {
    return pipeIndexOf(in) == expected ? &unit.pipes[expected] : nullptr;
}

bool bulk(OpenUnit &unit, const Endpoint *pipe, std::span<std::uint8_t> data, unsigned timeoutMs,
          std::uint32_t &bytesReturned, UsbResult &result) {
    if (pipe == nullptr) {
        return false;
    }
    std::size_t transferred = 0;
    result = unit.noted(unit.handle->bulkTransfer(pipe->address, data, transferred, timeoutMs));
    bytesReturned = static_cast<std::uint32_t>(std::min(transferred, data.size()));
    return result == UsbResult::Ok;
}

} // namespace

std::string_view resultName(UsbResult result) {
    switch (result) {
    case UsbResult::Ok:
        return "ok";
    case UsbResult::Timeout:
        return "time-out";
    case UsbResult::Stall:
        return "endpoint stalled";
    case UsbResult::NoDevice:
        return "no longer connected";
    case UsbResult::Access:
        return "no permission";
    case UsbResult::Busy:
        return "in use by another program or driver";
    case UsbResult::NotFound:
        return "not found";
    case UsbResult::Overflow:
        return "more data than asked for";
    case UsbResult::Io:
        break;
    }
    return "input/output error";
}

bool isKnownUnit(std::uint16_t vendorId, std::uint16_t productId) {
    return std::any_of(kKnownUnits.begin(), kKnownUnits.end(), [&](const KnownId &id) {
        return id.vendor == vendorId && id.product == productId;
    });
}

LibusbDriver::LibusbDriver(std::unique_ptr<UsbBus> bus) : bus_(std::move(bus)) {}

// The units release their interfaces before the bus goes.
LibusbDriver::~LibusbDriver() {
    for (Slot &slot : slots_) {
        slot.unit.reset();
    }
}

void LibusbDriver::refreshLocked(int slot) {
    const bool changed = bus_->takeChanges();
    const Slot &s = slots_[static_cast<std::size_t>(slot)];
    const bool slotUnusable = s.deviceId == 0 || (s.unit && s.unit->gone.load());
    // Without hot-plug news the list is read again whenever it may be stale.
    if (!enumerated_ || changed || (!bus_->hasHotplug() && slotUnusable)) {
        enumerateLocked();
    }
}

void LibusbDriver::enumerateLocked() {
    std::vector<DeviceInfo> devices;
    if (bus_->listDevices(devices) != UsbResult::Ok) {
        return; // keep the table; the next open asks again
    }
    enumerated_ = true;
    std::erase_if(devices,
                  [](const DeviceInfo &d) { return !isKnownUnit(d.vendorId(), d.productId()); });
    std::sort(devices.begin(), devices.end(), [](const DeviceInfo &a, const DeviceInfo &b) {
        return std::tie(a.bus, a.portPath) < std::tie(b.bus, b.portPath);
    });
    const auto present = [&](std::uint64_t id) {
        return std::any_of(devices.begin(), devices.end(),
                           [&](const DeviceInfo &d) { return d.id == id; });
    };
    // A unit that left frees its slot but the slot remembers its port.
    for (Slot &s : slots_) {
        if (s.deviceId != 0 && !present(s.deviceId)) {
            if (s.unit) {
                s.unit->gone.store(true);
            }
            s.unit.reset();
            s.deviceId = 0;
            s.problem.clear();
        }
    }
    const auto assigned = [&](std::uint64_t id) {
        return std::any_of(slots_.begin(), slots_.end(),
                           [&](const Slot &s) { return s.deviceId == id; });
    };
    const auto take = [&](Slot &s, const DeviceInfo &d) {
        s.deviceId = d.id;
        s.bus = d.bus;
        s.portPath = d.portPath;
        s.descriptor = d.descriptor;
        s.name = unitName(d);
        s.connection = nextConnection_;
        nextConnection_ = nextConnection_ >= kConnectionLimit ? 1 : nextConnection_ + 1;
        s.unit.reset();
        s.problem.clear();
    };
    // A unit back on the port it had before gets its old slot back; other
    // new units take the free slots in port order, ten at most.
    for (const DeviceInfo &d : devices) {
        if (assigned(d.id)) {
            continue;
        }
        const auto same = std::find_if(slots_.begin(), slots_.end(), [&](const Slot &s) {
            return s.deviceId == 0 && s.bus == d.bus && s.portPath == d.portPath;
        });
        if (same != slots_.end()) {
            take(*same, d);
        }
    }
    for (const DeviceInfo &d : devices) {
        if (assigned(d.id)) {
            continue;
        }
        const auto free = std::find_if(slots_.begin(), slots_.end(),
                                       [](const Slot &s) { return s.deviceId == 0; });
        if (free == slots_.end()) {
            break;
        }
        take(*free, d);
    }
}

std::shared_ptr<OpenUnit> LibusbDriver::openLocked(Slot &s, int slot) {
    auto unit = std::make_shared<OpenUnit>();
    unit->slot = slot;
    unit->descriptor = s.descriptor;
    const auto fail = [&](const std::string &why) {
        s.problem = why;
        return std::shared_ptr<OpenUnit>{};
    };
    const UsbResult opened = bus_->open(s.deviceId, unit->handle);
    if (opened == UsbResult::Access) {
        return fail(s.name +
                    " is connected but cannot be opened: no permission. Install the rule "
                    "file " +
                    std::string(kRuleFile) + " with \"" + kRuleInstallCommand +
                    "\", then plug the unit in again.");
    }
    if (opened != UsbResult::Ok) {
        return fail(opened == UsbResult::NoDevice
                        ? std::string{}
                        : s.name + " cannot be opened: " + std::string(resultName(opened)) + ".");
    }
    std::vector<Interface> interfaces;
    if (bus_->interfaces(s.deviceId, interfaces) != UsbResult::Ok ||
        !choosePipes(interfaces, *unit)) {
        unit->gone.store(true); // nothing claimed, nothing to release
        return fail(s.name + " has no bulk endpoints in both directions.");
    }
    bool active = false;
    if (unit->handle->kernelDriverActive(unit->interfaceNumber, active) == UsbResult::Ok &&
        active) {
        unit->handle->detachKernelDriver(unit->interfaceNumber);
    }
    const UsbResult claimed = unit->handle->claimInterface(unit->interfaceNumber);
    if (claimed != UsbResult::Ok) {
        unit->gone.store(true);
        return fail(claimed == UsbResult::NoDevice
                        ? std::string{}
                        : s.name + " cannot be used: " + std::string(resultName(claimed)) + ".");
    }
    s.problem.clear();
    s.unit = unit;
    return unit;
}

driver::DeviceHandle LibusbDriver::open(int slot) {
    if (slot < 0 || slot >= driver::kSlotCount) {
        return driver::kInvalidHandle;
    }
    std::lock_guard lock(mutex_);
    refreshLocked(slot);
    Slot &s = slots_[static_cast<std::size_t>(slot)];
    if (s.deviceId == 0) {
        return driver::kInvalidHandle;
    }
    if (s.unit && s.unit->gone.load()) {
        s.unit.reset();
    }
    if (!s.unit && !openLocked(s, slot)) {
        return driver::kInvalidHandle;
    }
    return static_cast<driver::DeviceHandle>(s.connection * driver::kSlotCount +
                                             static_cast<std::uint64_t>(slot));
}

void LibusbDriver::close(driver::DeviceHandle) {
    // The unit stays open for the next request; it closes when it leaves the bus.
}

std::shared_ptr<OpenUnit> LibusbDriver::unitOf(driver::DeviceHandle handle) const {
    if (handle < 0) {
        return nullptr;
    }
    const auto slot = static_cast<std::size_t>(handle % driver::kSlotCount);
    const auto connection = static_cast<std::uint64_t>(handle / driver::kSlotCount);
    std::lock_guard lock(mutex_);
    const Slot &s = slots_[slot];
    if (s.connection != connection || !s.unit || s.unit->gone.load()) {
        return nullptr;
    }
    return s.unit;
}

std::uint64_t LibusbDriver::connectionOf(driver::DeviceHandle handle) const {
    return handle < 0 ? 0 : static_cast<std::uint64_t>(handle / driver::kSlotCount);
}

bool LibusbDriver::control(driver::DeviceHandle handle, std::uint32_t code,
                           std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                           std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    const auto unit = unitOf(handle);
    if (!unit) {
        return false;
    }
    UsbResult result = UsbResult::Ok;
    switch (code) {
    case driver::kIoctlPipeInfo:
        return pipeInfo(*unit, out, bytesReturned);
    case driver::kIoctlDeviceDescriptor:
        if (out.size() < driver::kDeviceDescriptorSize) {
            return false;
        }
        std::copy(unit->descriptor.begin(), unit->descriptor.end(), out.begin());
        bytesReturned = driver::kDeviceDescriptorSize;
        return true;
    case driver::kIoctlStringDescriptor:
        return stringDescriptor(*unit, in, out, bytesReturned);
    case driver::kIoctlResetDevice: {
        const UsbResult reset = unit->noted(unit->handle->resetDevice());
        if (reset == UsbResult::NotFound) {
            unit->gone.store(true); // came back as a new device: the next open finds it
        }
        return reset == UsbResult::Ok;
    }
    case driver::kIoctlResetPipe: {
        const std::uint32_t pipe = pipeIndexOf(in);
        return pipe < unit->pipes.size() &&
               unit->noted(unit->handle->clearHalt(unit->pipes[pipe].address)) == UsbResult::Ok;
    }
    case driver::kIoctlBulkWrite:
        // The whole command or nothing: a part-sent packet is a failed one.
        return bulk(*unit, transferPipe(*unit, in, driver::kPipeOut), out, kWriteTimeoutMs,
                    bytesReturned, result) &&
               bytesReturned == out.size();
    case driver::kIoctlBulkRead:
        return bulk(*unit, transferPipe(*unit, in, driver::kPipeIn), out, kAnswerTimeoutMs,
                    bytesReturned, result);
    case driver::kIoctlDrainRead:
        return bulk(*unit, transferPipe(*unit, in, driver::kPipeIn), out, kDrainTimeoutMs,
                    bytesReturned, result) &&
               bytesReturned > 0;
    default:
        return false;
    }
}

driver::WaitStatus LibusbDriver::bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                              std::span<std::uint8_t> out, int timeoutMs,
                                              std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    const auto unit = unitOf(handle);
    if (!unit || pipe != driver::kPipeIn) {
        return driver::WaitStatus::Failed;
    }
    // A time-out of 0 would wait for ever.
    const auto wait = static_cast<unsigned>(std::max(timeoutMs, 1));
    UsbResult result = UsbResult::Ok;
    if (bulk(*unit, &unit->pipes[driver::kPipeIn], out, wait, bytesReturned, result)) {
        return driver::WaitStatus::Completed;
    }
    return result == UsbResult::Timeout ? driver::WaitStatus::TimedOut : driver::WaitStatus::Failed;
}

std::string LibusbDriver::unitProblem() const {
    std::string text = bus_->startupProblem();
    std::lock_guard lock(mutex_);
    for (const Slot &s : slots_) {
        if (!s.problem.empty()) {
            text += (text.empty() ? "" : "\n") + s.problem;
        }
    }
    return text;
}

} // namespace ov::usb
