// Primitive variates built on the generator: canonical and unit uniforms, the
// interval uniform, the polar standard normal and the Marsaglia-Tsang gamma.
// Each takes the generator by reference, consumes a fixed number of outputs
// per attempt in a fixed order, and keeps nothing between calls. They use the
// platform's log, pow, nextafter and the correctly rounded sqrt (not the
// module's own kernels), so their last bits follow the platform library.
#pragma once

#include <cstdint>
#include <limits>

#include "random/mt19937_64.hpp"

namespace zorvana {

// 2^-64: maps a 64-bit word onto [0, 1].
constexpr double kWordScale = 0x1p-64;
// 2^-1074, the least positive (subnormal) double: the floor of draw_unit.
constexpr double kLeastSubnormal = std::numeric_limits<double>::denorm_min();

// The word rounded once to double (ties to even), then scaled: x / 2^64 in
// [0, 1]. Words from 2^64 - 1024 upward give exactly 1.0.
inline double canonical_of(std::uint64_t word) { return static_cast<double>(word) * kWordScale; }

// The unit uniform of one word: the interval uniform on (0, 1),
// U0 * (1 - a') + a' with a' = nextafter(0, 1) = 2^-1074. As 1 - 2^-1074
// rounds to 1 and every nonzero U0 is at least 2^-64, that sum is U0 itself
// for U0 > 0 and 2^-1074 for U0 = 0; computing it that way avoids arithmetic
// on a subnormal operand.
inline double unit_of(std::uint64_t word) {
    const double u0 = canonical_of(word);
    return u0 > 0 ? u0 : kLeastSubnormal;
}

// The unit uniforms of the words up to some word are those at most prob:
// unit_of is non-decreasing in the word, so "unit_of(word) <= prob" is the
// same test as "word <= last" for the largest such word `last`. Returns
// false (and last = 0) when no word passes, that is for prob below 2^-1074.
// prob is a probability in [0, 1].
bool unit_last_at_most(double prob, std::uint64_t& last);

// Value of the polar method from an accepted first coordinate u and radius
// s = u*u + v*v in (0, 1]: u * sqrt(-2 log(s) / s). Adding +0.0 turns the -0
// of u = 1, s = 1 (sqrt(-0) = -0) into +0.
double polar_value(double u, double s);

// One output as a double in [0, 1].
inline double draw_canonical(Mt19937_64& gen) { return canonical_of(gen.next()); }

// One output as a double in [2^-1074, 1]: never 0, exactly 1 once in 2^54.
inline double draw_unit(Mt19937_64& gen) { return unit_of(gen.next()); }

// One output mapped onto (a, b] (a < b): U0 * (b - a') + a' with
// a' = nextafter(a, b), so a itself is never returned.
double draw_uniform(Mt19937_64& gen, double a, double b);

// Marsaglia's polar method, first coordinate only: two outputs per attempt,
// attempts repeated until 0 < s <= 1. No spare value is kept.
double draw_std_normal(Mt19937_64& gen);

// Gamma variate of shape k and scale theta by Marsaglia and Tsang's method;
// shapes up to 1 are boosted to k + 1 and scaled by U^(1/k). NaN without
// consuming output for theta < 2^-52, k < 0 or a NaN k or theta.
double draw_gamma(Mt19937_64& gen, double k, double theta);

// A gamma variate with what its logarithm needs. For shapes up to 1 the
// variate is U^(1/k) G, which underflows to 0 long before its logarithm
// log(U)/k + log(G) leaves the doubles.
struct GammaVariate {
    double value;  // bit for bit what draw_gamma returns
    double u;      // U; 1 for shapes above 1 (and invalid ones)
    double shape;  // k; 1 for shapes above 1
    double rest;   // G; the value itself for shapes above 1
    // log(value), finite where U^(1/k) underflows: -inf only for k = 0 (or k
    // so small that log(U)/k overflows).
    double log() const;
};

// draw_gamma with the same outputs consumed and the same value, plus the
// pieces of its logarithm.
GammaVariate draw_gamma_variate(Mt19937_64& gen, double k, double theta);

}  // namespace zorvana
