// Test help: files that are not regular files, which readers must refuse
// at once instead of blocking on them or reading without end.
#ifndef QUILLON_TESTS_PLATFORM_SPECIAL_FILES_H
#define QUILLON_TESTS_PLATFORM_SPECIAL_FILES_H

#ifdef _WIN32
// Windows has no FIFOs in the file system.
#define QUILLON_MAKE_FIFO_OR_SKIP(path) GTEST_SKIP() << "no FIFOs on this platform"
#else
#include <sys/stat.h>
#define QUILLON_MAKE_FIFO_OR_SKIP(path) ASSERT_EQ(::mkfifo((path).c_str(), 0600), 0)
#endif

#include <filesystem>
#include <system_error>

// Windows grants symbolic links to privileged users only (and Wine has none).
#define QUILLON_SYMLINK_OR_SKIP(target, link)                                                     \
    do {                                                                                           \
        std::error_code symlinkError;                                                              \
        std::filesystem::create_symlink((target), (link), symlinkError);                           \
        if (symlinkError) {                                                                        \
            GTEST_SKIP() << "no symbolic links here: " << symlinkError.message();                  \
        }                                                                                          \
    } while (false)

#endif
