#include "weighting.h"

#include "datafiles/byte_codec.h"
#include "photometry/colour_tables.h"

#include <charconv>
#include <vector>

namespace quillon::colour::tables {

namespace {

constexpr int kFirstNm = kWeightFirstNm;
constexpr int kLastNm = kWeightFirstNm + kWeightStepNm * (kRows - 1); // 780
// The CMFs are published to 830 nm; the weights take in everything to there.
constexpr int kTailEndNm = 830;

// Coefficients of the 10 nm points in the value at `nm` (1 nm steps): the
// Lagrange polynomial through the neighbouring points.
std::vector<std::pair<int, double>> lagrangeCoefficients(int nm) {
    if (nm >= kLastNm) {
        return {{kRows - 1, 1.0}}; // the tail takes the last value
    }
    const int j = (nm - kFirstNm) / kWeightStepNm;
    if ((nm - kFirstNm) % kWeightStepNm == 0) {
        return {{j, 1.0}};
    }
    std::vector<int> nodes;
    if (j == 0) {
        nodes = {0, 1, 2};
    } else if (j == kRows - 2) {
        nodes = {kRows - 3, kRows - 2, kRows - 1};
    } else {
        nodes = {j - 1, j, j + 1, j + 2};
    }
    std::vector<std::pair<int, double>> out;
    for (const int i : nodes) {
        double p = 1.0;
        for (const int m : nodes) {
            if (m != i) {
                p *= static_cast<double>(nm - (kFirstNm + kWeightStepNm * m)) /
                     static_cast<double>(kWeightStepNm * (i - m));
            }
        }
        out.emplace_back(i, p);
    }
    return out;
}

// Both tables hold a value there (illuminant C ends at 780 nm).
bool defined(const SpectralTable &illuminant, const SpectralTable &cmf, int nm) {
    return illuminant.covers(nm) && cmf.covers(nm);
}

std::string shortText(double value) {
    std::array<char, 40> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    std::string out(text.data(), end);
    if (out.find_first_of(".e") == std::string::npos) {
        out += ".0"; // a float literal needs a point or an exponent
    }
    return out;
}

} // namespace

Triple whitePoint(const SpectralTable &illuminant, const SpectralTable &cmf) {
    Triple sum;
    for (int nm = kFirstNm; nm <= kTailEndNm; ++nm) {
        if (!defined(illuminant, cmf, nm)) {
            continue;
        }
        const double s = illuminant.at(0, nm);
        sum.x += s * cmf.at(0, nm);
        sum.y += s * cmf.at(1, nm);
        sum.z += s * cmf.at(2, nm);
    }
    if (sum.y == 0.0) {
        return {};
    }
    const double k = 100.0 / sum.y;
    return {sum.x * k, 100.0, sum.z * k};
}

WeightingSet computeWeights(const SpectralTable &illuminant, const SpectralTable &cmf) {
    WeightingSet set;
    double ySum = 0.0;
    for (int nm = kFirstNm; nm <= kTailEndNm; ++nm) {
        if (!defined(illuminant, cmf, nm)) {
            continue;
        }
        const double s = illuminant.at(0, nm);
        ySum += s * cmf.at(1, nm);
        for (const auto &[row, c] : lagrangeCoefficients(nm)) {
            Triple &w = set.weights[static_cast<std::size_t>(row)];
            w.x += c * s * cmf.at(0, nm);
            w.y += c * s * cmf.at(1, nm);
            w.z += c * s * cmf.at(2, nm);
        }
    }
    if (ySum != 0.0) {
        const double k = 100.0 / ySum;
        for (Triple &w : set.weights) {
            w = {w.x * k, w.y * k, w.z * k};
        }
    }
    set.white = whitePoint(illuminant, cmf);
    return set;
}

bool publishedWeights(const SpectralTable &astm, std::size_t firstColumn, WeightingSet &set) {
    if (astm.firstNm != kFirstNm || astm.stepNm != kWeightStepNm || astm.lastNm() != kLastNm ||
        astm.columns.size() < firstColumn + 3) {
        return false;
    }
    for (int r = 0; r < kRows; ++r) {
        const int nm = kFirstNm + kWeightStepNm * r;
        set.weights[static_cast<std::size_t>(r)] = {
            astm.at(firstColumn, nm), astm.at(firstColumn + 1, nm), astm.at(firstColumn + 2, nm)};
    }
    return true;
}

std::array<std::array<double, 2>, 81> spectrumLocus(const SpectralTable &cmf) {
    std::array<std::array<double, 2>, 81> locus{};
    for (int k = 0; k < kLocusPoints; ++k) {
        const int nm = kLocusFirstNm + kLocusStepNm * k;
        const double x = cmf.at(0, nm);
        const double y = cmf.at(1, nm);
        const double sum = x + y + cmf.at(2, nm);
        locus[static_cast<std::size_t>(k)] =
            sum > 0.0 ? std::array{x / sum, y / sum} : std::array{0.0, 0.0};
    }
    return locus;
}

std::string colorFileBytes(const std::array<WeightingSet, 6> &sets,
                           const std::array<std::array<double, 2>, 81> &locus) {
    std::string bytes;
    datafiles::ByteWriter out(bytes);
    for (const WeightingSet &set : sets) {
        float sx = 0.0f;
        float sy = 0.0f;
        float sz = 0.0f;
        for (const Triple &w : set.weights) {
            const auto x = static_cast<float>(w.x);
            const auto y = static_cast<float>(w.y);
            const auto z = static_cast<float>(w.z);
            out.f32(x);
            out.f32(y);
            out.f32(z);
            sx += x;
            sy += y;
            sz += z;
        }
        out.f32(sx);
        out.f32(sy);
        out.f32(sz);
        out.f32(static_cast<float>(set.white.x));
        out.f32(static_cast<float>(set.white.y));
        out.f32(static_cast<float>(set.white.z));
    }
    for (const auto &point : locus) {
        out.f32(static_cast<float>(point[0]));
        out.f32(static_cast<float>(point[1]));
    }
    return bytes;
}

std::string photopicFileBytes(const SpectralTable &v1924) {
    std::string bytes;
    datafiles::ByteWriter out(bytes);
    for (int k = 0; k < kPhotopicValues; ++k) {
        const int nm = kPhotopicFirstNm + kPhotopicStepNm * k;
        if (!v1924.covers(nm)) {
            return {};
        }
        out.f32(static_cast<float>(v1924.at(0, nm)));
    }
    return bytes;
}

std::string photopicVmSource(const SpectralTable &vm) {
    if (vm.firstNm != 380 || vm.stepNm != 1 || vm.lastNm() != 780) {
        return {};
    }
    std::string text = "// Generated at build time from resources/data/vm_1988_2deg.csv by\n"
                       "// quillon_make_tables; do not edit.\n"
                       "#include \"photometry/photopic_tables.h\"\n\n"
                       "namespace quillon::colour {\n\n"
                       "namespace {\n"
                       "constexpr std::array<float, kVmValues> kVm{{\n";
    for (int nm = 380; nm <= 780; ++nm) {
        text += "    " + shortText(vm.at(0, nm)) + "f, // " + std::to_string(nm) + " nm\n";
    }
    text += "}};\n"
            "} // namespace\n\n"
            "std::span<const float, kVmValues> builtInPhotopicVm() {\n"
            "    return kVm;\n"
            "}\n\n"
            "} // namespace quillon::colour\n";
    return text;
}

} // namespace quillon::colour::tables
