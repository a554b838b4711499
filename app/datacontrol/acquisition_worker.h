// The acquisition worker: one thread that repeats the scan pass while the
// loop bit is set. Whatever shows the scans (the window's graph, a test)
// listens to the passes; a command-line loop or a benchmark listens to none.
// Each pass ends with the scan-done event the hold protocol waits for.
#ifndef QUILLON_APP_DATACONTROL_ACQUISITION_WORKER_H
#define QUILLON_APP_DATACONTROL_ACQUISITION_WORKER_H

#include "datacontrol/display_flags.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace quillon {

class DataControl;

enum class PassOutcome { Scanned, Held, NoTrigger };

struct PassReport {
    bool oneShot = false; // a dark or reference scan: stored, not shown
    bool externalTrigger = false;
    bool memoryMode = false;
};

// Called on the worker thread; implementations never wait for the
// interface thread.
class PassListener {
public:
    virtual ~PassListener() = default;
    // A held pass; `drawingSuspended` when a dialog hides the drawing.
    virtual void passHeld(bool drawingSuspended) = 0;
    virtual void scanStarting(const PassReport &report) = 0;
    virtual void scanFinished(const PassReport &report) = 0;
    virtual void workerStopping() = 0;
};

// One pass. Held (hold bit, hold option without a single-scan request, or
// drawing suspended): pause, tell the listener, signal. Otherwise scan,
// tell, signal; no trigger yet ends the pass without a signal. The colour
// view's passes scan with colour scaling (the white reflectance applied).
PassOutcome RunAcquisitionPass(DataControl &control, PassListener *listener,
                               std::chrono::milliseconds holdPause, bool colourScaling = false);

class AcquisitionWorker {
public:
    explicit AcquisitionWorker(DataControl &control, PassListener *listener = nullptr,
                               std::chrono::milliseconds holdPause = std::chrono::milliseconds(50));
    ~AcquisitionWorker();
    AcquisitionWorker(const AcquisitionWorker &) = delete;
    AcquisitionWorker &operator=(const AcquisitionWorker &) = delete;

    // Sets the running and loop bits and starts the thread. Priority 1 runs
    // it at normal priority, anything else one step below.
    void start(int prioritySetting = 1);
    // Hold, let the current pass end, clear the loop bit, join, lift the hold.
    void stop();
    bool running() const { return thread.joinable(); }
    // Scans with colour scaling from the next start on.
    void setColourScaling(bool on) { colourScaling = on; }
    std::uint64_t passCount() const { return passes.load(); }

private:
    void loop(int prioritySetting);

    DataControl &control;
    PassListener *listener;
    std::chrono::milliseconds holdPause;
    bool colourScaling = false; // read by the thread, set while it is stopped
    std::thread thread;
    std::atomic<std::uint64_t> passes{0};
};

} // namespace quillon

#endif
