// The wavelength axis of the current channel: calibration points, the two
// fitted polynomials, the per-pixel wavelength table and the uniform grid of
// the wavelength-base display; and the configuration steps that build them.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"
#include "datacontrol/scan_steps.h"
#include "datacontrol/settings.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace quillon {

int DataControl::ReadCalData() {
    return readCalibration(true);
}

// Without a unit only stored data is shown, and a scan data file brings its
// own calibration: a missing list then gives the pixel axis, not the end of
// the program.
void DataControl::usePixelAxisCalibration() {
    geometry.wavelengthOfPixel = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    geometry.pixelOfWavelength = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    calibrationPolynomialOrder = 1;
    acquisition.calStartWavelength = 2;
    acquisition.calEndWavelength = std::max<std::uint16_t>(geometry.activePixels, 3);
}

int DataControl::readCalibration(bool reportFailures) {
    const auto fail = [&](const char *text) {
        if (reportFailures) {
            prompter.message(text);
        }
        return -1;
    };
    ProfileFile file;
    std::string section;
    if (settings.calNo > 0) {
        file = ProfileFile(mainSettingsPath);
        section = sections::customCalibration(settings.calNo);
    } else {
        // A unit file that is missing must be reported, not created empty.
        file.SetPath(oldBoard ? mainSettingsPath
                              : channels[static_cast<std::size_t>(currentChannel)].unitFile);
        section = sections::kCalData;
    }
    if (!file.Load()) {
        return fail(messages::kOpenIniInReadCalData);
    }
    const CalibrationFit fit = FitCalibration(file, section, geometry.activePixels);
    if (fit.status == CalibrationStatus::TooFewPoints) {
        return fail(messages::kTooFewCalibrationPoints);
    }
    if (fit.status != CalibrationStatus::Ok) {
        return fail(messages::kBadCalibration);
    }
    geometry.pixelOfWavelength = fit.pixelOfWavelength;
    geometry.wavelengthOfPixel = fit.wavelengthOfPixel;
    calibrationPolynomialOrder = fit.order;
    acquisition.calStartWavelength = fit.startNm;
    acquisition.calEndWavelength = fit.endNm;
    return 1;
}

void DataControl::ResetGrid() {
    grid = quillon::ResetGrid(display.wavelengthStart, display.wavelengthEnd,
                              display.wavelengthStep, acquisition.calStartWavelength,
                              acquisition.calEndWavelength, geometry.activePixels);
    display.wavelengthStart = static_cast<float>(grid.start);
    display.wavelengthEnd = static_cast<float>(grid.end);
    display.wavelengthStep = static_cast<float>(grid.interval);
}

int DataControl::AllocateGridBuffers() {
    try {
        const auto points = static_cast<std::size_t>(std::max(grid.count, 0));
        buffers.gridResult.assign(points, 0.0f);
        buffers.gridIndex.assign(points, 0);
        buffers.gridReferenceMinusDark.assign(points, 0.0f);
        buffers.gridPhotopic.assign(points, 0.0f);
        buffers.filterCopy.assign(std::max<std::size_t>(points, geometry.activePixels), 0.0f);
    } catch (const std::bad_alloc &) {
        prompter.message(messages::kWavelengthMemory);
        return -1;
    }
    return 1;
}

void DataControl::ComputeWavelengthTables() {
    const int order = calibrationPolynomialOrder;
    for (std::size_t p = 0; p < buffers.wavelengthTable.size(); ++p) {
        buffers.wavelengthTable[p] = static_cast<float>(
            EvalPolynomial(geometry.wavelengthOfPixel, order, static_cast<double>(p + 1)));
    }
    ComputeGridIndex(grid, geometry.pixelOfWavelength, order, geometry.activePixels,
                     buffers.gridIndex);
}

int DataControl::RebuildWavelengthGrid() {
    ResetGrid();
    if (AllocateGridBuffers() != 1) {
        return -1;
    }
    ComputeWavelengthTables();
    // The photometric tables and the blackbody table follow here once the
    // photometry exists.
    RefreshReferenceMinusDark();
    return 1;
}

void DataControl::RefreshReferenceMinusDark() {
    if (!flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady)) {
        return;
    }
    const double obDifference = flags.status.test(status_bits::kOpticalBlackOn)
                                    ? scanParameters.darkOb - scanParameters.referenceOb
                                    : 0.0;
    scan::referenceMinusDarkOnGrid(buffers.reference, buffers.dark, buffers.gridIndex, obDifference,
                                   buffers.gridReferenceMinusDark);
}

int DataControl::FinishStartUp() {
    return finishConfiguration();
}

// Buffers, wavelength calibration, grid, hardware, then the snapshot that
// the dark/reference swap exchanges.
int DataControl::finishConfiguration() {
    if (AllocatePixelBuffers() != 1) {
        return -1;
    }
    if (NoDeviceMode()) {
        if (readCalibration(false) != 1) {
            usePixelAxisCalibration();
        }
    } else if (ReadCalData() != 1) {
        return -1;
    }
    ResetGrid();
    if (AllocateGridBuffers() != 1) {
        return -1;
    }
    ComputeWavelengthTables();
    // The photometric preparation follows here once the photometry exists.
    RefreshReferenceMinusDark();
    if (InitializeHardware() != 1) {
        return -1;
    }
    saveCurrentConfiguration();
    return 1;
}

void DataControl::saveCurrentConfiguration() {
    saved.geometry = geometry;
    saved.acquisition = acquisition;
    saved.display = display;
    saved.model = model;
    saved.limits = limits;
    saved.statusWord = flags.status.load();
}

int DataControl::ChangeChannel(int channel) {
    if (SuspendAcquisition(0) != 1) {
        ResumeAcquisition(0);
        return 0;
    }
    int result = ConfigureChannel(channel, 1);
    if (result == 1) {
        // Dark and reference of another unit mean nothing here.
        flags.status.clear(status_bits::kDarkReady | status_bits::kReferenceReady);
        flags.option.clear(option_bits::kShowDarkLine | option_bits::kShowReferenceLine);
        result = finishConfiguration();
    }
    ResumeAcquisition(0);
    return result;
}

} // namespace quillon
