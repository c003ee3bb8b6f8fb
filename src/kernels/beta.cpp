// Log-beta, the regularized incomplete beta function I_x(a, b) by a modified
// Lentz continued fraction, and its inverse in x by capped Halley steps.
#include "kernels/beta.hpp"

#include "kernels/elementary.hpp"
#include "kernels/halley.hpp"
#include "kernels/gamma.hpp"
#include "kernels/param_memo.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

// Lentz stopping test: |Q*D - 1| below this ends the fraction.
constexpr double kLentzTolerance = 1e-15;
// The fraction's regular depth: levels 2 to 206, enough for moderate shapes.
constexpr long kLentzUsualLastLevel = 206;
// Large shapes need more: about 0.2*sqrt(a + b) levels near the split point
// (some 9,400 for a = b = 1e9). A fraction that has not met the tolerance by
// the regular depth goes on until it does, up to this cap.
constexpr long kLentzLastLevel = 1L << 16;

// 5/6 as a double, in the large-shape start value (Abramowitz and Stegun 26.5.22).
constexpr double kFiveSixths = 0.8333333333333334;

// Halley refinement: at most 36 steps.
constexpr int kHalleySteps = 36;

// math_log(1 - x) and math_log(x), each formed once at most: a step of the
// inverse takes both in the fraction at x and again in the density at x.
// Built with ZORVANA_PLAIN_LOOPS, every request forms its logarithm anew.
class LogsAt {
  public:
    explicit LogsAt(double x) : x_(x) {}
    double of_one_minus_x() { return remembered(1 - x_, &log_1mx_, &have_1mx_); }
    double of_x() { return remembered(x_, &log_x_, &have_x_); }

  private:
    static double remembered(double v, double* log_v, bool* have) {
#ifndef ZORVANA_PLAIN_LOOPS
        if (!*have) {
            *log_v = math_log(v);
            *have = true;
        }
        return *log_v;
#else
        (void)log_v, (void)have;
        return math_log(v);
#endif
    }

    double x_;
    double log_1mx_ = 0, log_x_ = 0;
    bool have_1mx_ = false, have_x_ = false;
};

// x^a (1 - x)^b / (a B(a, b)) times the continued fraction
// 1/(1 + d1/(1 + d2/(1 + ...))), evaluated by the modified Lentz method,
// with log(1 - x) and log(x) given.
double beta_fraction(double a, double b, double x, double log_1mx, double log_x) {
    const double v = log_1mx * b + log_x * a;
    const double prefactor = math_exp(v - math_lbeta(a, b)) / a;

    const double u = ((a + b) * (a * x)) / ((a + 1) * a);  // -d1
    double D = 1 / (1 - u);
    double Q = 1;
    double f = D;
    for (long i = 2; i <= kLentzLastLevel; ++i) {
        double d;
        if (i % 2 == 0) {
            const double m = static_cast<double>(i / 2);
            const double di = static_cast<double>(i);
            d = ((m * x) * (b - m)) / (((a + di) - 1) * (a + di));
        } else {
            const double m = static_cast<double>((i - 1) / 2);
            const double im1 = static_cast<double>(i - 1);
            d = (((m + a) * (-x)) * ((a + b) + m)) / (((im1 + a) + 1) * (im1 + a));
        }
        D = 1 / (D * d + 1);
        Q = d / Q + 1;
        f = (f * Q) * D;
        if (abs0(Q * D - 1) < kLentzTolerance) break;
        // Past the usual depth only a converging fraction is worth going on
        // with: a NaN f stays NaN whatever follows.
        if (i >= kLentzUsualLastLevel && is_nan(f)) break;
    }
    return prefactor * f;
}

// I_x(a, b): the fraction at x below (1 + a)/((a + b) + 2), otherwise
// 1 - I_(1-x)(b, a), whose fraction takes log(1 - x) as its log(x).
double beta_i_at(double a, double b, double x, LogsAt& logs) {
    if (x < (1 + a) / ((a + b) + 2)) return beta_fraction(a, b, x, logs.of_one_minus_x(), logs.of_x());
    const double y = 1 - x;
    return 1 - beta_fraction(b, a, y, math_log(1 - y), logs.of_one_minus_x());
}

// Density of the beta distribution at x, with ln B(a, b) given.
double beta_density(double a, double b, double lbeta, LogsAt& logs) {
    return math_exp((logs.of_one_minus_x() * (b - 1) + logs.of_x() * (a - 1)) - lbeta);
}

// One side of the start value for small shapes: ((w q) A)^(1/A) below the
// split t/w, otherwise 1 - ((w q) B)^(1/B).
double small_shape_start(double A, double B, double q, double t, double u) {
    const double w = u + t;
    if (q <= t / w) {
        const double inv_a = 1 / A;
        return math_exp(math_log((w * q) * A) * inv_a);
    }
    const double inv_b = 1 / B;
    return 1 - math_exp(math_log((w * q) * B) * inv_b);
}

// Start value from the normal approximation, for a > 1 and b > 1.
double large_shape_start(double a, double b, double p) {
    const double q = p > 0.5 ? 1 - p : p;
    const double t = math_sqrt(math_log(q) * (-2));
    const double z = t - ((kNormQuantileC2 * t) * t + (kNormQuantileC0 + kNormQuantileC1 * t)) /
                             (((kNormQuantileD3 * t) * t) * t + ((kNormQuantileD1 * t + 1) + (kNormQuantileD2 * t) * t));
    const double y = p < 0.5 ? z : -z;
    const double lambda = (y * y - 3) / 6;
    const double ra = 1 / (2 * a - 1);
    const double rb = 1 / (2 * b - 1);
    const double h = 2 / (rb + ra);
    const double delta = rb - ra;
    const double w = ((math_sqrt(lambda + h) * y) / h - delta * (-2 / (3 * h) + (kFiveSixths + lambda))) * 2;
    return a / (math_exp(w) * b + a);
}

}  // namespace

// Remembered per thread for the last few (a, b): the fraction asks for it at
// every evaluation, with the shapes of the call (in either order).
double math_lbeta(double a, double b) {
    thread_local ParamMemo<2> memo;
    return memo.get({a, b}, [a, b] { return (math_lgamma(b) + math_lgamma(a)) - math_lgamma(a + b); });
}

double math_beta_i(double a, double b, double x) {
    LogsAt logs(x);
    return beta_i_at(a, b, x, logs);
}

double math_beta_i_inv(double a, double b, double p) {
    if (is_nan(a) || is_nan(b) || is_nan(p)) return kNaN;
    if (p < kEps) return 0;
    if (abs0(1 - p) < kEps) return 1;

    double x0;
    if (a > 1 && b > 1) {
        x0 = large_shape_start(a, b, p);
    } else {
        const double g = a + b;
        const double ta = math_exp(math_log(a / g) * a) / a;
        const double tb = math_exp(math_log(b / g) * b) / b;
        x0 = p > 0.5 ? 1 - small_shape_start(b, a, 1 - p, tb, ta) : small_shape_start(a, b, p, ta, tb);
    }

    const double lbeta = math_lbeta(a, b);
    LogsAt logs_x0(x0);
    double d = beta_density(a, b, lbeta, logs_x0);
    if (abs0(x0) < kEps || abs0(1 - x0) < kEps || abs0(d) < kEps) return x0;

    double x = x0;
    // A step reads x and d only: the early returns below depend on the state
    // as well, so a repeated state means no early return is ahead either.
    HalleyOrbit<kHalleySteps> orbit(x, d);
    for (int step = 1;; ++step) {
        // I and the density at an iterate met before are those computed there
        // (which passed the early returns below).
        double P, density;
        const bool met = orbit.recall(x, &P, &density);
        LogsAt logs(x);
        if (!met) P = is_nan(x) ? kNaN : (x < kEps ? 0.0 : beta_i_at(a, b, x, logs));
        orbit.remember(P);
        const double e = (P - p) / d;
        const double r = (((a - 1) / x - (b - 1) / (1 - x)) * d) / d;
        const double h = clamp_halley_factor((e * (-0.5)) * r + 1);
        const double next = x - e / h;
        if (step == kHalleySteps) return next;
        if (abs0(x) < kEps || abs0(1 - x) < kEps) return next;
        // The density lags one iterate behind: it is taken at x, not at next.
        if (!met && !orbit.first_term(&density)) density = beta_density(a, b, lbeta, logs);
        d = density;
        if (abs0(d) < kEps) return next;
        x = next;
        double last;
        if (orbit.repeats(x, d, &last)) return last;
    }
}

}  // namespace zorvana
