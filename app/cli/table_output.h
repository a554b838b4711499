// Scan tables on standard output: tab- or comma-separated with one header
// line, or JSON. Numbers are written with std::to_chars, so the output is the
// same whatever the locale.
#ifndef QUILLON_APP_CLI_TABLE_OUTPUT_H
#define QUILLON_APP_CLI_TABLE_OUTPUT_H

#include "datacontrol/data_control.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace quillon::cli {

enum class TableFormat { Tsv, Csv, Json };

std::optional<TableFormat> tableFormatFromName(std::string_view name);

// Shortest text that reads back as the same float ("nan", "inf" as such).
std::string formatFloat(float value);
// Fixed number of decimals.
std::string formatFixed(double value, int decimals);
// A JSON string literal with the necessary escapes.
std::string jsonString(std::string_view text);

// Writes one table per scan. With several scans, text tables follow each
// other separated by an empty line; JSON becomes one array of tables.
class ScanTableWriter {
public:
    ScanTableWriter(std::ostream &out, TableFormat format, bool severalScans);
    ~ScanTableWriter();
    ScanTableWriter(const ScanTableWriter &) = delete;
    ScanTableWriter &operator=(const ScanTableWriter &) = delete;

    // `mode` names the display quantity ("scope", "tr", "absorbance").
    void write(const ScanResult &result, std::string_view mode);
    // Closes the JSON array; called by the destructor when not called.
    void finish();

private:
    void writeText(const ScanResult &result, char separator);
    void writeJson(const ScanResult &result, std::string_view mode);

    std::ostream &out;
    TableFormat format;
    bool several;
    int written = 0;
    bool finished = false;
};

} // namespace quillon::cli

#endif
