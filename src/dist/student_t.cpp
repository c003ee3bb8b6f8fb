// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dt(double /*x*/, double /*dof*/, bool /*log*/) { return kNaN; }
double pt(double /*x*/, double /*dof*/, bool /*log_p*/) { return kNaN; }
double qt(double /*p*/, double /*dof*/) { return kNaN; }

}  // namespace zorvana
