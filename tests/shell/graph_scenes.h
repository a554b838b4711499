// Ready-made graph snapshots: scope mode on pixels, a wavelength-base
// spectrum and a T/R filter curve, shared by the graph tests and benchmark.
#ifndef QUILLON_TESTS_SHELL_GRAPH_SCENES_H
#define QUILLON_TESTS_SHELL_GRAPH_SCENES_H

#include "shell/graph_snapshot.h"
#include "synthetic_spectrum.h"

#include <cmath>

namespace quillon::testing {

inline RangeContext scopePixelContext() {
    RangeContext context;
    context.settings.pixelStart = 1;
    context.settings.pixelEnd = kSyntheticPixels;
    context.settings.countsMin = 0;
    context.settings.countsMax = 65535;
    context.mode = GraphMode::Scope;
    return context;
}

inline GraphSnapshot scopePixelScene() {
    GraphSnapshot snapshot;
    snapshot.mode = GraphMode::Scope;
    snapshot.xUnit = GraphXUnit::Pixel;
    snapshot.range = resetViewRange(scopePixelContext());
    snapshot.values = syntheticHalogenSpectrum();
    snapshot.wavelengthTable = syntheticWavelengthTable();
    snapshot.wavelengthPolynomial = kSyntheticPolynomial;
    snapshot.mainTitle = "Project Name";
    snapshot.secondTitle = "Sample Name";
    return snapshot;
}

// Values on a 1 nm grid from 350 to 1000 nm, nearest pixel of the scope curve.
inline GraphSnapshot wavelengthScene() {
    GraphSnapshot snapshot = scopePixelScene();
    snapshot.calibratedAxis = true;
    snapshot.xUnit = GraphXUnit::Wavelength;
    RangeContext context = scopePixelContext();
    context.calibratedAxis = true;
    context.settings.wavelengthStart = 350.0f;
    context.settings.wavelengthEnd = 1000.0f;
    snapshot.range = resetViewRange(context);
    snapshot.grid = {350.0, 1.0, 651};
    const std::vector<float> pixels = snapshot.values;
    snapshot.values.assign(651, 0.0f);
    for (int i = 0; i < 651; ++i) {
        // Invert λ(p) by a few Newton steps.
        const double nm = 350.0 + i;
        double p = (nm - kSyntheticPolynomial[0]) / kSyntheticPolynomial[1];
        for (int step = 0; step < 4; ++step) {
            p -= (syntheticWavelength(p) - nm) /
                 (kSyntheticPolynomial[1] + 2.0 * kSyntheticPolynomial[2] * p);
        }
        const auto index = static_cast<std::size_t>(std::lround(std::clamp(p, 1.0, 3648.0)) - 1);
        snapshot.values[static_cast<std::size_t>(i)] = pixels[index];
    }
    return snapshot;
}

inline GraphSnapshot transmissionScene() {
    GraphSnapshot snapshot = wavelengthScene();
    snapshot.mode = GraphMode::TransRefl;
    RangeContext context = scopePixelContext();
    context.calibratedAxis = true;
    context.mode = GraphMode::TransRefl;
    context.settings.wavelengthStart = 350.0f;
    context.settings.wavelengthEnd = 1000.0f;
    context.settings.transMin = 0.0f;
    context.settings.transMax = 110.0f;
    snapshot.range = resetViewRange(context);
    snapshot.values = syntheticTransmission(350.0, 651);
    return snapshot;
}

} // namespace quillon::testing

#endif
