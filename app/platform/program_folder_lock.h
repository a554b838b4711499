// One program at a time per program folder. Every run of the window program
// or the command line rewrites the settings file and the unit files of its
// folder; two runs at once would overwrite each other's settings. The lock
// is an exclusive lock on a file in the program folder, held by the open
// file itself, so a crashed run never leaves the folder locked.
#ifndef QUILLON_APP_PLATFORM_PROGRAM_FOLDER_LOCK_H
#define QUILLON_APP_PLATFORM_PROGRAM_FOLDER_LOCK_H

#include <chrono>
#include <filesystem>
#include <string>

namespace quillon::platform {

class ProgramFolderLock {
public:
    // The lock file; it stays in the folder (removing it would let a second
    // run lock a new file while the first still holds the old one).
    inline static const std::string kLockFileName = "Quillon.lock";

    enum class State {
        Held,   // this object holds the folder
        Busy,   // another run held it for the whole wait
        Failed, // the lock file could not be opened or locked
    };

    // Tries to lock `folder`, waiting up to `wait` while another run holds it.
    ProgramFolderLock(const std::filesystem::path &folder, std::chrono::milliseconds wait);
    ~ProgramFolderLock();
    ProgramFolderLock(const ProgramFolderLock &) = delete;
    ProgramFolderLock &operator=(const ProgramFolderLock &) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    // What went wrong, for a message; empty while the lock is held.
    const std::string &error() const { return error_; }
    const std::filesystem::path &lockFile() const { return file_; }

private:
    std::filesystem::path file_;
    State state_ = State::Failed;
    std::string error_;
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

} // namespace quillon::platform

#endif
