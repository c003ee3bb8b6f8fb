// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dbern(std::int64_t /*x*/, double /*prob*/, bool /*log*/) { return kNaN; }
double pbern(std::int64_t /*x*/, double /*prob*/, bool /*log_p*/) { return kNaN; }
double qbern(double /*p*/, double /*prob*/) { return kNaN; }

}  // namespace zorvana
