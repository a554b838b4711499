#include "shell/scope_worker.h"

#include "platform/local_time.h"

#include "shell/graph_feed.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace {

std::string nowText() {
    const std::tm local = platform::localTime(std::time(nullptr));
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d  %02d:%02d:%02d", local.tm_mon + 1,
                  local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

} // namespace

ScopeWorker::ScopeWorker(DataControl &control, const CScopeGraph &graph, WorkerSink &sink)
    : control_(control), graph_(graph), sink_(sink), worker_(control, this) {}

ScopeWorker::~ScopeWorker() {
    stop();
}

LiveReadouts ScopeWorker::readouts() const {
    const std::lock_guard lock(readoutsMutex_);
    return readouts_;
}

void ScopeWorker::setInternalLamp(bool on) {
    if (internalLamp_.exchange(on) != on) {
        sink_.lampsChanged();
    }
}

void ScopeWorker::setExternalLamp(bool on) {
    if (externalLamp_.exchange(on) != on) {
        sink_.lampsChanged();
    }
}

// While held the worker redraws its last picture data (zoom and pan still
// show) but never reads the buffers the interface may be changing.
void ScopeWorker::passHeld(bool drawingSuspended) {
    if (control_.TimeLine().Recording()) {
        if (control_.TimeLine().DisplayWhileRecording()) {
            drawRecordedFrame();
        }
        return;
    }
    recorded_.frame = 0; // the next record numbers its frames from 1 again
    if (!drawingSuspended) {
        draw(false);
    } else if (control_.State().flags.option.test(option_bits::kExternalTrigger)) {
        setExternalLamp(false);
    }
}

void ScopeWorker::scanStarting(const PassReport &report) {
    if (!report.memoryMode && !report.externalTrigger) {
        setInternalLamp(true);
    }
}

void ScopeWorker::scanFinished(const PassReport &report) {
    if (report.externalTrigger && !report.memoryMode) {
        {
            const std::lock_guard lock(readoutsMutex_);
            readouts_.triggerTime = nowText();
        }
        setExternalLamp(true);
    } else if (!report.externalTrigger) {
        setInternalLamp(false);
    }
    // A one-shot dark or reference scan is stored, not shown.
    if (!report.oneShot) {
        draw(true);
        const GraphViewState view = graph_.viewState();
        if (view.range.cursorLine >= 0 ||
            control_.State().flags.displayMode() == DisplayMode::Irradiance || report.memoryMode) {
            sink_.textPanelDue();
        }
    }
    if (report.externalTrigger) {
        setExternalLamp(false);
    }
}

void ScopeWorker::workerStopping() {
    setInternalLamp(false);
    setExternalLamp(false);
}

QImage &ScopeWorker::freeImage(int width, int height) {
    for (QImage &image : images_) {
        if (image.width() == width && image.height() == height && image.isDetached()) {
            return image;
        }
    }
    for (QImage &image : images_) {
        if (image.isNull() || image.isDetached()) {
            image = QImage(width, height, QImage::Format_RGB32);
            return image;
        }
    }
    images_[0] = QImage(width, height, QImage::Format_RGB32);
    return images_[0];
}

void ScopeWorker::draw(bool freshScan) {
    const GraphViewState view = graph_.viewState();
    if (view.width <= 0 || view.height <= 0) {
        return;
    }
    if (freshScan) {
        fillSnapshot(control_, view, snapshot_);
        haveSnapshot_ = true;
        noteReadouts();
    } else if (haveSnapshot_) {
        snapshot_.range = view.range;
        snapshot_.mainTitle = view.mainTitle;
        snapshot_.secondTitle = view.secondTitle;
        snapshot_.verticalAxisTitle = view.verticalAxisTitle;
        fillPeakMarks(control_, snapshot_.peaks); // found on the held spectrum
    } else {
        return;
    }
    QImage &image = freeImage(view.width, view.height);
    renderer_.render(snapshot_, image);
    frames_.fetch_add(1);
    sink_.frameDrawn(image);
}

// The recorder's copy of its newest frame, when there is one not drawn yet:
// the display takes what it can and the record never waits for it.
void ScopeWorker::drawRecordedFrame() {
    if (!control_.TimeLine().TakeRecordedSpectrum(recorded_.frame, recorded_)) {
        return;
    }
    const GraphViewState view = graph_.viewState();
    if (view.width <= 0 || view.height <= 0) {
        return;
    }
    ScanResult result;
    result.values = recorded_.values;
    result.wavelengthBase = recorded_.wavelengthBase;
    result.start = recorded_.start;
    result.step = recorded_.step;
    fillSnapshot(control_, view, snapshot_, &result);
    haveSnapshot_ = true;
    noteReadouts();
    QImage &image = freeImage(view.width, view.height);
    renderer_.render(snapshot_, image);
    frames_.fetch_add(1);
    recordedDrawn_.fetch_add(1);
    sink_.frameDrawn(image);
}

// Where value `index` lies in the readouts' units: the grid wavelength, the
// pixel's wavelength on a wavelength axis of pixel data, else the pixel number.
double ScopeWorker::positionOf(std::size_t index) const {
    if (snapshot_.calibratedAxis) {
        return snapshot_.grid.start + snapshot_.grid.step * static_cast<double>(index);
    }
    if (snapshot_.xUnit != GraphXUnit::Pixel && index < snapshot_.wavelengthTable.size()) {
        return snapshot_.wavelengthTable[index];
    }
    return static_cast<double>(index + 1);
}

void ScopeWorker::noteReadouts() {
    LiveReadouts next;
    next.valid = !snapshot_.values.empty();
    next.mode = control_.State().flags.displayMode();
    next.calibratedAxis = snapshot_.calibratedAxis;
    if (next.valid) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < snapshot_.values.size(); ++i) {
            if (snapshot_.values[i] > snapshot_.values[best]) {
                best = i;
            }
        }
        next.peakValue = snapshot_.values[best];
        next.peakX = positionOf(best);
        const int cursor = snapshot_.range.cursorLine;
        if (cursor >= 0) {
            const PixelRect plot =
                computeGraphLayout(graph_.viewState().width, graph_.viewState().height,
                                   snapshot_.verticalAxisTitle)
                    .plot;
            const int index = valueIndexAt(snapshot_, plot, cursor);
            if (index >= 0) {
                next.cursorShown = true;
                next.cursorValue = snapshot_.values[static_cast<std::size_t>(index)];
                next.cursorX = positionOf(static_cast<std::size_t>(index));
            }
        }
    }
    // The totals are written by the scan that was just taken, on this thread.
    const ChannelState &state = control_.State();
    if (next.valid && next.mode == DisplayMode::Irradiance &&
        !state.flags.option.test(option_bits::kRelativeIrradiance) &&
        control_.Photometry().Calibration() != nullptr) {
        PhotometryReadout photometry;
        photometry.colourTemperature = control_.Photometry().ColourTemperature();
        photometry.illuminance = state.settings.irradLux != 0;
        photometry.total = photometry.illuminance ? state.photometry.illuminance
                                                  : state.photometry.totalIrradiance;
        photometry.areaTotal =
            photometry.illuminance ? state.photometry.luminousFlux : state.photometry.totalPower;
        next.photometry = photometry;
    }
    if (snapshot_.statistics) {
        char text[96];
        std::snprintf(text, sizeof text, "B=%.2f M=%.2f R=%.2f ", snapshot_.statistics->blackLevel,
                      snapshot_.statistics->mean,
                      std::sqrt(std::max(0.0f, snapshot_.statistics->variance)));
        next.statistics = text;
    }
    const std::lock_guard lock(readoutsMutex_);
    next.triggerTime = readouts_.triggerTime;
    next.scans = readouts_.scans + 1;
    readouts_ = std::move(next);
}

} // namespace quillon
