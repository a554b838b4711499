#include "sim/optics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "ov_sim_embedded_resources.h"
#include "sim/text_util.h"

namespace ov::sim {
namespace {

constexpr double kSecondRadiationConstant = 1.4388e7; // nm K
constexpr double kWienConstant = 2.8978e6;            // nm K
// The table gives no relative intensity for the 253.65 nm resonance line.
constexpr double kUnlistedLineIntensity = 5000.0;
constexpr double kD65Peak = 117.812; // largest value of the table (460 nm)
// The calibrated lamp at 50 cm gives a quarter of the halogen's counts, so
// that it can come four times closer without saturating the sensor.
constexpr double kLampRadiancePerIrradiance = 0.075;

std::vector<std::string_view> csvFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const auto comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

// Calls `row` with the fields of every data line (the header line skipped).
template <typename Row>
void forEachCsvRow(std::string_view text, Row row) {
    bool header = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty()) {
            continue;
        }
        if (header) {
            header = false;
            continue;
        }
        row(csvFields(line));
    }
}

std::vector<EmissionLine> loadHgArLines() {
    std::vector<EmissionLine> lines;
    forEachCsvRow(embedded::kHgArLines, [&](const std::vector<std::string_view> &f) {
        if (f.size() < 3) {
            return;
        }
        const auto nm = parseDouble(f[1]);
        const auto intensity = parseDouble(f[2]);
        if (nm) {
            lines.push_back({*nm, intensity.value_or(kUnlistedLineIntensity)});
        }
    });
    double strongest = 0.0;
    for (const auto &l : lines) {
        strongest = std::max(strongest, l.relativeIntensity);
    }
    for (auto &l : lines) {
        l.relativeIntensity /= strongest;
    }
    return lines;
}

struct SpdTable {
    double firstNm = 0.0;
    double stepNm = 1.0;
    std::vector<double> values;
};

SpdTable loadD65() {
    SpdTable table;
    forEachCsvRow(embedded::kD65, [&](const std::vector<std::string_view> &f) {
        if (f.size() < 2) {
            return;
        }
        const auto nm = parseDouble(f[0]);
        const auto value = parseDouble(f[1]);
        if (nm && value) {
            if (table.values.empty()) {
                table.firstNm = *nm;
            }
            table.values.push_back(*value);
        }
    });
    return table;
}

double gaussian(double x, double centre, double fwhm) {
    const double d = (x - centre) / fwhm;
    return std::exp(-4.0 * std::numbers::ln2 * d * d);
}

double planck(double nm, double kelvin) {
    return 1.0 / (std::pow(nm, 5.0) * std::expm1(kSecondRadiationConstant / (nm * kelvin)));
}

double halogen(double nm, double kelvin) {
    if (kelvin <= 0.0 || nm <= 0.0) {
        return 0.0;
    }
    return planck(nm, kelvin) / planck(kWienConstant / kelvin, kelvin);
}

double hgAr(double nm, double fwhm) {
    double sum = 0.0;
    for (const auto &line : hgArLines()) {
        if (std::abs(nm - line.wavelengthNm) < 6.0 * fwhm) {
            sum += line.relativeIntensity * gaussian(nm, line.wavelengthNm, fwhm);
        }
    }
    return sum;
}

// Blue emitter plus a broad yellow phosphor band.
double whiteLed(double nm) {
    return gaussian(nm, 450.0, 22.0) + 0.55 * gaussian(nm, 565.0, 120.0);
}

// Didymium-like glass: a few absorption bands and a UV edge.
double glass(double nm) {
    struct Band {
        double centre, depth, width;
    };
    constexpr Band kBands[] = {{529, 0.55, 12}, {585, 0.85, 14}, {748, 0.5, 20}, {807, 0.6, 22}};
    double t = 0.91 / (1.0 + std::exp(-(nm - 330.0) / 8.0));
    for (const Band &b : kBands) {
        t *= 1.0 - b.depth * gaussian(nm, b.centre, b.width);
    }
    return t;
}

// Band-pass with steep flanks: half transmission at centre +- width / 2.
double colourFilter(double nm, double centre, double width) {
    if (width <= 0.0) {
        return 0.0;
    }
    const double d = (nm - centre) / (width / 2.0);
    return 0.88 * std::exp(-std::numbers::ln2 * d * d * d * d);
}

std::string formatNumber(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::optional<double> argument(const std::vector<std::string_view> &words, std::size_t i) {
    return i < words.size() ? parseDouble(words[i]) : std::nullopt;
}

} // namespace

const std::vector<EmissionLine> &hgArLines() {
    static const std::vector<EmissionLine> lines = loadHgArLines();
    return lines;
}

double d65(double nm) {
    static const SpdTable table = loadD65();
    const double x = (nm - table.firstNm) / table.stepNm;
    if (table.values.empty() || x < 0.0 || x > static_cast<double>(table.values.size() - 1)) {
        return 0.0;
    }
    const auto i = static_cast<std::size_t>(x);
    if (i + 1 >= table.values.size()) {
        return table.values.back();
    }
    const double f = x - static_cast<double>(i);
    return table.values[i] * (1.0 - f) + table.values[i + 1] * f;
}

double calibratedLampIrradiance(double nm, double distanceCm) {
    if (nm <= 0.0 || distanceCm <= 0.0) {
        return 0.0;
    }
    const double k = CalibratedLamp::kTemperatureK;
    const double falloff =
        (kReferenceDistanceCm / distanceCm) * (kReferenceDistanceCm / distanceCm);
    return CalibratedLamp::kIrradianceAt555 * planck(nm, k) / planck(555.0, k) * falloff;
}

std::string calibratedLampTable() {
    std::string text;
    const auto line = [&text](double v) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.6g\n", v);
        text += buffer;
    };
    line(kReferenceDistanceCm);
    line(CalibratedLamp::kTemperatureK);
    line(CalibratedLamp::kTableStartNm);
    line(CalibratedLamp::kTableEndNm);
    line(CalibratedLamp::kTableStepNm);
    const int count =
        static_cast<int>(std::lround((CalibratedLamp::kTableEndNm - CalibratedLamp::kTableStartNm) /
                                     CalibratedLamp::kTableStepNm));
    for (int i = 0; i <= count; ++i) {
        line(calibratedLampIrradiance(CalibratedLamp::kTableStartNm +
                                          CalibratedLamp::kTableStepNm * i,
                                      kReferenceDistanceCm));
    }
    return text;
}

double sourceRadiance(const SourceSettings &source, double nm, double fwhmNm) {
    double value = 0.0;
    switch (source.kind) {
    case SourceKind::Dark:
        value = 0.0;
        break;
    case SourceKind::Halogen:
        value = halogen(nm, source.temperatureK);
        break;
    case SourceKind::HgAr:
        value = hgAr(nm, fwhmNm);
        break;
    case SourceKind::WhiteLed:
        value = whiteLed(nm);
        break;
    case SourceKind::Daylight:
        value = d65(nm) / kD65Peak;
        break;
    case SourceKind::CalibratedLamp:
        value = kLampRadiancePerIrradiance * calibratedLampIrradiance(nm, kReferenceDistanceCm);
        break;
    }
    const double falloff = source.distanceCm > 0.0 ? kReferenceDistanceCm / source.distanceCm : 0.0;
    return value * source.level * falloff * falloff;
}

double sampleTransmission(const SampleSettings &sample, double nm) {
    switch (sample.kind) {
    case SampleKind::None:
        return 1.0;
    case SampleKind::NeutralDensity:
    case SampleKind::Tile:
        return std::clamp(sample.percent / 100.0, 0.0, 1.0);
    case SampleKind::Glass:
        return glass(nm);
    case SampleKind::ColourFilter:
        return colourFilter(nm, sample.centreNm, sample.widthNm);
    }
    return 1.0;
}

double detectorResponse(const SensorInfo &sensor, double nm) {
    const double span = sensor.responseHighNm - sensor.responseLowNm;
    const double x = (nm - sensor.responseLowNm) / span;
    if (span <= 0.0 || x <= 0.0 || x >= 1.0) {
        return 0.0;
    }
    // x^a (1 - x)^b peaks at a / (a + b).
    const double f = sensor.responsePeakFraction;
    const double a = 2.0;
    const double b = a * (1.0 - f) / f;
    return std::pow(x, a) * std::pow(1.0 - x, b) / (std::pow(f, a) * std::pow(1.0 - f, b));
}

std::string parseSource(std::string_view text, SourceSettings &out) {
    const auto words = splitWords(text);
    if (words.empty()) {
        return "source missing (dark, halogen [K], lamp, hgar, led, d65)";
    }
    SourceSettings s = out;
    const auto kind = words[0];
    std::size_t expected = 1;
    if (kind == "dark") {
        s.kind = SourceKind::Dark;
    } else if (kind == "halogen") {
        s.kind = SourceKind::Halogen;
        s.temperatureK = 2856.0;
        if (words.size() > 1) {
            const auto k = argument(words, 1);
            if (!k || *k < 500.0 || *k > 10000.0) {
                return "halogen temperature must be 500..10000 K";
            }
            s.temperatureK = *k;
            expected = 2;
        }
    } else if (kind == "lamp") {
        s.kind = SourceKind::CalibratedLamp;
    } else if (kind == "hgar") {
        s.kind = SourceKind::HgAr;
    } else if (kind == "led") {
        s.kind = SourceKind::WhiteLed;
    } else if (kind == "d65" || kind == "daylight") {
        s.kind = SourceKind::Daylight;
    } else {
        return "unknown source '" + std::string(kind) +
               "' (dark, halogen [K], lamp, hgar, led, d65)";
    }
    if (words.size() != expected) {
        return "unexpected words after source '" + std::string(kind) + "'";
    }
    out = s;
    return {};
}

std::string parseSample(std::string_view text, SampleSettings &out) {
    const auto words = splitWords(text);
    if (words.empty()) {
        return "sample missing (none, nd T, glass, filter CENTRE WIDTH, tile R)";
    }
    SampleSettings s;
    const auto kind = words[0];
    std::size_t expected = 1;
    if (kind == "none") {
        s.kind = SampleKind::None;
    } else if (kind == "nd" || kind == "tile") {
        s.kind = kind == "nd" ? SampleKind::NeutralDensity : SampleKind::Tile;
        const auto p = argument(words, 1);
        if (!p || *p < 0.0 || *p > 100.0) {
            return std::string(kind) + " needs a percentage 0..100";
        }
        s.percent = *p;
        expected = 2;
    } else if (kind == "glass") {
        s.kind = SampleKind::Glass;
    } else if (kind == "filter") {
        s.kind = SampleKind::ColourFilter;
        const auto c = argument(words, 1);
        const auto w = argument(words, 2);
        if (!c || !w || *c <= 0.0 || *w <= 0.0) {
            return "filter needs a centre and a width in nm";
        }
        s.centreNm = *c;
        s.widthNm = *w;
        expected = 3;
    } else {
        return "unknown sample '" + std::string(kind) + "' (none, nd T, glass, filter C W, tile R)";
    }
    if (words.size() != expected) {
        return "unexpected words after sample '" + std::string(kind) + "'";
    }
    out = s;
    return {};
}

std::string describeSource(const SourceSettings &source) {
    std::string text;
    switch (source.kind) {
    case SourceKind::Dark:
        text = "dark";
        break;
    case SourceKind::Halogen:
        text = "halogen " + formatNumber(source.temperatureK);
        break;
    case SourceKind::HgAr:
        text = "hgar";
        break;
    case SourceKind::WhiteLed:
        text = "led";
        break;
    case SourceKind::Daylight:
        text = "d65";
        break;
    case SourceKind::CalibratedLamp:
        text = "lamp";
        break;
    }
    text += " level " + formatNumber(source.level);
    if (source.distanceCm != kReferenceDistanceCm) {
        text += " at " + formatNumber(source.distanceCm) + " cm";
    }
    return text;
}

std::string describeSample(const SampleSettings &sample) {
    switch (sample.kind) {
    case SampleKind::None:
        return "none";
    case SampleKind::NeutralDensity:
        return "nd " + formatNumber(sample.percent);
    case SampleKind::Tile:
        return "tile " + formatNumber(sample.percent);
    case SampleKind::Glass:
        return "glass";
    case SampleKind::ColourFilter:
        return "filter " + formatNumber(sample.centreNm) + " " + formatNumber(sample.widthNm);
    }
    return "none";
}

double evaluateCubic(const Cubic &c, double p) {
    return c[0] + p * (c[1] + p * (c[2] + p * c[3]));
}

Cubic fitCubic(std::span<const double> pixels, std::span<const double> wavelengths) {
    Cubic result{};
    const std::size_t n = std::min(pixels.size(), wavelengths.size());
    if (n == 0) {
        return result;
    }
    const std::size_t m = std::min<std::size_t>(4, n); // unknowns
    // Pixels scaled to thousands keep the normal equations well conditioned.
    constexpr double kScale = 1000.0;
    double a[4][5] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const double u = pixels[i] / kScale;
        double powers[7] = {1.0};
        for (int k = 1; k < 7; ++k) {
            powers[k] = powers[k - 1] * u;
        }
        for (std::size_t r = 0; r < m; ++r) {
            for (std::size_t c = 0; c < m; ++c) {
                a[r][c] += powers[r + c];
            }
            a[r][4] += wavelengths[i] * powers[r];
        }
    }
    for (std::size_t col = 0; col < m; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < m; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(a[col], a[pivot]);
        if (std::abs(a[col][col]) < 1e-300) {
            return result; // degenerate points: no fit
        }
        for (std::size_t r = 0; r < m; ++r) {
            if (r != col) {
                const double f = a[r][col] / a[col][col];
                for (std::size_t c = col; c < 5; ++c) {
                    a[r][c] -= f * a[col][c];
                }
            }
        }
    }
    double scale = 1.0;
    for (std::size_t k = 0; k < m; ++k) {
        result[k] = a[k][4] / a[k][k] / scale;
        scale *= kScale;
    }
    return result;
}

} // namespace ov::sim
