// The per-scan steps of the acquisition pipeline as plain functions over
// spans: frame corrections, optical-black level, statistics, playback
// stepping and the conversions to T/R % and absorbance on the pixel base and
// on the uniform wavelength grid. No state, no allocation.
#ifndef QUILLON_APP_DATACONTROL_SCAN_STEPS_H
#define QUILLON_APP_DATACONTROL_SCAN_STEPS_H

#include <cstdint>
#include <span>

namespace quillon::scan {

// InGaAs boards deliver inverted counts with an odd/even step: over the
// first n raw values, v -> 65535 - v + step, FirstStep at even indexes and
// SecondStep at odd ones; a raw 0 (saturated) gets no step.
void correctInGaAs(std::span<std::int32_t> raw, int n, int firstStep, int secondStep);

// Mirrors the n active pixels that start at raw index `first`.
void flipActivePixels(std::span<std::int32_t> raw, int first, int n);

// Counts of a converter with fewer than 16 bits: ceiling * v / 65535,
// rounded to the nearest integer. Nothing changes with a 16-bit ceiling.
void scaleAdc(std::span<std::int32_t> raw, std::int32_t ceiling);
void scaleAdc(std::span<float> values, std::int32_t ceiling);
float scaleAdc(float value, std::int32_t ceiling);

// Each listed raw index becomes the integer mean of its nearest unlisted
// neighbours among the active pixels [first, first + n); with one neighbour
// only, that neighbour's value. Listed pixels are never used as neighbours.
void repairBadPixels(std::span<std::int32_t> raw, std::span<const int> badPixels, int first, int n);

// Mean of `count` raw values from raw index obStart - 1; 0 without OB pixels.
double opticalBlackLevel(std::span<const std::int32_t> raw, int obStart, int obCount);

struct Statistics {
    double mean = 0.0;
    double variance = 0.0; // population variance
};
Statistics spectrumStatistics(std::span<const float> values);

// Mean absolute difference of neighbouring values: the noise of a dark scan.
double noiseEstimate(std::span<const float> values);

// The next 1-based playback index among `count` stored scans, wrapping at
// both ends; 0 when there is nothing to play.
int nextPlaybackIndex(int current, int count, bool backwards);

// -log10 of a T/R percentage, the transmission limited to (0, 1]: zero or
// negative transmission shows 8.
double absorbanceOfPercent(double percent);

enum class RatioQuantity { TransRefl, Absorbance };

struct RatioSettings {
    RatioQuantity quantity = RatioQuantity::TransRefl;
    float threshold = 0.0f; // reference - dark below this has no signal
    double scale = 100.0;   // RefMax, or RefWhite for the colour view
    double maxT = 110.0;
    double minT = -10.0;
    // Optical-black correction: OB levels of dark, current and reference.
    bool opticalBlack = false;
    double darkMinusCurrent = 0.0;
    double darkMinusReference = 0.0;
};

// Pixel base: result[i] from the sample spectrum, dark and reference (N
// values each). A sample below the dark pulls the stored dark to 2 counts
// below it.
void ratioOnPixelBase(std::span<const float> spectrum, std::span<float> dark,
                      std::span<const float> reference, std::span<float> result,
                      const RatioSettings &settings);

// Wavelength base: result[i] from the pixel gridIndex[i]; the value is
// clamped into [minT, maxT]. The dark is adjusted as on the pixel base.
void ratioOnGrid(std::span<const float> spectrum, std::span<float> dark,
                 std::span<const std::int32_t> gridIndex,
                 std::span<const float> gridReferenceMinusDark, std::span<float> result,
                 const RatioSettings &settings);

// Reference minus dark at each grid index, plus the OB difference.
void referenceMinusDarkOnGrid(std::span<const float> reference, std::span<const float> dark,
                              std::span<const std::int32_t> gridIndex, double obDifference,
                              std::span<float> result);

} // namespace quillon::scan

#endif
