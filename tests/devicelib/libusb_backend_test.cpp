// The libusb backend's request mapping, through its USB seam: a scripted bus
// for enumeration, claiming and the records, and the simulated units' firmware
// at the USB level (with faults the firmware cannot make: stalls, short
// packets) for the device library's frame read on top of it.
#include "libusb/libusb_driver.h"
#include "libusb/sim_usb_bus.h"
#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <map>
#include <thread>

namespace ov::usb {
namespace {

using driver::DeviceHandle;
using driver::kInvalidHandle;
using driver::WaitStatus;

constexpr std::uint8_t kIn = 0x86;
constexpr std::uint8_t kOut = 0x04;

struct ScriptedDevice {
    DeviceInfo info;
    std::vector<Interface> interfaces;
    UsbResult openResult = UsbResult::Ok;
    UsbResult claimResult = UsbResult::Ok;
    bool kernelDriver = false;
    std::map<std::uint16_t, std::vector<std::uint8_t>> strings; // by language
    std::deque<std::pair<UsbResult, std::vector<std::uint8_t>>> reads;
    std::size_t writeAccepts = 64; // bytes a bulk write gets through
    UsbResult resetResult = UsbResult::Ok;
    // What the backend did.
    std::vector<std::string> calls;
    int claimed = 0;
    int released = 0;
    int closed = 0;
};

std::vector<std::uint8_t> utf16String(const std::string &text) {
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), 0x03};
    for (const char c : text) {
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

class ScriptedHandle final : public UsbHandle {
public:
    explicit ScriptedHandle(std::shared_ptr<ScriptedDevice> d) : dev(std::move(d)) {}
    ~ScriptedHandle() override { ++dev->closed; }
    UsbResult kernelDriverActive(int, bool &active) override {
        active = dev->kernelDriver;
        return UsbResult::Ok;
    }
    UsbResult detachKernelDriver(int interface) override {
        dev->calls.push_back("detach " + std::to_string(interface));
        dev->kernelDriver = false;
        return UsbResult::Ok;
    }
    UsbResult claimInterface(int interface) override {
        dev->calls.push_back("claim " + std::to_string(interface));
        if (dev->kernelDriver) {
            return UsbResult::Busy;
        }
        dev->claimed += dev->claimResult == UsbResult::Ok ? 1 : 0;
        return dev->claimResult;
    }
    UsbResult releaseInterface(int) override {
        ++dev->released;
        return UsbResult::Ok;
    }
    UsbResult stringDescriptor(std::uint8_t index, std::uint16_t language,
                               std::span<std::uint8_t> out, std::size_t &length) override {
        dev->calls.push_back("string " + std::to_string(index) + " " + std::to_string(language));
        const std::vector<std::uint8_t> languages{4, 0x03, 0x09, 0x04};
        const auto found = dev->strings.find(language);
        if (index != 0 && found == dev->strings.end()) {
            return UsbResult::Stall;
        }
        const auto &bytes = index == 0 ? languages : found->second;
        length = std::min(out.size(), bytes.size());
        std::copy_n(bytes.begin(), length, out.begin());
        return UsbResult::Ok;
    }
    UsbResult bulkTransfer(std::uint8_t endpoint, std::span<std::uint8_t> data,
                           std::size_t &transferred, unsigned timeoutMs) override {
        dev->calls.push_back("bulk " + std::to_string(endpoint) + " " +
                             std::to_string(data.size()) + " " + std::to_string(timeoutMs));
        if ((endpoint & kEndpointIn) == 0) {
            transferred = std::min(data.size(), dev->writeAccepts);
            return UsbResult::Ok;
        }
        if (dev->reads.empty()) {
            transferred = 0;
            return UsbResult::Timeout;
        }
        auto [result, bytes] = dev->reads.front();
        dev->reads.pop_front();
        transferred = std::min(bytes.size(), data.size());
        std::copy_n(bytes.begin(), transferred, data.begin());
        return result;
    }
    UsbResult clearHalt(std::uint8_t endpoint) override {
        dev->calls.push_back("clear " + std::to_string(endpoint));
        return UsbResult::Ok;
    }
    UsbResult resetDevice() override {
        dev->calls.push_back("reset");
        return dev->resetResult;
    }

private:
    std::shared_ptr<ScriptedDevice> dev;
};

class ScriptedBus final : public UsbBus {
public:
    std::vector<std::shared_ptr<ScriptedDevice>> devices;
    bool hotplug = true;
    bool changed = false;
    int listings = 0;

    // A unit with one vendor interface whose OUT endpoint comes first.
    std::shared_ptr<ScriptedDevice> plug(std::uint64_t id, std::vector<std::uint8_t> ports,
                                         std::uint16_t vendor = 0x0547,
                                         std::uint16_t product = 0x0322) {
        auto d = std::make_shared<ScriptedDevice>();
        d->info.id = id;
        d->info.bus = 1;
        d->info.portPath = std::move(ports);
        const auto lo = [](std::uint16_t x) { return static_cast<std::uint8_t>(x & 0xFF); };
        const auto hi = [](std::uint16_t x) { return static_cast<std::uint8_t>(x >> 8); };
        d->info.descriptor = {18, 1,  0,          2,          0xFF,        0,
                              0,  64, lo(vendor), hi(vendor), lo(product), hi(product)};
        d->interfaces = {
            {0, 0, 0xFF, 0, 0, {{kOut, 2, 512, 0}, {0x81, 3, 8, 10}, {kIn, 2, 1024, 0}}}};
        d->strings[0x001B] = utf16String("ORVANTIS");
        devices.push_back(d);
        changed = true;
        return d;
    }
    void unplug(const std::shared_ptr<ScriptedDevice> &d) {
        std::erase(devices, d);
        changed = true;
    }

    UsbResult listDevices(std::vector<DeviceInfo> &out) override {
        ++listings;
        out.clear();
        for (const auto &d : devices) {
            out.push_back(d->info);
        }
        return UsbResult::Ok;
    }
    UsbResult interfaces(std::uint64_t id, std::vector<Interface> &out) override {
        const auto d = find(id);
        out = d ? d->interfaces : std::vector<Interface>{};
        return d ? UsbResult::Ok : UsbResult::NoDevice;
    }
    UsbResult open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) override {
        const auto d = find(id);
        if (!d) {
            return UsbResult::NoDevice;
        }
        if (d->openResult == UsbResult::Ok) {
            handle = std::make_unique<ScriptedHandle>(d);
        }
        return d->openResult;
    }
    bool hasHotplug() const override { return hotplug; }
    bool takeChanges() override { return std::exchange(changed, false); }

private:
    std::shared_ptr<ScriptedDevice> find(std::uint64_t id) const {
        for (const auto &d : devices) {
            if (d->info.id == id) {
                return d;
            }
        }
        return nullptr;
    }
};

struct Backend {
    ScriptedBus *bus = nullptr;
    std::unique_ptr<LibusbDriver> driver;
    Backend() {
        auto owned = std::make_unique<ScriptedBus>();
        bus = owned.get();
        driver = std::make_unique<LibusbDriver>(std::move(owned));
    }
    std::uint64_t connectionAt(int slot) {
        const DeviceHandle h = driver->open(slot);
        return h == kInvalidHandle ? 0 : driver->connectionOf(h);
    }
};

const std::array<std::uint8_t, 4> kPipe0{0, 0, 0, 0};
const std::array<std::uint8_t, 4> kPipe1{1, 0, 0, 0};

TEST(LibusbBackend, SlotsFollowPortOrderStayPutAndHoldTenKnownUnits) {
    Backend b;
    b.bus->plug(1, {4});
    b.bus->plug(2, {1, 3});
    b.bus->plug(3, {2}, 0x1234, 0x5678); // not one of ours
    b.bus->plug(4, {1, 2}, 0x04B4, 0x0242);
    const auto productAt = [&](int slot) {
        std::array<std::uint8_t, 18> d{};
        std::uint32_t n = 0;
        const DeviceHandle h = b.driver->open(slot);
        return h != kInvalidHandle && b.driver->control(h, driver::kIoctlDeviceDescriptor, {}, d, n)
                   ? d[10] | (d[11] << 8)
                   : -1;
    };
    EXPECT_EQ(productAt(0), 0x0242); // port 1.2
    EXPECT_EQ(productAt(1), 0x0322); // port 1.3
    EXPECT_EQ(productAt(2), 0x0322); // port 4
    EXPECT_EQ(productAt(3), -1);

    // The unit on 1.3 leaves: the others keep their slots; back on its port, it
    // gets its slot again on a new connection.
    const std::uint64_t before = b.connectionAt(1);
    auto onPort13 = b.bus->devices[1];
    b.bus->unplug(onPort13);
    EXPECT_EQ(b.driver->open(1), kInvalidHandle);
    EXPECT_EQ(productAt(2), 0x0322);
    b.bus->plug(9, {1, 3}, 0x0547, 0x0324);
    EXPECT_EQ(productAt(1), 0x0324);
    EXPECT_NE(b.connectionAt(1), before);

    for (std::uint8_t port = 10; port < 20; ++port) {
        b.bus->plug(100 + port, {port});
    }
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        EXPECT_NE(b.driver->open(slot), kInvalidHandle) << slot;
    }
    EXPECT_EQ(b.driver->open(driver::kSlotCount), kInvalidHandle);
}

TEST(LibusbBackend, WithHotplugTheListIsReadOnlyOnNews) {
    Backend b;
    b.bus->plug(1, {1});
    for (int i = 0; i < 5; ++i) {
        b.driver->open(0);
        b.driver->open(3);
    }
    EXPECT_EQ(b.bus->listings, 1);
    b.bus->hotplug = false;
    b.driver->open(3); // an empty slot may have a new unit behind it
    EXPECT_EQ(b.bus->listings, 2);
}

TEST(LibusbBackend, OpenDetachesAKernelDriverAndClaimsOnceUntilTheUnitLeaves) {
    auto b = std::make_unique<Backend>();
    auto gone = b->bus->plug(1, {1});
    auto stays = b->bus->plug(2, {2});
    gone->kernelDriver = true;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(b->driver->open(0), kInvalidHandle);
        b->driver->close(b->driver->open(1));
    }
    EXPECT_EQ(gone->calls, (std::vector<std::string>{"detach 0", "claim 0"}));
    EXPECT_EQ(stays->claimed, 1);
    // A unit that left is closed (nothing to release on a device not there).
    b->bus->unplug(gone);
    EXPECT_EQ(b->driver->open(0), kInvalidHandle);
    EXPECT_EQ(gone->closed, 1);
    EXPECT_EQ(stays->closed, 0);
    // At the end of the program the units still there are released and closed.
    b.reset();
    EXPECT_EQ(stays->released, 1);
    EXPECT_EQ(stays->closed, 1);
}

TEST(LibusbBackend, UnitsThatCannotBeOpenedAreExplained) {
    Backend b;
    b.bus->plug(1, {2})->openResult = UsbResult::Access;
    b.bus->plug(2, {3})->claimResult = UsbResult::Busy;
    EXPECT_EQ(b.driver->open(0), kInvalidHandle);
    EXPECT_EQ(b.driver->open(1), kInvalidHandle);
    const std::string problem = b.driver->unitProblem();
    EXPECT_NE(problem.find("0547:0322 on bus 1 port 2 is connected but cannot be opened: no "
                           "permission"),
              std::string::npos)
        << problem;
    EXPECT_NE(problem.find(kRuleFile), std::string::npos);
    EXPECT_NE(problem.find(kRuleInstallCommand), std::string::npos);
    EXPECT_NE(problem.find("port 3 cannot be used: in use by another program"), std::string::npos);

    // Once the rule is in place the unit opens and the explanation goes.
    b.bus->devices[0]->openResult = UsbResult::Ok;
    b.bus->devices[1]->claimResult = UsbResult::Ok;
    EXPECT_NE(b.driver->open(0), kInvalidHandle);
    EXPECT_NE(b.driver->open(1), kInvalidHandle);
    EXPECT_EQ(b.driver->unitProblem(), "");
}

TEST(LibusbBackend, PipesAreTheBulkEndpointsByDirection) {
    Backend b;
    auto d = b.bus->plug(1, {1});
    const DeviceHandle h = b.driver->open(0);
    std::array<std::uint8_t, driver::kPipeInfoSize> record{};
    std::uint32_t n = 0;
    ASSERT_TRUE(b.driver->control(h, driver::kIoctlPipeInfo, {}, record, n));
    EXPECT_EQ(n, driver::kPipeInfoSize);
    EXPECT_EQ(record[12], 3); // pipes
    // Pipe 0, whose maximum packet the library reads, is the bulk IN endpoint.
    EXPECT_EQ(record[driver::kPipeInfoMaxPacketOffset32] | (record[17] << 8), 1024);
    EXPECT_EQ(record[18], kIn);
    EXPECT_EQ(record[20], 2); // bulk
    EXPECT_EQ(record[36] | (record[37] << 8), 512);
    EXPECT_EQ(record[38], kOut);
    EXPECT_EQ(record[58], 0x81); // the interrupt endpoint last
    std::array<std::uint8_t, 16> tooSmall{};
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlPipeInfo, {}, tooSmall, n));

    d->calls.clear();
    std::array<std::uint8_t, 64> packet{};
    EXPECT_TRUE(b.driver->control(h, driver::kIoctlBulkWrite, kPipe1, packet, n));
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlBulkWrite, kPipe0, packet, n));
    EXPECT_TRUE(b.driver->control(h, driver::kIoctlResetPipe, kPipe1, {}, n));
    EXPECT_TRUE(b.driver->control(h, driver::kIoctlResetPipe, kPipe0, {}, n));
    EXPECT_TRUE(b.driver->control(h, driver::kIoctlResetDevice, {}, {}, n));
    EXPECT_EQ(d->calls,
              (std::vector<std::string>{"bulk 4 64 1000", "clear 4", "clear 134", "reset"}));
}

TEST(LibusbBackend, StringDescriptorsComeRawAndInAnOfferedLanguageWhenRefused) {
    Backend b;
    auto d = b.bus->plug(1, {1});
    const DeviceHandle h = b.driver->open(0);
    const std::array<std::uint8_t, 4> query{1, 0, 0x1B, 0x00};
    std::array<std::uint8_t, 64> out{};
    std::uint32_t n = 0;
    ASSERT_TRUE(
        b.driver->control(h, driver::kIoctlStringDescriptor, query, std::span(out).first(4), n));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(out[0], 18); // the whole length, from a short read
    d->strings.clear();
    d->strings[0x0409] = utf16String("OV USB driver");
    d->calls.clear();
    ASSERT_TRUE(b.driver->control(h, driver::kIoctlStringDescriptor, query, out, n));
    EXPECT_EQ(n, 28u);
    EXPECT_EQ(out[2], 'O');
    EXPECT_EQ(d->calls, (std::vector<std::string>{"string 1 27", "string 0 0", "string 1 1033"}));
    d->strings.clear();
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlStringDescriptor, query, out, n));
}

TEST(LibusbBackend, TransferOutcomes) {
    Backend b;
    auto d = b.bus->plug(1, {1});
    const DeviceHandle h = b.driver->open(0);
    std::array<std::uint8_t, 1024> buffer{};
    std::uint32_t n = 0;
    d->reads = {{UsbResult::Ok, std::vector<std::uint8_t>(1024, 7)},
                {UsbResult::Ok, std::vector<std::uint8_t>(100, 7)},
                {UsbResult::Stall, {}},
                {UsbResult::Timeout, std::vector<std::uint8_t>(512, 7)},
                {UsbResult::Ok, {}}};
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Completed);
    EXPECT_EQ(n, 1024u);
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Completed);
    EXPECT_EQ(n, 100u); // a short packet is passed on; the library refuses it
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Failed);
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::TimedOut);
    // A draining read that gets nothing ends the drain.
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlDrainRead, kPipe0, buffer, n));
    EXPECT_EQ(b.driver->bulkReadWait(h, 1, buffer, 1000, n), WaitStatus::Failed);
    // The wait reaches libusb as its time-out, never as 0 (= for ever).
    d->calls.clear();
    b.driver->bulkReadWait(h, 0, buffer, 0, n);
    EXPECT_EQ(d->calls, (std::vector<std::string>{"bulk 134 1024 1"}));

    std::array<std::uint8_t, 64> packet{};
    d->writeAccepts = 32;
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlBulkWrite, kPipe1, packet, n));

    // A reset after which the unit came back as another device: the handle
    // is dead, and the slot is opened afresh.
    d->resetResult = UsbResult::NotFound;
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlResetDevice, {}, {}, n));
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Failed);
    EXPECT_EQ(d->closed, 0);
    EXPECT_NE(b.driver->open(0), kInvalidHandle);
    EXPECT_EQ(d->closed, 1);
    EXPECT_EQ(d->claimed, 2);
}

TEST(LibusbBackend, AUnitGoneFailsAtOnceAndComesBackOnANewConnection) {
    Backend b;
    auto d = b.bus->plug(1, {1});
    const DeviceHandle h = b.driver->open(0);
    std::array<std::uint8_t, 1024> buffer{};
    std::uint32_t n = 0;
    d->reads = {{UsbResult::NoDevice, {}}};
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Failed);
    d->calls.clear();
    EXPECT_EQ(b.driver->bulkReadWait(h, 0, buffer, 1000, n), WaitStatus::Failed);
    EXPECT_FALSE(
        b.driver->control(h, driver::kIoctlBulkWrite, kPipe1, std::span(buffer).first(64), n));
    EXPECT_TRUE(d->calls.empty()); // the old handle no longer reaches the device
    b.bus->unplug(d);
    EXPECT_EQ(b.driver->open(0), kInvalidHandle);
    b.bus->plug(2, {1});
    const DeviceHandle again = b.driver->open(0);
    ASSERT_NE(again, kInvalidHandle);
    EXPECT_NE(b.driver->connectionOf(again), b.driver->connectionOf(h));
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlDeviceDescriptor, {}, buffer, n));
}

// The simulated firmware at the USB level, with the faults a real bus adds.
class FaultyBus final : public UsbBus {
public:
    struct Faults {
        std::atomic<int> stalls{0};
        std::atomic<int> shortPackets{0};
    };

    FaultyBus(std::unique_ptr<SimUsbBus> inner, std::shared_ptr<Faults> faults)
        : inner_(std::move(inner)), faults_(std::move(faults)) {}

    UsbResult listDevices(std::vector<DeviceInfo> &d) override { return inner_->listDevices(d); }
    UsbResult interfaces(std::uint64_t id, std::vector<Interface> &i) override {
        return inner_->interfaces(id, i);
    }
    UsbResult open(std::uint64_t id, std::unique_ptr<UsbHandle> &handle) override {
        std::unique_ptr<UsbHandle> real;
        const UsbResult result = inner_->open(id, real);
        if (result == UsbResult::Ok) {
            handle = std::make_unique<Handle>(std::move(real), faults_);
        }
        return result;
    }
    bool hasHotplug() const override { return true; }
    bool takeChanges() override { return inner_->takeChanges(); }
    driver::SimulatorControl *simulator() override { return inner_->simulator(); }

private:
    class Handle final : public UsbHandle {
    public:
        Handle(std::unique_ptr<UsbHandle> real, std::shared_ptr<Faults> faults)
            : real_(std::move(real)), faults_(std::move(faults)) {}
        UsbResult kernelDriverActive(int i, bool &a) override {
            return real_->kernelDriverActive(i, a);
        }
        UsbResult detachKernelDriver(int i) override { return real_->detachKernelDriver(i); }
        UsbResult claimInterface(int i) override { return real_->claimInterface(i); }
        UsbResult releaseInterface(int i) override { return real_->releaseInterface(i); }
        UsbResult stringDescriptor(std::uint8_t index, std::uint16_t language,
                                   std::span<std::uint8_t> out, std::size_t &length) override {
            return real_->stringDescriptor(index, language, out, length);
        }
        UsbResult bulkTransfer(std::uint8_t endpoint, std::span<std::uint8_t> data,
                               std::size_t &transferred, unsigned timeoutMs) override {
            const bool in = (endpoint & kEndpointIn) != 0;
            if (in && data.size() > 64 && faults_->stalls.load() > 0) {
                --faults_->stalls;
                transferred = 0;
                return UsbResult::Stall;
            }
            const UsbResult result = real_->bulkTransfer(endpoint, data, transferred, timeoutMs);
            if (in && data.size() > 64 && faults_->shortPackets.load() > 0) {
                --faults_->shortPackets;
                transferred = std::min<std::size_t>(transferred, 100);
            }
            return result;
        }
        UsbResult clearHalt(std::uint8_t e) override { return real_->clearHalt(e); }
        UsbResult resetDevice() override { return real_->resetDevice(); }

    private:
        std::unique_ptr<UsbHandle> real_;
        std::shared_ptr<Faults> faults_;
    };

    std::unique_ptr<SimUsbBus> inner_;
    std::shared_ptr<Faults> faults_;
};

class LibraryOverLibusb : public testing::Test {
protected:
    void SetUp() override {
        auto bench = sim::parseBench("[Unit]\nSlot=0\nEeprom=CCD=ILX511\n[Unit]\nSlot=1\n"
                                     "Eeprom=CCD=ILX511\n",
                                     "bench.ini", {});
        ASSERT_TRUE(bench.bench) << bench.error;
        auto simulated = std::make_unique<SimUsbBus>(std::make_unique<sim::SimDriver>(bench));
        bench_ = &simulated->bench();
        auto driver = std::make_unique<LibusbDriver>(
            std::make_unique<FaultyBus>(std::move(simulated), faults));
        driver::installDriver(std::move(driver));
        ASSERT_EQ(ovTestAllChannels(0), 2);
        for (short channel = 0; channel < 2; ++channel) {
            ASSERT_EQ(ovSetupGivenChannel(channel), OV_OK);
            int packet = 0;
            ASSERT_EQ(ovCheckSpeedMode(&packet, channel), OV_OK);
            ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, channel), OV_OK);
        }
    }

    std::string sim(const std::string &command) {
        std::string reply;
        EXPECT_EQ(bench_->command(command, reply), 1) << command << ": " << reply;
        return reply;
    }

    std::shared_ptr<FaultyBus::Faults> faults = std::make_shared<FaultyBus::Faults>();
    sim::SimDriver *bench_ = nullptr;
    std::vector<int> frame = std::vector<int>(2080);
};

TEST_F(LibraryOverLibusb, StallShortPacketAndTimeOutAreClearErrorsAndTheNextFrameComes) {
    faults->stalls = 1;
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovSetupGivenChannel(0), OV_OK); // the program's way back: resets, pipe resets
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    faults->shortPackets = 1;
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    sim("timeout 0 1");
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_TIMEOUT);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_OK);
}

TEST_F(LibraryOverLibusb, UnplugDuringAFrameReadEndsTheReadAndAReplugIsFoundAgain) {
    // A real-time unit with a long integration: the read waits for its frame.
    sim("set 1 timing realtime");
    ASSERT_EQ(ovSetIntEx(60000, 1), OV_OK);
    std::atomic<int> result{1};
    std::thread reader([&] { result = ovReadDataEx(frame.data(), 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim("unplug 1");
    reader.join(); // a hang here is the fault (the wait would be 60 s)
    EXPECT_TRUE(result.load() == OV_ERR_REQUEST || result.load() == OV_ERR_NO_DEVICE)
        << result.load();
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    sim("replug 1");
    ASSERT_EQ(ovTestAllChannels(0), 2);
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_ERR_UNIT_RESET); // power-on defaults
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 1), OV_OK);
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_OK);
}

} // namespace
} // namespace ov::usb
