// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dexp(double /*x*/, double /*rate*/, bool /*log*/) { return kNaN; }
double pexp(double /*x*/, double /*rate*/, bool /*log_p*/) { return kNaN; }
double qexp(double /*p*/, double /*rate*/) { return kNaN; }

}  // namespace zorvana
