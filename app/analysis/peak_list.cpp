#include "analysis/peak_list.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// A peak whose span holds a count at the ceiling has an unreliable centre
// and width: it is listed all the same, marked.
bool spanSaturated(const PeakSearch &search, const analysis::Peak &peak) {
    if (search.counts.empty() || !(search.ceiling > 0.0)) {
        return false;
    }
    for (int i = peak.first; i <= peak.last; ++i) {
        auto pixel = static_cast<std::size_t>(i);
        if (search.gridData) {
            if (pixel >= search.pixelOfPoint.size()) {
                return false;
            }
            pixel = static_cast<std::size_t>(std::max(0, search.pixelOfPoint[pixel]));
        }
        if (pixel < search.counts.size() && search.counts[pixel] >= search.ceiling) {
            return true;
        }
    }
    return false;
}

} // namespace

analysis::PeakKind peakKindOf(const PeakSettings &settings) {
    return settings.noiseHighLow == 1 ? analysis::PeakKind::Low : analysis::PeakKind::High;
}

double thresholdLevel(const PeakSettings &settings, DisplayMode mode, const DisplayRecord &display,
                      bool relativeIrradiance) {
    const double percent = peakKindOf(settings) == analysis::PeakKind::High
                               ? settings.noiseLine
                               : 100.0 - settings.noiseLine;
    double range = 0.0;
    switch (mode) {
    case DisplayMode::Scope:
    case DisplayMode::DarkScan:
    case DisplayMode::ReferenceScan:
        range = static_cast<double>(display.countMax) - display.countMin;
        break;
    case DisplayMode::TransRefl:
        range = static_cast<double>(display.trMax) - display.trMin;
        break;
    case DisplayMode::Absorbance:
        range = static_cast<double>(display.absMax) - display.absMin;
        break;
    case DisplayMode::Irradiance:
        range = relativeIrradiance ? static_cast<double>(display.trMax) - display.trMin
                                   : static_cast<double>(display.irrMax) - display.irrMin;
        break;
    default:
        return 0.0;
    }
    return percent / 100.0 * range;
}

PeakPlace peakPlace(const analysis::Peak &peak, bool gridData,
                    std::span<const float> wavelengthTable) {
    PeakPlace place;
    if (gridData) {
        place.wavelength = peak.position;
    } else if (std::isfinite(peak.position)) {
        const double nearest = std::trunc(static_cast<double>(peak.position) + 0.5);
        place.pixel = static_cast<int>(std::clamp(nearest, 0.0, 1.0e9));
        if (place.pixel >= 1 && static_cast<std::size_t>(place.pixel) <= wavelengthTable.size()) {
            place.wavelength = wavelengthTable[static_cast<std::size_t>(place.pixel - 1)];
        }
    }
    place.wavenumber = place.wavelength > 0.0 ? 1.0e7 / place.wavelength : 0.0;
    return place;
}

int PeakList::FindPeaks(const PeakSearch &search) {
    scratch.clear();
    analysis::PeakScan scan;
    scan.kind = peakKindOf(search.settings);
    scan.level = search.level;
    scan.noise = analysis::peakNoise(search.values, search.gridData, search.settings.noiseRatio);
    scan.cutoff = search.settings.noiseCutoff;
    if (search.gridData) {
        analysis::findGridPeaks(search.values, scan, search.gridStart, search.gridStep, scratch);
    } else {
        analysis::findPixelPeaks(search.values, scan, search.calibration, scratch);
    }
    for (analysis::Peak &peak : scratch) {
        peak.saturated = spanSaturated(search, peak);
    }
    const std::lock_guard lock(mutex);
    peaks.swap(scratch);
    ++revision;
    return static_cast<int>(peaks.size());
}

void PeakList::ClearPeaks() {
    const std::lock_guard lock(mutex);
    if (!peaks.empty()) {
        peaks.clear();
        ++revision;
    }
}

std::vector<analysis::Peak> PeakList::Peaks() const {
    const std::lock_guard lock(mutex);
    return peaks;
}

void PeakList::CopyTo(std::vector<analysis::Peak> &out) const {
    const std::lock_guard lock(mutex);
    out.assign(peaks.begin(), peaks.end());
}

std::size_t PeakList::size() const {
    const std::lock_guard lock(mutex);
    return peaks.size();
}

std::uint64_t PeakList::Revision() const {
    const std::lock_guard lock(mutex);
    return revision;
}

} // namespace quillon
