#include "datacontrol/acquisition_worker.h"

#include "datacontrol/data_control.h"

namespace quillon {

namespace {

// Under external trigger a read answers at once until a trigger comes.
constexpr std::chrono::milliseconds kTriggerPoll{1};

} // namespace

PassOutcome RunAcquisitionPass(DataControl &control, const std::function<void()> &draw,
                               std::chrono::milliseconds holdPause) {
    FlagWord &status = control.flags.status;
    const bool held =
        status.test(status_bits::kHold) || control.flags.option.test(option_bits::kHoldOption);
    if (status.test(status_bits::kDrawingSuspended) ||
        (held && !status.test(status_bits::kSingleScan))) {
        std::this_thread::sleep_for(holdPause);
        if (draw && !status.test(status_bits::kDrawingSuspended)) {
            draw();
        }
        control.SignalScanDone();
        return PassOutcome::Held;
    }
    if (control.AcquireScan(0) == kScanNoTrigger) {
        return PassOutcome::NoTrigger;
    }
    status.clear(status_bits::kSingleScan);
    if (draw) {
        draw();
    }
    control.SignalScanDone();
    return PassOutcome::Scanned;
}

AcquisitionWorker::AcquisitionWorker(DataControl &dataControl, std::function<void()> redraw,
                                     std::chrono::milliseconds pause)
    : control(dataControl), draw(std::move(redraw)), holdPause(pause) {}

AcquisitionWorker::~AcquisitionWorker() {
    stop();
}

void AcquisitionWorker::start() {
    if (thread.joinable()) {
        return;
    }
    control.flags.status.set(status_bits::kWorkerRunning | status_bits::kLoopEnabled);
    thread = std::thread([this] { loop(); });
}

void AcquisitionWorker::stop() {
    if (!thread.joinable()) {
        return;
    }
    control.SuspendAcquisition(0);
    control.flags.status.clear(status_bits::kLoopEnabled);
    thread.join();
    control.ResumeAcquisition(0);
}

void AcquisitionWorker::loop() {
    while (control.flags.status.test(status_bits::kLoopEnabled)) {
        if (RunAcquisitionPass(control, draw, holdPause) == PassOutcome::NoTrigger) {
            std::this_thread::sleep_for(kTriggerPoll);
        }
    }
    control.flags.status.clear(status_bits::kWorkerRunning);
    // A wait that began just before the worker left must not sit out its limit.
    control.SignalScanDone();
}

} // namespace quillon
