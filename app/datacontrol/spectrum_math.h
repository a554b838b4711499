// Numeric kernels of the spectrum pipeline: the FFT smoothing (on the shared
// kernels of ov_numeric), the centred binning average and the median/mean
// low-pass filter. Plain functions over spans; scratch space is passed in so
// that a scan allocates nothing.
#ifndef QUILLON_APP_DATACONTROL_SPECTRUM_MATH_H
#define QUILLON_APP_DATACONTROL_SPECTRUM_MATH_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ov/numeric/fft.h"

namespace quillon {

// The FFT and its taper are the shared kernels of ov_numeric; these are the
// names the pipeline uses for them.
using FftTwiddles = ov::numeric::FftPlan;
using ov::numeric::fftLengthFor;
using ov::numeric::isPowerOfTwo;

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
