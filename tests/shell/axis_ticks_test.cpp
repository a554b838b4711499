#include "shell/axis_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace quillon;

namespace {

AxisRequest request(Axis axis, double start, double end) {
    AxisRequest r;
    r.axis = axis;
    r.start = start;
    r.end = end;
    r.origin = axis == Axis::X ? 100.0 : 600.0;
    r.scale = std::isfinite(end - start) && end > start ? 1000.0 / (end - start) : 0.0;
    return r;
}

std::vector<std::string> labels(const std::vector<Tick> &ticks) {
    std::vector<std::string> out;
    for (const Tick &tick : ticks) {
        if (tick.major) {
            out.push_back(tick.label);
        }
    }
    return out;
}

} // namespace

TEST(TickStep, CountsRangeGivesStep200WithMinor40AndWholeLabels) {
    for (const Axis axis : {Axis::X, Axis::Y}) {
        const std::vector<Tick> ticks = computeTicks(request(axis, 0.0, 2000.0));
        const TickStep step = chooseTickStep(axis, 0.0, 2000.0, {});
        EXPECT_DOUBLE_EQ(step.major, 200.0);
        EXPECT_DOUBLE_EQ(step.minor, 40.0);
        EXPECT_EQ(labels(ticks),
                  (std::vector<std::string>{"0", "200", "400", "600", "800", "1000", "1200", "1400",
                                            "1600", "1800", "2000"}));
        EXPECT_EQ(ticks.size(), 51u); // 10 majors of 5 minor steps, plus the last
    }
}

TEST(TickStep, SmallSpanSnapsDifferentlyOnEachAxis) {
    const TickStep y = chooseTickStep(Axis::Y, 0.0, 0.03, {});
    EXPECT_DOUBLE_EQ(y.major, 0.005);
    EXPECT_EQ(y.decimals, 3);
    const TickStep x = chooseTickStep(Axis::X, 0.0, 0.03, {});
    EXPECT_DOUBLE_EQ(x.major, 0.01);
    EXPECT_EQ(x.decimals, 2);
    EXPECT_EQ(
        labels(computeTicks(request(Axis::Y, 0.0, 0.03))),
        (std::vector<std::string>{"0.000", "0.005", "0.010", "0.015", "0.020", "0.025", "0.030"}));
    EXPECT_EQ(labels(computeTicks(request(Axis::X, 0.0, 0.03))),
              (std::vector<std::string>{"0.00", "0.01", "0.02", "0.03"}));
}

TEST(TickStep, SnappingTableAndBaseRounding) {
    struct Case {
        Axis axis;
        double raw;
        double step;
        int decimals;
    };
    const Case cases[] = {
        {Axis::Y, 0.0004, 0.001, 3}, {Axis::X, 0.0004, 0.01, 2}, {Axis::Y, 0.003, 0.005, 3},
        {Axis::Y, 0.04, 0.05, 2},    {Axis::X, 0.1, 0.1, 1},     {Axis::X, 0.3, 0.5, 1},
        {Axis::X, 0.7, 1.0, 0},      {Axis::Y, 3.0, 5.0, 0},     {Axis::Y, 10.0, 10.0, 0},
        {Axis::X, 13.0, 20.0, 0},    {Axis::Y, 13.0, 15.0, 0},   {Axis::X, 11.0, 10.0, 0},
        {Axis::Y, 74.0, 70.0, 0},    {Axis::Y, 160.0, 150.0, 0}, {Axis::X, 1234.0, 1000.0, 0},
        {Axis::Y, 2.0e6, 2.0e6, 0},
    };
    for (const Case &c : cases) {
        const TickStep step = chooseTickStep(c.axis, 0.0, c.raw * 10.0, {});
        EXPECT_NEAR(step.major, c.step, c.step * 1e-9) << "raw " << c.raw;
        EXPECT_EQ(step.decimals, c.decimals) << "raw " << c.raw;
    }
}

TEST(TickStep, CoarseStepsKeepTheConfiguredDecimals) {
    TickSettings settings;
    settings.decimals = 2;
    AxisRequest r = request(Axis::Y, 0.0, 100.0);
    r.settings = settings;
    const std::vector<std::string> text = labels(computeTicks(r));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[1], "10.00");
    EXPECT_EQ(formatTickLabel(1.23456789, 9), "1.23457"); // five decimals at most
    EXPECT_EQ(formatTickLabel(-3.5, 1), "-3.5");
}

TEST(TickWalk, FirstTickIsTheFirstMultipleInsideTheRange) {
    // Below zero a truncated index would start one minor step too late.
    const std::vector<Tick> negative = computeTicks(request(Axis::Y, -9.0, 191.0));
    ASSERT_FALSE(negative.empty());
    EXPECT_DOUBLE_EQ(negative.front().value, -8.0);
    EXPECT_FALSE(negative.front().major);
    // Above zero a rounded index could start before the range.
    for (const Axis axis : {Axis::X, Axis::Y}) {
        const std::vector<Tick> ticks = computeTicks(request(axis, 2.0, 202.0));
        ASSERT_FALSE(ticks.empty());
        EXPECT_DOUBLE_EQ(ticks.front().value, 4.0);
    }
}

TEST(TickWalk, PositionsFollowTheScale) {
    const std::vector<Tick> x = computeTicks(request(Axis::X, 100.0, 2100.0));
    const std::vector<Tick> y = computeTicks(request(Axis::Y, 100.0, 2100.0));
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double offset = (x[i].value - 100.0) * 0.5;
        EXPECT_EQ(x[i].position, std::lround(100.0 + offset));
        EXPECT_EQ(y[i].position, std::lround(600.0 - offset));
        EXPECT_EQ(x[i].major, std::fmod(x[i].value, 200.0) == 0.0);
        EXPECT_EQ(x[i].label.empty(), !x[i].major);
    }
}

TEST(TickWalk, PixelAxisShowsWavelengthAndWavenumberLabels) {
    const std::vector<double> polynomial{390.0, 0.1}; // λ(p) = 390 + 0.1 p
    AxisRequest r = request(Axis::X, 0.0, 2000.0);
    r.wavelengthPolynomial = polynomial;
    r.conversion = LabelConversion::PixelAsWavelength;
    std::vector<std::string> text = labels(computeTicks(r));
    EXPECT_EQ(text.front(), "390");
    EXPECT_EQ(text[1], "410");
    EXPECT_EQ(text.back(), "590");
    r.conversion = LabelConversion::PixelAsWavenumber;
    text = labels(computeTicks(r));
    EXPECT_EQ(text[1], "24390"); // 10,000,000 / 410
    EXPECT_EQ(text.back(), "16949");
    // A wavelength at or below zero has no wavenumber.
    const std::vector<double> bad{-500.0, 1.0};
    r.wavelengthPolynomial = bad;
    EXPECT_EQ(labels(computeTicks(r)).front(), "");
    EXPECT_TRUE(std::isnan(convertTickValue(10.0, LabelConversion::PixelAsWavenumber, bad)));
}

TEST(TickWalk, DegenerateRangesGiveNoTicks) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Axis axis : {Axis::X, Axis::Y}) {
        EXPECT_TRUE(computeTicks(request(axis, 5.0, 5.0)).empty());
        EXPECT_TRUE(computeTicks(request(axis, 10.0, -10.0)).empty());
        EXPECT_TRUE(computeTicks(request(axis, nan, 10.0)).empty());
        EXPECT_TRUE(computeTicks(request(axis, 0.0, inf)).empty());
        EXPECT_TRUE(computeTicks(request(axis, -inf, inf)).empty());
        const std::vector<Tick> huge = computeTicks(request(axis, -1e30, 1e30));
        EXPECT_FALSE(huge.empty());
        EXPECT_LE(labels(huge).size(), 23u);
    }
    TickSettings zero;
    zero.majorDivisions = 0;
    zero.minorPerMajor = 0;
    AxisRequest r = request(Axis::X, 0.0, 10.0);
    r.settings = zero;
    EXPECT_FALSE(computeTicks(r).empty());
}

TEST(TickWalk, RandomRangesStayInsideAndNeverExceed23Labels) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> exponent(-6.0, 12.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> divisions(1, 60);
    for (int i = 0; i < 5000; ++i) {
        const double span = std::pow(10.0, exponent(random));
        const double start = unit(random) * span * 3.0;
        AxisRequest r = request(i % 2 ? Axis::X : Axis::Y, start, start + span);
        r.settings.majorDivisions = divisions(random);
        r.settings.minorPerMajor = 1 + i % 9;
        const std::vector<Tick> ticks = computeTicks(r);
        int labelled = 0;
        for (const Tick &tick : ticks) {
            labelled += tick.major ? 1 : 0;
            EXPECT_GE(tick.value, r.start - span * 1e-9);
            EXPECT_LE(tick.value, r.end + span * 1e-9);
        }
        EXPECT_LE(labelled, kMaxAxisLabels) << "range " << r.start << " .. " << r.end;
        EXPECT_LE(ticks.size(), static_cast<std::size_t>((kMaxAxisLabels + 1) * 9));
    }
}

TEST(TickWalk, ManyDivisionsStopAt23Labels) {
    AxisRequest r = request(Axis::Y, 0.0, 1000.0);
    r.settings.majorDivisions = 100; // step 10: 101 candidate labels
    const std::vector<std::string> text = labels(computeTicks(r));
    ASSERT_EQ(text.size(), 23u);
    EXPECT_EQ(text.back(), "220");
}
