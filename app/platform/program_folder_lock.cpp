#include "platform/program_folder_lock.h"

#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quillon::platform {

namespace {

// Short enough that a waiting run starts soon after the other one ends.
constexpr std::chrono::milliseconds kRetryInterval{50};

} // namespace

#ifdef _WIN32

ProgramFolderLock::ProgramFolderLock(const std::filesystem::path &folder,
                                     std::chrono::milliseconds wait)
    : file_(folder / kLockFileName) {
    HANDLE handle = CreateFileW(file_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error_ = "cannot open the lock file " + file_.string();
        return;
    }
    handle_ = handle;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        OVERLAPPED whole{};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole)) {
            state_ = State::Held;
            return;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            error_ = "cannot lock " + file_.string();
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            state_ = State::Busy;
            error_ = "another Quillon program is using the folder " + folder.string();
            return;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
}

ProgramFolderLock::~ProgramFolderLock() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_)); // closing releases the lock
    }
}

#else

ProgramFolderLock::ProgramFolderLock(const std::filesystem::path &folder,
                                     std::chrono::milliseconds wait)
    : file_(folder / kLockFileName) {
    // O_NOFOLLOW: a link planted in the folder must not make the program
    // create or truncate files elsewhere. Nothing is ever written to it.
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd_ < 0) {
        error_ = "cannot open the lock file " + file_.string() + ": " + std::strerror(errno);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            state_ = State::Held;
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            error_ = "cannot lock " + file_.string() + ": " + std::strerror(errno);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            state_ = State::Busy;
            error_ = "another Quillon program is using the folder " + folder.string();
            return;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
}

ProgramFolderLock::~ProgramFolderLock() {
    if (fd_ >= 0) {
        ::close(fd_); // closing releases the lock
    }
}

#endif

} // namespace quillon::platform
