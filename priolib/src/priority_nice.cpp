// Process class and thread priority on nice values (see nice_mapping.h).

#include "nice_mapping.h"
#include "platform_priority.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace quillon::prio32 {
namespace {

// The id that setpriority(PRIO_PROCESS, id) takes for one thread. Linux keeps
// nice per thread and names threads by their tid; elsewhere nice belongs to
// the whole process and every thread shares it.
#ifdef __linux__
id_t callingThread() {
    return static_cast<id_t>(gettid());
}
id_t processLeader() {
    return static_cast<id_t>(getpid());
}
#else
id_t callingThread() {
    return 0;
}
id_t processLeader() {
    return 0;
}
#endif

std::optional<int> readNice(id_t thread) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0) {
        return std::nullopt;
    }
    return nice;
}

bool writeNice(id_t thread, int nice) {
    return setpriority(PRIO_PROCESS, thread, nice) == 0;
}

std::optional<id_t> parseThreadId(const std::string &name) {
    id_t id = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
    if (error != std::errc{} || end != name.data() + name.size()) {
        return std::nullopt;
    }
    return id;
}

std::vector<id_t> threadsOfProcess() {
    std::vector<id_t> threads;
#ifdef __linux__
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error)) {
        if (auto id = parseThreadId(it->path().filename().string())) {
            threads.push_back(*id);
        }
    }
#endif
    if (threads.empty()) {
        // No /proc: at least the leader (which carries the class) and the caller.
        threads = {processLeader(), callingThread()};
    }
    return threads;
}

std::optional<std::uint32_t> classOfThread(id_t thread) {
    const auto nice = readNice(thread);
    if (!nice) {
        return std::nullopt;
    }
    const auto level = decodeNice(*nice);
    if (!level) {
        return std::nullopt;
    }
    return level->classIndex;
}

struct NiceChange {
    id_t thread;
    int from;
    int to;
    bool raisesPriority() const { return to < from; }
};

// Each thread keeps its relative step; a thread outside every band starts at
// the normal step of the new class.
std::vector<NiceChange> planClassChange(std::uint32_t classIndex) {
    std::vector<NiceChange> changes;
    for (const id_t thread : threadsOfProcess()) {
        const auto nice = readNice(thread);
        if (!nice) {
            continue; // the thread has ended meanwhile
        }
        const auto level = decodeNice(*nice);
        const std::uint32_t threadIndex = level ? level->threadIndex : kNormalThreadIndex;
        changes.push_back({thread, *nice, niceFor(classIndex, threadIndex)});
    }
    return changes;
}

// The kernel's permission to lower a nice value depends only on the target
// value (CAP_SYS_NICE or RLIMIT_NICE), never on the thread. Trying the lowest
// target first means a refusal comes before any thread has moved, so a refused
// class change leaves the whole process as it was.
void orderRefusableFirst(std::vector<NiceChange> &changes) {
    std::stable_sort(changes.begin(), changes.end(), [](const NiceChange &a, const NiceChange &b) {
        if (a.raisesPriority() != b.raisesPriority()) {
            return a.raisesPriority();
        }
        return a.raisesPriority() && a.to < b.to;
    });
}

} // namespace

bool applyProcessClass(std::uint32_t classIndex) {
    auto changes = planClassChange(classIndex);
    orderRefusableFirst(changes);
    for (const NiceChange &change : changes) {
        if (change.to == change.from || writeNice(change.thread, change.to)) {
            continue;
        }
        if (errno != ESRCH) {
            return false;
        }
    }
    return true;
}

std::optional<std::uint32_t> currentProcessClass() {
    return classOfThread(processLeader());
}

bool applyThreadPriority(std::uint32_t threadIndex) {
    const id_t self = callingThread();
    const std::uint32_t classIndex =
        classOfThread(processLeader()).value_or(classOfThread(self).value_or(kNormalClassIndex));
    return writeNice(self, niceFor(classIndex, threadIndex));
}

std::optional<std::uint32_t> currentThreadPriority() {
    const auto nice = readNice(callingThread());
    if (!nice) {
        return std::nullopt;
    }
    // Relative to the process class, as on Windows; with no known class the
    // thread's own band decides.
    if (const auto classIndex = currentProcessClass()) {
        return threadIndexInClass(*classIndex, *nice);
    }
    const auto level = decodeNice(*nice);
    if (!level) {
        return std::nullopt;
    }
    return level->threadIndex;
}

} // namespace quillon::prio32
