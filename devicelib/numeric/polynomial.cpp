#include "ov/numeric/polynomial.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ov::numeric {

namespace {

template <typename T>
double evaluate(std::span<const T> c, int order, double x) {
    if (order < 0) {
        return 0.0;
    }
    double result = 0.0;
    const std::size_t terms = std::min(c.size(), static_cast<std::size_t>(order) + 1);
    for (std::size_t i = 0; i < terms; ++i) {
        result += static_cast<double>(c[i]) * power(x, static_cast<int>(i));
    }
    return result;
}

} // namespace

double polyCalc(std::span<const double> c, int order, double x) {
    return evaluate(c, order, x);
}

double polyCalc(std::span<const float> c, int order, double x) {
    return evaluate(c, order, x);
}

double power(double x, int e) {
    if (e == 0) {
        return 1.0;
    }
    if (x == 0.0) {
        return 0.0;
    }
    return std::pow(x, e);
}

bool polyFit(std::span<const double> x, std::span<const double> y, std::span<double> c, int order,
             FitTolerance tolerance) {
    const std::size_t n = std::min(x.size(), y.size());
    if (order < 0 || order > kMaxPolyFitOrder || c.size() < static_cast<std::size_t>(order) + 1 ||
        n < static_cast<std::size_t>(order) + 1) {
        return false;
    }
    constexpr std::size_t kSize = kMaxPolyFitOrder + 1;
    const auto m = static_cast<std::size_t>(order) + 1;
    std::array<std::array<double, kSize>, kSize> a{};
    std::array<double, kSize> b{};
    std::array<double, kSize> scale{};
    std::array<std::size_t, kSize> rowOrder{};
    std::array<double, kSize> solution{};

    for (std::size_t k = 0; k < m; ++k) {
        for (std::size_t l = 0; l <= k; ++l) {
            double sum = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                sum += power(x[i], static_cast<int>(k + l));
            }
            a[k][l] = sum;
            a[l][k] = sum;
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
            largest = std::max(largest, std::fabs(a[k][j]));
        }
        if (!(largest > 0.0) || !std::isfinite(largest)) {
            return false;
        }
        scale[k] = largest;
    }
    for (std::size_t k = 0; k < m; ++k) {
        std::size_t best = k;
        double bestMerit = std::fabs(a[rowOrder[k]][k]) / scale[rowOrder[k]];
        for (std::size_t i = k + 1; i < m; ++i) {
            const double merit = std::fabs(a[rowOrder[i]][k]) / scale[rowOrder[i]];
            if (merit > bestMerit) {
                bestMerit = merit;
                best = i;
            }
        }
        std::swap(rowOrder[k], rowOrder[best]);
        const std::size_t pivotRow = rowOrder[k];
        const double pivot = a[pivotRow][k];
        // A pivot that vanishes against its row means the points do not fix
        // this power.
        if (pivot == 0.0 || bestMerit < tolerance.minPivotRatio) {
            return false;
        }
        for (std::size_t i = k + 1; i < m; ++i) {
            const std::size_t row = rowOrder[i];
            const double factor = a[row][k] / pivot;
            for (std::size_t j = k; j < m; ++j) {
                a[row][j] -= factor * a[pivotRow][j];
            }
            b[row] -= factor * b[pivotRow];
        }
    }
    for (std::size_t k = m; k-- > 0;) {
        const std::size_t row = rowOrder[k];
        double sum = b[row];
        for (std::size_t j = k + 1; j < m; ++j) {
            sum -= a[row][j] * solution[j];
        }
        solution[k] = sum / a[row][k];
        if (tolerance.finiteCoefficients && !std::isfinite(solution[k])) {
            return false;
        }
    }
    std::copy_n(solution.begin(), m, c.begin());
    return true;
}

} // namespace ov::numeric
