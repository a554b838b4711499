// The measurement object of the main program: settings, channel start-up,
// the current channel's records and buffers. There is one per process,
// created and owned by the main frame and reachable through Instance().
#ifndef QUILLON_APP_DATACONTROL_DATA_CONTROL_H
#define QUILLON_APP_DATACONTROL_DATA_CONTROL_H

#include "datacontrol/display_flags.h"
#include "datacontrol/profile_file.h"
#include "datacontrol/records.h"
#include "datacontrol/sensors.h"
#include "platform/prompter.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// Operations return 1 for success, 0 for "try again" (start-up only) and -1
// for a failure that has already been shown to the user.
class DataControl {
public:
    explicit DataControl(Prompter &prompter);
    ~DataControl();
    DataControl(const DataControl &) = delete;
    DataControl &operator=(const DataControl &) = delete;

    // The live instance, or null when none exists.
    static DataControl *Instance();

    // Start-up and close (the main frame repeats StartUp while it returns 0).
    int StartUp();
    int ConfigureChannel(int channel, int ask);
    int FinishStartUp();
    int InitializeHardware();
    void CloseDown();

    int SetVariablesFromEEPROMData(const std::filesystem::path &path);
    int SetVariablesFromIni(const std::filesystem::path &path, int ask);
    // 1 old single-board mode, 0 multi-channel, -1 the file cannot be read.
    int IsOldBoard(const std::filesystem::path &path);
    std::string GetSNFromOldIni(const std::filesystem::path &path);
    void ApplySensorGeometry();
    void ResetAxisLimits();
    int AllocatePixelBuffers();

    int WriteChannelId(int newId);
    int WriteUnitFileToEeprom();
    int ReportDisconnection();

    bool NoDeviceMode() const { return flags.option.test(option_bits::kNoDevice); }
    bool HasCoolerRecord() const;

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
    bool ilxSeen = false; // an ILX511/ILX554 channel was configured this run
    bool tcdSeen = false; // a TCD1304 channel was configured this run
    bool abort = false;   // start-up ended the program: settings are not written

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

private:
    int findProgramFolder();
    int testConnections();
    int startOldBoard();
    int startMultiChannel();
    int setUpPorts();
    int readUnitFile(int port);
    int adoptSerialIni(int port);
    bool hasDuplicateUnitFiles() const;
    bool applySensor(const SensorSpec &spec);
    void readFactoryDefaults(ProfileFile &file);
    void readExtendOptions(ProfileFile &file, int ask);
    void checkIntegrationTime(std::int32_t stored, int ask);
    void readInitPane(ProfileFile &file);
    std::string modelNameFor(ProfileFile &file) const;
    int lowerMaximumIntegration(std::int32_t maximum);
    int selectFeedbackCapacitor();
    int adjustOddEvenSteps();
    void writeBackSettings();
    void removeTempIniFiles();
    void releaseBuffers();
    void showForPort(const char *text, int port);

    Prompter &prompter;
    bool started = false;
    bool closed = false;
};

// FirstStep/SecondStep from a frame taken with the input blocked: the first
// n raw values are inverted (65535 - v) and the mean of the even-indexed
// ones compared with the mean of the odd-indexed ones.
OddEvenAdjustment oddEvenStepsFromDarkFrame(std::span<const std::int32_t> raw, int n);

// The serial number in an EEPROM text: the value of the first line holding
// "NAME=" (any case), upper-cased, without blanks. Empty when there is none.
std::string serialFromEepromText(std::string_view text);

// Replaces "%d" in a fixed message text by a number.
std::string formatWithNumber(std::string_view text, int number);

} // namespace quillon

#endif
