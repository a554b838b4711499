#ifndef QUILLON_PRIOLIB_SRC_PRIORITY_TABLES_H
#define QUILLON_PRIOLIB_SRC_PRIORITY_TABLES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillon::prio32 {

// Windows priority class for each process index: IDLE_, NORMAL_, HIGH_ and
// REALTIME_PRIORITY_CLASS.
inline constexpr std::array<std::uint32_t, 4> kProcessClassValues{0x40, 0x20, 0x80, 0x100};

// Windows thread priority for each thread index: THREAD_PRIORITY_IDLE, _LOWEST,
// _BELOW_NORMAL, _NORMAL, _ABOVE_NORMAL, _HIGHEST and _TIME_CRITICAL.
inline constexpr std::array<std::int32_t, 7> kThreadPriorityValues{-15, -2, -1, 0, 1, 2, 15};

// First index holding the value, searched from index 0 upwards.
template <typename T, std::size_t N>
constexpr std::optional<std::uint32_t> indexOfValue(const std::array<T, N> &table, T value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i] == value) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return std::nullopt;
}

} // namespace quillon::prio32

#endif // QUILLON_PRIOLIB_SRC_PRIORITY_TABLES_H
