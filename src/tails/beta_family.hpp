// What the accurate functions of the beta, F, binomial and t distributions
// share: probabilities taken on their smaller side, the guards of log_p, and
// the last Newton step of a continuous quantile.
#pragma once

#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace beta_family {

constexpr double kLn2 = 0.6931471805599453;

inline double zero_or_ninf(bool log_p) { return log_p ? -kInf : 0.0; }
inline double one_or_zero(bool log_p) { return log_p ? 0.0 : 1.0; }
inline double value_or_log(double v, bool log_p) { return log_p ? accurate::log(v) : v; }

// p (its logarithm with log_p) outside [0, 1], or NaN.
inline bool probability_invalid(double p, bool log_p) { return is_nan(p) || (log_p ? p > 0 : (p < 0 || p > 1)); }
inline bool probability_zero(double p, bool log_p) { return log_p ? is_ninf(p) : p == 0; }
inline bool probability_one(double p, bool log_p) { return log_p ? p == 0 : p == 1; }
// p itself (it may underflow to 0 from a log).
inline double probability(double p, bool log_p) { return log_p ? accurate::exp(p) : p; }

// A probability on one side of the distribution as the logarithm of the
// smaller side's (at most ln(1/2)): above 1/2 the other side's 1 - p is
// exact (or -expm1 of the log), so the quantile keeps the precision of the
// small tail wherever p is near 1.
struct Target {
    double lq;   // ln of the probability on the side below
    bool upper;  // the upper tail P(X > x), or the lower P(X <= x)
};
inline Target smaller_side(double p, bool lower_tail, bool log_p) {
    const double lp = log_p ? p : accurate::log(p);
    if (lp > -kLn2) {
        const double lq = log_p ? accurate::log(-accurate::expm1(p)) : accurate::log(1 - p);
        return {lq, lower_tail};
    }
    return {lp, !lower_tail};
}

// One Newton step on ln T(x) = lq in ln x, for a tail T of the given side
// whose slope is d ln T / d ln x = -+exp(ln prefactor - ln T): it moves a
// quantile found within a few ulp, which a change of variable cost, to
// within rounding. tail(x, &log_pref) returns ln T(x) and sets log_pref.
template <class Tail>
double polish_side(double x, double lq, bool upper, Tail tail) {
    if (!(x > 0) || !(x < 1.7976931348623157e308)) return x;
    double log_pref = 0;
    const double lt = tail(x, &log_pref);
    const double slope = accurate::exp(log_pref - lt);
    const double d = upper ? (lt - lq) / slope : (lq - lt) / slope;
    if (!(d > -0x1p-30 && d < 0x1p-30)) return x;  // only the last bits are at stake
    return x + x * d;
}

}  // namespace beta_family
}  // namespace zorvana
