// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double math_expm1(double /*u*/) { return kNaN; }
double math_log1p(double /*u*/) { return kNaN; }

}  // namespace zorvana
