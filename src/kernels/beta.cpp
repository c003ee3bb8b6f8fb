// PLACEHOLDER: not yet implemented; every kernel returns NaN.
#include "kernels/beta.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double math_lbeta(double /*a*/, double /*b*/) { return kNaN; }
double math_beta_i(double /*a*/, double /*b*/, double /*x*/) { return kNaN; }
double math_beta_i_inv(double /*a*/, double /*b*/, double /*p*/) { return kNaN; }

}  // namespace zorvana
