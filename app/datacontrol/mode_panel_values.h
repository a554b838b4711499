// The choices of the mode panel: the display mode with its y range, the
// low-pass filter and, on units calibrated for irradiance, the form of the
// irradiance display. DataControl fills them when the panel opens and
// applies them when it closes (mode_panel_apply.cpp).
#ifndef QUILLON_APP_DATACONTROL_MODE_PANEL_VALUES_H
#define QUILLON_APP_DATACONTROL_MODE_PANEL_VALUES_H

#include "datacontrol/display_flags.h"
#include "datacontrol/op_result.h"

#include <cstdint>
#include <string>

namespace quillon {

// What the panel's entry fields accept; the ranges of keys the settings
// table also holds are narrowed to these where the panel offers less.
namespace mode_panel_limits {
inline constexpr int kFilterWindowMin = 3;
inline constexpr int kFilterWindowMax = 21;
inline constexpr int kFilterWindowStep = 2;
inline constexpr int kTemperatureMax = 10000;
inline constexpr double kSolidAngleMin = 0.0;
inline constexpr double kSolidAngleMax = 360.0;
} // namespace mode_panel_limits

// The y range the panel shows for a mode, with the unit label beside it.
struct ModePanelRange {
    double min = 0.0;
    double max = 0.0;
    std::string unit; // "(%)", "(A)", "(%/nm)" or "(uW/cm^2/nm)"
    // False for the relative irradiance form: it shows the T/R range but
    // does not store it.
    bool stored = true;
};

struct ModePanelValues {
    DisplayMode mode = DisplayMode::Scope; // Scope, TransRefl, Absorbance or Irradiance
    double max = 0.0;
    double min = 0.0;
    bool lowPassFilter = false;
    int filterWindow = 3;
    // Used on units calibrated for irradiance only.
    bool relativeIrradiance = true;
    bool illuminance = false;
    int colourTemperature = 3000; // K, relative form
    int distanceCm = 50;          // absolute form
    double solidAngle = 180.0;    // full cone angle in degrees, absolute form
};

// What the panel shows when it opens.
struct ModePanelOpening {
    ModePanelValues values;
    std::string rangeUnit;
    // The unit is calibrated for irradiance: the irradiance choice and its
    // controls exist.
    bool irradianceControls = false;
    // The accepted ranges of the entry fields (from the settings table).
    double rangeLimit = 0.0; // Max/Min lie within -rangeLimit..rangeLimit
    int temperatureMin = 0;
    int temperatureMax = 0;
    int distanceMin = 0;
    int distanceMax = 0;
};

// What closing the panel did: the new caption of the mode button, or why
// nothing was changed (`problem`, not told yet) or what went wrong after the
// change began (Failed: the user has been told; the mode is then Scope).
struct ModePanelOutcome {
    OpResult result = OpResult::NotDone;
    std::string problem;
    std::string caption;
    DisplayMode mode = DisplayMode::Scope;
};

} // namespace quillon

#endif
