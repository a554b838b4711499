// Test help: a write that fails even for root, whom no permission stops.
#ifndef QUILLON_TESTS_DATACONTROL_FILE_SIZE_LIMIT_H
#define QUILLON_TESTS_DATACONTROL_FILE_SIZE_LIMIT_H

#include <cstdint>

#ifdef _WIN32
// Windows has no limit of the file size per process, and nothing else that
// makes a write fail part-way for an administrator; the tests that need one
// are skipped there.
#define QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT()                                                     \
    GTEST_SKIP() << "no per-process file-size limit on this platform"
#else
#include <sys/resource.h>

#include <csignal>
#define QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT() (void)0
#endif

namespace quillon::test {

// Lowers the largest file this process may write, so that a write fails
// even for root, whom no permission stops.
class FileSizeLimit {
public:
#ifdef _WIN32
    explicit FileSizeLimit(std::uintmax_t) {}
#else
    explicit FileSizeLimit(std::uintmax_t bytes) {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
#endif
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

#ifndef _WIN32
private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
#endif
};

} // namespace quillon::test

#endif
