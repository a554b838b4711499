#include "platform/program_folder_lock.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <future>
#include <thread>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

namespace fs = std::filesystem;
using quillon::platform::ProgramFolderLock;
using namespace std::chrono_literals;

namespace {

class ProgramFolderLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("quillon_lock_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

TEST_F(ProgramFolderLockTest, OneHolderAtATimeAndReleasedOnDestruction) {
    {
        const ProgramFolderLock first(folder, 0ms);
        ASSERT_TRUE(first.held()) << first.error();
        const ProgramFolderLock second(folder, 120ms);
        EXPECT_EQ(second.state(), ProgramFolderLock::State::Busy);
        EXPECT_NE(second.error().find(folder.string()), std::string::npos) << second.error();

#ifndef _WIN32
        // Another process sees the same.
        const pid_t child = fork();
        if (child == 0) {
            const ProgramFolderLock other(folder, 50ms);
            _exit(other.state() == ProgramFolderLock::State::Busy ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
    }
    const ProgramFolderLock again(folder, 0ms);
    EXPECT_TRUE(again.held()) << again.error();
    EXPECT_TRUE(fs::exists(folder / ProgramFolderLock::kLockFileName));
}

#ifdef _WIN32
// The lock belongs to the handle, so a holder on another thread stands for
// another run.
TEST_F(ProgramFolderLockTest, AWaitingRunGetsTheFolderWhenTheHolderEnds) {
    std::promise<bool> ready;
    std::thread holderThread([this, &ready] {
        const ProgramFolderLock holder(folder, 0ms);
        ready.set_value(holder.held());
        std::this_thread::sleep_for(300ms);
    });
    ASSERT_TRUE(ready.get_future().get());
    EXPECT_FALSE(ProgramFolderLock(folder, 0ms).held());
    const ProgramFolderLock waiting(folder, 10s);
    EXPECT_TRUE(waiting.held()) << waiting.error();
    holderThread.join();
}
#else
TEST_F(ProgramFolderLockTest, AWaitingRunGetsTheFolderWhenTheHolderEnds) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const ProgramFolderLock holder(folder, 0ms);
        const char held = holder.held() ? 1 : 0;
        [[maybe_unused]] const auto written = write(ready[1], &held, 1);
        usleep(300 * 1000);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 1);
    EXPECT_FALSE(ProgramFolderLock(folder, 0ms).held());
    const ProgramFolderLock waiting(folder, 10s);
    EXPECT_TRUE(waiting.held()) << waiting.error();
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
}
#endif

TEST_F(ProgramFolderLockTest, AFolderThatCannotHoldTheLockFileFails) {
    const ProgramFolderLock missing(folder / "missing", 0ms);
    EXPECT_EQ(missing.state(), ProgramFolderLock::State::Failed);
    EXPECT_FALSE(missing.error().empty());
}

} // namespace
