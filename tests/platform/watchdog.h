// Ends the test program when a call that must return at once blocks: a
// regression then fails the test instead of hanging the whole run.
#ifndef QUILLON_TESTS_PLATFORM_WATCHDOG_H
#define QUILLON_TESTS_PLATFORM_WATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace quillon::test {

class Watchdog {
public:
    explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(10))
        : task(std::move(what)), thread([this, limit] { watch(limit); }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex);
            done = true;
        }
        finished.notify_all();
        thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    void watch(std::chrono::seconds limit) {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, limit, [this] { return done; })) {
            std::fprintf(stderr, "FAILED: %s did not return within %lld s\n", task.c_str(),
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::_Exit(1); // no handler may run: the test is stuck
        }
    }

    std::string task;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread thread;
};

} // namespace quillon::test

#endif
