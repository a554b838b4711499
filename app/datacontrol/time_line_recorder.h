// The time-line record: scans at a fixed interval, each appended to one scan
// data file as a memory item ("0001", "0002", ... with its capture time).
// While it runs, the acquisition worker idles and the recorder's timer thread
// is the only one that scans. The timer, the stop rules and the frame texts
// are in analysis/; this part binds them to the measurement state.
//
// Threads: StartRecord, StopRecord, MakeReady, CancelPending and SetPaused
// run on the interface thread; the ticks on the timer thread. A record that
// ends by itself (complete, a write error, a lost unit) closes its file and
// wakes the worker on the timer thread, then tells the listener; the
// interface then calls StopRecord, which joins the ended thread and tells
// the operator what the record lost, if anything.
#ifndef QUILLON_APP_DATACONTROL_TIME_LINE_RECORDER_H
#define QUILLON_APP_DATACONTROL_TIME_LINE_RECORDER_H

#include "analysis/periodic_timer.h"
#include "analysis/record_rules.h"
#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "platform/growing_file.h"
#include "platform/prompter.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

class AcquisitionHold;
class ScanPipeline;
class StoredSpectra;

// What the record set-up dialog (or the command line) asks for.
struct RecordSetup {
    std::string name;                          // as typed; anything from its last "." is cut
    std::filesystem::path folder;              // the data folder
    std::int64_t intervalValue = 0;            // the interval edit
    bool seconds = false;                      // "s" rather than "ms"
    analysis::WallTime startTime;              // frames are not taken before it
    std::optional<analysis::WallTime> endTime; // end-time mode; none: count mode
    std::int32_t frameLimit = 1;               // count mode
};

// Called on the timer thread; implementations post and never wait.
class RecordListener {
public:
    virtual ~RecordListener() = default;
    virtual void scanStarting() = 0;
    virtual void frameWritten(std::int64_t frames) = 0;
    // The record ended by itself: call StopRecord on the interface thread.
    virtual void recordEnded() = 0;
};

enum class RecordEnd { None, Complete, Stopped, WriteFailed, UnitLost };

struct RecordProgress {
    bool recording = false;
    bool paused = false;
    std::int64_t frames = 0;
    std::uint64_t ticks = 0; // every tick the timer ran, paused or not
    std::uint64_t missedTicks = 0;
    std::uint64_t ticksBeforeStart = 0;
    RecordEnd end = RecordEnd::None;
};

// The spectrum of the last frame for a display that draws while recording.
struct RecordedSpectrum {
    std::vector<float> values;
    bool wavelengthBase = false;
    double start = 0.0;
    double step = 0.0;
    std::int64_t frame = 0; // 0: none yet
};

class TimeLineRecorder {
public:
    TimeLineRecorder(ChannelState &state, AcquisitionHold &holds, ScanPipeline &scans,
                     StoredSpectra &stored, Prompter &userPrompter)
        : s(state), hold(holds), pipeline(scans), spectra(stored), prompter(userPrompter) {}
    ~TimeLineRecorder();
    TimeLineRecorder(const TimeLineRecorder &) = delete;
    TimeLineRecorder &operator=(const TimeLineRecorder &) = delete;

    // The shortest interval the current settings allow, in ms.
    std::int64_t MinimumInterval() const;
    bool DarkAndReferenceReady() const;

    // "Set Ready": the record settings from the dialog. Empty when a record
    // is ready, else why not (the dialog's status line; nothing is set up).
    [[nodiscard]] std::string MakeReady(const RecordSetup &setup);
    // "Cancel Record Process" before the start: the settings go.
    void CancelPending();
    // Set up and not started yet (the time-line button shows "Record").
    bool Ready() const;
    // From StartRecord until the record has ended by itself or been stopped.
    bool Recording() const { return active.load(); }
    const std::optional<analysis::RecordSettings> &Settings() const { return settings; }

    // Opens the file (asking before an existing one is replaced), writes the
    // header, suspends the worker and starts the timer. NotDone when
    // nothing is ready or the operator kept the old file; Failed after a
    // message when the file cannot be written or the worker does not pause.
    [[nodiscard]] OpResult StartRecord(RecordListener *listener = nullptr);
    // Ends a record (the operator's Stop, or after it ended by itself): no
    // tick runs after it, the file is closed, the worker resumes. The
    // operator is told when frames were missed or the record broke off.
    // NotDone when no record was running or ending.
    OpResult StopRecord();

    void SetPaused(bool on) { paused.store(on); }
    bool Paused() const { return paused.load(); }
    // A copy of each frame's spectrum for the display; it may skip frames,
    // the record never does.
    void SetDisplayWhileRecording(bool on) { display.store(on); }
    bool DisplayWhileRecording() const { return display.load(); }
    // The newest spectrum when it is newer than `seen` (a frame number).
    bool TakeRecordedSpectrum(std::int64_t seen, RecordedSpectrum &out);

    RecordProgress Progress() const;
    // The summary of the last record ("%d frames written to ...").
    std::string Summary() const;
    const analysis::LatenessHistogram &Lateness() const { return lateness; } // after the record
    std::filesystem::path File() const { return file; }
    std::string EndError() const;

private:
    analysis::TickResult tick(const analysis::TickInfo &info);
    // Closes the file and wakes the worker, once, on whichever thread ends the record.
    void finish(RecordEnd why, const std::string &error);
    void publishSpectrum(std::int64_t frame);
    void undoStart();

    ChannelState &s;
    AcquisitionHold &hold;
    ScanPipeline &pipeline;
    StoredSpectra &spectra;
    Prompter &prompter;

    std::optional<analysis::RecordSettings> settings;
    std::filesystem::path file;
    std::string projectName;
    RecordListener *listener = nullptr;
    analysis::PeriodicTimer timer;
    std::unique_ptr<platform::GrowingFile> out;
    bool started = false; // interface thread: between StartRecord and StopRecord
    RecordEnd pendingEnd = RecordEnd::Stopped; // timer thread
    std::string pendingError;                  // timer thread
    std::string item;                          // one frame, reused
    analysis::LatenessHistogram lateness;

    std::atomic<bool> active{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> display{false};
    std::atomic<std::int64_t> frames{0};
    std::atomic<std::uint64_t> beforeStart{0};
    std::atomic<std::uint64_t> ticks{0};
    std::atomic<RecordEnd> end{RecordEnd::None};
    mutable std::mutex finishMutex;
    bool finished = true; // under finishMutex
    std::string endError; // under finishMutex

    std::mutex spectrumMutex;
    RecordedSpectrum spectrum; // under spectrumMutex
};

} // namespace quillon

#endif
