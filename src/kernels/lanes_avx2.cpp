// Lane kernels for processors with AVX2: 4 doubles per register, two registers per pack.
#include <cstddef>

#include "kernels/elementary.hpp"
#include "kernels/gamma.hpp"
#include "kernels/lanes_variants.hpp"
#include "kernels/platform.hpp"
#include "kernels/precision.hpp"

// The instruction set of every function defined from here on (x86 only;
// elsewhere this file builds the baseline code, which is never chosen).
// Without lane registers (kernels/platform.hpp) the file builds nothing.
#if ZV_LANE_REGISTERS != 0
ZV_TARGET_BEGIN(avx2)
#define ZV_VARIANT_NS lanes_avx2
#define ZV_TABLE kLanesAvx2
#define ZV_NAME "avx2"
#define ZV_LANES 4
#define ZV_CHAINS 2
#define ZV_SPARE_DIVIDER 1
#include "kernels/lanes_impl.hpp"
ZV_TARGET_END
#endif
