// Accurate functions of the Laplace, logistic and Cauchy distributions.
//
// The standard upper tail S(z) is formed for z >= 0 where it is small
// (e^-z / 2, e^-z / (1 + e^-z), atan(1/z) / pi) and as 1 - S(-z) below 0;
// the lower tail at z is S(-z). Densities are exponentials of their logs in
// double-double; quantiles come from the smaller tail (tails/quantile_tail.hpp).
#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/elementary_tables.hpp"
#include "distributions/location_scale.hpp"
#include "kernels/precision.hpp"
#include "tails/closed_form.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace closed_form;

namespace {

DD log_pi() { return DD{0x1.250d048e7a1bdp+0, 0x1.7abf2ad8d5088p-57}; }

// log |x - mu| as a double-double, for finite x and mu, x != mu (the halves
// where the difference overflows).
DD log_distance(double x, double mu) {
    DD d = accurate::two_sum(x, -mu);
    if (is_inf(d.hi)) return accurate::dd_add(accurate::log_dd(accurate::fabs_(x * 0.5 - mu * 0.5)), ln2());
    if (d.hi < 0) d = accurate::dd_neg(d);
    return accurate::dd_add(accurate::log_dd(d.hi), d.lo / d.hi);
}

// ---------------------------------------------------------------- Laplace ----

// P(Z > z) for the standard Laplace distribution, or its log.
double laplace_upper(DD z, bool log_p) {
    if (z.hi >= 0) {
        // e^(-z)/2; its log -z - ln 2
        if (log_p) {
            if (z.hi > 0x1p500) return -z.hi;
            return accurate::dd_sub(accurate::dd_neg(z), ln2()).hi;
        }
        return 0.5 * exp_neg(z, false);
    }
    return one_minus(0.5 * exp_neg(accurate::dd_neg(z), false), log_p);
}

// --------------------------------------------------------------- logistic ----

// P(Z > z) for the standard logistic distribution, or its log.
double logis_upper(DD z, bool log_p) {
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

// ----------------------------------------------------------------- Cauchy ----

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

}  // namespace

// ---------------------------------------------------------------- Laplace ----

double dlaplace_accurate(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return value_or_log(point_density_limit(x, mu, sigma), log);
    const DD a = dd_abs(standardize(x, mu, sigma));
    if (!(a.hi < 0x1p1000)) return log ? -a.hi : 0.0;
    // e^(-|z| - log(2 sigma))
    const DD y = accurate::dd_neg(accurate::dd_add(accurate::dd_add(a, ln2()), accurate::log_dd(sigma)));
    return log ? y.hi : accurate::exp_dd(y);
}

double plaplace_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return limit_tail(symmetric_cdf_limit(x, mu, sigma), log_p, lower_tail);
    const DD z = standardize(x, mu, sigma);
    return laplace_upper(lower_tail ? accurate::dd_neg(z) : z, log_p);
}

double plaplace_upper(double x, double mu, double sigma, bool log_p) {
    return plaplace_accurate(x, mu, sigma, log_p, false);
}

double qlaplace_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p) {
    SmallTail t;
    double out;
    if (location_quantile_limit(p, mu, sigma, lower_tail, log_p, t, out)) return out;
    if (t.s == 0.5) return mu;
    // the tail s = e^(-z)/2: z = -log(2s)
    return place_tail(mu, sigma, t, accurate::dd_neg(accurate::dd_add(t.log_s(), ln2())));
}

double qlaplace_upper(double p, double mu, double sigma) { return qlaplace_accurate(p, mu, sigma, false, false); }

// --------------------------------------------------------------- logistic ----

double dlogis_accurate(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        const double v = (!is_pinf(sigma) && same_infinity(x, mu)) ? kNaN : 0.0;
        return is_nan(v) ? v : value_or_log(v, log);
    }
    if (sigma == 0) return kNaN;  // a point mass, as the prescribed density has it
    const DD a = dd_abs(standardize(x, mu, sigma));
    if (!(a.hi < 0x1p1000)) return log ? -a.hi : 0.0;
    // e^(-|z| - log sigma - 2 log1p(e^-|z|))
    const DD l1p = accurate::log1p_dd(exp_neg(a, false));
    const DD y = accurate::dd_neg(
        accurate::dd_add(accurate::dd_add(a, accurate::log_dd(sigma)), DD{l1p.hi * 2, l1p.lo * 2}));
    return log ? y.hi : accurate::exp_dd(y);
}

double plogis_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return limit_tail(symmetric_cdf_limit(x, mu, sigma), log_p, lower_tail);
    if (is_nan((x - mu) / (sigma + sigma))) return kNaN;  // inf/inf in the prescribed lower tail's argument
    const DD z = standardize(x, mu, sigma);
    return logis_upper(lower_tail ? accurate::dd_neg(z) : z, log_p);
}

double plogis_upper(double x, double mu, double sigma, bool log_p) {
    return plogis_accurate(x, mu, sigma, log_p, false);
}

double qlogis_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p) {
    SmallTail t;
    double out;
    if (location_quantile_limit(p, mu, sigma, lower_tail, log_p, t, out)) return out;
    if (t.s == 0.5) return mu;
    // z = log((1 - s)/s) = log1p(-s) - log s
    return place_tail(mu, sigma, t, accurate::dd_sub(accurate::log1p_dd(-t.s), t.log_s()));
}

double qlogis_upper(double p, double mu, double sigma) { return qlogis_accurate(p, mu, sigma, false, false); }

// ----------------------------------------------------------------- Cauchy ----

double dcauchy_accurate(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        double v;
        if (is_pinf(sigma)) {
            v = (is_inf(x) || is_inf(mu)) ? kNaN : 0.0;
        } else {
            v = same_infinity(x, mu) ? kNaN : 0.0;
        }
        return is_nan(v) ? v : value_or_log(v, log);
    }
    if (sigma == 0) return kNaN;  // as the prescribed density: 1 / (0 * inf)
    const DD z = standardize(x, mu, sigma);
    DD y;  // log of the density
    if (accurate::fabs_(z.hi) < 0x1p500) {
        // -(log pi + log sigma + log(1 + z^2))
        const DD w = accurate::dd_add(accurate::dd_mul(z, z), 1.0);
        const DD lw = accurate::dd_add(accurate::log_dd(w.hi), w.lo / w.hi);
        y = accurate::dd_neg(accurate::dd_add(accurate::dd_add(log_pi(), accurate::log_dd(sigma)), lw));
    } else {
        // 1 + z^2 is z^2 to 2^-1000: log sigma - log pi - 2 log |x - mu|
        const DD ld = log_distance(x, mu);
        y = accurate::dd_sub(accurate::dd_sub(accurate::log_dd(sigma), log_pi()), DD{ld.hi * 2, ld.lo * 2});
    }
    return log ? y.hi : accurate::exp_dd(y);
}

double pcauchy_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        double v;  // the prescribed lower tail's limits
        if (is_pinf(sigma)) {
            v = (is_inf(x) || is_inf(mu)) ? kNaN : 0.5;
        } else if (same_infinity(x, mu)) {
            v = kNaN;
        } else if (is_ninf(x)) {
            v = 0.0;
        } else if (is_pinf(x)) {
            v = 1.0;
        } else {
            v = is_pinf(mu) ? 0.0 : 1.0;
        }
        return limit_tail(v, log_p, lower_tail);
    }
    const double z = (x - mu) / sigma;
    if (is_nan(z)) return kNaN;  // x = mu with a zero scale, as in the prescribed lower tail
    const double w = lower_tail ? -z : z;  // the tail is P(Z > w)
    if (w < 0) return one_minus(cauchy_small_tail(-w), log_p);
    if (w > 0x1p26 && (log_p || is_inf(w)) && sigma > 0) {
        // atan(1/w)/pi = 1/(pi w) to 2^-52: log sigma - log |x - mu| - log pi
        // (w itself may overflow where the tail is still far above e^-745)
        const DD y = accurate::dd_sub(accurate::dd_sub(accurate::log_dd(sigma), log_distance(x, mu)), log_pi());
        return log_p ? y.hi : accurate::exp_dd(y);
    }
    return value_or_log(cauchy_small_tail(w), log_p);
}

double pcauchy_upper(double x, double mu, double sigma, bool log_p) {
    return pcauchy_accurate(x, mu, sigma, log_p, false);
}

double qcauchy_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p) {
    SmallTail t;
    double out;
    if (location_quantile_limit(p, mu, sigma, lower_tail, log_p, t, out)) return out;
    if (t.s == 0.5) return mu;
    if (t.s >= 0x1p-900) return place_tail(mu, sigma, t, DD{cot_pi(t.s), 0.0});
    // cot(pi s) = 1/(pi s) to 2^-1800: sigma z = e^(log sigma - log pi - log s)
    if (is_inf(mu)) return mu;
    const double v = accurate::exp_dd(
        accurate::dd_sub(accurate::dd_sub(accurate::log_dd(sigma), log_pi()), t.log_s()));
    return t.upper ? mu + v : mu - v;
}

double qcauchy_upper(double p, double mu, double sigma) { return qcauchy_accurate(p, mu, sigma, false, false); }

}  // namespace zorvana
