// Beta distribution: density, distribution function and quantile, including
// the point masses of the degenerate shapes 0 and +inf.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/beta.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

bool beta_invalid(double a, double b) { return b < 0 || a < 0 || is_nan(a) || is_nan(b); }

bool beta_degenerate(double a, double b) { return a == 0 || b == 0 || is_pinf(a) || is_pinf(b); }

// Where the degenerate shapes put their whole mass (a = b = 0 puts half at
// each end, handled by the callers).
constexpr double kHalf = 0.5;
double degenerate_location(double a, double b) {
    if (a == 0) return 0;
    if (is_pinf(b)) return is_pinf(a) ? kHalf : 0.0;
    return 1;  // b = 0, or a = +inf with b finite
}

}  // namespace

double dbeta(double x, double a, double b, bool log) {
    if (is_nan(x) || beta_invalid(a, b)) return kNaN;
    if (x < 0 || x > 1) return zero_or_ninf(log);
    if (beta_degenerate(a, b)) {
        const bool at_mass = (a == 0 && b == 0) ? (x == 0 || x == 1) : x == degenerate_location(a, b);
        return log_of_value(at_mass ? kInf : 0.0, log);
    }
    if (x > 0 && x < 1) {
        const double lbeta = math_lbeta(a, b);
        const double y = (log_power(math_log(x), a - 1) - lbeta) + log_power(math_log(1 - x), b - 1);
        return log_domain(y, log);
    }
    if (x == 1) {
        if (b < 1) return kInf;
        if (b > 1) return zero_or_ninf(log);
        return log_of_value(a, log);
    }
    // x == 0
    if (a < 1) return kInf;
    if (a > 1) return zero_or_ninf(log);
    return log_of_value(b, log);
}

double pbeta(double x, double a, double b, bool log_p) {
    if (is_nan(x) || beta_invalid(a, b)) return kNaN;
    if (x <= 0) return zero_or_ninf(log_p);
    if (x >= 1) return one_or_zero(log_p);
    double v;
    if (beta_degenerate(a, b)) {
        if (a == 0) {
            v = b == 0 ? kHalf : 1.0;
        } else if (is_pinf(b)) {
            v = is_pinf(a) ? (x < kHalf ? 0.0 : 1.0) : 1.0;
        } else {
            v = 0;
        }
    } else {
        v = x < kEps ? 0.0 : math_beta_i(a, b, x);
    }
    return log_of_value(clamp_probability(v), log_p);
}

double qbeta(double p, double a, double b) {
    if (beta_invalid(a, b) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return 0;
    if (p == 1) return 1;
    if (!beta_degenerate(a, b)) {
        const double x = math_beta_i_inv(a, b, p);
        return checked_quantile(x, p, [a, b](double t) { return pbeta(t, a, b, false); }, 0.0, 1.0);
    }
    if (a == 0 && b == 0) return p < kHalf ? 0.0 : (p == kHalf ? kHalf : 1.0);
    return degenerate_location(a, b);
}

}  // namespace zorvana
