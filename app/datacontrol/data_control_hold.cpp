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
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"
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

std::chrono::milliseconds DataControl::scanDoneWaitLimit() const {
    if (scanDoneLimit.count() > 0) {
        return scanDoneLimit;
    }
    const std::int64_t frameMs = geometry.boardType == kBoardTcd1304
                                     ? (std::int64_t{limits.current} + 99) / 100
                                     : std::int64_t{limits.current};
    return std::chrono::milliseconds(std::max<std::int64_t>(frameMs, 0)) + kReadTimeOut +
           kPassMargin;
}

bool DataControl::waitForOnePass(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (!flags.status.test(status_bits::kWorkerRunning)) {
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

bool DataControl::WaitForQuietWorker() {
    const auto limit = scanDoneWaitLimit();
    return waitForOnePass(limit) && waitForOnePass(limit);
}

// Nested brackets (a dialog's suspend around a one-shot scan) restore the
// hold bit only when the outermost one ends.
int DataControl::SuspendAcquisition(int byDialog) {
    if (suspendDepth++ == 0) {
        rememberedHold = flags.status.load() & status_bits::kHold;
    }
    flags.status.set(status_bits::kHold);
    if (byDialog == 1) {
        flags.status.set(status_bits::kDrawingSuspended);
    }
    return WaitForQuietWorker() ? 1 : 0;
}

void DataControl::ResumeAcquisition(int byDialog) {
    if (byDialog == 1) {
        flags.status.clear(status_bits::kDrawingSuspended);
    }
    if (suspendDepth > 0 && --suspendDepth > 0) {
        return;
    }
    flags.status.assign(status_bits::kHold, rememberedHold != 0);
}

int DataControl::ApplyAcquisitionChange(int skipIntegration) {
    flags.status.set(status_bits::kHold);
    const bool quiet = WaitForQuietWorker();
    if (skipIntegration == 0 && sendIntegrationTime() != 1) {
        // Acquisition goes on; a unit that does not answer is then reported
        // by the scan itself.
        flags.status.clear(status_bits::kHold);
        return -1;
    }
    // The irradiance object recomputes here once photometry exists.
    if (quiet) {
        prepareScratch();
    }
    flags.status.clear(status_bits::kDarkReady | status_bits::kReferenceReady | status_bits::kHold);
    flags.option.clear(option_bits::kShowDarkLine | option_bits::kShowReferenceLine |
                       option_bits::kGeometryApplied | option_bits::kSubtractDarkInScope);
    return 1;
}

int DataControl::ReapplyIntegrationTime() {
    flags.status.set(status_bits::kHold);
    // The grid buffers are rebuilt: no pass may be using them.
    if (!WaitForQuietWorker() || RebuildWavelengthGrid() != 1) {
        flags.status.clear(status_bits::kHold);
        return -1;
    }
    if (!flags.option.test(option_bits::kMemoryMode) && sendIntegrationTime() != 1) {
        flags.status.clear(status_bits::kHold);
        return -1;
    }
    flags.status.clear(status_bits::kHold);
    return 1;
}

int DataControl::ChangeAcquisition(const std::function<void(DataControl &)> &change,
                                   int skipIntegration) {
    if (SuspendAcquisition(1) != 1) {
        ResumeAcquisition(1);
        return 0;
    }
    change(*this);
    const int result = ApplyAcquisitionChange(skipIntegration);
    ResumeAcquisition(1);
    return result;
}

void DataControl::BackupViewSettings() {
    viewBackup.acquisition = acquisition;
    viewBackup.display = display;
    viewBackup.statusWord = flags.status.load();
}

void DataControl::RestoreViewSettings() {
    acquisition = viewBackup.acquisition;
    display = viewBackup.display;
    flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl),
                              viewBackup.statusWord);
    flags.option.clear(option_bits::kExternalTrigger);
}

} // namespace quillon
