// The device side of a configured channel: buffers, hardware set-up, the
// channel ID and EEPROM write-back, and the close sequence.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"
#include "datacontrol/settings.h"
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

int DataControl::AllocatePixelBuffers() {
    try {
        const std::size_t total = geometry.totalPixels;
        const std::size_t active = geometry.activePixels;
        buffers.rawFrame.assign(total, 0);
        buffers.spectrum.assign(std::max<std::size_t>(geometry.fftLength, active), 0.0f);
        buffers.dark.assign(active, 0.0f);
        buffers.reference.assign(active, 0.0f);
        buffers.wavelengthTable.assign(active, 0.0f);
        buffers.pixelResult.assign(active, 0.0f);
        prepareScratch();
    } catch (const std::bad_alloc &) {
        releaseBuffers();
        prompter.message(messages::kPixelMemory);
        return -1;
    }
    return 1;
}

// The scratch of the scan pipeline, sized for the current settings so that
// a scan allocates nothing. Throws std::bad_alloc.
void DataControl::prepareScratch() {
    const std::size_t length = std::max<std::size_t>(geometry.fftLength, 1);
    if (buffers.twiddles.length() != length) {
        buffers.twiddles = FftTwiddles(length);
    }
    buffers.fftImag.assign(length, 0.0f);
    constexpr std::size_t kLargestUsualBinning = 10;
    buffers.binningRing.assign(
        std::max<std::size_t>(acquisition.binningAverage, kLargestUsualBinning) + 1, 0.0);
    constexpr std::size_t kLargestUsualFilter = 31;
    buffers.filterWindow.assign(
        std::max<std::size_t>(static_cast<std::size_t>(std::max(settings.filterWin, 1)),
                              kLargestUsualFilter),
        0.0f);
    buffers.frameSum.assign(geometry.activePixels, 0.0);
    buffers.filterCopy.resize(std::max(buffers.filterCopy.size(), buffers.pixelResult.size()));
}

void DataControl::releaseBuffers() {
    buffers = SpectrumBuffers{};
}

// The newer electronics start in the software trigger mode of their sensor.
int DataControl::sendSoftwareTriggerMode() {
    if (geometry.newDevice != 1) {
        return 1;
    }
    int mode = -1;
    if (geometry.boardType == kBoardIlx511) {
        mode = 0;
    } else if (geometry.boardType == kBoardS7031 || geometry.boardType == kBoardS10420) {
        mode = 2;
    }
    return mode >= 0 ? ovSetIntMode(mode, limits.current, currentChannel) : 1;
}

int DataControl::sendIntegrationTime(bool report) {
    if (NoDeviceMode()) {
        return 1;
    }
    const int timeSet = geometry.boardType == kBoardTcd1304
                            ? ovSetDblIntEx(limits.current / 100.0, currentChannel)
                            : ovSetIntEx(limits.current, currentChannel);
    if (timeSet < 0) {
        if (report) {
            showForPort(messages::kIntegrationTime, currentChannel);
        }
        return -1;
    }
    return 1;
}

int DataControl::InitializeHardware() {
    if (NoDeviceMode()) {
        return 1;
    }
    const int channel = currentChannel;
    if (settings.builtInShutter) {
        ovSetShutterPos(0, channel);
        flags.setDarkSource(DarkSource::BuiltInShutter);
    }
    if (ovInitGivenChannel(geometry.boardType, channel) < 0) {
        showForPort(messages::kInitializePort, channel);
        return -1;
    }
    if (sendSoftwareTriggerMode() < 0) {
        showForPort(messages::kSoftwareTrigger, channel);
        return -1;
    }
    if (sendIntegrationTime() != 1) {
        return -1;
    }
    if (HasCoolerRecord()) {
        if (ovSetTEC(cooler.tec, channel) < 0) {
            showForPort(messages::kTeCooling, channel);
            return -1;
        }
        if (selectFeedbackCapacitor() != 1) {
            return -1;
        }
    }
    if (oddEven.autoAdjStep != 0) {
        return adjustOddEvenSteps();
    }
    return 1;
}

// The G9208-512 saturates sooner with the small capacitor: its longest time
// depends on the CAP choice.
int DataControl::lowerMaximumIntegration(std::int32_t maximum) {
    if (geometry.inGaAsKind != 2) {
        return 1;
    }
    limits.maximum = maximum;
    if (limits.current > maximum) {
        limits.current = maximum;
        if (ovSetIntEx(limits.current, currentChannel) < 0) {
            showForPort(messages::kIntegrationTime, currentChannel);
            return -1;
        }
    }
    return 1;
}

int DataControl::selectFeedbackCapacitor() {
    int value = -1;
    if (cooler.cap == 10) {
        if (lowerMaximumIntegration(500) != 1) {
            return -1;
        }
        value = 1;
    } else if (cooler.cap == 1) {
        if (lowerMaximumIntegration(30) != 1) {
            return -1;
        }
        value = 0;
    }
    if (value >= 0 && ovSelectCF(value, currentChannel) < 0) {
        showForPort(messages::kSelectCf, currentChannel);
        return -1;
    }
    return 1;
}

int DataControl::adjustOddEvenSteps() {
    prompter.message(messages::kOddEvenPrompt);
    std::vector<int> frame(std::max<std::size_t>(geometry.totalPixels, 1), 0);
    if (ovReadDataEx(frame.data(), currentChannel) != OV_OK) {
        ReportDisconnection();
        return -1;
    }
    const OddEvenAdjustment steps = oddEvenStepsFromDarkFrame(
        std::span<const std::int32_t>(frame.data(), frame.size()), geometry.activePixels);
    oddEven.firstStep = steps.firstStep;
    oddEven.secondStep = steps.secondStep;
    return 1;
}

// Called on the acquisition worker: the GUI's Prompter carries the box to
// its own thread and blocks here until the operator has answered.
int DataControl::ReportDisconnection() {
    prompter.message(messages::kDisconnected);
    return 1;
}

int DataControl::WriteChannelId(int newId) {
    if (ovWriteChannelID(newId, currentChannel) < 0) {
        showForPort(messages::kWriteChannelId, currentChannel);
        return -1;
    }
    channelId = static_cast<std::int16_t>(newId);
    return 1;
}

int DataControl::WriteUnitFileToEeprom() {
    if (currentChannel < 0 || static_cast<std::size_t>(currentChannel) >= channels.size()) {
        return -1;
    }
    ChannelInfo &channel = channels[static_cast<std::size_t>(currentChannel)];
    std::ifstream in(channel.unitFile, std::ios::binary);
    const std::string text = UnitTextForEeprom(std::string(std::istreambuf_iterator<char>(in), {}));
    // An unreadable or empty unit file would wipe the unit's calibration.
    const bool haveText = !text.empty();
    if (haveText) {
        ovSetEEPROMData(text.c_str());
    }
    if (!haveText || ovWriteEEPROM(nullptr, currentChannel) < 0) {
        showForPort(messages::kWriteEeprom, currentChannel);
        channel.onSerialIni = 1;
        return -1;
    }
    channel.onSerialIni = 0;
    return 1;
}

void DataControl::CloseDown() {
    if (closed) {
        return;
    }
    closed = true;
    const bool device = !NoDeviceMode() && channelCount > 0;
    if (device && geometry.boardType == kBoardTcd1304 &&
        ovSetTrgEx(OV_TRIGGER_INTERNAL, currentChannel) < 0) {
        showForPort(messages::kInternalTriggerOnClose, currentChannel);
    }
    if (!abort && !mainSettingsPath.empty()) {
        writeBackSettings();
    }
    releaseBuffers();
    if (device) {
        ovCloseAllChannels();
    }
    removeTempIniFiles();
}

void DataControl::writeBackSettings() {
    ProfileFile file;
    file.SetPath(mainSettingsPath);
    // A file that exists but cannot be read keeps its content: writing would
    // replace the user's settings with what this run happens to hold.
    if (!file.Load() && platform::fileExists(mainSettingsPath)) {
        return;
    }
    const char *s = sections::kExtendOptions;
    const std::int32_t time = ilxSeen && tcdSeen
                                  ? static_cast<std::int32_t>(std::lround(limits.current / 100.0))
                                  : limits.current;
    file.PutInt(s, "IntTime", time);
    file.PutInt(s, "TimeAV", acquisition.timeAverage);
    file.PutInt(s, "BinningAV", acquisition.binningAverage);
    file.PutInt(s, "FFT", acquisition.smoothingPercent);
    file.PutReal(s, "StartWL", display.wavelengthStart);
    file.PutReal(s, "EndWL", display.wavelengthEnd);
    file.PutReal(s, "IntervalWL", display.wavelengthStep);
    file.PutReal(s, "ColorTemp", settings.colorTemp);
    file.PutText(s, "Title", settings.title);
    file.PutText(s, "SubTitle", settings.subTitle);
    file.PutReal(s, "NoiseRatio", peaks.noiseRatio);
    file.PutReal(s, "NoiseLine", peaks.noiseLine);
    file.PutInt(s, "NoiseCutoff", peaks.noiseCutoff);
    file.PutInt(s, "NoiseHighLow", peaks.noiseHighLow);
    file.PutLong(s, "InitSet", flags.packed());
    file.PutLong(s, "InitOption", settings.displayWord);
    file.PutLong(s, "InitColor", settings.colorWord);
    file.PutReal(s, "RefWhite", settings.refWhite);
    file.PutReal(s, "RefMax", settings.refMax);
    file.PutReal(s, "MaxT", display.trMax);
    file.PutReal(s, "MinT", display.trMin);
    file.PutReal(s, "MaxA", display.absMax);
    file.PutReal(s, "MinA", display.absMin);
    file.PutReal(s, "MaxI", display.irrMax);
    file.PutReal(s, "MinI", display.irrMin);
    file.PutInt(s, "CalNo", settings.calNo);
    if (HasCoolerRecord()) {
        file.PutInt(s, "TEC", cooler.tec);
        file.PutInt(s, "CAP", cooler.cap);
        if (!NoDeviceMode() && channelCount > 0) {
            ovSetTEC(0, currentChannel);
        }
    }
    file.PutInt(s, "FilterOn", settings.filterOn);
    file.PutInt(s, "FilterWin", settings.filterWin);
    file.PutLong(s, "BackColor", colors.back);
    file.PutLong(s, "PixelColor", colors.pixel);
    file.PutLong(s, "TransColor", colors.trans);
    file.PutLong(s, "AbsorbColor", colors.absorb);
    file.PutLong(s, "IrradColor", colors.irrad);
    if (settings.initPane & 8u) {
        file.PutInt(s, "IrradDist", settings.irradDist);
    }
    file.Save();
}

void DataControl::removeTempIniFiles() {
    if (iniFolder.empty()) {
        return;
    }
    for (int port = 0; port < kPortSlots; ++port) {
        platform::removeFileQuietly(iniFolder / files::tempIniName(port));
    }
}

} // namespace quillon
