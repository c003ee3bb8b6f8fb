// Helpers of the accurate closed-form families (tails/closed_form.cpp,
// tails/location_scale.cpp): each tail is formed on the side where it is
// small (an exponential, a ratio, an arctangent of 1/z) and 1 minus the other
// side's small tail where it is near 1, whose log is then log1p of minus that
// small tail; the standardized argument and every exponent are carried in
// double-double.
#pragma once

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/elementary_tables.hpp"
#include "kernels/precision.hpp"
#include "tails/quantile_tail.hpp"

namespace zorvana {
namespace closed_form {

using accurate::DD;

inline double value_or_log(double v, bool log_p) { return log_p ? accurate::log(v) : v; }

// A tail near 1 given the small opposite tail q: 1 - q, or log1p(-q).
inline double one_minus(double q, bool log_p) { return log_p ? accurate::log1p(-q) : 1.0 - q; }

// The limit v of the lower tail (0, 1/2 or 1; NaN stays NaN) for the tail asked for.
inline double limit_tail(double v, bool log_p, bool lower) {
    if (is_nan(v)) return v;
    return value_or_log(lower ? v : 1.0 - v, log_p);
}

inline DD ln2() { return DD{accurate::tables::kLn2[0], accurate::tables::kLn2[1]}; }

// (x - mu) / sigma as a double-double, for finite x, mu and 0 < sigma < inf.
inline DD standardize(double x, double mu, double sigma) {
    const double d = x - mu;
    if (is_inf(d)) return DD{d / sigma, 0.0};
    if (sigma == 1) return accurate::two_sum(x, -mu);
    const DD diff = accurate::two_sum(x, -mu);
    const double q = diff.hi / sigma;
    // Far out (or with a difference near overflow) a double z is precise enough.
    if (!(accurate::fabs_(q) < 0x1p500) || accurate::fabs_(diff.hi) > 0x1p1020) return DD{q, 0.0};
    return accurate::dd_div(diff, sigma);
}

// |z| of a double-double.
inline DD dd_abs(DD z) { return z.hi < 0 ? accurate::dd_neg(z) : z; }

// e^(-z) for z = zh + zl >= 0, and its log -z.
inline double exp_neg(DD z, bool log_p) {
    if (log_p) return 0.0 - z.hi;
    return z.hi > 746 ? 0.0 : accurate::exp_dd(accurate::dd_neg(z));
}

// mu + sigma * (a + al), the product in double-double where it is finite.
inline double place(double mu, double sigma, DD a) {
    if (is_inf(mu)) return mu;  // any finite offset leaves an infinite location
    const double y = a.hi * sigma;
    const double plain = y + mu;
    if (!(accurate::fabs_(y) < 0x1p1000) || !(accurate::fabs_(plain) < 0x1p1020)) return plain;
    const DD s = accurate::dd_add(accurate::dd_mul(a, sigma), mu);
    return s.hi;
}

// The quantile guards of the location-scale families: NaN for an invalid
// scale or probability, mu for a zero scale, and at an end of the support
// +inf (upper tail 0) or -inf (lower tail 0), NaN where mu is the opposite
// infinity. False when none applies.
inline bool location_quantile_limit(double p, double mu, double sigma, bool lower_tail, bool log_p, SmallTail& t,
                                    double& out) {
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || is_pinf(sigma) || !small_tail(p, lower_tail, log_p, t)) {
        out = kNaN;
    } else if (sigma == 0) {
        out = mu;
    } else if (t.zero && t.upper) {
        out = is_ninf(mu) ? kNaN : kInf;
    } else if (t.zero) {
        out = is_pinf(mu) ? kNaN : -kInf;
    } else {
        return false;
    }
    return true;
}

// mu + sigma z for the standard quantile z >= 0 of the small tail, on its side.
inline double place_tail(double mu, double sigma, const SmallTail& t, DD z) {
    return place(mu, sigma, t.upper ? z : accurate::dd_neg(z));
}

}  // namespace closed_form
}  // namespace zorvana
