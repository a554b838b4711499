#include "cli/table_output.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace quillon::cli {

namespace {

// One row of a table: the pixel (pixel base only), wavelength, wavenumber
// and value.
struct Row {
    int pixel = 0;
    double wavelength = 0.0;
    float value = 0.0f;
};

std::vector<const char *> columnsFor(const ScanResult &result) {
    if (result.wavelengthBase) {
        return {"wavelength_nm", "wavenumber_cm-1", "value"};
    }
    return {"pixel", "wavelength_nm", "wavenumber_cm-1", "value"};
}

Row rowAt(const ScanResult &result, std::size_t i) {
    Row row;
    row.value = result.values[i];
    if (result.wavelengthBase) {
        row.wavelength = result.start + static_cast<double>(i) * result.step;
    } else {
        row.pixel = static_cast<int>(i) + 1;
        row.wavelength = i < result.wavelengths.size() ? result.wavelengths[i] : std::nan("");
    }
    return row;
}

double wavenumber(double wavelength) {
    return wavelength > 0.0 ? wavenumberOf(wavelength) : std::nan("");
}

// Non-finite numbers have no JSON form.
std::string jsonNumber(const std::string &text, double value) {
    return std::isfinite(value) ? text : "null";
}

} // namespace

std::optional<TableFormat> tableFormatFromName(std::string_view name) {
    if (name == "tsv") {
        return TableFormat::Tsv;
    }
    if (name == "csv") {
        return TableFormat::Csv;
    }
    if (name == "json") {
        return TableFormat::Json;
    }
    return std::nullopt;
}

std::string formatFloat(float value) {
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

std::string formatFixed(double value, int decimals) {
    std::array<char, 400> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return formatFloat(static_cast<float>(value));
    }
    return std::string(text.data(), result.ptr);
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (u < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                quoted += "\\u00";
                quoted += kHex[u >> 4];
                quoted += kHex[u & 0xF];
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

ScanTableWriter::ScanTableWriter(std::ostream &output, TableFormat tableFormat, bool severalScans)
    : out(output), format(tableFormat), several(severalScans) {}

ScanTableWriter::~ScanTableWriter() {
    finish();
}

void ScanTableWriter::write(const ScanResult &result, std::string_view mode) {
    switch (format) {
    case TableFormat::Tsv:
        writeText(result, '\t');
        break;
    case TableFormat::Csv:
        writeText(result, ',');
        break;
    case TableFormat::Json:
        writeJson(result, mode);
        break;
    }
    ++written;
}

void ScanTableWriter::finish() {
    if (finished) {
        return;
    }
    finished = true;
    if (format == TableFormat::Json && several) {
        out << (written == 0 ? "[" : "") << "]\n";
    }
    out.flush();
}

void ScanTableWriter::writeText(const ScanResult &result, char separator) {
    if (written > 0) {
        out << '\n';
    }
    const auto columns = columnsFor(result);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out << (c == 0 ? "" : std::string(1, separator)) << columns[c];
    }
    out << '\n';
    for (std::size_t i = 0; i < result.values.size(); ++i) {
        const Row row = rowAt(result, i);
        if (!result.wavelengthBase) {
            out << row.pixel << separator;
        }
        out << formatFixed(row.wavelength, 3) << separator
            << formatFixed(wavenumber(row.wavelength), 2) << separator << formatFloat(row.value)
            << '\n';
    }
}

void ScanTableWriter::writeJson(const ScanResult &result, std::string_view mode) {
    if (several) {
        out << (written == 0 ? "[" : ",\n");
    }
    out << "{\"mode\":" << jsonString(mode)
        << ",\"base\":" << jsonString(result.wavelengthBase ? "wavelength" : "pixel")
        << ",\"columns\":[";
    const auto columns = columnsFor(result);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        out << (c == 0 ? "" : ",") << jsonString(columns[c]);
    }
    out << "],\"rows\":[";
    for (std::size_t i = 0; i < result.values.size(); ++i) {
        const Row row = rowAt(result, i);
        const double number = wavenumber(row.wavelength);
        out << (i == 0 ? "\n[" : ",\n[");
        if (!result.wavelengthBase) {
            out << row.pixel << ',';
        }
        out << jsonNumber(formatFixed(row.wavelength, 3), row.wavelength) << ','
            << jsonNumber(formatFixed(number, 2), number) << ','
            << jsonNumber(formatFloat(row.value), row.value) << ']';
    }
    out << "]}";
    if (!several) {
        out << '\n';
    }
}

} // namespace quillon::cli
