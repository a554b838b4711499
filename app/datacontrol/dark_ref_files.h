// Files of plain 4-byte little-endian IEEE floats with no header: the
// dark/reference snapshot and the colour tile.
#ifndef QUILLON_APP_DATACONTROL_DARK_REF_FILES_H
#define QUILLON_APP_DATACONTROL_DARK_REF_FILES_H

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr const char *kDarkRefSnapshot = "DarkRef.mem";
inline constexpr const char *kDarkRefTemporary = "DarkRef.tmp";

// The floats, element by element, little-endian.
void appendFloats(std::string &bytes, std::span<const float> values);
// Exactly `count` floats, or nothing when the bytes have another length.
std::optional<std::vector<float>> decodeFloats(std::string_view bytes, std::size_t count);

// The arrays one after another, written beside `target` and renamed over it.
bool writeFloatFile(const std::filesystem::path &target,
                    std::initializer_list<std::span<const float>> arrays);
// Exactly `count` floats; nothing when the file is missing, short or long.
std::optional<std::vector<float>> readFloatFile(const std::filesystem::path &file,
                                                std::size_t count);

} // namespace quillon

#endif
