// The acquisition worker of the scope view: the core's worker with the
// drawing as its pass listener. It draws into pictures it owns and hands
// each finished one to the interface through its sink; it never touches a
// widget.
#ifndef QUILLON_APP_SHELL_SCOPE_WORKER_H
#define QUILLON_APP_SHELL_SCOPE_WORKER_H

#include "datacontrol/acquisition_worker.h"
#include "datacontrol/data_control.h"
#include "shell/graph_renderer.h"
#include "shell/graph_snapshot.h"
#include "shell/scope_graph.h"

#include <QImage>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace quillon {

// Called on the worker thread; implementations post to the interface thread
// and never wait for it.
class WorkerSink {
public:
    virtual ~WorkerSink() = default;
    virtual void lampsChanged() = 0;
    virtual void frameDrawn(const QImage &image) = 0;
    virtual void textPanelDue() = 0;
};

// What the last scan showed, for the text panel and the status bar.
// The photometric results of the last absolute irradiance scan.
struct PhotometryReadout {
    float colourTemperature = 0.0f; // K
    bool illuminance = false;       // lux and lumen, else uW/cm^2 and uW
    float total = 0.0f;             // total illuminance or total irradiance
    float areaTotal = 0.0f;         // luminous flux or total power
};

struct LiveReadouts {
    bool valid = false;
    DisplayMode mode = DisplayMode::Scope;
    bool calibratedAxis = false;
    double peakX = 0.0; // pixel number from 1, or wavelength in nm
    float peakValue = 0.0f;
    bool cursorShown = false;
    double cursorX = 0.0;
    float cursorValue = 0.0f;
    std::string statistics;  // "B=%.2f M=%.2f R=%.2f "
    std::string triggerTime; // arrival of the last triggered scan
    std::uint64_t scans = 0;
    std::optional<PhotometryReadout> photometry; // absolute irradiance only
};

class ScopeWorker : private PassListener {
public:
    ScopeWorker(DataControl &control, const CScopeGraph &graph, WorkerSink &sink);
    ~ScopeWorker();
    ScopeWorker(const ScopeWorker &) = delete;
    ScopeWorker &operator=(const ScopeWorker &) = delete;

    // Sets the running and loop bits and starts the thread. Priority 1 runs
    // it at normal priority, anything else one step below.
    void start(int prioritySetting) { worker_.start(prioritySetting); }
    // Hold, let the pass end, clear the loop bit, join, lift the hold.
    void stop() { worker_.stop(); }
    bool running() const { return worker_.running(); }

    bool internalLamp() const { return internalLamp_.load(); }
    bool externalLamp() const { return externalLamp_.load(); }
    LiveReadouts readouts() const;
    std::uint64_t passCount() const { return worker_.passCount(); }
    std::uint64_t framesDrawn() const { return frames_.load(); }
    // Time-line frames drawn while recording ("Display while recording").
    std::uint64_t recordedFramesDrawn() const { return recordedDrawn_.load(); }

private:
    // The passes, on the worker thread.
    void passHeld(bool drawingSuspended) override;
    void scanStarting(const PassReport &report) override;
    void scanFinished(const PassReport &report) override;
    void workerStopping() override;

    void draw(bool freshScan);
    void drawRecordedFrame();
    QImage &freeImage(int width, int height);
    void noteReadouts();
    double positionOf(std::size_t index) const;
    void setInternalLamp(bool on);
    void setExternalLamp(bool on);

    DataControl &control_;
    const CScopeGraph &graph_;
    WorkerSink &sink_;

    GraphRenderer renderer_;
    GraphSnapshot snapshot_;
    bool haveSnapshot_ = false;
    // Three pictures, so one is always free while the interface shows one
    // and another waits in its queue.
    std::array<QImage, 3> images_;

    std::atomic<bool> internalLamp_{false};
    std::atomic<bool> externalLamp_{false};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<std::uint64_t> recordedDrawn_{0};
    RecordedSpectrum recorded_;
    mutable std::mutex readoutsMutex_;
    LiveReadouts readouts_;
    // Last: its thread calls the listener above and is joined first.
    AcquisitionWorker worker_;
};

} // namespace quillon

#endif
