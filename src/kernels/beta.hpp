// Log-beta, the regularized incomplete beta function I_x(a, b) and its inverse in x.
#pragma once

namespace zorvana {

double math_lbeta(double a, double b);
double math_beta_i(double a, double b, double x);
double math_beta_i_inv(double a, double b, double p);

}  // namespace zorvana
