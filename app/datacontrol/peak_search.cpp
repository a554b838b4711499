// FindPeaks of the measurement object: what the peak finder reads from the
// current channel, gathered in one place.
#include "datacontrol/data_control.h"

#include <algorithm>

namespace quillon {

namespace {

// The counts behind the displayed values, before smoothing: the averaged
// raw frame of a live scan, the stored counts of a memory item.
std::vector<float> countsBehindValues(const ChannelState &s) {
    const std::size_t active = s.geometry.activePixels;
    std::vector<float> counts(active, 0.0f);
    if (s.flags.option.test(option_bits::kMemoryMode)) {
        if (s.memory.current() >= 1 &&
            static_cast<std::size_t>(s.memory.current()) <= s.memory.size()) {
            s.memory.item(s.memory.current()).copyCounts(counts);
        }
        return counts;
    }
    const std::size_t first = s.geometry.firstActivePixel;
    for (std::size_t i = 0; i < active && first + i < s.buffers.rawFrame.size(); ++i) {
        counts[i] = static_cast<float>(s.buffers.rawFrame[first + i]);
    }
    return counts;
}

} // namespace

int DataControl::FindPeaks(const PeakSettings &settings) {
    const ChannelState &s = state;
    const ScanResult result = pipeline.CurrentResult();
    PeakSearch search;
    search.values = result.values;
    search.gridData = result.wavelengthBase;
    search.gridStart = result.start;
    search.gridStep = result.step;
    search.settings = settings;
    search.level = thresholdLevel(settings, s.flags.displayMode(), s.display,
                                  s.flags.option.test(option_bits::kRelativeIrradiance));
    search.calibration = {s.geometry.wavelengthOfPixel, s.calibrationPolynomialOrder};
    const std::vector<float> counts = countsBehindValues(s);
    search.counts = counts;
    search.pixelOfPoint = s.buffers.gridIndex;
    // Counts are scaled so that a full-scale sample reads the axis maximum.
    search.ceiling =
        s.display.countMax > 0
            ? s.display.countMax
            : static_cast<double>((1u << std::min<unsigned>(s.geometry.adcBits, 16)) - 1u);
    (void)peaks.FindPeaks(search);
    return 1;
}

} // namespace quillon
