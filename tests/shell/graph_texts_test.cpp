#include "shell/graph_texts.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quillon;

TEST(AxisTitle, FollowsModeAndUnit) {
    struct Case {
        GraphMode mode;
        GraphXUnit unit;
        bool relative;
        IrradianceUnit irradiance;
        const char *title;
    };
    const Case cases[] = {
        {GraphMode::Scope, GraphXUnit::Pixel, false, IrradianceUnit::Irradiance,
         "Relative Intensity / Pixel"},
        {GraphMode::ReferenceScan, GraphXUnit::Wavelength, false, IrradianceUnit::Irradiance,
         "Relative Intensity / nm"},
        {GraphMode::TransRefl, GraphXUnit::Wavenumber, false, IrradianceUnit::Irradiance,
         "T/R (%) / cm^-1"},
        {GraphMode::Absorbance, GraphXUnit::Other, false, IrradianceUnit::Irradiance,
         "Absorbance(AU) / nm"},
        {GraphMode::Irradiance, GraphXUnit::Wavelength, true, IrradianceUnit::Illuminance,
         "Rel. Irradiance(%) / nm"},
        {GraphMode::Irradiance, GraphXUnit::Wavelength, false, IrradianceUnit::Illuminance,
         "Abs. Illuminance (lux/nm)"},
        {GraphMode::Irradiance, GraphXUnit::Wavelength, false, IrradianceUnit::Power,
         "Abs. Power(mW/nm)"},
        {GraphMode::Irradiance, GraphXUnit::Wavenumber, false, IrradianceUnit::Irradiance,
         "Abs. Irradiance(uW/cm^2/nm)"},
        {GraphMode::Irradiance, GraphXUnit::Pixel, false, IrradianceUnit::Irradiance,
         "Abs. Irradiance(uW/cm^2/nm) / Pixel"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(axisTitle({c.mode, c.unit, c.relative, c.irradiance}), c.title);
    }
}

TEST(DataTip, CalibratedAxisTextsPerModeAndUnit) {
    const PeakMark peak{500.0f, 42.125f, 0.0f};
    struct Case {
        GraphMode mode;
        GraphXUnit unit;
        const char *text;
    };
    const Case cases[] = {
        {GraphMode::Scope, GraphXUnit::Wavelength, "No=3\nWL=500.000nm\nIntensity=42.125"},
        {GraphMode::Scope, GraphXUnit::Wavenumber, "No=3\nWN=20000.000cm^-1\nIntensity=42.125"},
        {GraphMode::TransRefl, GraphXUnit::Wavelength, "No=3\nWL=500.000nm\nT/R(%)=42.125%"},
        {GraphMode::TransRefl, GraphXUnit::Wavenumber, "No=3\nWN=20000.0000cm^-1\nT/R(%)=42.1250%"},
        {GraphMode::Absorbance, GraphXUnit::Wavelength, "No=3\nWL=500.000nm\nAbsorb=42.125AU"},
        {GraphMode::Absorbance, GraphXUnit::Wavenumber,
         "No=3\nWN=20000.0000cm^-1\nAbsorb=42.1250AU"},
        {GraphMode::Irradiance, GraphXUnit::Wavelength, "No=3\nWL=500.000nm\nIrrad=42.125"},
        {GraphMode::Irradiance, GraphXUnit::Wavenumber, "No=3\nWN=20000.0000cm^-1\nIrrad=42.1250"},
    };
    for (const Case &c : cases) {
        const DataTipContext context{true, c.unit, c.mode, {}, {}};
        EXPECT_EQ(dataTipText(context, 3, peak), c.text);
    }
}

TEST(DataTip, PixelAxisTextsUseTheWavelengthTable) {
    const std::vector<float> table{400.0f, 401.5f, 403.0f};
    const std::vector<double> polynomial{398.5, 1.5};
    const PeakMark peak{2.0f, 1234.9f, 0.8765f};
    DataTipContext context{false, GraphXUnit::Pixel, GraphMode::Scope, table, polynomial};
    EXPECT_EQ(dataTipText(context, 1, peak), "No=1\nPixel=2\nIntensity=1234\nFWHM=0.877nm");
    context.xUnit = GraphXUnit::Wavelength;
    EXPECT_EQ(dataTipText(context, 1, peak), "No=1\nWL=401.500nm\nIntensity=1234\nFWHM=0.877nm");
    context.xUnit = GraphXUnit::Wavenumber;
    EXPECT_EQ(dataTipText(context, 1, peak),
              "No=1\nWN=24906.60cm^-1\nIntensity=1234\nFWHM=0.877nm");
    // Beyond the table the polynomial answers; a wild intensity stays printable.
    context.xUnit = GraphXUnit::Wavelength;
    const PeakMark outside{10.0f, std::numeric_limits<float>::infinity(), 0.0f};
    EXPECT_EQ(dataTipText(context, 2, outside), "No=2\nWL=413.500nm\nIntensity=0\nFWHM=0.000nm");
}
