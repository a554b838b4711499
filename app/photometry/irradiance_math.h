// The arithmetic and the file forms of the irradiance calibration as plain
// functions: the reference lamp's table, the unit calibration file, the
// blackbody curve, the photopic weighting and the per-scan conversions to
// relative and absolute irradiance. No state, no allocation per scan.
#ifndef QUILLON_APP_PHOTOMETRY_IRRADIANCE_MATH_H
#define QUILLON_APP_PHOTOMETRY_IRRADIANCE_MATH_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::irradiance {

inline constexpr const char *kLampFile = "OVlamp.txt";
inline constexpr const char *kStandardFile = "OVIrrad.cal";
inline constexpr std::size_t kSerialBytes = 24;
inline constexpr std::size_t kCalibrationHeaderBytes = kSerialBytes + 8;
// Ratio of a pixel that the calibration does not cover.
inline constexpr float kOutsideLamp = -1.0f;
// 683 lm/W with irradiance in uW/cm^2 (0.01 W/m^2).
inline constexpr float kLuxPerIrradiance = 6.83f;

// "OVlamp.txt": five header numbers and the table, one number a line.
struct LampFile {
    double referenceDistanceCm = 0.0;
    double value2 = 0.0;
    double startNm = 0.0;
    double endNm = 0.0;
    double stepNm = 0.0;
    int count = 0;      // trunc((end - start) / step) + 1
    int startWhole = 0; // trunc(start)
    std::vector<float> values;
};

// The lamp file from its text; the reason when it cannot be used (too few
// lines, a line that is not a number, a step that is not positive, fewer
// table values than the header promises). With `headerOnly` the table is
// neither read nor required.
std::optional<LampFile> parseLampFile(std::string_view text, bool headerOnly, std::string &why);

// The lamp's irradiance at `nm` scaled by the distance factor, by linear
// interpolation from the whole-nm start: before the table its first value,
// beyond the last full interval its last.
double lampIrradianceAt(const LampFile &lamp, double nm, double distanceFactor);

// The unit calibration file: serial (24 bytes), distance, integration
// time, one float ratio per pixel.
struct CalibrationFile {
    std::string serial;
    std::int32_t distanceCm = 25;
    std::int32_t integrationTime = 35;
    std::vector<float> ratios;
};
std::string encodeCalibration(const CalibrationFile &file);
// Refuses (with the reason) a file of another length than `pixels` need.
std::optional<CalibrationFile> decodeCalibration(std::string_view bytes, std::size_t pixels,
                                                 std::string &why);

// Area of the spherical cap of radius `distanceCm` (in m^2) seen under the
// full cone angle in degrees.
float areaFactor(float coneAngleDegrees, std::int32_t distanceCm);

// Planck's law with the program's constants, float wavelengths in m.
float blackbody(float wavelengthNm, float kelvin);
// One value per wavelength and the largest after them.
void blackbodyCurve(std::span<const float> wavelengthsNm, float kelvin, std::span<float> out);

// The photopic weight at `nm` from the 40 values of "OVPLE.mem" (380-770 nm
// at 10 nm) or the built-in 1 nm V_M table (380-780 nm); 0 outside.
float photopicFromFile(std::span<const float, 40> table, double nm);
float photopicBuiltIn(double nm);

// The sample against the reference under a blackbody shape, per pixel.
struct RelativeInputs {
    std::span<const float> spectrum;
    std::span<const float> dark;
    float threshold = 0.0f;
    // Optical-black differences, zero when the correction is off.
    float darkMinusCurrent = 0.0f;
    float darkMinusReference = 0.0f;
};
void relativeOnPixelBase(const RelativeInputs &in, std::span<const float> reference,
                         std::span<const float> curve, std::span<float> result);
// On the grid: `scale` is 1, or RefWhite for the colour view.
void relativeOnGrid(const RelativeInputs &in, std::span<const std::int32_t> gridIndex,
                    std::span<const float> gridReferenceMinusDark, std::span<const float> curve,
                    double scale, std::span<float> result);

// Absolute irradiance on the grid: counts above the dark times the pixel's
// ratio and the integration-time ratio. Pixels outside the calibration and
// negative values give 0.
void absoluteOnGrid(std::span<const float> spectrum, std::span<const float> dark,
                    std::span<const std::int32_t> gridIndex, std::span<const float> ratios,
                    float integrationRatio, std::span<float> result);
// Each value becomes illuminance per nm; their sum.
double toIlluminance(std::span<float> values, std::span<const float> photopic);
double sum(std::span<const float> values);

} // namespace quillon::irradiance

#endif
