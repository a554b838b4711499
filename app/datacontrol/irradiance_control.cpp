// DataControl's side of the irradiance mode: entering and leaving it under
// hold, and the calibration against the reference lamp. The arithmetic and
// the files are the Irradiance part's (photometry/irradiance.h).
#include "datacontrol/data_control.h"

#include "datacontrol/profile_file.h"
#include "datacontrol/settings.h"

namespace quillon {

OpResult DataControl::EnterIrradianceMode(bool forCalibration) {
    return irradiance.EnterIrradianceMode(forCalibration);
}

void DataControl::LeaveIrradianceMode() {
    irradiance.LeaveIrradianceMode();
}

// A change of form, distance, temperature or base while the mode is shown:
// the mode is entered afresh; when that fails it ends in the scope mode.
void DataControl::reenterIrradiance() {
    if (state.flags.displayMode() != DisplayMode::Irradiance) {
        return;
    }
    irradiance.LeaveIrradianceMode();
    if (irradiance.EnterIrradianceMode(false) != OpResult::Done) {
        state.flags.setDisplayMode(DisplayMode::Scope);
    }
}

// The "Data n" values of the unit's wavelength calibration, from the set
// the axis reads them from.
std::optional<std::vector<std::string>> DataControl::calibrationPointValues() const {
    ProfileFile file;
    std::string section = sections::kCalData;
    if (state.settings.calNo > 0) {
        file.SetPath(state.mainSettingsPath);
        section = sections::customCalibration(state.settings.calNo);
    } else if (!state.channels.empty()) {
        file.SetPath(state.oldBoard ? state.mainSettingsPath : state.currentInfo().unitFile);
    }
    if (file.Path().empty() || !file.Load() || file.FindSection(section) < 0) {
        return std::nullopt;
    }
    std::vector<std::string> values;
    const int count = std::max(file.GetInt(section, "PointCount"), 0);
    for (int n = 1; n <= count; ++n) {
        values.push_back(file.GetText(section, "Data " + std::to_string(n)));
    }
    return values;
}

OpResult DataControl::BeginIrradianceCalibration() {
    state.settings.initPane |= 8u;
    // The calibration makes the absolute form's file.
    const std::uint16_t relative = state.flags.option.load() & option_bits::kRelativeIrradiance;
    state.flags.option.clear(option_bits::kRelativeIrradiance);
    OpResult result = irradiance.EnterIrradianceMode(true);
    if (result == OpResult::Done) {
        result = irradiance.LoadLampFile();
    }
    state.flags.option.set(relative);
    return result;
}

// The lamp's counts: the scan runs in the absolute irradiance mode, which
// leaves the spectrum and the dark as they were read (the scope mode may
// subtract the dark in place, T/R may move it).
ScanOutcome DataControl::TakeCalibrationScan() {
    const std::uint32_t words = state.flags.packed();
    state.flags.setDisplayMode(DisplayMode::Irradiance);
    state.flags.option.clear(option_bits::kRelativeIrradiance | option_bits::kSkipPhotometry);
    state.flags.option.set(option_bits::kSkipPhotometry);
    const ScanOutcome outcome = pipeline.AcquireScan(false);
    const auto status = static_cast<std::uint16_t>(words & 0xFFFFu);
    state.flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl),
                                    status);
    state.flags.option.store(static_cast<std::uint16_t>(words >> 16));
    return outcome;
}

OpResult DataControl::MakeIrradianceCalibration(std::int32_t distanceCm) {
    irradiance.SetCalibrationDistance(distanceCm);
    return irradiance.MakeIrradFile(calibrationPointValues());
}

void DataControl::EndIrradianceCalibration() {
    irradiance.LeaveIrradianceMode();
    reenterIrradiance();
}

OpResult DataControl::CalibrateIrradiance(std::int32_t distanceCm) {
    if (!SuspendAcquisition(HoldBy::Dialog)) {
        ResumeAcquisition(HoldBy::Dialog);
        return OpResult::NotDone;
    }
    OpResult result = BeginIrradianceCalibration();
    if (result == OpResult::Done && TakeCalibrationScan() != ScanOutcome::Scanned) {
        result = OpResult::Failed;
    }
    if (result == OpResult::Done) {
        result = MakeIrradianceCalibration(distanceCm);
    }
    EndIrradianceCalibration();
    ResumeAcquisition(HoldBy::Dialog);
    return result;
}

} // namespace quillon
