// Dark and reference files: layout, round trip and refusal of damaged files.
#include "datafiles/byte_codec.h"
#include "datafiles/dark_files.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

SpectrumFile sample(std::uint16_t pixels) {
    SpectrumFile f;
    f.model.name = "Quillon ILX511";
    f.model.boardType = 0;
    f.model.scanValue = 17.25f;
    f.geometry.totalPixels = 2080;
    f.geometry.firstActivePixel = 20;
    f.geometry.activePixels = pixels;
    f.geometry.adcBits = 16;
    f.acquisition.timeAverage = 4;
    for (std::uint16_t i = 0; i < pixels; ++i) {
        f.spectrum.push_back(500.0f + i);
    }
    f.condition.noiseEstimate = 3.5f;
    f.trailingValue = 17.25f;
    return f;
}

TEST(SpectrumFiles, DarkLayoutAndRoundTrip) {
    const std::string bytes = encodeSpectrumFile(SpectrumFileKind::Dark, sample(3));
    ASSERT_EQ(bytes.size(), 76u + 72 + 16 + 12 + 20 + 4);
    datafiles::ByteReader in(bytes);
    in.seek(72);
    EXPECT_FLOAT_EQ(in.f32(), 17.25f); // the dark's level in the model record
    in.seek(76 + 8);
    EXPECT_EQ(in.u16(), 3);
    in.seek(76 + 72 + 4);
    EXPECT_EQ(in.u16(), 4);
    in.seek(164);
    EXPECT_FLOAT_EQ(in.f32(), 500.0f);
    in.seek(176);
    EXPECT_FLOAT_EQ(in.f32(), 3.5f);
    in.seek(196);
    EXPECT_FLOAT_EQ(in.f32(), 17.25f);

    std::string error;
    auto back = decodeSpectrumFile(SpectrumFileKind::Dark, bytes, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->spectrum, sample(3).spectrum);
    EXPECT_FLOAT_EQ(back->condition.noiseEstimate, 3.5f);
    EXPECT_EQ(back->acquisition.timeAverage, 4);
}

TEST(SpectrumFiles, ReferenceHasNothingAfterItsSpectrum) {
    const std::string bytes = encodeSpectrumFile(SpectrumFileKind::Reference, sample(3));
    EXPECT_EQ(bytes.size(), 76u + 72 + 16 + 12);
    std::string error;
    EXPECT_TRUE(decodeSpectrumFile(SpectrumFileKind::Reference, bytes, error));
    // A dark file is not a reference file, nor the other way round.
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Dark, bytes, error));
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Reference,
                                    encodeSpectrumFile(SpectrumFileKind::Dark, sample(3)), error));
}

TEST(SpectrumFiles, DamagedFilesAreRefused) {
    std::string error;
    std::string bytes = encodeSpectrumFile(SpectrumFileKind::Dark, sample(3));
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Dark, bytes.substr(0, 100), error));
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Dark, bytes + "x", error));
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Dark, "", error));
    // A pixel count beyond any sensor, with the bytes to match its claim missing.
    bytes[76 + 8] = static_cast<char>(0xFF);
    bytes[76 + 9] = static_cast<char>(0xFF);
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Dark, bytes, error));
    EXPECT_FALSE(error.empty());
    // A spectrum value that is not a number.
    std::string nan = encodeSpectrumFile(SpectrumFileKind::Reference, sample(3));
    nan[164 + 3] = static_cast<char>(0x7F);
    nan[164 + 2] = static_cast<char>(0xC0);
    EXPECT_FALSE(decodeSpectrumFile(SpectrumFileKind::Reference, nan, error));
}

} // namespace
} // namespace quillon
