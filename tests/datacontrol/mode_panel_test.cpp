// The mode panel's operations against a simulated unit: what it opens
// with, the order and reach of what closing stores, and its refusals.
#include "sim_bench.h"

#include "photometry/irradiance.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

class ModePanel : public StartUpFixture {
protected:
    DataControl &start() {
        loadBench({{0, factoryEeprom("U1", "ILX511", 20)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
    // A dark and a reference, as the mode button needs them.
    void darkAndReference(DataControl &dc) {
        simCommand("set 0 source dark");
        ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
        simCommand("set 0 source lamp");
        ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    }
    // A unit calibrated against the simulator's lamp at 40 cm.
    void calibrate(DataControl &dc) {
        simCommand("set 0 source dark");
        ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
        simCommand("set 0 source lamp");
        ASSERT_EQ(dc.CalibrateIrradiance(40), OpResult::Done);
        ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
        prompter.clearShown(); // the pixels the lamp leaves dark
    }
};

TEST_F(ModePanel, TheRangeShownFollowsTheModeAndTheIrradianceForm) {
    DataControl &dc = start();
    ASSERT_EQ(dc.ApplySetting("MaxT", "95"), "");
    ASSERT_EQ(dc.ApplySetting("MinA", "-0.5"), "");
    ASSERT_EQ(dc.ApplySetting("MaxI", "7"), "");
    ModePanelRange r = dc.ModePanelRangeOf(DisplayMode::TransRefl, false);
    EXPECT_EQ(r.unit, "(%)");
    EXPECT_DOUBLE_EQ(r.max, 95.0);
    EXPECT_DOUBLE_EQ(r.min, -10.0);
    r = dc.ModePanelRangeOf(DisplayMode::Absorbance, false);
    EXPECT_EQ(r.unit, "(A)");
    EXPECT_DOUBLE_EQ(r.min, -0.5);
    r = dc.ModePanelRangeOf(DisplayMode::Irradiance, true);
    EXPECT_EQ(r.unit, "(%/nm)");
    EXPECT_DOUBLE_EQ(r.max, 95.0); // the T/R range
    EXPECT_FALSE(r.stored);
    r = dc.ModePanelRangeOf(DisplayMode::Irradiance, false);
    EXPECT_EQ(r.unit, "(uW/cm^2/nm)");
    EXPECT_DOUBLE_EQ(r.max, 7.0);
    EXPECT_DOUBLE_EQ(r.min, 0.0);
    EXPECT_TRUE(r.stored);

    // An uncalibrated unit has no irradiance controls; held on pixels, the
    // relative form is offered even when the absolute one was in use.
    ModePanelOpening opening = dc.OpenModePanel();
    EXPECT_FALSE(opening.irradianceControls);
    EXPECT_EQ(opening.values.mode, DisplayMode::Scope);
    EXPECT_EQ(opening.rangeUnit, "(%)");
    dc.SetOption(option_bits::kRelativeIrradiance, false);
    dc.SetWavelengthBase(false);
    EXPECT_TRUE(dc.OpenModePanel().values.relativeIrradiance);
    dc.SetWavelengthBase(true);
    EXPECT_FALSE(dc.OpenModePanel().values.relativeIrradiance);
}

TEST_F(ModePanel, ClosingStoresRangeFilterAndModeAndRefusesBadChoicesWhole) {
    DataControl &dc = start();
    ModePanelValues v = dc.OpenModePanel().values;
    v.mode = DisplayMode::TransRefl;
    v.max = 120.0;
    v.min = 5.0;
    // The ratio modes need a dark and a reference first.
    EXPECT_FALSE(dc.ApplyModePanel(v).problem.empty());
    darkAndReference(dc);

    // An even window, a reversed range and irradiance on an uncalibrated
    // unit change nothing at all.
    using Change = void (*)(ModePanelValues &);
    for (Change bad : std::initializer_list<Change>{
             [](ModePanelValues &c) { c.filterWindow = 4; },
             [](ModePanelValues &c) { c.filterWindow = 23; },
             [](ModePanelValues &c) { c.min = 130.0; },
             [](ModePanelValues &c) { c.mode = DisplayMode::Irradiance; }}) {
        ModePanelValues c = v;
        c.lowPassFilter = true;
        bad(c);
        const ModePanelOutcome refused = dc.ApplyModePanel(c);
        EXPECT_FALSE(refused.problem.empty());
        EXPECT_EQ(refused.result, OpResult::NotDone);
        EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
        EXPECT_EQ(dc.State().settings.filterOn, 0);
        EXPECT_FLOAT_EQ(dc.State().display.trMax, 110.0f);
    }

    v.lowPassFilter = true;
    v.filterWindow = 9;
    ModePanelOutcome done = dc.ApplyModePanel(v);
    ASSERT_EQ(done.problem, "");
    EXPECT_EQ(done.result, OpResult::Done);
    EXPECT_EQ(done.caption, "&T/R(%)");
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::TransRefl);
    EXPECT_FLOAT_EQ(dc.State().display.trMax, 120.0f);
    EXPECT_FLOAT_EQ(dc.State().display.trMin, 5.0f);
    EXPECT_EQ(dc.State().settings.filterOn, 1);
    EXPECT_EQ(dc.State().settings.filterWin, 9);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold)); // released again

    // Reopened: the panel shows what was stored.
    ModePanelOpening again = dc.OpenModePanel();
    EXPECT_EQ(again.values.mode, DisplayMode::TransRefl);
    EXPECT_DOUBLE_EQ(again.values.max, 120.0);
    EXPECT_EQ(again.values.filterWindow, 9);

    // The scope mode stores no range: the values in the fields go nowhere.
    v.mode = DisplayMode::Scope;
    v.max = -5.0;
    v.min = 50.0;
    done = dc.ApplyModePanel(v);
    EXPECT_EQ(done.problem, "");
    EXPECT_EQ(done.caption, "&Scope");
    EXPECT_FLOAT_EQ(dc.State().display.absMax, 3.0f);
    EXPECT_FLOAT_EQ(dc.State().display.trMin, 5.0f);
}

TEST_F(ModePanel, IrradianceFormsStoreTheirOwnParametersAndScopeLeavesTheMode) {
    DataControl &dc = start();
    calibrate(dc);
    ModePanelOpening opening = dc.OpenModePanel();
    ASSERT_TRUE(opening.irradianceControls);

    // Relative: the temperature makes the curve; the T/R range is shown
    // but not stored.
    ModePanelValues v = opening.values;
    v.mode = DisplayMode::Irradiance;
    v.relativeIrradiance = true;
    v.colourTemperature = 5000;
    v.max = 60.0;
    v.min = 1.0;
    v.distanceCm = 77;
    ModePanelOutcome done = dc.ApplyModePanel(v);
    ASSERT_EQ(done.problem, "");
    EXPECT_EQ(done.result, OpResult::Done);
    EXPECT_EQ(done.caption, "&Irradiance");
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Irradiance);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kRelativeIrradiance));
    EXPECT_EQ(dc.State().settings.colorTemp, 5000);
    EXPECT_FALSE(dc.State().buffers.blackbody.empty());
    EXPECT_EQ(dc.Photometry().Calibration(), nullptr);
    EXPECT_FLOAT_EQ(dc.State().display.trMax, 110.0f);
    EXPECT_FLOAT_EQ(dc.State().display.trMin, -10.0f);
    EXPECT_EQ(dc.State().settings.irradDist, opening.values.distanceCm); // absolute only

    // Absolute illuminance: distance and cone angle reach the calibration
    // and its collecting area; the irradiance range is stored.
    v.relativeIrradiance = false;
    v.illuminance = true;
    v.distanceCm = 80;
    v.solidAngle = 90.0;
    v.max = 12.5;
    v.min = 0.5;
    v.colourTemperature = 9000;
    done = dc.ApplyModePanel(v);
    ASSERT_EQ(done.problem, "");
    EXPECT_EQ(done.result, OpResult::Done);
    EXPECT_EQ(done.caption, "&Illuminance");
    EXPECT_EQ(dc.State().settings.irradLux, 1);
    EXPECT_EQ(dc.State().settings.colorTemp, 5000);
    const IrradianceCalibration *c = dc.Photometry().Calibration();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->measuringDistance, 80);
    EXPECT_EQ(dc.State().settings.irradDist, 80);
    EXPECT_FLOAT_EQ(dc.State().photometry.coneAngle, 90.0f);
    EXPECT_FLOAT_EQ(dc.State().photometry.areaFactor, irradiance::areaFactor(90.0f, 80));
    EXPECT_FLOAT_EQ(dc.State().display.irrMax, 12.5f);
    EXPECT_TRUE(dc.State().buffers.blackbody.empty());
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_GT(dc.State().photometry.illuminance, 0.0f);

    // Back to the scope mode: irradiance is left.
    v.mode = DisplayMode::Scope;
    done = dc.ApplyModePanel(v);
    EXPECT_EQ(done.caption, "&Scope");
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_EQ(dc.Photometry().Calibration(), nullptr);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ModePanel, AnAbsoluteFormWithoutItsFileEndsInScopeAndSaysSo) {
    DataControl &dc = start();
    calibrate(dc);
    std::filesystem::remove(dc.Photometry().UnitFile());
    ModePanelValues v = dc.OpenModePanel().values;
    v.mode = DisplayMode::Irradiance;
    v.relativeIrradiance = false;
    v.max = 5.0;
    v.min = 0.0;
    const ModePanelOutcome failed = dc.ApplyModePanel(v);
    EXPECT_EQ(failed.problem, "");
    EXPECT_EQ(failed.result, OpResult::Failed);
    EXPECT_EQ(failed.caption, "&Scope");
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{irradiance_messages::kNoProperFile});
    prompter.clearShown();
}

} // namespace
