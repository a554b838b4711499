// Radix-2 FFT over spans with precomputed tables, and the low-pass taper of
// its highest frequencies.
#ifndef QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_FFT_H
#define QUILLON_DEVICELIB_NUMERIC_INCLUDE_OV_NUMERIC_FFT_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ov::numeric {

// The tables of one transform length: the bit-reversal swaps and the
// butterfly factors of every stage. Built once per length; the transform
// itself then allocates nothing. Any length works: for one that is not a
// power of two, butterflies whose partner lies past the end are skipped (the
// device library's filter has always run that way over its odd ranges).
class FftPlan {
public:
    explicit FftPlan(std::size_t length = 0);
    std::size_t length() const { return length_; }
    // cos/sin(pi*i/span) for i < span of the stage of butterfly span `span`
    // (a power of two below the length), contiguous so that a stage streams them.
    const float *stageCos(std::size_t span) const { return stageCos_.data() + span; }
    const float *stageSin(std::size_t span) const { return stageSin_.data() + span; }
    struct Swap {
        std::uint32_t a;
        std::uint32_t b;
    };
    std::span<const Swap> swaps() const { return swaps_; }
    float scale() const { return scale_; } // 1/sqrt(length)

private:
    std::size_t length_ = 0;
    float scale_ = 1.0f;
    std::vector<float> stageCos_; // entry span + i of every stage
    std::vector<float> stageSin_;
    std::vector<Swap> swaps_; // in the order they are applied
};

bool isPowerOfTwo(std::size_t n);
std::size_t fftLengthFor(std::size_t samples); // smallest power of two not below

// In-place transform with the factors exp(sign * i * pi * k / span), sign +1
// or -1, scaled by 1/sqrt(L) so that one direction then the other is the
// identity. real.size() == imag.size() == plan.length(); otherwise nothing
// is done.
void fft(std::span<float> real, std::span<float> imag, const FftPlan &plan, int sign);

// Number of tapered bins for strength `percent` of a transform of `length`:
// 30 + (L/2 - 30) * percent / 100, truncated.
int taperWidth(std::size_t length, int percent);

// Zeroes the two bins about L/2 and scales the `width` - 2 bins on either
// side of them linearly (bin L/2 - 1 - v and L/2 + v by v / width); bins
// that would lie outside the spectrum end the taper.
void taperHighFrequencies(std::span<float> real, std::span<float> imag, int width);

// FFT low-pass of integer samples: forward (sign -1), taper of width
// min(taperWidth, L/2), back, truncated to int with NaN as 0 and the values
// clamped to +-2e9. `real` and `imag` are scratch of plan.length() ==
// samples.size() entries; strength 1..100, at least four samples, or
// nothing is done.
void taperFilter(std::span<int> samples, int strength, std::span<float> real, std::span<float> imag,
                 const FftPlan &plan);

} // namespace ov::numeric

#endif
