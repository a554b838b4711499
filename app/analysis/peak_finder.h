// The numeric side of peak finding: the noise estimate, the three-state scan
// over the displayed values, the weighted centre and the width at half
// height. Plain functions over spans, so that they can be checked and timed
// without a measurement object.
#ifndef QUILLON_APP_ANALYSIS_PEAK_FINDER_H
#define QUILLON_APP_ANALYSIS_PEAK_FINDER_H

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::analysis {

// One found peak (or dip). `position` is the pixel number from 1 on pixel
// data, the wavelength in nm on grid data; `fwhm` is 0 when not measured.
// `first` and `last` are the indexes of the values the peak spans.
struct Peak {
    float position = 0.0f;
    float intensity = 0.0f;
    float fwhm = 0.0f;
    int first = 0;
    int last = 0;
    bool saturated = false; // a count at the ceiling inside the span
};

enum class PeakKind { High, Low };

struct PeakScan {
    PeakKind kind = PeakKind::High;
    double level = 0.0; // threshold L in display units
    double noise = 0.0; // N, already multiplied by the noise ratio
    int cutoff = 2;     // minimum height in noise units and flat steps that end a peak
};

// Wavelength of a fractional pixel number (from 1): sum c[k] p^k up to `order`.
struct PixelCalibration {
    std::span<const float> coefficients;
    int order = 1;
};

// Mean absolute step between neighbours, times `ratio`; on grid data the
// mean is divided by ten more. Fewer than two values give 0.
double peakNoise(std::span<const float> y, bool gridData, double ratio);

// Index of the value-weighted centre of the three extreme values of
// y[first..last] (largest for high peaks, smallest for low), rounded half up.
// `extreme` gets the most extreme value.
int weightedCentre(std::span<const float> y, int first, int last, PeakKind kind, float &extreme);

// Full width at half height in nm of the peak over y[first..last] with the
// extreme value `top`; 0 when the span is under four points or either
// crossing is missing.
double peakWidth(std::span<const float> y, int first, int last, float top, PeakKind kind,
                 const PixelCalibration &calibration);

// The scans append to `peaks` in order of discovery.
void findPixelPeaks(std::span<const float> y, const PeakScan &scan,
                    const PixelCalibration &calibration, std::vector<Peak> &peaks);
void findGridPeaks(std::span<const float> y, const PeakScan &scan, double gridStart,
                   double gridStep, std::vector<Peak> &peaks);

} // namespace quillon::analysis

#endif
