#include "photometry/irradiance_math.h"

#include "datafiles/byte_codec.h"
#include "photometry/photopic_tables.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quillon::irradiance {

namespace {

// The largest table a lamp file may promise: 1 nm steps over 0.1-100 um.
constexpr double kLargestLampCount = 100000.0;
constexpr double kPi = 3.1415926536;
constexpr float kC1 = 3.7419204e-23f;
constexpr float kC2 = 0.014384322f;
constexpr float kLowestCurveStart = -6.626e34f;

// One number a line, read as the C library reads it; a line that holds no
// number (or more than one) is refused rather than read as 0.
std::optional<double> numberOnLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    const std::string text(line);
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE || !std::isfinite(value)) {
        return std::nullopt;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    return *end == '\0' ? std::optional<double>(value) : std::nullopt;
}

} // namespace

std::optional<LampFile> parseLampFile(std::string_view text, bool headerOnly, std::string &why) {
    LampFile lamp;
    std::vector<double> header;
    int line = 0;
    while (!text.empty() &&
           (header.size() < 5 ||
            (!headerOnly && lamp.values.size() < static_cast<std::size_t>(lamp.count)))) {
        const std::size_t end = text.find('\n');
        const std::string_view current = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++line;
        const auto value = numberOnLine(current);
        if (!value) {
            why = "line " + std::to_string(line) + " is not a number";
            return std::nullopt;
        }
        if (header.size() < 5) {
            header.push_back(*value);
            if (header.size() == 5) {
                lamp.referenceDistanceCm = header[0];
                lamp.value2 = header[1];
                lamp.startNm = header[2];
                lamp.endNm = header[3];
                lamp.stepNm = header[4];
                const double span = (lamp.endNm - lamp.startNm) / lamp.stepNm;
                if (!(lamp.stepNm > 0.0) || !(span >= 1.0) || span + 1.0 > kLargestLampCount) {
                    why = "its start, end and step give no table";
                    return std::nullopt;
                }
                if (!(lamp.referenceDistanceCm > 0.0)) {
                    why = "its reference distance is not above 0";
                    return std::nullopt;
                }
                lamp.count = static_cast<int>(std::trunc(span)) + 1;
                lamp.startWhole = static_cast<int>(std::trunc(lamp.startNm));
            }
            continue;
        }
        lamp.values.push_back(static_cast<float>(*value));
    }
    if (header.size() < 5) {
        why = "it ends before its five header lines";
        return std::nullopt;
    }
    if (!headerOnly && lamp.values.size() < static_cast<std::size_t>(lamp.count)) {
        why = "it holds " + std::to_string(lamp.values.size()) + " of its " +
              std::to_string(lamp.count) + " table values";
        return std::nullopt;
    }
    return lamp;
}

double lampIrradianceAt(const LampFile &lamp, double nm, double distanceFactor) {
    if (lamp.values.empty()) {
        return 0.0;
    }
    const double offset = nm - lamp.startWhole;
    const auto k = static_cast<long long>(std::trunc(offset / lamp.stepNm));
    const auto &t = lamp.values;
    if (k < 0) {
        return distanceFactor * t.front();
    }
    if (k > lamp.count - 2) {
        return distanceFactor * t[static_cast<std::size_t>(lamp.count - 1)];
    }
    const auto i = static_cast<std::size_t>(k);
    const double fraction = (offset - static_cast<double>(k) * lamp.stepNm) / lamp.stepNm;
    return distanceFactor * (t[i] + (t[i + 1] - t[i]) * fraction);
}

std::string encodeCalibration(const CalibrationFile &file) {
    std::string bytes;
    datafiles::ByteWriter out(bytes);
    out.text(file.serial, kSerialBytes);
    out.i32(file.distanceCm);
    out.i32(file.integrationTime);
    out.floats(file.ratios);
    return bytes;
}

std::optional<CalibrationFile> decodeCalibration(std::string_view bytes, std::size_t pixels,
                                                 std::string &why) {
    const std::size_t expected = kCalibrationHeaderBytes + 4 * pixels;
    if (bytes.size() != expected) {
        why = "it holds " + std::to_string(bytes.size()) + " bytes, a unit of " +
              std::to_string(pixels) + " pixels needs " + std::to_string(expected);
        return std::nullopt;
    }
    datafiles::ByteReader in(bytes);
    CalibrationFile file;
    file.serial = in.text(kSerialBytes);
    file.distanceCm = in.i32();
    file.integrationTime = in.i32();
    file.ratios.assign(pixels, 0.0f);
    in.floats(file.ratios);
    if (file.distanceCm <= 0 || file.integrationTime <= 0) {
        why = "its distance or integration time is not above 0";
        return std::nullopt;
    }
    if (!std::all_of(file.ratios.begin(), file.ratios.end(),
                     [](float r) { return std::isfinite(r); })) {
        why = "it holds ratios that are not numbers";
        return std::nullopt;
    }
    return file;
}

float areaFactor(float coneAngleDegrees, std::int32_t distanceCm) {
    const double d = distanceCm;
    return static_cast<float>((1.0 - std::cos(coneAngleDegrees * kPi / 360.0)) * 2.0 * kPi *
                              (d * d / 10000.0));
}

float blackbody(float wavelengthNm, float kelvin) {
    const float lambda = wavelengthNm * 1e-9f;
    const double l = lambda;
    return static_cast<float>((static_cast<double>(kC1) / (l * l * l * l * l)) /
                              (std::exp(static_cast<double>(kC2) / (l * kelvin)) - 1.0));
}

void blackbodyCurve(std::span<const float> wavelengthsNm, float kelvin, std::span<float> out) {
    float largest = kLowestCurveStart;
    const std::size_t n = std::min(wavelengthsNm.size(), out.size() - 1);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = blackbody(wavelengthsNm[i], kelvin);
        if (out[i] > largest) {
            largest = out[i];
        }
    }
    out[n] = largest;
}

float photopicFromFile(std::span<const float, 40> v, double nm) {
    if (nm < 380.0 || nm > 770.0) {
        return 0.0f;
    }
    if (nm == 770.0) {
        return v[39];
    }
    const auto k = static_cast<std::size_t>(std::trunc((nm - 380.0) / 10.0));
    return static_cast<float>(v[k] + (v[k + 1] - v[k]) * (nm - (380.0 + 10.0 * k)) / 10.0);
}

float photopicBuiltIn(double nm) {
    const auto v = colour::builtInPhotopicVm();
    if (nm < colour::kVmFirstNm || nm > colour::kVmLastNm) {
        return 0.0f;
    }
    if (nm == colour::kVmLastNm) {
        return v.back();
    }
    const auto k = static_cast<std::size_t>(std::trunc(nm - colour::kVmFirstNm));
    const double fraction = nm - colour::kVmFirstNm - static_cast<double>(k);
    return static_cast<float>(v[k] + (v[k + 1] - v[k]) * fraction);
}

void relativeOnPixelBase(const RelativeInputs &in, std::span<const float> reference,
                         std::span<const float> curve, std::span<float> result) {
    const std::size_t n = std::min({in.spectrum.size(), in.dark.size(), reference.size(),
                                    result.size(), curve.empty() ? 0 : curve.size() - 1});
    std::fill(result.begin(), result.end(), 0.0f);
    if (n == 0 || curve.back() == 0.0f) {
        return;
    }
    const float largest = curve[curve.size() - 1];
    for (std::size_t i = 0; i < n; ++i) {
        const float b = reference[i] - in.dark[i] + in.darkMinusReference;
        if (b < in.threshold) {
            continue;
        }
        const float e =
            std::max(100.0f * (in.spectrum[i] - in.dark[i] + in.darkMinusCurrent) / b, 0.0f);
        result[i] = curve[i] * std::min(e, 110.0f) / largest;
    }
}

void relativeOnGrid(const RelativeInputs &in, std::span<const std::int32_t> gridIndex,
                    std::span<const float> gridReferenceMinusDark, std::span<const float> curve,
                    double scale, std::span<float> result) {
    const std::size_t n = std::min({gridIndex.size(), gridReferenceMinusDark.size(), result.size(),
                                    curve.empty() ? 0 : curve.size() - 1});
    std::fill(result.begin(), result.end(), 0.0f);
    if (n == 0 || curve[curve.size() - 1] == 0.0f) {
        return;
    }
    const double largest = curve[curve.size() - 1];
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::size_t>(gridIndex[i]);
        const float b = gridReferenceMinusDark[i];
        if (x >= in.spectrum.size() || x >= in.dark.size() || b < in.threshold) {
            continue;
        }
        const double a = in.spectrum[x] - in.dark[x] + in.darkMinusCurrent;
        result[i] = static_cast<float>(curve[i] * (a * scale / b) * 100.0 / largest);
    }
}

void absoluteOnGrid(std::span<const float> spectrum, std::span<const float> dark,
                    std::span<const std::int32_t> gridIndex, std::span<const float> ratios,
                    float integrationRatio, std::span<float> result) {
    const std::size_t n = std::min(gridIndex.size(), result.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<std::size_t>(gridIndex[i]);
        result[i] = 0.0f;
        if (x >= spectrum.size() || x >= dark.size() || x >= ratios.size() || ratios[x] < 0.0f) {
            continue;
        }
        result[i] = std::max((spectrum[x] - dark[x]) * ratios[x] * integrationRatio, 0.0f);
    }
}

double toIlluminance(std::span<float> values, std::span<const float> photopic) {
    double total = 0.0;
    const std::size_t n = std::min(values.size(), photopic.size());
    for (std::size_t i = 0; i < n; ++i) {
        values[i] *= kLuxPerIrradiance * photopic[i];
        total += values[i];
    }
    return total;
}

double sum(std::span<const float> values) {
    double total = 0.0;
    for (const float v : values) {
        total += v;
    }
    return total;
}

} // namespace quillon::irradiance
