// Start-up of the channels: folders, the main settings file, the USB scan,
// unit files from the EEPROM texts, and configuration of the current channel.
#include "datacontrol/channel_setup.h"

#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/settings.h"
#include "datacontrol/settings_table.h"
#include "datacontrol/unit_control.h"
#include "ovdbusbm.h"
#include "photometry/shipped_tables.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <iostream>

namespace quillon {

namespace fs = std::filesystem;

namespace {

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char &c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

} // namespace

std::string formatWithNumber(std::string_view text, int number) {
    std::string result(text);
    const std::size_t pos = result.find("%d");
    if (pos != std::string::npos) {
        result.replace(pos, 2, std::to_string(number));
    }
    return result;
}

std::string serialFromEepromText(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line = upperCase(text.substr(start, end - start));
        const std::size_t key = line.find("NAME=");
        if (key != std::string::npos) {
            std::string serial;
            for (char c : line.substr(key + 5)) {
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
                    serial.push_back(c);
                }
            }
            return serial;
        }
        start = end + 1;
    }
    return {};
}

OddEvenAdjustment oddEvenStepsFromDarkFrame(std::span<const std::int32_t> raw, int n) {
    OddEvenAdjustment steps;
    const int count = std::min<int>(n, static_cast<int>(raw.size()));
    const std::int64_t half = count / 2;
    if (half == 0) {
        return steps;
    }
    std::int64_t evenSum = 0;
    std::int64_t oddSum = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t inverted =
            65535 - static_cast<std::int64_t>(raw[static_cast<std::size_t>(i)]);
        (i % 2 == 0 ? evenSum : oddSum) += inverted;
    }
    // The correction adds FirstStep to the even and SecondStep to the odd
    // inverted values, so the steps must pull the two means together.
    const std::int64_t difference = evenSum / half - oddSum / half;
    steps.firstStep = static_cast<std::int32_t>(-(difference / 2));
    steps.secondStep = static_cast<std::int32_t>(steps.firstStep + difference);
    return steps;
}

void ChannelSetup::showForPort(const char *text, int port) {
    prompter.message(formatWithNumber(text, port));
}

void ChannelSetup::findProgramFolder() {
    const auto folder = platform::currentFolder();
    if (!folder) {
        std::cerr << "_getcwd error\n";
    } else {
        s.programFolder = *folder;
    }
    s.dataFolder = s.programFolder / files::kDataFolder;
    s.iniFolder = s.programFolder / files::kIniFolder;
    platform::ensureFolder(s.dataFolder);
    platform::ensureFolder(s.iniFolder);
    colour::installShippedTables(s.programFolder);
    s.mainSettingsPath = s.programFolder / files::kMultiChannelSettings;
}

OpResult ChannelSetup::StartUp() {
    started = true;
    findProgramFolder();

    const int old = IsOldBoard(s.mainSettingsPath);
    if (old < 0) {
        abort = true;
        return OpResult::Failed;
    }
    s.oldBoard = old == 1;
    if (s.oldBoard) {
        s.mainSettingsPath = s.programFolder / files::kSingleBoardSettings;
    }

    if (s.NoDeviceMode()) {
        s.flags.option.set(option_bits::kMemoryMode);
        s.flags.status.set(status_bits::kHold);
        s.mainSettingsPath = s.programFolder / files::kSingleBoardSettings;
        s.oldBoard = true;
    } else {
        const int found = testConnections();
        if (found < 1) {
            if (found < 0) {
                abort = true;
                return OpResult::Failed;
            }
            return OpResult::NotDone;
        }
        s.channelCount = static_cast<std::int16_t>(found);
    }
    const OpResult result = s.oldBoard ? startOldBoard() : startMultiChannel();
    if (result == OpResult::Failed) {
        abort = true;
    }
    return result;
}

// The USB scan; the number of units found, or the answer to the no-device box.
int ChannelSetup::testConnections() {
    const int found = unit.rescan(s.channelCount > 0);
    if (found >= 1) {
        return found;
    }
    s.channelCount = 0;
    switch (prompter.askAbortRetryIgnore(messages::noUsableDevice(unit.driverStatus()))) {
    case AbortRetryIgnore::Retry:
        return 0;
    case AbortRetryIgnore::Ignore:
        s.flags.option.set(option_bits::kNoDevice);
        return 0;
    case AbortRetryIgnore::Abort:
        break;
    }
    return -1;
}

OpResult ChannelSetup::startOldBoard() {
    s.channelCount = 1;
    s.channels.assign(1, ChannelInfo{});
    s.currentChannel = 0;
    s.channelId = 0;
    s.channels[0].unitFile = s.mainSettingsPath;
    s.channels[0].onSerialIni = 1;
    s.channels[0].boardType = s.NoDeviceMode() ? kBoardTcd1304 : kBoardIlx511;
    return ConfigureChannel(0, Ask::Yes);
}

OpResult ChannelSetup::startMultiChannel() {
    s.channels.assign(static_cast<std::size_t>(s.channelCount), ChannelInfo{});
    s.currentChannel = 0;
    if (!setUpPorts()) {
        return OpResult::NotDone;
    }
    for (int port = 0; port < s.channelCount; ++port) {
        const OpResult result = readUnitFile(port);
        if (result != OpResult::Done) {
            return result;
        }
    }
    if (hasDuplicateUnitFiles()) {
        prompter.message(messages::kDuplicateSerial);
        return OpResult::Failed;
    }
    return ConfigureChannel(s.currentChannel, Ask::Yes);
}

bool ChannelSetup::setUpPorts() {
    for (int port = 0; port < s.channelCount; ++port) {
        if (!unit.setUpPort(port)) {
            showForPort(messages::kSetupPort, port);
            return false;
        }
        if (!unit.readChannelId(port)) {
            showForPort(messages::kReadChannelId, port);
            return false;
        }
    }
    return true;
}

// Reads one port's EEPROM text and writes it to the port's unit file.
OpResult ChannelSetup::readUnitFile(int port) {
    std::string text;
    const int read = unit.readEepromText(port, text);
    if (read < 0 && read != OV_ERR_NO_DATA) {
        showForPort(messages::kReadEeprom, port);
        return OpResult::NotDone;
    }

    std::string serial = serialFromEepromText(text);
    if (serial.empty()) {
        if (!prompter.askYesNo(formatWithNumber(messages::kEmptyEeprom, port))) {
            return OpResult::Failed;
        }
        serial = files::kSerialIni;
        const auto sensor = chosenSensor();
        ChannelInfo &channel = s.channels[static_cast<std::size_t>(port)];
        channel.boardType = sensor ? sensor->boardType : kBoardIlx511;
        channel.inGaAsKind = sensor ? sensor->inGaAsKind : 0;
    }
    if (serial == files::kSerialIni) {
        return adoptSerialIni(port);
    }

    ChannelInfo &channel = s.channels[static_cast<std::size_t>(port)];
    channel.onSerialIni = 0;
    channel.unitFile = s.iniFolder / (files::safeFileStem(serial) + files::kUnitFileExtension);
    if (!platform::replaceTextFile(channel.unitFile, text)) {
        prompter.message(messages::kSaveEeprom);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

// The sensor the operator names; closed without OK, the plainest one
// rather than whatever was there.
std::optional<SensorSpec> ChannelSetup::chosenSensor() {
    const auto choice = prompter.chooseSensor(kSensorDialogTitle, sensorChoiceTexts());
    if (choice && *choice >= 0 && static_cast<std::size_t>(*choice) < kSensorChoices.size()) {
        const SensorChoice &chosen = kSensorChoices[static_cast<std::size_t>(*choice)];
        return sensorFromBoardType(chosen.boardType, chosen.inGaAsKind);
    }
    return sensorFromBoardType(kBoardIlx511, 0);
}

OpResult ChannelSetup::adoptSerialIni(int port) {
    ChannelInfo &channel = s.channels[static_cast<std::size_t>(port)];
    channel.onSerialIni = 1;
    channel.unitFile = s.iniFolder / files::tempIniName(port);
    // A missing Serial.ini leaves no unit file; configuring the channel reports it.
    platform::copyFileOver(s.programFolder / files::kSerialIni, channel.unitFile);
    return OpResult::Done;
}

bool ChannelSetup::hasDuplicateUnitFiles() const {
    for (std::size_t i = 0; i < s.channels.size(); ++i) {
        for (std::size_t j = i + 1; j < s.channels.size(); ++j) {
            if (s.channels[i].unitFile == s.channels[j].unitFile) {
                return true;
            }
        }
    }
    return false;
}

OpResult ChannelSetup::ConfigureChannel(int channel, Ask ask) {
    if (channel < 0 || static_cast<std::size_t>(channel) >= s.channels.size()) {
        return OpResult::Failed;
    }
    s.currentChannel = static_cast<std::int16_t>(channel);
    if (s.NoDeviceMode()) {
        s.flags.option.set(option_bits::kMemoryMode);
        s.flags.status.set(status_bits::kHold);
    }
    const fs::path factoryFile =
        s.oldBoard ? s.mainSettingsPath : s.channels[static_cast<std::size_t>(channel)].unitFile;
    if (SetVariablesFromEEPROMData(factoryFile) != OpResult::Done) {
        return OpResult::Failed;
    }
    ApplySensorGeometry();
    if (!s.oldBoard) {
        const auto id = unit.readChannelId(channel);
        if (!id) {
            showForPort(messages::kReadChannelId, channel);
            return OpResult::Failed;
        }
        s.channelId = *id;
    }
    if (SetVariablesFromIni(s.mainSettingsPath, ask) != OpResult::Done) {
        return OpResult::NotDone;
    }
    ResetAxisLimits();
    return OpResult::Done;
}

int ChannelSetup::IsOldBoard(const fs::path &path) {
    ProfileFile file(path);
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInIsOldBoard);
        return -1;
    }
    const int old = file.GetInt(sections::kExtendOptions, "OldBoard");
    s.settings.cie1931 =
        readInt(file, sections::kExtendOptions, "BaseCIE", defaults::kBaseCIE) == 1931;
    return old != 0 ? 1 : 0;
}

std::string ChannelSetup::GetSNFromOldIni(const fs::path &path) {
    ProfileFile file(path);
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInGetSNFromOldIni);
        return {};
    }
    std::string name = file.GetText(sections::kFactoryDefault, "Name");
    const std::size_t first = name.find_first_not_of(" \t\r\n");
    const std::size_t last = name.find_last_not_of(" \t\r\n");
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    if (name.empty()) {
        prompter.message(messages::kNoSerialInOldIni);
        return {};
    }
    return upperCase(name);
}

void ChannelSetup::applySensor(const SensorSpec &spec) {
    s.geometry.boardType = spec.boardType;
    s.geometry.inGaAsKind = spec.inGaAsKind;
    ChannelInfo &channel = s.channels[static_cast<std::size_t>(s.currentChannel)];
    channel.boardType = spec.boardType;
    channel.inGaAsKind = spec.inGaAsKind;
    s.limits.minimum = spec.minIntegration;
    s.limits.maximum = spec.maxIntegration;
    s.limits.current = spec.minIntegration;
    if (hasCoolerRecord(spec.boardType)) {
        s.cooler.minIntegration = spec.minIntegration;
    }
    if (s.geometry.newDevice == 1) {
        if (spec.newDeviceTriggerMode >= 0) {
            s.trigger.triggerMode = spec.newDeviceTriggerMode;
        }
        if (spec.newDeviceFrameChoice >= 0) {
            s.trigger.frameChoice = spec.newDeviceFrameChoice;
        }
        if (spec.newDeviceIntegrationMode >= 0) {
            s.trigger.integrationMode = spec.newDeviceIntegrationMode;
        }
    }
}

OpResult ChannelSetup::SetVariablesFromEEPROMData(const fs::path &path) {
    // Only the main settings file is created when missing; a missing unit
    // file must be reported, not replaced by an empty one.
    ProfileFile file;
    if (s.oldBoard) {
        file = ProfileFile(path);
    } else {
        file.SetPath(path);
    }
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInSetVariablesFromEEPROMData);
        return OpResult::Failed;
    }
    s.settings.builtInShutter = false;
    if (!s.NoDeviceMode()) {
        s.geometry.speedMode = static_cast<std::int16_t>(unit.speedMode(s.currentChannel));
        s.geometry.newDevice = static_cast<std::int16_t>(unit.devIsNew(s.currentChannel));
    }

    const ChannelInfo &channel = s.channels[static_cast<std::size_t>(s.currentChannel)];
    std::optional<SensorSpec> sensor;
    if (channel.onSerialIni != 0) {
        sensor = sensorFromBoardType(channel.boardType, channel.inGaAsKind);
    } else {
        sensor = sensorFromCcdName(file.GetText(sections::kFactoryDefault, "CCD"));
    }
    if (!sensor) {
        prompter.message(messages::kUnknownBoard);
        // One unit with a damaged text must not stop every unit: the
        // operator names its sensor, as for an empty EEPROM, and the unit
        // can be repaired from here.
        if (s.oldBoard) {
            return OpResult::Failed;
        }
        sensor = chosenSensor();
    }
    applySensor(*sensor);

    if (s.oldBoard) {
        s.settings.pixelFlip = file.GetInt(sections::kExtendOptions, "PixelFlip");
        s.settings.initPane = file.GetLong(sections::kExtendOptions, "InitPane");
        s.settings.unitPanes = s.settings.initPane;
        s.settings.irradDist =
            readInt(file, sections::kExtendOptions, "IrradDist", defaults::kIrradDist);
        s.badPixels.clear();
    } else {
        readFactoryDefaults(file);
    }
    s.limits.current = std::clamp(s.limits.current, s.limits.minimum, s.limits.maximum);
    s.flags.option.assign(option_bits::kPixelFlip, (s.settings.pixelFlip & 1) != 0);
    return OpResult::Done;
}

void ChannelSetup::readFactoryDefaults(ProfileFile &file) {
    const char *section = sections::kFactoryDefault;
    std::int64_t time = readInt(file, section, "IntTime", s.limits.minimum);
    // A Serial.ini gives the TCD1304 time in ms like every other sensor.
    if (s.geometry.boardType == kBoardTcd1304 &&
        s.channels[static_cast<std::size_t>(s.currentChannel)].onSerialIni != 0) {
        time *= 100;
    }
    s.limits.current = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(time, s.limits.minimum, s.limits.maximum));
    s.settings.pixelFlip = file.GetInt(section, "PixelFlip");
    s.settings.initPane = file.GetLong(section, "InitPane");
    s.settings.unitPanes = s.settings.initPane;
    s.settings.irradDist = readInt(file, section, "IrradDist", defaults::kIrradDist);
    s.settings.builtInShutter = file.GetInt(section, "BuiltInShutter") == 1;
    s.badPixels = parseBadPixels(file.GetText(section, "BadPixels"), s.geometry.boardType);
    s.oddEven = OddEvenAdjustment{};
    if (s.HasCoolerRecord()) {
        s.oddEven.autoAdjStep = file.GetInt(sections::kQx30, "AutoAdjStep");
        s.oddEven.firstStep = file.GetInt(sections::kQx30, "FirstStep");
        s.oddEven.secondStep = file.GetInt(sections::kQx30, "SecondStep");
    }
}

void ChannelSetup::ApplySensorGeometry() {
    const auto row = geometryFor(s.geometry.boardType);
    if (row) {
        s.geometry.totalPixels = row->totalPixels;
        s.geometry.obStart = row->obStart;
        s.geometry.obCount = row->obCount;
        s.geometry.firstActivePixel = row->firstActivePixel;
        s.geometry.activePixels = row->activePixels;
        s.geometry.fftLength = row->fftLength;
    }
    s.geometry.adcBits = 16;
    s.model.name = modelStringFor(s.geometry.boardType);
    s.model.boardType = s.geometry.boardType;
    s.settings.initPane |= 4u;
    s.flags.option.set(option_bits::kGeometryApplied);
}

OpResult ChannelSetup::SetVariablesFromIni(const fs::path &path, Ask ask) {
    ProfileFile file(path);
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInSetVariablesFromIni);
        return OpResult::Failed;
    }
    readExtendOptions(file, ask);
    return OpResult::Done;
}

void ChannelSetup::readExtendOptions(ProfileFile &file, Ask ask) {
    const char *section = sections::kExtendOptions;
    SettingsTable::ReadKeys(file, s);
    s.settings.modelName = modelNameFor(file);
    checkIntegrationTime(storedIntegrationTime(file), ask);
    readInitPane(file);
    if (s.settings.initPane & 8u) {
        const SettingKey &distance = *SettingsTable::Find("IrradDist");
        const std::int32_t stored = readInt(file, section, "IrradDist", s.settings.irradDist);
        s.settings.irradDist =
            static_cast<std::int32_t>(SettingsTable::Limit(distance, static_cast<double>(stored)));
        s.settings.irradLux = file.GetInt(section, "IrradLux") != 0 ? 1 : 0;
    }
    s.photometry.areaFactor = 1.0f;
    s.photometry.coneAngle = 180.0f;
    const auto extra = parseBadPixels(file.GetText(section, "BadPixels"), s.geometry.boardType);
    s.badPixels.insert(s.badPixels.end(), extra.begin(), extra.end());
}

// The serial of the current unit as the key of its own settings; empty for
// a channel without one (Serial.ini, the single-board mode).
std::string ChannelSetup::unitKey() const {
    if (s.oldBoard || s.channels.empty() || s.currentInfo().onSerialIni != 0) {
        return {};
    }
    return s.currentInfo().unitFile.stem().string();
}

// This run's own value of the unit first, then the file's value of the
// unit, then the one value of files written before units had their own.
std::int32_t ChannelSetup::storedIntegrationTime(ProfileFile &file) const {
    const std::string key = unitKey();
    if (!key.empty()) {
        if (const auto known = unitTimes.find(key); known != unitTimes.end()) {
            return known->second;
        }
        if (const std::int32_t own = file.GetInt(sections::kUnitIntegrationTimes, key); own > 0) {
            return own;
        }
    }
    return file.GetInt(sections::kExtendOptions, "IntTime");
}

void ChannelSetup::RememberIntegrationTime() {
    if (const std::string key = unitKey(); !key.empty()) {
        unitTimes[key] = s.limits.current;
    }
}

std::string ChannelSetup::modelNameFor(ProfileFile &file) const {
    if (s.settings.calNo > 0) {
        return file.GetText(sections::customCalibration(s.settings.calNo), "Name");
    }
    return upperCase(
        s.channels[static_cast<std::size_t>(s.currentChannel)].unitFile.stem().string());
}

void ChannelSetup::checkIntegrationTime(std::int32_t stored, Ask ask) {
    if (stored != 0) {
        s.limits.current = std::clamp(stored, s.limits.minimum, s.limits.maximum);
    }
    if (s.settings.tcdOnly != 0) {
        return;
    }
    const bool tcd = s.geometry.boardType == kBoardTcd1304;
    const char *question = nullptr;
    std::int32_t replacement = 0;
    if (!tcd && s.limits.current >= 400) {
        question = messages::kIntegrationTooHigh;
        replacement = 35;
    } else if (tcd && s.limits.current < 100) {
        question = messages::kIntegrationTooLow;
        replacement = 3500;
    }
    if (question == nullptr) {
        return;
    }
    // Without a unit there is no exposure to protect: the question would greet
    // every start in the no-device mode, so its default applies silently.
    if (ask == Ask::Yes && !s.NoDeviceMode() &&
        prompter.askYesNo(formatWithNumber(question, s.limits.current))) {
        return;
    }
    s.limits.current = std::clamp(replacement, s.limits.minimum, s.limits.maximum);
}

void ChannelSetup::readInitPane(ProfileFile &file) {
    s.settings.initPane = readLong(file, sections::kExtendOptions, "InitPane", s.settings.initPane);
    s.settings.unitPanes |= s.settings.initPane;
    if (s.settings.initPane > 4) {
        const bool calibrated =
            platform::fileExists(s.programFolder / files::irradianceCalibrationName(s.channelId)) ||
            platform::fileExists(s.programFolder / files::kIrradianceStandard);
        if (!calibrated) {
            s.settings.initPane = 4;
        }
    }
}

void ChannelSetup::ResetAxisLimits() {
    s.display.pixelStart = 1;
    s.display.pixelEnd = s.geometry.activePixels;
    s.display.countMin = 0;
    s.display.countMax = static_cast<std::int32_t>((1u << s.geometry.adcBits) - 1u);
    s.signalThreshold = 0.0002f * static_cast<float>(s.display.countMax);
}

} // namespace quillon
