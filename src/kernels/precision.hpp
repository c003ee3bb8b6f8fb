// Floating-point formats and the near-zero vocabulary shared by every kernel.
#pragma once

#include <cstdint>
#include <limits>

namespace zorvana {

// Extended precision is the x87 80-bit format: 64-bit significand, round to
// nearest. Every extended step of the kernels assumes exactly that format.
using ext = long double;
static_assert(std::numeric_limits<ext>::digits == 64,
              "long double must be the x87 80-bit extended format (64-bit significand)");
static_assert(std::numeric_limits<double>::digits == 53 && std::numeric_limits<double>::is_iec559,
              "double must be IEEE 754 binary64");

// 2^-52: double kernels treat any magnitude below it as zero.
constexpr double kEps = 0x1p-52;
// 2^-63: the extended kernels' zero threshold.
constexpr ext kEpsExt = 0x1p-63L;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr ext kInfExt = std::numeric_limits<ext>::infinity();
constexpr ext kNaNExt = std::numeric_limits<ext>::quiet_NaN();

// |v| with both zeros giving +0.
constexpr double abs0(double v) { return v == 0 ? 0.0 : (v < 0 ? -v : v); }
constexpr ext abs0(ext v) { return v == 0 ? 0.0L : (v < 0 ? -v : v); }

constexpr bool is_nan(double v) { return v != v; }
constexpr bool is_nan(ext v) { return v != v; }
constexpr bool is_pinf(double v) { return v >= kInf; }
constexpr bool is_ninf(double v) { return v <= -kInf; }
constexpr bool is_inf(double v) { return is_pinf(v) || is_ninf(v); }
constexpr bool is_pinf(ext v) { return v >= kInfExt; }
constexpr bool is_ninf(ext v) { return v <= -kInfExt; }

// |v| < eps: the value counts as zero.
constexpr bool near_zero(double v) { return abs0(v) < kEps; }
constexpr bool near_zero(ext v) { return abs0(v) < kEpsExt; }
// |v - 1| < eps: the value counts as one.
constexpr bool near_one(double v) { return abs0(v - 1.0) < kEps; }

}  // namespace zorvana
