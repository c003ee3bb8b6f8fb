// Normal distribution: density, distribution function and quantile.
#include <cstddef>

#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/location_scale.hpp"
#include "distributions/log_densities.hpp"
#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/lanes.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// -log(sqrt(2 pi)), the double nearest.
constexpr double kNegLogSqrt2Pi = -0.9189385332046728;
// sqrt(2), the double nearest (quantiles).
constexpr double kSqrt2 = 1.4142135623730951;
// sqrt(2) rounded to nearest to a 64-bit significand (distribution function).
constexpr ext kSqrt2Ext = 0x1.6a09e667f3bcc908p+0_ext;

}  // namespace

double dnorm(double x, double mu, double sigma, bool log) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) return log_of_value(point_density_limit(x, mu, sigma), log);
    return log_domain(log_density::Normal::y(x, mu, sigma, math_log_param(sigma), 0.0), log);
}

void dnorm_n(const double* x, std::size_t n, double mu, double sigma, bool log, double* out) {
    constexpr std::size_t kChunk = 256;
    const double c = kNegLogSqrt2Pi - math_log(sigma);
    std::size_t at[kChunk];
    double y[kChunk];
    for (std::size_t from = 0; from < n; from += kChunk) {
        const std::size_t end = n - from < kChunk ? n : from + kChunk;
        std::size_t m = 0;
        for (std::size_t i = from; i < end; ++i) {
            if (invalid_location_scale(x[i], mu, sigma) || location_scale_limit(x[i], mu, sigma) || log) {
                out[i] = dnorm(x[i], mu, sigma, log);
                continue;
            }
            const double z = (x[i] - mu) / sigma;
            at[m] = i;
            y[m++] = (z * z) * -0.5 + c;
        }
        math_exp_n(y, y, m);
        for (std::size_t j = 0; j < m; ++j) out[at[j]] = y[j];
    }
}

double pnorm(double x, double mu, double sigma, bool log_p) {
    if (invalid_location_scale(x, mu, sigma)) return kNaN;
    if (location_scale_limit(x, mu, sigma)) {
        double v;
        if (same_infinity(x, mu)) {
            v = kNaN;
        } else if (is_pinf(sigma)) {
            if (is_pinf(x) || is_ninf(mu)) {
                v = 1.0;
            } else if (is_ninf(x) || is_pinf(mu)) {
                v = 0.0;
            } else {
                v = 0.5;
            }
        } else if (sigma == 0) {
            v = mu <= x ? 1.0 : 0.0;
        } else {
            v = (is_pinf(x) || is_ninf(mu)) ? 1.0 : 0.0;
        }
        return log_of_value(v, log_p);
    }
    const double z = (x - mu) / sigma;
    const ext f = static_cast<ext>(z) / kSqrt2Ext;
    const ext g = math_erf_ext(f);
    const double v = static_cast<double>((g + 1) * ext(0.5));
    return log_of_value(v, log_p);
}

double qnorm(double p, double mu, double sigma) {
    if (const auto limit = location_scale_quantile_limit(p, mu, sigma)) return *limit;
    return math_erf_inv((p + p) - 1) * (sigma * kSqrt2) + mu;
}

}  // namespace zorvana
