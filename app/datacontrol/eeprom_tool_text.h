// The text rules of the EEPROM tool: the template for a new unit, the lines
// the tool sets before a write (the channel ID, the sensor of the channel),
// the unit name, and the line ends the pane shows.
#ifndef QUILLON_APP_DATACONTROL_EEPROM_TOOL_TEXT_H
#define QUILLON_APP_DATACONTROL_EEPROM_TOOL_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// "CCD=<sensor>" for the channel's sensor; none for a BoardType and kind
// that do not go together.
std::optional<std::string> ccdLineFor(std::uint16_t boardType, std::uint16_t inGaAsKind);

// The template of a new unit's text, every line ended by "\r\n".
std::string eepromTemplate(std::uint16_t boardType, std::uint16_t inGaAsKind, int channelId);

// The value of the "Name=" line, upper-cased, without blanks around it;
// empty when there is none. Only the key is taken off: a serial that begins
// with one of its letters keeps them.
std::string unitNameOfText(std::string_view text);

// The text made ready for a write: "Channel=" holds the channel ID and
// "CCD=" names the channel's sensor. A missing line is added at the end of
// the "[Factory Default]" section (at the top when there is none), so a
// unit never starts with another unit's ID or sensor. Refused (with why)
// without a "Name=" line: the unit's settings file is named after it.
struct PreparedEepromText {
    std::string text; // "\n" line ends, as the library takes it
    std::string unitName;
    std::string refusal;
};
PreparedEepromText prepareEepromText(std::string_view paneText, int channelId,
                                     std::uint16_t boardType, std::uint16_t inGaAsKind);

// Line ends for the pane ("\r\n") and for the library ("\n").
std::string withPaneLineEnds(std::string_view text);
std::string withUnitLineEnds(std::string_view text);

// The IDs the tool offers: 0 to 7, and the unit's own when it is 8 (which
// the unit may hold), so that the list shows what the unit holds.
std::vector<int> channelIdChoices(int currentId);
// An ID the tool repairs to 0 on opening.
inline bool channelIdNeedsRepair(int id) {
    return id < 0 || id > 8;
}

} // namespace quillon

#endif
