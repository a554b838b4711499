// Soak run: acquisition on a simulated bench in real-time timing, with the
// acquisition worker scanning for the whole run, while faults are injected
// at random moments (seeded; the seed is printed so a run can be repeated):
//
//   unplug    the current unit pulled for a few seconds and put back
//   fail      the next requests of a command byte or driver request fail
//   timeout   the next frame reads time out
//   trigger   external trigger for a few seconds without any trigger
//   setting   TimeAV, FFT, BinningAV or IntTime changed while the worker runs
//   darkref   a dark or reference scan, taken at once or left to the worker
//
// After each fault the program must recover within a bounded time: scans
// arrive again, the unit is not marked lost, and the settings (in the
// program and, for the integration time, in the unit) are the ones last
// set. Each fault is logged with the boxes the program showed and the
// outcome. Resident memory is logged every minute. The run ends with a
// summary; the exit code is 1 when a fault was not recovered or memory grew
// by more than 2 % between the end of the first minute and the end.
//
//   quillon_soak [--minutes M] [--seed N] [--bench FILE] [--recovery S]
//                [--warmup S] [--faults unplug,fail,timeout,trigger,setting,darkref]
//
// --warmup: seconds of plain scanning before the first fault (default 60);
// --faults: draw only from these kinds, to look at one kind closely.
//
// The program folder is a scratch folder under the temporary folder,
// removed at the end. SIGINT/SIGTERM end the run early with the summary.
#include "datacontrol/acquisition_worker.h"
#include "datacontrol/data_control.h"
#include "datacontrol/display_flags.h"
#include "datacontrol/sensors.h"
#include "datacontrol/settings_table.h"
#include "ovdbusbm.h"
#include "platform/prompter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillon;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

// Every line of the log starts with the time of day (UTC) and the seconds
// since the start of the run.
class Log {
public:
    explicit Log(Clock::time_point start) : begin(start) {}
    std::ostream &line() {
        const double t = std::chrono::duration<double>(Clock::now() - begin).count();
        std::cout << utcNow() << " +" << std::fixed << std::setprecision(1) << std::setw(7) << t
                  << "s  ";
        return std::cout;
    }

private:
    Clock::time_point begin;
};

// Records every box and answers it as an operator who clicks OK: Yes,
// Retry, the first sensor.
class RecordingPrompter final : public Prompter {
public:
    void message(const std::string &text) override { note("message: " + text); }
    bool askYesNo(const std::string &text) override {
        note("yes/no (answered Yes): " + text);
        return true;
    }
    AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override {
        note("abort/retry/ignore (answered Retry): " + text);
        return AbortRetryIgnore::Retry;
    }
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &entries) override {
        note("sensor choice (answered " + (entries.empty() ? std::string("none") : entries[0]) +
             "): " + title);
        if (entries.empty()) {
            return std::nullopt;
        }
        return 0;
    }
    std::vector<std::string> take() {
        std::lock_guard guard(lock);
        std::vector<std::string> out;
        out.swap(shown);
        return out;
    }

private:
    void note(std::string text) {
        std::lock_guard guard(lock);
        shown.push_back(std::move(text));
    }
    std::mutex lock;
    std::vector<std::string> shown;
};

// Counts the scans that gave a spectrum: a pass that found the unit lost
// also ends with scanFinished, so those are counted apart.
class ScanCounter final : public PassListener {
public:
    explicit ScanCounter(const DataControl &dataControl) : control(dataControl) {}
    void passHeld(bool) override { held.fetch_add(1); }
    void scanStarting(const PassReport &) override {}
    void scanFinished(const PassReport &) override {
        if (control.UnitDisconnected()) {
            lost.fetch_add(1);
        } else {
            scans.fetch_add(1);
        }
    }
    void workerStopping() override {}

    std::atomic<std::uint64_t> scans{0};
    std::atomic<std::uint64_t> lost{0};
    std::atomic<std::uint64_t> held{0};

private:
    const DataControl &control;
};

struct SimAnswer {
    int result = 0;
    std::string reply;
};

SimAnswer sim(const std::string &command) {
    std::array<char, 8192> reply{};
    const int result = ovSimCommand(command.c_str(), reply.data(), static_cast<int>(reply.size()));
    return {result, reply.data()};
}

// A number that follows `word` in the `show` reply of the unit.
std::optional<double> showNumber(int slot, const std::string &word) {
    const SimAnswer show = sim("show " + std::to_string(slot));
    if (show.result != 1) {
        return std::nullopt;
    }
    const std::string key = word + " ";
    std::size_t pos = 0;
    while ((pos = show.reply.find(key, pos)) != std::string::npos) {
        // The key at the start of a line or after ", ".
        if (pos == 0 || show.reply[pos - 1] == '\n' || show.reply[pos - 1] == ' ') {
            const char *start = show.reply.c_str() + pos + key.size();
            char *end = nullptr;
            const double value = std::strtod(start, &end);
            if (end != start) {
                return value;
            }
        }
        pos += key.size();
    }
    return std::nullopt;
}

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::string kib(std::size_t bytes) {
    return std::to_string(bytes / 1024) + " KiB";
}

enum class FaultKind { Unplug, Fail, Timeout, Trigger, Setting, DarkRef };
constexpr std::array<const char *, 6> kKindNames{"unplug",  "fail",    "timeout",
                                                 "trigger", "setting", "darkref"};

struct Options {
    double minutes = 60.0;
    std::uint64_t seed = 0;
    bool seedGiven = false;
    std::string bench;
    double recoverySeconds = 10.0;
    double warmUpSeconds = 60.0;
    std::vector<int> kinds; // the fault kinds to draw from; empty: all
};

std::optional<Options> parseOptions(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        try {
            if (arg == "--minutes" && hasValue) {
                options.minutes = std::stod(argv[++i]);
            } else if (arg == "--seed" && hasValue) {
                options.seed = std::stoull(argv[++i]);
                options.seedGiven = true;
            } else if (arg == "--bench" && hasValue) {
                options.bench = argv[++i];
            } else if (arg == "--recovery" && hasValue) {
                options.recoverySeconds = std::stod(argv[++i]);
            } else if (arg == "--warmup" && hasValue) {
                options.warmUpSeconds = std::stod(argv[++i]);
            } else if (arg == "--faults" && hasValue) {
                std::istringstream list(argv[++i]);
                std::string name;
                while (std::getline(list, name, ',')) {
                    const auto found = std::find_if(kKindNames.begin(), kKindNames.end(),
                                                    [&name](const char *k) { return name == k; });
                    if (found == kKindNames.end()) {
                        std::cerr << "quillon_soak: unknown fault kind '" << name << "'\n";
                        return std::nullopt;
                    }
                    options.kinds.push_back(static_cast<int>(found - kKindNames.begin()));
                }
            } else {
                std::cerr << "quillon_soak: unknown or incomplete option '" << arg << "'\n";
                return std::nullopt;
            }
        } catch (const std::exception &) {
            std::cerr << "quillon_soak: bad value for " << arg << "\n";
            return std::nullopt;
        }
    }
    if (!(options.minutes > 0.0) || !(options.recoverySeconds > 0.0)) {
        std::cerr << "quillon_soak: --minutes and --recovery must be positive\n";
        return std::nullopt;
    }
    return options;
}

struct Tally {
    int injected = 0;
    int recovered = 0;
    int notRecovered = 0;
    double worstRecovery = 0.0;
};

class Soak {
public:
    Soak(const Options &opts, Clock::time_point start)
        : options(opts), log(start), rng(opts.seed), counter(control) {}

    bool startUp(const std::filesystem::path &folder);
    void run(Clock::time_point end);
    int summary(Clock::time_point start);

private:
    void injectOne();
    void checkRecovery(FaultKind kind, const std::string &what, bool operationFailed);
    std::string settingsProblem();
    void logPrompts(const char *when);
    void logMemory(bool warmUpDone);
    void sleepFor(milliseconds time);
    int randomInt(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    Options options;
    Log log;
    std::mt19937_64 rng;
    RecordingPrompter prompter;
    DataControl control{prompter};
    ScanCounter counter;
    std::optional<AcquisitionWorker> worker;
    int slot = 0;
    std::map<std::string, std::string> expected; // settings as last set
    std::map<FaultKind, Tally> tallies;
    std::vector<std::string> failures;
    std::optional<std::size_t> memoryStart;
    std::size_t memoryEnd = 0;
    Clock::time_point nextMemoryLog;
    int minute = 0;
};

bool Soak::startUp(const std::filesystem::path &folder) {
    const std::string bench =
        options.bench.empty() ? std::string("bench default") : "bench load " + options.bench;
    const SimAnswer loaded = sim(bench);
    if (loaded.result != 1) {
        log.line() << "bench: " << loaded.reply << "\n";
        return false;
    }
    const SimAnswer list = sim("list");
    std::istringstream lines(list.reply);
    std::string text;
    while (std::getline(lines, text)) {
        int unitSlot = -1;
        if (std::sscanf(text.c_str(), "slot %d", &unitSlot) == 1) {
            // Real-time timing: a frame takes its integration time, as with a unit.
            const SimAnswer timing = sim("set " + std::to_string(unitSlot) + " timing realtime");
            if (timing.result != 1) {
                log.line() << "timing: " << timing.reply << "\n";
                return false;
            }
        }
    }
    log.line() << "program folder " << folder.string() << "\n" << sim("list").reply << "\n";

    const auto start = control.StartChannels(3);
    logPrompts("start-up");
    if (start.result != OpResult::Done || control.State().NoDeviceMode()) {
        log.line() << "start-up did not succeed\n";
        return false;
    }
    // The slot of the current channel: the one whose frame count moves.
    std::map<int, double> framesBefore;
    for (int s = 0; s < OV_MAX_CHANNELS; ++s) {
        if (const auto frames = showNumber(s, "frames")) {
            framesBefore[s] = *frames;
        }
    }
    if (control.AcquireScan() != ScanOutcome::Scanned) {
        log.line() << "first scan failed\n";
        return false;
    }
    slot = -1;
    for (const auto &[s, before] : framesBefore) {
        if (showNumber(s, "frames").value_or(before) > before) {
            slot = s;
        }
    }
    if (slot < 0) {
        log.line() << "no unit delivered the first frame\n";
        return false;
    }
    for (const char *key : {"TimeAV", "FFT", "BinningAV", "IntTime"}) {
        expected[key] = SettingsTable::Show(*SettingsTable::Find(key), control.State());
    }
    log.line() << control.State().channelCount << " unit(s); current channel "
               << control.State().currentChannel << " is slot " << slot << "; integration "
               << control.State().limits.current << " (limits " << control.State().limits.minimum
               << ".." << control.State().limits.maximum << ")\n";
    worker.emplace(control, &counter, milliseconds(50));
    worker->start();
    return true;
}

void Soak::logPrompts(const char *when) {
    for (const std::string &text : prompter.take()) {
        log.line() << "  prompt (" << when << ") " << text << "\n";
    }
}

void Soak::logMemory(bool warmUpDone) {
    const std::size_t rss = residentBytes();
    ++minute;
    log.line() << "memory minute " << minute << ": resident " << kib(rss) << ", scans "
               << counter.scans.load() << ", passes " << worker->passCount() << "\n";
    if (warmUpDone && !memoryStart) {
        memoryStart = rss;
    }
    memoryEnd = rss;
}

// Sleeps in short steps, so that the minute's memory line and a stop
// request are never late.
void Soak::sleepFor(milliseconds time) {
    const auto until = Clock::now() + time;
    while (Clock::now() < until && stopRequested == 0) {
        if (Clock::now() >= nextMemoryLog) {
            logMemory(true);
            nextMemoryLog += seconds(60);
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(milliseconds(100), until - Clock::now()));
    }
}

// What differs from the settings last set: in the program, and the
// integration time the unit holds.
std::string Soak::settingsProblem() {
    std::string problem;
    for (const auto &[key, value] : expected) {
        const std::string now = SettingsTable::Show(*SettingsTable::Find(key), control.State());
        if (now != value) {
            problem += " " + key + " is " + now + ", set " + value + ";";
        }
    }
    const std::int32_t current = control.State().limits.current;
    const double wanted =
        control.State().geometry.boardType == kBoardTcd1304 ? current / 100.0 : current;
    const auto unitTime = showNumber(slot, "integration");
    if (!unitTime || std::abs(*unitTime - wanted) > 1e-6) {
        problem += " the unit integrates " +
                   (unitTime ? std::to_string(*unitTime) : std::string("?")) + " ms, wanted " +
                   std::to_string(wanted) + " ms;";
    }
    return problem;
}

// Recovered: within the recovery time at least three scans with a spectrum,
// the unit not marked lost, the settings as set, the unit in internal
// trigger.
void Soak::checkRecovery(FaultKind kind, const std::string &what, bool operationFailed) {
    Tally &tally = tallies[kind];
    ++tally.injected;
    const auto begin = Clock::now();
    const auto limit = begin + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(options.recoverySeconds));
    const std::uint64_t scansBefore = counter.scans.load();
    const double framesBefore = showNumber(slot, "frames").value_or(0.0);
    bool recovered = false;
    std::string problem;
    while (true) {
        const bool scanning = counter.scans.load() >= scansBefore + 3 &&
                              showNumber(slot, "frames").value_or(0.0) > framesBefore;
        problem.clear();
        if (!scanning) {
            problem += " scans " + std::to_string(counter.scans.load() - scansBefore) +
                       " since the fault;";
        }
        if (control.UnitDisconnected()) {
            problem += " unit marked lost;";
        }
        const SimAnswer show = sim("show " + std::to_string(slot));
        if (show.reply.find("trigger internal") == std::string::npos) {
            problem += " unit not in internal trigger;";
        }
        problem += settingsProblem();
        if (problem.empty()) {
            recovered = true;
            break;
        }
        if (Clock::now() >= limit) {
            break;
        }
        std::this_thread::sleep_for(milliseconds(50));
    }
    const double took = std::chrono::duration<double>(Clock::now() - begin).count();
    logPrompts(kKindNames[static_cast<std::size_t>(kind)]);
    if (operationFailed) {
        problem += " the operation reported a failure;";
    }
    if (recovered && !operationFailed) {
        ++tally.recovered;
        tally.worstRecovery = std::max(tally.worstRecovery, took);
        log.line() << "  recovered in " << std::setprecision(2) << took << " s\n";
    } else {
        ++tally.notRecovered;
        std::ostringstream line;
        line << kKindNames[static_cast<std::size_t>(kind)] << " (" << what << "):" << problem;
        failures.push_back(line.str());
        log.line() << "  NOT RECOVERED after " << std::setprecision(2) << took << " s:" << problem
                   << "\n";
    }
}

void Soak::injectOne() {
    logPrompts("between faults");
    const std::string s = std::to_string(slot);
    const int drawn = options.kinds.empty() ? randomInt(0, 5)
                                            : options.kinds[static_cast<std::size_t>(randomInt(
                                                  0, static_cast<int>(options.kinds.size()) - 1))];
    const auto kind = static_cast<FaultKind>(drawn);
    const char *name = kKindNames[static_cast<std::size_t>(kind)];
    bool failed = false;
    std::string what;
    switch (kind) {
    case FaultKind::Unplug: {
        const int away = randomInt(500, 5000);
        what = "unplugged for " + std::to_string(away) + " ms";
        log.line() << "fault " << name << ": " << what << "\n";
        failed = sim("unplug " + s).result != 1;
        sleepFor(milliseconds(away));
        failed = sim("replug " + s).result != 1 || failed;
        break;
    }
    case FaultKind::Fail: {
        static constexpr std::array<const char *, 3> kCodes{"0x02", "0x0022204E", "0x01"};
        const char *code = kCodes[static_cast<std::size_t>(randomInt(0, 2))];
        const int count = randomInt(1, 3);
        what = "fail " + std::string(code) + " x" + std::to_string(count);
        log.line() << "fault " << name << ": " << what << "\n";
        const SimAnswer answer = sim("fail " + s + " " + code + " " + std::to_string(count));
        failed = answer.result != 1;
        break;
    }
    case FaultKind::Timeout: {
        const int count = randomInt(1, 2);
        what = std::to_string(count) + " frame read(s) time out";
        log.line() << "fault " << name << ": " << what << "\n";
        failed = sim("timeout " + s + " " + std::to_string(count)).result != 1;
        break;
    }
    case FaultKind::Trigger: {
        const int wait = randomInt(1000, 6000);
        what = "external trigger for " + std::to_string(wait) + " ms without triggers";
        log.line() << "fault " << name << ": " << what << "\n";
        const int channel = control.State().currentChannel;
        const bool held = control.SuspendAcquisition(HoldBy::Change);
        failed = !held || ovSetTrgEx(OV_TRIGGER_EXTERNAL, channel) < 0;
        control.SetOption(option_bits::kExternalTrigger, true);
        control.ResumeAcquisition(HoldBy::Change);
        const std::uint64_t before = counter.scans.load();
        sleepFor(milliseconds(wait));
        const std::uint64_t during = counter.scans.load() - before;
        if (during > 1) { // one scan may have been under way at the switch
            log.line() << "  " << during << " scans without a trigger\n";
            failed = true;
        }
        // Two triggers must give scans before the unit goes back to its own timing.
        const std::uint64_t triggered = counter.scans.load();
        failed = sim("trigger " + s + " 2").result != 1 || failed;
        const auto limit = Clock::now() + seconds(5);
        while (counter.scans.load() < triggered + 2 && Clock::now() < limit) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        log.line() << "  " << (counter.scans.load() - triggered) << " scan(s) from 2 triggers\n";
        const bool heldBack = control.SuspendAcquisition(HoldBy::Change);
        failed = !heldBack || ovSetTrgEx(OV_TRIGGER_INTERNAL, channel) < 0 || failed;
        control.SetOption(option_bits::kExternalTrigger, false);
        control.ResumeAcquisition(HoldBy::Change);
        break;
    }
    case FaultKind::Setting: {
        std::string key;
        std::string value;
        switch (randomInt(0, 3)) {
        case 0:
            key = "TimeAV";
            value = std::to_string(randomInt(1, 5));
            break;
        case 1:
            key = "FFT";
            value = std::to_string(randomInt(0, 60));
            break;
        case 2:
            key = "BinningAV";
            value = std::to_string(randomInt(0, 5));
            break;
        default: {
            const auto &limits = control.State().limits;
            const bool tcd = control.State().geometry.boardType == kBoardTcd1304;
            // Short enough that a time-averaged pass stays well inside the recovery time.
            const int low = std::max(limits.minimum, tcd ? 1000 : 10);
            const int high = std::min(limits.maximum, tcd ? 20000 : 200);
            key = "IntTime";
            value = std::to_string(randomInt(low, std::max(low, high)));
            break;
        }
        }
        what = key + "=" + value;
        log.line() << "fault " << name << ": " << what << " while the worker runs\n";
        const std::string error = control.ApplySetting(key, value);
        if (!error.empty()) {
            log.line() << "  ApplySetting: " << error << "\n";
            failed = true;
        } else {
            expected[key] = value;
        }
        break;
    }
    case FaultKind::DarkRef: {
        switch (randomInt(0, 2)) {
        case 0:
            what = "TakeDarkScan";
            failed = control.TakeDarkScan() != OpResult::Done ||
                     !control.State().flags.status.test(status_bits::kDarkReady);
            break;
        case 1:
            what = "TakeReferenceScan";
            failed = control.TakeReferenceScan() != OpResult::Done ||
                     !control.State().flags.status.test(status_bits::kReferenceReady);
            break;
        default:
            what = "RequestDarkScan (taken by the worker)";
            failed = !control.RequestDarkScan();
            break;
        }
        log.line() << "fault " << name << ": " << what << (failed ? " failed" : " done") << "\n";
        break;
    }
    }
    checkRecovery(kind, what, failed);
}

void Soak::run(Clock::time_point end) {
    nextMemoryLog = Clock::now() + seconds(60);
    const auto warmUpEnd = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(options.warmUpSeconds));
    // The first minute only scans: the memory at its end is the baseline.
    while (Clock::now() < std::min(warmUpEnd, end) && stopRequested == 0) {
        sleepFor(milliseconds(200));
    }
    while (Clock::now() < end && stopRequested == 0) {
        const auto pause = milliseconds(randomInt(3000, 20000));
        sleepFor(std::chrono::duration_cast<milliseconds>(
            std::min<Clock::duration>(pause, end - Clock::now())));
        if (Clock::now() >= end || stopRequested != 0) {
            break;
        }
        injectOne();
    }
    logPrompts("end");
    // The last figure is taken with the worker still running, like the
    // minute lines and the first minute's baseline.
    memoryEnd = residentBytes();
    log.line() << "memory at the end: resident " << kib(memoryEnd) << "\n";
    if (!memoryStart) {
        memoryStart = memoryEnd; // a run shorter than its first minute
    }
    worker->stop();
}

int Soak::summary(Clock::time_point start) {
    const double minutes = std::chrono::duration<double>(Clock::now() - start).count() / 60.0;
    int injected = 0;
    int recovered = 0;
    int notRecovered = 0;
    std::cout << "\n== soak summary ==\n";
    std::cout << "seed " << options.seed << ", ran " << std::setprecision(1) << minutes << " min"
              << (stopRequested != 0 ? " (stopped early)" : "") << ", recovery limit "
              << options.recoverySeconds << " s\n";
    std::cout << "scans " << counter.scans.load() << ", passes without the unit "
              << counter.lost.load() << ", held passes " << counter.held.load() << "\n";
    std::cout << "kind      injected  recovered  not recovered  slowest recovery\n";
    for (std::size_t k = 0; k < kKindNames.size(); ++k) {
        const Tally &t = tallies[static_cast<FaultKind>(k)];
        std::cout << std::left << std::setw(10) << kKindNames[k] << std::right << std::setw(8)
                  << t.injected << std::setw(11) << t.recovered << std::setw(15) << t.notRecovered
                  << std::setw(15) << std::setprecision(2) << t.worstRecovery << " s\n";
        injected += t.injected;
        recovered += t.recovered;
        notRecovered += t.notRecovered;
    }
    std::cout << "all       " << std::setw(8) << injected << std::setw(11) << recovered
              << std::setw(15) << notRecovered << "\n";
    const std::size_t base = memoryStart.value_or(memoryEnd);
    const double growth =
        base == 0 ? 0.0
                  : 100.0 * (static_cast<double>(memoryEnd) - static_cast<double>(base)) /
                        static_cast<double>(base);
    std::cout << "memory after the first minute " << kib(base) << ", at the end " << kib(memoryEnd)
              << ", growth " << std::setprecision(2) << growth << " %\n";
    for (const std::string &failure : failures) {
        std::cout << "not recovered: " << failure << "\n";
    }
    const bool ok = notRecovered == 0 && growth <= 2.0;
    std::cout << (ok ? "PASS" : "FAIL") << "\n";
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    const auto parsed = parseOptions(argc, argv);
    if (!parsed) {
        std::cerr << "usage: quillon_soak [--minutes M] [--seed N] [--bench FILE] [--recovery S]\n"
                     "       [--warmup S] [--faults KIND,...]\n";
        return 2;
    }
    Options options = *parsed;
    if (!options.seedGiven) {
        options.seed = std::random_device{}();
    }
    if (!options.bench.empty()) {
        options.bench = std::filesystem::absolute(options.bench).string();
    }
    std::cout << std::unitbuf; // the log is read while the run goes on
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    setenv("OV_DRIVER", "sim", 1);

    const auto folder =
        std::filesystem::temp_directory_path() / ("quillon-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);

    const auto start = Clock::now();
    std::cout << "quillon_soak: " << options.minutes << " min, seed " << options.seed << ", bench "
              << (options.bench.empty() ? "default" : options.bench) << ", started " << utcNow()
              << " UTC" << std::endl;
    int code = 2;
    {
        Soak soak(options, start);
        if (soak.startUp(folder)) {
            soak.run(start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(options.minutes * 60.0)));
            code = soak.summary(start);
        }
    }
    std::error_code ignored;
    std::filesystem::current_path(folder.parent_path(), ignored);
    std::filesystem::remove_all(folder, ignored);
    return code;
}
