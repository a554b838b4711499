#include "datacontrol/sensors.h"

#include "datacontrol/profile_file.h"

#include <cctype>

namespace quillon {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

SensorSpec ilxSpec() {
    SensorSpec spec{kBoardIlx511, 0, 1, 65535};
    spec.ilxType = true;
    spec.newDeviceTriggerMode = 1;
    spec.newDeviceIntegrationMode = 0;
    return spec;
}

SensorSpec tcdSpec() {
    SensorSpec spec{kBoardTcd1304, 0, 1, 6553500};
    spec.tcd1304 = true;
    return spec;
}

SensorSpec backThinnedSpec(std::uint16_t boardType, std::int32_t minimum) {
    SensorSpec spec{boardType, 0, minimum, 65535};
    spec.newDeviceTriggerMode = 0;
    spec.newDeviceFrameChoice = 1;
    spec.newDeviceIntegrationMode = 2;
    return spec;
}

// InGaAs kinds 0..4 differ in their longest integration time.
constexpr std::array<std::int32_t, 5> kInGaAsMaximum{120000, 1000, 500, 2000, 60};

SensorSpec inGaAsSpec(std::uint16_t kind) {
    const std::uint16_t boardType = kind >= 3 ? kBoardInGaAs256 : kBoardInGaAs512;
    return SensorSpec{boardType, kind, 1, kInGaAsMaximum[kind]};
}

struct NamedSensor {
    const char *name;
    SensorSpec (*make)();
};

const NamedSensor kNamedSensors[] = {
    {"ILX511", ilxSpec},
    {"ILX554", ilxSpec},
    {"TCD1304", tcdSpec},
    {"S7031", [] { return backThinnedSpec(kBoardS7031, 7); }},
    {"S10420", [] { return backThinnedSpec(kBoardS10420, 6); }},
    {"G9204-512", [] { return inGaAsSpec(0); }},
    {"G9212", [] { return inGaAsSpec(0); }},
    {"G9206-512", [] { return inGaAsSpec(1); }},
    {"G9208-512", [] { return inGaAsSpec(2); }},
    {"G9206-256", [] { return inGaAsSpec(3); }},
    {"G9208-256", [] { return inGaAsSpec(4); }},
};

constexpr std::array<GeometryRow, 6> kGeometry{{
    {2080, 13, 18, 32, 2048, 2048},
    {3680, 13, 18, 32, 3648, 4096},
    {1056, 3, 6, 10, 1024, 1024},
    {512, 1, 0, 0, 512, 512},
    {2080, 3, 6, 10, 2048, 2048},
    {256, 1, 0, 0, 256, 256},
}};

constexpr std::array<const char *, 6> kModelStrings{
    "Quillon ILX511",    "Quillon TCD1304", "Quillon PDA",
    "Quillon InGaAs512", "Quillon S10420",  "Quillon InGaAs256",
};

bool isBadPixelSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';';
}

} // namespace

std::optional<std::string> ccdNameFor(std::uint16_t boardType, std::uint16_t inGaAsKind) {
    switch (boardType) {
    case kBoardIlx511:
        return "ILX511";
    case kBoardTcd1304:
        return "TCD1304";
    case kBoardS7031:
        return "S7031";
    case kBoardS10420:
        return "S10420";
    case kBoardInGaAs512:
        if (inGaAsKind <= 2) {
            return std::array{"G9204-512", "G9206-512", "G9208-512"}[inGaAsKind];
        }
        return std::nullopt;
    case kBoardInGaAs256:
        if (inGaAsKind == 3 || inGaAsKind == 4) {
            return inGaAsKind == 3 ? "G9206-256" : "G9208-256";
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<SensorSpec> sensorFromCcdName(std::string_view name) {
    for (const auto &sensor : kNamedSensors) {
        if (equalsNoCase(name, sensor.name)) {
            return sensor.make();
        }
    }
    return std::nullopt;
}

std::optional<SensorSpec> sensorFromBoardType(std::uint16_t boardType, std::uint16_t inGaAsKind) {
    switch (boardType) {
    case kBoardIlx511:
        return ilxSpec();
    case kBoardTcd1304:
        return tcdSpec();
    case kBoardS7031:
        return backThinnedSpec(kBoardS7031, 7);
    case kBoardS10420:
        return backThinnedSpec(kBoardS10420, 6);
    case kBoardInGaAs512:
    case kBoardInGaAs256: {
        if (inGaAsKind >= kInGaAsMaximum.size()) {
            return std::nullopt;
        }
        SensorSpec spec = inGaAsSpec(inGaAsKind);
        spec.boardType = boardType;
        return spec;
    }
    default:
        return std::nullopt;
    }
}

bool hasCoolerRecord(std::uint16_t boardType) {
    return boardType == kBoardS7031 || boardType == kBoardInGaAs512 || boardType == kBoardInGaAs256;
}

std::optional<GeometryRow> geometryFor(std::uint16_t boardType) {
    if (boardType >= kGeometry.size()) {
        return std::nullopt;
    }
    return kGeometry[boardType];
}

const char *modelStringFor(std::uint16_t boardType) {
    return boardType < kModelStrings.size() ? kModelStrings[boardType] : "Quillon 2422";
}

std::vector<int> parseBadPixels(std::string_view text, std::uint16_t boardType) {
    std::vector<int> indexes;
    const auto geometry = geometryFor(boardType);
    if (!geometry) {
        return indexes;
    }
    // Raw index of active pixel 1, minus one.
    const int offset = static_cast<int>(geometry->firstActivePixel) - 1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBadPixelSeparator(text[pos])) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < text.size() && !isBadPixelSeparator(text[pos])) {
            ++pos;
        }
        if (pos == start) {
            continue;
        }
        const std::int64_t pixel = parseLeadingInteger(text.substr(start, pos - start));
        if (pixel >= 1 && pixel <= geometry->activePixels) {
            indexes.push_back(static_cast<int>(pixel) + offset);
        }
    }
    return indexes;
}

std::vector<std::string> sensorChoiceTexts() {
    std::vector<std::string> texts;
    for (const auto &choice : kSensorChoices) {
        texts.emplace_back(choice.text);
    }
    return texts;
}

} // namespace quillon
