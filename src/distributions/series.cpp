// e^u - 1 and log(1 + u): fifth-order Taylor polynomials for |u| <= 1e-4,
// where the kernels' own exp and log would lose the small difference.
#include "distributions/distributions.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// Below this magnitude the polynomials replace the kernels.
constexpr double kSeriesCutoff = 1e-4;

}  // namespace

double math_expm1(double u) {
    if (is_nan(u)) return u;
    if (abs0(u) <= kSeriesCutoff) {
        // u + u^2/2 + u^3/6 + u^4/24 + u^5/120 by Horner's rule.
        double t = u * u / 120 + u / 24;
        t = t * u + u / 6;
        t = t * u + 0.5 * u;
        return t * u + u;
    }
    if (is_ninf(u)) return -1.0;
    if (is_pinf(u)) return kInf;
    return math_exp(u) - 1;
}

double math_log1p(double u) {
    if (is_nan(u)) return u;
    if (abs0(u) > kSeriesCutoff) return math_log(1 + u);
    // log(1 - q) = -(q + q^2/2 + q^3/3 + q^4/4 + q^5/5) with q = -u.
    const double q = -u;
    double t = q * q / 5 + 0.25 * q;
    t = q / (-3) - t * q;
    t = 0.5 * q - t * q;
    return t * (-q) - q;
}

}  // namespace zorvana
