// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dnorm(double /*x*/, double /*mu*/, double /*sigma*/, bool /*log*/) { return kNaN; }
double pnorm(double /*x*/, double /*mu*/, double /*sigma*/, bool /*log_p*/) { return kNaN; }
double qnorm(double /*p*/, double /*mu*/, double /*sigma*/) { return kNaN; }

}  // namespace zorvana
