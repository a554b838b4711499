// The time-line step of quillon: `record` takes scans at a fixed interval
// into a scan data file with the recorder the window uses.
#ifndef QUILLON_APP_CLI_RECORD_STEPS_H
#define QUILLON_APP_CLI_RECORD_STEPS_H

#include "cli/command_line.h"

#include <string>
#include <string_view>

namespace quillon::cli {

std::string checkInterval(std::string_view text);
std::string checkFrameLimit(std::string_view text);
std::string checkTimeOfDay(std::string_view text);
std::string checkSeconds(std::string_view text);

bool runRecord(Session &s, const StepCall &call);

} // namespace quillon::cli

#endif
