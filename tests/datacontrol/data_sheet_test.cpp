// The data sheet without drawing: the page's boxes, the header with the
// Print Page defaults, the unit information, the value list and its two
// columns, the peak table by x unit and mode, and what an unreadable
// settings file empties.
#include "datacontrol/data_control.h"
#include "datacontrol/data_sheet.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

bool inside(const SheetRect &inner, const SheetRect &outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

TEST(SheetGeometry, MarginsLineHeightThirdsAndBoxesStayOnThePage) {
    // A 300 dpi letter page, a 10 point font about 50 units high.
    const SheetGeometry g = sheetGeometry(2550, 3300, 50);
    EXPECT_EQ(g.page, (SheetRect{100, 100, 2450, 3200}));
    EXPECT_EQ(g.header.lineHeight, 75);
    // Thirds of W = 2350 without losing a unit between the columns.
    EXPECT_EQ(g.header.columns[0].left, 100);
    EXPECT_EQ(g.header.columns[0].right, g.header.columns[1].left);
    EXPECT_EQ(g.header.columns[1].right, g.header.columns[2].left);
    EXPECT_EQ(g.header.columns[2].right, 2450);
    EXPECT_EQ(g.header.columns[1].left, 100 + 2350 / 3);
    EXPECT_EQ(g.header.columns[0].height(), 150); // two lines of L
    // Banner 2 L to 3.1 L, address 3.1 L to 4 L, measured from the top.
    EXPECT_EQ(g.header.banner.top, 250);
    EXPECT_EQ(g.header.banner.bottom, 100 + 233); // 3.1 x 75 = 232.5 rounds up
    EXPECT_EQ(g.header.webAddress.top, g.header.banner.bottom);
    EXPECT_EQ(g.header.webAddress.bottom, 400);

    EXPECT_GT(g.graph.top, g.header.bottom);
    EXPECT_GT(g.boxes[0].top, g.graph.bottom);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_TRUE(inside(g.boxes[k], g.page)) << k;
        EXPECT_GT(g.boxes[k].width(), 2350 / 3 - g.header.lineHeight) << k;
        if (k > 0) {
            EXPECT_GT(g.boxes[k].left, g.boxes[k - 1].right) << "boxes overlap at " << k;
        }
    }
    EXPECT_EQ(g.boxes[2].bottom, g.page.bottom);
}

TEST(SheetGeometry, AnAreaNoLargerThanTheMarginsHoldsNothing) {
    EXPECT_EQ(sheetGeometry(200, 3300, 50).page.width(), 0);
    EXPECT_EQ(sheetGeometry(2550, 150, 50).page.height(), 0);
    EXPECT_EQ(sheetGeometry(2550, 3300, 0).graph.height(), 0);
}

TEST(SheetHeader, PrintPageValuesWithDefaultsModelBeforeTheDashAndTheDate) {
    PrintPageTexts page; // the defaults of empty keys
    page.operatorName = "J. Doe";
    const SheetHeaderTexts h =
        sheetHeaderTexts(page, "QX10-S10417-B", {2026, 3, 7, 9, 5, 4}, "Tel. 1", "https://x/");
    EXPECT_EQ(h.left[0], " Organization : Orvantis");
    EXPECT_EQ(h.left[1], " Sample : Sample");
    EXPECT_EQ(h.middle[0], "Spectral Data Sheet");
    EXPECT_EQ(h.middle[1], "Model : QX10");
    EXPECT_EQ(h.middle[2], "Tel. 1");
    EXPECT_EQ(h.right[0], " Operator : J. Doe");
    EXPECT_EQ(h.right[1], " Date : 03/07/2026   09:05:04"); // month first
    EXPECT_EQ(h.banner, " Orvantis ");
    EXPECT_EQ(h.webAddress, "https://x/");

    // A unit text without a dash is the model whole.
    EXPECT_EQ(sheetHeaderTexts(page, "QX10", {}, "", "").middle[1], "Model : QX10");
    // No texts from an unreadable file: the columns stay empty.
    const SheetHeaderTexts none = sheetHeaderTexts(std::nullopt, "QX10-1", {}, "Tel", "web");
    EXPECT_TRUE(none.left[0].empty() && none.middle[0].empty() && none.right[1].empty());
    EXPECT_EQ(none.webAddress, "web");
}

TEST(SheetUnitLines, FormatsPointsAndTheIrradianceLinesOfEachForm) {
    UnitFacts f;
    f.serial = "S1";
    f.pixels = 2048;
    f.integrationTime = 35;
    f.timeAverage = 4;
    f.binning = 2;
    f.smoothingPercent = 25;
    f.coefficients = {344.5, 0.35, -1e-5, 0.0};
    f.calibrationPoints = {"4047;170", "4358;259"};
    std::vector<std::string> lines = unitInformationLines(f);
    const std::vector<std::string> expected{"Serial No=S1",
                                            "CCD Pixels=2048 ",
                                            "Integration Time=35   ",
                                            "Time Average=4   ",
                                            "Binning Pixels=2   ",
                                            "FFT Smoothing=25  (%)",
                                            "Coefficient of 0th order = 344.500000",
                                            "Coefficient of 1th order = 0.350000",
                                            "Coefficient of 2th order = -0.000010",
                                            "Coefficient of 3th order = 0.000000",
                                            "Calibration Data ",
                                            "        4047;170",
                                            "        4358;259"};
    EXPECT_EQ(lines, expected);

    f.mode = DisplayMode::Irradiance;
    f.relativeIrradiance = true;
    f.referenceTemperature = 3000;
    EXPECT_EQ(unitInformationLines(f).back(), "Reference Temperature = 3000.000K");
    f.relativeIrradiance = false;
    f.colourTemperature = 2856.25;
    f.totalPower = 1.5;
    f.totalLumen = 7.0;
    lines = unitInformationLines(f);
    EXPECT_EQ(lines[lines.size() - 2], "Color Temperature = 2856.250K");
    EXPECT_EQ(lines.back(), "Total Power = 1.500mW");
    f.lumen = true;
    EXPECT_EQ(unitInformationLines(f).back(), "Total Lumen = 7.000mLumen");
    // Other modes add nothing after the points.
    f.mode = DisplayMode::Absorbance;
    EXPECT_EQ(unitInformationLines(f).back(), "        4358;259");
}

TEST(SheetValueList, PixelDataTakesTheTableGridDataItsStepOrWavenumberInsideTheView) {
    const std::vector<float> values{10.f, 20.f, 30.f, 40.f};
    const std::vector<float> table{400.f, 401.5f, 403.f, 404.5f};
    SheetData pixels{values, table, false, 0.0, 1.0, XUnit::Wavelength, 2.0, 3.0};
    EXPECT_EQ(wavelengthValueLines(pixels),
              (std::vector<std::string>{" 401.500    20.000", " 403.000    30.000"}));
    // A table shorter than the values ends the list.
    pixels.wavelengthTable = std::span(table).first(1);
    pixels.viewStart = 0.0;
    pixels.viewEnd = 10.0;
    EXPECT_EQ(wavelengthValueLines(pixels).size(), 1u);

    SheetData grid{values, {}, true, 500.0, 2.0, XUnit::Wavelength, 501.0, 506.0};
    EXPECT_EQ(wavelengthValueLines(grid),
              (std::vector<std::string>{" 502.000    20.000", " 504.000    30.000",
                                        " 506.000    40.000"}));
    grid.xUnit = XUnit::Wavenumber;
    grid.viewStart = 499.0;
    grid.viewEnd = 500.5;
    EXPECT_EQ(wavelengthValueLines(grid), (std::vector<std::string>{"20000.000    10.000"}));
}

TEST(SheetColumns, FirstHalfLeftAndALongListSampledWithItsEnds) {
    const std::vector<std::string> five{"a", "b", "c", "d", "e"};
    SheetColumns c = splitInTwoColumns(five, 10);
    EXPECT_EQ(c.left, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(c.right, (std::vector<std::string>{"d", "e"}));

    std::vector<std::string> many;
    for (int k = 0; k < 101; ++k) {
        many.push_back(std::to_string(k));
    }
    c = splitInTwoColumns(many, 5);
    EXPECT_EQ(c.left, (std::vector<std::string>{"0", "11", "22", "33", "44"}));
    EXPECT_EQ(c.right, (std::vector<std::string>{"56", "67", "78", "89", "100"}));
    EXPECT_TRUE(splitInTwoColumns(many, 0).left.empty());
}

TEST(SheetPeakBox, HeaderByUnitAndModeRowsByUnit) {
    const std::vector<analysis::Peak> peaks{{2.0f, 1234.5f, 3.25f, 1, 3, false},
                                            {4.0f, 99.0f, 0.0f, 3, 5, false}};
    const std::vector<float> table{400.f, 500.f, 600.f, 700.f, 800.f};
    struct Case {
        XUnit unit;
        DisplayMode mode;
        const char *header;
    };
    const std::vector<Case> cases{
        {XUnit::Wavelength, DisplayMode::Scope, "  No :      Wavelength       Intensity  "},
        {XUnit::Wavelength, DisplayMode::ReferenceScan, "  No :      Wavelength       Intensity  "},
        {XUnit::Wavenumber, DisplayMode::DarkScan, "  No :      Wavenumber       Intensity  "},
        {XUnit::Wavelength, DisplayMode::TransRefl, "  No :    Wavelength      T/R(%) "},
        {XUnit::Wavenumber, DisplayMode::TransRefl, "  No :    Wavenumber      T/R(%) "},
        {XUnit::Wavelength, DisplayMode::Absorbance, "  No :    Wavelength        AU  "},
        {XUnit::Wavenumber, DisplayMode::Absorbance, "  No :    Wavenumber        AU  "},
        {XUnit::Wavelength, DisplayMode::Irradiance, "  No :    Wavelength      Irradiance"},
        {XUnit::Wavenumber, DisplayMode::Irradiance, "  No :    Wavenumber      Irradiance"},
        {XUnit::Pixel, DisplayMode::Absorbance, "No : Pixel  Wavelength Intensity   FWHM"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(peakBox(peaks, c.unit, c.mode, false, table).header, c.header)
            << static_cast<int>(c.unit) << "/" << static_cast<int>(c.mode);
    }
    EXPECT_EQ(peakBox(peaks, XUnit::Wavelength, DisplayMode::Scope, false, table).rows,
              (std::vector<std::string>{"  1   :       500.000         1234.500",
                                        "  2   :       700.000           99.000"}));
    EXPECT_EQ(peakBox(peaks, XUnit::Wavenumber, DisplayMode::Scope, false, table).rows[0],
              "  1   :      20000.000         1234.500");
    EXPECT_EQ(peakBox(peaks, XUnit::Pixel, DisplayMode::Scope, false, table).rows[0],
              "      1  :   2         500.000        1234.5       3.250 ");
    const PeakBox empty = peakBox({}, XUnit::Pixel, DisplayMode::Scope, false, table);
    EXPECT_TRUE(empty.header.empty() && empty.rows.empty());
}

// The sheet gathered from a started unit: the calibration points of the set
// in use, and the boxes an unreadable settings file empties.
class SheetOfUnit : public StartUpFixture {
protected:
    DataControl &start() {
        loadBench({{0, factoryEeprom("U1", "ILX511", 20), {}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
    static std::vector<std::string> pointLines(const DataSheetTexts &sheet) {
        const auto title = std::find(sheet.unitLines.begin(), sheet.unitLines.end(),
                                     std::string("Calibration Data "));
        return title == sheet.unitLines.end() ? std::vector<std::string>{}
                                              : std::vector<std::string>(title + 1, title + 3);
    }
};

TEST_F(SheetOfUnit, PointsComeFromTheUnitFileOrTheCustomSetInUse) {
    DataControl &dc = start();
    DataSheetRequest request;
    EXPECT_EQ(pointLines(composeDataSheet(dc, request)),
              (std::vector<std::string>{"        4000;100", "        8000;900"}));

    const std::vector<StoredPoint> set{{4010, 100}, {8010, 900}};
    ASSERT_EQ(dc.Calibrations().SaveCustomSet("Lamp A", 0, set), 1);
    ASSERT_EQ(dc.Calibrations().ApplySet(1), OpResult::Done);
    request.factoryForm = true;
    const DataSheetTexts sheet = composeDataSheet(dc, request);
    EXPECT_EQ(pointLines(sheet),
              (std::vector<std::string>{"        4010;100", "        8010;900"}));
    EXPECT_EQ(sheet.header.middle[1], "Model : Lamp A");
    EXPECT_EQ(sheet.secondLines.front(), "Slit Width = Slit");
    EXPECT_EQ(sheet.secondLines.back(), "Board Serial No = BoardSerial");
    EXPECT_TRUE(prompter.textsOf(PromptKind::Message).empty());
}

TEST_F(SheetOfUnit, AnUnreadableSettingsFileEmptiesHeaderAndFactoryBoxWithTheirMessages) {
    DataControl &dc = start();
    // A folder where the settings file should be cannot be read as one.
    std::filesystem::remove(dc.State().mainSettingsPath);
    std::filesystem::create_directory(dc.State().mainSettingsPath);
    DataSheetRequest request;
    request.factoryForm = true;
    const DataSheetTexts sheet = composeDataSheet(dc, request);
    EXPECT_TRUE(sheet.header.left[0].empty());
    EXPECT_FALSE(sheet.factoryBoxReadable);
    EXPECT_TRUE(sheet.secondLines.empty());
    EXPECT_TRUE(sheet.unitBoxReadable); // the points are in the unit file
    const auto shown = prompter.textsOf(PromptKind::Message);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].rfind(data_sheet_messages::kHeaderUnreadable, 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind(data_sheet_messages::kFactoryBoxUnreadable, 0), 0u) << shown[1];
    std::filesystem::remove(dc.State().mainSettingsPath);
}

TEST_F(SheetOfUnit, AUnitFileWithoutPointsEmptiesTheUnitBox) {
    DataControl &dc = start();
    const std::filesystem::path unitFile = dc.State().currentInfo().unitFile;
    writeBytes(unitFile, "[Factory Default]\nName=U1\n");
    const DataSheetTexts sheet = composeDataSheet(dc, {});
    EXPECT_FALSE(sheet.unitBoxReadable);
    EXPECT_TRUE(sheet.unitLines.empty());
    const auto shown = prompter.textsOf(PromptKind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(data_sheet_messages::kUnitBoxUnreadable, 0), 0u) << shown[0];
}

} // namespace
