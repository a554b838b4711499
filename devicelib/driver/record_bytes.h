// Little-endian fields of the driver's records (pipe records, the interface
// record, descriptors), shared by the backends.
#ifndef QUILLON_DEVICELIB_DRIVER_RECORD_BYTES_H
#define QUILLON_DEVICELIB_DRIVER_RECORD_BYTES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "driver.h"

namespace ov::driver {

inline void putLe16(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline void putLe32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
    putLe16(out, at, value & 0xFFFF);
    putLe16(out, at + 2, value >> 16);
}

inline std::uint16_t le16(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

// The pipe index of a 4-byte pipe record; ~0 (no pipe) when it is short.
inline std::uint32_t pipeIndexOf(std::span<const std::uint8_t> in) {
    if (in.size() < kPipeRecordSize) {
        return ~0u;
    }
    return static_cast<std::uint32_t>(in[0] | (in[1] << 8) | (in[2] << 16)) |
           (static_cast<std::uint32_t>(in[3]) << 24);
}

inline std::array<std::uint8_t, kPipeRecordSize> pipeRecordOf(std::uint32_t pipe) {
    return {static_cast<std::uint8_t>(pipe & 0xFF), static_cast<std::uint8_t>((pipe >> 8) & 0xFF),
            static_cast<std::uint8_t>((pipe >> 16) & 0xFF),
            static_cast<std::uint8_t>((pipe >> 24) & 0xFF)};
}

} // namespace ov::driver

#endif
