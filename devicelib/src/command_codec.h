// The unit's command language: one table of command codes, the 64-byte
// packets they travel in, and the pure rules that turn caller values into
// packet fields (frame geometry, integration units, sample decoding, speed
// and generation tables).
#ifndef QUILLON_DEVICELIB_SRC_COMMAND_CODEC_H
#define QUILLON_DEVICELIB_SRC_COMMAND_CODEC_H

#include "ovdbusbm.h"

#include <array>
#include <cstdint>
#include <span>

namespace ov {

inline constexpr int kCommandLength = 64;
using CommandPacket = std::array<std::uint8_t, kCommandLength>;

enum class Command : std::uint8_t {
    Initialise = 0x00,
    SetIntegrationTime = 0x01,
    StartFrame = 0x02,
    TriggerInternal = 0x03,
    TriggerExternal = 0x04,
    EepromWrite = 0x08,
    EepromRead = 0x0A,
    SelectCf = 0x12,
    Tec = 0x13,
    Skip = 0x14,
    SafeMemory = 0x15,
    IntegrationMode = 0x1E,
    ExternalEdge = 0x1F,
    GetShutterPosition = 0x28,
    SetShutterPosition = 0x29,
    FilterWheel = 0x2A,
    ResisterSetup = 0x32,
    WriteChannelId = 0x5B,
    ReadChannelId = 0x5C,
};

// Integration time units of command 0x01.
inline constexpr std::uint8_t kUnitTenMicroseconds = 7;
inline constexpr std::uint8_t kUnitMilliseconds = 8;

// The CCD types of ovdbusbm.h (OV_CCD_*), under C++ names.
inline constexpr int kCcdTypeCount = OV_CCD_INGAAS256 + 1;
inline constexpr int kCcdTcd1304 = OV_CCD_TCD1304;
inline constexpr int kCcdS7031 = OV_CCD_S7031;
inline constexpr int kCcdInGaAs512 = OV_CCD_INGAAS512;
inline constexpr int kMaxReadoutLength = 3680;

// Samples per frame of a CCD type 0..5; 0 for any other type.
int readoutLengthOf(int ccdType);
// Length of the wavelength table (active pixels) of a CCD type 0..5.
int activePixelCountOf(int ccdType);
bool isValidCcdType(int ccdType);

struct FrameGeometry {
    int packets = 0;   // bulk reads per frame
    int remainder = 0; // samples in the last, short read; 0 when it divides evenly
};
FrameGeometry frameGeometry(int readoutLength, int packetSize);

struct IntegrationSetting {
    std::uint16_t value = 0;
    std::uint8_t unit = kUnitMilliseconds;
};
IntegrationSetting integrationFromInt(int ccdType, int value);
IntegrationSetting integrationFromDouble(int ccdType, double timeMs);

struct SpeedSetting {
    int packetSize = 64;
    int transferSize = 64;
};
SpeedSetting speedFromMaxPacket(int reportedMaxPacket);

struct Generation {
    int result = 0;       // 1 newer unit, 0 older
    int sampleFormat = 0; // 0, 1 or 2
};
Generation generationFromIds(std::uint16_t vendorId, std::uint16_t productId);

// Decodes little-endian sample words into counts; bytes.size() / 2 samples.
void decodeSamples(std::span<const std::uint8_t> bytes, int sampleFormat, int *counts);

// A packet of the unit's "no frame yet" answer under external trigger.
bool isNoFrameYet(std::span<const std::uint8_t> answer);

CommandPacket plainCommand(Command code);
CommandPacket byteCommand(Command code, std::uint8_t value);
CommandPacket integrationTimeCommand(IntegrationSetting setting);
// How long the unit integrates for a setting, in milliseconds.
double exposureMsOf(IntegrationSetting setting);
CommandPacket initialiseCommand(int ccdType, int readoutLength, FrameGeometry geometry);

inline std::uint16_t readLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}
inline void writeLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

} // namespace ov

#endif
