// PLACEHOLDER: not yet implemented; every kernel returns NaN.
#include "kernels/gamma.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double math_lgamma(double /*x*/) { return kNaN; }
double math_gamma_p(double /*a*/, double /*x*/) { return kNaN; }
double math_poisson_sum(std::int64_t /*n*/, double /*x*/) { return kNaN; }
double math_gamma_p_inv(double /*a*/, double /*p*/) { return kNaN; }

}  // namespace zorvana
