#include "datacontrol/data_sheet.h"

#include "analysis/peak_list.h"
#include "datacontrol/data_control.h"
#include "platform/local_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace {

// Header and graph take the top part; the three boxes below share what the
// graph leaves in this proportion.
constexpr double kGraphShare = 0.55;

[[gnu::format(printf, 1, 2)]] std::string formatted(const char *format, ...) {
    std::array<char, 512> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return text.data();
}

int rounded(double value) {
    return static_cast<int>(std::lround(value));
}

bool wavenumberUnit(XUnit unit) {
    return unit == XUnit::Wavenumber;
}

} // namespace

SheetHeaderGeometry sheetHeaderGeometry(const SheetRect &page, int textHeight) {
    SheetHeaderGeometry h;
    const double line = 1.5 * std::max(textHeight, 0);
    h.lineHeight = rounded(line);
    const auto below = [&](double lines) {
        return std::min(page.bottom, page.top + rounded(lines * line));
    };
    for (int c = 0; c < 3; ++c) {
        const int left = page.left + page.width() * c / 3;
        const int right = page.left + page.width() * (c + 1) / 3;
        h.columns[static_cast<std::size_t>(c)] = {left, page.top, right, below(2.0)};
    }
    h.banner = {page.left, below(2.0), page.right, below(3.1)};
    h.webAddress = {page.left, below(3.1), page.right, below(4.0)};
    h.bottom = below(4.0);
    return h;
}

SheetGeometry sheetGeometry(int deviceWidth, int deviceHeight, int textHeight) {
    SheetGeometry g;
    const int width = deviceWidth - 2 * kSheetMargin;
    const int height = deviceHeight - 2 * kSheetMargin;
    if (width <= 0 || height <= 0 || textHeight <= 0) {
        return g;
    }
    g.page = {kSheetMargin, kSheetMargin, kSheetMargin + width, kSheetMargin + height};
    g.header = sheetHeaderGeometry(g.page, textHeight);
    const int line = g.header.lineHeight;

    const int graphTop = std::min(g.page.bottom, g.header.bottom + line / 2);
    const int rest = g.page.bottom - graphTop;
    const int graphBottom = graphTop + rounded(rest * kGraphShare);
    g.graph = {g.page.left, graphTop, g.page.right, graphBottom};
    const int boxTop = std::min(g.page.bottom, graphBottom + line / 2);
    const int gap = line / 4;
    for (int c = 0; c < 3; ++c) {
        const int left = g.page.left + width * c / 3 + (c == 0 ? 0 : gap);
        const int right = g.page.left + width * (c + 1) / 3 - (c == 2 ? 0 : gap);
        g.boxes[static_cast<std::size_t>(c)] = {left, boxTop, right, g.page.bottom};
    }
    return g;
}

SheetTime sheetTimeNow() {
    const std::tm local = platform::localTime(std::time(nullptr));
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

SheetHeaderTexts sheetHeaderTexts(const std::optional<PrintPageTexts> &page,
                                  std::string_view unitText, const SheetTime &time,
                                  std::string_view telephone, std::string_view webAddress) {
    SheetHeaderTexts texts;
    texts.webAddress = std::string(webAddress);
    if (!page) {
        return texts;
    }
    texts.left = {" Organization : " + page->organization, " Sample : " + page->sample};
    const std::string model(unitText.substr(0, unitText.find('-')));
    texts.middle = {"Spectral Data Sheet", "Model : " + model, std::string(telephone)};
    texts.right = {" Operator : " + page->operatorName,
                   " Date : " + formatted("%02i/%02i/%04i   %02i:%02i:%02i", time.month, time.day,
                                          time.year, time.hour, time.minute, time.second)};
    return texts;
}

std::vector<std::string> unitInformationLines(const UnitFacts &f) {
    std::vector<std::string> lines{
        formatted("Serial No=%s", f.serial.c_str()),
        formatted("CCD Pixels=%-5d", f.pixels),
        formatted("Integration Time=%-5d", f.integrationTime),
        formatted("Time Average=%-4d", f.timeAverage),
        formatted("Binning Pixels=%-4d", f.binning),
        formatted("FFT Smoothing=%-4d(%%)", f.smoothingPercent),
    };
    for (int order = 0; order < 4; ++order) {
        lines.push_back(formatted("Coefficient of %dth order = %-f", order,
                                  f.coefficients[static_cast<std::size_t>(order)]));
    }
    lines.emplace_back("Calibration Data ");
    for (const std::string &point : f.calibrationPoints) {
        lines.push_back("        " + point);
    }
    if (f.mode == DisplayMode::Irradiance) {
        if (f.relativeIrradiance) {
            lines.push_back(formatted("Reference Temperature = %-.3fK", f.referenceTemperature));
        } else {
            lines.push_back(formatted("Color Temperature = %-.3fK", f.colourTemperature));
            lines.push_back(f.lumen ? formatted("Total Lumen = %-.3fmLumen", f.totalLumen)
                                    : formatted("Total Power = %-.3fmW", f.totalPower));
        }
    }
    return lines;
}

std::vector<std::string> factoryLines(const PrintPageTexts &page) {
    return {"Slit Width = " + page.slit,   "Grating = " + page.grating,
            "Filter = " + page.filter,     "CCD Type = " + page.ccd,
            "I/O Board = " + page.ioBoard, "Board Serial No = " + page.boardSerial};
}

std::vector<std::string> wavelengthValueLines(const SheetData &data) {
    std::vector<std::string> lines;
    const double low = std::min(data.viewStart, data.viewEnd);
    const double high = std::max(data.viewStart, data.viewEnd);
    for (std::size_t i = 0; i < data.values.size(); ++i) {
        double position = 0.0;
        double x = 0.0;
        if (data.gridData) {
            position = data.gridStart + static_cast<double>(i) * data.gridStep;
            x = wavenumberUnit(data.xUnit) && position > 0.0 ? 1.0e7 / position : position;
        } else {
            if (i >= data.wavelengthTable.size()) {
                break;
            }
            position = static_cast<double>(i + 1);
            x = data.wavelengthTable[i];
        }
        if (position < low || position > high) {
            continue;
        }
        lines.push_back(formatted("%8.3f  %8.3f", x, static_cast<double>(data.values[i])));
    }
    return lines;
}

SheetColumns splitInTwoColumns(const std::vector<std::string> &lines, int linesPerColumn) {
    SheetColumns columns;
    if (linesPerColumn <= 0 || lines.empty()) {
        return columns;
    }
    const auto capacity = static_cast<std::size_t>(2 * linesPerColumn);
    std::vector<std::string> kept;
    if (lines.size() <= capacity) {
        kept = lines;
    } else if (capacity == 1) {
        kept = {lines.front()};
    } else {
        const double stride =
            static_cast<double>(lines.size() - 1) / static_cast<double>(capacity - 1);
        for (std::size_t k = 0; k < capacity; ++k) {
            kept.push_back(
                lines[static_cast<std::size_t>(std::lround(static_cast<double>(k) * stride))]);
        }
    }
    const std::size_t half = (kept.size() + 1) / 2;
    columns.left.assign(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(half));
    columns.right.assign(kept.begin() + static_cast<std::ptrdiff_t>(half), kept.end());
    return columns;
}

PeakBox peakBox(std::span<const analysis::Peak> peaks, XUnit xUnit, DisplayMode mode, bool gridData,
                std::span<const float> wavelengthTable) {
    PeakBox box;
    if (peaks.empty()) {
        return box;
    }
    const bool wavenumber = wavenumberUnit(xUnit);
    if (xUnit == XUnit::Pixel) {
        box.header = "No : Pixel  Wavelength Intensity   FWHM";
    } else {
        const std::string axis = wavenumber ? "Wavenumber" : "Wavelength";
        switch (mode) {
        case DisplayMode::TransRefl:
            box.header = "  No :    " + axis + "      T/R(%) ";
            break;
        case DisplayMode::Absorbance:
            box.header = "  No :    " + axis + "        AU  ";
            break;
        case DisplayMode::Irradiance:
            box.header = "  No :    " + axis + "      Irradiance";
            break;
        default:
            box.header = "  No :      " + axis + "       Intensity  ";
            break;
        }
    }
    int number = 0;
    for (const analysis::Peak &peak : peaks) {
        ++number;
        const PeakPlace place = peakPlace(peak, gridData, wavelengthTable);
        if (xUnit == XUnit::Pixel) {
            box.rows.push_back(formatted("      %-2d :   %-5d     %-8.3f       %-8.1f     %-6.3f",
                                         number, place.pixel, place.wavelength,
                                         static_cast<double>(peak.intensity),
                                         static_cast<double>(peak.fwhm)));
        } else {
            box.rows.push_back(formatted(" %2d   :      %8.3f         %8.3f", number,
                                         wavenumber ? place.wavenumber : place.wavelength,
                                         static_cast<double>(peak.intensity)));
        }
    }
    return box;
}

DataSheetTexts composeDataSheet(DataControl &control, const DataSheetRequest &request) {
    const ChannelState &s = control.State();
    DataSheetTexts sheet;
    sheet.factoryForm = request.factoryForm;

    const PrintPageFile file(s.mainSettingsPath);
    std::string why;
    const std::optional<PrintPageTexts> page = file.Read(why);
    if (!page) {
        control.Prompt().message(
            printPageFailure(data_sheet_messages::kHeaderUnreadable, file.Path(), why));
    }
    sheet.header = sheetHeaderTexts(page, s.settings.modelName, request.time, request.telephone,
                                    request.webAddress);

    const std::optional<std::vector<std::string>> points = control.CalibrationPointValues();
    sheet.unitBoxReadable = points.has_value();
    if (points) {
        UnitFacts facts;
        facts.serial = control.Photometry().UnitSerial();
        facts.pixels = s.geometry.activePixels;
        facts.integrationTime = s.limits.current;
        facts.timeAverage = s.acquisition.timeAverage;
        facts.binning = s.acquisition.binningAverage;
        facts.smoothingPercent = s.acquisition.smoothingPercent;
        for (std::size_t k = 0; k < facts.coefficients.size(); ++k) {
            facts.coefficients[k] = s.geometry.wavelengthOfPixel[k];
        }
        facts.calibrationPoints = *points;
        facts.mode = s.flags.displayMode();
        facts.relativeIrradiance = s.flags.option.test(option_bits::kRelativeIrradiance);
        facts.lumen = s.settings.irradLux != 0;
        facts.referenceTemperature = s.settings.colorTemp;
        facts.colourTemperature = control.Photometry().ColourTemperature();
        // The totals are kept in microwatts and lumens.
        facts.totalPower = s.photometry.totalPower / 1000.0;
        facts.totalLumen = s.photometry.luminousFlux * 1000.0;
        sheet.unitLines = unitInformationLines(facts);
    } else {
        control.Prompt().message(printPageFailure(
            data_sheet_messages::kUnitBoxUnreadable,
            s.settings.calNo > 0 || s.channels.empty() || s.oldBoard ? s.mainSettingsPath
                                                                     : s.currentInfo().unitFile,
            "the calibration points cannot be read"));
    }

    const ScanResult result = control.CurrentResult();
    if (request.factoryForm) {
        sheet.factoryBoxReadable = page.has_value();
        if (page) {
            sheet.secondLines = factoryLines(*page);
        } else {
            control.Prompt().message(
                printPageFailure(data_sheet_messages::kFactoryBoxUnreadable, file.Path(), why));
        }
    } else {
        SheetData data;
        data.values = result.values;
        data.wavelengthTable = s.buffers.wavelengthTable;
        data.gridData = result.wavelengthBase;
        data.gridStart = result.start;
        data.gridStep = result.step > 0.0 ? result.step : 1.0;
        data.xUnit = s.flags.xUnit();
        data.viewStart = request.viewStart;
        data.viewEnd = request.viewEnd;
        sheet.secondLines = wavelengthValueLines(data);
    }

    const std::vector<analysis::Peak> peaks = control.Peaks().Peaks();
    sheet.peaks = peakBox(peaks, s.flags.xUnit(), s.flags.displayMode(), result.wavelengthBase,
                          s.buffers.wavelengthTable);
    return sheet;
}

} // namespace quillon
