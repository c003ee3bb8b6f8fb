// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dchisq(double /*x*/, double /*dof*/, bool /*log*/) { return kNaN; }
double pchisq(double /*x*/, double /*dof*/, bool /*log_p*/) { return kNaN; }
double qchisq(double /*p*/, double /*dof*/) { return kNaN; }

}  // namespace zorvana
