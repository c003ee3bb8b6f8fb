// What the gamma, inverse-gamma, chi-squared and Poisson functions share: the
// incomplete gamma ratio at a quotient of doubles (the scaled argument, with
// what its rounding dropped), the density at one, the ratio and target a
// quantile solves for, and the settling of a scaled root.
#pragma once

#include <cstdint>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace gamma_tails {

using accurate::DD;

// Where a unit in the last place of a quantile moves log p by less than
// about 2e-13 (|d log p / d log x| below this), its rounding needs no check:
// the probability there is within 1e-12 of the target.
constexpr double kLooseElasticity = 1024;
constexpr double kLn2 = 0.69314718055994530942;

inline double one(bool log_p) { return log_p ? 0.0 : 1.0; }
inline double zero(bool log_p) { return log_p ? -kInf : 0.0; }
// P(X <= x) or P(X > x) where the lower tail is 0 (or 1): the asked tail's value.
inline double lower_is_zero(bool lower_tail, bool log_p) { return lower_tail ? zero(log_p) : one(log_p); }
inline double lower_is_one(bool lower_tail, bool log_p) { return lower_tail ? one(log_p) : zero(log_p); }

// A probability argument of a quantile: in [0, 1], or its logarithm in
// [-inf, 0]; its ends.
inline bool bad_probability(double p, bool log_p) { return log_p ? !(p <= 0) : !(p >= 0 && p <= 1); }
inline bool probability_zero(double p, bool log_p) { return log_p ? is_ninf(p) : p == 0; }
inline bool probability_one(double p, bool log_p) { return log_p ? p == 0 : p == 1; }

// The quotient u / v rounded, and what the rounding dropped: u / v = q + r
// to about a unit in the last place of r (0 where the split below could
// overflow or lose bits to underflow). Products are split exactly by
// Veltkamp's method, so no fused operation is needed.
struct Quotient {
    double q;
    double r;
};

inline Quotient divide(double u, double v) {
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

// log u - log v, for the quotients below 2^-1000.
inline DD log_quotient(double u, double v) { return accurate::dd_sub(accurate::log_dd(u), accurate::log_dd(v)); }

// The incomplete gamma ratio (Q if want_q, else P; its logarithm if log_r)
// at u / v, for finite u, v > 0: at the rounded quotient and what it dropped,
// or, where the quotient is far below the normal doubles, at its logarithm.
inline double ratio_at(double a, double u, double v, bool want_q, bool log_r) {
    const Quotient z = divide(u, v);
    if (z.q < 0x1p-1000) {
        const DD lz = log_quotient(u, v);
        if (lz.hi < accurate::kTinyLogX) return accurate::gamma_ratio_tiny_x(a, lz, want_q, log_r);
    }
    if (log_r) return want_q ? accurate::log_gamma_q(a, z.q, z.r) : accurate::log_gamma_p(a, z.q, z.r);
    return want_q ? accurate::gamma_q(a, z.q, z.r) : accurate::gamma_p(a, z.q, z.r);
}

// The logarithm of the gamma density of shape a at u / v (for finite u, v > 0),
// times (v / u)^over: over = 1 gives the standard density's
// z^(a-1) e^-z / Gamma(a), over = 0 its prefactor z^a e^-z / Gamma(a). The
// rounding of the quotient enters to first order (its effect is
// ((a - over) / z - 1) dz in the logarithm, large where a is).
inline DD log_density_at(double a, double u, double v, bool over) {
    const Quotient z = divide(u, v);
    if (z.q < 0x1p-1000 || is_pinf(z.q)) {
        const DD lz = log_quotient(u, v);
        if (lz.hi < accurate::kTinyLogX) return accurate::log_gamma_density_tiny_x(a, lz, over);
        if (is_pinf(z.q)) return DD{-kInf, 0.0};
    }
    const DD l = accurate::log_gamma_density(a, z.q, over);
    if (z.r == 0) return l;
    const double slope = ((over ? a - 1 : a) - z.q) / z.q;
    return accurate::dd_add(l, slope * z.r);
}

// A density (or its logarithm) from the logarithm of its standard form l
// (-inf where that vanishes) less the logarithm of a scale, as double-doubles.
inline double density_of(DD l, DD log_scale, bool log) {
    if (is_ninf(l.hi)) return log ? -kInf : 0.0;
    const DD v = accurate::dd_sub(l, log_scale);
    return log ? v.hi + v.lo : accurate::exp_dd(v);
}

// A quantile's target: the ratio to solve (Q if want_q, else P) and the
// logarithm of its value, at most 1/2. tail_is_q says which ratio is the
// asked tail; above 1/2 the complement is solved for.
struct Target {
    DD log_t;
    bool want_q;
};

inline Target target(double p, bool log_p, bool tail_is_q) {
    if (log_p) {
        if (p > -kLn2) return Target{accurate::log_dd(-accurate::expm1(p)), !tail_is_q};
        return Target{DD{p, 0.0}, tail_is_q};
    }
    if (p > 0.5) return Target{accurate::log_dd(1 - p), !tail_is_q};
    return Target{accurate::log_dd(p), tail_is_q};
}

// Whether v > 0 is a power of two, so that scaling by it is exact (short of
// overflow and the subnormals).
inline bool power_of_two(double v) {
    const std::uint64_t bits = accurate::bits_of(v);
    return (bits & 0xFFFFFFFFFFFFFull) == 0 && ((bits >> 52) & 0x7FF) != 0;
}

// A quantile y > 0 from a scaled root of the incomplete gamma ratio carries
// the rounding of the scaling: the double with the smallest residual
// log R(y) - log t, by steps of one unit toward it. falls says whether R
// falls with y; m = |d log R / d log y|, so a step moves the residual by about
// m ulp(y) / y.
template <class LogRatio>
double settle(double y, DD log_t, double m, bool falls, LogRatio log_ratio) {
    if (!(y > 0) || is_pinf(y)) return y;
    const auto residual = [&](double v) { return (log_ratio(v) - log_t.hi) - log_t.lo; };
    double f = residual(y);
    if (abs0(f) <= 0.5 * (m * ((accurate::next_double(y, true) - y) / y))) return y;
    const bool up = (f > 0) == falls;
    for (int i = 0; i < 4 && f != 0; ++i) {
        const double z = accurate::next_double(y, up);
        if (!(z > 0) || is_pinf(z)) break;
        const double g = residual(z);
        if (!(abs0(g) < abs0(f))) break;
        const bool crossed = (g > 0) != (f > 0);
        y = z;
        f = g;
        if (crossed) break;
    }
    return y;
}

}  // namespace gamma_tails
}  // namespace zorvana
