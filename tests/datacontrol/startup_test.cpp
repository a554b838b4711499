#include "datacontrol/messages.h"
#include "datacontrol/profile_file.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

const std::string kNoDeviceText =
    "There is an error on testing the USB connections. There is no device connected."
    "\n\rIf you'd like to test the interface again, please click [Retry]."
    "\n\rIf you'd like to open the saved data file without using the device, please click "
    "[Ignore].";

std::string emptyEepromText(int port) {
    return "Error! The EEPROM of the USB port #" + std::to_string(port) +
           " doesn't have a proper data or is empty. Please contact OV for how to set the EEPROM "
           "properly.\nWould you like to use the temporary data file [Serial.ini] for this unit? "
           "If NO, it will close the program.";
}

std::string tooHighText(int time) {
    return "The CCD of the current channel is not Toshiba TCD 1304 but the integration time set "
           "in the ini file seems too high [" +
           std::to_string(time) +
           "msec]. Do you still keep the current integration time? If you click 'NO', then it "
           "will be converted to the default integration time [35msec].";
}

std::string tooLowText(int time) {
    return "The CCD of the current channel is Toshiba TCD 1304 but the integration time set in "
           "the ini file seems too low [" +
           std::to_string(time) +
           "msec]. Do you still keep the current integration time? If you click 'NO', then it "
           "will be converted to the default integration time [35msec].";
}

using StartUp = StartUpFixture;

TEST_F(StartUp, DefaultBenchWritesUnitFilesAndConfiguresChannelZero) {
    ASSERT_EQ(startUp(), 1);
    DataControl &dc = *control;
    EXPECT_TRUE(prompter.shown().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Data"));
    EXPECT_EQ(dc.State().channelCount, 3);
    EXPECT_FALSE(dc.State().oldBoard);
    EXPECT_EQ(dc.State().mainSettingsPath, folder / "QuillonX.ini");
    EXPECT_EQ(std::filesystem::file_size(folder / "QuillonX.ini"), 0u);
    for (const char *serial : {"QX10-S10417", "QX20-T20931", "QX50-G50112"}) {
        EXPECT_TRUE(std::filesystem::exists(iniFile(std::string(serial) + ".ini"))) << serial;
    }
    ProfileFile unit;
    unit.SetPath(iniFile("QX20-T20931.ini"));
    ASSERT_TRUE(unit.Load());
    EXPECT_EQ(unit.GetText("Factory Default", "CCD"), "TCD1304");
    EXPECT_EQ(unit.GetText("Cal Data", "Data 6"), "8115;2918");

    EXPECT_EQ(dc.State().currentChannel, 0);
    EXPECT_EQ(dc.State().channels[0].unitFile, iniFile("QX10-S10417.ini"));
    EXPECT_EQ(dc.State().geometry.boardType, 0);
    EXPECT_EQ(dc.State().geometry.totalPixels, 2080);
    EXPECT_EQ(dc.State().geometry.activePixels, 2048);
    EXPECT_EQ(dc.State().geometry.firstActivePixel, 32);
    EXPECT_EQ(dc.State().geometry.newDevice, 1);
    EXPECT_EQ(dc.State().geometry.speedMode, 512);
    EXPECT_EQ(dc.State().limits.current, 35);
    EXPECT_EQ(dc.State().limits.minimum, 1);
    EXPECT_EQ(dc.State().limits.maximum, 65535);
    EXPECT_EQ(dc.State().badPixels, (std::vector<int>{733 + 31, 1502 + 31}));
    EXPECT_EQ(dc.State().model.name, "Quillon ILX511");
    EXPECT_EQ(dc.State().settings.modelName, "QX10-S10417");
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kGeometryApplied));
    EXPECT_FALSE(dc.State().NoDeviceMode());
    EXPECT_EQ(dc.State().trigger.triggerMode, 1);

    // Every setting at its default.
    EXPECT_EQ(dc.State().acquisition.timeAverage, 1);
    EXPECT_EQ(dc.State().settings.title, "Project Name");
    EXPECT_EQ(dc.State().settings.subTitle, "Sample Name");
    EXPECT_EQ(dc.State().settings.calNo, 0);
    EXPECT_FLOAT_EQ(dc.State().display.trMin, -10.0f);
    EXPECT_FLOAT_EQ(dc.State().display.trMax, 110.0f);
    EXPECT_FLOAT_EQ(dc.State().display.wavelengthStart, 100000000.0f);
    EXPECT_FLOAT_EQ(dc.State().display.wavelengthStep, 1.0f);
    EXPECT_EQ(dc.State().colors.pixel, 255u + 60u * 256 + 60u * 65536);
    EXPECT_EQ(dc.State().settings.displayWord, 3u);
    EXPECT_EQ(dc.State().settings.initPane, 4u); // 12 from the unit, without irradiance calibration
    EXPECT_EQ(dc.State().display.pixelEnd, 2048);
    EXPECT_EQ(dc.State().display.countMax, 65535);
    EXPECT_NEAR(dc.State().signalThreshold, 13.107f, 1e-3f);

    ASSERT_EQ(toCode(dc.FinishStartUp()), 1);
    EXPECT_EQ(dc.State().buffers.rawFrame.size(), 2080u);
    EXPECT_EQ(dc.State().buffers.spectrum.size(), 2048u);
    EXPECT_EQ(dc.State().saved.limits.current, 35);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(StartUp, SerialIsFoundInAnyCaseAndUpperCased) {
    loadBench({{0, {"[Factory Default]", "ccd=ILX511", "name=  ab12 ", "CCD=ILX511"}}});
    ASSERT_EQ(startUp(), 1);
    EXPECT_TRUE(std::filesystem::exists(iniFile("AB12.ini")));
    EXPECT_EQ(control->State().settings.modelName, "AB12");
}

TEST_F(StartUp, ASerialCannotWriteOutsideTheIniFolder) {
    loadBench({{0, factoryEeprom("../../escape", "ILX511")}});
    ASSERT_EQ(startUp(), 1);
    EXPECT_FALSE(std::filesystem::exists(folder.path.parent_path() / "ESCAPE.ini"));
    EXPECT_EQ(control->State().channels[0].unitFile.parent_path(), folder / "Ini");
}

TEST_F(StartUp, NoUnitOffersAbortRetryIgnore) {
    loadBench({});
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Retry);
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Abort);
    EXPECT_EQ(startUp(), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::AbortRetryIgnore),
              (std::vector<std::string>{kNoDeviceText, kNoDeviceText}));
    EXPECT_TRUE(control->StartUpAborted());
}

// A unit that is there but cannot be opened (the driver says why) is not
// reported as "no device connected"; the choices stay those of that box.
TEST(NoDeviceBox, TheDriversReasonReplacesNoDeviceAndKeepsTheChoices) {
    EXPECT_EQ(messages::noUsableDevice(""), kNoDeviceText);
    const std::string reason = "The unit 0547:0322 on bus 1 port 2 is connected but cannot be "
                               "opened: no permission.";
    const std::string box = messages::noUsableDevice(reason);
    EXPECT_EQ(box.rfind(reason, 0), 0u);
    EXPECT_EQ(box.find("There is no device connected"), std::string::npos);
    EXPECT_EQ(box.substr(reason.size()), kNoDeviceText.substr(kNoDeviceText.find("\n\r")));
}

TEST_F(StartUp, IgnoreGivesTheNoDeviceModeWithOneTcd1304Channel) {
    loadBench({});
    prompter.queueAbortRetryIgnore(AbortRetryIgnore::Ignore);
    DataControl &dc = make();
    EXPECT_EQ(toCode(dc.StartUp()), 0);
    EXPECT_TRUE(dc.State().NoDeviceMode());
    ASSERT_EQ(toCode(dc.StartUp()), 1);
    EXPECT_EQ(dc.State().channelCount, 1);
    EXPECT_TRUE(dc.State().oldBoard);
    EXPECT_EQ(dc.State().mainSettingsPath, folder / "Quillon.ini");
    EXPECT_TRUE(std::filesystem::exists(folder / "Quillon.ini"));
    EXPECT_EQ(dc.State().geometry.boardType, 1);
    EXPECT_EQ(dc.State().geometry.activePixels, 3648);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kMemoryMode));
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kHold));
    EXPECT_EQ(dc.State().settings.calNo, 1);
    // The empty Quillon.ini leaves the TCD1304 at its 10 us minimum; without a
    // unit the too-low check takes its default without asking.
    EXPECT_TRUE(prompter.textsOf(PromptKind::YesNo).empty());
    EXPECT_EQ(dc.State().limits.current, 3500);
    // Without a unit the hardware steps do nothing, and succeed.
    EXPECT_EQ(toCode(dc.FinishStartUp()), 1);
    EXPECT_TRUE(dc.CloseDown());
    ProfileFile saved;
    saved.SetPath(folder / "Quillon.ini");
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetText("Extend Options", "CalNo"), "1");
    EXPECT_EQ(prompter.shown().size(), 1u); // nothing beyond the no-unit box
}

TEST_F(StartUp, TwoUnitsWithOneSerialEndTheProgram) {
    loadBench(
        {{0, factoryEeprom("QX10-Same", "ILX511")}, {3, factoryEeprom("qx10-SAME", "TCD1304")}});
    EXPECT_EQ(startUp(), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "Error! At least two units with the same serial number were connected at the "
                  "same time.\nPlease plug the units with the same S/N one by one and correct the "
                  "S/N properly.\nThe program will be closed now."});
    EXPECT_TRUE(control->StartUpAborted());
    EXPECT_TRUE(control->CloseDown());
    // An ended start-up writes no settings.
    EXPECT_EQ(std::filesystem::file_size(folder / "QuillonX.ini"), 0u);
}

TEST_F(StartUp, EmptyEepromAnsweredYesRunsOnSerialIniUntilClose) {
    loadBench({{0, {}}});
    writeBytes(folder / "Serial.ini", "[Factory Default]\nName=SERIAL\nIntTime=20\n");
    prompter.queueYesNo(true);
    prompter.queueSensorChoice(1); // QX20 : Toshiba TCD Series
    ASSERT_EQ(startUp(), 1);
    DataControl &dc = *control;
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[0].text, emptyEepromText(0));
    EXPECT_EQ(prompter.shown()[1].kind, PromptKind::SensorChoice);
    EXPECT_EQ(prompter.shown()[1].text, "CCD TYPE SETTING");
    EXPECT_EQ(prompter.shown()[1].entries,
              (std::vector<std::string>{"QX10 : Sony ILX Series", "QX20 : Toshiba TCD Series",
                                        "QX30 : Hamamatsu Backthinned CCD TE-Cooled",
                                        "QX40 : Hamamatsu Backthinned CCD Non TE-Cooled",
                                        "QX50-512 : Hamamatsu InGaAs Array TE-Cooled",
                                        "QX15 : Sony ILX Series Low Noise",
                                        "QX50-256-2.1 : Hamamatsu InGaAs Array TE-Cooled",
                                        "QX50-512-2.2 : Hamamatsu InGaAs Array TE-Cooled",
                                        "QX50-512-2.5 : Hamamatsu InGaAs Array TE-Cooled",
                                        "QX50-256-2.5 : Hamamatsu InGaAs Array TE-Cooled"}));
    EXPECT_EQ(dc.State().channels[0].unitFile, iniFile("TempIni_0.ini"));
    EXPECT_EQ(readBytes(iniFile("TempIni_0.ini")), readBytes(folder / "Serial.ini"));
    EXPECT_EQ(dc.State().channels[0].onSerialIni, 1);
    EXPECT_EQ(dc.State().geometry.boardType, 1);
    EXPECT_EQ(dc.State().limits.current, 2000); // Serial.ini gives the TCD1304 time in ms
    EXPECT_EQ(dc.State().settings.calNo, -1);
    EXPECT_EQ(dc.State().settings.modelName, "TEMPINI_0");
    EXPECT_TRUE(dc.CloseDown());
    EXPECT_FALSE(std::filesystem::exists(iniFile("TempIni_0.ini")));
    EXPECT_TRUE(std::filesystem::exists(folder / "Serial.ini"));
}

TEST_F(StartUp, EmptyEepromAnsweredNoEndsTheProgram) {
    loadBench({{0, {}}});
    prompter.queueYesNo(false);
    EXPECT_EQ(startUp(), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::YesNo), std::vector<std::string>{emptyEepromText(0)});
}

TEST_F(StartUp, SensorDialogClosedWithoutOkGivesBoardTypeZero) {
    loadBench({{0, {}}});
    writeBytes(folder / "Serial.ini", "[Factory Default]\n");
    prompter.queueYesNo(true);
    prompter.queueSensorChoice(std::nullopt);
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().geometry.boardType, 0);
    EXPECT_EQ(control->State().geometry.activePixels, 2048);
}

TEST_F(StartUp, MissingSerialIniIsReportedNotInvented) {
    loadBench({{0, {}}});
    prompter.queueYesNo(true);
    prompter.queueSensorChoice(0);
    EXPECT_EQ(startUp(), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{"Failed to open the initial setup file in "
                                       "SetVariablesFromEEPROMData() in DataControl class..."});
    EXPECT_FALSE(std::filesystem::exists(iniFile("TempIni_0.ini")));
}

TEST_F(StartUp, OldBoardUsesOneIlxChannelFromQuillonIni) {
    writeMainSettings("OldBoard=1\n");
    writeBytes(folder / "Quillon.ini", "[Extend Options]\nPixelFlip=1\nIntTime=12\n"
                                       "[Cal 1]\nName=Bench model\n");
    ASSERT_EQ(startUp(), 1);
    DataControl &dc = *control;
    EXPECT_TRUE(dc.State().oldBoard);
    EXPECT_EQ(dc.State().channelCount, 1);
    EXPECT_EQ(dc.State().mainSettingsPath, folder / "Quillon.ini");
    EXPECT_EQ(dc.State().geometry.boardType, 0);
    EXPECT_EQ(dc.State().limits.current, 12);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kPixelFlip));
    EXPECT_EQ(dc.State().settings.calNo, 1);
    EXPECT_EQ(dc.State().settings.modelName, "Bench model");
    EXPECT_FALSE(std::filesystem::exists(iniFile("QX10-S10417.ini")));
}

TEST_F(StartUp, HighIntegrationTimeOnIlxAsksAndNoGives35) {
    writeMainSettings("IntTime=400\n");
    prompter.queueYesNo(false);
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::YesNo), std::vector<std::string>{tooHighText(400)});
    EXPECT_EQ(control->State().limits.current, 35);
}

TEST_F(StartUp, HighIntegrationTimeKeptOnYesAndUnaskedReplaced) {
    writeMainSettings("IntTime=400\n");
    prompter.queueYesNo(true);
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().limits.current, 400);
    // Asked with ask = 0, the default applies silently.
    ASSERT_EQ(toCode(control->Setup().ConfigureChannel(0, Ask::No)), 1);
    EXPECT_EQ(control->State().limits.current, 35);
    EXPECT_EQ(prompter.shown().size(), 1u);
}

TEST_F(StartUp, LowIntegrationTimeOnTcd1304AsksAndNoGives3500) {
    loadBench({{0, factoryEeprom("T1", "TCD1304", 5000)}});
    writeMainSettings("IntTime=50\n");
    prompter.queueYesNo(false);
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::YesNo), std::vector<std::string>{tooLowText(50)});
    EXPECT_EQ(control->State().limits.current, 3500);
    EXPECT_EQ(control->State().geometry.boardType, 1);
}

TEST_F(StartUp, TcdOnlySuppressesTheIntegrationChecks) {
    loadBench({{0, factoryEeprom("T1", "TCD1304", 5000)}});
    writeMainSettings("IntTime=50\nTCDOnly=1\n");
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().limits.current, 50);
    EXPECT_TRUE(prompter.shown().empty());
}

class CapacitorTest : public StartUpFixture, public ::testing::WithParamInterface<int> {};

TEST_P(CapacitorTest, G9208_512MaximumFollowsTheCapacitor) {
    const int cap = GetParam();
    loadBench({{0, factoryEeprom("G1", "G9208-512", 300)}});
    writeMainSettings("CAP=" + std::to_string(cap) + "\n");
    ASSERT_EQ(startUp(), 1);
    DataControl &dc = *control;
    EXPECT_EQ(dc.State().geometry.boardType, 3);
    EXPECT_EQ(dc.State().geometry.inGaAsKind, 2);
    EXPECT_EQ(dc.State().limits.current, 300);
    EXPECT_EQ(dc.State().cooler.cap, cap);
    ASSERT_EQ(toCode(dc.FinishStartUp()), 1);
    EXPECT_EQ(dc.State().limits.maximum, cap == 10 ? 500 : 30);
    EXPECT_EQ(dc.State().limits.current, cap == 10 ? 300 : 30);
    EXPECT_TRUE(prompter.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(StartUp, CapacitorTest, ::testing::Values(10, 1));

TEST_F(StartUp, CapIsForcedOffForS7031) {
    loadBench({{0, factoryEeprom("P1", "S7031", 20)}});
    writeMainSettings("CAP=10\nTEC=5\n");
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(control->State().cooler.cap, 0);
    EXPECT_EQ(control->State().cooler.tec, 5);
    EXPECT_EQ(control->State().cooler.minIntegration, 7);
    EXPECT_EQ(toCode(control->FinishStartUp()), 1);
}

TEST_F(StartUp, GarbageSettingsFileStartsWithDefaults) {
    std::string bytes;
    for (int i = 0; i < 50000; ++i) {
        bytes.push_back(static_cast<char>((i * 7919 + i / 13) & 0xFF));
    }
    bytes += "\n[Extend Options]\nTimeAV=" + std::string(10000, '9') + "\nMinT=abc\n";
    writeBytes(folder / "QuillonX.ini", bytes);
    ASSERT_EQ(startUp(), 1);
    EXPECT_FLOAT_EQ(control->State().display.trMin, -10.0f);
    EXPECT_EQ(control->State().acquisition.timeAverage,
              1000); // held to the panel range, not wrapped
}

} // namespace

namespace {

TEST_F(StartUp, PortErrorsAskForAnotherAttempt) {
    simCommand("fail 1 0x0A 1"); // one EEPROM read packet of the unit in slot 1
    DataControl &dc = make();
    EXPECT_EQ(toCode(dc.StartUp()), 0);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{
                  "There is an error on reading the EEPROM data from the USB port #1."});
    EXPECT_FALSE(dc.StartUpAborted());
    EXPECT_EQ(toCode(dc.StartUp()), 1);
    EXPECT_EQ(dc.State().channelCount, 3);
}

TEST_F(StartUp, TheLiveObjectIsTheProcessWideInstance) {
    EXPECT_EQ(DataControl::Instance(), nullptr);
    DataControl &dc = make();
    EXPECT_EQ(DataControl::Instance(), &dc);
    {
        ScriptedPrompter other;
        DataControl second(other);
        EXPECT_EQ(DataControl::Instance(), &dc);
    }
    EXPECT_EQ(DataControl::Instance(), &dc);
    control.reset();
    EXPECT_EQ(DataControl::Instance(), nullptr);
}

} // namespace
