// The colour export file and the colour list against colours this test works
// out itself from the published tables, the file's name in the data folder,
// and the chart geometry the window and the paper share.
#include "../photometry/colour_fixture.h"
#include "datacontrol/colour_view_rules.h"

#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;
namespace cv = quillon::colour_view;

namespace {

// A green band-pass filter, 88 % at its centre.
double filterPercent(double nm) {
    const double d = (nm - 540.0) / 40.0;
    return 88.0 * std::exp(-std::numbers::ln2 * d * d * d * d);
}

std::vector<std::string> crlfLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the text does not end in CR LF";
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::array<double, 3> numbersIn(const std::string &line, const char *format) {
    std::array<double, 3> v{};
    EXPECT_EQ(std::sscanf(line.c_str(), format, &v[0], &v[1], &v[2]), 3) << line;
    return v;
}

// The white of an illuminant and observer from the 1 nm tables, Y = 100.
std::array<double, 3> whiteOf(const colour::tables::SpectralTable &light,
                              const colour::tables::SpectralTable &cmf) {
    std::array<double, 3> sums{};
    for (int nm = 360; nm <= 830; ++nm) {
        for (std::size_t c = 0; c < 3; ++c) {
            sums[c] += light.at(0, nm) * cmf.at(c, nm);
        }
    }
    return {100.0 * sums[0] / sums[1], 100.0, 100.0 * sums[2] / sums[1]};
}

double labForm(double t) {
    return t >= 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
}

std::string runTool(const std::string &command) {
    std::string out;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        std::array<char, 256> chunk{};
        while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
            out += chunk.data();
        }
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    return out;
}

class ColourExportTest : public ColourTest {
protected:
    cv::ColourSnapshot measure() {
        EXPECT_TRUE(engine.ComputeColor());
        cv::ColourSnapshot snapshot;
        cv::takeSnapshot(engine, state, snapshot);
        return snapshot;
    }
};

} // namespace

TEST_F(ColourExportTest, ExportOfAFilterHoldsTheColourOfThePublishedTables) {
    // The two sets ASTM E308 publishes: A / 2 degree and D65 / 10 degree.
    const auto astm = csv("astm_e308_table5_10nm.csv", 6);
    struct Case {
        int illuminant, observer;
        std::size_t firstColumn;
        const char *light, *cmf, *illuminantLine, *observerLine;
    };
    const std::array<Case, 2> cases{{
        {0, 0, 0, "cie_illuminant_a_1nm.csv", "cie1931_2deg_cmf.csv", "Illuminant = A",
         "Observer = CIE 1931 (2 degree)"},
        {2, 1, 3, "cie_illuminant_d65_1nm.csv", "cie1964_10deg_cmf.csv", "Illuminant = D65",
         "Observer = CIE 1964 (10 degree)"},
    }};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.illuminantLine);
        select(c.illuminant, c.observer);
        ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
        setColourGrid(filterPercent);
        const std::string text = cv::exportText(measure());

        double X = 0, Y = 0, Z = 0;
        for (int nm = 400; nm <= 700; nm += 10) {
            const double r = static_cast<float>(filterPercent(nm)) / 100.0;
            X += r * astm.at(c.firstColumn, nm);
            Y += r * astm.at(c.firstColumn + 1, nm);
            Z += r * astm.at(c.firstColumn + 2, nm);
        }
        const auto [xn, yn, zn] = whiteOf(csv(c.light, 1), csv(c.cmf, 3));
        const double sum = X + Y + Z;
        const double L = 116 * labForm(Y / yn) - 16;
        const double a = 500 * (labForm(X / xn) - labForm(Y / yn));
        const double b = 200 * (labForm(Y / yn) - labForm(Z / zn));
        const double q = X + 15 * Y + 3 * Z, qn = xn + 15 * yn + 3 * zn;
        const double uStar = 13 * L * (4 * X / q - 4 * xn / qn);
        const double vStar = 13 * L * (9 * Y / q - 9 * yn / qn);
        const double hunterL = 100 * std::sqrt(Y / yn);
        const double hunterA = 175 * std::sqrt(0.0102 * xn * yn / Y) * (X / xn - Y / yn);
        const double hunterB = 70 * std::sqrt(0.00847 * zn * yn / Y) * (Y / yn - Z / zn);

        const std::vector<std::string> lines = crlfLines(text);
        ASSERT_EQ(lines.size(), 12u + 31u);
        EXPECT_EQ(lines[0], c.illuminantLine);
        EXPECT_EQ(lines[1], c.observerLine);
        EXPECT_EQ(lines[2], "10nm interval from 400nm to 700nm");
        EXPECT_EQ(lines[3], "");
        EXPECT_EQ(lines[10], "");
        EXPECT_EQ(lines[11], "Wavelength(nm)     Reflectance(%)");
        // Two decimals in the file; the white's last digits differ by less.
        constexpr double kTwo = 0.012, kFour = 0.00012;
        const auto xyz = numbersIn(lines[4], "X=%lf  Y=%lf  Z=%lf");
        EXPECT_NEAR(xyz[0], X, kTwo);
        EXPECT_NEAR(xyz[1], Y, kTwo);
        EXPECT_NEAR(xyz[2], Z, kTwo);
        const auto chromaticity = numbersIn(lines[5], "x=%lf y=%lf z=%lf");
        EXPECT_NEAR(chromaticity[0], X / sum, kFour);
        EXPECT_NEAR(chromaticity[1], Y / sum, kFour);
        EXPECT_NEAR(chromaticity[2], Z / sum, kFour);
        const auto lab = numbersIn(lines[6], "L*=%lf  a*=%lf  b*=%lf");
        EXPECT_NEAR(lab[0], L, 2 * kTwo);
        EXPECT_NEAR(lab[1], a, 2 * kTwo);
        EXPECT_NEAR(lab[2], b, 2 * kTwo);
        const auto luv = numbersIn(lines[7], "L*=%lf  u*=%lf  v*=%lf");
        EXPECT_NEAR(luv[1], uStar, 2 * kTwo);
        EXPECT_NEAR(luv[2], vStar, 2 * kTwo);
        const auto lch = numbersIn(lines[8], "L*=%lf  C*=%lf  h*=%lf");
        EXPECT_NEAR(lch[1], std::hypot(a, b), 2 * kTwo);
        EXPECT_NEAR(lch[2], std::atan2(b, a), 0.006); // radians
        const auto hunter = numbersIn(lines[9], "HL*=%lf Ha*=%lf Hb*=%lf");
        EXPECT_NEAR(hunter[0], hunterL, 2 * kTwo);
        EXPECT_NEAR(hunter[1], hunterA, 2 * kTwo);
        EXPECT_NEAR(hunter[2], hunterB, 2 * kTwo);
        for (int i = 0; i < 31; ++i) {
            double nm = 0, percent = 0;
            const std::string &row = lines[static_cast<std::size_t>(12 + i)];
            ASSERT_EQ(std::sscanf(row.c_str(), "    %lf           %lf", &nm, &percent), 2) << row;
            EXPECT_EQ(nm, 400.0 + 10 * i);
            EXPECT_NEAR(percent, filterPercent(nm), 0.006);
        }
    }
}

TEST_F(ColourExportTest, WrittenFileIsPlainAsciiWithCrLfForOtherReaders) {
    setColourGrid(filterPercent);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    const cv::ColourSnapshot snapshot = measure();
    const cv::ExportOutcome outcome = cv::writeExport(folder.path, "green", snapshot);
    ASSERT_TRUE(outcome.saved) << outcome.problem;
    EXPECT_EQ(outcome.path, folder / "green.txt");
    EXPECT_EQ(readBytes(outcome.path), cv::exportText(snapshot));
#ifdef _WIN32
    GTEST_SKIP() << "the readers are host programs, which a test under Wine cannot start";
#endif
    const std::string quoted = "'" + outcome.path.string() + "'";
    EXPECT_EQ(runTool("file -b " + quoted), "ASCII text, with CRLF line terminators\n");
    // iconv refuses any byte outside ASCII; the conversion is the file itself.
    EXPECT_EQ(runTool("iconv -f ascii -t ascii " + quoted), readBytes(outcome.path));
}

TEST_F(ColourExportTest, GridEndingAbove700KeepsItsRowsButNotInTheColour) {
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid(filterPercent);
    const std::vector<std::string> colourGrid = crlfLines(cv::exportText(measure()));
    setGrid(400.0, 10.0, 41, filterPercent); // to 800 nm
    const std::vector<std::string> longGrid = crlfLines(cv::exportText(measure()));
    ASSERT_EQ(longGrid.size(), 12u + 41u);
    EXPECT_EQ(longGrid.back(), "    800.00             0.00");
    // The same colour: only 400-700 nm are weighted.
    for (std::size_t i = 0; i < colourGrid.size(); ++i) {
        EXPECT_EQ(longGrid[i], colourGrid[i]) << "line " << i + 1;
    }
    EXPECT_EQ(cv::colourGridFor(650.0).end, 700.0);
    EXPECT_EQ(cv::colourGridFor(900.0).end, 900.0);
}

TEST_F(ColourExportTest, ListShowsDeltaEFromZeroFirstThenFromThePreviousOrTheUserColour) {
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid(filterPercent);
    const cv::ColourSnapshot first = measure();
    const ColorValues &c1 = first.values;
    const auto dELine = [](const cv::ColourSnapshot &s) { return cv::listLines(s).at(7); };
    char expected[64];
    std::snprintf(expected, sizeof expected, "04,00 dE =%6.2f",
                  std::sqrt(c1.L * c1.L + c1.a * c1.a + c1.b * c1.b));
    EXPECT_EQ(dELine(first), expected);

    setColourGrid([](double) { return 50.0; });
    const cv::ColourSnapshot grey = measure();
    const ColorValues &c2 = grey.values;
    std::snprintf(
        expected, sizeof expected, "04,00 dE =%6.2f",
        std::sqrt(std::pow(c2.L - c1.L, 2) + std::pow(c2.a - c1.a, 2) + std::pow(c2.b - c1.b, 2)));
    EXPECT_EQ(dELine(grey), expected);

    engine.SetReference(ColorCalc::kUserReference, 50.0f, 10.0f, -5.0f);
    const cv::ColourSnapshot against = measure();
    const ColorValues &c3 = against.values;
    std::snprintf(
        expected, sizeof expected, "04,00 dE =%6.2f",
        std::sqrt(std::pow(c3.L - 50, 2) + std::pow(c3.a - 10, 2) + std::pow(c3.b + 5, 2)));
    EXPECT_EQ(dELine(against), expected);

    // The list: seven value lines and dE in red, an empty line, a blue row per step.
    const std::vector<std::string> lines = cv::listLines(against);
    ASSERT_EQ(lines.size(), 9u + 31u);
    EXPECT_TRUE(lines[2].starts_with("04,00 UCSu=0.")) << lines[2];
    EXPECT_TRUE(lines[2].ends_with(' '));
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], "02,00 WL = 400.00    R(%) =   50.00");
    EXPECT_EQ(lines.back(), "02,00 WL = 700.00    R(%) =   50.00");
    const cv::ListLine value = cv::parseListLine(lines[0]);
    EXPECT_EQ(value.foreground, 4);
    EXPECT_EQ(value.background, 0);
    EXPECT_TRUE(value.text.starts_with("X="));
    EXPECT_EQ(cv::parseListLine(lines[9]).foreground, 2);
    const cv::ListLine plain = cv::parseListLine("");
    EXPECT_EQ(plain.text, "");
    EXPECT_EQ(plain.foreground, 1);
    EXPECT_EQ(cv::paletteColour(4), 0xFF0000u);
    EXPECT_EQ(cv::paletteColour(0), 0xFFFFFFu);
}

TEST_F(ColourExportTest, ExportNameStaysInTheDataFolderAndEmptyNamesWriteNothing) {
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid(filterPercent);
    const cv::ColourSnapshot snapshot = measure();
    const fs::path data = folder / "Data";
    fs::create_directories(data);
    // The extension is cut first, so ".txt" is written once.
    EXPECT_EQ(cv::writeExport(data, "green.txt", snapshot).path, data / "green.txt");
    EXPECT_EQ(cv::writeExport(data, "run.2.final", snapshot).path, data / "run.2.txt");
    for (const char *escape : {"../outside", "..\\..\\outside", "/tmp/elsewhere", "sub/dir"}) {
        SCOPED_TRACE(escape);
        const cv::ExportOutcome outcome = cv::writeExport(data, escape, snapshot);
        ASSERT_TRUE(outcome.saved) << outcome.problem;
        EXPECT_EQ(outcome.path.parent_path(), data);
    }
    EXPECT_FALSE(fs::exists(folder / "outside.txt"));
    const auto before = std::distance(fs::directory_iterator(data), fs::directory_iterator());
    for (const char *empty : {"", ".txt", "   "}) {
        const cv::ExportOutcome outcome = cv::writeExport(data, empty, snapshot);
        EXPECT_FALSE(outcome.saved);
        EXPECT_EQ(outcome.problem, cv::kNoSaveName);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), before);
    // A data folder that cannot be written to: said so, nothing reported as saved.
    std::ofstream(folder / "notAFolder") << "x";
    const cv::ExportOutcome refused = cv::writeExport(folder / "notAFolder", "green", snapshot);
    EXPECT_FALSE(refused.saved);
    EXPECT_NE(refused.problem.find("green.txt"), std::string::npos) << refused.problem;
}

TEST(ColourChartGeometry, PanelsStayInsideTheAreaAndScalesHitTheirEdges) {
    for (const cv::Box area : {cv::Box{0, 60, 1920, 600}, cv::Box{0, 60, 1024, 380},
                               cv::Box{40, 40, 700, 300}, cv::Box{0, 0, 120, 60}}) {
        SCOPED_TRACE(std::to_string(area.width) + "x" + std::to_string(area.height));
        const cv::ChartLayout l = cv::layoutCharts(area);
        for (const cv::Box &b : {l.xyPlot, l.yBar, l.labPlot, l.lightness, l.reflectance}) {
            EXPECT_GE(b.x, area.x);
            EXPECT_GE(b.y, area.y);
            if (area.width >= 700) {
                EXPECT_LE(b.right(), area.right());
                EXPECT_LE(b.bottom(), area.bottom());
            }
        }
        // Left to right without overlap: plot, bar, plot, bar, bars.
        EXPECT_LT(l.xyPlot.right(), l.yBar.x);
        EXPECT_LT(l.yBar.right(), l.labPlot.x);
        EXPECT_LT(l.labPlot.right(), l.lightness.x);
        EXPECT_LT(l.lightness.right(), l.reflectance.x);
        EXPECT_EQ(l.xyPlot.width, l.xyPlot.height);
        EXPECT_EQ(l.labPlot.width, l.labPlot.height);
        EXPECT_LE(l.xyTitle.bottom(), l.xyPlot.y);
    }
    const cv::Box plot{100, 50, 300, 300};
    const cv::Point origin = cv::chromaticityPoint(plot, 0, 0);
    const cv::Point corner = cv::chromaticityPoint(plot, 1, 1);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 350);
    EXPECT_EQ(corner.x, 400);
    EXPECT_EQ(corner.y, 50);
    // a* and b* of +-60 reach the edges; further out, and not-a-number, stay on the plot.
    EXPECT_EQ(cv::labPoint(plot, 0, 0).x, 250);
    EXPECT_EQ(cv::labPoint(plot, 60, 0).x, 400);
    EXPECT_EQ(cv::labPoint(plot, 0, -60).y, 350);
    EXPECT_EQ(cv::labPoint(plot, 500, 0).x, 400);
    EXPECT_EQ(cv::labPoint(plot, std::nan(""), 0).x, 100);
    EXPECT_EQ(cv::barLevel(plot, 50), 200);
    EXPECT_EQ(cv::barLevel(plot, 140), 50);
    EXPECT_EQ(cv::markRadius(plot), 3);
    // Reflectance bars: side by side across the chart, their height the value.
    const cv::Box chart{0, 0, 310, 200};
    int left = 0;
    for (int i = 0; i < 31; ++i) {
        const cv::Box bar = cv::reflectanceBar(chart, i, 31, 50);
        EXPECT_EQ(bar.x, left);
        EXPECT_EQ(bar.y, 100);
        EXPECT_EQ(bar.bottom(), 200);
        left = bar.x + 10;
    }
    EXPECT_EQ(cv::reflectanceBar(chart, 0, 31, -5).height, 0);
    EXPECT_EQ(cv::reflectanceBar(chart, 0, 0, 50).width, 0);
}

TEST_F(ColourExportTest, ChartDataCarriesTheLocusAndOneColouredBarPerStep) {
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid(filterPercent);
    (void)measure();
    const cv::ColourSnapshot second = measure();
    const cv::ColourChartData data = cv::chartData(second, engine.LocusTable());
    ASSERT_EQ(data.locus.size(), 81u);
    // The locus runs from deep violet (x about 0.17) to deep red (x about 0.73).
    EXPECT_NEAR(data.locus.front().x, 0.174, 0.002);
    EXPECT_NEAR(data.locus.back().x, 0.735, 0.002);
    ASSERT_EQ(data.bars.size(), 31u);
    EXPECT_EQ(data.bars[14].wavelength, 540);
    EXPECT_NEAR(data.bars[14].value, 88.0, 1e-4);
    EXPECT_EQ(data.bars[14].colour, ColorCalc::WavelengthColor(540.0f));
    // The previous point is the first computation's, here the same filter.
    EXPECT_EQ(data.previousX, data.x);
    EXPECT_EQ(data.referenceL, data.L);
}
