#include "prio32.h"

#include "platform_priority.h"
#include "priority_tables.h"

#include <cstddef>
#include <optional>

namespace {

using namespace quillon::prio32;

// Nothing may escape through a C export.
template <typename Operation>
std::int32_t guarded(Operation operation) noexcept {
    try {
        return operation();
    } catch (...) {
        return 0;
    }
}

// An index beyond its table is refused before anything is touched.
template <typename Apply>
std::int32_t applyIndex(std::uint32_t index, std::size_t tableSize, Apply apply) {
    if (index >= tableSize) {
        return 0;
    }
    return guarded([&] { return apply(index) ? 1 : 0; });
}

std::int32_t storeIndex(const std::optional<std::uint32_t> &index, std::uint32_t *out) {
    if (!index || out == nullptr) {
        return 0;
    }
    *out = *index;
    return 1;
}

} // namespace

extern "C" {

PRIO32_API std::int32_t PRIO32_CALL Prio32AllowIO(void) {
    return 1;
}

PRIO32_API std::int32_t PRIO32_CALL Prio32SetPriorityClass(std::uint32_t processIndex) {
    return applyIndex(processIndex, kProcessClassValues.size(), applyProcessClass);
}

PRIO32_API std::int32_t PRIO32_CALL Prio32GetPriorityClass(std::uint32_t *processIndex) {
    return guarded([&] { return storeIndex(currentProcessClass(), processIndex); });
}

PRIO32_API std::int32_t PRIO32_CALL Prio32SetThreadPriority(std::uint32_t threadIndex) {
    return applyIndex(threadIndex, kThreadPriorityValues.size(), applyThreadPriority);
}

PRIO32_API std::int32_t PRIO32_CALL Prio32GetThreadPriority(std::uint32_t *threadIndex) {
    return guarded([&] { return storeIndex(currentThreadPriority(), threadIndex); });
}

PRIO32_API std::uint16_t PRIO32_CALL Prio32GetVersion(void) {
    return PRIO32_VERSION;
}

} // extern "C"
