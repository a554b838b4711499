// The acquisition loop around DataControl::AcquireScan, without the drawing:
// the GUI passes its redraw, a command-line tool or a test passes nothing.
// Each pass ends with the scan-done event the hold protocol waits for.
#ifndef QUILLON_APP_DATACONTROL_ACQUISITION_WORKER_H
#define QUILLON_APP_DATACONTROL_ACQUISITION_WORKER_H

#include <chrono>
#include <functional>
#include <thread>

namespace quillon {

class DataControl;

enum class PassOutcome { Scanned, Held, NoTrigger };

// One scan-and-draw pass. Held (hold bit, hold option without a single-scan
// request, or drawing suspended): pause, redraw, signal. Otherwise scan,
// draw, signal; no trigger yet ends the pass without a signal.
PassOutcome RunAcquisitionPass(DataControl &control, const std::function<void()> &draw,
                               std::chrono::milliseconds holdPause);

// Runs passes on its own thread while the loop bit (W1.3) is set.
class AcquisitionWorker {
public:
    explicit AcquisitionWorker(DataControl &control, std::function<void()> draw = {},
                               std::chrono::milliseconds holdPause = std::chrono::milliseconds(50));
    ~AcquisitionWorker();
    AcquisitionWorker(const AcquisitionWorker &) = delete;
    AcquisitionWorker &operator=(const AcquisitionWorker &) = delete;

    // Sets the running and loop bits, then starts the thread.
    void start();
    // Hold, let the current pass end, clear the loop bit, join.
    void stop();
    bool running() const { return thread.joinable(); }

private:
    void loop();

    DataControl &control;
    std::function<void()> draw;
    std::chrono::milliseconds holdPause;
    std::thread thread;
};

} // namespace quillon

#endif
