#ifndef QUILLON_PRIOLIB_SRC_PLATFORM_PRIORITY_H
#define QUILLON_PRIOLIB_SRC_PLATFORM_PRIORITY_H

#include <cstdint>
#include <optional>

// The platform side of the exports. Indexes are already checked against the
// tables; implementations may throw (std::bad_alloc), the exports catch.
namespace quillon::prio32 {

bool applyProcessClass(std::uint32_t classIndex);
std::optional<std::uint32_t> currentProcessClass();
bool applyThreadPriority(std::uint32_t threadIndex);
std::optional<std::uint32_t> currentThreadPriority();

} // namespace quillon::prio32

#endif // QUILLON_PRIOLIB_SRC_PLATFORM_PRIORITY_H
