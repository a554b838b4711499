// What a click on a value pane of the status bar does to its setting, and
// how the integration-time pane shows its value. No Qt.
#ifndef QUILLON_APP_SHELL_STATUS_RULES_H
#define QUILLON_APP_SHELL_STATUS_RULES_H

#include <cstdint>
#include <string>

namespace quillon::status_rules {

enum class Click { Left, Right };

inline constexpr int kMaxTimeAverage = 1000;
inline constexpr int kMaxBinning = 10;

// TCD1304 units hold the time in hundredths of a millisecond, all others in
// milliseconds. The result stays inside [minimum, maximum].
std::int32_t steppedIntegrationTime(std::int32_t value, bool hundredths, Click click,
                                    std::int32_t minimum, std::int32_t maximum);
std::string integrationTimeText(std::int32_t value, bool hundredths);

int steppedTimeAverage(int value, Click click); // 1 .. 1000
int steppedBinning(int value, Click click);     // 0 .. 10
int steppedSmoothing(int value, Click click);   // steps of 10, wrapping 100 <-> 0

} // namespace quillon::status_rules

#endif
