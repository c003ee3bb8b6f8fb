// Weibull distribution with shape k and scale lambda.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

bool invalid_shape_scale(double shape, double scale) {
    return scale < kEps || shape < kEps || is_nan(shape) || is_nan(scale);
}

}  // namespace

double dweibull(double x, double shape, double scale, bool log) {
    if (is_nan(x) || invalid_shape_scale(shape, scale)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0 && shape < 1) return kInf;
    if (is_pinf(x)) return zero_or_ninf(log);
    // (k - 1) log r + log(k / lambda) - r^k, r = x / lambda. At r below eps
    // log r is -inf; with k = 1 the factor r^0 is 1, not NaN (an r that
    // overflows to +inf keeps the plain product, +inf * 0 = NaN).
    const double r = x / scale;
    const double l = math_log(r);
    return log_domain((log_power(l, shape - 1) + math_log_param(shape / scale)) - math_exp(shape * l), log);
}

double pweibull(double x, double shape, double scale, bool log_p) {
    if (is_nan(x) || invalid_shape_scale(shape, scale)) return kNaN;
    if (x < kEps) return zero_or_ninf(log_p);
    double v;
    if (is_inf(x) || is_inf(shape) || is_inf(scale)) {
        if (is_pinf(x)) {
            v = is_pinf(scale) ? kNaN : 1.0;
        } else if (!is_inf(shape) || is_pinf(scale)) {
            v = 0;
        } else {
            // Infinite shape: a step at x = lambda.
            const double r = x / scale;
            v = r > 1 ? 1.0 : (r == 1 ? -(math_exp(-1) - 1) : 0.0);
        }
    } else {
        const double r = x / scale;
        const double c = math_log(r) * shape;
        if (is_nan(c)) return kNaN;
        const double f = math_exp(c);
        if (is_nan(f)) return kNaN;
        v = clamp_probability(-math_expm1(-f));
    }
    return log_of_value(v, log_p);
}

double qweibull(double p, double shape, double scale) {
    if (invalid_shape_scale(shape, scale) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return 0;
    if (p == 1) return kInf;
    if (is_pinf(shape)) return scale;
    // lambda (-log(1 - p))^(1/k)
    const double l = math_log1p(-p);
    if (l > 0) return kNaN;
    const double y = math_log(-l) * (1 / shape);
    return math_exp(y) * scale;
}

}  // namespace zorvana
