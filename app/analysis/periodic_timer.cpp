#include "analysis/periodic_timer.h"

namespace quillon::analysis {

NextTick nextTickAfter(std::uint64_t done, SteadyTime start, std::chrono::nanoseconds interval,
                       SteadyTime now) {
    NextTick next{done + 1, 0};
    if (now <= start || interval.count() <= 0) {
        return next;
    }
    const auto passed = static_cast<std::uint64_t>((now - start) / interval);
    if (passed > done + 1) {
        next.index = passed;
        next.missed = passed - done - 1;
    }
    return next;
}

bool PeriodicTimer::start(std::chrono::nanoseconds interval, Tick onTick, Ended onEnded) {
    if (thread.joinable() || interval.count() <= 0 || !onTick) {
        return false;
    }
    tick = std::move(onTick);
    ended = std::move(onEnded);
    stopRequested = false;
    finished = false;
    missed = 0;
    const SteadyTime begin = std::chrono::steady_clock::now();
    thread = std::thread([this, interval, begin] { loop(interval, begin); });
    return true;
}

void PeriodicTimer::stop() {
    {
        const std::lock_guard lock(mutex);
        stopRequested = true;
    }
    wake.notify_all();
    // From a tick the flag is all: the loop ends after the tick returns. The
    // thread object is not even looked at there, since its owner may still
    // be storing it when the first tick runs.
    if (timerThread.load() == std::this_thread::get_id()) {
        return;
    }
    if (thread.joinable()) {
        thread.join();
    }
}

void PeriodicTimer::loop(std::chrono::nanoseconds interval, SteadyTime begin) {
    timerThread.store(std::this_thread::get_id());
    TickInfo info;
    bool askedToStop = false;
    for (;;) {
        info.deadline = begin + interval * static_cast<std::int64_t>(info.index);
        {
            std::unique_lock lock(mutex);
            wake.wait_until(lock, info.deadline, [this] { return stopRequested; });
            if (stopRequested) {
                break;
            }
        }
        const SteadyTime now = std::chrono::steady_clock::now();
        info.lateness = now > info.deadline ? now - info.deadline : std::chrono::nanoseconds(0);
        if (tick(info) == TickResult::Stop) {
            askedToStop = true;
            break;
        }
        const NextTick next =
            nextTickAfter(info.index, begin, interval, std::chrono::steady_clock::now());
        missed.fetch_add(next.missed);
        info.missedBefore = next.missed;
        info.index = next.index;
    }
    if (askedToStop && ended) {
        ended();
    }
    finished = true;
}

} // namespace quillon::analysis
