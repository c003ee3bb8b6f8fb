// Exponential distribution with the given rate.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/log_densities.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dexp(double x, double rate, bool log) {
    if (is_pinf(rate) || is_nan(x) || !(rate >= 0)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (is_pinf(x)) return rate > 0 ? zero_or_ninf(log) : kNaN;
    return log_domain(log_density::Exponential::y(x, rate, 0.0, math_log_param(rate), 0.0), log);
}

double pexp(double x, double rate, bool log_p) {
    if (is_nan(x) || !(rate >= 0)) return kNaN;
    double v;
    if (x <= 0) {
        v = 0;
    } else if (is_pinf(rate)) {
        v = 1;
    } else {
        v = clamp_probability(-math_expm1((-rate) * x));
    }
    return log_of_value(v, log_p);
}

double qexp(double p, double rate) {
    if (!(rate >= 0) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return 0;
    if (p == 1) return kInf;
    return -math_log(1 - p) / rate;
}

}  // namespace zorvana
