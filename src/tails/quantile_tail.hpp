// The probability a quantile is asked for, restated as its smaller tail.
//
// A q-function's p (or log p) with its lower_tail flag names one tail; the
// quantile is computed from whichever tail is at most 1/2, where that tail
// is known to full relative precision: p itself, or 1 - p (exact for
// p >= 1/2), or from log p, e^lp or -expm1(lp). The log of the small tail is
// kept exact where it was given (it may lie far below the logarithm of the
// smallest double).
#pragma once

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

struct SmallTail {
    bool upper;     // the small tail is P(X > x); false: P(X <= x)
    bool zero;      // it is exactly 0: the quantile is an end of the support
    double s;       // the tail, <= 1/2 (0 where it underflows)
    double given;   // its log where it was given as one (log_p), else NaN

    // ln s, in double-double.
    accurate::DD log_s() const {
        if (!is_nan(given)) return accurate::DD{given, 0.0};
        return accurate::log_dd(s);
    }
};

// false where p (or log p) is no probability: NaN, outside [0, 1], or a log above 0.
inline bool small_tail(double p, bool lower_tail, bool log_p, SmallTail& t) {
    constexpr double kLn2 = 0.69314718055994530942;
    if (!log_p) {
        if (!(p >= 0 && p <= 1)) return false;
        if (p <= 0.5) {
            t = SmallTail{!lower_tail, p == 0, p, kNaN};
        } else {
            const double q = 1.0 - p;  // exact
            t = SmallTail{lower_tail, q == 0, q, kNaN};
        }
        return true;
    }
    if (!(p <= 0)) return false;
    if (p < -kLn2) {
        t = SmallTail{!lower_tail, is_ninf(p), accurate::exp(p), p};
    } else {
        const double q = -accurate::expm1(p);
        t = SmallTail{lower_tail, q == 0, q, kNaN};
    }
    return true;
}

}  // namespace zorvana
