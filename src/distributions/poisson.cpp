// Poisson distribution with mean rate lambda, on the counts 0, 1, 2, ...
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "distributions/interrupt.hpp"
#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"
#include "kernels/platform.hpp"
#include "kernels/precision.hpp"
#include "kernels/prefetch.hpp"
#include "tails/tails.hpp"

namespace zorvana {
namespace {

// The distribution function sums the mass directly only up to this count and
// this rate; beyond either it uses the incomplete gamma function.
constexpr std::int64_t kLargestSummedCount = 15;
constexpr double kLargestSummedRate = 10;
// From this rate on the quantile search starts below a normal approximation.
constexpr double kNormalStartRate = 11;
constexpr double kNormalStartOffset = 3;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kInvSqrt2 = 0.7071067811865476;
// A quantile search that has walked this many counts one by one switches to
// galloping and bisection over the counts.
constexpr std::int64_t kLinearSearchSteps = 10000;
constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max();

// count + 1 as a double, without overflowing the 64-bit count.
double count_plus_one(std::int64_t count) {
    return static_cast<double>(static_cast<std::uint64_t>(count) + 1u);
}

// Incomplete gamma values of the distribution function remembered per
// thread: slots chosen by a hash of the count and the rate's bits.
constexpr int kRememberedBits = 10;

struct RememberedGamma {
    std::uint64_t rate_bits;
    std::uint64_t count_key;  // count + 1: 0 marks an empty slot
    double value;
};

#ifndef ZORVANA_PLAIN_LOOPS
RememberedGamma& remembered_slot(std::int64_t count, double rate) {
    thread_local RememberedGamma remembered[1 << kRememberedBits] = {};
    std::uint64_t bits;
    std::memcpy(&bits, &rate, sizeof bits);
    const std::uint64_t mix = (static_cast<std::uint64_t>(count) * 0x9E3779B97F4A7C15ull) ^
                              ((bits ^ (bits >> 29)) * 0xC2B2AE3D27D4EB4Full);
    return remembered[mix >> (64 - kRememberedBits)];
}

bool is_remembered(const RememberedGamma& slot, std::int64_t count, double rate) {
    std::uint64_t bits;
    std::memcpy(&bits, &rate, sizeof bits);
    return slot.count_key == static_cast<std::uint64_t>(count) + 1u && slot.rate_bits == bits;
}
#endif

// P(count + 1, rate) for a count of at least 0: quantile searches and draws
// at one rate ask for the same counts again and again; each value is
// remembered by its exact arguments (the plain loops remember nothing).
double gamma_term(std::int64_t count, double rate) {
#ifndef ZORVANA_PLAIN_LOOPS
    RememberedGamma& slot = remembered_slot(count, rate);
    if (is_remembered(slot, count, rate)) return slot.value;
    const double value = math_gamma_p(count_plus_one(count), rate);
    std::uint64_t bits;
    std::memcpy(&bits, &rate, sizeof bits);
    slot = RememberedGamma{bits, static_cast<std::uint64_t>(count) + 1u, value};
    return value;
#else
    return math_gamma_p(count_plus_one(count), rate);
#endif
}

// P(X <= count) for 0 <= count and 0 <= rate < inf, as computed, not clamped.
double poisson_cdf(std::int64_t count, double rate) {
    if (count > kLargestSummedCount || rate > kLargestSummedRate) {
        return 1 - gamma_term(count, rate);
    }
    return math_exp(-rate) * math_poisson_sum(count, rate);
}

#ifndef ZORVANA_PLAIN_LOOPS
// A search at a rate met afresh asks whether F(count) > p at a few counts,
// each F a 50-point quadrature (or a continued fraction) of its own. The
// answer is first taken from an accurate value of what that kernel
// integrates: up to the rate below, the two differ by less than a
// thousandth of the margin (the kernel's rounding grows with the rate's
// magnitude; the tests measure the gap), so wherever the accurate value is
// farther from p than the margin, F lies on the same side of p. A p within
// the margin takes F itself. Searches at a rate seen before use the
// remembered values instead.
constexpr double kDecidedRateMax = kQpoisDecidedRateMax;
constexpr std::int64_t kDecidedCountMax = std::int64_t{1} << 31;
constexpr double kDecidedMargin = 0x1p-18;
// Mass the kernel's window drops below e^-18 (1.5e-8) is far below the
// margin: the accurate value is then the Poisson distribution function
// itself.
constexpr double kNegligibleExponent = 18;

#define POISSON_OUT_OF_LINE ZV_NOINLINE

// The rate of the thread's previous quantile search that asked for an
// incomplete gamma value (NaN: none yet).
thread_local double previous_search_rate = kNaN;
#endif

// P(X <= count) for one rate, evaluated at many counts: the factor e^-rate of
// the summed branch is taken once.
class PoissonCdf {
public:
    // may_decide: comparisons may be decided ahead, if the rate is met afresh.
    explicit PoissonCdf(double rate, bool may_decide = false)
        : rate_(rate), exp_neg_rate_(rate > kLargestSummedRate ? 0.0 : math_exp(-rate)), may_decide_(may_decide) {}

    double operator()(std::int64_t count) const {
#ifdef ZORVANA_PLAIN_LOOPS
        return poisson_cdf(count, rate_);
#else
        if (count > kLargestSummedCount || rate_ > kLargestSummedRate) {
            return 1 - gamma_term(count, rate_);
        }
        return exp_neg_rate_ * math_poisson_sum(count, rate_);
#endif
    }

    // Whether (*this)(count) > p, for p in [0, 1].
    bool above(std::int64_t count, double p) {
#ifndef ZORVANA_PLAIN_LOOPS
        if (may_decide_ && count <= kDecidedCountMax && (count > kLargestSummedCount || rate_ > kLargestSummedRate)) {
            const int side = decided_side(count, p);
            if (side >= 0) return side == 1;
        }
#endif
        return (*this)(count) > p;
    }

#ifndef ZORVANA_PLAIN_LOOPS
    // ppois_integrated(count, rate), to far within the margin. Where the
    // kernel's window drops no mass that counts, that is the Poisson
    // distribution function, and a search's next count adds its mass to the
    // value before (the mass from the one before: a walk's few steps add
    // rounding far below the margin).
    double integrated(std::int64_t count) {
        const double a = count_plus_one(count);
        if (!gamma_p_whole(a, rate_, kNegligibleExponent)) {
            chained_ = -1;
            return ppois_integrated(count, rate_);
        }
        if (chained_ >= 0 && count == chained_ + 1) {
            mass_ = mass_ * rate_ / static_cast<double>(count);
            chained_cdf_ = chained_cdf_ + mass_;
        } else {
            chained_cdf_ = accurate::gamma_q(a, rate_);
            mass_ = accurate::exp((static_cast<double>(count) * accurate::log(rate_) - rate_) - accurate::lgamma(a));
        }
        chained_ = count;
        return chained_cdf_;
    }

private:
    // 1 where the accurate value settles that the kernel's is above p, 0
    // where it settles that it is not, -1 where the kernel must tell (out of
    // line: the searches that never get here keep their loops tight).
    POISSON_OUT_OF_LINE int decided_side(std::int64_t count, double p) {
        if (!afresh() || is_remembered(remembered_slot(count, rate_), count, rate_)) return -1;
        const double gap = integrated(count) - p;
        if (gap > kDecidedMargin) return 1;
        if (gap < -kDecidedMargin) return 0;
        return -1;
    }

    // Whether the thread's previous search asked at another rate (settled on
    // the first question, which this search then records).
    bool afresh() {
        if (afresh_ < 0) {
            afresh_ = rate_ == previous_search_rate ? 0 : 1;
            previous_search_rate = rate_;
        }
        return afresh_ == 1;
    }

    std::int64_t chained_ = -1;  // the count of chained_cdf_ (-1: none)
    double chained_cdf_ = 0, mass_ = 0;
    int afresh_ = -1;  // -1: not yet settled
#endif
    double rate_;
    double exp_neg_rate_;
    bool may_decide_;
};

#ifndef ZORVANA_PLAIN_LOOPS
// The normal start's count from an estimate of its inverse error function
// (see erf_inv_estimate): false where the start value may lie within the
// estimate's reach of a whole count, whose truncation it would then not know.
bool estimated_start(double p, double rate, std::int64_t& start) {
    double bound;
    const double z = erf_inv_estimate((p + p) - 1, bound);
    if (!(bound < 1)) return false;
    const double scale = std::sqrt(rate) * kSqrt2;
    const double g = z * scale + rate;
    const double v = g - kNormalStartOffset;
    // g's own roundings, those of g - 3 and those of the two square roots
    // (the kernel's within a few units of the correctly rounded one) are
    // below 2^-48 of g and rate.
    const double reach = bound * scale + 0x1p-48 * (abs0(g) + rate);
    if (v + reach < 1) {
        start = 0;
        return true;
    }
    if (!(v - reach >= 1) || v >= 0x1p62) return false;
    const auto whole = static_cast<std::int64_t>(v);
    if (!(v - static_cast<double>(whole) > reach && static_cast<double>(whole + 1) - v > reach)) return false;
    start = whole;
    return true;
}
#endif

// Truncation toward zero of a start value, held within [0, kMaxCount].
std::int64_t start_count(double g) {
    const double v = g - kNormalStartOffset;
    if (!(v > 0)) return 0;
    if (v >= 0x1p63) return kMaxCount;
    return static_cast<std::int64_t>(v);
}

// The least count c > lo with cdf(c) > p, given cdf(lo) <= p: the distances
// double from kLinearSearchSteps until a count passes p, then the bracket is
// halved. The counts end at kMaxCount; if even that one does not pass p, the
// answer is the next count, 2^63.
double least_count_beyond(std::int64_t lo, double p, PoissonCdf& cdf) {
    std::int64_t step = kLinearSearchSteps;
    std::int64_t hi;
    for (;;) {
        hi = lo > kMaxCount - step ? kMaxCount : lo + step;
        if (cdf.above(hi, p)) break;
        if (hi == kMaxCount) return 0x1p63;
        lo = hi;
        if (step <= kMaxCount / 2) step += step;
    }
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (cdf.above(mid, p)) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return static_cast<double>(hi);
}

}  // namespace

double erf_inv_estimate(double x, double& bound) {
    bound = kInf;
    // (within eps of +-1 the kernel's value is +-inf)
    if (!(1 - abs0(x) >= kEps)) return kNaN;
    // erf(z) = x where the normal upper tail at z sqrt(2) is (1 - |x|) / 2
    // (1 - |x| exact from |x| = 1/2 on, below that within 2^-53 of it).
    const double y = qnorm_upper((1 - abs0(x)) * 0.5, 0.0, 1.0) * kInvSqrt2;
    // The kernel's erf is within about 1e-11 of the true one up to 2.1
    // (its continued fraction's depth; the Halley steps near there may take
    // either form), within half a unit of x beyond (a unit of x moves the
    // inverse by about 2^-53 e^(z^2)); the bounds stand two hundred times
    // above the largest distances the tests measure.
    if (y < 2.2) {
        bound = 0x1p-26;
    } else if (y < 6) {
        bound = accurate::exp(y * y) * 0x1p-46 + 0x1p-46 * y;
    }
    return x < 0 ? -y : y;
}

double ppois_integrated(std::int64_t count, double rate) {
    const double a = count_plus_one(count);
    double lb, ub;
    if (!gamma_p_window(a, rate, lb, ub)) return accurate::gamma_q(a, rate);
    return accurate::gamma_q(a, ub) + (lb > 0 ? accurate::gamma_p(a, lb) : 0.0);
}

double ppois_walked(std::int64_t from, std::int64_t count, double rate) {
#ifndef ZORVANA_PLAIN_LOOPS
    PoissonCdf cdf(rate, true);
    for (std::int64_t c = from; c < count; ++c) cdf.integrated(c);
    return cdf.integrated(count);
#else
    (void)from;
    return ppois_integrated(count, rate);
#endif
}

double dpois(std::int64_t x, double rate, bool log) {
    if (rate < 0 || is_nan(rate)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (rate == 0) return x == 0 ? one_or_zero(log) : zero_or_ninf(log);
    if (is_pinf(rate)) return zero_or_ninf(log);
    // A rate below eps has log -inf; at count 0 the factor rate^0 is 1.
    const double y = (log_power(math_log(rate), static_cast<double>(x)) - rate) - math_lgamma(count_plus_one(x));
    return log_domain(y, log);
}

double ppois(std::int64_t x, double rate, bool log_p) {
    if (rate < 0 || is_nan(rate)) return kNaN;
    if (x < 0 || is_pinf(rate)) return zero_or_ninf(log_p);
    return log_of_value(clamp_probability(poisson_cdf(x, rate)), log_p);
}

// The least count i with P(X <= i) > p.
double qpois(double p, double rate) {
    if (rate < 0 || is_nan(rate) || !(p >= 0 && p <= 1)) return kNaN;
    if (p == 0 || rate < kEps) return 0.0;
    if (p == 1) return kInf;
    // With an infinite mean every count has probability 0 of being reached:
    // the limit of the quantile is +inf.
    if (is_pinf(rate)) return kInf;

#ifdef ZORVANA_PLAIN_LOOPS
    PoissonCdf cdf(rate);
#else
    PoissonCdf cdf(rate, rate <= kDecidedRateMax);
#endif
    std::int64_t start = 0;
    if (rate >= kNormalStartRate) {
        bool estimated = false;
#ifndef ZORVANA_PLAIN_LOOPS
        // Up to rate kDecidedRateMax the start's count comes from an estimate
        // of the inverse error function where that settles it (and where
        // a caller has not computed the function itself ahead).
        double ahead;
        if (rate <= kDecidedRateMax && !prefetched(Prefetch::erf_inv, 0.0, (p + p) - 1, ahead)) {
            estimated = estimated_start(p, rate, start);
        }
#endif
        if (!estimated) {
            const double sigma = math_sqrt(rate);
            const double g = math_erf_inv((p + p) - 1) * (sigma * kSqrt2) + rate;
            // Counts beyond the 64-bit range: the normal start itself is the
            // answer, its error far below the spacing of the doubles there.
            if (g - kNormalStartOffset >= 0x1p63) return g - kNormalStartOffset;
            start = start_count(g);
        }
        // p < F(start): the count below the start.
        if (cdf.above(start, p)) return start > 0 ? static_cast<double>(start - 1) : 0.0;
    }

    // Walk up from the start; a walk that grows long (the normal start failed,
    // for p so small that (p + p) - 1 rounds to -1) is finished by bisection.
    std::int64_t i = start;
    std::int64_t walked = 0;
#ifndef ZORVANA_PLAIN_LOOPS
    // After a normal start the first step's F(start) has just been found
    // not above p.
    if (rate >= kNormalStartRate) {
        if (i == kMaxCount) return 0x1p63;
        ++i;
        ++walked;
    }
#endif
    for (; walked < kLinearSearchSteps; ++walked) {
        if ((walked & 255) == 0 && interrupt_requested()) return kNaN;
        if (cdf.above(i, p)) return static_cast<double>(i);
        if (i == kMaxCount) return 0x1p63;
        ++i;
    }
    return least_count_beyond(i - 1, p, cdf);
}

}  // namespace zorvana
