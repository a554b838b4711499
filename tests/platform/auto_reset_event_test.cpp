#include "platform/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace quillon {
namespace {

using std::chrono::milliseconds;

TEST(AutoResetEvent, ASignalWaitsForItsWaiterAndLetsOneThrough) {
    AutoResetEvent event;
    EXPECT_FALSE(event.waitFor(milliseconds(1))); // created unsignalled
    event.set();
    event.set(); // not counted: one signal
    EXPECT_TRUE(event.waitFor(milliseconds(1)));
    EXPECT_FALSE(event.waitFor(milliseconds(1)));
    event.set();
    event.reset();
    EXPECT_FALSE(event.waitFor(milliseconds(1)));
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent event;
    std::atomic<int> woken{0};
    std::thread waiter([&] {
        event.wait();
        ++woken;
        event.wait();
        ++woken;
    });
    event.set();
    while (woken.load() == 0) {
        std::this_thread::yield();
    }
    event.set();
    waiter.join();
    EXPECT_EQ(woken.load(), 2);
}

} // namespace
} // namespace quillon
