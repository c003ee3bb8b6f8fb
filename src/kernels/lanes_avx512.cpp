// Lane kernels for processors with AVX512F: 8 doubles per register, two registers per pack.
#include <cstddef>

#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/precision.hpp"

// The instruction set of every function defined from here on (x86 only;
// elsewhere this file builds the baseline code, which is never chosen).
#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC target("avx512f")
#endif
#endif
#define ZV_VARIANT_NS lanes_avx512
#define ZV_TABLE kLanesAvx512
#define ZV_NAME "avx512"
#define ZV_LANES 8
#define ZV_CHAINS 2
#define ZV_SPARE_DIVIDER 1
#include "kernels/lanes_impl.hpp"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__clang__)
#pragma clang attribute pop
#endif
