// The steps of quillon: one table entry each (name, arguments, options,
// help, handler). Later steps (files, exports, time line, peaks) join the
// table in steps.cpp.
#ifndef QUILLON_APP_CLI_STEPS_H
#define QUILLON_APP_CLI_STEPS_H

#include "cli/command_line.h"

#include <span>
#include <string>
#include <string_view>

namespace quillon::cli {

std::span<const StepSpec> stepTable();

// An EEPROM text as a file gives it, made ready for the unit: line feeds
// only, no record separator or end marker inside. Empty `error` when good.
std::string eepromTextForUnit(std::string_view fileText, std::string &error);

} // namespace quillon::cli

#endif
