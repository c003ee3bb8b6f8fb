// Building blocks of the noncentral families and the studentized range, in
// the accurate arithmetic (fixed operation order, no platform maths):
//
//   LogSum                 a sum of positive terms given by their logs;
//   poisson_mixture_tail   sum_k w_k T_k for Poisson weights w_k and the
//                          central tails T_k, from the Poisson mode outward
//                          with the rest of each direction bounded;
//   log_concave_series     sum_k t_k of a series whose term ratio decreases;
//   log_integral           the log of the integral of e^h for a unimodal h;
//   solve_log              the x where a monotone log-probability meets a target.
#pragma once

#include <cstdint>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "accurate/quadrature_nodes.hpp"
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {
namespace accurate {

// Terms this far below the running sum (in log) are dropped: e^-45 < 3e-20.
constexpr double kNegligible = 45.0;

struct LogSum {
    double top = -kInf;  // the largest log so far
    double sum = 0.0;    // the sum of e^(log - top)
    void add(double lt) {
        if (!(lt > -kInf)) return;
        if (lt > top) {
            sum = sum * exp(top - lt) + 1.0;
            top = lt;
        } else {
            sum += exp(lt - top);
        }
    }
    double value() const { return top > -kInf ? top + log(sum) : -kInf; }
};

// ln(z^a e^-z / Gamma(a + 1)) = -D(a, z) - ln(2 pi a)/2 - c(a) for a, z > 0,
// D the deviance a ln(a/z) + z - a and c the Stirling remainder: no
// cancellation however large a and z are.
inline double log_gamma_peak(double a, double z) {
    return -deviance(a, z) - 0.5 * log(6.283185307179586 * a) - lgamma_correction(a);
}

// ln P(N = k) for N Poisson with mean mu > 0.
inline double log_poisson(std::int64_t k, double mu) {
    return k == 0 ? -mu : log_gamma_peak(static_cast<double>(k), mu);
}

// ln(x^a y^b / B(a, b)) for x + y = 1 (0 < x, y), a, b > 0, with n = a + b:
// -D(a, n x) - D(b, n y) + ln(a b / n)/2 - ln sqrt(2 pi) - (c(a) + c(b) - c(n)).
inline double log_beta_peak(double a, double b, double x, double y) {
    const double n = a + b;
    return -deviance(a, n * x) - deviance(b, n * y) + 0.5 * log(a * b / n) - 0.9189385332046728 -
           (lgamma_correction(a) + lgamma_correction(b) - lgamma_correction(n));
}

// ln sum_k w_k T_k with w_k = P(N = k), N Poisson with mean mu > 0, and
// ln T_k = log_term(k) a central tail that decreases in k (`decreasing`, a
// lower tail) or increases in k (an upper tail), at most 1.
template <class F>
double poisson_mixture_tail(double mu, bool decreasing, F log_term) {
    const double mode = mu < 0x1p62 ? static_cast<double>(static_cast<std::int64_t>(mu)) : 0x1p62;
    const std::int64_t k0 = static_cast<std::int64_t>(mode);
    const double log_mu = log(mu);
    LogSum s;
    s.add(log_poisson(k0, mu) + log_term(k0));
    // Upward: the rest beyond k is at most (T_k or 1) * P(N > k), and
    // P(N > k) <= w_(k+1) / (1 - mu / (k + 2)) once k + 2 > mu.
    for (std::int64_t k = k0 + 1;; ++k) {
        const double lw = log_poisson(k, mu);
        const double lt = log_term(k);
        s.add(lw + lt);
        const double next = static_cast<double>(k + 2);
        if (next > mu) {
            const double lw1 = lw + log_mu - log(static_cast<double>(k + 1));
            const double bound = lw1 - log1p(-mu / next) + (decreasing ? lt : 0.0);
            if (bound < s.value() - kNegligible || !(lw > -kInf)) break;
        }
        if (k - k0 > 100000000) break;
    }
    // Downward: the rest below k is at most T_0 (lower tail) or T_k (upper
    // tail) times P(N < k) <= w_(k-1) / (1 - (k - 1) / mu).
    if (k0 > 0) {
        const double lt0 = decreasing ? log_term(0) : 0.0;
        for (std::int64_t k = k0 - 1; k >= 0; --k) {
            const double lw = log_poisson(k, mu);
            const double lt = k == 0 && decreasing ? lt0 : log_term(k);
            s.add(lw + lt);
            if (k == 0) break;
            const double lw1 = lw + log(static_cast<double>(k)) - log_mu;
            const double bound = lw1 - log1p(-static_cast<double>(k - 1) / mu) + (decreasing ? lt0 : lt);
            if (bound < s.value() - kNegligible) break;
        }
    }
    return s.value();
}

// ln sum_(k >= 0) t_k where ln t_k = log_term(k) and ratio(k) = t_(k+1)/t_k
// decreases in k: from the largest term outward, each direction stopped
// where its geometric bound is negligible.
template <class L, class R>
double log_concave_series(double start, L log_term, R ratio) {
    std::int64_t k = start > 0 ? (start < 0x1p62 ? static_cast<std::int64_t>(start) : std::int64_t(1) << 62) : 0;
    for (int i = 0; i < 100000000 && ratio(k) > 1.0; ++i) ++k;
    for (int i = 0; i < 100000000 && k > 0 && ratio(k - 1) < 1.0; ++i) --k;
    LogSum s;
    s.add(log_term(k));
    for (std::int64_t j = k + 1;; ++j) {
        const double lt = log_term(j);
        s.add(lt);
        const double r = ratio(j);
        if (!(lt > -kInf) || (r < 1.0 && lt + log(r / (1.0 - r)) < s.value() - kNegligible)) break;
    }
    for (std::int64_t j = k - 1; j >= 0; --j) {
        const double lt = log_term(j);
        s.add(lt);
        if (j == 0) break;
        const double q = 1.0 / ratio(j - 1);
        if (!(lt > -kInf) || (q < 1.0 && lt + log(q / (1.0 - q)) < s.value() - kNegligible)) break;
    }
    return s.value();
}

// The 20-point Gauss-Legendre rule over [mid - half, mid + half] of e^(h - top).
template <class H>
double gauss_panel(H& h, double top, double mid, double half) {
    double part = 0.0;
    for (int i = 0; i < kQuadratureHalf; ++i) {
        const double d = half * kQuadratureNodes[i];
        part += kQuadratureWeights[i] * (exp(h(mid - d) - top) + exp(h(mid + d) - top));
    }
    return part * half;
}

// The same, halved while the halves' sum differs from the whole by more than
// `tol` of it (what rounding alone moves it by: a few ulp, more where h is
// large, its ulp then moving e^(h - top)) or 2^-56 of `scale` (the integral
// so far), to depth 12.
template <class H>
double adaptive_panel(H& h, double top, double mid, double half, double whole, double scale, double tol,
                      int depth) {
    const double q = 0.5 * half;
    const double left = gauss_panel(h, top, mid - q, q), right = gauss_panel(h, top, mid + q, q);
    const double both = left + right, diff = fabs_(both - whole);
    if (depth >= 12 || !(diff > tol * both && diff > 0x1p-56 * scale)) return both;
    return adaptive_panel(h, top, mid - q, q, left, scale, tol, depth + 1) +
           adaptive_panel(h, top, mid + q, q, right, scale, tol, depth + 1);
}

// The log of the integral of e^h(u) over the real line, h unimodal with its
// mass within a few `scale` of `start` or found by stepping from there: the
// maximum is bracketed and refined by golden sections, then 20-point
// Gauss-Legendre panels go out from it on each side, each panel as wide as
// the distance over which h falls by 2 (growing by a quarter per panel) and
// halved where its rule is not yet exact (a sharp step of h inside), until
// two panels in a row are negligible against the sum.
//
// `accuracy` is the relative difference between a panel's rule and its
// halves' below which the panel is kept whole (at least the rounding noise).
template <class H>
double log_integral(H h, double start, double scale, double accuracy = 0x1p-50) {
    // Bracket the maximum.
    double a = start - scale, b = start, c = start + scale;
    double fa = h(a), fb = h(b), fc = h(c);
    for (int i = 0; i < 200 && !(fb >= fa && fb >= fc); ++i) {
        if (fc > fb) {
            a = b, fa = fb, b = c, fb = fc;
            c = b + 2.0 * (b - a);
            fc = h(c);
        } else {
            c = b, fc = fb, b = a, fb = fa;
            a = b - 2.0 * (c - b);
            fa = h(a);
        }
    }
    if (!(fb > -kInf)) return -kInf;
    // Golden sections down to a hundredth of the bracket's start.
    const double g = 0.3819660112501051;
    const double tol = (c - a) * 1e-3;
    for (int i = 0; i < 100 && c - a > tol; ++i) {
        if (b - a > c - b) {
            const double x = b - g * (b - a);
            const double fx = h(x);
            if (fx > fb) {
                c = b, b = x, fb = fx;
            } else {
                a = x;
            }
        } else {
            const double x = b + g * (c - b);
            const double fx = h(x);
            if (fx > fb) {
                a = b, b = x, fb = fx;
            } else {
                c = x;
            }
        }
    }
    const double mode = b, top = fb;
    const double noise = accuracy * (1.0 + fabs_(top));
    double total = 0.0;
    for (int side = 0; side < 2; ++side) {
        const double sign = side == 0 ? 1.0 : -1.0;
        // The distance over which h falls by 2.
        double width = scale / 16.0;
        for (int i = 0; i < 200 && h(mode + sign * width) > top - 2.0; ++i) width *= 2.0;
        double from = mode;
        int quiet = 0;
        for (int panel = 0; panel < 400 && quiet < 2; ++panel) {
            const double half = 0.5 * width, mid = from + sign * half;
            if (!(mid - half > -kInf && mid + half < kInf)) break;
            const double part = adaptive_panel(h, top, mid, half, gauss_panel(h, top, mid, half), total, noise, 0);
            total += part;
            quiet = part < total * 3e-20 ? quiet + 1 : 0;
            from += sign * width;
            width *= 1.25;
        }
    }
    return top + log(total);
}

// The x in (lo, hi) where log_f(x), a log-probability increasing in x
// (`increasing`) or decreasing, equals `target`: the bracket grows from
// `guess` (by `grow`, doubling each time, or toward lo/hi if finite), then
// shrinks by regula falsi with the Illinois step, bisecting where that
// stalls, to adjacent doubles. `positive` says the variable lives on
// (0, hi): the bracket then grows and is bisected in ratios.
template <class F>
double solve_log(F log_f, double target, bool increasing, double lo, double hi, double guess, double grow,
                 bool positive) {
    const auto g = [&](double x) {
        const double v = log_f(x) - target;
        return increasing ? v : -v;
    };  // increasing in x
    double a = guess, b = guess;
    double ga = g(a), gb = ga;
    if (is_nan(ga)) return kNaN;
    double step = grow;
    for (int i = 0; i < 2200 && ga > 0; ++i) {
        b = a, gb = ga;
        a = positive ? a * 0.5 : (lo > -kInf && a - step <= lo ? 0.5 * (a + lo) : a - step);
        if (!positive) step *= 2.0;
        if (a <= lo) return lo;
        ga = g(a);
    }
    step = grow;
    for (int i = 0; i < 2200 && gb < 0; ++i) {
        a = b, ga = gb;
        b = positive ? (b * 2.0 < hi ? b * 2.0 : 0.5 * (b + hi))
                     : (hi < kInf && b + step >= hi ? 0.5 * (b + hi) : b + step);
        if (!positive) step *= 2.0;
        if (b >= hi || b == a) return b >= hi ? hi : b;
        gb = g(b);
    }
    if (ga == 0) return a;
    if (gb == 0) return b;
    // Now g(a) < 0 < g(b).
    int side = 0;
    for (int i = 0; i < 400; ++i) {
        const double width = b - a;
        if (width <= 2.0 * (fabs_(a) > fabs_(b) ? fabs_(a) : fabs_(b)) * 0x1p-52 || next_double(a, true) >= b) break;
        double x;
        if (i % 4 == 3 || !(ga > -kInf) || !(gb < kInf)) {
            x = positive && a > 0 && b / a > 4.0 ? exp(0.5 * (log(a) + log(b))) : a + 0.5 * width;
        } else {
            x = a - ga * (width / (gb - ga));
        }
        if (!(x > a && x < b)) x = a + 0.5 * width;
        const double gx = g(x);
        if (is_nan(gx)) return kNaN;
        if (gx == 0) return x;
        if (gx < 0) {
            a = x, ga = gx;
            if (side == -1) gb *= 0.5;
            side = -1;
        } else {
            b = x, gb = gx;
            if (side == 1) ga *= 0.5;
            side = 1;
        }
    }
    return -ga < gb ? a : b;
}

// ln(1 - e^L) for L <= 0.
inline double log1mexp(double L) { return L > -0.6931471805599453 ? log(-expm1(L)) : log1p(-exp(L)); }

// The density of u = ln S, S = sqrt(V / dof) with V chi-squared on dof
// degrees of freedom (a = dof / 2):
//   ln g(u) = ln 2 + ln(a)/2 - ln(2 pi)/2 - c(a) - a (e^(2u) - 1 - 2u),
// c the Stirling remainder of ln Gamma(a).
inline double log_scale_density(double u, double a, double constant) {
    return constant - a * (expm1(2.0 * u) - 2.0 * u);
}
inline double log_scale_constant(double a) {
    return 0.6931471805599453 + 0.5 * log(a) - 0.9189385332046728 - lgamma_correction(a);
}
// A step on the scale of ln S: about its standard deviation 1/sqrt(2 dof), at most 1.
inline double log_scale_step(double dof) {
    const double s = exp(-0.5 * log(2.0 * dof));
    return s < 1.0 ? s : 1.0;
}

// A tail asked for, from ln_tail(lower) of either tail: the one asked for
// where it is at most a half, else the complement of the other (so that a
// probability near 1 and its log keep their precision).
template <class T>
double either_tail(T ln_tail, bool lower, bool log_p) {
    double lp = ln_tail(lower);
    if (is_nan(lp)) return kNaN;
    if (lp > -0.6931471805599453) {
        const double other = ln_tail(!lower);
        if (!is_nan(other) && other < -0.6931471805599453) {
            return log_p ? log1mexp(other) : -expm1(other);
        }
    }
    if (lp > 0) lp = 0;
    return log_p ? lp : exp(lp);
}

// The target of a quantile search: ln p of the requested tail, or NaN when
// p is no probability.
inline double log_target(double p, bool log_p) {
    if (log_p) return p > 0 || is_nan(p) ? kNaN : p;
    return p >= 0 && p <= 1 ? log(p) : kNaN;
}

}  // namespace accurate
}  // namespace zorvana
