// Lane kernels for baseline x86-64 (SSE2), and for any other processor its
// baseline vectors: 2 doubles per register, two registers per pack.
#include <cstddef>

#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/platform.hpp"
#include "kernels/precision.hpp"

// Without lane registers (kernels/platform.hpp) the file builds nothing.
#if ZV_LANE_REGISTERS != 0
#define ZV_VARIANT_NS lanes_sse2
#define ZV_TABLE kLanesSse2
#define ZV_NAME "sse2"
#define ZV_LANES 2
#define ZV_CHAINS 2
#define ZV_SPARE_DIVIDER 0
#include "kernels/lanes_impl.hpp"
#endif
