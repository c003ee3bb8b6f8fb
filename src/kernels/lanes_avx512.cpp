// Lane kernels for processors with AVX512F: 8 doubles per register, two registers per pack.
#include <cstddef>

#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/precision.hpp"

#pragma GCC target("avx512f")
#define ZV_VARIANT_NS lanes_avx512
#define ZV_TABLE kLanesAvx512
#define ZV_NAME "avx512"
#define ZV_LANES 8
#define ZV_CHAINS 2
#include "kernels/lanes_impl.hpp"
