// The quillon program run as a separate process in temporary program
// folders against the default simulated bench: its tables, the settings it
// leaves behind, and its exit codes.
#include "../datacontrol/temp_folder.h"
#include "../platform/special_files.h"
#include "datacontrol/profile_file.h"
#include "quillon_process.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using quillon::test::Child;
using quillon::test::finish;
using quillon::test::Outcome;
using quillon::test::readBytes;
using quillon::test::readText;
using quillon::test::runIn;
using quillon::test::split;
using quillon::test::start;
using quillon::test::TempFolder;
using quillon::test::writeBytes;
namespace fs = std::filesystem;

namespace {

// Tables printed one after another: each starts at its header line.
using Table = std::vector<std::vector<std::string>>;

std::vector<Table> tablesOf(const std::string &out, char separator = '\t') {
    std::vector<Table> tables;
    for (const std::string &line : split(out, '\n')) {
        if (line.empty()) {
            continue;
        }
        auto cells = split(line, separator);
        if (cells[0] == "pixel" || cells[0] == "wavelength_nm") {
            tables.emplace_back();
        }
        if (!tables.empty()) {
            tables.back().push_back(std::move(cells));
        }
    }
    return tables;
}

std::map<std::string, std::string> settingsShown(const std::string &out) {
    std::map<std::string, std::string> values;
    for (const std::string &line : split(out, '\n')) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

class QuillonRun : public ::testing::Test {
protected:
    Outcome run(const std::vector<std::string> &args) { return runIn(folder.path, args); }
    Outcome simulated(std::vector<std::string> args) {
        args.insert(args.begin(), "--simulate");
        return run(args);
    }

    TempFolder folder;
};

TEST_F(QuillonRun, UnitsListsTheDefaultBench) {
    const Outcome r = simulated({"units"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const std::vector<std::vector<std::string>> expected{
        {"0", "0", "QX10-S10417", "ILX511", "2048", "", "0"},
        {"1", "1", "QX20-T20931", "TCD1304", "3648", "", "1"},
        {"2", "2", "QX50-G50112", "G9212", "512", "", "2"}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto cells = split(lines[i], '\t');
        ASSERT_EQ(cells.size(), 7u) << lines[i];
        // The range comes from each unit's calibration: first below last.
        const auto range = split(cells[5], '-');
        ASSERT_EQ(range.size(), 2u) << cells[5];
        EXPECT_LT(std::stoi(range[0]), std::stoi(range[1]));
        cells[5].clear();
        EXPECT_EQ(cells, expected[i]);
    }
    EXPECT_TRUE(fs::exists(folder / "Ini" / "QX20-T20931.ini"));
}

// Dark with the lamp off, reference of the bare lamp, then a 25 % filter.
TEST_F(QuillonRun, NeutralDensitySampleShowsItsTransmission) {
    const Outcome r =
        simulated({"--quiet", "set", "TimeAV=16", "base=wavelength", "sim", "set 0 source dark",
                   "dark", "sim", "set 0 source halogen", "reference", "scan", "sim",
                   "set 0 sample nd 25", "set", "mode=tr", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto tables = tablesOf(r.out);
    ASSERT_EQ(tables.size(), 2u);
    const Table &lamp = tables[0];
    const Table &sample = tables[1];
    ASSERT_EQ(lamp.size(), sample.size());
    double strongest = 0.0;
    for (std::size_t i = 1; i < lamp.size(); ++i) {
        strongest = std::max(strongest, std::stod(lamp[i][2]));
    }
    int withSignal = 0;
    double sum = 0.0;
    for (std::size_t i = 1; i < sample.size(); ++i) {
        if (std::stod(lamp[i][2]) < 0.2 * strongest) {
            continue;
        }
        ++withSignal;
        const double t = std::stod(sample[i][2]);
        sum += t;
        EXPECT_NEAR(t, 25.0, 1.0) << "at " << sample[i][0] << " nm";
    }
    ASSERT_GT(withSignal, 300);
    EXPECT_NEAR(sum / withSignal, 25.0, 0.25);
}

TEST_F(QuillonRun, TablesHaveTheirHeaderAndOneRowPerPoint) {
    const Outcome pixels = simulated({"scan", "3", "--each"});
    ASSERT_EQ(pixels.exitCode, 0) << pixels.err;
    const auto pixelTables = tablesOf(pixels.out);
    ASSERT_EQ(pixelTables.size(), 3u);
    EXPECT_EQ(pixelTables[0][0],
              (std::vector<std::string>{"pixel", "wavelength_nm", "wavenumber_cm-1", "value"}));
    EXPECT_EQ(pixelTables[0].size(), 2049u);
    EXPECT_EQ(pixelTables[2][2048][0], "2048");

    const Outcome grid =
        simulated({"set", "StartWL=400", "EndWL=800", "IntervalWL=2", "base=wavelength", "scan"});
    ASSERT_EQ(grid.exitCode, 0) << grid.err;
    const auto gridTables = tablesOf(grid.out);
    ASSERT_EQ(gridTables.size(), 1u);
    EXPECT_EQ(gridTables[0][0],
              (std::vector<std::string>{"wavelength_nm", "wavenumber_cm-1", "value"}));
    ASSERT_EQ(gridTables[0].size(), 202u);
    EXPECT_EQ(gridTables[0][1][0], "400.000");
    EXPECT_EQ(gridTables[0][1][1], "25000.00");
    EXPECT_EQ(gridTables[0][201][0], "800.000");

    // The base chosen above is stored, so this run goes back to pixels; a
    // channel change takes the pixel base as the setup panel does.
    const Outcome csv = simulated(
        {"set", "base=pixel", "scan", "--format", "csv", "channel", "2", "scan", "--format=csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const auto csvTables = tablesOf(csv.out, ',');
    ASSERT_EQ(csvTables.size(), 2u);
    EXPECT_EQ(csvTables[0].size(), 2049u);
    EXPECT_EQ(csvTables[1].size(), 513u); // the InGaAs unit on channel 2
    EXPECT_EQ(csvTables[1][0].size(), 4u);
}

TEST_F(QuillonRun, JsonTables) {
    const Outcome r =
        simulated({"set", "base=wavelength", "scan", "2", "--each", "--format", "json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 3), "}]\n");
    EXPECT_NE(r.out.find("{\"mode\":\"scope\",\"base\":\"wavelength\",\"columns\":[\"wavelength_"
                         "nm\",\"wavenumber_cm-1\",\"value\"],\"rows\":[\n["),
              std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '{'), 2);
}

TEST_F(QuillonRun, SettingsPersistBetweenRuns) {
    const Outcome first = simulated({"set", "TimeAV=4", "IntTime=50", "FFT=10", "base=wavelength",
                                     "StartWL=400", "EndWL=800", "IntervalWL=2", "MinT=-5"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const Outcome second = simulated({"show"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const auto values = settingsShown(second.out);
    EXPECT_EQ(values.at("TimeAV"), "4");
    EXPECT_EQ(values.at("IntTime"), "50");
    EXPECT_EQ(values.at("FFT"), "10");
    EXPECT_EQ(values.at("base"), "wavelength");
    EXPECT_EQ(values.at("axis"), "wavelength");
    EXPECT_EQ(values.at("StartWL"), "400");
    EXPECT_EQ(values.at("EndWL"), "800");
    EXPECT_EQ(values.at("IntervalWL"), "2");
    EXPECT_EQ(values.at("MinT"), "-5");
    EXPECT_EQ(values.at("mode"), "scope"); // the display mode is not stored
    EXPECT_NE(readText(folder / "QuillonX.ini").find("TimeAV=4\n"), std::string::npos);
}

TEST_F(QuillonRun, WorkdirIsTheProgramFolder) {
    fs::create_directories(folder / "lab");
    const Outcome r = simulated({"--workdir", (folder / "lab").string(), "set", "TimeAV=3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(folder / "lab" / "QuillonX.ini"));
    EXPECT_TRUE(fs::exists(folder / "lab" / "Ini"));
    EXPECT_FALSE(fs::exists(folder / "QuillonX.ini"));
}

TEST_F(QuillonRun, UsageErrorsChangeNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--simulate", "focus"}, "quillon: unknown step 'focus'\nusage: "},
        {{"--simulate", "units", "focus"}, "units: unexpected argument 'focus'"},
        {{"--simulate", "set", "TimeAV=many"}, "TimeAV needs a whole number, not 'many'"},
        {{"--simulate", "scan", "-1"}, "scan: N: a count from 1 to 1000000, not '-1'"},
        {{"--simulate=no-such-bench.ini", "units"}, "--simulate: no bench file"},
        {{"--workdir", "no-such-folder", "units"}, "--workdir: cannot enter 'no-such-folder'"},
        {{"--bogus", "units"}, "unknown option '--bogus'"},
    };
    for (const Case &c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.back();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: quillon"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    // Nothing was started: no settings file, no unit files.
    EXPECT_FALSE(fs::exists(folder / "QuillonX.ini"));
    EXPECT_FALSE(fs::exists(folder / "Ini"));
}

TEST_F(QuillonRun, FailedStepsNameTheStepAndLeaveTheSettings) {
    ASSERT_EQ(simulated({"set", "TimeAV=4"}).exitCode, 0);
    const std::string before = readBytes(folder / "QuillonX.ini");
    ASSERT_TRUE(quillon::test::makeNonRegularFile(folder / "unit.fifo"));

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"set", "TimeAV=9", "IntTime=70000"},
         "quillon: step 1 (set) failed: IntTime of this unit must lie from 1 to 65535, not 70000"},
        {{"set", "TimeAV=9", "StartWL=100"},
         "step 1 (set) failed: the wavelength grid must lie inside the calibrated range"},
        {{"set", "TimeAV=9", "eeprom-write", "missing.txt"},
         "step 2 (eeprom-write) failed: cannot read missing.txt"},
        {{"set", "TimeAV=9", "eeprom-write", "unit.fifo"},
         "step 2 (eeprom-write) failed: cannot read unit.fifo: it is not a regular file"},
        {{"set", "TimeAV=9", "channel", "7"},
         "step 2 (channel) failed: there is no channel 7 (channels 0 to 2)"},
        {{"set", "TimeAV=9", "mode=tr", "scan"},
         "step 2 (scan) failed: mode tr needs a dark and a reference scan first"},
        {{"set", "TimeAV=9", "sim", "set 9 source dark"}, "step 2 (sim) failed: "},
    };
    for (const Case &c : cases) {
        const Outcome r = simulated(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(readBytes(folder / "QuillonX.ini"), before) << c.message;
    }
}

TEST_F(QuillonRun, QuestionsNeedAnAnswerOnTheCommandLine) {
    // The TCD1304 unit on channel 1 with the ILX unit's 35 ms: "too low".
    const std::string question = "The CCD of the current channel is Toshiba TCD 1304 but the "
                                 "integration time set in the ini file seems too low [35msec].";
    ASSERT_EQ(simulated({"show"}).exitCode, 0); // IntTime=35 from the ILX unit is stored
    const Outcome asked = simulated({"channel", "1", "units"});
    EXPECT_EQ(asked.exitCode, 3);
    EXPECT_NE(asked.err.find(question), std::string::npos) << asked.err;
    EXPECT_EQ(asked.out, "");

    const Outcome yes = simulated({"--yes", "channel", "1", "show"});
    EXPECT_EQ(yes.exitCode, 0) << yes.err;
    EXPECT_EQ(settingsShown(yes.out).at("IntTime"), "35");
    const Outcome no = simulated({"--no", "channel", "1", "show"});
    EXPECT_EQ(no.exitCode, 0) << no.err;
    EXPECT_EQ(settingsShown(no.out).at("IntTime"), "3500");
}

TEST_F(QuillonRun, NoUnitEndsWithFourUnlessIgnored) {
    const Outcome none = run({"units"});
    EXPECT_EQ(none.exitCode, 4);
    EXPECT_NE(none.err.find("There is an error on testing the USB connections. There is no "
                            "device connected."),
              std::string::npos);

    // The no-device mode asks nothing more, so --ignore alone is enough.
    const Outcome ignored = run({"--ignore", "show", "units"});
    EXPECT_EQ(ignored.exitCode, 1);
    EXPECT_NE(ignored.out.find("channel=0\n"), std::string::npos);
    EXPECT_NE(ignored.err.find("step 2 (units) failed: no unit is connected (no-device mode)"),
              std::string::npos);
}

TEST_F(QuillonRun, BenchFileWithAnErrorIsNamedAtStart) {
    writeBytes(folder / "broken.ini", "[Unit]\nSlot=0\nTimng=fast\n");
    const Outcome r = run({"--simulate=broken.ini", "units"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("broken.ini:3:"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("no device connected"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

// The frame read waits for the unit's integration time, not a fixed second.
TEST_F(QuillonRun, IntegrationLongerThanASecondStillScans) {
    const Outcome r = simulated({"--yes", "--quiet", "set", "IntTime=1300", "scan"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("does not answer"), std::string::npos) << r.err;
    EXPECT_EQ(tablesOf(r.out).size(), 1u);
}

// Relative files are taken from where quillon was started, as a relative
// bench is, not from --workdir; a text the unit could not start from is
// never written.
TEST_F(QuillonRun, EepromFilesAreFoundFromTheStartFolderAndCheckedBeforeWriting) {
    std::filesystem::create_directories(folder / "work");
    const Outcome read = simulated({"--workdir", "work", "eeprom-read", "unit.txt"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_TRUE(std::filesystem::exists(folder / "unit.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder / "work" / "unit.txt"));

    std::string broken = readBytes(folder / "unit.txt");
    broken.replace(broken.find("CCD=ILX511"), 10, "CCD=NOPE");
    writeBytes(folder / "broken.txt", broken);
    const Outcome refused = simulated({"--workdir", "work", "--yes", "eeprom-write", "broken.txt"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("broken.txt: CCD=NOPE names no known sensor"), std::string::npos)
        << refused.err;
    const Outcome after = simulated({"--workdir", "work", "eeprom-read"});
    EXPECT_EQ(after.out, readText(folder / "unit.txt"));
}

// A power cycle between two scans: the unit comes back with its power-on
// integration time, and gets the program's again before its frame counts.
TEST_F(QuillonRun, PowerCycleBetweenScansKeepsTheCounts) {
    const Outcome r = simulated({"--quiet", "set", "TimeAV=1", "sim", "set 0 source halogen",
                                 "scan", "sim", "unplug 0", "sim", "replug 0", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto tables = tablesOf(r.out);
    ASSERT_EQ(tables.size(), 2u) << r.out;
    std::vector<double> means;
    for (const Table &table : tables) {
        ASSERT_GT(table.size(), 1000u);
        double sum = 0.0;
        for (std::size_t i = 1; i < table.size(); ++i) {
            sum += std::stod(table[i].back());
        }
        means.push_back(sum / static_cast<double>(table.size() - 1));
    }
    ASSERT_GT(means[0], 1000.0); // the lamp is seen
    EXPECT_NEAR(means[1], means[0], 0.01 * means[0]);
}

TEST_F(QuillonRun, EepromReadAndWrite) {
    const Outcome read = simulated({"eeprom-read", "unit.txt", "eeprom-read"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const std::string text = readText(folder / "unit.txt");
    EXPECT_EQ(text, read.out);
    EXPECT_NE(text.find("Name=QX10-S10417\n"), std::string::npos);

    writeBytes(folder / "new.txt", text + "Comment=re-calibrated\r\n");
    const Outcome unanswered = simulated({"eeprom-write", "new.txt"});
    EXPECT_EQ(unanswered.exitCode, 3);
    EXPECT_NE(unanswered.err.find("Write the EEPROM text of new.txt into the unit on channel 0 "
                                  "(QX10-S10417)? It replaces the unit's factory data."),
              std::string::npos);
    const Outcome refused = simulated({"--no", "eeprom-write", "new.txt"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("not written (answered No)"), std::string::npos);

    const Outcome written = simulated({"--yes", "eeprom-write", "new.txt", "eeprom-read"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(written.out.find("Name=QX10-S10417\n"), std::string::npos);
    EXPECT_NE(written.out.find("Comment=re-calibrated\n"), std::string::npos);

    writeBytes(folder / "nameless.txt", "CCD=ILX511\n");
    const Outcome nameless = simulated({"--yes", "eeprom-write", "nameless.txt"});
    EXPECT_EQ(nameless.exitCode, 1);
    EXPECT_NE(nameless.err.find("no Name= line"), std::string::npos);
}

TEST_F(QuillonRun, HelpDescribesEverything) {
    const Outcome all = run({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    for (const char *step : {"units", "channel N", "set KEY=VALUE", "sim COMMAND", "dark",
                             "reference", "scan [N]", "eeprom-read [FILE]", "eeprom-write FILE"}) {
        EXPECT_NE(all.out.find(step), std::string::npos) << step;
    }
    const Outcome one = run({"set", "--help"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_NE(one.out.find("mode=scope|tr|absorbance"), std::string::npos);
}

} // namespace

namespace {

const std::string kFolderBusy = "another Quillon program is using the folder";
const std::string kNotSaved =
    "The settings of this session could not be saved. The file cannot be written: ";

// The problems of a settings file as text: lines that are neither a
// header, an entry nor empty, and keys repeated within a section.
std::vector<std::string> settingsFileProblems(const std::string &text) {
    std::vector<std::string> problems;
    std::set<std::pair<std::string, std::string>> seen;
    std::string section;
    for (const std::string &line : split(text, '\n')) {
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = line;
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            problems.push_back("stray line '" + line + "'");
        } else if (!seen.emplace(section, line.substr(0, equals)).second) {
            problems.push_back("repeated key in " + section + ": " + line);
        }
    }
    return problems;
}

std::vector<std::string> temporaryFilesIn(const fs::path &folder) {
    std::vector<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find(".tmp") != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

std::map<std::string, std::string> unitFiles(const fs::path &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder / "Ini")) {
        files[entry.path().filename().string()] = readBytes(entry.path());
    }
    return files;
}

// Two runs at once on one folder: each either runs whole or gives up with
// the lock message, and every file stays whole. Both changes survive, since
// the second run starts from what the first one saved.
TEST_F(QuillonRun, TwoRunsAtOnceOnOneFolderKeepEveryFileWhole) {
    ASSERT_EQ(simulated({"--quiet", "units"}).exitCode, 0);
    const auto expectedUnits = unitFiles(folder.path);
    ASSERT_EQ(expectedUnits.size(), 3u);
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const std::string timeAv = std::to_string(2 + round);
        const std::string fft = std::to_string(10 + round);
        const Child a =
            start(folder.path, {"--simulate", "--quiet", "set", "TimeAV=" + timeAv}, "a");
        const Child b = start(folder.path, {"--simulate", "--quiet", "set", "FFT=" + fft}, "b");
        const Outcome ra = finish(a);
        const Outcome rb = finish(b);
        int succeeded = 0;
        for (const Outcome *r : {&ra, &rb}) {
            if (r->exitCode == 0) {
                ++succeeded;
            } else {
                EXPECT_EQ(r->exitCode, 5) << "round " << round << ": " << r->err;
                EXPECT_NE(r->err.find(kFolderBusy), std::string::npos) << r->err;
            }
        }
        const std::string text = readText(folder / "QuillonX.ini");
        EXPECT_EQ(settingsFileProblems(text), std::vector<std::string>{}) << "round " << round;
        quillon::ProfileFile saved;
        saved.SetPath(folder / "QuillonX.ini");
        ASSERT_TRUE(saved.Load());
        if (ra.exitCode == 0) {
            EXPECT_EQ(saved.GetText("Extend Options", "TimeAV"), timeAv) << "round " << round;
        }
        if (rb.exitCode == 0) {
            EXPECT_EQ(saved.GetText("Extend Options", "FFT"), fft) << "round " << round;
        }
        EXPECT_EQ(unitFiles(folder.path), expectedUnits) << "round " << round;
        EXPECT_EQ(temporaryFilesIn(folder.path), std::vector<std::string>{});
        EXPECT_GE(succeeded, 1);
        if (HasFailure()) {
            break;
        }
    }
}

TEST_F(QuillonRun, ASymlinkedSettingsFileIsWrittenThrough) {
    fs::create_directories(folder / "shared");
    writeBytes(folder / "shared" / "QuillonX.ini", "[Extend Options]\nTimeAV=4\n[Mine]\nx=1\n");
    QUILLON_SYMLINK_OR_SKIP(fs::path("shared") / "QuillonX.ini", folder / "QuillonX.ini");
    const Outcome r = simulated({"--quiet", "set", "TimeAV=6"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "QuillonX.ini")));
    quillon::ProfileFile saved;
    saved.SetPath(folder / "shared" / "QuillonX.ini");
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetText("Extend Options", "TimeAV"), "6");
    EXPECT_EQ(saved.GetText("Mine", "x"), "1");
}

TEST_F(QuillonRun, ASettingsFileThatCannotBeWrittenEndsWithAnError) {
    if (!quillon::test::kCanLimitFileSize) {
        GTEST_SKIP() << "no per-process file-size limit on this platform";
    }
    // Kept entries make the saved file larger than the limit below, while
    // the unit files written at start fit.
    std::string settings = "[Extend Options]\nTimeAV=3\n[Notes]\n";
    for (int i = 0; i < 3000; ++i) {
        settings += "Note" + std::to_string(i) + "=kept as it is\n";
    }
    writeBytes(folder / "QuillonX.ini", settings);
    const Outcome r = finish(
        start(folder.path, {"--simulate", "--quiet", "set", "TimeAV=7"}, "", settings.size() / 2));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(kNotSaved + (folder / "QuillonX.ini").string()), std::string::npos)
        << r.err;
    EXPECT_EQ(readBytes(folder / "QuillonX.ini"), settings);
    EXPECT_EQ(temporaryFilesIn(folder.path), std::vector<std::string>{});
}

// None of these may block the run, and none is replaced or written to.
TEST_F(QuillonRun, FifoDeviceOrHugeSettingsFileIsRefused) {
    ASSERT_TRUE(quillon::test::makeNonRegularFile(folder / "QuillonX.ini"));
    const Outcome fifo =
        finish(start(folder.path, {"--simulate", "units"}), std::chrono::seconds(30));
    EXPECT_NE(fifo.exitCode, 0);
    EXPECT_NE(fifo.err.find("Failed to open the initial setup file"), std::string::npos)
        << fifo.err;
    EXPECT_TRUE(quillon::test::isNonRegularFile(folder / "QuillonX.ini"));
    fs::remove(folder / "QuillonX.ini");

    // Windows grants symbolic links to privileged users only.
    std::error_code noLinks;
    fs::create_symlink(quillon::test::kDeviceFile, folder / "QuillonX.ini", noLinks);
    if (!noLinks) {
        const Outcome device =
            finish(start(folder.path, {"--simulate", "units"}), std::chrono::seconds(30));
        EXPECT_NE(device.exitCode, 0);
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "QuillonX.ini")));
        fs::remove(folder / "QuillonX.ini");
    }

    { std::ofstream huge(folder / "QuillonX.ini"); }
    const auto hugeSize = quillon::ProfileFile::kMaxFileSize + 1;
    fs::resize_file(folder / "QuillonX.ini", hugeSize);
    const Outcome big =
        finish(start(folder.path, {"--simulate", "units"}), std::chrono::seconds(30));
    EXPECT_NE(big.exitCode, 0);
    EXPECT_EQ(fs::file_size(folder / "QuillonX.ini"), hugeSize);

    ASSERT_TRUE(quillon::test::makeNonRegularFile(folder / "bench.ini"));
    const Outcome bench =
        finish(start(folder.path, {"--simulate=bench.ini", "units"}), std::chrono::seconds(30));
    EXPECT_EQ(bench.exitCode, 2) << bench.err;
}

} // namespace

// Stored spectra across runs: recorded, saved, loaded into memory mode in a
// later run, shown, exported; refused files are exit 1 with the reason.
TEST_F(QuillonRun, MemoryListSavedAndLoadedInALaterRun) {
    const Outcome record = simulated({"--quiet", "set", "Title=Lamp", "memory-add", "3",
                                      "memory-list", "memory-save", "runs/first.txt"});
    ASSERT_EQ(record.exitCode, 1) << "the folder runs/ does not exist: " << record.err;
    EXPECT_NE(record.err.find("first.sdf"), std::string::npos) << record.err;

    fs::create_directories(folder / "runs");
    const Outcome saved = simulated({"--quiet", "set", "Title=Lamp", "memory-add", "3",
                                     "memory-list", "memory-save", "runs/first.txt"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const auto lines = split(saved.out, '\n');
    ASSERT_EQ(lines.size(), 4u) << saved.out;
    EXPECT_EQ(lines[0], "item\tproject\tsample\ttime");
    EXPECT_EQ(split(lines[3], '\t')[1], "Lamp");
    ASSERT_TRUE(fs::exists(folder / "runs" / "first.sdf"));
    EXPECT_EQ(fs::file_size(folder / "runs" / "first.sdf"), 244 + 8 * 2048 + 3 * (196 + 4 * 2048));

    const Outcome loaded =
        simulated({"memory-load", "runs/first", "memory-select", "2", "scan", "memory-list",
                   "export", "text", "runs/all", "--all", "export", "csv", "runs/one", "export",
                   "picture", "runs/one", "memory-leave", "scan"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_NE(loaded.err.find("3 Memory Data has been Loaded"), std::string::npos) << loaded.err;
    EXPECT_NE(loaded.err.find("memory item 2 of 3"), std::string::npos) << loaded.err;
    const auto tables = tablesOf(loaded.out);
    ASSERT_EQ(tables.size(), 2u);       // the item, then a live scan after leaving memory mode
    ASSERT_GE(tables[0].size(), 2049u); // memory-list's lines follow the table
    EXPECT_EQ(tables[0][2048][0], "2048");
    EXPECT_NE(loaded.out.find("2*\tLamp"), std::string::npos) << loaded.out;
    const std::string all = readBytes(folder / "runs" / "all.txt");
    for (const char *no :
         {"Measurement No : 1\r\n", "Measurement No : 2\r\n", "Measurement No : 3\r\n"}) {
        EXPECT_NE(all.find(no), std::string::npos) << no;
    }
    EXPECT_EQ(readBytes(folder / "runs" / "one.csv").rfind("Pixel,Wavelength(nm),", 0), 0u);
    EXPECT_EQ(readBytes(folder / "runs" / "one.bmp").substr(0, 2), "BM");
}

TEST_F(QuillonRun, DarkAndReferenceFilesAndRefusals) {
    const Outcome saved =
        simulated({"--quiet", "sim", "set 0 source dark", "dark", "dark-save", "d", "sim",
                   "set 0 source halogen", "reference", "reference-save", "r.x"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_EQ(fs::file_size(folder / "d.dak"), 76u + 72 + 16 + 4 * 2048 + 24);
    EXPECT_EQ(fs::file_size(folder / "r.ref"), 76u + 72 + 16 + 4 * 2048);

    const Outcome loaded =
        simulated({"--quiet", "dark-load", "d", "reference-load", "r", "set", "mode=tr", "scan"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;

    // The dark of the ILX511 unit on the TCD1304 unit of channel 1.
    const Outcome other = simulated({"--yes", "channel", "1", "dark-load", "d"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.err.find("Error! Board or CCD doesn't match"), std::string::npos) << other.err;

    writeBytes(folder / "junk.sdf", std::string(3000, 'j'));
    const Outcome junk = simulated({"memory-load", "junk"});
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_NE(junk.err.find("junk.sdf"), std::string::npos) << junk.err;
    const Outcome missing = simulated({"memory-load", "nothing"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no file"), std::string::npos) << missing.err;
    const Outcome empty = simulated({"memory-save", "empty"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("No Memory Data"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "empty.sdf"));
}

struct EmissionLine {
    double wavelength;
    double intensity;
};

std::vector<EmissionLine> mercuryArgonLines() {
    std::vector<EmissionLine> lines;
    std::istringstream in(readBytes(QUILLON_HG_AR_LINES));
    std::string row;
    std::getline(in, row); // header
    while (std::getline(in, row)) {
        const auto cells = split(row, ',');
        if (cells.size() >= 3 && !cells[2].empty()) {
            lines.push_back({std::stod(cells[1]), std::stod(cells[2])});
        }
    }
    return lines;
}

// The simulator's lamp seen by the TCD1304 unit: every strong line that has
// no neighbour within 3 nm is found within the unit's calibration error,
// with the simulated instrument line width.
TEST_F(QuillonRun, PeaksOfTheMercuryArgonLampOnTheTcd1304Unit) {
    constexpr double kCalibrationError = 1.0; // the bench's WavelengthError
    constexpr double kPixelStep = 0.25;       // nm between pixels, about
    constexpr double kLineWidth = 1.5;        // the bench's Fwhm
    const Outcome r = simulated({"--quiet", "channel", "1", "sim", "set 1 source hgar", "peaks"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto rows = split(r.out, '\n');
    ASSERT_GT(rows.size(), 10u);
    EXPECT_EQ(rows[0], "no\tpixel\twavelength_nm\twavenumber_cm-1\tintensity\tfwhm_nm\tsaturated");
    struct Found {
        double wavelength;
        double fwhm;
    };
    std::vector<Found> found;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto cells = split(rows[k], '\t');
        ASSERT_EQ(cells.size(), 7u) << rows[k];
        EXPECT_EQ(cells[0], std::to_string(k));
        EXPECT_EQ(cells[6], "0");
        found.push_back({std::stod(cells[2]), std::stod(cells[5])});
    }
    const std::vector<EmissionLine> lines = mercuryArgonLines();
    int checked = 0;
    for (const EmissionLine &line : lines) {
        const bool isolated = std::none_of(lines.begin(), lines.end(), [&](const EmissionLine &o) {
            return o.wavelength != line.wavelength &&
                   std::abs(o.wavelength - line.wavelength) < 3.0;
        });
        // Inside the unit's calibrated range (299-936 nm), away from its ends.
        if (!isolated || line.intensity < 5000 || line.wavelength < 310 || line.wavelength > 930) {
            continue;
        }
        const auto nearest = std::min_element(found.begin(), found.end(), [&](auto &a, auto &b) {
            return std::abs(a.wavelength - line.wavelength) <
                   std::abs(b.wavelength - line.wavelength);
        });
        ASSERT_NE(nearest, found.end());
        EXPECT_NEAR(nearest->wavelength, line.wavelength, kCalibrationError + kPixelStep)
            << line.wavelength;
        EXPECT_NEAR(nearest->fwhm, kLineWidth, 0.1 * kLineWidth) << line.wavelength;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST_F(QuillonRun, PeaksMarkSaturationAndTakeTheirOptionsForOneStep) {
    const Outcome bright =
        simulated({"--quiet", "channel", "1", "sim", "set 1 source hgar", "sim", "set 1 level 8",
                   "peaks", "--ratio", "2", "--line", "5", "--format", "json"});
    ASSERT_EQ(bright.exitCode, 0) << bright.err;
    EXPECT_EQ(bright.out.rfind("{\"mode\":\"scope\",\"base\":\"pixel\",\"columns\":[\"no\"", 0), 0u)
        << bright.out;
    EXPECT_NE(bright.out.find(",65535,"), std::string::npos);
    EXPECT_NE(bright.out.find(",1]"), std::string::npos); // a saturated row
    EXPECT_NE(bright.err.find("saturated pixels"), std::string::npos) << bright.err;
    // The options were for that step only.
    const Outcome shown = simulated({"show"});
    const auto settings = settingsShown(shown.out);
    EXPECT_EQ(settings.at("NoiseRatio"), "1.2");
    EXPECT_EQ(settings.at("NoiseLine"), "1.2");

    const Outcome refused = simulated({"peaks", "--ratio", "0"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("a noise multiplier from 0.1 to 100, not '0'"), std::string::npos)
        << refused.err;
    // The dark level of the unit lies above 1.2 % of full scale, below 5 %:
    // its noise gives peaks only under the lower threshold.
    const Outcome dark = simulated({"--quiet", "channel", "1", "sim", "set 1 source dark", "peaks",
                                    "--line", "5", "--format", "csv"});
    ASSERT_EQ(dark.exitCode, 0) << dark.err;
    EXPECT_EQ(dark.out, "no,pixel,wavelength_nm,wavenumber_cm-1,intensity,fwhm_nm,saturated\n");
    const Outcome noise = simulated(
        {"--quiet", "channel", "1", "sim", "set 1 source dark", "peaks", "--format", "csv"});
    EXPECT_GT(split(noise.out, '\n').size(), 2u);
}
