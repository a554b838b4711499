// Start-up of the channels: folders, the main settings file, the USB scan,
// unit files from the EEPROM texts, and configuration of the current channel.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"
#include "datacontrol/settings.h"
#include "ovdbusbm.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <iostream>

namespace quillon {

namespace fs = std::filesystem;

namespace {

DataControl *liveInstance = nullptr;

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char &c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// The serial becomes a file name in the Ini folder: characters that would
// leave that folder or are not allowed in file names are replaced.
std::string safeFileStem(std::string serial) {
    for (char &c : serial) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F ||
            std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    if (!serial.empty() && serial.front() == '.') {
        serial.front() = '_';
    }
    return serial;
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

DataControl::DataControl(Prompter &userPrompter) : prompter(userPrompter) {
    if (liveInstance == nullptr) {
        liveInstance = this;
    }
}

DataControl::~DataControl() {
    if (started && !closed) {
        // A failed save has been shown to the user already.
        static_cast<void>(CloseDown());
    }
    if (liveInstance == this) {
        liveInstance = nullptr;
    }
}

DataControl *DataControl::Instance() {
    return liveInstance;
}

void DataControl::showForPort(const char *text, int port) {
    prompter.message(formatWithNumber(text, port));
}

bool DataControl::HasCoolerRecord() const {
    return hasCoolerRecord(geometry.boardType);
}

int DataControl::findProgramFolder() {
    const auto folder = platform::currentFolder();
    if (!folder) {
        std::cerr << "_getcwd error\n";
    } else {
        programFolder = *folder;
    }
    dataFolder = programFolder / files::kDataFolder;
    iniFolder = programFolder / files::kIniFolder;
    platform::ensureFolder(dataFolder);
    platform::ensureFolder(iniFolder);
    mainSettingsPath = programFolder / files::kMultiChannelSettings;
    return 1;
}

int DataControl::StartUp() {
    started = true;
    findProgramFolder();

    const int old = IsOldBoard(mainSettingsPath);
    if (old < 0) {
        abort = true;
        return -1;
    }
    oldBoard = old == 1;
    if (oldBoard) {
        mainSettingsPath = programFolder / files::kSingleBoardSettings;
    }

    if (NoDeviceMode()) {
        flags.option.set(option_bits::kMemoryMode);
        flags.status.set(status_bits::kHold);
        mainSettingsPath = programFolder / files::kSingleBoardSettings;
        oldBoard = true;
    } else {
        const int found = testConnections();
        if (found < 1) {
            if (found < 0) {
                abort = true;
            }
            return found;
        }
        channelCount = static_cast<std::int16_t>(found);
    }
    const int result = oldBoard ? startOldBoard() : startMultiChannel();
    if (result < 0) {
        abort = true;
    }
    return result;
}

// The USB scan; the number of units found, or the answer to the no-device box.
int DataControl::testConnections() {
    if (channelCount > 0) {
        ovCloseAllChannels();
    }
    const int found = ovTestAllChannels(0);
    if (found >= 1) {
        return found;
    }
    channelCount = 0;
    switch (prompter.askAbortRetryIgnore(messages::kNoDevice)) {
    case AbortRetryIgnore::Retry:
        return 0;
    case AbortRetryIgnore::Ignore:
        flags.option.set(option_bits::kNoDevice);
        return 0;
    case AbortRetryIgnore::Abort:
        break;
    }
    return -1;
}

int DataControl::startOldBoard() {
    channelCount = 1;
    channels.assign(1, ChannelInfo{});
    currentChannel = 0;
    channelId = 0;
    channels[0].unitFile = mainSettingsPath;
    channels[0].onSerialIni = 1;
    channels[0].boardType = NoDeviceMode() ? kBoardTcd1304 : kBoardIlx511;
    return ConfigureChannel(0, 1);
}

int DataControl::startMultiChannel() {
    channels.assign(static_cast<std::size_t>(channelCount), ChannelInfo{});
    currentChannel = 0;
    if (setUpPorts() < 1) {
        return 0;
    }
    for (int port = 0; port < channelCount; ++port) {
        const int result = readUnitFile(port);
        if (result < 1) {
            return result;
        }
    }
    if (hasDuplicateUnitFiles()) {
        prompter.message(messages::kDuplicateSerial);
        return -1;
    }
    return ConfigureChannel(currentChannel, 1);
}

int DataControl::setUpPorts() {
    for (int port = 0; port < channelCount; ++port) {
        if (ovSetupGivenChannel(port) < 0) {
            showForPort(messages::kSetupPort, port);
            return 0;
        }
        short id = 0;
        if (ovReadChannelID(&id, port) < 0) {
            showForPort(messages::kReadChannelId, port);
            return 0;
        }
    }
    return 1;
}

// Reads one port's EEPROM text and writes it to the port's unit file.
int DataControl::readUnitFile(int port) {
    std::string text;
    const int read = ovReadEEPROM(nullptr, port);
    if (read < 0 && read != OV_ERR_NO_DATA) {
        showForPort(messages::kReadEeprom, port);
        return 0;
    }
    if (read >= 0) {
        const char *data = ovGetEEPROMData();
        text = data != nullptr ? data : "";
    }

    std::string serial = serialFromEepromText(text);
    if (serial.empty()) {
        if (!prompter.askYesNo(formatWithNumber(messages::kEmptyEeprom, port))) {
            return -1;
        }
        serial = files::kSerialIni;
        const auto choice = prompter.chooseSensor(kSensorDialogTitle, sensorChoiceTexts());
        ChannelInfo &channel = channels[static_cast<std::size_t>(port)];
        if (choice && *choice >= 0 && static_cast<std::size_t>(*choice) < kSensorChoices.size()) {
            channel.boardType = kSensorChoices[static_cast<std::size_t>(*choice)].boardType;
            channel.inGaAsKind = kSensorChoices[static_cast<std::size_t>(*choice)].inGaAsKind;
        } else {
            // Closed without OK: the plainest sensor rather than whatever was there.
            channel.boardType = kBoardIlx511;
            channel.inGaAsKind = 0;
        }
    }
    if (serial == files::kSerialIni) {
        return adoptSerialIni(port);
    }

    ChannelInfo &channel = channels[static_cast<std::size_t>(port)];
    channel.onSerialIni = 0;
    channel.unitFile = iniFolder / (safeFileStem(serial) + files::kUnitFileExtension);
    if (!platform::replaceTextFile(channel.unitFile, text)) {
        prompter.message(messages::kSaveEeprom);
        return -1;
    }
    return 1;
}

int DataControl::adoptSerialIni(int port) {
    ChannelInfo &channel = channels[static_cast<std::size_t>(port)];
    channel.onSerialIni = 1;
    channel.unitFile = iniFolder / files::tempIniName(port);
    // A missing Serial.ini leaves no unit file; configuring the channel reports it.
    platform::copyFileOver(programFolder / files::kSerialIni, channel.unitFile);
    return 1;
}

bool DataControl::hasDuplicateUnitFiles() const {
    for (std::size_t i = 0; i < channels.size(); ++i) {
        for (std::size_t j = i + 1; j < channels.size(); ++j) {
            if (channels[i].unitFile == channels[j].unitFile) {
                return true;
            }
        }
    }
    return false;
}

int DataControl::ConfigureChannel(int channel, int ask) {
    if (channel < 0 || static_cast<std::size_t>(channel) >= channels.size()) {
        return -1;
    }
    currentChannel = static_cast<std::int16_t>(channel);
    if (NoDeviceMode()) {
        flags.option.set(option_bits::kMemoryMode);
        flags.status.set(status_bits::kHold);
    }
    const fs::path factoryFile =
        oldBoard ? mainSettingsPath : channels[static_cast<std::size_t>(channel)].unitFile;
    if (SetVariablesFromEEPROMData(factoryFile) != 1) {
        return -1;
    }
    ApplySensorGeometry();
    if (!oldBoard) {
        short id = 0;
        if (ovReadChannelID(&id, channel) < 0) {
            showForPort(messages::kReadChannelId, channel);
            return -1;
        }
        channelId = id;
    }
    if (SetVariablesFromIni(mainSettingsPath, ask) != 1) {
        return 0;
    }
    ResetAxisLimits();
    return 1;
}

int DataControl::IsOldBoard(const fs::path &path) {
    ProfileFile file(path);
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInIsOldBoard);
        return -1;
    }
    const int old = file.GetInt(sections::kExtendOptions, "OldBoard");
    settings.cie1931 =
        readInt(file, sections::kExtendOptions, "BaseCIE", defaults::kBaseCIE) == 1931;
    return old != 0 ? 1 : 0;
}

std::string DataControl::GetSNFromOldIni(const fs::path &path) {
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

bool DataControl::applySensor(const SensorSpec &spec) {
    geometry.boardType = spec.boardType;
    geometry.inGaAsKind = spec.inGaAsKind;
    ChannelInfo &channel = channels[static_cast<std::size_t>(currentChannel)];
    channel.boardType = spec.boardType;
    channel.inGaAsKind = spec.inGaAsKind;
    limits.minimum = spec.minIntegration;
    limits.maximum = spec.maxIntegration;
    limits.current = spec.minIntegration;
    ilxSeen = ilxSeen || spec.ilxType;
    tcdSeen = tcdSeen || spec.tcd1304;
    if (hasCoolerRecord(spec.boardType)) {
        cooler.minIntegration = spec.minIntegration;
    }
    if (geometry.newDevice == 1) {
        if (spec.newDeviceTriggerMode >= 0) {
            trigger.triggerMode = spec.newDeviceTriggerMode;
        }
        if (spec.newDeviceFrameChoice >= 0) {
            trigger.frameChoice = spec.newDeviceFrameChoice;
        }
        if (spec.newDeviceIntegrationMode >= 0) {
            trigger.integrationMode = spec.newDeviceIntegrationMode;
        }
    }
    return true;
}

int DataControl::SetVariablesFromEEPROMData(const fs::path &path) {
    // Only the main settings file is created when missing; a missing unit
    // file must be reported, not replaced by an empty one.
    ProfileFile file;
    if (oldBoard) {
        file = ProfileFile(path);
    } else {
        file.SetPath(path);
    }
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInSetVariablesFromEEPROMData);
        return -1;
    }
    settings.builtInShutter = false;
    if (!NoDeviceMode()) {
        int packetSize = 0;
        const int speed = ovCheckSpeedMode(&packetSize, currentChannel);
        geometry.speedMode = static_cast<std::int16_t>(speed == OV_OK ? packetSize : speed);
        geometry.newDevice = static_cast<std::int16_t>(ovGetDevIsNew(currentChannel));
    }

    const ChannelInfo &channel = channels[static_cast<std::size_t>(currentChannel)];
    std::optional<SensorSpec> sensor;
    if (channel.onSerialIni != 0) {
        sensor = sensorFromBoardType(channel.boardType, channel.inGaAsKind);
    } else {
        sensor = sensorFromCcdName(file.GetText(sections::kFactoryDefault, "CCD"));
    }
    if (!sensor) {
        prompter.message(messages::kUnknownBoard);
        return -1;
    }
    applySensor(*sensor);

    if (oldBoard) {
        settings.pixelFlip = file.GetInt(sections::kExtendOptions, "PixelFlip");
        settings.initPane = file.GetLong(sections::kExtendOptions, "InitPane");
        settings.irradDist =
            readInt(file, sections::kExtendOptions, "IrradDist", defaults::kIrradDist);
        badPixels.clear();
    } else {
        readFactoryDefaults(file);
    }
    limits.current = std::clamp(limits.current, limits.minimum, limits.maximum);
    flags.option.assign(option_bits::kPixelFlip, (settings.pixelFlip & 1) != 0);
    return 1;
}

void DataControl::readFactoryDefaults(ProfileFile &file) {
    const char *section = sections::kFactoryDefault;
    std::int64_t time = readInt(file, section, "IntTime", limits.minimum);
    // A Serial.ini gives the TCD1304 time in ms like every other sensor.
    if (geometry.boardType == kBoardTcd1304 &&
        channels[static_cast<std::size_t>(currentChannel)].onSerialIni != 0) {
        time *= 100;
    }
    limits.current =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(time, limits.minimum, limits.maximum));
    settings.pixelFlip = file.GetInt(section, "PixelFlip");
    settings.initPane = file.GetLong(section, "InitPane");
    settings.irradDist = readInt(file, section, "IrradDist", defaults::kIrradDist);
    settings.builtInShutter = file.GetInt(section, "BuiltInShutter") == 1;
    badPixels = parseBadPixels(file.GetText(section, "BadPixels"), geometry.boardType);
    oddEven = OddEvenAdjustment{};
    if (HasCoolerRecord()) {
        oddEven.autoAdjStep = file.GetInt(sections::kQx30, "AutoAdjStep");
        oddEven.firstStep = file.GetInt(sections::kQx30, "FirstStep");
        oddEven.secondStep = file.GetInt(sections::kQx30, "SecondStep");
    }
}

void DataControl::ApplySensorGeometry() {
    const auto row = geometryFor(geometry.boardType);
    if (row) {
        geometry.totalPixels = row->totalPixels;
        geometry.obStart = row->obStart;
        geometry.obCount = row->obCount;
        geometry.firstActivePixel = row->firstActivePixel;
        geometry.activePixels = row->activePixels;
        geometry.fftLength = row->fftLength;
    }
    geometry.adcBits = 16;
    model.name = modelStringFor(geometry.boardType);
    model.boardType = geometry.boardType;
    settings.initPane |= 4u;
    flags.option.set(option_bits::kGeometryApplied);
}

int DataControl::SetVariablesFromIni(const fs::path &path, int ask) {
    ProfileFile file(path);
    if (!file.Load()) {
        prompter.message(messages::kOpenIniInSetVariablesFromIni);
        return -1;
    }
    readExtendOptions(file, ask);
    return 1;
}

void DataControl::readExtendOptions(ProfileFile &file, int ask) {
    const char *s = sections::kExtendOptions;
    // Kept within the setup panel's ranges: a count of 0 would divide by zero.
    acquisition.timeAverage = static_cast<std::uint16_t>(
        std::clamp(readInt(file, s, "TimeAV", defaults::kTimeAV), 1, 1000));
    acquisition.binningAverage = static_cast<std::uint16_t>(
        std::clamp(readInt(file, s, "BinningAV", defaults::kBinningAV), 0, 10));
    const int fft = std::clamp(readInt(file, s, "FFT", defaults::kFFT), 0, 100);
    acquisition.smoothingPercent = static_cast<std::uint16_t>(fft);
    flags.status.assign(status_bits::kSmoothingOn, fft >= 1);
    settings.colorTemp = readInt(file, s, "ColorTemp", defaults::kColorTemp);
    settings.title = readText(file, s, "Title", defaults::kTitle);
    settings.subTitle = readText(file, s, "SubTitle", defaults::kSubTitle);
    settings.calNo =
        adjustCalNo(file.GetInt(s, "CalNo"), oldBoard,
                    channels[static_cast<std::size_t>(currentChannel)].onSerialIni != 0);
    display.wavelengthStart = static_cast<float>(readReal(file, s, "StartWL", defaults::kStartWL));
    display.wavelengthEnd = static_cast<float>(readReal(file, s, "EndWL", defaults::kEndWL));
    display.wavelengthStep =
        static_cast<float>(readReal(file, s, "IntervalWL", defaults::kIntervalWL));
    display.trMax = static_cast<float>(readReal(file, s, "MaxT", defaults::kMaxT));
    display.absMax = static_cast<float>(readReal(file, s, "MaxA", defaults::kMaxA));
    display.irrMax = static_cast<float>(readReal(file, s, "MaxI", defaults::kMaxI));
    display.trMin = static_cast<float>(readReal(file, s, "MinT", defaults::kMinT));
    display.absMin = static_cast<float>(readReal(file, s, "MinA", defaults::kMinA));
    display.irrMin = static_cast<float>(readReal(file, s, "MinI", defaults::kMinI));
    peaks.noiseRatio = readReal(file, s, "NoiseRatio", defaults::kNoiseRatio);
    peaks.noiseLine = readReal(file, s, "NoiseLine", defaults::kNoiseLine);
    peaks.noiseCutoff = readInt(file, s, "NoiseCutoff", defaults::kNoiseCutoff);
    peaks.noiseHighLow = readInt(file, s, "NoiseHighLow", defaults::kNoiseHighLow);
    settings.refMax = readReal(file, s, "RefMax", defaults::kRefMax);
    settings.refWhite = readReal(file, s, "RefWhite", defaults::kRefWhite);
    colors.back = readLong(file, s, "BackColor", defaults::kBackColor);
    colors.pixel = readLong(file, s, "PixelColor", defaults::kPixelColor);
    colors.trans = readLong(file, s, "TransColor", defaults::kTransColor);
    colors.absorb = readLong(file, s, "AbsorbColor", defaults::kAbsorbColor);
    colors.irrad = readLong(file, s, "IrradColor", defaults::kIrradColor);
    applyInitSet(file.GetLong(s, "InitSet"), flags);
    settings.displayWord = readLong(file, s, "InitOption", defaults::kInitOption);
    settings.colorWord = readLong(file, s, "InitColor", defaults::kInitColor);
    settings.priority = readInt(file, s, "Priority", defaults::kPriority);
    settings.ovEdit = file.GetInt(s, "OVEdit");
    settings.modelName = modelNameFor(file);
    settings.tcdOnly = file.GetInt(s, "TCDOnly");
    const int convBit = readInt(file, s, "ConvBit", defaults::kConvBit);
    // Counts are 16-bit; another resolution would overflow the count ceiling.
    geometry.adcBits = static_cast<std::uint16_t>(convBit >= 1 && convBit <= 16 ? convBit : 16);
    checkIntegrationTime(file.GetInt(s, "IntTime"), ask);
    readInitPane(file);
    if (settings.initPane & 8u) {
        settings.irradDist = readInt(file, s, "IrradDist", settings.irradDist);
        settings.irradLux = file.GetInt(s, "IrradLux");
    }
    photometry.areaFactor = 1.0f;
    photometry.coneAngle = 180.0f;
    const auto extra = parseBadPixels(file.GetText(s, "BadPixels"), geometry.boardType);
    badPixels.insert(badPixels.end(), extra.begin(), extra.end());
    if (HasCoolerRecord()) {
        cooler.tec = readInt(file, s, "TEC", defaults::kTEC);
        cooler.cap =
            geometry.boardType == kBoardS7031 ? 0 : readInt(file, s, "CAP", defaults::kCAP);
    }
    settings.filterOn = file.GetInt(s, "FilterOn");
    settings.filterWin = readInt(file, s, "FilterWin", defaults::kFilterWin);
}

std::string DataControl::modelNameFor(ProfileFile &file) const {
    if (settings.calNo > 0) {
        return file.GetText(sections::customCalibration(settings.calNo), "Name");
    }
    return upperCase(channels[static_cast<std::size_t>(currentChannel)].unitFile.stem().string());
}

void DataControl::checkIntegrationTime(std::int32_t stored, int ask) {
    if (stored != 0) {
        limits.current = std::clamp(stored, limits.minimum, limits.maximum);
    }
    if (settings.tcdOnly != 0) {
        return;
    }
    const bool tcd = geometry.boardType == kBoardTcd1304;
    const char *question = nullptr;
    std::int32_t replacement = 0;
    if (!tcd && limits.current >= 400) {
        question = messages::kIntegrationTooHigh;
        replacement = 35;
    } else if (tcd && limits.current < 100) {
        question = messages::kIntegrationTooLow;
        replacement = 3500;
    }
    if (question == nullptr) {
        return;
    }
    // Without a unit there is no exposure to protect: the question would greet
    // every start in the no-device mode, so its default applies silently.
    if (ask == 1 && !NoDeviceMode() &&
        prompter.askYesNo(formatWithNumber(question, limits.current))) {
        return;
    }
    limits.current = std::clamp(replacement, limits.minimum, limits.maximum);
}

void DataControl::readInitPane(ProfileFile &file) {
    settings.initPane = readLong(file, sections::kExtendOptions, "InitPane", settings.initPane);
    if (settings.initPane > 4) {
        const bool calibrated =
            platform::fileExists(programFolder / files::irradianceCalibrationName(channelId)) ||
            platform::fileExists(programFolder / files::kIrradianceStandard);
        if (!calibrated) {
            settings.initPane = 4;
        }
    }
}

void DataControl::ResetAxisLimits() {
    display.pixelStart = 1;
    display.pixelEnd = geometry.activePixels;
    display.countMin = 0;
    display.countMax = static_cast<std::int32_t>((1u << geometry.adcBits) - 1u);
    signalThreshold = 0.0002f * static_cast<float>(display.countMax);
}

} // namespace quillon
