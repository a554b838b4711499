// The device side of a configured channel: hardware set-up, the channel ID
// and EEPROM write-back, and the settings written back at close.
#include "datacontrol/channel_setup.h"

#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/scan_pipeline.h"
#include "datacontrol/settings.h"
#include "datacontrol/settings_table.h"
#include "datacontrol/unit_control.h"
#include "datacontrol/unit_text.h"
#include "ovdbusbm.h"
#include "platform/files.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <new>

namespace quillon {

namespace fs = std::filesystem;

namespace {

// TempIni files of every possible port are removed at close.
constexpr int kPortSlots = OV_MAX_CHANNELS;

} // namespace

OpResult ChannelSetup::InitializeHardware() {
    if (s.NoDeviceMode()) {
        return OpResult::Done;
    }
    const int channel = s.currentChannel;
    if (s.settings.builtInShutter) {
        if (!unit.setShutterClosed(false)) {
            prompter.message(messages::kShutterNotMoved);
            return OpResult::Failed;
        }
        s.flags.setDarkSource(DarkSource::BuiltInShutter);
    }
    if (!unit.initialise()) {
        showForPort(messages::kInitializePort, channel);
        return OpResult::Failed;
    }
    if (!unit.sendSoftwareTriggerMode()) {
        showForPort(messages::kSoftwareTrigger, channel);
        return OpResult::Failed;
    }
    if (!unit.sendIntegrationTime()) {
        showForPort(messages::kIntegrationTime, channel);
        return OpResult::Failed;
    }
    if (s.HasCoolerRecord() && !SendCoolerRecord()) {
        return OpResult::Failed;
    }
    if (s.oddEven.autoAdjStep != 0) {
        return adjustOddEvenSteps();
    }
    return OpResult::Done;
}

bool ChannelSetup::SendCoolerRecord() {
    if (!unit.setTec(s.cooler.tec)) {
        showForPort(messages::kTeCooling, s.currentChannel);
        return false;
    }
    return selectFeedbackCapacitor();
}

// The G9208-512 saturates sooner with the small capacitor: its longest time
// depends on the CAP choice.
bool ChannelSetup::lowerMaximumIntegration(std::int32_t maximum) {
    if (s.geometry.inGaAsKind != 2) {
        return true;
    }
    s.limits.maximum = maximum;
    if (s.limits.current > maximum) {
        s.limits.current = maximum;
        if (!unit.sendIntegrationTime()) {
            showForPort(messages::kIntegrationTime, s.currentChannel);
            return false;
        }
    }
    return true;
}

bool ChannelSetup::selectFeedbackCapacitor() {
    int value = -1;
    if (s.cooler.cap == 10) {
        if (!lowerMaximumIntegration(500)) {
            return false;
        }
        value = 1;
    } else if (s.cooler.cap == 1) {
        if (!lowerMaximumIntegration(30)) {
            return false;
        }
        value = 0;
    }
    if (value >= 0 && !unit.selectCf(value)) {
        showForPort(messages::kSelectCf, s.currentChannel);
        return false;
    }
    return true;
}

OpResult ChannelSetup::adjustOddEvenSteps() {
    prompter.message(messages::kOddEvenPrompt);
    std::vector<std::int32_t> frame(std::max<std::size_t>(s.geometry.totalPixels, 1), 0);
    if (unit.readFrame(frame) != OV_OK) {
        pipeline.ReportDisconnection();
        return OpResult::Failed;
    }
    const OddEvenAdjustment steps = oddEvenStepsFromDarkFrame(
        std::span<const std::int32_t>(frame.data(), frame.size()), s.geometry.activePixels);
    s.oddEven.firstStep = steps.firstStep;
    s.oddEven.secondStep = steps.secondStep;
    return OpResult::Done;
}

OpResult ChannelSetup::WriteChannelId(int newId) {
    if (!unit.writeChannelId(newId, s.currentChannel)) {
        showForPort(messages::kWriteChannelId, s.currentChannel);
        return OpResult::Failed;
    }
    s.channelId = static_cast<std::int16_t>(newId);
    return OpResult::Done;
}

OpResult ChannelSetup::WriteUnitFileToEeprom() {
    if (s.currentChannel < 0 || static_cast<std::size_t>(s.currentChannel) >= s.channels.size()) {
        return OpResult::Failed;
    }
    ChannelInfo &channel = s.channels[static_cast<std::size_t>(s.currentChannel)];
    std::ifstream in(channel.unitFile, std::ios::binary);
    const std::string text = UnitTextForEeprom(std::string(std::istreambuf_iterator<char>(in), {}));
    // An unreadable or empty unit file would wipe the unit's calibration.
    if (text.empty() || WriteEeprom(text).result != OpResult::Done) {
        showForPort(messages::kWriteEeprom, s.currentChannel);
        channel.onSerialIni = 1;
        return OpResult::Failed;
    }
    channel.onSerialIni = 0;
    return OpResult::Done;
}

OpResult ChannelSetup::AdoptUnitText() {
    std::string text;
    if (unit.readEepromText(s.currentChannel, text) != OV_OK) {
        prompter.message(messages::kSaveEepromAsFile);
        return OpResult::Failed;
    }
    const std::string serial = serialFromEepromText(text);
    if (serial.empty()) {
        prompter.message(messages::kSaveEepromAsFile);
        return OpResult::Failed;
    }
    ChannelInfo &channel = s.currentInfo();
    const fs::path newFile =
        s.iniFolder / (files::safeFileStem(serial) + files::kUnitFileExtension);
    if (!platform::replaceTextFile(newFile, text)) {
        prompter.message(messages::kSaveEepromAsFile);
        return OpResult::Failed;
    }
    if (channel.unitFile != newFile) {
        platform::removeFileQuietly(channel.unitFile);
    }
    channel.unitFile = newFile;
    channel.onSerialIni = 0;
    return OpResult::Done;
}

EepromWriteOutcome ChannelSetup::WriteEeprom(std::string_view text) {
    EepromWriteOutcome outcome = writeEepromSafely(unit, s.currentChannel, text, backupPlaceFor(s));
    prompter.message(outcome.report);
    return outcome;
}

bool ChannelSetup::WriteBackSettings() {
    ProfileFile file;
    file.SetPath(s.mainSettingsPath);
    // A file that exists but cannot be read keeps its content: writing would
    // replace the user's settings with what this run happens to hold.
    if (!file.Load() && platform::fileExists(s.mainSettingsPath)) {
        prompter.message(messages::kSaveSettings + platform::pathText(s.mainSettingsPath));
        return false;
    }
    SettingsTable::WriteKeys(file, s);
    RememberIntegrationTime();
    for (const auto &[serial, time] : unitTimes) {
        file.PutInt(sections::kUnitIntegrationTimes, serial, time);
    }
    if (!file.Save()) {
        prompter.message(messages::kSaveSettings + platform::pathText(s.mainSettingsPath));
        return false;
    }
    return true;
}

void ChannelSetup::RemoveTempIniFiles() {
    if (s.iniFolder.empty()) {
        return;
    }
    for (int port = 0; port < kPortSlots; ++port) {
        platform::removeFileQuietly(s.iniFolder / files::tempIniName(port));
    }
}

} // namespace quillon
