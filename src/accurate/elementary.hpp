// Accurate elementary kernels for the upper-tail path.
//
// These are not the kernels the lower-tail functions use (kernels/), whose
// values are fixed by their own arithmetic; these aim at the true value:
// each is within a few ulp of the exact result over its whole domain,
// including subnormal results, and is computed by a fixed sequence of
// double operations (no platform maths library, no fused operations), so it
// gives the same bits on every machine.
#pragma once

#include "accurate/double_double.hpp"

namespace zorvana {
namespace accurate {

double exp(double x);        // e^x
double expm1(double x);      // e^x - 1
double log(double x);        // natural logarithm, x > 0 (0 -> -inf, x < 0 -> NaN)
double log1p(double x);      // log(1 + x), x > -1
double log1pmx(double x);    // log(1 + x) - x, without cancellation near 0
double pow(double x, double y);  // x^y for x > 0

// ln Gamma(x) for x > 0.
double lgamma(double x);
// ln Gamma(1 + a) for a > -1, with a's full relative precision near 0 and 1
// (where 1 + a rounded would lose it).
double lgamma1p(double a);
// The Stirling remainder: ln Gamma(x) - ((x - 1/2) ln x - x + ln(2 pi)/2), x > 0.
double lgamma_correction(double x);
// x ln(x / m) + m - x >= 0, without cancellation when x is near m (x, m > 0).
double deviance(double x, double m);

// Error function, complementary error function, and e^(x^2) erfc(x) (finite
// for all x >= 0).
double erf(double x);
double erfc(double x);
double erfcx(double x);

// Arctangent.
double atan(double x);

// Building blocks for the upper tails, in double-double where the caller
// needs more than a double's precision of an intermediate value.
DD log_dd(double x);           // log x for finite x > 0, about 2^-70 relative
DD log1p_dd(double x);         // log(1 + x) for finite x > -1
double exp_dd(DD x);           // e^(x.hi + x.lo)
DD exp_as_dd(DD x);            // e^(x.hi + x.lo) as a double-double, -708 <= x.hi <= 709
double exp_mul(DD x, double f);  // f e^(x.hi + x.lo), |f| <= 2^60, rounded once at the end
                                 // (no premature underflow when e^x alone is subnormal)
DD atan_dd(double x);          // atan x
// a ln(a/m) + m - a as a double-double where a and m are close,
// |a - m| < (a + m)/10 (a, m > 0, below 2^1000), by the series in
// v = (a - m)/(a + m): (a - m) v + 2a (v^3/3 + v^5/5 + ...), whose first term
// carries all but a tenth of the value (a - m is exact there).
DD deviance_near_dd(double a, double m);

}  // namespace accurate
}  // namespace zorvana
