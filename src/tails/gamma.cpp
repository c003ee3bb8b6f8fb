// Accurate gamma and chi-squared functions, through the accurate incomplete
// gamma ratios:
//
//   gamma (shape k, scale s)  P(X <= x) = P(k, x / s), P(X > x) = Q(k, x / s)
//   chi-squared (nu)          the gamma distribution with shape nu / 2, scale 2
//
// Parameter checks come in the order of the prescribed functions and give
// NaN for the same arguments; the limits at zero and infinite arguments are
// theirs, but values near zero are computed, not rounded to the limit.
#include <cstdint>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "kernels/precision.hpp"
#include "tails/gamma_shared.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace gamma_tails;

namespace {

// log s in double-double, remembered per thread for the last scale: a call
// over an array with one scale takes it once.
DD log_scale(double s) {
    thread_local std::uint64_t last_bits = 0;  // +0 is never a scale here
    thread_local DD last{0.0, 0.0};
    const std::uint64_t bits = accurate::bits_of(s);
    if (bits != last_bits) {
        last = accurate::log_dd(s);
        last_bits = bits;
    }
    return last;
}

// The quantile x = s z of the gamma law with shape k where the standard
// quantile z solves R(k, z) = t for the target's ratio.
double gamma_quantile(double k, double s, const Target& t) {
    DD log_z;
    if (accurate::gamma_inv_log_tiny(k, t.log_t, t.want_q, &log_z)) {
        return accurate::exp_dd(accurate::dd_add(log_z, log_scale(s)));
    }
    double m;
    const double y = accurate::gamma_inv(k, t.log_t, t.want_q, &m) * s;
    if (power_of_two(s) || !(m > kLooseElasticity)) return y;
    // Q falls with x, P rises.
    return settle(y, t.log_t, m, t.want_q, [k, s, &t](double v) { return ratio_at(k, v, s, t.want_q, true); });
}

}  // namespace

double dgamma_accurate(double x, double shape, double scale, bool log) {
    if (is_nan(x) || scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return zero(log);
    if (x == 0 || shape == 0) {
        double v;
        if (shape == 0) {
            v = x == 0 ? kInf : 0.0;
        } else if (shape < 1) {
            v = kInf;
        } else {
            v = shape == 1 ? 1 / scale : 0.0;
        }
        return log ? (v == 0 ? -kInf : (is_pinf(v) ? kInf : -accurate::log(scale))) : v;
    }
    if (is_inf(x) || is_inf(shape) || is_inf(scale)) return zero(log);
    // (z^(k-1) e^-z / Gamma(k)) / s at z = x / s.
    return density_of(log_density_at(shape, x, scale, true), log_scale(scale), log);
}

double pgamma_accurate(double x, double shape, double scale, bool log_p, bool lower_tail) {
    if (is_nan(x) || scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) ||
        (is_pinf(x) && is_pinf(scale))) {
        return kNaN;
    }
    if (x <= 0) return lower_is_zero(lower_tail, log_p);
    // Shape 0: all the mass at 0 (at infinity with an infinite scale).
    if (shape == 0) return is_pinf(scale) ? lower_is_zero(lower_tail, log_p) : lower_is_one(lower_tail, log_p);
    if (is_pinf(x)) return lower_is_one(lower_tail, log_p);
    if (is_pinf(shape) || is_pinf(scale)) return lower_is_zero(lower_tail, log_p);
    return ratio_at(shape, x, scale, !lower_tail, log_p);
}

double qgamma_accurate(double p, double shape, double scale, bool lower_tail, bool log_p) {
    if (scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) || bad_probability(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? 0.0 : kInf;
    if (probability_one(p, log_p)) return lower_tail ? kInf : 0.0;
    if (shape == 0 || is_pinf(shape) || is_pinf(scale)) return (shape == 0 && !is_pinf(scale)) ? 0.0 : kNaN;
    return gamma_quantile(shape, scale, target(p, log_p, !lower_tail));
}

double dchisq_accurate(double x, double dof, bool log) {
    if (is_nan(x) || dof < 0 || is_nan(dof)) return kNaN;
    if (x < 0) return zero(log);
    if (x == 0) {
        if (dof < 2) return kInf;
        return dof == 2 ? (log ? -kLn2 : 0.5) : zero(log);
    }
    if (is_pinf(x) || is_pinf(dof)) return zero(log);
    // No degrees of freedom: all the mass at 0.
    if (dof == 0) return zero(log);
    return density_of(log_density_at(dof * 0.5, x, 2.0, true), log_scale(2.0), log);
}

double pchisq_accurate(double x, double dof, bool log_p, bool lower_tail) {
    if (is_nan(x) || dof < 0 || is_nan(dof)) return kNaN;
    if (x <= 0) return lower_is_zero(lower_tail, log_p);
    // No degrees of freedom: all the mass at 0.
    if (dof == 0 || is_pinf(x)) return lower_is_one(lower_tail, log_p);
    if (is_pinf(dof)) return lower_is_zero(lower_tail, log_p);
    return ratio_at(dof * 0.5, x, 2.0, !lower_tail, log_p);
}

double qchisq_accurate(double p, double dof, bool lower_tail, bool log_p) {
    if (dof < 0 || is_nan(dof) || bad_probability(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? 0.0 : kInf;
    if (probability_one(p, log_p)) return lower_tail ? kInf : 0.0;
    if (dof == 0) return 0.0;
    // Infinite degrees of freedom: probabilities within 2^-52 of an end give
    // that end, others have no quantile.
    if (is_pinf(dof)) {
        const double q = log_p ? accurate::exp(p) : p;
        const double tail = lower_tail ? 1 - q : q;  // P(X > x)
        return tail < kEps ? kInf : (1 - tail < kEps ? 0.0 : kNaN);
    }
    return gamma_quantile(dof * 0.5, 2.0, target(p, log_p, !lower_tail));
}

double pgamma_upper(double x, double shape, double scale, bool log_p) {
    return pgamma_accurate(x, shape, scale, log_p, false);
}
double qgamma_upper(double p, double shape, double scale) { return qgamma_accurate(p, shape, scale, false, false); }
double pchisq_upper(double x, double dof, bool log_p) { return pchisq_accurate(x, dof, log_p, false); }
double qchisq_upper(double p, double dof) { return qchisq_accurate(p, dof, false, false); }

}  // namespace zorvana
