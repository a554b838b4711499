// Numeric kernels of the spectrum pipeline: the radix-2 FFT, the FFT
// low-pass taper, the centred binning average and the median/mean low-pass
// filter. Plain functions over spans; scratch space is passed in so that a
// scan allocates nothing.
#ifndef QUILLON_APP_DATACONTROL_SPECTRUM_MATH_H
#define QUILLON_APP_DATACONTROL_SPECTRUM_MATH_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

// Twiddle factors cos/sin(2*pi*k/L) for k < L/2, computed once per FFT length.
class FftTwiddles {
public:
    explicit FftTwiddles(std::size_t length = 0);
    std::size_t length() const { return length_; }
    float cosAt(std::size_t k) const { return cos_[k]; }
    float sinAt(std::size_t k) const { return sin_[k]; }
    // The factors of the butterflies of span n (a power of two below L):
    // cos/sin(pi*i/n) for i < n, contiguous so that a stage streams them.
    const float *stageCos(std::size_t span) const { return stageCos_.data() + span; }
    const float *stageSin(std::size_t span) const { return stageSin_.data() + span; }
    // Index i with its bits reversed.
    std::size_t reversedIndex(std::size_t i) const { return reversed_[i]; }

private:
    std::size_t length_ = 0;
    std::vector<float> cos_;
    std::vector<float> sin_;
    std::vector<float> stageCos_; // entry span + i of every stage
    std::vector<float> stageSin_;
    std::vector<std::uint32_t> reversed_;
};

bool isPowerOfTwo(std::size_t n);
std::size_t fftLengthFor(std::size_t pixels); // smallest power of two not below

// In-place radix-2 transform, direction +1 forward or -1 backward, both
// scaled by sqrt(1/L) so that forward then backward is the identity.
// real.size() == imag.size() == twiddles.length(), a power of two.
void TransformFft(std::span<float> real, std::span<float> imag, const FftTwiddles &twiddles,
                  int direction);

// Number of tapered frequency bins for FFT strength `percent`.
int fftTaperWidth(std::size_t length, int percent);

// FFT smoothing of `spectrum` (the first N values, zero-extended to L):
// tapers the highest frequencies linearly to zero. `spectrum` and
// `imagScratch` have L entries.
void ApplyFftSmoothing(std::span<float> spectrum, std::span<float> imagScratch,
                       const FftTwiddles &twiddles, int percent);

// Centred moving average of window 2k+1, cut at the ends, computed in place
// as a running sum. `ring` holds k+1 values.
void BinningAverage(std::span<float> values, int halfWindow, std::span<double> ring);

// Two passes over `data`: a running median, then a running mean, of window
// `window`; the ends are averaged pairwise. `copy` and `window` scratch
// hold data.size() and `window` entries.
void LowPassFilter(int window, std::span<float> data, std::span<float> copy,
                   std::span<float> windowScratch);

} // namespace quillon

#endif
