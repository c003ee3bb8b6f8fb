// Laplace distribution with location mu and scale sigma.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/location_scale.hpp"
#include "distributions/log_densities.hpp"
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
double dlaplace(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return log_of_value(point_density_limit(x, mu, sigma), log);
    return log_domain(log_density::Laplace::y(x, mu, sigma, math_log_param(sigma + sigma), 0.0), log);
}

double plaplace(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    double v;
    if (location_scale_limit(x, mu, sigma)) {
        v = symmetric_cdf_limit(x, mu, sigma);
    } else {
        const double s = x > mu ? 0.5 : (x < mu ? -0.5 : 0.0);
        const double e = math_exp(-abs0(x - mu) / sigma);
        v = clamp_probability(s * (1 - e) + 0.5);
    }
    return log_of_value(v, log_p);
}

double qlaplace(double p, double mu, double sigma) {
    if (const auto limit = location_scale_quantile_limit(p, mu, sigma)) return *limit;
    const double a = p - 0.5;
    const double sgn = a > 0 ? 1.0 : (a < 0 ? -1.0 : 0.0);
    return mu - math_log(1 - 2 * abs0(a)) * (sgn * sigma);
}

}  // namespace zorvana
