// The sensors the units are built around: integration-time limits by sensor
// name, pixel geometry by BoardType, bad-pixel lists, and the choices of the
// sensor dialog offered for a unit whose EEPROM is empty.
#ifndef QUILLON_APP_DATACONTROL_SENSORS_H
#define QUILLON_APP_DATACONTROL_SENSORS_H

#include "ovdbusbm.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// BoardType is the library's CCD type (OV_CCD_* of ovdbusbm.h).
inline constexpr std::uint16_t kBoardIlx511 = OV_CCD_ILX511;
inline constexpr std::uint16_t kBoardTcd1304 = OV_CCD_TCD1304;
inline constexpr std::uint16_t kBoardS7031 = OV_CCD_S7031;
inline constexpr std::uint16_t kBoardInGaAs512 = OV_CCD_INGAAS512;
inline constexpr std::uint16_t kBoardS10420 = OV_CCD_S10420;
inline constexpr std::uint16_t kBoardInGaAs256 = OV_CCD_INGAAS256;

struct SensorSpec {
    std::uint16_t boardType = 0;
    std::uint16_t inGaAsKind = 0;
    std::int32_t minIntegration = 1;
    std::int32_t maxIntegration = 65535;
    bool ilxType = false; // ILX511 / ILX554
    bool tcd1304 = false;
    // Start values for the newer electronics; -1 leaves the current value.
    int newDeviceTriggerMode = -1;
    int newDeviceFrameChoice = -1;
    int newDeviceIntegrationMode = -1;
};

// From the unit file's CCD name, compared without regard to case.
std::optional<SensorSpec> sensorFromCcdName(std::string_view name);
// The CCD name a unit text gives this sensor ("CCD=" line); none for a
// BoardType and InGaAs kind that do not go together.
std::optional<std::string> ccdNameFor(std::uint16_t boardType, std::uint16_t inGaAsKind);
// For a unit running on Serial.ini: from the BoardType chosen by the user;
// nothing for a BoardType outside 0..5.
std::optional<SensorSpec> sensorFromBoardType(std::uint16_t boardType, std::uint16_t inGaAsKind);

// TE cooler, feedback capacitor and odd/even steps exist on these boards only.
bool hasCoolerRecord(std::uint16_t boardType);

struct GeometryRow {
    std::uint16_t totalPixels;
    std::uint16_t obStart;
    std::uint16_t obCount;
    std::uint16_t firstActivePixel;
    std::uint16_t activePixels;
    std::uint16_t fftLength;
};

std::optional<GeometryRow> geometryFor(std::uint16_t boardType);
// The model string of the scan-data header.
const char *modelStringFor(std::uint16_t boardType);

// Pixel numbers (from 1) separated by blanks, commas or semicolons, turned
// into raw frame indexes. Numbers outside 1..active pixels are dropped: they
// would index outside the frame.
std::vector<int> parseBadPixels(std::string_view text, std::uint16_t boardType);

struct SensorChoice {
    const char *text;
    std::uint16_t boardType;
    std::uint16_t inGaAsKind;
};

inline constexpr const char *kSensorDialogTitle = "CCD TYPE SETTING";
inline constexpr std::array<SensorChoice, 10> kSensorChoices{{
    {"QX10 : Sony ILX Series", 0, 0},
    {"QX20 : Toshiba TCD Series", 1, 0},
    {"QX30 : Hamamatsu Backthinned CCD TE-Cooled", 2, 0},
    {"QX40 : Hamamatsu Backthinned CCD Non TE-Cooled", 4, 0},
    {"QX50-512 : Hamamatsu InGaAs Array TE-Cooled", 3, 0},
    {"QX15 : Sony ILX Series Low Noise", 0, 0},
    {"QX50-256-2.1 : Hamamatsu InGaAs Array TE-Cooled", 5, 3},
    {"QX50-512-2.2 : Hamamatsu InGaAs Array TE-Cooled", 3, 1},
    {"QX50-512-2.5 : Hamamatsu InGaAs Array TE-Cooled", 3, 2},
    {"QX50-256-2.5 : Hamamatsu InGaAs Array TE-Cooled", 5, 4},
}};

std::vector<std::string> sensorChoiceTexts();

} // namespace quillon

#endif
