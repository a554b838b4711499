// The "Peak Data" table: headings by unit and mode, positions in the x
// unit, the unmeasured width and the saturation note, and the copied and
// saved forms.
#include "shell/peak_table_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillon;

namespace {

const std::vector<float> kTable{400.0f, 400.5f, 401.0f, 401.5f};

analysis::Peak peakAt(float position, float intensity, float fwhm, bool saturated = false) {
    analysis::Peak peak;
    peak.position = position;
    peak.intensity = intensity;
    peak.fwhm = fwhm;
    peak.saturated = saturated;
    return peak;
}

TEST(PeakTableTexts, HeadingsFollowTheXUnitAndTheMode) {
    struct Case {
        GraphXUnit unit;
        GraphMode mode;
        bool relative;
        const char *position;
        const char *value;
    };
    const Case cases[] = {
        {GraphXUnit::Pixel, GraphMode::Scope, false, "Pixel", "Intensity"},
        {GraphXUnit::Wavelength, GraphMode::TransRefl, false, "Wavelength", "R/T(%)"},
        {GraphXUnit::Wavenumber, GraphMode::Absorbance, false, "Wavenumber", "AU"},
        {GraphXUnit::Wavelength, GraphMode::Irradiance, false, "Wavelength", "Irrad"},
        {GraphXUnit::Wavelength, GraphMode::Irradiance, true, "Wavelength", "Relative"},
    };
    for (const Case &c : cases) {
        PeakTableContext context;
        context.xUnit = c.unit;
        context.mode = c.mode;
        context.relativeIrradiance = c.relative;
        const auto headings = peakTableHeadings(context);
        ASSERT_EQ(headings.size(), 5u);
        EXPECT_EQ(headings[0], "No");
        EXPECT_EQ(headings[1], c.position);
        EXPECT_EQ(headings[2], c.value);
        EXPECT_EQ(headings[3], "FWHM(nm)");
    }
}

TEST(PeakTableTexts, PositionsInTheXUnit) {
    PeakTableContext context;
    context.wavelengthTable = kTable;
    const analysis::Peak peak = peakAt(2.6f, 1234.5f, 0.75f);
    // Pixel data: the pixel number, or the table entry of pixel trunc(2.6 + 0.5) = 3.
    EXPECT_EQ(peakTableRow(context, 1, peak),
              (std::vector<std::string>{"1", "   2.600", "1234.500", "   0.750", ""}));
    context.xUnit = GraphXUnit::Wavelength;
    EXPECT_EQ(peakTableRow(context, 2, peak)[1], " 401.000");
    context.xUnit = GraphXUnit::Wavenumber;
    EXPECT_EQ(peakTableRow(context, 2, peak)[1], "24937.656");
    // Grid data keeps its wavelength.
    context.gridData = true;
    EXPECT_EQ(peakTableRow(context, 3, peakAt(500.0f, 1.0f, 0.0f))[1], "20000.000");
    context.xUnit = GraphXUnit::Wavelength;
    EXPECT_EQ(peakTableRow(context, 3, peakAt(500.0f, 1.0f, 0.0f))[1], " 500.000");
    // A pixel outside the table has no wavelength to show.
    context.gridData = false;
    EXPECT_EQ(peakTableRow(context, 4, peakAt(9.0f, 1.0f, 0.0f))[1], "   0.000");
}

TEST(PeakTableTexts, UnmeasuredWidthsAndSaturationInTheTableAndItsCopies) {
    PeakTableContext context;
    context.xUnit = GraphXUnit::Wavelength;
    context.wavelengthTable = kTable;
    const std::vector<analysis::Peak> peaks{peakAt(1.0f, 100.0f, 0.0f),
                                            peakAt(4.0f, 65535.0f, 1.25f, true)};
    const auto first = peakTableRow(context, 1, peaks[0]);
    EXPECT_EQ(first[3], kNotMeasured);
    EXPECT_EQ(first[4], "");
    EXPECT_EQ(peakTableRow(context, 2, peaks[1])[4], kSaturatedNote);
    EXPECT_EQ(peakTableText(context, peaks, '\t'),
              std::string("No\tWavelength\tIntensity\tFWHM(nm)\tNote\n"
                          "1\t400.000\t100.000\t") +
                  kNotMeasured + "\t\n2\t401.500\t65535.000\t1.250\tsaturated\n");
    EXPECT_EQ(peakTableText(context, peaks, ','),
              "No,Wavelength,Intensity,FWHM(nm),Note\r\n1,400.000,100.000,,\r\n"
              "2,401.500,65535.000,1.250,saturated\r\n");
    EXPECT_EQ(peakTableText(context, {}, ','), "No,Wavelength,Intensity,FWHM(nm),Note\r\n");
}

} // namespace
