// Scalar density (d), distribution (p) and quantile (q) functions of the
// seventeen distributions. Each is a pure function of plain C++ values; the
// Python layer applies them element by element.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvana {

// e^u - 1 and log(1 + u), with short series near 0.
double math_expm1(double u);
double math_log1p(double u);

// Normal and log-normal.
double dnorm(double x, double mu, double sigma, bool log);
// out[i] = dnorm(x[i], mu, sigma, log), the exponentials in lanes.
void dnorm_n(const double* x, std::size_t n, double mu, double sigma, bool log, double* out);
double pnorm(double x, double mu, double sigma, bool log_p);
double qnorm(double p, double mu, double sigma);
double dlnorm(double x, double mu, double sigma, bool log);
double plnorm(double x, double mu, double sigma, bool log_p);
double qlnorm(double p, double mu, double sigma);

// Bernoulli and binomial.
double dbern(std::int64_t x, double prob, bool log);
double pbern(std::int64_t x, double prob, bool log_p);
double qbern(double p, double prob);
double dbinom(std::int64_t x, std::int64_t n_trials, double prob, bool log);
double pbinom(std::int64_t x, std::int64_t n_trials, double prob, bool log_p);
double qbinom(double p, std::int64_t n_trials, double prob);

// Beta and F.
double dbeta(double x, double a, double b, bool log);
double pbeta(double x, double a, double b, bool log_p);
double qbeta(double p, double a, double b);
double df(double x, double df1, double df2, bool log);
double pf(double x, double df1, double df2, bool log_p);
double qf(double p, double df1, double df2);

// Exponential, Laplace, logistic, Cauchy, uniform, Weibull.
double dexp(double x, double rate, bool log);
double pexp(double x, double rate, bool log_p);
double qexp(double p, double rate);
double dlaplace(double x, double mu, double sigma, bool log);
double plaplace(double x, double mu, double sigma, bool log_p);
double qlaplace(double p, double mu, double sigma);
double dlogis(double x, double mu, double sigma, bool log);
double plogis(double x, double mu, double sigma, bool log_p);
double qlogis(double p, double mu, double sigma);
double dcauchy(double x, double mu, double sigma, bool log);
double pcauchy(double x, double mu, double sigma, bool log_p);
double qcauchy(double p, double mu, double sigma);
double dunif(double x, double a, double b, bool log);
double punif(double x, double a, double b, bool log_p);
double qunif(double p, double a, double b);
double dweibull(double x, double shape, double scale, bool log);
double pweibull(double x, double shape, double scale, bool log_p);
double qweibull(double p, double shape, double scale);

// Gamma, inverse gamma, chi-squared, Poisson.
double dgamma(double x, double shape, double scale, bool log);
double pgamma(double x, double shape, double scale, bool log_p);
double qgamma(double p, double shape, double scale);
double dinvgamma(double x, double shape, double scale, bool log);
double pinvgamma(double x, double shape, double scale, bool log_p);
double qinvgamma(double p, double shape, double scale);
double dchisq(double x, double dof, bool log);
double pchisq(double x, double dof, bool log_p);
double qchisq(double p, double dof);
double dpois(std::int64_t x, double rate, bool log);
double ppois(std::int64_t x, double rate, bool log_p);
double qpois(double p, double rate);
// From rate 11 up to this rate qpois takes its normal start's count from an
// estimate of the inverse error function and decides its comparisons with p
// on an accurate integral, both where they settle the answer.
constexpr double kQpoisDecidedRateMax = 0x1p20;
// For |x| < 1: an estimate of math_erf_inv(x) from the accurate normal
// quantile, and in bound a bound on its distance from the kernel's value
// (+inf where none is known).
double erf_inv_estimate(double x, double& bound);
// P(X <= count) for count > 15 or rate > 10 (count >= 0, rate >= 2^-52,
// finite) as the incomplete gamma kernel behind ppois integrates it (its
// quadrature's window included), computed accurately: qpois decides its
// comparisons on it where p is not close.
double ppois_integrated(std::int64_t count, double rate);
// The same as qpois's walk reaches it from count `from` (the plain loops:
// ppois_integrated).
double ppois_walked(std::int64_t from, std::int64_t count, double rate);

// Student t.
double dt(double x, double dof, bool log);
double pt(double x, double dof, bool log_p);
double qt(double p, double dof);
// Hill's quantile at p <= 1/2 (1 - p above the median) for a dof other than
// 1, 2 and +inf takes its normal-based branch, whose math_erf_inv((p + p) - 1)
// computes ahead, where math_exp(math_log((p + p) d) * (2 / dof)) > 0.05 + a,
// with a and d the terms for that dof.
void hill_branch_terms(double dof, double& a, double& d);

}  // namespace zorvana
