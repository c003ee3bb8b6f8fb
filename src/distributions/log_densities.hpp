// The log-densities of the normal, log-normal, exponential and Laplace
// families where their regular formulas apply, written once for the scalar
// functions and for the array batches that take the logarithms and the
// exponentials of a run in lanes (module/lane_batches.hpp). Each form names
//
//   regular(x, p, q)           the arguments its formula serves (the others
//                              take the scalar function's guards);
//   log_arg(p, q)              the argument of the one logarithm of a
//                              parameter, math_log_param(log_arg);
//   kScaleColumn               the argument that log_arg depends on;
//   kLogX                      whether the formula also takes math_log(x);
//   y(x, p, q, ls, lx)         the log-density given ls = math_log(log_arg)
//                              and lx = math_log(x);
//   plain(x, e, lx)            the density given e = math_exp(y) (x and lx
//                              read only where kLogX);
//   logged(y, lx)              the log-density.
//
// p and q are the parameters in the function's order (q unused by dexp).
#pragma once

#include "distributions/location_scale.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace log_density {

// -log(sqrt(2 pi)), the double nearest.
constexpr double kNegLogSqrt2Pi = -0.9189385332046728;

struct Normal {
    static constexpr int kScaleColumn = 2;
    static constexpr bool kLogX = false;
    static bool regular(double x, double mu, double sigma) {
        return !invalid_location_scale(x, mu, sigma) && !location_scale_limit(x, mu, sigma);
    }
    static double log_arg(double, double sigma) { return sigma; }
    static double y(double x, double mu, double sigma, double log_sigma, double) {
        const double c = kNegLogSqrt2Pi - log_sigma;
        const double z = (x - mu) / sigma;
        return (z * z) * -0.5 + c;
    }
    static double plain(double, double e, double) { return e; }
    static double logged(double y, double) { return y; }
};

// The normal density of l = math_log(x), divided by x (its log less l).
// math_log(x) is finite exactly for eps <= x < inf.
struct LogNormal {
    static constexpr int kScaleColumn = 2;
    static constexpr bool kLogX = true;
    static bool regular(double x, double mu, double sigma) {
        return !invalid_location_scale(x, mu, sigma) && x >= kEps && x < kInf && !is_inf(mu) && !is_inf(sigma) &&
               sigma != 0;
    }
    static double log_arg(double, double sigma) { return sigma; }
    static double y(double, double mu, double sigma, double log_sigma, double l) {
        return Normal::y(l, mu, sigma, log_sigma, 0.0);
    }
    static double plain(double x, double e, double) { return e / x; }
    static double logged(double y, double l) { return y - l; }
};

// log(rate) - rate x; x = 0 is regular.
struct Exponential {
    static constexpr int kScaleColumn = 1;
    static constexpr bool kLogX = false;
    static bool regular(double x, double rate, double) {
        return !is_pinf(rate) && !is_nan(x) && rate >= 0 && !(x < 0) && !is_pinf(x);
    }
    static double log_arg(double rate, double) { return rate; }
    static double y(double x, double rate, double, double log_rate, double) { return log_rate - rate * x; }
    static double plain(double, double e, double) { return e; }
    static double logged(double y, double) { return y; }
};

// -log(2 sigma) - |x - mu| / sigma
struct Laplace {
    static constexpr int kScaleColumn = 2;
    static constexpr bool kLogX = false;
    static bool regular(double x, double mu, double sigma) { return Normal::regular(x, mu, sigma); }
    static double log_arg(double, double sigma) { return sigma + sigma; }
    static double y(double x, double mu, double sigma, double log_two_sigma, double) {
        return -log_two_sigma - abs0(x - mu) / sigma;
    }
    static double plain(double, double e, double) { return e; }
    static double logged(double y, double) { return y; }
};

}  // namespace log_density
}  // namespace zorvana
