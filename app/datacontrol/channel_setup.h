// Start-up of the channels (folders, the main settings file, the USB scan,
// unit files from the EEPROM texts), configuration and hardware set-up of
// the current channel, and the settings and unit-file write-back.
#ifndef QUILLON_APP_DATACONTROL_CHANNEL_SETUP_H
#define QUILLON_APP_DATACONTROL_CHANNEL_SETUP_H

#include "datacontrol/channel_state.h"
#include "datacontrol/eeprom_writer.h"
#include "datacontrol/op_result.h"
#include "datacontrol/profile_file.h"
#include "platform/prompter.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quillon {

class ScanPipeline;
class UnitControl;

class ChannelSetup {
public:
    ChannelSetup(ChannelState &state, UnitControl &units, ScanPipeline &scans,
                 Prompter &userPrompter)
        : s(state), unit(units), pipeline(scans), prompter(userPrompter) {}

    [[nodiscard]] OpResult StartUp();
    [[nodiscard]] OpResult ConfigureChannel(int channel, Ask ask);
    [[nodiscard]] OpResult InitializeHardware();
    [[nodiscard]] OpResult SetVariablesFromEEPROMData(const std::filesystem::path &path);
    [[nodiscard]] OpResult SetVariablesFromIni(const std::filesystem::path &path, Ask ask);
    // 1 old single-board mode, 0 multi-channel, -1 the file cannot be read.
    [[nodiscard]] int IsOldBoard(const std::filesystem::path &path);
    std::string GetSNFromOldIni(const std::filesystem::path &path);
    void ApplySensorGeometry();
    void ResetAxisLimits();
    // The cooler record to the unit: TEC on or off, then the capacitor with
    // the longest integration time it allows. False when the unit refused
    // (the user has been told).
    [[nodiscard]] bool SendCoolerRecord();

    [[nodiscard]] OpResult WriteChannelId(int newId);
    [[nodiscard]] OpResult WriteUnitFileToEeprom();
    EepromWriteOutcome WriteEeprom(std::string_view text);
    // After the unit's text was changed: the text the unit now holds becomes
    // the channel's unit file, "Ini/<its serial>.ini", in place of the old
    // one; configuring the channel again then reads it.
    [[nodiscard]] OpResult AdoptUnitText();
    // The user settings back into the main settings file; false when the
    // file could not be written (the user has been told).
    [[nodiscard]] bool WriteBackSettings();
    void RemoveTempIniFiles();
    // Keeps the current unit's integration time before another unit is configured.
    void RememberIntegrationTime();

    bool Started() const { return started; }
    // Start-up ended the program: the settings are not written back.
    bool Aborted() const { return abort; }

private:
    void findProgramFolder();
    OpResult finishStartUp(OpResult result);
    int testConnections();
    OpResult startOldBoard();
    OpResult startMultiChannel();
    bool setUpPorts();
    OpResult readUnitFile(int port);
    OpResult adoptSerialIni(int port);
    bool hasDuplicateUnitFiles() const;
    void applySensor(const SensorSpec &spec);
    std::optional<SensorSpec> chosenSensor();
    void readFactoryDefaults(ProfileFile &file);
    void readExtendOptions(ProfileFile &file, Ask ask);
    void checkIntegrationTime(std::int32_t stored, Ask ask);
    void readInitPane(ProfileFile &file);
    std::string modelNameFor(ProfileFile &file) const;
    std::string unitKey() const;
    std::int32_t storedIntegrationTime(ProfileFile &file) const;
    bool lowerMaximumIntegration(std::int32_t maximum);
    bool selectFeedbackCapacitor();
    OpResult adjustOddEvenSteps();
    void showForPort(const char *text, int port);

    ChannelState &s;
    UnitControl &unit;
    ScanPipeline &pipeline;
    Prompter &prompter;
    bool started = false;
    bool abort = false;
    // The integration time of every unit configured this run, by serial.
    std::map<std::string, std::int32_t> unitTimes;
};

} // namespace quillon

#endif
