// PLACEHOLDER: not yet implemented; every kernel returns NaN.
#include "kernels/erf.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double math_erf(double /*x*/) { return kNaN; }
ext math_erf_ext(ext /*x*/) { return kNaN; }
double math_erf_inv(double /*p*/) { return kNaN; }

}  // namespace zorvana
