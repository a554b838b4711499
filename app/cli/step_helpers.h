// Small checks that several step handlers share.
#ifndef QUILLON_APP_CLI_STEP_HELPERS_H
#define QUILLON_APP_CLI_STEP_HELPERS_H

#include "cli/session.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon::cli {

// False (with the reason) in the no-device mode.
bool refuseWithoutUnit(Session &s, const StepCall &call);
// A scan that reports success can still have met a lost unit.
bool scanSucceeded(const DataControl &dc, ScanOutcome result);
std::string scanFailure(const DataControl &dc, ScanOutcome result);
bool inMemoryMode(const Session &s);
// A whole or real number that is the whole text.
std::optional<long> wholeNumber(std::string_view text);
std::optional<double> realNumber(std::string_view text);

} // namespace quillon::cli

#endif
