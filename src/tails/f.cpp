// The accurate density, distribution and quantile functions of the F
// distribution: through the incomplete beta function of u = d1 x/(d1 x + d2)
// and its complement, each formed directly, and through the chi-squared and
// inverse gamma limits where a degree of freedom is infinite (or so large
// beside the other and the point that the limit is exact to double
// precision).
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/beta_family.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace beta_family;

namespace {

constexpr double kHalf = 0.5;
// The limits replace finite degrees of freedom d beyond 1e30 (the beta
// route serves below) where the spread they leave out moves the tail by
// less than 2^-53 relative: that spread is of the order s^2/d for s the
// other degrees of freedom or the chi-squared point (below 1e-16 when s^2 <
// 1e-16 d).
constexpr double kLimitRatio = 1e-16;
constexpr double kLimitDof = 1e30;

bool f_invalid(double d1, double d2) { return d2 < kEps || d1 < kEps || is_nan(d1) || is_nan(d2); }

enum class Limit { none, chisq, invgamma };

// The limit serving at x (0 < x < inf): chi-squared for d2 (d1 F ~ chi^2_d1),
// inverse gamma for d1 (F ~ d2/chi^2_d2).
Limit f_limit(double x, double d1, double d2) {
    if (is_pinf(d2)) return Limit::chisq;
    if (is_pinf(d1)) return Limit::invgamma;
    const double s1 = d1 * (x > 1 ? x : 1.0);
    if (d2 > kLimitDof && s1 * s1 < kLimitRatio * d2) return Limit::chisq;
    const double s2 = d2 * (x < 1 ? 1 / x : 1.0);
    if (d1 > kLimitDof && s2 * s2 < kLimitRatio * d1) return Limit::invgamma;
    return Limit::none;
}

// ln P(F > x) (upper) or ln P(F <= x) as a double-double for 0 < x < inf and
// finite degrees of freedom, with the log prefactor of the incomplete beta
// function (for the slope in ln x).
accurate::DD f_log_tail(double x, double d1, double d2, bool upper, double* log_pref, bool log_wanted) {
    const accurate::BetaPoint pt = accurate::split_point(d1, x, d2, 1.0);
    const double g = kHalf * d1;
    const double h = kHalf * d2;
    const bool tiny = pt.x_small ? pt.x < 0x1p-900 : pt.y < 0x1p-900;
    if (tiny) {
        // The smaller point is below 2^-900: its side is u^g/(g B(g, h)) (or
        // v^h/(h B(h, g))) to double precision, the other side the complement.
        const double c = pt.x_small ? g : h;
        const double o = pt.x_small ? h : g;
        const accurate::DD ls{pt.log_small, pt.log_small_lo};
        if (log_pref) *log_pref = c * pt.log_small - accurate::log_beta(c, o);
        const accurate::DD l = accurate::log_beta_inc_tiny_dd(c, o, ls);
        if (upper != pt.x_small) return l;
        return accurate::DD{accurate::log1p(-accurate::exp_dd(l)), 0.0};
    }
    return accurate::log_beta_inc_dd(g, h, pt.x, pt.y, upper, log_pref, pt.small_lo, log_wanted);
}

double f_log_tail_double(double x, double d1, double d2, bool upper, double* log_pref) {
    const accurate::DD l = f_log_tail(x, d1, d2, upper, log_pref, true);
    return l.hi + l.lo;
}

}  // namespace

double df_accurate(double x, double d1, double d2, bool log) {
    if (is_nan(x) || f_invalid(d1, d2)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0) {
        if (d1 < 2) return kInf;
        return d1 == 2 ? one_or_zero(log) : zero_or_ninf(log);
    }
    if (is_pinf(x)) {
        // the limits of the lower-tail function
        double v;
        if (is_pinf(d1)) {
            v = d2 < 2 ? kNaN : 0.0;
        } else if (is_pinf(d2)) {
            v = 0;
        } else {
            v = (d1 >= 2 && d2 >= 1) ? 0.0 : kNaN;
        }
        return is_nan(v) ? v : zero_or_ninf(log);
    }
    if (is_pinf(d1) && is_pinf(d2)) return x == 1 ? kInf : zero_or_ninf(log);
    switch (f_limit(x, d1, d2)) {
        case Limit::chisq: return dgamma_accurate(x, kHalf * d1, 2 / d1, log);
        case Limit::invgamma: return dinvgamma_accurate(x, kHalf * d2, kHalf * d2, log);
        case Limit::none: break;
    }
    // f(x) = u^g v^h / (B(g, h) x), u = d1 x/(d1 x + d2), v = 1 - u.
    const accurate::BetaPoint pt = accurate::split_point(d1, x, d2, 1.0);
    const double g = kHalf * d1;
    const double h = kHalf * d2;
    accurate::DD l;
    if (pt.log_small == pt.log_small) {
        // The smaller side from its logarithm (it may have underflowed); the
        // other's logarithm is -s to within s^2.
        const double c = pt.x_small ? g : h;
        const double o = pt.x_small ? h : g;
        l = accurate::dd_mul(accurate::DD{pt.log_small, pt.log_small_lo}, c);
        l = accurate::dd_add(l, -(o * accurate::exp(pt.log_small)) - accurate::log_beta(g, h));
    } else {
        l = accurate::log_beta_prefactor(g, h, pt.x, pt.y, pt.small_lo);
    }
    l = accurate::dd_sub(l, accurate::log_dd(x));
    return log ? l.hi + l.lo : accurate::exp_dd(l);
}

double pf_accurate(double x, double d1, double d2, bool log_p, bool lower_tail) {
    if (is_nan(x) || f_invalid(d1, d2)) return kNaN;
    if (x <= 0) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (is_pinf(x)) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    if (is_pinf(d1) && is_pinf(d2)) {
        if (x == 1) return value_or_log(kHalf, log_p);
        return (x > 1) == lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    }
    switch (f_limit(x, d1, d2)) {
        case Limit::chisq: return pchisq_accurate(x * d1, d1, log_p, lower_tail);
        case Limit::invgamma: return pinvgamma_accurate(x, kHalf * d2, kHalf * d2, log_p, lower_tail);
        case Limit::none: break;
    }
    const accurate::DD l = f_log_tail(x, d1, d2, !lower_tail, nullptr, log_p);
    return log_p ? l.hi + l.lo : accurate::exp_dd(l);
}

double qf_accurate(double p, double d1, double d2, bool lower_tail, bool log_p) {
    if (f_invalid(d1, d2) || probability_invalid(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? 0.0 : kInf;
    if (probability_one(p, log_p)) return lower_tail ? kInf : 0.0;
    if (is_pinf(d1) && is_pinf(d2)) return 1;
    if (is_pinf(d2)) return qchisq_accurate(p, d1, lower_tail, log_p) / d1;
    if (is_pinf(d1)) return qinvgamma_accurate(p, kHalf * d2, kHalf * d2, lower_tail, log_p);
    if ((d2 > kLimitDof && d1 * d1 < kLimitRatio * d2) || (d1 > kLimitDof && d2 * d2 < kLimitRatio * d1)) {
        // A limit, where it serves at its own quantile.
        const double x = d2 > d1 ? qchisq_accurate(p, d1, lower_tail, log_p) / d1
                                 : qinvgamma_accurate(p, kHalf * d2, kHalf * d2, lower_tail, log_p);
        if (x > 0 && x < kInf && f_limit(x, d1, d2) != Limit::none) return x;
    }
    const Target t = smaller_side(p, lower_tail, log_p);
    const accurate::BetaPoint pt = accurate::beta_inc_inv_log(kHalf * d1, kHalf * d2, t.lq, t.upper);
    // x = (d2/d1) u/v for the point (u, v) of the incomplete beta function.
    double x;
    if (pt.x_small ? pt.x < 0x1p-900 : pt.y < 0x1p-900) {
        const double l = pt.x_small ? pt.log_small - accurate::log(pt.y) : accurate::log(pt.x) - pt.log_small;
        x = accurate::exp((l + accurate::log(d2)) - accurate::log(d1));
    } else {
        x = ((pt.x / pt.y) * d2) / d1;
    }
    // The change of variable costs x a few ulp, which move the tail by as
    // many times its slope in ln x (the slope in ln(u/v)): below 2^-40
    // relative where that slope is below 100, and the last step can go.
    const double slope = accurate::fabs_(pt.slope);
    if (slope <= 100) return x;
    return polish_side(x, t.lq, t.upper, [d1, d2, &t](double s, double* log_pref) {
        return f_log_tail_double(s, d1, d2, t.upper, log_pref);
    });
}

double pf_upper(double x, double d1, double d2, bool log_p) { return pf_accurate(x, d1, d2, log_p, false); }
double qf_upper(double p, double d1, double d2) { return qf_accurate(p, d1, d2, false, false); }

}  // namespace zorvana
