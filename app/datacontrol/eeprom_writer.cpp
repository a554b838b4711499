#include "datacontrol/eeprom_writer.h"

#include "datacontrol/settings.h"
#include "datacontrol/unit_text.h"
#include "ovdbusbm.h"
#include "platform/files.h"
#include "platform/local_time.h"

#include <ctime>
#include <iomanip>
#include <sstream>

namespace quillon {

namespace {

std::string timeStamp(std::chrono::system_clock::time_point now) {
    const std::tm local = platform::localTime(std::chrono::system_clock::to_time_t(now));
    std::ostringstream out;
    out << std::put_time(&local, "%Y%m%d_%H%M%S");
    return out.str();
}

// What the unit keeps of a text: the comparison ignores line ends, blanks at
// the line ends and comment lines, which the EEPROM never holds.
bool sameUnitText(std::string_view a, std::string_view b) {
    return UnitTextForEeprom(a) == UnitTextForEeprom(b);
}

struct ReadBack {
    int result = OV_ERR_NO_DATA;
    std::string text;
};

ReadBack readBack(UnitControl &unit, int channel) {
    ReadBack back;
    back.result = unit.readEepromText(channel, back.text);
    return back;
}

std::string portText(int channel) {
    return "USB port #" + std::to_string(channel);
}

// Writes `text` and reads it back: true when the unit holds it.
bool writeAndVerify(UnitControl &unit, int channel, const std::string &text, std::string &why) {
    if (!unit.writeEepromText(channel, text)) {
        why = "the unit did not take the text";
        return false;
    }
    const ReadBack back = readBack(unit, channel);
    if (back.result != OV_OK) {
        why = std::string("the EEPROM could not be read back (") + ovResultText(back.result) + ")";
        return false;
    }
    if (!sameUnitText(back.text, text)) {
        why = "the text read back differs from the text written";
        return false;
    }
    return true;
}

} // namespace

EepromBackupPlace backupPlaceFor(const ChannelState &state) {
    EepromBackupPlace place;
    place.backupFolder = state.iniFolder.parent_path() / files::kBackupFolder;
    if (state.currentChannel >= 0 &&
        static_cast<std::size_t>(state.currentChannel) < state.channels.size()) {
        place.unitName =
            state.channels[static_cast<std::size_t>(state.currentChannel)].unitFile.stem().string();
    }
    if (place.unitName.empty()) {
        place.unitName = "channel" + std::to_string(state.currentChannel);
    }
    place.now = std::chrono::system_clock::now();
    return place;
}

std::filesystem::path freeBackupPath(const EepromBackupPlace &place) {
    const std::string stem = files::safeFileStem(place.unitName.empty() ? "unit" : place.unitName) +
                             "_" + timeStamp(place.now);
    std::filesystem::path candidate = place.backupFolder / (stem + ".txt");
    for (int n = 2; platform::fileExists(candidate); ++n) {
        candidate = place.backupFolder / (stem + "_" + std::to_string(n) + ".txt");
    }
    return candidate;
}

EepromWriteOutcome writeEepromSafely(UnitControl &unit, int channel, std::string_view text,
                                     const EepromBackupPlace &place) {
    EepromWriteOutcome outcome;
    const std::string wanted = UnitTextForEeprom(text);
    if (wanted.empty()) {
        outcome.report =
            "Nothing was written to the EEPROM of " + portText(channel) + ": the text is empty.";
        return outcome;
    }
    // 1. The text before the write, kept where no later write can overwrite it.
    const ReadBack before = readBack(unit, channel);
    const bool wasEmpty = before.result == OV_ERR_NO_DATA;
    if (before.result != OV_OK && !wasEmpty) {
        outcome.report = "Nothing was written to the EEPROM of " + portText(channel) +
                         ": its present text could not be read for a backup (" +
                         ovResultText(before.result) + ").";
        return outcome;
    }
    const std::filesystem::path backup = freeBackupPath(place);
    if (!platform::ensureFolder(place.backupFolder) ||
        !platform::replaceTextFile(backup, wasEmpty ? std::string() : before.text)) {
        outcome.report = "Nothing was written to the EEPROM of " + portText(channel) +
                         ": the backup file " + platform::pathText(backup) +
                         " could not be written.";
        return outcome;
    }
    outcome.backup = backup;
    outcome.report = "The EEPROM text of " + portText(channel) +
                     (wasEmpty ? " (the EEPROM was empty)" : "") + " was saved to " +
                     platform::pathText(backup) + ".\n";

    // 2. The write, proven by reading it back.
    std::string why;
    if (writeAndVerify(unit, channel, wanted, why)) {
        outcome.result = OpResult::Done;
        outcome.report += "The new text was written and reads back unchanged.";
        return outcome;
    }
    outcome.report += "Writing the new text failed: " + why + ".\n";

    // 3. Back to the text the unit had.
    if (wasEmpty) {
        outcome.report += "The EEPROM was empty before and cannot be emptied again from here; "
                          "check the unit's text before using it.";
        return outcome;
    }
    std::string restoreWhy;
    if (writeAndVerify(unit, channel, before.text, restoreWhy)) {
        outcome.restored = true;
        outcome.report += "The previous text was written back from the backup and reads back "
                          "unchanged; the unit holds its old text.";
    } else {
        outcome.report += "Writing the previous text back failed as well: " + restoreWhy +
                          ". The unit's old text is in " + platform::pathText(backup) + ".";
    }
    return outcome;
}

} // namespace quillon
