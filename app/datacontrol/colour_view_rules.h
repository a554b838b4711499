// What the colour view shows and writes, apart from drawing: one colour
// computation taken as a snapshot, the colour list, the colour export file,
// its name in the data folder, and the chart geometry and scales. The
// window's colour view, the printed colour sheet and the command line all
// work from these, so a value reads the same wherever it appears.
#ifndef QUILLON_APP_DATACONTROL_COLOUR_VIEW_RULES_H
#define QUILLON_APP_DATACONTROL_COLOUR_VIEW_RULES_H

#include "datacontrol/channel_state.h"
#include "photometry/color_calc.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {
class DataControl;
}

namespace quillon::colour_view {

inline constexpr const char *kNoSaveName = "No Save Data Name";
inline constexpr const char *kExportExtension = ".txt";

// The colour view's grid: from 400 nm at 10 nm, ending at 700 nm or later.
struct ColourGrid {
    double start = 400.0;
    double end = 700.0;
    double interval = 10.0;
};
ColourGrid colourGridFor(double currentEnd);
// Puts the display on the colour grid, the wavelength base and T/R, as one
// settings change. Empty when done, else why nothing changed.
std::string setUpColourGrid(DataControl &control);

// One colour computation, copied so that it can be shown, listed and
// exported while the engine goes on with the next scan.
struct ColourSnapshot {
    ColorValues values;
    int illuminant = 0;
    int observer = 0;
    // Grid value i at 400 + 10 i nm, one per grid step of the engine.
    std::vector<float> reflectance;
    std::uint32_t tile = 0; // red in the low byte
    bool valid = false;
};
// Fills `into` from the engine and the grid values (reusing its storage).
void takeSnapshot(const ColorCalc &engine, const ChannelState &state, ColourSnapshot &into);

// The colour export file: CR LF line ends.
std::string exportText(const ColourSnapshot &snapshot);

// The printed colour sheet: the "Color Constant" box, and the reflectance
// table in two boxes (the first half of the rows in the first), each with
// its heading line first.
inline constexpr const char *kColourSheetHeaderUnreadable =
    "Failed to open the initial setup file in PrintDrawHeader() of ColorGraph class...";
std::vector<std::string> colourConstantLines(const ColourSnapshot &snapshot);
std::array<std::vector<std::string>, 2> reflectanceBoxes(const ColourSnapshot &snapshot);

// The colour list: each line starts with its colours "FF,BB" (palette
// indices of text and background) and a blank.
std::vector<std::string> listLines(const ColourSnapshot &snapshot);
struct ListLine {
    int foreground = 1;
    int background = 0;
    std::string text;
};
// A line without a prefix is shown black on white as it stands.
ListLine parseListLine(const std::string &line);
// The 16-colour palette of the prefixes, 0xRRGGBB.
std::uint32_t paletteColour(int index);

// The file stem of a typed export name: cut at its last ".", with the
// characters that would leave the data folder replaced. None when nothing
// is left.
std::optional<std::string> exportStem(const std::string &typed);
struct ExportOutcome {
    bool saved = false;
    std::filesystem::path path;
    std::string problem; // the text for the operator when not saved
};
// Writes the export file of `snapshot` as data folder / stem + ".txt".
ExportOutcome writeExport(const std::filesystem::path &dataFolder, const std::string &typedName,
                          const ColourSnapshot &snapshot);

// Chart geometry in device pixels, Qt-free so that screen and paper agree.
struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
};
struct ChartLayout {
    Box xyPlot, yBar;       // chromaticity square and its Y bar
    Box labPlot, lightness; // a*-b* square and its L* bar
    Box reflectance;        // the bar chart of the grid values
    Box xyTitle, labTitle, reflectanceTitle;
};
ChartLayout layoutCharts(Box area);

// The scales of the charts. Chromaticity 0..1, a* and b* -60..60, Y and L*
// 0..100, reflectance 0..100 %; values outside are drawn at the edge.
inline constexpr double kLabRange = 60.0;
inline constexpr double kBarRange = 100.0;
struct Point {
    double x = 0, y = 0;
};
// Position of chromaticity (x, y) inside the square plot.
Point chromaticityPoint(const Box &plot, double x, double y);
// Position of (a*, b*) inside the square plot (centre = 0, 0).
Point labPoint(const Box &plot, double a, double b);
// The y coordinate of a value 0..100 on a vertical bar.
double barLevel(const Box &bar, double value);
// Radius of the marks of the chromaticity chart.
int markRadius(const Box &plot);
// The rectangle of reflectance bar `index` of `count`, its height the value.
Box reflectanceBar(const Box &chart, int index, int count, double value);

// Everything the charts draw, from one snapshot and the engine's locus.
struct ColourChartData {
    double x = 0, y = 0, previousX = 0, previousY = 0, Y = 0;
    double L = 0, a = 0, b = 0, referenceL = 0, referenceA = 0, referenceB = 0;
    std::vector<Point> locus; // (x, y) points, not yet closed
    struct Bar {
        int wavelength = 0;
        double value = 0;
        std::uint32_t colour = 0; // red in the low byte
    };
    std::vector<Bar> bars;
    std::uint32_t tile = 0;
};
ColourChartData chartData(const ColourSnapshot &snapshot, std::span<const float> locusTable);

} // namespace quillon::colour_view

#endif
