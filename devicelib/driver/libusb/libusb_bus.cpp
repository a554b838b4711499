#include "libusb/libusb_bus.h"

#include "libusb/libusb_driver.h"

#include <libusb.h>

#include <atomic>
#include <map>
#include <thread>

namespace ov::usb {
namespace {

constexpr unsigned kControlTimeoutMs = 1000;
constexpr int kEventWaitMs = 200;
constexpr int kMaxPortDepth = 7;

UsbResult fromLibusb(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return UsbResult::Ok;
    case LIBUSB_ERROR_TIMEOUT:
        return UsbResult::Timeout;
    case LIBUSB_ERROR_PIPE:
        return UsbResult::Stall;
    case LIBUSB_ERROR_NO_DEVICE:
        return UsbResult::NoDevice;
    case LIBUSB_ERROR_ACCESS:
        return UsbResult::Access;
    case LIBUSB_ERROR_BUSY:
        return UsbResult::Busy;
    case LIBUSB_ERROR_NOT_FOUND:
        return UsbResult::NotFound;
    case LIBUSB_ERROR_OVERFLOW:
        return UsbResult::Overflow;
    default:
        return UsbResult::Io;
    }
}

DeviceDescriptor rawDescriptor(const libusb_device_descriptor &d) {
    DeviceDescriptor raw{};
    const auto le = [&raw](std::size_t at, std::uint16_t value) {
        raw[at] = static_cast<std::uint8_t>(value & 0xFF);
        raw[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    raw[0] = d.bLength;
    raw[1] = d.bDescriptorType;
    le(2, d.bcdUSB);
    raw[4] = d.bDeviceClass;
    raw[5] = d.bDeviceSubClass;
    raw[6] = d.bDeviceProtocol;
    raw[7] = d.bMaxPacketSize0;
    le(8, d.idVendor);
    le(10, d.idProduct);
    le(12, d.bcdDevice);
    raw[14] = d.iManufacturer;
    raw[15] = d.iProduct;
    raw[16] = d.iSerialNumber;
    raw[17] = d.bNumConfigurations;
    return raw;
}

class LibusbHandle final : public UsbHandle {
public:
    explicit LibusbHandle(libusb_device_handle *handle) : handle_(handle) {}
    ~LibusbHandle() override { libusb_close(handle_); }
    LibusbHandle(const LibusbHandle &) = delete;
    LibusbHandle &operator=(const LibusbHandle &) = delete;

    UsbResult kernelDriverActive(int interface, bool &active) override {
        const int result = libusb_kernel_driver_active(handle_, interface);
        active = result == 1;
        return result < 0 ? fromLibusb(result) : UsbResult::Ok;
    }
    UsbResult detachKernelDriver(int interface) override {
        return fromLibusb(libusb_detach_kernel_driver(handle_, interface));
    }
    UsbResult claimInterface(int interface) override {
        return fromLibusb(libusb_claim_interface(handle_, interface));
    }
    UsbResult releaseInterface(int interface) override {
        return fromLibusb(libusb_release_interface(handle_, interface));
    }
    UsbResult stringDescriptor(std::uint8_t index, std::uint16_t language,
                               std::span<std::uint8_t> out, std::size_t &length) override {
        length = 0;
        const auto asked = static_cast<std::uint16_t>(std::min<std::size_t>(out.size(), 0xFFFF));
        const int result =
            libusb_control_transfer(handle_, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                    static_cast<std::uint16_t>((LIBUSB_DT_STRING << 8) | index),
                                    language, out.data(), asked, kControlTimeoutMs);
        if (result < 0) {
            return fromLibusb(result);
        }
        length = static_cast<std::size_t>(result);
        return UsbResult::Ok;
    }
    UsbResult bulkTransfer(std::uint8_t endpoint, std::span<std::uint8_t> data,
                           std::size_t &transferred, unsigned timeoutMs) override {
        int done = 0;
        const int result = libusb_bulk_transfer(handle_, endpoint, data.data(),
                                                static_cast<int>(data.size()), &done, timeoutMs);
        transferred = static_cast<std::size_t>(std::max(done, 0));
        return fromLibusb(result);
    }
    UsbResult clearHalt(std::uint8_t endpoint) override {
        return fromLibusb(libusb_clear_halt(handle_, endpoint));
    }
    UsbResult resetDevice() override { return fromLibusb(libusb_reset_device(handle_)); }

private:
    libusb_device_handle *handle_;
};

class LibusbBus final : public UsbBus {
public:
    LibusbBus() {
        const int result = libusb_init(&context_);
        if (result != LIBUSB_SUCCESS) {
            context_ = nullptr;
            problem_ = std::string("USB access could not be started (") +
                       libusb_strerror(static_cast<libusb_error>(result)) +
                       "); no units. Set OV_DRIVER=sim for simulated units.";
            return;
        }
        if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0 &&
            libusb_hotplug_register_callback(
                context_,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                static_cast<libusb_hotplug_flag>(0), LIBUSB_HOTPLUG_MATCH_ANY,
                LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, &LibusbBus::onHotplug, this,
                &hotplug_) == LIBUSB_SUCCESS) {
            hotplugRegistered_ = true;
            // Hot-plug callbacks run from event handling; this thread does it.
            events_ = std::thread([this] { handleEvents(); });
        }
    }

    ~LibusbBus() override {
        if (context_ == nullptr) {
            return;
        }
        running_.store(false);
        if (hotplugRegistered_) {
            libusb_hotplug_deregister_callback(context_, hotplug_);
        }
        libusb_interrupt_event_handler(context_);
        if (events_.joinable()) {
            events_.join();
        }
        for (auto &[device, id] : known_) {
            libusb_unref_device(device);
        }
        libusb_exit(context_);
    }

    LibusbBus(const LibusbBus &) = delete;
    LibusbBus &operator=(const LibusbBus &) = delete;

    UsbResult listDevices(std::vector<DeviceInfo> &devices) override {
        devices.clear();
        if (context_ == nullptr) {
            return UsbResult::Io;
        }
        libusb_device **list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        if (count < 0) {
            return fromLibusb(static_cast<int>(count));
        }
        std::lock_guard lock(mutex_);
        std::map<libusb_device *, std::uint64_t> current;
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device *device = list[i];
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
                continue;
            }
            // Holding a reference keeps the pointer from naming a later device.
            auto known = known_.find(device);
            const std::uint64_t id = known != known_.end() ? known->second : nextId_++;
            if (known == known_.end()) {
                libusb_ref_device(device);
            } else {
                known_.erase(known);
            }
            current.emplace(device, id);
            DeviceInfo info;
            info.id = id;
            info.bus = libusb_get_bus_number(device);
            std::array<std::uint8_t, kMaxPortDepth> ports{};
            const int depth = libusb_get_port_numbers(device, ports.data(), kMaxPortDepth);
            info.portPath.assign(ports.begin(), ports.begin() + std::max(depth, 0));
            info.descriptor = rawDescriptor(descriptor);
            devices.push_back(std::move(info));
        }
        for (auto &[device, id] : known_) {
            libusb_unref_device(device); // left the bus
        }
        known_ = std::move(current);
        libusb_free_device_list(list, 1);
        return UsbResult::Ok;
    }

    UsbResult interfaces(std::uint64_t id, std::vector<Interface> &interfaces) override {
        interfaces.clear();
        std::lock_guard lock(mutex_);
        libusb_device *device = deviceOf(id);
        if (device == nullptr) {
            return UsbResult::NoDevice;
        }
        libusb_config_descriptor *config = nullptr;
        const int result = libusb_get_active_config_descriptor(device, &config);
        if (result != LIBUSB_SUCCESS) {
            return fromLibusb(result);
        }
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface &each = config->interface[i];
            if (each.num_altsetting < 1) {
                continue;
            }
            const libusb_interface_descriptor &alt = each.altsetting[0];
            Interface interface {
                alt.bInterfaceNumber, alt.bAlternateSetting, alt.bInterfaceClass,
                    alt.bInterfaceSubClass, alt.bInterfaceProtocol, {}
            };
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = alt.endpoint[e];
                interface.endpoints.push_back(
                    {ep.bEndpointAddress, ep.bmAttributes, ep.wMaxPacketSize, ep.bInterval});
            }
            interfaces.push_back(std::move(interface));
        }
        libusb_free_config_descriptor(config);
        return UsbResult::Ok;
    }

    UsbResult open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) override {
        std::lock_guard lock(mutex_);
        libusb_device *device = deviceOf(id);
        if (device == nullptr) {
            return UsbResult::NoDevice;
        }
        libusb_device_handle *opened = nullptr;
        const int result = libusb_open(device, &opened);
        if (result != LIBUSB_SUCCESS) {
            return fromLibusb(result);
        }
        handle = std::make_unique<LibusbHandle>(opened);
        return UsbResult::Ok;
    }

    bool hasHotplug() const override { return hotplugRegistered_; }
    bool takeChanges() override { return changed_.exchange(false); }
    std::string startupProblem() const override { return problem_; }

private:
    // Only the units' comings and goings make the backend read the list again.
    static int LIBUSB_CALL onHotplug(libusb_context *, libusb_device *device, libusb_hotplug_event,
                                     void *self) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(device, &d) == LIBUSB_SUCCESS &&
            isKnownUnit(d.idVendor, d.idProduct)) {
            static_cast<LibusbBus *>(self)->changed_.store(true);
        }
        return 0; // stay registered
    }

    void handleEvents() {
        while (running_.load()) {
            timeval wait{0, kEventWaitMs * 1000};
            libusb_handle_events_timeout_completed(context_, &wait, nullptr);
        }
    }

    libusb_device *deviceOf(std::uint64_t id) const {
        for (const auto &[device, known] : known_) {
            if (known == id) {
                return device;
            }
        }
        return nullptr;
    }

    libusb_context *context_ = nullptr;
    std::string problem_;
    libusb_hotplug_callback_handle hotplug_{};
    bool hotplugRegistered_ = false;
    std::atomic<bool> changed_{false};
    std::atomic<bool> running_{true};
    std::thread events_;
    std::mutex mutex_; // guards the known devices
    std::map<libusb_device *, std::uint64_t> known_;
    std::uint64_t nextId_ = 1;
};

} // namespace

std::unique_ptr<UsbBus> makeLibusbBus() {
    return std::make_unique<LibusbBus>();
}

} // namespace ov::usb
