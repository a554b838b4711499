#include "datacontrol/scan_rules.h"

namespace quillon {

ScanNeed scanNeed(const ChannelState &state) {
    const DisplayMode mode = state.flags.displayMode();
    const bool relativeIrradiance = state.flags.option.test(option_bits::kRelativeIrradiance);
    const bool ratio = mode == DisplayMode::TransRefl || mode == DisplayMode::Absorbance ||
                       (mode == DisplayMode::Irradiance && relativeIrradiance);
    if (ratio && !state.flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady)) {
        return ScanNeed::DarkAndReference;
    }
    if (mode == DisplayMode::Irradiance && !state.flags.status.test(status_bits::kDarkReady)) {
        return ScanNeed::Dark;
    }
    return ScanNeed::Nothing;
}

bool scanSucceeded(const DataControl &dc, ScanOutcome result) {
    return result == ScanOutcome::Scanned && !dc.UnitDisconnected();
}

std::string scanFailure(const DataControl &dc, ScanOutcome result) {
    if (result == ScanOutcome::NoTrigger) {
        return "no trigger arrived (external-trigger mode)";
    }
    if (dc.UnitDisconnected() || result == ScanOutcome::NoUnit) {
        return "the unit does not answer";
    }
    return "the scan failed";
}

std::string quantityName(const ChannelState &state) {
    const DisplayMode mode = state.flags.displayMode();
    if (mode != DisplayMode::Irradiance) {
        return displayModeName(mode);
    }
    if (state.flags.option.test(option_bits::kRelativeIrradiance)) {
        return "relative_irradiance_%";
    }
    return state.settings.irradLux != 0 ? "illuminance_lux/nm" : "irradiance_uW/cm^2/nm";
}

std::string quantityUnit(const ChannelState &state) {
    switch (state.flags.displayMode()) {
    case DisplayMode::TransRefl:
        return "%";
    case DisplayMode::Absorbance:
        return "AU";
    case DisplayMode::Irradiance:
        if (state.flags.option.test(option_bits::kRelativeIrradiance)) {
            return "%";
        }
        return state.settings.irradLux != 0 ? "lux/nm" : "uW/cm^2/nm";
    default:
        return "counts";
    }
}

} // namespace quillon
