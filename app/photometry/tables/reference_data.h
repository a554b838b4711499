// The published tables the shipped colour files are made from: CSV files
// with one header line and one row per wavelength (resources/data). A file
// that does not parse is refused with the file and line, never half read.
#ifndef QUILLON_APP_PHOTOMETRY_TABLES_REFERENCE_DATA_H
#define QUILLON_APP_PHOTOMETRY_TABLES_REFERENCE_DATA_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::colour::tables {

// Columns over a uniform wavelength axis: value(column, nm).
struct SpectralTable {
    int firstNm = 0;
    int stepNm = 1;
    std::vector<std::vector<double>> columns; // columns[c][row]

    int lastNm() const;
    bool covers(int nm) const;
    // The value at a wavelength on the axis; 0 off the table.
    double at(std::size_t column, int nm) const;
};

// Parses CSV text: a header, then rows of a whole wavelength and
// `columnCount` numbers (further columns are ignored). Rows must be evenly
// spaced and ascending. On failure the result is empty and `error` says why.
std::optional<SpectralTable> parseSpectralCsv(std::string_view text, std::size_t columnCount,
                                              const std::string &name, std::string &error);
std::optional<SpectralTable> readSpectralCsv(const std::filesystem::path &file,
                                             std::size_t columnCount, std::string &error);

// A 5 nm table brought to 1 nm by Sprague interpolation (CIE 167), the
// interpolation CIE recommends for uniformly spaced spectral data.
SpectralTable spragueTo1nm(const SpectralTable &table);

} // namespace quillon::colour::tables

#endif
