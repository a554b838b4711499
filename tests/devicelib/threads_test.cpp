// Concurrent use of the library, run under ThreadSanitizer too.
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace ov::test {
namespace {

class Threads : public SimBench {};

TEST_F(Threads, TwoThreadsReadTwoUnitsAtOnce) {
    start({unitAt(1).packet(1024), unitAt(4).packet(64)});
    std::atomic<int> failures{0};
    auto reader = [&](int channel) {
        std::vector<int> frame(2080);
        for (int i = 0; i < 40; ++i) {
            if (ovReadDataEx(frame.data(), channel) != OV_OK) {
                ++failures;
            }
        }
    };
    std::thread first(reader, 0);
    std::thread second(reader, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    EXPECT_NE(sim("show 1").find("frames 41"), std::string::npos) << sim("show 1");
    EXPECT_NE(sim("show 4").find("frames 41"), std::string::npos) << sim("show 4");
}

int framesDelivered(const std::string &show) {
    const auto at = show.find("frames ");
    return at == std::string::npos ? -1 : std::stoi(show.substr(at + 7));
}

TEST_F(Threads, CommandWaitsForTheFrameReadOnTheSameUnit) {
    start({unitAt(0).clock("realtime")});
    ASSERT_EQ(ovSetIntEx(600, 0), OV_OK); // a frame takes 600 ms
    const int before = framesDelivered(sim("show 0"));
    std::thread reader([] {
        std::vector<int> frame(2080);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The read holds the unit until its frame is complete, so the command
    // returns only after the frame was delivered.
    EXPECT_EQ(ovSetTEC(3, 0), OV_OK);
    const int after = framesDelivered(sim("show 0"));
    reader.join();
    EXPECT_EQ(after, before + 1);
    EXPECT_NE(sim("show 0").find("tec 3"), std::string::npos);
}

TEST_F(Threads, AveragingReadsLetCommandsInBetweenFrames) {
    start({unitAt(0), unitAt(1)});
    ASSERT_EQ(ovDupdate(3, 2, 0), OV_OK);
    std::atomic<bool> stop{false};
    std::thread commands([&] {
        int value = 0;
        while (!stop) {
            EXPECT_EQ(ovSetSkip(value++ & 1, 0), OV_OK);
            EXPECT_EQ(ovSetTEC(1, 1), OV_OK);
        }
    });
    std::vector<int> frame(2080);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(ovReadDataExT(frame.data(), 0), OV_OK);
        ASSERT_EQ(ovReadDataAdvEx(frame.data(), 2, 10, 0, nullptr, 1), OV_OK);
    }
    stop = true;
    commands.join();
}

TEST_F(Threads, TwoAveragingReadsOfOneUnitShareItsScratchInTurn) {
    start({unitAt(0)});
    std::atomic<int> failures{0};
    auto reader = [&](bool smoothed) {
        std::vector<int> frame(2080);
        for (int i = 0; i < 20; ++i) {
            const short result = smoothed ? ovReadDataExT(frame.data(), 0)
                                          : ovReadDataAdvEx(frame.data(), 2, 30, 0, nullptr, 0);
            failures += result != OV_OK;
        }
    };
    std::thread first(reader, true);
    std::thread second(reader, false);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(Threads, UnknownResultTextsAreKeptPerThread) {
    std::atomic<int> wrong{0};
    auto asker = [&](int base) {
        for (int i = 0; i < 2000; ++i) {
            const int code = base - i;
            const std::string expected = "result " + std::to_string(code);
            wrong += expected != ovResultText(code);
        }
    };
    std::thread first(asker, -1000);
    std::thread second(asker, -5000);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace ov::test
