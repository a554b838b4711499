// The peak list of the measurement object: rebuilt by FindPeaks on the
// displayed data, emptied by ClearPeaks, read by the graph, the peak table
// and the printed sheet. The acquisition worker copies it each pass while
// the interface thread may rebuild it, so the list keeps its own lock.
#ifndef QUILLON_APP_ANALYSIS_PEAK_LIST_H
#define QUILLON_APP_ANALYSIS_PEAK_LIST_H

#include "analysis/peak_finder.h"
#include "datacontrol/display_flags.h"
#include "datacontrol/records.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace quillon {

// Everything one run reads: the displayed values and how they lie, the
// settings, the threshold level, the calibration for the widths, and the
// counts behind the values for the saturation check.
struct PeakSearch {
    std::span<const float> values;
    bool gridData = false; // values on the uniform wavelength grid
    double gridStart = 0.0;
    double gridStep = 1.0;
    double level = 0.0; // see thresholdLevel
    PeakSettings settings;
    analysis::PixelCalibration calibration;
    // Counts per pixel before smoothing, the pixel index of each grid point
    // (grid data), and the count at which the sensor saturates.
    std::span<const float> counts;
    std::span<const std::int32_t> pixelOfPoint;
    double ceiling = 0.0;
};

// The threshold level L: NoiseLine percent (100 - NoiseLine for low peaks)
// of the display range of the mode. Modes outside the five give 0.
double thresholdLevel(const PeakSettings &settings, DisplayMode mode, const DisplayRecord &display,
                      bool relativeIrradiance);

analysis::PeakKind peakKindOf(const PeakSettings &settings);

// A peak's place in every x unit. On pixel data the wavelength is the table
// entry of the nearest whole pixel, trunc(position + 0.5); on grid data
// there is no pixel (0). Wavenumbers are 1e7 / wavelength (0 without one).
struct PeakPlace {
    int pixel = 0;
    double wavelength = 0.0;
    double wavenumber = 0.0;
};
PeakPlace peakPlace(const analysis::Peak &peak, bool gridData,
                    std::span<const float> wavelengthTable);

class PeakList {
public:
    // Rebuilds the list from `search`; returns the number of peaks.
    int FindPeaks(const PeakSearch &search);
    void ClearPeaks();

    // A copy of the list, in order of discovery.
    std::vector<analysis::Peak> Peaks() const;
    // The same into `out`, keeping its room (the worker's pass).
    void CopyTo(std::vector<analysis::Peak> &out) const;
    // Calls `visit` with each peak under the list's lock.
    template <typename Visit>
    void ForEach(Visit visit) const {
        const std::lock_guard lock(mutex);
        for (const analysis::Peak &peak : peaks) {
            visit(peak);
        }
    }
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    // Grows with every change, so that a reader can tell a new list.
    std::uint64_t Revision() const;

private:
    mutable std::mutex mutex;
    std::vector<analysis::Peak> peaks;
    std::vector<analysis::Peak> scratch; // interface thread only
    std::uint64_t revision = 0;
};

} // namespace quillon

#endif
