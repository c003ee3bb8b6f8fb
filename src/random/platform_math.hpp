// The platform's log and pow, which the normal and gamma samplers call (the
// rest of the module computes with its own kernels). A build that sets
// ZORVANA_GLIBC_MATH binds them to glibc's libm by symbol version: the
// wheels' compiler carries a log of its own in its runtime, which would
// otherwise be linked in its place and round some draws differently from a
// build that calls glibc's.
#pragma once

#include <cmath>

#if defined(ZORVANA_GLIBC_MATH)
#if defined(__x86_64__)
#define ZV_GLIBC_MATH_VERSION "GLIBC_2.2.5"
#elif defined(__aarch64__)
#define ZV_GLIBC_MATH_VERSION "GLIBC_2.17"
#else
#error "ZORVANA_GLIBC_MATH: no glibc symbol version known for this machine"
#endif
extern "C" double zv_glibc_log(double);
extern "C" double zv_glibc_pow(double, double);
__asm__(".symver zv_glibc_log, log@" ZV_GLIBC_MATH_VERSION);
__asm__(".symver zv_glibc_pow, pow@" ZV_GLIBC_MATH_VERSION);
#endif

namespace zorvana {

#if defined(ZORVANA_GLIBC_MATH)
inline double platform_log(double x) { return zv_glibc_log(x); }
inline double platform_pow(double x, double y) { return zv_glibc_pow(x, y); }
#else
inline double platform_log(double x) { return std::log(x); }
inline double platform_pow(double x, double y) { return std::pow(x, y); }
#endif

}  // namespace zorvana
