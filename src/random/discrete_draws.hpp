// Draws of the negative binomial, geometric, hypergeometric, Wilcoxon rank
// sum and signed rank distributions, in the form of draws.hpp (a parameter
// test, then the draw itself). Their arithmetic is the module's own
// (accurate/), never the platform's log or pow, so a seed gives the same
// draws on every machine. Parameters are doubles; counts must be integers.
#pragma once

#include "random/mt19937_64.hpp"

namespace zorvana {

bool rnbinom_valid(double n_successes, double prob);
bool rgeom_valid(double prob);
bool rhyper_valid(double n_good, double n_bad, double n_drawn);
bool rwilcox_valid(double n_x, double n_y);
bool rsignrank_valid(double n_obs);

double rnbinom_unchecked(double n_successes, double prob, Mt19937_64& gen);
double rgeom_unchecked(double prob, Mt19937_64& gen);
double rhyper_unchecked(double n_good, double n_bad, double n_drawn, Mt19937_64& gen);
double rwilcox_unchecked(double n_x, double n_y, Mt19937_64& gen);
double rsignrank_unchecked(double n_obs, Mt19937_64& gen);

}  // namespace zorvana
