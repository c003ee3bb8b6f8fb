// F distribution: through the beta distribution of u = t/(1 + t), t = x d1/d2,
// and through the gamma and inverse-gamma limits when a degree of freedom is
// infinite.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/beta.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

constexpr double kHalf = 0.5;

bool f_invalid(double d1, double d2) { return d2 < kEps || d1 < kEps || is_nan(d1) || is_nan(d2); }

}  // namespace

double df(double x, double d1, double d2, bool log) {
    if (is_nan(x) || f_invalid(d1, d2)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0) return log_of_value(d1 < 2 ? kInf : (d1 == 2 ? 1.0 : 0.0), log);
    if (is_pinf(x)) {
        double v;
        if (is_pinf(d1)) {
            v = d2 < 2 ? kNaN : 0.0;
        } else if (is_pinf(d2)) {
            v = 0;
        } else {
            v = (d1 >= 2 && d2 >= 1) ? 0.0 : kNaN;
        }
        return log_of_value(v, log);
    }
    if (!is_pinf(d1) && is_pinf(d2)) return dgamma(x, kHalf * d1, 2 / d1, log);
    if (is_pinf(d1) && !is_pinf(d2)) return dinvgamma(x, kHalf * d2, kHalf * d2, log);
    if (is_pinf(d1)) return x == 1 ? kInf : zero_or_ninf(log);

    // Change of variable u = t/(1 + t): the Jacobian is (d1/d2)/(1 + t)^2.
    const double t = (x * d1) / d2;
    const double h = 1 + t;
    const double u = t / h;
    const double g = kHalf * d1;
    const double f = kHalf * d2;
    const double m = (g / f) / h;
    const double k = (1 - x * m) * m;
    if (log) {
        const double log_k = math_log(k);
        return log_k + dbeta(u, g, f, true);
    }
    return k * dbeta(u, g, f, false);
}

double pf(double x, double d1, double d2, bool log_p) {
    if (is_nan(x) || f_invalid(d1, d2)) return kNaN;
    if (x < kEps) return zero_or_ninf(log_p);
    if (is_pinf(x)) return one_or_zero(log_p);
    double v;
    if (!is_pinf(d1) && !is_pinf(d2)) {
        const double g = kHalf * d1;
        const double f = kHalf * d2;
        const double t = (x * d1) / d2;
        const double u = t / (1 + t);
        if (is_nan(u)) return kNaN;
        v = u < kEps ? 0.0 : math_beta_i(g, f, u);
    } else if (is_pinf(d1) && is_pinf(d2)) {
        if (x > 1) return one_or_zero(log_p);
        if (x < 1) return zero_or_ninf(log_p);
        v = kHalf;
    } else if (is_pinf(d2)) {
        // Chi-squared limit: d1 F tends to a chi-squared variable with d1 degrees of freedom.
        const double e = x * d1;
        if (is_nan(e)) return kNaN;
        if (e < kEps) return zero_or_ninf(log_p);
        if (is_pinf(e)) return one_or_zero(log_p);
        v = math_gamma_p(kHalf * d1, kHalf * e);
    } else {
        // Inverse chi-squared limit: d2/F tends to a chi-squared variable with d2 degrees of freedom.
        const double h = d2 / x;
        if (is_nan(h)) return kNaN;
        const double P = h < kEps ? 0.0 : (is_pinf(h) ? 1.0 : math_gamma_p(kHalf * d2, kHalf * h));
        v = 1 - P;
    }
    return log_of_value(clamp_probability(v), log_p);
}

double qf(double p, double d1, double d2) {
    if (f_invalid(d1, d2) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return 0;
    if (p == 1) return kInf;
    if (is_pinf(d1) && is_pinf(d2)) return 1;

    double x;
    if (!is_pinf(d1) && !is_pinf(d2)) {
        const double w = math_beta_i_inv(kHalf * d1, kHalf * d2, p);
        const double r = (kHalf * d1) / (kHalf * d2);
        x = w / ((1 - w) * r);
    } else if (is_pinf(d1)) {
        const double q = 1 - p;
        x = d2 / (math_gamma_p_inv(kHalf * d2, q) * 2);
    } else {
        x = (math_gamma_p_inv(kHalf * d1, p) * 2) / d1;
    }
    return checked_quantile(x, p, [d1, d2](double s) { return pf(s, d1, d2, false); }, 0.0, kInf);
}

}  // namespace zorvana
