// The final step every element-wise function shares: a few rules that keep a
// result a value its distribution can have, whatever the arithmetic gave.
// Each adapter wraps a scalar function F and has F's own signature, so
// sound_density<dnorm> is registered wherever dnorm would be.
//
//   sound<F>          a parameter of -0 computes as +0;
//   sound_density<F>  and a density whose plain value is negative (or the -0
//                     a negative factor leaves) is NaN;
//   sound_mass<F>     and a probability mass above 1 is 1, its log above 0 is 0;
//   sound_upper<F>    (upper tails) and the probability is brought into
//                     [0, 1], its log above 0 to 0, as the lower tails do.
//
// "Parameter" is every argument after the first (x or p); the flags and the
// integer counts have no signed zero and pass unchanged.
#pragma once

#include <cmath>
#include <cstdint>
#include <tuple>

#include "kernels/precision.hpp"

namespace zorvana {

namespace sound_detail {

// -0 + 0 = +0; every other value keeps its bits.
inline double unsigned_zero(double v) { return v + 0.0; }
inline std::int64_t unsigned_zero(std::int64_t v) { return v; }
inline bool unsigned_zero(bool v) { return v; }

// The flag is the last argument of every d- and p-function.
template <class... A>
inline bool last_flag(A... a) {
    return std::get<sizeof...(A) - 1>(std::tuple<A...>(a...));
}

// The log of a density is NaN wherever its plain value is negative without a
// second evaluation: each d-function forms its log either as math_log of the
// plain value (NaN for a negative argument), or as the exponent whose
// math_exp is the plain value (never negative), or, for the change of
// variable of df, as the sum of the logs of its factors, where the factor
// that cancels below 0 has a NaN log. So only the plain value is checked.
inline double density_value(double v, bool log) { return (!log && std::signbit(v)) ? kNaN : v; }

inline double mass_value(double v, bool log) {
    if (log) return v > 0 ? 0.0 : v;
    if (std::signbit(v)) return kNaN;
    return v > 1 ? 1.0 : v;
}

// An upper tail is computed with its log flag; the plain value is kept in
// [0, 1] and the log at most 0 (NaN stays NaN).
inline double upper_value(double v, bool log) {
    if (log) return v > 0 ? 0.0 : v;
    return v < 0 ? 0.0 : (v > 1 ? 1.0 : v);
}

template <auto F>
struct Adapter;

template <class X, class... P, double (*F)(X, P...)>
struct Adapter<F> {
    static double value(X x, P... p) { return F(x, unsigned_zero(p)...); }
    static double density(X x, P... p) { return density_value(F(x, unsigned_zero(p)...), last_flag(p...)); }
    static double mass(X x, P... p) { return mass_value(F(x, unsigned_zero(p)...), last_flag(p...)); }
    static double upper(X x, P... p) { return upper_value(F(x, unsigned_zero(p)...), last_flag(p...)); }
};

}  // namespace sound_detail

template <auto F>
constexpr auto sound = &sound_detail::Adapter<F>::value;
template <auto F>
constexpr auto sound_density = &sound_detail::Adapter<F>::density;
template <auto F>
constexpr auto sound_mass = &sound_detail::Adapter<F>::mass;
template <auto F>
constexpr auto sound_upper = &sound_detail::Adapter<F>::upper;

}  // namespace zorvana
