// The last step of a quantile on the upper-tail path: one Newton step on
// ln Q(x) = ln p in ln x, for tails whose slope is d ln Q / d ln x =
// -exp(ln prefactor - ln Q) (the F and t tails through the incomplete beta
// function). It moves a quantile found within a few ulp, which the change of
// variable cost, to within rounding.
#pragma once

#include "accurate/elementary.hpp"

namespace zorvana {

// tail(x, &log_pref) returns ln Q(x) and sets log_pref.
template <class Tail>
double polish_quantile(double x, double log_p, Tail tail) {
    if (!(x > 0) || !(x < 1.7976931348623157e308)) return x;
    double log_pref = 0;
    const double lq = tail(x, &log_pref);
    const double d = (lq - log_p) / accurate::exp(log_pref - lq);
    if (!(d > -0x1p-30 && d < 0x1p-30)) return x;  // only the last bits are at stake
    return x + x * d;
}

}  // namespace zorvana
