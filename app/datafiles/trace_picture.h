// A picture of one trace without a window: plot area, grid and the line,
// for exports made where no graph is drawn (the command line). Pixels are
// 0xAARRGGBB words, top row first.
#ifndef QUILLON_APP_DATAFILES_TRACE_PICTURE_H
#define QUILLON_APP_DATAFILES_TRACE_PICTURE_H

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::exports {

struct TracePictureStyle {
    int width = 800;
    int height = 500;
    std::uint32_t outer = 0xFFFFFFFFu;
    std::uint32_t plot = 0xFFFFFFFFu;
    std::uint32_t grid = 0xFFD0D0D0u;
    std::uint32_t frame = 0xFF000000u;
    std::uint32_t trace = 0xFFFF3C3Cu;
    double yMin = 0.0; // yMin >= yMax: the data's own range
    double yMax = 0.0;
};

// The values spread over the plot's width from the first to the last.
std::vector<std::uint32_t> traceLinePicture(std::span<const float> values,
                                            const TracePictureStyle &style);

// A colour as the settings store it (R + 256 G + 65536 B) as 0xAARRGGBB.
std::uint32_t argbOfSettingsColour(std::uint32_t rgb);

} // namespace quillon::exports

#endif
