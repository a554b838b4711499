#include "sim/sensor.h"

#include "ovdbusbm.h"

#include <array>

namespace ov::sim {
namespace {

// Silicon arrays: 200-1100 nm, peak near 680 nm. InGaAs: from 900 nm to the
// cut-off of the kind (1.7, 2.2, 2.55, 2.1, 2.55 um), peaking close to it.
constexpr SensorInfo ilx511() {
    SensorInfo s;
    s.name = "ILX511";
    s.boardType = OV_CCD_ILX511;
    s.readoutLength = 2080;
    s.obFirst = 12;
    s.obCount = 18;
    s.firstActive = 32;
    s.activeCount = 2048;
    s.responseLowNm = 200;
    s.responseHighNm = 1100;
    s.responsePeakFraction = 0.53;
    s.bias = 2000;
    s.darkCurrent = 1.5;
    s.readNoise = 10;
    s.gain = 0.3;
    return s;
}

constexpr SensorInfo tcd1304() {
    SensorInfo s = ilx511();
    s.name = "TCD1304";
    s.boardType = OV_CCD_TCD1304;
    s.readoutLength = 3680;
    s.activeCount = 3648;
    s.bias = 1800;
    s.darkCurrent = 2.0;
    s.readNoise = 14;
    s.gain = 0.35;
    return s;
}

constexpr SensorInfo backThinned(std::string_view name, int boardType, bool cooled) {
    SensorInfo s = ilx511();
    s.name = name;
    s.boardType = boardType;
    s.readoutLength = boardType == OV_CCD_S7031 ? 1056 : 2080;
    s.obFirst = 2;
    s.obCount = 6;
    s.firstActive = 10;
    s.activeCount = boardType == OV_CCD_S7031 ? 1024 : 2048;
    s.cooled = cooled;
    s.bias = 1000;
    s.darkCurrent = cooled ? 0.05 : 0.2;
    s.readNoise = cooled ? 6 : 8;
    s.gain = 0.15;
    s.minIntegrationMs = boardType == OV_CCD_S7031 ? 7 : 6;
    return s;
}

constexpr SensorInfo ingaas(std::string_view name, int pixels, int kind, double cutOffNm) {
    SensorInfo s;
    s.name = name;
    s.boardType = pixels == 512 ? OV_CCD_INGAAS512 : OV_CCD_INGAAS256;
    s.ingaasKind = kind;
    s.readoutLength = pixels;
    s.obFirst = 0;
    s.obCount = 0;
    s.firstActive = 0;
    s.activeCount = pixels;
    s.inverted = true;
    s.reversed = pixels == 512;
    s.cooled = true;
    s.responseLowNm = 900;
    s.responseHighNm = cutOffNm;
    s.responsePeakFraction = 0.8;
    s.bias = 3000;
    s.darkCurrent = cutOffNm > 2000 ? 60.0 : 15.0;
    s.readNoise = 20;
    s.gain = 0.5;
    return s;
}

constexpr SensorInfo renamed(SensorInfo s, std::string_view name) {
    s.name = name;
    return s;
}

constexpr std::array kSensors = {
    ilx511(),
    renamed(ilx511(), "ILX554"),
    tcd1304(),
    backThinned("S7031", OV_CCD_S7031, true),
    backThinned("S10420", OV_CCD_S10420, false),
    ingaas("G9212", 512, 0, 1700),
    ingaas("G9204-512", 512, 0, 1700),
    ingaas("G9206-512", 512, 1, 2200),
    ingaas("G9208-512", 512, 2, 2550),
    ingaas("G9206-256", 256, 3, 2100),
    ingaas("G9208-256", 256, 4, 2550),
};

} // namespace

std::optional<SensorInfo> sensorByName(std::string_view name) {
    for (const SensorInfo &s : kSensors) {
        if (s.name == name) {
            return s;
        }
    }
    return std::nullopt;
}

} // namespace ov::sim
