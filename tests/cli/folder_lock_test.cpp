// A run whose program folder is held by another run gives up after its
// wait with a clear message and exit code 5, touching nothing there.
#include "../datacontrol/temp_folder.h"
#include "cli/command_line.h"
#include "cli/runner.h"
#include "platform/program_folder_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(FolderLock, ARunWaitsForTheFolderThenGivesUp) {
    const quillon::test::TempFolder folder;
    const fs::path previous = fs::current_path();
    const quillon::platform::ProgramFolderLock other(folder.path, 0ms);
    ASSERT_TRUE(other.held()) << other.error();

    const std::vector<std::string> args{"--workdir", folder.path.string(), "units"};
    std::ostringstream out;
    std::ostringstream err;
    const int code = quillon::cli::runQuillon(args, out, err, 200ms);
    fs::current_path(previous);

    EXPECT_EQ(code, quillon::cli::kExitFolderBusy);
    EXPECT_EQ(err.str(), "quillon: another Quillon program is using the folder " +
                             folder.path.string() + "; gave up after 0.2 s\n");
    EXPECT_EQ(out.str(), "");
    // Nothing was started: no settings file, no unit folder.
    EXPECT_FALSE(fs::exists(folder / "QuillonX.ini"));
    EXPECT_FALSE(fs::exists(folder / "Ini"));
}

} // namespace
