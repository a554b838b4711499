// DataControl's side of the mode panel: the values it opens with and its
// choices applied in one step when it closes. The y ranges, the filter and
// the irradiance keys keep their rules in the settings table; the panel
// narrows some of their ranges to what it offers.
#include "datacontrol/data_control.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

bool irradianceUnit(const ChannelState &s) {
    return (s.settings.initPane & 8u) != 0;
}

const SettingKey &key(const char *name) {
    return *SettingsTable::Find(name);
}

void store(ChannelState &s, const char *name, double value) {
    const SettingKey &k = key(name);
    k.set(s, SettingValue{SettingsTable::Limit(k, value), {}});
}

bool oneOfThePanelModes(DisplayMode mode) {
    return mode == DisplayMode::Scope || mode == DisplayMode::TransRefl ||
           mode == DisplayMode::Absorbance || mode == DisplayMode::Irradiance;
}

// The range keys of a mode; null names for the scope mode, which has none.
struct RangeKeys {
    const char *min = nullptr;
    const char *max = nullptr;
};

RangeKeys rangeKeysOf(DisplayMode mode, bool relative) {
    switch (mode) {
    case DisplayMode::TransRefl:
        return {"MinT", "MaxT"};
    case DisplayMode::Absorbance:
        return {"MinA", "MaxA"};
    case DisplayMode::Irradiance:
        // The relative form is a percentage of the blackbody: the T/R range.
        return relative ? RangeKeys{"MinT", "MaxT"} : RangeKeys{"MinI", "MaxI"};
    default:
        return {};
    }
}

std::string outsideRange(const char *what, double value, double low, double high) {
    auto text = [](double v) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') {
            s.pop_back();
        }
        return s;
    };
    return std::string(what) + " must lie from " + text(low) + " to " + text(high) + ", not " +
           text(value);
}

} // namespace

ModePanelRange DataControl::ModePanelRangeOf(DisplayMode mode, bool relativeIrradiance) const {
    ModePanelRange range;
    const RangeKeys keys = rangeKeysOf(mode, relativeIrradiance);
    if (keys.min != nullptr) {
        range.min = key(keys.min).get(state).number;
        range.max = key(keys.max).get(state).number;
    }
    switch (mode) {
    case DisplayMode::Absorbance:
        range.unit = "(A)";
        break;
    case DisplayMode::Irradiance:
        range.unit = relativeIrradiance ? "(%/nm)" : "(uW/cm^2/nm)";
        range.stored = !relativeIrradiance;
        break;
    default:
        range.unit = "(%)";
        break;
    }
    return range;
}

ModePanelOpening DataControl::OpenModePanel() const {
    ModePanelOpening opening;
    ModePanelValues &v = opening.values;
    const DisplayMode mode = state.flags.displayMode();
    v.mode = oneOfThePanelModes(mode) ? mode : DisplayMode::Scope;
    // Absolute irradiance lives on the calibrated axis; held on pixels, the
    // panel offers the relative form first.
    v.relativeIrradiance = state.flags.option.test(option_bits::kRelativeIrradiance) ||
                           !state.flags.option.test(option_bits::kWavelengthBase);
    const ModePanelRange range = ModePanelRangeOf(v.mode, v.relativeIrradiance);
    v.min = range.min;
    v.max = range.max;
    opening.rangeUnit = range.unit;
    v.lowPassFilter = state.settings.filterOn != 0;
    v.filterWindow = std::clamp(state.settings.filterWin, mode_panel_limits::kFilterWindowMin,
                                mode_panel_limits::kFilterWindowMax);
    v.filterWindow |= 1; // the filter takes odd windows
    v.illuminance = state.settings.irradLux != 0;
    v.colourTemperature = state.settings.colorTemp;
    v.distanceCm = state.settings.irradDist;
    v.solidAngle = state.photometry.coneAngle;
    opening.irradianceControls = irradianceUnit(state);

    const SettingKey &maxT = key("MaxT");
    opening.rangeLimit = maxT.maximum;
    const SettingKey &temperature = key("ColorTemp");
    opening.temperatureMin = static_cast<int>(temperature.minimum);
    opening.temperatureMax =
        std::min(static_cast<int>(temperature.maximum), mode_panel_limits::kTemperatureMax);
    const SettingKey &distance = key("IrradDist");
    opening.distanceMin = static_cast<int>(distance.minimum);
    opening.distanceMax = static_cast<int>(distance.maximum);
    return opening;
}

namespace {

// Why the choices cannot be applied; empty when they can.
std::string checkChoices(const DataControl &control, const ModePanelValues &v) {
    using namespace mode_panel_limits;
    const ChannelState &state = control.State();
    if (!oneOfThePanelModes(v.mode)) {
        return "the mode panel offers the scope, T/R, absorbance and irradiance modes only";
    }
    const bool irradiance = irradianceUnit(state);
    if (v.mode == DisplayMode::Irradiance && !irradiance) {
        return "irradiance needs a unit calibrated for irradiance";
    }
    const FlagWord &status = state.flags.status;
    if (v.mode != DisplayMode::Scope &&
        !(status.test(status_bits::kDarkReady) && status.test(status_bits::kReferenceReady))) {
        return "this mode needs a dark and a reference scan";
    }
    const ModePanelRange range = control.ModePanelRangeOf(v.mode, v.relativeIrradiance);
    if (v.mode != DisplayMode::Scope && range.stored) {
        const double limit = key("MaxT").maximum;
        for (const double value : {v.min, v.max}) {
            if (!std::isfinite(value) || std::abs(value) > limit) {
                return outsideRange(value == v.min ? "Min" : "Max", value, -limit, limit);
            }
        }
        if (v.min >= v.max) {
            return "Min must lie below Max";
        }
    }
    if (v.filterWindow < kFilterWindowMin || v.filterWindow > kFilterWindowMax ||
        v.filterWindow % 2 == 0) {
        return "the filtering window size is an odd number from 3 to 21, not " +
               std::to_string(v.filterWindow);
    }
    if (!irradiance) {
        return {};
    }
    const ModePanelOpening accepted = control.OpenModePanel();
    if (v.relativeIrradiance && (v.colourTemperature < accepted.temperatureMin ||
                                 v.colourTemperature > accepted.temperatureMax)) {
        return outsideRange("Temperature(K)", v.colourTemperature, accepted.temperatureMin,
                            accepted.temperatureMax);
    }
    if (!v.relativeIrradiance) {
        if (v.distanceCm < accepted.distanceMin || v.distanceCm > accepted.distanceMax) {
            return outsideRange("Distance(cm)", v.distanceCm, accepted.distanceMin,
                                accepted.distanceMax);
        }
        if (!std::isfinite(v.solidAngle) || v.solidAngle < kSolidAngleMin ||
            v.solidAngle > kSolidAngleMax) {
            return outsideRange("Solid Angle", v.solidAngle, kSolidAngleMin, kSolidAngleMax);
        }
    }
    return {};
}

} // namespace

ModePanelOutcome DataControl::ApplyModePanel(const ModePanelValues &v) {
    ModePanelOutcome outcome;
    outcome.mode = state.flags.displayMode();
    outcome.problem = checkChoices(*this, v);
    if (!outcome.problem.empty()) {
        return outcome;
    }
    const SuspendedAcquisition quiet(hold, HoldBy::Dialog);
    if (!quiet.paused()) {
        outcome.problem = "acquisition did not pause";
        return outcome;
    }
    // The range of the relative irradiance form is the T/R range seen as a
    // percentage of the blackbody; it is not the form's own.
    const RangeKeys keys = rangeKeysOf(v.mode, v.relativeIrradiance);
    if (keys.min != nullptr && ModePanelRangeOf(v.mode, v.relativeIrradiance).stored) {
        store(state, keys.max, v.max);
        store(state, keys.min, v.min);
    }
    store(state, "FilterOn", v.lowPassFilter ? 1 : 0);
    store(state, "FilterWin", v.filterWindow);
    SetDisplayMode(v.mode);

    outcome.result = OpResult::Done;
    if (irradianceUnit(state)) {
        state.flags.option.assign(option_bits::kRelativeIrradiance, v.relativeIrradiance);
        state.settings.irradLux = v.illuminance ? 1 : 0;
        if (v.relativeIrradiance) {
            store(state, "ColorTemp", v.colourTemperature);
        } else {
            // Kept also before a calibration is loaded: entering the
            // absolute form starts from these.
            state.photometry.coneAngle = static_cast<float>(v.solidAngle);
            irradiance.SetMeasuringDistance(v.distanceCm);
        }
    }
    // A new form, temperature or geometry: the irradiance mode is entered
    // afresh; the other modes need none of its data.
    irradiance.LeaveIrradianceMode();
    if (v.mode == DisplayMode::Irradiance) {
        irradiance.UpdateGeometry();
        if (irradiance.EnterIrradianceMode(false) != OpResult::Done) {
            state.flags.setDisplayMode(DisplayMode::Scope);
            outcome.result = OpResult::Failed;
        }
    }

    outcome.mode = state.flags.displayMode();
    switch (outcome.mode) {
    case DisplayMode::TransRefl:
        outcome.caption = "&T/R(%)";
        break;
    case DisplayMode::Absorbance:
        outcome.caption = "&Absorbance";
        break;
    case DisplayMode::Irradiance:
        outcome.caption = state.settings.irradLux != 0 ? "&Illuminance" : "&Irradiance";
        break;
    default:
        outcome.caption = "&Scope";
        break;
    }
    return outcome;
}

} // namespace quillon
