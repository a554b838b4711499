// The time line's timer: absolute deadlines, missed ticks after an overrun,
// and both ways of stopping it (from a tick and from outside).
#include "analysis/periodic_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace quillon::analysis;
using namespace std::chrono_literals;

namespace {

TEST(NextTick, AnOverrunSkipsToTheLatestPassedDeadlineAndCountsTheOthers) {
    const SteadyTime start{};
    // On time, and late by less than an interval: the next deadline, nothing missed.
    EXPECT_EQ(nextTickAfter(0, start, 10ms, start + 3ms).index, 1u);
    const NextTick late = nextTickAfter(4, start, 10ms, start + 55ms);
    EXPECT_EQ(late.index, 5u);
    EXPECT_EQ(late.missed, 0u);
    // Tick 2 ended at 61 ms: deadlines 3, 4, 5 and 6 have passed; 6 runs, 3-5 are missed.
    const NextTick overrun = nextTickAfter(2, start, 10ms, start + 61ms);
    EXPECT_EQ(overrun.index, 6u);
    EXPECT_EQ(overrun.missed, 3u);
}

// Waits for a condition with a generous limit: a hang fails, not a slow machine.
template <typename F>
bool eventually(F condition) {
    const auto limit = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(PeriodicTimer, ATickThatAsksToStopEndsTheLoopAndTheEndRunsOnce) {
    PeriodicTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<int> ends{0};
    std::atomic<bool> endOnTimerThread{false};
    std::thread::id timerThread;
    std::mutex m;
    ASSERT_TRUE(timer.start(
        1ms,
        [&](const TickInfo &info) {
            {
                const std::lock_guard lock(m);
                timerThread = std::this_thread::get_id();
            }
            EXPECT_GE(info.index, static_cast<std::uint64_t>(ticks.load()));
            return ++ticks == 3 ? TickResult::Stop : TickResult::Continue;
        },
        [&] {
            const std::lock_guard lock(m);
            endOnTimerThread = std::this_thread::get_id() == timerThread;
            ++ends;
        }));
    ASSERT_TRUE(eventually([&] { return ends.load() == 1; }));
    timer.stop();
    EXPECT_EQ(ticks.load(), 3);
    EXPECT_EQ(ends.load(), 1);
    EXPECT_TRUE(endOnTimerThread.load());
    EXPECT_FALSE(timer.start(0ms, [](const TickInfo &) { return TickResult::Stop; }));
}

// Stopping inside a tick must not join the thread from itself.
TEST(PeriodicTimer, StopCalledInsideATickDoesNotDeadlock) {
    PeriodicTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<int> ends{0};
    ASSERT_TRUE(timer.start(
        1ms,
        [&](const TickInfo &) {
            ++ticks;
            timer.stop();
            return TickResult::Continue;
        },
        [&] { ++ends; }));
    ASSERT_TRUE(eventually([&] { return !timer.running(); }));
    timer.stop();
    EXPECT_EQ(ticks.load(), 1);
    EXPECT_EQ(ends.load(), 0); // stopped, not ended by a tick's answer
}

// With an interval of an hour the thread sleeps; stop() must wake it.
TEST(PeriodicTimer, StopFromOutsideWakesASleepingTimerAndNoTickFollows) {
    PeriodicTimer timer;
    std::atomic<int> ticks{0};
    ASSERT_TRUE(timer.start(1h, [&](const TickInfo &) {
        ++ticks;
        return TickResult::Continue;
    }));
    ASSERT_TRUE(eventually([&] { return ticks.load() == 1; })); // the first is due at once
    timer.stop();
    EXPECT_FALSE(timer.running());
    EXPECT_EQ(ticks.load(), 1);
    // And it starts again afterwards.
    ASSERT_TRUE(timer.start(1h, [&](const TickInfo &) {
        ++ticks;
        return TickResult::Stop;
    }));
    ASSERT_TRUE(eventually([&] { return ticks.load() == 2; }));
    timer.stop();
}

TEST(PeriodicTimer, ATickLongerThanSeveralIntervalsCountsTheMissedOnes) {
    PeriodicTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<std::uint64_t> reportedMissed{0};
    ASSERT_TRUE(timer.start(2ms,
                            [&](const TickInfo &info) {
                                reportedMissed += info.missedBefore;
                                if (++ticks == 1) {
                                    std::this_thread::sleep_for(20ms); // ten deadlines pass
                                }
                                return ticks == 2 ? TickResult::Stop : TickResult::Continue;
                            },
                            {}));
    ASSERT_TRUE(eventually([&] { return !timer.running(); }));
    timer.stop();
    EXPECT_GE(timer.missedTicks(), 8u);
    EXPECT_EQ(reportedMissed.load(), timer.missedTicks());
}

} // namespace
