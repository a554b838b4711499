// The simulated TCD1304 unit the benchmarks run on, and the simulator's
// command call.
#ifndef QUILLON_BENCH_COMMON_TCD_BENCH_UNIT_H
#define QUILLON_BENCH_COMMON_TCD_BENCH_UNIT_H

#include "datacontrol/data_control.h"
#include "ovdbusbm.h"
#include "platform/prompter.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace quillon::bench {

inline constexpr const char *kTcdBench =
    "[Bench]\n[Unit]\nSlot=0\nProductId=0x0322\nMaxPacket=1024\nChannelId=0\n"
    "Source=dark\nTiming=fast\nSeed=9\n"
    "Eeprom=[Factory Default]\nEeprom=Name=QX20-BENCH\nEeprom=CCD=TCD1304\n"
    "Eeprom=IntTime=3500\nEeprom=BadPixels=2051\nEeprom=[Cal Data]\nEeprom=PointCount=6\n"
    "Eeprom=Data 1=3650;374\nEeprom=Data 2=4047;597\nEeprom=Data 3=4358;772\n"
    "Eeprom=Data 4=5461;1395\nEeprom=Data 5=6965;2254\nEeprom=Data 6=8115;2918\n";

inline bool sim(const std::string &command) {
    char reply[512] = {};
    return ovSimCommand(command.c_str(), reply, sizeof reply) == 1;
}

// The settings of the processing benchmarks: one frame a scan, FFT
// smoothing 50, binning 2, the wavelength base.
inline std::string processingSettings() {
    return "TimeAV=1\nFFT=50\nBinningAV=2\nInitSet=" + std::to_string(9 << 16) + "\n";
}

// Loads the TCD1304 bench in `folder`, which becomes the current folder,
// with `extendOptions` as its settings, and starts a DataControl on it as
// the window does; null when the unit does not start.
inline std::unique_ptr<DataControl> startTcdUnit(const std::filesystem::path &folder,
                                                 const std::string &extendOptions,
                                                 Prompter &prompter) {
    std::filesystem::current_path(folder);
    std::ofstream(folder / "bench.ini") << kTcdBench;
    std::ofstream(folder / "QuillonX.ini") << "[Extend Options]\n" << extendOptions;
    if (!sim("bench load " + (folder / "bench.ini").string())) {
        return nullptr;
    }
    auto control = std::make_unique<DataControl>(prompter);
    int started = 0;
    for (int attempt = 0; attempt < 3 && started == 0; ++attempt) {
        started = toCode(control->StartUp());
    }
    if (started != 1 || toCode(control->FinishStartUp()) != 1) {
        return nullptr;
    }
    return control;
}

// Leaves and removes a benchmark's folder.
inline void removeBenchFolder(const std::filesystem::path &folder) {
    std::error_code ignored;
    std::filesystem::current_path(folder.parent_path(), ignored);
    std::filesystem::remove_all(folder, ignored);
}

} // namespace quillon::bench

#endif
