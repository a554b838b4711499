#include "fake_driver.h"

#include <algorithm>
#include <memory>

namespace ov::test {

driver::DeviceHandle FakeDriver::open(int slot) {
    std::lock_guard guard(lock);
    if (slot < 0 || slot >= driver::kSlotCount) {
        return driver::kInvalidHandle;
    }
    if (fuzz && random() % 16 == 0) {
        return driver::kInvalidHandle;
    }
    return units[static_cast<std::size_t>(slot)].present ? slot : driver::kInvalidHandle;
}

bool FakeDriver::fuzzAnswer(std::span<std::uint8_t> out, std::uint32_t &bytesReturned) {
    for (auto &byte : out) {
        byte = static_cast<std::uint8_t>(random());
    }
    // Lengths beyond the buffer too: the library must not trust them.
    bytesReturned = static_cast<std::uint32_t>(random() % (out.size() + 64));
    return random() % 8 != 0;
}

bool FakeDriver::stringDescriptor(FakeUnit &unit, std::uint8_t index, std::span<std::uint8_t> out,
                                  std::uint32_t &bytesReturned) {
    const std::string &text = index == 1 ? unit.string1 : unit.string2;
    std::vector<std::uint8_t> descriptor(2 + 2 * text.size());
    const int length = index == 1 && unit.string1LengthOverride >= 0
                           ? unit.string1LengthOverride
                           : static_cast<int>(descriptor.size());
    descriptor[0] = static_cast<std::uint8_t>(std::min(length, 255));
    descriptor[1] = 3;
    for (std::size_t i = 0; i < text.size(); ++i) {
        descriptor[2 + 2 * i] = static_cast<std::uint8_t>(text[i]);
    }
    const std::size_t n = std::min(out.size(), descriptor.size());
    std::copy_n(descriptor.begin(), n, out.begin());
    bytesReturned = static_cast<std::uint32_t>(n);
    return true;
}

void FakeDriver::actOnCommand(FakeUnit &unit, const Packet &packet) {
    unit.commands.push_back(packet);
    switch (packet[0]) {
    case 0x5C:
        unit.answers.push_back({unit.channelId});
        break;
    case 0x5B:
        unit.channelId = packet[1];
        break;
    case 0x28:
        unit.answers.push_back({unit.shutter});
        break;
    case 0x29:
        unit.shutter = packet[1];
        break;
    case 0x0A: {
        if (packet[1] == 1) {
            unit.eepromCursor = 0;
        }
        std::vector<std::uint8_t> chunk(64, 0);
        for (std::size_t i = 0; i < 64 && unit.eepromCursor < unit.eeprom.size(); ++i) {
            chunk[i] = unit.eeprom[unit.eepromCursor++];
        }
        unit.answers.push_back(chunk);
        break;
    }
    case 0x08:
        unit.eepromWritten.insert(unit.eepromWritten.end(), packet.begin() + 3,
                                  packet.begin() + 3 + std::min<int>(packet[2], 61));
        break;
    case 0x02:
        unit.sampleCounter = 0;
        break;
    default:
        break;
    }
}

bool FakeDriver::control(driver::DeviceHandle handle, std::uint32_t code,
                         std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                         std::uint32_t &bytesReturned) {
    std::lock_guard guard(lock);
    bytesReturned = 0;
    if (fuzz) {
        return fuzzAnswer(out, bytesReturned);
    }
    FakeUnit &unit = units[static_cast<std::size_t>(handle)];
    if (unit.failingCodes.contains(code)) {
        return false;
    }
    switch (code) {
    case driver::kIoctlStringDescriptor:
        return stringDescriptor(unit, in[0], out, bytesReturned);
    case driver::kIoctlPipeInfo: {
        std::fill(out.begin(), out.end(), std::uint8_t{0xEE});
        const std::size_t offset = layout64 ? 24 : 16;
        out[offset] = static_cast<std::uint8_t>(unit.maxPacket & 0xFF);
        out[offset + 1] = static_cast<std::uint8_t>(unit.maxPacket >> 8);
        bytesReturned = static_cast<std::uint32_t>(out.size());
        return true;
    }
    case driver::kIoctlDeviceDescriptor:
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        out[8] = static_cast<std::uint8_t>(unit.vendorId & 0xFF);
        out[9] = static_cast<std::uint8_t>(unit.vendorId >> 8);
        out[10] = static_cast<std::uint8_t>(unit.productId & 0xFF);
        out[11] = static_cast<std::uint8_t>(unit.productId >> 8);
        bytesReturned = 18;
        return true;
    case driver::kIoctlBulkWrite: {
        Packet packet{};
        std::copy_n(out.begin(), std::min<std::size_t>(64, out.size()), packet.begin());
        actOnCommand(unit, packet);
        bytesReturned = static_cast<std::uint32_t>(out.size());
        return true;
    }
    case driver::kIoctlBulkRead: {
        if (unit.answers.empty()) {
            return false;
        }
        const auto answer = unit.answers.front();
        unit.answers.pop_front();
        std::fill(out.begin(), out.end(), std::uint8_t{0});
        const std::size_t n = std::min(out.size(), answer.size());
        std::copy_n(answer.begin(), n, out.begin());
        bytesReturned = static_cast<std::uint32_t>(n);
        return true;
    }
    case driver::kIoctlDrainRead:
        if (unit.drainPackets == 0) {
            return false;
        }
        --unit.drainPackets;
        bytesReturned = static_cast<std::uint32_t>(out.size());
        return true;
    default:
        return true; // resets
    }
}

driver::WaitStatus FakeDriver::bulkReadWait(driver::DeviceHandle handle, std::uint32_t,
                                            std::span<std::uint8_t> out, int,
                                            std::uint32_t &bytesReturned) {
    std::lock_guard guard(lock);
    bytesReturned = 0;
    if (fuzz) {
        const auto roll = random() % 16;
        fuzzAnswer(out, bytesReturned);
        return roll == 0 ? driver::WaitStatus::TimedOut
                         : (roll == 1 ? driver::WaitStatus::Failed : driver::WaitStatus::Completed);
    }
    FakeUnit &unit = units[static_cast<std::size_t>(handle)];
    ++unit.frameReads;
    if (unit.timeOut) {
        return driver::WaitStatus::TimedOut;
    }
    if (unit.noFrameYet) {
        out[0] = 0x00;
        out[1] = 0xFF;
        bytesReturned = 2;
        return driver::WaitStatus::Completed;
    }
    const auto bytes =
        std::min<std::size_t>(out.size(), static_cast<std::size_t>(packetBytes(unit)));
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const std::uint16_t word = fakeSampleWord(unit.sampleCounter++);
        out[i] = static_cast<std::uint8_t>(word & 0xFF);
        out[i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    bytesReturned = static_cast<std::uint32_t>(bytes);
    return driver::WaitStatus::Completed;
}

FakeDriver &installFakeDriver() {
    auto fake = std::make_unique<FakeDriver>();
    FakeDriver &ref = *fake;
    driver::installDriver(std::move(fake));
    return ref;
}

} // namespace ov::test
