// One scan of the current channel: frames read and corrected into the
// spectrum, smoothing, and the quantity of the display mode; the one-shot
// dark and reference scans; memory playback; a unit lost during acquisition.
#ifndef QUILLON_APP_DATACONTROL_SCAN_PIPELINE_H
#define QUILLON_APP_DATACONTROL_SCAN_PIPELINE_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "platform/prompter.h"

#include <atomic>
#include <cstdint>
#include <span>

namespace quillon {

class AcquisitionHold;
class Irradiance;
class UnitControl;
class WavelengthAxis;

// What is on screen: the values of the current mode on the pixel base (N
// values, x from the wavelength table) or on the wavelength grid (G values,
// x = start + i * step).
struct ScanResult {
    std::span<const float> values;
    std::span<const float> wavelengths; // pixel base only
    bool wavelengthBase = false;
    double start = 0.0;
    double step = 0.0;
};

// AcquireScan's outcome: a scan, no trigger yet (external trigger), or no
// scan because the unit does not answer (the last spectrum stays).
enum class ScanOutcome { Scanned, NoTrigger, NoUnit };

class ScanPipeline {
public:
    ScanPipeline(ChannelState &state, UnitControl &units, AcquisitionHold &holds,
                 WavelengthAxis &wavelengths, Irradiance &photometry, Prompter &userPrompter)
        : s(state), unit(units), hold(holds), axis(wavelengths), irradiance(photometry),
          prompter(userPrompter) {}

    [[nodiscard]] OpResult AllocatePixelBuffers();
    // The scratch of the pipeline for the current settings. Throws std::bad_alloc.
    void PrepareScratch();
    void ReleaseBuffers();

    ScanOutcome AcquireScan(bool colourScaling = false);
    void CorrectRawFrame();
    void ProcessSpectrum(bool colourScaling);
    // A frame read elsewhere (a benchmark, a stored raw frame) through the
    // same corrections and processing; a frame of another length is cut or
    // padded with zeros.
    void ProcessRawFrame(std::span<const std::int32_t> raw, bool colourScaling = false);

    // One-shot scans: now (under hold) or left to the worker's next pass.
    [[nodiscard]] OpResult TakeOneShot(DisplayMode mode);
    // False when refused: the source is a file, or a one-shot scan is pending.
    [[nodiscard]] bool RequestOneShot(DisplayMode mode);
    ScanResult CurrentResult() const;

    // The box for a lost unit (also on the worker thread).
    void ReportDisconnection();
    bool UnitDisconnected() const { return disconnected.load(); }

private:
    ScanOutcome readFramesWithShutter();
    ScanOutcome readFrames();
    int readFrameFromUnit();
    ScanOutcome readOneFrame();
    ScanOutcome readAveragedFrames();
    void correctFrameCounts(bool scale);
    void convertToRatio(bool colourScaling, bool wavelengthBase);
    ScanOutcome noteFailedRead(int result);
    bool reconnectUnit();
    bool playBackNextItem();
    void storeDarkScan();
    void storeReferenceScan();
    void restoreOneShotFlags();
    void abandonOneShot();
    void finishRatioModes(bool wavelengthBase);

    ChannelState &s;
    UnitControl &unit;
    AcquisitionHold &hold;
    WavelengthAxis &axis;
    Irradiance &irradiance;
    Prompter &prompter;
    std::atomic<bool> disconnected{false};
    // Both flag words saved before a one-shot dark or reference scan.
    std::atomic<std::uint32_t> oneShotFlags{0};
    std::atomic<bool> readyBeforeOneShot{false};
};

} // namespace quillon

#endif
