// The window-less picture of a trace: the line lies where its values say.
#include "datafiles/trace_picture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon::exports {
namespace {

int rowsWithColour(const std::vector<std::uint32_t> &pixels, int width, int column,
                   std::uint32_t colour) {
    int first = -1;
    for (std::size_t y = 0; y < pixels.size() / static_cast<std::size_t>(width); ++y) {
        if (pixels[y * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)] ==
            colour) {
            first = static_cast<int>(y);
            break;
        }
    }
    return first;
}

TEST(TracePicture, LineFollowsTheValues) {
    TracePictureStyle style;
    style.width = 200;
    style.height = 100;
    style.yMin = 0.0;
    style.yMax = 10.0;
    // A step from 0 to 10 half-way: low on the left, at the top on the right.
    std::vector<float> values(21, 0.0f);
    std::fill(values.begin() + 11, values.end(), 10.0f);
    const auto pixels = traceLinePicture(values, style);
    ASSERT_EQ(pixels.size(), 200u * 100u);
    const int left = 200 / 10;
    const int top = 100 / 12;
    const int bottom = 100 - 100 / 8;
    EXPECT_EQ(rowsWithColour(pixels, 200, left + 10, style.trace), bottom);
    EXPECT_EQ(rowsWithColour(pixels, 200, 200 - 200 / 20 - 10, style.trace), top);
    // Outside the plot only the outer colour.
    EXPECT_EQ(pixels[5], style.outer);
}

TEST(TracePicture, OddInputDrawsWithoutFault) {
    TracePictureStyle style;
    EXPECT_EQ(traceLinePicture({}, style).size(), 800u * 500u);
    const std::vector<float> nan{std::numeric_limits<float>::quiet_NaN(), 1.0f, 1e30f, -1e30f};
    EXPECT_EQ(traceLinePicture(nan, style).size(), 800u * 500u);
    style.width = -5;
    EXPECT_EQ(traceLinePicture(nan, style).size(), 16u * 500u);
    EXPECT_EQ(argbOfSettingsColour(255 + 256 * 128), 0xFFFF8000u);
}

} // namespace
} // namespace quillon::exports
