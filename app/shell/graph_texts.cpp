#include "shell/graph_texts.h"

#include "shell/axis_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace quillon {

namespace {

constexpr double kWavenumberFactor = 1.0e7;

template <typename... Args>
std::string format(const char *pattern, Args... args) {
    std::array<char, 256> text{};
    std::snprintf(text.data(), text.size(), pattern, args...);
    return text.data();
}

// "%d" of a float that may be out of int range or not a number.
int clampedInt(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, -2147483647.0, 2147483647.0));
}

double wavenumberOf(double wavelength) {
    return wavelength > 0.0 ? kWavenumberFactor / wavelength : 0.0;
}

bool isWavenumber(GraphXUnit unit) {
    return unit == GraphXUnit::Wavenumber;
}

// The wavelength table entry of a pixel number, or the polynomial where the
// table has no entry.
double wavelengthOfPixel(const DataTipContext &context, int pixel) {
    if (pixel >= 1 && static_cast<std::size_t>(pixel) <= context.wavelengthTable.size()) {
        return context.wavelengthTable[static_cast<std::size_t>(pixel - 1)];
    }
    return evaluatePolynomial(context.wavelengthPolynomial, pixel);
}

std::string calibratedTip(const DataTipContext &context, int number, const PeakMark &peak) {
    const double wl = peak.position;
    const double value = peak.intensity;
    const bool wn = isWavenumber(context.xUnit);
    switch (context.mode) {
    case GraphMode::TransRefl:
        return wn ? format("No=%-d\nWN=%-.4fcm^-1\nT/R(%%)=%-.4f%%", number, wavenumberOf(wl),
                           value)
                  : format("No=%-d\nWL=%-.3fnm\nT/R(%%)=%-.3f%%", number, wl, value);
    case GraphMode::Absorbance:
        return wn ? format("No=%-d\nWN=%-.4fcm^-1\nAbsorb=%-.4fAU", number, wavenumberOf(wl), value)
                  : format("No=%-d\nWL=%-.3fnm\nAbsorb=%-.3fAU", number, wl, value);
    case GraphMode::Irradiance:
        return wn ? format("No=%-d\nWN=%-.4fcm^-1\nIrrad=%-.4f", number, wavenumberOf(wl), value)
                  : format("No=%-d\nWL=%-.3fnm\nIrrad=%-.3f", number, wl, value);
    default:
        return wn ? format("No=%-d\nWN=%-.3fcm^-1\nIntensity=%-.3f", number, wavenumberOf(wl),
                           value)
                  : format("No=%-d\nWL=%-.3fnm\nIntensity=%-.3f", number, wl, value);
    }
}

std::string pixelTip(const DataTipContext &context, int number, const PeakMark &peak) {
    const int pixel = clampedInt(peak.position);
    const int intensity = clampedInt(peak.intensity);
    const double fwhm = peak.fwhm;
    switch (context.xUnit) {
    case GraphXUnit::Pixel:
        return format("No=%-d\nPixel=%-d\nIntensity=%-d\nFWHM=%-.3fnm", number, pixel, intensity,
                      fwhm);
    case GraphXUnit::Wavenumber:
        return format("No=%-d\nWN=%-.2fcm^-1\nIntensity=%-d\nFWHM=%-.3fnm", number,
                      wavenumberOf(wavelengthOfPixel(context, pixel)), intensity, fwhm);
    default:
        return format("No=%-d\nWL=%-.3fnm\nIntensity=%-d\nFWHM=%-.3fnm", number,
                      wavelengthOfPixel(context, pixel), intensity, fwhm);
    }
}

} // namespace

std::string yAxisTitle(const AxisTitleContext &context) {
    switch (context.mode) {
    case GraphMode::TransRefl:
        return "T/R (%)";
    case GraphMode::Absorbance:
        return "Absorbance(AU)";
    case GraphMode::Irradiance:
        if (context.relativeIrradiance) {
            return "Rel. Irradiance(%)";
        }
        if (context.irradianceUnit == IrradianceUnit::Illuminance) {
            return "Abs. Illuminance (lux/nm)";
        }
        if (context.irradianceUnit == IrradianceUnit::Power) {
            return "Abs. Power(mW/nm)";
        }
        return "Abs. Irradiance(uW/cm^2/nm)";
    default:
        return "Relative Intensity";
    }
}

std::string xUnitSuffix(const AxisTitleContext &context) {
    if (context.xUnit == GraphXUnit::Pixel) {
        return " / Pixel";
    }
    // Absolute irradiance units already end in "/nm".
    if (context.mode == GraphMode::Irradiance && !context.relativeIrradiance) {
        return "";
    }
    return context.xUnit == GraphXUnit::Wavenumber ? " / cm^-1" : " / nm";
}

std::string axisTitle(const AxisTitleContext &context) {
    return yAxisTitle(context) + xUnitSuffix(context);
}

std::string dataTipText(const DataTipContext &context, int number, const PeakMark &peak) {
    return context.calibratedAxis ? calibratedTip(context, number, peak)
                                  : pixelTip(context, number, peak);
}

} // namespace quillon
