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

#include "accurate/double_double.hpp"
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

// ln P(X <= x) or ln P(X > x) for 0 < x < inf.
double log_pnchisq(double x, double dof, bool lower, double ncp) {
    return accurate::poisson_mixture_tail(0.5 * ncp, lower, [&](std::int64_t k) {
        return pchisq_accurate(x, dof + 2.0 * static_cast<double>(k), true, lower);
    });
}

// ---- beta -------------------------------------------------------------------

bool beta_bad(double a, double b, double ncp) { return !(a > 0 && a < kInf && b > 0 && b < kInf) || bad_ncp(ncp); }

// ln of the lower or upper tail of the noncentral beta at x, with y = 1 - x
// given separately (exact where the caller has it), 0 < x < 1.
double log_pnbeta(double x, double y, double a, double b, bool lower, double ncp) {
    return accurate::poisson_mixture_tail(0.5 * ncp, lower, [&](std::int64_t k) {
        const double ak = a + static_cast<double>(k);
        return lower ? pbeta_accurate(x, ak, b, true, true) : pbeta_accurate(y, b, ak, true, true);
    });
}

double log_dnbeta(double x, double a, double b, double ncp) {
    const double mu = 0.5 * ncp;
    return accurate::log_concave_series(
        mu,
        [&](std::int64_t k) {
            return accurate::log_poisson(k, mu) + dbeta_accurate(x, a + static_cast<double>(k), b, true);
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
    const double mu = 0.5 * ncp;
    const double lp = accurate::log_concave_series(
        mu,
        [&](std::int64_t k) {
            return accurate::log_poisson(k, mu) + dchisq_accurate(x, dof + 2.0 * static_cast<double>(k), true);
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
    return as_p(log_pnchisq(x, dof, lower_tail, ncp), log_p);
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
    const double lp = log_dnbeta(x, a, b, ncp);
    return log ? lp : accurate::exp(lp);
}

double pnbeta(double x, double a, double b, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || beta_bad(a, b, ncp)) return kNaN;
    if (x <= 0) return edge(false, lower_tail, log_p);
    if (x >= 1) return edge(true, lower_tail, log_p);
    return as_p(log_pnbeta(x, 1.0 - x, a, b, lower_tail, ncp), log_p);
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
    const double s = df1 * x + df2;
    return log_pnbeta(df1 * x / s, df2 / s, 0.5 * df1, 0.5 * df2, lower, ncp);
}

}  // namespace

double dnf(double x, double df1, double df2, bool log, double ncp) {
    if (is_nan(x) || f_bad(df1, df2, ncp)) return kNaN;
    if (x < 0 || x >= kInf) return log ? -kInf : 0.0;
    double lp;
    if (df2 >= kInf) {
        lp = dnchisq(x * df1, df1, true, ncp) + accurate::log(df1);
    } else {
        // the beta's density at y = df1 x / s times dy/dx = df1 df2 / s^2
        const double s = df1 * x + df2;
        lp = log_dnbeta(df1 * x / s, 0.5 * df1, 0.5 * df2, ncp) + accurate::log(df1 * df2) -
             2.0 * accurate::log(s);
    }
    return log ? lp : accurate::exp(lp);
}

double pnf(double x, double df1, double df2, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || f_bad(df1, df2, ncp)) return kNaN;
    if (x <= 0) return edge(false, lower_tail, log_p);
    if (x >= kInf) return edge(true, lower_tail, log_p);
    return as_p(log_pnf(x, df1, df2, lower_tail, ncp), log_p);
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
