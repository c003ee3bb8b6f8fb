// Student t distribution: closed-form density, the distribution function by
// the arctangent (1 dof), a square root (2 dof) or the incomplete beta
// function, and the quantile by closed forms or Hill's approximation
// (Algorithm 396, Comm. ACM 13, 1970) with Halley refinement in the tail.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/quantile_search.hpp"
#include "kernels/beta.hpp"
#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

constexpr double kHalf = 0.5;
// The double nearest log(pi).
constexpr double kLogPi = 1.1447298858494002;
// pi as a double, for the one-dof distribution function.
constexpr double kPi = 3.141592653589793;
// pi rounded to a 64-bit significand, for the one-dof quantile.
constexpr ext kPiExt = 0x1.921fb54442d1846ap+1_ext;
// sqrt(pi/2) rounded to a 64-bit significand (1.2533141373155002512...).
constexpr ext kSqrtHalfPiExt = 0x1.40d931ff62705966p+0_ext;
// sqrt(2) as a double: the normal quantile is sqrt(2) erf^-1(2p - 1).
constexpr double kSqrt2 = 1.4142135623730951;
// Below this the power series replaces expm1 in Hill's tail correction.
constexpr double kExpm1SeriesSwitch = 0.1;
// Halley steps refining the start value of Hill's branch for small y.
constexpr int kHillRefinementSteps = 6;

bool t_invalid(double dof) { return dof < kEps || is_nan(dof); }

// Plain value of the distribution function for finite x and finite dof.
double t_probability(double x, double dof) {
    if (dof == 1) {
        if (abs0(x) < kEps) return kHalf;
        return math_atan(x) / kPi + kHalf;
    }
    if (dof == 2) {
        const double s = math_sqrt(x * x + 2);
        return x / (s + s) + kHalf;
    }
    const double h = kHalf * dof;
    const double x2 = x * x;
    if (dof > x2) {
        const double c = x2 / (dof + x2);
        if (is_nan(c)) return kNaN;
        if (c <= 0 || c < kEps) return kHalf;
        const double e = c >= 1 ? 1.0 : math_beta_i(kHalf, h, c);
        return x > 0 ? 1 - (kHalf - e * kHalf) : kHalf - e * kHalf;
    }
    const double w = 1 / ((x / dof) * x + 1);
    if (is_nan(w)) return kNaN;
    if (w >= 1) return kHalf;
    const double e = (w <= 0 || w < kEps) ? 0.0 : math_beta_i(h, kHalf, w);
    return x > 0 ? 1 - e * kHalf : e * kHalf;
}

// The terms of Hill's quantile that depend on dof alone.
struct HillTerms {
    double a, b, c, d;
};

HillTerms hill_terms(double dof) {
    const double a = 1 / (dof - 0.5);
    const double b = 48 / (a * a);
    const double c = (((a * 20700) / b - 98) * a - 16) * a + 96.36;
    const double d = static_cast<double>((kSqrtHalfPiExt * static_cast<ext>(math_sqrt(a) * dof)) *
                                         static_cast<ext>((94.5 / (b + c) - 3) / b + 1));
    return {a, b, c, d};
}

// Hill's quantile for the general dof, as -t for p < 0.5 and t otherwise.
double hill_quantile(double p, double dof) {
    const double P = p + p;
    const HillTerms terms = hill_terms(dof);
    const double a = terms.a, b = terms.b, d = terms.d;
    double c = terms.c;
    const double X = P * d;
    const double y = X < 0 ? kNaN : math_exp(math_log(X) * (2 / dof));

    double t;
    if (y > 0.05 + a) {
        // Normal-based expansion for moderate probabilities.
        const double z = math_erf_inv((p + p) - 1) * kSqrt2;
        const double g = ((((0.05 * z) * d - 5) * z - 7) * z - 2) * z;
        if (dof < 5) c = c + (0.6 + z) * ((dof - 4.5) * 0.3);
        c = (c + b) + g;
        const double s = z * z;
        const double e = (((((0.4 * s + 6.3) * s + 36) * s + 94.5) / c - s - 3) / b + 1) * z;
        const double v = (a * e) * e;
        const double W = v > kExpm1SeriesSwitch ? math_expm1(v) : (((4 + v) * v + 12) * (v * v)) / 24 + v;
        t = math_sqrt(W * dof);
    } else {
        // Tail: Hill's start, then Halley steps driving pt(t) toward 1 - p.
        const double u = ((d * (-0.089) + (6 + dof) / (y * dof)) - 0.822) * (2 + dof);
        const double k = 0.5 / (4 + dof) + 1 / (u * 3);
        const double W = ((((k * y - 1) * (1 + dof)) / (2 + dof)) + 1 / y) * dof;
        t = math_sqrt(W);
        if (is_inf(t)) t = kNaN;
        for (int step = 0; step < kHillRefinementSteps; ++step) {
            const double F = pt(t, dof, false);
            const double r = ((1 - F) - p) / dt(t, dof, false);
            t = t + ((((t * r) * (1 + dof)) / ((t * t + dof) * 2)) + 1) * r;
        }
    }
    return p < kHalf ? -t : t;
}

}  // namespace

void hill_branch_terms(double dof, double& a, double& d) {
    const HillTerms terms = hill_terms(dof);
    a = terms.a;
    d = terms.d;
}

double dt(double x, double dof, bool log) {
    if (is_nan(x) || t_invalid(dof)) return kNaN;
    if (is_inf(x)) return zero_or_ninf(log);
    if (is_pinf(dof)) return dnorm(x, 0, 1, log);
    const double d = dof * kHalf + kHalf;
    const double y = ((math_lgamma_param(d) - (math_log_param(dof) + kLogPi) * kHalf) - math_lgamma_param(dof * kHalf)) -
                     math_log((x / dof) * x + 1) * d;
    return log_domain(y, log);
}

double pt(double x, double dof, bool log_p) {
    if (is_nan(x) || t_invalid(dof)) return kNaN;
    if (is_pinf(x)) return one_or_zero(log_p);
    if (is_ninf(x)) return zero_or_ninf(log_p);
    if (is_pinf(dof)) return pnorm(x, 0, 1, log_p);
    return log_of_value(clamp_probability(t_probability(x, dof)), log_p);
}

double qt(double p, double dof) {
    if (t_invalid(dof) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return -kInf;
    if (p == 1) return kInf;
    if (dof == 1) {
        const ext e = static_cast<ext>(p - 0.5) * kPiExt;
        if (abs0(e) < kEpsExt) return 0;
        return static_cast<double>(math_tan(e));
    }
    if (dof == 2) return ((p + p) - 1) / math_sqrt((1 - p) * (p + p));
    if (is_pinf(dof)) return math_erf_inv((p + p) - 1) * kSqrt2;

    // Hill's start is formed on the doubled lower-tail probability; above
    // the median it is taken by symmetry from 1 - p (exact there).
    const double t = p > kHalf ? -hill_quantile(1 - p, dof) : hill_quantile(p, dof);
    return checked_quantile(t, p, [dof](double s) { return pt(s, dof, false); }, -kInf, kInf);
}

}  // namespace zorvana
