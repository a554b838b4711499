// The scan-done event: an auto-reset event. set() lets exactly one wait
// through (or the next one, when nobody is waiting); the event then resets.
#ifndef QUILLON_APP_PLATFORM_AUTO_RESET_EVENT_H
#define QUILLON_APP_PLATFORM_AUTO_RESET_EVENT_H

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillon {

class AutoResetEvent {
public:
    AutoResetEvent() = default; // created unsignalled
    AutoResetEvent(const AutoResetEvent &) = delete;
    AutoResetEvent &operator=(const AutoResetEvent &) = delete;

    void set();
    // Drops a signal nobody has taken yet.
    void reset();
    // Blocks until signalled, then resets.
    void wait();
    // True when signalled within `timeout` (the event is then reset), false
    // when the time ran out.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

} // namespace quillon

#endif
