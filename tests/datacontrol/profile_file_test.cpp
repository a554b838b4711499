#include "datacontrol/profile_file.h"

#include "../platform/special_files.h"
#include "../platform/watchdog.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <random>

using namespace quillon;
using quillon::test::readBytes;
using quillon::test::TempFolder;
using quillon::test::writeBytes;

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    ProfileFile loaded(const std::string &content) {
        writeBytes(file, content);
        ProfileFile profile;
        profile.SetPath(file);
        EXPECT_TRUE(profile.Load());
        return profile;
    }

    TempFolder folder;
    std::filesystem::path file = folder / "settings.ini";
};

TEST_F(ProfileFileTest, ConstructionCreatesMissingFileEmptyAndLeavesExistingAlone) {
    { ProfileFile created(file); }
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), 0u);

    writeBytes(file, "[A]\nk=v\n");
    ProfileFile existing(file);
    EXPECT_EQ(readBytes(file), "[A]\nk=v\n");
    EXPECT_TRUE(existing.Load());
    EXPECT_EQ(existing.GetText("A", "k"), "v");
}

TEST_F(ProfileFileTest, LoadOfMissingFileFailsWithoutErrorText) {
    ProfileFile profile;
    profile.SetPath(folder / "absent.ini");
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(profile.LastError(), "");
    EXPECT_FALSE(std::filesystem::exists(folder / "absent.ini"));
}

TEST_F(ProfileFileTest, LoadOfUnreadableFileSetsErrorText) {
    ProfileFile profile;
    profile.SetPath(folder.path); // a folder exists but is no file
    EXPECT_FALSE(profile.Load());
    EXPECT_EQ(profile.LastError(), "Unable to open ini file.");
}

TEST_F(ProfileFileTest, FifoDeviceAndOversizedFileAreRefusedWithoutBlocking) {
    const quillon::test::Watchdog watchdog("opening a FIFO or a device as a settings file");
    const auto fifo = folder / "fifo.ini";
    ASSERT_TRUE(quillon::test::makeNonRegularFile(fifo));
    ProfileFile onFifo(fifo);
    EXPECT_FALSE(onFifo.Load());
    EXPECT_EQ(onFifo.LastError(), "Unable to open ini file.");
    EXPECT_TRUE(quillon::test::isNonRegularFile(fifo));

    ProfileFile onDevice{std::filesystem::path(quillon::test::kDeviceFile)};
    EXPECT_FALSE(onDevice.Load());
    EXPECT_EQ(onDevice.LastError(), "Unable to open ini file.");

    { std::ofstream big(file); }
    std::filesystem::resize_file(file, ProfileFile::kMaxFileSize + 1);
    ProfileFile oversized(file);
    EXPECT_FALSE(oversized.Load());
    EXPECT_EQ(oversized.LastError(), "Unable to open ini file.");
    EXPECT_EQ(std::filesystem::file_size(file), ProfileFile::kMaxFileSize + 1);
}

TEST_F(ProfileFileTest, SaveReportsAFileThatCannotBeWritten) {
    writeBytes(file, "x");
    ProfileFile profile;
    profile.SetPath(file / "below.ini"); // its folder is a regular file
    profile.PutText("S", "k", "v");
    EXPECT_FALSE(profile.Save());
}

TEST_F(ProfileFileTest, LargeFilesKeepOrderRepeatsAndRemovals) {
    // 100,000 keys in one section (every tenth repeated later) and 50,000
    // small sections, each named twice.
    constexpr int kKeys = 100000;
    constexpr int kSections = 50000;
    std::string text = "[Big]\n";
    for (int i = 0; i < kKeys; ++i) {
        text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    }
    for (int i = 0; i < kKeys; i += 10) {
        text += "k" + std::to_string(i) + "=again\n";
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kSections; ++i) {
            text += "[S" + std::to_string(i) + "]\nv" + std::to_string(pass) + "=" +
                    std::to_string(i) + "\n";
        }
    }
    ProfileFile profile = loaded(text);
    ASSERT_EQ(profile.SectionCount(), 1u + kSections);
    ASSERT_EQ(profile.EntryCount(0), static_cast<std::size_t>(kKeys));
    EXPECT_EQ(profile.KeyName(0, 12345), "k12345");
    EXPECT_EQ(profile.GetText("Big", "k12340"), "again");
    EXPECT_EQ(profile.GetText("Big", "k12341"), "12341");
    EXPECT_EQ(profile.FindSection("S49999"), kSections);
    EXPECT_EQ(profile.EntryCount(static_cast<std::size_t>(profile.FindSection("S777"))), 2u);
    EXPECT_EQ(profile.GetText("S777", "v1"), "777");

    // Removing a key moves the later ones up; lookups follow.
    ASSERT_TRUE(profile.RemoveEntry("Big", "k5"));
    EXPECT_EQ(profile.FindEntry(0, "k5"), -1);
    EXPECT_EQ(profile.FindEntry(0, "k6"), 5);
    EXPECT_EQ(profile.FindEntry(0, "k99999"), kKeys - 2);
    ASSERT_TRUE(profile.PutText("Big", "k5", "back"));
    EXPECT_EQ(profile.KeyName(0, static_cast<std::size_t>(kKeys - 1)), "k5");
    EXPECT_EQ(profile.GetText("Big", "k5"), "back");

    profile.Clear();
    EXPECT_EQ(profile.FindSection("Big"), -1);
    EXPECT_TRUE(profile.PutText("Big", "k1", "1"));
    EXPECT_EQ(profile.FindEntry(profile.FindSection("Big"), "k1"), 0);
}

TEST_F(ProfileFileTest, LineRules) {
    ProfileFile profile = loaded("top=1\n"
                                 "\n"
                                 "[[Main]]\n"
                                 "a=b=c\n"
                                 "Key = 5\n"
                                 "a=second\n"
                                 "no equals sign\n"
                                 "[Other]\r\n"
                                 "x=1\r\n");
    EXPECT_EQ(profile.GetText("", "top"), "1");
    EXPECT_EQ(profile.GetText("Main", "a"), "second"); // a repeated key overwrites
    EXPECT_EQ(profile.GetText("Main", "Key "), " 5");
    EXPECT_EQ(profile.GetText("Main", "Key"), "");
    EXPECT_EQ(profile.LastError(), "Unable to locate specified value.");
    EXPECT_EQ(profile.GetText("Other", "x"), "1"); // CR LF line ends read as text mode does
    EXPECT_EQ(profile.FindEntry(profile.FindSection("Main"), "no equals sign"), 2);
    ASSERT_EQ(profile.SectionCount(), 3u);
    EXPECT_EQ(profile.SectionName(1), "Main");
}

TEST_F(ProfileFileTest, RepeatedKeyKeepsItsFirstPosition) {
    ProfileFile profile = loaded("[S]\na=1\nb=2\na=3\n");
    EXPECT_EQ(profile.ToText(), "[S]\na=3\nb=2\n\n");
}

TEST_F(ProfileFileTest, LoadAppendsToWhatIsHeld) {
    ProfileFile profile;
    profile.PutText("S", "mine", "1");
    profile.PutText("S", "k", "old");
    writeBytes(file, "[S]\nk=new\n[T]\nt=2\n");
    profile.SetPath(file);
    ASSERT_TRUE(profile.Load());
    EXPECT_EQ(profile.ToText(), "[S]\nmine=1\nk=new\n\n[T]\nt=2\n\n");
}

TEST_F(ProfileFileTest, NamesAreCaseSensitive) {
    ProfileFile profile = loaded("[Extend Options]\nTimeAV=4\n");
    EXPECT_EQ(profile.GetInt("extend options", "TimeAV"), 0);
    EXPECT_EQ(profile.LastError(), "Unable to locate specified key.");
    EXPECT_EQ(profile.GetInt("Extend Options", "timeav"), 0);
    EXPECT_EQ(profile.LastError(), "Unable to locate specified value.");
    EXPECT_EQ(profile.GetInt("Extend Options", "TimeAV"), 4);
}

TEST_F(ProfileFileTest, RealsAreWrittenWithTwoDecimalsInSevenColumns) {
    ProfileFile profile;
    profile.PutReal("S", "three", 3);
    profile.PutReal("S", "big", 110);
    profile.PutReal("S", "long", 100000000.0);
    profile.PutReal("S", "round", 1.006);
    profile.PutReal("S", "neg", -10);
    EXPECT_EQ(profile.GetText("S", "three"), "3.00   ");
    EXPECT_EQ(profile.GetText("S", "big"), "110.00 ");
    EXPECT_EQ(profile.GetText("S", "long"), "100000000.00");
    EXPECT_EQ(profile.GetText("S", "round"), "1.01   ");
    EXPECT_EQ(profile.GetText("S", "neg"), "-10.00 ");
    EXPECT_DOUBLE_EQ(profile.GetReal("S", "three"), 3.0);
    EXPECT_DOUBLE_EQ(profile.GetReal("S", "round"), 1.01);
}

TEST_F(ProfileFileTest, NumbersFollowCRules) {
    ProfileFile profile = loaded("[N]\n"
                                 "lead=  42abc\n"
                                 "neg=-17\n"
                                 "plus=+8\n"
                                 "word=abc\n"
                                 "empty=\n"
                                 "huge=99999999999999999999999\n"
                                 "unsigned=4294901760\n"
                                 "real= 2.5e1x\n"
                                 "nan=nan\n");
    EXPECT_EQ(profile.GetInt("N", "lead"), 42);
    EXPECT_EQ(profile.GetInt("N", "neg"), -17);
    EXPECT_EQ(profile.GetInt("N", "plus"), 8);
    EXPECT_EQ(profile.GetInt("N", "word"), 0);
    EXPECT_EQ(profile.GetInt("N", "empty"), 0);
    EXPECT_EQ(profile.GetInt("N", "missing"), 0);
    EXPECT_EQ(profile.GetInt("N", "huge"), 2147483647);
    EXPECT_EQ(profile.GetLong("N", "unsigned"), 4294901760u);
    EXPECT_EQ(profile.GetLong("N", "neg"), static_cast<std::uint32_t>(-17));
    EXPECT_DOUBLE_EQ(profile.GetReal("N", "real"), 25.0);
    EXPECT_DOUBLE_EQ(profile.GetReal("N", "nan"), 0.0);
}

TEST_F(ProfileFileTest, PutWithoutCreateNeedsExistingSectionAndKey) {
    ProfileFile profile;
    EXPECT_FALSE(profile.PutText("S", "k", "v", false));
    EXPECT_TRUE(profile.PutText("S", "k", "v", true));
    EXPECT_FALSE(profile.PutText("S", "other", "v", false));
    EXPECT_TRUE(profile.PutInt("S", "k", -5, false));
    EXPECT_EQ(profile.GetText("S", "k"), "-5");
    EXPECT_TRUE(profile.PutLong("S", "l", 4294967295u));
    EXPECT_EQ(profile.GetText("S", "l"), "4294967295");
}

TEST_F(ProfileFileTest, SaveDropsEmptySectionsAndRoundTrips) {
    ProfileFile profile(file);
    profile.PutText("", "loose", "1");
    profile.PutText("Keep", "a", "x=y");
    profile.PutText("Gone", "only", "1");
    profile.PutReal("Keep", "r", 3);
    EXPECT_TRUE(profile.RemoveEntry("Gone", "only"));
    EXPECT_FALSE(profile.RemoveEntry("Gone", "only"));
    EXPECT_FALSE(profile.RemoveEntry("Nowhere", "only"));
    ASSERT_TRUE(profile.Save());

    ProfileFile again;
    again.SetPath(file);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.FindSection("Gone"), -1);
    EXPECT_EQ(again.GetText("", "loose"), "1");
    EXPECT_EQ(again.GetText("Keep", "a"), "x=y");
    EXPECT_EQ(again.GetText("Keep", "r"), "3.00   ");
    EXPECT_EQ(again.ToText(), profile.ToText());
}

TEST_F(ProfileFileTest, ValuesCannotSmuggleLinesIntoTheFile) {
    ProfileFile profile(file);
    profile.PutText("S", "Title", "a\n[Other]\nx=1");
    ASSERT_TRUE(profile.Save());
    ProfileFile again;
    again.SetPath(file);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.FindSection("Other"), -1);
    EXPECT_EQ(again.GetText("S", "Title"), "a [Other] x=1");
}

TEST_F(ProfileFileTest, LongLinesAreCutAt2047Characters) {
    const std::string value(10000, 'v');
    ProfileFile profile = loaded("[S]\nk=" + value + "\nnext=1\n");
    EXPECT_EQ(profile.GetText("S", "k").size(), 2045u); // 2047 minus "k="
    EXPECT_EQ(profile.GetText("S", "next"), "1");
    ASSERT_EQ(profile.SectionCount(), 1u);
    EXPECT_EQ(profile.EntryCount(0), 2u);

    const std::string exact = "k=" + std::string(2045, 'w');
    ProfileFile fits = loaded("[S]\r\n" + exact + "\r\n");
    EXPECT_EQ(fits.GetText("S", "k").size(), 2045u);
}

TEST_F(ProfileFileTest, GarbageAndBinaryLoadWithoutHarm) {
    std::mt19937 random(12345);
    std::string bytes(200000, '\0');
    for (char &c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    ProfileFile profile = loaded(bytes);
    EXPECT_GT(profile.SectionCount(), 0u);
    ASSERT_TRUE(profile.Save());
    ProfileFile again;
    again.SetPath(file);
    EXPECT_TRUE(again.Load());

    ProfileFile brackets = loaded("[\n]\n[]\n[[[]]]\n=\n==\n[x\n\x01\x02=\xff\n");
    EXPECT_EQ(brackets.GetText("", ""), "="); // "==": empty key, value "="
    EXPECT_EQ(brackets.GetText("", "[x"), "");
    EXPECT_EQ(brackets.GetText("", "\x01\x02"), "\xff");
}

TEST(ProfileNumbers, FormatRealPadsAndRounds) {
    EXPECT_EQ(formatReal(0), "0.00   ");
    EXPECT_EQ(formatReal(98.5), "98.50  ");
    EXPECT_EQ(formatReal(-1234.567), "-1234.57");
    EXPECT_EQ(parseLeadingInteger("\t -9x"), -9);
    EXPECT_EQ(parseLeadingInteger("--9"), 0);
    EXPECT_DOUBLE_EQ(parseLeadingReal("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(parseLeadingReal("-+1"), 0.0);
    EXPECT_DOUBLE_EQ(parseLeadingReal("1e999"), 0.0);
}

} // namespace
