// The rules of a time-line record that need no measurement state: the
// record settings, the shortest interval a unit can keep, when a record
// stops, and the texts of a frame.
#ifndef QUILLON_APP_ANALYSIS_RECORD_RULES_H
#define QUILLON_APP_ANALYSIS_RECORD_RULES_H

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quillon::analysis {

using WallTime = std::chrono::system_clock::time_point;

enum class StopMode : std::int32_t { AtEndTime = 0, AfterFrameLimit = 1 };

inline constexpr std::int32_t kMinFrameLimit = 1;
inline constexpr std::int32_t kMaxFrameLimit = 9999999;

// What a record made ready carries (the frame count is the recorder's).
struct RecordSettings {
    std::filesystem::path file; // folder, name without its extension, ".sdf"
    WallTime startTime;         // no frame before it
    WallTime endTime;           // end-time mode: the record stops at it
    std::chrono::milliseconds interval{0};
    std::int32_t frameLimit = 1; // count mode
    StopMode stopMode = StopMode::AfterFrameLimit;
};

// A scan takes time average x integration time: a shorter interval cannot be
// kept. The integration time of a unit counting in hundredths of a
// millisecond is divided by 100 and taken as at least 1 ms. Never below 1 ms.
std::int64_t minimumIntervalMs(int timeAverage, std::int64_t integrationTime, bool hundredths);

// The interval the dialog's edit stands for: seconds or milliseconds.
std::int64_t intervalMs(std::int64_t editValue, bool seconds);

// Whether the record is complete before frame `frameCount + 1` would be taken.
bool recordComplete(const RecordSettings &settings, WallTime now, std::int64_t frameCount);

// "%04d": "0001" for the first frame; beyond 9999 the number simply grows.
// The text goes into `out` (NUL-terminated); its length is returned.
std::size_t frameNumberText(std::int64_t frame, std::array<char, 24> &out);

// Tick lateness in 10 us steps up to 100 ms (later ones in the last step),
// kept without allocating while a record runs.
class LatenessHistogram {
public:
    static constexpr std::int64_t kStepNs = 10'000;
    static constexpr std::size_t kSteps = 10'000;

    void add(std::chrono::nanoseconds lateness);
    std::uint64_t count() const { return total; }
    std::chrono::nanoseconds maximum() const { return worst; }
    // The upper edge of the step holding the fraction `q` (0..1) of the ticks.
    std::chrono::nanoseconds quantile(double q) const;

private:
    std::array<std::uint32_t, kSteps> steps{};
    std::uint64_t total = 0;
    std::chrono::nanoseconds worst{0};
};

} // namespace quillon::analysis

#endif
