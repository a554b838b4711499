#include "platform/files.h"
#include "special_files.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;
using namespace quillon::platform;
using quillon::test::Watchdog;

namespace {

#ifndef _WIN32
// Runs `body` in a child process; its result is the child's exit code
// (0 for true), or -1 when the child did not exit normally.
int inChildProcess(const std::function<bool()> &body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

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

TEST_F(FilesTest, TwoProcessesReplacingOneFileNeverShareATemporary) {
#ifdef _WIN32
    GTEST_SKIP() << "no fork() on this platform";
#else
    const fs::path target = folder / "QuillonX.ini";
    // Large enough that two writers of one temporary file would interleave.
    const std::string first(64 * 1024, 'a');
    const std::string second(48 * 1024, 'b');
    const auto writer = [&target](const std::string &content) {
        return [&target, &content] {
            for (int round = 0; round < 150; ++round) {
                if (!replaceBinaryFile(target, content)) {
                    return false;
                }
            }
            return true;
        };
    };
    const pid_t a = fork();
    if (a == 0) {
        _exit(writer(first)() ? 0 : 1);
    }
    const int bResult = inChildProcess(writer(second));
    int aStatus = 0;
    waitpid(a, &aStatus, 0);
    EXPECT_TRUE(WIFEXITED(aStatus) && WEXITSTATUS(aStatus) == 0) << "first writer failed";
    EXPECT_EQ(bResult, 0) << "second writer failed";
    const std::string content = readAll(target);
    EXPECT_TRUE(content == first || content == second) << "mixed content, " << content.size();
    EXPECT_EQ(entriesInFolder(), 1u);
#endif
}

TEST_F(FilesTest, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    fs::create_directories(folder / "store");
    ASSERT_TRUE(replaceTextFile(folder / "store" / "real.ini", "old\n"));
    fs::permissions(folder / "store" / "real.ini", fs::perms::owner_read | fs::perms::owner_write);
    QUILLON_SYMLINK_OR_SKIP(fs::path("store") / "real.ini", folder / "link.ini");
    fs::create_symlink("link.ini", folder / "second_link.ini");

    ASSERT_TRUE(replaceTextFile(folder / "second_link.ini", "new\n"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "link.ini")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "second_link.ini")));
    EXPECT_EQ(readAll(folder / "store" / "real.ini"), readAll(folder / "link.ini"));
    EXPECT_NE(readAll(folder / "store" / "real.ini").find("new"), std::string::npos);
    // The replaced file keeps its permissions; no temporary file is left.
    EXPECT_EQ(fs::status(folder / "store" / "real.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entriesInFolder(), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "store"), fs::directory_iterator()), 1);

    // A link to a file not there yet creates that file.
    fs::create_symlink(fs::path("store") / "later.ini", folder / "dangling.ini");
    ASSERT_TRUE(replaceTextFile(folder / "dangling.ini", "x\n"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "dangling.ini")));
    EXPECT_TRUE(fs::is_regular_file(folder / "store" / "later.ini"));
}

TEST_F(FilesTest, AWriteThatFailsIsReportedAndLeavesTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "no fork() and no per-process file-size limit on this platform";
#else
    const fs::path target = folder / "QuillonX.ini";
    ASSERT_TRUE(replaceTextFile(target, "[Extend Options]\nTimeAV=2\n"));
    const std::string before = readAll(target);
    // A file-size limit fails the write even for root (no permission trick
    // holds there).
    const int result = inChildProcess([&target] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return !replaceTextFile(target, std::string(64 * 1024, 'x') + "\n");
    });
    EXPECT_EQ(result, 0) << "a write past the file-size limit was reported as done";
    EXPECT_EQ(readAll(target), before);
    EXPECT_EQ(entriesInFolder(), 1u);

    // A folder that is a regular file.
    EXPECT_FALSE(replaceTextFile(target / "below.ini", "x\n"));
#endif
}

TEST_F(FilesTest, ReadsRefuseWhatIsNotASmallRegularFile) {
    const Watchdog watchdog("reading a FIFO or a device");
#ifdef _WIN32
    EXPECT_EQ(readRegularFile("NUL").failure, FileContent::Failure::NotRegular);
    const fs::path fifo = folder / "missing";
#else
    const fs::path fifo = folder / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readRegularFile(fifo).failure, FileContent::Failure::NotRegular);
    EXPECT_EQ(readRegularFile("/dev/zero").failure, FileContent::Failure::NotRegular);
#endif
    EXPECT_EQ(readRegularFile(folder).failure, FileContent::Failure::NotRegular);
    EXPECT_EQ(readRegularFile(folder / "missing").failure, FileContent::Failure::Missing);
    EXPECT_FALSE(readWholeFile(fifo));

    ASSERT_TRUE(replaceBinaryFile(folder / "small", "12345"));
    EXPECT_EQ(readWholeFile(folder / "small", 5), "12345");
    EXPECT_EQ(readRegularFile(folder / "small", 4).failure, FileContent::Failure::TooLarge);
    { std::ofstream big(folder / "big"); }
    fs::resize_file(folder / "big", kMaxReadBytes + 1); // sparse: no disk used
    EXPECT_EQ(readRegularFile(folder / "big").failure, FileContent::Failure::TooLarge);
    EXPECT_EQ(readFailureText(FileContent::Failure::TooLarge), "it is larger than 16 MiB");

    // Copies read the same way: nothing is copied from a FIFO.
    EXPECT_FALSE(copyFileOver(folder / "fifo", folder / "copy"));
    EXPECT_FALSE(fileExists(folder / "copy"));
    // Nor is an existing FIFO opened to "create" it.
    createFileIfMissing(folder / "fifo");
    createFileIfMissing(folder / "created");
    EXPECT_TRUE(fs::is_regular_file(folder / "created"));
}

} // namespace
