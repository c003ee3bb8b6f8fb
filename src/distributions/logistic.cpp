// Logistic distribution with location mu and scale sigma.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/location_scale.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
double dlogis(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (is_inf(x) || is_inf(mu) || is_pinf(sigma)) {
        double v = 0;
        if (is_pinf(sigma)) {
            v = 0;
        } else if (same_infinity(x, mu)) {
            v = kNaN;
        }
        return log_of_value(v, log);
    }
    const double z = (x - mu) / sigma;
    if (is_nan(z)) return kNaN;
    const double e = math_exp(-z);
    // -z - log(sigma) - 2 log(1 + e^-z)
    return log_domain((-z - math_log_param(sigma)) - 2 * math_log(e + 1), log);
}

double plogis(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    double v;
    if (location_scale_limit(x, mu, sigma)) {
        v = symmetric_cdf_limit(x, mu, sigma);
    } else {
        // (1 + tanh(z)) / 2 with z = (x - mu) / (2 sigma).
        const double z = (x - mu) / (sigma + sigma);
        if (is_nan(z)) return kNaN;
        v = near_zero(z) ? 0.5 : clamp_probability((math_tanh(z) + 1) * 0.5);
    }
    return log_of_value(v, log_p);
}

double qlogis(double p, double mu, double sigma) {
    if (const auto limit = location_scale_quantile_limit(p, mu, sigma)) return *limit;
    return math_log(p / (1 - p)) * sigma + mu;
}

}  // namespace zorvana
