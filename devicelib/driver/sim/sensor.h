// The sensors behind the virtual units: raw frame layout and electrical
// character per sensor, as the program's geometry table expects them.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_SENSOR_H
#define QUILLON_DEVICELIB_DRIVER_SIM_SENSOR_H

#include <optional>
#include <string_view>

namespace ov::sim {

struct SensorInfo {
    std::string_view name; // the EEPROM's CCD= value
    int boardType = 0;     // OV_CCD_* of ovdbusbm.h
    int ingaasKind = -1;   // 0..4 for InGaAs arrays, else -1
    int readoutLength = 0; // samples per frame
    int obFirst = 0;       // raw index of the first optical-black sample
    int obCount = 0;
    int firstActive = 0; // raw index of active pixel 1
    int activeCount = 0;
    bool inverted = false; // InGaAs: the unit sends 65535 - v
    bool reversed = false; // the 512-pixel InGaAs board reads its pixels out last to first
    bool cooled = false;   // has a TE cooler (dark current follows the TEC command)
    double responseLowNm = 0.0;
    double responseHighNm = 0.0;
    double responsePeakFraction = 0.5; // where the response peaks between low and high
    // Electrical defaults: counts, counts per ms, counts per electron.
    double bias = 0.0;
    double darkCurrent = 0.0;
    double readNoise = 0.0;
    double gain = 0.0;
    int minIntegrationMs = 1;
};

// The sensor of a CCD= name (exact, as the library compares it); nullopt when unknown.
std::optional<SensorInfo> sensorByName(std::string_view name);

} // namespace ov::sim

#endif
