// The main program's acquisition loop end to end: scan-and-draw passes per
// second with the event loop's lateness, time from start to the first drawn
// spectrum, and resident memory over a long run. Run with
// QT_QPA_PLATFORM=offscreen; QUILLON_BENCH_SECONDS sets the length of the
// memory run (default 120 s).
#include "datacontrol/simulated_units.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"
#include "shell/main_frame.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace quillon;

// A working folder and a bench for one measurement.
class Session {
public:
    explicit Session(const std::string &benchText) : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder_.path());
        setenv("OV_DRIVER", "sim", 1);
        ovCloseAllChannels();
        if (benchText.empty()) {
            runSimCommand("bench default");
        } else {
            const QString path = folder_.filePath("bench.ini");
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(benchText.c_str());
            file.close();
            runSimCommand("bench load " + path.toStdString());
        }
    }
    ~Session() {
        frame.reset();
        QDir::setCurrent(previous_);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    CMainFrame &start() {
        frame = CMainFrame::create(prompter);
        frame->resize(1920, 1080);
        frame->show();
        return *frame;
    }

    std::unique_ptr<CMainFrame> frame;

private:
    QTemporaryDir folder_;
    QString previous_;
    ScriptedPrompter prompter;
};

std::string tcdBench(const char *timing) {
    return std::string("[Unit]\nSlot=0\nSource=halogen 2856\nTiming=") + timing +
           "\nEeprom=[Factory Default]\nEeprom=Name=QX20-B1\nEeprom=CCD=TCD1304\n"
           "Eeprom=IntTime=100\nEeprom=[Cal Data]\nEeprom=PointCount=2\n"
           "Eeprom=Data 1=4000;500\nEeprom=Data 2=8000;3000\n";
}

bool waitForFirstFrame(CMainFrame &frame, int timeoutMs) {
    return QTest::qWaitFor([&] { return frame.scopeView().framesPresented() > 0; }, timeoutMs);
}

// Runs the event loop for `ms` while a 10 ms timer measures how late it fires.
double runAndMeasureLateness(int ms) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer ping;
    ping.setTimerType(Qt::PreciseTimer);
    ping.setInterval(10);
    QObject::connect(&ping, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last - 10);
        last = now;
    });
    last = clock.elapsed();
    ping.start();
    QTest::qWait(ms);
    ping.stop();
    return static_cast<double>(worst);
}

void scanAndDraw(benchmark::State &state, const char *timing) {
    Session session(tcdBench(timing));
    CMainFrame &frame = session.start();
    DataControl &dc = frame.dataControl();
    waitForFirstFrame(frame, 5000);
    // 1 ms integration (hundredths of a millisecond on this sensor).
    (void)dc.SetIntegrationTime(100);
    QTest::qWait(500);
    for (auto _ : state) {
        ScopeWorker &worker = frame.scopeView().worker();
        const std::uint64_t passes = worker.framesDrawn();
        const std::uint64_t shown = frame.scopeView().framesPresented();
        QElapsedTimer clock;
        clock.start();
        const double lateness = runAndMeasureLateness(3000);
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        state.counters["passes_per_s"] =
            static_cast<double>(worker.framesDrawn() - passes) / seconds;
        state.counters["shown_per_s"] =
            static_cast<double>(frame.scopeView().framesPresented() - shown) / seconds;
        state.counters["loop_late_ms_max"] = lateness;
    }
    state.counters["integration_ms"] = dc.State().limits.current / 100.0;
}

// A TCD1304 unit answering at full speed, 1 ms integration.
void BM_ScanAndDrawFastUnit(benchmark::State &state) {
    scanAndDraw(state, "fast");
}
BENCHMARK(BM_ScanAndDrawFastUnit)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same unit in real time: each frame takes its 1 ms integration.
void BM_ScanAndDrawRealtimeUnit(benchmark::State &state) {
    scanAndDraw(state, "realtime");
}
BENCHMARK(BM_ScanAndDrawRealtimeUnit)->Iterations(1)->Unit(benchmark::kMillisecond);

// From creating the main frame (channel start-up included) to the first
// spectrum on screen, with the default bench in real time. Includes the
// 300 ms pause before acquisition starts.
void BM_StartToFirstSpectrum(benchmark::State &state) {
    for (auto _ : state) {
        Session session("");
        QElapsedTimer clock;
        clock.start();
        CMainFrame &frame = session.start();
        const bool shown = waitForFirstFrame(frame, 10000);
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (!shown) {
            state.SkipWithError("no frame within 10 s");
        }
    }
}
BENCHMARK(BM_StartToFirstSpectrum)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Resident memory after a warm-up and at the end of a long run of the fast
// unit at 1 ms.
void BM_ResidentMemoryOverLongRun(benchmark::State &state) {
    const char *text = std::getenv("QUILLON_BENCH_SECONDS");
    const int seconds = text != nullptr ? std::max(10, std::atoi(text)) : 120;
    for (auto _ : state) {
        Session session(tcdBench("fast"));
        CMainFrame &frame = session.start();
        (void)frame.dataControl().SetIntegrationTime(100);
        QTest::qWait(5000);
        const double before = residentMegabytes();
        const std::uint64_t passes = frame.scopeView().worker().framesDrawn();
        QTest::qWait(seconds * 1000);
        const double after = residentMegabytes();
        state.counters["rss_start_MB"] = before;
        state.counters["rss_end_MB"] = after;
        state.counters["rss_growth_MB"] = after - before;
        state.counters["run_s"] = seconds;
        state.counters["passes"] =
            static_cast<double>(frame.scopeView().worker().framesDrawn() - passes);
    }
}
BENCHMARK(BM_ResidentMemoryOverLongRun)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
