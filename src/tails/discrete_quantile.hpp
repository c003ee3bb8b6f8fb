// The quantile of a discrete distribution on the integers lo..hi by search:
// the least x with P(X <= x) >= p (lower tail) or P(X > x) <= p (upper
// tail), each tail computed by the family's own p-function with the
// caller's flags, so that q(p(x)) is x wherever p is strictly monotone.
// From a start (an approximation), steps doubling away from it bracket the
// answer, then bisection.
#pragma once

#include <cmath>
#include <cstdint>

#include "kernels/precision.hpp"
#include "tails/quantile_tail.hpp"

namespace zorvana {

// tail(x) is the p-function at x with the flags (log_p, lower_tail). hi may
// be kNoEnd: a quantile beyond 2^62 is then +inf.
constexpr std::int64_t kNoEnd = std::int64_t{1} << 62;

template <class Tail>
double discrete_quantile(double p, bool lower_tail, bool log_p, std::int64_t lo, std::int64_t hi, double start,
                         Tail tail) {
    SmallTail t;
    if (!small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (t.zero) {
        if (t.upper) return hi == kNoEnd ? kInf : static_cast<double>(hi);
        return static_cast<double>(lo);
    }
    auto meets = [&](std::int64_t x) {
        if (x >= hi) return true;
        const double v = tail(x);
        return lower_tail ? v >= p : v <= p;
    };
    std::int64_t x0 = lo;
    if (start > static_cast<double>(lo)) x0 = start < 0x1p62 ? static_cast<std::int64_t>(start) : hi;
    if (x0 > hi) x0 = hi;
    std::int64_t a, b;  // !meets(a) (a = lo - 1: the end), meets(b)
    std::int64_t step = 1;
    if (meets(x0)) {
        b = x0;
        a = x0 - 1;
        while (a >= lo && meets(a)) {
            b = a;
            a = a - step;
            step += step;
        }
        if (a < lo - 1) a = lo - 1;
    } else {
        a = x0;
        b = x0 + 1;
        while (b < hi && !meets(b)) {
            a = b;
            b = (hi - b > step) ? b + step : hi;
            step += step;
        }
    }
    while (b - a > 1) {
        const std::int64_t mid = a + (b - a) / 2;
        if (meets(mid)) {
            b = mid;
        } else {
            a = mid;
        }
    }
    if (b >= hi && hi == kNoEnd) return kInf;
    return static_cast<double>(b);
}

// The standard normal quantile of the small tail to about 4e-4 (Abramowitz
// and Stegun 26.2.23), for a start: z with P(Z > z) = s (t.upper) or
// P(Z <= z) = s.
inline double rough_normal_quantile(const SmallTail& t) {
    double ls = t.log_s().hi;
    if (ls > -0.6931471805599453) ls = -0.6931471805599453;
    const double w = std::sqrt(-2 * ls);  // correctly rounded everywhere
    const double z = w - (2.515517 + (0.802853 + 0.010328 * w) * w) / (1 + (1.432788 + (0.189269 + 0.001308 * w) * w) * w);
    return t.upper ? z : -z;
}

}  // namespace zorvana
