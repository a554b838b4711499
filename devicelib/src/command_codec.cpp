#include "command_codec.h"

#include <algorithm>

namespace ov {

namespace {

constexpr std::array<int, kCcdTypeCount> kReadoutLengths{2080, 3680, 1056, 512, 2080, 256};
// Type 5 has no table length of its own; all its 256 pixels are active.
constexpr std::array<int, kCcdTypeCount> kActivePixels{2048, 3648, 1024, 512, 2048, 256};

std::uint16_t clampToWord(long long value, long long low) {
    return static_cast<std::uint16_t>(std::clamp<long long>(value, low, 65535));
}

// Truncation towards zero that stays defined for NaN and huge values.
long long truncated(double value) {
    if (!(value > -1e15 && value < 1e15)) {
        return 0;
    }
    return static_cast<long long>(value);
}

} // namespace

bool isValidCcdType(int ccdType) {
    return ccdType >= 0 && ccdType < kCcdTypeCount;
}

int readoutLengthOf(int ccdType) {
    return isValidCcdType(ccdType) ? kReadoutLengths[static_cast<std::size_t>(ccdType)] : 0;
}

int activePixelCountOf(int ccdType) {
    return isValidCcdType(ccdType) ? kActivePixels[static_cast<std::size_t>(ccdType)] : 0;
}

FrameGeometry frameGeometry(int readoutLength, int packetSize) {
    const int samplesPerPacket = std::max(packetSize / 2, 1);
    return {(readoutLength + samplesPerPacket - 1) / samplesPerPacket,
            readoutLength % samplesPerPacket};
}

IntegrationSetting integrationFromInt(int ccdType, int value) {
    if (ccdType == kCcdTcd1304) {
        if (value < 400) {
            return {static_cast<std::uint16_t>(value <= 0 ? 1 : value), kUnitTenMicroseconds};
        }
        return {clampToWord(value / 100, 0), kUnitMilliseconds};
    }
    return {clampToWord(value, 1), kUnitMilliseconds};
}

IntegrationSetting integrationFromDouble(int ccdType, double timeMs) {
    if (ccdType == kCcdTcd1304) {
        // Not clamped: the caller keeps these within 16 bits; wrap like a word store.
        if (timeMs >= 4.0) {
            return {static_cast<std::uint16_t>(truncated(timeMs + 0.5)), kUnitMilliseconds};
        }
        return {static_cast<std::uint16_t>(truncated(timeMs * 100.0 + 0.5)), kUnitTenMicroseconds};
    }
    // Clamp before converting, so huge or NaN times never overflow the conversion.
    const double bounded = timeMs >= 1.0 ? std::min(timeMs, 65535.0) : 1.0;
    return {static_cast<std::uint16_t>(bounded), kUnitMilliseconds};
}

SpeedSetting speedFromMaxPacket(int reportedMaxPacket) {
    if (reportedMaxPacket == 1025) {
        return {512, 1025};
    }
    if (reportedMaxPacket == 1024) {
        return {512, 1024};
    }
    return {64, 64};
}

Generation generationFromIds(std::uint16_t vendorId, std::uint16_t productId) {
    if (vendorId == 0x04B4 && (productId == 0x0237 || productId == 0x0242)) {
        return {1, 0};
    }
    if (vendorId == 0x0547) {
        switch (productId) {
        case 0x0322:
            return {1, 0};
        case 0x0323:
            return {1, 1};
        case 0x0324:
            return {1, 2};
        default:
            break;
        }
    }
    return {0, 0};
}

void decodeSamples(std::span<const std::uint8_t> bytes, int sampleFormat, int *counts) {
    const std::size_t samples = bytes.size() / 2;
    if (sampleFormat == 1) {
        for (std::size_t i = 0; i < samples; ++i) {
            counts[i] = 0xFFFF - readLe16(bytes, 2 * i);
        }
        return;
    }
    for (std::size_t i = 0; i < samples; ++i) {
        counts[i] = readLe16(bytes, 2 * i) ^ 0x8000;
    }
}

bool isNoFrameYet(std::span<const std::uint8_t> answer) {
    return answer.size() >= 2 && answer[0] == 0x00 && answer[1] == 0xFF;
}

CommandPacket plainCommand(Command code) {
    CommandPacket packet{};
    packet[0] = static_cast<std::uint8_t>(code);
    return packet;
}

CommandPacket byteCommand(Command code, std::uint8_t value) {
    CommandPacket packet = plainCommand(code);
    packet[1] = value;
    return packet;
}

CommandPacket integrationTimeCommand(IntegrationSetting setting) {
    CommandPacket packet = plainCommand(Command::SetIntegrationTime);
    writeLe16(packet, 1, setting.value);
    packet[3] = setting.unit;
    return packet;
}

double exposureMsOf(IntegrationSetting setting) {
    return setting.unit == kUnitTenMicroseconds ? setting.value * 0.01 : setting.value;
}

CommandPacket initialiseCommand(int ccdType, int readoutLength, FrameGeometry geometry) {
    CommandPacket packet = plainCommand(Command::Initialise);
    writeLe16(packet, 1, 11); // start at 11 ms
    writeLe16(packet, 3, static_cast<std::uint16_t>(readoutLength));
    packet[5] = ccdType == kCcdS7031 ? 1 : 0;
    packet[6] = 0;
    packet[7] = static_cast<std::uint8_t>(geometry.packets & 0xFF);
    writeLe16(packet, 8, static_cast<std::uint16_t>(geometry.remainder));
    packet[10] = 0;
    writeLe16(packet, 11, kCommandLength / 2);
    return packet;
}

} // namespace ov
