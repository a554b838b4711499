#include "datacontrol/spectrum_math.h"

#include <algorithm>
#include <cmath>

namespace quillon {

void TransformFft(std::span<float> real, std::span<float> imag, const FftTwiddles &twiddles,
                  int direction) {
    if (!isPowerOfTwo(twiddles.length())) {
        return;
    }
    ov::numeric::fft(real, imag, twiddles, direction >= 0 ? +1 : -1);
}

int fftTaperWidth(std::size_t length, int percent) {
    return ov::numeric::taperWidth(length, percent);
}

void ApplyFftSmoothing(std::span<float> spectrum, std::span<float> imagScratch,
                       const FftTwiddles &twiddles, int percent) {
    const std::size_t length = twiddles.length();
    if (spectrum.size() != length || imagScratch.size() != length || length < 4 ||
        !isPowerOfTwo(length)) {
        return;
    }
    std::fill(imagScratch.begin(), imagScratch.end(), 0.0f);
    ov::numeric::fft(spectrum, imagScratch, twiddles, +1);
    ov::numeric::taperHighFrequencies(spectrum, imagScratch, fftTaperWidth(length, percent));
    ov::numeric::fft(spectrum, imagScratch, twiddles, -1);
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
