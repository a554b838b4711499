#include "platform/auto_reset_event.h"

namespace quillon {

void AutoResetEvent::set() {
    {
        const std::lock_guard lock(mutex);
        signalled = true;
    }
    changed.notify_one();
}

void AutoResetEvent::reset() {
    const std::lock_guard lock(mutex);
    signalled = false;
}

void AutoResetEvent::wait() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return signalled; });
    signalled = false;
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, timeout, [this] { return signalled; })) {
        return false;
    }
    signalled = false;
    return true;
}

} // namespace quillon
