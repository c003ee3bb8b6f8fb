// Accurate functions of the exponential, Weibull, uniform and Bernoulli
// distributions (the helpers they share with the Laplace, logistic and Cauchy
// functions are in tails/closed_form.hpp).
//
// The exponential and Weibull tails are e^-t and 1 - e^-t = -expm1(-t) with
// t = rate x or (x/scale)^shape in double-double; the uniform tails are the
// ratio on the side where it is at most 1/2 and 1 minus the other.
#include <cmath>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/elementary_tables.hpp"
#include "kernels/precision.hpp"
#include "tails/closed_form.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace closed_form;

namespace {

// 1 - e^(-t) for t = th + tl > 0, or its log.
double one_minus_exp_neg(DD t, bool log_p) {
    if (t.hi > 746) return log_p ? -0.0 : 1.0;  // e^-t below the smallest double
    if (log_p && t.hi > 0.6931471805599453) return accurate::log1p(-accurate::exp_dd(accurate::dd_neg(t)));
    double v;
    if (t.hi >= 0x1p-10) {
        // 1 - e^-t in double-double: e^-t is good to 2^-61 of itself, 1 - e^-t
        // to 2^-51 of its own size from t = 2^-10 on
        const DD e = accurate::exp_as_dd(accurate::dd_neg(t));
        v = accurate::dd_add(accurate::dd_neg(e), 1.0).hi;
    } else {
        // -expm1(-th - tl) = -expm1(-th) + tl e^-th, e^-th = 1 - th to 2^-20
        v = -accurate::expm1(-t.hi) + t.lo * (1.0 - t.hi);
    }
    return log_p ? accurate::log(v) : v;
}

bool weibull_invalid(double shape, double scale) {
    return scale < kEps || shape < kEps || is_nan(shape) || is_nan(scale);
}

// log(x / scale) as a double-double, for finite x, scale > 0.
DD log_ratio(double x, double scale) {
    const DD r = accurate::dd_div(DD{x, 0.0}, scale);
    if (r.hi >= 0x1p-1000 && r.hi <= 0x1p1000) return accurate::dd_add(accurate::log_dd(r.hi), r.lo / r.hi);
    return accurate::dd_sub(accurate::log_dd(x), accurate::log_dd(scale));  // near or beyond the ends of the doubles
}

bool bern_invalid(double prob) { return is_nan(prob) || prob > 1 || prob < 0 || is_inf(prob); }

}  // namespace

// ----------------------------------------------------------- exponential ----

double dexp_accurate(double x, double rate, bool log) {
    if (is_pinf(rate) || is_nan(x) || !(rate >= 0)) return kNaN;
    if (x < 0) return value_or_log(0.0, log);
    if (is_pinf(x)) return rate > 0 ? value_or_log(0.0, log) : kNaN;
    if (rate == 0) return value_or_log(0.0, log);
    const DD rx = accurate::two_prod(rate, x);
    if (!(rx.hi < 0x1p1000)) return log ? accurate::log(rate) - rx.hi : 0.0;
    // e^(log rate - rate x)
    const DD y = accurate::dd_sub(accurate::log_dd(rate), rx);
    return log ? y.hi : accurate::exp_dd(y);
}

double pexp_accurate(double x, double rate, bool log_p, bool lower_tail) {
    if (is_nan(x) || !(rate >= 0)) return kNaN;
    if (x <= 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (is_pinf(rate)) return value_or_log(lower_tail ? 1.0 : 0.0, log_p);
    const double rx = rate * x;
    if (is_nan(rx)) return kNaN;  // 0 * inf, as in the prescribed lower tail
    if (rate == 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (rx < 0x1p-960) {  // 1 - e^-t is t to 2^-960, and t = rate x may be subnormal
        if (!lower_tail) return log_p ? -rx : 1.0;
        return log_p ? accurate::dd_add(accurate::log_dd(rate), accurate::log_dd(x)).hi : rx;
    }
    if (!(rx < 0x1p1000)) {
        if (lower_tail) return value_or_log(1.0, log_p);
        return log_p ? -rx : 0.0;
    }
    const DD t = accurate::two_prod(rate, x);
    return lower_tail ? one_minus_exp_neg(t, log_p) : exp_neg(t, log_p);
}

double pexp_upper(double x, double rate, bool log_p) { return pexp_accurate(x, rate, log_p, false); }

double qexp_accurate(double p, double rate, bool lower_tail, bool log_p) {
    SmallTail t;
    if (!(rate >= 0) || !small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (t.zero) return t.upper ? kInf : 0.0;
    if (rate == 0) return kInf;
    if (is_pinf(rate)) return 0.0;
    if (!t.upper && t.s < 0x1p-1000) {  // -log1p(-s) is s to 2^-1000: e^(log s - log rate)
        return accurate::exp_dd(accurate::dd_sub(t.log_s(), accurate::log_dd(rate)));
    }
    // -log(upper tail) / rate
    const DD l = t.upper ? accurate::dd_neg(t.log_s()) : accurate::dd_neg(accurate::log1p_dd(-t.s));
    const double q = l.hi / rate;
    if (!(q < 0x1p1000 && q > 0x1p-900) || rate < 0x1p-900 || rate > 0x1p900) return q;
    return accurate::dd_div(l, rate).hi;
}

double qexp_upper(double p, double rate) { return qexp_accurate(p, rate, false, false); }

// --------------------------------------------------------------- Weibull ----

double dweibull_accurate(double x, double shape, double scale, bool log) {
    if (is_nan(x) || weibull_invalid(shape, scale)) return kNaN;
    if (x < 0 || is_pinf(x)) return value_or_log(0.0, log);
    if (is_pinf(shape)) return kNaN;  // as the prescribed density
    if (x == 0) {
        if (shape < 1) return kInf;
        if (shape > 1) return value_or_log(0.0, log);
        return log ? -accurate::log(scale) : 1.0 / scale;
    }
    if (is_pinf(scale)) return shape < 1 ? kNaN : value_or_log(0.0, log);
    // log(shape / scale) + (shape - 1) log r - r^shape, r = x / scale, with
    // (shape - 1) log r = c - log r, c = shape log r.
    const DD lr = log_ratio(x, scale);
    const DD c = accurate::dd_mul(lr, shape);
    if (c.hi > 709) return log ? -accurate::exp_dd(c) : 0.0;
    const DD t = c.hi < -708 ? DD{accurate::exp_dd(c), 0.0} : accurate::exp_as_dd(c);
    DD y = accurate::dd_sub(accurate::log_dd(shape), accurate::log_dd(scale));
    y = accurate::dd_add(y, accurate::dd_sub(c, lr));
    y = accurate::dd_sub(y, t);
    return log ? y.hi : accurate::exp_dd(y);
}

double pweibull_accurate(double x, double shape, double scale, bool log_p, bool lower_tail) {
    if (is_nan(x) || weibull_invalid(shape, scale)) return kNaN;
    if (x <= 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (is_inf(x) || is_inf(shape) || is_inf(scale)) {
        double v;  // the upper tail
        if (is_pinf(x)) {
            v = is_pinf(scale) ? kNaN : 0.0;
        } else if (!is_inf(shape) || is_pinf(scale)) {
            v = 1.0;
        } else {
            // Infinite shape: a step at x = scale, e^-1 above it at the step.
            const double r = x / scale;
            if (r == 1) {
                if (lower_tail) return one_minus_exp_neg(DD{1.0, 0.0}, log_p);
                return log_p ? -1.0 : accurate::exp(-1.0);
            }
            v = r > 1 ? 0.0 : 1.0;
        }
        return limit_tail(is_nan(v) ? v : 1.0 - v, log_p, lower_tail);
    }
    // t = (x/scale)^shape = e^(shape log(x / scale)); the upper tail is e^-t.
    const DD r = accurate::dd_div(DD{x, 0.0}, scale);
    DD t;
    if ((shape == 1 || shape == 2) && r.hi >= 0x1p-500 && r.hi <= 0x1p500) {
        t = shape == 1 ? r : accurate::dd_mul(r, r);  // directly in double-double
    } else {
        const DD c = accurate::dd_mul(log_ratio(x, scale), shape);
        if (c.hi > 709) {
            if (lower_tail) return value_or_log(1.0, log_p);
            return log_p ? -accurate::exp_dd(c) : 0.0;
        }
        if (c.hi < -708) {
            const double tiny = accurate::exp_dd(c);  // below 2^-1021: e^-t is 1 - t
            if (lower_tail) return log_p ? c.hi : tiny;
            return log_p ? -tiny : 1.0 - tiny;
        }
        t = accurate::exp_as_dd(c);
    }
    if (lower_tail) return one_minus_exp_neg(t, log_p);
    if (log_p) return -t.hi;
    return t.hi > 746 ? 0.0 : accurate::exp_dd(accurate::dd_neg(t));
}

double pweibull_upper(double x, double shape, double scale, bool log_p) {
    return pweibull_accurate(x, shape, scale, log_p, false);
}

double qweibull_accurate(double p, double shape, double scale, bool lower_tail, bool log_p) {
    SmallTail t;
    if (weibull_invalid(shape, scale) || !small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (t.zero) return t.upper ? kInf : 0.0;
    if (is_pinf(shape)) return scale;
    // scale l^(1/shape) = e^(log(l)/shape + log scale), l = -log(upper tail)
    const DD l = t.upper ? accurate::dd_neg(t.log_s()) : accurate::dd_neg(accurate::log1p_dd(-t.s));
    if (is_pinf(scale)) return kInf;
    if (shape == 1 && l.hi >= 0x1p-900) return accurate::dd_mul(l, scale).hi;
    if (shape == 2 && l.hi >= 0x1p-900) {
        const double r = std::sqrt(l.hi);
        return (r + l.lo / (r + r)) * scale;
    }
    // log l; l = -log1p(-s) is s (1 + s/2) to 2^-60 for the lower tail's s below 2^-30
    const DD ll = !t.upper && t.s < 0x1p-30 ? accurate::dd_add(t.log_s(), 0.5 * t.s)
                                             : accurate::dd_add(accurate::log_dd(l.hi), l.lo / l.hi);
    const DD y = accurate::dd_div(ll, shape);
    if (scale >= 0x1p-60 && scale <= 0x1p60) return accurate::exp_mul(y, scale);
    return accurate::exp_dd(accurate::dd_add(y, accurate::log_dd(scale)));
}

double qweibull_upper(double p, double shape, double scale) { return qweibull_accurate(p, shape, scale, false, false); }

// --------------------------------------------------------------- uniform ----

double dunif_accurate(double x, double a, double b, bool log) {
    if (is_nan(x) || !(a < b)) return kNaN;
    if (is_inf(a) || is_inf(b) || x < a || x > b) return value_or_log(0.0, log);
    const DD w = accurate::two_sum(b, -a);
    if (is_inf(w.hi)) {
        const double half_width = b * 0.5 - a * 0.5;
        return log ? -accurate::dd_add(accurate::log_dd(half_width), ln2()).hi : 0.5 / half_width;
    }
    if (log) return -accurate::dd_add(accurate::log_dd(w.hi), w.lo / w.hi).hi;
    const double d = 1.0 / w.hi;
    if (!(d < 0x1p1000)) return d;  // a width near the smallest doubles
    return accurate::dd_div(DD{1.0, 0.0}, w).hi;
}

double punif_accurate(double x, double a, double b, bool log_p, bool lower_tail) {
    if (is_nan(x) || !(a < b) || (is_inf(a) && is_inf(b))) return kNaN;
    if (x <= a) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (x >= b) return value_or_log(lower_tail ? 1.0 : 0.0, log_p);
    if (is_ninf(a)) return kNaN;  // as the prescribed lower tail: (x - a)/(b - a) = inf/inf
    if (is_pinf(b)) {  // the prescribed lower tail (x - a)/inf is 0, or NaN where x - a overflows
        return is_inf(x - a) ? kNaN : value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    }
    const bool halve = is_inf(b - a);
    const double w = halve ? b * 0.5 - a * 0.5 : b - a;
    double small = halve ? b * 0.5 - x * 0.5 : b - x;  // the upper side
    double large = halve ? x * 0.5 - a * 0.5 : x - a;
    if (lower_tail) {
        const double swap = small;
        small = large;
        large = swap;
    }
    if (small <= large) return value_or_log(small / w, log_p);
    return one_minus(large / w, log_p);
}

double punif_upper(double x, double a, double b, bool log_p) { return punif_accurate(x, a, b, log_p, false); }

double qunif_accurate(double p, double a, double b, bool lower_tail, bool log_p) {
    SmallTail t;
    if (!(b > a) || is_inf(a) || is_inf(b) || !small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (t.zero) return t.upper ? b : a;
    const bool halve = is_inf(b - a);
    const double w = halve ? b * 0.5 - a * 0.5 : b - a;
    const double f = halve ? 2.0 : 1.0;
    double q = t.upper ? b - ((w * t.s) * f) : a + ((w * t.s) * f);
    if (q > b) q = b;
    if (q < a) q = a;
    return q;
}

double qunif_upper(double p, double a, double b) { return qunif_accurate(p, a, b, false, false); }

// ------------------------------------------------------------- Bernoulli ----

double dbern_accurate(std::int64_t x, double prob, bool log) {
    if (bern_invalid(prob)) return kNaN;
    if (x == 0) return log ? accurate::log1p(-prob) : 1.0 - prob;
    return value_or_log(x == 1 ? prob : 0.0, log);
}

double pbern_accurate(std::int64_t x, double prob, bool log_p, bool lower_tail) {
    if (bern_invalid(prob)) return kNaN;
    if (x < 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (x > 0) return value_or_log(lower_tail ? 1.0 : 0.0, log_p);
    if (!lower_tail) return value_or_log(prob, log_p);
    return log_p ? accurate::log1p(-prob) : 1.0 - prob;
}

double pbern_upper(std::int64_t x, double prob, bool log_p) { return pbern_accurate(x, prob, log_p, false); }

double qbern_accurate(double p, double prob, bool lower_tail, bool log_p) {
    if (bern_invalid(prob) || is_nan(p) || (log_p ? p > 0 : (p < 0 || p > 1))) return kNaN;
    if (lower_tail) {
        // the least x with P(X <= x) >= p: 0 unless 1 - prob < p
        if (log_p) return accurate::log1p(-prob) < p ? 1.0 : 0.0;
        const DD q = accurate::two_sum(1.0, -prob);  // 1 - prob exactly
        return (q.hi < p || (q.hi == p && q.lo < 0)) ? 1.0 : 0.0;
    }
    // the least x with P(X > x) <= p: 0 when prob <= p
    if (log_p) return accurate::log(prob) <= p ? 0.0 : 1.0;
    return prob <= p ? 0.0 : 1.0;
}

double qbern_upper(double p, double prob) { return qbern_accurate(p, prob, false, false); }

}  // namespace zorvana
