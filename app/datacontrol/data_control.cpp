// The facade: operations that need several parts, in the order the old
// program ran them.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

namespace quillon {

namespace {

DataControl *liveInstance = nullptr;

} // namespace

DataControl::DataControl(Prompter &userPrompter) : prompter(userPrompter) {
    if (liveInstance == nullptr) {
        liveInstance = this;
    }
}

DataControl::~DataControl() {
    if (setup.Started() && !closed) {
        (void)CloseDown(); // a failed write has been shown to the user
    }
    if (liveInstance == this) {
        liveInstance = nullptr;
    }
}

DataControl *DataControl::Instance() {
    return liveInstance;
}

OpResult DataControl::StartUp() {
    return setup.StartUp();
}

DataControl::StartResult DataControl::StartChannels(int attempts,
                                                    const std::function<bool()> &interrupted) {
    StartResult start;
    for (int attempt = 0; attempts == 0 || attempt < attempts; ++attempt) {
        start.result = StartUp();
        if (start.result != OpResult::NotDone || (interrupted && interrupted())) {
            break;
        }
    }
    if (start.result == OpResult::Done && !(interrupted && interrupted())) {
        start.stage = StartStage::Configuration;
        start.result = FinishStartUp();
        if (start.result == OpResult::NotDone) {
            start.result = OpResult::Failed;
        }
    }
    if (start.result != OpResult::Done) {
        KeepSettingsFile();
    }
    return start;
}

OpResult DataControl::FinishStartUp() {
    return finishConfiguration();
}

// Buffers, wavelength calibration, grid, hardware, then the snapshot that
// the dark/reference swap exchanges.
OpResult DataControl::finishConfiguration() {
    if (pipeline.AllocatePixelBuffers() != OpResult::Done) {
        return OpResult::Failed;
    }
    if (state.NoDeviceMode()) {
        axis.ReadCalDataOrPixelAxis();
    } else if (axis.ReadCalData() != OpResult::Done) {
        // The message has named the fault; the unit runs on the pixel axis
        // rather than ending the program for every unit.
        axis.UsePixelAxis();
    }
    axis.ResetGrid();
    if (axis.AllocateGridBuffers() != OpResult::Done) {
        return OpResult::Failed;
    }
    axis.ComputeWavelengthTables();
    // The photometric preparation follows here once the photometry exists.
    axis.RefreshReferenceMinusDark();
    if (setup.InitializeHardware() != OpResult::Done) {
        return OpResult::Failed;
    }
    state.saveCurrentConfiguration();
    return OpResult::Done;
}

OpResult DataControl::configureKeepingTitles(int channel, Ask ask) {
    // The titles name the user's project and sample, not a unit: they stay.
    const std::string title = state.settings.title;
    const std::string subTitle = state.settings.subTitle;
    const OpResult result = setup.ConfigureChannel(channel, ask);
    state.settings.title = title;
    state.settings.subTitle = subTitle;
    return result;
}

OpResult DataControl::ChangeChannel(int channel) {
    if (!SuspendAcquisition(HoldBy::Change)) {
        ResumeAcquisition(HoldBy::Change);
        return OpResult::NotDone;
    }
    stored.DropFileConfiguration();
    setup.RememberIntegrationTime();
    OpResult result = configureKeepingTitles(channel, Ask::Yes);
    if (result == OpResult::Done) {
        // Dark and reference of another unit mean nothing here.
        state.flags.status.clear(status_bits::kDarkReady | status_bits::kReferenceReady);
        state.flags.option.clear(option_bits::kShowDarkLine | option_bits::kShowReferenceLine);
        result = finishConfiguration();
    }
    ResumeAcquisition(HoldBy::Change);
    return result;
}

OpResult DataControl::ReloadUnitSettings() {
    const SuspendedAcquisition quiet(hold, HoldBy::Dialog);
    if (!quiet.paused()) {
        prompter.message(messages::kAcquisitionDidNotPause);
        return OpResult::NotDone;
    }
    stored.DropFileConfiguration();
    OpResult result = configureKeepingTitles(state.currentChannel, Ask::No);
    if (result == OpResult::Done) {
        result = finishConfiguration();
    }
    return result;
}

bool DataControl::CloseDown() {
    if (closed) {
        return true;
    }
    closed = true;
    (void)recorder.StopRecord(); // a record in progress keeps every frame taken
    const bool device = !state.NoDeviceMode() && state.channelCount > 0;
    if (device && state.geometry.boardType == kBoardTcd1304 && !unit.setInternalTrigger()) {
        prompter.message(formatWithNumber(messages::kInternalTriggerOnClose, state.currentChannel));
    }
    stored.DropFileConfiguration();
    bool written = true;
    if (!setup.Aborted() && !keepSettingsFile && !state.mainSettingsPath.empty()) {
        written = setup.WriteBackSettings();
    }
    if (device && state.HasCoolerRecord() && !unit.setTec(0)) {
        prompter.message(formatWithNumber(messages::kTeCooling, state.currentChannel));
    }
    pipeline.ReleaseBuffers();
    if (device) {
        unit.closeAll();
    }
    setup.RemoveTempIniFiles();
    return written;
}

void DataControl::SetDisplayMode(DisplayMode mode) {
    if (state.flags.displayMode() == DisplayMode::Irradiance && mode != DisplayMode::Irradiance) {
        irradiance.LeaveIrradianceMode();
    }
    state.flags.setDisplayMode(mode);
}

DisplayMode DataControl::CycleDisplayMode() {
    DisplayMode next = DisplayMode::Scope;
    switch (state.flags.displayMode()) {
    case DisplayMode::TransRefl:
        next = DisplayMode::Absorbance;
        break;
    case DisplayMode::Absorbance:
        next = (state.settings.initPane & 8u) != 0 ? DisplayMode::Irradiance : DisplayMode::Scope;
        break;
    case DisplayMode::Irradiance:
        next = DisplayMode::Scope;
        irradiance.LeaveIrradianceMode();
        break;
    default:
        next = DisplayMode::TransRefl;
        break;
    }
    if (next == DisplayMode::Irradiance) {
        // The pixel base shows the relative form only.
        if (!state.flags.option.test(option_bits::kWavelengthBase)) {
            state.flags.option.set(option_bits::kRelativeIrradiance);
        }
        if (irradiance.EnterIrradianceMode(false) != OpResult::Done) {
            next = DisplayMode::Scope;
        }
    }
    state.flags.setDisplayMode(next);
    return next;
}

void DataControl::SetXUnit(XUnit xUnit) {
    state.flags.setXUnit(xUnit);
    if (xUnit == XUnit::Pixel) {
        state.flags.option.clear(option_bits::kWavelengthBase); // the grid has no pixel axis
    }
}

void DataControl::SetWavelengthBase(bool on) {
    state.flags.option.assign(option_bits::kWavelengthBase, on);
    if (on && state.flags.xUnit() == XUnit::Pixel) {
        state.flags.setXUnit(XUnit::Wavelength);
    }
    if (!on && state.flags.displayMode() == DisplayMode::Irradiance) {
        state.flags.option.set(option_bits::kRelativeIrradiance); // absolute needs the grid
    }
    reenterIrradiance(); // a curve of the other base
}

void DataControl::ToggleOption(std::uint16_t optionBit) {
    state.flags.option.assign(optionBit, !state.flags.option.test(optionBit));
}

void DataControl::SetOption(std::uint16_t optionBit, bool on) {
    state.flags.option.assign(optionBit, on);
}

bool DataControl::SuspendAcquisition(HoldBy by) {
    return hold.Suspend(by);
}

void DataControl::ResumeAcquisition(HoldBy by) {
    hold.Resume(by);
}

OpResult DataControl::applyAcquisitionChange(Integration integration) {
    const bool quiet = hold.HoldAndWait();
    if (integration == Integration::Send && !state.NoDeviceMode() && !unit.sendIntegrationTime()) {
        prompter.message(formatWithNumber(messages::kIntegrationTime, state.currentChannel));
        // Acquisition goes on; a unit that does not answer is then reported
        // by the scan itself.
        hold.ReleaseHold();
        return OpResult::Failed;
    }
    irradiance.UpdateGeometry();
    if (quiet) {
        pipeline.PrepareScratch();
    }
    state.flags.status.clear(status_bits::kDarkReady | status_bits::kReferenceReady);
    state.flags.option.clear(option_bits::kShowDarkLine | option_bits::kShowReferenceLine |
                             option_bits::kGeometryApplied | option_bits::kSubtractDarkInScope);
    // Without dark and reference a ratio mode has nothing to show.
    const DisplayMode mode = state.flags.displayMode();
    if (mode == DisplayMode::TransRefl || mode == DisplayMode::Absorbance) {
        state.flags.setDisplayMode(DisplayMode::Scope);
    }
    hold.ReleaseHold();
    return OpResult::Done;
}

OpResult DataControl::reapplyIntegrationTime() {
    // The grid buffers are rebuilt: no pass may be using them.
    if (!hold.HoldAndWait() || axis.RebuildWavelengthGrid() != OpResult::Done) {
        hold.ReleaseHold();
        return OpResult::Failed;
    }
    if (!state.flags.option.test(option_bits::kMemoryMode) && !state.NoDeviceMode() &&
        !unit.sendIntegrationTime()) {
        prompter.message(formatWithNumber(messages::kIntegrationTime, state.currentChannel));
        hold.ReleaseHold();
        return OpResult::Failed;
    }
    hold.ReleaseHold();
    return OpResult::Done;
}

OpResult DataControl::SetIntegrationTime(std::int32_t time) {
    if (!SuspendAcquisition(HoldBy::Dialog)) {
        ResumeAcquisition(HoldBy::Dialog);
        return OpResult::NotDone;
    }
    const std::int32_t previous = state.limits.current;
    state.limits.current = std::clamp(time, state.limits.minimum, state.limits.maximum);
    const OpResult result = applyAcquisitionChange(Integration::Send);
    if (result == OpResult::Failed) {
        // The unit kept the time it had: so does the program, or it would
        // show and store a time the unit does not integrate.
        state.limits.current = previous;
    }
    ResumeAcquisition(HoldBy::Dialog);
    return result;
}

std::string DataControl::ApplySettings(std::span<const SettingAssignment> assignments,
                                       std::vector<std::string> &warnings) {
    if (std::string problem = SettingsTable::Check(assignments, state); !problem.empty()) {
        return problem;
    }
    SettingsTable::NoteZeroDefaults(assignments, warnings);
    if (!SuspendAcquisition(HoldBy::Dialog)) {
        ResumeAcquisition(HoldBy::Dialog);
        return "acquisition did not pause";
    }
    bool gridChanged = false;
    std::optional<std::int32_t> integration;
    for (const SettingAssignment &a : assignments) {
        switch (a.key->effect) {
        case SettingEffect::Integration:
            integration = static_cast<std::int32_t>(a.value.number);
            continue;
        case SettingEffect::View: {
            const auto choice = static_cast<int>(a.value.number);
            const std::string_view name = a.key->name;
            if (name == "mode") {
                constexpr std::array<DisplayMode, 4> kModes{
                    DisplayMode::Scope, DisplayMode::TransRefl, DisplayMode::Absorbance,
                    DisplayMode::Irradiance};
                SetDisplayMode(kModes[static_cast<std::size_t>(choice)]);
            } else if (name == "irradiance") {
                state.flags.option.assign(option_bits::kRelativeIrradiance, choice == 0);
                state.settings.irradLux = choice == 2 ? 1 : 0;
            } else if (name == "axis") {
                SetXUnit(static_cast<XUnit>(choice));
            } else {
                SetWavelengthBase(choice != 0);
            }
            continue;
        }
        case SettingEffect::Grid:
            gridChanged = true;
            break;
        case SettingEffect::Stored:
            break;
        }
        a.key->set(state, a.value);
    }
    std::string problem;
    if (gridChanged && axis.RebuildWavelengthGrid() != OpResult::Done) {
        problem = "the wavelength grid could not be rebuilt";
    } else {
        try {
            pipeline.PrepareScratch();
        } catch (const std::bad_alloc &) {
            problem = "not enough memory for the new settings";
        }
    }
    if (problem.empty() && state.flags.displayMode() == DisplayMode::Irradiance) {
        if ((state.settings.initPane & 8u) == 0) {
            state.flags.setDisplayMode(DisplayMode::Scope);
            problem = "irradiance needs a calibrated unit (bit 8 of InitPane; "
                      "irradiance-calibrate sets it)";
        } else {
            reenterIrradiance();
            if (state.flags.displayMode() != DisplayMode::Irradiance) {
                problem = "the irradiance mode could not be entered";
            }
        }
    }
    ResumeAcquisition(HoldBy::Dialog);
    if (problem.empty() && integration && *integration != state.limits.current) {
        const OpResult sent = SetIntegrationTime(*integration);
        if (sent != OpResult::Done) {
            problem = sent == OpResult::NotDone ? "acquisition did not pause"
                                                : "the unit did not take the integration time";
        }
    }
    return problem;
}

std::string DataControl::ApplySetting(std::string_view key, std::string_view value) {
    std::string error;
    const auto assignment =
        SettingsTable::Parse(std::string(key) + "=" + std::string(value), error);
    if (!assignment) {
        return error;
    }
    std::vector<std::string> warnings;
    return ApplySettings(std::span(&*assignment, 1), warnings);
}

void DataControl::BackupViewSettings() {
    state.viewBackup.acquisition = state.acquisition;
    state.viewBackup.display = state.display;
    state.viewBackup.statusWord = state.flags.status.load();
}

void DataControl::RestoreViewSettings() {
    state.acquisition = state.viewBackup.acquisition;
    state.display = state.viewBackup.display;
    state.flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl),
                                    state.viewBackup.statusWord);
    state.flags.option.clear(option_bits::kExternalTrigger);
}

OpResult DataControl::SwapConfiguration() {
    if (snapshot.SwapConfiguration() != OpResult::Done) {
        return OpResult::Failed;
    }
    return reapplyIntegrationTime();
}

OpResult DataControl::LoadColorTile(const std::filesystem::path &path) {
    if (snapshot.LoadColorTile(path) != OpResult::Done) {
        return OpResult::Failed;
    }
    axis.RefreshReferenceMinusDark();
    return OpResult::Done;
}

} // namespace quillon
