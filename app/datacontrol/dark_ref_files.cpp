// The dark/reference snapshot of the configuration that is not current
// ("DarkRef.mem") and the colour tile (".ctf"). A file that is missing or
// has the wrong length is reported and changes nothing.
#include "datacontrol/dark_ref_files.h"

#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "platform/files.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <new>

namespace quillon {

namespace fs = std::filesystem;

void appendFloats(std::string &bytes, std::span<const float> values) {
    for (const float value : values) {
        const auto word = std::bit_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<char>((word >> shift) & 0xFFu));
        }
    }
}

std::optional<std::vector<float>> decodeFloats(std::string_view bytes, std::size_t count) {
    if (bytes.size() != count * 4) {
        return std::nullopt;
    }
    std::vector<float> values(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b) {
            word = (word << 8) |
                   static_cast<unsigned char>(bytes[i * 4 + static_cast<std::size_t>(b)]);
        }
        values[i] = std::bit_cast<float>(word);
    }
    return values;
}

bool writeFloatFile(const fs::path &target, std::initializer_list<std::span<const float>> arrays) {
    std::string bytes;
    for (const auto &values : arrays) {
        appendFloats(bytes, values);
    }
    return platform::replaceBinaryFile(target, bytes);
}

std::optional<std::vector<float>> readFloatFile(const fs::path &file, std::size_t count) {
    const auto bytes = platform::readWholeFile(file);
    if (!bytes) {
        return std::nullopt;
    }
    return decodeFloats(*bytes, count);
}

} // namespace quillon
