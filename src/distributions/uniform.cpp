// Uniform distribution on [a, b].
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

// The double nearest log 2.
constexpr double kLn2 = 0.6931471805599453;

// For finite a < b whose width b - a overflows, the formulas are taken on the
// halves a/2, b/2 (exact at these magnitudes) and the result scaled back.
bool width_overflows(double a, double b) { return is_inf(b - a) && !is_inf(a) && !is_inf(b); }

}  // namespace

double dunif(double x, double a, double b, bool log) {
    if (is_nan(x) || !(a < b)) return kNaN;
    if (is_inf(a) || is_inf(b)) return zero_or_ninf(log);
    if (x < a || x > b) return zero_or_ninf(log);
    if (width_overflows(a, b)) {
        const double half_width = b * 0.5 - a * 0.5;
        return log ? -(math_log(half_width) + kLn2) : 0.5 / half_width;
    }
    return log ? -math_log(b - a) : 1 / (b - a);
}

double punif(double x, double a, double b, bool log_p) {
    if (is_nan(x) || !(a < b) || (is_inf(a) && is_inf(b))) return kNaN;
    double v;
    if (x <= a) {
        v = 0;
    } else if (x >= b) {
        v = 1;
    } else if (width_overflows(a, b)) {
        v = clamp_probability((x * 0.5 - a * 0.5) / (b * 0.5 - a * 0.5));
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
    if (width_overflows(a, b)) {
        // Rounded up by an ulp near b = 1.8e308 the doubling would overflow.
        const double q = ((b * 0.5 - a * 0.5) * p + a * 0.5) * 2;
        return q > b ? b : q;
    }
    return (b - a) * p + a;
}

}  // namespace zorvana
