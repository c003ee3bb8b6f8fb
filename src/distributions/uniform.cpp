// Uniform distribution on [a, b].
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dunif(double x, double a, double b, bool log) {
    if (is_nan(x) || !(a < b)) return kNaN;
    if (is_inf(a) || is_inf(b)) return zero_or_ninf(log);
    if (x < a || x > b) return zero_or_ninf(log);
    return log ? -math_log(b - a) : 1 / (b - a);
}

double punif(double x, double a, double b, bool log_p) {
    if (is_nan(x) || !(a < b) || (is_inf(a) && is_inf(b))) return kNaN;
    double v;
    if (x <= a) {
        v = 0;
    } else if (x >= b) {
        v = 1;
    } else {
        // With b = +inf this is 0 for every finite x; with a = -inf it is NaN.
        v = clamp_probability((x - a) / (b - a));
    }
    return log_of_value(v, log_p);
}

double qunif(double p, double a, double b) {
    if (!(b > a) || !(p >= 0 && p <= 1) || is_inf(a) || is_inf(b)) return kNaN;
    if (p == 0) return a;
    if (p == 1) return b;
    return (b - a) * p + a;
}

}  // namespace zorvana
