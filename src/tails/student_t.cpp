// Upper tail of Student's t: P(T > t) = I_x(nu/2, 1/2) / 2 for t > 0, with
// x = nu/(nu + t^2) and its complement t^2/(nu + t^2) each formed directly.
#include <cmath>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/polish.hpp"
#include "tails/tails.hpp"

namespace zorvana {

namespace {

constexpr double kHalf = 0.5;
constexpr double kLn2 = 0.6931471805599453;
// Beyond this many degrees of freedom the tail is the normal one to double
// precision (and nu + t^2 would overflow).
constexpr double kNormalDof = 1e290;

bool t_invalid(double dof) { return dof < kEps || is_nan(dof); }

// ln P(T > t) for 0 < t < inf, with the log prefactor of the incomplete beta
// function (for the slope in ln t).
double t_log_upper(double t, double dof, double* log_pref) {
    const accurate::BetaPoint pt = accurate::split_point(dof, 1.0, t, t);
    const double a = kHalf * dof;
    if (pt.x_small && pt.x < 0x1p-900) {
        // t^-nu far below every double: I_x = x^a / (a B(a, 1/2)).
        if (log_pref) *log_pref = a * pt.log_small - accurate::log_beta(a, kHalf);
        return accurate::log_beta_inc_tiny(a, kHalf, pt.log_small) - kLn2;
    }
    return accurate::beta_inc(a, kHalf, pt.x, pt.y, false, true, log_pref) - kLn2;
}

// The t > 0 with P(T > t) = p, 0 < p < 1/2.
double t_upper_quantile(double p, double dof) {
    const accurate::BetaPoint pt = accurate::beta_inc_inv(kHalf * dof, kHalf, p + p, false);
    // t^2 = nu y / x
    double t;
    if (pt.x_small && pt.x < 0x1p-900) {
        t = accurate::exp(kHalf * ((accurate::log(dof) + accurate::log(pt.y)) - pt.log_small));
    } else {
        t = std::sqrt((dof * pt.y) / pt.x);
    }
    return polish_quantile(t, accurate::log(p),
                           [dof](double s, double* log_pref) { return t_log_upper(s, dof, log_pref); });
}

}  // namespace

double pt_upper(double x, double dof, bool log_p) {
    if (is_nan(x) || t_invalid(dof)) return kNaN;
    if (is_pinf(x)) return log_p ? -kInf : 0.0;
    if (is_ninf(x)) return log_p ? 0.0 : 1.0;
    if (dof > kNormalDof) return pnorm_upper(x, 0, 1, log_p);
    if (x == 0) return log_p ? -kLn2 : kHalf;
    if (x > 0) {
        const double l = t_log_upper(x, dof, nullptr);
        return log_p ? l : accurate::exp(l);
    }
    // P(T > x) = 1 - P(T > -x) for x < 0, at least 1/2.
    const double q = accurate::exp(t_log_upper(-x, dof, nullptr));
    return log_p ? accurate::log1p(-q) : 1 - q;
}

double qt_upper(double p, double dof) {
    if (t_invalid(dof) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return -kInf;
    if (dof > kNormalDof) return qnorm_upper(p, 0, 1);
    if (p == kHalf) return 0;
    // Above 1/2 by symmetry (1 - p is exact there).
    return p < kHalf ? t_upper_quantile(p, dof) : -t_upper_quantile(1 - p, dof);
}

}  // namespace zorvana
