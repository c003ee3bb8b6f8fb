// Cauchy distribution with location mu and scale sigma.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/location_scale.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// pi in double, and rounded to nearest to a 64-bit significand.
constexpr double kPi = 3.141592653589793;
constexpr ext kPiExt = 0x1.921fb54442d1846ap+1_ext;
// Below this magnitude the tangent of the quantile's angle is taken as 0.
constexpr ext kTanCutoff = 0x1p-63_ext;

}  // namespace

double dcauchy(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    double v;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        if (is_pinf(sigma)) {
            v = (is_inf(x) || is_inf(mu)) ? kNaN : 0.0;
        } else {
            v = same_infinity(x, mu) ? kNaN : 0.0;
        }
    } else {
        // 1 / (pi sigma (1 + z^2)); sigma = 0 gives NaN.
        const double z = (x - mu) / sigma;
        const double w = z * z + 1;
        v = static_cast<double>(1 / ((kPiExt * sigma) * w));
    }
    return log_of_value(v, log);
}

double pcauchy(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    double v;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        if (is_pinf(sigma)) {
            v = (is_inf(x) || is_inf(mu)) ? kNaN : 0.5;
        } else if (same_infinity(x, mu)) {
            v = kNaN;
        } else if (is_ninf(x)) {
            v = 0;
        } else if (is_pinf(x)) {
            v = 1;
        } else {
            v = is_pinf(mu) ? 0.0 : 1.0;
        }
    } else {
        const double z = (x - mu) / sigma;
        if (is_nan(z)) return kNaN;
        double g = 0;
        if (!near_zero(z)) g = z < 0 ? -math_atan(-z) : math_atan(z);
        v = clamp_probability(g / kPi + 0.5);
    }
    return log_of_value(v, log_p);
}

double qcauchy(double p, double mu, double sigma) {
    if (const auto limit = location_scale_quantile_limit(p, mu, sigma)) return *limit;
    // mu + sigma tan((p - 1/2) pi), in extended precision.
    const ext e = static_cast<ext>(p - 0.5) * kPiExt;
    ext t = 0;
    if (!(abs0(e) < kTanCutoff)) t = e < 0 ? -math_tan(-e) : math_tan(e);
    return static_cast<double>(static_cast<ext>(mu) + static_cast<ext>(sigma) * t);
}

}  // namespace zorvana
