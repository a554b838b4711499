#include "datacontrol/time_line_recorder.h"

#include "datacontrol/acquisition_hold.h"
#include "datacontrol/scan_pipeline.h"
#include "datacontrol/sensors.h"
#include "datacontrol/stored_spectra.h"
#include "datafiles/memory_list.h"
#include "datafiles/scan_data_file.h"
#include "platform/files.h"
#include "platform/local_time.h"

#include <cstdio>
#include <ctime>

namespace quillon {

namespace {

constexpr const char *kDarkAndRefRequired = "Dark and Ref Scan are required";

std::string numberText(std::int64_t n) {
    return std::to_string(n);
}

// "%02d/%02d/%04d  %02d:%02d:%02d" of a wall-clock time, without allocating.
std::size_t captureTimeText(analysis::WallTime when, std::array<char, 32> &out) {
    const std::tm local = platform::localTime(std::chrono::system_clock::to_time_t(when));
    const int n = std::snprintf(out.data(), out.size(), "%02d/%02d/%04d  %02d:%02d:%02d",
                                local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
                                local.tm_hour, local.tm_min, local.tm_sec);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

} // namespace

TimeLineRecorder::~TimeLineRecorder() {
    timer.stop();
    finish(RecordEnd::Stopped, {});
}

std::int64_t TimeLineRecorder::MinimumInterval() const {
    return analysis::minimumIntervalMs(s.acquisition.timeAverage, s.limits.current,
                                       s.geometry.boardType == kBoardTcd1304);
}

bool TimeLineRecorder::DarkAndReferenceReady() const {
    return s.flags.status.test(status_bits::kDarkReady | status_bits::kReferenceReady);
}

std::string TimeLineRecorder::MakeReady(const RecordSetup &setup) {
    if (settings) {
        return "A record is set up already";
    }
    if (!DarkAndReferenceReady()) {
        return kDarkAndRefRequired;
    }
    std::int64_t value = setup.intervalValue;
    if (s.geometry.boardType == kBoardTcd1304) {
        value = std::max<std::int64_t>(value, 1);
    }
    const std::int64_t interval = analysis::intervalMs(value, setup.seconds);
    const std::int64_t minimum = MinimumInterval();
    if (interval < minimum) {
        return "The interval is below the minimum of " + numberText(minimum) + " ms";
    }
    if (setup.name.empty()) {
        return "No file name";
    }
    analysis::RecordSettings next;
    next.file = userFilePath(setup.folder, setup.name, kScanDataExtension);
    next.startTime = setup.startTime;
    next.interval = std::chrono::milliseconds(interval);
    if (setup.endTime) {
        // A record that ends before it begins would only create an empty file.
        if (*setup.endTime <= setup.startTime) {
            return "The end time is not after the start time";
        }
        next.stopMode = analysis::StopMode::AtEndTime;
        next.endTime = *setup.endTime;
    } else {
        if (setup.frameLimit < analysis::kMinFrameLimit ||
            setup.frameLimit > analysis::kMaxFrameLimit) {
            return "The number of frames is not within 1 to 9999999";
        }
        next.stopMode = analysis::StopMode::AfterFrameLimit;
        next.frameLimit = setup.frameLimit;
    }
    settings = next;
    return {};
}

void TimeLineRecorder::CancelPending() {
    if (!started) {
        settings.reset();
    }
}

bool TimeLineRecorder::Ready() const {
    return settings.has_value() && !started;
}

void TimeLineRecorder::undoStart() {
    s.flags.option.clear(option_bits::kSkipPhotometry);
    s.flags.status.clear(status_bits::kHold | status_bits::kDrawingSuspended);
    hold.RecorderEnded();
}

OpResult TimeLineRecorder::StartRecord(RecordListener *recordListener) {
    if (started || !settings || s.flags.option.test(option_bits::kMemoryMode)) {
        return OpResult::NotDone;
    }
    file = settings->file;
    const std::string name = platform::pathText(file);
    if (platform::fileExists(file) &&
        !prompter.askYesNo("The file " + name + " exists. Replace it with the new record?")) {
        return OpResult::NotDone;
    }
    // The worker is quiet before the header is read: the dark and reference
    // it carries are the buffers a pass may be writing.
    hold.RecorderStarting();
    s.flags.status.set(status_bits::kHold | status_bits::kDrawingSuspended);
    if (!hold.WaitForQuietWorker()) {
        undoStart();
        prompter.message("Acquisition did not pause: the record was not started.");
        return OpResult::Failed;
    }
    s.flags.option.set(option_bits::kSkipPhotometry); // the record file is open
    std::string error;
    out = platform::GrowingFile::create(file, error);
    if (out && !out->append(encodeScanDataHeader(spectra.CurrentContext()))) {
        error = out->error();
        (void)out->close();
        out.reset();
        platform::removeFileQuietly(file); // a header cut short is no scan data file
    }
    if (!out) {
        undoStart();
        prompter.message("The record file " + name + " cannot be written: " + error);
        return OpResult::Failed;
    }
    projectName = s.settings.title;
    listener = recordListener;
    item.clear();
    item.reserve(memoryItemBytes(s.geometry.activePixels));
    {
        const std::lock_guard lock(spectrumMutex);
        spectrum.frame = 0;
        spectrum.values.reserve(std::max<std::size_t>(s.buffers.spectrum.size(), 1));
    }
    lateness = {};
    frames = 0;
    beforeStart = 0;
    ticks = 0;
    paused = false;
    end = RecordEnd::None;
    {
        const std::lock_guard lock(finishMutex);
        finished = false;
        endError.clear();
    }
    started = true;
    active = true;
    timer.start(
        settings->interval, [this](const analysis::TickInfo &info) { return tick(info); },
        [this] {
            finish(pendingEnd, pendingError);
            if (listener != nullptr) {
                listener->recordEnded();
            }
        });
    return OpResult::Done;
}

analysis::TickResult TimeLineRecorder::tick(const analysis::TickInfo &info) {
    lateness.add(info.lateness);
    ticks.fetch_add(1);
    if (paused.load()) {
        return analysis::TickResult::Continue;
    }
    const analysis::WallTime now = std::chrono::system_clock::now();
    if (now < settings->startTime) {
        beforeStart.fetch_add(1);
        return analysis::TickResult::Continue;
    }
    if (analysis::recordComplete(*settings, now, frames.load())) {
        pendingEnd = RecordEnd::Complete;
        return analysis::TickResult::Stop;
    }
    if (listener != nullptr) {
        listener->scanStarting();
    }
    const ScanOutcome outcome = pipeline.AcquireScan();
    if (outcome == ScanOutcome::NoTrigger) {
        return analysis::TickResult::Continue; // no trigger in this interval: no frame
    }
    const std::optional<ScanCounts> scan = countsOfLastScan(s);
    if (outcome == ScanOutcome::NoUnit || pipeline.UnitDisconnected() || !scan) {
        pendingEnd = RecordEnd::UnitLost;
        return analysis::TickResult::Stop;
    }
    const std::int64_t frame = frames.load() + 1;
    std::array<char, 24> number{};
    const std::size_t numberLength = analysis::frameNumberText(frame, number);
    std::array<char, 32> time{};
    const std::size_t timeLength = captureTimeText(now, time);
    item.clear();
    appendMemoryItem(item, projectName, std::string_view(number.data(), numberLength),
                     std::string_view(time.data(), timeLength), scan->counts, scan->scanValue);
    if (!out->append(item)) {
        pendingEnd = RecordEnd::WriteFailed;
        pendingError = out->error();
        return analysis::TickResult::Stop;
    }
    frames.store(frame);
    if (display.load()) {
        publishSpectrum(frame);
    }
    if (listener != nullptr) {
        listener->frameWritten(frame);
    }
    // The last frame of a count ends the record now, not an interval later:
    // the file would stay open and the worker idle for nothing.
    if (analysis::recordComplete(*settings, now, frame) &&
        settings->stopMode == analysis::StopMode::AfterFrameLimit) {
        pendingEnd = RecordEnd::Complete;
        return analysis::TickResult::Stop;
    }
    return analysis::TickResult::Continue;
}

// The display must never hold the recorder up: when it is copying the last
// spectrum out, this one is not offered.
void TimeLineRecorder::publishSpectrum(std::int64_t frame) {
    std::unique_lock lock(spectrumMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        return;
    }
    const ScanResult result = pipeline.CurrentResult();
    spectrum.values.assign(result.values.begin(), result.values.end());
    spectrum.wavelengthBase = result.wavelengthBase;
    spectrum.start = result.start;
    spectrum.step = result.step;
    spectrum.frame = frame;
}

bool TimeLineRecorder::TakeRecordedSpectrum(std::int64_t seen, RecordedSpectrum &copy) {
    const std::lock_guard lock(spectrumMutex);
    if (spectrum.frame <= seen) {
        return false;
    }
    copy.values.assign(spectrum.values.begin(), spectrum.values.end());
    copy.wavelengthBase = spectrum.wavelengthBase;
    copy.start = spectrum.start;
    copy.step = spectrum.step;
    copy.frame = spectrum.frame;
    return true;
}

void TimeLineRecorder::finish(RecordEnd why, const std::string &error) {
    const std::lock_guard lock(finishMutex);
    if (finished) {
        return;
    }
    finished = true;
    endError = error;
    if (out && !out->close() && why != RecordEnd::WriteFailed) {
        why = RecordEnd::WriteFailed; // the last flush failed
        endError = out->error();
    }
    out.reset();
    undoStart();
    end = why;
    active = false;
}

OpResult TimeLineRecorder::StopRecord() {
    if (!started) {
        return OpResult::NotDone;
    }
    timer.stop();
    finish(RecordEnd::Stopped, {});
    started = false;
    settings.reset();
    const RecordProgress p = Progress();
    const std::string name = platform::pathText(file);
    const std::string kept = " The file keeps the " + numberText(p.frames) + " frames written.";
    switch (p.end) {
    case RecordEnd::WriteFailed:
        prompter.message("The record stopped: " + name + " cannot be written (" + EndError() +
                         ")." + kept);
        break;
    case RecordEnd::UnitLost:
        prompter.message("The record stopped: the unit gave no scan." + kept);
        break;
    default:
        if (p.missedTicks > 0) {
            prompter.message(numberText(static_cast<std::int64_t>(p.missedTicks)) +
                             " ticks of the record were missed: a scan took longer than the "
                             "interval." +
                             kept);
        }
        break;
    }
    return OpResult::Done;
}

RecordProgress TimeLineRecorder::Progress() const {
    RecordProgress p;
    p.recording = active.load();
    p.paused = paused.load();
    p.frames = frames.load();
    p.missedTicks = timer.missedTicks();
    p.ticks = ticks.load();
    p.ticksBeforeStart = beforeStart.load();
    p.end = end.load();
    return p;
}

std::string TimeLineRecorder::EndError() const {
    const std::lock_guard lock(finishMutex);
    return endError;
}

std::string TimeLineRecorder::Summary() const {
    const RecordProgress p = Progress();
    return numberText(p.frames) + " frames written to " + platform::pathText(file) + ", " +
           numberText(static_cast<std::int64_t>(p.missedTicks)) + " ticks missed";
}

} // namespace quillon
