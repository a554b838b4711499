// What the headless front ends (command line, scripting module) ask before
// and after a scan: which spectra the mode still needs, whether a scan that
// returned really measured, and the name of the quantity it holds. One place,
// so that both refuse the same scans for the same reasons.
#ifndef QUILLON_APP_DATACONTROL_SCAN_RULES_H
#define QUILLON_APP_DATACONTROL_SCAN_RULES_H

#include "datacontrol/data_control.h"

#include <string>

namespace quillon {

// A ratio without both spectra is zero everywhere; absolute irradiance
// needs only the dark.
enum class ScanNeed { Nothing, DarkAndReference, Dark };
ScanNeed scanNeed(const ChannelState &state);

// A scan that reports success can still have met a lost unit.
bool scanSucceeded(const DataControl &dc, ScanOutcome result);
// Why a scan did not succeed, for the operator.
std::string scanFailure(const DataControl &dc, ScanOutcome result);

// The quantity of the current mode as the tables name it: "scope", "tr",
// "absorbance", or the irradiance quantity with its unit.
std::string quantityName(const ChannelState &state);
// The unit of the values: "counts", "%", "AU", "uW/cm^2/nm" or "lux/nm".
std::string quantityUnit(const ChannelState &state);

} // namespace quillon

#endif
