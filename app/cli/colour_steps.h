// The colour steps of quillon: `colour` measures a sample's colour on the
// colour grid as the colour view does, `cct` the colour temperature of the
// light on the unit.
#ifndef QUILLON_APP_CLI_COLOUR_STEPS_H
#define QUILLON_APP_CLI_COLOUR_STEPS_H

#include "cli/command_line.h"

#include <string>
#include <string_view>

namespace quillon::cli {

std::string checkIlluminant(std::string_view text);
std::string checkObserver(std::string_view text);
std::string checkColourReference(std::string_view text);

bool runColour(Session &s, const StepCall &call);
bool runCct(Session &s, const StepCall &call);
// Writes the colour export file NAME.txt of one scan into the data folder.
bool runColourExport(Session &s, const StepCall &call);

} // namespace quillon::cli

#endif
