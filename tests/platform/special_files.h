// Test help: files that are not regular files, which readers must refuse
// at once instead of blocking on them or reading without end.
#ifndef QUILLON_TESTS_PLATFORM_SPECIAL_FILES_H
#define QUILLON_TESTS_PLATFORM_SPECIAL_FILES_H

#include <filesystem>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quillon::test {

// Something at `path` that is there but is no regular file: a FIFO, which
// blocks a reader that waits for a writer; on Windows, which has no FIFOs in
// the file system, a folder.
inline bool makeNonRegularFile(const std::filesystem::path &path) {
#ifdef _WIN32
    std::error_code error;
    return std::filesystem::create_directory(path, error);
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

// What makeNonRegularFile() made is still there as it was.
inline bool isNonRegularFile(const std::filesystem::path &path) {
    std::error_code error;
#ifdef _WIN32
    return std::filesystem::is_directory(path, error);
#else
    return std::filesystem::is_fifo(path, error);
#endif
}

// A device that is never a regular file: endless on POSIX, the null device
// on Windows.
#ifdef _WIN32
inline const std::string kDeviceFile = "NUL";
#else
inline const std::string kDeviceFile = "/dev/zero";
#endif

} // namespace quillon::test

// Windows grants symbolic links to privileged users only (and Wine has none).
#define QUILLON_SYMLINK_OR_SKIP(target, link)                                                      \
    do {                                                                                           \
        std::error_code symlinkError;                                                              \
        std::filesystem::create_symlink((target), (link), symlinkError);                           \
        if (symlinkError) {                                                                        \
            GTEST_SKIP() << "no symbolic links here: " << symlinkError.message();                  \
        }                                                                                          \
    } while (false)

#endif
