// Gamma kernels: log-gamma by a Lanczos sum, the regularized lower incomplete
// gamma function P(a, x) in three regimes (continued fractions and a 50-point
// Gauss-Legendre quadrature), the Poisson partial sum, and the inverse of P in
// x by Halley steps. Every operation order below is part of the values.
#include "kernels/gamma.hpp"

#include <cmath>

#include "kernels/elementary.hpp"
#include "kernels/gauss_legendre_table.hpp"
#include "kernels/halley.hpp"
#include "kernels/lanes.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/param_memo.hpp"
#include "kernels/precision.hpp"
#include "kernels/prefetch.hpp"

namespace zorvana {
namespace {

// ---------------------------------------------------------------------------
// Lanczos approximation, 15 terms, g = 607/128.

constexpr int kLanczosTerms = 15;
// The coefficients of the 15-term Lanczos sum for g = 607/128, each the
// extended value nearest the 21-digit decimal in its comment.
constexpr ext kLanczosCoef[kLanczosTerms] = {
    0x1.fffffffffffe5ce4p-1_ext,    //  0.999999999999997091845
    0x1.c93ff87c1acce1d6p+5_ext,    //  57.1562356658629235166
    -0x1.dcc89f705892fbdcp+5_ext,   // -59.5979603554754912495
    0x1.c45aea23d22a1780p+3_ext,    //  14.1360979747417471741
    -0x1.f7b841625bfe41d4p-2_ext,   // -0.491913816097620199789
    0x1.1d2af47861839a76p-15_ext,   //  3.39946499848118886999e-5
    0x1.8644bb7c5e3bca10p-15_ext,   //  4.65236289270485756647e-5
    -0x1.9c9cc9de574b6fb8p-14_ext,  // -9.83744753048795646768e-5
    0x1.4b8939ed4e66d118p-13_ext,   //  0.000158088703224912488834
    -0x1.b8f4dcd2abe36426p-13_ext,  // -0.000210264441724104883191
    0x1.c801018e9e825c76p-13_ext,   //  0.000217439618115212643195
    -0x1.58999c99526400dap-13_ext,  // -0.000164318106536763890223
    0x1.621360b773d54826p-14_ext,   //  8.44182239838527432945e-5
    -0x1.b768cb5d1e20655cp-16_ext,  // -2.61908384015814086707e-5
    0x1.ef40a04fc980f860p-19_ext,   //  3.68991826595316227047e-6
};

// The sum at x - 1, rounded to double.
double lanczos_series(double x) {
    const ext b = x - 1;
    ext s = kLanczosCoef[1] / (b + 1) + kLanczosCoef[0];
    for (int k = 2; k < kLanczosTerms; ++k) s = s + kLanczosCoef[k] / (b + k);
    return static_cast<double>(s);
}

// ln Gamma(x) for x >= eps, away from 1: the Lanczos sum.
double lgamma_lanczos(double x) {
    const double a = x - 1;
    const double p = math_log(a + kLanczosGPlusHalf) * (0.5 + a) - (kLanczosGPlusHalf + a);
    return (math_log(lanczos_series(x)) + kLnSqrtTwoPi) + p;
}

// The counts of the discrete distributions ask for ln Gamma(n + 1) at small
// integers again and again: the values for n = 2 ... kLgammaIntegersMax are
// the Lanczos sum's own, computed once, on first use, into a table that is
// read-only from then on.
struct LgammaIntegers {
    double value[kLgammaIntegersMax + 1];
    LgammaIntegers() {
        for (int n = 2; n <= kLgammaIntegersMax; ++n) value[n] = lgamma_lanczos(n);
    }
};

// ---------------------------------------------------------------------------
// Incomplete gamma function.

// Both continued-fraction regimes apply below this shape; the series one only
// while x - a stays below kSeriesMaxExcess.
constexpr double kSmallShape = 10;
constexpr double kSeriesMaxExcess = 10;
// Above this ratio x / a the continued fraction for the upper function is used.
constexpr double kUpperFractionRatio = 3;
// Depths of the two continued fractions.
constexpr int kSeriesLevels = 55;
constexpr int kUpperLevels = 100;

// Quadrature window [a - k_lo sqrt(a), a + k_hi sqrt(a)] (cut at 0 and at x):
// the multipliers grow with the shape. Rows are tried in order; the first
// whose bound the shape exceeds applies, the last row covers the rest.
struct WindowRow {
    double shape_above;
    double k_lo;
    double k_hi;
};
constexpr int kWindowRows = 11;
constexpr WindowRow kWindow[kWindowRows] = {
    {1000, 11, 10}, {800, 11, 10}, {500, 10, 9}, {300, 10, 9}, {100, 9, 8}, {90, 9, 8},
    {70, 8, 7},     {50, 7, 6},    {40, 6, 5},   {30, 5, 5},   {-kInf, 4, 5},
};

// a / (a + 1 + ...) form of gamma(a, x) e^x x^-a, evaluated from the deepest
// level up: S(55) = (55 + a) - 1, S(k) = ((k + a) - 1) + c_k x / S(k + 1).
double series_fraction(double a, double x) {
    double s = (kSeriesLevels + a) - 1;
    for (int k = kSeriesLevels - 1; k >= 1; --k) {
        const double level = k;
        const double c = (k % 2 == 1) ? -(((level + 1) * 0.5) + (a - 1)) : level * 0.5;
        s = ((level + a) - 1) + (c * x) / s;
    }
    return s;
}

// Continued fraction for Gamma(a, x) e^x x^-a:
// U(100) = (199 - a) + x, U(k) = (((2k - 1) - a) + x) + ((a - k) k) / U(k + 1).
double upper_fraction(double a, double x) {
    double u = ((2.0 * kUpperLevels - 1) - a) + x;
    for (int k = kUpperLevels - 1; k >= 1; --k) {
        const double level = k;
        u = (((2 * level - 1) - a) + x) + ((a - level) * level) / u;
    }
    return u;
}

// x^a e^-x / Gamma(a), through the logarithm.
double scaled_power(double a, double x) {
    const double lg = math_lgamma_param(a);
    return math_exp((math_log(x) * a - x) - lg);
}

// The window around the mode, cut at 0 and at x.
void quadrature_window(double a, double x, double& lb, double& ub) {
    const double r = math_sqrt(a);
    int row = 0;
    while (!(a > kWindow[row].shape_above)) ++row;
    const double lo_edge = (x < a ? x : a) - r * kWindow[row].k_lo;
    lb = lo_edge > 0 ? lo_edge : 0.0;
    const double hi_edge = r * kWindow[row].k_hi + a;
    ub = x < hi_edge ? x : hi_edge;
}

// Integral of the gamma density t^(a-1) e^-t / Gamma(a) over the window
// around the mode, by the 50-point rule, given lg = math_lgamma(a). The mass
// outside the window is dropped.
void quadrature_nodes(double a, double x, double* t, double* w) {
    double lb, ub;
    quadrature_window(a, x, lb, ub);
    const double width = ub - lb;
    const double mid = (lb + ub) * 0.5;
    // The nodes and weights in extended precision, one at a time.
    for (int i = 0; i < kGaussLegendrePoints; ++i) {
        const ext offset = (static_cast<ext>(width) * kGaussLegendreNodes[i]) * ext(0.5);
        t[i] = static_cast<double>(offset + static_cast<ext>(mid));
        w[i] = static_cast<double>((kGaussLegendreWeights[i] * static_cast<ext>(width)) * ext(0.5));
    }
}

double quadrature(double a, double x, double lg) {
    // The terms exp((log(t) (a - 1) - t) - lg) w in lanes.
    double t[kGaussLegendrePoints], w[kGaussLegendrePoints], term[kGaussLegendrePoints];
    quadrature_nodes(a, x, t, w);
    gamma_quadrature_terms(t, w, -1 + a, lg, term, kGaussLegendrePoints);
    return gamma_quadrature_sum(term);
}

// ---------------------------------------------------------------------------
// Inverse of P.

// Wilson-Hilferty start: h = 1 - 1/(9a) - z/(3 sqrt a), x0 = a h^3.
constexpr double kWilsonNine = -9;
constexpr double kWilsonThree = -3;
// The start value for a > 1 is held at this floor at least.
constexpr double kStartFloor = 1e-4;
// Small shapes: P(a, 1) is approximated by 1 - 0.253 a - 0.12 a^2.
constexpr double kSmallShapeLinear = -0.253;
constexpr double kSmallShapeQuadratic = -0.12;
// Halley's correction uses half the step's ratio (sign folded in).
constexpr double kHalleyHalf = -0.5;
constexpr int kHalleySteps = 36;

double start_value(double a, double p) {
    if (a > 1) {
        const double q = p > 0.5 ? 1 - p : p;
        const double t = math_sqrt(math_log(q) * (-2));
        double z = t - ((kNormQuantileC1 * t + kNormQuantileC0) + (kNormQuantileC2 * t) * t) /
                           (((kNormQuantileD3 * t) * t) * t + ((kNormQuantileD2 * t) * t + (kNormQuantileD1 * t + 1)));
        if (p > 0.5) z = -z;
        const double h = (1 / (kWilsonNine * a) + 1) + z / (math_sqrt(a) * kWilsonThree);
        const double x0 = ((h * h) * h) * a;
        return x0 < kStartFloor ? kStartFloor : x0;
    }
    const double t = (kSmallShapeQuadratic * a) * a + (kSmallShapeLinear * a + 1);
    if (p < t) return math_exp(math_log(p / t) * (1 / a));
    return 1 - math_log(1 - (p - t) / (1 - t));
}

}  // namespace

double math_lgamma(double x) {
    if (is_nan(x)) return kNaN;
    if (near_one(x)) return 0.0;
    if (x < kEps) return kInf;
#ifndef ZORVANA_PLAIN_LOOPS
    if (x <= kLgammaIntegersMax && x == static_cast<double>(static_cast<int>(x))) {
        // Initialised once, thread-safely, by the first caller.
        static const LgammaIntegers integers;
        return integers.value[static_cast<int>(x)];
    }
#endif
    return lgamma_lanczos(x);
}

double math_lgamma_param(double x) {
    // What the guards settle at once (1 above all) is not worth a look-up.
    if (is_nan(x) || near_one(x) || x < kEps) return math_lgamma(x);
    thread_local ParamMemo<1> memo;
    return memo.get({x}, [x] { return math_lgamma(x); });
}

double math_gamma_p(double a, double x) {
    double ahead;
    if (prefetched(Prefetch::gamma_p, a, x, ahead)) return ahead;
    if (a < 0 || is_nan(a) || is_nan(x)) return kNaN;
    if (x < kEps) return 0.0;
    if (a < kEps) return 1.0;
    if (a < kSmallShape && x - a < kSeriesMaxExcess) return scaled_power(a, x) / series_fraction(a, x);
    if (a < kSmallShape || x / a > kUpperFractionRatio) return 1 - scaled_power(a, x) / upper_fraction(a, x);
    return quadrature(a, x, math_lgamma_param(a));
}

bool gamma_p_window(double a, double x, double& lb, double& ub) {
    if (a < kSmallShape || x / a > kUpperFractionRatio) return false;
    quadrature_window(a, x, lb, ub);
    return true;
}

bool gamma_p_whole(double a, double x, double exponent) {
    if (a < kSmallShape || x / a > kUpperFractionRatio) return true;
    int row = 0;
    while (!(a > kWindow[row].shape_above)) ++row;
    // The window's edges from a square root a little below the kernel's
    // (which is within a few units of the correctly rounded one): the upper
    // edge no higher than the kernel's, the lower one no lower.
    const double r = std::sqrt(a) * (1 - 0x1p-30);
    if (!(x < r * kWindow[row].k_hi + a)) return false;
    const double lb = (x < a ? x : a) - r * kWindow[row].k_lo;
    if (lb <= 0) return true;
    // a (u - 1 - ln u) with u = lb / a, from below: -ln u is the sum of
    // t^k / k over k >= 1, t = 1 - u; the terms from k = 2 on are what is
    // left after u - 1 = -t, taken up to k = 12.
    const double t = (a - lb) / a;
    double power = t, h = 0;
    for (int k = 2; k <= 12; ++k) {
        power = power * t;
        h = h + power / k;
    }
    return h * a > exponent;
}

double math_poisson_sum(std::int64_t n, double x) {
    // No partial sum has a negative number of terms.
    if (n < 0) return kNaN;
    if (n == 0) return 1.0;
    if (n == 1) return x + 1;
    double sum = math_pow_int(x, n) / static_cast<double>(math_factorial(static_cast<std::uint64_t>(n)));
    for (std::int64_t k = n - 1; k >= 1; --k) {
        sum = sum + math_pow_int(x, k) / static_cast<double>(math_factorial(static_cast<std::uint64_t>(k)));
    }
    return sum + 1;
}

double gamma_p_inv_start(double a, double p) { return start_value(a, p); }

double gamma_p_quadrature(double a, double x, double lg) { return quadrature(a, x, lg); }

double lanczos_sum(double x) { return lanczos_series(x); }

static_assert(kGaussLegendrePoints == kQuadratureNodes, "the quadrature's node count");

void gamma_quadrature_nodes(double a, double x, double* t, double* w) { quadrature_nodes(a, x, t, w); }

double math_gamma_p_inv(double a, double p) {
    double ahead;
    if (prefetched(Prefetch::gamma_p_inv, a, p, ahead)) return ahead;
    if (is_nan(a) || is_nan(p)) return kNaN;
    if (p < kEps) return 0.0;
    if (p > 1) return kNaN;
    if (abs0(1 - p) < kEps) return kInf;
    if (a < kEps) return 0.0;

    const double x0 = start_value(a, p);
    const double lg = math_lgamma_param(a);
    const double a1 = a - 1;
    // The density lags one step behind the iterate.
    double d = math_exp((math_log(x0) * a1 - x0) - lg);
    double x = x0;
    HalleyOrbit<kHalleySteps> orbit(x, d);
    for (int step = 1;; ++step) {
        // P and the density at an iterate met before are those computed there.
        double r, density;
        const bool met = orbit.recall(x, &r, &density);
        if (!met) r = math_gamma_p(a, x);
        orbit.remember(r);
        const double e = (r - p) / d;
        const double q = (d * (a1 / x - 1)) / d;
        const double h = clamp_halley_factor((e * kHalleyHalf) * q + 1);
        const double next = x - e / h;
        if (step == kHalleySteps) return next;
        if (!met && !orbit.first_term(&density)) density = math_exp((math_log(x) * a1 - x) - lg);
        d = density;
        x = next;
        double last;
        if (orbit.repeats(x, d, &last)) return last;
    }
}

}  // namespace zorvana
