// The accurate density, distribution and quantile functions of Student's t:
// P(T > t) = I_x(nu/2, 1/2) / 2 for t > 0, with x = nu/(nu + t^2) and its
// complement t^2/(nu + t^2) each formed directly; the lower tail by symmetry
// (P(T <= t) = P(T > -t)); the upper-tail functions are these.
#include <cmath>
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/beta_family.hpp"
#include "tails/polish.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using beta_family::probability_invalid;
using beta_family::probability_one;
using beta_family::probability_zero;
using beta_family::smaller_side;
using beta_family::Target;

namespace {

constexpr double kHalf = 0.5;
constexpr double kLn2 = 0.6931471805599453;
// Beyond this many degrees of freedom the tail near the centre is the normal
// one to double precision (t_is_normal); further out, and at fewer degrees
// of freedom, the incomplete beta function serves.
constexpr double kNormalDof = 1e30;

bool t_invalid(double dof) { return dof < kEps || is_nan(dof); }

// ln(2 P(T > t)) = ln I_x(nu/2, 1/2) as a double-double, for 0 < t < inf,
// with the log prefactor of the incomplete beta function (for the slope in
// ln t).
accurate::DD t_log_twice_upper(double t, double dof, double* log_pref) {
    const accurate::BetaPoint pt = accurate::split_point(dof, 1.0, t, t);
    const double a = kHalf * dof;
    if (pt.x_small && pt.x < 0x1p-900) {
        // t^-nu far below every double: I_x = x^a / (a B(a, 1/2)).
        if (log_pref) *log_pref = a * pt.log_small - accurate::log_beta(a, kHalf);
        return accurate::log_beta_inc_tiny_dd(a, kHalf, accurate::DD{pt.log_small, pt.log_small_lo});
    }
    return accurate::log_beta_inc_dd(a, kHalf, pt.x, pt.y, false, log_pref, pt.small_lo);
}

// ln P(T > t) for 0 < t < inf.
double t_log_upper(double t, double dof, double* log_pref) {
    const accurate::DD l = t_log_twice_upper(t, dof, log_pref);
    return (l.hi + l.lo) - kLn2;
}

// The t > 0 with P(T > t) = p = e^lp, 0 < p < 1/2, through the inverse
// incomplete beta function: slow, kept as the fallback of the iteration below.
double t_upper_quantile_beta(double lp, double dof) {
    const accurate::BetaPoint pt = accurate::beta_inc_inv_log(kHalf * dof, kHalf, lp + kLn2, false);
    // t^2 = nu y / x
    double t;
    if (pt.x_small && pt.x < 0x1p-900) {
        t = accurate::exp(kHalf * ((accurate::log(dof) + accurate::log(pt.y)) - pt.log_small));
    } else {
        t = std::sqrt((dof * pt.y) / pt.x);
    }
    return polish_quantile(t, lp, [dof](double s, double* log_pref) { return t_log_upper(s, dof, log_pref); });
}

// ln J(t) for the iteration, with x = nu/(nu + t^2), y = 1 - x: J = I_x(nu/2, 1/2)
// = 2 P(T > t) in the tail, J = 1 - I_x(nu/2, 1/2) = 1 - 2 P(T > t) in the
// centre. The slope in u = ln t is dJ/du = -+2 pref with pref = x^a y^(1/2)/B.
struct TEval {
    double log_j, log_pref, x, y;
};

TEval t_eval(double t, double dof, bool centre) {
    const accurate::BetaPoint pt = accurate::split_point(dof, 1.0, t, t);
    const double a = kHalf * dof;
    TEval e;
    if (pt.x_small && pt.x < 0x1p-900) {
        e.log_pref = a * pt.log_small - accurate::log_beta(a, kHalf);
        e.log_j = accurate::log_beta_inc_tiny(a, kHalf, pt.log_small);
        if (centre) e.log_j = accurate::log1p(-accurate::exp(e.log_j));
        e.x = 0.0;
        e.y = 1.0;
        return e;
    }
    e.log_j = accurate::beta_inc(a, kHalf, pt.x, pt.y, centre, true, &e.log_pref, pt.small_lo);
    e.x = pt.x;
    e.y = pt.y;
    return e;
}

// Cornish-Fisher: t from the normal quantile z, for large nu.
double t_from_normal(double z, double dof) {
    const double z2 = z * z;
    const double g1 = (z2 + 1.0) * z * 0.25;
    const double g2 = ((5.0 * z2 + 16.0) * z2 + 3.0) * z / 96.0;
    const double g3 = (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) * z / 384.0;
    const double g4 = ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) * z / 92160.0;
    const double r = 1.0 / dof;
    return z + (g1 + (g2 + (g3 + g4 * r) * r) * r) * r;
}

// The t > 0 with P(T > t) = p, 0 < p < 1/2: a start in t (the power law of
// the far tail, Cornish-Fisher from the normal quantile elsewhere, the
// series at 0 near the median) and Halley steps on ln J in ln t, inside a
// bracket that they can never leave. In the tail J = 2p; from p = 1/4 on
// the centre's J = 1 - 2p (exact there) keeps t's relative precision as t
// goes to 0. p = e^lp is given by its logarithm (it may underflow).
double t_upper_quantile(double lp, double dof) {
    const double p = accurate::exp(lp);
    const double a = kHalf * dof;
    const bool centre = p >= 0.25;
    const double target = centre ? accurate::log(1.0 - (p + p)) : lp + kLn2;
    const double lbeta = accurate::log_beta(a, kHalf);
    double t;
    if (centre) {
        if (dof >= 3) {
            t = t_from_normal(qnorm_upper(p, 0, 1), dof);
        } else {
            // J = t sqrt(nu)^-1 2/B (1 - (nu + 1)/(6 nu) t^2 + ...)
            const double s = (kHalf - p) * std::sqrt(dof) * accurate::exp(lbeta);
            t = s + (dof + 1.0) / (6.0 * dof) * (s * s * s);
        }
    } else {
        // I_x(a, 1/2) = x^a y^(1/2)/(a B) (1 + c1 x + c2 x^2 + ...)
        const double lead = (target + accurate::log(a)) + lbeta;
        double lx = lead / a;
        if (lx < -900 * kLn2) {
            // x below 2^-900: I_x = x^a/(a B) to double precision, t = sqrt(nu/x).
            t = accurate::exp(kHalf * (accurate::log(dof) - lx));
            return polish_quantile(t, lp, [dof](double s, double* log_pref) { return t_log_upper(s, dof, log_pref); });
        }
        const double c1 = (a + kHalf) / (a + 1.0);
        const double c2 = c1 * (a + 1.5) / (a + 2.0);
        const double c3 = c2 * (a + 2.5) / (a + 3.0);
        // (below x = 2^-60 the corrections are below the rounding of lead)
        for (int k = 0; k < 2 && lx < -0.1 && lx > -60 * kLn2; ++k) {
            const double x = accurate::exp(lx);
            lx = (lead - kHalf * accurate::log1p(-x) - accurate::log1p(((c3 * x + c2) * x + c1) * x)) / a;
        }
        if (lx < -1.0) {
            const double x = accurate::exp(lx);
            t = std::sqrt(dof * (1.0 - x) / x);
        } else {
            t = t_from_normal(qnorm_accurate(lp, 0, 1, false, true), dof);
        }
    }
    if (!(t > 0) || !(t < 1e300)) t = 1.0;
    double lo = 0.0, hi = kInf;
    for (int it = 0; it < 40; ++it) {
        const TEval e = t_eval(t, dof, centre);
        const double f = e.log_j - target;
        if (f == 0) return t;
        if (is_nan(f)) break;  // no tail to steer by: the inverse beta decides
        // J rises with t in the centre, falls in the tail.
        if ((f > 0) == centre) {
            hi = t;
        } else {
            lo = t;
        }
        const double h = 2.0 * accurate::exp(e.log_pref - e.log_j);
        const double slope = centre ? h : -h;           // d ln J / du
        const double curv = (e.x - dof * e.y) + (centre ? -h : h);  // d ln |slope| / du
        const double dn = -f / slope;
        const double den = 1.0 + dn * curv * kHalf;
        double du = (den > kHalf && den < 2.0) ? dn / den : dn;
        if (!(du > -2.0)) du = -2.0;
        if (!(du < 2.0)) du = 2.0;
        const double ad = accurate::fabs_(du);
        // Halley: the error after a step of size du is of order du^3, so
        // the first step below 2^-17 is the last; e^du - 1 by its series there.
        if (ad <= 0x1p-17) return t + t * (du + du * du * (kHalf + du / 6.0));
        double tn = t * accurate::exp(du);
        if (!(tn > lo && tn < hi)) {
            tn = hi == kInf ? t * 8.0 : (lo == 0 ? t * 0.125 : std::sqrt(lo) * std::sqrt(hi));
        }
        t = tn;
    }
    return t_upper_quantile_beta(lp, dof);
}

// The t > 0 with P(T > t) = p = e^lp for the degrees of freedom with closed
// forms, 0 < p < 1/2.
double t_closed_form(double lp, double dof) {
    if (dof == 1) return qcauchy_accurate(lp, 0, 1, false, true);
    // nu = 2: P(T > t) = (1 - t/sqrt(2 + t^2))/2, t = (1 - 2p)/sqrt(2p(1 - p));
    // 1/sqrt(2p) where p is below 1e-300 (it may underflow).
    const double p = accurate::exp(lp);
    if (p < 1e-300) return accurate::exp(-kHalf * (lp + kLn2));
    return (1.0 - (p + p)) / std::sqrt((p + p) * (1.0 - p));
}

// Where the normal tail is the t tail to double precision: ln P(T > t) -
// ln P(Z > t) is about t^4/(4 nu), below 1e-13 of the logarithm for t^2 <
// 1e-13 nu, and (for nu > 1e30) below 1e-16 of the value wherever the value
// is a double.
bool t_is_normal(double x, double dof) { return dof > kNormalDof && x * x < 1e-13 * dof; }

// ln K(nu) = ln(Gamma(a + 1/2)/(Gamma(a) sqrt(pi nu))), a = nu/2: the
// density at 0. From the Stirling remainders for large a:
//   a log1pmx(1/(2a)) + c(a + 1/2) - c(a) - ln sqrt(2 pi);
// remembered per thread for the last nu.
struct DensityMemo {
    std::uint64_t dof_bits = 0;
    double log_k = 0;
};
thread_local DensityMemo density_memo;

double t_log_density_at_0(double dof) {
    DensityMemo& m = density_memo;
    if (m.dof_bits == accurate::bits_of(dof)) return m.log_k;
    const double a = kHalf * dof;
    constexpr double kLogSqrt2Pi = 0.91893853320467274178;
    constexpr double kLogSqrtPi = 0.57236494292470008707;
    double l;
    if (a >= 10) {
        l = ((a * accurate::log1pmx(kHalf / a)) + (accurate::lgamma_correction(a + kHalf) -
                                                  accurate::lgamma_correction(a))) - kLogSqrt2Pi;
    } else {
        l = ((accurate::lgamma(a + kHalf) - accurate::lgamma(a)) - kLogSqrtPi) - kHalf * accurate::log(dof);
    }
    m.log_k = l;
    m.dof_bits = accurate::bits_of(dof);
    return l;
}

// P(T > x), or its logarithm, for finite x.
double t_upper(double x, double dof, bool log_p) {
    if (t_is_normal(x, dof)) return pnorm_accurate(x, 0, 1, log_p, false);
    if (x == 0) return log_p ? -kLn2 : kHalf;
    if (x > 0) {
        const accurate::DD l = t_log_twice_upper(x, dof, nullptr);
        return log_p ? (l.hi + l.lo) - kLn2 : accurate::exp_mul(l, kHalf);
    }
    // P(T > x) = 1 - P(T > -x) for x < 0, at least 1/2.
    const double q = accurate::exp_mul(t_log_twice_upper(-x, dof, nullptr), kHalf);
    return log_p ? accurate::log1p(-q) : 1 - q;
}

}  // namespace

// f(t) = K(nu) (1 + t^2/nu)^-(nu+1)/2, the power through ln(1 + t^2/nu) in
// double-double.
double dt_accurate(double x, double dof, bool log) {
    if (is_nan(x) || t_invalid(dof)) return kNaN;
    if (is_inf(x)) return log ? -kInf : 0.0;
    if (is_pinf(dof)) return dnorm_accurate(x, 0, 1, log);
    const double ax = accurate::fabs_(x);
    accurate::DD l1p;  // ln(1 + x^2/nu)
    const accurate::DD sq = accurate::two_prod(ax, ax);
    const accurate::DD r = accurate::dd_div(sq, dof);
    if (r.hi < 0x1p1000) {
        l1p = accurate::dd_add(accurate::log1p_dd(r.hi), r.lo / (1 + r.hi));
    } else {
        // 2 ln|x| - ln nu + ln(1 + nu/x^2)
        l1p = accurate::dd_sub(accurate::dd_mul(accurate::log_dd(ax), 2.0), accurate::log_dd(dof));
        l1p = accurate::dd_add(l1p, (dof / ax) / ax);
    }
    const accurate::DD power = accurate::dd_mul(l1p, accurate::two_sum(kHalf * dof, kHalf));
    const accurate::DD l = accurate::dd_add(accurate::dd_neg(power), t_log_density_at_0(dof));
    return log ? l.hi + l.lo : accurate::exp_dd(l);
}

double pt_accurate(double x, double dof, bool log_p, bool lower_tail) {
    if (is_nan(x) || t_invalid(dof)) return kNaN;
    // P(T <= x) = P(T > -x)
    if (lower_tail) x = -x;
    if (is_pinf(x)) return log_p ? -kInf : 0.0;
    if (is_ninf(x)) return log_p ? 0.0 : 1.0;
    return t_upper(x, dof, log_p);
}

double qt_accurate(double p, double dof, bool lower_tail, bool log_p) {
    if (t_invalid(dof) || probability_invalid(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? -kInf : kInf;
    if (probability_one(p, log_p)) return lower_tail ? kInf : -kInf;
    // The quantile t >= 0 of the smaller side's probability q = e^lq <= 1/2,
    // and its sign: below the median for the lower side.
    const Target s = smaller_side(p, lower_tail, log_p);
    double t;
    if (dof > kNormalDof) {
        t = qnorm_accurate(s.lq, 0, 1, false, true);
    } else if (s.lq == -kLn2) {
        t = 0;
    } else if (dof == 1 || dof == 2) {
        t = t_closed_form(s.lq, dof);
    } else {
        t = t_upper_quantile(s.lq, dof);
    }
    return s.upper || t == 0 ? t : -t;  // the median is +0 on either side
}

double pt_upper(double x, double dof, bool log_p) { return pt_accurate(x, dof, log_p, false); }
double qt_upper(double p, double dof) { return qt_accurate(p, dof, false, false); }

}  // namespace zorvana
