// Binomial distribution: the mass from log-gamma values, the distribution
// function as a sum of masses, and the quantile by a search over those sums.
#include "dist/distributions.hpp"
#include "dist/flags.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

bool binom_invalid(std::int64_t n, double prob) { return is_nan(prob) || prob > 1 || prob < 0 || n < 0; }

// Masses at x, x - 1, ..., 0 summed in that order (the mass at x first).
// Requires 0 <= x < n.
double binom_partial_sum(std::int64_t x, std::int64_t n, double prob) {
    double s = dbinom(x, n, prob, false);
    for (std::int64_t k = x - 1; k >= 0; --k) s = s + dbinom(k, n, prob, false);
    return s;
}

}  // namespace

double dbinom(std::int64_t x, std::int64_t n, double prob, bool log) {
    if (binom_invalid(n, prob)) return kNaN;
    if (x < 0 || x > n) return zero_or_ninf(log);
    if (n == 1) return log_of_value(x == 0 ? 1 - prob : prob, log);
    if (n == 0) return log_of_value(1.0, log);
    const double nd = static_cast<double>(n);
    const double xd = static_cast<double>(x);
    double y;
    if (x == 0) {
        y = math_log(1 - prob) * nd;
    } else if (x == n) {
        y = math_log(prob) * nd;
    } else {
        const double log_choose = math_lgamma(nd + 1) - (math_lgamma((nd - xd) + 1) + math_lgamma(xd + 1));
        y = (log_choose + math_log(prob) * xd) + math_log(1 - prob) * static_cast<double>(n - x);
    }
    return log_domain(y, log);
}

double pbinom(std::int64_t x, std::int64_t n, double prob, bool log_p) {
    if (binom_invalid(n, prob)) return kNaN;
    if (x < 0) return zero_or_ninf(log_p);
    if (x >= n) return one_or_zero(log_p);
    const double v = n == 1 ? 1 - prob : binom_partial_sum(x, n, prob);
    return log_of_value(clamp_probability(v), log_p);
}

double qbinom(double p, std::int64_t n, double prob) {
    if (is_nan(prob) || is_inf(prob) || prob > 1 || prob < 0 || n < 0 || p > 1 || p < 0 || is_nan(p)) {
        return kNaN;
    }
    if (p == 0) return 0;
    if (p == 1) return static_cast<double>(n);
    if (n == 1) return p <= 1 - prob ? 0.0 : 1.0;
    // With prob = 1 every mass below n is 0 (its logarithm holds
    // log(1 - prob) = -inf), so no partial sum below n reaches p.
    if (prob == 1) return static_cast<double>(n);

    // The least i whose partial sum reaches p, each sum recomputed from the
    // mass at i down. When the new mass is absorbed by the previous one
    // (m_i + m_(i-1) == m_(i-1), as for a mass that is exactly 0), the
    // recomputed sum repeats the previous sum operation for operation, so the
    // previous sum is reused: the answer is the same, and a tail of
    // negligible masses costs one mass per step instead of a whole sum.
    double previous_mass = 0;
    double previous_sum = 0;
    for (std::int64_t i = 0;; ++i) {
        if (i >= n) return static_cast<double>(i);
        const double mass = dbinom(i, n, prob, false);
        const double sum = (i > 0 && mass + previous_mass == previous_mass) ? previous_sum
                                                                            : binom_partial_sum(i, n, prob);
        if (sum >= p) return static_cast<double>(i);
        previous_mass = mass;
        previous_sum = sum;
    }
}

}  // namespace zorvana
