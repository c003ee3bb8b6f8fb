// Chi-squared distribution with nu degrees of freedom: the gamma distribution
// with shape nu/2 and scale 2.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

// The double nearest -log 2.
constexpr double kMinusLn2 = -0.6931471805599453;

double dchisq(double x, double dof, bool log) {
    if (is_nan(x) || dof < 0 || is_nan(dof)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (x == 0) {
        const double v = dof < 2 ? kInf : (dof == 2 ? 0.5 : 0.0);
        return log_of_value(v, log);
    }
    if (is_pinf(x) || is_pinf(dof)) return zero_or_ninf(log);
    const double h = dof * 0.5;
    // x below eps has log -inf; with 2 degrees of freedom the factor x^0 is 1.
    const double y = ((kMinusLn2 * h) - math_lgamma_param(h)) + log_power(math_log(x), h - 1) - x * 0.5;
    return log_domain(y, log);
}

double pchisq(double x, double dof, bool log_p) {
    if (is_nan(x) || dof < 0 || is_nan(dof)) return kNaN;
    if (x < kEps) return zero_or_ninf(log_p);
    if (dof == 0 || is_pinf(x)) return one_or_zero(log_p);
    if (is_pinf(dof)) return zero_or_ninf(log_p);
    return log_of_value(clamp_probability(math_gamma_p(dof * 0.5, x * 0.5)), log_p);
}

double qchisq(double p, double dof) {
    if (dof < 0 || is_nan(dof) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0) return 0.0;
    if (p == 1) return kInf;
    const double shape = dof * 0.5;
    const double x = math_gamma_p_inv(shape, p) * 2;
    // Zero and infinite shapes are the degenerate cases, left as computed.
    if (!(shape > 0) || is_pinf(shape)) return x;
    const auto cdf = [dof](double v) { return pchisq(v, dof, false); };
    return checked_quantile(x, p, cdf, 0.0, kInf);
}

}  // namespace zorvana
