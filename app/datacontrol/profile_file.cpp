#include "datacontrol/profile_file.h"

#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quillon {

namespace fs = std::filesystem;

namespace {

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipSpaces(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) {
        ++i;
    }
    return i;
}

// A line break inside a stored name or value would split it into other
// entries on the next load.
std::string withoutLineBreaks(std::string_view text) {
    std::string clean(text);
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return clean;
}

bool isSectionHeader(const std::string &line) {
    return !line.empty() && line.front() == '[' && line.back() == ']';
}

std::string sectionNameOf(const std::string &line) {
    const std::size_t first = line.find_first_not_of('[');
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = line.find_last_not_of(']');
    if (last == std::string::npos || last < first) {
        return {};
    }
    return line.substr(first, last - first + 1);
}

} // namespace

std::int64_t parseLeadingInteger(std::string_view text) {
    std::size_t i = skipSpaces(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

double parseLeadingReal(std::string_view text) {
    std::size_t i = skipSpaces(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] == '+' || text[i] == '-') {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                              std::chars_format::general);
    (void)end;
    // Out-of-range and non-numbers read as 0, which makes a setting take its default.
    if (error != std::errc() || !std::isfinite(value)) {
        return 0.0;
    }
    return negative ? -value : value;
}

std::string formatReal(double value) {
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::string text = error == std::errc() ? std::string(buffer, end) : std::string("0.00");
    if (text.size() < 7) {
        text.append(7 - text.size(), ' ');
    }
    return text;
}

ProfileFile::ProfileFile(fs::path filePath) : path(std::move(filePath)) {
    platform::createFileIfMissing(path);
}

bool ProfileFile::Load() {
    const platform::FileContent content = platform::readRegularFile(path, kMaxFileSize);
    if (!content) {
        if (content.failure != platform::FileContent::Failure::Missing) {
            lastError = kErrorCannotOpen;
        }
        return false;
    }
    LoadText(*content.bytes);
    return true;
}

void ProfileFile::LoadText(std::string_view text) {
    std::string currentSection;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            loadLine(line, currentSection);
            line.clear();
        } else if (line.size() < kMaxLineLength + 1) {
            // One character of slack keeps a '\r' before the line end;
            // the rest of an over-long line is dropped.
            line.push_back(c);
        }
    }
    loadLine(line, currentSection);
}

void ProfileFile::loadLine(std::string &line, std::string &currentSection) {
    // Text-mode reading: a CR before the line end is not part of the line.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > kMaxLineLength) {
        line.resize(kMaxLineLength);
    }
    if (line.empty()) {
        return;
    }
    if (isSectionHeader(line)) {
        currentSection = sectionNameOf(line);
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        PutText(currentSection, line, "", true);
    } else {
        PutText(currentSection, std::string_view(line).substr(0, equals),
                std::string_view(line).substr(equals + 1), true);
    }
}

std::string ProfileFile::ToText() const {
    std::string text;
    for (const auto &section : sections) {
        if (section.keys.empty()) {
            continue;
        }
        text += '[';
        text += section.name;
        text += "]\n";
        for (std::size_t i = 0; i < section.keys.size(); ++i) {
            text += section.keys[i];
            text += '=';
            text += section.values[i];
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

bool ProfileFile::Save() const {
    return platform::replaceTextFile(path, ToText());
}

int ProfileFile::FindSection(std::string_view section) const {
    const auto found = sectionsByName.find(section);
    return found == sectionsByName.end() ? -1 : static_cast<int>(found->second);
}

int ProfileFile::FindEntry(int sectionIndex, std::string_view key) const {
    if (sectionIndex < 0 || static_cast<std::size_t>(sectionIndex) >= sections.size()) {
        return -1;
    }
    const NameIndex &keys = sections[static_cast<std::size_t>(sectionIndex)].keyIndex;
    const auto found = keys.find(key);
    return found == keys.end() ? -1 : static_cast<int>(found->second);
}

std::string ProfileFile::GetText(std::string_view section, std::string_view key) {
    const int sectionIndex = FindSection(section);
    if (sectionIndex < 0) {
        lastError = kErrorNoSection;
        return {};
    }
    const int entryIndex = FindEntry(sectionIndex, key);
    if (entryIndex < 0) {
        lastError = kErrorNoKey;
        return {};
    }
    return sections[static_cast<std::size_t>(sectionIndex)]
        .values[static_cast<std::size_t>(entryIndex)];
}

std::int32_t ProfileFile::GetInt(std::string_view section, std::string_view key) {
    const std::int64_t value = parseLeadingInteger(GetText(section, key));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t ProfileFile::GetLong(std::string_view section, std::string_view key) {
    const std::int64_t value = parseLeadingInteger(GetText(section, key));
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::uint32_t>::max()));
}

double ProfileFile::GetReal(std::string_view section, std::string_view key) {
    return parseLeadingReal(GetText(section, key));
}

bool ProfileFile::PutText(std::string_view sectionName, std::string_view keyName,
                          std::string_view value, bool create) {
    const std::string section = withoutLineBreaks(sectionName);
    const std::string key = withoutLineBreaks(keyName);
    int found = FindSection(section);
    if (found < 0) {
        if (!create) {
            return false;
        }
        found = static_cast<int>(sections.size());
        sectionsByName.emplace(section, sections.size());
        sections.push_back({section, {}, {}, {}});
    }
    Section &target = sections[static_cast<std::size_t>(found)];
    const int entryIndex = FindEntry(found, key);
    if (entryIndex >= 0) {
        target.values[static_cast<std::size_t>(entryIndex)] = withoutLineBreaks(value);
        return true;
    }
    if (!create) {
        return false;
    }
    target.keyIndex.emplace(key, target.keys.size());
    target.keys.push_back(key);
    target.values.push_back(withoutLineBreaks(value));
    return true;
}

bool ProfileFile::PutInt(std::string_view section, std::string_view key, std::int32_t value,
                         bool create) {
    return PutText(section, key, std::to_string(value), create);
}

bool ProfileFile::PutLong(std::string_view section, std::string_view key, std::uint32_t value,
                          bool create) {
    return PutText(section, key, std::to_string(value), create);
}

bool ProfileFile::PutReal(std::string_view section, std::string_view key, double value,
                          bool create) {
    return PutText(section, key, formatReal(value), create);
}

bool ProfileFile::RemoveEntry(std::string_view section, std::string_view key) {
    const int sectionIndex = FindSection(section);
    const int entryIndex = FindEntry(sectionIndex, key);
    if (entryIndex < 0) {
        return false;
    }
    Section &target = sections[static_cast<std::size_t>(sectionIndex)];
    target.keyIndex.erase(target.keys[static_cast<std::size_t>(entryIndex)]);
    target.keys.erase(target.keys.begin() + entryIndex);
    target.values.erase(target.values.begin() + entryIndex);
    // The keys after the removed one moved up by one.
    for (auto &[name, index] : target.keyIndex) {
        if (index > static_cast<std::size_t>(entryIndex)) {
            --index;
        }
    }
    return true;
}

} // namespace quillon
