#include "datacontrol/colour_view_rules.h"

#include "datacontrol/data_control.h"
#include "datacontrol/settings.h"
#include "datacontrol/settings_table.h"
#include "photometry/colour_tables.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace quillon::colour_view {

namespace {

constexpr const char *kLineEnd = "\r\n";

template <typename... Values>
std::string printed(const char *format, Values... values) {
    std::array<char, 128> text{};
    const int length = std::snprintf(text.data(), text.size(), format, values...);
    return std::string(text.data(), static_cast<std::size_t>(std::clamp(length, 0, 127)));
}

double wavelengthOf(std::size_t step) {
    return colour::kColourFirstNm + colour::kColourStepNm * static_cast<double>(step);
}

const char *illuminantName(int index) {
    return colour::kIlluminantNames[static_cast<std::size_t>(
        std::clamp(index, 0, colour::kIlluminants - 1))];
}

const char *observerName(int index) {
    return colour::kObserverNames[static_cast<std::size_t>(
        std::clamp(index, 0, colour::kObservers - 1))];
}

// The colour-value lines shared by the export file and the list.
struct ValueLines {
    std::string tristimulus, chromaticity, lab, luv, lch, hunter;
};

ValueLines valueLines(const ColorValues &c) {
    return {printed("X=%6.2f  Y=%6.2f  Z=%6.2f", c.X, c.Y, c.Z),
            printed("x=%6.4f y=%6.4f z=%6.4f", c.x, c.y, c.z),
            printed("L*=%6.2f  a*=%6.2f  b*=%6.2f", c.L, c.a, c.b),
            printed("L*=%6.2f  u*=%6.2f  v*=%6.2f", c.Luv, c.uStar, c.vStar),
            printed("L*=%6.2f  C*=%6.2f  h*=%6.2f", c.L, c.C, c.h),
            printed("HL*=%6.2f Ha*=%6.2f Hb*=%6.2f", c.hunterL, c.hunterA, c.hunterB)};
}

double clamped(double value, double low, double high) {
    return std::isfinite(value) ? std::clamp(value, low, high) : low;
}

} // namespace

ColourGrid colourGridFor(double currentEnd) {
    ColourGrid grid;
    grid.end = std::max(currentEnd, static_cast<double>(colour::kColourLastNm));
    return grid;
}

std::string setUpColourGrid(DataControl &control) {
    const ColourGrid grid = colourGridFor(control.State().grid.end);
    const std::array<std::pair<const char *, std::string>, 5> wanted{{
        {"StartWL", printed("%g", grid.start)},
        {"EndWL", printed("%g", grid.end)},
        {"IntervalWL", printed("%g", grid.interval)},
        {"base", "wavelength"},
        {"mode", "tr"},
    }};
    std::vector<SettingAssignment> changes;
    for (const auto &[key, value] : wanted) {
        const SettingKey *setting = SettingsTable::Find(key);
        if (setting == nullptr) {
            return std::string("no setting ") + key;
        }
        if (SettingsTable::Show(*setting, control.State()) == value) {
            continue;
        }
        std::string error;
        const auto assignment = SettingsTable::Parse(std::string(key) + "=" + value, error);
        if (!assignment) {
            return error;
        }
        changes.push_back(*assignment);
    }
    if (changes.empty()) {
        return {};
    }
    std::vector<std::string> warnings;
    return control.ApplySettings(changes, warnings);
}

void takeSnapshot(const ColorCalc &engine, const ChannelState &state, ColourSnapshot &into) {
    into.values = engine.Values();
    into.illuminant = colour::illuminantOf(state.settings.colorWord);
    into.observer = colour::observerOf(state.settings.colorWord);
    const std::vector<float> &grid = state.buffers.gridResult;
    const std::size_t steps =
        std::min(static_cast<std::size_t>(std::max(engine.GridSteps(), 0)), grid.size());
    into.reflectance.assign(grid.begin(), grid.begin() + static_cast<std::ptrdiff_t>(steps));
    into.tile = engine.TileColor();
    into.valid = true;
}

std::string exportText(const ColourSnapshot &snapshot) {
    const ValueLines v = valueLines(snapshot.values);
    std::string text;
    for (const std::string &line :
         {std::string("Illuminant = ") + illuminantName(snapshot.illuminant),
          std::string("Observer = ") + observerName(snapshot.observer),
          std::string("10nm interval from 400nm to 700nm"), std::string(), v.tristimulus,
          v.chromaticity, v.lab, v.luv, v.lch, v.hunter, std::string(),
          std::string("Wavelength(nm)     Reflectance(%)")}) {
        text += line;
        text += kLineEnd;
    }
    for (std::size_t i = 0; i < snapshot.reflectance.size(); ++i) {
        text += printed("    %6.2f           %6.2f", wavelengthOf(i),
                        static_cast<double>(snapshot.reflectance[i]));
        text += kLineEnd;
    }
    return text;
}

std::vector<std::string> colourConstantLines(const ColourSnapshot &snapshot) {
    const ColorValues &c = snapshot.values;
    const ValueLines v = valueLines(c);
    return {std::string("Illuminant = ") + illuminantName(snapshot.illuminant),
            std::string("Observer = ") + observerName(snapshot.observer),
            "10nm interval from 400nm to 700nm",
            " " + v.tristimulus,
            " " + v.chromaticity,
            printed(" UCSu'=%6.4f UCSv'=%6.4f ", c.uPrime, c.vPrime),
            " " + v.lab,
            " " + v.luv,
            " " + v.lch,
            " " + v.hunter,
            printed(" dE =%6.2f", c.dE)};
}

std::array<std::vector<std::string>, 2> reflectanceBoxes(const ColourSnapshot &snapshot) {
    const std::string heading = " Wavelength(nm)      Reflectance(%)";
    std::array<std::vector<std::string>, 2> boxes{std::vector<std::string>{heading},
                                                  std::vector<std::string>{heading}};
    const std::size_t firstHalf = (snapshot.reflectance.size() + 1) / 2;
    for (std::size_t i = 0; i < snapshot.reflectance.size(); ++i) {
        boxes[i < firstHalf ? 0 : 1].push_back(
            printed("   %6.2f                       %6.2f", wavelengthOf(i),
                    static_cast<double>(snapshot.reflectance[i])));
    }
    return boxes;
}

std::vector<std::string> listLines(const ColourSnapshot &snapshot) {
    const ColorValues &c = snapshot.values;
    const ValueLines v = valueLines(c);
    const std::string value = "04,00 ";
    std::vector<std::string> lines{value + v.tristimulus,
                                   value + v.chromaticity,
                                   value + printed("UCSu=%6.4f UCSv=%6.4f ", c.uPrime, c.vPrime),
                                   value + v.lab,
                                   value + v.luv,
                                   value + v.lch,
                                   value + v.hunter,
                                   value + printed("dE =%6.2f", c.dE),
                                   std::string()};
    for (std::size_t i = 0; i < snapshot.reflectance.size(); ++i) {
        lines.push_back(printed("02,00 WL = %6.2f    R(%%) =  %6.2f", wavelengthOf(i),
                                static_cast<double>(snapshot.reflectance[i])));
    }
    return lines;
}

ListLine parseListLine(const std::string &line) {
    const auto digit = [&line](std::size_t i) { return line[i] >= '0' && line[i] <= '9'; };
    if (line.size() >= 6 && digit(0) && digit(1) && line[2] == ',' && digit(3) && digit(4) &&
        line[5] == ' ') {
        return {(line[0] - '0') * 10 + (line[1] - '0'), (line[3] - '0') * 10 + (line[4] - '0'),
                line.substr(6)};
    }
    return {1, 0, line};
}

std::uint32_t paletteColour(int index) {
    static constexpr std::array<std::uint32_t, 16> kPalette{
        0xFFFFFF, 0x000000, 0x00007F, 0x009300, 0xFF0000, 0x7F0000, 0x9C009C, 0xFC7F00,
        0xFFFF00, 0x00FC00, 0x009393, 0x00FFFF, 0x0000FC, 0xFF00FF, 0x7F7F7F, 0xD2D2D2};
    return kPalette[static_cast<std::size_t>(index) % kPalette.size()];
}

std::optional<std::string> exportStem(const std::string &typed) {
    std::string name = typed;
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) {
        name.erase(dot);
    }
    if (name.find_first_not_of(' ') == std::string::npos) {
        return std::nullopt;
    }
    return files::safeFileStem(name);
}

ExportOutcome writeExport(const std::filesystem::path &dataFolder, const std::string &typedName,
                          const ColourSnapshot &snapshot) {
    ExportOutcome outcome;
    const std::optional<std::string> stem = exportStem(typedName);
    if (!stem) {
        outcome.problem = kNoSaveName;
        return outcome;
    }
    outcome.path = dataFolder / (*stem + kExportExtension);
    const std::string reason =
        platform::replaceBinaryFileWithReason(outcome.path, exportText(snapshot));
    if (!reason.empty()) {
        outcome.problem =
            "The colour data could not be written to " + outcome.path.string() + ": " + reason;
        return outcome;
    }
    outcome.saved = true;
    return outcome;
}

ChartLayout layoutCharts(Box area) {
    // Three panels side by side; each square plot takes what its panel allows
    // beside its bar and below its title.
    ChartLayout layout;
    const int gap = std::max(area.width / 60, 6);
    const int panelWidth = std::max((area.width - 4 * gap) / 3, 30);
    const int titleHeight = std::clamp(area.height / 12, 14, 28);
    // Small areas shrink the label room and the bars, so a panel never
    // reaches into the next one.
    const int labelRoom = std::min(std::clamp(area.height / 14, 14, 24), panelWidth / 6);
    const int top = area.y + gap + titleHeight;
    const int usableHeight = std::max(area.height - 2 * gap - titleHeight - 2 * labelRoom, 20);
    const int barWidth = std::max(panelWidth / 14, 2);
    const int barGap = std::min(std::max(barWidth, 2 * labelRoom), panelWidth / 4);
    const int square =
        std::max(std::min(panelWidth - barWidth - barGap - labelRoom, usableHeight), 1);
    const auto panelX = [&](int n) { return area.x + gap + n * (panelWidth + gap); };
    const int plotTop = top + labelRoom; // room for the bars' captions
    for (int n = 0; n < 2; ++n) {
        const int x = panelX(n) + labelRoom;
        Box plot{x, plotTop, square, square};
        Box bar{x + square + barGap, plotTop, barWidth, square};
        Box title{panelX(n), area.y + gap / 2, panelWidth, titleHeight};
        if (n == 0) {
            layout.xyPlot = plot;
            layout.yBar = bar;
            layout.xyTitle = title;
        } else {
            layout.labPlot = plot;
            layout.lightness = bar;
            layout.labTitle = title;
        }
    }
    layout.reflectance = Box{panelX(2) + labelRoom, plotTop, panelWidth - labelRoom, square};
    layout.reflectanceTitle = Box{panelX(2), area.y + gap / 2, panelWidth, titleHeight};
    return layout;
}

Point chromaticityPoint(const Box &plot, double x, double y) {
    return {plot.x + clamped(x, 0.0, 1.0) * plot.width,
            plot.bottom() - clamped(y, 0.0, 1.0) * plot.height};
}

Point labPoint(const Box &plot, double a, double b) {
    const double cx = plot.x + plot.width / 2.0;
    const double cy = plot.y + plot.height / 2.0;
    return {cx + clamped(a, -kLabRange, kLabRange) / kLabRange * plot.width / 2.0,
            cy - clamped(b, -kLabRange, kLabRange) / kLabRange * plot.height / 2.0};
}

double barLevel(const Box &bar, double value) {
    return bar.bottom() - clamped(value, 0.0, kBarRange) / kBarRange * bar.height;
}

int markRadius(const Box &plot) {
    return std::max(static_cast<int>(std::lround(plot.width / 90.0)), 2);
}

Box reflectanceBar(const Box &chart, int index, int count, double value) {
    if (count <= 0) {
        return {};
    }
    const double pitch = static_cast<double>(chart.width) / count;
    const int left = chart.x + static_cast<int>(std::lround(index * pitch));
    const int right = chart.x + static_cast<int>(std::lround((index + 1) * pitch));
    const int top = static_cast<int>(std::lround(barLevel(chart, value)));
    return {left, top, std::max(right - left - 1, 1), chart.bottom() - top};
}

ColourChartData chartData(const ColourSnapshot &snapshot, std::span<const float> locusTable) {
    const ColorValues &c = snapshot.values;
    ColourChartData data;
    data.x = c.x;
    data.y = c.y;
    data.previousX = c.previousX;
    data.previousY = c.previousY;
    data.Y = c.Y;
    data.L = c.L;
    data.a = c.a;
    data.b = c.b;
    data.referenceL = c.referenceL;
    data.referenceA = c.referenceA;
    data.referenceB = c.referenceB;
    for (std::size_t i = 0; i + 1 < locusTable.size(); i += 2) {
        data.locus.push_back({locusTable[i], locusTable[i + 1]});
    }
    for (std::size_t i = 0; i < snapshot.reflectance.size(); ++i) {
        const int wavelength = static_cast<int>(wavelengthOf(i));
        data.bars.push_back({wavelength, snapshot.reflectance[i],
                             ColorCalc::WavelengthColor(static_cast<float>(wavelength))});
    }
    data.tile = snapshot.tile;
    return data;
}

} // namespace quillon::colour_view
