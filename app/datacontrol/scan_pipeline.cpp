// One scan of the current channel: frames read and corrected into the
// spectrum, smoothing, and the quantity of the display mode; the one-shot
// dark and reference scans; memory playback; a unit lost during acquisition.
#include "datacontrol/scan_pipeline.h"

#include "datacontrol/acquisition_hold.h"
#include "datacontrol/messages.h"
#include "datacontrol/unit_control.h"
#include "datacontrol/wavelength_axis.h"
#include "photometry/irradiance.h"

#include "datacontrol/scan_steps.h"
#include "datacontrol/spectrum_math.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

namespace quillon {

namespace {

// Codes of a read that found no unit (as opposed to a time-out).
constexpr int kLowestDisconnectionCode = -97;
// How often a lost unit is looked for while acquisition waits for it.
constexpr std::chrono::milliseconds kReconnectPause{200};

bool isInGaAs(std::uint16_t boardType) {
    return boardType == kBoardInGaAs512 || boardType == kBoardInGaAs256;
}

} // namespace

OpResult ScanPipeline::AllocatePixelBuffers() {
    try {
        const std::size_t total = s.geometry.totalPixels;
        const std::size_t active = s.geometry.activePixels;
        s.buffers.rawFrame.assign(total, 0);
        s.buffers.spectrum.assign(std::max<std::size_t>(s.geometry.fftLength, active), 0.0f);
        s.buffers.dark.assign(active, 0.0f);
        s.buffers.reference.assign(active, 0.0f);
        s.buffers.wavelengthTable.assign(active, 0.0f);
        s.buffers.pixelResult.assign(active, 0.0f);
        PrepareScratch();
    } catch (const std::bad_alloc &) {
        ReleaseBuffers();
        prompter.message(messages::kPixelMemory);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

// The scratch of the scan pipeline, sized for the current settings so that
// a scan allocates nothing. Throws std::bad_alloc.
void ScanPipeline::PrepareScratch() {
    const std::size_t length = std::max<std::size_t>(s.geometry.fftLength, 1);
    if (s.buffers.twiddles.length() != length) {
        s.buffers.twiddles = FftTwiddles(length);
    }
    s.buffers.fftImag.assign(length, 0.0f);
    constexpr std::size_t kLargestUsualBinning = 10;
    s.buffers.binningRing.assign(
        std::max<std::size_t>(s.acquisition.binningAverage, kLargestUsualBinning) + 1, 0.0);
    constexpr std::size_t kLargestUsualFilter = 31;
    s.buffers.filterWindow.assign(
        std::max<std::size_t>(static_cast<std::size_t>(std::max(s.settings.filterWin, 1)),
                              kLargestUsualFilter),
        0.0f);
    s.buffers.frameSum.assign(s.geometry.activePixels, 0.0);
    s.buffers.filterCopy.resize(
        std::max(s.buffers.filterCopy.size(), s.buffers.pixelResult.size()));
}

void ScanPipeline::ReleaseBuffers() {
    s.buffers = SpectrumBuffers{};
}

// Called on the acquisition worker: the GUI's Prompter carries the box to
// its own thread and blocks here until the operator has answered.
void ScanPipeline::ReportDisconnection() {
    prompter.message(messages::kDisconnected);
}

ScanOutcome ScanPipeline::AcquireScan(bool colourScaling) {
    const std::size_t active = s.geometry.activePixels;
    if (s.buffers.rawFrame.size() < s.geometry.totalPixels || s.buffers.spectrum.size() < active ||
        s.buffers.rawFrame.empty()) {
        return ScanOutcome::Scanned; // nothing configured yet
    }
    if (s.flags.option.test(option_bits::kMemoryMode)) {
        if (!playBackNextItem()) {
            // Nothing stored: a pending one-shot scan ends without data.
            const DisplayMode mode = s.flags.displayMode();
            if (mode == DisplayMode::DarkScan || mode == DisplayMode::ReferenceScan) {
                restoreOneShotFlags();
            }
            return ScanOutcome::Scanned;
        }
    } else {
        const ScanOutcome read = readFramesWithShutter();
        if (read == ScanOutcome::NoUnit) {
            // A dark or reference asked for just before the unit was lost is
            // not left to be taken, unseen, from whatever unit comes back.
            abandonOneShot();
        }
        if (read != ScanOutcome::Scanned) {
            return read;
        }
        if (s.flags.option.test(option_bits::kSpectrumStatistics)) {
            const scan::Statistics stats =
                scan::spectrumStatistics(std::span<const float>(s.buffers.spectrum).first(active));
            s.scanParameters.mean = static_cast<float>(stats.mean);
            s.scanParameters.variance = static_cast<float>(stats.variance);
        }
    }
    ProcessSpectrum(colourScaling);
    return ScanOutcome::Scanned;
}

// A dark from the built-in shutter closes it for the frames of the dark
// scan and opens it again, whatever the frames gave; on the thread that
// scans, so the interface never waits for the shutter.
ScanOutcome ScanPipeline::readFramesWithShutter() {
    const bool shutter = s.flags.displayMode() == DisplayMode::DarkScan &&
                         s.flags.darkSource() == DarkSource::BuiltInShutter;
    if (shutter && !unit.setShutterClosed(true)) {
        return noteFailedRead(OV_ERR_REQUEST);
    }
    const ScanOutcome read = readFrames();
    if (shutter && !unit.setShutterClosed(false) && read == ScanOutcome::Scanned) {
        return noteFailedRead(OV_ERR_REQUEST);
    }
    return read;
}

ScanOutcome ScanPipeline::readFrames() {
    if (disconnected.load() && !reconnectUnit()) {
        std::this_thread::sleep_for(kReconnectPause);
        return ScanOutcome::NoUnit;
    }
    return s.acquisition.timeAverage <= 1 ? readOneFrame() : readAveragedFrames();
}

int ScanPipeline::readFrameFromUnit() {
    int result = unit.readFrame(s.buffers.rawFrame);
    if (result == OV_ERR_UNIT_RESET) {
        // The unit was power-cycled or plugged in again since it was set up
        // (the library read nothing): it answers, but integrates with its
        // power-on defaults. It gets its set-up again, quietly, and the frame
        // is read anew; a unit that does not take it is a lost unit.
        result = unit.resendSetup() ? unit.readFrame(s.buffers.rawFrame) : OV_ERR_REQUEST;
    }
    // These sensors need a moment between frames in the free-running mode.
    if ((s.geometry.boardType == kBoardS7031 || s.geometry.boardType == kBoardS10420) &&
        s.trigger.integrationMode == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return result;
}

ScanOutcome ScanPipeline::readOneFrame() {
    const int result = readFrameFromUnit();
    if (result != OV_OK) {
        return noteFailedRead(result);
    }
    CorrectRawFrame();
    return ScanOutcome::Scanned;
}

void ScanPipeline::correctFrameCounts(bool scale) {
    std::span<std::int32_t> raw(s.buffers.rawFrame);
    const int first = s.geometry.firstActivePixel;
    const int active = s.geometry.activePixels;
    if (isInGaAs(s.geometry.boardType)) {
        scan::correctInGaAs(raw, active, s.oddEven.firstStep, s.oddEven.secondStep);
    }
    if (s.flags.option.test(option_bits::kPixelFlip)) {
        scan::flipActivePixels(raw, first, active);
    }
    if (scale) {
        scan::scaleAdc(raw, s.display.countMax);
    }
    scan::repairBadPixels(raw, s.badPixels, first, active);
}

void ScanPipeline::CorrectRawFrame() {
    correctFrameCounts(true);
    const std::size_t first = s.geometry.firstActivePixel;
    for (std::size_t i = 0; i < s.geometry.activePixels; ++i) {
        s.buffers.spectrum[i] = static_cast<float>(s.buffers.rawFrame[first + i]);
    }
    s.scanParameters.currentOb = static_cast<float>(
        scan::opticalBlackLevel(s.buffers.rawFrame, s.geometry.obStart, s.geometry.obCount));
}

// Time average. A hold set while the frames come in ends the average early
// (over the frames read so far), so that the interface thread waits at most
// one frame; a caller that already held acquisition gets every frame.
ScanOutcome ScanPipeline::readAveragedFrames() {
    const bool heldAtStart = s.flags.status.test(status_bits::kHold);
    const std::size_t active = s.geometry.activePixels;
    const std::size_t first = s.geometry.firstActivePixel;
    std::fill(s.buffers.frameSum.begin(), s.buffers.frameSum.end(), 0.0);
    double obSum = 0.0;
    int frames = 0;
    for (int t = 0; t < s.acquisition.timeAverage; ++t) {
        if (frames > 0 && !heldAtStart && s.flags.status.test(status_bits::kHold)) {
            break;
        }
        const int result = readFrameFromUnit();
        if (result != OV_OK) {
            return noteFailedRead(result);
        }
        correctFrameCounts(false);
        for (std::size_t i = 0; i < active; ++i) {
            s.buffers.frameSum[i] += s.buffers.rawFrame[first + i];
        }
        obSum +=
            scan::opticalBlackLevel(s.buffers.rawFrame, s.geometry.obStart, s.geometry.obCount);
        ++frames;
    }
    for (std::size_t i = 0; i < active; ++i) {
        const double mean = s.buffers.frameSum[i] / frames;
        s.buffers.spectrum[i] = static_cast<float>(mean);
        s.buffers.rawFrame[first + i] = static_cast<std::int32_t>(std::lround(mean));
    }
    scan::scaleAdc(s.buffers.rawFrame, s.display.countMax);
    scan::scaleAdc(std::span<float>(s.buffers.spectrum).first(active), s.display.countMax);
    // Scaled like the spectrum it is subtracted from.
    s.scanParameters.currentOb =
        scan::scaleAdc(static_cast<float>(obSum / frames), s.display.countMax);
    return ScanOutcome::Scanned;
}

// A failed read. No trigger yet under external trigger goes back to the
// loop. A unit that stopped answering is reported once per disconnection;
// acquisition then waits for it (readFrames) and the last spectrum stays.
// Other failures (a time-out) skip this scan: a frame that was not read is
// never processed.
ScanOutcome ScanPipeline::noteFailedRead(int result) {
    if (result == OV_ERR_NO_TRIGGER && s.flags.option.test(option_bits::kExternalTrigger)) {
        return ScanOutcome::NoTrigger;
    }
    if (result >= kLowestDisconnectionCode && result <= 0 && !disconnected.exchange(true)) {
        ReportDisconnection();
        // The operator has answered: carry on at once if the unit is back.
        (void)reconnectUnit();
    }
    return ScanOutcome::NoUnit;
}

// A unit that was unplugged comes back powered up afresh: it gets its whole
// set-up again, quietly.
bool ScanPipeline::reconnectUnit() {
    if (!unit.resendSetup()) {
        return false;
    }
    disconnected.store(false);
    return true;
}

bool ScanPipeline::playBackNextItem() {
    const int count = static_cast<int>(s.memory.size());
    s.memory.setCurrent(scan::nextPlaybackIndex(
        s.memory.current(), count, s.flags.option.test(option_bits::kPlaybackBackwards)));
    if (s.memory.current() == 0) {
        return false;
    }
    const MemoryItemView item = s.memory.item(s.memory.current());
    const std::size_t active = s.geometry.activePixels;
    // An item shorter than the sensor is padded, never read past its end.
    const std::span<float> spectrum = std::span<float>(s.buffers.spectrum).first(active);
    std::fill(spectrum.begin(), spectrum.end(), 0.0f);
    item.copyCounts(spectrum);
    item.copyTexts(s.settings.title, s.settings.subTitle, s.commentText);
    return true;
}

void ScanPipeline::ProcessRawFrame(std::span<const std::int32_t> raw, bool colourScaling) {
    std::vector<std::int32_t> &frame = s.buffers.rawFrame;
    const std::size_t n = std::min(raw.size(), frame.size());
    std::copy_n(raw.begin(), n, frame.begin());
    std::fill(frame.begin() + static_cast<std::ptrdiff_t>(n), frame.end(), 0);
    CorrectRawFrame();
    ProcessSpectrum(colourScaling);
}

void ScanPipeline::ProcessSpectrum(bool colourScaling) {
    const std::size_t active = s.geometry.activePixels;
    const std::span<float> spectrum = std::span<float>(s.buffers.spectrum).first(active);
    if (s.flags.status.test(status_bits::kSmoothingOn) &&
        s.buffers.twiddles.length() == s.buffers.spectrum.size()) {
        // The transform runs over the zero-extended spectrum.
        std::fill(s.buffers.spectrum.begin() + static_cast<std::ptrdiff_t>(active),
                  s.buffers.spectrum.end(), 0.0f);
        ApplyFftSmoothing(s.buffers.spectrum, s.buffers.fftImag, s.buffers.twiddles,
                          s.acquisition.smoothingPercent);
    }
    const int binning = std::min<int>(s.acquisition.binningAverage,
                                      static_cast<int>(s.buffers.binningRing.size()) - 1);
    if (binning > 0) {
        BinningAverage(spectrum, binning, s.buffers.binningRing);
    }

    const bool wavelengthBase = s.flags.option.test(option_bits::kWavelengthBase);
    switch (s.flags.displayMode()) {
    case DisplayMode::Scope:
        if (s.flags.status.test(status_bits::kOpticalBlackOn)) {
            for (float &value : spectrum) {
                value -= s.scanParameters.currentOb;
            }
        } else if (s.flags.option.test(option_bits::kSubtractDarkInScope)) {
            for (std::size_t i = 0; i < active; ++i) {
                spectrum[i] -= s.buffers.dark[i];
            }
        }
        if (wavelengthBase && s.flags.xUnit() != XUnit::Pixel) {
            for (std::size_t i = 0; i < s.buffers.gridIndex.size(); ++i) {
                s.buffers.gridResult[i] =
                    spectrum[static_cast<std::size_t>(s.buffers.gridIndex[i])];
            }
        }
        return;
    case DisplayMode::TransRefl:
    case DisplayMode::Absorbance:
        convertToRatio(colourScaling, wavelengthBase);
        finishRatioModes(wavelengthBase);
        return;
    case DisplayMode::Irradiance:
        irradiance.ConvertScan(colourScaling);
        finishRatioModes(wavelengthBase);
        return;
    case DisplayMode::ReferenceScan:
        storeReferenceScan();
        restoreOneShotFlags();
        return;
    case DisplayMode::DarkScan:
        storeDarkScan();
        restoreOneShotFlags();
        return;
    }
    // modes 6 and 7 are not used: the scan ends after smoothing
}

void ScanPipeline::convertToRatio(bool colourScaling, bool wavelengthBase) {
    scan::RatioSettings ratio;
    ratio.quantity = s.flags.displayMode() == DisplayMode::Absorbance
                         ? scan::RatioQuantity::Absorbance
                         : scan::RatioQuantity::TransRefl;
    ratio.threshold = s.signalThreshold;
    ratio.scale = colourScaling && wavelengthBase ? s.settings.refWhite : s.settings.refMax;
    ratio.maxT = s.display.trMax;
    ratio.minT = s.display.trMin;
    ratio.opticalBlack = s.flags.status.test(status_bits::kOpticalBlackOn);
    if (ratio.opticalBlack) {
        s.scanParameters.darkMinusCurrent = s.scanParameters.darkOb - s.scanParameters.currentOb;
        s.scanParameters.darkMinusReference =
            s.scanParameters.darkOb - s.scanParameters.referenceOb;
        ratio.darkMinusCurrent = s.scanParameters.darkMinusCurrent;
        ratio.darkMinusReference = s.scanParameters.darkMinusReference;
    }
    const auto spectrum = std::span<const float>(s.buffers.spectrum).first(s.geometry.activePixels);
    if (wavelengthBase) {
        scan::ratioOnGrid(spectrum, s.buffers.dark, s.buffers.gridIndex,
                          s.buffers.gridReferenceMinusDark, s.buffers.gridResult, ratio);
    } else {
        scan::ratioOnPixelBase(spectrum, s.buffers.dark, s.buffers.reference, s.buffers.pixelResult,
                               ratio);
    }
}

void ScanPipeline::finishRatioModes(bool wavelengthBase) {
    if (s.settings.filterOn == 0) {
        return;
    }
    std::vector<float> &result = wavelengthBase ? s.buffers.gridResult : s.buffers.pixelResult;
    LowPassFilter(s.settings.filterWin, result, s.buffers.filterCopy, s.buffers.filterWindow);
}

void ScanPipeline::storeReferenceScan() {
    const std::size_t active = s.geometry.activePixels;
    if (s.flags.referenceSource() != ReferenceSource::File &&
        !s.flags.option.test(option_bits::kMemoryMode)) {
        std::copy_n(s.buffers.spectrum.begin(), active, s.buffers.reference.begin());
    }
    s.scanParameters.referenceOb = s.scanParameters.currentOb;
    axis.RefreshReferenceMinusDark();
}

void ScanPipeline::storeDarkScan() {
    const std::size_t active = s.geometry.activePixels;
    if (s.flags.darkSource() == DarkSource::File || s.flags.option.test(option_bits::kMemoryMode)) {
        return;
    }
    s.scanParameters.darkOb = s.scanParameters.currentOb;
    if (s.flags.darkSource() == DarkSource::OpticalBlack) {
        std::fill(s.buffers.dark.begin(), s.buffers.dark.end(), s.scanParameters.currentOb);
    } else {
        std::copy_n(s.buffers.spectrum.begin(), active, s.buffers.dark.begin());
    }
    s.darkCondition.noiseEstimate = static_cast<float>(
        scan::noiseEstimate(std::span<const float>(s.buffers.spectrum).first(active)));
    // The grid's reference - dark must follow a new dark as well.
    axis.RefreshReferenceMinusDark();
}

// Both words come back from the copy saved before the one-shot scan, except
// the bits of the thread protocol: a hold set meanwhile stays set.
void ScanPipeline::restoreOneShotFlags() {
    const std::uint32_t savedWords = oneShotFlags.load();
    const auto status = static_cast<std::uint16_t>(savedWords & 0xFFFFu);
    s.flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl), status);
    s.flags.option.store(static_cast<std::uint16_t>(savedWords >> 16));
}

namespace {

std::uint16_t readyBitOf(DisplayMode mode) {
    return mode == DisplayMode::DarkScan ? status_bits::kDarkReady : status_bits::kReferenceReady;
}

} // namespace

bool ScanPipeline::RequestOneShot(DisplayMode mode) {
    const DisplayMode current = s.flags.displayMode();
    if (current == DisplayMode::DarkScan || current == DisplayMode::ReferenceScan) {
        return false; // one is pending already
    }
    if (mode == DisplayMode::DarkScan ? s.flags.darkSource() == DarkSource::File
                                      : s.flags.referenceSource() != ReferenceSource::CurrentScan) {
        return false;
    }
    // A unit that is gone gives no scan; the request would be taken later,
    // silently, from a unit that may have been changed meanwhile.
    if (disconnected.load() && !s.flags.option.test(option_bits::kMemoryMode)) {
        return false;
    }
    readyBeforeOneShot.store(s.flags.status.test(readyBitOf(mode)));
    s.flags.status.set(readyBitOf(mode));
    oneShotFlags.store(s.flags.packed());
    s.flags.setDisplayMode(mode);
    return true;
}

OpResult ScanPipeline::TakeOneShot(DisplayMode mode) {
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    OpResult result = RequestOneShot(mode) ? OpResult::Done : OpResult::NotDone;
    if (result == OpResult::Done && AcquireScan(false) != ScanOutcome::Scanned) {
        abandonOneShot();
        result = OpResult::Failed;
    }
    hold.Resume(HoldBy::Change);
    return result;
}

// Nothing was taken: back to the words as they were, ready bit included.
void ScanPipeline::abandonOneShot() {
    const DisplayMode mode = s.flags.displayMode();
    if (mode != DisplayMode::DarkScan && mode != DisplayMode::ReferenceScan) {
        return;
    }
    restoreOneShotFlags();
    s.flags.status.assign(readyBitOf(mode), readyBeforeOneShot.load());
}

ScanResult ScanPipeline::CurrentResult() const {
    ScanResult result;
    const std::size_t active =
        std::min<std::size_t>(s.geometry.activePixels, s.buffers.spectrum.size());
    const DisplayMode mode = s.flags.displayMode();
    const bool ratio = mode == DisplayMode::TransRefl || mode == DisplayMode::Absorbance ||
                       mode == DisplayMode::Irradiance;
    const bool base = s.flags.option.test(option_bits::kWavelengthBase);
    result.wavelengthBase = ratio ? base : base && s.flags.xUnit() != XUnit::Pixel;
    if (result.wavelengthBase) {
        result.values = s.buffers.gridResult;
        result.start = s.grid.start;
        result.step = s.grid.interval;
        return result;
    }
    result.values = ratio ? std::span<const float>(s.buffers.pixelResult)
                          : std::span<const float>(s.buffers.spectrum).first(active);
    result.wavelengths = s.buffers.wavelengthTable;
    return result;
}

} // namespace quillon
