// A small packet-level speaker of the units' protocol, for tests that talk
// to simulated units through the driver interface alone.
#ifndef QUILLON_TESTS_SIM_SIM_PROTOCOL_H
#define QUILLON_TESTS_SIM_SIM_PROTOCOL_H

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"

namespace ov::sim::testing {

using Packet = std::array<std::uint8_t, driver::kCommandLength>;

Packet commandPacket(std::initializer_list<std::uint8_t> bytes);

// One request on a freshly opened handle, as the library issues them.
bool request(driver::Driver &d, int slot, std::uint32_t code, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out, std::uint32_t &bytesReturned);
bool send(driver::Driver &d, int slot, const Packet &packet);
std::optional<std::vector<std::uint8_t>> readAnswer(driver::Driver &d, int slot,
                                                    std::size_t transferBytes);

struct Geometry {
    int packetBytes = 0;
    int transferBytes = 0;
};
// The speed check: maximum packet of the pipe record at byte 16 (or 24).
std::optional<Geometry> speedCheck(driver::Driver &d, int slot);
// Vendor and product from the device descriptor, and the sample format they select.
struct Identity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    int sampleFormat = 0;
};
std::optional<Identity> identity(driver::Driver &d, int slot);
// String descriptor text (low bytes of the UTF-16 characters), asked for length first.
std::optional<std::string> stringDescriptor(driver::Driver &d, int slot, int index);

// Initialise command for a readout length at a packet size.
Packet initialisePacket(int readoutLength, int packetBytes, bool typeTwo = false);
int packetsPerFrame(int readoutLength, int packetBytes);

struct FrameRead {
    driver::WaitStatus status = driver::WaitStatus::Failed;
    bool noFrameYet = false;             // first packet answered 0x00, 0xFF
    std::vector<std::uint32_t> received; // bytes returned per packet
    std::vector<int> counts;             // decoded samples
};
// Start frame, then packets-per-frame overlapped reads, decoded as the library does.
FrameRead readFrame(driver::Driver &d, int slot, const Geometry &g, int readoutLength,
                    int sampleFormat, int timeoutMs = 1000);

// The EEPROM write packets the library sends for a line-feed-separated text.
std::vector<Packet> eepromWritePackets(std::string_view text);
// The text read back packet by packet as the library reassembles it; nullopt
// when a request fails, "" for an empty EEPROM.
std::optional<std::string> readEepromText(driver::Driver &d, int slot, std::size_t transferBytes);

} // namespace ov::sim::testing

#endif
