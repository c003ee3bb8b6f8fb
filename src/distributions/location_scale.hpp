// Guards shared by the location-scale families (normal, Laplace, logistic,
// Cauchy): the validity test and the limits where x or mu is infinite or the
// scale is 0 or +inf.
#pragma once

#include <optional>

#include "kernels/precision.hpp"

namespace zorvana {

// a and b both +inf or both -inf: their difference is undefined.
inline bool same_infinity(double a, double b) {
    return (is_pinf(a) && is_pinf(b)) || (is_ninf(a) && is_ninf(b));
}

// x NaN, sigma negative, or mu or sigma NaN (sigma < 0 alone misses a NaN sigma).
inline bool invalid_location_scale(double x, double mu, double sigma) {
    return is_nan(x) || sigma < 0 || is_nan(mu) || is_nan(sigma);
}

// The arguments for which the regular formulas do not apply.
inline bool location_scale_limit(double x, double mu, double sigma) {
    return is_inf(x) || is_inf(mu) || sigma == 0 || is_pinf(sigma);
}

// Density of the normal and Laplace families at those arguments: 0 for an
// infinite scale, undefined for like-signed infinities, +inf at mu for a zero
// scale, 0 elsewhere.
inline double point_density_limit(double x, double mu, double sigma) {
    if (is_pinf(sigma)) return 0.0;
    if (same_infinity(x, mu)) return kNaN;
    if (sigma == 0 && x == mu) return kInf;
    return 0.0;
}

// Distribution function of the Laplace and logistic families at those
// arguments: undefined for like-signed infinities, 1/2 for an infinite scale
// at finite x and mu, a step with 1/2 at mu for a zero scale, otherwise 0 or 1
// by the side on which the infinite argument lies.
inline double symmetric_cdf_limit(double x, double mu, double sigma) {
    if (same_infinity(x, mu)) return kNaN;
    if (is_pinf(sigma)) return (is_inf(x) || is_inf(mu)) ? kNaN : 0.5;
    if (sigma == 0) {
        const double d = x - mu;
        return d > 0 ? 1.0 : (d < 0 ? 0.0 : 0.5);
    }
    return (is_pinf(x) || is_ninf(mu)) ? 1.0 : 0.0;
}

// Quantile of the normal, Laplace, logistic and Cauchy families where the
// regular formula does not apply: NaN for an invalid scale or p outside
// [0, 1] (an infinite scale included), mu for a zero scale, -inf and +inf at
// p = 0 and 1 (NaN where mu is the opposite infinity). Empty otherwise.
inline std::optional<double> location_scale_quantile_limit(double p, double mu, double sigma) {
    if (sigma < 0 || is_nan(mu) || is_nan(sigma) || !(p >= 0 && p <= 1) || is_pinf(sigma)) return kNaN;
    if (sigma == 0) return mu;
    if (p == 0) return is_pinf(mu) ? kNaN : -kInf;
    if (p == 1) return is_ninf(mu) ? kNaN : kInf;
    return std::nullopt;
}

}  // namespace zorvana
