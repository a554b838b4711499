// The optics of a virtual unit: light sources, samples in the beam and the
// detector's response, all as plain functions of wavelength in nm.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_OPTICS_H
#define QUILLON_DEVICELIB_DRIVER_SIM_OPTICS_H

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sensor.h"

namespace ov::sim {

enum class SourceKind { Dark, Halogen, HgAr, WhiteLed, Daylight, CalibratedLamp };

// Every source shines from `distanceCm`; its light falls off with the
// square of the distance from the 50 cm at which its level is given.
inline constexpr double kReferenceDistanceCm = 50.0;

struct SourceSettings {
    SourceKind kind = SourceKind::Halogen;
    double temperatureK = 2856.0; // halogen
    double level = 1.0;           // brightness factor
    double distanceCm = kReferenceDistanceCm;
};

// The calibrated lamp: a tungsten-halogen standard of irradiance whose
// spectral irradiance is a Planck curve of its temperature, stated at the
// reference distance at 555 nm, following the inverse-square law.
struct CalibratedLamp {
    static constexpr double kTemperatureK = 3100.0;
    static constexpr double kIrradianceAt555 = 1.5; // uW/cm^2/nm at 50 cm
    // The lamp table shipped for it ("OVlamp.txt").
    static constexpr double kTableStartNm = 300.0;
    static constexpr double kTableEndNm = 1100.0;
    static constexpr double kTableStepNm = 1.0;
};
// The lamp's true spectral irradiance in uW/cm^2/nm at `distanceCm`.
double calibratedLampIrradiance(double wavelengthNm, double distanceCm);
// "OVlamp.txt" for the lamp: reference distance, its temperature, start,
// end and step, then one value a line.
std::string calibratedLampTable();

enum class SampleKind { None, NeutralDensity, Glass, ColourFilter, Tile };

struct SampleSettings {
    SampleKind kind = SampleKind::None;
    double percent = 100.0;  // neutral density transmission, tile reflectance
    double centreNm = 550.0; // coloured filter pass band
    double widthNm = 80.0;
};

struct EmissionLine {
    double wavelengthNm = 0.0;
    double relativeIntensity = 0.0; // 0..1, strongest line 1
};

// Tables read once from the embedded data files.
const std::vector<EmissionLine> &hgArLines();
double d65(double wavelengthNm); // relative SPD, 100 at 560 nm; 0 outside 300-830 nm

// Spectral radiance of the source in relative units (about 1 at its strongest).
double sourceRadiance(const SourceSettings &source, double wavelengthNm, double fwhmNm);
// Transmission (or reflectance) of the sample, 0..1.
double sampleTransmission(const SampleSettings &sample, double wavelengthNm);
// Relative response of the detector, 0..1 (1 at its peak).
double detectorResponse(const SensorInfo &sensor, double wavelengthNm);

// Text forms used by the bench file and the command language, e.g.
// "halogen 3100", "lamp", "hgar", "nd 25", "filter 550 80". Empty error on success.
std::string parseSource(std::string_view text, SourceSettings &out);
std::string parseSample(std::string_view text, SampleSettings &out);
std::string describeSource(const SourceSettings &source);
std::string describeSample(const SampleSettings &sample);

// Pixel-to-wavelength cubic: wavelength(p) = c0 + c1 p + c2 p^2 + c3 p^3, p from 1.
using Cubic = std::array<double, 4>;
double evaluateCubic(const Cubic &c, double pixel);
// Least-squares cubic (or lower order for fewer points) through (pixel, nm) points.
Cubic fitCubic(std::span<const double> pixels, std::span<const double> wavelengths);

} // namespace ov::sim

#endif
