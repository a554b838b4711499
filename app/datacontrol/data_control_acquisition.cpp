// One scan of the current channel: frames read and corrected into the
// spectrum, smoothing, and the quantity of the display mode; the one-shot
// dark and reference scans; memory playback; a unit lost during acquisition.
#include "datacontrol/data_control.h"

#include "datacontrol/scan_steps.h"
#include "datacontrol/spectrum_math.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <cmath>
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

int DataControl::AcquireScan(int colourScaling) {
    const std::size_t active = geometry.activePixels;
    if (buffers.rawFrame.size() < geometry.totalPixels || buffers.spectrum.size() < active ||
        buffers.rawFrame.empty()) {
        return 1; // nothing configured yet
    }
    if (flags.option.test(option_bits::kMemoryMode)) {
        if (!playBackNextItem()) {
            // Nothing stored: a pending one-shot scan ends without data.
            const DisplayMode mode = flags.displayMode();
            if (mode == DisplayMode::DarkScan || mode == DisplayMode::ReferenceScan) {
                restoreOneShotFlags();
            }
            return 1;
        }
    } else {
        const int read = readFrames();
        if (read != 1) {
            return read;
        }
        if (flags.option.test(option_bits::kSpectrumStatistics)) {
            const scan::Statistics stats =
                scan::spectrumStatistics(std::span<const float>(buffers.spectrum).first(active));
            scanParameters.mean = static_cast<float>(stats.mean);
            scanParameters.variance = static_cast<float>(stats.variance);
        }
    }
    return ProcessSpectrum(colourScaling);
}

int DataControl::readFrames() {
    if (disconnected.load() && reconnectUnit() != 1) {
        std::this_thread::sleep_for(kReconnectPause);
        return kScanNoUnit;
    }
    return acquisition.timeAverage <= 1 ? readOneFrame() : readAveragedFrames();
}

int DataControl::readFrameFromUnit() {
    const int result = ovReadDataEx(buffers.rawFrame.data(), currentChannel);
    // These sensors need a moment between frames in the free-running mode.
    if ((geometry.boardType == kBoardS7031 || geometry.boardType == kBoardS10420) &&
        trigger.integrationMode == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return result;
}

int DataControl::readOneFrame() {
    const int result = readFrameFromUnit();
    if (result != OV_OK) {
        return noteFailedRead(result);
    }
    CorrectRawFrame();
    return 1;
}

void DataControl::correctFrameCounts(bool scale) {
    std::span<std::int32_t> raw(buffers.rawFrame);
    const int first = geometry.firstActivePixel;
    const int active = geometry.activePixels;
    if (isInGaAs(geometry.boardType)) {
        scan::correctInGaAs(raw, active, oddEven.firstStep, oddEven.secondStep);
    }
    if (flags.option.test(option_bits::kPixelFlip)) {
        scan::flipActivePixels(raw, first, active);
    }
    if (scale) {
        scan::scaleAdc(raw, display.countMax);
    }
    scan::repairBadPixels(raw, badPixels, first, active);
}

void DataControl::CorrectRawFrame() {
    correctFrameCounts(true);
    const std::size_t first = geometry.firstActivePixel;
    for (std::size_t i = 0; i < geometry.activePixels; ++i) {
        buffers.spectrum[i] = static_cast<float>(buffers.rawFrame[first + i]);
    }
    scanParameters.currentOb = static_cast<float>(
        scan::opticalBlackLevel(buffers.rawFrame, geometry.obStart, geometry.obCount));
}

// Time average. A hold set while the frames come in ends the average early
// (over the frames read so far), so that the interface thread waits at most
// one frame; a caller that already held acquisition gets every frame.
int DataControl::readAveragedFrames() {
    const bool heldAtStart = flags.status.test(status_bits::kHold);
    const std::size_t active = geometry.activePixels;
    const std::size_t first = geometry.firstActivePixel;
    std::fill(buffers.frameSum.begin(), buffers.frameSum.end(), 0.0);
    double obSum = 0.0;
    int frames = 0;
    for (int t = 0; t < acquisition.timeAverage; ++t) {
        if (frames > 0 && !heldAtStart && flags.status.test(status_bits::kHold)) {
            break;
        }
        const int result = readFrameFromUnit();
        if (result != OV_OK) {
            return noteFailedRead(result);
        }
        correctFrameCounts(false);
        for (std::size_t i = 0; i < active; ++i) {
            buffers.frameSum[i] += buffers.rawFrame[first + i];
        }
        obSum += scan::opticalBlackLevel(buffers.rawFrame, geometry.obStart, geometry.obCount);
        ++frames;
    }
    for (std::size_t i = 0; i < active; ++i) {
        const double mean = buffers.frameSum[i] / frames;
        buffers.spectrum[i] = static_cast<float>(mean);
        buffers.rawFrame[first + i] = static_cast<std::int32_t>(std::lround(mean));
    }
    scan::scaleAdc(buffers.rawFrame, display.countMax);
    scan::scaleAdc(std::span<float>(buffers.spectrum).first(active), display.countMax);
    // Scaled like the spectrum it is subtracted from.
    scanParameters.currentOb = scan::scaleAdc(static_cast<float>(obSum / frames), display.countMax);
    return 1;
}

// A failed read. No trigger yet under external trigger goes back to the
// loop. A unit that stopped answering is reported once per disconnection;
// acquisition then waits for it (readFrames) and the last spectrum stays.
// Other failures (a time-out) skip this scan: a frame that was not read is
// never processed.
int DataControl::noteFailedRead(int result) {
    if (result == OV_ERR_NO_TRIGGER && flags.option.test(option_bits::kExternalTrigger)) {
        return kScanNoTrigger;
    }
    if (result >= kLowestDisconnectionCode && result <= 0 && !disconnected.exchange(true)) {
        ReportDisconnection();
        // The operator has answered: carry on at once if the unit is back.
        reconnectUnit();
    }
    return kScanNoUnit;
}

// A unit that was unplugged comes back powered up afresh: it gets its port
// set-up, sensor and integration time again, quietly.
int DataControl::reconnectUnit() {
    const int channel = currentChannel;
    if (ovSetupGivenChannel(channel) < 0 || ovInitGivenChannel(geometry.boardType, channel) < 0) {
        return -1;
    }
    if (sendSoftwareTriggerMode() < 0 || sendIntegrationTime(false) != 1) {
        return -1;
    }
    if (HasCoolerRecord()) {
        ovSetTEC(cooler.tec, channel);
        if (cooler.cap == 10 || cooler.cap == 1) {
            ovSelectCF(cooler.cap == 10 ? 1 : 0, channel);
        }
    }
    disconnected.store(false);
    return 1;
}

bool DataControl::playBackNextItem() {
    const int count = static_cast<int>(memory.items.size());
    memory.current = scan::nextPlaybackIndex(memory.current, count,
                                             flags.option.test(option_bits::kPlaybackBackwards));
    if (memory.current == 0) {
        return false;
    }
    const MemoryItem &item = memory.items[static_cast<std::size_t>(memory.current - 1)];
    const std::size_t active = geometry.activePixels;
    // An item shorter than the sensor is padded, never read past its end.
    for (std::size_t i = 0; i < active; ++i) {
        buffers.spectrum[i] = i < item.counts.size() ? static_cast<float>(item.counts[i]) : 0.0f;
    }
    settings.title.assign(item.projectName);
    settings.subTitle.assign(item.sampleName);
    commentText.assign(item.captureTime);
    return true;
}

int DataControl::ProcessSpectrum(int colourScaling) {
    const std::size_t active = geometry.activePixels;
    const std::span<float> spectrum = std::span<float>(buffers.spectrum).first(active);
    if (flags.status.test(status_bits::kSmoothingOn) &&
        buffers.twiddles.length() == buffers.spectrum.size()) {
        // The transform runs over the zero-extended spectrum.
        std::fill(buffers.spectrum.begin() + static_cast<std::ptrdiff_t>(active),
                  buffers.spectrum.end(), 0.0f);
        ApplyFftSmoothing(buffers.spectrum, buffers.fftImag, buffers.twiddles,
                          acquisition.smoothingPercent);
    }
    const int binning =
        std::min<int>(acquisition.binningAverage, static_cast<int>(buffers.binningRing.size()) - 1);
    if (binning > 0) {
        BinningAverage(spectrum, binning, buffers.binningRing);
    }

    const bool wavelengthBase = flags.option.test(option_bits::kWavelengthBase);
    switch (flags.displayMode()) {
    case DisplayMode::Scope:
        if (flags.status.test(status_bits::kOpticalBlackOn)) {
            for (float &value : spectrum) {
                value -= scanParameters.currentOb;
            }
        } else if (flags.option.test(option_bits::kSubtractDarkInScope)) {
            for (std::size_t i = 0; i < active; ++i) {
                spectrum[i] -= buffers.dark[i];
            }
        }
        if (wavelengthBase && flags.xUnit() != XUnit::Pixel) {
            for (std::size_t i = 0; i < buffers.gridIndex.size(); ++i) {
                buffers.gridResult[i] = spectrum[static_cast<std::size_t>(buffers.gridIndex[i])];
            }
        }
        return 1;
    case DisplayMode::TransRefl:
    case DisplayMode::Absorbance:
        convertToRatio(colourScaling != 0, wavelengthBase);
        finishRatioModes(wavelengthBase);
        return 1;
    case DisplayMode::Irradiance:
        // Irradiance needs the irradiance calibration and blackbody table of
        // the photometry, which are not part of this program yet: the mode
        // shows no values rather than made-up ones.
        std::fill(buffers.pixelResult.begin(), buffers.pixelResult.end(), 0.0f);
        std::fill(buffers.gridResult.begin(), buffers.gridResult.end(), 0.0f);
        return 1;
    case DisplayMode::ReferenceScan:
        storeReferenceScan();
        restoreOneShotFlags();
        return 1;
    case DisplayMode::DarkScan:
        storeDarkScan();
        restoreOneShotFlags();
        return 1;
    }
    return 1; // modes 6 and 7 are not used: the scan ends after smoothing
}

void DataControl::convertToRatio(bool colourScaling, bool wavelengthBase) {
    scan::RatioSettings ratio;
    ratio.quantity = flags.displayMode() == DisplayMode::Absorbance
                         ? scan::RatioQuantity::Absorbance
                         : scan::RatioQuantity::TransRefl;
    ratio.threshold = signalThreshold;
    ratio.scale = colourScaling && wavelengthBase ? settings.refWhite : settings.refMax;
    ratio.maxT = display.trMax;
    ratio.minT = display.trMin;
    ratio.opticalBlack = flags.status.test(status_bits::kOpticalBlackOn);
    if (ratio.opticalBlack) {
        scanParameters.darkMinusCurrent = scanParameters.darkOb - scanParameters.currentOb;
        scanParameters.darkMinusReference = scanParameters.darkOb - scanParameters.referenceOb;
        ratio.darkMinusCurrent = scanParameters.darkMinusCurrent;
        ratio.darkMinusReference = scanParameters.darkMinusReference;
    }
    const auto spectrum = std::span<const float>(buffers.spectrum).first(geometry.activePixels);
    if (wavelengthBase) {
        scan::ratioOnGrid(spectrum, buffers.dark, buffers.gridIndex, buffers.gridReferenceMinusDark,
                          buffers.gridResult, ratio);
    } else {
        scan::ratioOnPixelBase(spectrum, buffers.dark, buffers.reference, buffers.pixelResult,
                               ratio);
    }
}

void DataControl::finishRatioModes(bool wavelengthBase) {
    if (settings.filterOn == 0) {
        return;
    }
    std::vector<float> &result = wavelengthBase ? buffers.gridResult : buffers.pixelResult;
    LowPassFilter(settings.filterWin, result, buffers.filterCopy, buffers.filterWindow);
}

void DataControl::storeReferenceScan() {
    const std::size_t active = geometry.activePixels;
    if (flags.referenceSource() != ReferenceSource::File &&
        !flags.option.test(option_bits::kMemoryMode)) {
        std::copy_n(buffers.spectrum.begin(), active, buffers.reference.begin());
    }
    scanParameters.referenceOb = scanParameters.currentOb;
    RefreshReferenceMinusDark();
}

void DataControl::storeDarkScan() {
    const std::size_t active = geometry.activePixels;
    if (flags.darkSource() == DarkSource::File || flags.option.test(option_bits::kMemoryMode)) {
        return;
    }
    scanParameters.darkOb = scanParameters.currentOb;
    if (flags.darkSource() == DarkSource::OpticalBlack) {
        std::fill(buffers.dark.begin(), buffers.dark.end(), scanParameters.currentOb);
    } else {
        std::copy_n(buffers.spectrum.begin(), active, buffers.dark.begin());
    }
    darkCondition.noiseEstimate = static_cast<float>(
        scan::noiseEstimate(std::span<const float>(buffers.spectrum).first(active)));
    // The grid's reference - dark must follow a new dark as well.
    RefreshReferenceMinusDark();
}

// Both words come back from the copy saved before the one-shot scan, except
// the bits of the thread protocol: a hold set meanwhile stays set.
void DataControl::restoreOneShotFlags() {
    const std::uint32_t savedWords = oneShotFlags.load();
    const auto status = static_cast<std::uint16_t>(savedWords & 0xFFFFu);
    flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl), status);
    flags.option.store(static_cast<std::uint16_t>(savedWords >> 16));
}

int DataControl::requestOneShot(DisplayMode mode, std::uint16_t readyBit) {
    const DisplayMode current = flags.displayMode();
    if (current == DisplayMode::DarkScan || current == DisplayMode::ReferenceScan) {
        return 0; // one is pending already
    }
    if (mode == DisplayMode::DarkScan ? flags.darkSource() == DarkSource::File
                                      : flags.referenceSource() != ReferenceSource::CurrentScan) {
        return 0;
    }
    flags.status.set(readyBit);
    oneShotFlags.store(flags.packed());
    flags.setDisplayMode(mode);
    return 1;
}

int DataControl::RequestDarkScan() {
    return requestOneShot(DisplayMode::DarkScan, status_bits::kDarkReady);
}

int DataControl::RequestReferenceScan() {
    return requestOneShot(DisplayMode::ReferenceScan, status_bits::kReferenceReady);
}

int DataControl::takeOneShot(DisplayMode mode, std::uint16_t readyBit) {
    if (SuspendAcquisition(0) != 1) {
        ResumeAcquisition(0);
        return 0;
    }
    const bool wasReady = flags.status.test(readyBit);
    int result = requestOneShot(mode, readyBit);
    if (result == 1) {
        const bool shutter =
            mode == DisplayMode::DarkScan && flags.darkSource() == DarkSource::BuiltInShutter;
        if (shutter) {
            ovSetShutterPos(1, currentChannel);
        }
        const int scanned = AcquireScan(0);
        if (scanned != 1) {
            // Nothing was taken: back to the words as they were, ready bit included.
            restoreOneShotFlags();
            flags.status.assign(readyBit, wasReady);
            result = -1;
        }
        if (shutter) {
            ovSetShutterPos(0, currentChannel);
        }
    }
    ResumeAcquisition(0);
    return result;
}

int DataControl::TakeDarkScan() {
    return takeOneShot(DisplayMode::DarkScan, status_bits::kDarkReady);
}

int DataControl::TakeReferenceScan() {
    return takeOneShot(DisplayMode::ReferenceScan, status_bits::kReferenceReady);
}

ScanResult DataControl::CurrentResult() const {
    ScanResult result;
    const std::size_t active =
        std::min<std::size_t>(geometry.activePixels, buffers.spectrum.size());
    const DisplayMode mode = flags.displayMode();
    const bool ratio = mode == DisplayMode::TransRefl || mode == DisplayMode::Absorbance ||
                       mode == DisplayMode::Irradiance;
    const bool base = flags.option.test(option_bits::kWavelengthBase);
    result.wavelengthBase = ratio ? base : base && flags.xUnit() != XUnit::Pixel;
    if (result.wavelengthBase) {
        result.values = buffers.gridResult;
        result.start = grid.start;
        result.step = grid.interval;
        return result;
    }
    result.values = ratio ? std::span<const float>(buffers.pixelResult)
                          : std::span<const float>(buffers.spectrum).first(active);
    result.wavelengths = buffers.wavelengthTable;
    return result;
}

void DataControl::SetDisplayMode(DisplayMode mode) {
    flags.setDisplayMode(mode);
}

DisplayMode DataControl::CycleDisplayMode() {
    DisplayMode next = DisplayMode::Scope;
    switch (flags.displayMode()) {
    case DisplayMode::TransRefl:
        next = DisplayMode::Absorbance;
        break;
    case DisplayMode::Absorbance:
        next = (settings.initPane & 8u) != 0 ? DisplayMode::Irradiance : DisplayMode::Scope;
        break;
    case DisplayMode::Irradiance:
        next = DisplayMode::Scope;
        break;
    default:
        next = DisplayMode::TransRefl;
        break;
    }
    flags.setDisplayMode(next);
    return next;
}

void DataControl::SetXUnit(XUnit unit) {
    flags.setXUnit(unit);
    if (unit == XUnit::Pixel) {
        flags.option.clear(option_bits::kWavelengthBase); // the grid has no pixel axis
    }
}

void DataControl::SetWavelengthBase(bool on) {
    flags.option.assign(option_bits::kWavelengthBase, on);
    if (on && flags.xUnit() == XUnit::Pixel) {
        flags.setXUnit(XUnit::Wavelength);
    }
}

} // namespace quillon
