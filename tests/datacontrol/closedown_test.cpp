#include "datacontrol/profile_file.h"
#include "datacontrol/scan_steps.h"
#include "file_size_limit.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

class CloseDown : public StartUpFixture {
protected:
    ProfileFile savedSettings() {
        ProfileFile saved;
        saved.SetPath(folder / "QuillonX.ini");
        EXPECT_TRUE(saved.Load());
        return saved;
    }
};

std::vector<std::string> keysOf(ProfileFile &file, const std::string &section) {
    std::vector<std::string> keys;
    const int index = file.FindSection(section);
    for (std::size_t i = 0; index >= 0 && i < file.EntryCount(static_cast<std::size_t>(index));
         ++i) {
        keys.push_back(file.KeyName(static_cast<std::size_t>(index), i));
    }
    return keys;
}

const std::vector<std::string> kWrittenKeys{
    "IntTime",     "TimeAV",       "BinningAV", "FFT",        "StartWL",    "EndWL",
    "IntervalWL",  "ColorTemp",    "Title",     "SubTitle",   "NoiseRatio", "NoiseLine",
    "NoiseCutoff", "NoiseHighLow", "InitSet",   "InitOption", "InitColor",  "RefWhite",
    "RefMax",      "MaxT",         "MinT",      "MaxA",       "MinA",       "MaxI",
    "MinI",        "CalNo",        "FilterOn",  "FilterWin",  "BackColor",  "PixelColor",
    "TransColor",  "AbsorbColor",  "IrradColor"};

TEST_F(CloseDown, WritesExactlyTheWrittenKeysInOrder) {
    ASSERT_EQ(startUp(), 1);
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    EXPECT_EQ(keysOf(saved, "Extend Options"), kWrittenKeys);
    const char *s = "Extend Options";
    EXPECT_EQ(saved.GetText(s, "IntTime"), "35");
    EXPECT_EQ(saved.GetText(s, "StartWL"), "100000000.00");
    EXPECT_EQ(saved.GetText(s, "ColorTemp"), "3000.00");
    EXPECT_EQ(saved.GetText(s, "MinT"), "-10.00 ");
    EXPECT_EQ(saved.GetText(s, "RefWhite"), "98.50  ");
    EXPECT_EQ(saved.GetText(s, "Title"), "Project Name");
    EXPECT_EQ(saved.GetText(s, "InitOption"), "3");
    EXPECT_EQ(saved.GetText(s, "InitColor"), "34");
    EXPECT_EQ(saved.GetText(s, "BackColor"), "16777215");
    EXPECT_EQ(saved.GetLong(s, "InitSet"), control->State().flags.packed());
}

TEST_F(CloseDown, SettingsSurviveARunAndUnknownEntriesAreKept) {
    writeMainSettings("OVEdit=1\nTimeAV=8\nMaxA=2.5\nTitle=Lamp test\nInitSet=65536\n"
                      "[Print Page]\nOperator=Kim\n");
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().flags.xUnit(), XUnit::Wavelength);
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    EXPECT_EQ(saved.GetText("Extend Options", "OVEdit"), "1");
    EXPECT_EQ(saved.GetText("Print Page", "Operator"), "Kim");
    EXPECT_EQ(saved.GetInt("Extend Options", "TimeAV"), 8);
    EXPECT_EQ(saved.GetText("Extend Options", "MaxA"), "2.50   ");
    EXPECT_EQ(saved.GetText("Extend Options", "Title"), "Lamp test");
    const std::uint32_t option = saved.GetLong("Extend Options", "InitSet") >> 16;
    EXPECT_EQ(option & option_bits::kXUnitMask, 1u);
    EXPECT_EQ(option & option_bits::kWavelengthBase, 0u);

    // A second run reads back what the first wrote.
    control.reset();
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().acquisition.timeAverage, 8);
    EXPECT_FLOAT_EQ(control->State().display.absMax, 2.5f);
}

TEST_F(CloseDown, CooledBoardWritesTecAndCapAfterCalNo) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->Setup().ConfigureChannel(2, Ask::Yes)),
              1); // the G9212 unit of the default bench
    EXPECT_TRUE(control->State().HasCoolerRecord());
    EXPECT_EQ(control->State().oddEven.firstStep, 12);
    EXPECT_EQ(control->State().oddEven.secondStep, -9);
    EXPECT_EQ(control->State().badPixels, std::vector<int>{86});
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    std::vector<std::string> expected = kWrittenKeys;
    const auto calNo = std::find(expected.begin(), expected.end(), "CalNo");
    expected.insert(calNo + 1, {"TEC", "CAP"});
    EXPECT_EQ(keysOf(saved, "Extend Options"), expected);
    EXPECT_EQ(saved.GetText("Extend Options", "TEC"), "1");
}

// Units of both sensor families: each gets back its own time in the next
// run, whichever channel was current at close.
TEST_F(CloseDown, EveryUnitGetsItsOwnIntegrationTimeBack) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    ASSERT_EQ(control->ApplySetting("IntTime", "50"), "");
    ASSERT_EQ(toCode(control->ChangeChannel(1)), 1); // the TCD1304 unit, 3500 x 10 us
    ASSERT_EQ(control->State().limits.current, 3500);
    ASSERT_EQ(control->ApplySetting("IntTime", "35"), ""); // 0.35 ms
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    EXPECT_EQ(saved.GetText("Extend Options", "IntTime"), "35");
    EXPECT_EQ(saved.GetText("Unit Integration Times", "QX10-S10417"), "50");
    EXPECT_EQ(saved.GetText("Unit Integration Times", "QX20-T20931"), "35");

    control.reset();
    prompter.queueYesNo(true); // keep the low TCD1304 time when it is asked about
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().limits.current, 50);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    ASSERT_EQ(toCode(control->ChangeChannel(1)), 1);
    EXPECT_EQ(control->State().limits.current, 35);
    ASSERT_EQ(toCode(control->ChangeChannel(0)), 1);
    EXPECT_EQ(control->State().limits.current, 50);
}

// The titles name the operator's project and sample: a channel change
// keeps an edited title, and the settings file gets it, not the stored one.
TEST_F(CloseDown, EditedTitlesSurviveAChannelChange) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    ASSERT_EQ(control->ApplySetting("Title", "Batch 7"), "");
    ASSERT_EQ(control->ApplySetting("SubTitle", "Lamp B"), "");
    ASSERT_EQ(toCode(control->ChangeChannel(1)), 1);
    EXPECT_EQ(control->State().settings.title, "Batch 7");
    EXPECT_EQ(control->State().settings.subTitle, "Lamp B");
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    EXPECT_EQ(saved.GetText("Extend Options", "Title"), "Batch 7");
    EXPECT_EQ(saved.GetText("Extend Options", "SubTitle"), "Lamp B");
}

TEST_F(CloseDown, IrradianceDistanceWrittenOnlyWithIrradianceCalibration) {
    writeBytes(folder / "OVIrrad.cal", "x");
    writeMainSettings("IrradLux=1\nIrradDist=30\n");
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().settings.initPane, 12u);
    EXPECT_EQ(control->State().settings.irradDist, 30); // the main file's over the unit file's
    EXPECT_EQ(control->State().settings.irradLux, 1);
    EXPECT_TRUE(control->CloseDown());
    ProfileFile saved = savedSettings();
    EXPECT_EQ(saved.GetText("Extend Options", "IrradDist"), "30");
    EXPECT_EQ(keysOf(saved, "Extend Options").front(), "IrradLux"); // the file's own order stays
}

TEST_F(CloseDown, AnUnreadableSettingsFileIsNotOverwritten) {
    ASSERT_EQ(startUp(), 1);
    std::filesystem::remove(folder / "QuillonX.ini");
    std::filesystem::create_directories(folder / "QuillonX.ini" / "in the way");
    EXPECT_FALSE(control->CloseDown());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "QuillonX.ini" / "in the way"));
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(),
              "The settings of this session could not be saved. The file cannot be written: " +
                  (folder / "QuillonX.ini").string());
}

TEST_F(CloseDown, AFailedSaveIsReportedAndTheFileKept) {
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    // Entries the program does not know are kept, so the saved file is at
    // least as large as this one.
    std::string filler = "[Extend Options]\nTimeAV=3\n[Notes]\n";
    for (int i = 0; i < 2000; ++i) {
        filler += "Note" + std::to_string(i) + "=kept as it is\n";
    }
    writeBytes(folder / "QuillonX.ini", filler);
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(control->ApplySetting("TimeAV", "9"), "");
    {
        const FileSizeLimit limit(filler.size() / 2);
        EXPECT_FALSE(control->CloseDown());
    }
    EXPECT_EQ(readBytes(folder / "QuillonX.ini"), filler);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(),
              "The settings of this session could not be saved. The file cannot be written: " +
                  (folder / "QuillonX.ini").string());
    for (const auto &entry : std::filesystem::directory_iterator(folder.path)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(CloseDown, UnreadableSettingsFileEndsStartUpWithItsMessage) {
    std::filesystem::create_directories(folder / "QuillonX.ini");
    EXPECT_EQ(startUp(), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "Failed to open the initial setup file in IsOldBoard() in DataControl class..."});
}

// Means of the even and odd values of the first n after the InGaAs correction.
std::array<double, 2> correctedMeans(std::vector<std::int32_t> raw, int n,
                                     const OddEvenAdjustment &steps) {
    scan::correctInGaAs(raw, n, steps.firstStep, steps.secondStep);
    std::array<double, 2> sums{};
    for (int i = 0; i < n; ++i) {
        sums[static_cast<std::size_t>(i % 2)] += raw[static_cast<std::size_t>(i)];
    }
    return {sums[0] / (n / 2), sums[1] / (n / 2)};
}

TEST(OddEvenSteps, EvenAverage1000AndOddAverage993) {
    // After inversion (65535 - v) the even pixels average 1000, the odd 993.
    std::vector<std::int32_t> raw(2048);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = 65535 - (i % 2 == 0 ? 1000 : 993);
    }
    const OddEvenAdjustment steps = oddEvenStepsFromDarkFrame(raw, 2048);
    EXPECT_EQ(steps.firstStep, -3);
    EXPECT_EQ(steps.secondStep, 4);
    const auto means = correctedMeans(raw, 2048, steps);
    EXPECT_DOUBLE_EQ(means[0], 997.0);
    EXPECT_DOUBLE_EQ(means[1], 997.0);

    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = 65535 - (i % 2 == 0 ? 993 : 1000);
    }
    const OddEvenAdjustment reversed = oddEvenStepsFromDarkFrame(raw, 2048);
    EXPECT_EQ(reversed.firstStep, 3); // truncated toward zero
    EXPECT_EQ(reversed.secondStep, -4);
    const auto reversedMeans = correctedMeans(raw, 2048, reversed);
    EXPECT_NEAR(reversedMeans[0], reversedMeans[1], 1.0);
}

TEST(OddEvenSteps, OnlyTheFirstNValuesCountAndMeansAreIntegers) {
    std::vector<std::int32_t> raw{65535 - 10, 65535 - 1, 65535 - 11, 65535 - 2, 0, 0};
    // E = 21 / 2 = 10, O = 3 / 2 = 1, D = 9.
    const OddEvenAdjustment steps = oddEvenStepsFromDarkFrame(raw, 4);
    EXPECT_EQ(steps.firstStep, -4);
    EXPECT_EQ(steps.secondStep, 5);
}

TEST_F(CloseDown, AutomaticOddEvenAdjustmentAsksAndCancelsTheStep) {
    loadBench({{0,
                factoryEeprom("G2", "G9212", 10,
                              {"[QX30]", "AutoAdjStep=1", "FirstStep=12", "SecondStep=-9"}),
                {"Source=dark", "ReadNoise=0", "DarkCurrent=0"}}});
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "To adjust the difference between odd number pixels and even number pixels "
                  "automatically, please block the input light and click OK when ready."});
    // The unit's own step is 21 counts between odd and even pixels; the
    // adjusted steps remove it.
    std::vector<int> frame(512);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), 1);
    const auto means = correctedMeans(frame, 512, control->State().oddEven);
    EXPECT_NEAR(means[0], means[1], 1.0);
    const auto unitMeans = correctedMeans(frame, 512, OddEvenAdjustment{});
    EXPECT_NEAR(std::abs(unitMeans[0] - unitMeans[1]), 21.0, 1.0);
}

TEST_F(CloseDown, UnitFileGoesBackToTheEepromTrimmed) {
    ASSERT_EQ(startUp(), 1);
    writeBytes(iniFile("QX10-S10417.ini"),
               "  [Factory Default]  \r\nName=QX10-S10417\t \nCCD=ILX511\n");
    ASSERT_EQ(toCode(control->WriteUnitFileToEeprom()), 1);
    EXPECT_EQ(control->State().channels[0].onSerialIni, 0);
    ASSERT_EQ(ovReadEEPROM(nullptr, 0), 1);
    // The unit keeps lines; how many line ends follow the last is its own affair.
    std::string stored = ovGetEEPROMData();
    stored.erase(stored.find_last_not_of('\n') + 1);
    EXPECT_EQ(stored, "[Factory Default]\nName=QX10-S10417\nCCD=ILX511");
}

TEST_F(CloseDown, AMissingUnitFileNeverWipesTheEeprom) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(ovReadEEPROM(nullptr, 0), 1);
    const std::string before = ovGetEEPROMData();
    std::filesystem::remove(iniFile("QX10-S10417.ini"));
    EXPECT_EQ(toCode(control->WriteUnitFileToEeprom()), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{"Error on writing the EEPROM data via the USB port #0."});
    EXPECT_EQ(control->State().channels[0].onSerialIni, 1);
    ASSERT_EQ(ovReadEEPROM(nullptr, 0), 1);
    EXPECT_EQ(std::string(ovGetEEPROMData()), before);
}

TEST_F(CloseDown, SerialFromTheOldSettingsFile) {
    writeBytes(folder / "Quillon.ini", "[Factory Default]\nName= ab12 \n");
    EXPECT_EQ(make().Setup().GetSNFromOldIni(folder / "Quillon.ini"), "AB12");
    writeBytes(folder / "Quillon.ini", "[Factory Default]\nName=  \n");
    EXPECT_EQ(control->Setup().GetSNFromOldIni(folder / "Quillon.ini"), "");
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "Error in the Quillon.ini. There is no serial number information."});
}

TEST_F(CloseDown, ChannelIdIsWrittenToTheUnit) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->WriteChannelId(7)), 1);
    EXPECT_EQ(control->State().channelId, 7);
    short id = -1;
    ASSERT_EQ(ovReadChannelID(&id, 0), 1);
    EXPECT_EQ(id, 7);
}

} // namespace
