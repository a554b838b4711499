#include "datacontrol/spectrum_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {

FftTwiddles::FftTwiddles(std::size_t length) : length_(length) {
    const std::size_t half = length / 2;
    cos_.resize(half);
    sin_.resize(half);
    for (std::size_t k = 0; k < half; ++k) {
        const double angle =
            2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(length);
        cos_[k] = static_cast<float>(std::cos(angle));
        sin_[k] = static_cast<float>(std::sin(angle));
    }
    stageCos_.resize(std::max<std::size_t>(length, 1));
    stageSin_.resize(std::max<std::size_t>(length, 1));
    reversed_.resize(length);
    std::size_t j = 0;
    for (std::size_t i = 0; i < length; ++i) {
        reversed_[i] = static_cast<std::uint32_t>(j);
        std::size_t bit = length >> 1;
        while (bit != 0 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
    for (std::size_t span = 1; span < length; span <<= 1) {
        // angle i*pi/span = 2*pi*(i*L/(2*span))/L
        const std::size_t stride = length / (2 * span);
        for (std::size_t i = 0; i < span; ++i) {
            stageCos_[span + i] = cos_[i * stride];
            stageSin_[span + i] = sin_[i * stride];
        }
    }
}

bool isPowerOfTwo(std::size_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

std::size_t fftLengthFor(std::size_t pixels) {
    std::size_t length = 1;
    while (length < pixels) {
        length <<= 1;
    }
    return length;
}

namespace {

void bitReverseAndScale(std::span<float> real, std::span<float> imag, const FftTwiddles &twiddles) {
    const std::size_t length = real.size();
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t j = twiddles.reversedIndex(i);
        if (i < j) {
            std::swap(real[i], real[j]);
            std::swap(imag[i], imag[j]);
        }
    }
    const float scale = std::sqrt(1.0f / static_cast<float>(length));
    for (std::size_t i = 0; i < length; ++i) {
        real[i] *= scale;
        imag[i] *= scale;
    }
}

// One run of butterflies of a stage. The four runs never overlap; saying so
// lets the compiler compute several butterflies at once.
void butterflies(float *__restrict__ ar, float *__restrict__ ai, float *__restrict__ br,
                 float *__restrict__ bi, const float *__restrict__ cosines,
                 const float *__restrict__ sines, float sign, std::size_t span) {
    for (std::size_t i = 0; i < span; ++i) {
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

void TransformFft(std::span<float> real, std::span<float> imag, const FftTwiddles &twiddles,
                  int direction) {
    const std::size_t length = twiddles.length();
    if (length < 2 || real.size() != length || imag.size() != length || !isPowerOfTwo(length)) {
        return;
    }
    bitReverseAndScale(real, imag, twiddles);
    const float sign = direction >= 0 ? 1.0f : -1.0f;
    for (std::size_t span = 1; span < length; span <<= 1) {
        const float *cosines = twiddles.stageCos(span);
        const float *sines = twiddles.stageSin(span);
        // Block by block, so that the butterflies of a block run over
        // contiguous memory; each butterfly is the same in any order.
        for (std::size_t block = 0; block + span < length; block += 2 * span) {
            butterflies(real.data() + block, imag.data() + block, real.data() + block + span,
                        imag.data() + block + span, cosines, sines, sign, span);
        }
    }
}

int fftTaperWidth(std::size_t length, int percent) {
    const int centre = static_cast<int>(length / 2);
    return static_cast<int>(static_cast<double>(centre - 30) * percent / 100.0) + 30;
}

void ApplyFftSmoothing(std::span<float> spectrum, std::span<float> imagScratch,
                       const FftTwiddles &twiddles, int percent) {
    const std::size_t length = twiddles.length();
    if (spectrum.size() != length || imagScratch.size() != length || length < 4) {
        return;
    }
    std::fill(imagScratch.begin(), imagScratch.end(), 0.0f);
    TransformFft(spectrum, imagScratch, twiddles, +1);
    const int centre = static_cast<int>(length / 2);
    const int width = fftTaperWidth(length, percent);
    spectrum[centre] = spectrum[centre - 1] = 0.0f;
    imagScratch[centre] = imagScratch[centre - 1] = 0.0f;
    for (int i = 1; i <= width - 2; ++i) {
        const int below = centre - 1 - i;
        const int above = centre + i;
        // Strengths beyond the spectrum's half would reach past its ends.
        if (below < 0 || above >= static_cast<int>(length)) {
            break;
        }
        const float weight = static_cast<float>(i) / static_cast<float>(width);
        spectrum[below] *= weight;
        imagScratch[below] *= weight;
        spectrum[above] *= weight;
        imagScratch[above] *= weight;
    }
    TransformFft(spectrum, imagScratch, twiddles, -1);
}

void BinningAverage(std::span<float> values, int halfWindow, std::span<double> ring) {
    const int count = static_cast<int>(values.size());
    if (halfWindow <= 0 || count == 0 || ring.size() < static_cast<std::size_t>(halfWindow) + 1) {
        return;
    }
    const int ringSize = halfWindow + 1;
    double sum = 0.0;
    int inWindow = 0;
    for (int j = 0; j <= halfWindow && j < count; ++j) {
        sum += values[j];
        ++inWindow;
    }
    int slot = 0; // j mod ringSize
    for (int j = 0; j < count; ++j) {
        // The ring keeps the inputs j-k..j that have already been overwritten.
        ring[slot] = values[j];
        values[j] = static_cast<float>(sum / inWindow);
        // Input j-k leaves the window; it sits in the slot after j's.
        const int next = slot + 1 == ringSize ? 0 : slot + 1;
        if (j >= halfWindow) {
            sum -= ring[next];
            --inWindow;
        }
        slot = next;
        const int entering = j + halfWindow + 1;
        if (entering < count) {
            sum += values[entering];
            ++inWindow;
        }
    }
}

namespace {

void averageEnds(std::span<float> data, std::span<const float> copy, int half) {
    const int count = static_cast<int>(data.size());
    for (int c = 0; c < half && c + 1 < count; ++c) {
        data[c] = (copy[c] + copy[c + 1]) / 2.0f;
        data[count - 1 - c] = (copy[count - 1 - c] + copy[count - 2 - c]) / 2.0f;
    }
}

} // namespace

void LowPassFilter(int window, std::span<float> data, std::span<float> copy,
                   std::span<float> windowScratch) {
    const int count = static_cast<int>(data.size());
    // A window of one changes nothing; one wider than the data has no interior.
    if (window < 2 || count < window || copy.size() < data.size() ||
        windowScratch.size() < static_cast<std::size_t>(window)) {
        return;
    }
    const int half = window / 2;
    const auto scratch = windowScratch.first(static_cast<std::size_t>(window));

    std::copy(data.begin(), data.end(), copy.begin());
    averageEnds(data, copy, half);
    for (int i = half; i < count - half; ++i) {
        std::copy_n(copy.begin() + (i - half), window, scratch.begin());
        std::nth_element(scratch.begin(), scratch.begin() + half, scratch.end());
        data[i] = scratch[half];
    }

    std::copy(data.begin(), data.end(), copy.begin());
    averageEnds(data, copy, half);
    double sum = 0.0;
    for (int j = 0; j < window; ++j) {
        sum += copy[j];
    }
    for (int i = half; i < count - half; ++i) {
        data[i] = static_cast<float>(sum / window);
        const int next = i - half + window;
        if (next < count) {
            sum += copy[next] - copy[i - half];
        }
    }
}

} // namespace quillon
