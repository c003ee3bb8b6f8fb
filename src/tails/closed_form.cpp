// PLACEHOLDER: not yet written.
#include "kernels/precision.hpp"
#include "tails/tails.hpp"

namespace zorvana {

double pexp_upper(double x, double rate, bool log_p) { return kNaN; }
double qexp_upper(double p, double rate) { return kNaN; }
double plaplace_upper(double x, double mu, double sigma, bool log_p) { return kNaN; }
double qlaplace_upper(double p, double mu, double sigma) { return kNaN; }
double plogis_upper(double x, double mu, double sigma, bool log_p) { return kNaN; }
double qlogis_upper(double p, double mu, double sigma) { return kNaN; }
double pcauchy_upper(double x, double mu, double sigma, bool log_p) { return kNaN; }
double qcauchy_upper(double p, double mu, double sigma) { return kNaN; }
double punif_upper(double x, double a, double b, bool log_p) { return kNaN; }
double qunif_upper(double p, double a, double b) { return kNaN; }
double pweibull_upper(double x, double shape, double scale, bool log_p) { return kNaN; }
double qweibull_upper(double p, double shape, double scale) { return kNaN; }
double pbern_upper(std::int64_t x, double prob, bool log_p) { return kNaN; }
double qbern_upper(double p, double prob) { return kNaN; }

}  // namespace zorvana
