// Texts of the spectrum graph: the axis title per mode and unit, and the data
// tip of a found peak. No Qt.
#ifndef QUILLON_APP_SHELL_GRAPH_TEXTS_H
#define QUILLON_APP_SHELL_GRAPH_TEXTS_H

#include "shell/view_range.h"

#include <span>
#include <string>

namespace quillon {

enum class IrradianceUnit { Irradiance = 0, Illuminance = 1, Power = 2 };

// One found peak: position is the pixel number (from 1) on pixel-held data,
// else the wavelength in nm.
struct PeakMark {
    float position = 0.0f;
    float intensity = 0.0f;
    float fwhm = 0.0f;
    bool saturated = false; // its centre and width are unreliable
};

struct AxisTitleContext {
    GraphMode mode = GraphMode::Scope;
    GraphXUnit xUnit = GraphXUnit::Pixel;
    bool relativeIrradiance = false;
    IrradianceUnit irradianceUnit = IrradianceUnit::Irradiance;
};

std::string yAxisTitle(const AxisTitleContext &context);
std::string xUnitSuffix(const AxisTitleContext &context);
// The title drawn on the graph: y title followed by the x suffix.
std::string axisTitle(const AxisTitleContext &context);

struct DataTipContext {
    bool calibratedAxis = false;
    GraphXUnit xUnit = GraphXUnit::Pixel;
    GraphMode mode = GraphMode::Scope;
    std::span<const float> wavelengthTable;       // per active pixel
    std::span<const double> wavelengthPolynomial; // fallback outside the table
};

// Data tip of peak `number` (from 1).
std::string dataTipText(const DataTipContext &context, int number, const PeakMark &peak);

} // namespace quillon

#endif
