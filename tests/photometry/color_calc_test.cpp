// The colour computation of ColorCalc against colours this test works out
// itself from the published tables, and its handling of odd samples and
// damaged table files.
#include "colour_fixture.h"

#include <numbers>

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

constexpr double kFilterPeak = 0.88;

// The band-pass filter of the simulated units: half transmission at centre +- width / 2.
double filter(double nm, double centre, double width) {
    const double d = (nm - centre) / (width / 2.0);
    return kFilterPeak * std::exp(-std::numbers::ln2 * d * d * d * d);
}

struct Colour {
    double X = 0, Y = 0, Z = 0, x = 0, y = 0, L = 0, a = 0, b = 0, Luv = 0, uStar = 0, vStar = 0,
           hunterL = 0, hunterA = 0, hunterB = 0;
};

double labForm(double t) {
    return t >= 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
}

// CIE 15 formulas on tristimulus values and a white; Hunter Lab in its form
// with the constants 0.0102 and 0.00847 for Yn = 100.
Colour colourOf(double X, double Y, double Z, double xn, double yn, double zn) {
    Colour c{X, Y, Z};
    const double sum = X + Y + Z;
    c.x = X / sum;
    c.y = Y / sum;
    const auto f = labForm;
    c.L = 116 * f(Y / yn) - 16;
    c.a = 500 * (f(X / xn) - f(Y / yn));
    c.b = 200 * (f(Y / yn) - f(Z / zn));
    const double q = X + 15 * Y + 3 * Z;
    const double qn = xn + 15 * yn + 3 * zn;
    c.Luv = c.L;
    c.uStar = 13 * c.L * (4 * X / q - 4 * xn / qn);
    c.vStar = 13 * c.L * (9 * Y / q - 9 * yn / qn);
    c.hunterL = 100 * std::sqrt(Y / yn);
    c.hunterA = 175 * std::sqrt(1.02 * xn / yn) * (X / xn - Y / yn) / std::sqrt(Y / yn);
    c.hunterB = 70 * std::sqrt(0.847 * zn / yn) * (Y / yn - Z / zn) / std::sqrt(Y / yn);
    return c;
}

void expectColour(const ColorValues &got, const Colour &want, double tristimulus, double lab,
                  const std::string &what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(got.X, want.X, tristimulus);
    EXPECT_NEAR(got.Y, want.Y, tristimulus);
    EXPECT_NEAR(got.Z, want.Z, tristimulus);
    EXPECT_NEAR(got.x, want.x, tristimulus / 100);
    EXPECT_NEAR(got.y, want.y, tristimulus / 100);
    EXPECT_NEAR(got.L, want.L, lab);
    EXPECT_NEAR(got.a, want.a, lab);
    EXPECT_NEAR(got.b, want.b, lab);
    EXPECT_NEAR(got.Luv, want.Luv, lab);
    EXPECT_NEAR(got.uStar, want.uStar, lab);
    EXPECT_NEAR(got.vStar, want.vStar, lab);
    EXPECT_NEAR(got.hunterL, want.hunterL, lab);
    EXPECT_NEAR(got.hunterA, want.hunterA, lab);
    EXPECT_NEAR(got.hunterB, want.hunterB, lab);
}

std::string shippedColorFile() {
    return readBytes(kShipped / colour::kColorFile);
}

// Weight (row, column) of a set in the shipped file.
float shippedWeight(const std::string &file, int illuminant, int observer, int row, int column) {
    return floatAt(file, colour::setOffset(illuminant, observer) / 4 +
                             static_cast<std::size_t>(row * 3 + column));
}

} // namespace

TEST_F(ColourTest, WhiteReflectorGivesTheRowSumsAndAWhiteTileInEverySet) {
    const std::string file = shippedColorFile();
    for (int illuminant = 0; illuminant < colour::kIlluminants; ++illuminant) {
        for (int observer = 0; observer < colour::kObservers; ++observer) {
            SCOPED_TRACE(std::to_string(illuminant) + "/" + std::to_string(observer));
            select(illuminant, observer);
            ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
            setColourGrid([](double) { return 100.0; });
            ASSERT_TRUE(engine.ComputeColor());
            std::array<double, 3> rows{};
            for (int row = 4; row <= 34; ++row) {
                for (int c = 0; c < 3; ++c) {
                    rows[static_cast<std::size_t>(c)] +=
                        shippedWeight(file, illuminant, observer, row, c);
                }
            }
            EXPECT_NEAR(engine.Values().X, rows[0], 1e-4);
            EXPECT_NEAR(engine.Values().Y, rows[1], 1e-4);
            EXPECT_NEAR(engine.Values().Z, rows[2], 1e-4);
            EXPECT_EQ(engine.TileColor(), 0xFFFFFFu);
            // A grey of half the white keeps the tile neutral.
            setColourGrid([](double) { return 50.0; });
            ASSERT_TRUE(engine.ComputeColor());
            EXPECT_EQ(engine.TileColor(), 0x7F7F7Fu);
        }
    }
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ColourTest, FilterAgreesWithTheWeightsOfThePublishedTable) {
    // D65 / 10 degree: the ASTM E308 weights themselves, and their white point.
    const auto astm = csv("astm_e308_table5_10nm.csv", 6);
    select(2, 1);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid([](double nm) { return 100.0 * filter(nm, 550, 80); });
    ASSERT_TRUE(engine.ComputeColor());
    double X = 0, Y = 0, Z = 0;
    for (int nm = 400; nm <= 700; nm += 10) {
        const double t = static_cast<float>(100.0 * filter(nm, 550, 80)) / 100.0;
        X += t * astm.at(3, nm);
        Y += t * astm.at(4, nm);
        Z += t * astm.at(5, nm);
    }
    expectColour(engine.Values(), colourOf(X, Y, Z, 94.811, 100.0, 107.304), 2e-4, 2e-3, "D65/10");
    const double hue = std::atan2(engine.Values().b, engine.Values().a);
    EXPECT_NEAR(engine.Values().h, hue, 1e-6);
    EXPECT_NEAR(engine.Values().C, std::hypot(engine.Values().a, engine.Values().b), 1e-4);
}

TEST_F(ColourTest, FilterAgreesWithOneNanometreIntegrationForEverySet) {
    const std::array<colour::tables::SpectralTable, 3> light{csv("cie_illuminant_a_1nm.csv", 1),
                                                             csv("cie_illuminant_c_5nm.csv", 1),
                                                             csv("cie_illuminant_d65_1nm.csv", 1)};
    const std::array<colour::tables::SpectralTable, 2> cmf{csv("cie1931_2deg_cmf.csv", 3),
                                                           csv("cie1964_10deg_cmf.csv", 3)};
    // Illuminant C is published at 5 nm: linear interpolation is enough here.
    const auto spd = [&](int illuminant, int nm) {
        const auto &t = light[static_cast<std::size_t>(illuminant)];
        const int below = nm - (nm - t.firstNm) % t.stepNm;
        if (below == nm || !t.covers(below + t.stepNm)) {
            return t.at(0, below);
        }
        const double f = static_cast<double>(nm - below) / t.stepNm;
        return t.at(0, below) * (1 - f) + t.at(0, below + t.stepNm) * f;
    };
    for (const auto &[centre, width] : {std::pair{550.0, 80.0}, {620.0, 60.0}, {470.0, 50.0}}) {
        for (int illuminant = 0; illuminant < 3; ++illuminant) {
            for (int observer = 0; observer < 2; ++observer) {
                const auto &m = cmf[static_cast<std::size_t>(observer)];
                std::array<double, 3> white{};
                std::array<double, 3> sample{};
                for (int nm = 360; nm <= 830; ++nm) {
                    const double s = spd(illuminant, nm);
                    for (std::size_t c = 0; c < 3; ++c) {
                        white[c] += s * m.at(c, nm);
                        if (nm >= 400 && nm <= 700) {
                            sample[c] += s * m.at(c, nm) * filter(nm, centre, width);
                        }
                    }
                }
                const double k = 100.0 / white[1];
                select(illuminant, observer);
                ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
                setColourGrid([&](double nm) { return 100.0 * filter(nm, centre, width); });
                ASSERT_TRUE(engine.ComputeColor());
                expectColour(engine.Values(),
                             colourOf(k * sample[0], k * sample[1], k * sample[2], k * white[0],
                                      100.0, k * white[2]),
                             0.06, 0.25,
                             "filter " + std::to_string(centre) + " illuminant " +
                                 std::to_string(illuminant) + " observer " +
                                 std::to_string(observer));
            }
        }
    }
}

TEST_F(ColourTest, EachLabRatioBelowTheThresholdTakesTheLinearForm) {
    const std::string file = shippedColorFile();
    const auto ratios = [&](int illuminant, int observer) {
        const ColorValues &c = engine.Values();
        return std::array<double, 3>{c.X / shippedWeight(file, illuminant, observer, 44, 0),
                                     c.Y / shippedWeight(file, illuminant, observer, 44, 1),
                                     c.Z / shippedWeight(file, illuminant, observer, 44, 2)};
    };
    const auto linear = [](double t) { return 7.787 * t + 16.0 / 116.0; };

    // A dark grey: all three ratios small, all three linear, L* included.
    select(2, 0);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid([](double) { return 0.5; });
    ASSERT_TRUE(engine.ComputeColor());
    auto t = ratios(2, 0);
    ASSERT_LT(std::max({t[0], t[1], t[2]}), 0.008856);
    EXPECT_NEAR(engine.Values().L, 116 * linear(t[1]) - 16, 1e-4);
    EXPECT_NEAR(engine.Values().a, 500 * (linear(t[0]) - linear(t[1])), 1e-3);
    EXPECT_NEAR(engine.Values().b, 200 * (linear(t[1]) - linear(t[2])), 1e-3);

    // Deep blue: Y/Yn below the threshold, Z/Zn above it.
    setColourGrid([](double nm) { return nm <= 440 ? 8.0 : 0.0; });
    ASSERT_TRUE(engine.ComputeColor());
    t = ratios(2, 0);
    ASSERT_LT(t[1], 0.008856);
    ASSERT_GT(t[2], 0.008856);
    EXPECT_NEAR(engine.Values().L, 116 * linear(t[1]) - 16, 1e-4);
    EXPECT_NEAR(engine.Values().b, 200 * (linear(t[1]) - std::cbrt(t[2])), 1e-3);

    // An orange filter under illuminant A has a small Z/Zn only; its
    // lightness stays the cube-root one, inside 0..100.
    select(0, 0);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid([](double nm) { return 100.0 * filter(nm, 620, 60); });
    ASSERT_TRUE(engine.ComputeColor());
    t = ratios(0, 0);
    ASSERT_LT(t[2], 0.008856);
    ASSERT_GT(t[1], 0.1);
    EXPECT_NEAR(engine.Values().L, 116 * std::cbrt(t[1]) - 16, 1e-3);
    EXPECT_LT(engine.Values().L, 100.0f);
    EXPECT_NEAR(engine.Values().b, 200 * (std::cbrt(t[1]) - linear(t[2])), 1e-3);
}

TEST_F(ColourTest, DeltaEIsAgainstBlackFirstThenThePreviousOrTheUserReference) {
    select(2, 1);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setColourGrid([](double nm) { return 100.0 * filter(nm, 600, 100); });
    ASSERT_TRUE(engine.ComputeColor());
    const ColorValues first = engine.Values();
    EXPECT_EQ(first.referenceL, 0.0f);
    EXPECT_NEAR(first.dE, std::sqrt(first.L * first.L + first.a * first.a + first.b * first.b),
                1e-3);

    setColourGrid([](double nm) { return 100.0 * filter(nm, 500, 100); });
    ASSERT_TRUE(engine.ComputeColor());
    const ColorValues second = engine.Values();
    EXPECT_EQ(second.previousX, first.x);
    EXPECT_EQ(second.previousTristimulusY, first.Y);
    EXPECT_EQ(second.referenceA, first.a);
    EXPECT_NEAR(second.dE, std::hypot(second.L - first.L, second.a - first.a, second.b - first.b),
                1e-3);

    engine.SetReference(ColorCalc::kUserReference, 50.0f, 10.0f, -10.0f);
    ASSERT_TRUE(engine.ComputeColor());
    const ColorValues third = engine.Values();
    EXPECT_EQ(third.referenceL, 50.0f);
    EXPECT_NEAR(third.dE, std::hypot(third.L - 50.0, third.a - 10.0, third.b + 10.0), 1e-3);
}

TEST_F(ColourTest, BlackAndNegativeSamplesGiveNoUndefinedValues) {
    select(0, 0);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    for (const double level : {0.0, -2.0}) {
        setColourGrid([&](double) { return level; });
        ASSERT_TRUE(engine.ComputeColor());
        const ColorValues &c = engine.Values();
        for (const float v : {c.x, c.y, c.z, c.u, c.v, c.uPrime, c.vPrime, c.L, c.a, c.b, c.Luv,
                              c.uStar, c.vStar, c.dE, c.C, c.h, c.hunterL, c.hunterA, c.hunterB}) {
            EXPECT_TRUE(std::isfinite(v)) << "level " << level;
        }
        EXPECT_EQ(c.hunterA, 0.0f);
        EXPECT_EQ(c.hunterB, 0.0f);
        EXPECT_EQ(engine.TileColor(), 0u);
    }
    // Black: L* of the linear form at 0.
    setColourGrid([](double) { return 0.0; });
    ASSERT_TRUE(engine.ComputeColor());
    EXPECT_NEAR(engine.Values().L, 0.0, 1e-4);
    EXPECT_EQ(engine.Values().x, 0.0f);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ColourTest, NothingIsComputedWithoutATableOrOffTheColourGrid) {
    setColourGrid([](double) { return 50.0; });
    EXPECT_FALSE(engine.ComputeColor()); // no table yet
    fs::remove(folder / colour::kColorFile);
    EXPECT_EQ(engine.LoadColorTable(), OpResult::Failed);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{colour_messages::kNoColorSet});
    EXPECT_FALSE(engine.ComputeColor());

    fs::copy_file(kShipped / colour::kColorFile, folder / colour::kColorFile);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    setGrid(400.0, 5.0, 61, [](double) { return 50.0; });
    EXPECT_FALSE(engine.ComputeColor());
    setGrid(400.0, 10.0, 30, [](double) { return 50.0; }); // ends at 690 nm
    EXPECT_FALSE(engine.ComputeColor());
    setGrid(400.0, 10.0, 41, [](double) { return 50.0; }); // to 800 nm: the first 31 count
    ASSERT_TRUE(engine.ComputeColor());
    EXPECT_EQ(engine.GridSteps(), 41);
}

TEST_F(ColourTest, DamagedTableFilesAreRefusedAndThePreviousTableStays) {
    select(2, 1);
    ASSERT_EQ(engine.LoadColorTable(), OpResult::Done);
    const std::vector<float> before(engine.ColourTable().begin(), engine.ColourTable().end());
    const std::string good = shippedColorFile();

    std::string withNan = good;
    putFloat(withNan, 20, std::numeric_limits<float>::quiet_NaN()); // A / 2 degree
    const std::vector<std::string> damaged{good.substr(0, good.size() - 1), good + "x",
                                           good.substr(0, 1000), withNan};
    select(0, 0);
    for (const std::string &bytes : damaged) {
        prompter.clearShown();
        writeBytes(folder / colour::kColorFile, bytes);
        EXPECT_EQ(engine.LoadColorTable(), OpResult::Failed) << bytes.size();
        EXPECT_EQ(prompter.textsOf(PromptKind::Message),
                  std::vector<std::string>{colour_messages::kNoColorSet});
        EXPECT_TRUE(std::equal(before.begin(), before.end(), engine.ColourTable().begin()));
        EXPECT_FALSE(engine.Busy());
    }

    prompter.clearShown();
    writeBytes(folder / colour::kColorFile, good);
    state.settings.colorWord = colour::withSelection(0, 3, 0);
    EXPECT_EQ(engine.LoadColorTable(), OpResult::Failed);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{colour_messages::kNoSetForSelection});
}

TEST_F(ColourTest, WrongColumnSumIsShownPerColumnAndTheTableIsUsed) {
    std::string bytes = shippedColorFile();
    const std::size_t set = colour::setOffset(1, 0) / 4;                        // C / 2 degree
    putFloat(bytes, set + 10 * 3 + 0, floatAt(bytes, set + 10 * 3 + 0) + 0.5f); // X at 460 nm
    putFloat(bytes, set + 12 * 3 + 2, floatAt(bytes, set + 12 * 3 + 2) - 0.5f); // Z at 480 nm
    writeBytes(folder / colour::kColorFile, bytes);
    select(1, 0);
    EXPECT_EQ(engine.LoadColorTable(), OpResult::Done);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              (std::vector<std::string>{colour_messages::kColorConstant,
                                        colour_messages::kColorConstant}));
    EXPECT_EQ(engine.ColourTable()[10 * 3], floatAt(bytes, set + 10 * 3));
    // Triple 45, the white of the tile, holds the sums of rows 4 to 34.
    float z = 0.0f;
    for (int row = 4; row <= 34; ++row) {
        z += floatAt(bytes, set + static_cast<std::size_t>(row * 3 + 2));
    }
    EXPECT_EQ(engine.ColourTable()[45 * 3 + 2], z);
}

TEST_F(ColourTest, WavelengthColours) {
    EXPECT_EQ(ColorCalc::WavelengthColor(440.0f), 0xFF0000u); // blue, the high byte
    EXPECT_EQ(ColorCalc::WavelengthColor(580.0f), 0x00FFFFu); // red and green
    EXPECT_EQ(ColorCalc::WavelengthColor(650.0f), 0x0000FFu);
    // 500 nm: green with half blue, 255 x 0.5^0.8 = 146.5.
    EXPECT_EQ(ColorCalc::WavelengthColor(500.0f), 0x00FF00u | 146u << 16);
    // The violet end fades to 0.3: 255 x 0.3^0.8 = 97.3.
    EXPECT_EQ(ColorCalc::WavelengthColor(380.0f), 97u | 97u << 16);
    EXPECT_EQ(ColorCalc::WavelengthColor(379.9f), 0u);
    EXPECT_EQ(ColorCalc::WavelengthColor(780.0f), 0u);
    EXPECT_EQ(ColorCalc::WavelengthColor(740.0f),
              static_cast<std::uint32_t>(255 * std::pow(0.65, 0.8)));
}
