// The export of what the graph shows: the current spectrum, or every memory
// item processed in turn as playback would show it.
#include "datacontrol/acquisition_hold.h"
#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/scan_pipeline.h"
#include "datacontrol/sensors.h"
#include "datacontrol/stored_spectra.h"
#include "photometry/irradiance.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon {

namespace {

exports::Quantity quantityOf(const ChannelState &s) {
    switch (s.flags.displayMode()) {
    case DisplayMode::TransRefl:
        return exports::Quantity::TransRefl;
    case DisplayMode::Absorbance:
        return exports::Quantity::Absorbance;
    case DisplayMode::Irradiance:
        if (s.flags.option.test(option_bits::kRelativeIrradiance)) {
            return exports::Quantity::RelativeIrradiance;
        }
        return s.settings.irradLux != 0 ? exports::Quantity::Illuminance
                                        : exports::Quantity::AbsoluteIrradiance;
    default:
        return exports::Quantity::Counts;
    }
}

exports::AxisUnit axisUnitOf(XUnit unit) {
    switch (unit) {
    case XUnit::Pixel:
        return exports::AxisUnit::Pixel;
    case XUnit::Wavenumber:
        return exports::AxisUnit::Wavenumber;
    default:
        return exports::AxisUnit::Wavelength;
    }
}

std::string integrationTimeText(const ChannelState &s) {
    const std::int32_t value = s.limits.current;
    char text[32];
    if (s.geometry.boardType == kBoardTcd1304 && value < 100) {
        std::snprintf(text, sizeof text, "%1.2f", value / 100.0);
    } else {
        std::snprintf(text, sizeof text, "%d",
                      s.geometry.boardType == kBoardTcd1304 ? value / 100 : value);
    }
    return text;
}

} // namespace

ExportView StoredSpectra::FullView() const {
    if (pipeline.CurrentResult().wavelengthBase) {
        return {s.display.wavelengthStart, s.display.wavelengthEnd};
    }
    return {static_cast<double>(s.display.pixelStart), static_cast<double>(s.display.pixelEnd)};
}

exports::ExportHeader StoredSpectra::ExportHeaderNow() const {
    exports::ExportHeader header;
    header.unitSerial = s.settings.modelName;
    if (const IrradianceCalibration *calibration = irradiance.Calibration()) {
        header.distanceCm = calibration->calibrationDistance;
    }
    header.integrationTime = integrationTimeText(s);
    header.timeAverage = s.acquisition.timeAverage;
    header.binningAverage = s.acquisition.binningAverage;
    header.smoothingPercent = s.acquisition.smoothingPercent;
    header.memoryMode = s.flags.option.test(option_bits::kMemoryMode);
    return header;
}

exports::ExportAxis StoredSpectra::ExportAxisFor(const ExportView &view) const {
    const ScanResult result = pipeline.CurrentResult();
    exports::ExportAxis axisInfo;
    axisInfo.calibratedAxis = result.wavelengthBase;
    axisInfo.unit = axisUnitOf(s.flags.xUnit());
    axisInfo.quantity = quantityOf(s);
    axisInfo.viewXStart = std::min(view.xStart, view.xEnd);
    axisInfo.viewXEnd = std::max(view.xStart, view.xEnd);
    const int count = static_cast<int>(result.values.size());
    if (result.wavelengthBase) {
        axisInfo.gridStart = result.start;
        axisInfo.gridStep = result.step > 0.0 ? result.step : 1.0;
        // The grid points inside the view; a small tolerance keeps a view
        // that ends on a point from losing it to rounding.
        const double first =
            std::ceil((axisInfo.viewXStart - result.start) / axisInfo.gridStep - 1e-6);
        const double last =
            std::floor((axisInfo.viewXEnd - result.start) / axisInfo.gridStep + 1e-6);
        const int firstIndex = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(count)));
        const int lastIndex = static_cast<int>(std::clamp(last, -1.0, count - 1.0));
        axisInfo.firstIndex = firstIndex;
        axisInfo.pointCount = std::max(0, lastIndex - firstIndex + 1);
        axisInfo.viewWavenumberStart = axisInfo.viewXEnd > 0 ? 1e7 / axisInfo.viewXEnd : 0.0;
        axisInfo.viewWavenumberEnd = axisInfo.viewXStart > 0 ? 1e7 / axisInfo.viewXStart : 0.0;
        return axisInfo;
    }
    axisInfo.firstPixel =
        std::clamp(static_cast<int>(std::floor(axisInfo.viewXStart)), 1, std::max(count, 1));
    axisInfo.lastPixel = std::clamp(static_cast<int>(std::floor(axisInfo.viewXEnd)), 0, count);
    axisInfo.wavelengthTable.assign(result.wavelengths.begin(), result.wavelengths.end());
    const auto wavelengthOf = [&](int pixel) {
        const auto index = static_cast<std::size_t>(pixel - 1);
        return index < axisInfo.wavelengthTable.size() ? axisInfo.wavelengthTable[index] : 0.0f;
    };
    const double last = wavelengthOf(axisInfo.lastPixel);
    const double first = wavelengthOf(axisInfo.firstPixel);
    axisInfo.viewWavenumberStart = last > 0 ? 1e7 / last : 0.0;
    axisInfo.viewWavenumberEnd = first > 0 ? 1e7 / first : 0.0;
    return axisInfo;
}

exports::ExportBlock StoredSpectra::currentBlock() const {
    exports::ExportBlock block;
    block.projectName = s.settings.title;
    block.sampleName = s.settings.subTitle;
    block.now = localTimeNow();
    if (s.flags.option.test(option_bits::kMemoryMode) && s.memory.current() > 0) {
        block.measurementNo = s.memory.current();
        block.itemTime = s.commentText;
    }
    const ScanResult result = pipeline.CurrentResult();
    block.values.assign(result.values.begin(), result.values.end());
    return block;
}

// Each item in turn through the scan path, as playback shows it; the
// selection and the spectrum on screen are put back afterwards.
std::vector<exports::ExportBlock> StoredSpectra::everyItem() {
    std::vector<exports::ExportBlock> blocks;
    const int selected = s.memory.current();
    const int count = static_cast<int>(s.memory.size());
    s.flags.option.clear(option_bits::kPlaybackBackwards);
    blocks.reserve(static_cast<std::size_t>(count));
    for (int k = 1; k <= count; ++k) {
        s.memory.setCurrent(k - 1);
        if (pipeline.AcquireScan() != ScanOutcome::Scanned) {
            break;
        }
        blocks.push_back(currentBlock());
    }
    s.memory.setCurrent(selected > 0 ? selected - 1 : 0);
    if (selected > 0) {
        (void)pipeline.AcquireScan();
    }
    s.memory.setCurrent(selected);
    return blocks;
}

std::optional<std::string> StoredSpectra::ExportData(ExportForm form, exports::Which which,
                                                     std::optional<ExportView> view) {
    const bool all = which == exports::Which::All &&
                     s.flags.option.test(option_bits::kMemoryMode) && !s.memory.empty();
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return std::nullopt;
    }
    const std::vector<exports::ExportBlock> blocks =
        all ? everyItem() : std::vector<exports::ExportBlock>{currentBlock()};
    const exports::ExportAxis axisInfo = ExportAxisFor(view.value_or(FullView()));
    const exports::ExportHeader header = ExportHeaderNow();
    hold.Resume(HoldBy::Change);
    const exports::Which exported = all ? exports::Which::All : exports::Which::Current;
    switch (form) {
    case ExportForm::Text:
        return exports::textTable(header, axisInfo, blocks, exported);
    case ExportForm::Csv:
        return exports::csvTable(axisInfo, blocks);
    case ExportForm::Jcamp:
        return exports::jcampDx(header, axisInfo, blocks);
    case ExportForm::Spc:
        return exports::spcFile(axisInfo, blocks, exported);
    }
    return std::nullopt;
}

} // namespace quillon
