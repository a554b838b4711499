#include "shell/graph_layout.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

int scaled(double base, double fraction) {
    return static_cast<int>(std::lround(base * fraction));
}

} // namespace

GraphLayout computeGraphLayout(int width, int height, bool verticalAxisTitle) {
    GraphLayout layout;
    layout.width = std::max(width, kMinGraphWidth);
    layout.height = std::max(height, kMinGraphHeight);
    layout.verticalAxisTitle = verticalAxisTitle;
    const int w = layout.width;
    const int h = layout.height;

    layout.titleFontPx = std::max(10, h / 27);
    layout.labelFontPx = std::clamp(h / 55, 11, 18);
    layout.captionFontPx = std::clamp(h / 40, 11, 24);

    // Tick lengths and label gaps are fractions of one sixth of the height
    // (x axis) and one eighth of the width (y axis).
    const double xUnit = h / 6.0;
    const double yUnit = w / 8.0;
    layout.xShortTick = std::max(2, scaled(xUnit, 1.0 / 14.0));
    layout.xLongTick = std::max(4, scaled(xUnit, 2.0 / 14.0));
    layout.xLabelGap = std::max(layout.xLongTick + 2, scaled(xUnit, 1.0 / 8.0));
    layout.yShortTick = std::max(2, scaled(yUnit, 1.0 / 20.0));
    layout.yLongTick = std::max(4, scaled(yUnit, 1.0 / 10.0));
    layout.yLabelGap = std::max(layout.yLongTick + 3, scaled(yUnit, 1.0 / 8.0));

    // Room for seven label characters left of the plot.
    const int labelWidth = static_cast<int>(std::ceil(layout.labelFontPx * 0.62 * 7));
    const int left = std::max(layout.yLabelGap + labelWidth + 8, w / 16);
    const int top = std::max(layout.titleFontPx * 2, h / 12) + 6; // titles clear of the frame
    const int bottom = layout.xLabelGap + scaled(layout.labelFontPx, 1.6) + layout.labelFontPx;
    const int right = verticalAxisTitle ? layout.titleFontPx * 2 + 8 : std::max(16, w / 50);

    layout.plot = {left, top, w - 1 - right, h - 1 - bottom};

    if (verticalAxisTitle) {
        layout.axisTitleX = w - right / 3 - layout.titleFontPx / 2;
        layout.axisTitleY = (layout.plot.top + layout.plot.bottom) / 2;
    } else {
        layout.axisTitleX = left / 3;
        layout.axisTitleY = top / 2;
    }
    // Main and second title: right half of the top margin, one above the other.
    const int titleLeft = w / 2;
    layout.mainTitleArea = {titleLeft, 0, layout.plot.right, top / 2};
    layout.secondTitleArea = {titleLeft, top / 2, layout.plot.right, top - 1};
    return layout;
}

} // namespace quillon
