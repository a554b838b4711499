#include "shell/status_rules.h"

#include <algorithm>
#include <cstdio>

namespace quillon::status_rules {

std::int32_t steppedIntegrationTime(std::int32_t value, bool hundredths, Click click,
                                    std::int32_t minimum, std::int32_t maximum) {
    std::int32_t step = 1;
    if (hundredths) {
        // Whole milliseconds from 1 ms up; below that, steps of 0.01 ms.
        const std::int32_t wholeMs = value / 100;
        step = (click == Click::Left ? wholeMs > 0 : wholeMs > 1) ? 100 : 1;
    }
    const std::int64_t next =
        std::int64_t{value} + (click == Click::Left ? std::int64_t{step} : -std::int64_t{step});
    const std::int64_t upper = std::max(minimum, maximum);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(next, minimum, upper));
}

std::string integrationTimeText(std::int32_t value, bool hundredths) {
    char text[32];
    if (hundredths && value < 100) {
        std::snprintf(text, sizeof text, "%1.2f", value / 100.0);
    } else {
        std::snprintf(text, sizeof text, "%d", hundredths ? value / 100 : value);
    }
    return text;
}

int steppedTimeAverage(int value, Click click) {
    return std::clamp(value + (click == Click::Left ? 1 : -1), 1, kMaxTimeAverage);
}

int steppedBinning(int value, Click click) {
    return std::clamp(value + (click == Click::Left ? 1 : -1), 0, kMaxBinning);
}

int steppedSmoothing(int value, Click click) {
    const int next = value + (click == Click::Left ? 10 : -10);
    if (next > 100) {
        return 0;
    }
    if (next < 0) {
        return 100;
    }
    return next;
}

} // namespace quillon::status_rules
