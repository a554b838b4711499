// How the interface thread pauses acquisition.
//
// The acquisition worker signals the scan-done event at the end of every
// pass (also a pass that only waits while held) and once more when it leaves
// its loop. To touch the device or the buffers the interface thread sets the
// hold bit (W1.2) and waits for the event twice: the first signal may come
// from a pass that began before the hold was seen, the second proves that
// such a pass has ended. Then it makes its change and clears the bit.
//
// The waits never hang the interface. They return at once when no worker is
// running (W1.0 clear: worker stopped on a tab switch, no-device mode, a
// command-line program), they look at W1.0 again while waiting, and each is
// bounded by the time one frame can take (integration time plus the
// library's read time-out plus drawing). AcquireScan looks at the hold bit
// between averaged frames, so a long time average does not stretch a pass.
// A wait that reaches its limit reports it (0 / false): the worker did not
// answer, so the caller must leave the buffers alone.
#include "datacontrol/acquisition_hold.h"

#include "datacontrol/sensors.h"

#include <algorithm>

namespace quillon {

namespace {

// The library gives up on a frame this long after its integration time.
constexpr std::chrono::milliseconds kReadTimeOut{1000};
// Drawing a pass and the scheduler's slack.
constexpr std::chrono::milliseconds kPassMargin{1000};
// How often a wait looks whether the worker is still there.
constexpr std::chrono::milliseconds kWorkerPoll{20};

} // namespace

std::chrono::milliseconds AcquisitionHold::WaitLimit() const {
    if (scanDoneLimit.count() > 0) {
        return scanDoneLimit;
    }
    const std::int64_t frameMs = s.geometry.boardType == kBoardTcd1304
                                     ? (std::int64_t{s.limits.current} + 99) / 100
                                     : std::int64_t{s.limits.current};
    return std::chrono::milliseconds(std::max<std::int64_t>(frameMs, 0)) + kReadTimeOut +
           kPassMargin;
}

bool AcquisitionHold::waitForOnePass(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (!s.flags.status.test(status_bits::kWorkerRunning)) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (scanDone.waitFor(std::min(left, kWorkerPoll))) {
            return true;
        }
    }
}

bool AcquisitionHold::WaitForQuietWorker() {
    const auto limit = WaitLimit();
    return waitForOnePass(limit) && waitForOnePass(limit);
}

// Nested brackets (a dialog's suspend around a one-shot scan) restore the
// hold bit only when the outermost one ends.
bool AcquisitionHold::Suspend(HoldBy by) {
    if (suspendDepth++ == 0) {
        rememberedHold = s.flags.status.load() & status_bits::kHold;
    }
    s.flags.status.set(status_bits::kHold);
    if (by == HoldBy::Dialog) {
        s.flags.status.set(status_bits::kDrawingSuspended);
    }
    return WaitForQuietWorker() && !RecorderActive();
}

void AcquisitionHold::Resume(HoldBy by) {
    if (by == HoldBy::Dialog) {
        s.flags.status.clear(status_bits::kDrawingSuspended);
    }
    if (suspendDepth > 0 && --suspendDepth > 0) {
        return;
    }
    s.flags.status.assign(status_bits::kHold, rememberedHold != 0);
}

bool AcquisitionHold::HoldAndWait() {
    s.flags.status.set(status_bits::kHold);
    return WaitForQuietWorker() && !RecorderActive();
}

// Inside a suspend bracket the bracket's own end decides.
void AcquisitionHold::ReleaseHold() {
    if (suspendDepth == 0) {
        s.flags.status.clear(status_bits::kHold);
    }
}

} // namespace quillon
