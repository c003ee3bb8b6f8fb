// Accurate inverse-gamma functions (shape k, scale s), the law of s / Y for
// Y standard gamma with shape k:
//
//   P(X <= x) = Q(k, s / x),  P(X > x) = P(k, s / x),
//   density (z^k e^-z / Gamma(k)) / x at z = s / x.
//
// Parameter checks come in the order of the prescribed functions and give
// NaN for the same arguments; the limits at zero and infinite arguments are
// theirs, but values near zero are computed, not rounded to the limit. s / x
// may fall below the normal doubles (or the doubles) where neither s nor x
// does: the ratios and the density are then taken at its logarithm.
#include <cstdint>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "kernels/precision.hpp"
#include "tails/gamma_shared.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace gamma_tails;

double dinvgamma_accurate(double x, double shape, double scale, bool log) {
    if (is_nan(x) || scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return zero(log);
    if (x == 0 || shape == 0) {
        double v;
        if (shape == 0) {
            v = x > 0 ? kInf : 0.0;
        } else {
            v = scale == 0 ? kInf : 0.0;
        }
        return log ? (v == 0 ? -kInf : kInf) : v;
    }
    if (scale == 0 || is_inf(x) || is_inf(shape) || is_inf(scale)) return zero(log);
    return density_of(log_density_at(shape, scale, x, false), accurate::log_dd(x), log);
}

double pinvgamma_accurate(double x, double shape, double scale, bool log_p, bool lower_tail) {
    if (is_nan(x) || scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return lower_is_zero(lower_tail, log_p);
    // Scale 0: all the mass at 0.
    if (scale == 0) return x == 0 ? kNaN : lower_is_one(lower_tail, log_p);
    if (is_pinf(scale)) return kNaN;
    const double f = x == 0 ? kInf : 1 / x;
    const double h = 1 / scale;
    if (h < kEps || (is_pinf(f) && is_pinf(h))) return kNaN;
    // Shape 0: all the mass at infinity (at 0 when the scale is below the
    // doubles' reciprocal range).
    if (shape == 0) return is_pinf(h) ? lower_is_one(lower_tail, log_p) : lower_is_zero(lower_tail, log_p);
    if (x == 0) return lower_is_zero(lower_tail, log_p);
    if (is_pinf(x) || is_pinf(shape)) return lower_is_one(lower_tail, log_p);
    return ratio_at(shape, scale, x, lower_tail, log_p);
}

double qinvgamma_accurate(double p, double shape, double scale, bool lower_tail, bool log_p) {
    if (scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale) || bad_probability(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? 0.0 : kInf;
    if (probability_one(p, log_p)) return lower_tail ? kInf : 0.0;
    if (scale == 0 || shape == 0 || is_pinf(shape) || is_pinf(scale)) {
        return (scale == 0 && shape != 0) ? 0.0 : kNaN;
    }
    // The lower tail is Q(k, s / x).
    const Target t = target(p, log_p, lower_tail);
    DD log_z;
    if (accurate::gamma_inv_log_tiny(shape, t.log_t, t.want_q, &log_z)) {
        return accurate::exp_dd(accurate::dd_sub(accurate::log_dd(scale), log_z));
    }
    double m;
    const double z = accurate::gamma_inv(shape, t.log_t, t.want_q, &m);
    const double y = scale / z;
    if ((power_of_two(scale) && power_of_two(z)) || !(m > kLooseElasticity)) return y;
    // P(k, s / x) falls with x, Q rises.
    return settle(y, t.log_t, m, !t.want_q,
                  [shape, scale, &t](double v) { return ratio_at(shape, scale, v, t.want_q, true); });
}

double pinvgamma_upper(double x, double shape, double scale, bool log_p) {
    return pinvgamma_accurate(x, shape, scale, log_p, false);
}
double qinvgamma_upper(double p, double shape, double scale) {
    return qinvgamma_accurate(p, shape, scale, false, false);
}

}  // namespace zorvana
