// The fixed records of DataControl. They are plain values; their byte layout
// in data files is written field by field by the file code, never memcpy'd.
#ifndef QUILLON_APP_DATACONTROL_RECORDS_H
#define QUILLON_APP_DATACONTROL_RECORDS_H

#include "datacontrol/spectrum_math.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon {

struct SensorGeometry {
    std::uint16_t totalPixels = 0; // length of the raw frame
    std::uint16_t obStart = 0;     // optical-black pixels: obCount raw values from obStart - 1
    std::uint16_t obCount = 0;
    std::uint16_t firstActivePixel = 0; // raw index of active pixel 1
    std::uint16_t activePixels = 0;     // N
    std::uint16_t adcBits = 16;
    std::uint16_t boardType = 0;
    std::uint16_t inGaAsKind = 0;
    std::int16_t speedMode = 0;  // packet size from ovCheckSpeedMode, or its failure code
    std::int16_t newDevice = 0;  // ovGetDevIsNew: 1 for the newer electronics
    std::uint16_t fftLength = 0; // smallest power of two not below N
    std::array<float, 5> wavelengthOfPixel{}; // lambda(p) = sum c_k p^k
    std::array<float, 5> pixelOfWavelength{}; // p(lambda) = sum d_k lambda^k
    float spare = 0.0f;
};

struct IntegrationLimits {
    // ms, or 10 us steps for the TCD1304 sensor.
    std::int32_t current = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

struct ModelRecord {
    std::string name; // at most 63 characters in files
    std::int32_t boardType = 0;
    float scanValue = 0.0f; // optical-black level carried with dark/reference files
};

struct AcquisitionRecord {
    std::uint16_t calStartWavelength = 0; // whole nm, from the wavelength calibration
    std::uint16_t calEndWavelength = 0;
    std::uint16_t timeAverage = 1;
    std::uint16_t binningAverage = 0;
    std::uint16_t smoothingPercent = 0;
};

struct DisplayRecord {
    std::int32_t pixelStart = 1;
    std::int32_t pixelEnd = 0;
    std::int32_t countMin = 0;
    std::int32_t countMax = 0;
    float wavelengthStart = 0.0f;
    float wavelengthEnd = 0.0f;
    float wavelengthStep = 0.0f;
    float trMin = 0.0f;
    float trMax = 0.0f;
    float absMin = 0.0f;
    float absMax = 0.0f;
    float irrMin = 0.0f;
    float irrMax = 0.0f;
    float spare = 0.0f;
};

// TE cooler and feedback capacitor of BoardType 2, 3 and 5.
struct CoolerRecord {
    std::int32_t tec = 1;
    std::int32_t cap = 1;
    std::int32_t minIntegration = 0;
};

// Odd/even pixel steps of the cooled boards ("QX30" in the unit file).
struct OddEvenAdjustment {
    std::int32_t autoAdjStep = 0;
    std::int32_t firstStep = 0;
    std::int32_t secondStep = 0;
};

struct PeakSettings {
    double noiseRatio = 1.2;
    double noiseLine = 1.2;
    std::int32_t noiseCutoff = 2;
    std::int32_t noiseHighLow = 0;
};

struct TraceColors {
    std::uint32_t back = 0;
    std::uint32_t pixel = 0;
    std::uint32_t trans = 0;
    std::uint32_t absorb = 0;
    std::uint32_t irrad = 0;
};

struct PhotometricTotals {
    float areaFactor = 1.0f;
    float coneAngle = 180.0f;
    float totalPower = 0.0f;
    float totalIrradiance = 0.0f;
    float illuminance = 0.0f;
    float luminousFlux = 0.0f;
};

// User choices of the main settings file that have no record of their own.
struct UserSettings {
    std::int32_t colorTemp = 3000; // kelvin
    std::string title;
    std::string subTitle;
    std::int32_t calNo = 0;
    double refMax = 100.0;
    double refWhite = 98.5;
    std::uint32_t displayWord = 3; // InitOption
    std::uint32_t colorWord = 0;   // InitColor
    std::int32_t priority = 1;
    std::int32_t ovEdit = 0;
    std::int32_t tcdOnly = 0;
    std::uint32_t initPane = 0;
    // The pane bits the unit's own settings give, before the test for a
    // calibration file: bit 8 says the unit can measure irradiance at all.
    std::uint32_t unitPanes = 0;
    std::int32_t irradDist = 50;
    std::int32_t irradLux = 0;
    std::int32_t filterOn = 0;
    std::int32_t filterWin = 3;
    std::int32_t pixelFlip = 0;
    bool builtInShutter = false;
    bool cie1931 = true;
    std::string modelName; // shown in the window title
};

// Trigger and integration modes edited by the setup panel.
struct TriggerSettings {
    std::int32_t triggerMode = 0;
    std::int32_t frameChoice = 0;
    std::int32_t integrationMode = 0;
    std::int32_t externalEdge = 0;
};

// One connected unit.
struct ChannelInfo {
    std::filesystem::path unitFile;
    std::uint8_t onSerialIni = 0; // runs on Serial.ini (or the old single-board mode)
    std::uint16_t boardType = 0;
    std::uint16_t inGaAsKind = 0;
};

// The spectra of the current channel and the scratch space of the scan
// pipeline. Everything is sized when a channel is configured, so that a scan
// allocates nothing.
struct SpectrumBuffers {
    std::vector<std::int32_t> rawFrame;        // total pixels
    std::vector<float> spectrum;               // FFT length, zero beyond N before smoothing
    std::vector<float> dark;                   // N
    std::vector<float> reference;              // N
    std::vector<float> wavelengthTable;        // N
    std::vector<float> pixelResult;            // N: T/R, absorbance or irradiance on the pixel base
    std::vector<float> gridResult;             // G
    std::vector<std::int32_t> gridIndex;       // G
    std::vector<float> gridReferenceMinusDark; // G
    std::vector<float> gridPhotopic;           // G
    std::vector<float> blackbody;              // N + 1 or G + 1 (photometry)

    // Scratch of the pipeline.
    FftTwiddles twiddles = FftTwiddles(0); // FFT length
    std::vector<float> fftImag;            // FFT length
    std::vector<double> binningRing;       // largest binning half-window + 1
    std::vector<float> filterCopy;         // max(N, G)
    std::vector<float> filterWindow;       // low-pass filter window
    std::vector<double> frameSum;          // N, time-average accumulator
};

// Seven values measured with each scan.
struct ScanParameters {
    float darkOb = 0.0f;      // optical-black level of the dark scan
    float referenceOb = 0.0f; // optical-black level of the reference scan
    float currentOb = 0.0f;   // optical-black level of the last scan
    float darkMinusCurrent = 0.0f;
    float darkMinusReference = 0.0f;
    float mean = 0.0f;     // spectrum statistics
    float variance = 0.0f; // population variance
};

// What a dark scan leaves besides the spectrum; peak finding reads the noise.
struct DarkCondition {
    float noiseEstimate = 0.0f; // mean |s[i-1] - s[i]| of the dark scan
    std::array<float, 4> spare{};
};

// The view settings a temporary mode (calibration display) puts back.
struct ViewSettingsBackup {
    AcquisitionRecord acquisition;
    DisplayRecord display;
    std::uint16_t statusWord = 0;
};

// What the dark/reference swap exchanges with the current configuration.
struct SavedConfiguration {
    SensorGeometry geometry;
    AcquisitionRecord acquisition;
    DisplayRecord display;
    ModelRecord model;
    IntegrationLimits limits;
    std::uint16_t statusWord = 0;
};

} // namespace quillon

#endif
