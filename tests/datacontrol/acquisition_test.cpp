// AcquireScan and the wavelength axis against simulated units: calibration,
// physics end to end, one-shot scans, playback, files, a unit lost.
#include "../platform/special_files.h"
#include "../platform/watchdog.h"
#include "datacontrol/dark_ref_files.h"
#include "datacontrol/spectrum_math.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

using namespace quillon;
using namespace quillon::test;

namespace {

class Acquisition : public StartUpFixture {
protected:
    // One ILX511 unit (N = 2048) on slot 0, started and configured.
    DataControl &start(std::vector<std::string> eeprom, std::vector<std::string> extra = {},
                       const std::string &settings = "") {
        loadBench({{0, std::move(eeprom), std::move(extra)}});
        if (!settings.empty()) {
            writeMainSettings(settings);
        }
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        return *control;
    }

    static std::vector<std::string> eepromWithPoints(const std::string &ccd,
                                                     std::vector<std::string> points,
                                                     std::vector<std::string> more = {}) {
        std::vector<std::string> lines{"[Factory Default]", "Name=U1", "CCD=" + ccd, "IntTime=35"};
        lines.insert(lines.end(), more.begin(), more.end());
        lines.push_back("[Cal Data]");
        lines.push_back("PointCount=" + std::to_string(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i) {
            lines.push_back("Data " + std::to_string(i + 1) + "=" + points[i]);
        }
        return lines;
    }
};

// The default bench's ILX511 calibration.
const std::vector<std::string> kIlxPoints{"4047;170",  "4358;259",  "5461;577",
                                          "6965;1021", "7635;1222", "8115;1368"};

TEST_F(Acquisition, TwoPointCalibrationIsALine) {
    DataControl &dc = start(eepromWithPoints("ILX511", {"4000;100", "5000;1100"}));
    EXPECT_EQ(dc.State().calibrationPolynomialOrder, 1);
    EXPECT_NEAR(dc.State().geometry.wavelengthOfPixel[0], 390.0f, 1e-3f);
    EXPECT_NEAR(dc.State().geometry.wavelengthOfPixel[1], 0.1f, 1e-6f);
    EXPECT_EQ(dc.State().acquisition.calStartWavelength, 391);
    EXPECT_EQ(dc.State().acquisition.calEndWavelength, 594);
    ASSERT_EQ(dc.State().buffers.wavelengthTable.size(), 2048u);
    EXPECT_NEAR(dc.State().buffers.wavelengthTable[0], 390.1f, 1e-3f);
    EXPECT_NEAR(dc.State().buffers.wavelengthTable[2047], 594.8f, 1e-3f);
    // The default grid is the calibrated range in 1 nm steps.
    EXPECT_EQ(dc.State().grid.count, 204);
    EXPECT_FLOAT_EQ(dc.State().display.wavelengthStart, 391.0f);
    EXPECT_FLOAT_EQ(dc.State().display.wavelengthEnd, 594.0f);
    EXPECT_DOUBLE_EQ(dc.State().grid.dispersion, 0.0); // 203 nm over 2048 pixels, one decimal
    // 450 nm lies at pixel 600, index 599.
    EXPECT_EQ(dc.State().buffers.gridIndex[59], 599);
}

TEST_F(Acquisition, RequestedGridInsideTheCalibration) {
    DataControl &dc = start(eepromWithPoints("ILX511", {"4000;100", "5000;1100"}), {},
                            "StartWL=450\nEndWL=460.5\nIntervalWL=2\n");
    EXPECT_EQ(dc.State().grid.count, 6);
    EXPECT_FLOAT_EQ(dc.State().display.wavelengthEnd, 460.0f);
    ASSERT_EQ(dc.State().buffers.gridResult.size(), 6u);
    const std::vector<std::int32_t> pixels{599, 619, 639, 659, 679, 699};
    EXPECT_EQ(dc.State().buffers.gridIndex, pixels);
}

TEST_F(Acquisition, CustomCalibrationSetsAndTheirFailures) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    EXPECT_EQ(dc.State().calibrationPolynomialOrder, 3);
    const float before = dc.State().geometry.wavelengthOfPixel[0];

    auto useSet = [&](int number, const std::string &section) {
        writeMainSettings("CalNo=" + std::to_string(number) + "\n" + section);
        dc.StateForTests().settings.calNo = number;
        return toCode(dc.Axis().ReadCalData());
    };
    EXPECT_EQ(useSet(2, "[Cal 2]\nPointCount=3\nData 1=4047;100\nData 2=5461;600\n"
                        "Data 3=6965;1100\n"),
              1);
    EXPECT_EQ(dc.State().calibrationPolynomialOrder, 2);
    EXPECT_EQ(useSet(4, "[Cal 4]\nPointCount=3\nData 1=4000;500\nData 2=5000;500\n"
                        "Data 3=6000;500\n"),
              -1); // all at one pixel
    // Far from pixel 1 with strong curvature: lambda(1) is negative.
    EXPECT_EQ(useSet(5, "[Cal 5]\nPointCount=3\nData 1=4000;1000\nData 2=4120;1010\n"
                        "Data 3=4200;1020\n"),
              -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              (std::vector<std::string>{"Bad calibration data. ", "Bad calibration data. "}));
    // A rejected list leaves the last good calibration in place.
    EXPECT_EQ(dc.State().calibrationPolynomialOrder, 2);
    EXPECT_NE(dc.State().geometry.wavelengthOfPixel[0], before);

    // A set that is not there is named, and the unit's own calibration used.
    EXPECT_EQ(useSet(3, ""), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(),
              "CalNo=3 names the calibration set [Cal 3], which is not in QuillonX.ini. The "
              "factory calibration of the unit is used instead.");
    EXPECT_EQ(dc.State().settings.calNo, 0);
    EXPECT_EQ(dc.State().calibrationPolynomialOrder, 3);
    EXPECT_FLOAT_EQ(dc.State().geometry.wavelengthOfPixel[0], before);
}

// A new integration time makes dark and reference invalid; a ratio mode
// without them would draw nothing, so the display goes back to scope.
TEST_F(Acquisition, ANewIntegrationTimeLeavesNoRatioModeWithoutItsSpectra) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
    ASSERT_EQ(toCode(dc.TakeReferenceScan()), 1);
    dc.SetDisplayMode(DisplayMode::Absorbance);
    ASSERT_EQ(toCode(dc.SetIntegrationTime(dc.State().limits.current + 5)), 1);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kReferenceReady));
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_GT(dc.CurrentResult().values[500], 0.0f); // counts again, not empty ratios
}

// One unit with a broken calibration is named and runs on the pixel axis;
// it does not end the program for every unit.
TEST_F(Acquisition, BadFactoryCalibrationGivesThePixelAxis) {
    loadBench({{0, eepromWithPoints("ILX511", {"4000;100", "4000;100"})}});
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(toCode(control->FinishStartUp()), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{"Bad calibration data. "});
    EXPECT_EQ(control->State().calibrationPolynomialOrder, 1);
    EXPECT_FLOAT_EQ(control->State().buffers.wavelengthTable[9], 10.0f);
    EXPECT_EQ(control->AcquireScan(), ScanOutcome::Scanned);
}

// An EEPROM text that names no known sensor: the operator names it, and the
// other units start as usual.
TEST_F(Acquisition, AnUnknownSensorIsChosenNotTheEndOfTheStart) {
    auto second = eepromWithPoints("ILX511", kIlxPoints);
    second[1] = "Name=U2";
    loadBench({{0, eepromWithPoints("NOPE", kIlxPoints)}, {1, second}});
    prompter.queueSensorChoice(3);
    ASSERT_EQ(startUp(), 1);
    EXPECT_EQ(toCode(control->FinishStartUp()), 1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{"Can not find the board type"});
    EXPECT_EQ(prompter.textsOf(PromptKind::SensorChoice).size(), 1u);
    EXPECT_EQ(control->State().geometry.boardType, kSensorChoices[3].boardType);
    EXPECT_EQ(toCode(control->ChangeChannel(1)), 1);
    EXPECT_EQ(control->State().geometry.boardType, kBoardIlx511);
}

// Halogen through a 25 % neutral-density filter, against a dark taken with
// the source off and a reference of the bare lamp.
TEST_F(Acquisition, NeutralDensityFilterShowsItsTransmissionAndAbsorbance) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints), {"Source=dark"},
                            "TimeAV=8\nInitSet=" + std::to_string(9 << 16) + "\n");
    ASSERT_TRUE(dc.State().flags.option.test(option_bits::kWavelengthBase));
    ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
    simCommand("set 0 source halogen");
    ASSERT_EQ(toCode(dc.TakeReferenceScan()), 1);
    EXPECT_TRUE(
        dc.State().flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady));
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    simCommand("set 0 sample nd 25");

    dc.SetDisplayMode(DisplayMode::TransRefl);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const std::vector<float> transmission = dc.State().buffers.gridResult;
    dc.SetDisplayMode(DisplayMode::Absorbance);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const std::vector<float> absorbance = dc.State().buffers.gridResult;

    const float strongest = *std::max_element(dc.State().buffers.gridReferenceMinusDark.begin(),
                                              dc.State().buffers.gridReferenceMinusDark.end());
    int withSignal = 0;
    for (std::size_t i = 0; i < transmission.size(); ++i) {
        if (dc.State().buffers.gridReferenceMinusDark[i] < 0.1f * strongest) {
            continue;
        }
        ++withSignal;
        EXPECT_NEAR(transmission[i], 25.0f, 1.0f)
            << "at " << dc.State().grid.start + i * dc.State().grid.interval;
        EXPECT_NEAR(absorbance[i], 0.602f, 0.02f)
            << "at " << dc.State().grid.start + i * dc.State().grid.interval;
    }
    EXPECT_GT(withSignal, 300);
    // Where the reference has no signal the display shows 0, not noise ratios.
    for (std::size_t i = 0; i < transmission.size(); ++i) {
        if (dc.State().buffers.gridReferenceMinusDark[i] < dc.State().signalThreshold) {
            EXPECT_FLOAT_EQ(transmission[i], 0.0f);
        }
    }
}

TEST_F(Acquisition, PixelBaseRatiosAndTheDarkNoise) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints), {"Source=dark"});
    ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
    EXPECT_GT(dc.State().darkCondition.noiseEstimate, 0.0f);
    EXPECT_GT(dc.State().scanParameters.darkOb, 0.0f); // the unit's bias under the OB pixels
    simCommand("set 0 source halogen");
    ASSERT_EQ(toCode(dc.TakeReferenceScan()), 1);
    simCommand("set 0 sample nd 50");
    dc.SetDisplayMode(DisplayMode::TransRefl);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const ScanResult result = dc.CurrentResult();
    ASSERT_FALSE(result.wavelengthBase);
    ASSERT_EQ(result.values.size(), 2048u);
    // Around 600 nm the lamp is bright on silicon.
    const auto near600 =
        std::lower_bound(result.wavelengths.begin(), result.wavelengths.end(), 600.0f) -
        result.wavelengths.begin();
    EXPECT_NEAR(result.values[static_cast<std::size_t>(near600)], 50.0f, 2.0f);

    // Irradiance needs the photometry's calibration: no values until then.
    dc.SetDisplayMode(DisplayMode::Irradiance);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const ScanResult irradiance = dc.CurrentResult();
    EXPECT_TRUE(std::all_of(irradiance.values.begin(), irradiance.values.end(),
                            [](float v) { return v == 0.0f; }));
}

struct Line {
    double wavelength;
    double intensity;
};

std::vector<Line> hgArLines() {
    std::ifstream in(QUILLON_HG_AR_LINES);
    std::vector<Line> lines;
    std::string row;
    std::getline(in, row);
    while (std::getline(in, row)) {
        std::stringstream fields(row);
        std::string species, wavelength, intensity;
        std::getline(fields, species, ',');
        std::getline(fields, wavelength, ',');
        std::getline(fields, intensity, ',');
        lines.push_back({std::stod(wavelength), intensity.empty() ? 0.0 : std::stod(intensity)});
    }
    return lines;
}

TEST_F(Acquisition, MercuryArgonLinesWhereTheTableSays) {
    constexpr double kCalibrationError = 1.0; // the unit's WavelengthError
    DataControl &dc =
        start(eepromWithPoints("ILX511", kIlxPoints), {"Source=hgar", "WavelengthError=1.0"});
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const std::vector<float> spectrum(dc.State().buffers.spectrum.begin(),
                                      dc.State().buffers.spectrum.begin() + 2048);
    const std::vector<Line> lines = hgArLines();
    ASSERT_GT(lines.size(), 40u);
    int checked = 0;
    for (const Line &line : lines) {
        const bool isolated = std::none_of(lines.begin(), lines.end(), [&](const Line &other) {
            return other.wavelength != line.wavelength &&
                   std::abs(other.wavelength - line.wavelength) < 4.0;
        });
        if (!isolated || line.intensity < 6000 || line.wavelength < 400 || line.wavelength > 860) {
            continue;
        }
        // The brightest pixel within the calibration error of the line.
        const auto &table = dc.State().buffers.wavelengthTable;
        std::size_t best = 0;
        for (std::size_t p = 1; p + 1 < table.size(); ++p) {
            if (std::abs(table[p] - line.wavelength) <= kCalibrationError + 1.0 &&
                (best == 0 || spectrum[p] > spectrum[best])) {
                best = p;
            }
        }
        ASSERT_NE(best, 0u) << line.wavelength;
        const double left = spectrum[best - 1], centre = spectrum[best], right = spectrum[best + 1];
        ASSERT_GT(centre, left) << line.wavelength << " is not a peak";
        ASSERT_GE(centre, right) << line.wavelength << " is not a peak";
        const double shift = 0.5 * (left - right) / (left - 2 * centre + right);
        const double peak = EvalPolynomial(dc.State().geometry.wavelengthOfPixel,
                                           dc.State().calibrationPolynomialOrder, best + 1 + shift);
        EXPECT_NEAR(peak, line.wavelength, kCalibrationError + 0.2);
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

TEST_F(Acquisition, OneShotScansRestoreTheWordsAndKeepTheirReadyBit) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    dc.SetDisplayMode(DisplayMode::Absorbance);
    dc.StateForTests().flags.option.set(option_bits::kShowDarkLine);
    ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Absorbance);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kShowDarkLine));
    EXPECT_TRUE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kHold));

    // Optical black as the dark source: a flat dark at the OB level.
    dc.StateForTests().flags.setDarkSource(DarkSource::OpticalBlack);
    ASSERT_EQ(toCode(dc.TakeDarkScan()), 1);
    EXPECT_GT(dc.State().scanParameters.darkOb, 0.0f);
    EXPECT_TRUE(std::all_of(dc.State().buffers.dark.begin(), dc.State().buffers.dark.end(),
                            [&](float v) { return v == dc.State().scanParameters.darkOb; }));

    // A dark file is never overwritten by a scan; a pending request is not doubled.
    dc.StateForTests().flags.setDarkSource(DarkSource::File);
    EXPECT_EQ(toCode(dc.TakeDarkScan()), 0);
    EXPECT_EQ(dc.RequestReferenceScan(), 1);
    EXPECT_EQ(dc.RequestReferenceScan(), 0);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Absorbance);
}

TEST_F(Acquisition, ModeCycleAndAxisChoices) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    ASSERT_EQ(dc.State().settings.initPane & 8u, 0u); // no irradiance calibration here
    EXPECT_EQ(dc.CycleDisplayMode(), DisplayMode::TransRefl);
    EXPECT_EQ(dc.CycleDisplayMode(), DisplayMode::Absorbance);
    EXPECT_EQ(dc.CycleDisplayMode(), DisplayMode::Scope);
    dc.StateForTests().settings.initPane |= 8u;
    dc.SetDisplayMode(DisplayMode::Absorbance);
    EXPECT_EQ(dc.CycleDisplayMode(), DisplayMode::Irradiance);
    EXPECT_EQ(dc.CycleDisplayMode(), DisplayMode::Scope);

    dc.SetXUnit(XUnit::Pixel);
    dc.SetWavelengthBase(true); // the grid has no pixel axis: wavelength it is
    EXPECT_EQ(dc.State().flags.xUnit(), XUnit::Wavelength);
    dc.SetXUnit(XUnit::Wavenumber);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kWavelengthBase));
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const ScanResult scope = dc.CurrentResult();
    EXPECT_TRUE(scope.wavelengthBase);
    EXPECT_EQ(scope.values.size(), static_cast<std::size_t>(dc.State().grid.count));
    EXPECT_FLOAT_EQ(
        scope.values[10],
        dc.State().buffers.spectrum[static_cast<std::size_t>(dc.State().buffers.gridIndex[10])]);
    dc.SetXUnit(XUnit::Pixel);
    EXPECT_FALSE(dc.State().flags.option.test(option_bits::kWavelengthBase));
    EXPECT_FALSE(dc.CurrentResult().wavelengthBase);
}

TEST_F(Acquisition, TimeAverageAndConverterResolutionScaleAlike) {
    DataControl &dc =
        start(eepromWithPoints("ILX511", kIlxPoints), {"ReadNoise=0"}, "ConvBit=12\nTimeAV=4\n");
    EXPECT_EQ(dc.State().display.countMax, 4095);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const float averagedOb = dc.State().scanParameters.currentOb;
    const float averagedPixel = dc.State().buffers.spectrum[700];
    dc.StateForTests().acquisition.timeAverage = 1;
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    // Both paths give counts of the 12-bit converter, OB level included.
    EXPECT_NEAR(dc.State().scanParameters.currentOb, averagedOb, 2.0f);
    EXPECT_NEAR(dc.State().buffers.spectrum[700], averagedPixel, 0.03f * averagedPixel);
    EXPECT_LE(
        *std::max_element(dc.State().buffers.rawFrame.begin(), dc.State().buffers.rawFrame.end()),
        4095);
}

TEST_F(Acquisition, SmoothingAndBinningRunOnTheScan) {
    DataControl &dc =
        start(eepromWithPoints("ILX511", kIlxPoints), {"Seed=5"}, "FFT=50\nBinningAV=2\n");
    ASSERT_TRUE(dc.State().flags.status.test(status_bits::kSmoothingOn));
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const std::vector<float> smoothed(dc.State().buffers.spectrum.begin(),
                                      dc.State().buffers.spectrum.begin() + 2048);
    // The same frame processed by the kernels directly.
    std::vector<float> expected(2048);
    for (std::size_t i = 0; i < 2048; ++i) {
        expected[i] = static_cast<float>(dc.State().buffers.rawFrame[32 + i]); // first active: 32
    }
    std::vector<float> padded = expected;
    padded.resize(2048);
    std::vector<float> imag(2048);
    ApplyFftSmoothing(padded, imag, FftTwiddles(2048), 50);
    std::vector<double> ring(3);
    BinningAverage(padded, 2, ring);
    for (std::size_t i = 0; i < 2048; i += 97) {
        EXPECT_NEAR(smoothed[i], padded[i], 0.01f) << i;
    }
}

TEST_F(Acquisition, MemoryPlaybackWrapsAndCarriesTheTexts) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    for (int item = 1; item <= 3; ++item) {
        const MemoryItemTexts texts{"P" + std::to_string(item), "S" + std::to_string(item),
                                    "01/02/2024  10:00:0" + std::to_string(item)};
        const std::vector<std::int32_t> counts(2048, item * 100);
        ASSERT_TRUE(dc.StateForTests().memory.append(texts, counts, item));
    }
    dc.StateForTests().flags.option.set(option_bits::kMemoryMode);
    dc.StateForTests().memory.setCurrent(3);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.State().memory.current(), 1);
    EXPECT_FLOAT_EQ(dc.State().buffers.spectrum[2047], 100.0f);
    EXPECT_EQ(dc.State().settings.title, "P1");
    EXPECT_EQ(dc.State().commentText, "01/02/2024  10:00:01");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_FLOAT_EQ(dc.State().buffers.spectrum[9], 200.0f);
    dc.StateForTests().flags.option.set(option_bits::kPlaybackBackwards);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_EQ(dc.State().memory.current(), 3);
    EXPECT_EQ(dc.State().settings.subTitle, "S3");
}

TEST_F(Acquisition, SwapConfigurationTwiceGivesBackTheFirst) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    std::fill(dc.StateForTests().buffers.dark.begin(), dc.StateForTests().buffers.dark.end(),
              11.0f);
    std::fill(dc.StateForTests().buffers.reference.begin(),
              dc.StateForTests().buffers.reference.end(), 22.0f);
    dc.StateForTests().limits.current = 40;
    dc.StateForTests().acquisition.timeAverage = 3;
    ASSERT_EQ(toCode(dc.SaveDarkRef()), 1);
    EXPECT_EQ(readBytes(folder / "DarkRef.mem").size(), 2048u * 8);

    std::fill(dc.StateForTests().buffers.dark.begin(), dc.StateForTests().buffers.dark.end(),
              33.0f);
    dc.StateForTests().buffers.reference[5] = 44.0f;
    dc.StateForTests().limits.current = 70;
    dc.StateForTests().acquisition.timeAverage = 5;
    dc.StateForTests().flags.setDisplayMode(DisplayMode::TransRefl);
    dc.StateForTests().flags.status.set(status_bits::kLoopEnabled);

    ASSERT_EQ(toCode(dc.SwapConfiguration()), 1);
    EXPECT_FLOAT_EQ(dc.State().buffers.dark[0], 11.0f);
    EXPECT_FLOAT_EQ(dc.State().buffers.reference[5], 22.0f);
    EXPECT_EQ(dc.State().limits.current, 40);
    EXPECT_EQ(dc.State().acquisition.timeAverage, 3);
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_TRUE(
        dc.State().flags.status.test(status_bits::kLoopEnabled)); // the worker keeps running
    EXPECT_FALSE(std::filesystem::exists(folder / "DarkRef.tmp"));

    ASSERT_EQ(toCode(dc.SwapConfiguration()), 1);
    EXPECT_FLOAT_EQ(dc.State().buffers.dark[0], 33.0f);
    EXPECT_FLOAT_EQ(dc.State().buffers.reference[5], 44.0f);
    EXPECT_EQ(dc.State().limits.current, 70);
    EXPECT_EQ(dc.State().acquisition.timeAverage, 5);
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::TransRefl);
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(Acquisition, DamagedSnapshotChangesNothing) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    std::fill(dc.StateForTests().buffers.dark.begin(), dc.StateForTests().buffers.dark.end(), 5.0f);
    dc.StateForTests().limits.current = 40;
    EXPECT_EQ(toCode(dc.SwapConfiguration()), -1); // no snapshot yet
    writeBytes(folder / "DarkRef.mem", std::string(2048 * 8 - 3, '\0'));
    EXPECT_EQ(toCode(dc.SwapConfiguration()), -1); // short
    writeBytes(folder / "DarkRef.mem", std::string(2048 * 8 + 4, '\0'));
    EXPECT_EQ(toCode(dc.SwapConfiguration()), -1); // too long
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>(3, "Couldn't open the file!"));
    EXPECT_FLOAT_EQ(dc.State().buffers.dark[0], 5.0f);
    EXPECT_EQ(dc.State().limits.current, 40);
}

TEST_F(Acquisition, SnapshotOrTileThatIsAFifoOrDeviceIsRefusedAtOnce) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    const quillon::test::Watchdog watchdog("reading a FIFO or a device as a dark/reference file");
    ASSERT_TRUE(quillon::test::makeNonRegularFile(folder / "DarkRef.mem"));
    EXPECT_EQ(toCode(dc.SwapConfiguration()), -1);
    EXPECT_TRUE(quillon::test::isNonRegularFile(folder / "DarkRef.mem"));
    EXPECT_EQ(toCode(dc.LoadColorTile(folder / "DarkRef.mem")), -1);
    EXPECT_EQ(toCode(dc.LoadColorTile(quillon::test::kDeviceFile)), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).size(), 3u);
}

TEST_F(Acquisition, SnapshotBytesAreLittleEndianFloats) {
    std::string bytes;
    const std::vector<float> values{1.0f, -2.5f};
    appendFloats(bytes, values);
    EXPECT_EQ(bytes, std::string("\x00\x00\x80\x3f\x00\x00\x20\xc0", 8));
    EXPECT_EQ(decodeFloats(bytes, 2), values);
    EXPECT_FALSE(decodeFloats(bytes, 1).has_value());
}

TEST_F(Acquisition, ColourTileRoundTrip) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    for (std::size_t p = 0; p < 2048; ++p) {
        dc.StateForTests().buffers.dark[p] = 100.0f;
        dc.StateForTests().buffers.spectrum[p] = 1100.0f;
        dc.StateForTests().buffers.reference[p] = 100.0f + static_cast<float>(p);
    }
    dc.StateForTests().buffers.spectrum[7] = 100.0f; // no signal from the tile here
    const auto tile = folder / "white.ctf";
    ASSERT_EQ(toCode(dc.SaveColorTile(tile)), 1);
    EXPECT_EQ(readBytes(tile).size(), 2048u * 4);
    std::fill(dc.StateForTests().buffers.reference.begin(),
              dc.StateForTests().buffers.reference.end(), 0.0f);
    for (std::size_t p = 0; p < 2048; ++p) {
        dc.StateForTests().buffers.spectrum[p] = 2100.0f; // twice the light on the tile
    }
    ASSERT_EQ(toCode(dc.LoadColorTile(tile)), 1);
    EXPECT_FLOAT_EQ(dc.State().buffers.reference[1000], 100.0f + 2.0f * 1000.0f);
    EXPECT_FLOAT_EQ(dc.State().buffers.reference[7], 100.0f);
    writeBytes(tile, "short");
    EXPECT_EQ(toCode(dc.LoadColorTile(tile)), -1);
    EXPECT_EQ(toCode(dc.LoadColorTile(folder / "missing.ctf")), -1);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>(2, "Can not open the file for Color Tile!"));
    EXPECT_FLOAT_EQ(dc.State().buffers.reference[1000], 2100.0f);
}

TEST_F(Acquisition, LostUnitIsReportedOnceAndAcquisitionResumesWhenItIsBack) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    const std::vector<float> last(dc.State().buffers.spectrum.begin(),
                                  dc.State().buffers.spectrum.begin() + 2048);
    simCommand("unplug 0");
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(dc.AcquireScan(), ScanOutcome::NoUnit);
    }
    EXPECT_TRUE(dc.UnitDisconnected());
    EXPECT_EQ(prompter.textsOf(PromptKind::Message),
              std::vector<std::string>{"Unit is disconnected unexpectedly during acquiring "
                                       "data.\r\nPlease check the Unit and click OK."});
    EXPECT_TRUE(std::equal(last.begin(), last.end(), dc.State().buffers.spectrum.begin()));

    simCommand("replug 0");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_FALSE(dc.UnitDisconnected());
    EXPECT_NEAR(dc.State().buffers.spectrum[700], last[700], 0.1f * last[700]);

    // A second disconnection is a new one: one more box.
    simCommand("unplug 0");
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::NoUnit);
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).size(), 2u);
}

// A dark asked for just before the unit is lost is not taken later, unseen,
// from the unit that comes back; while it is gone none is accepted.
TEST_F(Acquisition, ADarkPendingWhenTheUnitIsLostIsDropped) {
    DataControl &dc = start(eepromWithPoints("ILX511", kIlxPoints));
    ASSERT_TRUE(dc.RequestDarkScan());
    simCommand("unplug 0");
    EXPECT_EQ(dc.AcquireScan(), ScanOutcome::NoUnit);
    EXPECT_EQ(dc.State().flags.displayMode(), DisplayMode::Scope);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_FALSE(dc.RequestDarkScan());
    EXPECT_EQ(toCode(dc.TakeReferenceScan()), 0);
    simCommand("replug 0");
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_TRUE(dc.RequestDarkScan());
}

// What the simulated unit on slot 0 holds: integration time, TEC and CF.
struct UnitRegisters {
    double integrationMs = -1.0;
    int tec = -1;
    int cf = -1;
};

UnitRegisters registersOfSlot0() {
    const std::string shown = simCommand("show 0");
    UnitRegisters r;
    const auto field = [&shown](const std::string &name) {
        const auto at = shown.find(name);
        EXPECT_NE(at, std::string::npos) << name << " in " << shown;
        return at == std::string::npos ? -1.0 : std::stod(shown.substr(at + name.size()));
    };
    r.integrationMs = field("\nintegration ");
    r.tec = static_cast<int>(field("\ntec "));
    r.cf = static_cast<int>(field(", cf "));
    return r;
}

double meanOf(std::span<const float> values) {
    double sum = 0.0;
    for (const float v : values) {
        sum += v;
    }
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

// A power cycle between two scans, with no request while the unit was off:
// the unit answers again with its power-on set-up, and gets the program's
// back before its next frame is used, without a word to the operator.
TEST_F(Acquisition, PowerCycledUnitGetsItsSetUpBackQuietly) {
    struct Case {
        std::string ccd;
        int intTime;
        std::string settings;
        bool cooled;
    };
    for (const Case &c :
         {Case{"ILX511", 35, "", false}, Case{"G9212", 40, "TEC=5\nCAP=10\n", true}}) {
        SCOPED_TRACE(c.ccd);
        control.reset();
        DataControl &dc = start(factoryEeprom("U-" + c.ccd, c.ccd, c.intTime), {}, c.settings);
        const std::size_t active = dc.State().geometry.activePixels;
        ASSERT_EQ(dc.State().limits.current, c.intTime);
        ASSERT_EQ(dc.State().HasCoolerRecord(), c.cooled);
        ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
        const double before =
            meanOf(std::span<const float>(dc.State().buffers.spectrum).first(active));
        const UnitRegisters set = registersOfSlot0();
        ASSERT_DOUBLE_EQ(set.integrationMs, c.intTime);

        simCommand("unplug 0");
        simCommand("replug 0");
        ASSERT_EQ(registersOfSlot0().integrationMs, 11.0); // the power-on default
        ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
        const UnitRegisters after = registersOfSlot0();
        EXPECT_DOUBLE_EQ(after.integrationMs, dc.State().limits.current);
        EXPECT_EQ(after.tec, set.tec);
        EXPECT_EQ(after.cf, set.cf);
        if (c.cooled) {
            EXPECT_EQ(after.tec, 5);
            EXPECT_EQ(after.cf, 1);
        }
        const double again =
            meanOf(std::span<const float>(dc.State().buffers.spectrum).first(active));
        EXPECT_NEAR(again, before, 0.02 * before);
        EXPECT_FALSE(dc.UnitDisconnected());
        EXPECT_TRUE(prompter.shown().empty());
    }
}

TEST_F(Acquisition, ChannelChangeRebuildsBuffersAndAxis) {
    ASSERT_EQ(startUp(), 1); // the default bench: ILX511, TCD1304, InGaAs
    DataControl &dc = *control;
    ASSERT_EQ(toCode(dc.FinishStartUp()), 1);
    dc.StateForTests().flags.status.set(status_bits::kDarkReady);
    ASSERT_EQ(toCode(dc.ChangeChannel(1)), 1);
    EXPECT_EQ(dc.State().geometry.activePixels, 3648);
    EXPECT_EQ(dc.State().buffers.spectrum.size(), 4096u);
    EXPECT_EQ(dc.State().buffers.wavelengthTable.size(), 3648u);
    EXPECT_FALSE(dc.State().flags.status.test(status_bits::kDarkReady));
    EXPECT_NEAR(dc.State().buffers.wavelengthTable[771], 435.8f, 1.0f); // point 4358;772
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);

    // The InGaAs unit reads out mirrored; its flip and step correction give
    // back the lamp's rising response towards long wavelengths.
    ASSERT_EQ(toCode(dc.ChangeChannel(2)), 1);
    EXPECT_TRUE(dc.State().flags.option.test(option_bits::kPixelFlip));
    ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
    EXPECT_GT(dc.State().buffers.spectrum[300], dc.State().buffers.spectrum[5]);
}

} // namespace
