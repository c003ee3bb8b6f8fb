// Noncentral chi-squared, beta and F: Poisson mixtures of the central
// families with weights P(N = k), N Poisson with mean ncp/2,
//
//   chi-squared  P(X <= x) = sum_k w_k P(chi^2_(dof + 2k) <= x)
//   beta         P(X <= x) = sum_k w_k I_x(a + k, b)
//   F            P(X <= x) = the beta's at y = df1 x / (df1 x + df2), a = df1/2, b = df2/2
//
// each tail summed directly (positive terms) from the Poisson mode outward,
// and the densities as the same mixtures of the central densities, summed
// from their largest term. Quantiles solve the tail (in log) for x.
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/double_double.hpp"
#include "accurate/gamma_inc.hpp"
#include "accurate/elementary.hpp"
#include "accurate/mixtures.hpp"
#include "kernels/precision.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {

namespace {

using accurate::log_target;

bool bad_ncp(double ncp) { return !(ncp >= 0 && ncp < kInf); }

// A log-probability as asked for.
double as_p(double lp, bool log_p) {
    if (is_nan(lp)) return kNaN;
    if (lp > 0) lp = 0;
    return log_p ? lp : accurate::exp(lp);
}

// The tail of a point: lower (or upper) tail probability known as 0 or 1.
double edge(bool lower_is_one, bool lower_tail, bool log_p) {
    const bool one = lower_is_one == lower_tail;
    return log_p ? (one ? 0.0 : -kInf) : (one ? 1.0 : 0.0);
}

// ---- chi-squared ------------------------------------------------------------

bool chisq_bad(double dof, double ncp) { return !(dof >= 0 && dof < kInf) || bad_ncp(ncp); }

// ln P(X <= x) or ln P(X > x) for 0 < x < inf: the terms are the
// incomplete gamma ratios P(dof/2 + k, x/2) or Q(dof/2 + k, x/2) (dof = 0,
// k = 0 is the point mass at 0).
double log_pnchisq(double x, double dof, bool lower, double ncp) {
    const double half_x = 0.5 * x, half_dof = 0.5 * dof;
    return accurate::poisson_mixture_tail(0.5 * ncp, lower, [&](std::int64_t k) {
        const double a = half_dof + static_cast<double>(k);
        if (a == 0) return lower ? 0.0 : -kInf;
        return lower ? accurate::log_gamma_p(a, half_x) : accurate::log_gamma_q(a, half_x);
    });
}

// ---- beta -------------------------------------------------------------------

bool beta_bad(double a, double b, double ncp) { return !(a > 0 && a < kInf && b > 0 && b < kInf) || bad_ncp(ncp); }

// ln of the lower or upper tail of the noncentral beta at x, with y = 1 - x
// given separately (the smaller of the two exact, as the incomplete beta
// function takes them; small_lo what the smaller lost in rounding), 0 < x < 1.
double log_pnbeta(double x, double y, double a, double b, bool lower, double ncp, double small_lo = 0.0) {
    return accurate::poisson_mixture_tail(0.5 * ncp, lower, [&](std::int64_t k) {
        return accurate::beta_inc(a + static_cast<double>(k), b, x, y, !lower, true, nullptr, small_lo);
    });
}

double log_dnbeta(double x, double y, double a, double b, double ncp) {
    const double mu = 0.5 * ncp;
    const double log_xy = accurate::log(x) + accurate::log(y);
    return accurate::log_concave_series(
        mu,
        [&](std::int64_t k) {
            // the beta(a + k, b) density: the peak over x y
            return accurate::log_poisson(k, mu) + accurate::log_beta_peak(a + static_cast<double>(k), b, x, y) -
                   log_xy;
        },
        [&](std::int64_t k) {
            const double kk = static_cast<double>(k);
            return mu / (kk + 1.0) * x * ((a + b + kk) / (a + kk));
        });
}

}  // namespace

double dnchisq(double x, double dof, bool log, double ncp) {
    if (is_nan(x) || chisq_bad(dof, ncp)) return kNaN;
    if (x < 0 || x >= kInf) return log ? -kInf : 0.0;
    if (x == 0) {
        // only the k = 0 term can be positive: dof < 2 gives inf, dof = 2 e^(-ncp/2) / 2
        const double d0 = dchisq_accurate(0.0, dof, true);
        const double lp0 = d0 - 0.5 * ncp;
        return log ? lp0 : accurate::exp(lp0);
    }
    const double mu = 0.5 * ncp, half_x = 0.5 * x;
    const double lp = accurate::log_concave_series(
        mu,
        [&](std::int64_t k) {
            // half the gamma(a) density at x/2: (a / z) z^a e^-z / Gamma(a + 1)
            const double a = 0.5 * dof + static_cast<double>(k);
            if (a == 0) return -kInf;  // the point mass at 0
            return accurate::log_poisson(k, mu) + accurate::log(a / half_x) + accurate::log_gamma_peak(a, half_x) -
                   0.6931471805599453;
        },
        [&](std::int64_t k) {
            const double kk = static_cast<double>(k);
            return mu / (kk + 1.0) * (0.5 * x) / (0.5 * dof + kk);
        });
    return log ? lp : accurate::exp(lp);
}

double pnchisq(double x, double dof, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || chisq_bad(dof, ncp)) return kNaN;
    if (x < 0) return edge(false, lower_tail, log_p);
    if (x >= kInf) return edge(true, lower_tail, log_p);
    if (x == 0) {
        // mass at 0 only for dof = 0: P(N = 0) = e^(-ncp/2)
        if (dof > 0) return edge(false, lower_tail, log_p);
        const double lw = -0.5 * ncp;
        return lower_tail ? as_p(lw, log_p) : (log_p ? accurate::log1p(-accurate::exp(lw)) : -accurate::expm1(lw));
    }
    return accurate::either_tail([&](bool lower) { return log_pnchisq(x, dof, lower, ncp); }, lower_tail, log_p);
}

double qnchisq(double p, double dof, bool lower_tail, bool log_p, double ncp) {
    const double target = log_target(p, log_p);
    if (is_nan(target) || chisq_bad(dof, ncp)) return kNaN;
    if (!(target > -kInf)) return lower_tail ? 0.0 : kInf;
    if (target == 0) return lower_tail ? kInf : 0.0;
    const double mean = dof + ncp > 0 ? dof + ncp : 1.0;
    return accurate::solve_log([&](double x) { return log_pnchisq(x, dof, lower_tail, ncp); }, target, lower_tail,
                               0.0, kInf, mean, 1.0, true);
}

double dnbeta(double x, double a, double b, bool log, double ncp) {
    if (is_nan(x) || beta_bad(a, b, ncp)) return kNaN;
    if (x < 0 || x > 1) return log ? -kInf : 0.0;
    if (x == 0) {
        // only the k = 0 term can be positive
        const double lp0 = dbeta_accurate(0.0, a, b, true) - 0.5 * ncp;
        return log ? lp0 : accurate::exp(lp0);
    }
    if (x == 1) {
        // every term is 0 (b > 1) or inf (b < 1); b = 1: sum_k w_k (a + k)
        const double v = b > 1 ? 0.0 : b < 1 ? kInf : a + 0.5 * ncp;
        return log ? accurate::log(v) : v;
    }
    const double lp = log_dnbeta(x, 1.0 - x, a, b, ncp);
    return log ? lp : accurate::exp(lp);
}

double pnbeta(double x, double a, double b, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || beta_bad(a, b, ncp)) return kNaN;
    if (x <= 0) return edge(false, lower_tail, log_p);
    if (x >= 1) return edge(true, lower_tail, log_p);
    return accurate::either_tail([&](bool lower) { return log_pnbeta(x, 1.0 - x, a, b, lower, ncp); }, lower_tail,
                                 log_p);
}

double qnbeta(double p, double a, double b, bool lower_tail, bool log_p, double ncp) {
    const double target = log_target(p, log_p);
    if (is_nan(target) || beta_bad(a, b, ncp)) return kNaN;
    if (!(target > -kInf)) return lower_tail ? 0.0 : 1.0;
    if (target == 0) return lower_tail ? 1.0 : 0.0;
    return accurate::solve_log([&](double x) { return log_pnbeta(x, 1.0 - x, a, b, lower_tail, ncp); }, target,
                               lower_tail, 0.0, 1.0, 0.5, 0.25, false);
}

namespace {

bool f_bad(double df1, double df2, double ncp) {
    return !(df1 > 0 && df1 < kInf && df2 > 0) || is_nan(df2) || bad_ncp(ncp);
}

// ln of a tail of the noncentral F at 0 < x < inf.
double log_pnf(double x, double df1, double df2, bool lower, double ncp) {
    if (df2 >= kInf) return log_pnchisq(x * df1, df1, lower, ncp);
    const accurate::BetaPoint pt = accurate::split_point(df1, x, df2, 1.0);
    return log_pnbeta(pt.x, pt.y, 0.5 * df1, 0.5 * df2, lower, ncp, pt.small_lo);
}

}  // namespace

double dnf(double x, double df1, double df2, bool log, double ncp) {
    if (is_nan(x) || f_bad(df1, df2, ncp)) return kNaN;
    if (x < 0 || x >= kInf) return log ? -kInf : 0.0;
    double lp;
    if (x == 0) {
        lp = df_accurate(0.0, df1, df2, true) - 0.5 * ncp;  // only the k = 0 term can be positive
    } else if (df2 >= kInf) {
        lp = dnchisq(x * df1, df1, true, ncp) + accurate::log(df1);
    } else {
        // the beta's density at y = df1 x / s times dy/dx = df1 df2 / s^2
        const double s = df1 * x + df2;
        const accurate::BetaPoint pt = accurate::split_point(df1, x, df2, 1.0);
        lp = log_dnbeta(pt.x, pt.y, 0.5 * df1, 0.5 * df2, ncp) + accurate::log(df1 * df2) - 2.0 * accurate::log(s);
    }
    return log ? lp : accurate::exp(lp);
}

double pnf(double x, double df1, double df2, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || f_bad(df1, df2, ncp)) return kNaN;
    if (x <= 0) return edge(false, lower_tail, log_p);
    if (x >= kInf) return edge(true, lower_tail, log_p);
    return accurate::either_tail([&](bool lower) { return log_pnf(x, df1, df2, lower, ncp); }, lower_tail, log_p);
}

double qnf(double p, double df1, double df2, bool lower_tail, bool log_p, double ncp) {
    const double target = log_target(p, log_p);
    if (is_nan(target) || f_bad(df1, df2, ncp)) return kNaN;
    if (!(target > -kInf)) return lower_tail ? 0.0 : kInf;
    if (target == 0) return lower_tail ? kInf : 0.0;
    return accurate::solve_log([&](double x) { return log_pnf(x, df1, df2, lower_tail, ncp); }, target, lower_tail,
                               0.0, kInf, 1.0 + ncp / df1, 1.0, true);
}

}  // namespace zorvana
