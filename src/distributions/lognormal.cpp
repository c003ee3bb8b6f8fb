// Log-normal distribution, built on the normal functions of log x.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/location_scale.hpp"
#include "distributions/log_densities.hpp"
#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// sqrt(2), the double nearest.
constexpr double kSqrt2 = 1.4142135623730951;

bool is_finite(double v) { return !is_nan(v) && !is_inf(v); }

}  // namespace

double dlnorm(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    // -inf for every x below eps, +inf for x = +inf.
    const double l = math_log(x);
    if (is_finite(l) && is_finite(mu) && is_finite(sigma) && sigma != 0) {
        if (!log) return dnorm(l, mu, sigma, false) / x;
        using Form = log_density::LogNormal;
        return Form::logged(Form::y(x, mu, sigma, math_log_param(sigma), l), l);
    }
    double v;
    if (is_pinf(sigma)) {
        v = 0.0;
    } else if (sigma == 0) {
        v = same_infinity(l, mu) ? kInf : 0.0;
    } else {
        v = (is_pinf(l) && is_pinf(mu)) ? kNaN : 0.0;
    }
    return log_of_value(v, log);
}

double plnorm(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (x < kEps) return zero_or_ninf(log_p);
    return pnorm(math_log(x), mu, sigma, log_p);
}

double qlnorm(double p, double mu, double sigma) {
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || p < 0 || p > 1 || is_nan(p) || is_pinf(sigma)) {
        return kNaN;
    }
    if (sigma == 0) return math_exp(mu);
    if (p == 0) return is_pinf(mu) ? kNaN : 0.0;
    if (p == 1) return is_ninf(mu) ? kNaN : kInf;
    const double q = mu + math_erf_inv((p + p) - 1) * (sigma * kSqrt2);
    return math_exp(q);  // NaN stays NaN, -inf gives 0
}

}  // namespace zorvana
