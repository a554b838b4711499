// The EEPROM text: its records on the wire (0x08 separators, 0x07 end), the
// packing of records into write packets, the parsing of the packet stream,
// and the facts read out of the text.
#ifndef QUILLON_DEVICELIB_SRC_EEPROM_TEXT_H
#define QUILLON_DEVICELIB_SRC_EEPROM_TEXT_H

#include "command_codec.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

inline constexpr std::uint8_t kRecordSeparator = 0x08;
inline constexpr std::uint8_t kEndMarker = 0x07;
inline constexpr int kWritePayload = 61;
// Bound on the text a unit may stream back; a unit that never ends its text
// fails the read instead of filling memory.
inline constexpr std::size_t kMaxEepromBytes = 64 * 1024;
inline constexpr int kMaxEepromPackets = static_cast<int>(kMaxEepromBytes / kCommandLength);

// Splits the library's text into lines the way they are written to the unit.
std::vector<std::string> linesOfLibraryText(std::string_view text);

// Packs the lines (plus the closing record) into EEPROM write packets and
// hands each to `send`; stops with false at the first failed send.
bool packEepromRecords(std::span<const std::string> lines,
                       const std::function<bool(const CommandPacket &)> &send);

// Parses the stream of 64-byte read answers into lines ended by "\n".
class EepromStreamParser {
public:
    enum class Status { NeedMore, Finished, Overflow };
    // `answer` is one read answer; only its first 64 bytes count.
    Status feed(std::span<const std::uint8_t> answer);
    const std::string &text() const { return lines; }

private:
    std::string pending;
    std::string lines;
};

bool isEmptyEeprom(std::span<const std::uint8_t> firstAnswer);

// Value of a key at the start of a line, up to the line end; nullopt if missing.
std::optional<std::string_view> findKeyValue(std::string_view text, std::string_view key);

int ccdTypeOfSensorName(std::string_view name); // -1 for a name not in the list

struct CalibrationPoints {
    int result = 1; // 1, or -4 when a key or separator is missing
    std::vector<double> pixels;
    std::vector<double> wavelengths; // nm
};
CalibrationPoints parseCalibrationPoints(std::string_view text, int maxPoints);

// Decimal integer at the start of a value, like atoi (0 when none).
long parseLeadingInt(std::string_view value);

} // namespace ov

#endif
