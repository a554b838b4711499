// Everything one draw pass of the spectrum graph needs, copied by the
// acquisition worker each pass so that drawing never reaches into the
// measurement object. No Qt.
#ifndef QUILLON_APP_SHELL_GRAPH_SNAPSHOT_H
#define QUILLON_APP_SHELL_GRAPH_SNAPSHOT_H

#include "datacontrol/display_flags.h"
#include "shell/axis_ticks.h"
#include "shell/graph_texts.h"
#include "shell/view_range.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Colours as the settings store them: R + 256·G + 65536·B.
struct GraphColours {
    std::int32_t back = 255 + 256 * 255 + 65536 * 255;
    std::int32_t pixel = 255 + 256 * 60 + 65536 * 60;
    std::int32_t trans = 16 + 256 * 32 + 65536 * 255;
    std::int32_t absorb = 100 + 256 * 100;
    std::int32_t irrad = 256 * 255;

    // Trace colour of a display mode.
    std::int32_t trace(GraphMode mode) const;
};

// Uniform wavelength grid of wavelength-base data.
struct GraphGrid {
    double start = 0.0;
    double step = 1.0;
    int count = 0;
};

// From the scan-parameter record: current optical-black level, mean and
// variance of the spectrum.
struct ScanStatistics {
    float blackLevel = 0.0f;
    float mean = 0.0f;
    float variance = 0.0f;
};

// The memory items before the selected one, newest first, drawn behind the
// spectrum while memory playback runs. The vectors keep their room between
// passes.
struct MemoryTraces {
    static constexpr int kMax = 5;
    std::array<std::vector<float>, kMax> counts;
    int count = 0;
};

struct GraphSnapshot {
    GraphMode mode = GraphMode::Scope;
    GraphXUnit xUnit = GraphXUnit::Pixel;
    bool calibratedAxis = false; // values are on the wavelength grid
    bool relativeIrradiance = false;
    IrradianceUnit irradianceUnit = IrradianceUnit::Irradiance;
    std::uint32_t displayWord = display_word::kXGrid | display_word::kYGrid;
    bool showDark = false;
    bool showReference = false;

    ViewRange range; // scales are recomputed for the picture being drawn
    TickSettings xTicks;
    TickSettings yTicks;

    std::vector<float> values;          // spectrum per pixel, or result per grid point
    std::vector<float> dark;            // per pixel
    std::vector<float> reference;       // per pixel
    std::vector<float> wavelengthTable; // wavelength of pixel p+1
    GraphGrid grid;
    std::vector<double> wavelengthPolynomial; // c0..cm, λ(p) with p from 1

    GraphColours colours;
    std::string mainTitle;
    std::string secondTitle;
    bool verticalAxisTitle = false;

    MemoryTraces memoryTraces;
    std::vector<PeakMark> peaks;
    std::optional<ScanStatistics> statistics;
};

} // namespace quillon

#endif
