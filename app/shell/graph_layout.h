// Geometry of one graph picture: margins, plot rectangle, tick lengths, fonts
// and the title areas, all derived from the picture size. The worker (which
// draws) and the widget (which maps the mouse) compute the same layout.
#ifndef QUILLON_APP_SHELL_GRAPH_LAYOUT_H
#define QUILLON_APP_SHELL_GRAPH_LAYOUT_H

namespace quillon {

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

struct GraphLayout {
    int width = 0;
    int height = 0;
    PixelRect plot;
    int titleFontPx = 10; // axis title: outer height / 27, at least 10
    int labelFontPx = 10;
    int captionFontPx = 10; // main and second title
    int xShortTick = 0;     // below the x axis
    int xLongTick = 0;
    int xLabelGap = 0;
    int yShortTick = 0; // left of the y axis
    int yLongTick = 0;
    int yLabelGap = 0;
    bool verticalAxisTitle = false;
    int axisTitleX = 0; // horizontal form: left edge; vertical form: centre line
    int axisTitleY = 0; // horizontal form: centre line; vertical form: plot centre
    PixelRect mainTitleArea;
    PixelRect secondTitleArea;
};

// Pictures smaller than this are laid out as if they had this size, so the
// plot never collapses to nothing.
inline constexpr int kMinGraphWidth = 160;
inline constexpr int kMinGraphHeight = 120;

GraphLayout computeGraphLayout(int width, int height, bool verticalAxisTitle = false);

} // namespace quillon

#endif
