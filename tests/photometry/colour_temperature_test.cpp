// The colour temperature search over the shipped Planckian locus, and the
// resampling of the display grid it works on.
#include "colour_fixture.h"

using namespace quillon;
using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

// Planck's law up to a constant factor, wavelength in nm.
double planck(double nm, double kelvin) {
    const double l = nm * 1e-9;
    return 1.0 / (std::pow(l, 5) * std::expm1(0.014387769 / (l * kelvin)));
}

std::string locusFile(float u, float v) {
    std::string bytes(colour::kLocusFileBytes, '\0');
    for (std::size_t k = 0; k < colour::kLocusRecords; ++k) {
        putFloat(bytes, 2 * k, u);
        putFloat(bytes, 2 * k + 1, v);
    }
    return bytes;
}

} // namespace

TEST_F(ColourTest, PlanckCurvesAreFoundWithinAFewKelvin) {
    ASSERT_EQ(engine.PrepareColorTemp(), OpResult::Done);
    for (const double kelvin : {2856.0, 6500.0, 4000.0}) {
        // A grid wider and finer than the colour grid, in arbitrary units.
        const double scale = 1e-12 * planck(560, kelvin);
        setGrid(380.0, 2.0, 201, [&](double nm) { return planck(nm, kelvin) / scale; });
        const auto found = engine.FindColorTemp(false);
        ASSERT_TRUE(found);
        EXPECT_NEAR(*found, kelvin, 3.0);
    }
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ColourTest, PreparingSelectsD65And2DegreeAndKeepsTheOtherBits) {
    state.settings.colorWord = colour::withSelection(0xFC00u, 0, 1);
    ASSERT_EQ(engine.PrepareColorTemp(), OpResult::Done);
    EXPECT_EQ(state.settings.colorWord, 0xFC00u | 2u);
}

TEST_F(ColourTest, TiesGoToTheLowerTemperature) {
    ASSERT_EQ(engine.PrepareColorTemp(), OpResult::Done);
    setGrid(400.0, 10.0, 31, [](double nm) { return planck(nm, 3000); });
    ASSERT_TRUE(engine.FindColorTemp(false));
    const float u = engine.Values().u;
    const float v = engine.Values().v;

    std::string bytes = locusFile(1.0f, 1.0f);
    for (const std::size_t k : {700u, 500u}) {
        putFloat(bytes, 2 * k, u + 0.01f);
        putFloat(bytes, 2 * k + 1, v);
    }
    writeBytes(folder / colour::kLocusFile, bytes);
    EXPECT_EQ(engine.FindColorTemp(true), 1500);
    putFloat(bytes, 2 * 700, u + 0.005f); // now strictly nearer
    writeBytes(folder / colour::kLocusFile, bytes);
    EXPECT_EQ(engine.FindColorTemp(true), 1700);
    // Every record farther than the search's starting distance: 1000 K.
    writeBytes(folder / colour::kLocusFile, locusFile(5000.0f, 5000.0f));
    EXPECT_EQ(engine.FindColorTemp(true), 1000);
}

TEST_F(ColourTest, MissingOrShortLocusFileGivesNoTemperature) {
    ASSERT_EQ(engine.PrepareColorTemp(), OpResult::Done);
    setGrid(400.0, 10.0, 31, [](double nm) { return planck(nm, 3000); });
    const std::string good = readBytes(kShipped / colour::kLocusFile);
    struct Case {
        std::optional<std::string> bytes;
        const char *message;
    };
    const std::vector<Case> cases{
        {std::nullopt, colour_messages::kNoLocusFile},
        {good.substr(0, good.size() - 1), colour_messages::kLocusFileSize},
        {good.substr(0, 8), colour_messages::kLocusFileSize},
        {std::string(), colour_messages::kLocusFileSize},
        {good + good, colour_messages::kLocusFileSize}};
    for (const Case &c : cases) {
        fs::remove(folder / colour::kLocusFile);
        if (c.bytes) {
            writeBytes(folder / colour::kLocusFile, *c.bytes);
        }
        prompter.clearShown();
        EXPECT_EQ(engine.FindColorTemp(false), std::nullopt);
        EXPECT_EQ(prompter.textsOf(PromptKind::Message), std::vector<std::string>{c.message});
    }
}

TEST_F(ColourTest, DarkLightHasNoTemperature) {
    ASSERT_EQ(engine.PrepareColorTemp(), OpResult::Done);
    setGrid(400.0, 10.0, 31, [](double) { return 0.0; });
    EXPECT_EQ(engine.FindColorTemp(false), std::nullopt);
    setGrid(400.0, 10.0, 0, [](double) { return 0.0; });
    EXPECT_EQ(engine.FindColorTemp(false), std::nullopt);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ColourTest, ResamplingExtrapolatesAtBothEnds) {
    // A straight line on 420-680 nm is continued to 400 and 700 nm.
    setGrid(420.0, 20.0, 14, [](double nm) { return 10.0 + 0.1 * nm; });
    engine.SampleSpectrum(0.0f, false);
    for (int i = 0; i < 31; ++i) {
        const double nm = 400 + 10 * i;
        EXPECT_NEAR(engine.SampledSpectrum()[static_cast<std::size_t>(i)],
                    (10.0 + 0.1 * nm) / 100.0, 1e-5)
            << nm;
    }
    // Between grid points the line joins the neighbours; on them it is exact.
    setGrid(400.0, 20.0, 16, [](double nm) { return nm * nm / 1000.0; });
    engine.SampleSpectrum(0.0f, false);
    EXPECT_NEAR(engine.SampledSpectrum()[1], (400.0 * 400 + 420.0 * 420) / 2 / 1e5, 1e-5);
    EXPECT_NEAR(engine.SampledSpectrum()[2], 420.0 * 420 / 1e5, 1e-5);
    // One point: the same value everywhere.
    setGrid(500.0, 10.0, 1, [](double) { return 40.0; });
    engine.SampleSpectrum(0.0f, false);
    EXPECT_EQ(engine.SampledSpectrum()[0], 0.4f);
    EXPECT_EQ(engine.SampledSpectrum()[30], 0.4f);
}
