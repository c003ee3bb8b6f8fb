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

// The accurate d-, p- and q-functions of every family, with the parameters of
// the lower-tail functions and the flags in the order Python gives them:
//
//   d<dist>_accurate(x, ..., log)                  the density or mass
//   p<dist>_accurate(x, ..., log_p, lower_tail)    P(X <= x) or P(X > x)
//   q<dist>_accurate(p, ..., lower_tail, log_p)    the quantile; p given as
//                                                  its logarithm with log_p
//
// Discrete quantiles are the least x with P(X <= x) >= p (lower tail) or
// P(X > x) <= p (upper tail). p<dist>_accurate(x, ..., log_p, false) is the
// upper tail above (one implementation). Same rules as the upper tails: the
// accurate kernels only, a fixed operation order.

// closed forms, normal, log-normal
double dnorm_accurate(double x, double mu, double sigma, bool log);
double pnorm_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail);
double qnorm_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p);
double dlnorm_accurate(double x, double mu, double sigma, bool log);
double plnorm_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail);
double qlnorm_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p);
double dexp_accurate(double x, double rate, bool log);
double pexp_accurate(double x, double rate, bool log_p, bool lower_tail);
double qexp_accurate(double p, double rate, bool lower_tail, bool log_p);
double dlaplace_accurate(double x, double mu, double sigma, bool log);
double plaplace_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail);
double qlaplace_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p);
double dlogis_accurate(double x, double mu, double sigma, bool log);
double plogis_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail);
double qlogis_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p);
double dcauchy_accurate(double x, double mu, double sigma, bool log);
double pcauchy_accurate(double x, double mu, double sigma, bool log_p, bool lower_tail);
double qcauchy_accurate(double p, double mu, double sigma, bool lower_tail, bool log_p);
double dunif_accurate(double x, double a, double b, bool log);
double punif_accurate(double x, double a, double b, bool log_p, bool lower_tail);
double qunif_accurate(double p, double a, double b, bool lower_tail, bool log_p);
double dweibull_accurate(double x, double shape, double scale, bool log);
double pweibull_accurate(double x, double shape, double scale, bool log_p, bool lower_tail);
double qweibull_accurate(double p, double shape, double scale, bool lower_tail, bool log_p);
double dbern_accurate(std::int64_t x, double prob, bool log);
double pbern_accurate(std::int64_t x, double prob, bool log_p, bool lower_tail);
double qbern_accurate(double p, double prob, bool lower_tail, bool log_p);

// gamma family
double dgamma_accurate(double x, double shape, double scale, bool log);
double pgamma_accurate(double x, double shape, double scale, bool log_p, bool lower_tail);
double qgamma_accurate(double p, double shape, double scale, bool lower_tail, bool log_p);
double dinvgamma_accurate(double x, double shape, double scale, bool log);
double pinvgamma_accurate(double x, double shape, double scale, bool log_p, bool lower_tail);
double qinvgamma_accurate(double p, double shape, double scale, bool lower_tail, bool log_p);
double dchisq_accurate(double x, double dof, bool log);
double pchisq_accurate(double x, double dof, bool log_p, bool lower_tail);
double qchisq_accurate(double p, double dof, bool lower_tail, bool log_p);
double dpois_accurate(std::int64_t x, double rate, bool log);
double ppois_accurate(std::int64_t x, double rate, bool log_p, bool lower_tail);
double qpois_accurate(double p, double rate, bool lower_tail, bool log_p);

// beta family and t
double dbeta_accurate(double x, double a, double b, bool log);
double pbeta_accurate(double x, double a, double b, bool log_p, bool lower_tail);
double qbeta_accurate(double p, double a, double b, bool lower_tail, bool log_p);
double df_accurate(double x, double df1, double df2, bool log);
double pf_accurate(double x, double df1, double df2, bool log_p, bool lower_tail);
double qf_accurate(double p, double df1, double df2, bool lower_tail, bool log_p);
double dbinom_accurate(std::int64_t x, std::int64_t n_trials, double prob, bool log);
double pbinom_accurate(std::int64_t x, std::int64_t n_trials, double prob, bool log_p, bool lower_tail);
double qbinom_accurate(double p, std::int64_t n_trials, double prob, bool lower_tail, bool log_p);
double dt_accurate(double x, double dof, bool log);
double pt_accurate(double x, double dof, bool log_p, bool lower_tail);
double qt_accurate(double p, double dof, bool lower_tail, bool log_p);
}  // namespace zorvana
