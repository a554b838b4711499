#include "ov/numeric/fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ov::numeric {

FftPlan::FftPlan(std::size_t length) : length_(length) {
    if (length < 2) {
        stageCos_.assign(1, 1.0f);
        stageSin_.assign(1, 0.0f);
        return;
    }
    scale_ = static_cast<float>(1.0 / std::sqrt(static_cast<double>(length)));
    std::size_t top = 1;
    while (2 * top < length) {
        top <<= 1;
    }
    stageCos_.resize(2 * top);
    stageSin_.resize(2 * top);
    for (std::size_t span = 1; span < length; span <<= 1) {
        const double step = std::numbers::pi / static_cast<double>(span);
        for (std::size_t i = 0; i < span; ++i) {
            stageCos_[span + i] = static_cast<float>(std::cos(step * static_cast<double>(i)));
            stageSin_[span + i] = static_cast<float>(std::sin(step * static_cast<double>(i)));
        }
    }
    // The classic reversal walk; for a length that is not a power of two it
    // is no permutation, so the swaps are kept in order.
    std::size_t j = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (i < j && j < length) {
            swaps_.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
        }
        std::size_t bit = length >> 1;
        while (bit >= 1 && j >= bit) {
            j -= bit;
            bit >>= 1;
        }
        j += bit;
    }
}

bool isPowerOfTwo(std::size_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

std::size_t fftLengthFor(std::size_t samples) {
    std::size_t length = 1;
    while (length < samples) {
        length <<= 1;
    }
    return length;
}

namespace {

// One run of butterflies of a stage. The four runs never overlap; saying so
// lets the compiler compute several butterflies at once.
void butterflies(float *__restrict__ ar, float *__restrict__ ai, float *__restrict__ br,
                 float *__restrict__ bi, const float *__restrict__ cosines,
                 const float *__restrict__ sines, float sign, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const float wr = cosines[i];
        const float wi = sign * sines[i];
        const float tr = wr * br[i] - wi * bi[i];
        const float ti = wr * bi[i] + wi * br[i];
        br[i] = ar[i] - tr;
        bi[i] = ai[i] - ti;
        ar[i] += tr;
        ai[i] += ti;
    }
}

} // namespace

void fft(std::span<float> real, std::span<float> imag, const FftPlan &plan, int sign) {
    const std::size_t length = plan.length();
    if (length < 2 || real.size() != length || imag.size() != length) {
        return;
    }
    for (const FftPlan::Swap swap : plan.swaps()) {
        std::swap(real[swap.a], real[swap.b]);
        std::swap(imag[swap.a], imag[swap.b]);
    }
    const float direction = sign >= 0 ? 1.0f : -1.0f;
    for (std::size_t span = 1; span < length; span <<= 1) {
        const float *cosines = plan.stageCos(span);
        const float *sines = plan.stageSin(span);
        // Block by block, so that the butterflies of a block run over
        // contiguous memory; each butterfly is the same in any order.
        for (std::size_t block = 0; block + span < length; block += 2 * span) {
            const std::size_t count = std::min(span, length - block - span);
            butterflies(real.data() + block, imag.data() + block, real.data() + block + span,
                        imag.data() + block + span, cosines, sines, direction, count);
        }
    }
    const float scale = plan.scale();
    for (std::size_t i = 0; i < length; ++i) {
        real[i] *= scale;
        imag[i] *= scale;
    }
}

int taperWidth(std::size_t length, int percent) {
    const auto centre = static_cast<long long>(length / 2);
    return static_cast<int>(
        30 + static_cast<long long>(static_cast<double>(centre - 30) * percent * 0.01));
}

void taperHighFrequencies(std::span<float> real, std::span<float> imag, int width) {
    const auto length = static_cast<long long>(std::min(real.size(), imag.size()));
    const long long centre = length / 2;
    if (length < 4) {
        return;
    }
    real[static_cast<std::size_t>(centre)] = real[static_cast<std::size_t>(centre - 1)] = 0.0f;
    imag[static_cast<std::size_t>(centre)] = imag[static_cast<std::size_t>(centre - 1)] = 0.0f;
    for (long long v = 1; v <= static_cast<long long>(width) - 2; ++v) {
        const long long below = centre - 1 - v;
        const long long above = centre + v;
        if (below < 0 || above >= length) {
            break;
        }
        const float weight = static_cast<float>(v) / static_cast<float>(width);
        real[static_cast<std::size_t>(below)] *= weight;
        imag[static_cast<std::size_t>(below)] *= weight;
        real[static_cast<std::size_t>(above)] *= weight;
        imag[static_cast<std::size_t>(above)] *= weight;
    }
}

void taperFilter(std::span<int> samples, int strength, std::span<float> real, std::span<float> imag,
                 const FftPlan &plan) {
    const std::size_t n = samples.size();
    if (strength < 1 || strength > 100 || n < 4 || plan.length() != n || real.size() < n ||
        imag.size() < n) {
        return;
    }
    const auto re = real.first(n);
    const auto im = imag.first(n);
    for (std::size_t i = 0; i < n; ++i) {
        re[i] = static_cast<float>(samples[i]);
        im[i] = 0.0f;
    }
    fft(re, im, plan, -1);
    taperHighFrequencies(re, im, std::min(taperWidth(n, strength), static_cast<int>(n / 2)));
    fft(re, im, plan, +1);
    for (std::size_t i = 0; i < n; ++i) {
        const float value = std::isnan(re[i]) ? 0.0f : std::clamp(re[i], -2.0e9f, 2.0e9f);
        samples[i] = static_cast<int>(value);
    }
}

} // namespace ov::numeric
