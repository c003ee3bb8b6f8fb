// The table of lane kernels that each variant (one translation unit per
// instruction set) provides, and what the variants share.
#pragma once

#include <cstddef>

#include "kernels/precision.hpp"

namespace zorvana {

struct LaneKernels {
    const char* name;
    void (*exp)(const double* x, double* out, std::size_t n);
    void (*log)(const double* x, double* out, std::size_t n);
    void (*erf)(const double* x, double* out, std::size_t n);
    void (*erf_inv)(const double* p, double* out, std::size_t n);
    void (*gamma_terms)(const double* t, const double* w, double a_minus_1, double lg, double* term,
                        std::size_t n);
    void (*gamma_p)(double a, const double* x, double* out, std::size_t n);
    // With p_at and known not null, also P at the quantiles where the
    // iteration evaluated it there (see math_gamma_p_inv_n).
    void (*gamma_p_inv)(double a, const double* p, double* out, double* p_at, unsigned char* known, std::size_t n);
    void (*lgamma)(const double* x, double* out, std::size_t n);
    void (*gamma_p_each)(const double* a, const double* x, double* out, std::size_t n);
    void (*gamma_p_inv_each)(const double* a, const double* p, double* out, double* p_at, unsigned char* known,
                             std::size_t n);
};

extern const LaneKernels kLanesSse2;
extern const LaneKernels kLanesAvx2;
extern const LaneKernels kLanesAvx512;

// The variant table in use (chosen once), and the plain loops over the scalar
// kernels that every variant must reproduce.
const LaneKernels& lane_kernels();
const LaneKernels& scalar_lane_kernels();
// The variant of that name if this processor runs it, else null.
const LaneKernels* lane_kernels_named(const char* name);

// The start value of math_gamma_p_inv (a > 0, 0 < p < 1).
double gamma_p_inv_start(double a, double p);

// math_gamma_p(a, x) in its quadrature regime, given lg = math_lgamma(a):
// gamma_quadrature_sum of the terms exp((log(t[i]) (-1 + a) - t[i]) - lg) w[i]
// at the nodes and weights gamma_quadrature_nodes gives.
double gamma_p_quadrature(double a, double x, double lg);
constexpr int kQuadratureNodes = 50;
void gamma_quadrature_nodes(double a, double x, double* t, double* w);
inline double gamma_quadrature_sum(const double* term) {
    double sum = term[kQuadratureNodes - 1];
    for (int i = kQuadratureNodes - 2; i >= 0; --i) sum = sum + term[i];
    return sum;
}

// The Lanczos form of math_lgamma(x) (x >= eps, away from 1, not an integer
// of its table): (math_log(lanczos_sum(x)) + kLnSqrtTwoPi) + p with
// p = math_log((x - 1) + kLanczosGPlusHalf) * (0.5 + (x - 1)) - (kLanczosGPlusHalf + (x - 1)).
// g + 1/2 = 5.2421875 (exact in binary); ln sqrt(2 pi), the double nearest.
constexpr double kLanczosGPlusHalf = 5.2421875;
constexpr double kLnSqrtTwoPi = 0.9189385332046728;
// The extended-precision Lanczos sum at x, rounded to double.
double lanczos_sum(double x);
// math_lgamma takes the integers from 2 to this one from a table.
constexpr int kLgammaIntegersMax = 1024;

}  // namespace zorvana
