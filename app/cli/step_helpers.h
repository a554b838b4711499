// Small checks that several step handlers share.
#ifndef QUILLON_APP_CLI_STEP_HELPERS_H
#define QUILLON_APP_CLI_STEP_HELPERS_H

#include "cli/session.h"
#include "datacontrol/scan_rules.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon::cli {

// False (with the reason) in the no-device mode.
bool refuseWithoutUnit(Session &s, const StepCall &call);
bool inMemoryMode(const Session &s);
// A whole or real number that is the whole text.
std::optional<long> wholeNumber(std::string_view text);
std::optional<double> realNumber(std::string_view text);

} // namespace quillon::cli

#endif
