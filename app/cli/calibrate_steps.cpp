#include "cli/calibrate_steps.h"

#include "cli/session.h"
#include "cli/step_helpers.h"
#include "datacontrol/data_control.h"
#include "platform/files.h"

#include <cstdio>

namespace quillon::cli {

namespace {

constexpr double kDefaultToleranceNm = 2.0;
constexpr double kLargestToleranceNm = 20.0;
// Lamp lines fit far better than this; points that do not were matched by
// chance (no lamp, the wrong lamp, a calibration off by more than the tolerance).
constexpr double kLargestStoredRmsNm = 0.25;

std::string fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The lines of the step: "hgar" the data base of the settings (or the
// shipped Hg-Ar list), else a file of lines in nm.
std::optional<std::vector<double>> linesOf(Session &s, const StepCall &call) {
    const std::string source = call.option("--lines", "hgar");
    if (source == "hgar") {
        return s.dc.Calibrations().DatabaseLines();
    }
    const platform::FileContent content = platform::readRegularFile(s.fileArgument(source));
    if (!content) {
        s.fail(call, "cannot read " + source + ": " + platform::readFailureText(content.failure));
        return std::nullopt;
    }
    std::string error;
    std::vector<double> lines = linesOfTable(*content.bytes, error);
    if (lines.empty()) {
        s.fail(call, source + ": " + error);
        return std::nullopt;
    }
    return lines;
}

void printPoints(Session &s, const LampPoints &lamp, const CalibrationResiduals &fit) {
    s.out << "line_nm\tpixel\tpresent_nm\tfitted_nm\tresidual_nm\n";
    for (std::size_t i = 0; i < lamp.matches.size(); ++i) {
        const MatchedLine &m = lamp.matches[i];
        s.out << fixed(m.lineNm, 4) << '\t' << lamp.points[i].pixel << '\t' << fixed(m.presentNm, 3)
              << '\t' << fixed(fit.points[i].fittedNm, 3) << '\t'
              << fixed(fit.points[i].residualNm, 3) << '\n';
    }
    s.out << "rms_nm\t" << fixed(fit.rmsNm, 4) << '\n';
    s.out.flush();
}

} // namespace

std::string checkLineSource(std::string_view text) {
    return text.empty() ? "hgar or a file of emission lines in nm" : std::string();
}

std::string checkCalibrationOrder(std::string_view text) {
    const auto value = wholeNumber(text);
    if (!value || *value < 1 || *value > kMaxPolynomialOrder) {
        return "a polynomial order from 1 to " + std::to_string(kMaxPolynomialOrder) + ", not '" +
               std::string(text) + "'";
    }
    return {};
}

std::string checkLineTolerance(std::string_view text) {
    const auto value = realNumber(text);
    if (!value || *value <= 0.0 || *value > kLargestToleranceNm) {
        return "a distance in nm above 0 and at most " + fixed(kLargestToleranceNm, 0) + ", not '" +
               std::string(text) + "'";
    }
    return {};
}

bool runCalibrate(Session &s, const StepCall &call) {
    DataControl &dc = s.dc;
    if (inMemoryMode(s)) {
        return s.fail(call, "it calibrates the unit on a lamp (memory-leave first)");
    }
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    const auto lines = linesOf(s, call);
    if (!lines) {
        return false;
    }
    // The points come from the counts on the pixel axis.
    if (dc.State().flags.displayMode() != DisplayMode::Scope ||
        dc.State().flags.option.test(option_bits::kWavelengthBase)) {
        dc.SetDisplayMode(DisplayMode::Scope);
        dc.SetWavelengthBase(false);
        s.note("mode scope, pixel base for the lamp scan");
    }
    const double tolerance =
        call.has("--tolerance") ? *realNumber(call.option("--tolerance", "")) : kDefaultToleranceNm;
    const auto lamp = dc.PointsFromLampScan(*lines, tolerance);
    if (!lamp) {
        return s.fail(call, "no lamp scan");
    }
    if (lamp->saturatedPeaks > 0) {
        s.warn(call, std::to_string(lamp->saturatedPeaks) +
                         " saturated peaks left out: lower the integration time or the light");
    }
    if (lamp->points.size() < 2 || !lamp->residuals.fitted) {
        return s.fail(call, std::to_string(lamp->matches.size()) + " of " +
                                std::to_string(lamp->peaksFound) + " peaks lie within " +
                                fixed(tolerance, 1) +
                                " nm of a line: too few points (is the lamp on?)");
    }
    const int order = call.has("--order")
                          ? static_cast<int>(*wholeNumber(call.option("--order", "")))
                          : lamp->residuals.order;
    const CalibrationResiduals fit = order == lamp->residuals.order
                                         ? lamp->residuals
                                         : calibrationResiduals(lamp->points, order);
    if (!fit.fitted) {
        return s.fail(call, "the points fix no polynomial of order " + std::to_string(order));
    }
    printPoints(s, *lamp, fit);
    if (order != lamp->residuals.order) {
        s.warn(call, "a stored set is fitted with order " + std::to_string(lamp->residuals.order) +
                         " for " + std::to_string(lamp->points.size()) + " points; order " +
                         std::to_string(order) + " is shown only");
    }
    s.note(std::to_string(lamp->points.size()) + " points of " + std::to_string(lamp->peaksFound) +
           " peaks, rms " + fixed(fit.rmsNm, 4) + " nm");
    if (call.has("--dry-run")) {
        return true;
    }
    if (lamp->residuals.rmsNm > kLargestStoredRmsNm) {
        return s.fail(call, "the points do not fit a calibration (rms " +
                                fixed(lamp->residuals.rmsNm, 2) + " nm, at most " +
                                fixed(kLargestStoredRmsNm, 2) +
                                " nm is stored): nothing stored (is the lamp on?)");
    }
    const std::string name = call.option("--save-ini", "");
    if (!name.empty()) {
        const auto number = dc.Calibrations().SaveCustomSet(name, 0, lamp->points);
        if (!number) {
            return s.fail(call, "the set was not saved");
        }
        if (!call.has("--save-eeprom") && dc.Calibrations().ApplySet(*number) != OpResult::Done) {
            return s.fail(call, "the set was saved as Cal " + std::to_string(*number) +
                                    " but cannot be used");
        }
        s.note("saved as Cal " + std::to_string(*number) + " (" + name + ")");
    }
    if (call.has("--save-eeprom")) {
        const std::string unitName =
            name.empty() ? dc.State().currentInfo().unitFile.stem().string() : name;
        const EepromWriteOutcome written = dc.Calibrations().SaveInEeprom(unitName, lamp->points);
        if (written.result == OpResult::NotDone) {
            return s.prompter.needsAnswer() ? false : s.fail(call, "not written (answered No)");
        }
        if (written.result != OpResult::Done) {
            return s.fail(call, "the unit does not hold the new calibration");
        }
        if (dc.Calibrations().ApplySet(0) != OpResult::Done) {
            return s.fail(call, "the unit holds the new calibration but it cannot be used");
        }
        s.note("written into the unit as its factory set (" + unitName + ")");
    }
    if (name.empty() && !call.has("--save-eeprom")) {
        s.note("nothing stored: give --save-ini NAME or --save-eeprom");
    }
    return true;
}

} // namespace quillon::cli
