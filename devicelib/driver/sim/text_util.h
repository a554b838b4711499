// Small text helpers shared by the bench parser and the command language.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_TEXT_UTIL_H
#define QUILLON_DEVICELIB_DRIVER_SIM_TEXT_UTIL_H

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ov::sim {

inline std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Blank-separated words.
inline std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto start = text.find_first_not_of(" \t\r\n", pos);
        if (start == std::string_view::npos) {
            break;
        }
        auto end = text.find_first_of(" \t\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        words.push_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

inline std::optional<double> parseDouble(std::string_view text) {
    text = trim(text);
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Decimal, or hexadecimal with a 0x prefix.
inline std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    text = trim(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

inline std::optional<long long> parseSigned(std::string_view text) {
    text = trim(text);
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Value after "Key=" on the first line of `text` that starts with it (blanks
// trimmed), or empty: how the firmware reads its own EEPROM text.
inline std::string_view lineValue(std::string_view text, std::string_view key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const auto line = trim(text.substr(pos, end - pos));
        if (line.starts_with(key)) {
            return trim(line.substr(key.size()));
        }
        pos = end + 1;
    }
    return {};
}

} // namespace ov::sim

#endif
