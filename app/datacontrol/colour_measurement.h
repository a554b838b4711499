// The colour of a sample as the colour view measures it, for the headless
// front ends: T/R in % on the grid 400-700 nm at 10 nm (the white reference
// scaled by RefWhite), with the user's grid, base and mode put back after.
#ifndef QUILLON_APP_DATACONTROL_COLOUR_MEASUREMENT_H
#define QUILLON_APP_DATACONTROL_COLOUR_MEASUREMENT_H

#include "datacontrol/data_control.h"
#include "photometry/color_calc.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// Settings changed for one measurement and put back afterwards, so that it
// leaves the user's own grid, base and mode as they were.
class TemporarySettings {
public:
    TemporarySettings(DataControl &control,
                      std::vector<std::pair<const char *, std::string>> wanted);
    ~TemporarySettings() { (void)restore(); }
    TemporarySettings(const TemporarySettings &) = delete;
    TemporarySettings &operator=(const TemporarySettings &) = delete;

    // Puts the settings back; empty when that worked.
    std::string restore();
    // Empty when the settings were applied.
    std::string problem;

private:
    DataControl &dc;
    std::vector<std::pair<const char *, std::string>> saved;
};

struct ColourRequest {
    // None: the selection of the colour settings, which a choice replaces
    // (it is kept, as the colour panel keeps it).
    std::optional<int> illuminant; // index into colour::kIlluminantNames
    std::optional<int> observer;   // 0: 2 degree, 1: 10 degree
    // dE against this L*, a*, b*; none: against the previous measurement.
    std::optional<std::array<float, 3>> referenceLab;
    // Sees the engine and the state while the display is still on the
    // colour grid (the export takes its reflectance table there).
    std::function<void(const ColorCalc &, const ChannelState &)> whileOnGrid;
};

struct ColourMeasurement {
    enum class Outcome { Measured, NeedsDarkAndReference, Failed };
    Outcome outcome = Outcome::Failed;
    std::string problem; // why there is no colour
    std::vector<std::string> warnings;
    ColorValues values;
    std::uint32_t tile = 0; // 0x00BBGGRR
    std::optional<int> cctKelvin;
    int illuminant = 0;
    int observer = 0;
};

// The values by the names the tables give them, in the tables' order.
std::vector<std::pair<const char *, float>> colourRows(const ColorValues &values);

// Takes the scan; the caller has checked that a unit is there.
ColourMeasurement MeasureColour(DataControl &dc, const ColourRequest &request);

} // namespace quillon

#endif
