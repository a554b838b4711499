// Units driven from several threads at once: reads of two units, commands
// against a reading thread, and an unplug waking a pending real-time read.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sim_fixture.h"
#include "sim_protocol.h"

namespace ov::sim::testing {
namespace {

using driver::WaitStatus;

std::string twoUnits() {
    return "[Unit]\nSlot=0\nSensor=ILX511\nSource=halogen\n"
           "[Unit]\nSlot=1\nSensor=TCD1304\nMaxPacket=512\nSource=hgar\n";
}

int readFrames(SimDriver &d, int slot, int readout, int frames) {
    const auto g = speedCheck(d, slot);
    if (!g || !send(d, slot, initialisePacket(readout, g->packetBytes))) {
        return 0;
    }
    int complete = 0;
    for (int i = 0; i < frames; ++i) {
        const auto f = readFrame(d, slot, *g, readout, 0);
        complete += f.status == WaitStatus::Completed &&
                    f.counts.size() == static_cast<std::size_t>(readout);
    }
    return complete;
}

TEST(SimThreads, TwoUnitsAreReadAtOnce) {
    auto d = driverFromBench(twoUnits());
    int done0 = 0;
    int done1 = 0;
    std::thread a([&] { done0 = readFrames(*d, 0, 2080, 50); });
    std::thread b([&] { done1 = readFrames(*d, 1, 3680, 50); });
    a.join();
    b.join();
    EXPECT_EQ(done0, 50);
    EXPECT_EQ(done1, 50);
}

TEST(SimThreads, CommandsRunWhileAnotherThreadReads) {
    auto d = driverFromBench(twoUnits());
    std::atomic<bool> stop{false};
    std::thread commands([&] {
        const char *lines[] = {"set 0 source led",
                               "set 0 sample nd 50",
                               "set 0 source d65",
                               "set 0 sample glass",
                               "list",
                               "show 0",
                               "set 0 source halogen",
                               "set 0 sample none"};
        std::string reply;
        while (!stop) {
            for (const char *line : lines) {
                EXPECT_EQ(d->command(line, reply), 1) << line;
            }
        }
    });
    EXPECT_EQ(readFrames(*d, 0, 2080, 100), 100);
    stop = true;
    commands.join();
}

TEST(SimThreads, UnplugWakesAPendingRealTimeRead) {
    auto d = driverFromBench(oneUnit("Timing=realtime\n"));
    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, g->packetBytes)));
    ASSERT_TRUE(send(*d, 0, commandPacket({0x01, 0xFF, 0xFF, 8}))); // 65.5 s exposure
    std::atomic<bool> reading{false};
    FrameRead result;
    const auto started = std::chrono::steady_clock::now();
    std::thread reader([&] {
        reading = true;
        result = readFrame(*d, 0, *g, 2080, 0, 120000);
    });
    while (!reading) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string reply;
    ASSERT_EQ(d->command("unplug 0", reply), 1);
    reader.join();
    EXPECT_EQ(result.status, WaitStatus::Failed);
    // Far less than the exposure: the unplug ended the wait, not the clock.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(SimThreads, TriggerFromAnotherThreadReleasesFrames) {
    auto d = driverFromBench(oneUnit("Timing=realtime\n"));
    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, g->packetBytes)));
    ASSERT_TRUE(send(*d, 0, commandPacket({0x01, 2, 0, 8})));
    ASSERT_TRUE(send(*d, 0, commandPacket({0x04})));
    std::thread triggers([&] {
        std::string reply;
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            d->command("trigger 0", reply);
        }
    });
    int frames = 0;
    for (int attempt = 0; attempt < 100000 && frames < 5; ++attempt) {
        const auto f = readFrame(*d, 0, *g, 2080, 0);
        ASSERT_EQ(f.status, WaitStatus::Completed);
        frames += !f.noFrameYet;
    }
    triggers.join();
    EXPECT_EQ(frames, 5);
    EXPECT_TRUE(readFrame(*d, 0, *g, 2080, 0).noFrameYet);
}

} // namespace
} // namespace ov::sim::testing
