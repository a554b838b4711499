#include "datacontrol/settings_table.h"

#include "datacontrol/settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr double kNoText = 0.0;
// The setup panel keeps a wavelength grid at least this wide.
constexpr double kNarrowestGridNm = 20.0;
// Texts end up in fixed 64-byte fields of the data files.
constexpr std::size_t kLongestText = 63;
// Wide enough for the "not set yet" wavelengths of a new settings file.
constexpr double kWidestWavelength = 1e8;
constexpr double kWidestRange = 1e6;
constexpr double kLargestLong = 4294967295.0;

constexpr std::array<const char *, 4> kModeNames{"scope", "tr", "absorbance", "irradiance"};
constexpr std::array<DisplayMode, 4> kModes{DisplayMode::Scope, DisplayMode::TransRefl,
                                            DisplayMode::Absorbance, DisplayMode::Irradiance};
constexpr std::array<const char *, 3> kIrradianceForms{"relative", "absolute", "illuminance"};
constexpr std::array<const char *, 3> kAxisNames{"pixel", "wavelength", "wavenumber"};
constexpr std::array<const char *, 2> kBaseNames{"pixel", "wavelength"};

SettingValue number(double value) {
    return SettingValue{value, {}};
}
SettingValue text(const std::string &value) {
    return SettingValue{0.0, value};
}
template <typename T>
T whole(const SettingValue &value) {
    return static_cast<T>(std::llround(value.number));
}

bool withCooler(const ChannelState &s) {
    return s.HasCoolerRecord();
}
bool withIrradianceDistance(const ChannelState &s) {
    return (s.settings.initPane & 8u) != 0;
}

std::string shortNumber(double value) {
    std::array<char, 64> out{};
    const auto result =
        std::to_chars(out.data(), out.data() + out.size(), static_cast<float>(value));
    return std::string(out.data(), result.ptr);
}

// Reads as 0 when missing or empty; the caller applies the default rule.
double storedNumber(ProfileFile &file, const SettingKey &key) {
    const char *s = sections::kExtendOptions;
    switch (key.kind) {
    case SettingKind::Int:
        return file.GetInt(s, key.name);
    case SettingKind::Long:
        return file.GetLong(s, key.name);
    case SettingKind::Real:
        return file.GetReal(s, key.name);
    case SettingKind::Text:
    case SettingKind::Choice:
        break;
    }
    return 0.0;
}

// clang-format off
const std::array<SettingKey, 41> kKeys{{
    {"IntTime", SettingKind::Int, SettingEffect::Integration, kNone, nullptr, 1, 6553500, 1, {},
     "integration time in the unit of the settings file: ms, 10 us steps on TCD1304 units",
     [](const ChannelState &s) { return number(s.limits.current); }, nullptr, nullptr},
    {"TimeAV", SettingKind::Int, SettingEffect::Stored, defaults::kTimeAV, nullptr, 1, 1000, 2, {},
     "scans averaged",
     [](const ChannelState &s) { return number(s.acquisition.timeAverage); },
     [](ChannelState &s, const SettingValue &v) {
         s.acquisition.timeAverage = whole<std::uint16_t>(v);
     }, nullptr},
    {"BinningAV", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 10, 3, {},
     "binning average: pixels on each side",
     [](const ChannelState &s) { return number(s.acquisition.binningAverage); },
     [](ChannelState &s, const SettingValue &v) {
         s.acquisition.binningAverage = whole<std::uint16_t>(v);
     }, nullptr},
    {"FFT", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 100, 4, {},
     "FFT smoothing in percent, 0 off",
     [](const ChannelState &s) { return number(s.acquisition.smoothingPercent); },
     [](ChannelState &s, const SettingValue &v) {
         s.acquisition.smoothingPercent = whole<std::uint16_t>(v);
         // Smoothing runs exactly when a strength is set.
         s.flags.status.assign(status_bits::kSmoothingOn, s.acquisition.smoothingPercent >= 1);
     }, nullptr},
    {"ColorTemp", SettingKind::Real, SettingEffect::Stored, defaults::kColorTemp, nullptr, 100, 100000, 8, {},
     "colour temperature of the blackbody reference in K",
     [](const ChannelState &s) { return number(s.settings.colorTemp); },
     [](ChannelState &s, const SettingValue &v) { s.settings.colorTemp = whole<std::int32_t>(v); }, nullptr},
    {"Title", SettingKind::Text, SettingEffect::Stored, kNoText, defaults::kTitle, 0, 0, 9, {},
     "first title line of saved data",
     [](const ChannelState &s) { return text(s.settings.title); },
     [](ChannelState &s, const SettingValue &v) { s.settings.title = v.text; }, nullptr},
    {"SubTitle", SettingKind::Text, SettingEffect::Stored, kNoText, defaults::kSubTitle, 0, 0, 10, {},
     "second title line",
     [](const ChannelState &s) { return text(s.settings.subTitle); },
     [](ChannelState &s, const SettingValue &v) { s.settings.subTitle = v.text; }, nullptr},
    {"CalNo", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, -1, 99, 26, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.calNo); },
     [](ChannelState &s, const SettingValue &v) {
         s.settings.calNo = adjustCalNo(whole<int>(v), s.oldBoard, s.currentInfo().onSerialIni != 0);
     }, nullptr},
    {"StartWL", SettingKind::Real, SettingEffect::Grid, defaults::kStartWL, nullptr, 1, kWidestWavelength, 5, {},
     "start of the wavelength grid in nm",
     [](const ChannelState &s) { return number(s.display.wavelengthStart); },
     [](ChannelState &s, const SettingValue &v) { s.display.wavelengthStart = static_cast<float>(v.number); }, nullptr},
    {"EndWL", SettingKind::Real, SettingEffect::Grid, kNone, nullptr, 0, kWidestWavelength, 6, {},
     "end of the wavelength grid in nm",
     [](const ChannelState &s) { return number(s.display.wavelengthEnd); },
     [](ChannelState &s, const SettingValue &v) { s.display.wavelengthEnd = static_cast<float>(v.number); }, nullptr},
    {"IntervalWL", SettingKind::Real, SettingEffect::Grid, defaults::kIntervalWL, nullptr, 0.01, 1000, 7, {},
     "step of the wavelength grid in nm",
     [](const ChannelState &s) { return number(s.display.wavelengthStep); },
     [](ChannelState &s, const SettingValue &v) { s.display.wavelengthStep = static_cast<float>(v.number); }, nullptr},
    {"MaxT", SettingKind::Real, SettingEffect::Stored, defaults::kMaxT, nullptr, -kWidestRange, kWidestRange, 20, {},
     "top of the T/R % range; ratios are clamped to it",
     [](const ChannelState &s) { return number(s.display.trMax); },
     [](ChannelState &s, const SettingValue &v) { s.display.trMax = static_cast<float>(v.number); }, nullptr},
    {"MaxA", SettingKind::Real, SettingEffect::Stored, defaults::kMaxA, nullptr, -kWidestRange, kWidestRange, 22, {},
     "top of the absorbance range",
     [](const ChannelState &s) { return number(s.display.absMax); },
     [](ChannelState &s, const SettingValue &v) { s.display.absMax = static_cast<float>(v.number); }, nullptr},
    {"MaxI", SettingKind::Real, SettingEffect::Stored, defaults::kMaxI, nullptr, -kWidestRange, kWidestRange, 24, {},
     "top of the irradiance range",
     [](const ChannelState &s) { return number(s.display.irrMax); },
     [](ChannelState &s, const SettingValue &v) { s.display.irrMax = static_cast<float>(v.number); }, nullptr},
    {"MinT", SettingKind::Real, SettingEffect::Stored, defaults::kMinT, nullptr, -kWidestRange, kWidestRange, 21, {},
     "bottom of the T/R % range",
     [](const ChannelState &s) { return number(s.display.trMin); },
     [](ChannelState &s, const SettingValue &v) { s.display.trMin = static_cast<float>(v.number); }, nullptr},
    {"MinA", SettingKind::Real, SettingEffect::Stored, defaults::kMinA, nullptr, -kWidestRange, kWidestRange, 23, {},
     "bottom of the absorbance range",
     [](const ChannelState &s) { return number(s.display.absMin); },
     [](ChannelState &s, const SettingValue &v) { s.display.absMin = static_cast<float>(v.number); }, nullptr},
    {"MinI", SettingKind::Real, SettingEffect::Stored, kNone, nullptr, -kWidestRange, kWidestRange, 25, {},
     "bottom of the irradiance range",
     [](const ChannelState &s) { return number(s.display.irrMin); },
     [](ChannelState &s, const SettingValue &v) { s.display.irrMin = static_cast<float>(v.number); }, nullptr},
    {"NoiseRatio", SettingKind::Real, SettingEffect::Stored, defaults::kNoiseRatio, nullptr, 0.01, 1000, 11, {},
     "peak finding noise multiplier",
     [](const ChannelState &s) { return number(s.peaks.noiseRatio); },
     [](ChannelState &s, const SettingValue &v) { s.peaks.noiseRatio = v.number; }, nullptr},
    {"NoiseLine", SettingKind::Real, SettingEffect::Stored, defaults::kNoiseLine, nullptr, 0.01, 1000, 12, {},
     "peak finding threshold",
     [](const ChannelState &s) { return number(s.peaks.noiseLine); },
     [](ChannelState &s, const SettingValue &v) { s.peaks.noiseLine = v.number; }, nullptr},
    {"NoiseCutoff", SettingKind::Int, SettingEffect::Stored, defaults::kNoiseCutoff, nullptr, 0, 10000, 13, {},
     "peak finding cut-off",
     [](const ChannelState &s) { return number(s.peaks.noiseCutoff); },
     [](ChannelState &s, const SettingValue &v) { s.peaks.noiseCutoff = whole<std::int32_t>(v); }, nullptr},
    {"NoiseHighLow", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 1, 14, {},
     "peak finding: 0 high peaks (maxima), 1 low peaks (dips)",
     [](const ChannelState &s) { return number(s.peaks.noiseHighLow); },
     [](ChannelState &s, const SettingValue &v) { s.peaks.noiseHighLow = whole<std::int32_t>(v); }, nullptr},
    {"RefMax", SettingKind::Real, SettingEffect::Stored, defaults::kRefMax, nullptr, 0.01, kWidestRange, 19, {},
     "T/R % of the reference",
     [](const ChannelState &s) { return number(s.settings.refMax); },
     [](ChannelState &s, const SettingValue &v) { s.settings.refMax = v.number; }, nullptr},
    {"RefWhite", SettingKind::Real, SettingEffect::Stored, defaults::kRefWhite, nullptr, 0.01, kWidestRange, 18, {},
     "white reflectance %",
     [](const ChannelState &s) { return number(s.settings.refWhite); },
     [](ChannelState &s, const SettingValue &v) { s.settings.refWhite = v.number; }, nullptr},
    {"BackColor", SettingKind::Long, SettingEffect::Stored, defaults::kBackColor, nullptr, 0, 0xFFFFFF, 31, {}, nullptr,
     [](const ChannelState &s) { return number(s.colors.back); },
     [](ChannelState &s, const SettingValue &v) { s.colors.back = whole<std::uint32_t>(v); }, nullptr},
    {"PixelColor", SettingKind::Long, SettingEffect::Stored, defaults::kPixelColor, nullptr, 0, 0xFFFFFF, 32, {}, nullptr,
     [](const ChannelState &s) { return number(s.colors.pixel); },
     [](ChannelState &s, const SettingValue &v) { s.colors.pixel = whole<std::uint32_t>(v); }, nullptr},
    {"TransColor", SettingKind::Long, SettingEffect::Stored, defaults::kTransColor, nullptr, 0, 0xFFFFFF, 33, {}, nullptr,
     [](const ChannelState &s) { return number(s.colors.trans); },
     [](ChannelState &s, const SettingValue &v) { s.colors.trans = whole<std::uint32_t>(v); }, nullptr},
    {"AbsorbColor", SettingKind::Long, SettingEffect::Stored, defaults::kAbsorbColor, nullptr, 0, 0xFFFFFF, 34, {}, nullptr,
     [](const ChannelState &s) { return number(s.colors.absorb); },
     [](ChannelState &s, const SettingValue &v) { s.colors.absorb = whole<std::uint32_t>(v); }, nullptr},
    {"IrradColor", SettingKind::Long, SettingEffect::Stored, defaults::kIrradColor, nullptr, 0, 0xFFFFFF, 35, {}, nullptr,
     [](const ChannelState &s) { return number(s.colors.irrad); },
     [](ChannelState &s, const SettingValue &v) { s.colors.irrad = whole<std::uint32_t>(v); }, nullptr},
    {"InitSet", SettingKind::Long, SettingEffect::Stored, kNone, nullptr, 0, kLargestLong, 15, {}, nullptr,
     [](const ChannelState &s) { return number(s.flags.packed()); },
     [](ChannelState &s, const SettingValue &v) { applyInitSet(whole<std::uint32_t>(v), s.flags); }, nullptr},
    {"InitOption", SettingKind::Long, SettingEffect::Stored, defaults::kInitOption, nullptr, 0, kLargestLong, 16, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.displayWord); },
     [](ChannelState &s, const SettingValue &v) { s.settings.displayWord = whole<std::uint32_t>(v); }, nullptr},
    {"InitColor", SettingKind::Long, SettingEffect::Stored, defaults::kInitColor, nullptr, 0, kLargestLong, 17, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.colorWord); },
     [](ChannelState &s, const SettingValue &v) { s.settings.colorWord = whole<std::uint32_t>(v); }, nullptr},
    {"Priority", SettingKind::Int, SettingEffect::Stored, defaults::kPriority, nullptr, 0, 5, 0, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.priority); },
     [](ChannelState &s, const SettingValue &v) { s.settings.priority = whole<std::int32_t>(v); }, nullptr},
    {"OVEdit", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 1, 0, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.ovEdit); },
     [](ChannelState &s, const SettingValue &v) { s.settings.ovEdit = whole<std::int32_t>(v); }, nullptr},
    {"TCDOnly", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 1, 0, {}, nullptr,
     [](const ChannelState &s) { return number(s.settings.tcdOnly); },
     [](ChannelState &s, const SettingValue &v) { s.settings.tcdOnly = whole<std::int32_t>(v); }, nullptr},
    // Counts are 16-bit; another resolution would overflow the count ceiling.
    {"ConvBit", SettingKind::Int, SettingEffect::Stored, defaults::kConvBit, nullptr, 1, 16, 0, {}, nullptr,
     [](const ChannelState &s) { return number(s.geometry.adcBits); },
     [](ChannelState &s, const SettingValue &v) { s.geometry.adcBits = whole<std::uint16_t>(v); }, nullptr},
    {"TEC", SettingKind::Int, SettingEffect::Stored, defaults::kTEC, nullptr, 0, 255, 27, {}, nullptr,
     [](const ChannelState &s) { return number(s.cooler.tec); },
     [](ChannelState &s, const SettingValue &v) { s.cooler.tec = whole<std::int32_t>(v); }, withCooler},
    {"CAP", SettingKind::Int, SettingEffect::Stored, defaults::kCAP, nullptr, 0, 10, 28, {}, nullptr,
     [](const ChannelState &s) { return number(s.cooler.cap); },
     [](ChannelState &s, const SettingValue &v) {
         // The S7031 has one capacitor only.
         s.cooler.cap = s.geometry.boardType == kBoardS7031 ? 0 : whole<std::int32_t>(v);
     }, withCooler},
    {"FilterOn", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 1, 29, {},
     "1: low-pass filter on ratios",
     [](const ChannelState &s) { return number(s.settings.filterOn); },
     [](ChannelState &s, const SettingValue &v) { s.settings.filterOn = whole<std::int32_t>(v); }, nullptr},
    {"FilterWin", SettingKind::Int, SettingEffect::Stored, defaults::kFilterWin, nullptr, 1, 99, 30, {},
     "low-pass filter window",
     [](const ChannelState &s) { return number(s.settings.filterWin); },
     [](ChannelState &s, const SettingValue &v) { s.settings.filterWin = whole<std::int32_t>(v); }, nullptr},
    {"IrradDist", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 1, 100000, 36, {},
     "irradiance measuring distance in cm (units with the irradiance pane)",
     [](const ChannelState &s) { return number(s.settings.irradDist); },
     [](ChannelState &s, const SettingValue &v) { s.settings.irradDist = whole<std::int32_t>(v); },
     withIrradianceDistance},
    {"IrradLux", SettingKind::Int, SettingEffect::Stored, kNone, nullptr, 0, 1, 0, {},
     "1: illuminance in lux instead of irradiance",
     [](const ChannelState &s) { return number(s.settings.irradLux); },
     [](ChannelState &s, const SettingValue &v) { s.settings.irradLux = whole<std::int32_t>(v); },
     withIrradianceDistance},
}};

const std::array<SettingKey, 4> kViewKeys{{
    {"mode", SettingKind::Choice, SettingEffect::View, kNone, nullptr, 0, 0, 0, kModeNames,
     "display quantity: counts, T/R %, absorbance or irradiance (not stored)",
     [](const ChannelState &s) {
         const auto found = std::find(kModes.begin(), kModes.end(), s.flags.displayMode());
         return number(found == kModes.end() ? -1.0 : static_cast<double>(found - kModes.begin()));
     }, nullptr, nullptr},
    {"axis", SettingKind::Choice, SettingEffect::View, kNone, nullptr, 0, 0, 0, kAxisNames,
     "X unit; pixel also takes the pixel base",
     [](const ChannelState &s) {
         return number(std::min(static_cast<double>(s.flags.xUnit()), 2.0));
     }, nullptr, nullptr},
    {"irradiance", SettingKind::Choice, SettingEffect::View, kNone, nullptr, 0, 0, 0,
     kIrradianceForms,
     "irradiance form: relative to a blackbody, absolute uW/cm^2/nm, or illuminance lux/nm",
     [](const ChannelState &s) {
         if (s.flags.option.test(option_bits::kRelativeIrradiance)) {
             return number(0.0);
         }
         return number(s.settings.irradLux != 0 ? 2.0 : 1.0);
     }, nullptr, nullptr},
    {"base", SettingKind::Choice, SettingEffect::View, kNone, nullptr, 0, 0, 0, kBaseNames,
     "values per pixel, or on the uniform wavelength grid",
     [](const ChannelState &s) {
         return number(s.flags.option.test(option_bits::kWavelengthBase) ? 1.0 : 0.0);
     }, nullptr, nullptr},
}};
// clang-format on

// Hand-read keys: the integration time asks questions, InitPane looks for
// calibration files, IrradDist/IrradLux follow InitPane.
bool readByTable(const SettingKey &key) {
    const std::string_view name = key.name;
    return key.set != nullptr && key.kind != SettingKind::Choice && name != "IrradDist" &&
           name != "IrradLux";
}

std::optional<double> readNumber(std::string_view text) {
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string readValue(const SettingKey &key, std::string_view entry, SettingValue &value) {
    const std::string name = key.name;
    switch (key.kind) {
    case SettingKind::Choice: {
        const auto found = std::find(key.choices.begin(), key.choices.end(), entry);
        if (found == key.choices.end()) {
            std::string list;
            for (const char *choice : key.choices) {
                list += list.empty() ? "" : "|";
                list += choice;
            }
            return name + " is one of " + list + ", not '" + std::string(entry) + "'";
        }
        value.number = static_cast<double>(found - key.choices.begin());
        return {};
    }
    case SettingKind::Text:
        if (entry.size() > kLongestText) {
            return name + " holds at most " + std::to_string(kLongestText) + " characters";
        }
        if (std::any_of(entry.begin(), entry.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            return name + " cannot hold control characters";
        }
        value.text = entry;
        return {};
    case SettingKind::Int:
    case SettingKind::Long:
    case SettingKind::Real:
        break;
    }
    const auto parsed = readNumber(entry);
    if (!parsed || (key.kind != SettingKind::Real && *parsed != std::trunc(*parsed))) {
        return name + " needs " + (key.kind == SettingKind::Real ? "a number" : "a whole number") +
               ", not '" + std::string(entry) + "'";
    }
    if (*parsed < key.minimum || *parsed > key.maximum) {
        return name + " must lie from " + shortNumber(key.minimum) + " to " +
               shortNumber(key.maximum) + ", not " + std::string(entry);
    }
    value.number = *parsed;
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

Proposal proposalFor(const ChannelState &s, std::span<const SettingAssignment> assignments) {
    Proposal p;
    p.integration = s.limits.current;
    p.start = s.display.wavelengthStart;
    p.end = s.display.wavelengthEnd;
    p.step = s.display.wavelengthStep;
    p.ranges = {{{s.display.trMin, s.display.trMax},
                 {s.display.absMin, s.display.absMax},
                 {s.display.irrMin, s.display.irrMax}}};
    constexpr std::array<std::string_view, 3> kLetters{"T", "A", "I"};
    for (const SettingAssignment &a : assignments) {
        const std::string_view name = a.key->name;
        const double v = a.value.number;
        if (a.key->effect == SettingEffect::Integration) {
            p.integration = static_cast<std::int32_t>(v);
            p.integrationChanged = true;
        }
        p.gridChanged = p.gridChanged || a.key->effect == SettingEffect::Grid;
        p.start = name == "StartWL" ? v : p.start;
        p.end = name == "EndWL" ? v : p.end;
        p.step = name == "IntervalWL" ? v : p.step;
        for (std::size_t r = 0; r < kLetters.size(); ++r) {
            if (name.size() == 4 && name.substr(3) == kLetters[r]) {
                if (name.substr(0, 3) == "Min") {
                    p.ranges[r].first = v;
                } else if (name.substr(0, 3) == "Max") {
                    p.ranges[r].second = v;
                }
            }
        }
    }
    return p;
}

std::string checkIntegration(const ChannelState &s, const Proposal &p) {
    if (p.integrationChanged &&
        (p.integration < s.limits.minimum || p.integration > s.limits.maximum)) {
        return "IntTime of this unit must lie from " + std::to_string(s.limits.minimum) + " to " +
               std::to_string(s.limits.maximum) + ", not " + std::to_string(p.integration);
    }
    return {};
}

std::string checkGrid(const ChannelState &s, const Proposal &p) {
    if (!p.gridChanged) {
        return {};
    }
    const double first = s.acquisition.calStartWavelength;
    const double last = s.acquisition.calEndWavelength;
    if (p.start < first || p.end > last) {
        return "the wavelength grid must lie inside the calibrated range " + shortNumber(first) +
               " to " + shortNumber(last) + " nm";
    }
    if (p.end <= p.start + kNarrowestGridNm) {
        return "EndWL must lie more than " + shortNumber(kNarrowestGridNm) +
               " nm above StartWL (StartWL " + shortNumber(p.start) + ", EndWL " +
               shortNumber(p.end) + ")";
    }
    if ((p.end - p.start) / p.step + 1.0 > kMaxGridPoints) {
        return "IntervalWL " + shortNumber(p.step) + " gives more than " +
               std::to_string(kMaxGridPoints) + " grid points";
    }
    return {};
}

std::string checkRanges(const Proposal &p) {
    constexpr std::array<const char *, 3> kLetters{"T", "A", "I"};
    for (std::size_t r = 0; r < p.ranges.size(); ++r) {
        if (p.ranges[r].first >= p.ranges[r].second) {
            return std::string("Min") + kLetters[r] + " must lie below Max" + kLetters[r] + " (" +
                   shortNumber(p.ranges[r].first) + " is not below " +
                   shortNumber(p.ranges[r].second) + ")";
        }
    }
    return {};
}

} // namespace

std::span<const SettingKey> SettingsTable::AllKeys() {
    return kKeys;
}

const SettingKey *SettingsTable::Find(std::string_view name) {
    for (const auto *table : {&kKeys[0], &kViewKeys[0]}) {
        const std::size_t size = table == &kKeys[0] ? kKeys.size() : kViewKeys.size();
        for (std::size_t i = 0; i < size; ++i) {
            if (name == table[i].name) {
                return &table[i];
            }
        }
    }
    return nullptr;
}

double SettingsTable::Limit(const SettingKey &key, double value) {
    if (!std::isfinite(value)) {
        return key.minimum;
    }
    return std::clamp(value, key.minimum, key.maximum);
}

void SettingsTable::ReadKeys(ProfileFile &file, ChannelState &state) {
    for (const SettingKey &key : kKeys) {
        if (!readByTable(key) || (key.applies != nullptr && !key.applies(state))) {
            continue;
        }
        SettingValue value;
        if (key.kind == SettingKind::Text) {
            value.text = readText(file, sections::kExtendOptions, key.name, key.textDefault);
        } else {
            double stored = storedNumber(file, key);
            if (stored == 0.0 && !std::isnan(key.storedDefault)) {
                stored = key.storedDefault;
            }
            // A value outside what the program can use (a window of two
            // thousand million points, a count of 0 to divide by) is brought
            // into the key's range rather than trusted.
            value.number = Limit(key, stored);
        }
        key.set(state, value);
    }
}

void SettingsTable::WriteKeys(ProfileFile &file, const ChannelState &state) {
    std::vector<const SettingKey *> written;
    for (const SettingKey &key : kKeys) {
        if (key.writeOrder > 0 && (key.applies == nullptr || key.applies(state))) {
            written.push_back(&key);
        }
    }
    std::sort(written.begin(), written.end(), [](const SettingKey *a, const SettingKey *b) {
        return a->writeOrder < b->writeOrder;
    });
    const char *s = sections::kExtendOptions;
    for (const SettingKey *key : written) {
        const SettingValue value = key->get(state);
        switch (key->kind) {
        case SettingKind::Int:
            file.PutInt(s, key->name, static_cast<std::int32_t>(std::llround(value.number)));
            break;
        case SettingKind::Long:
            file.PutLong(s, key->name, static_cast<std::uint32_t>(std::llround(value.number)));
            break;
        case SettingKind::Real:
            file.PutReal(s, key->name, value.number);
            break;
        case SettingKind::Text:
            file.PutText(s, key->name, value.text);
            break;
        case SettingKind::Choice:
            break;
        }
    }
}

std::optional<SettingAssignment> SettingsTable::Parse(std::string_view entry, std::string &error,
                                                      Keys offered) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
        error = "expected KEY=VALUE, not '" + std::string(entry) + "'";
        return std::nullopt;
    }
    const std::string_view name = entry.substr(0, equals);
    const SettingKey *key = Find(name);
    if (key == nullptr || (offered == Keys::CommandLine && key->help == nullptr)) {
        error = "unknown key '" + std::string(name) + "' (keys are case-sensitive; see set --help)";
        return std::nullopt;
    }
    SettingAssignment assignment;
    assignment.key = key;
    error = readValue(*key, entry.substr(equals + 1), assignment.value);
    if (!error.empty()) {
        return std::nullopt;
    }
    return assignment;
}

std::string SettingsTable::Show(const SettingKey &key, const ChannelState &state) {
    const SettingValue value = key.get(state);
    switch (key.kind) {
    case SettingKind::Text:
        return value.text;
    case SettingKind::Choice:
        if (std::string_view(key.name) == "mode") {
            return displayModeName(state.flags.displayMode());
        }
        return key.choices[static_cast<std::size_t>(value.number)];
    case SettingKind::Int:
    case SettingKind::Long:
        return std::to_string(std::llround(value.number));
    case SettingKind::Real:
        break;
    }
    return shortNumber(value.number);
}

std::string SettingsTable::Check(std::span<const SettingAssignment> assignments,
                                 const ChannelState &state) {
    const Proposal proposal = proposalFor(state, assignments);
    for (std::string problem :
         {checkIntegration(state, proposal), checkGrid(state, proposal), checkRanges(proposal)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

void SettingsTable::NoteZeroDefaults(std::span<const SettingAssignment> assignments,
                                     std::vector<std::string> &warnings) {
    for (const SettingAssignment &a : assignments) {
        const SettingKey &key = *a.key;
        if (key.kind != SettingKind::Text && key.kind != SettingKind::Choice &&
            a.value.number == 0.0 && !std::isnan(key.storedDefault) && key.storedDefault != 0.0) {
            warnings.push_back(std::string(key.name) +
                               "=0 holds for this run only: the settings file reads a stored 0 "
                               "as the default " +
                               shortNumber(key.storedDefault));
        }
    }
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

} // namespace quillon
