// The negative binomial and geometric distributions: failures before the
// n-th (first) success, each trial a success with probability prob.
//
// The mass is the Stirling form of Gamma(n + x) / (Gamma(n) x!) p^n q^x with
// the deviances of n and x from their shares of T = n + x (T p and T q held
// in double-double, so they add up to T as the identity needs); the tails
// are the incomplete beta function, P(X <= x) = I_p(n, x + 1); the
// geometric tail is q^(x + 1) itself.
#include <cmath>
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/discrete.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/discrete_quantile.hpp"
#include "tails/discrete.hpp"

namespace zorvana {

namespace {

constexpr double kLn2Pi = 1.8378770664093454836;
constexpr double kLn2 = 0.69314718055994530942;

double zero_or_ninf(bool log) { return log ? -kInf : 0.0; }
double one_or_zero(bool log) { return log ? 0.0 : 1.0; }
double from_log(accurate::DD l, bool log) { return log ? l.hi + l.lo : accurate::exp_dd(l); }

bool prob_invalid(double prob) { return !(prob > 0 && prob <= 1); }  // NaN too
bool nbinom_invalid(double n, double prob) { return !(n > 0) || is_pinf(n) || prob_invalid(prob); }

// ln P(X = x) for x >= 1, 0 < prob < 1.
accurate::DD nbinom_log_mass(double x, double n, double prob) {
    using namespace accurate;
    const DD t = two_sum(n, x);
    const DD q = two_sum(1.0, -prob);
    const DD dev = dd_add(deviance_dd(n, dd_mul(t, prob)), deviance_dd(x, dd_mul(t, q)));
    const double lt = log(t.hi) + t.lo / t.hi;
    const double rest = (lgamma_correction(t.hi) - lgamma_correction(x) - lgamma_correction(n)) +
                        0.5 * (((log(n) - kLn2Pi) - log(x)) - lt);
    return dd_add(dd_neg(dev), rest);
}

// ln(1 - prob) in double-double, kept per thread for the last prob (a
// value of prob alone: the same bits whether kept or computed).
accurate::DD geom_log_q(double prob) {
    thread_local double last_prob = kNaN;
    thread_local accurate::DD last{kNaN, kNaN};
    if (prob != last_prob) {
        last = accurate::log1m_dd(prob);
        last_prob = prob;
    }
    return last;
}

// ln P(X > x) of the geometric distribution: (x + 1) ln(1 - prob).
accurate::DD geom_log_upper(std::int64_t x, double prob) {
    return accurate::dd_mul(geom_log_q(prob), static_cast<double>(x) + 1);
}

}  // namespace

double dnbinom_accurate(std::int64_t x, double n_successes, double prob, bool log) {
    if (nbinom_invalid(n_successes, prob)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (prob == 1) return x == 0 ? one_or_zero(log) : zero_or_ninf(log);
    if (x == 0) return from_log(accurate::dd_mul(accurate::log_dd(prob), n_successes), log);
    return from_log(nbinom_log_mass(static_cast<double>(x), n_successes, prob), log);
}

double pnbinom_accurate(std::int64_t x, double n_successes, double prob, bool log_p, bool lower_tail) {
    if (nbinom_invalid(n_successes, prob)) return kNaN;
    if (x < 0) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (prob == 1) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    return accurate::beta_inc(n_successes, static_cast<double>(x) + 1, prob, 1 - prob, !lower_tail, log_p);
}

double qnbinom_accurate(double p, double n_successes, double prob, bool lower_tail, bool log_p) {
    if (nbinom_invalid(n_successes, prob)) return kNaN;
    SmallTail t;
    if (!small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (prob == 1) return 0;
    double start = 0;
    if (!t.zero) {
        // Cornish-Fisher from the mean, the standard deviation and the skewness.
        const double z = rough_normal_quantile(t);
        const double nq = n_successes * (1 - prob);
        const double sd = std::sqrt(nq) / prob;
        const double skew = (2 - prob) / std::sqrt(nq);
        start = (nq / prob + sd * (z + skew * (z * z - 1) / 6)) - 0.5;
    }
    return discrete_quantile(p, lower_tail, log_p, 0, kNoEnd, start, [=](std::int64_t x) {
        return pnbinom_accurate(x, n_successes, prob, log_p, lower_tail);
    });
}

double dgeom_accurate(std::int64_t x, double prob, bool log) {
    if (prob_invalid(prob)) return kNaN;
    if (x < 0) return zero_or_ninf(log);
    if (prob == 1) return x == 0 ? one_or_zero(log) : zero_or_ninf(log);
    using namespace accurate;
    return from_log(dd_add(log_dd(prob), dd_mul(geom_log_q(prob), static_cast<double>(x))), log);
}

double pgeom_accurate(std::int64_t x, double prob, bool log_p, bool lower_tail) {
    if (prob_invalid(prob)) return kNaN;
    if (x < 0) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (prob == 1) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    const accurate::DD u = geom_log_upper(x, prob);
    if (!lower_tail) return from_log(u, log_p);
    const double l = u.hi + u.lo;
    if (!log_p) return -accurate::expm1(l);
    return l > -kLn2 ? accurate::log(-accurate::expm1(l)) : accurate::log1p(-accurate::exp(l));
}

double qgeom_accurate(double p, double prob, bool lower_tail, bool log_p) {
    if (prob_invalid(prob)) return kNaN;
    SmallTail t;
    if (!small_tail(p, lower_tail, log_p, t)) return kNaN;
    if (prob == 1) return 0;
    double start = 0;
    if (!t.zero) {
        // The upper tail q^(x + 1) solved for x.
        const double lq = geom_log_q(prob).hi;
        const double lu = t.upper ? t.log_s().hi : accurate::log1p(-t.s);
        start = lu / lq - 1;
    }
    return discrete_quantile(p, lower_tail, log_p, 0, kNoEnd, start,
                             [=](std::int64_t x) { return pgeom_accurate(x, prob, log_p, lower_tail); });
}

}  // namespace zorvana
