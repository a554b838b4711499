#include "cli/colour_steps.h"

#include "cli/session.h"
#include "cli/step_helpers.h"
#include "cli/table_output.h"
#include "datacontrol/colour_measurement.h"
#include "datacontrol/colour_view_rules.h"
#include "datacontrol/settings_table.h"
#include "photometry/colour_tables.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace quillon::cli {

namespace {

constexpr std::array<const char *, 2> kObserverDegrees{"2", "10"};

std::optional<int> indexIn(std::span<const char *const> names, std::string_view text) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text == names[i]) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::optional<std::array<float, 3>> labReference(std::string_view text) {
    std::array<float, 3> lab{};
    const char *at = text.data();
    const char *end = text.data() + text.size();
    for (std::size_t i = 0; i < 3; ++i) {
        const auto [ptr, ec] = std::from_chars(at, end, lab[i]);
        if (ec != std::errc() || !std::isfinite(lab[i])) {
            return std::nullopt;
        }
        at = ptr;
        if (i < 2) {
            if (at == end || *at != ',') {
                return std::nullopt;
            }
            ++at;
        }
    }
    if (at != end) {
        return std::nullopt;
    }
    return lab;
}

bool refuseWithoutScan(Session &s, const StepCall &call) {
    if (inMemoryMode(s)) {
        return s.fail(call, "it measures a scan of the unit (memory-leave first)");
    }
    return refuseWithoutUnit(s, call);
}

bool scanOnce(Session &s, const StepCall &call, bool colourScaling) {
    const ScanOutcome result = s.dc.AcquireScan(colourScaling);
    return scanSucceeded(s.dc, result) || s.fail(call, scanFailure(s.dc, result));
}

std::string tileText(std::uint32_t tile) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02X%02X%02X", tile & 0xFFu, tile >> 8 & 0xFFu,
                  tile >> 16 & 0xFFu);
    return text.data();
}

void printColour(Session &s, TableFormat format, const ColourMeasurement &measured) {
    const std::optional<int> &cct = measured.cctKelvin;
    const auto rows = colourRows(measured.values);
    const std::string illuminant =
        colour::kIlluminantNames[static_cast<std::size_t>(measured.illuminant)];
    const std::string observer = kObserverDegrees[static_cast<std::size_t>(measured.observer)];
    const std::string tile = tileText(measured.tile);
    if (format == TableFormat::Json) {
        s.out << "{\"illuminant\":" << jsonString(illuminant) << ",\"observer\":" << observer
              << ",\"values\":{";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            s.out << (i == 0 ? "" : ",") << jsonString(rows[i].first) << ':'
                  << formatFloat(rows[i].second);
        }
        s.out << "},\"tile\":" << jsonString(tile)
              << ",\"cct_K\":" << (cct ? std::to_string(*cct) : "null") << "}\n";
        return;
    }
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    s.out << "quantity" << separator << "value\n";
    s.out << "illuminant" << separator << illuminant << '\n';
    s.out << "observer" << separator << observer << '\n';
    for (const auto &[name, value] : rows) {
        s.out << name << separator << formatFloat(value) << '\n';
    }
    s.out << "tile" << separator << tile << '\n';
    s.out << "cct_K" << separator << (cct ? std::to_string(*cct) : "-") << '\n';
}

} // namespace

std::string checkIlluminant(std::string_view text) {
    return indexIn(colour::kIlluminantNames, text) ? std::string()
                                                   : "A, C or D65, not '" + std::string(text) + "'";
}

std::string checkObserver(std::string_view text) {
    return indexIn(kObserverDegrees, text) ? std::string()
                                           : "2 or 10 (degree), not '" + std::string(text) + "'";
}

std::string checkColourReference(std::string_view text) {
    return text == "previous" || labReference(text)
               ? std::string()
               : "previous or L,a,b (three numbers), not '" + std::string(text) + "'";
}

namespace {

ColourRequest requestOf(const StepCall &call) {
    ColourRequest request;
    if (call.has("--illuminant")) {
        request.illuminant = indexIn(colour::kIlluminantNames, call.option("--illuminant", ""));
    }
    if (call.has("--observer")) {
        request.observer = indexIn(kObserverDegrees, call.option("--observer", ""));
    }
    request.referenceLab = labReference(call.option("--reference", "previous"));
    return request;
}

// One measurement on the colour grid; false (told) when there is no colour.
bool measured(Session &s, const StepCall &call, const ColourRequest &request,
              ColourMeasurement &result) {
    if (!refuseWithoutScan(s, call)) {
        return false;
    }
    result = MeasureColour(s.dc, request);
    for (const std::string &warning : result.warnings) {
        s.warn(call, warning);
    }
    if (result.outcome == ColourMeasurement::Outcome::NeedsDarkAndReference) {
        return s.fail(call, result.problem + " (steps dark, reference)");
    }
    if (result.outcome != ColourMeasurement::Outcome::Measured) {
        return s.fail(call, result.problem);
    }
    return true;
}

} // namespace

bool runColour(Session &s, const StepCall &call) {
    ColourMeasurement result;
    if (!measured(s, call, requestOf(call), result)) {
        return false;
    }
    printColour(s, *tableFormatFromName(call.option("--format", "tsv")), result);
    return true;
}

bool runColourExport(Session &s, const StepCall &call) {
    const std::string name = call.args.at(0);
    if (!colour_view::exportStem(name)) {
        return s.fail(call, colour_view::kNoSaveName);
    }
    ColourRequest request = requestOf(call);
    colour_view::ColourSnapshot snapshot;
    request.whileOnGrid = [&snapshot](const ColorCalc &engine, const ChannelState &state) {
        colour_view::takeSnapshot(engine, state, snapshot);
    };
    ColourMeasurement result;
    if (!measured(s, call, request, result)) {
        return false;
    }
    const colour_view::ExportOutcome outcome =
        colour_view::writeExport(s.dc.State().dataFolder, name, snapshot);
    if (!outcome.saved) {
        return s.fail(call, outcome.problem);
    }
    s.note("colour data written to " + outcome.path.string());
    return true;
}

bool runCct(Session &s, const StepCall &call) {
    if (!refuseWithoutScan(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    const DisplayMode mode = dc.State().flags.displayMode();
    if (mode != DisplayMode::Scope && mode != DisplayMode::Irradiance) {
        return s.fail(call, "the colour temperature is one of a light: mode " +
                                displayModeName(mode) + " shows a ratio (set mode=scope)");
    }
    TemporarySettings base(dc, {{"base", "wavelength"}});
    if (!base.problem.empty()) {
        return s.fail(call, base.problem);
    }
    if (!scanOnce(s, call, false)) {
        return false;
    }
    const auto kelvin = dc.ColourTemperature();
    if (!kelvin) {
        return s.fail(call, "no colour temperature (no light on the 400-700 nm grid, or the "
                            "locus file could not be read)");
    }
    s.out << *kelvin << '\n';
    return true;
}

} // namespace quillon::cli
