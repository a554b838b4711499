// Tick stepping of the graph axes: snapped major steps, minor ticks, label
// texts and pixel positions. No Qt, so the printed sheet and tests share it.
#ifndef QUILLON_APP_SHELL_AXIS_TICKS_H
#define QUILLON_APP_SHELL_AXIS_TICKS_H

#include <span>
#include <string>
#include <vector>

namespace quillon {

enum class Axis { X, Y };

// Per-axis tick settings of the graph window.
struct TickSettings {
    int majorDivisions = 10;
    int minorPerMajor = 5;
    int decimals = 0; // used when the snapped step gives no decimals of its own
};

struct TickStep {
    double major = 0.0;
    double minor = 0.0;
    int decimals = 0;
};

// How a tick value becomes its label text.
enum class LabelConversion {
    Plain,             // the value itself
    PixelAsWavelength, // pixel number through the wavelength polynomial
    PixelAsWavenumber, // as above, then 10,000,000 / wavelength
};

struct AxisRequest {
    Axis axis = Axis::X;
    double start = 0.0; // view range in axis units
    double end = 0.0;
    double origin = 0.0; // x: plot left; y: plot bottom
    double scale = 0.0;  // pixels per axis unit
    TickSettings settings;
    LabelConversion conversion = LabelConversion::Plain;
    std::span<const double> wavelengthPolynomial; // c0..cm, for the pixel conversions
};

struct Tick {
    double value = 0.0;
    int position = 0;
    bool major = false;
    std::string label; // empty on minor ticks
};

inline constexpr int kMaxAxisLabels = 23;

// The snapped major step, minor step and label decimals for a range. A range
// that is empty, inverted or not finite gives a zero step.
TickStep chooseTickStep(Axis axis, double start, double end, const TickSettings &settings);

// Ticks from the first one at or after `start` up to `end`, at most
// kMaxAxisLabels labelled ones.
std::vector<Tick> computeTicks(const AxisRequest &request);

// "%.f", "%.1f" ... "%.5f" by decimals.
std::string formatTickLabel(double value, int decimals);

// Σ c_k·x^k, summed in double precision.
double evaluatePolynomial(std::span<const double> coefficients, double x);

// Label value of a tick under a conversion; NaN when it has none (a
// non-positive wavelength has no wavenumber).
double convertTickValue(double value, LabelConversion conversion,
                        std::span<const double> wavelengthPolynomial);

} // namespace quillon

#endif
