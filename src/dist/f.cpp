// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double df(double /*x*/, double /*df1*/, double /*df2*/, bool /*log*/) { return kNaN; }
double pf(double /*x*/, double /*df1*/, double /*df2*/, bool /*log_p*/) { return kNaN; }
double qf(double /*p*/, double /*df1*/, double /*df2*/) { return kNaN; }

}  // namespace zorvana
