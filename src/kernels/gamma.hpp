// Log-gamma, the regularized lower incomplete gamma function P(a, x), the
// Poisson partial sum and the inverse of P in x.
#pragma once

#include <cstdint>

namespace zorvana {

double math_lgamma(double x);
// math_lgamma(x), remembered per thread for the last few x: for shapes.
double math_lgamma_param(double x);
double math_gamma_p(double a, double x);
double math_poisson_sum(std::int64_t n, double x);
double math_gamma_p_inv(double a, double p);

}  // namespace zorvana
