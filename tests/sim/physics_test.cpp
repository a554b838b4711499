// What the frames of virtual units contain: lines where the true wavelength
// puts them, counts linear in time, dark level and noise as configured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "sim/optics.h"
#include "sim_fixture.h"
#include "sim_protocol.h"

namespace ov::sim::testing {
namespace {

constexpr const char *kIlxEeprom = "Eeprom=Name=QX10-P1\nEeprom=CCD=ILX511\nEeprom=IntTime=35\n"
                                   "Eeprom=PointCount=6\nEeprom=Data 1=4047;170\n"
                                   "Eeprom=Data 2=4358;259\nEeprom=Data 3=5461;577\n"
                                   "Eeprom=Data 4=6965;1021\nEeprom=Data 5=7635;1222\n"
                                   "Eeprom=Data 6=8115;1368\n";

// Initialises the unit for its own readout and sets the integration time.
class Grabber {
public:
    Grabber(SimDriver &d, int slot, int readout) : d_(d), slot_(slot), readout_(readout) {
        geometry_ = *speedCheck(d, slot);
        format_ = identity(d, slot)->sampleFormat;
        EXPECT_TRUE(send(d, slot, initialisePacket(readout, geometry_.packetBytes)));
    }
    void integrate(int ms) {
        EXPECT_TRUE(send(d_, slot_,
                         commandPacket({0x01, static_cast<std::uint8_t>(ms & 0xFF),
                                        static_cast<std::uint8_t>(ms >> 8), 8})));
    }
    std::vector<int> frame() {
        auto f = readFrame(d_, slot_, geometry_, readout_, format_);
        EXPECT_EQ(f.counts.size(), static_cast<std::size_t>(readout_));
        return f.counts;
    }

private:
    SimDriver &d_;
    int slot_;
    int readout_;
    Geometry geometry_;
    int format_ = 0;
};

double mean(const std::vector<double> &v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double stddev(const std::vector<double> &v) {
    const double m = mean(v);
    double sum = 0.0;
    for (const double x : v) {
        sum += (x - m) * (x - m);
    }
    return std::sqrt(sum / static_cast<double>(v.size() - 1));
}

// Fractional pixel (from 1) whose true wavelength is `nm`.
double pixelOf(const VirtualUnit &u, double nm) {
    for (int p = 1; p < u.sensor().activeCount; ++p) {
        const double a = u.trueWavelength(p);
        const double b = u.trueWavelength(p + 1);
        if (a <= nm && nm < b) {
            return p + (nm - a) / (b - a);
        }
    }
    return -1.0;
}

TEST(SimPhysics, HgArPeaksSitAtTheTrueWavelengthPixels) {
    auto d = driverFromBench(oneUnit(std::string(kIlxEeprom) + "Source=hgar\nSourceLevel=0.3\n"));
    const auto &u = *d->unit(0);
    Grabber grab(*d, 0, 2080);
    const auto raw = grab.frame();
    const int first = u.sensor().firstActive;
    for (const double line : {435.8335, 546.0750, 696.5431, 763.5106, 912.2967}) {
        const double expected = pixelOf(u, line);
        ASSERT_GT(expected, 5.0) << line;
        const int guess = static_cast<int>(std::lround(expected));
        int best = guess;
        for (int p = guess - 5; p <= guess + 5; ++p) {
            if (raw[first + p - 1] > raw[first + best - 1]) {
                best = p;
            }
        }
        ASSERT_LT(raw[first + best - 1], 65535) << "saturated at " << line;
        // Parabola through the top three pixels.
        const double l = raw[first + best - 2];
        const double c = raw[first + best - 1];
        const double r = raw[first + best];
        const double peak = best + 0.5 * (l - r) / (l - 2.0 * c + r);
        EXPECT_NEAR(peak, expected, 0.5) << line << " nm";
    }
}

TEST(SimPhysics, TrueWavelengthsDifferALittleFromTheEepromPoints) {
    auto d = driverFromBench(oneUnit(kIlxEeprom));
    const auto &u = *d->unit(0);
    const std::vector<double> pixels = {170, 259, 577, 1021, 1222, 1368};
    const std::vector<double> nm = {404.7, 435.8, 546.1, 696.5, 763.5, 811.5};
    const auto eeprom = fitCubic(pixels, nm);
    double largest = 0.0;
    for (int p = 1; p <= 2048; ++p) {
        largest = std::max(largest, std::abs(u.trueWavelength(p) - evaluateCubic(eeprom, p)));
    }
    EXPECT_GT(largest, 0.3);
    EXPECT_LT(largest, 1.05);
}

TEST(SimPhysics, CountsGrowLinearlyWithTimeUntilSaturation) {
    auto d = driverFromBench(oneUnit(std::string(kIlxEeprom) + "Source=halogen\n"));
    Grabber grab(*d, 0, 2080);
    constexpr double kBias = 2000.0;
    std::vector<double> perMs;
    for (const int ms : {5, 10, 20, 40}) {
        grab.integrate(ms);
        double signal = 0.0;
        for (int f = 0; f < 4; ++f) {
            const auto raw = grab.frame();
            for (int i = 32 + 1200; i < 32 + 1400; ++i) {
                signal += raw[i] - kBias;
            }
        }
        perMs.push_back(signal / ms);
    }
    for (const double v : perMs) {
        EXPECT_NEAR(v / perMs.back(), 1.0, 0.01);
    }
    // The factory time gives a healthy level; far longer saturates.
    grab.integrate(35);
    const auto healthy = grab.frame();
    const int top = *std::max_element(healthy.begin() + 32, healthy.end());
    EXPECT_GT(top, 30000);
    EXPECT_LT(top, 50000);
    grab.integrate(400);
    const auto saturated = grab.frame();
    EXPECT_EQ(*std::max_element(saturated.begin(), saturated.end()), 65535);
    EXPECT_GT(std::count(saturated.begin(), saturated.end(), 65535), 100);
}

TEST(SimPhysics, DarkFramesHaveTheConfiguredMeanAndNoise) {
    auto d = driverFromBench(oneUnit("Sensor=ILX511\nSource=dark\nBias=1500\nDarkCurrent=2\n"
                                     "ReadNoise=5\nGain=0.5\nHotPixels=100\nHotPixelRate=50\n"));
    Grabber grab(*d, 0, 2080);
    grab.integrate(40);
    std::vector<double> active;
    std::vector<double> hot;
    for (int f = 0; f < 10; ++f) {
        const auto raw = grab.frame();
        for (int i = 32; i < 2080; ++i) {
            (i == 32 + 99 ? hot : active).push_back(raw[i]);
        }
    }
    const double expectedMean = 1500.0 + 2.0 * 40;
    const double expectedSigma = std::sqrt(5.0 * 5.0 + 0.5 * 2.0 * 40);
    EXPECT_NEAR(mean(active), expectedMean, 0.5);
    EXPECT_NEAR(stddev(active), expectedSigma, 0.05 * expectedSigma);
    EXPECT_NEAR(mean(hot), expectedMean + 50.0 * 40, 30.0);
}

TEST(SimPhysics, OpticalBlackAndShutteredPixelsSeeNoLight) {
    auto d = driverFromBench(oneUnit("Sensor=ILX511\nSource=halogen\nShutter=1\nBias=2000\n"
                                     "DarkCurrent=1\n"
                                     "Eeprom=IntTime=35\n"));
    Grabber grab(*d, 0, 2080);
    grab.integrate(35);
    auto raw = grab.frame();
    for (int i = 12; i < 30; ++i) {
        EXPECT_NEAR(raw[i], 2035, 60) << "optical black " << i;
    }
    EXPECT_GT(raw[32 + 1300], 10000);
    ASSERT_TRUE(send(*d, 0, commandPacket({0x29, 1}))); // close the shutter
    raw = grab.frame();
    EXPECT_NEAR(raw[32 + 1300], 2035, 60);
}

TEST(SimPhysics, InGaAsFramesAreInvertedWithTheEepromSteps) {
    auto d = driverFromBench(oneUnit("Sensor=G9212\nSource=dark\nBias=3000\nDarkCurrent=15\n"
                                     "Eeprom=CCD=G9212\nEeprom=[QX30]\nEeprom=FirstStep=12\n"
                                     "Eeprom=SecondStep=-9\n"));
    Grabber grab(*d, 0, 512);
    grab.integrate(10);
    std::vector<double> inverted[2];
    std::vector<double> corrected[2];
    for (int f = 0; f < 20; ++f) {
        const auto raw = grab.frame();
        for (int i = 0; i < 512; ++i) {
            inverted[i % 2].push_back(65535 - raw[i]);
            corrected[i % 2].push_back(65535 - raw[i] + (i % 2 == 0 ? 12 : -9));
        }
    }
    const double level = 3000.0 + 15.0 * 10;
    EXPECT_NEAR(mean(corrected[0]), level, 1.5);
    EXPECT_NEAR(mean(corrected[1]), level, 1.5);
    EXPECT_NEAR(mean(inverted[0]) - mean(inverted[1]), -21.0, 2.0);
}

TEST(SimPhysics, The512PixelInGaAsReadsOutLastPixelFirst) {
    auto d =
        driverFromBench(oneUnit("Sensor=G9212\nSource=halogen\nWavelength=893,1.62,-1.2e-4,0\n"));
    const auto &u = *d->unit(0);
    EXPECT_EQ(u.rawIndexOfPixel(1), 511);
    Grabber grab(*d, 0, 512);
    const auto raw = grab.frame();
    // The response rises towards 1.6 um: pixel 400 is far brighter than pixel 5.
    const int bright = 65535 - raw[static_cast<std::size_t>(u.rawIndexOfPixel(400))];
    const int faint = 65535 - raw[static_cast<std::size_t>(u.rawIndexOfPixel(5))];
    EXPECT_GT(bright - 3000, 5 * (faint - 3000));
}

TEST(SimPhysics, FramesAreDeterministicPerSeed) {
    const auto frameWithSeed = [](int seed) {
        auto d = driverFromBench(oneUnit("Source=led\nSeed=" + std::to_string(seed) + "\n"));
        Grabber grab(*d, 0, 2080);
        return grab.frame();
    };
    EXPECT_EQ(frameWithSeed(7), frameWithSeed(7));
    EXPECT_NE(frameWithSeed(7), frameWithSeed(8));
}

TEST(SimPhysics, SourcesAndSamplesHaveTheirShapes) {
    const SourceSettings halogen{};
    EXPECT_NEAR(sourceRadiance(halogen, 2.8978e6 / 2856.0, 1.5), 1.0, 1e-6);
    const SourceSettings hgar{SourceKind::HgAr, 0, 1.0};
    EXPECT_GT(sourceRadiance(hgar, 811.5311, 1.5), 0.99);               // strongest line
    EXPECT_NEAR(sourceRadiance(hgar, 811.5311 + 0.75, 1.5), 0.5, 0.05); // half width
    EXPECT_LT(sourceRadiance(hgar, 620.0, 1.5), 1e-6);
    const SourceSettings daylight{SourceKind::Daylight, 0, 1.0};
    EXPECT_NEAR(sourceRadiance(daylight, 560.0, 1.5), 100.0 / 117.812, 1e-3);
    EXPECT_EQ(sourceRadiance(daylight, 900.0, 1.5), 0.0);

    SampleSettings nd;
    ASSERT_EQ(parseSample("nd 25", nd), "");
    EXPECT_DOUBLE_EQ(sampleTransmission(nd, 500.0), 0.25);
    SampleSettings filter;
    ASSERT_EQ(parseSample("filter 550 80", filter), "");
    EXPECT_NEAR(sampleTransmission(filter, 590.0), 0.44, 0.01);
    EXPECT_LT(sampleTransmission(filter, 700.0), 0.01);
    SampleSettings glass;
    ASSERT_EQ(parseSample("glass", glass), "");
    EXPECT_LT(sampleTransmission(glass, 585.0), 0.3 * sampleTransmission(glass, 650.0));
    EXPECT_NE(parseSample("nd 120", nd), "");
    EXPECT_NE(parseSample("filter 550", filter), "");
}

} // namespace
} // namespace ov::sim::testing
