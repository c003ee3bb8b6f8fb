// Everything the module takes from a compiler or platform beyond standard
// C++17, in one place. Three branches:
//   gcc and clang (zig's too): their attributes, builtins and vector types;
//   MSVC: __declspec, __forceinline, __cpuid/_xgetbv and the <immintrin.h>
//     intrinsics, written from Microsoft's documentation (no MSVC build has
//     been made yet);
//   ZORVANA_PORTABLE (or any other compiler): standard C++17 alone. The lane
//     kernels are then the plain scalar loops, the instruction set the
//     baseline, and fork handlers go through the interpreter
//     (os.register_at_fork, which module.cpp calls).
// Every branch computes the same bits. ZORVANA_INTRINSIC_VECTORS makes gcc
// and clang build MSVC's lane registers, so that those are tested too.
//
// The lane registers themselves are defined by the second part of this file,
// which a lane variant includes again inside its own namespace, after its
// instruction-set pragma (see kernels/lanes_impl.hpp).
#ifndef ZORVANA_KERNELS_PLATFORM_HPP
#define ZORVANA_KERNELS_PLATFORM_HPP

#include <cstdint>
#include <cstring>
#include <vector>

#if defined(ZORVANA_PORTABLE)
#define ZV_GNU 0
#define ZV_MSVC 0
#elif defined(__GNUC__)
#define ZV_GNU 1
#define ZV_MSVC 0
#elif defined(_MSC_VER)
#define ZV_GNU 0
#define ZV_MSVC 1
#else
#define ZV_GNU 0
#define ZV_MSVC 0
#endif

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define ZV_X86 1
#else
#define ZV_X86 0
#endif

#define ZV_PRAGMA(...) _Pragma(#__VA_ARGS__)

// ZV_NOINLINE: never inlined. ZV_NOINLINE_NOCLONE: nor specialised into
// clones (gcc's interprocedural constant propagation). ZV_ALWAYS_INLINE: an
// inline function always inlined. ZV_RESTRICT: a pointer no other one
// aliases. ZV_UNROLL(n): the loop that follows unrolled n times.
#if ZV_GNU
#define ZV_NOINLINE __attribute__((noinline))
#if defined(__clang__)
#define ZV_NOINLINE_NOCLONE __attribute__((noinline))
#else
#define ZV_NOINLINE_NOCLONE __attribute__((noinline, noclone))
#endif
#define ZV_ALWAYS_INLINE inline __attribute__((always_inline))
#define ZV_RESTRICT __restrict
#define ZV_UNROLL(n) ZV_PRAGMA(GCC unroll n)
// gcc's vector type of that many bytes of T, elementwise operators and all.
#define ZV_GNU_VECTOR(name, T, bytes) typedef T name __attribute__((vector_size(bytes)))
#elif ZV_MSVC
#define ZV_NOINLINE __declspec(noinline)
#define ZV_NOINLINE_NOCLONE __declspec(noinline)
#define ZV_ALWAYS_INLINE __forceinline
#define ZV_RESTRICT __restrict
#define ZV_UNROLL(n)
#else
#define ZV_NOINLINE
#define ZV_NOINLINE_NOCLONE
#define ZV_ALWAYS_INLINE inline
#define ZV_RESTRICT
#define ZV_UNROLL(n)
#endif

// The lane registers: ZV_LANE_REGISTERS is 1 for gcc's vector types, 2 for
// the x86 intrinsics (MSVC, or gcc and clang asked for them), 0 where there
// are none (the lane variants then reduce to the plain scalar loops).
#if ZV_GNU && !defined(ZORVANA_INTRINSIC_VECTORS)
#define ZV_LANE_REGISTERS 1
#elif (ZV_GNU || ZV_MSVC) && ZV_X86
#define ZV_LANE_REGISTERS 2
#else
#define ZV_LANE_REGISTERS 0
#endif

#if ZV_LANE_REGISTERS == 2 || (ZV_MSVC && ZV_X86)
#include <immintrin.h>
#endif
#if ZV_MSVC && ZV_X86
#include <intrin.h>
#endif

// ZV_TARGET_BEGIN(isa) ... ZV_TARGET_END: the functions defined between them
// use that instruction set (gcc's and clang's names: avx2, avx512f). MSVC
// compiles any intrinsic anywhere: nothing to say.
#if ZV_LANE_REGISTERS != 0 && ZV_GNU && ZV_X86
#if defined(__clang__)
#define ZV_TARGET_BEGIN(isa) ZV_PRAGMA(clang attribute push(__attribute__((target(#isa))), apply_to = function))
#define ZV_TARGET_END ZV_PRAGMA(clang attribute pop)
#else
#define ZV_TARGET_BEGIN(isa) ZV_PRAGMA(GCC push_options) ZV_PRAGMA(GCC target(#isa))
#define ZV_TARGET_END ZV_PRAGMA(GCC pop_options)
#endif
#else
#define ZV_TARGET_BEGIN(isa)
#define ZV_TARGET_END
#endif

// Fork handlers. With POSIX threads, pthread_atfork; elsewhere a list that
// the module hands to the interpreter (os.register_at_fork, CPython 3.7 and
// later), which runs it in a child that os.fork made. ZV_AT_FORK_CHILD(f)
// registers f at the program's start, once per translation unit.
#if ZV_GNU && !defined(_WIN32)
#include <pthread.h>
#define ZV_AT_FORK_CHILD(handler) \
    [[maybe_unused]] const int g_fork_handler = pthread_atfork(nullptr, nullptr, handler)
#else
#define ZV_AT_FORK_CHILD(handler) \
    [[maybe_unused]] const int g_fork_handler = ::zorvana::platform::at_fork_child(handler)
#endif

#if ZV_GNU && defined(__linux__)
#include <sched.h>
#endif

namespace zorvana {
namespace platform {

// Whether the fork handlers of this build need the interpreter's help.
#if ZV_GNU && !defined(_WIN32)
constexpr bool kForkHandlersFromInterpreter = false;
#else
constexpr bool kForkHandlersFromInterpreter = true;
#endif

inline std::vector<void (*)()>& fork_child_handlers() {
    static std::vector<void (*)()> handlers;
    return handlers;
}
inline int at_fork_child(void (*handler)()) {
    fork_child_handlers().push_back(handler);
    return 0;
}
inline void run_fork_child_handlers() {
    for (void (*handler)() : fork_child_handlers()) handler();
}

// The processors this process may run on (its affinity mask), or 0 where
// the platform does not tell.
inline int processors_allowed() {
#if ZV_GNU && defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return 0;
}

// The processor runs AVX2 or AVX-512F code (and the system saves their
// registers). The baseline elsewhere: no.
#if ZV_GNU && ZV_X86
inline bool cpu_has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
inline bool cpu_has_avx512f() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}
#elif ZV_MSVC && ZV_X86
// CPUID leaf 1: ECX bit 27 OSXSAVE, bit 28 AVX; leaf 7 subleaf 0: EBX bit 5
// AVX2, bit 16 AVX512F. XCR0: bits 1 and 2 the SSE and AVX state, bits 5 to 7
// the AVX-512 opmask and upper ZMM state.
inline bool cpu_has_leaf7_ebx_bit(int bit, unsigned long long xcr0_mask) {
    int r[4];
    __cpuid(r, 0);
    if (r[0] < 7) return false;
    __cpuid(r, 1);
    if ((r[2] & (1 << 27)) == 0 || (r[2] & (1 << 28)) == 0) return false;
    if ((_xgetbv(0) & xcr0_mask) != xcr0_mask) return false;
    __cpuidex(r, 7, 0);
    return (r[1] & (1 << bit)) != 0;
}
inline bool cpu_has_avx2() { return cpu_has_leaf7_ebx_bit(5, 0x6); }
inline bool cpu_has_avx512f() { return cpu_has_leaf7_ebx_bit(16, 0xe6); }
#else
inline bool cpu_has_avx2() { return false; }
inline bool cpu_has_avx512f() { return false; }
#endif

// A 128-bit unsigned integer type where the compiler has one.
#if ZV_GNU && defined(__SIZEOF_INT128__)
#define ZV_HAS_UINT128 1
__extension__ typedef unsigned __int128 uint128;
#else
#define ZV_HAS_UINT128 0
#endif

// The leading zero bits of v != 0.
constexpr int count_leading_zeros(std::uint64_t v) {
#if ZV_GNU
    return __builtin_clzll(v);
#else
    int n = 0;
    for (int step = 32; step > 0; step /= 2) {
        if ((v >> (64 - step)) == 0) {
            v <<= step;
            n += step;
        }
    }
    return n;
#endif
}

}  // namespace platform
}  // namespace zorvana

// ZV_BIT_CAST(To, v): the bits of v as a To of the same size; a constant
// expression with gcc and clang (their builtin), a copy elsewhere.
#if ZV_GNU
#define ZV_BIT_CAST_CONSTEXPR constexpr
#define ZV_BIT_CAST(To, v) __builtin_bit_cast(To, v)
#else
#define ZV_BIT_CAST_CONSTEXPR
#define ZV_BIT_CAST(To, v) ::zorvana::platform::bit_cast<To>(v)
namespace zorvana {
namespace platform {
template <class To, class From>
To bit_cast(const From& from) {
    static_assert(sizeof(To) == sizeof(From), "bit_cast between types of one size");
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}
}  // namespace platform
}  // namespace zorvana
#endif

#endif  // ZORVANA_KERNELS_PLATFORM_HPP

// ---------------------------------------------------------------------------
// The lane registers, for a lane variant that defines ZV_LANE_REGISTERS_HERE
// and the constant L (doubles per register) and includes this file inside its
// own namespace, after its instruction-set pragma: V (L doubles) and VM (L
// masks, all bits set where true) with the arithmetic, comparisons and
// logic of gcc's vector types (elementwise, IEEE rounding per lane), v[i]
// and m[i] to read lane i, vsplat(s) and vselect(m, a, b) (a where m is set).
#if defined(ZV_LANE_REGISTERS_HERE) && !defined(ZV_LANE_REGISTERS_DEFINED)
#define ZV_LANE_REGISTERS_DEFINED

#if ZV_GNU
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#if ZV_LANE_REGISTERS == 1

ZV_GNU_VECTOR(V, double, L * sizeof(double));
ZV_GNU_VECTOR(VM, long long, L * sizeof(double));
ZV_ALWAYS_INLINE V vsplat(double s) {
    V v;
    for (int i = 0; i < L; ++i) v[i] = s;
    return v;
}
ZV_ALWAYS_INLINE V vselect(const VM& m, const V& a, const V& b) { return m ? a : b; }

#elif ZV_LANE_REGISTERS == 2

// The instructions of each width: 2 (SSE2), 4 (AVX), 8 (AVX-512F, whose
// comparisons give a bit mask).
template <int Width>
struct Isa;
template <>
struct Isa<2> {
    typedef __m128d R;
    typedef __m128d K;
    static R set1(double s) { return _mm_set1_pd(s); }
    static R add(R a, R b) { return _mm_add_pd(a, b); }
    static R sub(R a, R b) { return _mm_sub_pd(a, b); }
    static R mul(R a, R b) { return _mm_mul_pd(a, b); }
    static R div(R a, R b) { return _mm_div_pd(a, b); }
    static R neg(R a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static K lt(R a, R b) { return _mm_cmplt_pd(a, b); }
    static K le(R a, R b) { return _mm_cmple_pd(a, b); }
    static K gt(R a, R b) { return _mm_cmpgt_pd(a, b); }
    static K ge(R a, R b) { return _mm_cmpge_pd(a, b); }
    static K eq(R a, R b) { return _mm_cmpeq_pd(a, b); }
    static K and_(K a, K b) { return _mm_and_pd(a, b); }
    static K or_(K a, K b) { return _mm_or_pd(a, b); }
    static K not_(K a) { return _mm_xor_pd(a, _mm_castsi128_pd(_mm_set1_epi32(-1))); }
    static R blend(K m, R a, R b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
    static bool on(K m, int i) { return ((_mm_movemask_pd(m) >> i) & 1) != 0; }
};
template <>
struct Isa<4> {
    typedef __m256d R;
    typedef __m256d K;
    static R set1(double s) { return _mm256_set1_pd(s); }
    static R add(R a, R b) { return _mm256_add_pd(a, b); }
    static R sub(R a, R b) { return _mm256_sub_pd(a, b); }
    static R mul(R a, R b) { return _mm256_mul_pd(a, b); }
    static R div(R a, R b) { return _mm256_div_pd(a, b); }
    static R neg(R a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static K lt(R a, R b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static K le(R a, R b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static K gt(R a, R b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static K ge(R a, R b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static K eq(R a, R b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static K and_(K a, K b) { return _mm256_and_pd(a, b); }
    static K or_(K a, K b) { return _mm256_or_pd(a, b); }
    static K not_(K a) { return _mm256_xor_pd(a, _mm256_castsi256_pd(_mm256_set1_epi32(-1))); }
    static R blend(K m, R a, R b) { return _mm256_blendv_pd(b, a, m); }
    static bool on(K m, int i) { return ((_mm256_movemask_pd(m) >> i) & 1) != 0; }
};
template <>
struct Isa<8> {
    typedef __m512d R;
    typedef __mmask8 K;
    static R set1(double s) { return _mm512_set1_pd(s); }
    static R add(R a, R b) { return _mm512_add_pd(a, b); }
    static R sub(R a, R b) { return _mm512_sub_pd(a, b); }
    static R mul(R a, R b) { return _mm512_mul_pd(a, b); }
    static R div(R a, R b) { return _mm512_div_pd(a, b); }
    static R neg(R a) {
        return _mm512_castsi512_pd(
            _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(static_cast<long long>(1ULL << 63))));
    }
    static K lt(R a, R b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static K le(R a, R b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static K gt(R a, R b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
    static K ge(R a, R b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static K eq(R a, R b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static K and_(K a, K b) { return static_cast<K>(a & b); }
    static K or_(K a, K b) { return static_cast<K>(a | b); }
    static K not_(K a) { return static_cast<K>(~a); }
    static R blend(K m, R a, R b) { return _mm512_mask_blend_pd(m, b, a); }
    static bool on(K m, int i) { return ((m >> i) & 1) != 0; }
};
typedef Isa<L> I;

struct VM {
    I::K k;
    ZV_ALWAYS_INLINE long long operator[](int i) const { return I::on(k, i) ? -1 : 0; }
    ZV_ALWAYS_INLINE VM& operator|=(const VM& b) {
        k = I::or_(k, b.k);
        return *this;
    }
};
struct V {
    I::R r;
    ZV_ALWAYS_INLINE double operator[](int i) const {
        double d[L];
        std::memcpy(d, &r, sizeof d);
        return d[i];
    }
};
ZV_ALWAYS_INLINE V vsplat(double s) { return V{I::set1(s)}; }
ZV_ALWAYS_INLINE V vselect(const VM& m, const V& a, const V& b) { return V{I::blend(m.k, a.r, b.r)}; }

#define ZV_LANE_ARITH(op, f)                                                                                 \
    ZV_ALWAYS_INLINE V operator op(const V& a, const V& b) { return V{I::f(a.r, b.r)}; }                     \
    ZV_ALWAYS_INLINE V operator op(const V& a, double b) { return V{I::f(a.r, I::set1(b))}; }                \
    ZV_ALWAYS_INLINE V operator op(double a, const V& b) { return V{I::f(I::set1(a), b.r)}; }
ZV_LANE_ARITH(+, add)
ZV_LANE_ARITH(-, sub)
ZV_LANE_ARITH(*, mul)
ZV_LANE_ARITH(/, div)
#undef ZV_LANE_ARITH
#define ZV_LANE_COMPARE(op, f)                                                                               \
    ZV_ALWAYS_INLINE VM operator op(const V& a, const V& b) { return VM{I::f(a.r, b.r)}; }                   \
    ZV_ALWAYS_INLINE VM operator op(const V& a, double b) { return VM{I::f(a.r, I::set1(b))}; }
ZV_LANE_COMPARE(<, lt)
ZV_LANE_COMPARE(<=, le)
ZV_LANE_COMPARE(>, gt)
ZV_LANE_COMPARE(>=, ge)
ZV_LANE_COMPARE(==, eq)
#undef ZV_LANE_COMPARE
ZV_ALWAYS_INLINE V operator-(const V& a) { return V{I::neg(a.r)}; }
ZV_ALWAYS_INLINE VM operator&(const VM& a, const VM& b) { return VM{I::and_(a.k, b.k)}; }
ZV_ALWAYS_INLINE VM operator|(const VM& a, const VM& b) { return VM{I::or_(a.k, b.k)}; }
ZV_ALWAYS_INLINE VM operator~(const VM& a) { return VM{I::not_(a.k)}; }

#endif  // ZV_LANE_REGISTERS
#endif  // ZV_LANE_REGISTERS_HERE
