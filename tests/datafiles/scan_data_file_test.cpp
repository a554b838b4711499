// The scan data file: its byte layout, both forms, and files that are cut
// short, foreign or hostile.
#include "datafiles/byte_codec.h"
#include "datafiles/record_codec.h"
#include "datafiles/scan_data_file.h"

#include "datacontrol/display_flags.h"
#include "platform/files.h"

#include "../datacontrol/file_size_limit.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using datafiles::ByteReader;
using datafiles::ByteWriter;

class ScanDataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("quillon_sdf_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    static ScanDataContext context(std::uint16_t pixels) {
        ScanDataContext c;
        c.model.name = "whatever the unit said";
        c.model.boardType = 1;
        c.geometry.totalPixels = static_cast<std::uint16_t>(pixels + 10);
        c.geometry.firstActivePixel = 5;
        c.geometry.activePixels = pixels;
        c.geometry.adcBits = 16;
        c.geometry.boardType = 1;
        c.geometry.fftLength = 8;
        c.geometry.wavelengthOfPixel = {300.0f, 0.5f, -1e-5f, 0.0f, 0.0f};
        c.geometry.pixelOfWavelength = {-600.0f, 2.0f, 1e-4f, 0.0f, 0.0f};
        c.acquisition.timeAverage = 3;
        c.acquisition.binningAverage = 2;
        c.acquisition.smoothingPercent = 40;
        c.display.pixelStart = 1;
        c.display.pixelEnd = pixels;
        c.display.countMax = 65535;
        c.display.wavelengthStart = 300.0f;
        c.display.wavelengthEnd = 900.0f;
        c.display.wavelengthStep = 1.0f;
        c.limits = {20, 1, 65535};
        c.statusWord = 0x1234;
        c.optionWord = option_bits::kExternalTrigger | option_bits::kWavelengthBase;
        for (std::uint16_t i = 0; i < pixels; ++i) {
            c.dark.push_back(100.0f + i);
            c.reference.push_back(3000.0f + 2 * i);
        }
        c.darkOb = 12.5f;
        c.referenceOb = 13.5f;
        return c;
    }

    static MemoryList items(int count, std::uint16_t pixels) {
        MemoryList list;
        for (int k = 1; k <= count; ++k) {
            std::vector<std::int32_t> counts(pixels);
            for (std::uint16_t i = 0; i < pixels; ++i) {
                counts[i] = k * 1000 + i;
            }
            EXPECT_TRUE(list.append({"Project " + std::to_string(k), "Sample " + std::to_string(k),
                                     "12/09/2026  10:11:1" + std::to_string(k)},
                                    counts, -k));
        }
        return list;
    }

    static std::string bytesOf(const fs::path &file) {
        return platform::readWholeFile(file, std::size_t{1} << 30).value_or("");
    }
    static void writeBytes(const fs::path &file, std::string_view bytes) {
        std::ofstream(file, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path folder;
};

TEST_F(ScanDataFileTest, HeaderFieldsLieAtTheirOffsets) {
    const std::string h = encodeScanDataHeader(context(4));
    ASSERT_EQ(h.size(), 76u + 72 + 16 + 56 + 12 + 4 + 4 * 4 + 4 + 4 * 4 + 4);
    ByteReader in(h);
    // Model record: the name of the sensor, not the unit's own text.
    EXPECT_EQ(in.text(64), "Quillon TCD1304");
    EXPECT_EQ(in.i32(), 1);
    // Geometry at 76: active pixels at +8, BoardType at +12, polynomials at +28.
    in.seek(76 + 8);
    EXPECT_EQ(in.u16(), 4);
    in.seek(76 + 12);
    EXPECT_EQ(in.u16(), 1);
    in.seek(76 + 28);
    EXPECT_FLOAT_EQ(in.f32(), 300.0f);
    EXPECT_FLOAT_EQ(in.f32(), 0.5f);
    in.seek(76 + 28 + 20);
    EXPECT_FLOAT_EQ(in.f32(), -600.0f);
    // Acquisition at 148: time average +4, binning +6, smoothing +8.
    in.seek(148 + 4);
    EXPECT_EQ(in.u16(), 3);
    EXPECT_EQ(in.u16(), 2);
    EXPECT_EQ(in.u16(), 40);
    // Display at 164: four integers, then wavelength start, end, step.
    in.seek(164 + 12);
    EXPECT_EQ(in.i32(), 65535);
    EXPECT_FLOAT_EQ(in.f32(), 300.0f);
    EXPECT_FLOAT_EQ(in.f32(), 900.0f);
    // Limits at 220, then the words at 232: external trigger cleared.
    in.seek(220);
    EXPECT_EQ(in.i32(), 20);
    in.seek(232);
    EXPECT_EQ(in.u16(), 0x1234);
    EXPECT_EQ(in.u16(), option_bits::kWavelengthBase);
    // Dark, its level, reference, its level.
    EXPECT_FLOAT_EQ(in.f32(), 100.0f);
    in.seek(236 + 16);
    EXPECT_FLOAT_EQ(in.f32(), 12.5f);
    EXPECT_FLOAT_EQ(in.f32(), 3000.0f);
    in.seek(236 + 16 + 4 + 16);
    EXPECT_FLOAT_EQ(in.f32(), 13.5f);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST_F(ScanDataFileTest, ItemRecordIsTextsCountsAndScanValue) {
    const std::vector<std::int32_t> counts = {1, -2, 70000};
    const std::string item = encodeMemoryItem({"P", "S", "T"}, counts, 42);
    ASSERT_EQ(item.size(), memoryItemBytes(3));
    ByteReader in(item);
    EXPECT_EQ(in.text(64), "P");
    EXPECT_EQ(in.text(64), "S");
    EXPECT_EQ(in.text(64), "T");
    EXPECT_EQ(in.i32(), 1);
    EXPECT_EQ(in.i32(), -2);
    EXPECT_EQ(in.i32(), 70000);
    EXPECT_EQ(in.i32(), 42);
    // A text longer than its field keeps 63 characters and its NUL.
    const std::string longName(100, 'x');
    const std::string cut = encodeMemoryItem({longName, "", ""}, counts, 0);
    EXPECT_EQ(cut[62], 'x');
    EXPECT_EQ(cut[63], '\0');
}

TEST_F(ScanDataFileTest, ThreeItemsComeBackInOrderWithDarkAndReference) {
    const fs::path file = folder / "three.sdf";
    const ScanDataContext written = context(6);
    ASSERT_EQ(writeScanDataFile(file, written, items(3, 6)), "");
    std::string error;
    auto read = readScanDataFile(file, error);
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(read->earlyForm);
    EXPECT_EQ(read->droppedBytes, 0u);
    EXPECT_EQ(read->context.dark, written.dark);
    EXPECT_EQ(read->context.reference, written.reference);
    EXPECT_FLOAT_EQ(read->context.darkOb, 12.5f);
    EXPECT_EQ(read->context.limits.current, 20);
    EXPECT_EQ(read->context.acquisition.binningAverage, 2);
    EXPECT_EQ(read->context.model.name, "Quillon TCD1304");
    ASSERT_EQ(read->items.size(), 3u);
    for (int k = 1; k <= 3; ++k) {
        const MemoryItemView item = read->items.item(k);
        EXPECT_EQ(item.projectName(), "Project " + std::to_string(k));
        EXPECT_EQ(item.sampleName(), "Sample " + std::to_string(k));
        EXPECT_EQ(item.captureTime(), "12/09/2026  10:11:1" + std::to_string(k));
        EXPECT_EQ(item.count(5), k * 1000 + 5);
        EXPECT_EQ(item.scanValue(), -k);
    }
    // Written again from the mapped items, the file is the same to the byte.
    const fs::path again = folder / "again.sdf";
    ASSERT_EQ(writeScanDataFile(again, read->context, read->items), "");
    EXPECT_EQ(bytesOf(again), bytesOf(file));
}

TEST_F(ScanDataFileTest, CutLastItemIsDroppedAndCounted) {
    const fs::path file = folder / "cut.sdf";
    ASSERT_EQ(writeScanDataFile(file, context(6), items(3, 6)), "");
    std::string bytes = bytesOf(file);
    bytes.resize(bytes.size() - 10);
    writeBytes(file, bytes);
    std::string error;
    auto read = readScanDataFile(file, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->items.size(), 2u);
    EXPECT_EQ(read->droppedBytes, memoryItemBytes(6) - 10);
}

TEST_F(ScanDataFileTest, DamagedFilesAreRefusedWithAReason) {
    const fs::path file = folder / "bad.sdf";
    std::string error;
    // A header cut inside the dark spectrum.
    std::string header = encodeScanDataHeader(context(6));
    writeBytes(file, header.substr(0, 240));
    EXPECT_FALSE(readScanDataFile(file, error));
    EXPECT_NE(error.find("ends before"), std::string::npos) << error;
    // A known name with a pixel count of 60000 and no bytes behind it: no
    // allocation of that size, a refusal.
    std::string hostile = header;
    hostile[76 + 8] = static_cast<char>(0x60);
    hostile[76 + 9] = static_cast<char>(0xEA);
    writeBytes(file, hostile);
    error.clear();
    EXPECT_FALSE(readScanDataFile(file, error));
    EXPECT_FALSE(error.empty());
    // Text, an empty file, a folder, a missing file.
    writeBytes(file, std::string(5000, 'A'));
    EXPECT_FALSE(readScanDataFile(file, error));
    writeBytes(file, "");
    EXPECT_FALSE(readScanDataFile(file, error));
    EXPECT_FALSE(readScanDataFile(folder, error));
    EXPECT_FALSE(readScanDataFile(folder / "none.sdf", error));
}

TEST_F(ScanDataFileTest, NotANumberInTheHeaderBecomesZero) {
    ScanDataContext c = context(4);
    c.display.wavelengthStep = std::numeric_limits<float>::quiet_NaN();
    c.dark[1] = std::numeric_limits<float>::infinity();
    const fs::path file = folder / "nan.sdf";
    ASSERT_EQ(writeScanDataFile(file, c, items(1, 4)), "");
    std::string error;
    auto read = readScanDataFile(file, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->context.display.wavelengthStep, 0.0f);
    EXPECT_EQ(read->context.dark[1], 0.0f);
}

// The early form, built here field by field: doubles for the polynomials,
// display reals, dark and reference; no scan values; binning one higher.
TEST_F(ScanDataFileTest, EarlyFormLoadsIntoFloats) {
    std::string bytes;
    ByteWriter out(bytes);
    out.text("QX old unit", 72);
    out.f64(1.0);
    out.u16(14); // total pixels
    out.u16(0);
    out.u16(0);
    out.u16(2); // first active
    out.u16(3); // active pixels
    out.u16(16);
    out.u16(0); // BoardType
    out.zeros(28 - 14);
    for (double v : {400.0, 0.25, 0.0, 0.0, 0.0, -1600.0, 4.0, 0.0, 0.0, 0.0, 7.0}) {
        out.f64(v);
    }
    out.u16(400);
    out.u16(401);
    out.u16(2); // time average
    out.u16(3); // binning, one higher
    out.u16(10);
    out.zeros(6);
    for (std::int32_t v : {1, 3, 0, 4000}) {
        out.i32(v);
    }
    for (int i = 0; i < 10; ++i) {
        out.f64(1.5 * i);
    }
    out.i32(50);
    out.i32(1);
    out.i32(65535);
    out.u16(0x0080);
    out.u16(0);
    for (double v : {10.0, 11.0, 12.0, 2000.0, 2001.0, 2002.0}) {
        out.f64(v);
    }
    for (int k = 1; k <= 2; ++k) {
        out.text("Old", 64);
        out.text("S" + std::to_string(k), 64);
        out.text("01/01/2001  00:00:00", 64);
        out.ints(std::vector<std::int32_t>{k, k + 1, k + 2});
    }
    const fs::path file = folder / "early.sdf";
    writeBytes(file, bytes);
    std::string error;
    auto read = readScanDataFile(file, error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(read->earlyForm);
    EXPECT_EQ(read->context.geometry.activePixels, 3);
    EXPECT_FLOAT_EQ(read->context.geometry.wavelengthOfPixel[1], 0.25f);
    EXPECT_FLOAT_EQ(read->context.geometry.pixelOfWavelength[0], -1600.0f);
    EXPECT_FLOAT_EQ(read->context.geometry.spare, 7.0f);
    EXPECT_EQ(read->context.acquisition.binningAverage, 2);
    EXPECT_EQ(read->context.display.countMax, 4000);
    EXPECT_FLOAT_EQ(read->context.display.wavelengthStart, 0.0f);
    EXPECT_FLOAT_EQ(read->context.display.irrMax, 12.0f);
    EXPECT_FLOAT_EQ(read->context.display.spare, 13.5f);
    EXPECT_EQ(read->context.limits.current, 50);
    EXPECT_EQ(read->context.dark, (std::vector<float>{10, 11, 12}));
    EXPECT_EQ(read->context.reference, (std::vector<float>{2000, 2001, 2002}));
    ASSERT_EQ(read->items.size(), 2u);
    EXPECT_EQ(read->items.item(2).sampleName(), "S2");
    EXPECT_EQ(read->items.item(2).count(2), 4);
}

TEST_F(ScanDataFileTest, UnwritableFolderKeepsTheOldFileAndSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder's permission bits do not keep files out on this platform";
#else
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
#endif
    const fs::path file = folder / "keep.sdf";
    ASSERT_EQ(writeScanDataFile(file, context(4), items(2, 4)), "");
    const std::string before = bytesOf(file);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(writeScanDataFile(file, context(4), items(3, 4)), "");
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(bytesOf(file), before);
}

// A write the kernel refuses part-way (here a file-size limit, which binds
// root as well, like a full disk): the old file stays whole, no temporary
// file is left, and the reason is given.
TEST_F(ScanDataFileTest, RefusedWriteKeepsTheOldFileAndSaysWhy) {
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    const fs::path file = folder / "keep.sdf";
    ASSERT_EQ(writeScanDataFile(file, context(4), items(2, 4)), "");
    const std::string before = bytesOf(file);
    std::string error;
    {
        const quillon::test::FileSizeLimit limit(before.size() + 100);
        error = writeScanDataFile(file, context(4), items(40, 4));
    }
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ScanDataFileTest, ItemsOfAnotherPixelCountAreNotWritten) {
    EXPECT_NE(writeScanDataFile(folder / "x.sdf", context(4), items(1, 5)), "");
    EXPECT_FALSE(fs::exists(folder / "x.sdf"));
}

} // namespace
} // namespace quillon

namespace quillon {
namespace {

TEST(MemoryListTest, EraseMovesTheSelectionBackAndKeepsTheOrder) {
    MemoryList list;
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(
            list.append({"P" + std::to_string(k), "", ""}, std::vector<std::int32_t>(3, k), 0));
    }
    EXPECT_FALSE(list.append({"", "", ""}, std::vector<std::int32_t>(4, 0), 0));
    EXPECT_FALSE(list.saved());
    list.setCurrent(3);
    ASSERT_TRUE(list.erase(3));
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.item(3).projectName(), "P4");
    EXPECT_FALSE(list.erase(0));
    EXPECT_FALSE(list.erase(4));
    list.setCurrent(99);
    EXPECT_EQ(list.current(), 3);
    list.clear();
    EXPECT_EQ(list.pixels(), 0u);
    EXPECT_TRUE(list.append({"", "", ""}, std::vector<std::int32_t>(5, 1), 0));
}

} // namespace
} // namespace quillon
