// Draws of the negative binomial, geometric, hypergeometric and rank
// statistics. Generator outputs consumed, per draw:
//
//   rgeom      one output U (unit uniform, (0, 1]): floor(ln U / ln(1 - p));
//              none for prob = 1 (0).
//   rnbinom    a gamma variate G of shape n and scale (1 - p)/p, then a
//              Poisson variate of mean G (none for prob = 1: 0).
//              Gamma: Marsaglia and Tsang; per attempt a standard normal
//              (the polar method: two outputs per attempt of its own, the
//              first coordinate kept) and one output; shapes below 1 draw
//              a gamma of shape n + 1 and then one output U, times U^(1/n).
//              Poisson: means below 10 by inversion from 0 (one output);
//              from 10 Hormann's transformed rejection (PTRS), two outputs
//              per attempt.
//   rhyper     one output U, inverted by a search from the mode outward
//              (mode, mode - 1, mode + 1, ...), the masses by their ratios:
//              time of the order of the standard deviation.
//   rwilcox,   one output U, inverted through the table of the
//   rsignrank  distribution (the d-, p- and q-functions' own).
#include "random/discrete_draws.hpp"

#include <cmath>
#include <cstdint>

#include "accurate/discrete.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "random/variates.hpp"
#include "tails/discrete.hpp"

namespace zorvana {

namespace {

bool is_count(double v) { return v >= 0 && v < 0x1p53 && v == std::floor(v); }

// A standard normal by the polar method (the module's logarithm).
double std_normal(Mt19937_64& gen) {
    for (;;) {
        const double u = 2 * draw_canonical(gen) - 1;
        const double v = 2 * draw_canonical(gen) - 1;
        const double s = u * u + v * v;
        if (s > 0 && s < 1) return u * std::sqrt(-2 * accurate::log(s) / s);
    }
}

// Gamma of shape k > 0, scale 1 (Marsaglia and Tsang).
double std_gamma(double k, Mt19937_64& gen) {
    if (k < 1) {
        const double g = std_gamma(k + 1, gen);
        return g * accurate::exp(accurate::log(draw_unit(gen)) / k);
    }
    const double d = k - 1.0 / 3;
    const double c = 1 / std::sqrt(9 * d);
    for (;;) {
        const double z = std_normal(gen);
        double v = 1 + c * z;
        const double u = draw_unit(gen);
        if (v <= 0) continue;
        v = v * v * v;
        const double z2 = z * z;
        if (u < 1 - 0.0331 * (z2 * z2)) return d * v;
        if (accurate::log(u) < 0.5 * z2 + d * ((1 - v) + accurate::log(v))) return d * v;
    }
}

double poisson(double lambda, Mt19937_64& gen) {
    if (!(lambda > 0)) return 0;
    if (lambda < 10) {
        const double u = draw_unit(gen);
        double k = 0, f = accurate::exp(-lambda), cum = f;
        while (u > cum && f > 0) {
            k += 1;
            f *= lambda / k;
            cum += f;
        }
        return k;
    }
    const double slam = std::sqrt(lambda);
    const double loglam = accurate::log(lambda);
    const double b = 0.931 + 2.53 * slam;
    const double a = -0.059 + 0.02483 * b;
    const double invalpha = 1.1239 + 1.1328 / (b - 3.4);
    const double vr = 0.9277 - 3.6224 / (b - 2);
    for (;;) {
        const double u = draw_canonical(gen) - 0.5;
        const double v = draw_canonical(gen);
        const double us = 0.5 - (u < 0 ? -u : u);
        const double k = std::floor((2 * a / us + b) * u + lambda + 0.43);
        if (us >= 0.07 && v <= vr) return k;
        if (k < 0 || (us < 0.013 && v > us)) continue;
        if (!(v > 0)) continue;
        if ((accurate::log(v) + accurate::log(invalpha)) - accurate::log(a / (us * us) + b) <=
            (-lambda + k * loglam) - accurate::lgamma(k + 1)) {
            return k;
        }
    }
}

}  // namespace

bool rnbinom_valid(double n_successes, double prob) {
    return n_successes > 0 && n_successes < kInf && prob > 0 && prob <= 1;
}
bool rgeom_valid(double prob) { return prob > 0 && prob <= 1; }
bool rhyper_valid(double n_good, double n_bad, double n_drawn) {
    return is_count(n_good) && is_count(n_bad) && is_count(n_drawn) && n_good + n_bad < 0x1p53 &&
           n_drawn <= n_good + n_bad;
}
bool rwilcox_valid(double n_x, double n_y) {
    return is_count(n_x) && is_count(n_y) &&
           wilcox_has_table(static_cast<std::int64_t>(n_x), static_cast<std::int64_t>(n_y));
}
bool rsignrank_valid(double n_obs) {
    return is_count(n_obs) && signrank_has_table(static_cast<std::int64_t>(n_obs));
}

double rgeom_unchecked(double prob, Mt19937_64& gen) {
    if (prob == 1) return 0;
    // ln(1 - prob) of the last prob this thread drew with (a value of prob alone)
    thread_local double last_prob = kNaN, last_log = kNaN;
    if (prob != last_prob) {
        last_log = accurate::log1m_dd(prob).hi;
        last_prob = prob;
    }
    return std::floor(accurate::log(draw_unit(gen)) / last_log);
}

double rnbinom_unchecked(double n_successes, double prob, Mt19937_64& gen) {
    if (prob == 1) return 0;
    const double scale = (1 - prob) / prob;
    return poisson(std_gamma(n_successes, gen) * scale, gen);
}

double rhyper_unchecked(double n_good, double n_bad, double n_drawn, Mt19937_64& gen) {
    const double r = n_good, b = n_bad, n = n_drawn;
    const double lo = n - b > 0 ? n - b : 0;
    const double hi = n < r ? n : r;
    // The mode and its mass for the last parameters this thread drew with.
    thread_local double last_r = kNaN, last_b = kNaN, last_n = kNaN, mode = 0, fm = 0;
    if (r != last_r || b != last_b || n != last_n) {
        mode = std::floor(((n + 1) * (r + 1)) / ((r + b) + 2));
        if (mode < lo) mode = lo;
        if (mode > hi) mode = hi;
        fm = dhyper_accurate(static_cast<std::int64_t>(mode), static_cast<std::int64_t>(r),
                             static_cast<std::int64_t>(b), static_cast<std::int64_t>(n), false);
        last_r = r;
        last_b = b;
        last_n = n;
    }
    double u = draw_unit(gen) - fm;
    if (u <= 0) return mode;
    double down = mode, up = mode, fd = fm, fu = fm;
    while (down > lo || up < hi) {
        if (down > lo) {
            fd *= (down * ((b - n) + down)) / (((n - down) + 1) * ((r - down) + 1));
            down -= 1;
            u -= fd;
            if (u <= 0) return down;
        }
        if (up < hi) {
            fu *= ((n - up) * (r - up)) / ((up + 1) * (((b - n) + up) + 1));
            up += 1;
            u -= fu;
            if (u <= 0) return up;
        }
    }
    return mode;  // what rounding left over
}

double rwilcox_unchecked(double n_x, double n_y, Mt19937_64& gen) {
    return wilcox_inverse(draw_unit(gen), static_cast<std::int64_t>(n_x), static_cast<std::int64_t>(n_y));
}

double rsignrank_unchecked(double n_obs, Mt19937_64& gen) {
    return signrank_inverse(draw_unit(gen), static_cast<std::int64_t>(n_obs));
}

}  // namespace zorvana
