// PLACEHOLDER: not yet written.
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {

double pnorm_upper(double x, double mu, double sigma, bool log_p) { return kNaN; }
double qnorm_upper(double p, double mu, double sigma) { return kNaN; }
double plnorm_upper(double x, double mu, double sigma, bool log_p) { return kNaN; }
double qlnorm_upper(double p, double mu, double sigma) { return kNaN; }

}  // namespace zorvana
