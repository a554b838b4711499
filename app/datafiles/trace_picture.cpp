#include "datafiles/trace_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillon::exports {

namespace {

class Canvas {
public:
    Canvas(int w, int h, std::uint32_t fill)
        : width(w), height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    void set(int x, int y, std::uint32_t colour) {
        if (x >= 0 && y >= 0 && x < width && y < height) {
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)] = colour;
        }
    }
    void fill(int x0, int y0, int x1, int y1, std::uint32_t colour) {
        for (int y = std::max(y0, 0); y <= std::min(y1, height - 1); ++y) {
            for (int x = std::max(x0, 0); x <= std::min(x1, width - 1); ++x) {
                set(x, y, colour);
            }
        }
    }
    void line(int x0, int y0, int x1, int y1, std::uint32_t colour) {
        // Bresenham, all octants.
        const int dx = std::abs(x1 - x0);
        const int dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const int sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            set(x0, y0, colour);
            if (x0 == x1 && y0 == y1) {
                return;
            }
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

} // namespace

std::uint32_t argbOfSettingsColour(std::uint32_t rgb) {
    const std::uint32_t r = rgb & 0xFFu;
    const std::uint32_t g = (rgb >> 8) & 0xFFu;
    const std::uint32_t b = (rgb >> 16) & 0xFFu;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

std::vector<std::uint32_t> traceLinePicture(std::span<const float> values,
                                            const TracePictureStyle &style) {
    const int width = std::clamp(style.width, 16, 8192);
    const int height = std::clamp(style.height, 16, 8192);
    Canvas canvas(width, height, style.outer);
    const int left = width / 10;
    const int right = width - width / 20;
    const int top = height / 12;
    const int bottom = height - height / 8;
    canvas.fill(left, top, right, bottom, style.plot);
    constexpr int kDivisions = 10;
    for (int k = 1; k < kDivisions; ++k) {
        const int x = left + (right - left) * k / kDivisions;
        const int y = top + (bottom - top) * k / kDivisions;
        canvas.line(x, top, x, bottom, style.grid);
        canvas.line(left, y, right, y, style.grid);
    }
    canvas.line(left, top, right, top, style.frame);
    canvas.line(left, bottom, right, bottom, style.frame);
    canvas.line(left, top, left, bottom, style.frame);
    canvas.line(right, top, right, bottom, style.frame);
    // The trace is drawn last, so a value at a range end stays visible on the frame.
    double lo = style.yMin;
    double hi = style.yMax;
    if (!(lo < hi)) {
        lo = 0.0;
        hi = 0.0;
        bool any = false;
        for (const float v : values) {
            if (std::isfinite(v)) {
                lo = any ? std::min(lo, double{v}) : v;
                hi = any ? std::max(hi, double{v}) : v;
                any = true;
            }
        }
        if (!(lo < hi)) {
            hi = lo + 1.0;
        }
    }
    const auto yOf = [&](float v) {
        const double clamped = std::clamp(std::isfinite(v) ? double{v} : lo, lo, hi);
        return bottom - static_cast<int>(std::lround((clamped - lo) / (hi - lo) * (bottom - top)));
    };
    if (values.size() == 1) {
        canvas.line(left, yOf(values[0]), right, yOf(values[0]), style.trace);
    }
    for (std::size_t i = 1; i < values.size(); ++i) {
        const double span = static_cast<double>(values.size() - 1);
        const int x0 = left + static_cast<int>(std::lround((i - 1) / span * (right - left)));
        const int x1 = left + static_cast<int>(std::lround(i / span * (right - left)));
        canvas.line(x0, yOf(values[i - 1]), x1, yOf(values[i]), style.trace);
    }
    return std::move(canvas.pixels);
}

} // namespace quillon::exports
