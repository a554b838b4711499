#include "cli/colour_steps.h"

#include "cli/session.h"
#include "cli/step_helpers.h"
#include "cli/table_output.h"
#include "datacontrol/colour_view_rules.h"
#include "datacontrol/settings_table.h"
#include "photometry/colour_tables.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
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

// Settings changed for one step and put back afterwards, so that a measurement
// on the colour grid leaves the user's own grid, base and mode as they were.
class TemporarySettings {
public:
    TemporarySettings(DataControl &control,
                      std::vector<std::pair<const char *, std::string>> wanted)
        : dc(control) {
        std::vector<SettingAssignment> assignments;
        for (const auto &[key, value] : wanted) {
            const SettingKey *setting = SettingsTable::Find(key);
            const std::string now = SettingsTable::Show(*setting, dc.State());
            if (now == value) {
                continue;
            }
            saved.emplace_back(key, now);
            std::string error;
            if (auto a = SettingsTable::Parse(std::string(key) + "=" + value, error)) {
                assignments.push_back(*a);
            } else {
                problem = error;
                return;
            }
        }
        std::vector<std::string> warnings;
        problem = dc.ApplySettings(assignments, warnings);
    }
    ~TemporarySettings() { (void)restore(); }
    // Puts the settings back; empty when that worked.
    std::string restore() {
        std::vector<SettingAssignment> assignments;
        for (const auto &[key, value] : saved) {
            std::string error;
            if (auto a = SettingsTable::Parse(std::string(key) + "=" + value, error)) {
                assignments.push_back(*a);
            }
        }
        saved.clear();
        std::vector<std::string> warnings;
        return assignments.empty() ? std::string() : dc.ApplySettings(assignments, warnings);
    }
    TemporarySettings(const TemporarySettings &) = delete;
    TemporarySettings &operator=(const TemporarySettings &) = delete;

    // Empty when the settings were applied.
    std::string problem;

private:
    DataControl &dc;
    std::vector<std::pair<const char *, std::string>> saved;
};

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

void printColour(Session &s, TableFormat format, const ColorCalc &engine, std::optional<int> cct) {
    const ColorValues &c = engine.Values();
    const std::uint32_t word = s.dc.State().settings.colorWord;
    const std::vector<std::pair<const char *, float>> rows{{"X", c.X},
                                                           {"Y", c.Y},
                                                           {"Z", c.Z},
                                                           {"x", c.x},
                                                           {"y", c.y},
                                                           {"z", c.z},
                                                           {"u", c.u},
                                                           {"v", c.v},
                                                           {"u'", c.uPrime},
                                                           {"v'", c.vPrime},
                                                           {"L*", c.L},
                                                           {"a*", c.a},
                                                           {"b*", c.b},
                                                           {"L*(uv)", c.Luv},
                                                           {"u*", c.uStar},
                                                           {"v*", c.vStar},
                                                           {"C", c.C},
                                                           {"h", c.h},
                                                           {"Hunter L", c.hunterL},
                                                           {"Hunter a", c.hunterA},
                                                           {"Hunter b", c.hunterB},
                                                           {"dE", c.dE}};
    const std::string illuminant =
        colour::kIlluminantNames[static_cast<std::size_t>(colour::illuminantOf(word))];
    const std::string observer =
        kObserverDegrees[static_cast<std::size_t>(colour::observerOf(word))];
    const std::string tile = tileText(engine.TileColor());
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

// One scan on the colour grid computed by the engine; `use` sees the engine
// before the settings' own grid comes back.
bool measureColour(Session &s, const StepCall &call, const std::function<bool(ColorCalc &)> &use) {
    if (!refuseWithoutScan(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    if (!dc.State().flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady)) {
        return s.fail(call,
                      "colour needs a dark and a reference scan first (steps dark, reference)");
    }
    // The selection is kept, as the colour panel keeps it.
    const std::uint32_t word = dc.State().settings.colorWord;
    int illuminant = colour::illuminantOf(word);
    int observer = colour::observerOf(word);
    if (call.has("--illuminant")) {
        illuminant = *indexIn(colour::kIlluminantNames, call.option("--illuminant", ""));
    }
    if (call.has("--observer")) {
        observer = *indexIn(kObserverDegrees, call.option("--observer", ""));
    }
    if (const std::uint32_t chosen = colour::withSelection(word, illuminant, observer);
        chosen != word) {
        // A / 2 degree is the word 0, which a settings file reads as its
        // default: the warning says so.
        std::string error;
        const auto assignment = SettingsTable::Parse("InitColor=" + std::to_string(chosen), error);
        std::vector<std::string> warnings;
        const std::string problem =
            assignment ? dc.ApplySettings(std::span(&*assignment, 1), warnings) : error;
        for (const std::string &warning : warnings) {
            s.warn(call, warning);
        }
        if (!problem.empty()) {
            return s.fail(call, problem);
        }
    }
    ColorCalc &engine = dc.Colour();
    const std::string reference = call.option("--reference", "previous");
    if (const auto lab = labReference(reference)) {
        engine.SetReference(ColorCalc::kUserReference, (*lab)[0], (*lab)[1], (*lab)[2]);
    } else {
        engine.SetReference(ColorCalc::kPreviousMeasurement, 0.0f, 0.0f, 0.0f);
    }
    // The colour view's grid: 400 nm on at 10 nm, to 700 nm at least.
    const double end = std::max(dc.State().grid.end, 700.0);
    TemporarySettings grid(dc, {{"StartWL", "400"},
                                {"EndWL", formatFloat(static_cast<float>(end))},
                                {"IntervalWL", "10"},
                                {"base", "wavelength"},
                                {"mode", "tr"}});
    if (!grid.problem.empty()) {
        return s.fail(call, "the colour grid 400-700 nm: " + grid.problem);
    }
    if (engine.LoadColorTable() != OpResult::Done) {
        return s.fail(call, "the colour table could not be loaded");
    }
    if (!scanOnce(s, call, true)) {
        return false;
    }
    if (!engine.ComputeColor()) {
        return s.fail(call, "the scan holds no colour grid of 400-700 nm");
    }
    if (!use(engine)) {
        return false;
    }
    if (const std::string problem = grid.restore(); !problem.empty()) {
        return s.fail(call, "the grid of the settings could not be put back: " + problem);
    }
    return true;
}

} // namespace

bool runColour(Session &s, const StepCall &call) {
    return measureColour(s, call, [&s, &call](ColorCalc &engine) {
        printColour(s, *tableFormatFromName(call.option("--format", "tsv")), engine,
                    engine.FindColorTemp(true));
        return true;
    });
}

bool runColourExport(Session &s, const StepCall &call) {
    const std::string name = call.args.at(0);
    if (!colour_view::exportStem(name)) {
        return s.fail(call, colour_view::kNoSaveName);
    }
    return measureColour(s, call, [&s, &call, &name](ColorCalc &engine) {
        colour_view::ColourSnapshot snapshot;
        colour_view::takeSnapshot(engine, s.dc.State(), snapshot);
        const colour_view::ExportOutcome outcome =
            colour_view::writeExport(s.dc.State().dataFolder, name, snapshot);
        if (!outcome.saved) {
            return s.fail(call, outcome.problem);
        }
        s.note("colour data written to " + outcome.path.string());
        return true;
    });
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
