// Upper tails of the gamma, inverse-gamma, chi-squared and Poisson
// distributions, through the accurate incomplete gamma ratios:
//
//   gamma (shape k, scale s)         P(X > x) = Q(k, x / s)
//   inverse gamma (shape k, scale s) P(X > x) = P(k, s / x)
//   chi-squared (nu)                 P(X > x) = Q(nu / 2, x / 2)
//   Poisson (rate r)                 P(X > x) = P(x + 1, r)
//
// Parameter checks come in the order of the lower-tail functions and give NaN
// for the same arguments; the limits at zero and infinite arguments are the
// complements of theirs, but values near zero are computed, not rounded to
// the limit.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {
namespace {

constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max();
// Where a unit in the last place of a quantile moves log p by less than
// about 1e-14 (|d log p / d log x| below this), its rounding needs no check.
constexpr double kLooseElasticity = 64;

double one(bool log_p) { return log_p ? 0.0 : 1.0; }
double zero(bool log_p) { return log_p ? -kInf : 0.0; }

double upper_q(double a, double x, double dx, bool log_p) {
    return log_p ? accurate::log_gamma_q(a, x, dx) : accurate::gamma_q(a, x, dx);
}
double upper_p(double a, double x, double dx, bool log_p) {
    return log_p ? accurate::log_gamma_p(a, x, dx) : accurate::gamma_p(a, x, dx);
}

// The quotient u / v rounded, and what the rounding dropped: u / v = q + r
// to about a unit in the last place of r (0 where the split below could
// overflow or lose bits to underflow). Products are split exactly by
// Veltkamp's method, so no fused operation is needed.
struct Quotient {
    double q;
    double r;
};

Quotient divide(double u, double v) {
    const double q = u / v;
    const double mag_q = abs0(q);
    const double mag_v = abs0(v);
    if (!(mag_q < 0x1p990 && mag_v < 0x1p990 && mag_q > 0x1p-960 && mag_v > 0x1p-960)) return Quotient{q, 0.0};
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double cq = kSplit * q;
    const double q_hi = cq - (cq - q);
    const double q_lo = q - q_hi;
    const double cv = kSplit * v;
    const double v_hi = cv - (cv - v);
    const double v_lo = v - v_hi;
    const double prod = q * v;
    const double err = ((q_hi * v_hi - prod) + q_hi * v_lo + q_lo * v_hi) + q_lo * v_lo;
    // u - q v = (u - prod) - err, the first difference exact.
    return Quotient{q, ((u - prod) - err) / v};
}

// Upper standard normal quantile to about 5e-4, for a search's start:
// z with P(Z > z) = p, 0 < p < 1.
double rough_normal_upper(double p) {
    const double t_p = p < 0.5 ? p : 1 - p;
    const double t = std::sqrt(-2 * accurate::log(t_p));
    const double z =
        t - (2.515517 + (0.802853 + 0.010328 * t) * t) / (1 + (1.432788 + (0.189269 + 0.001308 * t) * t) * t);
    return p < 0.5 ? z : -z;
}

// Whether v > 0 is a power of two, so that scaling by it is exact (short of
// overflow and the subnormals).
bool power_of_two(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0xFFFFFFFFFFFFFull) == 0 && ((bits >> 52) & 0x7FF) != 0;
}

using accurate::next_double;

// A quantile y > 0 from a scaled root of the incomplete gamma ratio carries
// the rounding of the scaling: the double with the smallest residual
// tail(y) / p - 1, by steps of one unit toward it (the tail falls with y;
// m = |d log p / d log y|, so a step moves the residual by about m ulp(y) / y).
template <class Tail>
double settle(double y, double p, double m, Tail tail) {
    if (!(y > 0) || is_pinf(y)) return y;
    double f = tail(y) / p - 1;
    if (abs0(f) <= 0.5 * (m * ((next_double(y, true) - y) / y))) return y;
    const bool up = f > 0;
    for (int i = 0; i < 4 && f != 0; ++i) {
        const double z = next_double(y, up);
        if (!(z > 0) || is_pinf(z)) break;
        const double g = tail(z) / p - 1;
        if (!(abs0(g) < abs0(f))) break;
        const bool crossed = (g > 0) != (f > 0);
        y = z;
        f = g;
        if (crossed) break;
    }
    return y;
}

}  // namespace

double pgamma_upper(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) ||
        (is_pinf(x) && is_pinf(scale))) {
        return kNaN;
    }
    if (x < 0) return one(log_p);
    // Shape 0: all the mass at 0 (at infinity with an infinite scale).
    if (shape == 0) return is_pinf(scale) ? one(log_p) : zero(log_p);
    if (x == 0) return one(log_p);
    if (is_pinf(x)) return zero(log_p);
    if (is_pinf(shape) || is_pinf(scale)) return one(log_p);
    const Quotient z = divide(x, scale);
    return upper_q(shape, z.q, z.r, log_p);
}

double qgamma_upper(double p, double shape, double scale) {
    if (scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) || p > 1 || p < 0 || is_nan(p)) {
        return kNaN;
    }
    if (p == 0) return kInf;
    if (p == 1) return 0.0;
    if (shape == 0 || is_pinf(shape) || is_pinf(scale)) return (shape == 0 && !is_pinf(scale)) ? 0.0 : kNaN;
    double elasticity;
    const double y = accurate::gamma_q_inv(shape, p, &elasticity) * scale;
    if (power_of_two(scale) || !(elasticity > kLooseElasticity)) return y;
    return settle(y, p, elasticity, [shape, scale](double v) { return pgamma_upper(v, shape, scale, false); });
}

double pinvgamma_upper(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return one(log_p);
    // Scale 0: all the mass at 0.
    if (scale == 0) return x == 0 ? kNaN : zero(log_p);
    if (is_pinf(scale)) return kNaN;
    const double f = x == 0 ? kInf : 1 / x;
    const double h = 1 / scale;
    if (h < kEps || (is_pinf(f) && is_pinf(h))) return kNaN;
    // Shape 0: all the mass at infinity (at 0 when the scale is below the
    // doubles' reciprocal range).
    if (shape == 0) return is_pinf(h) ? zero(log_p) : one(log_p);
    if (x == 0) return one(log_p);
    if (is_pinf(x) || is_pinf(shape)) return zero(log_p);
    const Quotient z = divide(scale, x);
    return upper_p(shape, z.q, z.r, log_p);
}

double qinvgamma_upper(double p, double shape, double scale) {
    if (scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return 0.0;
    if (scale == 0 || shape == 0 || is_pinf(shape) || is_pinf(scale)) {
        return (scale == 0 && shape != 0) ? 0.0 : kNaN;
    }
    double elasticity;
    const double x = accurate::gamma_p_inv(shape, p, &elasticity);
    const double y = scale / x;
    if ((power_of_two(scale) && power_of_two(x)) || !(elasticity > kLooseElasticity)) return y;
    return settle(y, p, elasticity, [shape, scale](double v) { return pinvgamma_upper(v, shape, scale, false); });
}

double pchisq_upper(double x, double dof, bool log_p) {
    if (is_nan(x) || dof < 0 || is_nan(dof)) return kNaN;
    if (x < 0) return one(log_p);
    // No degrees of freedom: all the mass at 0.
    if (dof == 0) return zero(log_p);
    if (x == 0) return one(log_p);
    if (is_pinf(x)) return zero(log_p);
    if (is_pinf(dof)) return one(log_p);
    return upper_q(dof * 0.5, x * 0.5, 0.0, log_p);
}

double qchisq_upper(double p, double dof) {
    if (dof < 0 || is_nan(dof) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return 0.0;
    if (dof == 0) return 0.0;
    // Infinite degrees of freedom: as in the lower tail, probabilities within
    // 2^-52 of an end give that end, others have no quantile.
    if (is_pinf(dof)) return p < kEps ? kInf : (1 - p < kEps ? 0.0 : kNaN);
    return accurate::gamma_q_inv(dof * 0.5, p) * 2;
}

// P(X > x) = P(x + 1, r): the upper and lower tails sum to 1.
double ppois_upper(std::int64_t x, double rate, bool log_p) {
    if (rate < 0 || is_nan(rate)) return kNaN;
    if (x < 0 || is_pinf(rate)) return one(log_p);
    if (rate == 0) return zero(log_p);
    // x + 1 as a double, without overflowing the 64-bit count.
    const double a = static_cast<double>(static_cast<std::uint64_t>(x) + 1u);
    return upper_p(a, rate, 0.0, log_p);
}

// The least count x with P(X > x) <= p: from a Cornish-Fisher start, the
// distance to the answer is bracketed by doubling steps, then halved.
double qpois_upper(double p, double rate) {
    if (rate < 0 || is_nan(rate) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 1 || rate == 0) return 0.0;
    if (p == 0 || is_pinf(rate)) return kInf;
    const auto passes = [p, rate](std::int64_t k) { return ppois_upper(k, rate, false) <= p; };

    const double z = rough_normal_upper(p);
    const double g = (rate + z * std::sqrt(rate)) + (z * z - 1) / 6;
    // Counts beyond the 64-bit range: the start itself is the answer, its
    // error far below the spacing of the doubles there.
    if (g >= 0x1p63) return g;
    const std::int64_t start = g > 0 ? static_cast<std::int64_t>(g) : 0;

    // lo fails (P(X > lo) > p; lo = -1 always does), hi passes.
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

}  // namespace zorvana
