// Safeguard for quantiles computed by an iteration: the iterate is kept when
// the distribution function confirms it, otherwise the quantile is found by
// bisection over the doubles themselves.
#pragma once

#include <cstdint>
#include <cstring>

#include "kernels/precision.hpp"

namespace zorvana {

// Order-preserving map of doubles onto unsigned integers: x < y exactly when
// key(x) < key(y); -0 sits just below +0. NaN is never passed.
inline std::uint64_t double_order_key(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    constexpr std::uint64_t sign = 0x8000000000000000ULL;
    return (bits & sign) ? ~bits : (bits | sign);
}

inline double double_from_order_key(std::uint64_t key) {
    constexpr std::uint64_t sign = 0x8000000000000000ULL;
    std::uint64_t bits = (key & sign) ? (key & ~sign) : ~key;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// The least double x in [lo, hi] with cdf(x) >= p, by bisection over the
// doubles (at most 64 evaluations). cdf(hi) >= p is taken for granted; a NaN
// value of cdf counts as below p.
template <class Cdf>
double least_double_reaching(double p, Cdf cdf, double lo, double hi) {
    if (cdf(lo) >= p) return lo;
    std::uint64_t below = double_order_key(lo);
    std::uint64_t above = double_order_key(hi);
    while (above - below > 1) {
        const std::uint64_t mid = below + (above - below) / 2;
        if (cdf(double_from_order_key(mid)) >= p) {
            above = mid;
        } else {
            below = mid;
        }
    }
    return double_from_order_key(above);
}

// Relative tolerance on F(x) - p within which an iterated quantile is kept,
// scaled by the smaller tail probability, plus an absolute floor.
constexpr double kQuantileRelTol = 1e-3;
constexpr double kQuantileAbsTol = 1e-15;

// An iterated quantile x for probability p (0 < p < 1) is kept when it lies in
// the support [lo, hi] and either cdf(x) is NaN or |cdf(x) - p| is within
// tolerance; otherwise the least double in [lo, hi] with cdf >= p replaces it.
// (Outside the support cdf is 0 or 1, which the absolute floor of the
// tolerance would accept for p near 2^-52.)
template <class Cdf>
double checked_quantile(double x, double p, Cdf cdf, double lo, double hi) {
    if (lo <= x && x <= hi) {
        const double f = cdf(x);
        const double tail = p < 1 - p ? p : 1 - p;
        if (is_nan(f) || abs0(f - p) <= kQuantileRelTol * tail + kQuantileAbsTol) return x;
    }
    return least_double_reaching(p, cdf, lo, hi);
}

}  // namespace zorvana
