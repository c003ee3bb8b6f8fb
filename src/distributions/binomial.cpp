// Binomial distribution: the mass from log-gamma values, the distribution
// function as a sum of masses, and the quantile by a search over those sums.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

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

// The log-mass at 0 < x < n from the pieces that depend on n and prob only:
// lgamma(n + 1), log(prob) and log(1 - prob).
double binom_inner_log_mass(std::int64_t x, std::int64_t n, double lgamma_n1, double log_p, double log_q) {
    const double nd = static_cast<double>(n);
    const double xd = static_cast<double>(x);
    const double log_choose = lgamma_n1 - (math_lgamma((nd - xd) + 1) + math_lgamma(xd + 1));
    return (log_choose + log_p * xd) + log_q * static_cast<double>(n - x);
}

// The plain masses of one distribution with n >= 2, each bit for bit
// dbinom(x, n, prob, false), its parameter-only logarithms taken once.
class BinomMasses {
public:
    BinomMasses(std::int64_t n, double prob)
        : n_(n),
          nd_(static_cast<double>(n)),
          lgamma_n1_(math_lgamma(nd_ + 1)),
          log_p_(math_log(prob)),
          log_q_(math_log(1 - prob)) {}

    // 0 <= x <= n
    double operator()(std::int64_t x) const {
        if (x == 0) return math_exp(log_q_ * nd_);
        if (x == n_) return math_exp(log_p_ * nd_);
        return math_exp(binom_inner_log_mass(x, n_, lgamma_n1_, log_p_, log_q_));
    }

private:
    std::int64_t n_;
    double nd_, lgamma_n1_, log_p_, log_q_;
};

// Masses at x, x - 1, ..., 0 summed in that order (the mass at x first).
// Requires 0 <= x < n and n >= 2.
double binom_partial_sum(std::int64_t x, const BinomMasses& mass) {
    double s = mass(x);
    for (std::int64_t k = x - 1; k >= 0; --k) {
        s = s + mass(k);
        if ((k & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
    }
    return s;
}

#ifndef ZORVANA_PLAIN_LOOPS

// The masses of the distribution this thread summed last, from count 0 up
// (at most kMemoMasses of them), with the largest mass and the ascending sum
// up to each: an array call repeats (n, prob) for every element. A search
// holds the vectors while it runs and hands them back when it ends.
struct MassMemo {
    std::int64_t n = -1;  // -1: nothing kept
    std::uint64_t prob_bits = 0;
    std::vector<double> masses, largest_up_to, ascending;
};
thread_local MassMemo mass_memo;
constexpr std::size_t kMemoMasses = 1 << 14;
// Masses are dropped from this many stored on (see drop_below).
constexpr std::size_t kMinDrop = 1 << 16;

std::uint64_t bits_of(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The partial sums S(i) = (((m_i + m_(i-1)) + m_(i-2)) + ... + m_0) over
// masses computed once each, in ascending order, beside the ascending sums
// T(i) = ((m_0 + m_1) + ...) + m_i.
//
// A sum stops adding once the running value r is at least 2^-960 and no mass
// still to come exceeds r * 2^-54, which is below half the spacing of the
// doubles above r: every such addition rounds back to r (and r only grows),
// so the rest of the sum is r itself. Masses far below every partial sum the
// search can still ask for are therefore never read again, and are dropped.
class PartialSums {
public:
    PartialSums(std::int64_t n, double prob) : n_(n), prob_(prob), prob_bits_(bits_of(prob)) {
        MassMemo& memo = mass_memo;
        if (memo.n != n || memo.prob_bits != prob_bits_) {
            memo.masses.clear();
            memo.largest_up_to.clear();
            memo.ascending.clear();
        }
        memo.n = -1;
        masses_.swap(memo.masses);
        largest_up_to_.swap(memo.largest_up_to);
        ascending_.swap(memo.ascending);
        if (!masses_.empty()) {
            largest_ = largest_up_to_.back();
            ascending_sum_ = ascending_.back();
        }
    }

    // Keeps the masses from count 0 for the next search on the same (n, prob).
    ~PartialSums() {
        if (first_ != 0) return;
        if (masses_.size() > kMemoMasses) {  // keep the first ones, and no more room than they need
            for (std::vector<double>* v : {&masses_, &largest_up_to_, &ascending_}) {
                std::vector<double>(v->begin(), v->begin() + kMemoMasses).swap(*v);
            }
        }
        MassMemo& memo = mass_memo;
        memo.masses.swap(masses_);
        memo.largest_up_to.swap(largest_up_to_);
        memo.ascending.swap(ascending_);
        memo.n = n_;
        memo.prob_bits = prob_bits_;
    }

    PartialSums(const PartialSums&) = delete;
    PartialSums& operator=(const PartialSums&) = delete;

    std::int64_t computed() const { return first_ + static_cast<std::int64_t>(masses_.size()); }

    // Computes the next mass.
    void extend() {
        if (!mass_) mass_.emplace(n_, prob_);  // not needed while the memo serves
        const double m = (*mass_)(computed());
        if (m > largest_) largest_ = m;
        ascending_sum_ += m;
        masses_.push_back(m);
        largest_up_to_.push_back(largest_);
        ascending_.push_back(ascending_sum_);
    }

    // T(i) for i below computed(), not below any count passed to drop_below.
    double ascending(std::int64_t i) const { return ascending_[static_cast<std::size_t>(i - first_)]; }

    // S(i), likewise.
    double sum(std::int64_t i) const {
        std::size_t k = static_cast<std::size_t>(i - first_);
        double r = masses_[k];
        while (k > 0) {
            --k;
            if (r >= 0x1p-960 && largest_up_to_[k] <= r * 0x1p-54) break;
            r = r + masses_[k];
        }
        return r;
    }

    // Every later sum is S(i) with i >= top: the masses at counts up to top
    // are all in it, and its running value has reached their largest before
    // it comes to lower counts. Drops the masses below the highest count d
    // at which that largest value already stops the sum (d itself is kept,
    // the sum stops there). Runs when the stored masses have doubled since
    // the last time, so its cost is a constant per mass.
    void drop_below(std::int64_t top) {
        if (masses_.size() < next_drop_) return;
        double above = 0;
        for (std::int64_t d = top - 1; d >= first_; --d) {
            const std::size_t k = static_cast<std::size_t>(d - first_);
            if (masses_[k + 1] > above) above = masses_[k + 1];
            if (above >= 0x1p-960 && largest_up_to_[k] <= above * 0x1p-54) {
                masses_.erase(masses_.begin(), masses_.begin() + k);
                largest_up_to_.erase(largest_up_to_.begin(), largest_up_to_.begin() + k);
                ascending_.erase(ascending_.begin(), ascending_.begin() + k);
                first_ = d;
                break;
            }
        }
        next_drop_ = 2 * masses_.size() > kMinDrop ? 2 * masses_.size() : kMinDrop;
    }

private:
    std::optional<BinomMasses> mass_;
    std::int64_t n_;
    double prob_;
    std::uint64_t prob_bits_;
    std::int64_t first_ = 0;             // count of masses_[0]
    std::vector<double> masses_;         // m_first, m_(first+1), ...
    std::vector<double> largest_up_to_;  // max(m_0, ..., m_k) beside m_k
    std::vector<double> ascending_;      // T(k) beside m_k
    double largest_ = 0;
    double ascending_sum_ = 0;
    std::size_t next_drop_ = kMinDrop;
};

// The least i < n with S(i) >= p, or n when there is none (n >= 2,
// 0 < p < 1). S is non-decreasing in i, rounding included (the masses are
// >= 0, so m_i + m_(i-1) rounds to at least m_(i-1), and every later
// rounded addition is monotone in its running value), so the least such i
// is found by any search that brackets it.
//
// The ascending sum T(i) = m_0 + ... + m_i guides the search. Both S(i) and
// T(i) add the same i + 1 non-negative terms, so each lies within a factor
// 1 +- gamma_i (gamma_i = i u / (1 - i u), u = 2^-53) of their exact sum, and
// S(i) <= T(i) / (1 - 2 i u). Hence T(i) < p (1 - (4 i + 8) u), p rounded
// product included, proves S(i) < p; the first i where that proof fails
// starts an exact search: S at i, i + 1, i + 3, i + 7, ... until one reaches
// p, then bisection. Usually the first S checked already reaches p, so the
// masses computed are those up to the answer.
double least_count_reaching(double p, std::int64_t n, double prob) {
    PartialSums sums(n, prob);
    std::int64_t i = 0;
    for (;; ++i) {
        if (i == n) return static_cast<double>(n);
        if ((i & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
        if (i == sums.computed()) sums.extend();
        const double ascending = sums.ascending(i);
        // A subnormal p would round p * (1 - ...) by more than the margin.
        const double margin = i < (std::int64_t{1} << 48) ? static_cast<double>(4 * i + 8) * 0x1p-53 : 1.0;
        const double proven_below = p >= 0x1p-1000 ? p * (1 - margin) : 0.0;
        if (!(ascending < proven_below)) break;
        sums.drop_below(i);
    }
    std::int64_t below = i - 1;  // S(below) < p (below = -1: none)
    std::int64_t above = i;
    std::int64_t step = 1;
    while (!(sums.sum(above) >= p)) {
        below = above;
        if (above == n - 1) return static_cast<double>(n);
        above = above < n - 1 - step ? above + step : n - 1;
        if (step < (std::int64_t{1} << 61)) step += step;
        while (sums.computed() <= above) {
            if ((sums.computed() & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
            sums.extend();
        }
        sums.drop_below(below + 1);
    }
    // S(below) < p <= S(above)
    while (above - below > 1) {
        const std::int64_t mid = below + (above - below) / 2;
        if (sums.sum(mid) >= p) {
            above = mid;
        } else {
            below = mid;
        }
    }
    return static_cast<double>(above);
}

// S(x) for 0 <= x < n: from the masses of the memo, extended as far as x
// when that stays within its size; otherwise summed from the top down.
double partial_sum(std::int64_t x, std::int64_t n, double prob) {
    if (static_cast<std::uint64_t>(x) >= kMemoMasses) return binom_partial_sum(x, BinomMasses(n, prob));
    PartialSums sums(n, prob);
    while (sums.computed() <= x) {
        if ((sums.computed() & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
        sums.extend();
    }
    return sums.sum(x);
}

#else

double partial_sum(std::int64_t x, std::int64_t n, double prob) {
    return binom_partial_sum(x, BinomMasses(n, prob));
}

#endif

}  // namespace

double dbinom(std::int64_t x, std::int64_t n, double prob, bool log) {
    if (binom_invalid(n, prob)) return kNaN;
    if (x < 0 || x > n) return zero_or_ninf(log);
    if (n == 1) return log_of_value(x == 0 ? 1 - prob : prob, log);
    if (n == 0) return log_of_value(1.0, log);
    const double nd = static_cast<double>(n);
    double y;
    if (x == 0) {
        y = math_log(1 - prob) * nd;
    } else if (x == n) {
        y = math_log(prob) * nd;
    } else {
        y = binom_inner_log_mass(x, n, math_lgamma(nd + 1), math_log(prob), math_log(1 - prob));
    }
    return log_domain(y, log);
}

double pbinom(std::int64_t x, std::int64_t n, double prob, bool log_p) {
    if (binom_invalid(n, prob)) return kNaN;
    if (x < 0) return zero_or_ninf(log_p);
    if (x >= n) return one_or_zero(log_p);
    const double v = n == 1 ? 1 - prob : partial_sum(x, n, prob);
    return log_of_value(clamp_probability(v), log_p);
}

// The least i with F(i) >= p, F(i) being the partial sum of pbinom (1 from n on).
double qbinom(double p, std::int64_t n, double prob) {
    if (is_nan(prob) || is_inf(prob) || prob > 1 || prob < 0 || n < 0 || p > 1 || p < 0 || is_nan(p)) {
        return kNaN;
    }
    if (p == 0) return 0;
    if (p == 1) return static_cast<double>(n);
    if (n == 1) return p <= 1 - prob ? 0.0 : 1.0;
    // F(0) = 1 when n = 0. With prob = 1 every mass below n is 0 (its
    // logarithm holds log(1 - prob) = -inf), so no partial sum below n reaches p.
    if (n == 0 || prob == 1) return static_cast<double>(n);
#ifdef ZORVANA_PLAIN_LOOPS
    const BinomMasses mass(n, prob);
    for (std::int64_t i = 0; i < n; ++i) {
        if ((i & kInterruptMask) == 0 && interrupt_requested()) return kNaN;
        if (binom_partial_sum(i, mass) >= p) return static_cast<double>(i);
    }
    return static_cast<double>(n);
#else
    return least_count_reaching(p, n, prob);
#endif
}

}  // namespace zorvana
