// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dpois(std::int64_t /*x*/, double /*rate*/, bool /*log*/) { return kNaN; }
double ppois(std::int64_t /*x*/, double /*rate*/, bool /*log_p*/) { return kNaN; }
double qpois(double /*p*/, double /*rate*/) { return kNaN; }

}  // namespace zorvana
