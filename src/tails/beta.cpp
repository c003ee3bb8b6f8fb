// Upper tails of the beta, F and binomial distributions, through the
// incomplete beta function of the accurate kernels.
#include <cmath>
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/polish.hpp"
#include "tails/tails.hpp"

namespace zorvana {

namespace {

constexpr double kHalf = 0.5;

double zero_or_ninf(bool log_p) { return log_p ? -kInf : 0.0; }
double one_or_zero(bool log_p) { return log_p ? 0.0 : 1.0; }
double value_or_log(double v, bool log_p) { return log_p ? accurate::log(v) : v; }

bool beta_invalid(double a, double b) { return b < 0 || a < 0 || is_nan(a) || is_nan(b); }
bool beta_degenerate(double a, double b) { return a == 0 || b == 0 || is_pinf(a) || is_pinf(b); }

bool f_invalid(double d1, double d2) { return d2 < kEps || d1 < kEps || is_nan(d1) || is_nan(d2); }

bool binom_invalid(std::int64_t n, double prob) { return is_nan(prob) || prob > 1 || prob < 0 || n < 0; }

// ln P(F > x) as a double-double for 0 < x < inf and finite degrees of
// freedom, with the log prefactor of the incomplete beta function (for the
// slope).
accurate::DD f_log_upper_dd(double x, double d1, double d2, double* log_pref) {
    const accurate::BetaPoint pt = accurate::split_point(d1, x, d2, 1.0);
    const double g = kHalf * d1;
    const double h = kHalf * d2;
    if (!pt.x_small && pt.y < 0x1p-900) {
        // x^-h far below every double: the tail is y^h / (h B(h, g)).
        if (log_pref) *log_pref = h * pt.log_small - accurate::log_beta(h, g);
        return accurate::DD{accurate::log_beta_inc_tiny(h, g, pt.log_small), 0.0};
    }
    return accurate::log_beta_inc_dd(g, h, pt.x, pt.y, true, log_pref, pt.small_lo);
}

double f_log_upper(double x, double d1, double d2, double* log_pref) {
    const accurate::DD l = f_log_upper_dd(x, d1, d2, log_pref);
    return l.hi + l.lo;
}

// P(X > x) = I_prob(x + 1, n - x) for 0 <= x < n, 0 < prob < 1.
double binom_upper(std::int64_t x, std::int64_t n, double prob, bool log_p) {
    return accurate::beta_inc(static_cast<double>(x) + 1, static_cast<double>(n - x), prob, 1 - prob, false, log_p);
}

// The upper quantile z of the standard normal to about 4e-4 (Abramowitz
// and Stegun 26.2.23), 0 < p < 1: a start for the binomial search.
double rough_normal_upper_quantile(double p) {
    const bool upper = p < kHalf;
    const double q = upper ? p : 1 - p;
    const double w = std::sqrt(-2 * accurate::log(q));
    const double z = w - (2.515517 + (0.802853 + 0.010328 * w) * w) / (1 + (1.432788 + (0.189269 + 0.001308 * w) * w) * w);
    return upper ? z : -z;
}

}  // namespace

double pbeta_upper(double x, double a, double b, bool log_p) {
    if (is_nan(x) || beta_invalid(a, b)) return kNaN;
    if (x <= 0) return one_or_zero(log_p);
    if (x >= 1) return zero_or_ninf(log_p);
    if (beta_degenerate(a, b)) {
        // The complement of the lower tail's point masses.
        double v;
        if (a == 0) {
            v = b == 0 ? kHalf : 0.0;
        } else if (is_pinf(b)) {
            v = is_pinf(a) ? (x < kHalf ? 1.0 : 0.0) : 0.0;
        } else {
            v = 1;
        }
        return v == 0 ? zero_or_ninf(log_p) : value_or_log(v, log_p);
    }
    return accurate::beta_inc(a, b, x, 1 - x, true, log_p);
}

double qbeta_upper(double p, double a, double b) {
    if (beta_invalid(a, b) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return 1;
    if (p == 1) return 0;
    if (beta_degenerate(a, b)) {
        if (a == 0 && b == 0) return p > kHalf ? 0.0 : (p == kHalf ? kHalf : 1.0);
        if (a == 0) return 0;
        if (is_pinf(b)) return is_pinf(a) ? kHalf : 0.0;
        return 1;
    }
    return accurate::beta_inc_inv(a, b, p, true).x;
}

double pf_upper(double x, double d1, double d2, bool log_p) {
    if (is_nan(x) || f_invalid(d1, d2)) return kNaN;
    if (x <= 0) return one_or_zero(log_p);
    if (is_pinf(x)) return zero_or_ninf(log_p);
    if (is_pinf(d1) && is_pinf(d2)) {
        if (x > 1) return zero_or_ninf(log_p);
        if (x < 1) return one_or_zero(log_p);
        return value_or_log(kHalf, log_p);
    }
    // d1 F tends to a chi-squared variable with d1 degrees of freedom; F to
    // an inverse gamma variable of shape and scale d2/2.
    if (is_pinf(d2)) return pchisq_upper(x * d1, d1, log_p);
    if (is_pinf(d1)) return pinvgamma_upper(x, kHalf * d2, kHalf * d2, log_p);
    const accurate::DD l = f_log_upper_dd(x, d1, d2, nullptr);
    return log_p ? l.hi + l.lo : accurate::exp_dd(l);
}

double qf_upper(double p, double d1, double d2) {
    if (f_invalid(d1, d2) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    if (p == 0) return kInf;
    if (p == 1) return 0;
    if (is_pinf(d1) && is_pinf(d2)) return 1;
    if (is_pinf(d2)) return qchisq_upper(p, d1) / d1;
    if (is_pinf(d1)) return qinvgamma_upper(p, kHalf * d2, kHalf * d2);
    const accurate::BetaPoint pt = accurate::beta_inc_inv(kHalf * d1, kHalf * d2, p, true);
    // x = (d2/d1) u/v for the point (u, v) of the incomplete beta function.
    double x;
    if (pt.x_small ? pt.x < 0x1p-900 : pt.y < 0x1p-900) {
        const double l = pt.x_small ? pt.log_small - accurate::log(pt.y) : accurate::log(pt.x) - pt.log_small;
        x = accurate::exp((l + accurate::log(d2)) - accurate::log(d1));
    } else {
        x = ((pt.x / pt.y) * d2) / d1;
    }
    return polish_quantile(x, accurate::log(p),
                           [d1, d2](double s, double* log_pref) { return f_log_upper(s, d1, d2, log_pref); });
}

double pbinom_upper(std::int64_t x, std::int64_t n_trials, double prob, bool log_p) {
    if (binom_invalid(n_trials, prob)) return kNaN;
    if (x < 0) return one_or_zero(log_p);
    if (x >= n_trials) return zero_or_ninf(log_p);
    if (prob == 0) return zero_or_ninf(log_p);
    if (prob == 1) return one_or_zero(log_p);
    return binom_upper(x, n_trials, prob, log_p);
}

// The least x with P(X > x) <= p: a start from the normal approximation with
// its skewness correction, then steps doubling away from it until the answer
// is bracketed, then bisection; the tails are compared in log space.
double qbinom_upper(double p, std::int64_t n_trials, double prob) {
    if (is_nan(prob) || is_inf(prob) || prob > 1 || prob < 0 || n_trials < 0 || p > 1 || p < 0 || is_nan(p)) {
        return kNaN;
    }
    const std::int64_t n = n_trials;
    if (n == 0 || prob == 0 || p == 1) return 0;
    if (prob == 1 || p == 0) return static_cast<double>(n);
    const double lp = accurate::log(p);
    // meets(x): P(X > x) <= p; true from n on, false below 0.
    auto meets = [n, prob, lp](std::int64_t x) { return x >= n || (x >= 0 && binom_upper(x, n, prob, true) <= lp); };

    const double nd = static_cast<double>(n);
    const double z = rough_normal_upper_quantile(p);
    const double sd = std::sqrt((nd * prob) * (1 - prob));
    double start = ((nd * prob + z * sd) + ((1 - 2 * prob) * (z * z - 1)) / 6) - kHalf;
    if (!(start > 0)) start = 0;
    if (start > nd - 1) start = nd - 1;
    std::int64_t x0 = static_cast<std::int64_t>(start);

    std::int64_t lo, hi;  // !meets(lo), meets(hi); lo = -1 and hi = n stand for the ends
    std::int64_t step = 1;
    if (meets(x0)) {
        hi = x0;
        lo = x0 - 1;
        while (lo >= 0 && meets(lo)) {
            hi = lo;
            lo = lo - step;
            step += step;
        }
        if (lo < -1) lo = -1;
    } else {
        lo = x0;
        hi = x0 + 1;
        while (hi < n && !meets(hi)) {
            lo = hi;
            hi = hi + step;
            step += step;
        }
        if (hi > n) hi = n;
    }
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (meets(mid)) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return static_cast<double>(hi);
}

}  // namespace zorvana
