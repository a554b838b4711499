// Frame generation: the mean count and noise of every raw sample are worked
// out when the light, sample or exposure changes, so that making a frame is
// one multiply-add and a table lookup per sample.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_FRAME_MODEL_H
#define QUILLON_DEVICELIB_DRIVER_SIM_FRAME_MODEL_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ov::sim {

// xoshiro256+: fast and good enough for noise; seeded through splitmix64.
class Rng {
public:
    explicit Rng(std::uint64_t seed = 1) { reseed(seed); }
    void reseed(std::uint64_t seed);
    std::uint64_t next() {
        const std::uint64_t result = s_[0] + s_[3];
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = (s_[3] << 45) | (s_[3] >> 19);
        return result;
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::array<std::uint64_t, 4> s_{};
};

// Inverse normal CDF at 4096 evenly spaced probabilities, scaled to unit variance.
inline constexpr int kGaussianBits = 12;
const std::array<float, 1u << kGaussianBits> &gaussianTable();

// The electrical parameters of the unit.
struct Electronics {
    double bias = 0.0;       // counts
    double readNoise = 0.0;  // counts rms
    double gain = 0.0;       // counts per electron (shot noise variance = gain * signal)
    bool inverted = false;   // InGaAs: sends 65535 - v + step
    int evenStep = 0;        // step added at even raw indexes when inverted
    int oddStep = 0;         // and at odd ones
    int avoidFirstWord = -1; // count the first sample must not take (trigger marker), or -1
};

class FrameModel {
public:
    // `darkRate` and `lightRate` are counts per ms for every raw sample.
    void configure(const Electronics &electronics, std::vector<float> darkRate,
                   std::vector<float> lightRate);
    void setLightRate(std::vector<float> lightRate);
    // Exposure in ms with factors for the light (shutter, capacitor) and the dark current.
    void setExposure(double milliseconds, double lightFactor, double darkFactor);
    void setAvoidFirstWord(int count) { electronics_.avoidFirstWord = count; }

    std::size_t sampleCount() const { return mean_.size(); }
    float meanCount(std::size_t i) const { return mean_[i]; }
    float noiseSigma(std::size_t i) const { return sigma_[i]; }

    // One frame of raw counts (after the inversion the unit applies) into `out`.
    void generate(std::span<std::uint16_t> out, Rng &rng) const;

private:
    void updateStatistics();

    Electronics electronics_;
    std::vector<float> darkRate_;
    std::vector<float> lightRate_;
    std::vector<float> mean_;
    std::vector<float> sigma_;
    std::vector<float> offset_; // 0, or 65535 + step for inverted units
    double milliseconds_ = 0.0;
    double lightFactor_ = 1.0;
    double darkFactor_ = 1.0;
};

} // namespace ov::sim

#endif
