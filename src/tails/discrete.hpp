// The accurate functions of the negative binomial, geometric,
// hypergeometric, Wilcoxon rank sum and signed rank distributions, with the
// conventions of tails/tails.hpp (flags in the order Python gives them;
// discrete quantiles the least x with P(X <= x) >= p, or P(X > x) <= p for
// the upper tail). These families have no prescribed functions: the same
// functions serve the top level and zorvana.accurate.
#pragma once

#include <cstdint>

namespace zorvana {

double dnbinom_accurate(std::int64_t x, double n_successes, double prob, bool log);
double pnbinom_accurate(std::int64_t x, double n_successes, double prob, bool log_p, bool lower_tail);
double qnbinom_accurate(double p, double n_successes, double prob, bool lower_tail, bool log_p);

double dgeom_accurate(std::int64_t x, double prob, bool log);
double pgeom_accurate(std::int64_t x, double prob, bool log_p, bool lower_tail);
double qgeom_accurate(double p, double prob, bool lower_tail, bool log_p);

double dhyper_accurate(std::int64_t x, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool log);
double phyper_accurate(std::int64_t x, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool log_p,
                       bool lower_tail);
double qhyper_accurate(double p, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool lower_tail,
                       bool log_p);

double dwilcox_accurate(std::int64_t x, std::int64_t n_x, std::int64_t n_y, bool log);
double pwilcox_accurate(std::int64_t x, std::int64_t n_x, std::int64_t n_y, bool log_p, bool lower_tail);
double qwilcox_accurate(double p, std::int64_t n_x, std::int64_t n_y, bool lower_tail, bool log_p);

double dsignrank_accurate(std::int64_t x, std::int64_t n_obs, bool log);
double psignrank_accurate(std::int64_t x, std::int64_t n_obs, bool log_p, bool lower_tail);
double qsignrank_accurate(double p, std::int64_t n_obs, bool lower_tail, bool log_p);

}  // namespace zorvana

namespace zorvana {

// The least k with P(X <= k) >= u from the tables of the rank statistics
// (the inversion of the draws); NaN where there is no table (or its making
// was interrupted). *_has_table: whether the sizes have one (without making it).
bool wilcox_has_table(std::int64_t n_x, std::int64_t n_y);
bool signrank_has_table(std::int64_t n_obs);
double wilcox_inverse(double u, std::int64_t n_x, std::int64_t n_y);
double signrank_inverse(double u, std::int64_t n_obs);

}  // namespace zorvana
