// The regularized incomplete beta function of the accurate functions (both
// tails of the beta, F, binomial and t distributions).
//
// A point of the unit interval is passed as x and y = 1 - x. Of the two, the
// smaller is taken as exact and the larger as its exact complement (only
// the smaller carries its full relative precision into the result), so a
// caller forms the smaller directly: t^2/(nu + t^2) rather than
// 1 - nu/(nu + t^2). Shapes are positive and finite; degenerate shapes and
// points outside (0, 1) are the callers' business.
#pragma once

#include "accurate/double_double.hpp"

namespace zorvana {
namespace accurate {

// I_x(a, b) (upper = false) or its complement 1 - I_x(a, b) = I_y(b, a)
// (upper = true); with log_p, its natural logarithm, finite wherever the
// value is positive, also far below the smallest double. log_prefactor, when
// given, receives ln(x^a y^b / B(a, b)) (for 0 < x < 1), from which the
// slope of the tail follows: d ln I / d ln x = x^a y^b / (B(a, b) y I).
// small_lo, when given, is what the smaller of x and y lost in its rounding
// (the point is then s + small_lo and its complement).
double beta_inc(double a, double b, double x, double y, bool upper, bool log_p, double* log_prefactor = nullptr,
                double small_lo = 0.0);

// The logarithm of beta_inc as a double-double (its low part is 0 where the
// value is not small), for callers that scale the value: f e^l keeps the
// last bits that a logarithm rounded to double would lose in the deep tails.
// log_wanted: the logarithm itself is the result, so a value near 1 keeps
// the relative precision of its complement in its logarithm (at some cost).
DD log_beta_inc_dd(double a, double b, double x, double y, bool upper, double* log_prefactor = nullptr,
                   double small_lo = 0.0, bool log_wanted = false);

// log I_x(a, b) for x given by its logarithm, x below 2^-900 (it may have
// underflowed): x^a / (a B(a, b)) to double precision.
double log_beta_inc_tiny(double a, double b, double log_x);
// The same with log x a double-double (a point far below the smallest
// double raised to a large power keeps its last bits).
DD log_beta_inc_tiny_dd(double a, double b, DD log_x);

// ln(x^a y^b / B(a, b)) for a point as in beta_inc (0 < x < 1), about
// 2^-100 relative in the exponent for large shapes.
DD log_beta_prefactor(double a, double b, double x, double y, double small_lo = 0.0);

// ln B(a, b), a, b > 0.
double log_beta(double a, double b);

// The inverse: the point where I_x(a, b) = p (upper = false) or
// 1 - I_x(a, b) = p (upper = true), 0 < p < 1. x_small tells which of x and
// y is the smaller (and exact); log_small is its logarithm, finite also
// when it has underflowed to 0.
struct BetaPoint {
    double x, y;
    bool x_small;
    double log_small;
    double small_lo;      // the smaller's remainder below its double (split_point)
    double log_small_lo;  // log_small's remainder where split_point formed it from logarithms
    double slope;         // beta_inc_inv: d ln H / d ln(x/y) of the tail H asked for, at the last
                          // point evaluated (NaN where none was)
};
BetaPoint beta_inc_inv(double a, double b, double p, bool upper);
// The same for p given by its logarithm lp <= ln(1/2) (p may lie far below
// the smallest double).
BetaPoint beta_inc_inv_log(double a, double b, double lp, bool upper);

// The point x = P/(P + Q), y = Q/(P + Q) for P = p1 p2 and Q = q1 q2 (all
// positive and finite), each within about an ulp; log_small is set where the
// smaller is below e^-620 (it may have underflowed), NaN elsewhere.
BetaPoint split_point(double p1, double p2, double q1, double q2);

}  // namespace accurate
}  // namespace zorvana
