// Double-double arithmetic: a value as an unevaluated sum hi + lo of two
// doubles with |lo| <= ulp(hi)/2, about 106 bits of precision.
//
// Error-free transformations (two-sum, Dekker's split product) need every
// operation rounded to nearest in double precision exactly as written: the
// module is built without fused multiply-add contraction and without
// reassociation, so these give the same bits everywhere.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

static_assert(FLT_EVAL_METHOD == 0, "the error-free transformations need double operations rounded to double");

namespace zorvana {
namespace accurate {

struct DD {
    double hi;
    double lo;
};

// The bits of a double and back.
inline std::uint64_t bits_of(double x) {
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
inline double from_bits(std::uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// 2^n for -1022 <= n <= 1023, exactly.
// The double next to a finite x > 0, upward or downward.
inline double next_double(double x, bool up) { return from_bits(up ? bits_of(x) + 1 : bits_of(x) - 1); }

inline double pow2(int n) { return from_bits(static_cast<std::uint64_t>(n + 1023) << 52); }

// x * 2^n for |x| in [2^-60, 2^60], with a single rounding (only the last
// step can be inexact): overflow gives inf, underflow the subnormals and 0.
inline double scale2(double x, int n) {
    if (n > 1023) {
        x = x * pow2(1023);
        n -= 1023;
        return x * pow2(n > 1023 ? 1023 : n);
    }
    if (n < -1022) {
        if (n < -1222) return x * 0.0;
        return (x * pow2(n + 200)) * pow2(-200);
    }
    return x * pow2(n);
}

inline double fabs_(double x) { return from_bits(bits_of(x) & 0x7fffffffffffffffULL); }

// Round to the nearest integer (ties to even), |x| < 2^51.
inline double round_int(double x) {
    const double magic = 6755399441055744.0;  // 1.5 * 2^52
    if (x >= 0) return (x + magic) - magic;
    return -((-x + magic) - magic);
}

// s + e = a + b exactly.
inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double e = (a - (s - bb)) + (b - bb);
    return {s, e};
}

// s + e = a + b exactly, given |a| >= |b| (or a == 0).
inline DD fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's split: a = hi + lo, each with at most 26 significant bits
// (|a| <= 2^995, so that nothing overflows).
inline void split(double a, double& hi, double& lo) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double t = kSplitter * a;
    hi = t - (t - a);
    lo = a - hi;
}

// p + e = a * b exactly, for |a|, |b| <= 2^995 and |a b| <= 2^1000 (barring
// underflow of e): the plain Dekker product, where the ranges are known.
inline DD two_prod_in_range(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// p + e = a * b exactly, barring underflow of e (and with e = 0 where the
// product overflows). Near overflow the larger factor is scaled by 2^-60 for
// the split and the partial products.
inline DD two_prod(double a, double b) {
    const double p = a * b;
    if (!(fabs_(p) <= DBL_MAX)) return {p, 0.0};
    double scale = 1.0;
    if (fabs_(p) > 0x1p1000 || fabs_(a) > 0x1p995 || fabs_(b) > 0x1p995) {
        // The partial products could overflow: the larger factor goes down by 2^60.
        if (fabs_(a) >= fabs_(b)) {
            a *= 0x1p-60;
        } else {
            b *= 0x1p-60;
        }
        scale = 0x1p60;
    }
    const double ps = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    const double e = ((ah * bh - ps) + ah * bl + al * bh) + al * bl;
    return {p, e * scale};
}

inline DD dd_add(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    DD r = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(r.hi, r.lo + t.lo);
}

inline DD dd_add(DD a, double b) {
    const DD s = two_sum(a.hi, b);
    return fast_two_sum(s.hi, s.lo + a.lo);
}

inline DD dd_neg(DD a) { return {-a.hi, -a.lo}; }

inline DD dd_sub(DD a, DD b) { return dd_add(a, dd_neg(b)); }

inline DD dd_mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline DD dd_mul(DD a, double b) {
    const DD p = two_prod(a.hi, b);
    return fast_two_sum(p.hi, p.lo + a.lo * b);
}

inline DD dd_div(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    // r = a - q1 * b
    const DD r = dd_sub(a, dd_mul(b, q1));
    const double q2 = r.hi / b.hi;
    return fast_two_sum(q1, q2);
}

inline DD dd_div(DD a, double b) { return dd_div(a, DD{b, 0.0}); }

}  // namespace accurate
}  // namespace zorvana
