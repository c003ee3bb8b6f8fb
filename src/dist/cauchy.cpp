// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dcauchy(double /*x*/, double /*mu*/, double /*sigma*/, bool /*log*/) { return kNaN; }
double pcauchy(double /*x*/, double /*mu*/, double /*sigma*/, bool /*log_p*/) { return kNaN; }
double qcauchy(double /*p*/, double /*mu*/, double /*sigma*/) { return kNaN; }

}  // namespace zorvana
