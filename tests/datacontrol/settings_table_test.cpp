// The settings table: entries checked together before anything changes,
// values read from a file brought into range, the written file's order,
// and `show` giving back what was set.
#include "datacontrol/settings.h"
#include "datacontrol/settings_table.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

using namespace quillon;

namespace {

class SettingsTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.channels.assign(1, ChannelInfo{});
        state.limits = {35, 1, 65535};
        state.acquisition.calStartWavelength = 345;
        state.acquisition.calEndWavelength = 1030;
        state.display.wavelengthStart = 345.0f;
        state.display.wavelengthEnd = 1030.0f;
        state.display.wavelengthStep = 1.0f;
        state.display.trMin = -10.0f;
        state.display.trMax = 110.0f;
        state.display.absMin = -1.0f;
        state.display.absMax = 3.0f;
        state.display.irrMax = 3.0f;
    }

    // Parses, checks together, then stores as the facade does; the problem or "".
    std::string apply(std::vector<std::string> texts) {
        std::vector<SettingAssignment> assignments;
        for (const auto &text : texts) {
            std::string error;
            const auto a = SettingsTable::Parse(text, error, SettingsTable::Keys::CommandLine);
            if (!a) {
                return error;
            }
            assignments.push_back(*a);
        }
        warnings.clear();
        if (std::string problem = SettingsTable::Check(assignments, state); !problem.empty()) {
            return problem;
        }
        SettingsTable::NoteZeroDefaults(assignments, warnings);
        for (const auto &a : assignments) {
            if (a.key->set != nullptr) {
                a.key->set(state, a.value);
            }
        }
        return {};
    }

    std::string show(const char *name) {
        return SettingsTable::Show(*SettingsTable::Find(name), state);
    }

    ChannelState state;
    std::vector<std::string> warnings;
};

TEST_F(SettingsTableTest, RefusalsNameTheLimitAndChangeNothing) {
    EXPECT_EQ(apply({"TimeAV=9", "IntTime=70000"}),
              "IntTime of this unit must lie from 1 to 65535, not 70000");
    EXPECT_EQ(apply({"StartWL=300"}),
              "the wavelength grid must lie inside the calibrated range 345 to 1030 nm");
    EXPECT_EQ(apply({"StartWL=500", "EndWL=515"}),
              "EndWL must lie more than 20 nm above StartWL (StartWL 500, EndWL 515)");
    EXPECT_EQ(apply({"MinT=120"}), "MinT must lie below MaxT (120 is not below 110)");
    EXPECT_EQ(apply({"MaxA=-2"}), "MinA must lie below MaxA (-1 is not below -2)");
    EXPECT_EQ(apply({"FilterWin=100"}), "FilterWin must lie from 1 to 99, not 100");
    EXPECT_EQ(apply({"TimeAV=1.5"}), "TimeAV needs a whole number, not '1.5'");
    EXPECT_EQ(apply({"CalNo=2"}), "unknown key 'CalNo' (keys are case-sensitive; see set --help)");
    EXPECT_EQ(apply({"Title=" + std::string(64, 'x')}), "Title holds at most 63 characters");
    EXPECT_EQ(state.acquisition.timeAverage, 1);
    EXPECT_EQ(state.limits.current, 35);
    EXPECT_FLOAT_EQ(state.display.wavelengthStart, 345.0f);
    EXPECT_FLOAT_EQ(state.display.trMin, -10.0f);
}

TEST_F(SettingsTableTest, PairsAreCheckedTogetherAndSmoothingFollowsFft) {
    // Each alone would cross the other limit; together they are a range.
    EXPECT_EQ(apply({"MinT=150", "MaxT=200", "FFT=20"}), "");
    EXPECT_FLOAT_EQ(state.display.trMin, 150.0f);
    EXPECT_FLOAT_EQ(state.display.trMax, 200.0f);
    EXPECT_EQ(state.acquisition.smoothingPercent, 20);
    EXPECT_TRUE(state.flags.status.test(status_bits::kSmoothingOn));
    EXPECT_TRUE(warnings.empty());

    EXPECT_EQ(apply({"FFT=0", "MinA=0"}), "");
    EXPECT_FALSE(state.flags.status.test(status_bits::kSmoothingOn));
    EXPECT_EQ(warnings, std::vector<std::string>{
                            "MinA=0 holds for this run only: the settings file reads a stored 0 "
                            "as the default -1"});
}

TEST_F(SettingsTableTest, ShowGivesBackWhatWasSet) {
    ASSERT_EQ(apply({"Title=Batch 7", "RefMax=95.5", "ColorTemp=6500"}), "");
    EXPECT_EQ(show("Title"), "Batch 7");
    EXPECT_EQ(show("RefMax"), "95.5");
    EXPECT_EQ(show("ColorTemp"), "6500");
    EXPECT_EQ(show("IntTime"), "35");
    EXPECT_EQ(show("mode"), "scope");
    EXPECT_EQ(show("axis"), "pixel");
}

// Hostile values in a settings file: a window of two thousand million
// points, a time average of minus one, numbers that overflow.
TEST_F(SettingsTableTest, ValuesReadFromAFileAreBroughtIntoRange) {
    const test::TempFolder folder;
    const auto path = folder / "QuillonX.ini";
    std::ofstream(path) << "[Extend Options]\nFilterWin=2147483647\nTimeAV=-1\nBinningAV=99\n"
                           "FFT=400\nConvBit=40\nIntervalWL=1e300\nMaxT=nan\nNoiseHighLow=7\n";
    ProfileFile file(path);
    ASSERT_TRUE(file.Load());
    SettingsTable::ReadKeys(file, state);
    EXPECT_EQ(state.settings.filterWin, 99);
    EXPECT_EQ(state.acquisition.timeAverage, 1);
    EXPECT_EQ(state.acquisition.binningAverage, 10);
    EXPECT_EQ(state.acquisition.smoothingPercent, 100);
    EXPECT_EQ(state.geometry.adcBits, 16);
    EXPECT_FLOAT_EQ(state.display.wavelengthStep, 1000.0f);
    EXPECT_TRUE(std::isfinite(state.display.trMax));
    EXPECT_EQ(state.peaks.noiseHighLow, 1); // high (0) or low (1) peaks
    // Missing keys take their defaults.
    EXPECT_EQ(state.settings.title, defaults::kTitle);
    EXPECT_EQ(state.colors.back, defaults::kBackColor);
}

TEST_F(SettingsTableTest, WrittenKeysFollowTheFilesOrder) {
    const test::TempFolder folder;
    const auto path = folder / "QuillonX.ini";
    ProfileFile file;
    file.SetPath(path);
    SettingsTable::WriteKeys(file, state);
    ASSERT_TRUE(file.Save());
    std::ifstream in(path);
    std::vector<std::string> keys;
    for (std::string line; std::getline(in, line);) {
        if (const auto eq = line.find('='); eq != std::string::npos) {
            keys.push_back(line.substr(0, eq));
        }
    }
    const std::vector<std::string> expected{
        "IntTime",     "TimeAV",       "BinningAV", "FFT",        "StartWL",    "EndWL",
        "IntervalWL",  "ColorTemp",    "Title",     "SubTitle",   "NoiseRatio", "NoiseLine",
        "NoiseCutoff", "NoiseHighLow", "InitSet",   "InitOption", "InitColor",  "RefWhite",
        "RefMax",      "MaxT",         "MinT",      "MaxA",       "MinA",       "MaxI",
        "MinI",        "CalNo",        "FilterOn",  "FilterWin",  "BackColor",  "PixelColor",
        "TransColor",  "AbsorbColor",  "IrradColor"};
    EXPECT_EQ(keys, expected);
}

} // namespace
