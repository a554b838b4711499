// The wavelength calibration step of quillon: `calibrate` takes a scan of
// an emission-line lamp, matches its peaks to the lines, shows how the
// points fit, and stores them as a custom set or in the unit.
#ifndef QUILLON_APP_CLI_CALIBRATE_STEPS_H
#define QUILLON_APP_CLI_CALIBRATE_STEPS_H

#include "cli/command_line.h"

#include <string>
#include <string_view>

namespace quillon::cli {

std::string checkLineSource(std::string_view text);
std::string checkCalibrationOrder(std::string_view text);
std::string checkLineTolerance(std::string_view text);

bool runCalibrate(Session &s, const StepCall &call);

} // namespace quillon::cli

#endif
