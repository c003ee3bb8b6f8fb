// Kernels shared by the accurate discrete families (negative binomial,
// geometric, hypergeometric): the deviance against a mean given in
// double-double, and the log of the geometric tail q^t.
#pragma once

#include "accurate/double_double.hpp"

namespace zorvana {
namespace accurate {

// x ln(x / m) + m - x for x >= 0 and m > 0 given as a double-double (a mean
// such as n p that a double would round), to about 2^-100 relative.
DD deviance_dd(double x, DD m);

// m as a double-double: a b / c for integers below 2^53 (c > 0).
DD ratio_dd(double a, double b, double c);

// ln(1 - p) for 0 <= p < 1, as a double-double.
DD log1m_dd(double p);

}  // namespace accurate
}  // namespace zorvana
