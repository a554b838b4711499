// The simulator's unit list as the Simulator panel and the command line read it.
#include "datacontrol/simulated_units.h"

#include "platform/environment.h"
#include <gtest/gtest.h>

using namespace quillon;

namespace {

TEST(SimUnits, ReadsEveryFieldOfAUnitLine) {
    const auto unit = parseSimUnitLine(
        "slot 2: G9212 (unplugged), realtime, source halogen 2856, sample nd 25, channel ID 7");
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->slot, 2);
    EXPECT_EQ(unit->sensor, "G9212");
    EXPECT_FALSE(unit->plugged);
    EXPECT_TRUE(unit->realTime);
    EXPECT_EQ(unit->source, "halogen 2856");
    EXPECT_EQ(unit->sample, "nd 25");
    EXPECT_EQ(unit->channelId, 7);
}

TEST(SimUnits, SkipsLinesThatAreNotUnits) {
    EXPECT_FALSE(parseSimUnitLine("no units"));
    EXPECT_FALSE(parseSimUnitLine("slot x: ILX511, fast, source dark, sample none, channel ID 0"));
    EXPECT_FALSE(parseSimUnitLine("slot 1 ILX511"));
    EXPECT_FALSE(parseSimUnitLine("slot 1: ILX511, fast"));
    const auto units = parseSimUnitList(
        "slot 0: ILX511, fast, source hgar level 0.5, sample none, channel ID 0\n"
        "garbage\n"
        "slot 1: TCD1304, fast, source filter, sample filter 550 40, channel ID 1");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_TRUE(units[0].plugged);
    EXPECT_EQ(units[0].source, "hgar");
    EXPECT_EQ(units[0].level, 0.5);
    EXPECT_FALSE(units[0].realTime);
    EXPECT_EQ(units[1].sample, "filter 550 40");
    EXPECT_TRUE(parseSimUnitList("no units").empty());
}

TEST(SimUnits, ListsTheDefaultBench) {
    quillon::platform::setEnvironment("OV_DRIVER", "sim");
    ASSERT_EQ(runSimCommand("bench default").result, 1);
    const auto reply = runSimCommand("list");
    ASSERT_EQ(reply.result, 1);
    const auto units = parseSimUnitList(reply.text);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[1].sensor, "TCD1304");
    EXPECT_EQ(units[1].source, "hgar");
    EXPECT_EQ(units[1].level, 1.0);
    ASSERT_EQ(runSimCommand("unplug 1").result, 1);
    EXPECT_FALSE(parseSimUnitList(runSimCommand("list").text)[1].plugged);
    runSimCommand("replug 1");
}

} // namespace
