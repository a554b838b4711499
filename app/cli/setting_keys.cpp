#include "cli/setting_keys.h"

#include "cli/table_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace quillon::cli {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
// The setup panel keeps a wavelength grid at least this wide.
constexpr double kNarrowestGridNm = 20.0;
// Texts end up in fixed 64-byte fields of the data files.
constexpr std::size_t kLongestText = 63;

constexpr std::array<const char *, 3> kModeNames{"scope", "tr", "absorbance"};
constexpr std::array<DisplayMode, 3> kModes{DisplayMode::Scope, DisplayMode::TransRefl,
                                            DisplayMode::Absorbance};
constexpr std::array<const char *, 3> kAxisNames{"pixel", "wavelength", "wavenumber"};
constexpr std::array<const char *, 2> kBaseNames{"pixel", "wavelength"};

std::string showNumber(double value) {
    return formatFloat(static_cast<float>(value));
}

template <typename T>
T narrow(const SettingValue &value) {
    return static_cast<T>(std::lround(value.number));
}

std::string showAxis(const DataControl &dc) {
    return kAxisNames[std::min<std::size_t>(static_cast<std::size_t>(dc.flags.xUnit()), 2)];
}

std::string showBase(const DataControl &dc) {
    return kBaseNames[dc.flags.option.test(option_bits::kWavelengthBase) ? 1 : 0];
}

// clang-format off
const std::array<SettingKey, 27> kKeys{{
    {"IntTime", KeyKind::Int, KeyGroup::Integration, 1, 6553500, kNone, {},
     "integration time in the unit of the settings file: ms, 10 us steps on TCD1304 units",
     [](const DataControl &dc) { return std::to_string(dc.limits.current); }, nullptr},
    {"TimeAV", KeyKind::Int, KeyGroup::Stored, 1, 1000, 1, {}, "scans averaged",
     [](const DataControl &dc) { return std::to_string(dc.acquisition.timeAverage); },
     [](DataControl &dc, const SettingValue &v) {
         dc.acquisition.timeAverage = narrow<std::uint16_t>(v);
     }},
    {"BinningAV", KeyKind::Int, KeyGroup::Stored, 0, 10, kNone, {},
     "binning average: pixels on each side",
     [](const DataControl &dc) { return std::to_string(dc.acquisition.binningAverage); },
     [](DataControl &dc, const SettingValue &v) {
         dc.acquisition.binningAverage = narrow<std::uint16_t>(v);
     }},
    {"FFT", KeyKind::Int, KeyGroup::Stored, 0, 100, kNone, {}, "FFT smoothing in percent, 0 off",
     [](const DataControl &dc) { return std::to_string(dc.acquisition.smoothingPercent); },
     [](DataControl &dc, const SettingValue &v) {
         dc.acquisition.smoothingPercent = narrow<std::uint16_t>(v);
         dc.flags.status.assign(status_bits::kSmoothingOn, dc.acquisition.smoothingPercent >= 1);
     }},
    {"StartWL", KeyKind::Real, KeyGroup::Grid, 1, 100000, kNone, {},
     "start of the wavelength grid in nm",
     [](const DataControl &dc) { return showNumber(dc.display.wavelengthStart); }, nullptr},
    {"EndWL", KeyKind::Real, KeyGroup::Grid, 1, 100000, kNone, {}, "end of the wavelength grid in nm",
     [](const DataControl &dc) { return showNumber(dc.display.wavelengthEnd); }, nullptr},
    {"IntervalWL", KeyKind::Real, KeyGroup::Grid, 0.01, 1000, kNone, {},
     "step of the wavelength grid in nm",
     [](const DataControl &dc) { return showNumber(dc.display.wavelengthStep); }, nullptr},
    {"RefMax", KeyKind::Real, KeyGroup::Stored, 0.01, 1e6, 100, {},
     "T/R % that the reference stands for",
     [](const DataControl &dc) { return showNumber(dc.settings.refMax); },
     [](DataControl &dc, const SettingValue &v) { dc.settings.refMax = v.number; }},
    {"RefWhite", KeyKind::Real, KeyGroup::Stored, 0.01, 1e6, 98.5, {}, "white reflectance %",
     [](const DataControl &dc) { return showNumber(dc.settings.refWhite); },
     [](DataControl &dc, const SettingValue &v) { dc.settings.refWhite = v.number; }},
    {"MaxT", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, 110, {},
     "top of the T/R % range; T/R values are clamped to it",
     [](const DataControl &dc) { return showNumber(dc.display.trMax); },
     [](DataControl &dc, const SettingValue &v) { dc.display.trMax = static_cast<float>(v.number); }},
    {"MinT", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, -10, {}, "bottom of the T/R % range",
     [](const DataControl &dc) { return showNumber(dc.display.trMin); },
     [](DataControl &dc, const SettingValue &v) { dc.display.trMin = static_cast<float>(v.number); }},
    {"MaxA", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, 3, {}, "top of the absorbance range",
     [](const DataControl &dc) { return showNumber(dc.display.absMax); },
     [](DataControl &dc, const SettingValue &v) { dc.display.absMax = static_cast<float>(v.number); }},
    {"MinA", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, -1, {}, "bottom of the absorbance range",
     [](const DataControl &dc) { return showNumber(dc.display.absMin); },
     [](DataControl &dc, const SettingValue &v) { dc.display.absMin = static_cast<float>(v.number); }},
    {"MaxI", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, 3, {}, "top of the irradiance range",
     [](const DataControl &dc) { return showNumber(dc.display.irrMax); },
     [](DataControl &dc, const SettingValue &v) { dc.display.irrMax = static_cast<float>(v.number); }},
    {"MinI", KeyKind::Real, KeyGroup::Stored, -1e6, 1e6, kNone, {}, "bottom of the irradiance range",
     [](const DataControl &dc) { return showNumber(dc.display.irrMin); },
     [](DataControl &dc, const SettingValue &v) { dc.display.irrMin = static_cast<float>(v.number); }},
    {"ColorTemp", KeyKind::Int, KeyGroup::Stored, 100, 100000, 3000, {},
     "blackbody temperature in kelvin",
     [](const DataControl &dc) { return std::to_string(dc.settings.colorTemp); },
     [](DataControl &dc, const SettingValue &v) { dc.settings.colorTemp = narrow<std::int32_t>(v); }},
    {"NoiseRatio", KeyKind::Real, KeyGroup::Stored, 0.01, 1000, 1.2, {}, "peak finding noise multiplier",
     [](const DataControl &dc) { return showNumber(dc.peaks.noiseRatio); },
     [](DataControl &dc, const SettingValue &v) { dc.peaks.noiseRatio = v.number; }},
    {"NoiseLine", KeyKind::Real, KeyGroup::Stored, 0.01, 1000, 1.2, {}, "peak finding threshold",
     [](const DataControl &dc) { return showNumber(dc.peaks.noiseLine); },
     [](DataControl &dc, const SettingValue &v) { dc.peaks.noiseLine = v.number; }},
    {"NoiseCutoff", KeyKind::Int, KeyGroup::Stored, 0, 10000, 2, {}, "peak finding cut-off",
     [](const DataControl &dc) { return std::to_string(dc.peaks.noiseCutoff); },
     [](DataControl &dc, const SettingValue &v) { dc.peaks.noiseCutoff = narrow<std::int32_t>(v); }},
    {"NoiseHighLow", KeyKind::Int, KeyGroup::Stored, 0, 2, kNone, {},
     "peak kind: 0 peak, 1 high peak, 2 low peak",
     [](const DataControl &dc) { return std::to_string(dc.peaks.noiseHighLow); },
     [](DataControl &dc, const SettingValue &v) { dc.peaks.noiseHighLow = narrow<std::int32_t>(v); }},
    {"FilterOn", KeyKind::Int, KeyGroup::Stored, 0, 1, kNone, {}, "1: low-pass filter on ratios",
     [](const DataControl &dc) { return std::to_string(dc.settings.filterOn); },
     [](DataControl &dc, const SettingValue &v) { dc.settings.filterOn = narrow<std::int32_t>(v); }},
    {"FilterWin", KeyKind::Int, KeyGroup::Stored, 1, 99, 3, {}, "low-pass filter window",
     [](const DataControl &dc) { return std::to_string(dc.settings.filterWin); },
     [](DataControl &dc, const SettingValue &v) { dc.settings.filterWin = narrow<std::int32_t>(v); }},
    {"Title", KeyKind::Text, KeyGroup::Stored, 0, 0, kNone, {}, "first title line of saved data",
     [](const DataControl &dc) { return dc.settings.title; },
     [](DataControl &dc, const SettingValue &v) { dc.settings.title = v.text; }},
    {"SubTitle", KeyKind::Text, KeyGroup::Stored, 0, 0, kNone, {}, "second title line",
     [](const DataControl &dc) { return dc.settings.subTitle; },
     [](DataControl &dc, const SettingValue &v) { dc.settings.subTitle = v.text; }},
    {"mode", KeyKind::Choice, KeyGroup::View, 0, 0, kNone, kModeNames,
     "display quantity: counts, T/R % or absorbance (not stored)",
     [](const DataControl &dc) { return displayModeName(dc.flags.displayMode()); },
     [](DataControl &dc, const SettingValue &v) {
         dc.SetDisplayMode(kModes[static_cast<std::size_t>(v.number)]);
     }},
    {"axis", KeyKind::Choice, KeyGroup::View, 0, 0, kNone, kAxisNames,
     "X unit; pixel also takes the pixel base",
     showAxis,
     [](DataControl &dc, const SettingValue &v) { dc.SetXUnit(static_cast<XUnit>(v.number)); }},
    {"base", KeyKind::Choice, KeyGroup::View, 0, 0, kNone, kBaseNames,
     "values per pixel, or on the uniform wavelength grid",
     showBase,
     [](DataControl &dc, const SettingValue &v) { dc.SetWavelengthBase(v.number != 0.0); }},
}};
// clang-format on

std::optional<double> readNumber(std::string_view text) {
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string rangeText(const SettingKey &key) {
    return showNumber(key.minimum) + " to " + showNumber(key.maximum);
}

std::string readValue(const SettingKey &key, std::string_view text, SettingValue &value) {
    const std::string name = key.name;
    switch (key.kind) {
    case KeyKind::Choice: {
        const auto found = std::find(key.choices.begin(), key.choices.end(), text);
        if (found == key.choices.end()) {
            std::string list;
            for (const char *choice : key.choices) {
                if (!list.empty()) {
                    list += '|';
                }
                list += choice;
            }
            return name + " is one of " + list + ", not '" + std::string(text) + "'";
        }
        value.number = static_cast<double>(found - key.choices.begin());
        return {};
    }
    case KeyKind::Text:
        if (text.size() > kLongestText) {
            return name + " holds at most " + std::to_string(kLongestText) + " characters";
        }
        if (std::any_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            return name + " cannot hold control characters";
        }
        value.text = text;
        return {};
    case KeyKind::Int:
    case KeyKind::Real:
        break;
    }
    const auto number = readNumber(text);
    if (!number || (key.kind == KeyKind::Int && *number != std::trunc(*number))) {
        return name + " needs " + (key.kind == KeyKind::Int ? "a whole number" : "a number") +
               ", not '" + std::string(text) + "'";
    }
    if (*number < key.minimum || *number > key.maximum) {
        return name + " must lie from " + rangeText(key) + ", not " + std::string(text);
    }
    value.number = *number;
    return {};
}

// The grid, integration time and display ranges as they would be after the
// assignments, for the checks that look at several keys at once.
struct Proposal {
    std::int32_t integration = 0;
    double start = 0.0;
    double end = 0.0;
    double step = 0.0;
    std::array<std::pair<double, double>, 3> ranges{}; // T, A, I: min, max
    bool integrationChanged = false;
    bool gridChanged = false;
};

Proposal proposalFor(const DataControl &dc, std::span<const Assignment> assignments) {
    Proposal p;
    p.integration = dc.limits.current;
    p.start = dc.display.wavelengthStart;
    p.end = dc.display.wavelengthEnd;
    p.step = dc.display.wavelengthStep;
    p.ranges = {{{dc.display.trMin, dc.display.trMax},
                 {dc.display.absMin, dc.display.absMax},
                 {dc.display.irrMin, dc.display.irrMax}}};
    for (const Assignment &a : assignments) {
        const std::string_view name = a.key->name;
        const double v = a.value.number;
        if (name == "IntTime") {
            p.integration = static_cast<std::int32_t>(v);
            p.integrationChanged = true;
        }
        p.gridChanged = p.gridChanged || a.key->group == KeyGroup::Grid;
        p.start = name == "StartWL" ? v : p.start;
        p.end = name == "EndWL" ? v : p.end;
        p.step = name == "IntervalWL" ? v : p.step;
        const std::array<std::string_view, 3> letters{"T", "A", "I"};
        for (std::size_t r = 0; r < letters.size(); ++r) {
            if (name.substr(0, 3) == "Min" && name.substr(3) == letters[r]) {
                p.ranges[r].first = v;
            }
            if (name.substr(0, 3) == "Max" && name.substr(3) == letters[r]) {
                p.ranges[r].second = v;
            }
        }
    }
    return p;
}

std::string checkIntegration(const DataControl &dc, const Proposal &p) {
    if (p.integrationChanged &&
        (p.integration < dc.limits.minimum || p.integration > dc.limits.maximum)) {
        return "IntTime of this unit must lie from " + std::to_string(dc.limits.minimum) + " to " +
               std::to_string(dc.limits.maximum) + ", not " + std::to_string(p.integration);
    }
    return {};
}

std::string checkGrid(const DataControl &dc, const Proposal &p) {
    if (!p.gridChanged) {
        return {};
    }
    const double first = dc.acquisition.calStartWavelength;
    const double last = dc.acquisition.calEndWavelength;
    if (p.start < first || p.end > last) {
        return "the wavelength grid must lie inside the calibrated range " + showNumber(first) +
               " to " + showNumber(last) + " nm";
    }
    if (p.end <= p.start + kNarrowestGridNm) {
        return "EndWL must lie more than " + showNumber(kNarrowestGridNm) +
               " nm above StartWL (StartWL " + showNumber(p.start) + ", EndWL " +
               showNumber(p.end) + ")";
    }
    if ((p.end - p.start) / p.step + 1.0 > kMaxGridPoints) {
        return "IntervalWL " + showNumber(p.step) + " gives more than " +
               std::to_string(kMaxGridPoints) + " grid points";
    }
    return {};
}

std::string checkRanges(const Proposal &p) {
    const std::array<const char *, 3> letters{"T", "A", "I"};
    for (std::size_t r = 0; r < p.ranges.size(); ++r) {
        if (p.ranges[r].first >= p.ranges[r].second) {
            return std::string("Min") + letters[r] + " must lie below Max" + letters[r] + " (" +
                   showNumber(p.ranges[r].first) + " is not below " +
                   showNumber(p.ranges[r].second) + ")";
        }
    }
    return {};
}

void noteZeroDefaults(std::span<const Assignment> assignments, std::vector<std::string> &warnings) {
    for (const Assignment &a : assignments) {
        const SettingKey &key = *a.key;
        if ((key.kind == KeyKind::Int || key.kind == KeyKind::Real) && a.value.number == 0.0 &&
            !std::isnan(key.storedDefault) && key.storedDefault != 0.0) {
            warnings.push_back(std::string(key.name) +
                               "=0 holds for this run only: the settings file reads a stored 0 "
                               "as the default " +
                               showNumber(key.storedDefault));
        }
    }
}

std::string applyGrid(DataControl &dc, const Proposal &p) {
    if (dc.SuspendAcquisition(1) != 1) {
        dc.ResumeAcquisition(1);
        return "acquisition did not pause";
    }
    dc.display.wavelengthStart = static_cast<float>(p.start);
    dc.display.wavelengthEnd = static_cast<float>(p.end);
    dc.display.wavelengthStep = static_cast<float>(p.step);
    const int rebuilt = dc.RebuildWavelengthGrid();
    dc.ResumeAcquisition(1);
    return rebuilt == 1 ? std::string() : "the wavelength grid could not be rebuilt";
}

std::string applyIntegration(DataControl &dc, std::int32_t time) {
    const int result = dc.ChangeAcquisition([time](DataControl &d) { d.limits.current = time; }, 0);
    if (result == 1) {
        return {};
    }
    return result == 0 ? "acquisition did not pause" : "the unit did not take the integration time";
}

} // namespace

std::span<const SettingKey> settingKeys() {
    return kKeys;
}

const SettingKey *findSettingKey(std::string_view name) {
    const auto found = std::find_if(kKeys.begin(), kKeys.end(),
                                    [&](const SettingKey &k) { return name == k.name; });
    return found == kKeys.end() ? nullptr : &*found;
}

std::optional<Assignment> parseAssignment(std::string_view text, std::string &error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected KEY=VALUE, not '" + std::string(text) + "'";
        return std::nullopt;
    }
    const std::string_view name = text.substr(0, equals);
    const SettingKey *key = findSettingKey(name);
    if (key == nullptr) {
        error = "unknown key '" + std::string(name) + "' (keys are case-sensitive; see set --help)";
        return std::nullopt;
    }
    Assignment assignment;
    assignment.key = key;
    error = readValue(*key, text.substr(equals + 1), assignment.value);
    if (!error.empty()) {
        return std::nullopt;
    }
    return assignment;
}

std::string checkAssignment(std::string_view text) {
    std::string error;
    parseAssignment(text, error);
    return error;
}

std::string applyAssignments(DataControl &dc, std::span<const Assignment> assignments,
                             std::vector<std::string> &warnings) {
    const Proposal proposal = proposalFor(dc, assignments);
    for (const std::string &problem :
         {checkIntegration(dc, proposal), checkGrid(dc, proposal), checkRanges(proposal)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    noteZeroDefaults(assignments, warnings);

    if (dc.SuspendAcquisition(1) != 1) {
        dc.ResumeAcquisition(1);
        return "acquisition did not pause";
    }
    for (const Assignment &a : assignments) {
        if (a.key->store != nullptr) {
            a.key->store(dc, a.value);
        }
    }
    dc.ResumeAcquisition(1);

    if (proposal.gridChanged) {
        if (std::string problem = applyGrid(dc, proposal); !problem.empty()) {
            return problem;
        }
    }
    if (proposal.integrationChanged && proposal.integration != dc.limits.current) {
        return applyIntegration(dc, proposal.integration);
    }
    return {};
}

std::string displayModeName(DisplayMode mode) {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i] == mode) {
            return kModeNames[i];
        }
    }
    switch (mode) {
    case DisplayMode::DarkScan:
        return "dark";
    case DisplayMode::ReferenceScan:
        return "reference";
    case DisplayMode::Irradiance:
        return "irradiance";
    default:
        return "unknown";
    }
}

} // namespace quillon::cli
