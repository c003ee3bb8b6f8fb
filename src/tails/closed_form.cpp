// Upper tails of the families with closed forms: exponential, Laplace,
// logistic, Cauchy, uniform, Weibull and Bernoulli.
//
// Each tail is formed on the side where it is small (an exponential, a ratio,
// an arctangent of 1/z) and 1 minus the other side's small tail where it is
// near 1, whose log is then log1p of minus that small tail; the standardized
// argument and every exponent are carried in double-double.
#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/elementary_tables.hpp"
#include "distributions/location_scale.hpp"
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

#include <cmath>

namespace zorvana {
namespace {

using accurate::DD;

double value_or_log(double v, bool log_p) { return log_p ? accurate::log(v) : v; }

// A tail near 1 given the small opposite tail q: 1 - q, or log1p(-q).
double one_minus(double q, bool log_p) { return log_p ? accurate::log1p(-q) : 1.0 - q; }

// 1 - v for the limits of the lower tail (0, 1/2 or 1; NaN stays NaN).
double mirrored(double v, bool log_p) { return is_nan(v) ? v : value_or_log(1.0 - v, log_p); }

// (x - mu) / sigma as a double-double, for finite x, mu and 0 < sigma < inf.
DD standardize(double x, double mu, double sigma) {
    const double d = x - mu;
    if (is_inf(d)) return DD{d / sigma, 0.0};
    if (sigma == 1) return accurate::two_sum(x, -mu);
    const DD diff = accurate::two_sum(x, -mu);
    const double q = diff.hi / sigma;
    // Far out (or with a difference near overflow) a double z is precise enough.
    if (!(accurate::fabs_(q) < 0x1p500) || accurate::fabs_(diff.hi) > 0x1p1020) return DD{q, 0.0};
    return accurate::dd_div(diff, sigma);
}

// e^(-z) for z = zh + zl >= 0, and its log -z.
double exp_neg(DD z, bool log_p) {
    if (log_p) return 0.0 - z.hi;
    return z.hi > 746 ? 0.0 : accurate::exp_dd(accurate::dd_neg(z));
}

// The quantile limits of the location-scale families, mirrored: NaN for an
// invalid scale or p outside [0, 1], mu for a zero scale, +inf at p = 0 and
// -inf at p = 1 (NaN where mu is the opposite infinity).
bool quantile_limit(double p, double mu, double sigma, double& out) {
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || !(p >= 0 && p <= 1) || is_pinf(sigma)) {
        out = kNaN;
    } else if (sigma == 0) {
        out = mu;
    } else if (p == 0) {
        out = is_ninf(mu) ? kNaN : kInf;
    } else if (p == 1) {
        out = is_pinf(mu) ? kNaN : -kInf;
    } else {
        return false;
    }
    return true;
}

// mu + sigma * (a + al), the product in double-double where it is finite.
double place(double mu, double sigma, DD a) {
    if (is_inf(mu)) return mu;  // any finite offset leaves an infinite location
    const double y = a.hi * sigma;
    const double plain = y + mu;
    if (!(accurate::fabs_(y) < 0x1p1000) || !(accurate::fabs_(plain) < 0x1p1020)) return plain;
    const DD s = accurate::dd_add(accurate::dd_mul(a, sigma), mu);
    return s.hi;
}

// ---------------------------------------------------------------- Cauchy ----

// P(Z > z) = atan(1/z)/pi for z >= 0 (1/2 - atan(z)/pi up to z = 1).
double cauchy_small_tail(double z) {
    const DD inv_pi{accurate::tables::kInvPi[0], accurate::tables::kInvPi[1]};
    if (z <= 1) return accurate::dd_sub(DD{0.5, 0.0}, accurate::dd_mul(accurate::atan_dd(z), inv_pi)).hi;
    // 1/z as a double-double
    const double uh = 1.0 / z;
    if (uh == 0) return 0.0;
    const DD pr = z <= 0x1p995 ? accurate::two_prod_in_range(uh, z) : accurate::two_prod(uh, z);
    const double ul = ((1.0 - pr.hi) - pr.lo) / z;
    const DD a = accurate::atan_dd(uh);
    const DD au = accurate::dd_add(a, ul / (1.0 + uh * uh));
    return accurate::dd_mul(au, inv_pi).hi;
}

// Taylor coefficients (-1)^k/(2k)! and (-1)^k/(2k+1)!, k = 1..11.
struct SinCosCoefficients {
    double c[12];
    double s[12];
    constexpr SinCosCoefficients() : c(), s() {
        double f = 1.0;  // 1/(2k+1)!
        for (int k = 1; k <= 11; ++k) {
            const double fc = f / (2 * k);
            f = fc / (2 * k + 1);
            c[k] = (k & 1) ? -fc : fc;
            s[k] = (k & 1) ? -f : f;
        }
    }
};
constexpr SinCosCoefficients kSinCos{};

// sin and cos of t = th + tl, 0 <= th <= pi/4.
void sin_cos(DD t, double& s, double& c) {
    const double x = t.hi;
    const double x2 = x * x;
    double ps = 0.0;  // sin x / x - 1
    double pc = 0.0;  // cos x - 1
    for (int k = 9; k >= 1; --k) {  // the next terms are below 2^-66
        ps = (ps + kSinCos.s[k]) * x2;
        pc = (pc + kSinCos.c[k]) * x2;
    }
    c = 1.0 + pc;
    s = x + x * ps + t.lo * c;
    c = c - t.lo * x;
}

// cot(pi p) for 0 < p <= 1/2.
double cot_pi(double p) {
    const DD pi{accurate::tables::kPi[0], accurate::tables::kPi[1]};
    double s, c;
    if (p <= 0.25) {
        sin_cos(accurate::dd_mul(pi, p), s, c);
        return c / s;
    }
    sin_cos(accurate::dd_mul(pi, 0.5 - p), s, c);  // 1/2 - p exact
    return s / c;
}

bool weibull_invalid(double shape, double scale) {
    return scale < kEps || shape < kEps || is_nan(shape) || is_nan(scale);
}

bool bern_invalid(double prob) { return is_nan(prob) || prob > 1 || prob < 0 || is_inf(prob); }

}  // namespace

// ----------------------------------------------------------- exponential ----

double pexp_upper(double x, double rate, bool log_p) {
    if (is_nan(x) || !(rate >= 0)) return kNaN;
    if (x <= 0) return value_or_log(1.0, log_p);
    if (is_pinf(rate)) return value_or_log(0.0, log_p);
    const double rx = rate * x;
    if (is_nan(rx)) return kNaN;  // 0 * inf, as in the lower tail
    if (!(rx < 0x1p1000)) return log_p ? -rx : 0.0;
    return exp_neg(accurate::two_prod(rate, x), log_p);
}

double qexp_upper(double p, double rate) {
    if (!(rate >= 0) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return 0.0;
    return -accurate::log(p) / rate;
}

// --------------------------------------------------------------- Laplace ----

double plaplace_upper(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return mirrored(symmetric_cdf_limit(x, mu, sigma), log_p);
    const DD z = standardize(x, mu, sigma);
    if (z.hi >= 0) {
        // e^(-z)/2; its log -z - ln 2
        if (log_p) {
            if (z.hi > 0x1p500) return -z.hi;
            return accurate::dd_sub(accurate::dd_neg(z), DD{accurate::tables::kLn2[0], accurate::tables::kLn2[1]}).hi;
        }
        return 0.5 * exp_neg(z, false);
    }
    return one_minus(0.5 * exp_neg(accurate::dd_neg(z), false), log_p);
}

double qlaplace_upper(double p, double mu, double sigma) {
    double out;
    if (quantile_limit(p, mu, sigma, out)) return out;
    if (p == 0.5) return mu;
    if (p < 0.5) {
        const DD l = accurate::log_dd(p + p);  // z = -log(2p)
        return place(mu, sigma, accurate::dd_neg(l));
    }
    return place(mu, sigma, accurate::log_dd((1.0 - p) * 2));  // 1 - p exact
}

// -------------------------------------------------------------- logistic ----

double plogis_upper(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return mirrored(symmetric_cdf_limit(x, mu, sigma), log_p);
    if (is_nan((x - mu) / (sigma + sigma))) return kNaN;  // inf/inf in the lower tail's argument
    const DD z = standardize(x, mu, sigma);
    if (z.hi >= 0) {
        // e^(-z) / (1 + e^(-z)); log: -z - log1p(e^(-z))
        const double e = exp_neg(z, false);
        if (log_p) return z.hi > 0x1p500 ? -z.hi : accurate::dd_sub(accurate::dd_neg(z), accurate::log1p_dd(e)).hi;
        return e / (1.0 + e);
    }
    // 1 / (1 + e^z), z < 0; log: -log1p(e^z)
    const double e = exp_neg(accurate::dd_neg(z), false);
    if (log_p) return -accurate::log1p(e);
    return 1.0 / (1.0 + e);
}

double qlogis_upper(double p, double mu, double sigma) {
    double out;
    if (quantile_limit(p, mu, sigma, out)) return out;
    // log((1 - p)/p) = log1p(-p) - log p
    return place(mu, sigma, accurate::dd_sub(accurate::log1p_dd(-p), accurate::log_dd(p)));
}

// ---------------------------------------------------------------- Cauchy ----

double pcauchy_upper(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        double v;
        if (is_pinf(sigma)) {
            v = (is_inf(x) || is_inf(mu)) ? kNaN : 0.5;
        } else if (same_infinity(x, mu)) {
            v = kNaN;
        } else if (is_ninf(x)) {
            v = 1.0;
        } else if (is_pinf(x)) {
            v = 0.0;
        } else {
            v = is_pinf(mu) ? 1.0 : 0.0;
        }
        return is_nan(v) ? v : value_or_log(v, log_p);
    }
    const double z = (x - mu) / sigma;
    if (is_nan(z)) return kNaN;  // x = mu with a zero scale, as in the lower tail
    if (z >= 0) return value_or_log(cauchy_small_tail(z), log_p);
    return one_minus(cauchy_small_tail(-z), log_p);
}

double qcauchy_upper(double p, double mu, double sigma) {
    double out;
    if (quantile_limit(p, mu, sigma, out)) return out;
    if (p == 0.5) return mu;
    const double z = p < 0.5 ? cot_pi(p) : -cot_pi(1.0 - p);  // 1 - p exact
    return place(mu, sigma, DD{z, 0.0});
}

// --------------------------------------------------------------- uniform ----

double punif_upper(double x, double a, double b, bool log_p) {
    if (is_nan(x) || !(a < b) || (is_inf(a) && is_inf(b))) return kNaN;
    if (x <= a) return value_or_log(1.0, log_p);
    if (x >= b) return value_or_log(0.0, log_p);
    if (is_ninf(a)) return kNaN;                       // as the lower tail: (x - a)/(b - a) = inf/inf
    if (is_pinf(b)) {  // the lower tail (x - a)/inf is 0, or NaN where x - a overflows
        return is_inf(x - a) ? kNaN : value_or_log(1.0, log_p);
    }
    const bool halve = is_inf(b - a);
    const double w = halve ? b * 0.5 - a * 0.5 : b - a;
    const double above = halve ? b * 0.5 - x * 0.5 : b - x;
    const double below = halve ? x * 0.5 - a * 0.5 : x - a;
    if (above <= below) return value_or_log(above / w, log_p);
    return one_minus(below / w, log_p);
}

double qunif_upper(double p, double a, double b) {
    if (!(b > a) || !(p >= 0 && p <= 1) || is_inf(a) || is_inf(b)) return kNaN;
    if (p == 0) return b;
    if (p == 1) return a;
    const bool halve = is_inf(b - a);
    const double w = halve ? b * 0.5 - a * 0.5 : b - a;
    const double f = halve ? 2.0 : 1.0;
    double q = p <= 0.5 ? b - ((w * p) * f) : a + ((w * (1.0 - p)) * f);
    if (q > b) q = b;
    if (q < a) q = a;
    return q;
}

// --------------------------------------------------------------- Weibull ----

double pweibull_upper(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || weibull_invalid(shape, scale)) return kNaN;
    if (x <= 0) return value_or_log(1.0, log_p);
    if (is_inf(x) || is_inf(shape) || is_inf(scale)) {
        double v;
        if (is_pinf(x)) {
            v = is_pinf(scale) ? kNaN : 0.0;
        } else if (!is_inf(shape) || is_pinf(scale)) {
            v = 1.0;
        } else {
            // Infinite shape: a step at x = scale, e^-1 above it at the step.
            const double r = x / scale;
            if (r == 1) return log_p ? -1.0 : accurate::exp(-1.0);
            v = r > 1 ? 0.0 : 1.0;
        }
        return is_nan(v) ? v : value_or_log(v, log_p);
    }
    // t = (x/scale)^shape = e^(shape (log x - log scale)); the tail is e^-t.
    const DD r = accurate::dd_div(DD{x, 0.0}, scale);
    if ((shape == 1 || shape == 2) && r.hi >= 0x1p-500 && r.hi <= 0x1p500) {
        // t = x/scale or its square, directly in double-double.
        const DD t = shape == 1 ? r : accurate::dd_mul(r, r);
        if (log_p) return -t.hi;
        return t.hi > 746 ? 0.0 : accurate::exp_dd(accurate::dd_neg(t));
    }
    DD c;
    if (r.hi >= 0x1p-1000 && r.hi <= 0x1p1000) {
        c = accurate::dd_mul(accurate::dd_add(accurate::log_dd(r.hi), r.lo / r.hi), shape);
    } else {  // x/scale near or beyond the ends of the doubles
        c = accurate::dd_mul(accurate::dd_sub(accurate::log_dd(x), accurate::log_dd(scale)), shape);
    }
    if (c.hi > 709) return log_p ? -accurate::exp_dd(c) : 0.0;
    if (c.hi < -708) {
        const double t = accurate::exp_dd(c);  // below 2^-1021: e^-t is 1 - t
        return log_p ? -t : 1.0 - t;
    }
    const DD t = accurate::exp_as_dd(c);
    if (log_p) return -t.hi;
    return accurate::exp_dd(accurate::dd_neg(t));
}

double qweibull_upper(double p, double shape, double scale) {
    if (weibull_invalid(shape, scale) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return 0.0;
    if (is_pinf(shape)) return scale;
    // scale (-log p)^(1/shape) = e^(log(-log p)/shape + log scale)
    const DD l = accurate::dd_neg(accurate::log_dd(p));
    if (shape == 1) return accurate::dd_mul(l, scale).hi;
    if (shape == 2) {
        const double r = std::sqrt(l.hi);
        return (r + l.lo / (r + r)) * scale;
    }
    const DD ll = accurate::dd_add(accurate::log_dd(l.hi), l.lo / l.hi);
    const DD y = accurate::dd_div(ll, shape);
    if (scale >= 0x1p-60 && scale <= 0x1p60) return accurate::exp_mul(y, scale);
    return accurate::exp_dd(accurate::dd_add(y, accurate::log_dd(scale)));
}

// ------------------------------------------------------------- Bernoulli ----

double pbern_upper(std::int64_t x, double prob, bool log_p) {
    if (bern_invalid(prob)) return kNaN;
    const double v = x < 0 ? 1.0 : (x == 0 ? prob : 0.0);
    return value_or_log(v, log_p);
}

double qbern_upper(double p, double prob) {
    if (bern_invalid(prob) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    return prob <= p ? 0.0 : 1.0;
}

}  // namespace zorvana
