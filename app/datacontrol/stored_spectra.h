// The spectra the operator keeps: the memory list (recording, deleting,
// stepping), memory mode, the scan data file and the dark and reference
// files, bound to the measurement state. The file forms themselves are in
// datafiles/.
#ifndef QUILLON_APP_DATACONTROL_STORED_SPECTRA_H
#define QUILLON_APP_DATACONTROL_STORED_SPECTRA_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "datafiles/dark_files.h"
#include "datafiles/exports.h"
#include "datafiles/scan_data_file.h"
#include "platform/prompter.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

class AcquisitionHold;
class PeakList;
class Irradiance;
class ScanPipeline;
class UnitControl;
class WavelengthAxis;

// What a panel shows after a file operation: the result, the number of
// items, and its one-line status text.
struct StoreOutcome {
    OpResult result = OpResult::NotDone;
    int items = 0;
    std::string status;
};

// The forms the save panel writes besides the scan data file and the picture.
enum class ExportForm { Text, Csv, Jcamp, Spc };

// The graph's view: x from start to end, in pixel numbers on pixel-held
// data, else in nm.
struct ExportView {
    double xStart = 0.0;
    double xEnd = 0.0;
};

// The playback panel's stepping commands.
enum class Playback { ContinuousRewind, OneStepRewind, Stop, OneStepForward, ContinuousForward };

// The file a typed name stands for: `folder` (or the folder the name
// itself gives), the name cut before its last ".", and `extension`.
std::filesystem::path userFilePath(const std::filesystem::path &folder, const std::string &name,
                                   const char *extension);

// What an item stored from the last scan holds: the raw frame from the first
// active pixel and the scan value. None when the buffers do not hold a frame.
struct ScanCounts {
    std::span<const std::int32_t> counts;
    std::int32_t scanValue = 0;
};
std::optional<ScanCounts> countsOfLastScan(const ChannelState &s);

// "%02d/%02d/%04d  %02d:%02d:%02d" (month, day, year, time) of the local time now.
std::string captureTimeNow();
exports::CaptureTime localTimeNow();

class StoredSpectra {
public:
    StoredSpectra(ChannelState &state, AcquisitionHold &holds, WavelengthAxis &wavelengths,
                  ScanPipeline &scans, UnitControl &units, PeakList &foundPeaks,
                  const Irradiance &photometry, Prompter &userPrompter)
        : s(state), hold(holds), axis(wavelengths), pipeline(scans), unit(units), peaks(foundPeaks),
          irradiance(photometry), prompter(userPrompter) {}

    // "Record Data": the current scan's counts as a new item. Refused in
    // memory mode. Holds acquisition itself.
    [[nodiscard]] OpResult RecordItem();
    // "Delete Data": the selected item, in memory mode with more than one
    // item; then one step forward.
    [[nodiscard]] OpResult DeleteSelected();
    void Step(Playback command);
    // Shows item `index` (1-based) of the list in memory mode.
    [[nodiscard]] OpResult ShowItem(int index);

    // The scan data file: the context of the unit and every item.
    [[nodiscard]] StoreOutcome SaveScanData(const std::filesystem::path &file);
    // Loads a file into memory mode; a refused file changes nothing.
    [[nodiscard]] StoreOutcome LoadScanData(const std::filesystem::path &file);
    // Back to the unit's own configuration after a load (items stay).
    bool CanLeaveMemoryMode() const { return live.has_value(); }
    [[nodiscard]] OpResult LeaveMemoryMode();
    // Memory mode over the items recorded from this unit: the unit's
    // configuration is kept for LeaveMemoryMode and the first item is shown.
    // NotDone with no items or already in memory mode; Failed (the operator
    // told) when the items have another pixel count.
    [[nodiscard]] OpResult EnterMemoryMode();
    // Empties the memory list outside memory mode.
    [[nodiscard]] OpResult ClearList();
    // Before the close sequence or a channel change: the unit's own records
    // come back (they, not a file's, go into the settings) and memory mode
    // ends. Nothing is sent to the unit.
    void DropFileConfiguration();
    // Before the program ends: true when nothing unsaved would be lost, or
    // the operator agrees to lose it.
    [[nodiscard]] bool ConfirmEnd();

    [[nodiscard]] StoreOutcome SaveSpectrumFile(SpectrumFileKind kind,
                                                const std::filesystem::path &file);
    [[nodiscard]] StoreOutcome LoadSpectrumFile(SpectrumFileKind kind,
                                                const std::filesystem::path &file);

    // The export of the spectrum on screen, or of every item (memory mode):
    // nothing when acquisition does not pause. `view` defaults to the full
    // range of the display settings.
    [[nodiscard]] std::optional<std::string> ExportData(ExportForm form, exports::Which which,
                                                        std::optional<ExportView> view = {});
    ExportView FullView() const;
    // Writes a file beside its target and renames it over; a failure is
    // told to the operator.
    [[nodiscard]] StoreOutcome WriteExportFile(const std::filesystem::path &file,
                                               std::string_view bytes);
    exports::ExportHeader ExportHeaderNow() const;
    exports::ExportAxis ExportAxisFor(const ExportView &view) const;

    // The header every scan data file carries (also the time line's).
    ScanDataContext CurrentContext() const;

private:
    // The unit's configuration that a loaded file replaced.
    struct LiveConfiguration {
        ModelRecord model;
        SensorGeometry geometry;
        AcquisitionRecord acquisition;
        DisplayRecord display;
        IntegrationLimits limits;
        std::uint16_t statusWord = 0;
        std::uint16_t optionWord = 0;
        std::vector<float> dark;
        std::vector<float> reference;
        ScanParameters scanParameters;
        DarkCondition darkCondition;
        std::string title;
        std::string subTitle;
        int calibrationOrder = 1;
    };
    LiveConfiguration currentConfiguration() const;
    struct UnitSpectra {
        std::vector<float> dark;
        std::vector<float> reference;
        bool newBuffers = false;
    };
    std::optional<UnitSpectra> restoreUnitRecords();
    void adoptFile(ScanDataFile &file);
    OpResult useSpectra(std::vector<float> dark, std::vector<float> reference,
                        bool pixelCountChanged);
    bool makeRoomForItemsOfThisUnit();
    // Shows item 1 (or the next one) once and holds there.
    void showOneItem();
    StoreOutcome notSaved(const std::filesystem::path &file, const std::string &error);
    exports::ExportBlock currentBlock() const;
    std::vector<exports::ExportBlock> everyItem();

    ChannelState &s;
    AcquisitionHold &hold;
    WavelengthAxis &axis;
    ScanPipeline &pipeline;
    UnitControl &unit;
    PeakList &peaks;
    const Irradiance &irradiance;
    Prompter &prompter;
    std::optional<LiveConfiguration> live;
};

} // namespace quillon

#endif
