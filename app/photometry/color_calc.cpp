#include "photometry/color_calc.h"

#include "datafiles/byte_codec.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

using namespace colour;

// Radiation constants of the Planck curve; the first only scales the curve,
// which leaves its chromaticity alone.
constexpr float kC1 = 3.7419204e-23f;
constexpr float kC2 = 0.014384322f;
constexpr float kLabThreshold = 0.008856f;
constexpr float kLuvThreshold = 0.01f;
constexpr double kLinearOffset = 0.137931034482;
constexpr double kOneThird = 0.3333333333333333;
constexpr float kConsistency = 0.0001f;

// XYZ to linear sRGB.
constexpr double kToRgb[3][3] = {{3.240479, -1.53715, -0.498535},
                                 {-0.969256, 1.875992, 0.041556},
                                 {0.055648, -0.204043, 1.057311}};

float defined(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

float cubeRoot(float t) {
    return static_cast<float>(std::pow(static_cast<double>(t), kOneThird));
}

float linearForm(float t) {
    return static_cast<float>(7.787 * static_cast<double>(t) + kLinearOffset);
}

float labForm(float t) {
    return t >= kLabThreshold ? cubeRoot(t) : linearForm(t);
}

std::uint32_t packed(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b) << 16;
}

// A display channel: 0 for anything not above 0 (also NaN), at most 255.
int channel(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= 255.0 ? 255 : static_cast<int>(value);
}

class BusyWhile {
public:
    explicit BusyWhile(std::atomic<bool> &flag) : busy(flag) { busy = true; }
    ~BusyWhile() { busy = false; }
    BusyWhile(const BusyWhile &) = delete;
    BusyWhile &operator=(const BusyWhile &) = delete;

private:
    std::atomic<bool> &busy;
};

} // namespace

ColorCalc::ColorCalc(ChannelState &state, Prompter &userPrompter)
    : s(state), prompter(userPrompter) {}

void ColorCalc::SetReference(int source, float L, float a, float b) {
    referenceSource = source;
    userReference = {L, a, b};
}

OpResult ColorCalc::LoadColorTable() {
    BusyWhile guard(busy);
    const int illuminant = illuminantOf(s.settings.colorWord);
    const int observer = observerOf(s.settings.colorWord);
    if (illuminant >= kIlluminants || observer >= kObservers) {
        prompter.message(colour_messages::kNoSetForSelection);
        return OpResult::Failed;
    }
    const platform::FileContent file =
        platform::readRegularFile(s.programFolder / kColorFile, kColorFileBytes);
    if (!file || file.bytes->size() != kColorFileBytes) {
        prompter.message(colour_messages::kNoColorSet);
        return OpResult::Failed;
    }
    std::array<float, kTableTriples * 3> set{};
    std::array<float, kLocusPoints * 2> points{};
    datafiles::ByteReader in(*file.bytes);
    in.seek(setOffset(illuminant, observer));
    in.floats(std::span(set).first(kSetTriples * 3));
    in.seek(kLocusOffset);
    in.floats(points);
    const auto finite = [](float v) { return std::isfinite(v); };
    if (!in.ok() || !std::all_of(set.begin(), set.end(), finite) ||
        !std::all_of(points.begin(), points.end(), finite)) {
        prompter.message(colour_messages::kNoColorSet);
        return OpResult::Failed;
    }
    for (int c = 0; c < 3; ++c) {
        float sum = 0.0f;
        float display = 0.0f;
        for (int row = 0; row < kWeightRows; ++row) {
            const float w = set[static_cast<std::size_t>(row * 3 + c)];
            sum += w;
            if (row >= kFirstColourRow && row < kFirstColourRow + kColourRows) {
                display += w;
            }
        }
        if (std::fabs(sum - set[static_cast<std::size_t>(kSumTriple * 3 + c)]) > kConsistency) {
            prompter.message(colour_messages::kColorConstant); // the table is used anyway
        }
        set[static_cast<std::size_t>(kDisplayWhiteTriple * 3 + c)] = display;
    }
    table = set;
    locus = points;
    loaded = true;
    return OpResult::Done;
}

bool ColorCalc::onColourGrid() const {
    const WavelengthGrid &g = s.grid;
    return std::fabs(g.start - kColourFirstNm) < 1e-9 &&
           std::fabs(g.interval - kColourStepNm) < 1e-9 && g.count >= kColourRows &&
           s.buffers.gridResult.size() >= static_cast<std::size_t>(kColourRows);
}

bool ColorCalc::ComputeColor() {
    if (!loaded || !onColourGrid()) {
        return false;
    }
    gridSteps = static_cast<int>((s.grid.end - s.grid.start) / 10.0) + 1;
    ColorValues &c = values;
    c.previousX = c.x;
    c.previousY = c.y;
    c.previousZ = c.z;
    c.previousTristimulusY = c.Y;
    if (referenceSource == kPreviousMeasurement) {
        c.referenceL = c.L;
        c.referenceA = c.a;
        c.referenceB = c.b;
    } else {
        c.referenceL = userReference[0];
        c.referenceA = userReference[1];
        c.referenceB = userReference[2];
    }
    Tristimulus t{0.0f, 0.0f, 0.0f};
    for (int i = 0; i < kColourRows; ++i) {
        const float r = s.buffers.gridResult[static_cast<std::size_t>(i)] / 100.0f;
        t.X += r * weight(kFirstColourRow + i, 0);
        t.Y += r * weight(kFirstColourRow + i, 1);
        t.Z += r * weight(kFirstColourRow + i, 2);
    }
    chromaticity(t);
    colourSpaces();
    return true;
}

void ColorCalc::chromaticity(Tristimulus t) {
    ColorValues &c = values;
    c.X = t.X;
    c.Y = t.Y;
    c.Z = t.Z;
    const float sum = t.X + t.Y + t.Z;
    c.x = t.X / sum;
    c.y = t.Y / sum;
    c.z = t.Z / sum;
    if (std::fabs(c.z - (1.0f - c.x - c.y)) > kConsistency) {
        prompter.message(colour_messages::kXyz); // the values are used anyway
    }
    const float d = -2.0f * c.x + 12.0f * c.y + 3.0f;
    c.u = 4.0f * c.x / d;
    c.v = 6.0f * c.y / d;
    chromaticityDefined = sum > 0.0f && std::isfinite(sum);
    for (float *value : {&c.x, &c.y, &c.z, &c.u, &c.v}) {
        *value = defined(*value);
    }
}

void ColorCalc::colourSpaces() {
    ColorValues &c = values;
    const float xn = weight(kWhiteTriple, 0);
    const float yn = weight(kWhiteTriple, 1);
    const float zn = weight(kWhiteTriple, 2);
    const float tx = c.X / xn;
    const float ty = c.Y / yn;
    const float tz = c.Z / zn;
    // Each ratio takes the form of its own range (CIE 15). Switching all
    // three to the linear form when one ratio is small gave an orange filter
    // with a Z/Zn below the threshold an L* of 239.
    const float fx = labForm(tx);
    const float fy = labForm(ty);
    const float fz = labForm(tz);
    c.L = 116.0f * fy - 16.0f;
    c.a = 500.0f * (fx - fy);
    c.b = 200.0f * (fy - fz);
    c.L = defined(c.L);
    c.a = defined(c.a);
    c.b = defined(c.b);
    const float dl = c.L - c.referenceL;
    const float da = c.a - c.referenceA;
    const float db = c.b - c.referenceB;
    c.dE = std::sqrt(dl * dl + da * da + db * db);

    const float q = c.X + 15.0f * c.Y + 3.0f * c.Z;
    c.uPrime = defined(4.0f * c.X / q);
    c.vPrime = defined(9.0f * c.Y / q);
    const float qn = xn + 15.0f * yn + 3.0f * zn;
    const float un = 4.0f * xn / qn;
    const float vn = 9.0f * yn / qn;
    c.Luv = ty > kLuvThreshold ? 116.0f * cubeRoot(ty) - 16.0f : linearForm(ty) * 116.0f - 16.0f;
    c.Luv = defined(c.Luv);
    c.uStar = defined(13.0f * c.Luv * (c.uPrime - un));
    c.vStar = defined(13.0f * c.Luv * (c.vPrime - vn));

    c.C = std::sqrt(c.a * c.a + c.b * c.b);
    c.h = std::atan2(c.b, c.a);

    c.hunterL = defined(100.0f * std::sqrt(c.Y / yn));
    c.hunterA = defined(175.0f * std::sqrt(0.0102f * xn * yn / c.Y) * (c.X / xn - c.Y / yn));
    c.hunterB = defined(70.0f * std::sqrt(0.00847f * zn * yn / c.Y) * (c.Y / yn - c.Z / zn));
}

void ColorCalc::SampleSpectrum(float kelvin, bool planck) {
    if (planck) {
        for (int i = 0; i < kColourRows; ++i) {
            const float lambda = static_cast<float>(kColourFirstNm + kColourStepNm * i) * 1e-9f;
            const double l = lambda;
            const double value = (static_cast<double>(kC1) / (l * l * l * l * l)) /
                                 (std::exp(static_cast<double>(kC2) / (l * kelvin)) - 1.0);
            sampled[static_cast<std::size_t>(i)] = static_cast<float>(value);
        }
        return;
    }
    const std::vector<float> &y = s.buffers.gridResult;
    const double g0 = s.grid.start;
    const double step = s.grid.interval;
    const int n = std::min(s.grid.count, static_cast<int>(y.size()));
    if (n < 1 || !(step > 0.0)) {
        sampled.fill(0.0f);
        return;
    }
    if (n == 1) {
        sampled.fill(y[0] / 100.0f); // nothing to draw a line through
        return;
    }
    const auto at = [&](int k) { return static_cast<double>(y[static_cast<std::size_t>(k)]); };
    int i = 0;
    const auto w = [&] { return static_cast<double>(kColourFirstNm + kColourStepNm * i); };
    for (; i < kColourRows && w() < g0; ++i) {
        sampled[static_cast<std::size_t>(i)] =
            static_cast<float>(at(0) + (at(1) - at(0)) * (w() - g0) / step);
    }
    for (; i < kColourRows; ++i) {
        const double k = std::trunc((w() - g0) / step);
        if (k >= n - 1) {
            break;
        }
        const int j = static_cast<int>(k);
        sampled[static_cast<std::size_t>(i)] =
            static_cast<float>(at(j) + (at(j + 1) - at(j)) * (w() - (k * step + g0)) / step);
    }
    for (; i < kColourRows; ++i) {
        sampled[static_cast<std::size_t>(i)] = static_cast<float>(
            at(n - 2) + (at(n - 1) - at(n - 2)) * (w() - ((n - 2) * step + g0)) / step);
    }
    for (float &value : sampled) {
        value /= 100.0f;
    }
}

void ColorCalc::ComputeFromSample() {
    Tristimulus t{0.0f, 0.0f, 0.0f};
    for (int i = 0; i < kColourRows; ++i) {
        const float r = sampled[static_cast<std::size_t>(i)] / 100.0f;
        t.X += r * weight(kFirstColourRow + i, 0);
        t.Y += r * weight(kFirstColourRow + i, 1);
        t.Z += r * weight(kFirstColourRow + i, 2);
    }
    chromaticity(t);
}

OpResult ColorCalc::PrepareColorTemp() {
    s.settings.colorWord = withSelection(s.settings.colorWord, kIlluminantD65, kObserver2Degree);
    return LoadColorTable();
}

OpResult ColorCalc::MakeLocusFile() {
    if (PrepareColorTemp() != OpResult::Done) {
        return OpResult::Failed;
    }
    BusyWhile guard(busy);
    std::string bytes;
    datafiles::ByteWriter out(bytes);
    for (int k = 0; k < kLocusRecords; ++k) {
        SampleSpectrum(static_cast<float>(kFirstLocusKelvin + k), true);
        ComputeFromSample();
        out.f32(values.u);
        out.f32(values.v);
    }
    if (!platform::replaceBinaryFile(s.programFolder / kLocusFile, bytes)) {
        prompter.message(colour_messages::kLocusNotWritten);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

std::optional<int> ColorCalc::FindColorTemp(bool useCurrent) {
    const platform::FileContent file =
        platform::readRegularFile(s.programFolder / kLocusFile, kLocusFileBytes);
    if (!file) {
        prompter.message(file.failure == platform::FileContent::Failure::TooLarge
                             ? colour_messages::kLocusFileSize
                             : colour_messages::kNoLocusFile);
        return std::nullopt;
    }
    if (file.bytes->size() != kLocusFileBytes) {
        prompter.message(colour_messages::kLocusFileSize);
        return std::nullopt;
    }
    if (!useCurrent) {
        SampleSpectrum(0.0f, false);
        ComputeFromSample();
    }
    if (!chromaticityDefined) {
        return std::nullopt;
    }
    datafiles::ByteReader in(*file.bytes);
    float best = 1e7f;
    int result = kFirstLocusKelvin;
    for (int k = 0; k < kLocusRecords; ++k) {
        const float du = values.u - in.f32();
        const float dv = values.v - in.f32();
        const float d = du * du + dv * dv;
        if (d < best) {
            best = d;
            result = kFirstLocusKelvin + k;
        }
    }
    return result;
}

std::uint32_t ColorCalc::TileColor() const {
    const std::array<double, 3> sample{values.X, values.Y, values.Z};
    const std::array<double, 3> white{weight(kDisplayWhiteTriple, 0),
                                      weight(kDisplayWhiteTriple, 1),
                                      weight(kDisplayWhiteTriple, 2)};
    std::array<int, 3> rgb{};
    for (int c = 0; c < 3; ++c) {
        double m = 0.0;
        double mw = 0.0;
        for (int k = 0; k < 3; ++k) {
            m += kToRgb[c][k] * sample[static_cast<std::size_t>(k)];
            mw += kToRgb[c][k] * white[static_cast<std::size_t>(k)];
        }
        // The ratio first: a sample equal to the white gives exactly 255,
        // where a rounded factor 255 / white could leave it at 254.
        rgb[static_cast<std::size_t>(c)] = mw > 0.0 ? channel(m / mw * 255.0) : 0;
    }
    return packed(rgb[0], rgb[1], rgb[2]);
}

std::uint32_t ColorCalc::WavelengthColor(float w) {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    if (w >= 380.0f && w < 440.0f) {
        r = (440.0 - w) / 60.0;
        b = 1.0;
    } else if (w >= 440.0f && w < 490.0f) {
        g = (w - 440.0) / 50.0;
        b = 1.0;
    } else if (w >= 490.0f && w < 510.0f) {
        g = 1.0;
        b = (510.0 - w) / 20.0;
    } else if (w >= 510.0f && w < 580.0f) {
        r = (w - 510.0) / 70.0;
        g = 1.0;
    } else if (w >= 580.0f && w < 645.0f) {
        r = 1.0;
        g = (645.0 - w) / 65.0;
    } else if (w >= 645.0f && w < 780.0f) {
        r = 1.0;
    }
    double f = 1.0;
    if (w > 700.0f) {
        f = 0.3 + 0.7 * (780.0 - w) / 80.0;
    } else if (w < 420.0f) {
        f = 0.3 + 0.7 * (w - 380.0) / 40.0;
    }
    const double gamma = 0.8f;
    const auto level = [&](double c) { return channel(255.0 * std::pow(f * c, gamma)); };
    return packed(level(r), level(g), level(b));
}

} // namespace quillon
