#include "shell/graph_feed.h"

#include "shell/graph_layout.h"

#include <cmath>

namespace quillon {

GraphMode graphModeOf(DisplayMode mode) {
    return static_cast<GraphMode>(static_cast<int>(mode));
}

GraphXUnit graphXUnitOf(XUnit unit) {
    return static_cast<GraphXUnit>(static_cast<int>(unit));
}

IrradianceUnit irradianceUnitOf(const DataControl &control) {
    return control.State().settings.irradLux != 0 ? IrradianceUnit::Illuminance
                                                  : IrradianceUnit::Irradiance;
}

RangeContext rangeContextFrom(const DataControl &control) {
    const DisplayRecord &d = control.State().display;
    RangeContext context;
    context.settings.pixelStart = d.pixelStart;
    context.settings.pixelEnd = d.pixelEnd;
    context.settings.countsMin = d.countMin;
    context.settings.countsMax = d.countMax;
    context.settings.wavelengthStart = d.wavelengthStart;
    context.settings.wavelengthEnd = d.wavelengthEnd;
    context.settings.wavelengthStep = d.wavelengthStep;
    context.settings.transMin = d.trMin;
    context.settings.transMax = d.trMax;
    context.settings.absorbMin = d.absMin;
    context.settings.absorbMax = d.absMax;
    context.settings.irradMin = d.irrMin;
    context.settings.irradMax = d.irrMax;
    context.mode = graphModeOf(control.State().flags.displayMode());
    context.calibratedAxis = control.State().flags.option.test(option_bits::kWavelengthBase);
    context.relativeIrradiance =
        control.State().flags.option.test(option_bits::kRelativeIrradiance);
    return context;
}

namespace {

std::vector<double> polynomialOf(const DataControl &control) {
    const auto &c = control.State().geometry.wavelengthOfPixel;
    return {c.begin(), c.end()};
}

} // namespace

GraphAxisContext axisContextFrom(const DataControl &control) {
    GraphAxisContext context;
    context.calibratedAxis = control.State().flags.option.test(option_bits::kWavelengthBase);
    context.xUnit = graphXUnitOf(control.State().flags.xUnit());
    context.mode = graphModeOf(control.State().flags.displayMode());
    context.wavelengthTable = control.State().buffers.wavelengthTable;
    context.wavelengthPolynomial = polynomialOf(control);
    return context;
}

void fillPeakMarks(const DataControl &control, std::vector<PeakMark> &marks) {
    marks.clear();
    control.Peaks().ForEach([&marks](const analysis::Peak &peak) {
        marks.push_back({peak.position, peak.intensity, peak.fwhm, peak.saturated});
    });
}

void fillSnapshot(const DataControl &control, const GraphViewState &view, GraphSnapshot &snapshot,
                  const ScanResult *recorded) {
    const FlagWord &status = control.State().flags.status;
    const FlagWord &option = control.State().flags.option;
    snapshot.mode = graphModeOf(control.State().flags.displayMode());
    snapshot.xUnit = graphXUnitOf(control.State().flags.xUnit());
    snapshot.relativeIrradiance = option.test(option_bits::kRelativeIrradiance);
    snapshot.irradianceUnit = irradianceUnitOf(control);
    snapshot.displayWord = control.State().settings.displayWord;
    snapshot.range = view.range;
    snapshot.mainTitle = view.mainTitle;
    snapshot.secondTitle = view.secondTitle;
    snapshot.verticalAxisTitle = view.verticalAxisTitle;

    const ScanResult result = recorded != nullptr ? *recorded : control.CurrentResult();
    snapshot.calibratedAxis = result.wavelengthBase;
    snapshot.values.assign(result.values.begin(), result.values.end());
    snapshot.grid = {result.start, result.step > 0.0 ? result.step : 1.0,
                     static_cast<int>(result.values.size())};
    const auto &table = control.State().buffers.wavelengthTable;
    snapshot.wavelengthTable.assign(table.begin(), table.end());
    const auto &c = control.State().geometry.wavelengthOfPixel;
    snapshot.wavelengthPolynomial.assign(c.begin(), c.end());

    snapshot.showDark =
        option.test(option_bits::kShowDarkLine) && status.test(status_bits::kDarkReady);
    snapshot.showReference =
        option.test(option_bits::kShowReferenceLine) && status.test(status_bits::kReferenceReady);
    if (snapshot.showDark) {
        snapshot.dark.assign(control.State().buffers.dark.begin(),
                             control.State().buffers.dark.end());
    }
    if (snapshot.showReference) {
        snapshot.reference.assign(control.State().buffers.reference.begin(),
                                  control.State().buffers.reference.end());
    }

    const TraceColors &colours = control.State().colors;
    snapshot.colours.back = static_cast<std::int32_t>(colours.back);
    snapshot.colours.pixel = static_cast<std::int32_t>(colours.pixel);
    snapshot.colours.trans = static_cast<std::int32_t>(colours.trans);
    snapshot.colours.absorb = static_cast<std::int32_t>(colours.absorb);
    snapshot.colours.irrad = static_cast<std::int32_t>(colours.irrad);

    // Memory playback: the items before the selected one, as raw counts,
    // which only the scope display on the pixel axis shows as they are.
    snapshot.memoryTraces.count = 0;
    const MemoryList &memory = control.State().memory;
    const bool playing = option.test(option_bits::kMemoryMode) &&
                         !status.test(status_bits::kHold) && !option.test(option_bits::kHoldOption);
    if (playing && snapshot.mode == GraphMode::Scope && snapshot.xUnit == GraphXUnit::Pixel &&
        !snapshot.calibratedAxis) {
        for (int k = 1; k <= MemoryTraces::kMax && memory.current() - k >= 1; ++k) {
            const MemoryItemView item = memory.item(memory.current() - k);
            std::vector<float> &counts =
                snapshot.memoryTraces.counts[static_cast<std::size_t>(k - 1)];
            counts.resize(item.pixels());
            item.copyCounts(counts);
            snapshot.memoryTraces.count = k;
        }
    }

    fillPeakMarks(control, snapshot.peaks);

    if (option.test(option_bits::kSpectrumStatistics) && recorded == nullptr) {
        const ScanParameters &p = control.State().scanParameters;
        snapshot.statistics = ScanStatistics{p.currentOb, p.mean, p.variance};
    } else {
        snapshot.statistics.reset();
    }
}

int valueIndexAt(const GraphSnapshot &snapshot, const PixelRect &plot, int x) {
    if (snapshot.values.empty() || !plot.contains(x, plot.top)) {
        return -1;
    }
    ViewRange range = snapshot.range;
    updateDerivedRange(range, plot);
    double position = xValueAt(range, plot, x);
    if (snapshot.calibratedAxis && snapshot.xUnit == GraphXUnit::Wavenumber &&
        range.wavenumberScale > 0.0f) {
        const double wavenumber = range.wavenumberEnd - (plot.right - x) / range.wavenumberScale;
        position = wavenumber > 0.0 ? 1.0e7 / wavenumber : position;
    }
    const double index = snapshot.calibratedAxis
                             ? (position - snapshot.grid.start) / snapshot.grid.step
                             : position - 1.0;
    if (!std::isfinite(index)) {
        return -1;
    }
    const long rounded = std::lround(index);
    return rounded >= 0 && rounded < static_cast<long>(snapshot.values.size())
               ? static_cast<int>(rounded)
               : -1;
}

} // namespace quillon
