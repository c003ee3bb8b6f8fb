// Error function in double and in extended precision, and the inverse error
// function. Both error functions split at 2.1: below it a 60-level continued
// fraction for erf itself, above it a 60-level continued fraction for erfc.
// The inverse starts from a polynomial and takes a fixed number of Halley
// steps whose derivative term lags one step behind the iterate.
#include "kernels/erf.hpp"

#include "kernels/elementary.hpp"
#include "kernels/halley.hpp"
#include "kernels/prefetch.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// Above this argument the erfc fraction is used, at or below it the erf one.
constexpr double kErfSplit = 2.1;
// Levels of both continued fractions (the last one is the constant term).
constexpr int kErfDepth = 60;

// sqrt(pi), the double nearest, and negated.
constexpr double kSqrtPi = 1.772453850905516;
constexpr double kNegSqrtPi = -1.772453850905516;
// sqrt(pi) rounded to nearest to a 64-bit significand (1.7724538509055160273), and negated.
constexpr ext kSqrtPiExt = 0x1.c5bf891b4ef6aa7ap+0_ext;
constexpr ext kNegSqrtPiExt = -0x1.c5bf891b4ef6aa7ap+0_ext;

// Starting polynomials of the inverse, highest power first: one in
// t = w - 2.5 for w < 5, one in t = sqrt(w) - 3 for the tails, where
// w = -log((1 - p)(1 + p)).
constexpr int kInvStartTerms = 9;
constexpr double kInvCentre[kInvStartTerms] = {
    2.81022636e-08, 3.43273939e-07, -3.5233877e-06, -4.39150654e-06, 0.00021858087,
    -0.00125372503, -0.00417768164, 0.246640727,    1.50140941};
constexpr double kInvTail[kInvStartTerms] = {
    -0.000200214257, 0.000100950558, 0.00134934322,  -0.00367342844, 0.00573950773,
    -0.0076224613,   0.00943887047,  1.00167406,     2.83297682};
constexpr double kInvTailSwitch = 5.0;
constexpr double kInvCentreShift = -2.5;
constexpr double kInvTailShift = -3.0;

// Number of Halley steps.
constexpr int kHalleySteps = 55;

// erf(x) for x > 0 in double; *gauss receives the factor exp(-x^2) it uses.
double erf_core(double x, double* gauss) {
    const double a = (-x) * x;
    const double e = math_exp(a);
    *gauss = e;
    if (x > kErfSplit) {
        // sqrt(pi) e^(x^2) erfc(x) = 2 / G(1), G(k) = y + 2k / G(k + 1), G(60) = y.
        const double y = x + x;
        double g = y;
        for (int k = kErfDepth - 1; k >= 1; --k) g = y + static_cast<double>(2 * k) / g;
        return 1.0 + (2.0 * (e / kNegSqrtPi)) / g;
    }
    // erf(x) = 2x e^(-x^2) / (sqrt(pi) K(1)),
    // K(k) = ((2k - 1) - 2s) + 4ks / K(k + 1), K(60) = 119 - 2s, s = x^2.
    const double s = x * x;
    double kf = static_cast<double>(2 * kErfDepth - 1) - (s + s);
    for (int k = kErfDepth - 1; k >= 1; --k) {
        kf = (static_cast<double>(2 * k - 1) - (s + s)) + (static_cast<double>(4 * k) * s) / kf;
    }
    return ((x + x) * (e / kSqrtPi)) / kf;
}

// erf(x) for x > 0, every operation in extended precision.
ext erf_core_ext(ext x) {
    const ext a = x * (-x);
    const ext e = math_exp_ext(a);
    if (x > kErfSplit) {
        const ext y = x + x;
        ext g = y;
        for (int k = kErfDepth - 1; k >= 1; --k) g = y + static_cast<ext>(2 * k) / g;
        return ((e / kNegSqrtPiExt) * 2) / g + 1;
    }
    const ext s = x * x;
    ext kf = static_cast<ext>(2 * kErfDepth - 1) - (s + s);
    for (int k = kErfDepth - 1; k >= 1; --k) {
        kf = (static_cast<ext>(2 * k - 1) - (s + s)) + (s * static_cast<ext>(4 * k)) / kf;
    }
    return ((x + x) * (e / kSqrtPiExt)) / kf;
}

// Horner's scheme over a table whose first entry is the highest power.
double horner(const double (&coef)[kInvStartTerms], double t) {
    double c = coef[0];
    for (int i = 1; i < kInvStartTerms; ++i) c = c * t + coef[i];
    return c;
}

}  // namespace

double math_erf(double x) {
    double unused;
    if (is_nan(x)) return kNaN;
    if (is_pinf(x)) return 1.0;
    if (is_ninf(x)) return -1.0;
    if (near_zero(x)) return 0.0;
    if (x < 0) return -erf_core(-x, &unused);
    return erf_core(x, &unused);
}

namespace {

// math_erf(x), and in *gauss the value math_exp((-x) * x). The core forms
// that same product for |x| (x (-x) for negative x, equal to (-x) x: a
// product's rounding does not depend on the order of its factors); for the
// guarded arguments it is computed apart.
double erf_and_gauss(double x, double* gauss) {
#ifndef ZORVANA_PLAIN_LOOPS
    if (!is_nan(x) && !is_inf(x) && !near_zero(x)) return x < 0 ? -erf_core(-x, gauss) : erf_core(x, gauss);
#endif
    *gauss = math_exp((-x) * x);
    return math_erf(x);
}

}  // namespace

ext math_erf_ext(ext x) {
    if (is_nan(x)) return kNaNExt;
    if (is_pinf(x)) return ext(1);
    if (is_ninf(x)) return ext(-1);
    if (near_zero(x)) return ext(0);
    if (x < 0) return -erf_core_ext(-x);
    return erf_core_ext(x);
}

double math_erf_inv(double p) {
    double ahead;
    if (prefetched(Prefetch::erf_inv, 0.0, p, ahead)) return ahead;
    if (is_nan(p)) return kNaN;
    if (abs0(p) > 1) return kNaN;
    if (abs0(1 - p) < kEps) return kInf;
    if (abs0(1 + p) < kEps) return -kInf;

    const double w = -math_log((1 - p) * (1 + p));
    double c;
    if (w < kInvTailSwitch) {
        c = horner(kInvCentre, w + kInvCentreShift);
    } else {
        c = horner(kInvTail, math_sqrt(w) + kInvTailShift);
    }
    double x = c * p;
    // The derivative term exp(-x^2) (without the factor 2/sqrt(pi)) is taken
    // at the iterate before the current one: steps 1 and 2 both use x0. The
    // error function at x computes that same exp(-x^2) for the next step.
    double d = math_exp((-x) * x);
    HalleyOrbit<kHalleySteps> orbit(x, d);
    for (int k = 1;; ++k) {
        // erf and exp(-x^2) at an iterate met before are those computed there.
        double f, gauss;
        if (!orbit.recall(x, &f, &gauss)) f = erf_and_gauss(x, &gauss);
        orbit.remember(f);
        const double r = (f - p) / d;
        const double h = clamp_halley_factor((r * 0.5) * (((x + x) * d) / d) + 1);
        const double next = x - r / h;
        if (k == kHalleySteps) return next;
        d = gauss;
        x = next;
        double last;
        if (orbit.repeats(x, d, &last)) return last;
    }
}

}  // namespace zorvana
