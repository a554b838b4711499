#include "shell/view_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace quillon;

namespace {

const PixelRect kPlot{100, 50, 900, 450}; // 800 x 400

RangeContext context(GraphMode mode, bool calibrated = false) {
    RangeContext c;
    c.mode = mode;
    c.calibratedAxis = calibrated;
    c.settings.pixelStart = 1;
    c.settings.pixelEnd = 2048;
    c.settings.countsMin = 0;
    c.settings.countsMax = 4000;
    c.settings.wavelengthStart = 350.0f;
    c.settings.wavelengthEnd = 1000.0f;
    c.settings.wavelengthStep = 2.0f;
    c.settings.transMin = -10.0f;
    c.settings.transMax = 110.0f;
    c.settings.absorbMin = -1.0f;
    c.settings.absorbMax = 3.0f;
    c.settings.irradMin = 0.0f;
    c.settings.irradMax = 5.0f;
    return c;
}

ViewRange ready(const RangeContext &c) {
    ViewRange range = resetViewRange(c);
    updateDerivedRange(range, kPlot);
    return range;
}

void expectInsideFull(const ViewRange &r) {
    const float tolerance = 1e-3f;
    EXPECT_LT(r.xStart, r.xEnd);
    EXPECT_LT(r.yStart, r.yEnd);
    EXPECT_GE(r.xStart, r.fullXStart - tolerance * r.fullXSpan);
    EXPECT_LE(r.xEnd, r.fullXEnd() + tolerance * r.fullXSpan);
    EXPECT_GE(r.yStart, r.fullYStart - tolerance * r.fullYSpan);
    EXPECT_LE(r.yEnd, r.fullYEnd() + tolerance * r.fullYSpan);
    EXPECT_TRUE(std::isfinite(r.xScale) && r.xScale > 0.0f);
    EXPECT_TRUE(std::isfinite(r.yScale) && r.yScale > 0.0f);
}

} // namespace

TEST(RangeReset, EachModeTakesItsOwnLimits) {
    struct Case {
        GraphMode mode;
        bool relative;
        float yStart;
        float yEnd;
    };
    const Case cases[] = {
        {GraphMode::Scope, false, 0.0f, 4000.0f},      {GraphMode::DarkScan, false, 0.0f, 4000.0f},
        {GraphMode::TransRefl, false, -10.0f, 110.0f}, {GraphMode::Absorbance, false, -1.0f, 3.0f},
        {GraphMode::Irradiance, true, -10.0f, 110.0f}, {GraphMode::Irradiance, false, 0.0f, 5.0f}};
    for (const Case &c : cases) {
        RangeContext ctx = context(c.mode);
        ctx.relativeIrradiance = c.relative;
        const ViewRange r = resetViewRange(ctx);
        EXPECT_EQ(r.yStart, c.yStart);
        EXPECT_EQ(r.yEnd, c.yEnd);
        EXPECT_EQ(r.fullYStart, c.yStart);
        EXPECT_EQ(r.fullYSpan, c.yEnd - c.yStart);
        EXPECT_EQ(r.xStart, 1.0f);
        EXPECT_EQ(r.xEnd, 2048.0f);
    }
}

TEST(RangeReset, CalibratedAxisUsesWavelengthsAndWavenumbers) {
    const ViewRange r = ready(context(GraphMode::TransRefl, true));
    EXPECT_EQ(r.xStart, 350.0f);
    EXPECT_EQ(r.xEnd, 1000.0f);
    EXPECT_FLOAT_EQ(r.wavenumberStart, 10000.0f);
    EXPECT_FLOAT_EQ(r.wavenumberEnd, 1.0e7f / 350.0f);
    EXPECT_FLOAT_EQ(r.xScale, 800.0f / 650.0f);
    EXPECT_FLOAT_EQ(r.yScale, 400.0f / 120.0f);
    EXPECT_FLOAT_EQ(r.wavenumberScale, 800.0f / (1.0e7f / 350.0f - 10000.0f));
}

TEST(RangeReset, EmptyOrBrokenSettingsStillGiveAUsableRange) {
    RangeContext c = context(GraphMode::Scope);
    c.settings.pixelStart = 500;
    c.settings.pixelEnd = 500;
    c.settings.countsMin = 100;
    c.settings.countsMax = 0;
    ViewRange r = ready(c);
    expectInsideFull(r);
    c = context(GraphMode::Absorbance, true);
    c.settings.wavelengthStart = std::nanf("");
    c.settings.absorbMax = INFINITY;
    r = ready(c);
    expectInsideFull(r);
}

TEST(Zoom, InMovesEachSideByOneTwentiethOfTheFullSpan) {
    const RangeContext c = context(GraphMode::Scope);
    ViewRange r = ready(c);
    zoomIn(r, c);
    EXPECT_FLOAT_EQ(r.xStart, 1.0f + 2047.0f / 20.0f);
    EXPECT_FLOAT_EQ(r.xEnd, 2048.0f - 2047.0f / 20.0f);
    EXPECT_FLOAT_EQ(r.yStart, 200.0f);
    EXPECT_FLOAT_EQ(r.yEnd, 3800.0f);
}

TEST(Zoom, CalibratedResultModesStepInWholeGridSteps) {
    for (const GraphMode mode :
         {GraphMode::TransRefl, GraphMode::Absorbance, GraphMode::Irradiance}) {
        const RangeContext c = context(mode, true);
        ViewRange r = ready(c);
        zoomIn(r, c); // 650 / 20 = 32.5 nm, cut to 16 steps of 2 nm
        EXPECT_FLOAT_EQ(r.xStart, 382.0f);
        EXPECT_FLOAT_EQ(r.xEnd, 968.0f);
    }
    const RangeContext scope = context(GraphMode::Scope, true);
    ViewRange r = ready(scope);
    zoomIn(r, scope);
    EXPECT_FLOAT_EQ(r.xStart, 382.5f);
}

TEST(Zoom, InNeverInvertsAndOutReturnsToTheFullRange) {
    const RangeContext c = context(GraphMode::Scope);
    const ViewRange full = ready(c);
    ViewRange r = full;
    for (int i = 0; i < 40; ++i) {
        zoomIn(r, c);
        updateDerivedRange(r, kPlot);
        EXPECT_LT(r.xStart, r.xEnd);
        EXPECT_LT(r.yStart, r.yEnd);
    }
    EXPECT_NEAR(r.xEnd - r.xStart, 2047.0f / 10.0f, 1.0f); // stopped after 9 steps
    for (int i = 0; i < 40; ++i) {
        zoomOut(r);
    }
    EXPECT_EQ(r.xStart, full.xStart);
    EXPECT_EQ(r.xEnd, full.xEnd);
    EXPECT_EQ(r.yStart, full.yStart);
    EXPECT_EQ(r.yEnd, full.yEnd);
}

TEST(Pan, ShiftsFollowTheMouseAndStopAtTheLimits) {
    const RangeContext c = context(GraphMode::Scope);
    ViewRange r = ready(c);
    zoomIn(r, c);
    zoomIn(r, c);
    updateDerivedRange(r, kPlot);
    const float xSpan = r.xEnd - r.xStart;
    const float ySpan = r.yEnd - r.yStart;
    const float xBefore = r.xStart;
    panX(r, 10.0f);
    EXPECT_FLOAT_EQ(r.xStart, xBefore - 10.0f / r.xScale);
    const float yBefore = r.yStart;
    panY(r, 10.0f); // dragging down shows higher values
    EXPECT_FLOAT_EQ(r.yStart, yBefore + 10.0f / r.yScale);
    panX(r, 1.0e6f);
    EXPECT_EQ(r.xStart, r.fullXStart);
    EXPECT_FLOAT_EQ(r.xEnd - r.xStart, xSpan);
    panY(r, 1.0e6f);
    EXPECT_EQ(r.yEnd, r.fullYEnd());
    EXPECT_FLOAT_EQ(r.yEnd - r.yStart, ySpan);
    panX(r, NAN);
    EXPECT_EQ(r.xStart, r.fullXStart);
}

TEST(RubberBand, WiderOrTallerThanTenPixelsZooms) {
    const RangeContext c = context(GraphMode::Scope);
    ViewRange r = ready(c);
    EXPECT_FALSE(applyRubberBand(r, kPlot, 300, 200, 308, 208));
    EXPECT_FALSE(applyRubberBand(r, kPlot, 300, 200, 310, 210)); // exactly 10 is not more
    EXPECT_EQ(r.xStart, 1.0f);
    EXPECT_TRUE(applyRubberBand(r, kPlot, 308, 400, 300, 200)); // 8 x 200, any corner order
    EXPECT_NEAR(r.xStart, 1.0 + 200.0 * 2047.0 / 800.0, 1e-3);
    EXPECT_NEAR(r.xEnd, 1.0 + 208.0 * 2047.0 / 800.0, 1e-3);
    EXPECT_NEAR(r.yStart, 50.0 * 4000.0 / 400.0, 1e-2);
    EXPECT_NEAR(r.yEnd, 250.0 * 4000.0 / 400.0, 1e-2);
}

TEST(RubberBand, IsConfinedToThePlotAndKeepsAnAxisItDoesNotCover) {
    const RangeContext c = context(GraphMode::Scope);
    ViewRange r = ready(c);
    EXPECT_TRUE(applyRubberBand(r, kPlot, -50, 300, 5000, 300)); // a flat band over everything
    EXPECT_FLOAT_EQ(r.xStart, 1.0f);
    EXPECT_FLOAT_EQ(r.xEnd, 2048.0f);
    EXPECT_EQ(r.yStart, 0.0f); // zero height: y kept
    EXPECT_EQ(r.yEnd, 4000.0f);
}

TEST(RangeInvariants, RandomZoomPanAndBandSequencesStayValid) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> operation(0, 4);
    std::uniform_real_distribution<float> shift(-400.0f, 400.0f);
    std::uniform_int_distribution<int> px(kPlot.left - 50, kPlot.right + 50);
    std::uniform_int_distribution<int> py(kPlot.top - 50, kPlot.bottom + 50);
    for (const bool calibrated : {false, true}) {
        const RangeContext c =
            context(calibrated ? GraphMode::TransRefl : GraphMode::Scope, calibrated);
        ViewRange r = ready(c);
        for (int i = 0; i < 3000; ++i) {
            switch (operation(random)) {
            case 0:
                zoomIn(r, c);
                break;
            case 1:
                zoomOut(r);
                break;
            case 2:
                panX(r, shift(random));
                break;
            case 3:
                panY(r, shift(random));
                break;
            default:
                applyRubberBand(r, kPlot, px(random), py(random), px(random), py(random));
                break;
            }
            updateDerivedRange(r, kPlot);
            expectInsideFull(r);
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
}

TEST(TextPanel, PageFollowsUnitAndMode) {
    EXPECT_EQ(textPanelPage(GraphXUnit::Pixel, GraphMode::Absorbance), 1);
    EXPECT_EQ(textPanelPage(GraphXUnit::Wavelength, GraphMode::Scope), 2);
    EXPECT_EQ(textPanelPage(GraphXUnit::Wavenumber, GraphMode::TransRefl), 2);
    EXPECT_EQ(textPanelPage(GraphXUnit::Wavelength, GraphMode::Absorbance), 3);
    EXPECT_EQ(textPanelPage(GraphXUnit::Wavelength, GraphMode::Irradiance), 4);
}
