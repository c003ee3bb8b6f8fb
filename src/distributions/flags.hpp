// The two ways a log flag is applied, and the small value rules every
// distribution function shares.
#pragma once

#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

// Log-domain: y is a log-density; the plain density is math_exp(y).
inline double log_domain(double y, bool log) { return log ? y : math_exp(y); }

// Log of value: v is the plain value; its logarithm is math_log(v), which is
// -inf for every v below eps.
inline double log_of_value(double v, bool log) { return log ? math_log(v) : v; }

// The limits "0 / -inf" and "1 / 0", returned without a math_log call.
inline double zero_or_ninf(bool log) { return log ? -kInf : 0.0; }
inline double one_or_zero(bool log) { return log ? 0.0 : 1.0; }

// A probability computed by a truncated series or a quadrature can stray a
// few units outside [0, 1]; it is brought back before any log flag. NaN stays NaN.
inline double clamp_probability(double v) { return v < 0 ? 0.0 : (v > 1 ? 1.0 : v); }

// log(v) * exponent inside a log-density. When v is below eps its logarithm
// is -inf; with an exponent of exactly 0 the factor is v^0 = 1, so the
// product is taken as 0 rather than the NaN of -inf * 0.
inline double log_power(double log_v, double exponent) {
    return (exponent == 0 && is_ninf(log_v)) ? 0.0 : log_v * exponent;
}

}  // namespace zorvana
