// The irradiance steps of quillon: `irradiance-calibrate` calibrates the
// unit against the reference lamp of "OVlamp.txt", `totals` measures the
// photometric totals and the colour temperature of the light.
#ifndef QUILLON_APP_CLI_IRRADIANCE_STEPS_H
#define QUILLON_APP_CLI_IRRADIANCE_STEPS_H

#include "cli/command_line.h"
#include "datacontrol/data_control.h"

#include <string>
#include <string_view>

namespace quillon::cli {

std::string checkDistance(std::string_view text);
// The value column of a scan in the irradiance mode: its unit.

bool runIrradianceCalibrate(Session &s, const StepCall &call);
bool runTotals(Session &s, const StepCall &call);

} // namespace quillon::cli

#endif
