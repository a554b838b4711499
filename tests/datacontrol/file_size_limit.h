// Test help: a write that fails even for root, whom no permission stops.
#ifndef QUILLON_TESTS_DATACONTROL_FILE_SIZE_LIMIT_H
#define QUILLON_TESTS_DATACONTROL_FILE_SIZE_LIMIT_H

#include <sys/resource.h>

#include <csignal>

namespace quillon::test {

// Lowers the largest file this process may write, so that a write fails
// even for root, whom no permission stops.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};

} // namespace quillon::test

#endif
