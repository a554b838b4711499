#include "datacontrol/eeprom_tool_text.h"

#include "datacontrol/sensors.h"

#include <algorithm>
#include <cctype>

namespace quillon {

namespace {

constexpr std::string_view kFactoryHeader = "[Factory Default]";

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

bool hasKey(const std::string &line, std::string_view key) {
    const std::string t = trimmed(line);
    return t.size() >= key.size() &&
           std::equal(key.begin(), key.end(), t.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Replaces the first line with `key`, or adds `line` at the end of the
// factory section.
void setLine(std::vector<std::string> &lines, std::string_view key, const std::string &line) {
    for (std::string &existing : lines) {
        if (hasKey(existing, key)) {
            existing = line;
            return;
        }
    }
    auto header = std::find_if(lines.begin(), lines.end(),
                               [](const std::string &l) { return trimmed(l) == kFactoryHeader; });
    if (header == lines.end()) {
        lines.insert(lines.begin(), {std::string(kFactoryHeader), line});
        return;
    }
    auto end = std::find_if(header + 1, lines.end(), [](const std::string &l) {
        const std::string t = trimmed(l);
        return !t.empty() && t.front() == '[';
    });
    lines.insert(end, line);
}

} // namespace

std::optional<std::string> ccdLineFor(std::uint16_t boardType, std::uint16_t inGaAsKind) {
    const auto name = ccdNameFor(boardType, inGaAsKind);
    return name ? std::optional<std::string>("CCD=" + *name) : std::nullopt;
}

std::string eepromTemplate(std::uint16_t boardType, std::uint16_t inGaAsKind, int channelId) {
    std::vector<std::string> lines{std::string(kFactoryHeader), "Name="};
    if (const auto ccd = ccdLineFor(boardType, inGaAsKind)) {
        lines.push_back(*ccd);
    }
    lines.push_back("Channel=" + std::to_string(channelId));
    lines.push_back(boardType == kBoardTcd1304 ? "IntTime=3500" : "IntTime=35");
    for (const char *line :
         {"PixelFlip=0", "InitPane=4", "IrradDist=50", "BadPixels=", "[Cal Data]"}) {
        lines.emplace_back(line);
    }
    std::string text;
    for (const std::string &line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string unitNameOfText(std::string_view text) {
    for (const std::string &line : linesOf(text)) {
        if (hasKey(line, "Name=")) {
            const std::string t = trimmed(line);
            std::string name = trimmed(std::string_view(t).substr(5));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            return name;
        }
    }
    return {};
}

PreparedEepromText prepareEepromText(std::string_view paneText, int channelId,
                                     std::uint16_t boardType, std::uint16_t inGaAsKind) {
    PreparedEepromText prepared;
    prepared.unitName = unitNameOfText(paneText);
    if (prepared.unitName.empty()) {
        prepared.refusal = "The text has no serial number after \"Name=\"; the unit's settings "
                           "file is named after it. Nothing was written.";
        return prepared;
    }
    std::vector<std::string> lines = linesOf(paneText);
    setLine(lines, "Channel=", "Channel=" + std::to_string(channelId));
    // Another name of the same sensor (G9212 for G9204-512) stays as written.
    const auto present = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string &l) { return hasKey(l, "CCD="); });
    const auto presentSensor =
        present == lines.end()
            ? std::nullopt
            : sensorFromCcdName(trimmed(std::string_view(trimmed(*present)).substr(4)));
    const bool sameSensor = presentSensor && presentSensor->boardType == boardType &&
                            presentSensor->inGaAsKind == inGaAsKind;
    if (const auto ccd = ccdLineFor(boardType, inGaAsKind); ccd && !sameSensor) {
        setLine(lines, "CCD=", *ccd);
    }
    for (const std::string &line : lines) {
        prepared.text += line + "\n";
    }
    return prepared;
}

std::string withPaneLineEnds(std::string_view text) {
    std::string out;
    for (const std::string &line : linesOf(text)) {
        out += line + "\r\n";
    }
    return out;
}

std::string withUnitLineEnds(std::string_view text) {
    std::string out;
    for (const std::string &line : linesOf(text)) {
        out += line + "\n";
    }
    return out;
}

std::vector<int> channelIdChoices(int currentId) {
    std::vector<int> ids{0, 1, 2, 3, 4, 5, 6, 7};
    if (currentId == 8) {
        ids.push_back(8);
    }
    return ids;
}

} // namespace quillon
