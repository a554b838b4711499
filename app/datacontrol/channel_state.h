// What the measurement object knows about the channels and the current
// channel: folders, the channel list, the records of the current unit, the
// flag words and the buffers. The parts of DataControl share one instance;
// front ends see it read-only through DataControl::State().
#ifndef QUILLON_APP_DATACONTROL_CHANNEL_STATE_H
#define QUILLON_APP_DATACONTROL_CHANNEL_STATE_H

#include "datacontrol/display_flags.h"
#include "datacontrol/records.h"
#include "datacontrol/sensors.h"
#include "datacontrol/wavelength_calibration.h"
#include "datafiles/memory_list.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon {

struct ChannelState {
    // Folders and files.
    std::filesystem::path programFolder;
    std::filesystem::path dataFolder;
    std::filesystem::path iniFolder;
    std::filesystem::path mainSettingsPath;

    bool oldBoard = false; // main settings file is Quillon.ini
    std::int16_t channelCount = 0;
    std::int16_t currentChannel = 0;
    std::int16_t channelId = 0;
    std::vector<ChannelInfo> channels;

    SensorGeometry geometry;
    IntegrationLimits limits;
    ModelRecord model;
    AcquisitionRecord acquisition;
    DisplayRecord display;
    CoolerRecord cooler;
    OddEvenAdjustment oddEven;
    PeakSettings peaks;
    TraceColors colors;
    PhotometricTotals photometry;
    UserSettings settings;
    TriggerSettings trigger;
    std::vector<int> badPixels; // raw frame indexes
    float signalThreshold = 0.0f;
    DisplayFlags flags;
    SpectrumBuffers buffers;
    SavedConfiguration saved;
    ViewSettingsBackup viewBackup;
    ScanParameters scanParameters;
    DarkCondition darkCondition;
    MemoryList memory;
    std::string commentText; // third text of a played-back scan
    WavelengthGrid grid;
    int calibrationPolynomialOrder = 1;

    bool NoDeviceMode() const { return flags.option.test(option_bits::kNoDevice); }
    bool HasCoolerRecord() const { return hasCoolerRecord(geometry.boardType); }
    // The unit file of the current channel.
    const ChannelInfo &currentInfo() const {
        return channels[static_cast<std::size_t>(currentChannel)];
    }
    ChannelInfo &currentInfo() { return channels[static_cast<std::size_t>(currentChannel)]; }
    // The copy that the dark/reference swap exchanges with the snapshot.
    void saveCurrentConfiguration() {
        saved.geometry = geometry;
        saved.acquisition = acquisition;
        saved.display = display;
        saved.model = model;
        saved.limits = limits;
        saved.statusWord = flags.status.load();
    }
};

} // namespace quillon

#endif
