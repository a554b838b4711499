// The few file calls the safe writers need, on file descriptors of the C
// runtime, spelled once for POSIX and once for Windows. Files are always
// binary: line ends are chosen by the writers, never by the runtime.
#ifndef QUILLON_PLATFORM_NATIVE_IO_H
#define QUILLON_PLATFORM_NATIVE_IO_H

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quillon::platform::native {

#ifdef _WIN32
// Not inherited by child processes, as O_CLOEXEC on POSIX. Windows has no
// FIFOs or terminals to guard against, so the other flags have no match.
inline constexpr int kPrivate = O_BINARY | O_NOINHERIT;
inline constexpr int kNoWait = 0;
#else
inline constexpr int kPrivate = O_CLOEXEC;
// O_NONBLOCK: opening a FIFO without a writer must not wait for one;
// O_NOCTTY: a terminal named as a file must not become ours.
inline constexpr int kNoWait = O_NONBLOCK | O_NOCTTY;
#endif

inline int openFile(const std::filesystem::path &path, int flags, int mode = 0666) {
#ifdef _WIN32
    // The permission argument knows only read-only or not.
    return ::_wopen(path.c_str(), flags | kPrivate,
                    (mode & 0200) ? _S_IREAD | _S_IWRITE : _S_IREAD);
#else
    return ::open(path.c_str(), flags | kPrivate, mode);
#endif
}

// Everything written so far is on the disk.
inline bool syncFile(int fd) {
#ifdef _WIN32
    return ::_commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// The data written so far is on the disk (the file's times may follow later).
inline bool syncData(int fd) {
#if defined(_WIN32)
    return ::_commit(fd) == 0;
#elif defined(__APPLE__)
    return ::fsync(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

inline bool truncateTo(int fd, std::uint64_t size) {
#ifdef _WIN32
    return ::_chsize_s(fd, static_cast<__int64>(size)) == 0 &&
           ::_lseeki64(fd, static_cast<__int64>(size), SEEK_SET) >= 0;
#else
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
#endif
}

// Puts `from` in the place of `to` in one step; an existing `to` is replaced.
inline bool replaceFile(const std::filesystem::path &from, const std::filesystem::path &to) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// A replaced file keeps its permissions (a private file stays private).
inline void copyPermissions(const std::filesystem::path &from, [[maybe_unused]] int toFd) {
#ifdef _WIN32
    // A new file inherits the folder's access list, as the old one did; the
    // read-only mark is the only permission the runtime shows, and a
    // read-only file is not replaced in the first place.
    (void)from;
#else
    struct stat old {};
    if (::stat(from.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(toFd, old.st_mode & 07777);
    }
#endif
}

inline long processId() {
#ifdef _WIN32
    return static_cast<long>(::_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

inline std::optional<std::filesystem::path> executablePath() {
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::nullopt;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2); // the name was cut off
    }
#else
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return program;
#endif
}

} // namespace quillon::platform::native

#endif
