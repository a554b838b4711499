// A scripted driver for the library's internal tests: units with exact
// descriptors, records and answers, a log of every packet sent, and a fuzz
// mode that answers every request with random bytes and random outcomes.
#ifndef QUILLON_TESTS_DEVICELIB_FAKE_DRIVER_H
#define QUILLON_TESTS_DEVICELIB_FAKE_DRIVER_H

#include "driver.h"

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace ov::test {

using Packet = std::array<std::uint8_t, 64>;

struct FakeUnit {
    bool present = false;
    std::string string1 = "ORVANTIS QX";
    std::string string2 = "OV USB driver";
    int string1LengthOverride = -1; // bLength reported instead of the true one
    std::uint16_t maxPacket = 1024;
    std::uint16_t vendorId = 0x0547;
    std::uint16_t productId = 0x0322;
    std::uint8_t channelId = 0;
    std::uint8_t shutter = 0;
    std::vector<std::uint8_t> eeprom{0x08, 0x07}; // records as stored
    std::vector<std::uint8_t> eepromWritten;      // payloads of write packets, in order
    bool noFrameYet = false;
    bool timeOut = false;
    int drainPackets = 0;
    std::set<std::uint32_t> failingCodes;
    std::vector<Packet> commands; // every bulk write
    int frameReads = 0;
    int sampleCounter = 0;
    std::size_t eepromCursor = 0;
    std::deque<std::vector<std::uint8_t>> answers;
};

// Sample word the fake sends for the k-th sample of its stream.
inline std::uint16_t fakeSampleWord(int k) {
    return static_cast<std::uint16_t>(k * 7 + 3);
}

class FakeDriver : public driver::Driver {
public:
    std::array<FakeUnit, driver::kSlotCount> units;
    bool layout64 = false;
    bool fuzz = false;
    std::mt19937 random{12345};
    std::mutex lock;

    driver::DeviceHandle open(int slot) override;
    void close(driver::DeviceHandle) override {}
    bool control(driver::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out, std::uint32_t &bytesReturned) override;
    driver::WaitStatus bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned) override;
    bool pipeRecordUses64BitLayout() const override { return layout64; }

private:
    bool fuzzAnswer(std::span<std::uint8_t> out, std::uint32_t &bytesReturned);
    void actOnCommand(FakeUnit &unit, const Packet &packet);
    bool stringDescriptor(FakeUnit &unit, std::uint8_t index, std::span<std::uint8_t> out,
                          std::uint32_t &bytesReturned);
    int packetBytes(const FakeUnit &unit) const { return unit.maxPacket >= 1024 ? 512 : 64; }
};

// Installs a fresh FakeDriver as the active driver and returns it.
FakeDriver &installFakeDriver();

} // namespace ov::test

#endif
