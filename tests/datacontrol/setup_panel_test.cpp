// The setup panel's operations against simulated units: the order and
// rules of Apply (integration time units, source switch, grid tolerance,
// trigger requests the unit receives), the rules of which controls a unit
// offers, a channel change, emptying the memory list, and a grid that
// cannot be built.
#include "datacontrol/messages.h"
#include "failing_allocation.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quillon;
using namespace quillon::test;

namespace {

// Reads "NAME N" out of the simulator's `show` text.
long long shownNumber(const std::string &shown, const std::string &name) {
    const auto at = shown.find(name + " ");
    EXPECT_NE(at, std::string::npos) << name << " in " << shown;
    return at == std::string::npos ? -1 : std::atoll(shown.c_str() + at + name.size() + 1);
}

class SetupPanel : public StartUpFixture {
protected:
    DataControl &start(const std::string &ccd, int intTime, std::vector<std::string> extra = {}) {
        loadBench({{0, factoryEeprom("U1", ccd, intTime), std::move(extra)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
    SetupOutcome apply(DataControl &dc, const std::function<void(SetupChoice &)> &change) {
        SetupChoice c = currentSetupChoice(dc.State());
        change(c);
        return dc.ApplySetupChoice(c);
    }
    void record(DataControl &dc, int count) {
        for (int k = 0; k < count; ++k) {
            ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
            ASSERT_EQ(dc.Stored().RecordItem(), OpResult::Done);
        }
    }
    std::vector<std::string> messages() const { return prompter.textsOf(PromptKind::Message); }
};

TEST_F(SetupPanel, IntegrationTimeInHundredthsOnTheTcd1304IsStoredAndSentOnce) {
    DataControl &dc = start("TCD1304", 3500);
    const SetupOffer offer = dc.SetupPanelOffer();
    EXPECT_TRUE(offer.hundredths);
    EXPECT_DOUBLE_EQ(offer.integrationMin, dc.State().limits.minimum / 100.0);
    EXPECT_DOUBLE_EQ(offer.integrationMax, dc.State().limits.maximum / 100.0);
    EXPECT_DOUBLE_EQ(currentSetupChoice(dc.State()).integrationTime, 35.0);

    const SetupOutcome done = apply(dc, [](SetupChoice &c) {
        c.integrationTime = 0.25;
        c.smoothingPercent = 40;
        c.timeAverage = 3;
        c.binningAverage = 2;
    });
    EXPECT_EQ(done.result, OpResult::Done);
    EXPECT_TRUE(done.closePanel);
    const ChannelState &s = dc.State();
    EXPECT_EQ(s.limits.current, 25);
    EXPECT_EQ(s.acquisition.smoothingPercent, 40);
    EXPECT_TRUE(s.flags.status.test(status_bits::kSmoothingOn));
    EXPECT_EQ(s.acquisition.timeAverage, 3);
    EXPECT_EQ(s.acquisition.binningAverage, 2);
    const std::string shown = simCommand("show 0");
    EXPECT_NE(shown.find("(value 25, unit 7)"), std::string::npos) << shown;

    // Smoothing 0 clears the bit; the same time is not sent again.
    const long long framesBefore = shownNumber(simCommand("show 0"), "frames");
    EXPECT_EQ(apply(dc, [](SetupChoice &c) { c.smoothingPercent = 0; }).result, OpResult::Done);
    EXPECT_FALSE(s.flags.status.test(status_bits::kSmoothingOn));
    EXPECT_EQ(shownNumber(simCommand("show 0"), "frames"), framesBefore);
    EXPECT_TRUE(messages().empty());
}

TEST_F(SetupPanel, MemoryModeNeedsItemsAndScopeModeGoesBackToTheUnit) {
    DataControl &dc = start("ILX511", 20);
    const ChannelState &s = dc.State();
    SetupChoice wanted = currentSetupChoice(s);
    wanted.memoryMode = true;
    EXPECT_FALSE(setupEnables(dc.SetupPanelOffer(), wanted).memoryMode);
    SetupOutcome outcome = dc.ApplySetupChoice(wanted);
    EXPECT_FALSE(outcome.sourceChanged);
    EXPECT_FALSE(s.flags.option.test(option_bits::kMemoryMode));

    record(dc, 2);
    EXPECT_TRUE(setupEnables(dc.SetupPanelOffer(), wanted).memoryMode);
    EXPECT_TRUE(setupEnables(dc.SetupPanelOffer(), currentSetupChoice(s)).deleteMemory);
    // A changed time average is not applied with the switch of source.
    wanted.timeAverage = 9;
    outcome = dc.ApplySetupChoice(wanted);
    EXPECT_TRUE(outcome.sourceChanged);
    EXPECT_TRUE(s.flags.option.test(option_bits::kMemoryMode));
    EXPECT_EQ(s.acquisition.timeAverage, 1);
    EXPECT_FALSE(setupEnables(dc.SetupPanelOffer(), wanted).acquisitionValues);
    EXPECT_FALSE(setupEnables(dc.SetupPanelOffer(), wanted).deleteMemory);
    EXPECT_EQ(dc.DeleteMemory(), OpResult::NotDone); // never in memory mode
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(s.memory.current(), 1);

    outcome = apply(dc, [](SetupChoice &c) { c.memoryMode = false; });
    EXPECT_TRUE(outcome.sourceChanged);
    EXPECT_FALSE(s.flags.option.test(option_bits::kMemoryMode));
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);

    EXPECT_EQ(dc.DeleteMemory(), OpResult::Done);
    EXPECT_TRUE(s.memory.empty());
    EXPECT_EQ(messages(), std::vector<std::string>{messages::kMemoryDeleted});
}

TEST_F(SetupPanel, WithoutAUnitScopeModeKeepsMemoryMode) {
    loadBench({});
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Ignore);
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    DataControl &dc = *control;
    EXPECT_TRUE(dc.SetupPanelOffer().noDevice);
    const SetupOutcome outcome = apply(dc, [](SetupChoice &c) {
        c.memoryMode = false;
        c.trigger = SetupTrigger::Hardware;
    });
    EXPECT_EQ(outcome.result, OpResult::Done);
    EXPECT_FALSE(outcome.sourceChanged);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kMemoryMode));
    EXPECT_FALSE(dc.State().flags.option.test(option_bits::kExternalTrigger));
}

TEST_F(SetupPanel, TheGridIsRebuiltOnlyForARealChangeOfAWideEnoughGrid) {
    DataControl &dc = start("ILX511", 20);
    const ChannelState &s = dc.State();
    SetupOutcome outcome = apply(dc, [](SetupChoice &c) {
        c.gridStart = 400.0;
        c.gridEnd = 800.0;
        c.gridInterval = 1.0;
        c.wavelengthBase = true;
    });
    ASSERT_TRUE(outcome.gridRebuilt);
    EXPECT_TRUE(s.flags.option.test(option_bits::kWavelengthBase));
    EXPECT_EQ(s.flags.xUnit(), XUnit::Wavelength);
    EXPECT_EQ(s.grid.count, 401);

    outcome = apply(dc, [](SetupChoice &c) { c.gridStart = 400.0005; });
    EXPECT_FALSE(outcome.gridRebuilt);
    EXPECT_FLOAT_EQ(s.display.wavelengthStart, 400.0f);
    outcome = apply(dc, [](SetupChoice &c) { c.gridStart = 401.0; });
    EXPECT_TRUE(outcome.gridRebuilt);
    EXPECT_FLOAT_EQ(s.display.wavelengthStart, 401.0f);
    EXPECT_EQ(s.grid.count, 400);
    EXPECT_EQ(s.buffers.gridIndex.size(), 400u);
    // 20 nm or narrower: ignored, without a word.
    outcome = apply(dc, [](SetupChoice &c) { c.gridEnd = c.gridStart + 20.0; });
    EXPECT_FALSE(outcome.gridRebuilt);
    EXPECT_TRUE(outcome.closePanel);
    EXPECT_FLOAT_EQ(s.display.wavelengthEnd, 800.0f);
    EXPECT_TRUE(messages().empty());

    outcome = apply(dc, [](SetupChoice &c) { c.wavelengthBase = false; });
    EXPECT_FALSE(s.flags.option.test(option_bits::kWavelengthBase));
}

TEST_F(SetupPanel, AGridThatCannotBeBuiltKeepsThePreviousOneAndThePanel) {
    DataControl &dc = start("ILX511", 20);
    const ChannelState &s = dc.State();
    ASSERT_TRUE(apply(dc, [](SetupChoice &c) {
                    c.gridStart = 400.0;
                    c.gridEnd = 800.0;
                    c.gridInterval = 1.0;
                }).gridRebuilt);
    const std::vector<std::int32_t> index = s.buffers.gridIndex;
    failingAllocation = 40001 * sizeof(float); // the grid of 0.01 nm below
    const SetupOutcome outcome = apply(dc, [](SetupChoice &c) {
        c.gridInterval = 0.01;
        c.timeAverage = 5;
    });
    failingAllocation = 0;
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_FALSE(outcome.closePanel);
    EXPECT_TRUE(outcome.gridFailed);
    EXPECT_EQ((messages()),
              (std::vector<std::string>{messages::kWavelengthMemory, messages::kGridKept}));
    EXPECT_FLOAT_EQ(s.display.wavelengthStep, 1.0f);
    EXPECT_EQ(s.grid.count, 401);
    EXPECT_EQ(s.buffers.gridIndex, index);
    EXPECT_EQ(s.buffers.gridResult.size(), 401u);
    EXPECT_EQ(s.acquisition.timeAverage, 1); // the later steps did not run
    EXPECT_FALSE(s.flags.status.test(status_bits::kHold));
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
}

TEST_F(SetupPanel, HardwareTriggerAndBackSendEachTriggerRequestOnce) {
    DataControl &dc = start("TCD1304", 3500);
    const ChannelState &s = dc.State();
    const std::string before = simCommand("show 0");
    const long long internal = shownNumber(before, "internal");
    const long long external = shownNumber(before, "external");

    ASSERT_EQ(apply(dc, [](SetupChoice &c) { c.trigger = SetupTrigger::Hardware; }).result,
              OpResult::Done);
    EXPECT_TRUE(s.flags.option.test(option_bits::kExternalTrigger));
    std::string shown = simCommand("show 0");
    EXPECT_NE(shown.find("trigger external"), std::string::npos) << shown;
    EXPECT_EQ(shownNumber(shown, "external"), external + 1);
    // The same choice again changes nothing at the unit.
    ASSERT_EQ(apply(dc, [](SetupChoice &) {}).result, OpResult::Done);
    EXPECT_EQ(shownNumber(simCommand("show 0"), "external"), external + 1);

    ASSERT_EQ(apply(dc, [](SetupChoice &c) { c.trigger = SetupTrigger::FreeRun; }).result,
              OpResult::Done);
    EXPECT_FALSE(s.flags.option.test(option_bits::kExternalTrigger));
    shown = simCommand("show 0");
    EXPECT_EQ(shownNumber(shown, "internal"), internal + 1);
    EXPECT_EQ(shownNumber(shown, "external"), external + 1);
    // The TCD1304 gets its integration time again after the trigger.
    EXPECT_NE(shown.find("integration 35 ms"), std::string::npos) << shown;
    EXPECT_TRUE(messages().empty());
}

TEST_F(SetupPanel, ARefusedExternalTriggerIsReportedAndNotBelieved) {
    DataControl &dc = start("ILX511", 20);
    simCommand("fail 0 0x04 2"); // both the edge request's and the program's own
    const SetupOutcome outcome = apply(dc, [](SetupChoice &c) {
        c.trigger = SetupTrigger::Hardware;
        c.edge = SetupEdge::Rising;
    });
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_TRUE(outcome.closePanel); // device errors are told, the panel closes
    EXPECT_FALSE(dc.State().flags.option.test(option_bits::kExternalTrigger));
    EXPECT_EQ(messages(),
              (std::vector<std::string>{formatWithNumber(messages::kExternalEdgeMode, 0),
                                        formatWithNumber(messages::kExternalTriggering, 0)}));
    EXPECT_EQ(dc.State().trigger.externalEdge, 0);
    simCommand("clear 0");
}

// The default bench's vendor and product give the newer electronics; the
// other product ID an older unit.
TEST_F(SetupPanel, ScanChoiceOfANewerBackThinnedUnitSelectsItsIntegrationMode) {
    DataControl &dc = start("S10420", 20);
    const SetupOffer offer = dc.SetupPanelOffer();
    ASSERT_TRUE(offer.scanChoice);
    EXPECT_TRUE(offer.softwareTrigger);
    EXPECT_TRUE(offer.risingEdge);
    // A newer back-thinned unit starts free running on the next frame.
    EXPECT_EQ(currentSetupChoice(dc.State()).scan, SetupScan::Next);

    ASSERT_EQ(apply(dc, [](SetupChoice &c) { c.scan = SetupScan::Previous; }).result,
              OpResult::Done);
    EXPECT_EQ(shownNumber(simCommand("show 0"), "integration mode"), 1);
    EXPECT_EQ(dc.State().trigger.frameChoice, 0);
    ASSERT_EQ(apply(dc, [](SetupChoice &c) { c.trigger = SetupTrigger::Software; }).result,
              OpResult::Done);
    EXPECT_EQ(shownNumber(simCommand("show 0"), "integration mode"), 0);

    simCommand("fail 0 0x1E 1");
    EXPECT_EQ(apply(dc,
                    [](SetupChoice &c) {
                        c.trigger = SetupTrigger::FreeRun;
                        c.scan = SetupScan::Next;
                    })
                  .result,
              OpResult::Failed);
    EXPECT_EQ(messages(),
              std::vector<std::string>{formatWithNumber(messages::kInternalTriggerMode, 0)});
    EXPECT_EQ(dc.State().trigger.frameChoice, 0); // the choice the unit did not take
    EXPECT_EQ(dc.State().trigger.integrationMode, 0);
}

TEST(SetupRules, WhatEachBoardAndGenerationOffers) {
    struct Row {
        std::uint16_t board;
        std::int16_t newer;
        bool software, scan, rising;
    };
    const Row rows[] = {
        {kBoardIlx511, 1, true, false, true},      {kBoardIlx511, 0, false, false, false},
        {kBoardTcd1304, 1, false, false, false},   {kBoardS7031, 1, true, true, true},
        {kBoardS7031, 0, false, false, false},     {kBoardS10420, 1, true, true, true},
        {kBoardInGaAs512, 1, false, false, false}, {kBoardInGaAs256, 1, false, false, false},
    };
    for (const Row &row : rows) {
        ChannelState s;
        s.geometry.boardType = row.board;
        s.geometry.newDevice = row.newer;
        const SetupOffer offer = setupOffer(s);
        SCOPED_TRACE(testing::Message() << "board " << row.board << " new " << row.newer);
        EXPECT_EQ(offer.softwareTrigger, row.software);
        EXPECT_EQ(offer.scanChoice, row.scan);
        EXPECT_EQ(offer.risingEdge, row.rising);

        SetupChoice c;
        c.trigger = SetupTrigger::FreeRun;
        EXPECT_EQ(setupEnables(offer, c).scan, row.scan);
        EXPECT_FALSE(setupEnables(offer, c).edge);
        c.trigger = SetupTrigger::Software;
        EXPECT_FALSE(setupEnables(offer, c).scan);
        EXPECT_FALSE(setupEnables(offer, c).edge);
        c.trigger = SetupTrigger::Hardware;
        EXPECT_TRUE(setupEnables(offer, c).edge);
        EXPECT_FALSE(setupEnables(offer, c).scan);
    }
}

TEST(SetupRules, IntegrationTimeUnits) {
    EXPECT_EQ(integrationFromPanel(0.25, true), 25);
    EXPECT_EQ(integrationFromPanel(12.345, true), 1235);
    EXPECT_EQ(integrationFromPanel(20.0, false), 20);
    EXPECT_DOUBLE_EQ(integrationForPanel(25, true), 0.25);
    const TraceColors colours = defaultTraceColors();
    EXPECT_EQ(colours.back, 0xFFFFFFu);
    EXPECT_EQ(colours.pixel, 255u | 60u << 8 | 60u << 16);
    EXPECT_EQ(colours.trans, 16u | 32u << 8 | 255u << 16);
    EXPECT_EQ(colours.absorb, 100u | 100u << 8);
    EXPECT_EQ(colours.irrad, 255u << 8);
}

TEST_F(SetupPanel, AChannelChangeSetsUpTheOtherUnitOnThePixelBase) {
    loadBench({{0, factoryEeprom("U1", "ILX511", 20)}, {1, factoryEeprom("U2", "TCD1304", 3500)}});
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    DataControl &dc = *control;
    ASSERT_EQ(dc.SetupPanelOffer().channelCount, 2);
    // A newer ILX511 starts in the software trigger, which the TCD1304 has not.
    EXPECT_EQ(currentSetupChoice(dc.State()).trigger, SetupTrigger::Software);
    ASSERT_EQ(apply(dc, [](SetupChoice &c) { c.wavelengthBase = true; }).result, OpResult::Done);
    EXPECT_EQ(dc.ChangeSetupChannel(1), OpResult::Done);
    const ChannelState &s = dc.State();
    EXPECT_EQ(s.currentChannel, 1);
    EXPECT_EQ(s.geometry.boardType, kBoardTcd1304);
    EXPECT_FALSE(s.flags.option.test(option_bits::kWavelengthBase));
    EXPECT_TRUE(dc.SetupPanelOffer().hundredths);
    EXPECT_EQ(currentSetupChoice(s).trigger, SetupTrigger::FreeRun);
    EXPECT_NE(simCommand("show 1").find("integration 35 ms"), std::string::npos);
    EXPECT_EQ(dc.ChangeSetupChannel(1), OpResult::NotDone);
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
}

} // namespace
