// Choice of the lane variant, and the plain scalar loops every variant must
// reproduce.
#include "kernels/lanes.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/platform.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

void exp_loop(const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_exp(x[i]);
}
void log_loop(const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_log(x[i]);
}
void erf_loop(const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_erf(x[i]);
}
void erf_inv_loop(const double* p, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_erf_inv(p[i]);
}
void gamma_terms_loop(const double* t, const double* w, double a_minus_1, double lg, double* term,
                      std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) term[i] = math_exp((math_log(t[i]) * a_minus_1 - t[i]) - lg) * w[i];
}

void gamma_p_loop(double a, const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p(a, x[i]);
}
// The plain loops tell no P at their quantiles.
void gamma_p_inv_loop(double a, const double* p, double* out, double*, unsigned char* known, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p_inv(a, p[i]);
    if (known != nullptr) std::memset(known, 0, n);
}

void lgamma_loop(const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_lgamma(x[i]);
}
void gamma_p_each_loop(const double* a, const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p(a[i], x[i]);
}
void gamma_p_inv_each_loop(const double* a, const double* p, double* out, double*, unsigned char* known,
                           std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p_inv(a[i], p[i]);
    if (known != nullptr) std::memset(known, 0, n);
}

const LaneKernels kLanesScalar = {"scalar",         exp_loop,         log_loop,          erf_loop,
                                  erf_inv_loop,     gamma_terms_loop, gamma_p_loop,      gamma_p_inv_loop,
                                  lgamma_loop,      gamma_p_each_loop, gamma_p_inv_each_loop};

// Without lane registers (kernels/platform.hpp) the plain loops are the only variant.
#if ZV_LANE_REGISTERS != 0
const LaneKernels* best_supported() {
#if ZV_X86
    if (platform::cpu_has_avx512f()) return &kLanesAvx512;
    if (platform::cpu_has_avx2()) return &kLanesAvx2;
#endif
    return &kLanesSse2;
}
const LaneKernels* const kVariants[] = {&kLanesScalar, &kLanesSse2, &kLanesAvx2, &kLanesAvx512};
#else
const LaneKernels* best_supported() { return &kLanesScalar; }
const LaneKernels* const kVariants[] = {&kLanesScalar};
#endif

const LaneKernels* choose() {
    const char* forced = std::getenv("ZORVANA_DISPATCH");
    if (forced != nullptr) {
        if (const LaneKernels* k = lane_kernels_named(forced)) return k;
    }
    return best_supported();
}

}  // namespace

const LaneKernels& lane_kernels() {
    static const LaneKernels* const chosen = choose();
    return *chosen;
}

const LaneKernels& scalar_lane_kernels() { return kLanesScalar; }

const LaneKernels* lane_kernels_named(const char* name) {
    const LaneKernels* best = best_supported();
    for (const LaneKernels* k : kVariants) {
        if (std::strcmp(name, k->name) == 0) return k;
        // Variants wider than the processor runs come after the best one.
        if (k == best) break;
    }
    return nullptr;
}

void math_exp_n(const double* x, double* out, std::size_t n) { lane_kernels().exp(x, out, n); }
void math_log_n(const double* x, double* out, std::size_t n) { lane_kernels().log(x, out, n); }
void math_erf_n(const double* x, double* out, std::size_t n) { lane_kernels().erf(x, out, n); }
void math_erf_inv_n(const double* p, double* out, std::size_t n) { lane_kernels().erf_inv(p, out, n); }

void gamma_quadrature_terms(const double* t, const double* w, double a_minus_1, double lg, double* term,
                            std::size_t n) {
    lane_kernels().gamma_terms(t, w, a_minus_1, lg, term, n);
}

void math_gamma_p_n(double a, const double* x, double* out, std::size_t n) {
    lane_kernels().gamma_p(a, x, out, n);
}
void math_gamma_p_inv_n(double a, const double* p, double* out, std::size_t n, double* p_at, unsigned char* known) {
    lane_kernels().gamma_p_inv(a, p, out, p_at, known, n);
}

void math_lgamma_n(const double* x, double* out, std::size_t n) { lane_kernels().lgamma(x, out, n); }
void math_gamma_p_each_n(const double* a, const double* x, double* out, std::size_t n) {
    lane_kernels().gamma_p_each(a, x, out, n);
}
void math_gamma_p_inv_each_n(const double* a, const double* p, double* out, std::size_t n, double* p_at,
                             unsigned char* known) {
    lane_kernels().gamma_p_inv_each(a, p, out, p_at, known, n);
}

const char* lanes_variant() { return lane_kernels().name; }

}  // namespace zorvana
