// A colour engine on a bare channel state in a fresh program folder that
// holds the shipped tables, and what the tests need to compute colours
// themselves: the published tables read straight from resources/data.
#ifndef QUILLON_TESTS_PHOTOMETRY_COLOUR_FIXTURE_H
#define QUILLON_TESTS_PHOTOMETRY_COLOUR_FIXTURE_H

#include "../datacontrol/temp_folder.h"
#include "photometry/color_calc.h"
#include "platform/scripted_prompter.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillon::test {

inline const std::filesystem::path kShipped = QUILLON_SHIPPED_DIR;
inline const std::filesystem::path kData = QUILLON_DATA_DIR;

inline colour::tables::SpectralTable csv(const char *name, std::size_t columns) {
    std::string error;
    auto table = colour::tables::readSpectralCsv(kData / name, columns, error);
    EXPECT_TRUE(table) << error;
    return table ? *table : colour::tables::SpectralTable{};
}

// Little-endian float32 number `index` of a byte image.
inline float floatAt(const std::string &bytes, std::size_t index) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | static_cast<unsigned char>(bytes.at(index * 4 + static_cast<std::size_t>(i)));
    }
    return std::bit_cast<float>(v);
}

inline void putFloat(std::string &bytes, std::size_t index, float value) {
    const auto v = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        bytes.at(index * 4 + static_cast<std::size_t>(i)) = static_cast<char>(v >> (8 * i) & 0xFF);
    }
}

class ColourTest : public ::testing::Test {
protected:
    ColourTest() {
        state.programFolder = folder.path;
        for (const char *name : colour::kShippedFiles) {
            std::filesystem::copy_file(kShipped / name, folder / name);
        }
    }

    // The colour grid, 400-700 nm at 10 nm, with the value of each wavelength.
    void setColourGrid(const std::function<double(double)> &percent) {
        setGrid(400.0, 10.0, 31, percent);
    }
    void setGrid(double start, double step, int count, const std::function<double(double)> &f) {
        state.grid.start = start;
        state.grid.interval = step;
        state.grid.count = count;
        state.grid.end = start + step * (count - 1);
        state.buffers.gridResult.assign(static_cast<std::size_t>(count), 0.0f);
        for (int i = 0; i < count; ++i) {
            state.buffers.gridResult[static_cast<std::size_t>(i)] =
                static_cast<float>(f(start + step * i));
        }
    }
    void select(int illuminant, int observer) {
        state.settings.colorWord = colour::withSelection(0, illuminant, observer);
    }

    TempFolder folder;
    ChannelState state;
    ScriptedPrompter prompter;
    ColorCalc engine{state, prompter};
};

} // namespace quillon::test

#endif
