#include "datacontrol/display_flags.h"
#include "datacontrol/sensors.h"
#include "datacontrol/settings.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(Settings, ZeroEmptyOrMissingGivesTheDefault) {
    ProfileFile file;
    file.PutText("Extend Options", "MinT", "0");
    file.PutText("Extend Options", "TimeAV", "");
    file.PutText("Extend Options", "MaxT", "0.00   ");
    file.PutText("Extend Options", "Title", "");
    file.PutText("Extend Options", "FFT", "25");
    EXPECT_DOUBLE_EQ(readReal(file, "Extend Options", "MinT", defaults::kMinT), -10.0);
    EXPECT_EQ(readInt(file, "Extend Options", "TimeAV", defaults::kTimeAV), 1);
    EXPECT_DOUBLE_EQ(readReal(file, "Extend Options", "MaxT", defaults::kMaxT), 110.0);
    EXPECT_EQ(readText(file, "Extend Options", "Title", defaults::kTitle), "Project Name");
    EXPECT_EQ(readLong(file, "Extend Options", "InitOption", defaults::kInitOption), 3u);
    EXPECT_EQ(readInt(file, "Extend Options", "FFT", defaults::kFFT), 25);
}

TEST(Settings, ColoursAreRedPlus256GreenPlus65536Blue) {
    EXPECT_EQ(defaults::kBackColor, 16777215u);
    EXPECT_EQ(defaults::kPixelColor, 255u + 256u * 60 + 65536u * 60);
    EXPECT_EQ(defaults::kTransColor, 16u + 256u * 32 + 65536u * 255);
    EXPECT_EQ(defaults::kAbsorbColor, 100u + 256u * 100);
    EXPECT_EQ(defaults::kIrradColor, 256u * 255);
    EXPECT_EQ(colorGreen(defaults::kTransColor), 32);
    EXPECT_EQ(colorBlue(defaults::kTransColor), 255);
    EXPECT_EQ(defaults::kInitColor, 34u);
}

TEST(Settings, CalNoRules) {
    EXPECT_EQ(adjustCalNo(0, false, false), 0);
    EXPECT_EQ(adjustCalNo(0, true, true), 1);
    EXPECT_EQ(adjustCalNo(0, false, true), -1);
    EXPECT_EQ(adjustCalNo(3, true, true), 3);
    EXPECT_EQ(adjustCalNo(-1, false, false), -1);
}

TEST(Settings, InitSetTakesOnlyTheListedOptionBits) {
    DisplayFlags flags;
    flags.status.store(0x1234);
    flags.option.store(option_bits::kExternalTrigger | option_bits::kSubtractDarkInScope |
                       option_bits::kRelativeIrradiance);
    // Stored option word 0xFFDE: wavenumber, wavelength base, no relative
    // irradiance, every other bit set.
    const std::uint32_t stored = 0xFFDEu << 16 | 0xFFFFu;
    applyInitSet(stored, flags);
    EXPECT_EQ(flags.status.load(), 0x1234);      // the status word is not applied
    EXPECT_EQ(flags.xUnit(), XUnit::Wavelength); // forced by the wavelength base
    EXPECT_TRUE(flags.option.test(option_bits::kWavelengthBase));
    EXPECT_FALSE(flags.option.test(option_bits::kRelativeIrradiance)); // bit 5 clear in 0xFFDE
    EXPECT_FALSE(flags.option.test(option_bits::kMemoryMode));         // not taken from the file
    EXPECT_FALSE(flags.option.test(option_bits::kExternalTrigger));
    EXPECT_FALSE(flags.option.test(option_bits::kSubtractDarkInScope));
    EXPECT_FALSE(flags.option.test(option_bits::kNoDevice));

    applyInitSet(0, flags);
    EXPECT_FALSE(flags.option.test(option_bits::kWavelengthBase));
    applyInitSet((2u | option_bits::kRelativeIrradiance) << 16, flags);
    EXPECT_EQ(flags.xUnit(), XUnit::Wavenumber);
    EXPECT_TRUE(flags.option.test(option_bits::kRelativeIrradiance));
}

TEST(DisplayFlagsTest, FieldsAndPackedForm) {
    DisplayFlags flags;
    flags.setDisplayMode(DisplayMode::Irradiance);
    flags.setDarkSource(DarkSource::BuiltInShutter);
    flags.setReferenceSource(ReferenceSource::ColourTile);
    flags.status.set(status_bits::kHold);
    flags.option.set(option_bits::kNoDevice);
    flags.setXUnit(XUnit::Wavenumber);
    EXPECT_EQ(flags.status.load(), (5u << 13) | (3u << 5) | (2u << 10) | 4u);
    EXPECT_EQ(flags.packed(), static_cast<std::uint32_t>(flags.status.load()) | (0x102u << 16));
    flags.setDisplayMode(DisplayMode::Scope);
    EXPECT_EQ(flags.displayMode(), DisplayMode::Scope);
    EXPECT_EQ(flags.darkSource(), DarkSource::BuiltInShutter);

    DisplayFlags copy;
    copy.unpack(flags.packed());
    EXPECT_EQ(copy.option.load(), flags.option.load());
    EXPECT_EQ(copy.referenceSource(), ReferenceSource::ColourTile);
}

TEST(Sensors, NamesAreMatchedWithoutCaseAndGiveTheirLimits) {
    const auto tcd = sensorFromCcdName("tcd1304");
    ASSERT_TRUE(tcd);
    EXPECT_EQ(tcd->boardType, 1);
    EXPECT_EQ(tcd->maxIntegration, 6553500);
    EXPECT_TRUE(tcd->tcd1304);
    const auto ilx = sensorFromCcdName("ILX554");
    ASSERT_TRUE(ilx);
    EXPECT_EQ(ilx->boardType, 0);
    EXPECT_TRUE(ilx->ilxType);
    EXPECT_EQ(sensorFromCcdName("S10420")->minIntegration, 6);
    EXPECT_EQ(sensorFromCcdName("S7031")->minIntegration, 7);
    const auto g9208 = sensorFromCcdName("G9208-256");
    EXPECT_EQ(g9208->boardType, 5);
    EXPECT_EQ(g9208->inGaAsKind, 4);
    EXPECT_EQ(g9208->maxIntegration, 60);
    EXPECT_EQ(sensorFromCcdName("G9212")->maxIntegration, 120000);
    EXPECT_FALSE(sensorFromCcdName("ILX511 "));
    EXPECT_FALSE(sensorFromCcdName(""));
}

TEST(Sensors, BoardTypeChoiceGivesTheSameLimitsAsTheName) {
    EXPECT_EQ(sensorFromBoardType(3, 2)->maxIntegration,
              sensorFromCcdName("G9208-512")->maxIntegration);
    EXPECT_EQ(sensorFromBoardType(5, 3)->maxIntegration, 2000);
    EXPECT_EQ(sensorFromBoardType(4, 0)->minIntegration, 6);
    EXPECT_FALSE(sensorFromBoardType(6, 0));
    EXPECT_FALSE(sensorFromBoardType(3, 5));
}

TEST(Sensors, BadPixelsBecomeRawIndexes) {
    EXPECT_EQ(parseBadPixels(" 1, 2;;3  ,", 0), (std::vector<int>{32, 33, 34}));
    EXPECT_EQ(parseBadPixels("5", 2), std::vector<int>{14});
    EXPECT_EQ(parseBadPixels("5", 4), std::vector<int>{14});
    EXPECT_EQ(parseBadPixels("5 7x", 5), (std::vector<int>{4, 6}));
    // Pixel numbers outside 1..N would index outside the frame.
    EXPECT_EQ(parseBadPixels("0 -3 abc 257 256", 5), std::vector<int>{255});
    EXPECT_EQ(parseBadPixels("3648", 1), std::vector<int>{3679});
    EXPECT_TRUE(parseBadPixels("", 0).empty());
}

TEST(Sensors, GeometryAndModelStrings) {
    EXPECT_EQ(geometryFor(1)->fftLength, 4096);
    EXPECT_EQ(geometryFor(2)->totalPixels, 1056);
    EXPECT_FALSE(geometryFor(6));
    EXPECT_STREQ(modelStringFor(2), "Quillon PDA");
    EXPECT_STREQ(modelStringFor(9), "Quillon 2422");
    EXPECT_TRUE(hasCoolerRecord(2));
    EXPECT_FALSE(hasCoolerRecord(4));
}
