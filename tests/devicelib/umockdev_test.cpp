// The libusb backend against the real libusb, on a test bed: two units
// described in sysfs (device and configuration descriptors) with their usbfs
// nodes answered here, URB by URB, by a small scripted firmware. The device
// library finds the maker's unit, rejects the other by its strings, sets it
// up and reads frames through it.
//
// Runs under umockdev-wrapper (ctest does that); run directly, or where the
// test bed cannot be built, it skips and says why.
#include "libusb/libusb_bus.h"
#include "libusb/libusb_driver.h"
#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include <umockdev.h>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ov::usb {
namespace {

constexpr std::uint8_t kCommandStartFrame = 0x02;
constexpr std::uint8_t kCommandInitialise = 0x00;
constexpr std::uint8_t kCommandReadChannelId = 0x5C;
constexpr std::uint8_t kChannelId = 3;
constexpr int kTransferBytes = 1024;

// Sample word the firmware sends for sample k of every frame.
std::uint16_t sampleWord(int k) {
    return static_cast<std::uint16_t>(k * 7 + 3);
}

std::vector<std::uint8_t> stringDescriptor(const std::string &text) {
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), 0x03};
    for (const char c : text) {
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

// Device, configuration, interface and endpoint descriptors as sysfs keeps
// them. The bulk OUT endpoint comes first, so the backend must sort the pipes
// by direction; the IN endpoint reports 1024 (512-byte packets, 1024-byte
// transfers for the library).
std::string descriptorsHex(std::uint16_t vendor, std::uint16_t product) {
    const int v = vendor;
    const int p = product;
    // clang-format off
    const std::vector<int> bytes{
        18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, v & 0xFF, v >> 8, p & 0xFF, p >> 8,
        0x00, 0x01, 1, 2, 0, 1,               // device
        9, 2, 32, 0, 1, 1, 0, 0x80, 50,       // configuration
        9, 4, 0, 0, 2, 0xFF, 0, 0, 0,         // interface 0
        7, 5, 0x02, 2, 0x00, 0x02, 0,         // bulk OUT 2, 512
        7, 5, 0x86, 2, 0x00, 0x04, 0};        // bulk IN 6, 1024
    // clang-format on
    std::string hex;
    for (const int b : bytes) {
        static const char *digits = "0123456789abcdef";
        hex += digits[(b >> 4) & 0xF];
        hex += digits[b & 0xF];
    }
    return hex;
}

// One unit's usbfs node: URBs in, URBs reaped, answers from a script of the
// unit's behaviour (answers to commands, a frame after start-frame).
class ScriptedFirmware {
public:
    ScriptedFirmware(std::string manufacturer, std::string product)
        : strings_{stringDescriptor(manufacturer), stringDescriptor(product)} {}
    ScriptedFirmware(const ScriptedFirmware &) = delete;
    ScriptedFirmware &operator=(const ScriptedFirmware &) = delete;
    ~ScriptedFirmware() {
        for (auto *urb : reapable_) {
            g_object_unref(urb);
        }
        for (auto *urb : waiting_) {
            g_object_unref(urb);
        }
    }

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self) {
        return static_cast<ScriptedFirmware *>(self)->handle(client);
    }

    std::vector<std::uint8_t> commands() {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    int resets() {
        std::lock_guard lock(mutex_);
        return resets_;
    }
    // Pulled out: every request fails as on a device that is gone; plugged
    // back in: a unit on its power-on defaults (no frame geometry).
    void setPulled(bool pulled) {
        std::lock_guard lock(mutex_);
        pulled_ = pulled;
        packets_ = 0;
        pending_.clear();
    }
    // The next start-frame is lost: no packets follow it.
    void loseNextFrame() {
        std::lock_guard lock(mutex_);
        loseFrame_ = true;
    }
    std::vector<unsigned> clearedEndpoints() {
        std::lock_guard lock(mutex_);
        return cleared_;
    }

private:
    gboolean handle(UMockdevIoctlClient *client) {
        std::lock_guard lock(mutex_);
        if (pulled_) { // as the kernel answers for a device that is gone
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        switch (umockdev_ioctl_client_get_request(client)) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            const guint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(caps->data, &value, sizeof value);
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(caps);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER: // no kernel driver bound, none to disconnect
        case USBDEVFS_IOCTL:
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return TRUE;
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData *ep = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            unsigned endpoint = 0;
            std::memcpy(&endpoint, ep->data, sizeof endpoint);
            cleared_.push_back(endpoint);
            g_object_unref(ep);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_RESET:
            ++resets_;
            pending_.clear();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_RESETEP:
        case USBDEVFS_SETINTERFACE:
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_SUBMITURB:
            submit(client, arg);
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reap(client, arg);
            return TRUE;
        case USBDEVFS_DISCARDURB:
            discard(client, arg);
            return TRUE;
        default:
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
        }
    }

    static usbdevfs_urb &urbOf(UMockdevIoctlData *data) {
        return *reinterpret_cast<usbdevfs_urb *>(data->data);
    }

    void submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
        UMockdevIoctlData *data =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        usbdevfs_urb &urb = urbOf(data);
        UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(
            data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb.buffer_length), nullptr);
        const std::span<std::uint8_t> bytes(buffer->data,
                                            static_cast<std::size_t>(buffer->data_len));
        g_object_unref(buffer); // the URB keeps its resolved buffer
        urb.status = 0;
        urb.actual_length = 0;
        if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
            answerControl(urb, bytes);
            reapable_.push_back(data);
        } else if ((urb.endpoint & 0x80) == 0) {
            command(bytes);
            urb.actual_length = urb.buffer_length;
            reapable_.push_back(data);
            feedWaitingReads();
        } else if (!pending_.empty()) {
            fill(urb, bytes);
            reapable_.push_back(data);
        } else {
            waiting_.push_back(data); // until data comes or libusb's time-out discards it
        }
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    void answerControl(usbdevfs_urb &urb, std::span<std::uint8_t> bytes) {
        const std::uint8_t request = bytes[1];
        const std::uint8_t type = bytes[3];
        const std::uint8_t index = bytes[2];
        const std::size_t asked = bytes[6] | (bytes[7] << 8);
        std::vector<std::uint8_t> answer;
        if (request == 0x06 && type == 0x03 && index == 0) {
            answer = {4, 0x03, 0x09, 0x04};
        } else if (request == 0x06 && type == 0x03 && (index == 1 || index == 2)) {
            answer = strings_[index - 1U];
        } else {
            urb.status = -EPIPE;
            return;
        }
        const std::size_t n = std::min({answer.size(), asked, bytes.size() - 8});
        std::copy_n(answer.begin(), n, bytes.begin() + 8);
        urb.actual_length = static_cast<int>(n);
    }

    // The unit's side of the commands this test sends.
    void command(std::span<const std::uint8_t> packet) {
        if (packet.empty()) {
            return;
        }
        commands_.push_back(packet[0]);
        if (packet[0] == kCommandInitialise && packet.size() >= 10) {
            readout_ = packet[3] | (packet[4] << 8);
            packets_ = packet[7];
            remainder_ = packet[8] | (packet[9] << 8);
        } else if (packet[0] == kCommandReadChannelId) {
            std::vector<std::uint8_t> answer(kTransferBytes, 0);
            answer[0] = kChannelId;
            pending_.push_back(answer);
        } else if (packet[0] == kCommandStartFrame && std::exchange(loseFrame_, false)) {
            return;
        } else if (packet[0] == kCommandStartFrame && packets_ > 0) {
            const int perPacket =
                remainder_ != 0 ? (readout_ - remainder_) / (packets_ - 1) : readout_ / packets_;
            for (int p = 0; p < packets_; ++p) {
                std::vector<std::uint8_t> out(kTransferBytes, 0);
                const int count = p == packets_ - 1 && remainder_ != 0 ? remainder_ : perPacket;
                for (int k = 0; k < count && 2 * k + 1 < kTransferBytes; ++k) {
                    const std::uint16_t w = sampleWord(p * perPacket + k);
                    out[static_cast<std::size_t>(2 * k)] = static_cast<std::uint8_t>(w & 0xFF);
                    out[static_cast<std::size_t>(2 * k + 1)] = static_cast<std::uint8_t>(w >> 8);
                }
                pending_.push_back(out);
            }
        }
    }

    void fill(usbdevfs_urb &urb, std::span<std::uint8_t> bytes) {
        const auto &next = pending_.front();
        const std::size_t n = std::min(next.size(), bytes.size());
        std::copy_n(next.begin(), n, bytes.begin());
        urb.actual_length = static_cast<int>(n);
        pending_.pop_front();
    }

    void feedWaitingReads() {
        while (!waiting_.empty() && !pending_.empty()) {
            UMockdevIoctlData *data = waiting_.front();
            waiting_.pop_front();
            usbdevfs_urb &urb = urbOf(data);
            fill(urb, {static_cast<std::uint8_t *>(urb.buffer),
                       static_cast<std::size_t>(urb.buffer_length)});
            reapable_.push_back(data);
        }
    }

    void reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
        if (reapable_.empty()) {
            umockdev_ioctl_client_complete(client, -1, EAGAIN);
            return;
        }
        UMockdevIoctlData *data = reapable_.front();
        reapable_.pop_front();
        UMockdevIoctlData *pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(pointer, 0, data);
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(pointer);
        g_object_unref(data);
    }

    void discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
        void *address = nullptr;
        std::memcpy(&address, arg->data, sizeof address);
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if ((*it)->client_addr == reinterpret_cast<gulong>(address)) {
                urbOf(*it).status = -ENOENT;
                reapable_.push_back(*it);
                waiting_.erase(it);
                umockdev_ioctl_client_complete(client, 0, 0);
                return;
            }
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
    }

    std::mutex mutex_;
    std::array<std::vector<std::uint8_t>, 2> strings_;
    std::deque<UMockdevIoctlData *> reapable_; // owned references
    std::deque<UMockdevIoctlData *> waiting_;  // IN URBs without data yet
    std::deque<std::vector<std::uint8_t>> pending_;
    std::vector<std::uint8_t> commands_;
    std::vector<unsigned> cleared_;
    int resets_ = 0;
    bool loseFrame_ = false;
    bool pulled_ = false;
    int readout_ = 0;
    int packets_ = 0;
    int remainder_ = 0;
};

class UmockdevBed : public testing::Test {
protected:
    void SetUp() override {
        const char *preload = std::getenv("LD_PRELOAD");
        if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
            GTEST_SKIP() << "not under umockdev-wrapper (the libumockdev-preload library is "
                            "not loaded); ctest runs this test through it";
        }
        bed_ = umockdev_testbed_new();
        if (bed_ == nullptr) {
            GTEST_SKIP() << "umockdev could not create its test bed here";
        }
        ASSERT_TRUE(add("usb1", "001", "001", 0x1D6B, 0x0002, nullptr));
        ASSERT_TRUE(add("usb1/1-1", "001", "002", 0x0547, 0x0322, &maker_));
        ASSERT_TRUE(add("usb1/1-2", "001", "003", 0x04B4, 0x0237, &foreign_));
        driver::installDriver(std::make_unique<LibusbDriver>(makeLibusbBus()));
    }

    // A device in sysfs with its usbfs node; a firmware answers its ioctls.
    bool add(const std::string &path, const std::string &bus, const std::string &address,
             std::uint16_t vendor, std::uint16_t product, ScriptedFirmware *firmware) {
        const std::string node = "/dev/bus/usb/" + bus + "/" + address;
        if (firmware != nullptr) {
            UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
            g_signal_connect(handler, "handle-ioctl", G_CALLBACK(&ScriptedFirmware::onIoctl),
                             firmware);
            handlers_.push_back(handler);
            GError *error = nullptr;
            if (!umockdev_testbed_attach_ioctl(bed_, node.c_str(), handler, &error)) {
                ADD_FAILURE() << (error ? error->message : "attach_ioctl failed");
                g_clear_error(&error);
                return false;
            }
        }
        const std::string text =
            "P: /devices/" + path + "\nN: bus/usb/" + bus + "/" + address +
            "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + node + "\nE: BUSNUM=" + bus +
            "\nE: DEVNUM=" + address + "\nA: busnum=" + std::to_string(std::stoi(bus)) +
            "\\n\nA: devnum=" + std::to_string(std::stoi(address)) +
            "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\nH: descriptors=" +
            descriptorsHex(vendor, product) + "\n";
        GError *error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(bed_, text.c_str(), &error);
        if (!ok) {
            ADD_FAILURE() << (error ? error->message : "add_from_string failed");
            g_clear_error(&error);
        }
        return ok;
    }

    // Hot-plug news travels through udev and libusb's event thread: the scan
    // is repeated until it gives `expected`, for at most a few seconds.
    static bool scanFinds(int expected) {
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (ovTestAllChannels(0) == expected) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The bed, its handlers and firmware are kept to the end of the process,
    // as the installed backend is (the registry keeps every driver): the
    // backend releases its units at exit, through them. One bed per process.
    static inline UMockdevTestbed *bed_ = nullptr;
    static inline std::vector<UMockdevIoctlBase *> handlers_;
    ScriptedFirmware &maker_ = firmware(0);
    ScriptedFirmware &foreign_ = firmware(1);

    static ScriptedFirmware &firmware(int which) {
        static ScriptedFirmware maker{"ORVANTIS", "OV USB Spectrometer"};
        static ScriptedFirmware foreign{"Generic Semiconductor", "USB Mass Storage"};
        return which == 0 ? maker : foreign;
    }
};

TEST_F(UmockdevBed, TheMakersUnitIsFoundReadsFramesAndIsFoundAgainAfterAReplug) {
    ASSERT_EQ(ovTestAllChannels(0), 1); // the other unit fails the string check
    EXPECT_TRUE(foreign_.commands().empty());
    int packet = 0;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 512); // from the IN endpoint's 1024
    EXPECT_EQ(ovGetDevIsNew(0), 1);
    short id = -1;
    ASSERT_EQ(ovReadChannelID(&id, 0), OV_OK);
    EXPECT_EQ(id, kChannelId);

    ASSERT_EQ(ovSetupGivenChannel(0), OV_OK);
    EXPECT_EQ(maker_.resets(), 1);
    EXPECT_EQ(maker_.clearedEndpoints(), (std::vector<unsigned>{0x86, 0x02}));
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_OK);
    std::vector<int> frame(2080, -1);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    for (int k = 0; k < 2080; ++k) {
        ASSERT_EQ(frame[static_cast<std::size_t>(k)], sampleWord(k) ^ 0x8000) << k;
    }
    // A frame that does not come ends in the time-out; the next one comes.
    maker_.loseNextFrame();
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_TIMEOUT);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(frame[2079], sampleWord(2079) ^ 0x8000);
    const auto sent = maker_.commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), kCommandStartFrame), 4); // init's and ours

    // Pulled out: the next request fails at once; once the hot-plug news is
    // in, the scan no longer finds the unit.
    maker_.setPulled(true);
    umockdev_testbed_uevent(bed_, "/sys/devices/usb1/1-1", "remove");
    const int pulled = ovReadDataEx(frame.data(), 0);
    EXPECT_TRUE(pulled == OV_ERR_REQUEST || pulled == OV_ERR_NO_DEVICE) << pulled;
    EXPECT_TRUE(scanFinds(OV_ERR_NO_DEVICE));
    // Plugged back in: found again, on a new connection, so its frames are
    // refused until it has been initialised again.
    maker_.setPulled(false);
    umockdev_testbed_uevent(bed_, "/sys/devices/usb1/1-1", "add");
    ASSERT_TRUE(scanFinds(1));
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_UNIT_RESET);
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_OK);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(frame[100], sampleWord(100) ^ 0x8000);
}

} // namespace
} // namespace ov::usb
