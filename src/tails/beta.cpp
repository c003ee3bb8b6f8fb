// PLACEHOLDER: not yet written.
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {

double pbeta_upper(double x, double a, double b, bool log_p) { return kNaN; }
double qbeta_upper(double p, double a, double b) { return kNaN; }
double pf_upper(double x, double df1, double df2, bool log_p) { return kNaN; }
double qf_upper(double p, double df1, double df2) { return kNaN; }
double pbinom_upper(std::int64_t x, std::int64_t n_trials, double prob, bool log_p) { return kNaN; }
double qbinom_upper(double p, std::int64_t n_trials, double prob) { return kNaN; }

}  // namespace zorvana
