// Lane kernels for processors with AVX2: 4 doubles per register, two registers per pack.
#include <cstddef>

#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/precision.hpp"

#pragma GCC target("avx2")
#define ZV_VARIANT_NS lanes_avx2
#define ZV_TABLE kLanesAvx2
#define ZV_NAME "avx2"
#define ZV_LANES 4
#define ZV_CHAINS 2
#include "kernels/lanes_impl.hpp"
