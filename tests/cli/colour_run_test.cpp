// quillon colour and quillon cct end to end on a simulated unit: the colour
// of the simulator's band-pass filter and the colour temperature of its
// lamp, against what this test computes from the published tables.
#include "../datacontrol/temp_folder.h"
#include "quillon_process.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <sstream>

using namespace quillon::test;
namespace fs = std::filesystem;
namespace tables = quillon::colour::tables;

namespace {

// The ILX511 unit of the default bench, alone, with its true wavelengths
// equal to its calibration and frames without waiting.
std::string exactBench() {
    const std::string bench = readBytes(QUILLON_DEFAULT_BENCH);
    const auto first = bench.find("[Unit]");
    const auto second = bench.find("[Unit]", first + 1);
    std::string unit = bench.substr(first, second - first);
    const auto timing = unit.find("Timing=realtime");
    unit.replace(timing, 15, "Timing=fast\nWavelengthError=0");
    return unit;
}

tables::SpectralTable csv(const char *name, std::size_t columns) {
    std::string error;
    auto table = tables::readSpectralCsv(fs::path(QUILLON_DATA_DIR) / name, columns, error);
    EXPECT_TRUE(table) << error;
    return table ? *table : tables::SpectralTable{};
}

// NAME<separator>VALUE lines: the colour table (tab) or `show` (=).
std::map<std::string, std::string> quantities(const std::string &out, char separator = '\t') {
    std::map<std::string, std::string> values;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find(separator);
        if (at != std::string::npos) {
            values[line.substr(0, at)] = line.substr(at + 1);
        }
    }
    return values;
}

double number(const std::map<std::string, std::string> &values, const std::string &key) {
    const auto found = values.find(key);
    EXPECT_NE(found, values.end()) << key;
    return found == values.end() ? std::nan("") : std::stod(found->second);
}

// The simulator's filter, half transmission at centre +- width / 2.
double filter(double nm, double centre, double width) {
    const double d = (nm - centre) / (width / 2.0);
    return 0.88 * std::exp(-std::numbers::ln2 * d * d * d * d);
}

struct ColourCheck {
    double L, a, b;
};

class ColourRun : public ::testing::Test {
protected:
    ColourRun() { writeBytes(folder / "bench.ini", exactBench()); }
    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--simulate=bench.ini", "--quiet"});
        return runIn(folder.path, args);
    }
    TempFolder folder;
};

} // namespace

TEST_F(ColourRun, FilterColourAgreesWithTheTablesAndTheSettingsComeBack) {
    const std::vector<std::string> measure{"set",
                                           "TimeAV=16",
                                           "sim",
                                           "set 0 source dark",
                                           "dark",
                                           "sim",
                                           "set 0 source halogen",
                                           "reference",
                                           "sim",
                                           "set 0 sample filter 550 80"};
    std::vector<std::string> args = measure;
    for (const char *step : {"colour", "--illuminant", "D65", "--observer", "10", "show"}) {
        args.push_back(step);
    }
    const Outcome r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto values = quantities(r.out);
    EXPECT_EQ(values.at("illuminant"), "D65");
    EXPECT_EQ(values.at("observer"), "10");

    // The T/R of the colour view is scaled by the white reflectance, 98.5 %.
    const auto astm = csv("astm_e308_table5_10nm.csv", 6);
    double X = 0, Y = 0, Z = 0;
    for (int nm = 400; nm <= 700; nm += 10) {
        const double r100 = 0.985 * filter(nm, 550, 80);
        X += r100 * astm.at(3, nm);
        Y += r100 * astm.at(4, nm);
        Z += r100 * astm.at(5, nm);
    }
    // The unit measures at its nearest pixel (up to 0.1 nm off the grid, a
    // few tenths of a % on the filter's flanks) and reads about 0.1 % where
    // the filter blocks the weak blue end of the lamp: hence the tolerances.
    const double xn = 94.811, zn = 107.304;
    EXPECT_NEAR(number(values, "X"), X, 0.2);
    EXPECT_NEAR(number(values, "Y"), Y, 0.2);
    EXPECT_NEAR(number(values, "Z"), Z, 0.15);
    EXPECT_NEAR(number(values, "x"), X / (X + Y + Z), 2e-3);
    EXPECT_NEAR(number(values, "y"), Y / (X + Y + Z), 2e-3);
    const double L = 116 * std::cbrt(Y / 100) - 16;
    const double a = 500 * (std::cbrt(X / xn) - std::cbrt(Y / 100));
    const double b = 200 * (std::cbrt(Y / 100) - std::cbrt(Z / zn));
    EXPECT_NEAR(number(values, "L*"), L, 0.2);
    EXPECT_NEAR(number(values, "a*"), a, 0.5);
    EXPECT_NEAR(number(values, "b*"), b, 1.5);
    // The first dE of a run is measured against 0, 0, 0.
    EXPECT_NEAR(number(values, "dE"), std::sqrt(L * L + a * a + b * b), 1.5);
    const ColourCheck check{number(values, "L*"), number(values, "a*"), number(values, "b*")};
    EXPECT_NEAR(number(values, "dE"), std::hypot(check.L, check.a, check.b), 1e-3);
    EXPECT_EQ(values.at("tile").size(), 7u);

    // The grid of the settings is what it was; the selection stays.
    const auto shown = quantities(r.out, '=');
    EXPECT_EQ(shown.at("StartWL"), "345");
    EXPECT_EQ(shown.at("IntervalWL"), "1");
    EXPECT_EQ(shown.at("base"), "pixel");
    EXPECT_EQ(shown.at("mode"), "scope");
    EXPECT_NE(readText(folder / "QuillonX.ini").find("InitColor=34\n"), std::string::npos);
}

TEST_F(ColourRun, ColourTemperatureOfTheLampCountsAgreesWithTheTables) {
    const Outcome r = run({"set", "TimeAV=16", "StartWL=400", "EndWL=700", "IntervalWL=10",
                           "base=wavelength", "scan", "cct"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The counts on the grid, then the temperature.
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line); // header
    std::vector<double> counts;
    while (std::getline(in, line) && line.find('\t') != std::string::npos) {
        counts.push_back(std::stod(line.substr(line.rfind('\t') + 1)));
    }
    ASSERT_EQ(counts.size(), 31u);
    const int kelvin = std::stoi(line);

    // The same search by this test: D65 x CMF (2 degree) at the 10 nm points.
    const auto d65 = csv("cie_illuminant_d65_1nm.csv", 1);
    const auto cmf = csv("cie1931_2deg_cmf.csv", 3);
    const auto uv = [&](const std::function<double(int)> &spectrum) {
        double X = 0, Y = 0, Z = 0;
        for (int nm = 400; nm <= 700; nm += 10) {
            const double w = d65.at(0, nm) * spectrum(nm);
            X += w * cmf.at(0, nm);
            Y += w * cmf.at(1, nm);
            Z += w * cmf.at(2, nm);
        }
        const double d = X + 15 * Y + 3 * Z;
        return std::array<double, 2>{4 * X / d, 6 * Y / d};
    };
    const auto sample =
        uv([&](int nm) { return counts[static_cast<std::size_t>((nm - 400) / 10)]; });
    int best = 0;
    double nearest = 1e9;
    for (int t = 1000; t <= 9999; ++t) {
        const auto p = uv([&](int nm) {
            const double l = nm * 1e-9;
            return 1.0 / (std::pow(l, 5) * std::expm1(0.014384322 / (l * t)));
        });
        const double d = std::hypot(p[0] - sample[0], p[1] - sample[1]);
        if (d < nearest) {
            nearest = d;
            best = t;
        }
    }
    EXPECT_NEAR(kelvin, best, 25);
}

TEST_F(ColourRun, RefusalsNameTheirReason) {
    const Outcome noReference = run({"colour"});
    EXPECT_EQ(noReference.exitCode, 1);
    EXPECT_NE(noReference.err.find("colour needs a dark and a reference scan first"),
              std::string::npos)
        << noReference.err;
    const Outcome ratio = run({"set", "mode=tr", "cct"});
    EXPECT_EQ(ratio.exitCode, 1);
    EXPECT_NE(ratio.err.find("mode tr shows a ratio"), std::string::npos) << ratio.err;
    const Outcome usage = run({"colour", "--illuminant", "B"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("A, C or D65, not 'B'"), std::string::npos) << usage.err;
    const Outcome reference = run({"colour", "--reference", "50,10"});
    EXPECT_EQ(reference.exitCode, 2);
    EXPECT_NE(reference.err.find("previous or L,a,b (three numbers), not '50,10'"),
              std::string::npos)
        << reference.err;

    // The first start copied the shipped tables; one the user damaged stays
    // damaged, is named, and gives no temperature.
    ASSERT_TRUE(fs::exists(folder / "OVColor.mem"));
    writeBytes(folder / "OVBlack.mem", "short");
    const Outcome damaged = run({"set", "base=wavelength", "cct"});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("The BlackBody locus file OVBlack.mem has the wrong size!"),
              std::string::npos)
        << damaged.err;
    EXPECT_NE(damaged.err.find("step 2 (cct) failed: no colour temperature"), std::string::npos)
        << damaged.err;
    EXPECT_EQ(damaged.out, "");
}

TEST_F(ColourRun, ColourExportWritesTheTableIntoTheDataFolderOnly) {
    const Outcome r = run({"set", "TimeAV=16", "sim", "set 0 source dark", "dark", "sim",
                           "set 0 source halogen", "reference", "sim", "set 0 sample filter 550 80",
                           "colour-export", "green.txt", "colour-export", "../outside", "show"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = readBytes(folder / "Data" / "green.txt");
    ASSERT_TRUE(text.starts_with("Illuminant = D65\r\nObserver = CIE 1964 (10 degree)\r\n"))
        << text;
    EXPECT_FALSE(fs::exists(folder / "Data" / "green.txt.txt"));
    EXPECT_FALSE(fs::exists(folder / "outside.txt"));
    EXPECT_TRUE(fs::exists(folder / "Data" / "_.txt")); // "../outside" cut at its last "."

    // Y of the filter as the tables give it, scaled by the white reflectance.
    const auto astm = csv("astm_e308_table5_10nm.csv", 6);
    double Y = 0;
    for (int nm = 400; nm <= 700; nm += 10) {
        Y += 0.985 * filter(nm, 550, 80) * astm.at(4, nm);
    }
    double X = 0, readY = 0, Z = 0;
    const auto tristimulus = text.find("X=");
    ASSERT_NE(tristimulus, std::string::npos);
    ASSERT_EQ(std::sscanf(text.c_str() + tristimulus, "X=%lf  Y=%lf  Z=%lf", &X, &readY, &Z), 3);
    EXPECT_NEAR(readY, Y, 0.2);
    // One row per 10 nm step of the grid the view measured on: 400 nm to the
    // settings' end (1030 nm on this unit), and the settings come back after.
    const auto rows = text.substr(text.find("Reflectance(%)\r\n") + 16);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 64);
    EXPECT_TRUE(rows.starts_with("    400.00           ")) << rows.substr(0, 40);
    EXPECT_EQ(quantities(r.out, '=').at("StartWL"), "345");

    const Outcome unnamed = run({"colour-export", ".txt"});
    EXPECT_EQ(unnamed.exitCode, 1);
    EXPECT_NE(unnamed.err.find("No Save Data Name"), std::string::npos) << unnamed.err;
    const Outcome noReference = run({"colour-export", "blank"});
    EXPECT_EQ(noReference.exitCode, 1);
    EXPECT_FALSE(fs::exists(folder / "Data" / "blank.txt"));
}
