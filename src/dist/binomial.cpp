// PLACEHOLDER: not yet implemented; every function returns NaN.
#include "dist/distributions.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double dbinom(std::int64_t /*x*/, std::int64_t /*n_trials*/, double /*prob*/, bool /*log*/) { return kNaN; }
double pbinom(std::int64_t /*x*/, std::int64_t /*n_trials*/, double /*prob*/, bool /*log_p*/) { return kNaN; }
double qbinom(double /*p*/, std::int64_t /*n_trials*/, double /*prob*/) { return kNaN; }

}  // namespace zorvana
