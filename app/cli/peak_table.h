// The peak list on standard output: one row per peak with its number, its
// place in every x unit, its intensity, FWHM and saturation, as TSV, CSV or
// JSON in the shape of the scan tables.
#ifndef QUILLON_APP_CLI_PEAK_TABLE_H
#define QUILLON_APP_CLI_PEAK_TABLE_H

#include "analysis/peak_list.h"
#include "cli/table_output.h"

#include <ostream>
#include <span>
#include <string_view>

namespace quillon::cli {

void writePeakTable(std::ostream &out, TableFormat format, std::span<const analysis::Peak> peaks,
                    bool gridData, std::span<const float> wavelengthTable, std::string_view mode);

} // namespace quillon::cli

#endif
