// Texts of the "Peak Data" table: column headings by x unit and display
// mode, one row per peak, and the table as clipboard text or CSV. No Qt.
#ifndef QUILLON_APP_SHELL_PEAK_TABLE_TEXTS_H
#define QUILLON_APP_SHELL_PEAK_TABLE_TEXTS_H

#include "analysis/peak_finder.h"
#include "shell/view_range.h"

#include <span>
#include <string>
#include <vector>

namespace quillon {

struct PeakTableContext {
    bool gridData = false; // positions are wavelengths on the grid
    GraphXUnit xUnit = GraphXUnit::Pixel;
    GraphMode mode = GraphMode::Scope;
    bool relativeIrradiance = false;
    std::span<const float> wavelengthTable; // per active pixel
};

// "No", the position heading, the intensity heading, "FWHM(nm)", "Note".
std::vector<std::string> peakTableHeadings(const PeakTableContext &context);

// The cells of peak `number` (from 1) in the order of the headings. An
// unmeasured width reads "–"; a peak over saturated pixels says so.
std::vector<std::string> peakTableRow(const PeakTableContext &context, int number,
                                      const analysis::Peak &peak);

// Headings and rows, cells trimmed: tab-separated (the clipboard) or
// comma-separated (a CSV file, with the dash of an unmeasured width empty).
std::string peakTableText(const PeakTableContext &context, std::span<const analysis::Peak> peaks,
                          char separator);

inline constexpr const char *kNotMeasured = "\u2013";
inline constexpr const char *kSaturatedNote = "saturated";

} // namespace quillon

#endif
