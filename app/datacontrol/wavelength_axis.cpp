// The wavelength axis of the current channel: calibration points, the two
// fitted polynomials, the per-pixel wavelength table and the uniform grid of
// the wavelength-base display; and the configuration steps that build them.
#include "datacontrol/wavelength_axis.h"

#include "photometry/irradiance.h"

#include "datacontrol/messages.h"
#include "datacontrol/scan_steps.h"
#include "datacontrol/settings.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace quillon {

OpResult WavelengthAxis::ReadCalData() {
    return readCalibration(true);
}

void WavelengthAxis::ReadCalDataOrPixelAxis() {
    if (readCalibration(false) != OpResult::Done) {
        usePixelAxisCalibration();
    }
}

// Without a unit only stored data is shown, and a scan data file brings its
// own calibration: a missing list then gives the pixel axis, not the end of
// the program.
void WavelengthAxis::usePixelAxisCalibration() {
    s.geometry.wavelengthOfPixel = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    s.geometry.pixelOfWavelength = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    s.calibrationPolynomialOrder = 1;
    s.acquisition.calStartWavelength = 2;
    s.acquisition.calEndWavelength = std::max<std::uint16_t>(s.geometry.activePixels, 3);
}

OpResult WavelengthAxis::readCalibration(bool reportFailures) {
    const auto fail = [&](const char *text) {
        if (reportFailures) {
            prompter.message(text);
        }
        return OpResult::Failed;
    };
    ProfileFile file;
    std::string section;
    if (s.settings.calNo > 0 && !s.oldBoard && !customSetExists()) {
        // A CalNo without its set would end the start-up with a message that
        // names neither: say which, and go on with the unit's own calibration.
        prompter.message(messages::missingCalibrationSet(s.settings.calNo,
                                                         s.mainSettingsPath.filename().string()));
        s.settings.calNo = 0;
    }
    if (s.settings.calNo > 0) {
        file = ProfileFile(s.mainSettingsPath);
        section = sections::customCalibration(s.settings.calNo);
    } else {
        // A unit file that is missing must be reported, not created empty.
        file.SetPath(s.oldBoard ? s.mainSettingsPath
                                : s.channels[static_cast<std::size_t>(s.currentChannel)].unitFile);
        section = sections::kCalData;
    }
    if (!file.Load()) {
        return fail(messages::kOpenIniInReadCalData);
    }
    const CalibrationFit fit = FitCalibration(file, section, s.geometry.activePixels);
    if (fit.status == CalibrationStatus::TooFewPoints) {
        return fail(messages::kTooFewCalibrationPoints);
    }
    if (fit.status != CalibrationStatus::Ok) {
        return fail(messages::kBadCalibration);
    }
    s.geometry.pixelOfWavelength = fit.pixelOfWavelength;
    s.geometry.wavelengthOfPixel = fit.wavelengthOfPixel;
    s.calibrationPolynomialOrder = fit.order;
    s.acquisition.calStartWavelength = fit.startNm;
    s.acquisition.calEndWavelength = fit.endNm;
    return OpResult::Done;
}

bool WavelengthAxis::customSetExists() const {
    ProfileFile file;
    file.SetPath(s.mainSettingsPath);
    return file.Load() && file.FindSection(sections::customCalibration(s.settings.calNo)) >= 0;
}

void WavelengthAxis::UsePixelAxis() {
    usePixelAxisCalibration();
}

void WavelengthAxis::ResetGrid() {
    s.grid = quillon::ResetGrid(s.display.wavelengthStart, s.display.wavelengthEnd,
                                s.display.wavelengthStep, s.acquisition.calStartWavelength,
                                s.acquisition.calEndWavelength, s.geometry.activePixels);
    s.display.wavelengthStart = static_cast<float>(s.grid.start);
    s.display.wavelengthEnd = static_cast<float>(s.grid.end);
    s.display.wavelengthStep = static_cast<float>(s.grid.interval);
}

OpResult WavelengthAxis::AllocateGridBuffers() {
    try {
        const auto points = static_cast<std::size_t>(std::max(s.grid.count, 0));
        s.buffers.gridResult.assign(points, 0.0f);
        s.buffers.gridIndex.assign(points, 0);
        s.buffers.gridReferenceMinusDark.assign(points, 0.0f);
        s.buffers.gridPhotopic.assign(points, 0.0f);
        s.buffers.filterCopy.assign(std::max<std::size_t>(points, s.geometry.activePixels), 0.0f);
    } catch (const std::bad_alloc &) {
        prompter.message(messages::kWavelengthMemory);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

void WavelengthAxis::ComputeWavelengthTables() {
    const int order = s.calibrationPolynomialOrder;
    for (std::size_t p = 0; p < s.buffers.wavelengthTable.size(); ++p) {
        s.buffers.wavelengthTable[p] = static_cast<float>(
            EvalPolynomial(s.geometry.wavelengthOfPixel, order, static_cast<double>(p + 1)));
    }
    ComputeGridIndex(s.grid, s.geometry.pixelOfWavelength, order, s.geometry.activePixels,
                     s.buffers.gridIndex);
}

OpResult WavelengthAxis::RebuildWavelengthGrid() {
    ResetGrid();
    if (AllocateGridBuffers() != OpResult::Done) {
        return OpResult::Failed;
    }
    ComputeWavelengthTables();
    irradiance.FollowGrid();
    RefreshReferenceMinusDark();
    return OpResult::Done;
}

void WavelengthAxis::RefreshReferenceMinusDark() {
    if (!s.flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady)) {
        return;
    }
    const double obDifference = s.flags.status.test(status_bits::kOpticalBlackOn)
                                    ? s.scanParameters.darkOb - s.scanParameters.referenceOb
                                    : 0.0;
    scan::referenceMinusDarkOnGrid(s.buffers.reference, s.buffers.dark, s.buffers.gridIndex,
                                   obDifference, s.buffers.gridReferenceMinusDark);
}

} // namespace quillon
