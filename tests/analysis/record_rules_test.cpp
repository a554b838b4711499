#include "analysis/record_rules.h"

#include <gtest/gtest.h>

#include <string>

using namespace quillon::analysis;
using namespace std::chrono_literals;

namespace {

std::string frameNumber(std::int64_t n) {
    std::array<char, 24> text{};
    const std::size_t length = frameNumberText(n, text);
    return std::string(text.data(), length);
}

TEST(RecordRules, FrameNumbersArePaddedToFourDigitsAndThenGrow) {
    EXPECT_EQ(frameNumber(1), "0001");
    EXPECT_EQ(frameNumber(9999), "9999");
    EXPECT_EQ(frameNumber(10000), "10000");
    EXPECT_EQ(frameNumber(9999999), "9999999");
}

TEST(RecordRules, MinimumIntervalIsTimeAverageTimesTheFrameTime) {
    EXPECT_EQ(minimumIntervalMs(3, 50, false), 150);
    // Hundredths of a ms: 1234 -> 12 ms; under 100 -> at least 1 ms.
    EXPECT_EQ(minimumIntervalMs(2, 1234, true), 24);
    EXPECT_EQ(minimumIntervalMs(4, 40, true), 4);
    // A time average of 0 (not set) counts as one frame; never below 1 ms.
    EXPECT_EQ(minimumIntervalMs(0, 7, false), 7);
    EXPECT_EQ(minimumIntervalMs(1, 0, false), 1);
    EXPECT_EQ(intervalMs(3, true), 3000);
    EXPECT_EQ(intervalMs(3, false), 3);
}

TEST(RecordRules, CountModeStopsAtTheLimitEndTimeModeAtTheEndTime) {
    RecordSettings count;
    count.stopMode = StopMode::AfterFrameLimit;
    count.frameLimit = 1;
    const WallTime now = std::chrono::system_clock::now();
    EXPECT_FALSE(recordComplete(count, now, 0));
    EXPECT_TRUE(recordComplete(count, now, 1));

    RecordSettings timed;
    timed.stopMode = StopMode::AtEndTime;
    timed.endTime = now + 1s;
    EXPECT_FALSE(recordComplete(timed, now, 1000000));
    EXPECT_TRUE(recordComplete(timed, now + 1s, 0)); // at the end time itself
}

TEST(LatenessHistogram, QuantilesAreUpperEdgesNeverAboveTheMaximum) {
    LatenessHistogram h;
    EXPECT_EQ(h.quantile(0.99).count(), 0);
    for (int i = 0; i < 98; ++i) {
        h.add(3us);
    }
    h.add(250us);
    h.add(5s); // beyond the last step: still the maximum
    EXPECT_EQ(h.count(), 100u);
    EXPECT_EQ(h.quantile(0.5), 10us); // the upper edge of the 0-10 us step
    EXPECT_EQ(h.quantile(0.99), 260us);
    EXPECT_EQ(h.quantile(1.0), 5s);
    EXPECT_EQ(h.maximum(), 5s);
}

} // namespace
