// The irradiance calibration's arithmetic and file rules: the lamp table's
// ends, the area factor, the photopic tables' ends, the conversions, and
// which calibration files are taken, copied or refused.
#include "../datacontrol/temp_folder.h"
#include "photometry/irradiance.h"
#include "photometry/photopic_tables.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace quillon;
using namespace quillon::irradiance;
using quillon::test::TempFolder;
namespace fs = std::filesystem;

namespace {

LampFile lampOf(const std::string &text) {
    std::string why;
    const auto lamp = parseLampFile(text, false, why);
    EXPECT_TRUE(lamp) << why;
    return lamp.value_or(LampFile{});
}

} // namespace

TEST(LampFile, TableEndsAndInterpolation) {
    // 400-420 nm at 10 nm: three values; whole-nm start 400.
    const LampFile lamp = lampOf("50\n0\n400\n420\n10\n1\n2\n4\n");
    EXPECT_EQ(lamp.count, 3);
    EXPECT_DOUBLE_EQ(lampIrradianceAt(lamp, 405.0, 1.0), 1.5);
    EXPECT_DOUBLE_EQ(lampIrradianceAt(lamp, 415.0, 4.0), 12.0);
    // Beyond the last full interval: the last value; before the start: the first.
    EXPECT_DOUBLE_EQ(lampIrradianceAt(lamp, 420.0, 1.0), 4.0);
    EXPECT_DOUBLE_EQ(lampIrradianceAt(lamp, 389.0, 1.0), 1.0);
}

TEST(LampFile, DamagedFilesAreRefusedWithTheReason) {
    std::string why;
    EXPECT_FALSE(parseLampFile("50\n0\n400\n", false, why));
    EXPECT_EQ(why, "it ends before its five header lines");
    EXPECT_FALSE(parseLampFile("50\n0\n400\n420\n10\n1\nx\n4\n", false, why));
    EXPECT_EQ(why, "line 7 is not a number");
    EXPECT_FALSE(parseLampFile("50\n0\n400\n420\n0\n", false, why));
    EXPECT_FALSE(parseLampFile("50\n0\n400\n420\n10\n1\n2\n", false, why));
    EXPECT_EQ(why, "it holds 2 of its 3 table values");
    EXPECT_TRUE(parseLampFile("50\n0\n400\n420\n10\n", true, why));
}

TEST(Photometry, AreaFactorAndPhotopicEnds) {
    // 180 degrees: the half sphere, 2 pi d^2 (m^2).
    EXPECT_NEAR(areaFactor(180.0f, 100), 2.0 * M_PI, 1e-5);
    EXPECT_NEAR(areaFactor(90.0f, 50), (1.0 - std::cos(M_PI / 4)) * 2.0 * M_PI * 0.25, 1e-6);
    std::array<float, 40> v{};
    std::iota(v.begin(), v.end(), 1.0f);
    EXPECT_FLOAT_EQ(photopicFromFile(v, 770.0), 40.0f);
    EXPECT_FLOAT_EQ(photopicFromFile(v, 770.5), 0.0f);
    EXPECT_FLOAT_EQ(photopicFromFile(v, 385.0), 1.5f);
    EXPECT_FLOAT_EQ(photopicFromFile(v, 379.9), 0.0f);
    const auto vm = colour::builtInPhotopicVm();
    EXPECT_FLOAT_EQ(photopicBuiltIn(780.0), vm.back());
    EXPECT_FLOAT_EQ(photopicBuiltIn(555.0), 1.0f);
    EXPECT_FLOAT_EQ(photopicBuiltIn(780.5), 0.0f);
}

TEST(Photometry, AbsoluteValuesOutsideTheCalibrationOrBelowTheDarkAreZero) {
    const std::vector<float> spectrum{100, 50, 10, 200};
    const std::vector<float> dark{10, 60, 20, 0};
    const std::vector<std::int32_t> grid{0, 1, 2, 3};
    const std::vector<float> ratios{0.5f, 0.5f, kOutsideLamp, 0.25f};
    std::vector<float> out(4, -5.0f);
    absoluteOnGrid(spectrum, dark, grid, ratios, 2.0f, out);
    // 90 x 0.5 x 2; below the dark; outside the lamp (counts below dark
    // times -1 must not come out positive); 200 x 0.25 x 2.
    EXPECT_EQ(out, (std::vector<float>{90.0f, 0.0f, 0.0f, 100.0f}));
}

TEST(Photometry, BlackbodyCurveEndsWithItsLargestValue) {
    const std::vector<float> nm{400, 900, 1000, 2000};
    std::vector<float> curve(5);
    blackbodyCurve(nm, 3000.0f, curve);
    EXPECT_FLOAT_EQ(curve[4], *std::max_element(curve.begin(), curve.begin() + 4));
    EXPECT_GT(curve[1], curve[0]); // peak near 966 nm at 3000 K
}

TEST(CalibrationFile, LayoutAndRefusals) {
    CalibrationFile file;
    file.serial = "QX10-S10417";
    file.distanceCm = 50;
    file.integrationTime = 35;
    file.ratios = {0.5f, -1.0f};
    const std::string bytes = encodeCalibration(file);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("QX10-S10417\0", 12));
    EXPECT_EQ(bytes.substr(24, 4), std::string("\x32\0\0\0", 4));
    EXPECT_EQ(bytes.substr(36, 4), std::string("\0\0\x80\xbf", 4)); // -1.0f
    std::string why;
    EXPECT_FALSE(decodeCalibration(bytes.substr(0, 39), 2, why));
    EXPECT_EQ(why, "it holds 39 bytes, a unit of 2 pixels needs 40");
    EXPECT_FALSE(decodeCalibration(bytes, 3, why));
    const auto back = decodeCalibration(bytes, 2, why);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serial, "QX10-S10417");
    EXPECT_EQ(back->ratios, file.ratios);
}

namespace {

// A unit of four pixels at 400-700 nm in a folder of its own.
class IrradianceFiles : public ::testing::Test {
protected:
    IrradianceFiles() {
        s.programFolder = folder.path;
        s.geometry.activePixels = 4;
        s.buffers.wavelengthTable = {400, 500, 600, 700};
        s.limits.current = 35;
        s.channelCount = 2;
        s.channels.resize(1);
        s.channels[0].unitFile = folder / "QX10-A.ini";
        s.settings.initPane = 12;
        s.settings.cie1931 = false; // the built-in photopic table, no file
    }
    void writeCalibration(const fs::path &file, const std::string &serial, float ratio,
                          std::size_t pixels = 4) {
        CalibrationFile c;
        c.serial = serial;
        c.distanceCm = 50;
        c.integrationTime = 70;
        c.ratios.assign(pixels, ratio);
        test::writeBytes(file, encodeCalibration(c));
    }
    TempFolder folder;
    ChannelState s;
    ScriptedPrompter prompter;
    Irradiance irr{s, prompter};
};

} // namespace

TEST_F(IrradianceFiles, AUnitWithoutItsOwnFileGetsACopyOfTheStandardUnderItsSerial) {
    s.channelCount = 1; // a standard file is taken only with one unit connected
    writeCalibration(folder / "OVIrrad.cal", "STANDARD", 0.25f);
    ASSERT_EQ(irr.EnterIrradianceMode(false), OpResult::Done);
    ASSERT_TRUE(fs::exists(folder / "OVIrrad_0.cal"));
    std::string why;
    const auto copy = decodeCalibration(test::readBytes(folder / "OVIrrad_0.cal"), 4, why);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->serial, "QX10-A");
    EXPECT_EQ(irr.Calibration()->ratios, std::vector<float>(4, 0.25f));
    EXPECT_FLOAT_EQ(irr.Calibration()->integrationRatio, 2.0f);
}

TEST_F(IrradianceFiles, NoFileAtAllIsRefusedAndTheIrradiancePaneGoes) {
    EXPECT_EQ(irr.EnterIrradianceMode(false), OpResult::Failed);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{irradiance_messages::kNoProperFile});
    EXPECT_EQ(s.settings.initPane & 8u, 0u);
}

TEST_F(IrradianceFiles, AForeignOrTruncatedFileIsRefusedAndTheCalibrationInUseStays) {
    writeCalibration(folder / "OVIrrad_0.cal", "QX10-A", 0.5f);
    ASSERT_EQ(irr.EnterIrradianceMode(false), OpResult::Done);
    writeCalibration(folder / "OVIrrad_0.cal", "QX10-B", 9.0f);
    EXPECT_EQ(irr.LoadIrradFile(), OpResult::Failed);
    writeCalibration(folder / "OVIrrad_0.cal", "QX10-A", 9.0f, 3);
    EXPECT_EQ(irr.LoadIrradFile(), OpResult::Failed);
    EXPECT_EQ(irr.Calibration()->ratios, std::vector<float>(4, 0.5f));
    // After the colour tables this folder lacks (the colour temperature's):
    const auto all = prompter.textsOf(PromptKind::Message);
    ASSERT_GE(all.size(), 2u);
    const std::vector<std::string> texts(all.end() - 2, all.end());
    EXPECT_EQ(texts[0], "The irradiance calibration file [OVIrrad_0.cal] cannot be used: it "
                        "belongs to the unit QX10-B, not to QX10-A.");
    EXPECT_EQ(texts[1], "The irradiance calibration file [OVIrrad_0.cal] cannot be used: it "
                        "holds 44 bytes, a unit of 4 pixels needs 48.");
}

TEST_F(IrradianceFiles, LampClippedToTheUnitAndPixelsWithoutCountsLeftOut) {
    test::writeBytes(folder / "OVlamp.txt", "50\n0\n300\n650\n50\n1\n1\n1\n1\n1\n1\n1\n1\n");
    s.acquisition.calStartWavelength = 400;
    s.acquisition.calEndWavelength = 700;
    s.display.countMax = 65535;
    s.buffers.spectrum = {1000, 1000, 100, 1000};
    s.buffers.dark = {100, 100, 100, 100};
    ASSERT_EQ(irr.EnterIrradianceMode(true), OpResult::Done);
    ASSERT_EQ(irr.LoadLampFile(), OpResult::Done);
    EXPECT_EQ(irr.Calibration()->firstPixel, 0);
    EXPECT_EQ(irr.Calibration()->lastPixel, 2); // 700 nm is beyond the lamp
    EXPECT_FLOAT_EQ(irr.Calibration()->lampEnd, 650.0f);
    irr.SetCalibrationDistance(25); // four times the lamp's 50 cm irradiance
    ASSERT_EQ(irr.MakeIrradFile(std::vector<std::string>{"4047;202"}), OpResult::Done);
    EXPECT_EQ(irr.Calibration()->ratios, (std::vector<float>{4.0f / 900, 4.0f / 900, -1, -1}));
    EXPECT_EQ(irr.LeftOutPixels(), 1);
    const std::string report = test::readBytes(folder / "OVIrrad_0.txt");
    EXPECT_NE(report.find("\nData 1=4047;234\n"), std::string::npos);
    EXPECT_NE(report.find("\n4         700.00\n"), std::string::npos);

    // Saturated: refused, the file as it was.
    const std::string before = test::readBytes(folder / "OVIrrad_0.cal");
    s.buffers.spectrum = {65535, 1000, 1000, 1000};
    EXPECT_EQ(irr.MakeIrradFile(std::vector<std::string>{}), OpResult::Failed);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(),
              "The calibration scan is saturated from 400.0 to 400.0 nm: lower the integration "
              "time and scan the lamp again.");
    EXPECT_EQ(test::readBytes(folder / "OVIrrad_0.cal"), before);
    // The setup file could not be read: nothing written either.
    EXPECT_EQ(irr.MakeIrradFile(std::nullopt), OpResult::NotDone);
    EXPECT_EQ(test::readBytes(folder / "OVIrrad_0.cal"), before);
}
