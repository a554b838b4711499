#include "cli/peak_table.h"

#include <string>
#include <vector>

namespace quillon::cli {

namespace {

std::vector<std::string> columnsFor(bool gridData) {
    std::vector<std::string> columns{"no"};
    if (!gridData) {
        columns.emplace_back("pixel");
    }
    for (const char *name :
         {"wavelength_nm", "wavenumber_cm-1", "intensity", "fwhm_nm", "saturated"}) {
        columns.emplace_back(name);
    }
    return columns;
}

// The cells of one row as text; JSON takes them as they are (numbers).
std::vector<std::string> cellsOf(int number, const analysis::Peak &peak, bool gridData,
                                 std::span<const float> table) {
    const PeakPlace place = peakPlace(peak, gridData, table);
    std::vector<std::string> cells{std::to_string(number)};
    if (!gridData) {
        cells.push_back(formatFloat(peak.position));
    }
    cells.push_back(formatFixed(place.wavelength, 3));
    cells.push_back(formatFixed(place.wavenumber, 2));
    cells.push_back(formatFloat(peak.intensity));
    cells.push_back(formatFixed(peak.fwhm, 3));
    cells.push_back(peak.saturated ? "1" : "0");
    return cells;
}

} // namespace

void writePeakTable(std::ostream &out, TableFormat format, std::span<const analysis::Peak> peaks,
                    bool gridData, std::span<const float> wavelengthTable, std::string_view mode) {
    const std::vector<std::string> columns = columnsFor(gridData);
    if (format == TableFormat::Json) {
        out << "{\"mode\":" << jsonString(mode)
            << ",\"base\":" << jsonString(gridData ? "wavelength" : "pixel") << ",\"columns\":[";
        for (std::size_t c = 0; c < columns.size(); ++c) {
            out << (c == 0 ? "" : ",") << jsonString(columns[c]);
        }
        out << "],\"rows\":[";
        for (std::size_t k = 0; k < peaks.size(); ++k) {
            const auto cells =
                cellsOf(static_cast<int>(k + 1), peaks[k], gridData, wavelengthTable);
            out << (k == 0 ? "[" : ",[");
            for (std::size_t c = 0; c < cells.size(); ++c) {
                out << (c == 0 ? "" : ",") << cells[c];
            }
            out << ']';
        }
        out << "]}\n";
        out.flush();
        return;
    }
    const char separator = format == TableFormat::Csv ? ',' : '\t';
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out << (c == 0 ? "" : std::string(1, separator)) << columns[c];
    }
    out << '\n';
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const auto cells = cellsOf(static_cast<int>(k + 1), peaks[k], gridData, wavelengthTable);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            out << (c == 0 ? "" : std::string(1, separator)) << cells[c];
        }
        out << '\n';
    }
    out.flush();
}

} // namespace quillon::cli
