#include "random/draws.hpp"

#include <cmath>

#include "distributions/distributions.hpp"
#include "distributions/interrupt.hpp"
#include "kernels/elementary.hpp"
#include "kernels/lanes.hpp"
#include "kernels/precision.hpp"
#include "kernels/prefetch.hpp"
#include "random/platform_math.hpp"
#include "random/variates.hpp"

namespace zorvana {

namespace {

// -0 + 0 = +0 and every other value is unchanged. A parameter of -0 passes
// the "< 0" tests and must then draw as +0 does (1 / -0 = -inf would not).
double plus_zero(double v) { return v + 0.0; }

// Location-scale families: sigma >= 0, neither parameter NaN.
bool location_scale_valid(double mu, double sigma) { return !(sigma < 0 || is_nan(mu) || is_nan(sigma)); }

// Chi-squared variate with dof degrees of freedom: gamma of shape dof / 2, scale 2.
double chisq_variate(double dof, Mt19937_64& gen) { return draw_gamma(gen, 0.5 * dof, 2.0); }

}  // namespace

// ---- Parameter tests ----------------------------------------------------

bool rnorm_valid(double mu, double sigma) { return location_scale_valid(mu, sigma); }
bool rbern_valid(double prob) { return !(is_nan(prob) || prob < 0 || prob > 1); }
bool rbeta_valid(double a, double b) { return !(a < 0 || b < 0 || is_nan(a) || is_nan(b)); }
bool rbinom_valid(std::int64_t n_trials, double prob) {
    return !(is_nan(prob) || prob < 0 || prob > 1 || n_trials < 0);
}
bool rcauchy_valid(double mu, double sigma) { return location_scale_valid(mu, sigma); }
bool rchisq_valid(double dof) { return dof >= 0; }
bool rexp_valid(double rate) { return rate >= 0; }
bool rf_valid(double df1, double df2) { return !(df2 < kEps || df1 < kEps || is_nan(df1) || is_nan(df2)); }
// The test of draw_gamma itself.
bool rgamma_valid(double shape, double scale) {
    return !(scale < kEps || shape < 0 || is_nan(shape) || is_nan(scale));
}
bool rinvgamma_valid(double shape, double scale) {
    return !(shape < 0 || scale < 0 || is_nan(shape) || is_nan(scale));
}
bool rlaplace_valid(double mu, double sigma) { return location_scale_valid(mu, sigma); }
bool rlnorm_valid(double mu, double sigma) { return location_scale_valid(mu, sigma); }
bool rlogis_valid(double mu, double sigma) { return location_scale_valid(mu, sigma); }
bool rpois_valid(double rate) { return rate >= 0; }
bool rt_valid(double dof) { return !(dof < kEps || is_nan(dof)); }
bool runif_valid(double a, double b) { return a < b; }
bool rweibull_valid(double shape, double scale) {
    return !(scale < kEps || shape < kEps || is_nan(shape) || is_nan(scale));
}

// ---- Draws for parameters that passed their test ----------------------

// Normal and log-normal: Z * sigma + mu, the product first.
double rnorm_unchecked(double mu, double sigma, Mt19937_64& gen) {
    return draw_std_normal(gen) * plus_zero(sigma) + mu;
}
double rlnorm_unchecked(double mu, double sigma, Mt19937_64& gen) {
    return math_exp(draw_std_normal(gen) * plus_zero(sigma) + mu);
}

// Uniform on (a, b]: a itself is never returned.
double runif_unchecked(double a, double b, Mt19937_64& gen) { return draw_uniform(gen, a, b); }

// Inverse transform: the quantile function at one unit uniform U in
// [2^-1074, 1]. U = 1 reaches the quantiles' p = 1 branches; the quantile
// functions' own tests still apply (sigma = +inf gives NaN after the draw).
double rexp_unchecked(double rate, Mt19937_64& gen) { return qexp(draw_unit(gen), plus_zero(rate)); }
double rlaplace_unchecked(double mu, double sigma, Mt19937_64& gen) {
    return qlaplace(draw_unit(gen), mu, plus_zero(sigma));
}
double rlogis_unchecked(double mu, double sigma, Mt19937_64& gen) {
    return qlogis(draw_unit(gen), mu, plus_zero(sigma));
}
double rcauchy_unchecked(double mu, double sigma, Mt19937_64& gen) {
    return qcauchy(draw_unit(gen), mu, plus_zero(sigma));
}
double rweibull_unchecked(double shape, double scale, Mt19937_64& gen) {
    return qweibull(draw_unit(gen), shape, scale);
}
double rpois_unchecked(double rate, Mt19937_64& gen) { return qpois(draw_unit(gen), plus_zero(rate)); }

// Elements of rpois_run whose uniforms are drawn before their quantiles.
constexpr std::size_t kQuantileRun = 256;

void rpois_run(const double* rate, std::ptrdiff_t step, double* out, std::size_t n, Mt19937_64& gen) {
    double u[kQuantileRun], r[kQuantileRun], x[kQuantileRun], e[kQuantileRun];
    std::size_t start_at[kQuantileRun];
    for (std::size_t from = 0; from < n; from += kQuantileRun) {
        if (from > 0 && interrupt_requested()) {
            for (std::size_t i = from; i < n; ++i) out[i] = kNaN;  // the caller discards them
            return;
        }
        const std::size_t m = n - from < kQuantileRun ? n - from : kQuantileRun;
        // The uniforms in stream order, one per valid rate; then the
        // arguments of the normal starts that qpois takes from the inverse
        // error function itself (beyond the rates whose starts it estimates).
        std::size_t starts = 0;
        for (std::size_t i = 0; i < m; ++i) {
            const double ri = rate[static_cast<std::ptrdiff_t>(from + i) * step];
            if (!rpois_valid(ri)) {
                u[i] = kNaN;
                continue;
            }
            u[i] = draw_unit(gen);
            r[i] = plus_zero(ri);
            if (r[i] > kQpoisDecidedRateMax && r[i] < kInf && u[i] < 1) {
                start_at[starts] = i;
                x[starts++] = (u[i] + u[i]) - 1;
            }
        }
        math_erf_inv_n(x, e, starts);
        std::size_t next = 0;
        for (std::size_t i = 0; i < m; ++i) {
            if (is_nan(u[i])) {
                out[from + i] = kNaN;
            } else if (next < starts && start_at[next] == i) {
                const PrefetchScope ahead(Prefetch::erf_inv, 0.0, x[next], e[next]);
                ++next;
                out[from + i] = qpois(u[i], r[i]);
            } else {
                out[from + i] = qpois(u[i], r[i]);
            }
        }
    }
}

// Bernoulli trial: success when U <= prob (U is never 0, so prob = 0 never
// succeeds and prob = 1 always does).
double rbern_unchecked(double prob, Mt19937_64& gen) { return draw_unit(gen) <= prob ? 1.0 : 0.0; }

// Binomial: n_trials Bernoulli trials summed, one output each.
#ifdef ZORVANA_PLAIN_LOOPS
double rbinom_unchecked(std::int64_t n_trials, double prob, Mt19937_64& gen) {
    double successes = 0.0;
    for (std::int64_t t = 0; t < n_trials; ++t) {
        successes += draw_unit(gen) <= prob ? 1.0 : 0.0;
        if ((t & 0xffff) == 0xffff && interrupt_requested()) return kNaN;  // a Ctrl-C: the caller discards it
    }
    return successes;
}
#else
// A trial succeeds when its uniform is at most prob, that is when its word is
// at most the largest word whose uniform is. The successes are counted in an
// integer: a double sum of ones is the same up to 2^53 and stays at 2^53
// from there (2^53 + 1 rounds to even).
double rbinom_unchecked(std::int64_t n_trials, double prob, Mt19937_64& gen) {
    std::uint64_t last;
    const bool any = unit_last_at_most(prob, last);
    std::uint64_t successes = 0;
    for (std::int64_t t = 0; t < n_trials; ++t) {
        successes += gen.next() <= last ? 1 : 0;
        if ((t & 0xffff) == 0xffff && interrupt_requested()) return kNaN;  // a Ctrl-C: the caller discards it
    }
    if (!any) successes = 0;
    return successes < (std::uint64_t{1} << 53) ? static_cast<double>(successes) : 0x1p53;
}
#endif

double rgamma_unchecked(double shape, double scale, Mt19937_64& gen) { return draw_gamma(gen, shape, scale); }

double rchisq_unchecked(double dof, Mt19937_64& gen) { return chisq_variate(dof, gen); }

// 1 / G with G gamma of scale 1 / scale. A scale of 0 (or a subnormal one,
// whose reciprocal overflows) is the point mass at 0: G is then +inf, or NaN
// where the small-shape boost multiplies an underflowed U^(1/k) by +inf, so 0
// is returned after consuming G's outputs.
double rinvgamma_unchecked(double shape, double scale, Mt19937_64& gen) {
    const double gamma_scale = 1.0 / plus_zero(scale);
    const double g = draw_gamma(gen, shape, gamma_scale);
    if (is_pinf(gamma_scale)) return 0.0;
    return 1.0 / g;
}

// X / (Y + X), X of shape a drawn before Y of shape b. An infinite shape
// dominates (X or Y is +inf): the limits 1 for a = +inf, 0 for b = +inf and
// 0.5 for both replace inf / inf. Where both variates underflow to 0 (small
// shapes) the ratio 1 / (1 + Y/X) is taken from their logarithms.
double rbeta_unchecked(double a, double b, Mt19937_64& gen) {
    const GammaVariate x = draw_gamma_variate(gen, a, 1.0);
    const GammaVariate y = draw_gamma_variate(gen, b, 1.0);
    if (is_pinf(a)) return is_pinf(b) ? 0.5 : 1.0;
    if (is_pinf(b)) return 0.0;
    const double r = x.value / (y.value + x.value);
    if (!is_nan(r)) return r;
    const double log_ratio = y.log() - x.log();
    if (!is_nan(log_ratio)) return 1.0 / (1.0 + math_exp(log_ratio));
    // Both logarithms are -inf: log(U)/k overflowed for both shapes (or a
    // shape is 0). The variate with the larger log(U)/k takes the whole mass:
    // compare log(Ux) b with log(Uy) a, and for equal shapes Ux with Uy.
    const double cx = platform_log(x.u) * b;
    const double cy = platform_log(y.u) * a;
    if (cx != cy) return cx > cy ? 1.0 : 0.0;
    return x.u > y.u ? 1.0 : (x.u < y.u ? 0.0 : 0.5);
}

// Z / sqrt(V / dof), the normal drawn before the chi-squared V. As dof grows
// without bound V / dof tends to 1, so dof = +inf returns Z itself (the
// chi-squared variate of infinite dof consumes nothing).
double rt_unchecked(double dof, Mt19937_64& gen) {
    const double z = draw_std_normal(gen);
    if (is_pinf(dof)) return z;
    const double v = chisq_variate(dof, gen);
    return z / std::sqrt(v / dof);
}

// ((df2 / df1) * X1) / X2, X1 (df1) drawn before X2 (df2). An infinite
// degree of freedom makes its X / df tend to 1: df1 = +inf gives df2 / X2,
// df2 = +inf gives X1 / df1, both give 1 (instead of 0 * inf or inf / inf).
// Where the ratio is not finite (X2, or both, underflowed to 0 at small
// degrees of freedom, or df2 / df1 overflowed) it is taken from the
// logarithms, which are finite for degrees of freedom of at least 2^-52.
double rf_unchecked(double df1, double df2, Mt19937_64& gen) {
    const GammaVariate x1 = draw_gamma_variate(gen, 0.5 * df1, 2.0);
    const GammaVariate x2 = draw_gamma_variate(gen, 0.5 * df2, 2.0);
    if (is_pinf(df1)) return is_pinf(df2) ? 1.0 : df2 / x2.value;
    if (is_pinf(df2)) return x1.value / df1;
    const double r = ((df2 / df1) * x1.value) / x2.value;
    if (!is_nan(r) && !is_inf(r)) return r;
    return math_exp(((platform_log(df2) - platform_log(df1)) + x1.log()) - x2.log());
}

}  // namespace zorvana
