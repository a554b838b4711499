// quillon calibrating the TCD1304 unit of the simulated bench, whose EEPROM
// calibration is up to 1 nm off the truth, on the simulator's Hg-Ar lamp.
#include "../datacontrol/temp_folder.h"
#include "datacontrol/profile_file.h"
#include "quillon_process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

struct Line {
    double nm;
    bool isolated; // no other line within 3 nm
};

std::vector<Line> strongLines() {
    std::vector<std::pair<double, double>> all;
    const auto rows = split(readBytes(QUILLON_HG_AR_LINES), '\n');
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto cells = split(rows[k], ',');
        if (cells.size() >= 3) {
            all.emplace_back(std::stod(cells[1]), cells[2].empty() ? 0.0 : std::stod(cells[2]));
        }
    }
    std::vector<Line> lines;
    for (const auto &[nm, intensity] : all) {
        bool isolated = true;
        for (const auto &other : all) {
            isolated = isolated && (other.first == nm || std::abs(other.first - nm) >= 3.0);
        }
        if (intensity >= 5000 && nm > 310 && nm < 930) {
            lines.push_back({nm, isolated});
        }
    }
    return lines;
}

// The wavelength column of a peak table.
std::vector<double> peakWavelengths(const std::string &table) {
    std::vector<double> found;
    const auto rows = split(table, '\n');
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto cells = split(rows[k], '\t');
        if (cells.size() == 7) {
            found.push_back(std::stod(cells[2]));
        }
    }
    return found;
}

// How far the strong isolated lines lie from the nearest peak: the largest
// distance and the root mean square.
std::pair<double, double> lineErrors(const std::vector<double> &found) {
    double largest = 0.0;
    double squares = 0.0;
    int count = 0;
    for (const Line &line : strongLines()) {
        if (!line.isolated) {
            continue;
        }
        double nearest = 1e9;
        for (const double nm : found) {
            nearest = std::abs(nm - line.nm) < std::abs(nearest) ? nm - line.nm : nearest;
        }
        largest = std::max(largest, std::abs(nearest));
        squares += nearest * nearest;
        ++count;
    }
    EXPECT_GE(count, 10);
    return {largest, std::sqrt(squares / std::max(count, 1))};
}

class CalibrateRun : public ::testing::Test {
protected:
    Outcome simulated(std::vector<std::string> args) {
        args.insert(args.begin(), {"--simulate", "--quiet"});
        return runIn(folder.path, args);
    }
    std::vector<fs::path> backups() const {
        std::vector<fs::path> found;
        if (fs::exists(folder.path / "Backup")) {
            for (const auto &entry : fs::directory_iterator(folder.path / "Backup")) {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    TempFolder folder;
};

const std::vector<std::string> kLampOnTcd{"channel", "1", "sim", "set 1 source hgar"};

std::vector<std::string> with(std::vector<std::string> first,
                              const std::vector<std::string> &then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

TEST_F(CalibrateRun, WrittenIntoTheUnitTheLinesComeWithinATenthOfANanometre) {
    const Outcome before = simulated(with(kLampOnTcd, {"peaks"}));
    ASSERT_EQ(before.exitCode, 0) << before.err;
    EXPECT_GT(lineErrors(peakWavelengths(before.out)).first, 0.5);

    // Calibrate, write into the unit, then configure the channel again from
    // what the unit now holds and look at the lamp once more.
    const Outcome r = simulated(
        with(with(with({"--yes"}, kLampOnTcd), {"calibrate", "--save-eeprom", "channel", "0"}),
             with(kLampOnTcd, {"peaks"})));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto tables = split(r.out, '\n');
    ASSERT_FALSE(tables.empty());
    EXPECT_EQ(tables[0], "line_nm\tpixel\tpresent_nm\tfitted_nm\tresidual_nm");
    const auto rms = r.out.find("rms_nm\t");
    ASSERT_NE(rms, std::string::npos);
    EXPECT_LT(std::stod(r.out.substr(rms + 7)), 0.1);
    const auto peaks = r.out.find("no\tpixel\t");
    ASSERT_NE(peaks, std::string::npos);
    const auto [largest, rootMeanSquare] = lineErrors(peakWavelengths(r.out.substr(peaks)));
    EXPECT_LT(rootMeanSquare, 0.1);
    EXPECT_LT(largest, 0.15); // a stored pixel is whole: half a pixel is 0.06 nm here
    EXPECT_EQ(backups().size(), 1u);
    EXPECT_NE(r.err.find("reads back unchanged"), std::string::npos) << r.err;
}

TEST_F(CalibrateRun, ADryRunStoresNothingAndACustomSetIsUsedFromThen) {
    const Outcome dry = simulated(with(kLampOnTcd, {"calibrate", "--dry-run"}));
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_TRUE(backups().empty());
    quillon::ProfileFile main(folder.path / "QuillonX.ini");
    ASSERT_TRUE(main.Load());
    EXPECT_EQ(main.FindSection("Cal 1"), -1);

    const Outcome saved = simulated(with(kLampOnTcd, {"calibrate", "--save-ini", "Lamp A"}));
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    quillon::ProfileFile after(folder.path / "QuillonX.ini");
    ASSERT_TRUE(after.Load());
    EXPECT_EQ(after.GetText("Cal 1", "Name"), "Lamp A");
    EXPECT_GE(after.GetInt("Cal 1", "PointCount"), 10);
    EXPECT_EQ(after.GetInt("Extend Options", "CalNo"), 1);
    EXPECT_TRUE(backups().empty());
}

TEST_F(CalibrateRun, NoLampNoLinesOrABadOrderAreRefused) {
    const Outcome dark = simulated({"channel", "1", "sim", "set 1 source dark", "calibrate"});
    EXPECT_EQ(dark.exitCode, 1);
    EXPECT_NE(dark.err.find("is the lamp on?"), std::string::npos) << dark.err;
    EXPECT_TRUE(backups().empty());

    writeBytes(folder.path / "lines.txt", "435.83\nabc\n");
    const Outcome junk = simulated(with(kLampOnTcd, {"calibrate", "--lines", "lines.txt"}));
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_NE(junk.err.find("lines.txt: line 2: no wavelength in nm"), std::string::npos)
        << junk.err;

    const Outcome order = simulated({"calibrate", "--order", "9"});
    EXPECT_EQ(order.exitCode, 2);
    EXPECT_NE(order.err.find("a polynomial order from 1 to 4, not '9'"), std::string::npos)
        << order.err;
}

} // namespace
