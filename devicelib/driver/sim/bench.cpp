#include "sim/bench.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ov_sim_embedded_resources.h"
#include "sim/sensor.h"
#include "sim/text_util.h"

namespace ov::sim {
namespace {

constexpr std::size_t kMaxBenchFileSize = 1u << 20;

struct ParseError {
    int line = 0;
    std::string what;
};

// Reads "Slot=..." etc. into a unit; returns an error text or empty.
using KeyReader = std::function<std::string(UnitConfig &, std::string_view)>;

template <typename T>
std::string readUnsigned(std::string_view value, std::uint64_t max, T &out) {
    const auto v = parseUnsigned(value);
    if (!v || *v > max) {
        return "expected a number 0.." + std::to_string(max) + ", got '" + std::string(value) + "'";
    }
    out = static_cast<T>(*v);
    return {};
}

std::string readReal(std::string_view value, double min, double max, double &out) {
    const auto v = parseDouble(value);
    if (!v || *v < min || *v > max) {
        return "expected a number in " + std::to_string(min) + ".." + std::to_string(max) +
               ", got '" + std::string(value) + "'";
    }
    out = *v;
    return {};
}

std::string readOptionalReal(std::string_view value, double max, std::optional<double> &out) {
    double v = 0.0;
    auto error = readReal(value, 0.0, max, v);
    if (error.empty()) {
        out = v;
    }
    return error;
}

std::string readFlag(std::string_view value, bool &out) {
    if (value == "1" || value == "yes" || value == "true") {
        out = true;
    } else if (value == "0" || value == "no" || value == "false") {
        out = false;
    } else {
        return "expected 0 or 1, got '" + std::string(value) + "'";
    }
    return {};
}

std::string readIntList(std::string_view value, std::vector<int> &out) {
    out.clear();
    std::string text(value);
    for (char &c : text) {
        if (c == ',' || c == ';') {
            c = ' ';
        }
    }
    for (const auto word : splitWords(text)) {
        const auto v = parseSigned(word);
        if (!v || *v < 1 || *v > 65535) {
            return "expected pixel numbers from 1, got '" + std::string(word) + "'";
        }
        out.push_back(static_cast<int>(*v));
    }
    return {};
}

std::string readPolynomial(std::string_view value, Cubic &out) {
    std::string text(value);
    for (char &c : text) {
        if (c == ',') {
            c = ' ';
        }
    }
    const auto words = splitWords(text);
    if (words.size() != 4) {
        return "expected four coefficients c0,c1,c2,c3";
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = parseDouble(words[i]);
        if (!v) {
            return "bad coefficient '" + std::string(words[i]) + "'";
        }
        out[i] = *v;
    }
    return {};
}

std::string readFailure(std::string_view value, std::vector<FailureRule> &out) {
    const auto colon = value.find(':');
    const std::string expected =
        "expected CODE:COUNT (CODE a control code or a command byte), got '" + std::string(value) +
        "'";
    if (colon == std::string_view::npos) {
        return expected;
    }
    const auto code = parseUnsigned(value.substr(0, colon));
    const auto count = parseUnsigned(value.substr(colon + 1));
    if (!code.has_value() || !count.has_value()) {
        return expected;
    }
    const auto codeValue = code.value();
    const auto countValue = count.value();
    if (codeValue > 0xFFFFFFFFu || countValue > 1000000) {
        return expected;
    }
    out.push_back({static_cast<std::uint32_t>(codeValue), static_cast<int>(countValue)});
    return {};
}

const std::map<std::string, KeyReader, std::less<>> &unitKeys() {
    static const std::map<std::string, KeyReader, std::less<>> keys = {
        {"Slot", [](UnitConfig &u, std::string_view v) { return readUnsigned(v, 9, u.slot); }},
        {"VendorId",
         [](UnitConfig &u, std::string_view v) { return readUnsigned(v, 0xFFFF, u.vendorId); }},
        {"ProductId",
         [](UnitConfig &u, std::string_view v) { return readUnsigned(v, 0xFFFF, u.productId); }},
        {"MaxPacket",
         [](UnitConfig &u, std::string_view v) -> std::string {
             auto error = readUnsigned(v, 0xFFFF, u.maxPacket);
             if (error.empty() && u.maxPacket != 1025 && u.maxPacket != 1024 &&
                 u.maxPacket != 512 && u.maxPacket != 64) {
                 error = "MaxPacket must be 1025, 1024, 512 or 64";
             }
             return error;
         }},
        {"ChannelId",
         [](UnitConfig &u, std::string_view v) { return readUnsigned(v, 255, u.channelId); }},
        {"Sensor",
         [](UnitConfig &u, std::string_view v) -> std::string {
             if (!sensorByName(v)) {
                 return "unknown sensor '" + std::string(v) + "'";
             }
             u.sensor = std::string(v);
             return {};
         }},
        {"Manufacturer",
         [](UnitConfig &u, std::string_view v) {
             u.manufacturer = std::string(v);
             return std::string{};
         }},
        {"Product",
         [](UnitConfig &u, std::string_view v) {
             u.product = std::string(v);
             return std::string{};
         }},
        {"EepromCapacity",
         [](UnitConfig &u, std::string_view v) -> std::string {
             auto error = readUnsigned(v, 1u << 20, u.eepromCapacity);
             if (error.empty() && u.eepromCapacity < 2) {
                 error = "EepromCapacity must be at least 2 bytes";
             }
             return error;
         }},
        {"Source", [](UnitConfig &u, std::string_view v) { return parseSource(v, u.source); }},
        {"SourceLevel",
         [](UnitConfig &u, std::string_view v) { return readReal(v, 0, 1e6, u.source.level); }},
        {"Sample", [](UnitConfig &u, std::string_view v) { return parseSample(v, u.sample); }},
        {"Timing",
         [](UnitConfig &u, std::string_view v) -> std::string {
             if (v != "fast" && v != "realtime") {
                 return "Timing must be fast or realtime";
             }
             u.realTime = v == "realtime";
             return {};
         }},
        {"Seed", [](UnitConfig &u, std::string_view v) { return readUnsigned(v, ~0ull, u.seed); }},
        {"Fwhm",
         [](UnitConfig &u, std::string_view v) { return readReal(v, 0.01, 100, u.fwhmNm); }},
        {"WavelengthError",
         [](UnitConfig &u, std::string_view v) {
             return readReal(v, 0, 100, u.wavelengthErrorNm);
         }},
        {"Wavelength",
         [](UnitConfig &u, std::string_view v) -> std::string {
             Cubic c{};
             auto error = readPolynomial(v, c);
             if (error.empty()) {
                 u.truePolynomial = c;
             }
             return error;
         }},
        {"Bias",
         [](UnitConfig &u, std::string_view v) { return readOptionalReal(v, 65535, u.bias); }},
        {"DarkCurrent",
         [](UnitConfig &u, std::string_view v) { return readOptionalReal(v, 1e5, u.darkCurrent); }},
        {"ReadNoise",
         [](UnitConfig &u, std::string_view v) { return readOptionalReal(v, 1e4, u.readNoise); }},
        {"Gain",
         [](UnitConfig &u, std::string_view v) { return readOptionalReal(v, 100, u.gain); }},
        {"Sensitivity",
         [](UnitConfig &u, std::string_view v) { return readReal(v, 0, 1e6, u.sensitivity); }},
        {"HotPixels",
         [](UnitConfig &u, std::string_view v) {
             std::vector<int> list;
             auto error = readIntList(v, list);
             u.hotPixels = std::move(list);
             return error;
         }},
        {"HotPixelRate",
         [](UnitConfig &u, std::string_view v) { return readReal(v, 0, 1e5, u.hotPixelRate); }},
        {"Shutter",
         [](UnitConfig &u, std::string_view v) {
             bool present = false;
             auto error = readFlag(v, present);
             u.shutter = present;
             return error;
         }},
        {"Unplugged", [](UnitConfig &u, std::string_view v) { return readFlag(v, u.unplugged); }},
        {"Timeouts",
         [](UnitConfig &u, std::string_view v) { return readUnsigned(v, 1000000, u.timeouts); }},
        {"Fail", [](UnitConfig &u, std::string_view v) { return readFailure(v, u.failures); }},
    };
    return keys;
}

// A bench or EEPROM file, or why it cannot be used.
struct TextFile {
    std::optional<std::string> text;
    std::string problem;
};

// Only a regular file of at most kMaxBenchFileSize bytes is read: a FIFO
// would block the program and a device such as /dev/zero never ends.
TextFile readTextFile(const std::filesystem::path &path) {
    std::string text;
#ifndef _WIN32
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return {std::nullopt, std::strerror(errno)};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {std::nullopt, "not a regular file"};
    }
    char block[65536];
    ssize_t count = 0;
    while (text.size() <= kMaxBenchFileSize && (count = ::read(fd, block, sizeof block)) != 0) {
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            ::close(fd);
            return {std::nullopt, "read error"};
        }
        text.append(block, static_cast<std::size_t>(count));
    }
    ::close(fd);
#else
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return {std::nullopt, "not a regular file"};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::nullopt, "cannot be opened"};
    }
    text.resize(kMaxBenchFileSize + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        return {std::nullopt, "read error"};
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
#endif
    if (text.size() > kMaxBenchFileSize) {
        return {std::nullopt, "larger than 1 MiB"};
    }
    return {std::move(text), {}};
}

// State of the unit section being read.
struct UnitSection {
    UnitConfig unit;
    int headerLine = 0;
    bool slotGiven = false;
    bool sensorGiven = false;
    std::vector<std::string> eepromLines;
    std::optional<std::string> eepromFile;
    int eepromFileLine = 0;
};

std::optional<ParseError> finishUnit(UnitSection &section, const std::filesystem::path &baseDir,
                                     BenchConfig &bench) {
    UnitConfig &u = section.unit;
    if (!section.slotGiven) {
        return ParseError{section.headerLine, "unit without Slot="};
    }
    for (const auto &other : bench.units) {
        if (other.slot == u.slot) {
            return ParseError{section.headerLine,
                              "slot " + std::to_string(u.slot) + " is used twice"};
        }
    }
    if (section.eepromFile && !section.eepromLines.empty()) {
        return ParseError{section.eepromFileLine, "EepromFile= and Eeprom= lines together"};
    }
    if (section.eepromFile) {
        const auto path = baseDir / *section.eepromFile;
        auto file = readTextFile(path);
        if (!file.text) {
            return ParseError{section.eepromFileLine, "cannot read EEPROM file '" + path.string() +
                                                          "' (" + file.problem + ")"};
        }
        u.eepromText = std::move(*file.text);
    } else {
        for (const auto &line : section.eepromLines) {
            u.eepromText += line;
            u.eepromText += '\n';
        }
    }
    if (recordsFromText(u.eepromText).size() > u.eepromCapacity) {
        return ParseError{section.headerLine, "the EEPROM text does not fit EepromCapacity=" +
                                                  std::to_string(u.eepromCapacity)};
    }
    if (!section.sensorGiven) {
        const auto ccd = std::string(lineValue(u.eepromText, "CCD="));
        if (sensorByName(ccd)) {
            u.sensor = ccd;
        }
    }
    if (!u.shutter) {
        u.shutter = lineValue(u.eepromText, "BuiltInShutter=") == "1";
    }
    bench.units.push_back(std::move(u));
    return std::nullopt;
}

std::optional<ParseError> parseLines(std::string_view text, const std::filesystem::path &baseDir,
                                     BenchConfig &bench) {
    enum class Section { None, Bench, Unit } current = Section::None;
    std::optional<UnitSection> unit;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        const auto line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return ParseError{lineNumber, "section header without ']'"};
            }
            if (unit) {
                if (auto error = finishUnit(*unit, baseDir, bench)) {
                    return error;
                }
                unit.reset();
            }
            const auto name = trim(line.substr(1, line.size() - 2));
            if (name == "Bench") {
                current = Section::Bench;
            } else if (name == "Unit") {
                current = Section::Unit;
                unit.emplace();
                unit->headerLine = lineNumber;
            } else {
                return ParseError{lineNumber, "unknown section [" + std::string(name) +
                                                  "] (expected [Bench] or [Unit])"};
            }
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return ParseError{lineNumber, "expected Key=Value"};
        }
        const auto key = trim(line.substr(0, equals));
        const auto value = trim(line.substr(equals + 1));
        if (current == Section::Bench) {
            if (key != "PipeRecord64") {
                return ParseError{lineNumber, "unknown key '" + std::string(key) + "' in [Bench]"};
            }
            if (auto error = readFlag(value, bench.pipeRecord64); !error.empty()) {
                return ParseError{lineNumber, error};
            }
            continue;
        }
        if (current != Section::Unit) {
            return ParseError{lineNumber, "key outside a [Bench] or [Unit] section"};
        }
        if (key == "Eeprom") {
            unit->eepromLines.emplace_back(value);
            continue;
        }
        if (key == "EepromFile") {
            unit->eepromFile = std::string(value);
            unit->eepromFileLine = lineNumber;
            continue;
        }
        const auto reader = unitKeys().find(key);
        if (reader == unitKeys().end()) {
            return ParseError{lineNumber, "unknown key '" + std::string(key) + "' in [Unit]"};
        }
        if (auto error = reader->second(unit->unit, value); !error.empty()) {
            return ParseError{lineNumber, std::string(key) + ": " + error};
        }
        unit->slotGiven |= key == "Slot";
        unit->sensorGiven |= key == "Sensor";
    }
    if (unit) {
        return finishUnit(*unit, baseDir, bench);
    }
    return std::nullopt;
}

} // namespace

BenchResult parseBench(std::string_view text, const std::string &fileName,
                       const std::filesystem::path &baseDir) {
    BenchConfig bench;
    if (auto error = parseLines(text, baseDir, bench)) {
        return {std::nullopt, fileName + ":" + std::to_string(error->line) + ": " + error->what};
    }
    return {std::move(bench), {}};
}

BenchResult loadBenchFile(const std::filesystem::path &path) {
    const auto file = readTextFile(path);
    if (!file.text) {
        return {std::nullopt,
                path.string() + ": cannot read the bench file (" + file.problem + ")"};
    }
    return parseBench(*file.text, path.string(), path.parent_path());
}

BenchResult defaultBench() {
    return parseBench(embedded::kDefaultBench, "default-bench.ini", {});
}

} // namespace ov::sim
