// The printed spectral data sheet without the drawing: where each box lies
// on the page, and every text the page shows (header, unit information,
// factory information or the wavelength-value list, peak table). The Qt
// layer paints what this gives; nothing here knows a printer.
#ifndef QUILLON_APP_DATACONTROL_DATA_SHEET_H
#define QUILLON_APP_DATACONTROL_DATA_SHEET_H

#include "analysis/peak_finder.h"
#include "datacontrol/display_flags.h"
#include "datacontrol/print_page.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class DataControl;

namespace data_sheet_messages {
inline constexpr const char *kHeaderUnreadable =
    "Failed to open the initial setup file in PrintDrawHeader() of ScopeGraph class...";
inline constexpr const char *kUnitBoxUnreadable =
    "Failed to open the initial setup file in PrintDrawBox1() of ScopeGraph class...";
inline constexpr const char *kFactoryBoxUnreadable =
    "Failed to open the initial setup file in PrintDrawBox2() of ScopeGraph class...";
inline constexpr const char *kPageFailed = "The page could not be printed.";
} // namespace data_sheet_messages

inline constexpr const char *kSheetDocumentName = "Orvantis";
// Kept clear on every side of the printable area, in device units.
inline constexpr int kSheetMargin = 100;

struct SheetRect {
    int left = 0;
    int top = 0;
    int right = 0; // exclusive
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const SheetRect &) const = default;
};

struct SheetHeaderGeometry {
    int lineHeight = 0; // L: 1.5 times the text height
    // Organisation and sample, title and model, operator and date: two
    // lines of L each, a third of the page width each.
    std::array<SheetRect, 3> columns;
    SheetRect banner;     // 2 L to 3.1 L
    SheetRect webAddress; // 3.1 L to 4 L
    int bottom = 0;       // 4 L
};
SheetHeaderGeometry sheetHeaderGeometry(const SheetRect &page, int textHeight);

struct SheetGeometry {
    SheetRect page;
    SheetHeaderGeometry header;
    SheetRect graph;
    // Unit information, factory information or wavelength values, peaks.
    std::array<SheetRect, 3> boxes;
};

// The layout of a printable area of `deviceWidth` x `deviceHeight` whose
// header font is `textHeight` high. Empty rectangles when the area is too
// small to hold anything.
SheetGeometry sheetGeometry(int deviceWidth, int deviceHeight, int textHeight);

struct SheetTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
SheetTime sheetTimeNow();

struct SheetHeaderTexts {
    std::array<std::string, 2> left;   // organisation, sample
    std::array<std::string, 3> middle; // title, model, telephone
    std::array<std::string, 2> right;  // operator, date
    std::string banner = " Orvantis ";
    std::string webAddress;
};

// Without the Print Page texts (the file could not be read) the three
// columns stay empty; the banner and the address are the program's own.
SheetHeaderTexts sheetHeaderTexts(const std::optional<PrintPageTexts> &page,
                                  std::string_view unitText, const SheetTime &time,
                                  std::string_view telephone, std::string_view webAddress);

struct UnitFacts {
    std::string serial;
    int pixels = 0;
    int integrationTime = 0;
    int timeAverage = 1;
    int binning = 0;
    int smoothingPercent = 0;
    std::array<double, 4> coefficients{};
    std::vector<std::string> calibrationPoints; // the "Data n" values
    DisplayMode mode = DisplayMode::Scope;
    bool relativeIrradiance = false;
    bool lumen = false; // the illuminance form of absolute irradiance
    double referenceTemperature = 0.0;
    double colourTemperature = 0.0;
    double totalPower = 0.0;
    double totalLumen = 0.0;
};
std::vector<std::string> unitInformationLines(const UnitFacts &facts);

std::vector<std::string> factoryLines(const PrintPageTexts &page);

// The x value beside each value of the graph's view: pixel-held data
// carries the wavelength of its pixel, grid data start + index x step (or
// its wavenumber). The view is [viewStart, viewEnd] in pixel numbers for
// pixel-held data, in nm for grid data.
struct SheetData {
    std::span<const float> values;
    std::span<const float> wavelengthTable;
    bool gridData = false;
    double gridStart = 0.0;
    double gridStep = 1.0;
    XUnit xUnit = XUnit::Pixel;
    double viewStart = 0.0;
    double viewEnd = 0.0;
};
std::vector<std::string> wavelengthValueLines(const SheetData &data);

struct SheetColumns {
    std::vector<std::string> left;
    std::vector<std::string> right;
};
// The first half of the lines (the odd one too) left. A list longer than
// two columns of `linesPerColumn` keeps evenly spaced lines, the first and
// the last among them, so the list spans the whole view.
SheetColumns splitInTwoColumns(const std::vector<std::string> &lines, int linesPerColumn);

struct PeakBox {
    std::string header; // empty when there are no peaks
    std::vector<std::string> rows;
};
PeakBox peakBox(std::span<const analysis::Peak> peaks, XUnit xUnit, DisplayMode mode, bool gridData,
                std::span<const float> wavelengthTable);
inline constexpr const char *kNoPeakData = "No Peak Data";

// Everything the page shows but the graph.
struct DataSheetTexts {
    SheetHeaderTexts header;
    bool unitBoxReadable = true;
    std::vector<std::string> unitLines;
    bool factoryForm = false;
    bool factoryBoxReadable = true;
    std::vector<std::string> secondLines; // factory lines, or the value list
    PeakBox peaks;
};

struct DataSheetRequest {
    bool factoryForm = false;
    double viewStart = 0.0;
    double viewEnd = 0.0;
    SheetTime time;
    std::string telephone;
    std::string webAddress;
};

// Gathers the texts from the current state; an unreadable settings file is
// told to the operator once per box it empties.
DataSheetTexts composeDataSheet(DataControl &control, const DataSheetRequest &request);

} // namespace quillon

#endif
