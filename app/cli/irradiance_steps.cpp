#include "cli/irradiance_steps.h"

#include "cli/session.h"
#include "cli/step_helpers.h"
#include "cli/table_output.h"
#include "platform/files.h"

#include <charconv>

namespace quillon::cli {

namespace {

constexpr long kLargestDistance = kLargestLampDistanceCm;

bool refuseWithoutLamp(Session &s, const StepCall &call) {
    if (inMemoryMode(s)) {
        return s.fail(call, "it measures the light on the unit (memory-leave first)");
    }
    return refuseWithoutUnit(s, call);
}

} // namespace

std::string checkDistance(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kLargestDistance) {
        return "a distance in cm from 1 to " + std::to_string(kLargestDistance) + ", not '" +
               std::string(text) + "'";
    }
    return {};
}

bool runIrradianceCalibrate(Session &s, const StepCall &call) {
    if (!refuseWithoutLamp(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    if (!dc.State().flags.status.test(status_bits::kDarkReady)) {
        return s.fail(call, "the lamp scan needs a dark scan first (step dark)");
    }
    const auto distance = static_cast<std::int32_t>(std::stol(call.args[0]));
    const OpResult result = dc.CalibrateIrradiance(distance);
    if (result == OpResult::NotDone) {
        return s.fail(call, "acquisition did not pause");
    }
    if (result != OpResult::Done) {
        return s.fail(call, "the unit was not calibrated");
    }
    s.note("calibrated at " + std::to_string(distance) +
           " cm: " + platform::pathText(dc.Photometry().UnitFile()));
    return true;
}

bool runTotals(Session &s, const StepCall &call) {
    if (!refuseWithoutLamp(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    if (dc.State().flags.displayMode() != DisplayMode::Irradiance ||
        dc.State().flags.option.test(option_bits::kRelativeIrradiance) ||
        dc.Photometry().Calibration() == nullptr) {
        return s.fail(call, "the totals are measured in absolute irradiance "
                            "(set mode=irradiance irradiance=absolute, or illuminance)");
    }
    if (!dc.State().flags.status.test(status_bits::kDarkReady)) {
        return s.fail(call, "absolute irradiance needs a dark scan first (step dark)");
    }
    const ScanOutcome outcome = dc.AcquireScan();
    if (!scanSucceeded(dc, outcome)) {
        return s.fail(call, scanFailure(dc, outcome));
    }
    const PhotometricTotals &t = dc.State().photometry;
    const bool lux = dc.State().settings.irradLux != 0;
    const auto value = [lux](bool luxRow, float v) {
        return luxRow == lux ? formatFloat(v) : std::string("-");
    };
    const auto format = *tableFormatFromName(call.option("--format", "tsv"));
    const std::vector<std::pair<const char *, std::string>> rows{
        {"total_power_uW", value(false, t.totalPower)},
        {"total_irradiance_uW/cm^2", value(false, t.totalIrradiance)},
        {"illuminance_lux", value(true, t.illuminance)},
        {"luminous_flux_lm", value(true, t.luminousFlux)},
        {"colour_temperature_K", formatFloat(dc.Photometry().ColourTemperature())},
        {"distance_cm", std::to_string(dc.State().settings.irradDist)},
        {"cone_angle_deg", formatFloat(t.coneAngle)}};
    if (format == TableFormat::Json) {
        s.out << '{';
        for (std::size_t i = 0; i < rows.size(); ++i) {
            s.out << (i == 0 ? "" : ",") << jsonString(rows[i].first) << ':'
                  << (rows[i].second == "-" ? "null" : rows[i].second);
        }
        s.out << "}\n";
        return true;
    }
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    s.out << "quantity" << separator << "value\n";
    for (const auto &[name, text] : rows) {
        s.out << name << separator << text << '\n';
    }
    return true;
}

} // namespace quillon::cli
