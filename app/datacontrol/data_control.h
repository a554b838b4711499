// The measurement object of the main program: settings, channel start-up,
// the current channel's records and buffers. There is one per process,
// created and owned by the main frame and reachable through Instance().
//
// What the front ends (GUI, command line) use:
//   StartUp, FinishStartUp, ChangeChannel(channel), CloseDown
//   AcquireScan()                   one scan on the calling thread (the worker's pass,
//                                   see acquisition_pass.h, or a command-line loop)
//   TakeDarkScan, TakeReferenceScan one-shot scans now, under hold when a worker runs;
//   RequestDarkScan, RequestReferenceScan   the same, left to the worker's next pass
//   SetDisplayMode, CycleDisplayMode, SetXUnit, SetWavelengthBase
//   ChangeAcquisition(change, skipIntegration)   settings changed under the hold protocol;
//   SuspendAcquisition / ResumeAcquisition       the bracket for longer dialogs
//   CurrentResult()                 the values to draw: N pixels with the wavelength
//                                   table, or G grid points from grid.start by grid.interval
//   SaveDarkRef, SwapConfiguration, SaveColorTile, LoadColorTile
#ifndef QUILLON_APP_DATACONTROL_DATA_CONTROL_H
#define QUILLON_APP_DATACONTROL_DATA_CONTROL_H

#include "datacontrol/display_flags.h"
#include "datacontrol/profile_file.h"
#include "datacontrol/records.h"
#include "datacontrol/sensors.h"
#include "datacontrol/wavelength_calibration.h"
#include "platform/auto_reset_event.h"
#include "platform/prompter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// What is on screen: the values of the current mode on the pixel base (N
// values, x from the wavelength table) or on the wavelength grid (G values,
// x = start + i * step).
struct ScanResult {
    std::span<const float> values;
    std::span<const float> wavelengths; // pixel base only
    bool wavelengthBase = false;
    double start = 0.0;
    double step = 0.0;
};

// AcquireScan's answers besides 1: no trigger yet (external trigger), and
// no scan because the unit does not answer (the last spectrum stays).
inline constexpr int kScanNoTrigger = -99;
inline constexpr int kScanNoUnit = 0;

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
    // False when the settings could not be written back; the user has been
    // told, naming the file.
    bool CloseDown();

    int SetVariablesFromEEPROMData(const std::filesystem::path &path);
    int SetVariablesFromIni(const std::filesystem::path &path, int ask);
    // 1 old single-board mode, 0 multi-channel, -1 the file cannot be read.
    int IsOldBoard(const std::filesystem::path &path);
    std::string GetSNFromOldIni(const std::filesystem::path &path);
    void ApplySensorGeometry();
    void ResetAxisLimits();
    int AllocatePixelBuffers();
    // ConfigureChannel and everything FinishStartUp does after it, under
    // hold: the GUI's and the command line's channel change.
    int ChangeChannel(int channel);

    // Wavelength calibration and grid.
    int ReadCalData();
    void ResetGrid();
    int AllocateGridBuffers();
    void ComputeWavelengthTables();
    int RebuildWavelengthGrid();
    void RefreshReferenceMinusDark();

    // Scans (worker thread, or the interface thread under hold).
    int AcquireScan(int colourScaling = 0);
    // The steps of AcquireScan after the frame read, on the raw frame as it
    // is: corrections into the spectrum, then smoothing and the display
    // quantity. Benchmarks time the processing with these.
    void CorrectRawFrame();
    int ProcessSpectrum(int colourScaling);
    int TakeDarkScan();
    int TakeReferenceScan();
    // 0 when refused: the source is a file, or a one-shot scan is pending.
    int RequestDarkScan();
    int RequestReferenceScan();
    ScanResult CurrentResult() const;

    // Display mode and axis.
    void SetDisplayMode(DisplayMode mode);
    DisplayMode CycleDisplayMode();
    void SetXUnit(XUnit unit);
    void SetWavelengthBase(bool on);

    // The hold protocol (see data_control_hold.cpp).
    int SuspendAcquisition(int byDialog);
    void ResumeAcquisition(int byDialog);
    int ApplyAcquisitionChange(int skipIntegration);
    int ReapplyIntegrationTime();
    int ChangeAcquisition(const std::function<void(DataControl &)> &change, int skipIntegration);
    // Two scan-done signals, or none needed: true when no pass can be
    // running any more, false when the wait limit was reached first.
    bool WaitForQuietWorker();
    // Called by the acquisition worker at the end of every pass and when it
    // leaves its loop.
    void SignalScanDone() { scanDone.set(); }
    void BackupViewSettings();
    void RestoreViewSettings();

    // Dark/reference snapshot and colour tile.
    int SaveDarkRef();
    int SwapConfiguration();
    int SaveColorTile(const std::filesystem::path &path);
    int LoadColorTile(const std::filesystem::path &path);

    int WriteChannelId(int newId);
    int WriteUnitFileToEeprom();
    int ReportDisconnection();
    bool UnitDisconnected() const { return disconnected.load(); }

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
    ViewSettingsBackup viewBackup;
    ScanParameters scanParameters;
    DarkCondition darkCondition;
    MemoryList memory;
    std::string commentText; // third text of a played-back scan
    WavelengthGrid grid;
    int calibrationPolynomialOrder = 1;
    // Both flag words saved before a one-shot dark or reference scan.
    std::atomic<std::uint32_t> oneShotFlags{0};
    // Longest wait for one scan-done signal; 0 derives it from the
    // integration time and the read time-out.
    std::chrono::milliseconds scanDoneLimit{0};

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
    bool writeBackSettings();
    void removeTempIniFiles();
    void releaseBuffers();
    void showForPort(const char *text, int port);
    int finishConfiguration();
    int readCalibration(bool reportFailures);
    void usePixelAxisCalibration();
    void saveCurrentConfiguration();
    void prepareScratch();
    int sendIntegrationTime(bool report = true);
    int sendSoftwareTriggerMode();
    std::chrono::milliseconds scanDoneWaitLimit() const;
    bool waitForOnePass(std::chrono::milliseconds limit);
    // Scans.
    int readFrames();
    int readFrameFromUnit();
    int readOneFrame();
    int readAveragedFrames();
    void correctFrameCounts(bool scale);
    void convertToRatio(bool colourScaling, bool wavelengthBase);
    int requestOneShot(DisplayMode mode, std::uint16_t readyBit);
    int noteFailedRead(int result);
    int reconnectUnit();
    bool playBackNextItem();
    void storeDarkScan();
    void storeReferenceScan();
    void restoreOneShotFlags();
    int takeOneShot(DisplayMode mode, std::uint16_t readyBit);
    void finishRatioModes(bool wavelengthBase);

    AutoResetEvent scanDone;
    std::atomic<bool> disconnected{false};
    std::uint16_t rememberedHold = 0;
    int suspendDepth = 0; // interface thread only

    Prompter &prompter;
    bool started = false;
    bool closed = false;
};

// FirstStep/SecondStep from a frame taken with the input blocked: the first
// n raw values are inverted (65535 - v) and the mean of the even-indexed
// ones compared with the mean of the odd-indexed ones. The steps cancel the
// difference under the InGaAs correction (even += FirstStep, odd += SecondStep).
OddEvenAdjustment oddEvenStepsFromDarkFrame(std::span<const std::int32_t> raw, int n);

// The serial number in an EEPROM text: the value of the first line holding
// "NAME=" (any case), upper-cased, without blanks. Empty when there is none.
std::string serialFromEepromText(std::string_view text);

// Replaces "%d" in a fixed message text by a number.
std::string formatWithNumber(std::string_view text, int number);

} // namespace quillon

#endif
