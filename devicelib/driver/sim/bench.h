// A bench of virtual units, described by an INI file (keys in README.md).
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_BENCH_H
#define QUILLON_DEVICELIB_DRIVER_SIM_BENCH_H

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/eeprom_store.h"
#include "sim/optics.h"

namespace ov::sim {

// A number of requests of one control code (above 0xFF) or command byte to fail.
struct FailureRule {
    std::uint32_t code = 0;
    int remaining = 0;
};

struct UnitConfig {
    int slot = -1;
    std::uint16_t vendorId = 0x0547;
    std::uint16_t productId = 0x0322;
    std::uint16_t maxPacket = 1024; // reported in the pipe record: 1025, 1024, 512 or 64
    std::uint8_t channelId = 0;
    std::string sensor = "ILX511"; // the CCD= name
    std::string manufacturer = "ORVANTIS";
    std::string product = "OV USB Spectrometer";
    std::string eepromText; // line-feed-separated; empty = empty EEPROM
    std::size_t eepromCapacity = kDefaultEepromCapacity;
    SourceSettings source;
    SampleSettings sample;
    bool realTime = false;
    std::uint64_t seed = 1;
    double fwhmNm = 1.5;
    double wavelengthErrorNm = 1.0;
    std::optional<Cubic> truePolynomial;                      // else derived from the EEPROM points
    std::optional<double> bias, darkCurrent, readNoise, gain; // else the sensor's
    double sensitivity = 1.0;                  // 1: halogen 2856 K reaches ~60 % at IntTime
    std::optional<std::vector<int>> hotPixels; // active pixel numbers; else BadPixels=
    double hotPixelRate = 100.0;               // extra counts per ms of a hot pixel
    std::optional<bool> shutter;               // built-in shutter; else BuiltInShutter=
    // Faults present from the start.
    bool unplugged = false;
    int timeouts = 0;
    std::vector<FailureRule> failures;
};

struct BenchConfig {
    bool pipeRecord64 = false; // the driver lays the pipe record out with 8-byte pointers
    std::vector<UnitConfig> units;
};

struct BenchResult {
    std::optional<BenchConfig> bench; // nullopt on error
    std::string error;                // "file:line: what", empty on success
};

// `fileName` names the source in messages; `baseDir` resolves EepromFile= paths.
BenchResult parseBench(std::string_view text, const std::string &fileName,
                       const std::filesystem::path &baseDir);
BenchResult loadBenchFile(const std::filesystem::path &path);
BenchResult defaultBench();

} // namespace ov::sim

#endif
