#include "datacontrol/acquisition_worker.h"

#include "datacontrol/data_control.h"
#include "platform/thread_priority.h"

namespace quillon {

namespace {

// Under external trigger a read answers at once until a trigger comes.
constexpr std::chrono::milliseconds kTriggerPoll{1};

} // namespace

PassOutcome RunAcquisitionPass(DataControl &control, PassListener *listener,
                               std::chrono::milliseconds holdPause, bool colourScaling) {
    const DisplayFlags &flags = control.State().flags;
    const FlagWord &status = flags.status;
    // A time-line record suspends the worker outright: its own thread scans.
    const bool suspended =
        status.test(status_bits::kDrawingSuspended) || control.Hold().RecorderActive();
    const bool held =
        status.test(status_bits::kHold) || flags.option.test(option_bits::kHoldOption);
    if (suspended || (held && !status.test(status_bits::kSingleScan))) {
        std::this_thread::sleep_for(holdPause);
        if (listener != nullptr) {
            listener->passHeld(suspended);
        }
        control.SignalScanDone();
        return PassOutcome::Held;
    }
    PassReport report;
    report.externalTrigger = flags.option.test(option_bits::kExternalTrigger);
    report.memoryMode = flags.option.test(option_bits::kMemoryMode);
    const DisplayMode modeBefore = flags.displayMode();
    report.oneShot =
        modeBefore == DisplayMode::DarkScan || modeBefore == DisplayMode::ReferenceScan;
    if (listener != nullptr) {
        listener->scanStarting(report);
    }
    if (control.AcquireScan(colourScaling) == ScanOutcome::NoTrigger) {
        return PassOutcome::NoTrigger;
    }
    control.Hold().SingleScanTaken();
    if (listener != nullptr) {
        listener->scanFinished(report);
    }
    control.SignalScanDone();
    return PassOutcome::Scanned;
}

AcquisitionWorker::AcquisitionWorker(DataControl &dataControl, PassListener *passListener,
                                     std::chrono::milliseconds pause)
    : control(dataControl), listener(passListener), holdPause(pause) {}

AcquisitionWorker::~AcquisitionWorker() {
    stop();
}

void AcquisitionWorker::start(int prioritySetting) {
    if (thread.joinable()) {
        return;
    }
    control.Hold().WorkerStarting();
    thread = std::thread([this, prioritySetting] { loop(prioritySetting); });
}

void AcquisitionWorker::stop() {
    if (!thread.joinable()) {
        return;
    }
    (void)control.SuspendAcquisition(HoldBy::Change); // the join below waits regardless
    control.Hold().EndLoop();
    thread.join();
    control.ResumeAcquisition(HoldBy::Change);
}

void AcquisitionWorker::loop(int prioritySetting) {
    if (prioritySetting != 1) {
        platform::lowerCurrentThreadPriority();
    }
    while (control.State().flags.status.test(status_bits::kLoopEnabled)) {
        passes.fetch_add(1);
        if (RunAcquisitionPass(control, listener, holdPause, colourScaling) ==
            PassOutcome::NoTrigger) {
            std::this_thread::sleep_for(kTriggerPoll);
        }
    }
    control.Hold().WorkerEnded();
    if (listener != nullptr) {
        listener->workerStopping();
    }
    // A wait that began just before the worker left must not sit out its limit.
    control.SignalScanDone();
}

} // namespace quillon
