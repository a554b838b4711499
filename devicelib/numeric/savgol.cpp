#include "ov/numeric/savgol.h"

#include "ov/numeric/polynomial.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ov::numeric {

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

SavgolStatus savgolCoefficients(std::span<double> c, int nl, int nr, int ld, int m) {
    const long long window = static_cast<long long>(c.size());
    if (window < static_cast<long long>(nl) + nr + 1 || nl < 0 || nr < 0 || ld > m ||
        m > kMaxSavgolOrder || m < 0 || ld < 0 || nl + nr < m) {
        return SavgolStatus::BadArguments;
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
        return SavgolStatus::Singular;
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
    return SavgolStatus::Ok;
}

} // namespace ov::numeric
