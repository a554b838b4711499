#include "cli/record_steps.h"

#include "cli/session.h"
#include "cli/step_helpers.h"
#include "datafiles/scan_data_file.h"
#include "platform/files.h"
#include "platform/local_time.h"

#include <charconv>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <mutex>
#include <optional>

#ifndef _WIN32
#include <signal.h>
#endif

namespace quillon::cli {

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kMostIntervalMs = 24LL * 3600 * 1000;
constexpr std::int64_t kMostSeconds = 366LL * 24 * 3600;
constexpr auto kProgressPeriod = 1s;

std::optional<std::int64_t> number(std::string_view text) {
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string checkRange(std::string_view text, std::int64_t low, std::int64_t high,
                       const char *what) {
    const auto value = number(text);
    if (!value || *value < low || *value > high) {
        return std::string(what) + " from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not '" + std::string(text) + "'";
    }
    return {};
}

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

std::optional<TimeOfDay> timeOfDay(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto h = number(text.substr(0, 2));
    const auto m = number(text.substr(3, 2));
    const auto s = number(text.substr(6, 2));
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59 || *h < 0 || *m < 0 || *s < 0) {
        return std::nullopt;
    }
    return TimeOfDay{static_cast<int>(*h), static_cast<int>(*m), static_cast<int>(*s)};
}

// The next moment at `time` of day (local) at or after `after`: a time that
// has passed today is tomorrow's.
analysis::WallTime nextAt(const TimeOfDay &time, analysis::WallTime after) {
    const std::time_t base = std::chrono::system_clock::to_time_t(after);
    const std::tm local = platform::localTime(base);
    for (int day = 0; day < 2; ++day) {
        std::tm wanted = local;
        wanted.tm_mday += day;
        wanted.tm_hour = time.hour;
        wanted.tm_min = time.minute;
        wanted.tm_sec = time.second;
        wanted.tm_isdst = -1;
        const auto at = std::chrono::system_clock::from_time_t(std::mktime(&wanted));
        if (at >= after - 1s) {
            return at;
        }
    }
    return after;
}

// Ctrl-C during a record asks it to end; the record's file stays valid.
volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) {
    interrupted = 1;
}

class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = 0;
#ifdef _WIN32
        // Ctrl-C and Ctrl-Break reach a console program as SIGINT and SIGBREAK.
        previousInt = std::signal(SIGINT, onInterrupt);
        previousBreak = std::signal(SIGBREAK, onInterrupt);
#else
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
#endif
    }
    ~InterruptGuard() {
#ifdef _WIN32
        std::signal(SIGINT, previousInt);
        std::signal(SIGBREAK, previousBreak);
#else
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
#endif
    }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
#ifdef _WIN32
    void (*previousInt)(int) = SIG_DFL;
    void (*previousBreak)(int) = SIG_DFL;
#else
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
#endif
};

class EndSignal : public RecordListener {
public:
    void scanStarting() override {}
    void frameWritten(std::int64_t) override {}
    void recordEnded() override {
        const std::lock_guard lock(m);
        ended = true;
        cv.notify_all();
    }
    // True when the record ended; false after `limit`.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, limit, [this] { return ended; });
    }

private:
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;
};

// The options as the recorder's set-up; empty `error` when they fit.
RecordSetup setupFrom(const Session &s, const StepCall &call, std::string &error) {
    RecordSetup setup;
    setup.name = platform::pathText(s.fileArgument(call.args[0]));
    setup.intervalValue = *number(call.option("--interval", "0"));
    const auto now = std::chrono::system_clock::now();
    setup.startTime =
        call.has("--start") ? nextAt(*timeOfDay(call.option("--start", "")), now) : now;
    if (!call.has("--interval")) {
        error = "--interval MS is needed";
        return setup;
    }
    const int ends = (call.has("--frames") ? 1 : 0) + (call.has("--until") ? 1 : 0) +
                     (call.has("--for") ? 1 : 0);
    if (ends != 1) {
        error = "give one of --frames, --until and --for";
        return setup;
    }
    if (call.has("--frames")) {
        setup.frameLimit = static_cast<std::int32_t>(*number(call.option("--frames", "1")));
    } else if (call.has("--until")) {
        setup.endTime = nextAt(*timeOfDay(call.option("--until", "")), setup.startTime);
    } else {
        setup.endTime = setup.startTime + std::chrono::seconds(*number(call.option("--for", "1")));
    }
    return setup;
}

} // namespace

std::string checkInterval(std::string_view text) {
    return checkRange(text, 1, kMostIntervalMs, "milliseconds");
}

std::string checkFrameLimit(std::string_view text) {
    return checkRange(text, analysis::kMinFrameLimit, analysis::kMaxFrameLimit, "a count");
}

std::string checkSeconds(std::string_view text) {
    return checkRange(text, 1, kMostSeconds, "seconds");
}

std::string checkTimeOfDay(std::string_view text) {
    return timeOfDay(text) ? std::string()
                           : "a time of day HH:MM:SS, not '" + std::string(text) + "'";
}

bool runRecord(Session &s, const StepCall &call) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    if (inMemoryMode(s)) {
        return s.fail(call, "memory mode: leave it first (memory-leave)");
    }
    std::string error;
    const RecordSetup setup = setupFrom(s, call, error);
    if (!error.empty()) {
        return s.fail(call, error);
    }
    TimeLineRecorder &recorder = s.dc.TimeLine();
    recorder.CancelPending();
    error = recorder.MakeReady(setup);
    if (!error.empty()) {
        return s.fail(call, error);
    }
    InterruptGuard guard;
    EndSignal end;
    const OpResult started = recorder.StartRecord(&end);
    if (started != OpResult::Done) {
        recorder.CancelPending();
        if (s.prompter.needsAnswer()) {
            return false;
        }
        return s.fail(call, started == OpResult::NotDone ? "the file was kept (answered No)"
                                                         : "the record did not start");
    }
    s.note("recording to " + platform::pathText(recorder.File()) + "; Ctrl-C ends the record");
    auto nextProgress = std::chrono::steady_clock::now() + kProgressPeriod;
    bool wasInterrupted = false;
    while (!end.waitFor(50ms)) {
        if (interrupted != 0) {
            wasInterrupted = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= nextProgress) {
            nextProgress += kProgressPeriod;
            const RecordProgress p = recorder.Progress();
            s.note("record: " + std::to_string(p.frames) + " frames, " +
                   std::to_string(p.missedTicks) + " ticks missed");
        }
    }
    (void)recorder.StopRecord(); // tells of lost frames and write errors itself
    const RecordProgress p = recorder.Progress();
    s.note("record: " + recorder.Summary());
    if (wasInterrupted) {
        return s.fail(call, "interrupted; the file keeps the " + std::to_string(p.frames) +
                                " frames written");
    }
    switch (p.end) {
    case RecordEnd::WriteFailed:
        return s.fail(call, "the file could not be written: " + recorder.EndError());
    case RecordEnd::UnitLost:
        return s.fail(call, "the unit gave no scan");
    default:
        return true;
    }
}

} // namespace quillon::cli
