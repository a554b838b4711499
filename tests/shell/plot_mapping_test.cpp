#include "shell/plot_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace quillon;

namespace {

const PixelRect kPlot{100, 50, 900, 450};

ViewRange wavelengthRange() {
    ViewRange range;
    range.xStart = 400.0f;
    range.xEnd = 800.0f;
    range.yStart = 0.0f;
    range.yEnd = 100.0f;
    return range;
}

} // namespace

TEST(PlotMapping, WavelengthAndWavenumberAxesRunOppositeWays) {
    const PlotMapping wavelength(wavelengthRange(), kPlot, true, GraphXUnit::Wavelength);
    EXPECT_DOUBLE_EQ(wavelength.xOf(400.0), 100.0);
    EXPECT_DOUBLE_EQ(wavelength.xOf(800.0), 900.0);
    const PlotMapping wavenumber(wavelengthRange(), kPlot, true, GraphXUnit::Wavenumber);
    EXPECT_NEAR(wavenumber.xOf(800.0), 100.0, 1e-3); // smallest wavenumber on the left
    EXPECT_NEAR(wavenumber.xOf(400.0), 900.0, 1e-3);
    const AxisRequest axis = wavenumber.xAxis({}, {});
    EXPECT_FLOAT_EQ(static_cast<float>(axis.start), 12500.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(axis.end), 25000.0f);
    EXPECT_EQ(axis.conversion, LabelConversion::Plain);
}

TEST(PlotMapping, PixelHeldDataKeepsPixelPositionsAndConvertsLabels) {
    ViewRange range = wavelengthRange();
    range.xStart = 1.0f;
    range.xEnd = 801.0f;
    const std::vector<double> polynomial{390.0, 0.1};
    const PlotMapping mapping(range, kPlot, false, GraphXUnit::Wavenumber);
    EXPECT_DOUBLE_EQ(mapping.xOf(401.0), 500.0);
    EXPECT_EQ(mapping.xAxis({}, polynomial).conversion, LabelConversion::PixelAsWavenumber);
    EXPECT_NEAR(mapping.xReadout(500, polynomial), 1.0e7 / 430.1, 1e-6);
}

// The cursor line's round trip: a column to a position and back, on both
// kinds of axis, and nothing outside the plot.
TEST(PlotMapping, PositionAtInvertsXOfAndColumnsStayInThePlot) {
    for (const GraphXUnit unit : {GraphXUnit::Wavelength, GraphXUnit::Wavenumber}) {
        const PlotMapping mapping(wavelengthRange(), kPlot, true, unit);
        for (const int x : {100, 333, 640, 900}) {
            EXPECT_EQ(mapping.columnOf(mapping.positionAt(x)), x);
        }
    }
    const PlotMapping mapping(wavelengthRange(), kPlot, true, GraphXUnit::Wavenumber);
    EXPECT_NEAR(mapping.positionAt(900), 400.0, 1e-3);
    EXPECT_EQ(mapping.columnOf(399.0), -1);
    EXPECT_EQ(mapping.columnOf(801.0), -1);
    EXPECT_EQ(mapping.columnOf(std::nan("")), -1);
}

TEST(PlotMapping, CursorGoesBetweenPixelsAndWavelengthsThroughTheTable) {
    const std::vector<float> table{400.0f, 401.0f, 403.0f, 406.0f};
    EXPECT_FLOAT_EQ(cursorOnOtherAxis(2.5f, true, table), 402.0f);
    EXPECT_FLOAT_EQ(cursorOnOtherAxis(402.0f, false, table), 2.5f);
    EXPECT_FLOAT_EQ(cursorOnOtherAxis(406.0f, false, table), 4.0f);
    // Beyond the table, or without one, there is nothing to mark.
    EXPECT_TRUE(std::isnan(cursorOnOtherAxis(4.5f, true, table)));
    EXPECT_TRUE(std::isnan(cursorOnOtherAxis(0.5f, true, table)));
    EXPECT_TRUE(std::isnan(cursorOnOtherAxis(399.0f, false, table)));
    EXPECT_TRUE(std::isnan(cursorOnOtherAxis(2.0f, true, {})));
    EXPECT_TRUE(std::isnan(cursorOnOtherAxis(std::nanf(""), true, table)));
}

TEST(PlotMapping, YIsTruncatedAndWildValuesStayNearThePlot) {
    const PlotMapping mapping(wavelengthRange(), kPlot, true, GraphXUnit::Wavelength);
    EXPECT_DOUBLE_EQ(mapping.yOf(0.0), 450.0);
    EXPECT_DOUBLE_EQ(mapping.yOf(50.3), 248.0); // 450 - 201.2, truncated
    EXPECT_LE(mapping.yOf(1e30), 50.0);
    EXPECT_GE(mapping.yOf(-1e30), 450.0);
    EXPECT_TRUE(std::isfinite(mapping.yOf(std::nan(""))));
    EXPECT_TRUE(std::isfinite(mapping.xOf(std::nan(""))));
}

TEST(ColumnReduction, KeepsEachColumnsExtremesAndEnds) {
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 50.0);
    std::vector<TracePoint> points;
    for (int i = 0; i < 3648; ++i) {
        points.push_back({100.0 + i * 0.22, 200.0 + noise(random)}); // ~4.5 points per column
    }
    std::vector<TracePoint> reduced;
    reduceToColumns(points, reduced);
    ASSERT_LT(reduced.size(), points.size());

    std::map<double, std::pair<double, double>> expected; // column -> min, max
    std::map<double, int> perColumn;
    for (const TracePoint &p : points) {
        const double column = std::floor(p.x + 0.5);
        auto [it, inserted] = expected.try_emplace(column, p.y, p.y);
        it->second.first = std::min(it->second.first, p.y);
        it->second.second = std::max(it->second.second, p.y);
    }
    std::map<double, std::pair<double, double>> seen;
    for (const TracePoint &p : reduced) {
        const double column = std::floor(p.x + 0.5);
        ++perColumn[column];
        auto [it, inserted] = seen.try_emplace(column, p.y, p.y);
        it->second.first = std::min(it->second.first, p.y);
        it->second.second = std::max(it->second.second, p.y);
    }
    EXPECT_EQ(seen, expected);
    for (const auto &[column, count] : perColumn) {
        EXPECT_LE(count, 4) << "column " << column;
    }
    EXPECT_EQ(reduced.front().x, points.front().x);
    EXPECT_EQ(reduced.back().y, points.back().y);
}

TEST(ColumnReduction, SparsePointsPassUnchanged) {
    const std::vector<TracePoint> points{{10.0, 1.0}, {13.0, 5.0}, {16.0, 2.0}, {12.0, 7.0}};
    std::vector<TracePoint> reduced;
    reduceToColumns(points, reduced);
    ASSERT_EQ(reduced.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(reduced[i].x, points[i].x);
        EXPECT_EQ(reduced[i].y, points[i].y);
    }
}
