// Binomial distribution: the mass from log-gamma values, the distribution
// function as a sum of masses, and the quantile by a search over those sums.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/interrupt.hpp"
#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

// Masses between two looks for a Ctrl-C in the linear loops (well under a
// millisecond of work).
constexpr std::int64_t kInterruptMask = 4095;

bool binom_invalid(std::int64_t n, double prob) { return is_nan(prob) || prob > 1 || prob < 0 || n < 0; }

// Masses at x, x - 1, ..., 0 summed in that order (the mass at x first).
// Requires 0 <= x < n.
double binom_partial_sum(std::int64_t x, std::int64_t n, double prob) {
    double s = dbinom(x, n, prob, false);
    for (std::int64_t k = x - 1; k >= 0; --k) {
        s = s + dbinom(k, n, prob, false);
        if ((k & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
    }
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

    // The answer is the least i with F(i) >= p, F(i) being the partial sum
    // S(i) = (((m_i + m_(i-1)) + m_(i-2)) + ... + m_0) recomputed from the mass
    // at i down (and 1 from n on). Two exact facts make a faster search give
    // that same i:
    // - S is non-decreasing in i, rounding included: the masses are >= 0, so
    //   m_i + m_(i-1) rounds to at least m_(i-1), and every later rounded
    //   addition is monotone in its running sum.
    // - When m_i + m_(i-1) == m_(i-1) (the new mass is absorbed, as a mass of
    //   exactly 0 always is), S(i) repeats S(i-1) operation for operation.
    //   Call i a base when it is 0 or its mass is not absorbed; S is constant
    //   from one base to the next, so only sums at bases need computing.
    // The masses are scanned once in ascending order; the sum at the latest
    // base is computed only when the scan has doubled the last index known to
    // stay below p, and a bracket is closed by bisection. The cost is a few
    // times i log i masses instead of the i^2 / 2 of recomputing every sum.
    const auto reaches = [&](std::int64_t i) { return binom_partial_sum(i, n, prob) >= p; };
    const auto bisect = [&](std::int64_t below, std::int64_t above) {
        // S(below) < p <= S(above)
        while (above - below > 1) {
            const std::int64_t mid = below + (above - below) / 2;
            if (reaches(mid)) {
                above = mid;
            } else {
                below = mid;
            }
        }
        return static_cast<double>(above);
    };
    std::int64_t known_below = -1;  // largest base known to have S < p
    std::int64_t base = -1;         // latest base of the scan
    std::int64_t base_before = -1;  // the base before it
    double previous_mass = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        if ((i & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
        const double mass = dbinom(i, n, prob, false);
        if (i == 0 || mass + previous_mass != previous_mass) {
            base_before = base;
            base = i;
        }
        previous_mass = mass;
        // i >= 2 * known_below + 1, written without overflow
        if (base > known_below && i - known_below > known_below) {
            if (reaches(base)) {
                // S is constant from base_before up to base - 1.
                return base_before == known_below ? static_cast<double>(base) : bisect(known_below, base);
            }
            known_below = base;
        }
    }
    // No partial sum checked so far reaches p; the last base decides.
    if (base > known_below && reaches(base)) {
        return base_before == known_below ? static_cast<double>(base) : bisect(known_below, base);
    }
    return static_cast<double>(n);
}

}  // namespace zorvana
