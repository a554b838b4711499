// The export forms of a spectrum as the graph shows it: the tab-separated
// text table, CSV, JCAMP-DX, the SPC file and the Windows bitmap file. Each
// builds the whole file (or clipboard text) in memory; writing it is the
// caller's. No Qt.
#ifndef QUILLON_APP_DATAFILES_EXPORTS_H
#define QUILLON_APP_DATAFILES_EXPORTS_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::exports {

// What the y values are, from the display mode and, in irradiance display,
// the irradiance kind.
enum class Quantity {
    Counts,             // scope, dark and reference scans (modes 0-2)
    TransRefl,          // mode 3, %
    Absorbance,         // mode 4, AU
    RelativeIrradiance, // mode 5, blackbody reference, %
    Illuminance,        // mode 5, lux
    AbsolutePower,      // mode 5, mW/nm
    AbsoluteIrradiance, // mode 5, uW/cm^2/nm
};

// The x unit of the graph; unit 3 of the option word is shown as wavelength.
enum class AxisUnit { Pixel, Wavelength, Wavenumber };

// The part of the spectrum in the graph's view.
struct ExportAxis {
    bool calibratedAxis = false; // values lie on the uniform wavelength grid
    AxisUnit unit = AxisUnit::Pixel;
    Quantity quantity = Quantity::Counts;

    // Calibrated axis: grid point i lies at gridStart + i * gridStep nm; the
    // view holds the points firstIndex .. firstIndex + pointCount - 1.
    double gridStart = 0.0;
    double gridStep = 1.0;
    int firstIndex = 0;
    int pointCount = 0;

    // The view's x range (nm on the calibrated axis, pixel numbers on
    // pixel-held data) and its wavenumber range (10^7 / x end .. 10^7 / x start).
    double viewXStart = 0.0;
    double viewXEnd = 0.0;
    double viewWavenumberStart = 0.0;
    double viewWavenumberEnd = 0.0;

    // Pixel-held data: the view's whole pixels, numbered from 1, and the
    // unit's wavelength of each pixel (wavelengthTable[p - 1]).
    int firstPixel = 1;
    int lastPixel = 0;
    std::vector<float> wavelengthTable;
};

struct CaptureTime {
    int month = 1;
    int day = 1;
    int year = 2000;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// One exported spectrum.
struct ExportBlock {
    std::string projectName;
    std::string sampleName;
    int measurementNo = 1;
    // The memory item's time text ("%02d/%02d/%04d  %02d:%02d:%02d") in
    // memory mode; nothing for a live scan, which is stamped with `now`.
    std::optional<std::string> itemTime;
    CaptureTime now;
    // The whole processed array: one value per grid point on the calibrated
    // axis, one per pixel (values[p - 1]) on pixel-held data.
    std::vector<float> values;
};

// The unit and acquisition lines that head an export of the current spectrum.
struct ExportHeader {
    std::string unitSerial;
    std::optional<int> distanceCm; // an irradiance calibration is loaded
    std::string integrationTime;   // as the status bar shows it, in ms
    int timeAverage = 1;
    int binningAverage = 0;
    int smoothingPercent = 0;
    bool memoryMode = false;
};

// Which memory items: the current spectrum, or every item ("All").
enum class Which { Current, All };

// The tab-separated table, "\r\n" line ends. Current writes the first block
// with the unit lines, All every block with its item lines only.
std::string textTable(const ExportHeader &header, const ExportAxis &axis,
                      std::span<const ExportBlock> blocks, Which which);
// One header line and one y column per block (RFC 4180, "\r\n"); values
// with the digits that read back as the same float. Empty without blocks.
std::string csvTable(const ExportAxis &axis, std::span<const ExportBlock> blocks);
// JCAMP-DX 5.01; several blocks make a compound (LINK) file. TRANSMITTANCE is
// written as JCAMP defines it, a fraction (the display's percent / 100).
// Empty when there are no blocks or a block has no point in view.
std::string jcampDx(const ExportHeader &header, const ExportAxis &axis,
                    std::span<const ExportBlock> blocks);
// The SPC file (new-format little-endian header, float y values). Empty when
// there is nothing in view or, on the calibrated axis, the view reaches past
// the data.
std::string spcFile(const ExportAxis &axis, std::span<const ExportBlock> blocks, Which which);

// One CSV field: quoted, with quotes doubled, when it holds a comma, a quote
// or a line break.
std::string csvField(std::string_view text);

// A Windows bitmap file (14-byte file header, 40-byte info header, 24-bit
// rows bottom-up) of `width` x `height` pixels given top row first as
// 0xAARRGGBB words, `stride` words per row. Empty for a size that is not
// positive or a pixel span too short for it.
std::string bmpFile(int width, int height, std::span<const std::uint32_t> pixels, int stride);

} // namespace quillon::exports

#endif
