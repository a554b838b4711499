#include "datacontrol/colour_measurement.h"

#include "datacontrol/scan_rules.h"
#include "datacontrol/settings_table.h"
#include "photometry/colour_tables.h"

#include <algorithm>
#include <charconv>

namespace quillon {

namespace {

std::string numberText(float value) {
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return {text.data(), end};
}

} // namespace

TemporarySettings::TemporarySettings(DataControl &control,
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

std::string TemporarySettings::restore() {
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

std::vector<std::pair<const char *, float>> colourRows(const ColorValues &c) {
    return {{"X", c.X},
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
}

ColourMeasurement MeasureColour(DataControl &dc, const ColourRequest &request) {
    ColourMeasurement m;
    if (!dc.State().flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady)) {
        m.outcome = ColourMeasurement::Outcome::NeedsDarkAndReference;
        m.problem = "colour needs a dark and a reference scan first";
        return m;
    }
    const std::uint32_t word = dc.State().settings.colorWord;
    m.illuminant = request.illuminant.value_or(colour::illuminantOf(word));
    m.observer = request.observer.value_or(colour::observerOf(word));
    if (const std::uint32_t chosen = colour::withSelection(word, m.illuminant, m.observer);
        chosen != word) {
        // A / 2 degree is the word 0, which a settings file reads as its
        // default: the warning says so.
        std::string error;
        const auto assignment = SettingsTable::Parse("InitColor=" + std::to_string(chosen), error);
        m.problem = assignment ? dc.ApplySettings(std::span(&*assignment, 1), m.warnings) : error;
        if (!m.problem.empty()) {
            return m;
        }
    }
    ColorCalc &engine = dc.Colour();
    if (request.referenceLab) {
        const auto &lab = *request.referenceLab;
        engine.SetReference(ColorCalc::kUserReference, lab[0], lab[1], lab[2]);
    } else {
        engine.SetReference(ColorCalc::kPreviousMeasurement, 0.0f, 0.0f, 0.0f);
    }
    // The colour view's grid: 400 nm on at 10 nm, to 700 nm at least.
    const double end = std::max(dc.State().grid.end, 700.0);
    TemporarySettings grid(dc, {{"StartWL", "400"},
                                {"EndWL", numberText(static_cast<float>(end))},
                                {"IntervalWL", "10"},
                                {"base", "wavelength"},
                                {"mode", "tr"}});
    if (!grid.problem.empty()) {
        m.problem = "the colour grid 400-700 nm: " + grid.problem;
        return m;
    }
    if (engine.LoadColorTable() != OpResult::Done) {
        m.problem = "the colour table could not be loaded";
        return m;
    }
    const ScanOutcome scanned = dc.AcquireScan(true);
    if (!scanSucceeded(dc, scanned)) {
        m.problem = scanFailure(dc, scanned);
        return m;
    }
    if (!engine.ComputeColor()) {
        m.problem = "the scan holds no colour grid of 400-700 nm";
        return m;
    }
    m.values = engine.Values();
    m.tile = engine.TileColor();
    m.cctKelvin = engine.FindColorTemp(true);
    if (request.whileOnGrid) {
        request.whileOnGrid(engine, dc.State());
    }
    if (const std::string problem = grid.restore(); !problem.empty()) {
        m.problem = "the grid of the settings could not be put back: " + problem;
        return m;
    }
    m.outcome = ColourMeasurement::Outcome::Measured;
    return m;
}

} // namespace quillon
