// Log-gamma, the regularized lower incomplete gamma function P(a, x), the
// Poisson partial sum and the inverse of P in x.
#pragma once

#include <cstdint>

namespace zorvana {

double math_lgamma(double x);
// math_lgamma(x), remembered per thread for the last few x: for shapes.
double math_lgamma_param(double x);
double math_gamma_p(double a, double x);
// For a >= eps and x >= eps, neither NaN: whether math_gamma_p(a, x) is the
// quadrature, and then its window [lb, ub], outside which the mass is dropped
// (elsewhere a continued fraction gives P over all of [0, x]).
bool gamma_p_window(double a, double x, double& lb, double& ub);
// Whether math_gamma_p(a, x) (same domain) covers all of [0, x] but for mass
// below e^-exponent: it drops the mass below its window's lower end lb, at
// most e^-(a (u - 1 - ln u)) with u = lb / a (Chernoff's bound on the gamma
// distribution's lower tail), and must reach x.
bool gamma_p_whole(double a, double x, double exponent);
double math_poisson_sum(std::int64_t n, double x);
double math_gamma_p_inv(double a, double p);

}  // namespace zorvana
