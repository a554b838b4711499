// The rules behind the dark, reference and TEC panels against simulated
// units: where the dark and the reference come from, their files, the
// built-in shutter, the colour tile and the cooler with its capacitor.
#include "datacontrol/dark_ref_files.h"
#include "datacontrol/messages.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

class SourcePanels : public StartUpFixture {
protected:
    DataControl &start(const std::string &ccd, std::vector<std::string> more = {},
                       std::vector<std::string> extra = {}) {
        loadBench({{0, factoryEeprom("U1", ccd, 20, std::move(more)), std::move(extra)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
    bool ready(std::uint16_t bit) const { return control->State().flags.status.test(bit); }
    std::string unitLine(const std::string &word) {
        const std::string shown = simCommand("show 0");
        const auto at = shown.find(word + " ");
        return at == std::string::npos ? "" : shown.substr(at, shown.find_first_of(",\n", at) - at);
    }
};

TEST_F(SourcePanels, ClosingTheDarkPanelFollowsTheChosenSource) {
    DataControl &dc = start("ILX511");
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_TRUE(ready(status_bits::kDarkReady));

    // The same source again keeps the dark.
    PanelClosing closing = dc.CloseDarkPanel({DarkSource::Scan, false, false});
    EXPECT_EQ(closing.caption, std::optional<std::string>("Dark Scan"));
    EXPECT_TRUE(ready(status_bits::kDarkReady));

    // "File" without a load changes neither the source, the dark nor the caption.
    closing = dc.CloseDarkPanel({DarkSource::File, false, false});
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::Scan);
    EXPECT_TRUE(ready(status_bits::kDarkReady));
    EXPECT_FALSE(closing.caption);

    closing = dc.CloseDarkPanel({DarkSource::OpticalBlack, false, false});
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::OpticalBlack);
    EXPECT_FALSE(ready(status_bits::kDarkReady));
    EXPECT_EQ(closing.caption, std::optional<std::string>("Dark OB "));

    // This unit has no shutter: that choice is refused and nothing changes.
    EXPECT_FALSE(dc.DarkSourceAvailable(DarkSource::BuiltInShutter));
    closing = dc.CloseDarkPanel({DarkSource::BuiltInShutter, false, false});
    EXPECT_EQ(closing.result, OpResult::NotDone);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(), closing.problem);
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::OpticalBlack);
    EXPECT_FALSE(dc.FlipShutter());
}

TEST_F(SourcePanels, DarkFileSavedAndLoadedByItsTypedName) {
    DataControl &dc = start("ILX511");
    EXPECT_EQ(dc.SaveSourceFile(SpectrumFileKind::Dark, folder.path, "").status,
              messages::kNoSaveName);
    EXPECT_EQ(dc.LoadSourceFile(SpectrumFileKind::Dark, folder.path, "").status,
              messages::kNoLoadName);
    EXPECT_EQ(dc.LoadSourceFile(SpectrumFileKind::Dark, folder.path, "absent").status,
              messages::kNoSuchFile);
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    const std::vector<float> dark = dc.State().buffers.dark;
    // The typed extension gives way to the file kind's.
    const StoreOutcome saved = dc.SaveSourceFile(SpectrumFileKind::Dark, folder.path, "bench.txt");
    ASSERT_EQ(saved.result, OpResult::Done) << saved.status;
    EXPECT_TRUE(std::filesystem::exists(folder / "bench.dak"));

    (void)dc.CloseDarkPanel({DarkSource::OpticalBlack, false, false});
    ASSERT_FALSE(ready(status_bits::kDarkReady));
    const StoreOutcome loaded = dc.LoadSourceFile(SpectrumFileKind::Dark, folder.path, "bench");
    ASSERT_EQ(loaded.result, OpResult::Done) << loaded.status;
    const PanelClosing closing = dc.CloseDarkPanel({DarkSource::File, true, false});
    EXPECT_EQ(closing.caption, std::optional<std::string>("Dark File"));
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::File);
    EXPECT_TRUE(ready(status_bits::kDarkReady));
    EXPECT_EQ(dc.State().buffers.dark, dark);
    // A dark file is not rescanned.
    EXPECT_EQ(dc.DarkPanelOpening().source, DarkSource::File);
}

TEST_F(SourcePanels, OpticalBlackSubtractionOnDropsDarkAndReference) {
    DataControl &dc = start("ILX511");
    ASSERT_TRUE(dc.DarkPanelOpening().subtractionOffered);
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    (void)dc.CloseDarkPanel({DarkSource::Scan, false, true});
    EXPECT_TRUE(ready(status_bits::kOpticalBlackOn));
    EXPECT_FALSE(ready(status_bits::kDarkReady));
    EXPECT_FALSE(ready(status_bits::kReferenceReady));

    // Switching it off again leaves new scans alone.
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    (void)dc.CloseDarkPanel({DarkSource::Scan, false, false});
    EXPECT_FALSE(ready(status_bits::kOpticalBlackOn));
    EXPECT_TRUE(ready(status_bits::kDarkReady));
    EXPECT_TRUE(ready(status_bits::kReferenceReady));
}

TEST_F(SourcePanels, ShutterButtonMovesTheUnitsShutter) {
    DataControl &dc = start("ILX511", {"BuiltInShutter=1"}, {"Shutter=1"});
    DarkPanelView view = dc.DarkPanelOpening();
    ASSERT_TRUE(view.shutterFitted);
    ASSERT_EQ(view.shutterClosed, std::optional<bool>(false));
    EXPECT_EQ(unitLine("shutter"), "shutter 0");
    EXPECT_EQ(dc.FlipShutter(), std::optional<bool>(true));
    EXPECT_EQ(unitLine("shutter"), "shutter 1");
    EXPECT_EQ(dc.DarkPanelOpening().shutterClosed, std::optional<bool>(true));
    EXPECT_EQ(dc.FlipShutter(), std::optional<bool>(false));
    EXPECT_EQ(unitLine("shutter"), "shutter 0");

    // The shutter is a dark source of its own, captioned as a scan.
    (void)dc.CloseDarkPanel({DarkSource::Scan, false, false});
    const PanelClosing closing = dc.CloseDarkPanel({DarkSource::BuiltInShutter, false, false});
    EXPECT_EQ(closing.result, OpResult::Done);
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::BuiltInShutter);
    EXPECT_EQ(closing.caption, std::optional<std::string>("Dark Scan"));
}

TEST_F(SourcePanels, ClosingTheReferencePanelStoresSourceAndMaximum) {
    DataControl &dc = start("ILX511");
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    PanelClosing closing = dc.CloseReferencePanel({ReferenceSource::File, false, 80.0});
    EXPECT_EQ(closing.result, OpResult::Done) << closing.problem;
    EXPECT_FALSE(closing.caption);
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);
    EXPECT_DOUBLE_EQ(dc.State().settings.refMax, 80.0);
    EXPECT_DOUBLE_EQ(dc.ReferencePanelOpening().maximum, 80.0);

    ASSERT_EQ(dc.SaveSourceFile(SpectrumFileKind::Reference, folder.path, "white").result,
              OpResult::Done);
    ASSERT_EQ(dc.LoadSourceFile(SpectrumFileKind::Reference, folder.path, "white").result,
              OpResult::Done);
    closing = dc.CloseReferencePanel({ReferenceSource::File, true, 80.0});
    EXPECT_EQ(closing.caption, std::optional<std::string>("&Ref File"));
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::File);

    // A maximum above 100 % is refused and the old one stays.
    closing = dc.CloseReferencePanel({ReferenceSource::CurrentScan, false, 150.0});
    EXPECT_EQ(closing.result, OpResult::NotDone);
    EXPECT_FALSE(closing.problem.empty());
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(), closing.problem);
    EXPECT_EQ(closing.caption, std::optional<std::string>("&Ref Scan"));
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);
    EXPECT_DOUBLE_EQ(dc.State().settings.refMax, 80.0);
}

TEST_F(SourcePanels, ColourTileRefusalsAndTheArmedTileOperations) {
    DataControl &dc = start("ILX511");
    EXPECT_EQ(dc.ColourTileRefusal(), messages::kDarkScanNeeded);
    EXPECT_EQ(dc.ArmColourTile(ColourTileTask::Read, folder.path, "tile").status,
              messages::kDarkScanNeeded);
    // Without a dark the colour-tile choice is not stored.
    PanelClosing closing = dc.CloseReferencePanel({ReferenceSource::ColourTile, false, 100.0});
    EXPECT_EQ(closing.problem, messages::kDarkScanNeeded);
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);

    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    dc.StateForTests().settings.initPane &= ~4u;
    EXPECT_EQ(dc.ColourTileRefusal(), messages::kColourOnly);
    dc.StateForTests().settings.initPane |= 4u;
    EXPECT_EQ(dc.ColourTileRefusal(), "");
    EXPECT_EQ(dc.ArmColourTile(ColourTileTask::Save, folder.path, "").status,
              messages::kNoColourTileName);
    EXPECT_EQ(dc.ArmColourTile(ColourTileTask::Read, folder.path, "absent").status,
              messages::kNoSuchFile);
    EXPECT_FALSE(dc.ArmedColourTile());

    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    const ColourTileArming save = dc.ArmColourTile(ColourTileTask::Save, folder.path, "tile");
    ASSERT_EQ(save.result, OpResult::Done) << save.status;
    EXPECT_EQ(save.caption, "&Save Tile");
    closing = dc.CloseReferencePanel({ReferenceSource::ColourTile, false, 100.0});
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::ColourTile);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    closing = dc.RunArmedColourTile();
    ASSERT_EQ(closing.result, OpResult::Done);
    EXPECT_EQ(closing.caption, std::optional<std::string>("&Ref Scan"));
    EXPECT_FALSE(dc.ArmedColourTile());
    const std::size_t pixels = dc.State().geometry.activePixels;
    ASSERT_TRUE(readFloatFile(folder / "tile.ctf", pixels));

    // Reading the tile back on the same scan gives the same reference.
    const std::vector<float> reference = dc.State().buffers.reference;
    dc.StateForTests().buffers.reference.assign(reference.size(), 0.0f);
    ASSERT_EQ(dc.ArmColourTile(ColourTileTask::Read, folder.path, "tile").caption, "&Read Tile");
    closing = dc.RunArmedColourTile();
    ASSERT_EQ(closing.result, OpResult::Done);
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);
    EXPECT_TRUE(ready(status_bits::kReferenceReady));
    const std::size_t p = pixels / 2;
    EXPECT_NEAR(dc.State().buffers.reference[p], reference[p],
                1e-3 * std::max(1.0f, std::abs(reference[p])));
}

TEST_F(SourcePanels, TecSetSendsCoolerAndCapacitorWithItsIntegrationLimit) {
    DataControl &dc = start("G9208-512");
    ASSERT_EQ(dc.State().geometry.inGaAsKind, 2);
    TecPanelView view = dc.TecPanelOpening();
    ASSERT_TRUE(view.capacitorChoice);
    dc.StateForTests().limits.maximum = 1000;
    dc.StateForTests().limits.current = 800;

    ASSERT_EQ(dc.SetTec({true, true}), OpResult::Done);
    EXPECT_EQ(dc.State().limits.maximum, 500);
    EXPECT_EQ(dc.State().limits.current, 500);
    EXPECT_EQ(dc.State().cooler.tec, 1);
    EXPECT_EQ(dc.State().cooler.cap, 10);
    EXPECT_EQ(unitLine("tec"), "tec 1");
    EXPECT_EQ(unitLine("cf"), "cf 1");
    EXPECT_NE(simCommand("show 0").find("integration 500 ms"), std::string::npos);
    view = dc.TecPanelOpening();
    EXPECT_TRUE(view.coolerOn);
    EXPECT_TRUE(view.tenPicofarad);

    ASSERT_EQ(dc.SetTec({false, false}), OpResult::Done);
    EXPECT_EQ(dc.State().limits.maximum, 30);
    EXPECT_EQ(dc.State().limits.current, 30);
    EXPECT_EQ(dc.State().cooler.cap, 1);
    EXPECT_EQ(unitLine("tec"), "tec 0");
    EXPECT_EQ(unitLine("cf"), "cf 0");
}

TEST_F(SourcePanels, TecOnOtherUnits) {
    // Another InGaAs kind keeps its integration limit under either capacitor.
    DataControl &dc = start("G9212");
    const std::int32_t maximum = dc.State().limits.maximum;
    ASSERT_EQ(dc.SetTec({true, true}), OpResult::Done);
    EXPECT_EQ(dc.State().limits.maximum, maximum);
    EXPECT_EQ(unitLine("cf"), "cf 1");
    // A unit that reports no capacitor value keeps it and gets no CF.
    dc.StateForTests().cooler.cap = 0;
    EXPECT_FALSE(dc.TecPanelOpening().capacitorChoice);
    ASSERT_EQ(dc.SetTec({false, false}), OpResult::Done);
    EXPECT_EQ(dc.State().cooler.cap, 0);
    EXPECT_EQ(unitLine("cf"), "cf 1");
    EXPECT_EQ(unitLine("tec"), "tec 0");
}

TEST_F(SourcePanels, TecIsRefusedOnAnUncooledUnit) {
    DataControl &dc = start("ILX511");
    const std::string before = simCommand("show 0");
    EXPECT_EQ(dc.SetTec({false, true}), OpResult::NotDone);
    EXPECT_EQ(simCommand("show 0"), before);
}

} // namespace
