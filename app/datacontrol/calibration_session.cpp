#include "datacontrol/calibration_session.h"

#include "analysis/peak_finder.h"
#include "datacontrol/acquisition_hold.h"
#include "datacontrol/calibration_sets.h"
#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/wavelength_calibration.h"

#include <cmath>

namespace quillon {

std::optional<int> calibrationPixelOfPeak(const analysis::Peak &peak, bool gridData,
                                          std::span<const float> pixelOfWavelength, int order,
                                          int activePixels) {
    if (!std::isfinite(peak.position)) {
        return std::nullopt;
    }
    const double pixel = gridData ? EvalPolynomial(pixelOfWavelength, order, peak.position)
                                  : static_cast<double>(peak.position);
    const double whole = std::trunc(pixel + 0.5);
    if (!std::isfinite(whole) || whole < 1.0 || whole > activePixels) {
        return std::nullopt;
    }
    return static_cast<int>(whole);
}

CalibrationSession::CalibrationSession(DataControl &control) : dc(control) {}

bool CalibrationSession::readFiles(const char *mainProblem, const char *unitProblem) {
    std::string problem;
    const auto names = dc.Calibrations().SetNames(problem);
    if (!names) {
        dc.Prompt().message(problem == messages::kOpenMainInCalibration ? mainProblem
                                                                        : unitProblem);
        return false;
    }
    setNames = *names;
    customSetCount = static_cast<int>(setNames.size()) - 1;
    lines = dc.Calibrations().DatabaseLines();
    lineGroups = groupLines(lines);
    return true;
}

bool CalibrationSession::Open() {
    if (!readFiles(messages::kOpenMainInCalibration, messages::kOpenUnitInCalibration)) {
        return false;
    }
    const int inUse = dc.State().settings.calNo;
    setNumber = inUse;
    if (inUse >= 1 && inUse <= customSetCount) {
        selectedEntry = inUse;
        typedName = setNames[static_cast<std::size_t>(inUse)];
        source = PointSource::CustomSet;
    } else {
        selectedEntry = 0;
        typedName = setNames.front();
        source = PointSource::FactorySet;
    }
    fill();
    applyEnabled = false;
    return true;
}

bool CalibrationSession::Reinit() {
    if (!readFiles(messages::kOpenMainInReinit, messages::kOpenUnitInReinit)) {
        return false;
    }
    if (selectedEntry >= static_cast<int>(setNames.size())) {
        selectedEntry = 0;
    }
    if (selectedEntry >= 0) {
        typedName = setNames[static_cast<std::size_t>(selectedEntry)];
    }
    return true;
}

void CalibrationSession::SetWavelengthCell(int row, const std::string &text) {
    if (row >= 0 && row < kCalibrationRows) {
        rows[static_cast<std::size_t>(row)].wavelength = text;
    }
}

void CalibrationSession::SetPixelCell(int row, const std::string &text) {
    if (row >= 0 && row < kCalibrationRows) {
        rows[static_cast<std::size_t>(row)].pixel = text;
    }
}

std::optional<double> CalibrationSession::PresentWavelength(int row) const {
    if (row < 0 || row >= kCalibrationRows) {
        return std::nullopt;
    }
    const PointRow withPixel{"1", rows[static_cast<std::size_t>(row)].pixel};
    const std::vector<StoredPoint> point = storedPointsOfRows(std::span(&withPixel, 1));
    if (point.empty()) {
        return std::nullopt;
    }
    const ChannelState &s = dc.State();
    return EvalPolynomial(s.geometry.wavelengthOfPixel, s.calibrationPolynomialOrder,
                          point.front().pixel);
}

CalibrationResiduals CalibrationSession::Residuals() const {
    const std::vector<StoredPoint> points = Points();
    return calibrationResiduals(points);
}

void CalibrationSession::ChooseSource(PointSource newSource) {
    source = newSource;
    if (source == PointSource::FactorySet) {
        selectedEntry = 0;
        typedName = setNames.empty() ? std::string() : setNames.front();
    }
    fill();
}

void CalibrationSession::ChooseEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(setNames.size())) {
        return;
    }
    selectedEntry = entry;
    typedName = setNames[static_cast<std::size_t>(entry)];
    if (entry == 0) {
        source = PointSource::FactorySet;
    }
    fill();
}

void CalibrationSession::TypeName(const std::string &name) {
    for (std::size_t i = 0; i < setNames.size(); ++i) {
        if (setNames[i] == name) {
            if (static_cast<int>(i) != selectedEntry) {
                ChooseEntry(static_cast<int>(i));
            }
            return;
        }
    }
    selectedEntry = -1;
    typedName = name;
}

void CalibrationSession::clearRows() {
    for (PointRow &row : rows) {
        row = {};
    }
    peakRowsFilled = 0;
}

void CalibrationSession::fillWithPoints(const std::vector<StoredPoint> &points) {
    for (std::size_t i = 0; i < points.size() && i < rows.size(); ++i) {
        rows[i].wavelength = wavelengthCellText(points[i].tenthsNm);
        rows[i].pixel = std::to_string(points[i].pixel);
    }
}

void CalibrationSession::fill() {
    clearRows();
    const int inUse = dc.State().settings.calNo;
    applyEnabled = false;
    saveInEepromEnabled = false;
    setListEnabled = source != PointSource::FactorySet;
    switch (source) {
    case PointSource::CustomSet:
        if (selectedEntry >= 0) {
            fillWithPoints(dc.Calibrations().PointsOfSet(selectedEntry));
            setNumber = selectedEntry;
            saveInEepromEnabled = true;
            applyEnabled = setNumber != inUse;
        }
        break;
    case PointSource::AutoPeaks: {
        std::size_t row = 0;
        for (const analysis::Peak &peak : dc.Peaks().Peaks()) {
            if (row == rows.size()) {
                break;
            }
            if (const auto pixel = pixelOfPeak(peak)) {
                rows[row++].pixel = std::to_string(*pixel);
            }
        }
        break;
    }
    case PointSource::Database:
        for (std::size_t i = 0; i < lines.size() && i < rows.size(); ++i) {
            rows[i].wavelength = wavelengthCellText(static_cast<int>(std::lround(lines[i] * 10.0)));
        }
        break;
    case PointSource::FactorySet:
        fillWithPoints(dc.Calibrations().PointsOfSet(0));
        applyEnabled = inUse > 0;
        break;
    case PointSource::NewSet:
        selectedEntry = -1;
        typedName.clear();
        break;
    }
}

std::optional<int> CalibrationSession::pixelOfPeak(const analysis::Peak &peak) const {
    const ChannelState &s = dc.State();
    return calibrationPixelOfPeak(peak, dc.CurrentResult().wavelengthBase,
                                  s.geometry.pixelOfWavelength, s.calibrationPolynomialOrder,
                                  static_cast<int>(s.geometry.activePixels));
}

std::optional<int> CalibrationSession::PeakMessage(int rank) {
    const std::vector<analysis::Peak> peaks = dc.Peaks().Peaks();
    if (rank < 1 || rank > static_cast<int>(peaks.size())) {
        return std::nullopt;
    }
    if (source == PointSource::AutoPeaks) {
        return rank <= kCalibrationRows ? std::optional<int>(rank - 1) : std::nullopt;
    }
    if (source == PointSource::Database) {
        return std::nullopt;
    }
    const auto pixel = pixelOfPeak(peaks[static_cast<std::size_t>(rank - 1)]);
    if (!pixel || pixel == lastPixel || peakRowsFilled >= kCalibrationRows) {
        return std::nullopt;
    }
    lastPixel = pixel;
    const int row = peakRowsFilled++;
    rows[static_cast<std::size_t>(row)].pixel = std::to_string(*pixel);
    return row;
}

void CalibrationSession::PeaksFound() {
    if (source == PointSource::AutoPeaks) {
        fill();
    }
}

bool CalibrationSession::EepromButtonsShown() const {
    return dc.State().settings.ovEdit != 0;
}

CalibrationSession::SetChoice CalibrationSession::readSetChoice() {
    if (selectedEntry < 0) {
        return {typedName, setNumber < 0 ? setNumber : customSetCount + 1};
    }
    std::string name = setNames[static_cast<std::size_t>(selectedEntry)];
    const std::string mark = kFactorySetMark;
    if (selectedEntry == 0 && name.ends_with(mark)) {
        name.erase(name.size() - mark.size());
    }
    return {name, selectedEntry};
}

void CalibrationSession::addTypedName(const SetChoice &choice) {
    setNames.push_back(choice.name);
    ++customSetCount;
    selectedEntry = static_cast<int>(setNames.size()) - 1;
    typedName = choice.name;
}

namespace {

bool blankName(const std::string &name) {
    return name.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

bool CalibrationSession::SaveInIniFile() {
    const SetChoice choice = readSetChoice();
    if (blankName(choice.name)) {
        dc.Prompt().message(messages::kNoSetName);
        return false;
    }
    const std::vector<StoredPoint> points = Points();
    if (points.size() < 2) {
        dc.Prompt().message(messages::kTooFewPointsToSave);
        return false;
    }
    // The factory entry names no custom set: its list becomes a new one
    // rather than replacing the last set's points.
    const bool newSet = selectedEntry <= 0;
    const auto saved =
        dc.Calibrations().SaveCustomSet(choice.name, newSet ? 0 : choice.number, points);
    if (!saved) {
        return false;
    }
    if (newSet) {
        addTypedName(choice);
    }
    selectedEntry = *saved;
    setNumber = *saved;
    saveInEepromEnabled = true;
    applyEnabled = source != PointSource::FactorySet;
    return true;
}

OpResult CalibrationSession::ApplyAsDefault() {
    const int number = source == PointSource::FactorySet ? 0 : setNumber;
    const OpResult result = dc.Calibrations().ApplySet(number);
    if (result == OpResult::Done) {
        applyEnabled = false;
    }
    return result;
}

EepromWriteOutcome CalibrationSession::SaveInEeprom() {
    EepromWriteOutcome outcome;
    const SetChoice choice = readSetChoice();
    const std::vector<StoredPoint> points = Points();
    if (blankName(choice.name) || points.size() < 2) {
        outcome.report =
            blankName(choice.name) ? messages::kNoSetName : messages::kTooFewPointsToSave;
        dc.Prompt().message(outcome.report);
        return outcome;
    }
    {
        const SuspendedAcquisition quiet(dc.Hold(), HoldBy::Dialog);
        if (!quiet.paused()) {
            outcome.report = messages::kAcquisitionDidNotPause;
            dc.Prompt().message(outcome.report);
            return outcome;
        }
        outcome = dc.Calibrations().SaveInEeprom(choice.name, points);
    }
    if (outcome.result == OpResult::Done && Reinit()) {
        // Show what the unit file now holds; the new factory set is not yet
        // the one in use.
        source = PointSource::FactorySet;
        selectedEntry = 0;
        typedName = setNames.front();
        fill();
        applyEnabled = true;
    }
    return outcome;
}

OpResult CalibrationSession::UnitTextChanged() {
    const OpResult result = dc.ReloadUnitSettings();
    (void)Reinit();
    applyEnabled = false;
    return result;
}

} // namespace quillon
