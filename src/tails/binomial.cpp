// The accurate mass, distribution and quantile functions of the binomial
// distribution: P(X > x) = I_prob(x + 1, n - x) and its complement from the
// incomplete beta function of the accurate kernels (no sum over the masses:
// the cost does not grow with n), the mass from the same prefactor.
#include <cmath>
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/beta_family.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace beta_family;

namespace {

constexpr double kHalf = 0.5;

bool binom_invalid(std::int64_t n, double prob) { return is_nan(prob) || prob > 1 || prob < 0 || n < 0; }

// ln P(X > x) (upper) or ln P(X <= x) for 0 <= x < n, 0 < prob < 1; with
// log_mass, ln P(X = x) too: the prefactor prob^(x+1) q^(n-x)/B(x + 1, n - x)
// over prob (n - x).
double binom_log_tail(std::int64_t x, std::int64_t n, double prob, bool upper, double* log_mass = nullptr) {
    double log_pref = 0;
    const accurate::DD l = accurate::log_beta_inc_dd(static_cast<double>(x) + 1, static_cast<double>(n - x), prob,
                                                     1 - prob, !upper, log_mass ? &log_pref : nullptr);
    if (log_mass) *log_mass = (log_pref - accurate::log(prob)) - accurate::log(static_cast<double>(n - x));
    return l.hi + l.lo;
}

// The upper quantile z of the standard normal to about 4e-4 (Abramowitz
// and Stegun 26.2.23) for a probability given by its logarithm lq <=
// ln(1/2): a start for the search.
double rough_normal_upper_quantile(double lq) {
    const double w = std::sqrt(-2 * lq);
    return w - (2.515517 + (0.802853 + 0.010328 * w) * w) / (1 + (1.432788 + (0.189269 + 0.001308 * w) * w) * w);
}

}  // namespace

double dbinom_accurate(std::int64_t x, std::int64_t n_trials, double prob, bool log) {
    if (binom_invalid(n_trials, prob)) return kNaN;
    if (x < 0 || x > n_trials) return zero_or_ninf(log);
    if (prob == 0 || prob == 1) return x == (prob == 0 ? 0 : n_trials) ? one_or_zero(log) : zero_or_ninf(log);
    const double nd = static_cast<double>(n_trials);
    const accurate::DD log_q = prob > kHalf ? accurate::log_dd(1 - prob) : accurate::log1p_dd(-prob);
    accurate::DD l;
    if (x == 0) {
        l = accurate::dd_mul(log_q, nd);
    } else if (x == n_trials) {
        l = accurate::dd_mul(accurate::log_dd(prob), nd);
    } else {
        // prob^(x+1) q^(n-x)/B(x + 1, n - x) = C(n, x) (n - x) prob^(x+1) q^(n-x)
        const double b = static_cast<double>(n_trials - x);
        l = accurate::log_beta_prefactor(static_cast<double>(x) + 1, b, prob, 1 - prob);
        l = accurate::dd_sub(accurate::dd_sub(l, accurate::log_dd(prob)), accurate::log_dd(b));
    }
    return log ? l.hi + l.lo : accurate::exp_dd(l);
}

double pbinom_accurate(std::int64_t x, std::int64_t n_trials, double prob, bool log_p, bool lower_tail) {
    if (binom_invalid(n_trials, prob)) return kNaN;
    // P(X <= x) = 0 below the support and for prob = 1 below n; 1 from n on
    // and for prob = 0.
    if (x < 0 || (prob == 1 && x < n_trials)) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (x >= n_trials || prob == 0) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    return accurate::beta_inc(static_cast<double>(x) + 1, static_cast<double>(n_trials - x), prob, 1 - prob, lower_tail,
                              log_p);
}

// The least x with P(X <= x) >= p (lower tail) or P(X > x) <= p: a start
// from the normal approximation with its skewness correction, then secant
// steps on the log tail over the integers, safeguarded by bisection; the
// tails are compared in log space on the smaller side of p.
double qbinom_accurate(double p, std::int64_t n_trials, double prob, bool lower_tail, bool log_p) {
    if (is_nan(prob) || is_inf(prob) || prob > 1 || prob < 0 || n_trials < 0 || probability_invalid(p, log_p)) {
        return kNaN;
    }
    const std::int64_t n = n_trials;
    const double nd = static_cast<double>(n);
    if (lower_tail) {
        if (probability_zero(p, log_p) || n == 0 || prob == 0) return 0;
        if (prob == 1 || probability_one(p, log_p)) return nd;
    } else {
        if (probability_one(p, log_p) || n == 0 || prob == 0) return 0;
        if (prob == 1 || probability_zero(p, log_p)) return nd;
    }
    const Target t = smaller_side(p, lower_tail, log_p);
    // h(x) >= 0 exactly where x meets the condition: P(X > x) <= q (upper
    // side) or P(X <= x) >= q, compared in logarithms; h rises with x.
    // h(x), and h(x - 1) in *below from the same evaluation where it is
    // well conditioned: P(X > x - 1) = P(X > x) + P(X = x), P(X <= x - 1) =
    // P(X <= x) - P(X = x) where the mass is at most half of it (NaN
    // elsewhere).
    auto h = [n, prob, &t](std::int64_t x, double* below) {
        double lm;
        const double l = binom_log_tail(x, n, prob, t.upper, &lm);
        *below = kNaN;
        if (x >= 1 && lm == lm) {
            const double r = accurate::exp(lm - l);  // mass over tail
            if (t.upper) {
                *below = t.lq - (l + accurate::log1p(r));
            } else if (r <= kHalf) {
                *below = (l + accurate::log1p(-r)) - t.lq;
            }
        }
        return t.upper ? t.lq - l : l - t.lq;
    };

    const double zq = rough_normal_upper_quantile(t.lq);
    const double z = t.upper ? zq : -zq;
    const double sd = std::sqrt((nd * prob) * (1 - prob));
    double start = ((nd * prob + z * sd) + ((1 - 2 * prob) * (z * z - 1)) / 6) - kHalf;
    if (!(start > 0)) start = 0;
    if (start > nd - 1) start = nd - 1;

    // The answer is the least x in [lo + 1, hi] with h(x) >= 0 (lo = -1 and
    // hi = n stand for the ends, where the condition fails and holds). Each
    // count evaluated narrows that range; the next is the integer above the
    // secant's root through the last two (the neighbour of the first), or the
    // middle where the range has not halved in three steps.
    std::int64_t lo = -1, hi = n;
    std::int64_t c = static_cast<std::int64_t>(start);
    std::int64_t prev = 0;
    double h_prev = 0;
    bool have_prev = false;
    int slow = 0;
    std::int64_t width = hi - lo;
    while (hi - lo > 1) {
        double h_below;
        const double hc = h(c, &h_below);
        if (hc >= 0) {
            hi = c;
            // the count below, decided within a margin above the rounding
            if (c - 1 > lo && h_below < -0x1p-40 * (1 + accurate::fabs_(t.lq))) lo = c - 1;
            if (c - 1 > lo && h_below > 0x1p-40 * (1 + accurate::fabs_(t.lq))) hi = c - 1;
        } else {
            lo = c;
        }
        if (hi - lo <= 1) break;
        if (2 * (hi - lo) <= width) {
            width = hi - lo;
            slow = 0;
        } else {
            ++slow;
        }
        std::int64_t next;
        double xr = kNaN;
        if (have_prev && hc != h_prev) {
            const double xc = static_cast<double>(c);
            xr = xc - hc * ((xc - static_cast<double>(prev)) / (hc - h_prev));
        }
        if (slow >= 3 || (have_prev && !(xr == xr))) {
            next = lo + (hi - lo) / 2;
            slow = 0;
            width = hi - lo;
        } else if (!have_prev) {
            next = hc >= 0 ? c - 1 : c + 1;
        } else {
            // ceil(xr) within [lo + 1, hi - 1]
            const double cl = xr < static_cast<double>(lo) + 1 ? static_cast<double>(lo) + 1
                              : xr > static_cast<double>(hi) - 1 ? static_cast<double>(hi) - 1 : xr;
            next = static_cast<std::int64_t>(cl);
            if (static_cast<double>(next) < cl) ++next;
        }
        if (next <= lo) next = lo + 1;
        if (next >= hi) next = hi - 1;
        prev = c;
        h_prev = hc;
        have_prev = true;
        c = next;
    }
    return static_cast<double>(hi);
}

double pbinom_upper(std::int64_t x, std::int64_t n_trials, double prob, bool log_p) {
    return pbinom_accurate(x, n_trials, prob, log_p, false);
}
double qbinom_upper(double p, std::int64_t n_trials, double prob) {
    return qbinom_accurate(p, n_trials, prob, false, false);
}

}  // namespace zorvana
