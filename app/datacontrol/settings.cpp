#include "datacontrol/settings.h"

#include <string_view>

namespace quillon {

std::string files::safeFileStem(std::string serial) {
    for (char &c : serial) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F ||
            std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    if (!serial.empty() && serial.front() == '.') {
        serial.front() = '_';
    }
    return serial;
}

std::string files::tempIniName(int port) {
    return "TempIni_" + std::to_string(port) + ".ini";
}

std::string files::irradianceCalibrationName(int channelId) {
    return "OVIrrad_" + std::to_string(channelId) + ".cal";
}

std::string sections::customCalibration(int number) {
    return "Cal " + std::to_string(number);
}

std::int32_t readInt(ProfileFile &file, std::string_view section, std::string_view key,
                     std::int32_t fallback) {
    const std::int32_t value = file.GetInt(section, key);
    return value != 0 ? value : fallback;
}

std::uint32_t readLong(ProfileFile &file, std::string_view section, std::string_view key,
                       std::uint32_t fallback) {
    const std::uint32_t value = file.GetLong(section, key);
    return value != 0 ? value : fallback;
}

double readReal(ProfileFile &file, std::string_view section, std::string_view key,
                double fallback) {
    const double value = file.GetReal(section, key);
    return value != 0.0 ? value : fallback;
}

std::string readText(ProfileFile &file, std::string_view section, std::string_view key,
                     std::string_view fallback) {
    std::string value = file.GetText(section, key);
    return value.empty() ? std::string(fallback) : value;
}

int adjustCalNo(int stored, bool oldBoard, bool onSerialIni) {
    if (stored != 0) {
        return stored;
    }
    if (oldBoard) {
        return 1;
    }
    return onSerialIni ? -1 : 0;
}

void applyInitSet(std::uint32_t initSet, DisplayFlags &flags) {
    constexpr std::uint16_t kTaken =
        option_bits::kXUnitMask | option_bits::kWavelengthBase | option_bits::kRelativeIrradiance;
    if (initSet == 0) {
        flags.option.clear(option_bits::kWavelengthBase);
    } else {
        const auto stored = static_cast<std::uint16_t>(initSet >> 16);
        flags.option.clear(kTaken);
        flags.option.set(stored & kTaken);
        // Results on the wavelength grid are only shown against wavelength.
        if (stored & option_bits::kWavelengthBase) {
            flags.setXUnit(XUnit::Wavelength);
        }
    }
    flags.option.clear(option_bits::kSubtractDarkInScope | option_bits::kExternalTrigger);
}

} // namespace quillon
