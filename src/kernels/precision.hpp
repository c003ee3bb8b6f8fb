// Floating-point formats and the near-zero vocabulary shared by every kernel.
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>

#include "kernels/soft_ext.hpp"

namespace zorvana {

// Extended precision is the x87 80-bit format: 64-bit significand, 15-bit
// exponent, round to nearest. Where long double is that format (x86-64 with
// gcc or clang) the processor computes it; everywhere else (aarch64, MSVC,
// ...), and in builds that define ZORVANA_SOFT_EXT, SoftExt computes the same
// bits in software.
#if !defined(ZORVANA_SOFT_EXT) && LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && LDBL_MIN_EXP == -16381
#define ZORVANA_EXT_IS_LONG_DOUBLE 1
using ext = long double;
#else
using ext = SoftExt;
#endif
static_assert(std::numeric_limits<ext>::digits == 64 && std::numeric_limits<ext>::max_exponent == 16384,
              "ext must be the x87 80-bit extended format (64-bit significand)");
static_assert(std::numeric_limits<double>::digits == 53 && std::numeric_limits<double>::is_iec559,
              "double must be IEEE 754 binary64");
// Every double operation must round to double: no wider evaluation (x87
// double arithmetic of 32-bit x86 builds).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must be evaluated in double precision");

namespace ext_literal_detail {
// sig * 2^exp in the extended type, exactly (sig has at most 64 bits and the
// value lies in the normal range).
constexpr ext compose(std::uint64_t sig, int exp) {
#ifdef ZORVANA_EXT_IS_LONG_DOUBLE
    long double v = static_cast<long double>(sig);
    for (; exp > 0; --exp) v = v * 2;
    for (; exp < 0; ++exp) v = v / 2;
    return v;
#else
    return SoftExt::exact(false, sig, exp);
#endif
}
template <char... C>
struct Literal {
    static constexpr char text[] = {C..., '\0'};
    static constexpr soft_ext_detail::HexValue parsed = soft_ext_detail::parse_hex(text);
    static_assert(parsed.ok, "an extended constant must be a hexadecimal floating literal of at most 64 "
                             "significant bits in the normal range");
    static constexpr ext value = compose(parsed.sig, parsed.exp);
};
}  // namespace ext_literal_detail

// Extended constants: a hexadecimal floating literal with the suffix _ext,
// 0x1.921fb54442d1846ap+1_ext, has the same exact value in either type (at
// most 64 significant bits, checked when compiling).
template <char... C>
constexpr ext operator""_ext() {
    return ext_literal_detail::Literal<C...>::value;
}

// 2^-52: double kernels treat any magnitude below it as zero.
constexpr double kEps = 0x1p-52;
// 2^-63: the extended kernels' zero threshold.
constexpr ext kEpsExt = 0x1p-63_ext;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr ext kInfExt = std::numeric_limits<ext>::infinity();
constexpr ext kNaNExt = std::numeric_limits<ext>::quiet_NaN();

// |v| with both zeros giving +0.
constexpr double abs0(double v) { return v == 0 ? 0.0 : (v < 0 ? -v : v); }
constexpr ext abs0(ext v) { return v == 0 ? ext(0) : (v < 0 ? -v : v); }

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
