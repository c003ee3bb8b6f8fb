// Gamma distribution with shape k and scale theta:
// density x^(k-1) e^(-x/theta) / (Gamma(k) theta^k).
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dgamma(double x, double shape, double scale, bool log) {
    if (is_nan(x) || scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0 || shape == 0) {
        double v;
        if (shape == 0) {
            v = x == 0 ? kInf : 0.0;
        } else if (shape < 1) {
            v = kInf;
        } else {
            v = shape == 1 ? 1 / scale : 0.0;
        }
        return log_of_value(v, log);
    }
    if (is_inf(x) || is_inf(shape) || is_inf(scale)) return zero_or_ninf(log);
    // x below eps has log -inf; with shape 1 the factor x^0 is 1.
    const double y =
        ((-math_lgamma_param(shape)) - math_log_param(scale) * shape) + log_power(math_log(x), shape - 1) - x / scale;
    return log_domain(y, log);
}

double pgamma(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) ||
        (is_pinf(x) && is_pinf(scale))) {
        return kNaN;
    }
    if (x < kEps) return zero_or_ninf(log_p);
    double v;
    if (shape == 0) {
        v = is_pinf(scale) ? 0.0 : 1.0;
    } else if (!is_inf(x) && !is_inf(shape) && !is_inf(scale)) {
        v = math_gamma_p(shape, x / scale);
    } else {
        v = is_pinf(x) ? 1.0 : 0.0;
    }
    return log_of_value(clamp_probability(v), log_p);
}

double qgamma(double p, double shape, double scale) {
    if (scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale) || p > 1 || p < 0 || is_nan(p)) {
        return kNaN;
    }
    if (p == 0) return 0.0;
    if (p == 1) return kInf;
    if (shape == 0 || is_pinf(shape) || is_pinf(scale)) return (shape == 0 && !is_pinf(scale)) ? 0.0 : kNaN;
    const double x = math_gamma_p_inv(shape, p) * scale;
    const auto cdf = [shape, scale](double v) { return pgamma(v, shape, scale, false); };
    return checked_quantile(x, p, cdf, 0.0, kInf);
}

}  // namespace zorvana
