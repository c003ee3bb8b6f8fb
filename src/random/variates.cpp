#include "random/variates.hpp"

#include <cmath>
#include <cstring>

#include "distributions/interrupt.hpp"
#include "kernels/precision.hpp"
#include "random/platform_math.hpp"

namespace zorvana {

namespace {

// The rejection loops look for a Ctrl-C once per 2^16 attempts: never in a
// stream a seed gives (each attempt is accepted with probability above 0.7),
// but a state whose outputs are stuck (a hand-made one) cannot hold a draw
// forever. An interrupted draw returns NaN, which the caller discards.
constexpr unsigned kAttemptsPerLook = 0xffff;

// The double nearest 1/3: the offset d = k - 1/3 and the factor c = (1/3)/sqrt(d)
// of the Marsaglia-Tsang squeeze.
constexpr double kOneThird = 0.3333333333333333;

// Marsaglia-Tsang for k > 1: z normal, v = (c z + 1)^3, accept when
// log(U) < (log v + (1 - v)) d + z^2 / 2. An attempt whose z <= -1/c (where
// v would not be positive) is redrawn without a uniform.
double gamma_above_one(Mt19937_64& gen, double k, double theta) {
    const double d = k - kOneThird;
    const double c = kOneThird / std::sqrt(d);
    const double lim = -1.0 / c;
    for (unsigned attempt = 1;; ++attempt) {
        if ((attempt & kAttemptsPerLook) == 0 && interrupt_requested()) return kNaN;
        const double z = draw_std_normal(gen);
        if (is_nan(z)) return kNaN;  // the normal was interrupted
        if (!(z > lim)) continue;
        const double v = platform_pow(c * z + 1.0, 3.0);
        const double u = draw_unit(gen);
        const double g = (platform_log(v) + (1.0 - v)) * d + (z * 0.5) * z;
        if (platform_log(u) < g) return (d * v) * theta;
    }
}

// 0 <= k <= 1: U first, then G of shape k + 1; the variate is U^(1/k) G. A
// shape of -0 must draw as +0: 1 / -0 would give U^-inf = +inf instead of
// U^+inf = 0.
GammaVariate gamma_at_most_one(Mt19937_64& gen, double k, double theta) {
    const double shape = k + 0.0;
    const double u = draw_unit(gen);
    const double g = draw_gamma(gen, shape + 1.0, theta);
    return {platform_pow(u, 1.0 / shape) * g, u, shape, g};
}

}  // namespace

double GammaVariate::log() const { return (u < 1 ? platform_log(u) / shape : 0.0) + platform_log(rest); }

double polar_value(double u, double s) { return u * std::sqrt((platform_log(s) * -2.0) / s) + 0.0; }

double draw_uniform(Mt19937_64& gen, double a, double b) {
    const double lo = std::nextafter(a, b);
    const double u0 = draw_canonical(gen);
    const double width = b - lo;
    if (is_inf(width) && !is_inf(a) && !is_inf(b)) {
        // Finite bounds wider apart than the largest double: the same value
        // on the halves (exact at these magnitudes), doubled back.
        const double v = (u0 * (b * 0.5 - lo * 0.5) + lo * 0.5) * 2.0;
        return v > b ? b : v;
    }
    return u0 * width + lo;
}

double draw_std_normal(Mt19937_64& gen) {
    for (unsigned attempt = 1;; ++attempt) {
        if ((attempt & kAttemptsPerLook) == 0 && interrupt_requested()) return kNaN;
        const double u = 2.0 * draw_canonical(gen) - 1.0;
        const double v = 2.0 * draw_canonical(gen) - 1.0;
        const double s = u * u + v * v;
        if (s > 1.0 || s == 0.0) continue;
        return polar_value(u, s);
    }
}

bool unit_last_at_most(double prob, std::uint64_t& last) {
    last = 0;
    if (!(unit_of(0) <= prob)) return false;
    if (prob >= 1) {
        last = ~std::uint64_t{0};
        return true;
    }
    // A first guess from prob * 2^64 (exact): below 2^53 every word is a
    // double and the passing words are those up to its floor; above, words
    // round to the doubles at most prob * 2^64 up to about half a spacing
    // beyond it. The two loops then make unit_of(last) <= prob <
    // unit_of(last + 1) hold, whatever the guess (the largest word,
    // 2^64 - 1, has unit 1 > prob, so last + 1 never wraps).
    const double scaled = prob * 0x1p64;
    last = static_cast<std::uint64_t>(scaled);
    if (scaled >= 0x1p53) {
        // scaled lies in [2^e, 2^(e+1)) with 53 <= e < 64; the spacing there is 2^(e-52).
        std::uint64_t bits;
        std::memcpy(&bits, &scaled, sizeof bits);
        const int e = static_cast<int>(bits >> 52) - 1023;
        last += (std::uint64_t{1} << (e - 53)) - 1;
    }
    while (unit_of(last + 1) <= prob) ++last;
    while (unit_of(last) > prob) --last;
    return true;
}

double draw_gamma(Mt19937_64& gen, double k, double theta) {
    if (theta < kEps) return kNaN;
    if (k < 0 || is_nan(k) || is_nan(theta)) return kNaN;
    // A shape that grows without bound drives the variate to +inf; the
    // squeeze could never accept there (d = inf, c = 0 make g NaN), so the
    // limit is returned without drawing.
    if (is_pinf(k)) return kInf;
    if (k > 1) return gamma_above_one(gen, k, theta);
    return gamma_at_most_one(gen, k, theta).value;
}

GammaVariate draw_gamma_variate(Mt19937_64& gen, double k, double theta) {
    if (k >= 0 && k <= 1 && theta >= kEps) return gamma_at_most_one(gen, k, theta);
    const double g = draw_gamma(gen, k, theta);
    return {g, 1.0, 1.0, g};
}

}  // namespace zorvana
