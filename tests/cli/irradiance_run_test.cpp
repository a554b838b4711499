// quillon as a spectroradiometer, end to end on a simulated unit: a
// calibration against the simulator's calibrated lamp at 50 cm, then the same
// lamp at 25 cm measured against the simulator's own truth.
#include "../datacontrol/temp_folder.h"
#include "quillon_process.h"
#include "sim/optics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

// The ILX511 unit of the default bench alone, true wavelengths equal to its
// calibration, frames without waiting.
std::string exactBench() {
    const std::string bench = readBytes(QUILLON_DEFAULT_BENCH);
    const auto first = bench.find("[Unit]");
    const auto second = bench.find("[Unit]", first + 1);
    std::string unit = bench.substr(first, second - first);
    const auto timing = unit.find("Timing=realtime");
    unit.replace(timing, 15, "Timing=fast\nWavelengthError=0");
    return unit;
}

struct GridPoint {
    double nm;
    double value;
};

// The rows of a wavelength-base scan table (after its header), up to the
// first line that is not one.
std::vector<GridPoint> gridRows(std::istringstream &in) {
    std::vector<GridPoint> rows;
    std::string line;
    std::getline(in, line);
    while (in.peek() != EOF && std::isdigit(in.peek())) {
        std::getline(in, line);
        const auto first = line.find('\t');
        rows.push_back(
            {std::stod(line.substr(0, first)), std::stod(line.substr(line.rfind('\t')))});
    }
    return rows;
}

std::map<std::string, std::string> quantities(std::istringstream &in) {
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find('\t');
        if (at != std::string::npos) {
            values[line.substr(0, at)] = line.substr(at + 1);
        }
    }
    return values;
}

class IrradianceRun : public ::testing::Test {
protected:
    IrradianceRun() { writeBytes(folder / "bench.ini", exactBench()); }
    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--simulate=bench.ini", "--quiet"});
        return runIn(folder.path, args);
    }
    TempFolder folder;
};

constexpr double kStep = 5.0;
const std::vector<std::string> kCalibrateAt50{"sim",
                                              "set 0 source dark",
                                              "set",
                                              "TimeAV=16",
                                              "StartWL=400",
                                              "EndWL=1000",
                                              "IntervalWL=5",
                                              "dark",
                                              "sim",
                                              "set 0 source lamp",
                                              "irradiance-calibrate",
                                              "50",
                                              "sim",
                                              "set 0 distance 25",
                                              "set",
                                              "IrradDist=25"};

} // namespace

TEST_F(IrradianceRun, TheLampAtHalfTheDistanceGivesFourTimesItsIrradiance) {
    std::vector<std::string> steps = kCalibrateAt50;
    steps.insert(steps.end(), {"set", "mode=irradiance", "irradiance=absolute", "scan", "totals"});
    const Outcome r = run(steps);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    const std::vector<GridPoint> grid = gridRows(in);
    ASSERT_EQ(grid.size(), 121u);
    double peak = 0.0;
    for (const GridPoint &g : grid) {
        peak = std::max(peak, ov::sim::calibratedLampIrradiance(g.nm, 25.0));
    }
    double integral = 0.0;
    int checked = 0;
    for (const GridPoint &g : grid) {
        const double truth = ov::sim::calibratedLampIrradiance(g.nm, 25.0);
        integral += truth * kStep;
        // The silicon response leaves little signal at the ends of the grid.
        if (truth > 0.2 * peak && g.nm < 1000.0) {
            EXPECT_NEAR(g.value / truth, 1.0, 0.02) << g.nm << " nm";
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
    const auto totals = quantities(in);
    EXPECT_NEAR(std::stod(totals.at("total_irradiance_uW/cm^2")) / integral, 1.0, 0.02);
    // The spherical cap of 25 cm radius under 180 degrees: 2 pi d^2 in m^2.
    EXPECT_NEAR(std::stod(totals.at("total_power_uW")) /
                    std::stod(totals.at("total_irradiance_uW/cm^2")),
                2.0 * 3.14159265 * 0.0625, 1e-4);
    EXPECT_NEAR(std::stod(totals.at("colour_temperature_K")),
                ov::sim::CalibratedLamp::kTemperatureK, 50.0);
    EXPECT_EQ(totals.at("illuminance_lux"), "-");

    // The calibration file: serial, distance, integration time, one ratio a pixel.
    const std::string cal = readBytes(folder / "OVIrrad_0.cal");
    EXPECT_EQ(cal.size(), 32u + 4u * 2048u);
    EXPECT_EQ(cal[24], 50);
    EXPECT_TRUE(fs::exists(folder / "OVIrrad_0.txt"));
}

TEST_F(IrradianceRun, IlluminanceWeightsTheIrradianceByTheEye) {
    std::vector<std::string> steps = kCalibrateAt50;
    steps.insert(steps.end(), {"set", "mode=irradiance", "irradiance=absolute", "totals", "set",
                               "irradiance=illuminance", "totals"});
    const Outcome r = run(steps);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    const auto irradiance = quantities(in);
    // Both tables share one stream; the second overwrites the first's keys.
    EXPECT_NE(irradiance.at("illuminance_lux"), "-");
    const double lux = std::stod(irradiance.at("illuminance_lux"));
    // 683 lm/W over the visible band of a 3100 K lamp: some tens of lux per
    // uW/cm^2 of the band; here a plain plausibility check against the
    // band 500-620 nm, where V is above 0.3.
    double band = 0.0;
    for (double nm = 500.0; nm <= 620.0; nm += kStep) {
        band += 0.3 * 6.83 * ov::sim::calibratedLampIrradiance(nm, 25.0) * kStep;
    }
    EXPECT_GT(lux, band);
    EXPECT_NEAR(std::stod(irradiance.at("luminous_flux_lm")) / lux, 2.0 * 3.14159265 * 0.0625,
                1e-4);
}

TEST_F(IrradianceRun, CalibrationRefusals) {
    // Without a dark; with the lamp so close that the sensor saturates; with
    // no light at all.
    const Outcome noDark = run({"irradiance-calibrate", "50"});
    EXPECT_NE(noDark.exitCode, 0);
    EXPECT_NE(noDark.err.find("needs a dark scan first"), std::string::npos) << noDark.err;

    const Outcome saturated = run({"sim", "set 0 source dark", "dark", "sim", "set 0 source lamp",
                                   "sim", "set 0 distance 5", "irradiance-calibrate", "5"});
    EXPECT_NE(saturated.exitCode, 0);
    EXPECT_NE(saturated.err.find("The calibration scan is saturated from"), std::string::npos)
        << saturated.err;
    EXPECT_FALSE(fs::exists(folder / "OVIrrad_0.cal"));

    const Outcome dark = run({"sim", "set 0 source dark", "dark", "irradiance-calibrate", "50"});
    EXPECT_NE(dark.exitCode, 0);
    EXPECT_NE(dark.err.find("no counts above the dark at"), std::string::npos) << dark.err;
    EXPECT_FALSE(fs::exists(folder / "OVIrrad_0.cal"));

    const Outcome noMode = run({"set", "mode=irradiance"});
    EXPECT_NE(noMode.exitCode, 0);
    EXPECT_NE(noMode.err.find("irradiance needs a calibrated unit"), std::string::npos)
        << noMode.err;
}
