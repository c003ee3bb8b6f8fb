// Regularized incomplete gamma ratios: which ratio is computed directly, and
// how.
//
//   a >= 20, x/a in [1/2, 5/4]  the uniform asymptotic expansion: Q for x >= a,
//                               P for x < a
//   a < 1, x < 1                P by its power series where x^a / Gamma(a + 1)
//                               < 1/2, else Q by the Taylor form for small
//                               shapes
//   x < a                       P by its power series
//   x >= a (and x >= 1)         Q by its continued fraction
//
// The directly computed ratio is at most about 0.83 (at most 1/2 from shape 1
// on), so the complement 1 - r loses no relative accuracy. Every direct form
// is a prefactor times a factor of moderate size, kept apart as
// (log prefactor, factor) so that the logarithm never underflows.
#include "accurate/gamma_inc.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_temme_table.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace accurate {
namespace {

// The uniform expansion's region; tools/gen_gamma_temme.py cuts its table for it.
constexpr double kTemmeShape = 20;
constexpr double kTemmeLambdaLo = 0.5;
constexpr double kTemmeLambdaHi = 1.25;
// Below this x, for shapes below 1, Q may come from the Taylor form.
constexpr double kTaylorLimit = 1.0;
// Relative size of the last term that ends a series or continued fraction.
constexpr double kSeriesTol = 0x1p-56;
constexpr double kFractionTol = 0x1p-54;
constexpr int kMaxTerms = 5000;
constexpr double kLnSqrt2Pi = 0.91893853320467274178;  // ln sqrt(2 pi)
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kSqrt2Pi = 2.5066282746310002;       // sqrt(2 pi)
// The continued fraction's convergents are scaled down when they grow past
// this.
constexpr double kRescaleAbove = 0x1p500;
constexpr double kRescale = 0x1p-500;
// From this x on the continued fraction is scaled (see fraction_q).
constexpr double kHugeFractionX = 0x1p64;

// log x in double-double, remembered per thread for the last x: the Poisson
// tails vary the shape at one rate.
DD log_of_x(double x) {
    thread_local std::uint64_t last_bits = 0;  // +0 is never an x here
    thread_local DD last{0.0, 0.0};
    const std::uint64_t bits = bits_of(x);
    if (bits != last_bits) {
        last = log_dd(x);
        last_bits = bits;
    }
    return last;
}

// a ln(a/x) + x - a for a > 0, 0 < x < inf, the log of e^(x-a) (a/x)^a, as
// a double-double: in the far tails it is the exponent of a tiny prefactor,
// and every unit of its last place there would be a relative error of the
// result. Near a by its series, elsewhere from the logarithms in
// double-double.
DD shape_deviance(double a, double x, const DD* log_a) {
    if (a > 0x1p1000 || x > 0x1p1000) {
        // Homogeneous of degree 1: scaled by an exact power of two so that
        // the sums below cannot overflow.
        const DD r = shape_deviance(a * 0x1p-24, x * 0x1p-24, nullptr);
        return DD{r.hi * 0x1p24, r.lo * 0x1p24};
    }
    const double d = a - x;
    const double sum = a + x;
    if (abs0(d) < 0.1 * sum) return deviance_near_dd(a, x);
    const DD l = dd_sub(log_a ? *log_a : log_dd(a), log_of_x(x));
    return dd_add(dd_mul(l, a), two_sum(x, -a));
}

// Constants of a shape a used by the prefactors: D = x^a e^-x / Gamma(a) has
// log D = k - deviance(a, x) from shape 1 on (k = log(a)/2 - ln sqrt(2 pi)
// - c(a), c the Stirling remainder), and log D = (a log x - x) + k below
// (k = -ln Gamma(a), k1 = -ln Gamma(a + 1) = k - log a).
struct Shape {
    double a;
    double log_a;
    DD log_a_dd;
    double k;
    double k1;
};

// c(a): from the table at the half-integers below 10, where the kernel's
// remainder is costly, else from the kernel.
double stirling_remainder(double a) {
    const double twice = a + a;
    if (twice < 20) {
        const int n = static_cast<int>(twice);
        if (n >= 1 && n == twice) return kStirlingRemainderHalf[n - 1];
    }
    return lgamma_correction(a);
}

Shape compute_shape(double a) {
    const DD log_a_dd = log_dd(a);
    const double log_a = log_a_dd.hi;
    const double c = stirling_remainder(a);
    if (a >= 1) return Shape{a, log_a, log_a_dd, (0.5 * log_a - kLnSqrt2Pi) - c, 0.0};
    // ln Gamma(a) = c + (a - 1/2) ln a - a + ln sqrt(2 pi); ln Gamma(a + 1)
    // directly, not as ln Gamma(a) + ln a: for small shapes the two nearly
    // cancel, and 1 - x^a / Gamma(a + 1) needs its relative precision.
    const double k = -(((c + (a - 0.5) * log_a) - a) + kLnSqrt2Pi);
    return Shape{a, log_a, log_a_dd, k, -lgamma1p(a)};
}

// The shape's constants, remembered per thread for the last shape: a call
// over an array with one shape computes them once.
Shape shape_of(double a) {
    thread_local std::uint64_t last_bits = 0;  // +0 is never a shape here
    thread_local Shape last{};
    const std::uint64_t bits = bits_of(a);
    if (bits != last_bits) {
        last = compute_shape(a);
        last_bits = bits;
    }
    return last;
}

// The directly computed ratio: q says whether it is Q (else P); its value is
// e^lp * f, its logarithm lp + log f, lp a double-double; ld is log D (the
// solver's slope), NaN when it was not asked for, and d_over is D / e^lp
// where the form knows it without an exponential (else NaN).
struct Direct {
    bool q;
    DD lp;
    double f;
    double ld;
    double d_over = kNaN;
};

double value_of(const Direct& d) { return exp_mul(d.lp, d.f); }

double log_of(const Direct& d) { return d.lp.hi + (d.lp.lo + log(d.f)); }

// log D as a double-double: k - deviance from shape 1 on, a log x - x + k below.
DD log_prefactor_dd(const Shape& s, double x) {
    if (s.a < 1) return dd_add(dd_add(dd_mul(log_of_x(x), s.a), -x), s.k);
    return dd_add(dd_neg(shape_deviance(s.a, x, &s.log_a_dd)), s.k);
}

double log_prefactor(const Shape& s, double x) {
    const DD l = log_prefactor_dd(s, x);
    return l.hi + l.lo;
}

// P = x^a e^-x / Gamma(a + 1) * sum_{n >= 0} x^n / ((a + 1) ... (a + n)).
Direct series_p(const Shape& s, double x) {
    const double a = s.a;
    double sum = 1;
    double term = 1;
    for (int n = 1; n < kMaxTerms; ++n) {
        term = term * (x / (a + n));
        sum = sum + term;
        if (term <= sum * kSeriesTol) break;
    }
    if (a < 1) {
        const DD base = dd_add(dd_mul(log_of_x(x), a), -x);
        return Direct{false, dd_add(base, s.k1), sum, base.hi + (base.lo + s.k), a};
    }
    const DD ld = dd_add(dd_neg(shape_deviance(a, x, &s.log_a_dd)), s.k);
    return Direct{false, dd_add(ld, -s.log_a), sum, ld.hi + ld.lo, a};
}

// Q = D / (x + 1 - a - 1(1 - a)/(x + 3 - a - 2(2 - a)/(x + 5 - a - ...))).
// The convergents A_n / B_n of the denominator come from the three-term
// recurrences, rescaled by an exact power of two when they grow; the
// division that forms each convergent is off the recurrences' critical path.
// Here x + 1 - a >= 1. For huge x every partial denominator is divided by
// e, a power of two near x, and every partial numerator by e^2 (an
// equivalence transformation, exact but where the numerators underflow, and
// then they no longer matter), so that the recurrences cannot overflow.
Direct fraction_q(const Shape& s, double x) {
    const double a = s.a;
    double inv_e = 1;
    if (x >= kHugeFractionX) {
        std::uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        // 2^-exponent(x), kept normal: 2^-1022 at the top binade.
        const std::uint64_t biased = (bits >> 52) & 0x7FF;
        bits = (0x7FEull - (biased < 0x7FD ? biased : 0x7FDull)) << 52;
        std::memcpy(&inv_e, &bits, sizeof bits);
    }
    const double inv_e2 = inv_e * inv_e;
    const double two = 2 * inv_e;
    double b = ((x + 1) - a) * inv_e;
    double a_prev = 1;
    double a_cur = b;
    double b_prev = 0;
    double b_cur = 1;
    double h = 1 / b;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double an = (-i * (i - a)) * inv_e2;
        b = b + two;
        const double a_next = b * a_cur + an * a_prev;
        const double b_next = b * b_cur + an * b_prev;
        a_prev = a_cur;
        a_cur = a_next;
        b_prev = b_cur;
        b_cur = b_next;
        if (abs0(a_cur) > kRescaleAbove) {
            a_prev = a_prev * kRescale;
            a_cur = a_cur * kRescale;
            b_prev = b_prev * kRescale;
            b_cur = b_cur * kRescale;
        }
        const double next = b_cur / a_cur;
        const bool done = abs0(next - h) <= abs0(next) * kFractionTol;
        h = next;
        if (done) break;
    }
    const DD ld = log_prefactor_dd(s, x);
    return Direct{true, ld, h * inv_e, ld.hi + ld.lo, 1.0};
}

// Q for small x and shape: Q = u - v with u = 1 - x^a / Gamma(a + 1) and
// v = x^a / Gamma(a + 1) * a * sum_{n >= 1} (-x)^n / (n! (a + n)); r is
// log(x^a / Gamma(a + 1)), and u is formed with expm1, so that small shapes
// keep their relative accuracy.
Direct taylor_q(const Shape& s, double x, double r, bool with_density) {
    const double a = s.a;
    const double u = -expm1(r);
    double sum = 0;
    double t = 1;
    for (int n = 1; n < kMaxTerms; ++n) {
        t = t * (-x / n);
        const double term = t / (a + n);
        sum = sum + term;
        if (abs0(term) <= abs0(sum) * kSeriesTol) break;
    }
    const double v = (exp(r) * a) * sum;
    return Direct{true, DD{0.0, 0.0}, u - v, with_density ? log_prefactor(s, x) : kNaN};
}

// The uniform asymptotic expansion, for a >= 20 (the terms c_k a^-k taken
// while they matter, fewer for larger shapes): with eta^2 / 2 the
// deviance over a, y = sqrt(deviance),
//   Q = e^-deviance (erfcx(y) / 2 + S / sqrt(2 pi a))   for x >= a (eta >= 0),
//   P = e^-deviance (erfcx(y) / 2 - S / sqrt(2 pi a))   for x < a (eta < 0),
// S = sum_k c_k(eta) a^-k.
Direct temme(const Shape& sh, double x) {
    const double a = sh.a;
    const DD dev_dd = shape_deviance(a, x, &sh.log_a_dd);
    const double dev = dev_dd.hi + dev_dd.lo;
    const bool upper = x >= a;
    double eta = std::sqrt((dev + dev) / a);
    if (!upper) eta = -eta;
    const double inv_a = 1 / a;
    // Larger shapes need fewer terms.
    int terms = 1;
    while (terms < kTemmeTerms && a < kTemmeShapeFor[terms - 1]) ++terms;
    double s = 0;
    for (int k = terms - 1; k >= 0; --k) {
        const double* c = kTemmeC[k];
        double ck = 0;
        for (int n = kTemmeDegree[k] - 1; n >= 0; --n) ck = ck * eta + c[n];
        s = s * inv_a + ck;
    }
    const double half_erfcx = 0.5 * erfcx(std::sqrt(dev));
    const double tail = s / (kSqrt2Pi * std::sqrt(a));
    return Direct{upper, dd_neg(dev_dd), upper ? half_erfcx + tail : half_erfcx - tail, kNaN};
}

bool temme_region(double a, double x) {
    return a >= kTemmeShape && x >= a * kTemmeLambdaLo && x <= a * kTemmeLambdaHi;
}

// For a > 0 and 0 < x < inf, both finite. The solver passes the shape's
// constants and gets log D as well.
Direct direct(double a, double x, const Shape* given) {
    const Shape s = given ? *given : shape_of(a);
    if (temme_region(a, x)) {
        Direct d = temme(s, x);
        if (given) d.ld = d.lp.hi + (d.lp.lo + s.k);
        return d;
    }
    if (x < kTaylorLimit && a < 1) {
        // Below shape 1 the side is chosen by x^a / Gamma(a + 1), the leading
        // term of P: for tiny shapes Q is small even where x < a.
        const double r = a * log(x) + s.k1;
        if (r < -kLn2) return series_p(s, x);
        return taylor_q(s, x, r, given != nullptr);
    }
    if (x < a) return series_p(s, x);
    return fraction_q(s, x);
}

bool valid(double a, double x) { return a > 0 && a < kInf && x >= 0; }  // false for NaN

// Below this elasticity a relative change of 2^-53 in x moves the ratio by
// less than 4e-15 relative.
constexpr double kNoticedElasticity = 32;

// The ratio asked for (Q if want_q) at x + dx, plain or as its logarithm.
// dx is at most a unit in the last place of x (what a caller's scaling of
// its argument rounded away): it enters to first order, log R(x + dx) =
// log R(x) -+ (D / R) dx / x, where D / R (the elasticity) is large.
double ratio(double a, double x, double dx, bool want_q, bool log_r) {
    if (!valid(a, x)) return kNaN;
    if (x == 0 || is_pinf(x)) {
        const bool one = (x == 0) == want_q;
        return log_r ? (one ? 0.0 : -kInf) : (one ? 1.0 : 0.0);
    }
    // The elasticity is below max(a, x + 1): small ones leave dx below notice.
    if (dx == 0 || is_nan(dx) || (a < kNoticedElasticity && x < kNoticedElasticity)) {
        const Direct d = direct(a, x, nullptr);
        if (d.q == want_q) return log_r ? log_of(d) : value_of(d);
        const double other = value_of(d);
        return log_r ? log1p(-other) : 1 - other;
    }
    const Shape s = shape_of(a);
    const Direct d = direct(a, x, &s);
    double lr;
    double v = 0;
    if (d.q == want_q) {
        lr = log_of(d);
        if (!log_r) v = value_of(d);
    } else {
        const double other = value_of(d);
        v = 1 - other;
        lr = log1p(-other);
    }
    const double shift = exp(d.ld - lr) * (dx / x);
    const double delta = want_q ? -shift : shift;
    if (log_r) return lr + delta;
    return v + v * delta;
}

// Upper standard normal quantile for 0 < q <= 1/2, to about 5e-4: a start only.
// Given log q.
double rough_normal_upper(double log_q) {
    const double t = std::sqrt(-2 * log_q);
    return t - (2.515517 + (0.802853 + 0.010328 * t) * t) / (1 + (1.432788 + (0.189269 + 0.001308 * t) * t) * t);
}

// At one x: the residual f = log R(a, x) - lt of the solved ratio R (Q or P)
// and m = |d log R / d log x| = D / R. The target lt = log t is a
// double-double: rounded to a double, a logarithm near -690 would carry an
// error of 6e-14 relative in t.
struct Residual {
    double f;
    double m;
};

Residual residual(const Shape& s, double x, DD lt, bool want_q) {
    const Direct d = direct(s.a, x, &s);
    if (d.q == want_q) {
        const double log_f = log(d.f);
        const double f = ((d.lp.hi - lt.hi) + (d.lp.lo - lt.lo)) + log_f;
        const double m = is_nan(d.d_over) ? exp((d.ld - d.lp.hi) - (d.lp.lo + log_f)) : d.d_over / d.f;
        return Residual{f, m};
    }
    const double lr = log1p(-value_of(d));
    return Residual{(lr - lt.hi) - lt.lo, exp(d.ld - lr)};
}

// Below this shape Q(a, x) = q may have its root below the smallest subnormal.
constexpr double kTinyShape = 1.0 / 128;
constexpr double kMinSubnormal = 0x1p-1074;

// Where |d log R / d log x| is below this, a unit in the last place of x
// moves R by less than 2.3e-13 relative: any double within a unit of the
// root will do (the probability at it is well within 1e-12 of the target),
// and the last step's result is taken without a further evaluation.
constexpr double kLooseElasticity = 1024;

// The x with R(a, x) = t, where R is Q (want_q) or P and 0 < t <= 1/2, and
// the elasticity |d log R / d log x| there. Halley steps on log R as a
// function of log x (P behaves like a power of x near 0, Q like e^-x far
// out), kept inside a bracket of the root; then, where the elasticity is
// large, the double with the smallest residual among the neighbours.
double solve(double a, DD lt_dd, bool want_q, double* elasticity) {
    const double lt = lt_dd.hi;
    const Shape s = shape_of(a);
    *elasticity = kNaN;
    // Start: Wilson-Hilferty from shape 1 on, else from the behaviour near 0
    // (P ~ x^a / Gamma(a + 1)) or near inf (Q ~ x^(a-1) e^-x / Gamma(a)).
    const double z = rough_normal_upper(lt);
    double x = kNaN;
    if (a >= 1) {
        const double base = (1 - 1 / (9 * a)) + (want_q ? z : -z) / (3 * std::sqrt(a));
        if (base > 0) x = a * (base * base * base);
    }
    if (want_q && a < kTinyShape) {
        // Q(a, x) ~ 1 - x^a for tiny shapes: the root may lie below the
        // smallest subnormal.
        const Residual at_min = residual(s, kMinSubnormal, lt_dd, true);
        if (at_min.f < 0) return 0.0;
    }
    // ln Gamma(a) and ln Gamma(a + 1) from the shape's constants (for a start,
    // so a few units of their last place do not matter).
    const double lga = a < 1 ? -s.k : ((a * s.log_a - a) - s.k);
    const double lga1 = a < 1 ? -s.k1 : lga + s.log_a;
    if (!want_q) {
        // P <= x^a / Gamma(a + 1), nearly equal for small x: below the
        // smallest subnormal the answer is 0.
        const double log_x_pow = (lt + lga1) / a;
        if (log_x_pow < -746) return 0.0;
        const double x_pow = exp(log_x_pow);
        if (!(x >= x_pow)) x = x_pow;
    } else if (!(x > 0)) {
        double y = -lt - lga;
        if (y > 16 && y > 4 * a) {
            // The far-out rounds below start from here.
            x = y;
        } else if (y > 1) {
            for (int i = 0; i < 3; ++i) y = (-lt - lga) + (a - 1) * log(y);
            x = y;
        } else {
            x = exp((log1p(-exp(lt)) + lga1) / a);
        }
    }
    if (want_q && x > 4 * a && x > 16) {
        // Far out, Q ~ x^(a-1) e^-x / Gamma(a) (1 + (a-1)/x + (a-1)(a-2)/x^2):
        // x = (a - 1) log x - ln Gamma(a) - log q + log(1 + ...), a fixed
        // point that gains a factor (a - 1) / x each round; taken until the
        // error left, about (a - 1) / x times the last change, is below 1e-7
        // (then the first residual is within reach of a single step).
        for (int i = 0; i < 6; ++i) {
            const double r = (a - 1) / x;
            const double u = r * (1 + (a - 2) / x);
            const double next = (((a - 1) * log(x) - lga) - lt) + u * (1 - u * (0.5 - u * (1.0 / 3)));
            const double change = abs0(next - x);
            x = next;
            if (change * abs0(r) < 1e-7) break;
        }
    }
    if (!(x > 0) || is_pinf(x)) x = a;

    double lo = 0;
    double hi = kInf;
    Residual r{kNaN, kNaN};
    for (int it = 0; it < 100; ++it) {
        r = residual(s, x, lt_dd, want_q);
        if (r.f == 0) break;
        // P rises with x, Q falls.
        if ((r.f < 0) != want_q) {
            lo = x;
        } else {
            hi = x;
        }
        // In u = log x, G = log R has G' = -m, G'' = -m (a - x + m) for Q
        // and G' = m, G'' = m (a - x - m) for P; Halley's step in u.
        const double g1 = want_q ? -r.m : r.m;
        const double g2 = want_q ? -(r.m * ((a - x) + r.m)) : r.m * ((a - x) - r.m);
        // Far from the root (a large second-order term) Halley's step stalls:
        // Newton's step then, which the bracket catches if it overshoots.
        const double newton = -r.f / g1;
        const double curvature = (r.f * g2) / ((2 * g1) * g1);
        const double du = abs0(curvature) < 0.5 ? newton / (1 - curvature) : newton;
        // x e^du, by its Taylor polynomial for small steps (an iterate
        // needs no more).
        double next;
        if (abs0(du) < 0x1p-20) {
            next = x + x * (du * (1 + 0.5 * du));
        } else if (abs0(du) < 0.0625) {
            next = x + x * (du * (1 + du * (0.5 + du * (1.0 / 6 + du * (1.0 / 24)))));
        } else {
            next = x * exp(du);
        }
        if (next == x) break;
        if (!(next > lo && next < hi)) {
            // Outside the bracket (or NaN): halve it, geometrically where it
            // spans orders of magnitude.
            if (is_pinf(hi)) {
                next = (lo > 0 ? lo : x) * 4;
            } else if (lo == 0) {
                next = hi * 0.25;
            } else if (hi > lo * 4) {
                next = std::sqrt(lo) * std::sqrt(hi);
            } else {
                next = lo + (hi - lo) * 0.5;
            }
            if (!(next > lo && next < hi)) break;
        }
        x = next;
        // From a residual this small Halley's step leaves one of the order of
        // its cube.
        if (abs0(r.f) <= 0x1p-18 && abs0(curvature) < 0.5) {
            if (r.m > kLooseElasticity) r = residual(s, x, lt_dd, want_q);
            break;
        }
    }
    *elasticity = r.m;
    if (!(r.m > kLooseElasticity) || !(x > 0) || is_pinf(x) || r.f == 0) return x;
    // A step of one unit moves log R by about m ulp(x) / x: within half of
    // that x is already the nearest.
    if (abs0(r.f) <= 0.5 * (r.m * ((next_double(x, true) - x) / x))) return x;
    // R too large: Q falls with x, P rises.
    const bool up = (r.f > 0) == want_q;
    for (int i = 0; i < 8; ++i) {
        const double y = next_double(x, up);
        if (!(y > 0) || is_pinf(y)) break;
        const Residual g = residual(s, y, lt_dd, want_q);
        if (!(abs0(g.f) < abs0(r.f))) break;
        const bool crossed = (g.f > 0) != (r.f > 0);
        x = y;
        r = g;
        if (crossed) break;
    }
    return x;
}

double inverse(double a, double r, bool want_q, double* elasticity) {
    double unused;
    if (!elasticity) elasticity = &unused;
    *elasticity = kNaN;
    if (!(a > 0 && a < kInf && r >= 0 && r <= 1)) return kNaN;
    // Q = 0 or P = 1: the upper end; Q = 1 or P = 0: the lower end.
    if (r == 0) return want_q ? kInf : 0.0;
    if (r == 1) return want_q ? 0.0 : kInf;
    // Solve for the ratio at most one half; 1 - r is exact for r >= 1/2.
    if (r > 0.5) return solve(a, log_dd(1 - r), !want_q, elasticity);
    return solve(a, log_dd(r), want_q, elasticity);
}

}  // namespace

double gamma_p(double a, double x, double dx) { return ratio(a, x, dx, false, false); }
double gamma_q(double a, double x, double dx) { return ratio(a, x, dx, true, false); }
double log_gamma_p(double a, double x, double dx) { return ratio(a, x, dx, false, true); }
double log_gamma_q(double a, double x, double dx) { return ratio(a, x, dx, true, true); }
double gamma_q_inv(double a, double q, double* elasticity) { return inverse(a, q, true, elasticity); }
double gamma_p_inv(double a, double p, double* elasticity) { return inverse(a, p, false, elasticity); }

// -ln Gamma(a + 1): the shape's constant below shape 1; from shape 1 on only
// where the ratios are far below the doubles or a root far below them (a
// few units of its last place do not matter there).
namespace {
double minus_lgamma1p(const Shape& s) { return s.a < 1 ? s.k1 : -(lgamma(s.a) + s.log_a); }
}  // namespace

double gamma_ratio_tiny_x(double a, DD log_x, bool want_q, bool log_r) {
    if (!(a > 0 && a < kInf) || is_nan(log_x.hi)) return kNaN;
    // P = x^a e^-x / Gamma(a + 1) (1 + x / (a + 1) + ...): for x below
    // 2^-1000 the factors beside x^a / Gamma(a + 1) are 1 to far below a
    // unit in the last place, and Q = 1 - P = -expm1(log P).
    const DD r = dd_add(dd_mul(log_x, a), minus_lgamma1p(shape_of(a)));
    const double rv = r.hi + r.lo;
    if (!want_q) return log_r ? rv : exp_dd(r);
    const double q = -expm1(rv);
    if (!log_r) return q;
    return rv > -kLn2 ? log(q) : log1p(-exp(rv));
}

DD log_gamma_density(double a, double x, bool over_x) {
    const DD l = log_prefactor_dd(shape_of(a), x);
    return over_x ? dd_sub(l, log_of_x(x)) : l;
}

DD log_gamma_density_tiny_x(double a, DD log_x, bool over_x) {
    const Shape s = shape_of(a);
    const double minus_lgamma = a < 1 ? s.k : -lgamma(a);
    const DD l = dd_add(dd_mul(log_x, a), minus_lgamma);
    return over_x ? dd_sub(l, log_x) : l;
}

double gamma_inv(double a, DD log_t, bool want_q, double* elasticity) {
    double unused;
    if (!elasticity) elasticity = &unused;
    *elasticity = kNaN;
    if (!(a > 0 && a < kInf) || !(log_t.hi <= 0)) return kNaN;
    if (is_ninf(log_t.hi)) return want_q ? kInf : 0.0;
    return solve(a, log_t, want_q, elasticity);
}

bool gamma_inv_log_tiny(double a, DD log_t, bool want_q, DD* log_x) {
    if (!(a > 0 && a < kInf) || !(log_t.hi <= 0)) return false;
    // From shape 1 on Q's root is never that small, nor P's unless
    // log t < -700 a + ln Gamma(a + 1), and ln Gamma(a + 1) > -0.13.
    if (a >= 1 && (want_q || log_t.hi > a * kTinyLogX + 0.25)) return false;
    // The leading term's root: x^a / Gamma(a + 1) = P, P = t or 1 - t.
    const DD log_p = want_q ? DD{log1p(-exp(log_t.hi + log_t.lo)), 0.0} : log_t;
    const DD v = dd_div(dd_add(log_p, -minus_lgamma1p(shape_of(a))), a);
    if (!(v.hi < kTinyLogX)) return false;
    *log_x = v;
    return true;
}

}  // namespace accurate
}  // namespace zorvana
