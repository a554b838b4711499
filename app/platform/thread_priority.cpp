#include "platform/thread_priority.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace quillon::platform {

bool lowerCurrentThreadPriority() {
#if defined(_WIN32)
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL) != 0;
#elif defined(__linux__)
    // On Linux a nice value belongs to the thread, named by its id.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno != 0) {
        return false;
    }
    return setpriority(PRIO_PROCESS, tid, current + 1) == 0;
#else
    return false;
#endif
}

} // namespace quillon::platform
