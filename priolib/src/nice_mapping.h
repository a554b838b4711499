#ifndef QUILLON_PRIOLIB_SRC_NICE_MAPPING_H
#define QUILLON_PRIOLIB_SRC_NICE_MAPPING_H

// How the priority tables sit on POSIX nice values where Windows is absent.
//
// Windows gives a thread a priority relative to its process class. Linux keeps
// one nice value per thread and no process-wide value at all. So each process
// class owns a band of seven nice values around its base, one per thread
// index, and the bands do not overlap: a thread's nice value alone tells both
// its class and its relative thread priority. Setting the class moves every
// thread of the process into the new band at the same relative step; the class
// is read back from the process's leader thread. Values between the bands
// belong to no class (like ABOVE_NORMAL_PRIORITY_CLASS, which the table lacks).
//
//   class     base  band         thread index 0 (idle) ... 6 (time critical)
//   idle       16   19 .. 13
//   normal      0    3 .. -3
//   high       -8   -5 .. -11
//   realtime  -17  -14 .. -20

#include <array>
#include <cstdint>
#include <optional>

namespace quillon::prio32 {

inline constexpr int kMinNice = -20;
inline constexpr int kMaxNice = 19;

inline constexpr std::array<int, 4> kClassBaseNice{16, 0, -8, -17};

// Higher thread priority means a lower nice value.
inline constexpr std::array<int, 7> kThreadNiceOffset{3, 2, 1, 0, -1, -2, -3};

inline constexpr std::uint32_t kNormalClassIndex = 1;
inline constexpr std::uint32_t kNormalThreadIndex = 3;

constexpr int niceFor(std::uint32_t classIndex, std::uint32_t threadIndex) {
    return kClassBaseNice.at(classIndex) + kThreadNiceOffset.at(threadIndex);
}

struct NiceLevel {
    std::uint32_t classIndex;
    std::uint32_t threadIndex;
};

constexpr std::optional<std::uint32_t> threadIndexInClass(std::uint32_t classIndex, int nice) {
    for (std::uint32_t t = 0; t < kThreadNiceOffset.size(); ++t) {
        if (niceFor(classIndex, t) == nice) {
            return t;
        }
    }
    return std::nullopt;
}

constexpr std::optional<NiceLevel> decodeNice(int nice) {
    for (std::uint32_t c = 0; c < kClassBaseNice.size(); ++c) {
        if (auto t = threadIndexInClass(c, nice)) {
            return NiceLevel{c, *t};
        }
    }
    return std::nullopt;
}

constexpr bool everyLevelDistinctAndInRange() {
    for (std::uint32_t c = 0; c < kClassBaseNice.size(); ++c) {
        for (std::uint32_t t = 0; t < kThreadNiceOffset.size(); ++t) {
            const int nice = niceFor(c, t);
            if (nice < kMinNice || nice > kMaxNice) {
                return false;
            }
            const auto level = decodeNice(nice);
            if (!level || level->classIndex != c || level->threadIndex != t) {
                return false;
            }
        }
    }
    return true;
}

static_assert(everyLevelDistinctAndInRange());
static_assert(niceFor(kNormalClassIndex, kNormalThreadIndex) == 0,
              "an untouched process must read as normal class, normal thread");

} // namespace quillon::prio32

#endif // QUILLON_PRIOLIB_SRC_NICE_MAPPING_H
