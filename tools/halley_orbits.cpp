// How the Halley iterations of the inverse kernels (incomplete gamma, error
// function, incomplete beta) end: steps taken, steps that evaluated their
// functions (the distinct iterates; the others recall the values of an
// iterate met before) and the period of the states each run ends on.
//
// Build from the repository's root, the kernels compiled for the record:
//   g++ -std=c++17 -O2 -ffp-contract=off -DZORVANA_HALLEY_STATS -Isrc
//       -o halley_orbits tools/halley_orbits.cpp src/kernels/*.cpp
//   ./halley_orbits counts [N]   the benchmark's inputs: shapes log-uniform on
//                                [0.5, 50], p 80 % uniform on [0.01, 0.99],
//                                10 % log-uniform in each tail down to 1e-12
//   ./halley_orbits pick         inputs that end on each kind of orbit: the
//                                rows of tests/halley_orbits.py
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kernels/beta.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"
#include "kernels/halley.hpp"

using namespace zorvana;

namespace {

std::mt19937_64 rng(20261208);

double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
double log_uniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }

double probability() {
    const double u = uniform(0, 1);
    if (u < 0.8) return uniform(0.01, 0.99);
    const double tail = log_uniform(1e-12, 0.01);
    return u < 0.9 ? tail : 1 - tail;
}

struct Input {
    double a, b, p;
};

// The kernels: their name, their inputs and the call.
struct Kernel {
    const char* name;
    Input (*draw)();
    double (*call)(const Input&);
};

const Kernel kKernels[] = {
    {"math_gamma_p_inv", [] { return Input{log_uniform(0.5, 50), 0, probability()}; },
     [](const Input& in) { return math_gamma_p_inv(in.a, in.p); }},
    {"math_erf_inv", [] { return Input{0, 0, probability()}; },
     // The argument qnorm passes, exact for p >= 1/4.
     [](const Input& in) { return math_erf_inv((in.p + in.p) - 1); }},
    {"math_beta_i_inv", [] { return Input{log_uniform(0.5, 50), log_uniform(0.5, 50), probability()}; },
     [](const Input& in) { return math_beta_i_inv(in.a, in.b, in.p); }},
};

// Kinds of ending: all steps, a fixed state, a cycle of two states, longer.
std::string kind_of(const HalleyRun& run, int all_steps) {
    if (run.period == 0) return run.steps == all_steps ? "all steps" : "early return";
    if (run.period == 1) return "period 1";
    if (run.period == 2) return "period 2";
    return "period 3+";
}

int all_steps_of(const Kernel& k) { return std::strcmp(k.name, "math_erf_inv") == 0 ? 55 : 36; }

void counts(long n) {
    for (const Kernel& k : kKernels) {
        long steps = 0, evaluations = 0;
        std::map<std::string, long> kinds;
        std::map<int, long> recalled;
        for (long i = 0; i < n; ++i) {
            const Input in = k.draw();
            k.call(in);
            const HalleyRun run = halley_last_run;
            steps += run.steps;
            evaluations += run.evaluations;
            ++kinds[kind_of(run, all_steps_of(k))];
            ++recalled[run.steps - run.evaluations];
        }
        std::printf("%s, %ld inputs: %.2f steps, %.2f evaluated (distinct iterates) an element: %.1f %% recalled\n",
                    k.name, n, double(steps) / n, double(evaluations) / n,
                    100.0 * double(steps - evaluations) / double(steps));
        std::printf("  ends:");
        for (const auto& kv : kinds) std::printf("  %s %.1f %%", kv.first.c_str(), 100.0 * kv.second / n);
        std::printf("\n  steps recalled per element:");
        for (const auto& kv : recalled) std::printf("  %d: %.1f %%", kv.first, 100.0 * kv.second / n);
        std::printf("\n");
    }
}

// Two inputs of each kind of ending per kernel, with a recall or none among
// those of period 1 and 2: the rows of tests/halley_orbits.py (the arguments
// as hexadecimal floats; p for the error function's inverse, called at
// (p + p) - 1).
void pick() {
    for (const Kernel& k : kKernels) {
        std::map<std::string, int> found;
        for (long i = 0; i < 400000; ++i) {
            Input in = k.draw();
            if (i % 2 == 0 && std::strcmp(k.name, "math_erf_inv") != 0) in.a = std::floor(in.a * 4) / 4;
            k.call(in);
            const HalleyRun run = halley_last_run;
            std::string kind = kind_of(run, all_steps_of(k));
            if (kind == "early return") continue;
            if (kind == "period 1" || kind == "period 2") kind += run.steps > run.evaluations ? " recalled" : "";
            if (found[kind] >= 2) continue;
            ++found[kind];
            if (std::strcmp(k.name, "math_gamma_p_inv") == 0) {
                std::printf("    (\"%s\", [\"%a\", \"%a\"]),  # %s\n", k.name, in.a, in.p, kind.c_str());
            } else if (std::strcmp(k.name, "math_erf_inv") == 0) {
                std::printf("    (\"%s\", [\"%a\"]),  # %s\n", k.name, in.p, kind.c_str());
            } else {
                std::printf("    (\"%s\", [\"%a\", \"%a\", \"%a\"]),  # %s\n", k.name, in.a, in.b, in.p, kind.c_str());
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "pick") == 0) {
        pick();
    } else {
        counts(argc > 2 ? std::atol(argv[2]) : 100000);
    }
    return 0;
}
