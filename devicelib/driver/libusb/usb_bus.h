// The few USB operations the libusb backend needs, as an interface of our
// own: the real implementation calls libusb, the simulated one lets the
// virtual units answer at the USB level (endpoints, descriptors, packets).
// The request mapping of the backend is written once against this.
#ifndef QUILLON_DEVICELIB_DRIVER_LIBUSB_USB_BUS_H
#define QUILLON_DEVICELIB_DRIVER_LIBUSB_USB_BUS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ov::driver {
class SimulatorControl;
}

namespace ov::usb {

enum class UsbResult { Ok, Timeout, Stall, NoDevice, Access, Busy, NotFound, Overflow, Io };

std::string_view resultName(UsbResult result);

inline constexpr std::uint8_t kEndpointIn = 0x80;
inline constexpr std::uint8_t kTransferTypeMask = 0x03;
inline constexpr std::uint8_t kTransferBulk = 0x02;

struct Endpoint {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;
    std::uint16_t maxPacketSize = 0;
    std::uint8_t interval = 0;

    bool isBulk() const { return (attributes & kTransferTypeMask) == kTransferBulk; }
    bool isIn() const { return (address & kEndpointIn) != 0; }
};

// The first alternate setting of one interface of the active configuration.
struct Interface {
    std::uint8_t number = 0;
    std::uint8_t alternate = 0;
    std::uint8_t interfaceClass = 0;
    std::uint8_t subClass = 0;
    std::uint8_t protocol = 0;
    std::vector<Endpoint> endpoints;
};

using DeviceDescriptor = std::array<std::uint8_t, 18>;

// One device as the bus sees it now. `id` names this connection: a device
// unplugged and plugged in again gets a new one.
struct DeviceInfo {
    std::uint64_t id = 0;
    std::uint8_t bus = 0;
    std::vector<std::uint8_t> portPath;
    DeviceDescriptor descriptor{};

    std::uint16_t vendorId() const {
        return static_cast<std::uint16_t>(descriptor[8] | (descriptor[9] << 8));
    }
    std::uint16_t productId() const {
        return static_cast<std::uint16_t>(descriptor[10] | (descriptor[11] << 8));
    }
};

// An open device. Destroying it closes the device.
class UsbHandle {
public:
    virtual ~UsbHandle() = default;
    virtual UsbResult kernelDriverActive(int interface, bool &active) = 0;
    virtual UsbResult detachKernelDriver(int interface) = 0;
    virtual UsbResult claimInterface(int interface) = 0;
    virtual UsbResult releaseInterface(int interface) = 0;
    // GET_DESCRIPTOR(string) on the control endpoint: the raw descriptor bytes.
    virtual UsbResult stringDescriptor(std::uint8_t index, std::uint16_t language,
                                       std::span<std::uint8_t> out, std::size_t &length) = 0;
    virtual UsbResult bulkTransfer(std::uint8_t endpoint, std::span<std::uint8_t> data,
                                   std::size_t &transferred, unsigned timeoutMs) = 0;
    virtual UsbResult clearHalt(std::uint8_t endpoint) = 0;
    virtual UsbResult resetDevice() = 0;
};

class UsbBus {
public:
    virtual ~UsbBus() = default;
    virtual UsbResult listDevices(std::vector<DeviceInfo> &devices) = 0;
    virtual UsbResult interfaces(std::uint64_t id, std::vector<Interface> &interfaces) = 0;
    virtual UsbResult open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) = 0;
    // True when the bus tells arrivals and departures; then `takeChanges`
    // says whether any happened since it was last asked.
    virtual bool hasHotplug() const = 0;
    virtual bool takeChanges() = 0;
    // Why the bus cannot be used at all; empty when it can.
    virtual std::string startupProblem() const { return {}; }
    // The simulated bench behind a simulated bus; null on real hardware.
    virtual driver::SimulatorControl *simulator() { return nullptr; }
};

} // namespace ov::usb

#endif
