// Pieces shared by the inverse kernels (error function, incomplete gamma and
// incomplete beta): the start value's normal-quantile approximation, the
// bound on Halley's correction factor, and the record of the iteration's
// states that ends it once they repeat.
#pragma once

#include <cstdint>
#include <cstring>

namespace zorvana {

// Rational approximation of the upper normal quantile from t = sqrt(-2 log q)
// (Abramowitz and Stegun 26.2.23): numerator c0 + c1 t + c2 t^2, denominator
// 1 + d1 t + d2 t^2 + d3 t^3. Each kernel writes out its own operation order.
constexpr double kNormQuantileC0 = 2.515517;
constexpr double kNormQuantileC1 = 0.802853;
constexpr double kNormQuantileC2 = 0.010328;
constexpr double kNormQuantileD1 = 1.432788;
constexpr double kNormQuantileD2 = 0.189269;
constexpr double kNormQuantileD3 = 0.001308;

// Halley's correction factor h is held within [0.8, 1.2]: first the smaller of
// 1.2 and h, then the larger of 0.8 and that. Plain comparisons, so that a NaN
// h stays NaN (std::min and std::max would turn it into a bound).
constexpr double kHalleyFactorLow = 0.8;
constexpr double kHalleyFactorHigh = 1.2;

inline double clamp_halley_factor(double h) {
    if (h > kHalleyFactorHigh) h = kHalleyFactorHigh;
    if (h < kHalleyFactorLow) h = kHalleyFactorLow;
    return h;
}

// The states of a Halley iteration of Steps steps whose step reads nothing
// but the iterate x, the lagging derivative term d and fixed constants. The
// iteration is a function of that pair, so once a pair equals an earlier one
// (bit for bit: signed zeros and NaN payloads are told apart) the states
// cycle, and the iterate of the last step is one already recorded.
//
// State j is the pair (x_j, d) after j steps (state 0: the start). When
// state j repeats state i < j, the period is j - i and the last step's
// iterate x_Steps is x_(i + (Steps - i) mod (j - i)), an index in [i, j).
//
// A step evaluates two functions at its iterate: the one being inverted
// (its value, remembered per state) and the derivative term, which becomes
// the lagging d of the next state. When the iterate repeats that of an
// earlier state (a fixed point, a cycle between neighbouring doubles), both
// are the values computed there, recalled instead of evaluated again; the
// term at the start is the start's d.
//
// Built with ZORVANA_PLAIN_LOOPS, nothing is recorded, no repeat is ever
// reported and nothing recalled: every step is taken and evaluates both
// functions, which is what the tests compare against.
#ifdef ZORVANA_HALLEY_STATS
// Built for the measuring tool (tools/halley_orbits.cpp): the record of the
// calling thread's last iteration: the steps it took, the steps that
// evaluated the functions (not recalled), and the period of the states it
// ended on (0: it took every step).
struct HalleyRun {
    int steps, evaluations, period;
};
inline thread_local HalleyRun halley_last_run;
#define ZV_HALLEY_STATS(...) __VA_ARGS__
#else
#define ZV_HALLEY_STATS(...)
#endif

template <int Steps>
class HalleyOrbit {
  public:
    HalleyOrbit(double x0, double d0) {
        record(x0, d0);
        ZV_HALLEY_STATS(halley_last_run = HalleyRun{0, 0, 0});
    }

    // Records the state after a step; true when it repeats an earlier one,
    // with the iterate of the last step in *last.
    bool repeats(double x, double d, double* last) {
#ifdef ZORVANA_PLAIN_LOOPS
        (void)x, (void)d, (void)last;
        return false;
#else
        const std::uint64_t xb = bits(x);
        const std::uint64_t db = bits(d);
        for (int i = count_ - 1; i >= 0; --i) {
            if (x_[i] == xb && d_[i] == db) {
                const int at = i + (Steps - i) % (count_ - i);
                std::memcpy(last, &x_[at], sizeof *last);
                ZV_HALLEY_STATS(halley_last_run.period = count_ - i);
                return true;
            }
        }
        record(x, d);
        return false;
#endif
    }

    // The iterate x of the current state (the last one recorded) was that of
    // an earlier state too: the value computed there is in *value, the
    // derivative term at x (the lagging d of the state after) in *term.
    bool recall(double x, double* value, double* term) const {
        ZV_HALLEY_STATS(++halley_last_run.steps);
#ifdef ZORVANA_PLAIN_LOOPS
        (void)x, (void)value, (void)term;
#else
        const std::uint64_t xb = bits(x);
        for (int i = count_ - 2; i >= 0; --i) {
            if (x_[i] == xb) {
                *value = value_[i];
                std::memcpy(term, &d_[i + 1], sizeof *term);
                return true;
            }
        }
#endif
        ZV_HALLEY_STATS(++halley_last_run.evaluations);
        return false;
    }

    // At the first step the iterate is the start, and the derivative term at
    // it the start's own d.
    bool first_term(double* term) const {
#ifdef ZORVANA_PLAIN_LOOPS
        (void)term;
        return false;
#else
        if (count_ != 1) return false;
        std::memcpy(term, &d_[0], sizeof *term);
        return true;
#endif
    }

    // The value the step computed (or recalled) at the current iterate.
    void remember(double value) {
#ifndef ZORVANA_PLAIN_LOOPS
        value_[count_ - 1] = value;
#else
        (void)value;
#endif
    }

  private:
    static std::uint64_t bits(double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    }

    void record(double x, double d) {
#ifndef ZORVANA_PLAIN_LOOPS
        // States 0 ... Steps - 1 are all a run can record.
        if (count_ < Steps) {
            x_[count_] = bits(x);
            d_[count_] = bits(d);
            ++count_;
        }
#else
        (void)x, (void)d;
#endif
    }

    std::uint64_t x_[Steps];
    std::uint64_t d_[Steps];
    double value_[Steps];
    int count_ = 0;
};

#undef ZV_HALLEY_STATS

}  // namespace zorvana
