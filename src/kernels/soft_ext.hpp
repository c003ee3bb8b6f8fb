// The x87 80-bit extended format in software: sign, 15-bit exponent (bias
// 16383) and a 64-bit significand with an explicit integer bit, rounded to
// nearest with ties to even after every operation, with gradual underflow,
// infinities and NaNs. Values, roundings and NaN results are those of the
// x87 unit at 64-bit precision, so kernels written for that unit compute the
// same bits with this type on any machine. Built from 64-bit integer
// arithmetic; a 128-bit integer type is used where the compiler has one.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

#include "kernels/platform.hpp"

namespace zorvana {
namespace soft_ext_detail {

constexpr int kBias = 16383;
constexpr int kMaxExp = 0x7fff;                      // infinities and NaNs
constexpr std::uint64_t kIntBit = 1ULL << 63;        // explicit integer bit
constexpr std::uint64_t kQuietBit = 1ULL << 62;      // quiet NaN
constexpr std::uint16_t kSignBit = 0x8000;

constexpr int clz64(std::uint64_t v) { return platform::count_leading_zeros(v); }  // v != 0

#if ZV_HAS_UINT128 && !defined(ZORVANA_SOFT_EXT_NO_INT128)
using u128 = platform::uint128;
constexpr u128 make(std::uint64_t hi, std::uint64_t lo) { return (static_cast<u128>(hi) << 64) | lo; }
constexpr std::uint64_t hi(u128 v) { return static_cast<std::uint64_t>(v >> 64); }
constexpr std::uint64_t lo(u128 v) { return static_cast<std::uint64_t>(v); }
constexpr u128 mul(std::uint64_t a, std::uint64_t b) { return static_cast<u128>(a) * b; }
// n / d and n % d for d != 0.
constexpr u128 div(u128 n, std::uint64_t d) { return n / d; }
constexpr u128 mod(u128 n, std::uint64_t d) { return n % d; }
#else
// Two 64-bit halves, with the few operations the format needs.
struct u128 {
    std::uint64_t h = 0, l = 0;
    constexpr u128() = default;
    constexpr u128(std::uint64_t v) : l(v) {}
    constexpr u128(std::uint64_t hi_, std::uint64_t lo_) : h(hi_), l(lo_) {}
    friend constexpr u128 operator+(u128 a, u128 b) { return u128(a.h + b.h + (a.l + b.l < a.l), a.l + b.l); }
    friend constexpr u128 operator-(u128 a, u128 b) { return u128(a.h - b.h - (a.l < b.l), a.l - b.l); }
    friend constexpr u128 operator<<(u128 a, int n) {
        return n == 0 ? a : n >= 64 ? u128(a.l << (n - 64), 0) : u128((a.h << n) | (a.l >> (64 - n)), a.l << n);
    }
    friend constexpr u128 operator>>(u128 a, int n) {
        return n == 0 ? a : n >= 64 ? u128(0, a.h >> (n - 64)) : u128(a.h >> n, (a.l >> n) | (a.h << (64 - n)));
    }
    friend constexpr u128 operator|(u128 a, u128 b) { return u128(a.h | b.h, a.l | b.l); }
    friend constexpr u128 operator&(u128 a, u128 b) { return u128(a.h & b.h, a.l & b.l); }
    friend constexpr bool operator==(u128 a, u128 b) { return a.h == b.h && a.l == b.l; }
    friend constexpr bool operator!=(u128 a, u128 b) { return !(a == b); }
    friend constexpr bool operator<(u128 a, u128 b) { return a.h < b.h || (a.h == b.h && a.l < b.l); }
    friend constexpr bool operator>=(u128 a, u128 b) { return !(a < b); }
};
constexpr u128 make(std::uint64_t hi, std::uint64_t lo) { return u128(hi, lo); }
constexpr std::uint64_t hi(u128 v) { return v.h; }
constexpr std::uint64_t lo(u128 v) { return v.l; }
constexpr u128 mul(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    return u128(p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xffffffffu));
}
// Restoring division, one quotient bit at a time.
constexpr void divmod(u128 n, std::uint64_t d, u128& q, u128& r) {
    q = u128();
    r = u128();
    for (int i = 127; i >= 0; --i) {
        r = (r << 1) | ((n >> i) & u128(1));
        q = q << 1;
        if (r >= u128(d)) {
            r = r - u128(d);
            q = q | u128(1);
        }
    }
}
constexpr u128 div(u128 n, std::uint64_t d) {
    u128 q, r;
    divmod(n, d, q, r);
    return q;
}
constexpr u128 mod(u128 n, std::uint64_t d) {
    u128 q, r;
    divmod(n, d, q, r);
    return r;
}
#endif

constexpr int clz128(u128 v) { return hi(v) != 0 ? clz64(hi(v)) : 64 + clz64(lo(v)); }  // v != 0
// Whether any of the n lowest bits of v is set (0 <= n < 128).
constexpr bool low_bits(u128 v, int n) { return n != 0 && (v << (128 - n)) != u128(0); }

// A hexadecimal floating literal split into an exact value sig * 2^exp
// (sig == 0 for zero); ok is false unless the text is one such literal of at
// most 64 significant bits whose value is zero or in the normal range.
struct HexValue {
    bool ok = false;
    std::uint64_t sig = 0;
    int exp = 0;
};

constexpr int hex_digit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Parses "0x<hex digits>[.<hex digits>]p<signed decimal>" (no sign, no
// suffix) into an exact value; at most 32 hex digits are read.
constexpr HexValue parse_hex(const char* s) {
    HexValue out;
    if (s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return out;
    u128 m = u128(0);
    int exp = 0, i = 2, count = 0;
    bool point = false;
    for (;; ++i) {
        if (s[i] == '.' && !point) {
            point = true;
            continue;
        }
        const int d = hex_digit(s[i]);
        if (d < 0) break;
        if (++count > 32) return out;
        m = (m << 4) | u128(static_cast<std::uint64_t>(d));
        if (point) exp -= 4;
    }
    if (count == 0 || (s[i] != 'p' && s[i] != 'P')) return out;
    ++i;
    bool neg = false;
    if (s[i] == '+' || s[i] == '-') neg = s[i++] == '-';
    int e = 0;
    bool edigits = false;
    for (; s[i] >= '0' && s[i] <= '9'; ++i) {
        if (e < 100000) e = e * 10 + (s[i] - '0');
        edigits = true;
    }
    if (!edigits || s[i] != '\0') return out;
    exp += neg ? -e : e;
    if (m != u128(0)) {
        while (lo(m) % 2 == 0) {
            m = m >> 1;
            ++exp;
        }
        if (hi(m) != 0) return out;  // more than 64 significant bits
        const int top = exp + 63 - clz64(lo(m));
        if (top < 1 - kBias || top > kBias) return out;  // outside the normal range
    }
    out.ok = true;
    out.sig = lo(m);
    out.exp = exp;
    return out;
}

}  // namespace soft_ext_detail

class SoftExt {
  public:
    constexpr SoftExt() = default;
    // Every integer of at most 64 bits is exact.
    template <typename I, typename std::enable_if<std::is_integral<I>::value && !std::is_same<I, bool>::value,
                                                  int>::type = 0>
    constexpr SoftExt(I v)
        : SoftExt(from_magnitude(v < 0, v < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(v)
                                              : static_cast<std::uint64_t>(v))) {}
    // Exact, as loading a double into the x87 unit (a signaling NaN turns quiet).
    ZV_BIT_CAST_CONSTEXPR SoftExt(double v) : SoftExt(from_double(v)) {}

    // The raw fields: bit 15 of sign_exponent() is the sign, the rest the
    // biased exponent; significand() includes the integer bit.
    static constexpr SoftExt from_bits(std::uint16_t sign_exponent, std::uint64_t significand) {
        SoftExt r;
        r.se_ = sign_exponent;
        r.sig_ = significand;
        return r;
    }
    constexpr std::uint16_t sign_exponent() const { return se_; }
    constexpr std::uint64_t significand() const { return sig_; }

    // Rounded to nearest double (ties to even), with gradual underflow.
    explicit ZV_BIT_CAST_CONSTEXPR operator double() const { return to_double(*this); }
    // Truncated toward zero; outside the range (and NaN) the x87 "integer
    // indefinite" value, the lowest integer.
    explicit constexpr operator std::int64_t() const { return to_int64(*this); }
    // Truncated toward zero; defined for values in [0, 2^64).
    explicit constexpr operator std::uint64_t() const { return to_uint64(*this); }

    constexpr SoftExt operator-() const { return from_bits(static_cast<std::uint16_t>(se_ ^ soft_ext_detail::kSignBit), sig_); }
    constexpr SoftExt operator+() const { return *this; }

    friend constexpr SoftExt operator+(SoftExt a, SoftExt b) { return add(a, b, false); }
    friend constexpr SoftExt operator-(SoftExt a, SoftExt b) { return add(a, b, true); }
    friend constexpr SoftExt operator*(SoftExt a, SoftExt b) { return mul(a, b); }
    friend constexpr SoftExt operator/(SoftExt a, SoftExt b) { return div(a, b); }
    constexpr SoftExt& operator+=(SoftExt b) { return *this = *this + b; }
    constexpr SoftExt& operator-=(SoftExt b) { return *this = *this - b; }
    constexpr SoftExt& operator*=(SoftExt b) { return *this = *this * b; }
    constexpr SoftExt& operator/=(SoftExt b) { return *this = *this / b; }

    // IEEE comparisons: every one but != is false when a NaN is involved.
    friend constexpr bool operator==(SoftExt a, SoftExt b) { return compare(a, b) == 0; }
    friend constexpr bool operator!=(SoftExt a, SoftExt b) { return compare(a, b) != 0; }
    friend constexpr bool operator<(SoftExt a, SoftExt b) { return compare(a, b) == -1; }
    friend constexpr bool operator>(SoftExt a, SoftExt b) { return compare(a, b) == 1; }
    friend constexpr bool operator<=(SoftExt a, SoftExt b) {
        const int c = compare(a, b);
        return c == -1 || c == 0;
    }
    friend constexpr bool operator>=(SoftExt a, SoftExt b) {
        const int c = compare(a, b);
        return c == 1 || c == 0;
    }

    // x = sig * 2^exp exactly; sig must have at most 64 significant bits and
    // the value must lie in the normal range.
    static constexpr SoftExt exact(bool negative, std::uint64_t sig, int exp) {
        return sig == 0 ? from_bits(negative ? soft_ext_detail::kSignBit : 0, 0)
                        : round_pack(negative, exp, soft_ext_detail::make(0, sig), false);
    }

    // The value of a hexadecimal literal, rounded to nearest if it carries
    // more than 64 significant bits: "[+-]0x<hex>[.<hex>]p<exp>", or inf, nan.
    static SoftExt parse(const char* s);

  private:
    std::uint64_t sig_ = 0;
    std::uint16_t se_ = 0;

    constexpr bool negative() const { return (se_ & soft_ext_detail::kSignBit) != 0; }
    constexpr int biased() const { return se_ & soft_ext_detail::kMaxExp; }
    constexpr bool is_nan() const { return biased() == soft_ext_detail::kMaxExp && sig_ != soft_ext_detail::kIntBit; }
    constexpr bool is_inf() const { return biased() == soft_ext_detail::kMaxExp && sig_ == soft_ext_detail::kIntBit; }
    constexpr bool is_zero() const { return biased() == 0 && sig_ == 0; }

    static constexpr SoftExt signed_zero(bool neg) { return from_bits(neg ? soft_ext_detail::kSignBit : 0, 0); }
    static constexpr SoftExt infinity(bool neg) {
        return from_bits(static_cast<std::uint16_t>((neg ? soft_ext_detail::kSignBit : 0) | soft_ext_detail::kMaxExp),
                         soft_ext_detail::kIntBit);
    }
    // The x87 default NaN ("real indefinite"): negative, quiet, no payload.
    static constexpr SoftExt indefinite() {
        return from_bits(soft_ext_detail::kSignBit | soft_ext_detail::kMaxExp,
                         soft_ext_detail::kIntBit | soft_ext_detail::kQuietBit);
    }

    // Finite nonzero value as sig * 2^exp with the integer bit of sig set.
    struct Unpacked {
        std::uint64_t sig;
        int exp;
    };
    constexpr Unpacked unpack() const {
        int e = (biased() == 0 ? 1 : biased()) - soft_ext_detail::kBias - 63;
        std::uint64_t s = sig_;
        const int shift = soft_ext_detail::clz64(s);
        return Unpacked{s << shift, e - shift};
    }

    // NaN result of an operation with a NaN operand: the x87 unit returns the
    // NaN operand (of two, the one with the larger significand, or the positive
    // one of equal significands), made quiet.
    static constexpr SoftExt propagate(SoftExt a, SoftExt b) {
        SoftExt r = a;
        if (!a.is_nan()) {
            r = b;
        } else if (b.is_nan() && (b.sig_ > a.sig_ || (b.sig_ == a.sig_ && !b.negative()))) {
            r = b;  // of equal significands, the positive NaN
        }
        r.sig_ |= soft_ext_detail::kQuietBit;
        return r;
    }

    static constexpr SoftExt from_magnitude(bool neg, std::uint64_t mag) {
        if (mag == 0) return SoftExt();
        const int shift = soft_ext_detail::clz64(mag);
        return from_bits(static_cast<std::uint16_t>((neg ? soft_ext_detail::kSignBit : 0) |
                                                    (soft_ext_detail::kBias + 63 - shift)),
                         mag << shift);
    }

    static ZV_BIT_CAST_CONSTEXPR SoftExt from_double(double v) {
        const std::uint64_t bits = ZV_BIT_CAST(std::uint64_t, v);
        const bool neg = (bits >> 63) != 0;
        const int e = static_cast<int>((bits >> 52) & 0x7ff);
        const std::uint64_t frac = bits & ((1ULL << 52) - 1);
        const std::uint16_t sign = neg ? soft_ext_detail::kSignBit : 0;
        if (e == 0x7ff) {
            if (frac == 0) return infinity(neg);
            return from_bits(sign | soft_ext_detail::kMaxExp, soft_ext_detail::kIntBit | soft_ext_detail::kQuietBit | (frac << 11));
        }
        if (e == 0) {
            if (frac == 0) return signed_zero(neg);
            const int shift = soft_ext_detail::clz64(frac);
            return from_bits(static_cast<std::uint16_t>(sign | (soft_ext_detail::kBias + 63 - 1074 - shift)),
                             frac << shift);
        }
        return from_bits(static_cast<std::uint16_t>(sign | (e - 1023 + soft_ext_detail::kBias)),
                         soft_ext_detail::kIntBit | (frac << 11));
    }

    static ZV_BIT_CAST_CONSTEXPR double to_double(SoftExt v) {
        const std::uint64_t sign = v.negative() ? 1ULL << 63 : 0;
        std::uint64_t bits = sign;
        if (v.is_nan()) {
            bits |= (0x7ffULL << 52) | (1ULL << 51) | ((v.sig_ >> 11) & ((1ULL << 52) - 1));
        } else if (v.is_inf()) {
            bits |= 0x7ffULL << 52;
        } else if (!v.is_zero()) {
            const Unpacked u = v.unpack();
            const int top = u.exp + 63;  // exponent of the leading bit
            if (top > 1023) {
                bits |= 0x7ffULL << 52;
            } else {
                // Keep 53 bits, fewer below the normal range.
                const int shift = top >= -1022 ? 11 : 11 + (-1022 - top);
                std::uint64_t kept = 0;
                bool guard = false, rest = false;
                if (shift < 64) {
                    kept = u.sig >> shift;
                    guard = ((u.sig >> (shift - 1)) & 1) != 0;
                    rest = (u.sig & ((1ULL << (shift - 1)) - 1)) != 0;
                } else if (shift == 64) {
                    guard = true;
                    rest = (u.sig << 1) != 0;
                }
                if (guard && (rest || (kept & 1))) ++kept;
                if (top >= -1022) {
                    int biased = top + 1023;
                    if (kept >> 53) {
                        kept >>= 1;
                        ++biased;
                    }
                    bits |= biased >= 0x7ff ? 0x7ffULL << 52
                                            : (static_cast<std::uint64_t>(biased) << 52) | (kept & ((1ULL << 52) - 1));
                } else {
                    bits |= kept;  // a carry into bit 52 gives the least normal double
                }
            }
        }
        return ZV_BIT_CAST(double, bits);
    }

    static constexpr std::int64_t to_int64(SoftExt v) {
        constexpr std::int64_t indefinite_int = std::numeric_limits<std::int64_t>::min();
        if (v.is_nan() || v.is_inf()) return indefinite_int;
        if (v.is_zero()) return 0;
        const Unpacked u = v.unpack();
        const int top = u.exp + 63;
        if (top < 0) return 0;
        if (top >= 63) return indefinite_int;  // also -2^63 itself
        const std::uint64_t mag = u.sig >> (63 - top);
        return v.negative() ? -static_cast<std::int64_t>(mag) : static_cast<std::int64_t>(mag);
    }

    static constexpr std::uint64_t to_uint64(SoftExt v) {
        if (v.is_nan() || v.is_inf() || v.is_zero() || v.negative()) return 0;
        const Unpacked u = v.unpack();
        const int top = u.exp + 63;
        if (top < 0 || top > 63) return 0;
        return u.sig >> (63 - top);
    }

    // The value m * 2^exp (plus a fraction of a unit of m when sticky, in
    // which case m must carry at least 66 significant bits) rounded to the
    // format: nearest, ties to even, gradual underflow, overflow to infinity.
    static constexpr SoftExt round_pack(bool neg, int exp, soft_ext_detail::u128 m, bool sticky) {
        using namespace soft_ext_detail;
        const int shift = clz128(m);
        m = m << shift;
        int e = exp - shift + 127 + kBias;  // biased exponent of the leading bit
        if (e >= kMaxExp) return infinity(neg);
        std::uint64_t sig = 0;
        bool guard = false, rest = sticky;
        if (e >= 1) {
            sig = hi(m);
            guard = (lo(m) >> 63) != 0;
            rest = rest || (lo(m) << 1) != 0;
        } else {
            const int extra = 1 - e;  // denormalising shift
            if (extra < 64) {
                rest = rest || low_bits(m, extra);
                const u128 s = m >> extra;
                sig = hi(s);
                guard = (lo(s) >> 63) != 0;
                rest = rest || (lo(s) << 1) != 0;
            } else if (extra == 64) {
                guard = true;
                rest = rest || (m << 1) != u128(0);
            } else {
                rest = true;
            }
            e = 0;
        }
        if (guard && (rest || (sig & 1))) {
            ++sig;
            if (sig == 0) {
                sig = kIntBit;
                if (++e >= kMaxExp) return infinity(neg);
            } else if (e == 0 && (sig & kIntBit)) {
                e = 1;
            }
        }
        return from_bits(static_cast<std::uint16_t>((neg ? kSignBit : 0) | e), sig);
    }

    static constexpr SoftExt add(SoftExt a, SoftExt b, bool subtract) {
        using namespace soft_ext_detail;
        if (a.is_nan() || b.is_nan()) return propagate(a, b);
        const bool an = a.negative(), bn = b.negative() != subtract;
        if (a.is_inf()) return b.is_inf() && an != bn ? indefinite() : a;
        if (b.is_inf()) return infinity(bn);
        if (b.is_zero()) return a.is_zero() ? signed_zero(an && bn) : a;
        if (a.is_zero()) return from_bits(static_cast<std::uint16_t>(b.biased() | (bn ? kSignBit : 0)), b.sig_);
        Unpacked x = a.unpack(), y = b.unpack();
        bool xn = an, yn = bn;
        if (x.exp < y.exp || (x.exp == y.exp && x.sig < y.sig)) {
            const Unpacked t = x;
            x = y;
            y = t;
            xn = bn;
            yn = an;
        }
        const int d = x.exp - y.exp;
        u128 m = u128(0);
        int exp = 0;
        bool sticky = false;
        if (d < 64) {
            // Exact: the larger operand shifted left.
            const u128 big = make(0, x.sig) << d;
            m = xn == yn ? big + u128(y.sig) : big - u128(y.sig);
            exp = y.exp;
            if (m == u128(0)) return SoftExt();
        } else {
            const u128 big = make(0, x.sig) << 63;
            const int rshift = d - 63;
            std::uint64_t small = 0;
            if (rshift < 64) {
                small = y.sig >> rshift;
                sticky = (y.sig & ((1ULL << rshift) - 1)) != 0;
            } else {
                sticky = true;
            }
            m = xn == yn ? big + u128(small) : big - u128(small) - u128(sticky ? 1 : 0);
            exp = x.exp - 63;
        }
        return round_pack(xn, exp, m, sticky);
    }

    static constexpr SoftExt mul(SoftExt a, SoftExt b) {
        using namespace soft_ext_detail;
        if (a.is_nan() || b.is_nan()) return propagate(a, b);
        const bool neg = a.negative() != b.negative();
        if (a.is_inf() || b.is_inf()) return a.is_zero() || b.is_zero() ? indefinite() : infinity(neg);
        if (a.is_zero() || b.is_zero()) return signed_zero(neg);
        const Unpacked x = a.unpack(), y = b.unpack();
        return round_pack(neg, x.exp + y.exp, soft_ext_detail::mul(x.sig, y.sig), false);
    }

    static constexpr SoftExt div(SoftExt a, SoftExt b) {
        using namespace soft_ext_detail;
        if (a.is_nan() || b.is_nan()) return propagate(a, b);
        const bool neg = a.negative() != b.negative();
        if (a.is_inf()) return b.is_inf() ? indefinite() : infinity(neg);
        if (b.is_inf()) return signed_zero(neg);
        if (b.is_zero()) return a.is_zero() ? indefinite() : infinity(neg);
        if (a.is_zero()) return signed_zero(neg);
        const Unpacked x = a.unpack(), y = b.unpack();
        // The ratio of the significands lies in (1/2, 2): its integer bit by
        // comparison, 64 fraction bits from one division whose quotient fits
        // 64 bits, two more from the remainder; what is left decides the
        // sticky bit.
        const bool whole = x.sig >= y.sig;
        const u128 n = make(whole ? x.sig - y.sig : x.sig, 0);
        const std::uint64_t q = lo(soft_ext_detail::div(n, y.sig));
        u128 r = (n - soft_ext_detail::mul(q, y.sig)) << 2;
        std::uint64_t two = 0;
        const u128 d = make(0, y.sig);
        for (int i = 1; i >= 0; --i) {
            const u128 step = d << i;
            if (r >= step) {
                r = r - step;
                two |= 1ULL << i;
            }
        }
        return round_pack(neg, x.exp - y.exp - 66, (make(whole ? 1 : 0, q) << 2) | u128(two), r != u128(0));
    }

    // -1, 0 or 1 by order; 2 when unordered.
    static constexpr int compare(SoftExt a, SoftExt b) {
        if (a.is_nan() || b.is_nan()) return 2;
        if (a.is_zero() && b.is_zero()) return 0;
        if (a.negative() != b.negative()) return a.negative() ? -1 : 1;
        int mag = 0;
        if (a.biased() != b.biased()) {
            mag = a.biased() < b.biased() ? -1 : 1;
        } else if (a.sig_ != b.sig_) {
            mag = a.sig_ < b.sig_ ? -1 : 1;
        }
        return a.negative() ? -mag : mag;
    }
};

inline SoftExt SoftExt::parse(const char* s) {
    using namespace soft_ext_detail;
    bool neg = false;
    if (*s == '+' || *s == '-') neg = *s++ == '-';
    auto word = [s](const char* w) {
        int i = 0;
        for (; w[i] != '\0'; ++i) {
            const char c = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
            if (c != w[i]) return false;
        }
        return s[i] == '\0';
    };
    if (word("inf") || word("infinity")) return infinity(neg);
    if (word("nan")) return from_bits(static_cast<std::uint16_t>((neg ? kSignBit : 0) | kMaxExp), kIntBit | kQuietBit);
    if (s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return indefinite();
    // Up to 128 significant bits are kept; further nonzero digits only set
    // the sticky bit.
    u128 m = u128(0);
    int exp = 0, i = 2;
    bool point = false, sticky = false, any = false;
    for (;; ++i) {
        if (s[i] == '.' && !point) {
            point = true;
            continue;
        }
        const int d = hex_digit(s[i]);
        if (d < 0) break;
        any = true;
        if (hi(m) >> 60) {
            sticky = sticky || d != 0;
            if (!point) exp += 4;
        } else {
            m = (m << 4) | u128(static_cast<std::uint64_t>(d));
            if (point) exp -= 4;
        }
    }
    if (!any) return indefinite();
    if (s[i] == 'p' || s[i] == 'P') {
        ++i;
        bool eneg = false;
        if (s[i] == '+' || s[i] == '-') eneg = s[i++] == '-';
        int e = 0;
        for (; s[i] >= '0' && s[i] <= '9'; ++i) {
            if (e < 1000000) e = e * 10 + (s[i] - '0');
        }
        exp += eneg ? -e : e;
    }
    if (m == u128(0)) return signed_zero(neg);
    // A sticky digit can only follow a full 128-bit window.
    return round_pack(neg, exp, m, sticky);
}

}  // namespace zorvana

namespace std {
template <>
class numeric_limits<zorvana::SoftExt> {
    using T = zorvana::SoftExt;

  public:
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool has_signaling_NaN = true;
    static constexpr float_denorm_style has_denorm = denorm_present;
    static constexpr bool is_iec559 = true;
    static constexpr bool is_bounded = true;
    static constexpr float_round_style round_style = round_to_nearest;
    static constexpr int radix = 2;
    static constexpr int digits = 64;
    static constexpr int max_exponent = 16384;
    static constexpr int min_exponent = -16381;
    static constexpr T min() { return T::from_bits(1, 1ULL << 63); }
    static constexpr T max() { return T::from_bits(0x7ffe, ~0ULL); }
    static constexpr T lowest() { return T::from_bits(0xfffe, ~0ULL); }
    static constexpr T epsilon() { return T::from_bits(16383 - 63, 1ULL << 63); }
    static constexpr T infinity() { return T::from_bits(0x7fff, 1ULL << 63); }
    static constexpr T quiet_NaN() { return T::from_bits(0x7fff, 3ULL << 62); }
    static constexpr T denorm_min() { return T::from_bits(0, 1); }
};
}  // namespace std
