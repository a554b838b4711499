// Click rules of the status bar's value panes.
#include "shell/status_rules.h"

#include <gtest/gtest.h>

using namespace quillon::status_rules;

namespace {

TEST(IntegrationPane, HundredthsStepByHundredthsBelowOneMillisecondThenByWholeOnes) {
    // 0.50 ms steps by 0.01 ms; from 1.00 ms on by 1 ms.
    EXPECT_EQ(steppedIntegrationTime(50, true, Click::Left, 1, 6000000), 51);
    EXPECT_EQ(steppedIntegrationTime(99, true, Click::Left, 1, 6000000), 100);
    EXPECT_EQ(steppedIntegrationTime(100, true, Click::Left, 1, 6000000), 200);
    // Downwards whole steps only from 2 ms: 1.50 ms goes to 1.49 ms.
    EXPECT_EQ(steppedIntegrationTime(150, true, Click::Right, 1, 6000000), 149);
    EXPECT_EQ(steppedIntegrationTime(250, true, Click::Right, 1, 6000000), 150);
}

TEST(IntegrationPane, MillisecondUnitsStepByOneAndStayInTheUnitsRange) {
    EXPECT_EQ(steppedIntegrationTime(35, false, Click::Left, 3, 65000), 36);
    EXPECT_EQ(steppedIntegrationTime(35, false, Click::Right, 3, 65000), 34);
    EXPECT_EQ(steppedIntegrationTime(3, false, Click::Right, 3, 65000), 3);
    EXPECT_EQ(steppedIntegrationTime(65000, false, Click::Left, 3, 65000), 65000);
    EXPECT_EQ(steppedIntegrationTime(1, true, Click::Right, 1, 100), 1);
    EXPECT_EQ(steppedIntegrationTime(100, true, Click::Left, 1, 150), 150);
    // No overflow at the type's end, and a maximum below the minimum is not trusted.
    EXPECT_EQ(steppedIntegrationTime(2147483647, false, Click::Left, 1, 2147483647), 2147483647);
    EXPECT_EQ(steppedIntegrationTime(10, false, Click::Left, 20, 5), 20);
}

TEST(IntegrationPane, TextShowsHundredthsBelowOneMillisecondAndWholeMillisecondsAbove) {
    EXPECT_EQ(integrationTimeText(50, true), "0.50");
    EXPECT_EQ(integrationTimeText(99, true), "0.99");
    EXPECT_EQ(integrationTimeText(100, true), "1");
    EXPECT_EQ(integrationTimeText(3599, true), "35");
    EXPECT_EQ(integrationTimeText(35, false), "35");
}

TEST(ValuePanes, AveragesStayInTheirRanges) {
    EXPECT_EQ(steppedTimeAverage(1, Click::Left), 2);
    EXPECT_EQ(steppedTimeAverage(1, Click::Right), 1);
    EXPECT_EQ(steppedTimeAverage(1000, Click::Left), 1000);
    EXPECT_EQ(steppedBinning(0, Click::Right), 0);
    EXPECT_EQ(steppedBinning(9, Click::Left), 10);
    EXPECT_EQ(steppedBinning(10, Click::Left), 10);
}

TEST(ValuePanes, SmoothingWrapsAtBothEnds) {
    EXPECT_EQ(steppedSmoothing(100, Click::Left), 0);
    EXPECT_EQ(steppedSmoothing(0, Click::Right), 100);
    EXPECT_EQ(steppedSmoothing(90, Click::Left), 100);
    EXPECT_EQ(steppedSmoothing(10, Click::Right), 0);
    EXPECT_EQ(steppedSmoothing(95, Click::Left), 0);
}

} // namespace
