// The launcher's "open" action through the real shell: a setup program that
// is not there is told as a failure, never as a start.
#include "shell_open.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(ShellOpen, AMissingFileIsNotStarted) {
    const fs::path missing = fs::temp_directory_path() / "quillon_no_such_setup" / "setup.exe";
    EXPECT_FALSE(quillon::launcher::shellOpen(missing.wstring()));
    EXPECT_FALSE(quillon::launcher::shellOpen(L""));
}

} // namespace
