// Safeguard for quantiles computed by an iteration: the iterate is kept when
// the distribution function confirms it, otherwise the quantile is found by
// bisection over the doubles themselves.
#pragma once

#include <cstdint>
#include <cstring>

#include "kernels/precision.hpp"

namespace zorvana {

// Order-preserving map of doubles onto unsigned integers: x < y exactly when
// key(x) < key(y); -0 sits just below +0. NaN is never passed.
inline std::uint64_t double_order_key(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    constexpr std::uint64_t sign = 0x8000000000000000ULL;
    return (bits & sign) ? ~bits : (bits | sign);
}

inline double double_from_order_key(std::uint64_t key) {
    constexpr std::uint64_t sign = 0x8000000000000000ULL;
    std::uint64_t bits = (key & sign) ? (key & ~sign) : ~key;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Bisection over the doubles of [lo, hi] for the least x with cdf(x) >= p,
// one evaluation at a time: while !done(), evaluate cdf at mid() and pass
// whether it reached p to step(); then result() is the answer.
class DoubleBisection {
   public:
    DoubleBisection() = default;
    DoubleBisection(double lo, double hi) : below_(double_order_key(lo)), above_(double_order_key(hi)) {}
    bool done() const { return above_ - below_ <= 1; }
    double mid() const { return double_from_order_key(mid_key()); }
    void step(bool reached) { (reached ? above_ : below_) = mid_key(); }
    double result() const { return double_from_order_key(above_); }

   private:
    std::uint64_t mid_key() const { return below_ + (above_ - below_) / 2; }
    std::uint64_t below_ = 0, above_ = 0;
};

// The least double x in [lo, hi] with cdf(x) >= p, by bisection over the
// doubles (at most 64 evaluations). cdf(hi) >= p is taken for granted; a NaN
// value of cdf counts as below p.
template <class Cdf>
double least_double_reaching(double p, Cdf cdf, double lo, double hi) {
    if (cdf(lo) >= p) return lo;
    DoubleBisection b(lo, hi);
    while (!b.done()) b.step(cdf(b.mid()) >= p);
    return b.result();
}

// A bisection that a caller runs itself, for many quantiles at once: while a
// thread's deferral is set, checked_quantile records its bisection there and
// returns NaN instead of running it (see module/lane_batches.hpp).
struct DeferredBisection {
    bool pending;
    double p, lo, hi;
};
inline thread_local DeferredBisection* deferred_bisection = nullptr;

// Relative tolerance on F(x) - p within which an iterated quantile is kept,
// scaled by the smaller tail probability, plus an absolute floor.
constexpr double kQuantileRelTol = 1e-3;
constexpr double kQuantileAbsTol = 1e-15;

// An iterated quantile x for probability p (0 < p < 1) is kept when it lies in
// the support [lo, hi] and either cdf(x) is NaN or |cdf(x) - p| is within
// tolerance; otherwise the least double in [lo, hi] with cdf >= p replaces it.
// (Outside the support cdf is 0 or 1, which the absolute floor of the
// tolerance would accept for p near 2^-52.)
template <class Cdf>
double checked_quantile(double x, double p, Cdf cdf, double lo, double hi) {
    if (lo <= x && x <= hi) {
        const double f = cdf(x);
        const double tail = p < 1 - p ? p : 1 - p;
        if (is_nan(f) || abs0(f - p) <= kQuantileRelTol * tail + kQuantileAbsTol) return x;
    }
    if (DeferredBisection* d = deferred_bisection) {
        *d = DeferredBisection{true, p, lo, hi};
        return kNaN;
    }
    return least_double_reaching(p, cdf, lo, hi);
}

}  // namespace zorvana
