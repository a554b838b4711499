#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace quillon::platform;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() /
            ("quillon_files_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string readAll(const fs::path &file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::size_t entriesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path folder;
};

TEST_F(FilesTest, ReplaceTextFileReplacesWholeFileAndLeavesNoTemporary) {
    const fs::path target = folder / "a.ini";
    ASSERT_TRUE(replaceTextFile(target, "first version, rather long\n"));
    ASSERT_TRUE(replaceTextFile(target, "x=1\ny=2\n"));
    std::string expected = "x=1";
    expected += textLineEnd();
    expected += "y=2";
    expected += textLineEnd();
    EXPECT_EQ(readAll(target), expected);
    EXPECT_EQ(entriesInFolder(), 1u);
}

TEST_F(FilesTest, FailedReplaceReportsFailureAndLeavesNoTemporary) {
    EXPECT_FALSE(replaceTextFile(folder / "missing_dir" / "x.ini", "new\n"));
    // A non-empty directory in the way makes the final rename fail.
    fs::create_directories(folder / "blocked.ini" / "inside");
    EXPECT_FALSE(replaceTextFile(folder / "blocked.ini", "new\n"));
    EXPECT_TRUE(fs::is_directory(folder / "blocked.ini" / "inside"));
    EXPECT_EQ(entriesInFolder(), 1u);
}

TEST_F(FilesTest, CopyFileOverRemovesStaleTargetWhenSourceIsMissing) {
    const fs::path target = folder / "TempIni_0.ini";
    ASSERT_TRUE(replaceTextFile(target, "stale\n"));
    EXPECT_FALSE(copyFileOver(folder / "Serial.ini", target));
    EXPECT_FALSE(fileExists(target));

    ASSERT_TRUE(replaceTextFile(folder / "Serial.ini", "[Factory Default]\n"));
    EXPECT_TRUE(copyFileOver(folder / "Serial.ini", target));
    EXPECT_EQ(readAll(target), readAll(folder / "Serial.ini"));
}

TEST_F(FilesTest, EnsureFolderCreatesNestedAndAcceptsExisting) {
    EXPECT_TRUE(ensureFolder(folder / "Data" / "sub"));
    EXPECT_TRUE(ensureFolder(folder / "Data"));
    ASSERT_TRUE(replaceTextFile(folder / "file", "x"));
    EXPECT_FALSE(ensureFolder(folder / "file"));
}

} // namespace
