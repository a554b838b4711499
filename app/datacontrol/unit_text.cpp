#include "datacontrol/unit_text.h"

#include "datacontrol/profile_file.h"
#include "datacontrol/sensors.h"
#include "datacontrol/settings.h"
#include "datacontrol/wavelength_calibration.h"
#include "ovdbusbm.h"

#include <algorithm>

namespace quillon {

std::string UnitTextForEeprom(std::string_view fileText) {
    constexpr std::string_view kBlanks = " \t\r\v\f";
    std::string text;
    std::size_t start = 0;
    while (start < fileText.size()) {
        const std::size_t end = std::min(fileText.find('\n', start), fileText.size());
        const std::string_view line = fileText.substr(start, end - start);
        start = end + 1;
        const std::size_t first = line.find_first_not_of(kBlanks);
        if (first == std::string_view::npos || line[first] == ';') {
            continue;
        }
        const std::size_t last = line.find_last_not_of(kBlanks);
        text.append(line.substr(first, last - first + 1));
        text += '\n';
    }
    return text;
}

std::string ProblemOfUnitText(std::string_view text) {
    ProfileFile file;
    file.LoadText(text);
    const std::string ccd = file.GetText(sections::kFactoryDefault, "CCD");
    const auto sensor = sensorFromCcdName(ccd);
    if (!sensor) {
        return "CCD=" + ccd + " names no known sensor";
    }
    const auto geometry = geometryFor(sensor->boardType);
    if (!geometry) {
        return "CCD=" + ccd + " names no known sensor";
    }
    const int count = file.GetInt(sections::kCalData, "PointCount");
    if (count < 2 || count > OV_MAX_CAL_POINTS) {
        return "[Cal Data] needs PointCount= from 2 to " + std::to_string(OV_MAX_CAL_POINTS);
    }
    for (int k = 1; k <= count; ++k) {
        const std::string key = "Data " + std::to_string(k);
        const std::string point = file.GetText(sections::kCalData, key);
        const CalibrationPoint parsed = parseCalibrationPoint(point);
        if (point.empty() || !(parsed.wavelengthNm > 0.0) || parsed.pixel < 1.0 ||
            parsed.pixel > geometry->activePixels) {
            return "[Cal Data] " + key + "=" + point +
                   " is not a wavelength in 0.1 nm and a pixel from 1 to " +
                   std::to_string(geometry->activePixels);
        }
    }
    if (FitCalibration(file, sections::kCalData, geometry->activePixels).status !=
        CalibrationStatus::Ok) {
        return "the calibration points of [Cal Data] give no usable wavelength fit";
    }
    return {};
}

} // namespace quillon
