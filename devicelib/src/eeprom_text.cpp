#include "eeprom_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace ov {

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The write packet being filled: sequence 1 for the first of a transfer.
class PacketWriter {
public:
    explicit PacketWriter(const std::function<bool(const CommandPacket &)> &sendPacket)
        : send(sendPacket) {}

    bool fits(std::size_t bytes) const { return payload.size() + bytes <= kWritePayload; }
    void append(std::string_view bytes) { payload.append(bytes); }
    bool hasPayload() const { return !payload.empty(); }

    bool flush() {
        const bool ok = sendBytes(payload);
        payload.clear();
        return ok;
    }

    // Sends whole 61-byte pieces of the record; the rest starts the next packet.
    bool placeRecord(std::string_view record) {
        while (record.size() >= kWritePayload) {
            if (!sendBytes(record.substr(0, kWritePayload))) {
                return false;
            }
            record.remove_prefix(kWritePayload);
        }
        payload.assign(record);
        return true;
    }

private:
    bool sendBytes(std::string_view bytes) {
        CommandPacket packet = plainCommand(Command::EepromWrite);
        packet[1] = first ? 1 : 2;
        packet[2] = static_cast<std::uint8_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), packet.begin() + 3);
        first = false;
        return send(packet);
    }

    const std::function<bool(const CommandPacket &)> &send;
    std::string payload;
    bool first = true;
};

} // namespace

std::vector<std::string> linesOfLibraryText(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.emplace_back(trimRight(text));
            break;
        }
        lines.emplace_back(text.substr(0, end));
        text = trimLeft(text.substr(end + 1)); // drops blank lines and indentation
    }
    return lines;
}

bool packEepromRecords(std::span<const std::string> lines,
                       const std::function<bool(const CommandPacket &)> &send) {
    PacketWriter writer(send);
    for (const std::string &line : lines) {
        if (!line.empty() && line.front() == ';') {
            continue; // comments stay out of the unit
        }
        std::string record = line;
        record.push_back(static_cast<char>(kRecordSeparator));
        if (writer.fits(record.size())) {
            writer.append(record);
            continue;
        }
        if (!writer.flush() || !writer.placeRecord(record)) {
            return false;
        }
    }
    const std::array<char, 2> closing{static_cast<char>(kRecordSeparator),
                                      static_cast<char>(kEndMarker)};
    if (!writer.flush() || !writer.placeRecord(std::string_view(closing.data(), closing.size()))) {
        return false;
    }
    return !writer.hasPayload() || writer.flush();
}

bool isEmptyEeprom(std::span<const std::uint8_t> firstAnswer) {
    return firstAnswer.size() >= 2 && firstAnswer[0] == kRecordSeparator &&
           firstAnswer[1] == kEndMarker;
}

EepromStreamParser::Status EepromStreamParser::feed(std::span<const std::uint8_t> answer) {
    const std::size_t size = std::min<std::size_t>(answer.size(), kCommandLength);
    const auto *begin = reinterpret_cast<const char *>(answer.data());
    std::string_view chunk(begin,
                           static_cast<std::size_t>(std::find(begin, begin + size, '\0') - begin));
    while (!chunk.empty()) {
        if (static_cast<std::uint8_t>(chunk.front()) == kEndMarker) {
            return Status::Finished;
        }
        const std::size_t separator = chunk.find(static_cast<char>(kRecordSeparator));
        if (separator == std::string_view::npos) {
            break;
        }
        lines.append(pending).append(chunk.substr(0, separator)).push_back('\n');
        pending.clear();
        chunk.remove_prefix(separator + 1);
    }
    pending.append(chunk);
    if (lines.size() + pending.size() > kMaxEepromBytes) {
        return Status::Overflow;
    }
    return Status::NeedMore;
}

std::optional<std::string_view> findKeyValue(std::string_view text, std::string_view key) {
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with(key)) {
            return line.substr(key.size());
        }
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

int ccdTypeOfSensorName(std::string_view name) {
    struct Sensor {
        std::string_view name;
        int type;
    };
    static constexpr std::array<Sensor, 10> kSensors{{{"ILX511", 0},
                                                      {"TCD1304", 1},
                                                      {"S7031", 2},
                                                      {"G9212", 3},
                                                      {"G9204-512", 3},
                                                      {"G9206-512", 3},
                                                      {"G9208-512", 3},
                                                      {"S10420", 4},
                                                      {"G9206-256", 5},
                                                      {"G9208-256", 5}}};
    for (const Sensor &sensor : kSensors) {
        if (sensor.name == name) {
            return sensor.type;
        }
    }
    return -1;
}

long parseLeadingInt(std::string_view value) {
    value = trimLeft(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    long result = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || result > 100000000L) {
            break; // values past any sensible pixel or wavelength stop growing
        }
        result = result * 10 + (c - '0');
    }
    return negative ? -result : result;
}

CalibrationPoints parseCalibrationPoints(std::string_view text, int maxPoints) {
    constexpr int kMissing = -4;
    CalibrationPoints points;
    const auto countValue = findKeyValue(text, "PointCount=");
    if (!countValue) {
        points.result = kMissing;
        return points;
    }
    const long count = parseLeadingInt(*countValue);
    if (count <= 0 || count > maxPoints) {
        points.result = kMissing;
        return points;
    }
    for (long k = 1; k <= count; ++k) {
        std::array<char, 32> key{};
        std::snprintf(key.data(), key.size(), "Data %ld=", k);
        const auto value = findKeyValue(text, key.data());
        const std::size_t separator = value ? value->find(';') : std::string_view::npos;
        if (separator == std::string_view::npos) {
            points.result = kMissing;
            return points;
        }
        points.wavelengths.push_back(
            static_cast<double>(parseLeadingInt(value->substr(0, separator))) * 0.1);
        points.pixels.push_back(static_cast<double>(parseLeadingInt(value->substr(separator + 1))));
    }
    return points;
}

} // namespace ov
