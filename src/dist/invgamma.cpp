// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dinvgamma(double /*x*/, double /*shape*/, double /*scale*/, bool /*log*/) { return kNaN; }
double pinvgamma(double /*x*/, double /*shape*/, double /*scale*/, bool /*log_p*/) { return kNaN; }
double qinvgamma(double /*p*/, double /*shape*/, double /*scale*/) { return kNaN; }

}  // namespace zorvana
