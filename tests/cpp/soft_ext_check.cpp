// Compares the software extended type with the x87 unit operation by
// operation, bit for bit (NaN payloads and signs included): every pair of an
// edge set (zeros, subnormals, the largest values, rounding ties, infinities,
// quiet and signaling NaNs) and N random operands or pairs per operation.
// Usage: soft_ext_check N. Prints "op compared mismatches subnormal-results"
// per operation and exits non-zero on any mismatch.
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernels/soft_ext.hpp"

static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384, "the reference needs the x87 long double");

using zorvana::SoftExt;
using u64 = std::uint64_t;

namespace {

struct Bits {
    std::uint16_t se;
    u64 sig;
    bool operator==(const Bits& o) const { return se == o.se && sig == o.sig; }
};

Bits bits(long double v) {
    Bits b;
    unsigned char raw[sizeof(long double)];
    std::memcpy(raw, &v, sizeof v);
    std::memcpy(&b.sig, raw, 8);
    std::memcpy(&b.se, raw + 8, 2);
    return b;
}
Bits bits(SoftExt v) { return Bits{v.sign_exponent(), v.significand()}; }
long double hard(Bits b) {
    long double v = 0;
    unsigned char raw[sizeof(long double)] = {};
    std::memcpy(raw, &b.sig, 8);
    std::memcpy(raw + 8, &b.se, 2);
    std::memcpy(&v, raw, sizeof v);
    return v;
}
SoftExt soft(Bits b) { return SoftExt::from_bits(b.se, b.sig); }
u64 dbits(double d) {
    u64 u;
    std::memcpy(&u, &d, 8);
    return u;
}
double dval(u64 u) {
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

u64 state = 0x9e3779b97f4a7c15ULL;
u64 next() {  // splitmix64
    u64 z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// A valid encoding (no pseudo-denormals or unnormals) with exponent e; a
// random number of low significand bits is cleared half of the time, which
// makes exact results and rounding ties common, and sparse significands put
// a lone bit far below a tie.
Bits make(int e, bool neg) {
    u64 sig = next();
    const u64 style = next() % 8;
    if (style < 4) sig &= ~0ULL << (next() % 64);
    if (style == 4) sig = 1ULL << (next() % 64) | 1ULL << (next() % 64) | 1;  // sparse: lone low bits
    if (e == 0) {
        sig >>= (next() & 1) ? 1 : 1 + next() % 63;
    } else if (e == 0x7fff) {
        sig = (next() % 4 == 0) ? 1ULL << 63 : (sig | 1ULL << 63 | 1);
    } else {
        sig |= 1ULL << 63;
    }
    return Bits{static_cast<std::uint16_t>((neg ? 0x8000 : 0) | e), sig};
}
int rand_exp() { return static_cast<int>(next() % 0x8000); }
Bits any() { return make(rand_exp(), next() & 1); }

// A pair of operands: exponents independent, close (cancellation and ties in
// sums), or summing to near the ends of the range (products and quotients).
void pair(Bits& a, Bits& b) {
    const int mode = next() % 4;
    const int ea = mode == 0 ? rand_exp()
                   : mode == 1 && next() % 8 == 0 ? static_cast<int>(next() % 70)  // sums near underflow
                                                  : static_cast<int>(1 + next() % 0x7ffe);
    int eb;
    if (mode == 0) {
        eb = rand_exp();
    } else if (mode == 1) {
        eb = ea + static_cast<int>(next() % 141) - 70;
    } else {
        // ea + eb - bias near 0 (mode 2) or near the top (mode 3); for
        // quotients ea - eb + bias, so both are drawn.
        const int target = (mode == 2 ? 0 : 0x7ffe) + static_cast<int>(next() % 161) - 80;
        eb = (next() & 1) ? target + 16383 - ea : ea - target + 16383;
    }
    if (eb < 0) eb = 0;
    if (eb > 0x7fff) eb = 0x7fff;
    a = make(ea, next() & 1);
    b = make(eb, next() & 1);
}

std::vector<Bits> edges() {
    std::vector<Bits> v;
    const u64 top = 1ULL << 63;
    const Bits pos[] = {
        {0, 0},                       // zero
        {0, 1},                       // least subnormal
        {0, 3},                       // subnormals
        {0, top >> 1},
        {0, top - 1},                 // largest subnormal
        {1, top},                     // least normal
        {1, top | 1},
        {2, top},
        {0x7ffe, ~0ULL},              // largest finite
        {0x7ffe, top},
        {0x7ffd, ~0ULL},
        {16383, top},                 // 1
        {16383, top | 1},             // 1 + ulp
        {16383, ~0ULL},               // 2 - ulp
        {16382, ~0ULL},               // 1 - ulp/2
        {16384, top | (top >> 1)},    // 3
        {16382, top},                 // 1/2
        {16383 - 64, top},            // 2^-64: half an ulp of 1
        {16383 - 64, top | (top >> 1)},
        {16383 - 65, top},
        {16383 - 53, top},            // half a double ulp of 1
        {16383 - 53, top | 1},
        {16383, top | (1ULL << 10)},  // 1 + double ulp/2: a tie to double
        {16383, top | (3ULL << 10)},
        {16383, top | (1ULL << 10) | 1},
        {16383 + 1023, ~0ULL << 10},  // DBL_MAX + ulp/2 (ties to inf)
        {16383 + 1023, ~0ULL << 11},  // DBL_MAX
        {16383 + 1023, ~0ULL},
        {16383 + 1024, top},          // 2^1024
        {16383 - 1022, top},          // DBL_MIN
        {16383 - 1023, ~0ULL},        // just below DBL_MIN
        {16383 - 1074, top},          // least double subnormal
        {16383 - 1075, top},          // half of it: ties to 0
        {16383 - 1074, top | (top >> 1)},  // 1.5 of it: ties to 2
        {16383 - 1076, ~0ULL},
        {16383 + 62, ~0ULL},          // 2^64 - 1
        {16383 + 63, top},            // 2^63
        {16383 + 62, ~0ULL << 1},     // 2^63 - 1... times 2 fits
        {16383 + 64, top},            // 2^64
        {16383 + 20, top | (top >> 21)},
        {0x7fff, top},                // infinity
        {0x7fff, top | (top >> 1)},   // the default quiet NaN
        {0x7fff, top | (top >> 1) | 1},
        {0x7fff, ~0ULL},
        {0x7fff, top | 1},            // signaling NaNs
        {0x7fff, top | (1ULL << 11)},
        {0x7fff, (top >> 1) - 1 + top},
    };
    for (const Bits& b : pos) {
        v.push_back(b);
        v.push_back(Bits{static_cast<std::uint16_t>(b.se | 0x8000), b.sig});
    }
    return v;
}

struct Tally {
    const char* name;
    u64 n = 0, bad = 0, subnormal = 0;
    explicit Tally(const char* s) : name(s) {}
    void check(bool same, Bits result, const char* what, Bits a, Bits b) {
        ++n;
        if ((result.se & 0x7fff) == 0 && result.sig != 0) ++subnormal;
        if (!same && bad++ < 5) {
            std::fprintf(stderr, "%s %s: a=%04x:%016llx b=%04x:%016llx\n", name, what, a.se,
                         static_cast<unsigned long long>(a.sig), b.se, static_cast<unsigned long long>(b.sig));
        }
    }
    void print() const {
        std::printf("%s %llu %llu %llu\n", name, static_cast<unsigned long long>(n),
                    static_cast<unsigned long long>(bad), static_cast<unsigned long long>(subnormal));
    }
};

Tally t_add("add"), t_sub("sub"), t_mul("mul"), t_div("div"), t_cmp("compare"), t_neg("negate");
Tally t_to_d("to_double"), t_from_d("from_double"), t_to_i("to_int64"), t_from_i("from_int64");
Tally t_to_u("to_uint64"), t_from_u("from_uint64");

int cmp_mask(long double a, long double b) {
    return (a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 | (a > b) << 4 | (a >= b) << 5;
}
int cmp_mask(SoftExt a, SoftExt b) {
    return (a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 | (a > b) << 4 | (a >= b) << 5;
}

void binary(Bits a, Bits b) {
    const long double x = hard(a), y = hard(b);
    const SoftExt p = soft(a), q = soft(b);
    Bits r = bits(x + y);
    t_add.check(r == bits(p + q), r, "", a, b);
    r = bits(x - y);
    t_sub.check(r == bits(p - q), r, "", a, b);
    r = bits(x * y);
    t_mul.check(r == bits(p * q), r, "", a, b);
    r = bits(x / y);
    t_div.check(r == bits(p / q), r, "", a, b);
    t_cmp.check(cmp_mask(x, y) == cmp_mask(p, q), Bits{1, 0}, "", a, b);
}

void unary(Bits a) {
    const long double x = hard(a);
    const SoftExt p = soft(a);
    Bits r = bits(-x);
    t_neg.check(r == bits(-p), r, "", a, a);
    const u64 d = dbits(static_cast<double>(x));
    t_to_d.check(d == dbits(static_cast<double>(p)),
                 Bits{static_cast<std::uint16_t>((d >> 52 & 0x7ff) == 0 && (d << 12) != 0 ? 0 : 1), 1}, "", a, a);
}

// Values whose truncation fits the integer type (the conversion is undefined
// elsewhere).
void to_integers(Bits a) {
    const int e = a.se & 0x7fff;
    if (e >= 0x7fff) return;
    const long double x = hard(a);
    const SoftExt p = soft(a);
    if (e < 16383 + 63) {
        t_to_i.check(static_cast<std::int64_t>(x) == static_cast<std::int64_t>(p), Bits{1, 0}, "", a, a);
    }
    if (e < 16383 + 64) {
        const long double m = x < 0 ? -x : x;  // magnitudes only
        const SoftExt pm = p < 0 ? -p : p;
        t_to_u.check(static_cast<u64>(m) == static_cast<u64>(pm), Bits{1, 0}, "", a, a);
    }
}

void from_double(u64 d) {
    const Bits r = bits(static_cast<long double>(dval(d)));
    t_from_d.check(r == bits(SoftExt(dval(d))), r, "", Bits{0, d}, Bits{0, 0});
}

void from_integer(u64 u) {
    const auto i = static_cast<std::int64_t>(u);
    Bits r = bits(static_cast<long double>(i));
    t_from_i.check(r == bits(SoftExt(i)), r, "", Bits{0, u}, Bits{0, 0});
    r = bits(static_cast<long double>(u));
    t_from_u.check(r == bits(SoftExt(u)), r, "", Bits{0, u}, Bits{0, 0});
}

// Random double bit patterns, all classes; integers of every bit length.
u64 random_double() {
    const u64 e = next() % 16 == 0 ? (next() & 1) * 0x7ff : next() % 0x800;
    u64 frac = next() & ((1ULL << 52) - 1);
    if (next() & 1) frac &= ~0ULL << (next() % 53);
    return (next() & (1ULL << 63)) | e << 52 | frac;
}
u64 random_integer() {
    const u64 u = next();
    return (next() & 1) ? u : u >> (next() % 64);
}
// A finite value below 2^64 in magnitude, integral or not.
Bits random_convertible() { return make(static_cast<int>(next() % 75) + 16383 - 12, next() & 1); }

}  // namespace

// Compile-time evaluation gives the run-time bits.
static_assert(zorvana::soft_ext_detail::parse_hex("0x1.8p-1").sig == 3 &&
                  zorvana::soft_ext_detail::parse_hex("0x1.8p-1").exp == -2, "");
static_assert(!zorvana::soft_ext_detail::parse_hex("0x1.00000000000000008p0").ok, "65 significant bits");
static_assert((SoftExt(1) / SoftExt(3)).significand() == 0xaaaaaaaaaaaaaaabULL, "");
static_assert(static_cast<double>(SoftExt(0.1)) == 0.1, "");

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::vector<Bits> e = edges();
    for (const Bits& a : e) {
        unary(a);
        to_integers(a);
        for (const Bits& b : e) binary(a, b);
        from_double(static_cast<u64>(dbits(static_cast<double>(hard(a)))));
    }
    // Products and quotients just below the normal range, of significands
    // with lone low bits: every denormalising shift meets a tie with a
    // nonzero last bit.
    const u64 sigs[] = {1ULL << 63, (1ULL << 63) | 1, ~0ULL, (3ULL << 62) | 1, 0xaaaaaaaaaaaaaaabULL};
    for (const u64 sa : sigs) {
        for (const u64 sb : sigs) {
            for (int i = 0; i < 90; ++i) {
                for (int j = 1; j <= 90; ++j) {
                    binary(Bits{static_cast<std::uint16_t>(16383 - i), sa}, Bits{static_cast<std::uint16_t>(j), sb});
                    binary(Bits{static_cast<std::uint16_t>(j), sa}, Bits{static_cast<std::uint16_t>(16383 + i), sb});
                }
            }
        }
    }
    for (long i = 0; i < n; ++i) {
        Bits a, b;
        pair(a, b);
        binary(a, b);
        unary(any());
        to_integers(random_convertible());
        from_double(random_double());
        from_integer(random_integer());
    }
    u64 bad = 0;
    for (const Tally* t : {&t_add, &t_sub, &t_mul, &t_div, &t_cmp, &t_neg, &t_to_d, &t_from_d, &t_to_i, &t_from_i,
                           &t_to_u, &t_from_u}) {
        t->print();
        bad += t->bad;
    }
    return bad == 0 ? 0 : 1;
}
