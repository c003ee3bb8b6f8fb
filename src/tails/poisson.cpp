// Accurate Poisson functions (rate r), through the accurate incomplete gamma
// ratios:
//
//   P(X <= x) = Q(x + 1, r),  P(X > x) = P(x + 1, r),
//   P(X = x) = (r^(x+1) e^-r / x!) / r, the gamma prefactor at shape x + 1.
//
// Quantiles are the least x with P(X <= x) >= p (lower tail) or
// P(X > x) <= p (upper tail). Parameter checks give NaN for the arguments
// the prescribed functions do.
#include <cmath>
#include <cstdint>
#include <limits>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "kernels/precision.hpp"
#include "tails/gamma_shared.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace gamma_tails;

namespace {

constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max();
// The longest walk by masses before a search takes over.
constexpr int kMaxWalk = 64;

// x + 1 as a double, without overflowing the 64-bit count (x >= 0).
double shape_after(std::int64_t x) { return static_cast<double>(static_cast<std::uint64_t>(x) + 1u); }

// Upper standard normal quantile to about 5e-4, for a search's start: z with
// P(Z > z) = t for 0 < t <= 1/2, given log t.
double rough_normal_upper(double log_t) {
    const double u = std::sqrt(-2 * log_t);
    return u - (2.515517 + (0.802853 + 0.010328 * u) * u) / (1 + (1.432788 + (0.189269 + 0.001308 * u) * u) * u);
}

}  // namespace

double dpois_accurate(std::int64_t x, double rate, bool log) {
    if (rate < 0 || is_nan(rate)) return kNaN;
    if (x < 0) return zero(log);
    if (rate == 0) return x == 0 ? one(log) : zero(log);
    if (is_pinf(rate)) return zero(log);
    if (x == 0) return log ? -rate : accurate::exp(-rate);
    return density_of(accurate::log_gamma_density(shape_after(x), rate, true), DD{0.0, 0.0}, log);
}

double ppois_accurate(std::int64_t x, double rate, bool log_p, bool lower_tail) {
    if (rate < 0 || is_nan(rate)) return kNaN;
    if (x < 0 || is_pinf(rate)) return lower_is_zero(lower_tail, log_p);
    if (rate == 0) return lower_is_one(lower_tail, log_p);
    const double a = shape_after(x);
    if (log_p) return lower_tail ? accurate::log_gamma_q(a, rate) : accurate::log_gamma_p(a, rate);
    return lower_tail ? accurate::gamma_q(a, rate) : accurate::gamma_p(a, rate);
}

// The least count that passes (passes is monotone: false below the answer,
// true from it on), searched from start: the distance to the answer is
// bracketed by doubling steps, then halved.
template <class Passes>
double least_count(std::int64_t start, const Passes& passes) {
    // lo fails (lo = -1 always does), hi passes.
    std::int64_t lo;
    std::int64_t hi;
    std::int64_t step = 1;
    if (passes(start)) {
        hi = start;
        for (;;) {
            lo = start >= step ? start - step : -1;
            if (lo < 0 || !passes(lo)) break;
            hi = lo;
            if (step > kMaxCount / 2) {
                lo = -1;
                break;
            }
            step += step;
        }
    } else {
        lo = start;
        for (;;) {
            hi = start > kMaxCount - step ? kMaxCount : start + step;
            if (passes(hi)) break;
            if (hi == kMaxCount) return 0x1p63;
            lo = hi;
            if (step <= kMaxCount / 2) step += step;
        }
    }
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (passes(mid)) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return static_cast<double>(hi);
}

// From a Cornish-Fisher start, by a walk over the masses or a search. The
// criterion is taken on the tail at most
// 1/2 (P(X <= x) >= p is P(X > x) <= 1 - p), as values, or as logarithms
// where the target is below the normal doubles.
double qpois_accurate(double p, double rate, bool lower_tail, bool log_p) {
    if (rate < 0 || is_nan(rate) || bad_probability(p, log_p)) return kNaN;
    if (rate == 0) return 0.0;
    if (lower_tail) {
        if (probability_zero(p, log_p)) return 0.0;
        if (probability_one(p, log_p)) return kInf;
    } else {
        if (probability_one(p, log_p)) return 0.0;
        if (probability_zero(p, log_p)) return kInf;
    }
    if (is_pinf(rate)) return kInf;

    // The tail compared (upper: P(X > x) <= t; else P(X <= x) >= t), t <= 1/2.
    bool upper = !lower_tail;
    double log_t;
    if (log_p) {
        log_t = p;
        if (p > -kLn2) {
            log_t = accurate::log(-accurate::expm1(p));
            upper = !upper;
        }
    } else {
        double t = p;
        if (p > 0.5) {
            t = 1 - p;
            upper = !upper;
        }
        log_t = accurate::log(t);
    }
    const bool in_logs = log_t < -700;
    const double t = in_logs ? 0.0 : (log_p ? accurate::exp(log_t) : (upper == lower_tail ? 1 - p : p));
    const auto passes = [upper, in_logs, t, log_t, rate](std::int64_t k) {
        const double a = shape_after(k);
        if (in_logs) {
            return upper ? accurate::log_gamma_p(a, rate) <= log_t : accurate::log_gamma_q(a, rate) >= log_t;
        }
        return upper ? accurate::gamma_p(a, rate) <= t : accurate::gamma_q(a, rate) >= t;
    };

    const double z0 = rough_normal_upper(log_t);
    const double z = upper ? z0 : -z0;
    const double g = (rate + z * std::sqrt(rate)) + (z * z - 1) / 6;
    // Counts beyond the 64-bit range: the start itself is the answer, its
    // error far below the spacing of the doubles there.
    if (g >= 0x1p63) return g;
    // The walk: from a start on the side where the compared tail is within
    // the target, the tail grows toward the answer by the masses, which
    // follow from one another by a product and a quotient. The start is
    // moved away from the normal estimate by more than that estimate's error
    // (which grows like z^2), so that it seldom lands on the wrong side.
    // P(X <= 0) = e^-r.
    if (!upper && (in_logs ? -rate >= log_t : accurate::exp(-rate) >= t)) return 0.0;
    std::int64_t start;
    if (!in_logs) {
        const double margin = 2 + (z * z) * 0.02;
        // Below 1/2 the lower tail's answer is below the median, at most r.
        const double s = upper ? g + margin : (g - margin < rate ? g - margin : rate);
        start = s > 0 ? static_cast<std::int64_t>(s) : 0;
        for (int jump = 0; start < 0x1p53; ++jump) {
            const double a = shape_after(start);
            double tail = upper ? accurate::gamma_p(a, rate) : accurate::gamma_q(a, rate);
            if (!(upper ? tail <= t : tail < t)) return least_count(start, passes);
            double k = static_cast<double>(start);
            // Far from the answer (the normal estimate is poor far in the
            // tails of small rates): a jump toward it by the steps the
            // masses' ratio at the start (k / r or r / (k + 1)) gives, which
            // change slower on the way, so that the jump falls short.
            const double growth = upper ? k / rate : rate / (k + 1);
            if (jump < 3 && tail < t * 0x1p-20 && growth > 1.05) {
                // The tail's logarithm, from the kernel where the tail is
                // far below the normal doubles.
                const double log_tail = tail > 0x1p-1000 ? accurate::log(tail)
                                        : (upper ? accurate::log_gamma_p(a, rate) : accurate::log_gamma_q(a, rate));
                const double steps = (log_t - log_tail) / accurate::log(growth);
                if (steps > 24) {
                    const double to = upper ? k - (steps - 2) : k + (steps - 2);
                    if (to > 0 && to < 0x1p53) {
                        start = static_cast<std::int64_t>(to);
                        continue;
                    }
                }
            }
            double mass = dpois_accurate(start, rate, false);
            // Far below the normal doubles the masses lose their bits: the
            // start is far from the answer then, for a search.
            if (!(mass > 0x1p-1000)) return least_count(start, passes);
            for (int i = 0; i < kMaxWalk; ++i) {
                if (upper) {
                    // P(X > k - 1) = P(X > k) + P(X = k)
                    if (k == 0) return 0.0;
                    tail = tail + mass;
                    if (tail > t) return k;
                    mass = mass * (k / rate);
                    k = k - 1;
                } else {
                    // P(X <= k + 1) = P(X <= k) + P(X = k + 1)
                    mass = mass * (rate / (k + 1));
                    k = k + 1;
                    tail = tail + mass;
                    if (tail >= t) return k;
                }
            }
            return least_count(static_cast<std::int64_t>(k), passes);
        }
    }
    start = g > 0 ? static_cast<std::int64_t>(g) : 0;
    return least_count(start, passes);
}

double ppois_upper(std::int64_t x, double rate, bool log_p) { return ppois_accurate(x, rate, log_p, false); }
double qpois_upper(double p, double rate) { return qpois_accurate(p, rate, false, false); }

}  // namespace zorvana
