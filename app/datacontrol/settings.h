// Names and defaults of the settings files, and the one rule by which every
// numeric setting is read: a stored 0, an empty value or a missing key gives
// the default.
#ifndef QUILLON_APP_DATACONTROL_SETTINGS_H
#define QUILLON_APP_DATACONTROL_SETTINGS_H

#include "datacontrol/display_flags.h"
#include "datacontrol/profile_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

namespace files {
inline constexpr const char *kMultiChannelSettings = "QuillonX.ini";
inline constexpr const char *kSingleBoardSettings = "Quillon.ini";
inline constexpr const char *kDataFolder = "Data";
inline constexpr const char *kIniFolder = "Ini";
// Beside "Ini": the unit texts as they were before each EEPROM write.
inline constexpr const char *kBackupFolder = "Backup";
inline constexpr const char *kSerialIni = "Serial.ini";
inline constexpr const char *kUnitFileExtension = ".ini";
inline constexpr const char *kIrradianceStandard = "OVIrrad.cal";
// A serial or set name as a file name in the Ini folder: characters that
// would leave that folder or are not allowed in file names are replaced.
std::string safeFileStem(std::string name);
// Copies of Serial.ini, one per USB port: "TempIni_%d.ini".
std::string tempIniName(int port);
// Irradiance calibration of one channel ID: "OVIrrad_%d.cal".
std::string irradianceCalibrationName(int channelId);
} // namespace files

namespace sections {
inline constexpr const char *kExtendOptions = "Extend Options";
inline constexpr const char *kFactoryDefault = "Factory Default";
inline constexpr const char *kCalData = "Cal Data";
inline constexpr const char *kQx30 = "QX30";
// Each unit's own integration time by serial number, in the unit of its
// sensor, so that units of both sensor families come back as they were.
inline constexpr const char *kUnitIntegrationTimes = "Unit Integration Times";
// "Cal %d"
std::string customCalibration(int number);
} // namespace sections

// Defaults of the main settings file ("Extend Options").
namespace defaults {
inline constexpr int kTimeAV = 1;
inline constexpr int kBinningAV = 0;
inline constexpr int kFFT = 0;
inline constexpr int kColorTemp = 3000;
inline constexpr const char *kTitle = "Project Name";
inline constexpr const char *kSubTitle = "Sample Name";
inline constexpr double kStartWL = 100000000.0;
inline constexpr double kEndWL = 0.0;
inline constexpr double kIntervalWL = 1.0;
inline constexpr double kMaxT = 110.0;
inline constexpr double kMinT = -10.0;
inline constexpr double kMaxA = 3.0;
inline constexpr double kMinA = -1.0;
inline constexpr double kMaxI = 3.0;
inline constexpr double kMinI = 0.0;
inline constexpr double kNoiseRatio = 1.2;
inline constexpr double kNoiseLine = 1.2;
inline constexpr int kNoiseCutoff = 2;
inline constexpr int kNoiseHighLow = 0;
inline constexpr double kRefMax = 100.0;
inline constexpr double kRefWhite = 98.5;
inline constexpr std::uint32_t kInitOption = 3;         // both grids
inline constexpr std::uint32_t kInitColor = 2 | 1 << 5; // two 5-bit fields: 2 and 1
inline constexpr int kPriority = 1;
inline constexpr int kConvBit = 16;
inline constexpr int kIrradDist = 50;
inline constexpr int kTEC = 1;
inline constexpr int kCAP = 1;
inline constexpr int kFilterWin = 3;
inline constexpr int kBaseCIE = 1931;
} // namespace defaults

// Colours are stored as R + 256 G + 65536 B.
constexpr std::uint32_t colorValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
           static_cast<std::uint32_t>(blue) << 16;
}
constexpr std::uint8_t colorRed(std::uint32_t color) {
    return color & 0xFF;
}
constexpr std::uint8_t colorGreen(std::uint32_t color) {
    return (color >> 8) & 0xFF;
}
constexpr std::uint8_t colorBlue(std::uint32_t color) {
    return (color >> 16) & 0xFF;
}

namespace defaults {
inline constexpr std::uint32_t kBackColor = colorValue(255, 255, 255);
inline constexpr std::uint32_t kPixelColor = colorValue(255, 60, 60);
inline constexpr std::uint32_t kTransColor = colorValue(16, 32, 255);
inline constexpr std::uint32_t kAbsorbColor = colorValue(100, 100, 0);
inline constexpr std::uint32_t kIrradColor = colorValue(0, 255, 0);
} // namespace defaults

// Readers with the zero-means-default rule.
std::int32_t readInt(ProfileFile &file, std::string_view section, std::string_view key,
                     std::int32_t fallback);
std::uint32_t readLong(ProfileFile &file, std::string_view section, std::string_view key,
                       std::uint32_t fallback);
double readReal(ProfileFile &file, std::string_view section, std::string_view key, double fallback);
std::string readText(ProfileFile &file, std::string_view section, std::string_view key,
                     std::string_view fallback);

// CalNo after reading: 0 stays 0, except that the old single-board mode
// makes it 1 and a channel running on Serial.ini makes it -1.
int adjustCalNo(int stored, bool oldBoard, bool onSerialIni);

// Applies a stored InitSet to the flags: only the X unit, wavelength-base
// and relative-irradiance bits of the option word are taken.
void applyInitSet(std::uint32_t initSet, DisplayFlags &flags);

} // namespace quillon

#endif
