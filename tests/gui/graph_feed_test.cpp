// Which value a picture column shows: the text panel's cursor readout.
#include "shell/graph_feed.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

PixelRect plotRect() {
    return PixelRect{100, 50, 1100, 550}; // 1000 pixels wide
}

TEST(ValueIndexAt, PixelHeldDataCountsPixelsFromOne) {
    GraphSnapshot snapshot;
    snapshot.values.assign(1000, 0.0f);
    RangeContext context;
    context.settings.pixelStart = 1;
    context.settings.pixelEnd = 1001;
    snapshot.range = resetViewRange(context);
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 100), 0);    // pixel 1
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 600), 500);  // pixel 501
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 1099), 999); // pixel 1000, the last
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 1100), -1);  // pixel 1001: no data
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 99), -1);    // left of the plot
}

TEST(ValueIndexAt, GridDataCountsGridSteps) {
    GraphSnapshot snapshot;
    snapshot.calibratedAxis = true;
    snapshot.xUnit = GraphXUnit::Wavelength;
    snapshot.values.assign(651, 0.0f);
    snapshot.grid = {350.0, 1.0, 651};
    RangeContext context;
    context.calibratedAxis = true;
    context.settings.wavelengthStart = 400.0f;
    context.settings.wavelengthEnd = 600.0f;
    snapshot.range = resetViewRange(context);
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 100), 50);  // 400 nm
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 600), 150); // 500 nm
    snapshot.values.clear();
    EXPECT_EQ(valueIndexAt(snapshot, plotRect(), 600), -1);
}

} // namespace
