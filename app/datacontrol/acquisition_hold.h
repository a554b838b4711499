// How the interface thread pauses acquisition (see acquisition_hold.cpp).
#ifndef QUILLON_APP_DATACONTROL_ACQUISITION_HOLD_H
#define QUILLON_APP_DATACONTROL_ACQUISITION_HOLD_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "platform/auto_reset_event.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quillon {

class AcquisitionHold {
public:
    explicit AcquisitionHold(ChannelState &state) : s(state) {}

    // Sets the hold (and for a dialog the drawing-suspended bit) and waits
    // until no pass runs: false when the worker did not answer in time.
    [[nodiscard]] bool Suspend(HoldBy by);
    void Resume(HoldBy by);
    // Sets the hold bit alone and waits: the short bracket of a change.
    [[nodiscard]] bool HoldAndWait();
    void ReleaseHold();
    // Two scan-done signals, or none needed: true when no pass can be
    // running any more, false when the wait limit was reached first.
    [[nodiscard]] bool WaitForQuietWorker();
    void SignalScanDone() { scanDone.set(); }
    // The worker's own bits: running and looping, the loop's end, and a
    // single scan that has been taken.
    void WorkerStarting() {
        s.flags.status.set(status_bits::kWorkerRunning | status_bits::kLoopEnabled);
    }
    void EndLoop() { s.flags.status.clear(status_bits::kLoopEnabled); }
    void WorkerEnded() { s.flags.status.clear(status_bits::kWorkerRunning); }
    void SingleScanTaken() { s.flags.status.clear(status_bits::kSingleScan); }
    void ResumeDrawing() { s.flags.status.clear(status_bits::kDrawingSuspended); }
    // While a time-line record takes the scans on its own thread the worker
    // idles (every pass is a held one) and no bracket can pause acquisition:
    // Suspend and HoldAndWait report that it did not pause, so nothing
    // changes the settings or buffers under the recorder's scans.
    void RecorderStarting() { recorder.store(true); }
    void RecorderEnded() { recorder.store(false); }
    bool RecorderActive() const { return recorder.load(); }
    // Drops every hold of the interface (a view that becomes active again).
    void ReleaseAll() {
        s.flags.status.clear(status_bits::kDrawingSuspended | status_bits::kHold);
        s.flags.option.clear(option_bits::kHoldOption);
    }
    // Longest wait for one signal; 0 derives it from the integration time.
    void SetScanDoneLimit(std::chrono::milliseconds limit) { scanDoneLimit = limit; }
    std::chrono::milliseconds WaitLimit() const;

private:
    bool waitForOnePass(std::chrono::milliseconds limit);

    ChannelState &s;
    AutoResetEvent scanDone;
    std::chrono::milliseconds scanDoneLimit{0};
    std::atomic<bool> recorder{false};
    std::uint16_t rememberedHold = 0;
    int suspendDepth = 0; // interface thread only
};

// Acquisition suspended for the lifetime of the object: the Resume that
// every Suspend needs, on every way out of the caller. `paused()` is what
// Suspend returned; when false the caller leaves the unit and buffers alone.
class SuspendedAcquisition {
public:
    SuspendedAcquisition(AcquisitionHold &hold, HoldBy by)
        : hold_(hold), by_(by), paused_(hold.Suspend(by)) {}
    ~SuspendedAcquisition() { hold_.Resume(by_); }
    SuspendedAcquisition(const SuspendedAcquisition &) = delete;
    SuspendedAcquisition &operator=(const SuspendedAcquisition &) = delete;

    bool paused() const { return paused_; }

private:
    AcquisitionHold &hold_;
    HoldBy by_;
    bool paused_;
};

} // namespace quillon

#endif
