// The wavelength axis of the current channel: the calibration points and
// their two fitted polynomials, the per-pixel wavelength table and the
// uniform grid of the wavelength-base display.
#ifndef QUILLON_APP_DATACONTROL_WAVELENGTH_AXIS_H
#define QUILLON_APP_DATACONTROL_WAVELENGTH_AXIS_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "platform/prompter.h"

namespace quillon {

class Irradiance;

class WavelengthAxis {
public:
    // The irradiance follows every new grid with its photometric tables.
    WavelengthAxis(ChannelState &state, Prompter &userPrompter, Irradiance &photometry)
        : s(state), prompter(userPrompter), irradiance(photometry) {}

    [[nodiscard]] OpResult ReadCalData();
    // Without a unit: the stored calibration if there is one, else the pixel axis.
    void ReadCalDataOrPixelAxis();
    // Pixel numbers for wavelengths: a unit whose calibration cannot be read
    // still shows its spectrum (and can be given a new calibration).
    void UsePixelAxis();
    void ResetGrid();
    [[nodiscard]] OpResult AllocateGridBuffers();
    void ComputeWavelengthTables();
    [[nodiscard]] OpResult RebuildWavelengthGrid();
    void RefreshReferenceMinusDark();

private:
    OpResult readCalibration(bool reportFailures);
    bool customSetExists() const;
    void usePixelAxisCalibration();

    ChannelState &s;
    Prompter &prompter;
    Irradiance &irradiance;
};

} // namespace quillon

#endif
