// Prio32 on the nice-value stand-in. Every priority change happens in a forked
// child, so the test runner keeps its own priority whatever the outcome.

#include "nice_mapping.h"
#include "prio32.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>

namespace {

using quillon::prio32::decodeNice;
using quillon::prio32::niceFor;

constexpr std::uint32_t kUntouched = 0xDEADBEEF;

// Nice values between the bands of the tables.
constexpr int kForeignNice = 8;
constexpr int kForeignLeaderNice = -4;
static_assert(!decodeNice(kForeignNice) && !decodeNice(kForeignLeaderNice));
constexpr int kIdleBandNice = 16;
static_assert(decodeNice(kIdleBandNice)->classIndex == PRIO32_PROCESS_IDLE);

int niceOf(pid_t thread) {
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

// Collects what went wrong inside the child, to be reported by the parent.
class Findings {
public:
    void expect(bool condition, const std::string &what) {
        if (!condition) {
            text_ << what << '\n';
        }
    }
    template <typename A, typename B>
    void expectEq(const A &actual, const B &expected, const std::string &what) {
        if (!(actual == expected)) {
            text_ << what << ": got " << actual << ", expected " << expected << '\n';
        }
    }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
};

// Runs the check in a forked child and returns its findings (empty when all held).
std::string inChild(const std::function<void(Findings &)> &check) {
    int channel[2];
    if (pipe(channel) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child < 0) {
        return "fork failed";
    }
    if (child == 0) {
        close(channel[0]);
        Findings findings;
        check(findings);
        const std::string text = findings.text();
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = write(channel[1], text.data() + written, text.size() - written);
            if (n <= 0) {
                _exit(2);
            }
            written += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::string report;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
        report.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report += "child did not finish normally\n";
    }
    return report;
}

// A second thread of the process that runs what it is given, one call at a time.
class OtherThread {
public:
    OtherThread() : thread_([this] { loop(); }) {
        tid_ = call([] { return gettid(); });
    }
    ~OtherThread() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    OtherThread(const OtherThread &) = delete;
    OtherThread &operator=(const OtherThread &) = delete;

    pid_t tid() const { return tid_; }

    template <typename Function>
    std::invoke_result_t<Function> call(Function function) {
        std::invoke_result_t<Function> result{};
        run([&] { result = function(); });
        return result;
    }

private:
    void run(std::function<void()> task) {
        std::unique_lock lock(mutex_);
        task_ = std::move(task);
        wake_.notify_all();
        wake_.wait(lock, [this] { return !task_; });
    }
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || task_; });
            if (task_) {
                task_();
                task_ = nullptr;
                wake_.notify_all();
            } else if (stop_) {
                return;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> task_;
    bool stop_ = false;
    pid_t tid_ = 0;
    std::thread thread_;
};

// Leaves the child without CAP_SYS_NICE and without an RLIMIT_NICE allowance.
bool dropRightToRaisePriority() {
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NICE, &none) != 0) {
        return false;
    }
    if (geteuid() == 0) {
        const uid_t nobody = 65534;
        return setresgid(nobody, nobody, nobody) == 0 && setresuid(nobody, nobody, nobody) == 0;
    }
    return true;
}

void skipUnlessPrivileged() {
    if (geteuid() != 0) {
        GTEST_SKIP() << "raising a priority needs root";
    }
}

std::uint32_t processClass(Findings &findings) {
    std::uint32_t index = kUntouched;
    findings.expectEq(Prio32GetPriorityClass(&index), 1, "Prio32GetPriorityClass result");
    return index;
}

std::uint32_t threadPriority(Findings &findings) {
    std::uint32_t index = kUntouched;
    findings.expectEq(Prio32GetThreadPriority(&index), 1, "Prio32GetThreadPriority result");
    return index;
}

TEST(Prio32, AllowIOAndVersion) {
    const int before = niceOf(gettid());
    EXPECT_EQ(Prio32AllowIO(), 1);
    EXPECT_EQ(niceOf(gettid()), before);
    EXPECT_EQ(Prio32GetVersion(), 1346);
}

TEST(Prio32, IndexBeyondTableIsRefusedAndChangesNothing) {
    EXPECT_EQ(
        inChild([](Findings &f) {
            const int before = niceOf(gettid());
            for (const std::uint32_t index : {4u, 5u, std::numeric_limits<std::uint32_t>::max()}) {
                f.expectEq(Prio32SetPriorityClass(index), 0,
                           "class index " + std::to_string(index));
            }
            for (const std::uint32_t index : {7u, 8u, std::numeric_limits<std::uint32_t>::max()}) {
                f.expectEq(Prio32SetThreadPriority(index), 0,
                           "thread index " + std::to_string(index));
            }
            f.expectEq(niceOf(gettid()), before, "nice after refused indexes");
        }),
        "");
}

TEST(Prio32, NullOutPointerIsAFailureNotACrash) {
    EXPECT_EQ(Prio32GetPriorityClass(nullptr), 0);
    EXPECT_EQ(Prio32GetThreadPriority(nullptr), 0);
}

TEST(Prio32, EveryProcessClassReadsBackAsSet) {
    skipUnlessPrivileged();
    EXPECT_EQ(inChild([](Findings &f) {
                  for (std::uint32_t c = 0; c < PRIO32_PROCESS_COUNT; ++c) {
                      const std::string name = "class " + std::to_string(c);
                      f.expect(Prio32SetPriorityClass(c) != 0, name + " refused");
                      f.expectEq(processClass(f), c, name + " read back");
                      f.expectEq(threadPriority(f), PRIO32_THREAD_NORMAL, name + " thread step");
                      f.expectEq(niceOf(getpid()), niceFor(c, PRIO32_THREAD_NORMAL),
                                 name + " nice");
                  }
              }),
              "");
}

TEST(Prio32, EveryThreadPriorityReadsBackAsSetInEveryClass) {
    skipUnlessPrivileged();
    EXPECT_EQ(inChild([](Findings &f) {
                  for (std::uint32_t c = 0; c < PRIO32_PROCESS_COUNT; ++c) {
                      f.expect(Prio32SetPriorityClass(c) != 0, "class refused");
                      for (std::uint32_t t = 0; t < PRIO32_THREAD_COUNT; ++t) {
                          const std::string name =
                              "class " + std::to_string(c) + " thread " + std::to_string(t);
                          f.expect(Prio32SetThreadPriority(t) != 0, name + " refused");
                          f.expectEq(threadPriority(f), t, name + " read back");
                          f.expectEq(processClass(f), c, name + " class kept");
                      }
                  }
              }),
              "");
}

TEST(Prio32, ClassChangeKeepsEachThreadsRelativePriority) {
    skipUnlessPrivileged();
    EXPECT_EQ(inChild([](Findings &f) {
                  OtherThread worker;
                  f.expect(worker.call(
                               [] { return Prio32SetThreadPriority(PRIO32_THREAD_HIGHEST); }) != 0,
                           "worker step refused");
                  f.expect(Prio32SetPriorityClass(PRIO32_PROCESS_HIGH) != 0, "class refused");

                  f.expectEq(worker.call([&] { return threadPriority(f); }), PRIO32_THREAD_HIGHEST,
                             "worker step after class change");
                  f.expectEq(worker.call([&] { return processClass(f); }), PRIO32_PROCESS_HIGH,
                             "class seen by worker");
                  f.expectEq(niceOf(worker.tid()),
                             niceFor(PRIO32_PROCESS_HIGH, PRIO32_THREAD_HIGHEST), "worker nice");
                  f.expectEq(threadPriority(f), PRIO32_THREAD_NORMAL, "main thread step");
                  f.expectEq(niceOf(getpid()), niceFor(PRIO32_PROCESS_HIGH, PRIO32_THREAD_NORMAL),
                             "main thread nice");
              }),
              "");
}

TEST(Prio32, PriorityOutsideTheTablesReadsAsNotFound) {
    EXPECT_EQ(
        inChild([](Findings &f) {
            f.expectEq(setpriority(PRIO_PROCESS, 0, kForeignNice), 0, "setpriority");
            std::uint32_t classIndex = kUntouched;
            std::uint32_t threadIndex = kUntouched;
            f.expectEq(Prio32GetPriorityClass(&classIndex), 0, "class result");
            f.expectEq(classIndex, kUntouched, "class out value");
            f.expectEq(Prio32GetThreadPriority(&threadIndex), 0, "thread result");
            f.expectEq(threadIndex, kUntouched, "thread out value");

            // Lowering is always permitted, so this holds without privileges too.
            f.expect(Prio32SetPriorityClass(PRIO32_PROCESS_IDLE) != 0, "idle refused");
            f.expectEq(processClass(f), PRIO32_PROCESS_IDLE, "class after leaving foreign nice");
            f.expectEq(threadPriority(f), PRIO32_THREAD_NORMAL, "step after leaving foreign nice");
        }),
        "");
}

TEST(Prio32, ThreadOutsideItsClassBandReadsAsNotFound) {
    // Thread priorities are relative to the process class: a thread moved
    // into another class's band by hand has no step in this one.
    skipUnlessPrivileged();
    EXPECT_EQ(inChild([](Findings &f) {
                  f.expect(Prio32SetPriorityClass(PRIO32_PROCESS_NORMAL) != 0, "normal refused");
                  OtherThread worker;
                  f.expectEq(
                      setpriority(PRIO_PROCESS, static_cast<id_t>(worker.tid()), kIdleBandNice), 0,
                      "worker setpriority");
                  std::uint32_t index = kUntouched;
                  f.expectEq(worker.call([&] { return Prio32GetThreadPriority(&index); }), 0,
                             "worker result");
                  f.expectEq(index, kUntouched, "worker out value");
              }),
              "");
}

TEST(Prio32, RefusedRaiseIsReportedAndChangesNothing) {
    EXPECT_EQ(
        inChild([](Findings &f) {
            if (geteuid() == 0) {
                f.expect(Prio32SetPriorityClass(PRIO32_PROCESS_NORMAL) != 0, "normal refused");
            }
            f.expect(dropRightToRaisePriority(), "could not drop privileges");
            const int before = niceOf(gettid());
            for (const std::uint32_t c : {PRIO32_PROCESS_HIGH, PRIO32_PROCESS_REALTIME}) {
                f.expectEq(Prio32SetPriorityClass(c), 0, "raise to class " + std::to_string(c));
            }
            f.expectEq(Prio32SetThreadPriority(PRIO32_THREAD_TIME_CRITICAL), 0, "raise thread");
            f.expectEq(niceOf(gettid()), before, "nice after refusals");

            f.expect(Prio32SetPriorityClass(PRIO32_PROCESS_IDLE) != 0, "lowering refused");
            f.expectEq(Prio32SetPriorityClass(PRIO32_PROCESS_NORMAL), 0, "raise back to normal");
            f.expectEq(processClass(f), PRIO32_PROCESS_IDLE, "class after refusal");
        }),
        "");
}

TEST(Prio32, RefusedClassChangeMovesNoThread) {
    skipUnlessPrivileged();
    // The leader sits between the bands (its move would be a permitted
    // lowering), the worker in the idle band (its move a refused raise).
    EXPECT_EQ(
        inChild([](Findings &f) {
            OtherThread worker;
            f.expectEq(setpriority(PRIO_PROCESS, 0, kForeignLeaderNice), 0, "leader setpriority");
            f.expectEq(setpriority(PRIO_PROCESS, static_cast<id_t>(worker.tid()), kIdleBandNice), 0,
                       "worker setpriority");
            f.expect(dropRightToRaisePriority(), "could not drop privileges");

            f.expectEq(Prio32SetPriorityClass(PRIO32_PROCESS_NORMAL), 0, "class change result");
            f.expectEq(niceOf(getpid()), kForeignLeaderNice, "leader nice");
            f.expectEq(niceOf(worker.tid()), kIdleBandNice, "worker nice");
        }),
        "");
}

} // namespace
