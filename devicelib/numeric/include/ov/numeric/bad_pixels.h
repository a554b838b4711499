// Repair of listed bad pixels from their nearest good neighbours.
#ifndef QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_BAD_PIXELS_H
#define QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_BAD_PIXELS_H

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>

namespace ov::numeric {

// Replaces each listed pixel by the mean (truncated) of its nearest good
// neighbours in `pixels`, or by the one neighbour where only one side has
// any. Entry p of the list names pixels[p - first]; entries outside are
// ignored, and so is a pixel with no good neighbour at all.
// `badList` is any range of integers.
template <typename List>
void repairBadPixels(std::span<int> pixels, const List &badList, long long first = 0) {
    const auto length = static_cast<long long>(pixels.size());
    const auto isBad = [&](long long at) {
        return std::any_of(std::begin(badList), std::end(badList),
                           [&](auto bad) { return static_cast<long long>(bad) - first == at; });
    };
    for (const auto entry : badList) {
        const long long bad = static_cast<long long>(entry) - first;
        if (bad < 0 || bad >= length) {
            continue;
        }
        long long lower = bad - 1;
        while (lower >= 0 && isBad(lower)) {
            --lower;
        }
        long long upper = bad + 1;
        while (upper < length && isBad(upper)) {
            ++upper;
        }
        const bool hasLower = lower >= 0;
        const bool hasUpper = upper < length;
        if (!hasLower && !hasUpper) {
            continue;
        }
        const long long low = pixels[static_cast<std::size_t>(hasLower ? lower : upper)];
        const long long high = pixels[static_cast<std::size_t>(hasUpper ? upper : lower)];
        pixels[static_cast<std::size_t>(bad)] = static_cast<int>((low + high) / 2);
    }
}

} // namespace ov::numeric

#endif
