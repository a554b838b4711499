// A periodic timer on a thread of its own. Tick k is due at start + k x
// interval (steady clock), so a late tick never shifts the ones after it.
// A tick that ends after later deadlines have passed does not make the timer
// run those ticks back to back: it goes on with the latest deadline that has
// passed and counts the ones in between as missed.
#ifndef QUILLON_APP_ANALYSIS_PERIODIC_TIMER_H
#define QUILLON_APP_ANALYSIS_PERIODIC_TIMER_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon::analysis {

using SteadyTime = std::chrono::steady_clock::time_point;

struct TickInfo {
    std::uint64_t index = 0; // k of the deadline
    SteadyTime deadline;
    std::chrono::nanoseconds lateness{0}; // how long after its deadline the tick began
    std::uint64_t missedBefore = 0;       // deadlines passed over since the last tick
};

enum class TickResult { Continue, Stop };

// Where the next tick goes after tick `done` has ended at `now`: the latest
// deadline that has passed (when that is after `done`), else the next one.
struct NextTick {
    std::uint64_t index = 0;
    std::uint64_t missed = 0;
};
NextTick nextTickAfter(std::uint64_t done, SteadyTime start, std::chrono::nanoseconds interval,
                       SteadyTime now);

class PeriodicTimer {
public:
    using Tick = std::function<TickResult(const TickInfo &)>;
    // Runs on the timer thread after the last tick, when a tick asked to stop.
    using Ended = std::function<void()>;

    PeriodicTimer() = default;
    ~PeriodicTimer() { stop(); }
    PeriodicTimer(const PeriodicTimer &) = delete;
    PeriodicTimer &operator=(const PeriodicTimer &) = delete;

    // False when it runs already or the interval is not positive. The first
    // tick is due at once.
    bool start(std::chrono::nanoseconds interval, Tick tick, Ended ended = {});
    // From any other thread: no tick begins after it, and it returns when
    // the thread has ended. On the timer thread itself (inside a tick) it
    // only asks the loop to end after that tick: joining there would wait
    // for itself.
    void stop();
    bool running() const { return thread.joinable() && !finished.load(); }
    std::uint64_t missedTicks() const { return missed.load(); }

private:
    void loop(std::chrono::nanoseconds interval, SteadyTime start);

    Tick tick;
    Ended ended;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false; // under mutex
    std::atomic<bool> finished{false};
    std::atomic<std::thread::id> timerThread{}; // set by the loop, for stop() from a tick
    std::atomic<std::uint64_t> missed{0};
};

} // namespace quillon::analysis

#endif
