// Inverse-gamma distribution with shape alpha and scale beta:
// density beta^alpha / Gamma(alpha) x^(-alpha-1) e^(-beta/x), the law of the
// reciprocal of a gamma variable with shape alpha and scale 1/beta.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dinvgamma(double x, double shape, double scale, bool log) {
    if (is_nan(x) || scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0 || shape == 0) {
        double v;
        if (shape == 0) {
            v = x > 0 ? kInf : 0.0;
        } else {
            v = scale == 0 ? kInf : 0.0;
        }
        return log_of_value(v, log);
    }
    if (scale == 0 || is_inf(x) || is_inf(shape) || is_inf(scale)) return zero_or_ninf(log);
    const double y = (math_log_param(scale) * shape - math_lgamma_param(shape)) + math_log(x) * (-1 - shape) - scale / x;
    return log_domain(y, log);
}

// Q(alpha, beta / x) = 1 - P, with P taken by the gamma distribution
// function's rules at 1/x for shape alpha and scale 1/beta.
double pinvgamma(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return zero_or_ninf(log_p);
    const double f = x == 0 ? kInf : 1 / x;
    if (scale == 0) return x == 0 ? kNaN : log_of_value(1.0, log_p);
    if (is_pinf(scale)) return kNaN;
    const double h = 1 / scale;
    if (h < kEps || (is_pinf(f) && is_pinf(h))) return kNaN;
    double lower;
    if (f < kEps) {
        lower = 0.0;
    } else if (shape == 0) {
        lower = is_pinf(h) ? 0.0 : 1.0;
    } else if (!is_inf(f) && !is_inf(shape) && !is_inf(h)) {
        lower = math_gamma_p(shape, f / h);
    } else {
        lower = is_pinf(f) ? 1.0 : 0.0;
    }
    return log_of_value(clamp_probability(1 - lower), log_p);
}

// The distribution function reads scales above 2^52 as NaN, so a quantile
// there cannot be checked against it.
constexpr double kLargestCheckedScale = 0x1p52;

double qinvgamma(double p, double shape, double scale) {
    if (scale < 0 || shape < 0 || is_nan(shape) || is_nan(scale) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return 0.0;
    if (p == 1) return kInf;
    if (scale == 0 || shape == 0 || is_pinf(shape) || is_pinf(scale)) {
        return (scale == 0 && shape != 0) ? 0.0 : kNaN;
    }
    const double x = scale / math_gamma_p_inv(shape, 1 - p);
    if (1 / scale < kEps) return x;
    const auto cdf = [shape, scale](double v) { return pinvgamma(v, shape, scale, false); };
    return checked_quantile(x, p, cdf, 0.0, kInf);
}

}  // namespace zorvana
