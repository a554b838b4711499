// The wavelength calibration sets of the current channel: the factory set in
// the unit file (and the unit's EEPROM), and the custom sets "Cal 1", "Cal 2"
// ... of the main settings file. Lists them, reads and stores their points,
// makes one the set in use, and writes a set into the unit as its factory set.
#ifndef QUILLON_APP_DATACONTROL_CALIBRATION_SETS_H
#define QUILLON_APP_DATACONTROL_CALIBRATION_SETS_H

#include "datacontrol/calibration_points.h"
#include "datacontrol/channel_state.h"
#include "datacontrol/eeprom_writer.h"
#include "datacontrol/op_result.h"
#include "platform/prompter.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class AcquisitionHold;
class ChannelSetup;
class WavelengthAxis;

// The marker of the factory set in the set list.
inline constexpr const char *kFactorySetMark = "[Dflt]";

class CalibrationSets {
public:
    CalibrationSets(ChannelState &state, WavelengthAxis &wavelengthAxis, ChannelSetup &channelSetup,
                    AcquisitionHold &acquisitionHold, Prompter &userPrompter)
        : s(state), axis(wavelengthAxis), setup(channelSetup), hold(acquisitionHold),
          prompter(userPrompter) {}

    // Entry 0 the factory set's name followed by "[Dflt]", then the names of
    // "Cal 1", "Cal 2" ... up to the first set without a name. None when the
    // main settings file or the unit file cannot be read (`problem` says which).
    std::optional<std::vector<std::string>> SetNames(std::string &problem) const;
    // The points of set `number` (0: the factory set of the unit file).
    std::vector<StoredPoint> PointsOfSet(int number) const;
    // The emission lines of the data base, in nm: "Hg-Ar Line" of the main
    // settings file (tenths of a nm), else the shipped Hg-Ar table.
    std::vector<double> DatabaseLines() const;

    // Stores the points as custom set `number` (below 1: a new set after the
    // last one) under `name`; the number used on success.
    std::optional<int> SaveCustomSet(const std::string &name, int number,
                                     std::span<const StoredPoint> points);
    // Makes set `number` the one in use (0: the factory set) and rebuilds the
    // axis, under hold. A set that cannot be used leaves the calibration in
    // use as it was and says why.
    [[nodiscard]] OpResult ApplySet(int number);
    // Writes the points into the unit as its factory set named `name`: the
    // unit file's text with the new name and points goes into the EEPROM (with
    // backup and read-back), and only when the unit holds it does it become
    // the channel's unit file, "Ini/<name>.ini". Asks before replacing data
    // the unit holds.
    EepromWriteOutcome SaveInEeprom(const std::string &name, std::span<const StoredPoint> points);

private:
    std::string factorySetName() const;
    std::filesystem::path unitFile() const;

    ChannelState &s;
    WavelengthAxis &axis;
    ChannelSetup &setup;
    AcquisitionHold &hold;
    Prompter &prompter;
};

// "%02i/%02i/%04i  %02i:%02i:%02i" of the local time now, the Date of a set.
std::string calibrationDateNow();

} // namespace quillon

#endif
