#include "analysis/record_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon::analysis {

std::int64_t minimumIntervalMs(int timeAverage, std::int64_t integrationTime, bool hundredths) {
    std::int64_t frameMs = integrationTime;
    if (hundredths) {
        frameMs = std::max<std::int64_t>(integrationTime / 100, 1);
    }
    const std::int64_t frames = std::max(timeAverage, 1);
    return std::max<std::int64_t>(frames * frameMs, 1);
}

std::int64_t intervalMs(std::int64_t editValue, bool seconds) {
    return seconds ? editValue * 1000 : editValue;
}

bool recordComplete(const RecordSettings &settings, WallTime now, std::int64_t frameCount) {
    if (settings.stopMode == StopMode::AtEndTime) {
        return now >= settings.endTime;
    }
    return frameCount >= settings.frameLimit;
}

std::size_t frameNumberText(std::int64_t frame, std::array<char, 24> &out) {
    const int n = std::snprintf(out.data(), out.size(), "%04lld", static_cast<long long>(frame));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void LatenessHistogram::add(std::chrono::nanoseconds lateness) {
    const std::int64_t ns = std::max<std::int64_t>(lateness.count(), 0);
    const auto step = std::min<std::size_t>(static_cast<std::size_t>(ns / kStepNs), kSteps - 1);
    ++steps[step];
    ++total;
    worst = std::max(worst, std::chrono::nanoseconds(ns));
}

std::chrono::nanoseconds LatenessHistogram::quantile(double q) const {
    if (total == 0) {
        return std::chrono::nanoseconds(0);
    }
    const auto wanted =
        static_cast<std::uint64_t>(std::ceil(std::clamp(q, 0.0, 1.0) * static_cast<double>(total)));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < kSteps; ++i) {
        seen += steps[i];
        if (seen >= std::max<std::uint64_t>(wanted, 1)) {
            if (i == kSteps - 1) {
                return worst; // the last step holds everything later
            }
            return std::min(std::chrono::nanoseconds(static_cast<std::int64_t>(i + 1) * kStepNs),
                            worst);
        }
    }
    return worst;
}

} // namespace quillon::analysis
