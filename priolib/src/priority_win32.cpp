#include "platform_priority.h"
#include "priority_tables.h"

#include <windows.h>

namespace quillon::prio32 {

bool applyProcessClass(std::uint32_t classIndex) {
    return SetPriorityClass(GetCurrentProcess(), kProcessClassValues[classIndex]) != 0;
}

std::optional<std::uint32_t> currentProcessClass() {
    const DWORD value = GetPriorityClass(GetCurrentProcess());
    return indexOfValue(kProcessClassValues, static_cast<std::uint32_t>(value));
}

bool applyThreadPriority(std::uint32_t threadIndex) {
    return SetThreadPriority(GetCurrentThread(), kThreadPriorityValues[threadIndex]) != 0;
}

std::optional<std::uint32_t> currentThreadPriority() {
    // THREAD_PRIORITY_ERROR_RETURN is in no table row, so a failure reads as "not found".
    const int value = GetThreadPriority(GetCurrentThread());
    return indexOfValue(kThreadPriorityValues, static_cast<std::int32_t>(value));
}

} // namespace quillon::prio32
