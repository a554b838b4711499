#include "sim/frame_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ov::sim {
namespace {

std::uint64_t splitmix64(std::uint64_t &state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double inverseNormal(double p) {
    double lo = -10.0;
    double hi = 10.0;
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (lo + hi);
        const double cdf = 0.5 * std::erfc(-mid / std::numbers::sqrt2);
        (cdf < p ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

std::array<float, 1u << kGaussianBits> makeGaussianTable() {
    constexpr std::size_t n = 1u << kGaussianBits;
    std::array<double, n> values{};
    double sumSquares = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        values[k] = inverseNormal((static_cast<double>(k) + 0.5) / static_cast<double>(n));
        sumSquares += values[k] * values[k];
    }
    // The table's tails are cut off; rescale so its variance is exactly 1.
    const double scale = 1.0 / std::sqrt(sumSquares / static_cast<double>(n));
    std::array<float, n> table{};
    for (std::size_t k = 0; k < n; ++k) {
        table[k] = static_cast<float>(values[k] * scale);
    }
    return table;
}

} // namespace

void Rng::reseed(std::uint64_t seed) {
    for (auto &word : s_) {
        word = splitmix64(seed);
    }
}

const std::array<float, 1u << kGaussianBits> &gaussianTable() {
    static const auto table = makeGaussianTable();
    return table;
}

void FrameModel::configure(const Electronics &electronics, std::vector<float> darkRate,
                           std::vector<float> lightRate) {
    electronics_ = electronics;
    darkRate_ = std::move(darkRate);
    lightRate_ = std::move(lightRate);
    lightRate_.resize(darkRate_.size(), 0.0f);
    offset_.assign(darkRate_.size(), 0.0f);
    if (electronics_.inverted) {
        for (std::size_t i = 0; i < offset_.size(); ++i) {
            const int step = i % 2 == 0 ? electronics_.evenStep : electronics_.oddStep;
            offset_[i] = 65535.0f + static_cast<float>(step);
        }
    }
    updateStatistics();
}

void FrameModel::setLightRate(std::vector<float> lightRate) {
    lightRate_ = std::move(lightRate);
    lightRate_.resize(darkRate_.size(), 0.0f);
    updateStatistics();
}

void FrameModel::setExposure(double milliseconds, double lightFactor, double darkFactor) {
    milliseconds_ = milliseconds;
    lightFactor_ = lightFactor;
    darkFactor_ = darkFactor;
    updateStatistics();
}

void FrameModel::updateStatistics() {
    const std::size_t n = darkRate_.size();
    mean_.resize(n);
    sigma_.resize(n);
    const double readVariance = electronics_.readNoise * electronics_.readNoise;
    for (std::size_t i = 0; i < n; ++i) {
        const double signal =
            (darkRate_[i] * darkFactor_ + lightRate_[i] * lightFactor_) * milliseconds_;
        mean_[i] = static_cast<float>(electronics_.bias + signal);
        sigma_[i] = static_cast<float>(std::sqrt(readVariance + electronics_.gain * signal));
    }
}

void FrameModel::generate(std::span<std::uint16_t> out, Rng &rng) const {
    const auto &table = gaussianTable();
    constexpr std::uint64_t kMask = (1u << kGaussianBits) - 1;
    constexpr int kPerDraw = 64 / kGaussianBits;
    const std::size_t n = std::min(out.size(), mean_.size());
    const float sign = electronics_.inverted ? -1.0f : 1.0f;
    std::size_t i = 0;
    while (i < n) {
        std::uint64_t bits = rng.next();
        const std::size_t end = std::min(n, i + kPerDraw);
        for (; i < end; ++i, bits >>= kGaussianBits) {
            const float v = std::clamp(mean_[i] + sigma_[i] * table[bits & kMask], 0.0f, 65535.0f);
            const float raw = std::clamp(offset_[i] + sign * v, 0.0f, 65535.0f);
            out[i] = static_cast<std::uint16_t>(raw + 0.5f);
        }
    }
    if (n > 0 && electronics_.avoidFirstWord >= 0 && out[0] == electronics_.avoidFirstWord) {
        out[0] = static_cast<std::uint16_t>(out[0] == 65535 ? 65534 : out[0] + 1);
    }
}

} // namespace ov::sim
