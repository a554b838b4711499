// Every write of a unit's EEPROM text goes through here. The unit's factory
// data lives only in its EEPROM, so a write first keeps what the unit holds
// in a backup file of its own, then reads the EEPROM back: a write counts as
// done only when the unit holds exactly what was sent, and a unit that holds
// something else gets its old text back.
#ifndef QUILLON_APP_DATACONTROL_EEPROM_WRITER_H
#define QUILLON_APP_DATACONTROL_EEPROM_WRITER_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "datacontrol/unit_control.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

struct EepromWriteOutcome {
    OpResult result = OpResult::Failed; // Done only when the read-back matched
    std::filesystem::path backup;       // the text before the write; empty: none was made
    bool restored = false;              // the old text was written back and read back unchanged
    std::string report;                 // what happened, line by line, for the operator
};

// Where the backup goes and what it is called: "<unit>_<yyyymmdd>_<hhmmss>.txt"
// in `backupFolder`, with "_2", "_3" ... when that name is taken, so no
// backup is ever overwritten.
struct EepromBackupPlace {
    std::filesystem::path backupFolder;
    std::string unitName;
    std::chrono::system_clock::time_point now;
};

[[nodiscard]] EepromWriteOutcome writeEepromSafely(UnitControl &unit, int channel,
                                                   std::string_view text,
                                                   const EepromBackupPlace &place);

// The backup place of the current channel's unit: the "Backup" folder beside
// "Ini", named after the unit's serial (its unit file), at this moment.
EepromBackupPlace backupPlaceFor(const ChannelState &state);

// The name the next backup would get (the first free one).
std::filesystem::path freeBackupPath(const EepromBackupPlace &place);

} // namespace quillon

#endif
