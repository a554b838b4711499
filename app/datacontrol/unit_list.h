// The connected units, one row per channel, as a front end lists them: what
// the unit file says of each, and what the current channel really uses.
#ifndef QUILLON_APP_DATACONTROL_UNIT_LIST_H
#define QUILLON_APP_DATACONTROL_UNIT_LIST_H

#include "datacontrol/data_control.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct UnitRow {
    int channel = 0;
    std::optional<int> slot;  // simulated units only
    std::string serial = "-"; // "Serial.ini" for a unit without its own file
    std::string sensor = "-";
    int pixels = 0;
    std::string range = "-"; // calibrated wavelength range "start-end" in nm
    std::optional<int> channelId;
};

// The serial a unit is known by: its unit file's name, or "Serial.ini".
std::string unitSerial(const ChannelInfo &info);

// Reads each unit's channel ID, so it talks to the units.
std::vector<UnitRow> listUnits(DataControl &dc);

} // namespace quillon

#endif
