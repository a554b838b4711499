#include "datacontrol/calibration_points.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillon {

namespace {

// A cell's number: blanks around it allowed, anything else after it refused.
std::optional<double> cellNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string cell(text.substr(first, last - first + 1));
    char *end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    if (end == cell.c_str() || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::vector<StoredPoint> storedPointsOfRows(std::span<const PointRow> rows) {
    std::vector<StoredPoint> points;
    for (const PointRow &row : rows) {
        const auto wavelength = cellNumber(row.wavelength);
        const auto pixel = cellNumber(row.pixel);
        if (!wavelength || !pixel || *wavelength <= 0.0 || *pixel < 1.0 ||
            *wavelength * 10.0 > 2.0e9 || *pixel > 2.0e9) {
            continue;
        }
        points.push_back(
            {static_cast<int>(std::lround(*wavelength * 10.0)), static_cast<int>(*pixel)});
    }
    return points;
}

std::string pointText(const StoredPoint &point) {
    return std::to_string(point.tenthsNm) + ";" + std::to_string(point.pixel);
}

std::string wavelengthCellText(int tenthsNm) {
    char text[32];
    std::snprintf(text, sizeof text, "%6.1f", tenthsNm / 10.0);
    return text;
}

CalibrationResiduals calibrationResiduals(std::span<const StoredPoint> points) {
    return calibrationResiduals(points, calibrationOrder(static_cast<int>(points.size())));
}

CalibrationResiduals calibrationResiduals(std::span<const StoredPoint> points, int order) {
    CalibrationResiduals result;
    if (points.size() < 2 || order < 1 || order > kMaxPolynomialOrder) {
        return result;
    }
    std::vector<double> pixels;
    std::vector<double> wavelengths;
    for (const StoredPoint &p : points) {
        pixels.push_back(p.pixel);
        wavelengths.push_back(p.tenthsNm / 10.0);
    }
    result.order = order;
    std::array<float, kMaxPolynomialOrder + 1> coefficients{};
    if (FitPolynomial(pixels, wavelengths, coefficients, result.order) != FitResult::Ok) {
        return result;
    }
    result.fitted = true;
    double sumOfSquares = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        PointResidual r;
        r.wavelengthNm = wavelengths[i];
        r.pixel = points[i].pixel;
        r.fittedNm = EvalPolynomial(coefficients, result.order, pixels[i]);
        r.residualNm = r.fittedNm - r.wavelengthNm;
        sumOfSquares += r.residualNm * r.residualNm;
        result.points.push_back(r);
    }
    result.rmsNm = std::sqrt(sumOfSquares / static_cast<double>(points.size()));
    return result;
}

std::string LineGroup::heading() const {
    return std::to_string(fromNm) + " - " + std::to_string(toNm);
}

std::vector<LineGroup> groupLines(std::span<const double> linesNm) {
    constexpr int kGroupWidthNm = 30;
    std::vector<double> sorted(linesNm.begin(), linesNm.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<LineGroup> groups;
    for (const double line : sorted) {
        if (!(line > 0.0)) {
            continue;
        }
        const int from = static_cast<int>(std::floor(line / kGroupWidthNm)) * kGroupWidthNm;
        if (groups.empty() || groups.back().fromNm != from) {
            groups.push_back({from, from + kGroupWidthNm, {}});
        }
        groups.back().linesNm.push_back(line);
    }
    return groups;
}

std::vector<MatchedLine> matchPeaksToLines(std::span<const double> peakPixels,
                                           std::span<const double> linesNm,
                                           std::span<const float> wavelengthOfPixel, int order,
                                           double toleranceNm) {
    struct Pair {
        double distance;
        std::size_t peak;
        std::size_t line;
        double presentNm;
    };
    std::vector<Pair> pairs;
    for (std::size_t p = 0; p < peakPixels.size(); ++p) {
        const double present = EvalPolynomial(wavelengthOfPixel, order, peakPixels[p]);
        for (std::size_t l = 0; l < linesNm.size(); ++l) {
            const double distance = std::abs(linesNm[l] - present);
            if (distance <= toleranceNm) {
                pairs.push_back({distance, p, l, present});
            }
        }
    }
    std::sort(pairs.begin(), pairs.end(),
              [](const Pair &a, const Pair &b) { return a.distance < b.distance; });
    std::vector<bool> peakUsed(peakPixels.size(), false);
    std::vector<bool> lineUsed(linesNm.size(), false);
    std::vector<MatchedLine> matches;
    for (const Pair &pair : pairs) {
        if (peakUsed[pair.peak] || lineUsed[pair.line]) {
            continue;
        }
        peakUsed[pair.peak] = lineUsed[pair.line] = true;
        matches.push_back({peakPixels[pair.peak], linesNm[pair.line], pair.presentNm});
    }
    std::sort(matches.begin(), matches.end(),
              [](const MatchedLine &a, const MatchedLine &b) { return a.pixel < b.pixel; });
    return matches;
}

LampPoints lampPointsOf(std::span<const MatchedLine> matches) {
    LampPoints lamp;
    lamp.matches.assign(matches.begin(), matches.end());
    for (const MatchedLine &m : matches) {
        lamp.points.push_back({static_cast<int>(std::lround(m.lineNm * 10.0)),
                               static_cast<int>(std::lround(m.pixel))});
    }
    lamp.residuals = calibrationResiduals(lamp.points);
    return lamp;
}

std::vector<double> linesOfTable(std::string_view text, std::string &error) {
    std::vector<double> lines;
    error.clear();
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') {
            continue;
        }
        const std::size_t comma = line.find(',');
        std::string_view cell = line;
        if (comma != std::string_view::npos) {
            const std::size_t next = line.find(',', comma + 1);
            cell = line.substr(comma + 1, next == std::string_view::npos ? std::string_view::npos
                                                                         : next - comma - 1);
        }
        const auto value = cellNumber(cell);
        if (!value) {
            if (lineNumber == 1) {
                continue; // the column heading
            }
            error = "line " + std::to_string(lineNumber) + ": no wavelength in nm" +
                    (comma != std::string_view::npos ? " in the second column" : "");
            return {};
        }
        if (*value > 0.0) {
            lines.push_back(*value);
        }
    }
    if (lines.empty() && error.empty()) {
        error = "no emission lines in the table";
    }
    return lines;
}

} // namespace quillon
