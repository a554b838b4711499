// Calibration points from a scan of an emission-line lamp: the peaks of the
// counts on the pixel axis, each matched to the line the present calibration
// puts nearest to it.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"

#include <algorithm>
#include <limits>

namespace quillon {

namespace {

// A peak this much wider than the median peak holds more than one line.
constexpr float kBlendWidthFactor = 1.15f;

} // namespace

std::optional<LampPoints> DataControl::PointsFromLampScan(std::span<const double> linesNm,
                                                          double toleranceNm) {
    // Peaks in pixels of the raw counts: scope mode on the pixel axis.
    if (state.flags.option.test(option_bits::kMemoryMode) ||
        state.flags.displayMode() != DisplayMode::Scope ||
        state.flags.option.test(option_bits::kWavelengthBase)) {
        prompter.message(messages::kLampScanNeedsScope);
        return std::nullopt;
    }
    const ScanOutcome scan = AcquireScan();
    if (scan != ScanOutcome::Scanned || UnitDisconnected()) {
        prompter.message(messages::kLampScanFailed);
        return std::nullopt;
    }
    (void)FindPeaks();
    const std::vector<analysis::Peak> found = peaks.Peaks();
    std::vector<float> widths;
    for (const analysis::Peak &peak : found) {
        if (!peak.saturated && peak.fwhm > 0.0f) {
            widths.push_back(peak.fwhm);
        }
    }
    // Two lines closer than the instrument resolves give one broad peak whose
    // centre lies between them (or no width at all, when its flanks run into
    // the next peak): such blends are left out.
    float widest = std::numeric_limits<float>::max();
    if (!widths.empty()) {
        std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
        widest = kBlendWidthFactor * widths[widths.size() / 2];
    }
    std::vector<double> pixels;
    int saturated = 0;
    int blends = 0;
    for (const analysis::Peak &peak : found) {
        if (peak.saturated) {
            ++saturated;
        } else if (peak.fwhm > widest || !(peak.fwhm > 0.0f)) {
            ++blends;
        } else {
            pixels.push_back(peak.position);
        }
    }
    const auto matches = matchPeaksToLines(pixels, linesNm, state.geometry.wavelengthOfPixel,
                                           state.calibrationPolynomialOrder, toleranceNm);
    LampPoints lamp = lampPointsOf(matches);
    lamp.peaksFound = static_cast<int>(found.size());
    lamp.saturatedPeaks = saturated;
    lamp.blendedPeaks = blends;
    return lamp;
}

} // namespace quillon
