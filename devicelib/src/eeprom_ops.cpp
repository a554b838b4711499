// EEPROM transfers with a unit, and the facts and wavelength tables read
// from its text.
#include "command_codec.h"
#include "eeprom_text.h"
#include "library_state.h"
#include "operations.h"
#include "ov/numeric/polynomial.h"
#include "transport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ovdbusbm.h"

namespace ov {

namespace {

// Streams the unit's EEPROM text into `text`: 1, -1 (transfer failure or a
// stream that never ends) or -4 (no data).
int readEepromStream(int slot, std::string &text) {
    EepromStreamParser parser;
    for (int packet = 0; packet < kMaxEepromPackets; ++packet) {
        CommandPacket answer{};
        const std::uint8_t sequence = packet == 0 ? 1 : 2;
        if (!sendWithAnswer(slot, byteCommand(Command::EepromRead, sequence), answer)) {
            dropChannels();
            return kErrRequest;
        }
        if (packet == 0 && isEmptyEeprom(answer)) {
            dropChannels();
            return kErrNoData;
        }
        switch (parser.feed(answer)) {
        case EepromStreamParser::Status::Finished:
            text = parser.text();
            return kOk;
        case EepromStreamParser::Status::Overflow:
            return kErrRequest;
        case EepromStreamParser::Status::NeedMore:
            break;
        }
    }
    return kErrRequest;
}

// The text for the fact readers: -2 when it cannot be read, -3 when empty.
int fetchFactText(int slot, std::string &text) {
    if (readEepromStream(slot, text) < 0) {
        return kErrNoDevice;
    }
    return text.empty() ? kErrFile : kOk;
}

// The value of one key of the unit's text: 1, or the fetch's code, or -4.
int fetchFact(int slot, std::string_view key, std::string &text, std::string_view &value) {
    const int result = fetchFactText(slot, text);
    if (result != kOk) {
        return result;
    }
    const auto found = findKeyValue(text, key);
    if (!found) {
        return kErrNoData;
    }
    value = *found;
    return kOk;
}

int writeLines(int slot, std::span<const std::string> lines) {
    const auto sendPacket = [slot](const CommandPacket &packet) {
        return sendCommand(slot, packet);
    };
    if (!packEepromRecords(lines, sendPacket)) {
        dropChannels();
        return kErrRequest;
    }
    return kOk;
}

void copyCut(std::string_view value, std::span<char> out) {
    if (out.empty()) {
        return;
    }
    const std::size_t length = std::min(value.size(), out.size() - 1);
    std::copy_n(value.begin(), length, out.begin());
    out[length] = '\0';
}

struct Fit {
    int result = kOk;
    std::array<double, 4> coefficients{};
    CalibrationPoints points;
};

Fit fitCalibration(int slot) {
    Fit fit;
    std::string text;
    fit.result = fetchFactText(slot, text);
    if (fit.result != kOk) {
        return fit;
    }
    fit.points = parseCalibrationPoints(text, OV_MAX_CAL_POINTS);
    fit.result = fit.points.result;
    if (fit.result == kOk) {
        fit.result =
            numeric::polyFit(fit.points.pixels, fit.points.wavelengths, fit.coefficients, 3)
                ? kOk
                : kErrCcdType;
    }
    return fit;
}

void fillTable(const Fit &fit, double *table, int pixelCount) {
    for (int p = 1; p <= pixelCount; ++p) {
        table[p - 1] = numeric::polyCalc(std::span<const double>(fit.coefficients), 3, p);
    }
}

} // namespace

int readEepromToLibrary(int slot) {
    std::string text;
    const int result = readEepromStream(slot, text);
    if (result == kOk) {
        state().eepromText = std::move(text);
    }
    return result;
}

int readEepromToFile(int slot, const char *path) {
    std::string text;
    const int result = readEepromStream(slot, text);
    if (result != kOk) {
        return result;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path, "w"), &std::fclose);
    if (!file) {
        return kErrFile;
    }
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) {
        return kErrFile;
    }
    return kOk;
}

int writeEepromFromLibrary(int slot) {
    const std::vector<std::string> lines = linesOfLibraryText(state().eepromText);
    return writeLines(slot, lines);
}

int writeEepromFromFile(int slot, const char *path) {
    std::ifstream file(path);
    if (!file) {
        return kErrFile;
    }
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (line.ends_with('\r')) {
            line.pop_back(); // a text file written on Windows
        }
        // Blank lines are dropped, as from the library's text, so that a text
        // read back (which ends with an empty line) does not grow on each round.
        if (line.find_first_not_of(" \t\r\f\v") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return writeLines(slot, lines);
}

int deviceInfo(int slot, std::span<char> model, std::span<char> serial) {
    std::string text;
    std::string_view name;
    const int result = fetchFact(slot, "Name=", text, name);
    if (result != kOk) {
        return result;
    }
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos) {
        return kErrNoData;
    }
    copyCut(name.substr(0, dash), model);
    copyCut(name.substr(dash + 1), serial);
    return kOk;
}

int modelOf(int slot) {
    std::string text;
    std::string_view sensor;
    const int result = fetchFact(slot, "CCD=", text, sensor);
    return result == kOk ? ccdTypeOfSensorName(sensor) : result;
}

int hasShutter(int slot) {
    std::string text;
    std::string_view value;
    const int result = fetchFact(slot, "BuiltInShutter=", text, value);
    if (result != kOk) {
        return result;
    }
    if (value == "1" || value == "0") {
        return value == "1" ? 1 : 0;
    }
    return kErrRequest;
}

int wavelengthTable(int slot, double *table) {
    const Fit fit = fitCalibration(slot);
    if (fit.result != kOk) {
        return fit.result;
    }
    int ccdType = 0;
    {
        Slot &unit = state().slots[static_cast<std::size_t>(slot)];
        std::lock_guard guard(unit.lock);
        ccdType = unit.ccdType;
    }
    fillTable(fit, table, activePixelCountOf(ccdType));
    return kOk;
}

int wavelengthTableAdvanced(int slot, double *table, int pixelCount, int *pointCount,
                            double *pixels, double *wavelengths) {
    const Fit fit = fitCalibration(slot);
    if (fit.result != kOk) {
        return fit.result;
    }
    fillTable(fit, table, pixelCount);
    *pointCount = static_cast<int>(fit.points.pixels.size());
    std::copy(fit.points.pixels.begin(), fit.points.pixels.end(), pixels);
    std::copy(fit.points.wavelengths.begin(), fit.points.wavelengths.end(), wavelengths);
    return kOk;
}

} // namespace ov
