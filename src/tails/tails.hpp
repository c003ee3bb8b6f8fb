// Upper tails of the seventeen distributions, computed directly.
//
//   p<dist>_upper(x, ..., log_p)  P(X > x), or its logarithm computed in log
//                                 space (finite wherever the tail is
//                                 positive, also below the smallest double);
//   q<dist>_upper(p, ...)         the x whose upper tail is p; for discrete
//                                 families the least x with P(X > x) <= p;
//                                 p = 0 gives the upper end of the support,
//                                 p = 1 the lower end.
//
// Invalid or NaN parameters give NaN exactly where the lower-tail function
// does. These functions use only the accurate kernels (accurate/), never the
// prescribed ones, and every operation has a fixed order, so their bits are
// the same on every machine.
#pragma once

#include <cstdint>

namespace zorvana {

double pnorm_upper(double x, double mu, double sigma, bool log_p);
double qnorm_upper(double p, double mu, double sigma);
double plnorm_upper(double x, double mu, double sigma, bool log_p);
double qlnorm_upper(double p, double mu, double sigma);

double pexp_upper(double x, double rate, bool log_p);
double qexp_upper(double p, double rate);
double plaplace_upper(double x, double mu, double sigma, bool log_p);
double qlaplace_upper(double p, double mu, double sigma);
double plogis_upper(double x, double mu, double sigma, bool log_p);
double qlogis_upper(double p, double mu, double sigma);
double pcauchy_upper(double x, double mu, double sigma, bool log_p);
double qcauchy_upper(double p, double mu, double sigma);
double punif_upper(double x, double a, double b, bool log_p);
double qunif_upper(double p, double a, double b);
double pweibull_upper(double x, double shape, double scale, bool log_p);
double qweibull_upper(double p, double shape, double scale);
double pbern_upper(std::int64_t x, double prob, bool log_p);
double qbern_upper(double p, double prob);

double pgamma_upper(double x, double shape, double scale, bool log_p);
double qgamma_upper(double p, double shape, double scale);
double pinvgamma_upper(double x, double shape, double scale, bool log_p);
double qinvgamma_upper(double p, double shape, double scale);
double pchisq_upper(double x, double dof, bool log_p);
double qchisq_upper(double p, double dof);
double ppois_upper(std::int64_t x, double rate, bool log_p);
double qpois_upper(double p, double rate);

double pbeta_upper(double x, double a, double b, bool log_p);
double qbeta_upper(double p, double a, double b);
double pf_upper(double x, double df1, double df2, bool log_p);
double qf_upper(double p, double df1, double df2);
double pbinom_upper(std::int64_t x, std::int64_t n_trials, double prob, bool log_p);
double qbinom_upper(double p, std::int64_t n_trials, double prob);

double pt_upper(double x, double dof, bool log_p);
double qt_upper(double p, double dof);

}  // namespace zorvana
