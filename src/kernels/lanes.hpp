// Kernels evaluated over runs of elements in vector lanes. Each lane performs
// exactly the operations of the scalar kernel, in the same order and without
// fusing, so every result equals the scalar kernel's bit for bit; lanes that
// take a rare branch are handed to the scalar kernel itself.
//
// The lane width follows the processor: one variant for baseline x86-64
// (SSE2), one for AVX2 and one for AVX-512F, chosen once on first use from the
// processor's features. The environment variable ZORVANA_DISPATCH (scalar,
// sse2, avx2, avx512) forces a variant; a variant the processor cannot run
// falls back to the best one it can.
#pragma once

#include <cstddef>

namespace zorvana {

// out[i] = math_exp(x[i]), math_log(x[i]), math_erf(x[i]), math_erf_inv(x[i]).
// out may be x itself.
void math_exp_n(const double* x, double* out, std::size_t n);
void math_log_n(const double* x, double* out, std::size_t n);
void math_erf_n(const double* x, double* out, std::size_t n);
void math_erf_inv_n(const double* p, double* out, std::size_t n);

// The quadrature terms of the incomplete gamma function:
// term[i] = math_exp((math_log(t[i]) * a_minus_1 - t[i]) - lg) * w[i].
void gamma_quadrature_terms(const double* t, const double* w, double a_minus_1, double lg, double* term,
                            std::size_t n);

// out[i] = math_gamma_p(a, x[i]) and math_gamma_p_inv(a, p[i]), for one shape a.
void math_gamma_p_n(double a, const double* x, double* out, std::size_t n);
// Given p_at and known, an inverse also tells P at the quantile it returns
// where its iteration evaluated P there: known[i] = 1 and
// p_at[i] = math_gamma_p(a, out[i]) bit for bit; elsewhere known[i] = 0.
void math_gamma_p_inv_n(double a, const double* p, double* out, std::size_t n, double* p_at = nullptr,
                        unsigned char* known = nullptr);

// out[i] = math_lgamma(x[i]); math_gamma_p(a[i], x[i]) and
// math_gamma_p_inv(a[i], p[i]), a shape per element.
void math_lgamma_n(const double* x, double* out, std::size_t n);
void math_gamma_p_each_n(const double* a, const double* x, double* out, std::size_t n);
void math_gamma_p_inv_each_n(const double* a, const double* p, double* out, std::size_t n, double* p_at = nullptr,
                             unsigned char* known = nullptr);

// Name of the variant in use: "scalar", "sse2", "avx2" or "avx512".
const char* lanes_variant();

}  // namespace zorvana
