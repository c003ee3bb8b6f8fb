// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dbeta(double /*x*/, double /*a*/, double /*b*/, bool /*log*/) { return kNaN; }
double pbeta(double /*x*/, double /*a*/, double /*b*/, bool /*log_p*/) { return kNaN; }
double qbeta(double /*p*/, double /*a*/, double /*b*/) { return kNaN; }

}  // namespace zorvana
