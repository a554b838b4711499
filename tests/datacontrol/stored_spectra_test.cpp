// Stored spectra against a simulated unit: recording, saving, loading into
// memory mode and back, dark and reference files, exports of both holdings.
#include "datacontrol/messages.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillon;
using namespace quillon::test;

namespace {

class Stored : public StartUpFixture {
protected:
    DataControl &start(const std::string &ccd = "ILX511", const std::string &serial = "U1") {
        loadBench({{0,
                    {"[Factory Default]", "Name=" + serial, "CCD=" + ccd, "IntTime=20",
                     "[Cal Data]", "PointCount=2", "Data 1=4000;100", "Data 2=8000;900"},
                    {}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }
    // Takes scans and records each, with its own title.
    void record(DataControl &dc, int count) {
        for (int k = 1; k <= count; ++k) {
            ASSERT_EQ(dc.ApplySetting("Title", "Item " + std::to_string(k)), "");
            ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
            ASSERT_EQ(dc.Stored().RecordItem(), OpResult::Done);
        }
    }
    std::vector<std::string> messages() const { return prompter.textsOf(PromptKind::Message); }
};

TEST_F(Stored, RecordSaveAndLoadGiveTheSameItemsInMemoryMode) {
    DataControl &dc = start();
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    record(dc, 3);
    const auto &s = dc.State();
    ASSERT_EQ(s.memory.size(), 3u);
    const std::int32_t firstCount = s.memory.item(1).count(100);
    const std::vector<float> dark = s.buffers.dark;

    const auto file = folder / "run.sdf";
    const StoreOutcome saved = dc.Stored().SaveScanData(file);
    EXPECT_EQ(saved.result, OpResult::Done);
    EXPECT_EQ(saved.status, "3 Saved Data");

    // Change what the file carries, then load it back.
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    const StoreOutcome loaded = dc.Stored().LoadScanData(file);
    ASSERT_EQ(loaded.result, OpResult::Done) << loaded.status;
    EXPECT_EQ(loaded.status, "3 Memory Data has been Loaded");
    EXPECT_TRUE(s.flags.option.test(option_bits::kMemoryMode));
    EXPECT_EQ(s.flags.darkSource(), DarkSource::File);
    EXPECT_EQ(s.buffers.dark, dark);
    EXPECT_EQ(s.memory.current(), 0);
    EXPECT_EQ(s.memory.item(1).count(100), firstCount);
    // Playback steps through the items with their titles, in order.
    for (int k = 1; k <= 3; ++k) {
        ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
        EXPECT_EQ(s.settings.title, "Item " + std::to_string(k));
    }
    EXPECT_NE(s.buffers.spectrum[100], 0.0f);
    // New items cannot be recorded in memory mode.
    EXPECT_EQ(dc.Stored().RecordItem(), OpResult::NotDone);
    EXPECT_EQ(s.memory.size(), 3u);

    // Leaving memory mode gives the unit's own dark back and scans again.
    ASSERT_EQ(dc.Stored().LeaveMemoryMode(), OpResult::Done);
    EXPECT_FALSE(s.flags.option.test(option_bits::kMemoryMode));
    EXPECT_NE(s.buffers.dark, dark);
    EXPECT_EQ(s.settings.title, "Item 3");
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
}

// A file's configuration is shown, never kept: closing in memory mode writes
// the unit's own settings.
TEST_F(Stored, ClosingInMemoryModeKeepsTheUnitsSettings) {
    DataControl &dc = start();
    ASSERT_EQ(dc.ApplySetting("TimeAV", "7"), "");
    record(dc, 1);
    ASSERT_EQ(dc.Stored().SaveScanData(folder / "seven.sdf").result, OpResult::Done);
    ASSERT_EQ(dc.ApplySetting("TimeAV", "2"), "");
    ASSERT_EQ(dc.Stored().LoadScanData(folder / "seven.sdf").result, OpResult::Done);
    EXPECT_EQ(dc.State().acquisition.timeAverage, 7);
    EXPECT_TRUE(dc.CloseDown());
    ProfileFile saved;
    saved.SetPath(folder / "QuillonX.ini");
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetText("Extend Options", "TimeAV"), "2");
}

TEST_F(Stored, SavingLeavesTheTriggerModeOfTheProgramAlone) {
    DataControl &dc = start();
    record(dc, 1);
    dc.SetOption(option_bits::kExternalTrigger, true);
    ASSERT_EQ(dc.Stored().SaveScanData(folder / "t.sdf").result, OpResult::Done);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kExternalTrigger));
    std::string error;
    auto file = readScanDataFile(folder / "t.sdf", error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->context.optionWord & option_bits::kExternalTrigger, 0);
    dc.SetOption(option_bits::kExternalTrigger, false);
}

TEST_F(Stored, EmptyListWritesNoFile) {
    DataControl &dc = start();
    const StoreOutcome saved = dc.Stored().SaveScanData(folder / "none.sdf");
    EXPECT_EQ(saved.items, -1);
    EXPECT_EQ(saved.status, "No Memory Data");
    EXPECT_FALSE(std::filesystem::exists(folder / "none.sdf"));
}

TEST_F(Stored, RefusedFilesChangeNothing) {
    DataControl &dc = start();
    record(dc, 2);
    const auto &s = dc.State();
    const std::uint16_t option = s.flags.option.load();
    const SensorGeometry geometry = s.geometry;

    EXPECT_EQ(dc.Stored().LoadScanData(folder / "missing.sdf").status, "No file name is found ");
    writeBytes(folder / "garbage.sdf", std::string(4096, '\x7f'));
    EXPECT_EQ(dc.Stored().LoadScanData(folder / "garbage.sdf").result, OpResult::Failed);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("garbage.sdf"), std::string::npos);
    prompter.clearShown();

    // A file of another sensor (here one written for a TCD1304 unit).
    ScanDataContext other = dc.Stored().CurrentContext();
    other.geometry.boardType = 1;
    MemoryList items;
    std::vector<std::int32_t> counts(other.geometry.activePixels, 7);
    ASSERT_TRUE(items.append({"a", "b", "c"}, counts, 0));
    ASSERT_EQ(writeScanDataFile(folder / "tcd.sdf", other, items), "");
    EXPECT_EQ(dc.Stored().LoadScanData(folder / "tcd.sdf").status, "Board type is mismatched");

    EXPECT_EQ(s.memory.size(), 2u);
    EXPECT_EQ(s.flags.option.load(), option);
    EXPECT_EQ(s.geometry.activePixels, geometry.activePixels);
    EXPECT_FALSE(s.flags.option.test(option_bits::kMemoryMode));
}

TEST_F(Stored, CutRecordingLoadsItsWholeItemsAndSaysSo) {
    DataControl &dc = start();
    record(dc, 3);
    const auto file = folder / "cut.sdf";
    ASSERT_EQ(dc.Stored().SaveScanData(file).result, OpResult::Done);
    std::string bytes = readBytes(file);
    bytes.resize(bytes.size() - 100);
    writeBytes(file, bytes);
    const StoreOutcome loaded = dc.Stored().LoadScanData(file);
    EXPECT_EQ(loaded.items, 2);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("2 spectra were read"), std::string::npos);
}

TEST_F(Stored, DeleteKeepsAtLeastOneItemAndStepsOn) {
    DataControl &dc = start();
    record(dc, 2);
    ASSERT_EQ(dc.Stored().SaveScanData(folder / "two.sdf").result, OpResult::Done);
    ASSERT_EQ(dc.Stored().LoadScanData(folder / "two.sdf").result, OpResult::Done);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned); // item 1
    EXPECT_EQ(dc.Stored().DeleteSelected(), OpResult::Done);
    EXPECT_EQ(dc.State().memory.size(), 1u);
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kSingleScan));
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.State().settings.title, "Item 2");
    EXPECT_EQ(dc.Stored().DeleteSelected(), OpResult::NotDone);
    EXPECT_EQ(dc.State().memory.size(), 1u);
}

TEST_F(Stored, DarkFileRoundTripAndRefusalOfAnotherSensor) {
    DataControl &dc = start();
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    const std::vector<float> dark = dc.State().buffers.dark;
    const auto file = folder / "d.dak";
    ASSERT_EQ(dc.Stored().SaveSpectrumFile(SpectrumFileKind::Dark, file).result, OpResult::Done);
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.ApplySetting("TimeAV", "3"), "");
    const StoreOutcome loaded = dc.Stored().LoadSpectrumFile(SpectrumFileKind::Dark, file);
    ASSERT_EQ(loaded.result, OpResult::Done) << loaded.status;
    EXPECT_EQ(dc.State().buffers.dark, dark);
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_EQ(dc.State().flags.darkSource(), DarkSource::File);
    EXPECT_EQ(messages(), std::vector<std::string>{"Adjust Dark TimeAverage to 1."});
    prompter.clearShown();

    // The same file with another pixel count.
    std::string bytes = readBytes(file);
    bytes[76 + 8] = static_cast<char>(0x00);
    bytes[76 + 9] = static_cast<char>(0x04); // 1024 pixels
    bytes.resize(76 + 72 + 16 + 4 * 1024 + 24);
    writeBytes(folder / "other.dak", bytes);
    std::vector<float> before = dc.State().buffers.dark;
    EXPECT_EQ(dc.Stored().LoadSpectrumFile(SpectrumFileKind::Dark, folder / "other.dak").status,
              "Error! Board or CCD doesn't match");
    EXPECT_EQ(dc.State().buffers.dark, before);
}

TEST_F(Stored, ReferenceFileSetsTheReference) {
    DataControl &dc = start();
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    const std::vector<float> reference = dc.State().buffers.reference;
    const auto file = folder / "r.ref";
    ASSERT_EQ(dc.Stored().SaveSpectrumFile(SpectrumFileKind::Reference, file).result,
              OpResult::Done);
    EXPECT_EQ(readBytes(file).size(), 76u + 72 + 16 + 4 * 2048);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    ASSERT_EQ(dc.Stored().LoadSpectrumFile(SpectrumFileKind::Reference, file).result,
              OpResult::Done);
    EXPECT_EQ(dc.State().buffers.reference, reference);
    EXPECT_EQ(dc.State().flags.referenceSource(), ReferenceSource::File);
}

TEST_F(Stored, TextExportOfPixelsAndOfTheGrid) {
    DataControl &dc = start();
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const auto text =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{1.0, 2048.0});
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("Unit Serial No : ", 0), 0u);
    EXPECT_NE(text->find("Pixel\tWavelength(nm)\tWavenumber(1/cm)\tIntensity(Counts)\r\n"),
              std::string::npos);
    EXPECT_NE(text->find("\r\n2048 \t"), std::string::npos);
    EXPECT_EQ(text->find("\r\n2049"), std::string::npos);

    // T/R on the wavelength base: the rows are the grid points in view.
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    ASSERT_EQ(dc.TakeReferenceScan(), OpResult::Done);
    dc.SetWavelengthBase(true);
    dc.SetDisplayMode(DisplayMode::TransRefl);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const auto grid =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{500.0, 509.0});
    ASSERT_TRUE(grid);
    EXPECT_NE(grid->find("Wavelength(nm)\tWavenumber(1/cm)\tTransmittance(%)\r\n500.0000"),
              std::string::npos)
        << *grid;
    EXPECT_NE(grid->find("\r\n509.0000"), std::string::npos);
    EXPECT_EQ(grid->find("\r\n510.0000"), std::string::npos);
}

TEST_F(Stored, TextExportOfACalibratedIrradianceCarriesTheCalibrationDistance) {
    DataControl &dc = start();
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const auto scope =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{1.0, 2048.0});
    ASSERT_TRUE(scope);
    EXPECT_EQ(scope->find("Distance : "), std::string::npos);

    simCommand("set 0 source dark");
    ASSERT_EQ(dc.TakeDarkScan(), OpResult::Done);
    simCommand("set 0 source lamp");
    ASSERT_EQ(dc.CalibrateIrradiance(40), OpResult::Done);
    ASSERT_EQ(dc.ApplySetting("base", "wavelength"), "");
    ASSERT_EQ(dc.ApplySetting("irradiance", "absolute"), "");
    ASSERT_EQ(dc.ApplySetting("mode", "irradiance"), "");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const auto text =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{500.0, 509.0});
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("\r\nDistance : 40 cm\r\n"), std::string::npos) << *text;
    EXPECT_NE(
        text->find("Wavelength(nm)\tWavenumber(1/cm)\tAbsolute Irradiance(uW/cm^2/nm)\r\n500.0000"),
        std::string::npos);

    // Illuminance names its own column; leaving the mode unloads the
    // calibration and the line goes with it.
    ASSERT_EQ(dc.ApplySetting("irradiance", "illuminance"), "");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const auto lux =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{500.0, 509.0});
    ASSERT_TRUE(lux);
    EXPECT_NE(lux->find("\tIlluminance (lux)\r\n"), std::string::npos);
    ASSERT_EQ(dc.ApplySetting("mode", "scope"), "");
    const auto after =
        dc.Stored().ExportData(ExportForm::Text, exports::Which::Current, ExportView{500.0, 509.0});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->find("Distance : "), std::string::npos);
}

TEST_F(Stored, AllItemsExportOneBlockEachAndKeepTheSelection) {
    DataControl &dc = start();
    record(dc, 3);
    ASSERT_EQ(dc.Stored().SaveScanData(folder / "three.sdf").result, OpResult::Done);
    ASSERT_EQ(dc.Stored().LoadScanData(folder / "three.sdf").result, OpResult::Done);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned); // item 2 on screen
    const auto text = dc.Stored().ExportData(ExportForm::Text, exports::Which::All);
    ASSERT_TRUE(text);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_NE(text->find("Project Name : Item " + std::to_string(k) + "\r\n"),
                  std::string::npos);
        EXPECT_NE(text->find("Measurement No : " + std::to_string(k) + "\r\n"), std::string::npos);
    }
    EXPECT_EQ(text->find("Unit Serial No"), std::string::npos);
    EXPECT_EQ(dc.State().memory.current(), 2);
    EXPECT_EQ(dc.State().settings.title, "Item 2");
}

TEST_F(Stored, ItemsOfAnotherUnitAreDiscardedOnlyWithConsent) {
    DataControl &dc = start();
    record(dc, 1);
    // A list from a unit of another pixel count, as after a channel change.
    MemoryList other;
    ASSERT_TRUE(other.append({"x", "y", "z"}, std::vector<std::int32_t>(10, 1), 0));
    dc.StateForTests().memory = std::move(other);
    prompter.queueYesNo(false);
    EXPECT_EQ(dc.Stored().RecordItem(), OpResult::NotDone);
    EXPECT_EQ(dc.State().memory.pixels(), 10u);
    prompter.queueYesNo(true);
    EXPECT_EQ(dc.Stored().RecordItem(), OpResult::Done);
    EXPECT_EQ(dc.State().memory.pixels(), 2048u);
    EXPECT_EQ(dc.State().memory.size(), 1u);
}

// Without a unit any file is shown: its geometry, however many pixels,
// takes over, and playback shows its items; the no-device bit stays.
TEST_F(Stored, NoDeviceModeShowsAFileOfAnySensor) {
    {
        DataControl &dc = start("ILX511");
        record(dc, 2);
        ASSERT_EQ(dc.Stored().SaveScanData(folder / "ilx.sdf").result, OpResult::Done);
        EXPECT_TRUE(dc.CloseDown());
    }
    control.reset();
    loadBench({});
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Ignore);
    DataControl &dc = make();
    ASSERT_EQ(toCode(dc.StartUp()), 0);
    ASSERT_EQ(toCode(dc.StartUp()), 1);
    ASSERT_EQ(toCode(dc.FinishStartUp()), 1);
    ASSERT_EQ(dc.State().geometry.activePixels, 3648); // the no-device TCD1304 channel
    const StoreOutcome loaded = dc.Stored().LoadScanData(folder / "ilx.sdf");
    ASSERT_EQ(loaded.result, OpResult::Done) << loaded.status;
    EXPECT_EQ(dc.State().geometry.activePixels, 2048);
    EXPECT_EQ(dc.State().buffers.wavelengthTable.size(), 2048u);
    EXPECT_TRUE(dc.State().NoDeviceMode());
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kHold));
    EXPECT_FALSE(dc.Stored().CanLeaveMemoryMode());
    EXPECT_EQ(dc.Stored().LeaveMemoryMode(), OpResult::NotDone);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.State().settings.title, "Item 1");
    EXPECT_EQ(dc.State().buffers.spectrum[2047],
              static_cast<float>(dc.State().memory.item(1).count(2047)));
    // The wavelength axis follows the file's calibration (400 nm at pixel 100).
    EXPECT_NEAR(dc.State().buffers.wavelengthTable[99], 400.0f, 0.5f);
}

TEST(UserFilePath, NameIsCutAtItsLastPointAndTakesTheExtension) {
    EXPECT_EQ(userFilePath("/data", "run.txt", ".sdf"), std::filesystem::path("/data/run.sdf"));
    EXPECT_EQ(userFilePath("/data", "a.b.c", ".spc"), std::filesystem::path("/data/a.b.spc"));
    EXPECT_EQ(userFilePath("/data", "sub/x", ".dak"), std::filesystem::path("/data/sub/x.dak"));
    EXPECT_EQ(userFilePath("/data", "/else/y.sdf", ".sdf"), std::filesystem::path("/else/y.sdf"));
}

} // namespace
