// Test help for start-up against simulated units: a temporary program
// folder as the current directory, and benches loaded from text.
#ifndef QUILLON_TESTS_DATACONTROL_SIM_BENCH_H
#define QUILLON_TESTS_DATACONTROL_SIM_BENCH_H

#include "datacontrol/data_control.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include "platform/environment.h"
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::test {

inline std::string simCommand(const std::string &command) {
    char reply[4096] = {};
    const int result = ovSimCommand(command.c_str(), reply, sizeof reply);
    EXPECT_EQ(result, 1) << command << ": " << reply;
    return reply;
}

// One simulated unit: its slot, its EEPROM lines (none: an empty EEPROM)
// and further bench keys.
struct SimUnit {
    int slot;
    std::vector<std::string> eeprom;
    std::vector<std::string> extra{};
};

inline std::vector<std::string> factoryEeprom(const std::string &name, const std::string &ccd,
                                              int intTime = 0, std::vector<std::string> more = {}) {
    std::vector<std::string> lines{"[Factory Default]", "Name=" + name, "CCD=" + ccd};
    if (intTime != 0) {
        lines.push_back("IntTime=" + std::to_string(intTime));
    }
    lines.insert(lines.end(), more.begin(), more.end());
    lines.insert(lines.end(), {"[Cal Data]", "PointCount=2", "Data 1=4000;100", "Data 2=8000;900"});
    return lines;
}

class StartUpFixture : public ::testing::Test {
protected:
    void SetUp() override {
        quillon::platform::setEnvironment("OV_DRIVER", "sim");
        previousFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder.path);
        ovCloseAllChannels();
        simCommand("bench default");
    }

    void TearDown() override {
        control.reset();
        std::filesystem::current_path(previousFolder);
        for (const auto &problem : prompter.problems()) {
            ADD_FAILURE() << problem;
        }
    }

    void loadBench(const std::vector<SimUnit> &units) {
        std::ostringstream text;
        text << "[Bench]\n";
        for (const auto &unit : units) {
            text << "[Unit]\nSlot=" << unit.slot << "\nChannelId=" << unit.slot
                 << "\nTiming=fast\n";
            for (const auto &line : unit.extra) {
                text << line << "\n";
            }
            for (const auto &line : unit.eeprom) {
                text << "Eeprom=" << line << "\n";
            }
        }
        const auto bench = folder / "bench.ini";
        writeBytes(bench, text.str());
        simCommand("bench load " + bench.string());
    }

    void writeMainSettings(const std::string &extendOptions,
                           const std::string &file = "QuillonX.ini") {
        writeBytes(folder / file, "[Extend Options]\n" + extendOptions);
    }

    DataControl &make() {
        control = std::make_unique<DataControl>(prompter);
        return *control;
    }

    // Start-up as the main frame runs it: again while it answers 0.
    int startUp(int attempts = 3) {
        DataControl &dc = control ? *control : make();
        int result = 0;
        for (int i = 0; i < attempts && result == 0; ++i) {
            result = toCode(dc.StartUp());
        }
        return result;
    }

    std::filesystem::path iniFile(const std::string &name) const {
        return folder.path / "Ini" / name;
    }

    TempFolder folder;
    std::filesystem::path previousFolder;
    ScriptedPrompter prompter;
    std::unique_ptr<DataControl> control;
};

} // namespace quillon::test

#endif
