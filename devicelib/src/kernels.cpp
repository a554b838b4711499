#include "kernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace ov {

namespace {

constexpr double kTiny = 1.0e-12;
constexpr int kMaxSavgolSize = kMaxSavgolOrder + 1;
using SavgolMatrix = std::array<std::array<double, kMaxSavgolSize>, kMaxSavgolSize>;

// LU decomposition with implicit scaled partial pivoting (Crout). False when
// a row is all but zero.
bool luDecompose(SavgolMatrix &a, int n, std::array<int, kMaxSavgolSize> &index) {
    std::array<double, kMaxSavgolSize> rowScale{};
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) {
            big = std::max(big, std::fabs(a[i][j]));
        }
        if (big < kTiny) {
            return false;
        }
        rowScale[i] = 1.0 / big;
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < i; ++k) {
                sum -= a[i][k] * a[k][j];
            }
            a[i][j] = sum;
        }
        double big = 0.0;
        int pivotRow = j;
        for (int i = j; i < n; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < j; ++k) {
                sum -= a[i][k] * a[k][j];
            }
            a[i][j] = sum;
            const double merit = rowScale[i] * std::fabs(sum);
            if (merit >= big) {
                big = merit;
                pivotRow = i;
            }
        }
        if (j != pivotRow) {
            std::swap(a[pivotRow], a[j]);
            rowScale[pivotRow] = rowScale[j];
        }
        index[j] = pivotRow;
        if (std::fabs(a[j][j]) < kTiny) {
            a[j][j] = std::copysign(kTiny, a[j][j]);
        }
        for (int i = j + 1; i < n; ++i) {
            a[i][j] /= a[j][j];
        }
    }
    return true;
}

void luSubstitute(const SavgolMatrix &a, int n, const std::array<int, kMaxSavgolSize> &index,
                  std::array<double, kMaxSavgolSize> &b) {
    int firstNonZero = -1;
    for (int i = 0; i < n; ++i) {
        const int p = index[i];
        double sum = b[p];
        b[p] = b[i];
        if (firstNonZero >= 0) {
            for (int j = firstNonZero; j < i; ++j) {
                sum -= a[i][j] * b[j];
            }
        } else if (sum != 0.0) {
            firstNonZero = i;
        }
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < n; ++j) {
            sum -= a[i][j] * b[j];
        }
        b[i] = sum / a[i][i];
    }
}

} // namespace

double power(double x, int e) {
    if (e == 0) {
        return 1.0;
    }
    if (x == 0.0) {
        return 0.0;
    }
    return std::pow(x, e);
}

bool savgolCoefficients(std::span<double> c, int nl, int nr, int ld, int m) {
    const long long window = static_cast<long long>(c.size());
    if (window < static_cast<long long>(nl) + nr + 1 || nl < 0 || nr < 0 || ld > m ||
        m > kMaxSavgolOrder || m < 0 || ld < 0 || nl + nr < m) {
        std::printf("\n Bad args in savgol.\n");
        std::fflush(stdout);
        return false;
    }
    const int size = m + 1;
    SavgolMatrix a{};
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            double sum = 0.0;
            for (int k = -nl; k <= nr; ++k) {
                sum += power(k, i + j);
            }
            a[i][j] = sum;
        }
    }
    std::array<int, kMaxSavgolSize> index{};
    if (!luDecompose(a, size, index)) {
        return false;
    }
    std::array<double, kMaxSavgolSize> b{};
    b[static_cast<std::size_t>(ld)] = 1.0;
    luSubstitute(a, size, index, b);
    for (int k = -nl; k <= nr; ++k) {
        double sum = 0.0;
        for (int p = 0; p <= m; ++p) {
            sum += b[static_cast<std::size_t>(p)] * power(k, p);
        }
        c[static_cast<std::size_t>(k + nl)] = sum;
    }
    return true;
}

int polyFit(std::span<const double> x, std::span<const double> y, std::span<double> c, int order) {
    constexpr int kUnsolvable = -5;
    const std::size_t n = std::min(x.size(), y.size());
    if (order < 0 || order > kMaxPolyFitOrder || c.size() < static_cast<std::size_t>(order) + 1 ||
        n < static_cast<std::size_t>(order) + 1) {
        return kUnsolvable;
    }
    const auto m = static_cast<std::size_t>(order) + 1;
    std::vector<double> a(m * m);
    std::vector<double> b(m);
    std::vector<double> scale(m);
    std::vector<std::size_t> rowOrder(m);
    auto at = [&](std::size_t row, std::size_t col) -> double & { return a[row * m + col]; };

    for (std::size_t k = 0; k < m; ++k) {
        for (std::size_t l = 0; l <= k; ++l) {
            double sum = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                sum += power(x[i], static_cast<int>(k + l));
            }
            at(k, l) = sum;
            at(l, k) = sum;
        }
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += y[i] * power(x[i], static_cast<int>(k));
        }
        b[k] = sum;
    }
    for (std::size_t k = 0; k < m; ++k) {
        rowOrder[k] = k;
        double largest = 0.0;
        for (std::size_t j = 0; j < m; ++j) {
            largest = std::max(largest, std::fabs(at(k, j)));
        }
        if (!(largest > 0.0) || !std::isfinite(largest)) {
            return kUnsolvable;
        }
        scale[k] = largest;
    }
    for (std::size_t k = 0; k + 1 < m; ++k) {
        std::size_t best = k;
        double bestMerit = std::fabs(at(rowOrder[k], k)) / scale[rowOrder[k]];
        for (std::size_t i = k + 1; i < m; ++i) {
            const double merit = std::fabs(at(rowOrder[i], k)) / scale[rowOrder[i]];
            if (merit > bestMerit) {
                bestMerit = merit;
                best = i;
            }
        }
        std::swap(rowOrder[k], rowOrder[best]);
        const std::size_t pivotRow = rowOrder[k];
        const double pivot = at(pivotRow, k);
        if (pivot == 0.0) {
            return kUnsolvable;
        }
        for (std::size_t i = k + 1; i < m; ++i) {
            const std::size_t row = rowOrder[i];
            const double factor = at(row, k) / pivot;
            for (std::size_t j = k; j < m; ++j) {
                at(row, j) -= factor * at(pivotRow, j);
            }
            b[row] -= factor * b[pivotRow];
        }
    }
    for (std::size_t k = m; k-- > 0;) {
        const std::size_t row = rowOrder[k];
        double sum = b[row];
        for (std::size_t j = k + 1; j < m; ++j) {
            sum -= at(row, j) * c[j];
        }
        if (at(row, k) == 0.0) {
            return kUnsolvable;
        }
        c[k] = sum / at(row, k);
    }
    return 1;
}

double polyCalc(std::span<const double> c, int order, double x) {
    if (order < 0) {
        return 0.0;
    }
    double result = 0.0;
    const std::size_t terms = std::min(c.size(), static_cast<std::size_t>(order) + 1);
    for (std::size_t i = 0; i < terms; ++i) {
        result += c[i] * power(x, static_cast<int>(i));
    }
    return result;
}

void repairBadPixels(std::span<int> frame, std::span<const std::int16_t> badList) {
    const int length = static_cast<int>(frame.size());
    auto isBad = [&](int index) {
        return std::find(badList.begin(), badList.end(), index) != badList.end();
    };
    for (const std::int16_t bad : badList) {
        if (bad < 0 || bad >= length) {
            continue;
        }
        int lower = bad - 1;
        while (lower >= 0 && isBad(lower)) {
            --lower;
        }
        int upper = bad + 1;
        while (upper < length && isBad(upper)) {
            ++upper;
        }
        if (lower < 0) {
            lower = upper;
        }
        if (upper >= length) {
            upper = lower;
        }
        if (lower < 0 || lower >= length) {
            continue; // every pixel is listed: nothing to take a value from
        }
        const long long sum = static_cast<long long>(frame[static_cast<std::size_t>(lower)]) +
                              frame[static_cast<std::size_t>(upper)];
        frame[static_cast<std::size_t>(bad)] = static_cast<int>(sum / 2);
    }
}

void fftInPlace(std::span<float> re, std::span<float> im, int sign) {
    const std::size_t n = std::min(re.size(), im.size());
    if (n < 2) {
        return;
    }
    // Bit-reversal permutation.
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < j && j < n) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t bit = n >> 1;
        while (bit >= 1 && j >= bit) {
            j -= bit;
            bit >>= 1;
        }
        j += bit;
    }
    // Butterflies; for lengths that are not a power of two the partner index
    // can pass the end, and such pairs are skipped.
    for (std::size_t half = 1; half < n; half <<= 1) {
        const double step = sign * std::numbers::pi / static_cast<double>(half);
        for (std::size_t k = 0; k < half; ++k) {
            const auto wr = static_cast<float>(std::cos(step * static_cast<double>(k)));
            const auto wi = static_cast<float>(std::sin(step * static_cast<double>(k)));
            for (std::size_t a = k; a + half < n; a += 2 * half) {
                const std::size_t b = a + half;
                const float tr = wr * re[b] - wi * im[b];
                const float ti = wr * im[b] + wi * re[b];
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
    const auto norm = static_cast<float>(1.0 / std::sqrt(static_cast<double>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        re[i] *= norm;
        im[i] *= norm;
    }
}

void fftTaperFilter(std::span<int> range, int strength, std::span<float> re, std::span<float> im) {
    const std::size_t n = range.size();
    if (strength < 1 || strength > 100 || n < 4 || re.size() < n || im.size() < n) {
        return;
    }
    auto real = re.first(n);
    auto imag = im.first(n);
    for (std::size_t i = 0; i < n; ++i) {
        real[i] = static_cast<float>(range[i]);
        imag[i] = 0.0F;
    }
    fftInPlace(real, imag, -1);
    const auto h = static_cast<long long>(n / 2);
    const long long m = std::min<long long>(
        30 + static_cast<long long>(static_cast<double>(h - 30) * strength * 0.01), h);
    auto scaleBin = [&](long long bin, float factor) {
        if (bin >= 0 && bin < static_cast<long long>(n)) {
            real[static_cast<std::size_t>(bin)] *= factor;
            imag[static_cast<std::size_t>(bin)] *= factor;
        }
    };
    scaleBin(h - 1, 0.0F);
    scaleBin(h, 0.0F);
    for (long long v = 1; v <= m - 2; ++v) {
        const auto factor = static_cast<float>(v) / static_cast<float>(m);
        scaleBin(h - 1 - v, factor);
        scaleBin(h + v, factor);
    }
    fftInPlace(real, imag, +1);
    for (std::size_t i = 0; i < n; ++i) {
        const float value = std::isnan(real[i]) ? 0.0F : std::clamp(real[i], -2.0e9F, 2.0e9F);
        range[i] = static_cast<int>(value);
    }
}

} // namespace ov
