// Bernoulli distribution: mass 1 - prob at 0 and prob at 1.
#include "distributions/distributions.hpp"
#include "distributions/flags.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

namespace {

bool bern_invalid(double prob) { return is_nan(prob) || prob > 1 || prob < 0 || is_inf(prob); }

}  // namespace

double dbern(std::int64_t x, double prob, bool log) {
    if (bern_invalid(prob)) return kNaN;
    const double v = x == 0 ? 1 - prob : (x == 1 ? prob : 0.0);
    return log_of_value(v, log);
}

double pbern(std::int64_t x, double prob, bool log_p) {
    if (bern_invalid(prob)) return kNaN;
    const double v = x < 0 ? 0.0 : (x == 0 ? 1 - prob : 1.0);
    return log_of_value(clamp_probability(v), log_p);
}

double qbern(double p, double prob) {
    if (bern_invalid(prob) || p > 1 || p < 0 || is_nan(p)) return kNaN;
    return 1 - prob < p ? 1.0 : 0.0;
}

}  // namespace zorvana
