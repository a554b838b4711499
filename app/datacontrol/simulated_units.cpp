#include "datacontrol/simulated_units.h"

#include "ovdbusbm.h"

#include "platform/environment.h"
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillon {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::optional<int> toInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "a, b, c" into its comma-separated fields.
std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const auto comma = text.find(',', pos);
        const auto end = comma == std::string_view::npos ? text.size() : comma;
        out.push_back(trimmed(text.substr(pos, end - pos)));
        if (comma == std::string_view::npos) {
            break;
        }
        pos = comma + 1;
    }
    return out;
}

} // namespace

std::optional<SimUnitLine> parseSimUnitLine(std::string_view line) {
    line = trimmed(line);
    if (!startsWith(line, "slot ")) {
        return std::nullopt;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    SimUnitLine unit;
    const auto slot = toInt(trimmed(line.substr(5, colon - 5)));
    if (!slot) {
        return std::nullopt;
    }
    unit.slot = *slot;
    const auto parts = fields(line.substr(colon + 1));
    if (parts.size() < 5) {
        return std::nullopt;
    }
    std::string_view sensor = parts[0];
    constexpr std::string_view kUnplugged = " (unplugged)";
    if (sensor.size() > kUnplugged.size() &&
        sensor.substr(sensor.size() - kUnplugged.size()) == kUnplugged) {
        unit.plugged = false;
        sensor.remove_suffix(kUnplugged.size());
    }
    unit.sensor = std::string(sensor);
    unit.realTime = parts[1] == "realtime";
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (startsWith(parts[i], "source ")) {
            std::string_view source = parts[i].substr(7);
            const auto level = source.find(" level ");
            if (level != std::string_view::npos) {
                unit.level = std::atof(std::string(source.substr(level + 7)).c_str());
                source = source.substr(0, level);
            }
            unit.source = std::string(source);
        } else if (startsWith(parts[i], "sample ")) {
            unit.sample = std::string(parts[i].substr(7));
        } else if (startsWith(parts[i], "channel ID ")) {
            unit.channelId = toInt(parts[i].substr(11)).value_or(0);
        }
    }
    return unit;
}

std::vector<SimUnitLine> parseSimUnitList(std::string_view reply) {
    std::vector<SimUnitLine> units;
    std::size_t pos = 0;
    while (pos < reply.size()) {
        const auto end = reply.find('\n', pos);
        const auto line = reply.substr(pos, end == std::string_view::npos ? reply.npos : end - pos);
        if (auto unit = parseSimUnitLine(line)) {
            units.push_back(std::move(*unit));
        }
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 1;
    }
    return units;
}

SimReply runSimCommand(const std::string &command) {
    std::array<char, 8192> reply{};
    SimReply out;
    out.result = ovSimCommand(command.c_str(), reply.data(), static_cast<int>(reply.size()));
    out.text = reply.data();
    return out;
}

bool simulatorPresent() {
    return runSimCommand("list").result == 1;
}

std::vector<int> pluggedSlotsFromSimList(std::string_view listReply) {
    std::vector<int> slots;
    for (const SimUnitLine &unit : parseSimUnitList(listReply)) {
        if (unit.plugged) {
            slots.push_back(unit.slot);
        }
    }
    return slots;
}

SimulateProblem UseSimulatedUnits(const std::string &bench) {
    platform::setEnvironment("OV_DRIVER", "sim");
    if (bench.empty()) {
        platform::clearEnvironment("OV_SIM_BENCH");
    } else {
        // The programs change folder after this; a relative bench path must
        // still name the file the user meant.
        std::error_code ec;
        const std::filesystem::path path = std::filesystem::absolute(bench, ec);
        if (ec || !std::filesystem::is_regular_file(path, ec)) {
            return {SimulateProblem::Kind::NoFile, "--simulate: no bench file '" + bench + "'"};
        }
        platform::setEnvironment("OV_SIM_BENCH", path.string());
    }
    // The library reads the bench on this first call; a bench with an error
    // leaves no units, and that must not pass for "no device connected".
    const SimReply status = runSimCommand("bench status");
    if (status.result != 1) {
        return {SimulateProblem::Kind::BadBench, status.text};
    }
    return {};
}

} // namespace quillon
