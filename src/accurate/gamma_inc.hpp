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
// place of x moves the ratio by more than about 1e-14 relative, the result is
// the double whose ratio is nearest. If elasticity is given it receives
// |d log R / d log x| at the result (R the ratio at most 1/2), NaN where
// none was computed.
double gamma_q_inv(double a, double q, double* elasticity = nullptr);
double gamma_p_inv(double a, double p, double* elasticity = nullptr);

}  // namespace accurate
}  // namespace zorvana
