// Accurate functions of the normal and log-normal distributions.
//
// With z = (x - mu)/sigma carried as a double-double, the standard upper tail
// is S(z) = erfc(z/sqrt2)/2 for 0 <= z < 1 and erfcx(z/sqrt2)/2 e^(-z^2/2)
// from 1 on, the exponent z^2/2 formed in double-double so that the tail keeps
// its relative precision down to the subnormals, and its logarithm
// log(erfcx(z/sqrt2)/2) - z^2/2 stays finite far below them. For z < 0 the
// upper tail is 1 - S(-z), its log log1p(-S(-z)); the lower tail at z is the
// upper tail at -z. The density is e^(-z^2/2 - log sigma - log(2 pi)/2), its
// exponent in double-double. Quantiles invert S from the smaller tail,
// given as a probability or as its log (tails/quantile_tail.hpp).
#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/elementary_tables.hpp"
#include "distributions/location_scale.hpp"
#include "kernels/precision.hpp"
#include "tails/quantile_tail.hpp"
#include "tails/tails.hpp"

#include <cmath>

namespace zorvana {
namespace {

using accurate::DD;

constexpr double kInvSqrt2 = 0.70710678118654752440;  // 1/sqrt(2), the double nearest
constexpr double kSqrtHalfPi = 1.2533141373155002512;  // sqrt(pi/2), the double nearest

double value_or_log(double v, bool log_p) { return log_p ? accurate::log(v) : v; }

// z^2/2 as a double-double, z = zh + zl, 0 <= zh <= 2^510.
DD half_square(DD z) {
    const DD sq = accurate::dd_mul(z, z);
    return DD{sq.hi * 0.5, sq.lo * 0.5};
}

// S(z) for z = zh + zl >= 0.
double small_tail(DD z) {
    if (z.hi < 1) return 0.5 * accurate::erfc(z.hi * kInvSqrt2);
    if (z.hi > 40) return 0.0;  // below 1e-349
    const DD h = half_square(z);
    return accurate::exp_mul(DD{-h.hi, -h.lo}, 0.5 * accurate::erfcx(z.hi * kInvSqrt2));
}

// log S(z) for z = zh + zl >= 0, as a double-double.
DD log_small_tail(DD z) {
    if (z.hi < 1) return accurate::log_dd(0.5 * accurate::erfc(z.hi * kInvSqrt2));
    if (z.hi > 0x1p510) {
        // -z^2/2 dominates every other term by a factor above 2^900.
        return DD{-((z.hi * 0.5) * z.hi), 0.0};
    }
    const DD h = half_square(z);
    return accurate::dd_sub(accurate::log_dd(0.5 * accurate::erfcx(z.hi * kInvSqrt2)), h);
}

// The standard normal upper tail at z = zh + zl, or its log.
double std_upper(DD z, bool log_p) {
    if (z.hi >= 0) return log_p ? log_small_tail(z).hi : small_tail(z);
    const double lower = small_tail(accurate::dd_neg(z));
    return log_p ? accurate::log1p(-lower) : 1.0 - lower;
}

// (num - mu) / sigma as a double-double, for finite num.hi, mu and sigma > 0.
DD standardize(DD num, double mu, double sigma) {
    const double d = num.hi - mu;
    if (is_inf(d)) return DD{d / sigma, 0.0};
    if (mu == 0 && sigma == 1) return num;
    const DD diff = accurate::dd_add(accurate::two_sum(num.hi, -mu), num.lo);
    if (sigma == 1) return diff;
    const double q = diff.hi / sigma;
    // Far out (or with a difference near overflow) a double z is precise
    // enough: inf, or beyond the tails' range.
    if (!(accurate::fabs_(q) < 0x1p500) || accurate::fabs_(diff.hi) > 0x1p1020) return DD{q, 0.0};
    return accurate::dd_div(diff, sigma);
}

// P(X > x) (or P(X <= x) when `lower`) for X normal(mu, sigma) with
// x = xv.hi + xv.lo; the guards of the prescribed lower tail, with its limits
// mirrored for the upper one.
double norm_tail(DD xv, double mu, double sigma, bool log_p, bool lower) {
    const double x = xv.hi;
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) {
        double v;
        if (same_infinity(x, mu)) {
            v = kNaN;
        } else if (is_pinf(sigma)) {
            if (is_pinf(x) || is_ninf(mu)) {
                v = 0.0;
            } else if (is_ninf(x) || is_pinf(mu)) {
                v = 1.0;
            } else {
                v = 0.5;
            }
        } else if (sigma == 0) {
            v = x < mu ? 1.0 : 0.0;
        } else {
            v = (is_pinf(x) || is_ninf(mu)) ? 0.0 : 1.0;
        }
        if (lower && !is_nan(v)) v = 1.0 - v;
        return is_nan(v) ? v : value_or_log(v, log_p);
    }
    const DD z = standardize(xv, mu, sigma);
    return std_upper(lower ? accurate::dd_neg(z) : z, log_p);
}

// The density of normal(mu, sigma) at x = xv.hi + xv.lo divided by
// e^shift = divisor (the log-normal's 1/x), or its log:
// e^(-z^2/2 - log sigma - log(2 pi)/2 - shift).
double norm_density(DD xv, double mu, double sigma, DD shift, double divisor, bool log) {
    const DD z = standardize(xv, mu, sigma);
    const double za = accurate::fabs_(z.hi);
    DD y;
    if (za > 0x1p510 || is_inf(z.hi)) {
        // -z^2/2 dominates every other term by a factor above 2^900.
        const double h = (za * 0.5) * za;
        return log ? -h : 0.0;
    }
    const DD h = half_square(z);
    const double f = (0.39894228040143267794 / sigma) / divisor;
    if (!log && f >= 0x1p-900 && f <= 0x1p60) {
        // e^(-z^2/2) times 1/(sigma sqrt(2 pi) divisor), the factor rounded
        // three times before the product
        return accurate::exp_mul(accurate::dd_neg(h), f);
    }
    const DD c{accurate::tables::kHalfLog2Pi[0], accurate::tables::kHalfLog2Pi[1]};
    y = accurate::dd_add(accurate::dd_add(h, c), accurate::dd_add(accurate::log_dd(sigma), shift));
    y = accurate::dd_neg(y);
    return log ? y.hi : accurate::exp_dd(y);
}

// The z >= 0 with S(z) = p, 0 < p <= 1/2, given with lp = log p (p itself may
// underflow to 0 where lp is below about -745): a start within 1e-9
// (piecewise polynomials in r = sqrt(-2 log p), or beyond their range the
// asymptotic z^2 = r^2 - 2 log z - log(2 pi) solved by two substitutions)
// and Halley steps on log S, which keep their scale at any depth. Halley's
// error after a step of size d is of order d^3, so the steps stop after the
// first below 2^-24 (1 + z): one step from this start.
double std_upper_inverse(double p, DD lp) {
    using accurate::tables::kNormStart;
    using accurate::tables::kNormStartPiece;
    if (p == 0.5) return 0.0;
    const double r = std::sqrt(-2.0 * lp.hi);
    double z;
    if (r > kNormStartPiece[5][0]) {
        constexpr double kLog2Pi = 1.8378770664093454836;
        z = r;
        for (int k = 0; k < 2; ++k) z = std::sqrt(r * r - 2.0 * accurate::log(z) - kLog2Pi);
    } else {
        int i = 0;
        while (i < 5 && r > kNormStartPiece[i][0]) ++i;
        const double s = (r - kNormStartPiece[i][1]) * kNormStartPiece[i][2];
        const int first = static_cast<int>(kNormStartPiece[i][3]);
        z = kNormStart[i][first];
        for (int k = first + 1; k < 17; ++k) z = z * s + kNormStart[i][k];
    }
    if (z < 0) z = 0;
    if (p > 0.3) {
        // Near the median: erf(z/sqrt2)/2 = 1/2 - p (exact), Newton steps on
        // it keep z's relative precision however small z is.
        const double a = 0.5 - p;
        for (int i = 0; i < 6; ++i) {
            const double g = 0.5 * accurate::erf(z * kInvSqrt2) - a;
            const double step = g / (accurate::exp(-0.5 * (z * z)) * 0.39894228040143267794);
            z -= step;
            if (accurate::fabs_(step) <= 0x1p-26 * accurate::fabs_(z)) break;  // next error ~ z step^2
        }
        return z;
    }
    for (int i = 0; i < 8; ++i) {
        // f = log S(z) - log p; hazard h = phi(z)/S(z); f' = -h, f'' = -h (h - z).
        double f, h;
        if (z < 1) {
            const double s = 0.5 * accurate::erfc(z * kInvSqrt2);
            f = accurate::dd_sub(accurate::log_dd(s), lp).hi;
            h = accurate::exp(-0.5 * (z * z)) * 0.39894228040143267794 / s;
        } else {
            // S(z)/p = erfcx(z/sqrt2)/2 e^(-z^2/2 - log p), near 1 once z is close.
            // (beyond 700 only from a start far off: then the logs themselves)
            const double e = accurate::erfcx(z * kInvSqrt2);
            const DD arg = accurate::dd_sub(accurate::dd_neg(half_square(DD{z, 0.0})), lp);
            const double m = kSqrtHalfPi * e;  // 1/h
            if (accurate::fabs_(arg.hi) < 700) {
                const DD ratio = accurate::dd_mul(accurate::exp_as_dd(arg), 0.5 * e);
                const double d = accurate::dd_add(ratio, -1.0).hi;
                // f = log(1 + d); Halley's step with 1/(1 + u) as 1 - u, u = f (h - z)/(2h) ~ f
                f = accurate::fabs_(d) <= 0x1p-20 ? d - 0.5 * (d * d) : accurate::log1p(d);
                const double step = f * m - (f * f) * m * (1.0 - z * m) * 0.5;
                z += step;
                if (z < 0) z = 0;
                if (accurate::fabs_(step) <= 0x1p-24 * (1.0 + z)) break;
                continue;
            }
            f = accurate::dd_add(accurate::dd_sub(accurate::log_dd(0.5 * e), DD{0.0, 0.0}), arg).hi;
            h = 1.0 / m;
        }
        const double step = (f / h) / (1.0 + f * (h - z) / (2.0 * h));
        z += step;
        if (z < 0) z = 0;
        if (accurate::fabs_(step) <= 0x1p-24 * (1.0 + z)) break;
    }
    return z;
}

// The standard normal quantile of a small tail t (not an end of the support).
double std_quantile(const SmallTail& t) {
    const double z = t.s == 0.5 ? 0.0 : std_upper_inverse(t.s, t.log_s());
    return t.upper ? z : -z;
}

// The quantile limits mirrored for the upper tail: +inf at a zero upper tail,
// -inf at a zero lower tail (NaN where mu is the opposite infinity).
double norm_end(const SmallTail& t, double mu) {
    if (t.upper) return is_ninf(mu) ? kNaN : kInf;
    return is_pinf(mu) ? kNaN : -kInf;
}

}  // namespace

// ---------------------------------------------------------------- normal ----

double dnorm_accurate(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return value_or_log(point_density_limit(x, mu, sigma), log);
    return norm_density(DD{x, 0.0}, mu, sigma, DD{0.0, 0.0}, 1.0, log);
}

double pnorm_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail) {
    return norm_tail(DD{x, 0.0}, mu, sigma, log_p, lower_tail);
}

double pnorm_upper(double x, double mu, double sigma, bool log_p) {
    return pnorm_accurate(x, mu, sigma, log_p, false);
}

double qnorm_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p) {
    SmallTail t;
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || is_pinf(sigma) || !small_tail(p, lower_tail, log_p, t)) {
        return kNaN;
    }
    if (sigma == 0) return mu;
    if (t.zero) return norm_end(t, mu);
    if (is_inf(mu)) return mu;  // any finite offset leaves an infinite location
    return std_quantile(t) * sigma + mu;
}

double qnorm_upper(double p, double mu, double sigma) { return qnorm_accurate(p, mu, sigma, false, false); }

// ------------------------------------------------------------ log-normal ----

double dlnorm_accurate(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (x <= 0) return value_or_log(0.0, log);
    if (!is_inf(x) && !is_inf(mu) && !is_pinf(sigma) && sigma != 0) {
        const DD lx = accurate::log_dd(x);
        return norm_density(lx, mu, sigma, lx, x, log);
    }
    // the limits of the prescribed density
    double v;
    if (is_pinf(sigma)) {
        v = 0.0;
    } else if (sigma == 0) {
        v = (is_pinf(x) && is_pinf(mu)) ? kInf : 0.0;
    } else {
        v = (is_pinf(x) && is_pinf(mu)) ? kNaN : 0.0;
    }
    return value_or_log(v, log);
}

double plnorm_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (x <= 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    const DD lx = is_pinf(x) ? DD{x, 0.0} : accurate::log_dd(x);
    return norm_tail(lx, mu, sigma, log_p, lower_tail);
}

double plnorm_upper(double x, double mu, double sigma, bool log_p) {
    return plnorm_accurate(x, mu, sigma, log_p, false);
}

double qlnorm_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p) {
    SmallTail t;
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || is_pinf(sigma) || !small_tail(p, lower_tail, log_p, t)) {
        return kNaN;
    }
    if (sigma == 0) return accurate::exp(mu);
    if (t.zero) {
        if (t.upper) return is_ninf(mu) ? kNaN : kInf;
        return is_pinf(mu) ? kNaN : 0.0;
    }
    if (is_inf(mu)) return mu > 0 ? kInf : 0.0;
    // e^(mu + sigma z), the exponent in double-double.
    const double z = std_quantile(t);
    const double y = z * sigma + mu;
    if (!(accurate::fabs_(z * sigma) < 0x1p900)) return accurate::exp(y);
    return accurate::exp_dd(accurate::dd_add(accurate::two_prod(z, sigma), mu));
}

double qlnorm_upper(double p, double mu, double sigma) { return qlnorm_accurate(p, mu, sigma, false, false); }

}  // namespace zorvana
