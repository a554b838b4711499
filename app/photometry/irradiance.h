// Irradiance: the spectroradiometer of the program. It keeps the
// calibration of the current unit against a reference lamp of known
// spectral irradiance (ratios of irradiance per count, the distances and
// the integration time of the calibration), the blackbody curve of the
// relative form and the photopic weighting, and turns each scan of the
// irradiance mode into relative irradiance, absolute irradiance in
// uW/cm^2/nm or illuminance in lux/nm with the photometric totals and the
// colour temperature.
//
// Files, all in the program folder: the lamp table "OVlamp.txt", the unit's
// calibration "OVIrrad_<channel ID>.cal" with its report ".txt", and the
// standard calibration "OVIrrad.cal" for a unit without one of its own.
//
// Rules beyond the plain arithmetic:
// - Absolute irradiance and illuminance are quantities per nanometre on the
//   uniform wavelength grid, and the totals are sums over it: the absolute
//   form always shows on the wavelength base (entering it selects that
//   base); the pixel base shows the relative form.
// - A calibration scan is refused when part of it reaches the converter's
//   ceiling (the ratios would be too low there, silently), and when most
//   pixels of the lamp range have no counts above the dark. Pixels with no
//   counts above the dark are left out (ratio -1, as outside the lamp) and
//   counted. Nothing is written unless the whole calibration is good, so a
//   failed attempt keeps the previous file.
// - A calibration file of another length, a damaged one or one of another
//   unit's serial number is refused and the calibration in use stays.
//   "OVIrrad.cal" is a shared standard: its serial is not checked, and its
//   copy under a unit's name carries that unit's serial.
#ifndef QUILLON_APP_PHOTOMETRY_IRRADIANCE_H
#define QUILLON_APP_PHOTOMETRY_IRRADIANCE_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "photometry/irradiance_math.h"
#include "platform/prompter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

class ColorCalc;

// The farthest lamp distance a calibration takes, in cm.
inline constexpr int kLargestLampDistanceCm = 9999;

namespace irradiance_messages {
inline constexpr const char *kNoLampFile =
    "Failed to open the lamp calibration file named OVLAMP.TXT";
inline constexpr const char *kLampMismatch =
    "The lamp calibration file does not match with the unit setting";
inline constexpr const char *kNoSetupFile =
    "Failed to open the initial setup file in MakeIrradFile() in Irradiance class...";
inline constexpr const char *kNoStandardFile =
    "Even there is no standard irradiance calibration file named [OVIrrad.cal], either.";
inline constexpr const char *kNoProperFile = "Error! There is no proper irradiance calibration "
                                             "data file. Please contact OV for the technical "
                                             "support.";
inline constexpr const char *kNoPhotopicFile = "Can not open the OVPLE.mem file!";
std::string noUnitFile(const std::string &name);
} // namespace irradiance_messages

// The calibration in use: what the calibration file and the lamp give.
struct IrradianceCalibration {
    float lampStart = 0.0f; // nm, raised to the unit's first pixel
    float lampEnd = 0.0f;   // nm, lowered to its last pixel
    float lampStep = 0.0f;
    int firstPixel = 0;
    int lastPixel = -1;
    std::int32_t measuringDistance = 25;      // cm
    std::int32_t calibrationDistance = 25;    // cm
    std::int32_t calibrationIntegration = 35; // the unit's integration-time value
    float lampValue2 = 0.0f;
    float colourTemperature = 0.0f;
    std::vector<float> ratios; // per pixel; -1 outside the calibration
    int lampCount = 0;
    int lampStartWhole = 0;
    float integrationRatio = 1.0f; // calibration time / current time
};

class Irradiance {
public:
    Irradiance(ChannelState &state, Prompter &userPrompter);
    ~Irradiance();
    Irradiance(const Irradiance &) = delete;
    Irradiance &operator=(const Irradiance &) = delete;

    // NotDone when the unit has no irradiance pane; the relative form builds
    // its curve, the absolute one loads the calibration (unless it is for a
    // new calibration).
    [[nodiscard]] OpResult EnterIrradianceMode(bool forCalibration);
    void LeaveIrradianceMode();
    void MakeBlackbodyCurve(bool release);
    // Done, or NotDone when "OVPLE.mem" is needed and cannot be read (told).
    OpResult MakePhotopicTable();
    // After a new grid: the photopic weights and a relative form's curve.
    void FollowGrid();

    [[nodiscard]] OpResult LoadLampFile();
    // The current scan against the lamp, at the calibration distance set
    // before. `calibrationPoints`: the "Data n" values of the unit's
    // wavelength calibration for the report, none when they cannot be read.
    [[nodiscard]] OpResult
    MakeIrradFile(const std::optional<std::vector<std::string>> &calibrationPoints);
    [[nodiscard]] OpResult LoadIrradFile();
    void UpdateGeometry();
    float ComputeColorTemp();

    // The irradiance branch of a scan, after the dark correction.
    void ConvertScan(bool colourScaling);

    // The calibration in use, or null outside the absolute form.
    const IrradianceCalibration *Calibration() const { return calibration.get(); }
    void SetCalibrationDistance(std::int32_t cm);
    void SetMeasuringDistance(std::int32_t cm);
    // Pixels of the lamp range the last calibration left out (no counts).
    int LeftOutPixels() const { return leftOut; }
    // The colour temperature of the last absolute scan, 0 before one.
    float ColourTemperature() const { return calibration ? calibration->colourTemperature : 0.0f; }

    std::filesystem::path UnitFile() const;
    std::filesystem::path ReportFile() const;
    std::filesystem::path StandardFile() const;
    std::string UnitSerial() const;

private:
    bool absoluteForm() const;
    bool paneEnabled() const { return (s.settings.initPane & 8u) != 0; }
    void createCalibration();
    OpResult readCalibration(const std::filesystem::path &file, bool checkSerial);
    OpResult checkCalibrationScan(int first, int last);
    std::string reportText(const irradiance::LampFile &lamp, double factor,
                           const std::vector<std::string> &points) const;
    void prepareColourEngine();

    ChannelState &s;
    Prompter &prompter;
    std::unique_ptr<IrradianceCalibration> calibration;
    std::unique_ptr<ColorCalc> colourEngine;
    int leftOut = 0;
};

} // namespace quillon

#endif
