// Scalar draws of the seventeen distributions. For each distribution:
//   r<dist>_valid(params)       the parameter test (false: the draw is NaN);
//   r<dist>_unchecked(params, g) the draw itself, for parameters that passed.
// A scalar draw tests, then draws (NaN without consuming output when the test
// fails); an array fill tests once and calls the unchecked draw per element,
// which gives exactly what successive scalar draws give.
#pragma once

#include <cstddef>
#include <cstdint>

#include "random/mt19937_64.hpp"

namespace zorvana {

bool rnorm_valid(double mu, double sigma);
bool rbern_valid(double prob);
bool rbeta_valid(double a, double b);
bool rbinom_valid(std::int64_t n_trials, double prob);
bool rcauchy_valid(double mu, double sigma);
bool rchisq_valid(double dof);
bool rexp_valid(double rate);
bool rf_valid(double df1, double df2);
bool rgamma_valid(double shape, double scale);
bool rinvgamma_valid(double shape, double scale);
bool rlaplace_valid(double mu, double sigma);
bool rlnorm_valid(double mu, double sigma);
bool rlogis_valid(double mu, double sigma);
bool rpois_valid(double rate);
bool rt_valid(double dof);
bool runif_valid(double a, double b);
bool rweibull_valid(double shape, double scale);

double rnorm_unchecked(double mu, double sigma, Mt19937_64& gen);
double rbern_unchecked(double prob, Mt19937_64& gen);
double rbeta_unchecked(double a, double b, Mt19937_64& gen);
double rbinom_unchecked(std::int64_t n_trials, double prob, Mt19937_64& gen);
double rcauchy_unchecked(double mu, double sigma, Mt19937_64& gen);
double rchisq_unchecked(double dof, Mt19937_64& gen);
double rexp_unchecked(double rate, Mt19937_64& gen);
double rf_unchecked(double df1, double df2, Mt19937_64& gen);
double rgamma_unchecked(double shape, double scale, Mt19937_64& gen);
double rinvgamma_unchecked(double shape, double scale, Mt19937_64& gen);
double rlaplace_unchecked(double mu, double sigma, Mt19937_64& gen);
double rlnorm_unchecked(double mu, double sigma, Mt19937_64& gen);
double rlogis_unchecked(double mu, double sigma, Mt19937_64& gen);
double rpois_unchecked(double rate, Mt19937_64& gen);
double rt_unchecked(double dof, Mt19937_64& gen);
double runif_unchecked(double a, double b, Mt19937_64& gen);
double rweibull_unchecked(double shape, double scale, Mt19937_64& gen);

// Scalar draws for a run of elements, rates rate[i * step] (step 0: one
// rate): out[i] is what the (i + 1)-th successive scalar call gives, the
// parameter test included (NaN without drawing where it fails). The uniforms
// of a stretch of elements are drawn first, then their quantiles computed
// with the kernels' shared steps in lanes. A Ctrl-C ends the run early, the
// rest of out NaN, the engine advanced by the uniforms drawn.
void rpois_run(const double* rate, std::ptrdiff_t step, double* out, std::size_t n, Mt19937_64& gen);

}  // namespace zorvana
