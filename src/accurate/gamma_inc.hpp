// Accurate regularized incomplete gamma ratios and their inverses, for the
// upper-tail path.
//
//   P(a, x) = gamma(a, x) / Gamma(a),  Q(a, x) = Gamma(a, x) / Gamma(a) = 1 - P.
//
// Whichever of P and Q is at most about one half is computed directly (a
// power series, a continued fraction, a Taylor form for small shapes, or the
// uniform asymptotic expansion for large shapes near the mean) and the other
// as its complement, so both are accurate to relative error near 1e-15 all
// the way down to the subnormals. The logarithms are formed in log space:
// finite wherever the ratio is positive, however far below the smallest
// double. Only the accurate elementary kernels and IEEE operations are used,
// in a fixed order.
#pragma once

#include "accurate/double_double.hpp"

namespace zorvana {
namespace accurate {

// For a > 0 (finite) and x >= 0 (x = +inf allowed); NaN for any other input.
// The ratios are taken at x + dx: dx, at most a unit in the last place of x,
// is what a caller's scaling of its argument rounded away (the remainder of
// the quotient), entered to first order where the ratio is sensitive to it.
double gamma_p(double a, double x, double dx = 0);
double gamma_q(double a, double x, double dx = 0);
double log_gamma_p(double a, double x, double dx = 0);
double log_gamma_q(double a, double x, double dx = 0);

// The x >= 0 with Q(a, x) = q (gamma_q_inv) or P(a, x) = p (gamma_p_inv), for
// a > 0 (finite) and a probability in [0, 1]; NaN otherwise. Q = 0 and P = 1
// give +inf, Q = 1 and P = 0 give 0. Newton steps on the logarithm of the
// smaller ratio, kept inside a bracket of the root. Where a unit in the last
// place of x moves the ratio by more than about 2e-13 relative, the result is
// the double whose ratio is nearest. If elasticity is given it receives
// |d log R / d log x| at the result (R the ratio at most 1/2), NaN where
// none was computed.
double gamma_q_inv(double a, double q, double* elasticity = nullptr);
double gamma_p_inv(double a, double p, double* elasticity = nullptr);

// Below this logarithm of x the ratios are their leading terms in x (see
// gamma_ratio_tiny_x): x = e^kTinyLogX is below 2^-1000.
constexpr double kTinyLogX = -700;

// The ratio (Q if want_q, else P; its logarithm if log_r) at an x below
// 2^-1000 given by its logarithm (a double-double): a caller's quotient that
// would underflow or lose bits to the subnormals.
double gamma_ratio_tiny_x(double a, DD log_x, bool want_q, bool log_r);

// log(x^a e^-x / Gamma(a)) as a double-double (with over_x, that divided by
// x: the standard gamma density), for a > 0 and 0 < x < inf (finite); and
// the same at an x below e^kTinyLogX given by its logarithm, where e^-x is 1.
DD log_gamma_density(double a, double x, bool over_x);
DD log_gamma_density_tiny_x(double a, DD log_x, bool over_x);

// The x with R(a, x) = t (R = Q if want_q, else P) for a target 0 <= t <= 1/2
// given by its logarithm, a double-double (-inf for t = 0), as gamma_q_inv
// and gamma_p_inv.
double gamma_inv(double a, DD log_t, bool want_q, double* elasticity = nullptr);

// Where that root lies below e^kTinyLogX: true, and its logarithm in *log_x
// (from the leading term, exact to a few units in its last place); false
// where the root is above (then gamma_inv finds it).
bool gamma_inv_log_tiny(double a, DD log_t, bool want_q, DD* log_x);

}  // namespace accurate
}  // namespace zorvana
