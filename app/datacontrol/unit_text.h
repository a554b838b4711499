// The text a unit keeps in its EEPROM, made from a unit file's text.
#ifndef QUILLON_APP_DATACONTROL_UNIT_TEXT_H
#define QUILLON_APP_DATACONTROL_UNIT_TEXT_H

#include <string>
#include <string_view>

namespace quillon {

// Line feeds only, each line without leading or trailing blanks, no blank
// lines and no comment lines (';'), every line ended by a line feed.
std::string UnitTextForEeprom(std::string_view fileText);

// Why a unit could not start from this EEPROM text, or empty when it can: a
// known sensor ("CCD="), "PointCount=" with a readable "Data N=" line for
// every point, and points that give a usable wavelength fit.
std::string ProblemOfUnitText(std::string_view text);

} // namespace quillon

#endif
