// PLACEHOLDER: not yet written.
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {

double pgamma_upper(double x, double shape, double scale, bool log_p) { return kNaN; }
double qgamma_upper(double p, double shape, double scale) { return kNaN; }
double pinvgamma_upper(double x, double shape, double scale, bool log_p) { return kNaN; }
double qinvgamma_upper(double p, double shape, double scale) { return kNaN; }
double pchisq_upper(double x, double dof, bool log_p) { return kNaN; }
double qchisq_upper(double p, double dof) { return kNaN; }
double ppois_upper(std::int64_t x, double rate, bool log_p) { return kNaN; }
double qpois_upper(double p, double rate) { return kNaN; }

}  // namespace zorvana
