#include "reference_data.h"

#include "platform/files.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quillon::colour::tables {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<double> number(std::string_view text) {
    text = trimmed(text);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    while (true) {
        const auto comma = line.find(',');
        out.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) {
            return out;
        }
        line.remove_prefix(comma + 1);
    }
}

} // namespace

int SpectralTable::lastNm() const {
    const std::size_t rows = columns.empty() ? 0 : columns[0].size();
    return firstNm + stepNm * (static_cast<int>(rows) - 1);
}

bool SpectralTable::covers(int nm) const {
    return !columns.empty() && !columns[0].empty() && nm >= firstNm && nm <= lastNm() &&
           (nm - firstNm) % stepNm == 0;
}

double SpectralTable::at(std::size_t column, int nm) const {
    if (column >= columns.size() || !covers(nm)) {
        return 0.0;
    }
    return columns[column][static_cast<std::size_t>((nm - firstNm) / stepNm)];
}

std::optional<SpectralTable> parseSpectralCsv(std::string_view text, std::size_t columnCount,
                                              const std::string &name, std::string &error) {
    SpectralTable table;
    table.columns.resize(columnCount);
    int line = 0;
    int previousNm = 0;
    std::size_t rows = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view row = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++line;
        if (line == 1 || row.empty()) {
            continue; // the header
        }
        const auto where = name + ":" + std::to_string(line) + ": ";
        const auto cells = fields(row);
        if (cells.size() < columnCount + 1) {
            error = where + "expected " + std::to_string(columnCount + 1) + " columns";
            return std::nullopt;
        }
        const auto nm = number(cells[0]);
        if (!nm || *nm != std::floor(*nm) || std::fabs(*nm) > 100000.0) {
            error = where + "the wavelength is not a whole number of nm";
            return std::nullopt;
        }
        const int wavelength = static_cast<int>(*nm);
        if (rows == 1) {
            table.stepNm = wavelength - previousNm;
        }
        if (rows == 0) {
            table.firstNm = wavelength;
        } else if (table.stepNm <= 0 || wavelength - previousNm != table.stepNm) {
            error = where + "wavelengths must rise in equal steps";
            return std::nullopt;
        }
        for (std::size_t c = 0; c < columnCount; ++c) {
            const auto value = number(cells[c + 1]);
            if (!value) {
                error = where + "column " + std::to_string(c + 2) + " is not a number";
                return std::nullopt;
            }
            table.columns[c].push_back(*value);
        }
        previousNm = wavelength;
        ++rows;
    }
    if (rows < 2) {
        error = name + ": fewer than two rows";
        return std::nullopt;
    }
    return table;
}

std::optional<SpectralTable> readSpectralCsv(const std::filesystem::path &file,
                                             std::size_t columnCount, std::string &error) {
    const platform::FileContent content = platform::readRegularFile(file);
    if (!content) {
        error = platform::pathText(file) + ": " + platform::readFailureText(content.failure);
        return std::nullopt;
    }
    return parseSpectralCsv(*content.bytes, columnCount, platform::pathText(file), error);
}

SpectralTable spragueTo1nm(const SpectralTable &table) {
    SpectralTable out;
    out.firstNm = table.firstNm;
    out.stepNm = 1;
    for (const std::vector<double> &r : table.columns) {
        const std::size_t n = r.size();
        std::vector<double> fine;
        if (n < 6) {
            out.columns.push_back(fine); // too short for the method
            continue;
        }
        // Two points added at each end (CIE 167, Table 1).
        std::vector<double> p(n + 4);
        p[0] = (884 * r[0] - 1960 * r[1] + 3033 * r[2] - 2648 * r[3] + 1080 * r[4] - 180 * r[5]) /
               209.0;
        p[1] = (508 * r[0] - 540 * r[1] + 488 * r[2] - 367 * r[3] + 144 * r[4] - 24 * r[5]) / 209.0;
        for (std::size_t i = 0; i < n; ++i) {
            p[i + 2] = r[i];
        }
        const std::size_t m = n - 1;
        p[n + 2] = (-24 * r[m - 5] + 144 * r[m - 4] - 367 * r[m - 3] + 488 * r[m - 2] -
                    540 * r[m - 1] + 508 * r[m]) /
                   209.0;
        p[n + 3] = (-180 * r[m - 5] + 1080 * r[m - 4] - 2648 * r[m - 3] + 3033 * r[m - 2] -
                    1960 * r[m - 1] + 884 * r[m]) /
                   209.0;
        const int sub = table.stepNm;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const double *q = &p[i]; // q[2] is r[i]
            const double a0 = q[2];
            const double a1 = (2 * q[0] - 16 * q[1] + 16 * q[3] - 2 * q[4]) / 24.0;
            const double a2 = (-q[0] + 16 * q[1] - 30 * q[2] + 16 * q[3] - q[4]) / 24.0;
            const double a3 =
                (-9 * q[0] + 39 * q[1] - 70 * q[2] + 66 * q[3] - 33 * q[4] + 7 * q[5]) / 24.0;
            const double a4 =
                (13 * q[0] - 64 * q[1] + 126 * q[2] - 124 * q[3] + 61 * q[4] - 12 * q[5]) / 24.0;
            const double a5 =
                (-5 * q[0] + 25 * q[1] - 50 * q[2] + 50 * q[3] - 25 * q[4] + 5 * q[5]) / 24.0;
            for (int k = 0; k < sub; ++k) {
                const double x = static_cast<double>(k) / sub;
                fine.push_back(a0 + x * (a1 + x * (a2 + x * (a3 + x * (a4 + x * a5)))));
            }
        }
        fine.push_back(r[m]);
        out.columns.push_back(std::move(fine));
    }
    return out;
}

} // namespace quillon::colour::tables
