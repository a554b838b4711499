// The measurement object of the main program. There is one per process,
// created and owned by the main frame (or a command-line run) and reachable
// through Instance(). It is a facade: its parts keep their own state and
// rules, front ends read the shared state through State() and change it only
// through the operations below (or the parts' own operations).
//
//   ChannelSetup     start-up, channel configuration, hardware set-up, write-back
//   UnitControl      every request to a unit
//   AcquisitionHold  the hold protocol between the interface and the worker
//   WavelengthAxis   calibration, wavelength table and grid
//   ScanPipeline     AcquireScan, one-shot dark/reference scans, the result
//   DarkRefSnapshot  the dark/reference snapshot and colour tiles
//   StoredSpectra    memory list, memory mode, scan data, dark, reference and export files
//   SettingsTable    every settings key: reading, writing, assignments
//   ColorCalc        the colour engine of the colour view (app/photometry)
//   PeakList         the found peaks of the displayed spectrum (analysis/)
//   Irradiance       irradiance calibration, photometric totals (app/photometry)
//   TimeLineRecorder the time-line record: scans at an interval into a scan data file
//   CalibrationSets  the factory and custom wavelength calibration sets
#ifndef QUILLON_APP_DATACONTROL_DATA_CONTROL_H
#define QUILLON_APP_DATACONTROL_DATA_CONTROL_H

#include "analysis/peak_list.h"
#include "datacontrol/acquisition_hold.h"
#include "datacontrol/calibration_sets.h"
#include "datacontrol/channel_setup.h"
#include "datacontrol/channel_state.h"
#include "datacontrol/dark_ref_snapshot.h"
#include "datacontrol/mode_panel_values.h"
#include "datacontrol/op_result.h"
#include "datacontrol/print_page.h"
#include "datacontrol/scan_pipeline.h"
#include "datacontrol/settings_table.h"
#include "datacontrol/setup_choice.h"
#include "datacontrol/source_panels.h"
#include "datacontrol/stored_spectra.h"
#include "datacontrol/time_line_recorder.h"
#include "datacontrol/unit_control.h"
#include "datacontrol/wavelength_axis.h"
#include "photometry/color_calc.h"
#include "photometry/irradiance.h"
#include "platform/prompter.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class DataControl {
public:
    explicit DataControl(Prompter &prompter);
    ~DataControl();
    DataControl(const DataControl &) = delete;
    DataControl &operator=(const DataControl &) = delete;

    // The live instance, or null when none exists.
    static DataControl *Instance();
    const ChannelState &State() const { return state; }
    // The operator's side, for the parts of a front end that live in the core.
    Prompter &Prompt() { return prompter; }
    // The "Data n" values of the wavelength calibration in use, from the set
    // the axis reads them from; nothing when that file or section cannot be read.
    std::optional<std::vector<std::string>> CalibrationPointValues() const {
        return calibrationPointValues();
    }
    // Tests arrange buffers and flag words that no operation sets (a memory
    // list, a dark of known values); no front end uses it.
    ChannelState &StateForTests() { return state; }

    // StartUp until it settles, then FinishStartUp: what every front end
    // runs first. `attempts` 0 repeats for as long as start-up asks (the
    // window: the user ends it with Abort); `interrupted` ends the repeats
    // early (a question no one can answer). A start that did not end in
    // Done leaves the settings file alone.
    enum class StartStage { StartUp, Configuration };
    struct StartResult {
        OpResult result = OpResult::NotDone;
        StartStage stage = StartStage::StartUp;
    };
    [[nodiscard]] StartResult StartChannels(int attempts,
                                            const std::function<bool()> &interrupted = {});
    // Start-up (the caller repeats StartUp while it gives NotDone), channel
    // change under hold, and the close sequence (false: the settings could
    // not be written; the user has been told).
    [[nodiscard]] OpResult StartUp();
    [[nodiscard]] OpResult FinishStartUp();
    [[nodiscard]] OpResult ChangeChannel(int channel);
    [[nodiscard]] bool CloseDown();
    bool StartUpAborted() const { return setup.Aborted(); }
    // The close sequence leaves the main settings file as it is (a run that failed).
    void KeepSettingsFile() { keepSettingsFile = true; }

    // Scans: on the worker thread, or on the interface thread under hold.
    ScanOutcome AcquireScan(bool colourScaling = false) {
        return pipeline.AcquireScan(colourScaling);
    }
    // The dark scan closes the built-in shutter for its frame when that is the source.
    [[nodiscard]] OpResult TakeDarkScan() { return pipeline.TakeOneShot(DisplayMode::DarkScan); }
    [[nodiscard]] OpResult TakeReferenceScan() {
        return pipeline.TakeOneShot(DisplayMode::ReferenceScan);
    }
    [[nodiscard]] bool RequestDarkScan() { return pipeline.RequestOneShot(DisplayMode::DarkScan); }
    [[nodiscard]] bool RequestReferenceScan() {
        return pipeline.RequestOneShot(DisplayMode::ReferenceScan);
    }
    ScanResult CurrentResult() const { return pipeline.CurrentResult(); }
    bool UnitDisconnected() const { return pipeline.UnitDisconnected(); }

    // Display mode and axis.
    void SetDisplayMode(DisplayMode mode);
    DisplayMode CycleDisplayMode();
    void SetXUnit(XUnit unit);
    void SetWavelengthBase(bool on);
    void ToggleOption(std::uint16_t optionBit);
    void SetOption(std::uint16_t optionBit, bool on);

    // Settings by their keys, checked together and applied as one change
    // (see settings_table.h); empty on success, else why nothing changed.
    [[nodiscard]] std::string ApplySettings(std::span<const SettingAssignment> assignments,
                                            std::vector<std::string> &warnings);
    [[nodiscard]] std::string ApplySetting(std::string_view key, std::string_view value);
    // A new integration time: sent to the unit, dark and reference dropped.
    [[nodiscard]] OpResult SetIntegrationTime(std::int32_t time);

    // The setup panel of the "&QX Setup" button (setup_panel_apply.cpp).
    // Apply: base, source, wavelength grid, acquisition values, trigger
    // mode and scan choice, external trigger, found peaks, in that order.
    SetupOffer SetupPanelOffer() const { return setupOffer(state); }
    [[nodiscard]] SetupOutcome ApplySetupChoice(const SetupChoice &choice);
    // Another current channel, set up and on the pixel base.
    [[nodiscard]] OpResult ChangeSetupChannel(int channel);
    // Empties the memory list and tells the operator.
    [[nodiscard]] OpResult DeleteMemory();
    // The five trace colours; the graph reads them with its next pass.
    void SetTraceColors(const TraceColors &colors);

    // The hold protocol.
    [[nodiscard]] bool SuspendAcquisition(HoldBy by);
    void ResumeAcquisition(HoldBy by);
    [[nodiscard]] bool WaitForQuietWorker() { return hold.WaitForQuietWorker(); }
    void SignalScanDone() { hold.SignalScanDone(); }
    AcquisitionHold &Hold() { return hold; }
    void BackupViewSettings();
    void RestoreViewSettings();

    // Dark/reference snapshot and colour tile.
    [[nodiscard]] OpResult SaveDarkRef() { return snapshot.SaveDarkRef(); }
    [[nodiscard]] OpResult SwapConfiguration();
    [[nodiscard]] OpResult SaveColorTile(const std::filesystem::path &path) {
        return snapshot.SaveColorTile(path);
    }
    [[nodiscard]] OpResult LoadColorTile(const std::filesystem::path &path);

    // The dark, reference and TEC panels of the button bar (source_panels.cpp).
    // Opening reads what a panel shows; closing applies its choices at once
    // and names the caption its main button takes.
    [[nodiscard]] DarkPanelView DarkPanelOpening();
    [[nodiscard]] bool DarkSourceAvailable(DarkSource source) const;
    [[nodiscard]] PanelClosing CloseDarkPanel(const DarkPanelChoice &choice);
    // Moves the built-in shutter to the other position: the new one (true:
    // closed); none without a shutter or when the unit did not answer.
    [[nodiscard]] std::optional<bool> FlipShutter();
    // A dark or reference file by the name typed in a panel, in `folder`.
    [[nodiscard]] StoreOutcome SaveSourceFile(SpectrumFileKind kind,
                                              const std::filesystem::path &folder,
                                              const std::string &name);
    [[nodiscard]] StoreOutcome LoadSourceFile(SpectrumFileKind kind,
                                              const std::filesystem::path &folder,
                                              const std::string &name);
    [[nodiscard]] ReferencePanelView ReferencePanelOpening() const;
    [[nodiscard]] PanelClosing CloseReferencePanel(const ReferencePanelChoice &choice);
    // Why the colour-tile choice cannot be used; empty when it can.
    [[nodiscard]] std::string ColourTileRefusal() const;
    // Arms the reference button for a tile file; it runs the operation with
    // RunArmedColourTile (under hold) and gets its own caption back.
    [[nodiscard]] ColourTileArming ArmColourTile(ColourTileTask task,
                                                 const std::filesystem::path &folder,
                                                 const std::string &name);
    [[nodiscard]] std::optional<ColourTileTask> ArmedColourTile() const;
    [[nodiscard]] PanelClosing RunArmedColourTile();
    [[nodiscard]] TecPanelView TecPanelOpening() const;
    [[nodiscard]] OpResult SetTec(const TecChoice &choice);

    [[nodiscard]] OpResult WriteChannelId(int newId) { return setup.WriteChannelId(newId); }
    [[nodiscard]] OpResult WriteUnitFileToEeprom() { return setup.WriteUnitFileToEeprom(); }
    // A text into the current unit's EEPROM: a backup of the unit's text
    // first, a read-back after, the old text back on a mismatch (see
    // eeprom_writer.h). The operator is told the outcome either way.
    EepromWriteOutcome WriteEeprom(std::string_view text) { return setup.WriteEeprom(text); }
    [[nodiscard]] OpResult AdoptUnitText() { return setup.AdoptUnitText(); }
    // The current channel set up again from its unit file, without
    // questions, under hold: after the unit's text changed.
    [[nodiscard]] OpResult ReloadUnitSettings();

    // The parts, for the steps that front ends and tests call one by one.
    ChannelSetup &Setup() { return setup; }
    WavelengthAxis &Axis() { return axis; }
    ScanPipeline &Pipeline() { return pipeline; }
    UnitControl &Unit() { return unit; }
    StoredSpectra &Stored() { return stored; }
    ColorCalc &Colour() { return colour; }
    Irradiance &Photometry() { return irradiance; }
    const Irradiance &Photometry() const { return irradiance; }

    // Irradiance mode (see photometry/irradiance.h); both under hold.
    [[nodiscard]] OpResult EnterIrradianceMode(bool forCalibration);
    void LeaveIrradianceMode();
    // The mode panel (see mode_panel_values.h): the values it opens with,
    // the y range of a mode it switches to, and its choices applied when it
    // closes, in one step under hold; nothing changes when `problem` is set.
    ModePanelOpening OpenModePanel() const;
    ModePanelRange ModePanelRangeOf(DisplayMode mode, bool relativeIrradiance) const;
    [[nodiscard]] ModePanelOutcome ApplyModePanel(const ModePanelValues &values);
    // The "Print Page" texts of the main settings file for the pages of the
    // Customize sheet: read for one page (nothing when the file cannot be
    // read; that page's message is told), and written back for the pages
    // on OK (false when the file could not be written, told; it is kept).
    std::optional<PrintPageTexts> ReadPrintPage(PrintPageGroup page);
    [[nodiscard]] bool WritePrintPage(const PrintPageTexts &texts,
                                      std::span<const PrintPageGroup> pages);
    // The calibration against the reference lamp, step by step (the
    // dialog, under its own suspend) or whole (under hold): the lamp file,
    // a lamp scan with the current dark, the calibration file at the
    // reference lamp's distance.
    [[nodiscard]] OpResult BeginIrradianceCalibration();
    ScanOutcome TakeCalibrationScan();
    [[nodiscard]] OpResult MakeIrradianceCalibration(std::int32_t distanceCm);
    void EndIrradianceCalibration();
    [[nodiscard]] OpResult CalibrateIrradiance(std::int32_t distanceCm);
    TimeLineRecorder &TimeLine() { return recorder; }
    const TimeLineRecorder &TimeLine() const { return recorder; }
    // The colour temperature of the grid values in K, as the irradiance
    // readout computes it: a short-lived engine on D65 / 2 degree (that
    // selection stays in the colour settings). None when a table cannot be
    // used (the user has been told) or the light has no colour.
    std::optional<int> ColourTemperature() {
        ColorCalc engine{state, prompter};
        if (engine.PrepareColorTemp() != OpResult::Done) {
            return std::nullopt;
        }
        return engine.FindColorTemp(false);
    }
    // One scan of an emission-line lamp (scope mode, pixel axis, under hold
    // or with no worker): its peaks matched to the lines within
    // `toleranceNm` of where the present calibration puts them. None when no
    // scan could be taken (the user has been told).
    std::optional<LampPoints> PointsFromLampScan(std::span<const double> linesNm,
                                                 double toleranceNm);
    // The wavelength calibration sets of the current channel.
    CalibrationSets &Calibrations() { return calibrations; }
    PeakList &Peaks() { return peaks; }
    const PeakList &Peaks() const { return peaks; }

    // The peaks of the displayed values with the current peak settings; on
    // the interface thread under hold (or with no worker). Returns 1.
    int FindPeaks() { return FindPeaks(state.peaks); }
    // The same with other settings for this run only (the command line).
    int FindPeaks(const PeakSettings &settings);
    void ClearPeaks() { peaks.ClearPeaks(); }

private:
    // Settings changed under hold, then the integration time (unless skipped).
    OpResult applyAcquisitionChange(Integration integration);
    OpResult reapplyIntegrationTime();
    // Steps of ApplySetupChoice.
    bool applySetupSource(const SetupChoice &choice);
    bool applySetupGrid(const SetupChoice &choice, SetupOutcome &outcome);
    bool applySetupAcquisition(const SetupChoice &choice);
    bool applySetupTrigger(const SetupChoice &choice);
    bool applySetupExternalTrigger(const SetupChoice &choice);
    OpResult finishConfiguration();
    OpResult configureKeepingTitles(int channel, Ask ask);
    void reenterIrradiance();
    std::optional<std::vector<std::string>> calibrationPointValues() const;

    ChannelState state;
    Prompter &prompter;
    UnitControl unit{state};
    AcquisitionHold hold{state};
    Irradiance irradiance{state, prompter};
    WavelengthAxis axis{state, prompter, irradiance};
    ScanPipeline pipeline{state, unit, hold, axis, irradiance, prompter};
    DarkRefSnapshot snapshot{state, pipeline, prompter};
    ChannelSetup setup{state, unit, pipeline, prompter};
    PeakList peaks;
    StoredSpectra stored{state, hold, axis, pipeline, unit, peaks, irradiance, prompter};
    ColorCalc colour{state, prompter};
    TimeLineRecorder recorder{state, hold, pipeline, stored, prompter};
    CalibrationSets calibrations{state, axis, setup, hold, prompter};
    bool closed = false;
    bool keepSettingsFile = false;
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
