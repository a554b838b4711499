#include "shell/peak_table_texts.h"

#include "analysis/peak_list.h"

#include <array>
#include <cstdio>

namespace quillon {

namespace {

std::string fixed(double value) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%8.3f", value);
    return text.data();
}

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The position in the x unit: grid data keeps its wavelength (or its
// wavenumber); pixel data shows its pixel number, or the wavelength of the
// nearest whole pixel.
double positionIn(const PeakTableContext &context, const analysis::Peak &peak) {
    const PeakPlace place = peakPlace(peak, context.gridData, context.wavelengthTable);
    switch (context.xUnit) {
    case GraphXUnit::Wavelength:
        return place.wavelength;
    case GraphXUnit::Wavenumber:
        return place.wavenumber;
    default:
        return context.gridData ? place.wavelength : peak.position;
    }
}

} // namespace

std::vector<std::string> peakTableHeadings(const PeakTableContext &context) {
    std::string position = "Pixel";
    if (context.xUnit == GraphXUnit::Wavelength) {
        position = "Wavelength";
    } else if (context.xUnit == GraphXUnit::Wavenumber) {
        position = "Wavenumber";
    }
    std::string value = "Intensity";
    switch (context.mode) {
    case GraphMode::TransRefl:
        value = "R/T(%)";
        break;
    case GraphMode::Absorbance:
        value = "AU";
        break;
    case GraphMode::Irradiance:
        value = context.relativeIrradiance ? "Relative" : "Irrad";
        break;
    default:
        break;
    }
    return {"No", position, value, "FWHM(nm)", "Note"};
}

std::vector<std::string> peakTableRow(const PeakTableContext &context, int number,
                                      const analysis::Peak &peak) {
    return {std::to_string(number), fixed(positionIn(context, peak)), fixed(peak.intensity),
            peak.fwhm > 0.0f ? fixed(peak.fwhm) : std::string(kNotMeasured),
            peak.saturated ? kSaturatedNote : ""};
}

std::string peakTableText(const PeakTableContext &context, std::span<const analysis::Peak> peaks,
                          char separator) {
    std::string text;
    auto line = [&](const std::vector<std::string> &cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            std::string cell = trimmed(cells[c]);
            if (separator == ',' && cell == kNotMeasured) {
                cell.clear();
            }
            text += (c == 0 ? "" : std::string(1, separator)) + cell;
        }
        text += separator == ',' ? "\r\n" : "\n";
    };
    line(peakTableHeadings(context));
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        line(peakTableRow(context, static_cast<int>(k + 1), peaks[k]));
    }
    return text;
}

} // namespace quillon
