// The lane kernels, written once for every instruction set. A variant's
// translation unit includes every header first, then selects the instruction
// set with ZV_TARGET_BEGIN (kernels/platform.hpp), defines
//   ZV_VARIANT_NS  the namespace of its code (its symbols stay apart),
//   ZV_TABLE       the name of its LaneKernels table,
//   ZV_NAME        the variant's name,
//   ZV_LANES       doubles per hardware vector register,
//   ZV_CHAINS      registers per pack (independent chains through each
//                  continued fraction, so that one waits while another divides),
//   ZV_SPARE_DIVIDER  1 where quotients by small integers are cheaper formed
//                  by products than by the divider (wide vectors), else 0,
// and includes this file. Nothing declared before the pragma may be
// instantiated here (its code would carry this instruction set into the
// rest of the program).
//
// Each lane repeats the scalar kernel's operations in its order: additions,
// multiplications and divisions of vectors round per lane exactly as the
// scalar operations do, and the build never fuses or reorders them. Lanes
// whose argument takes a guard or a rare branch get the scalar kernel's own
// result; the x87 products stay scalar, one lane at a time.
// Vectors wider than the baseline registers only pass between functions of
// this translation unit, which all share its instruction set.
namespace zorvana {
namespace ZV_VARIANT_NS {
namespace {

// A pack is ZV_CHAINS hardware vectors of ZV_LANES doubles, processed
// operation by operation: the chains of a continued fraction then overlap in
// the divider instead of waiting on each other's latency.
constexpr int L = ZV_LANES;
constexpr int U = ZV_CHAINS;
constexpr int W = L * U;  // elements per pack
// V: a register of L doubles, VM: of L masks (kernels/platform.hpp).
#define ZV_LANE_REGISTERS_HERE
#include "kernels/platform.hpp"
struct P {
    V r[U];
};
struct PM {
    VM r[U];
};

#define ZV_EACH ZV_UNROLL(8) for (int u = 0; u < U; ++u)

#define ZV_ARITH(op)                                                  \
    ZV_ALWAYS_INLINE P operator op(const P& a, const P& b) {          \
        P c;                                                          \
        ZV_EACH c.r[u] = a.r[u] op b.r[u];                            \
        return c;                                                     \
    }                                                                 \
    ZV_ALWAYS_INLINE P operator op(const P& a, double b) {            \
        P c;                                                          \
        ZV_EACH c.r[u] = a.r[u] op b;                                 \
        return c;                                                     \
    }                                                                 \
    ZV_ALWAYS_INLINE P operator op(double a, const P& b) {            \
        P c;                                                          \
        ZV_EACH c.r[u] = a op b.r[u];                                 \
        return c;                                                     \
    }
ZV_ARITH(+)
ZV_ARITH(-)
ZV_ARITH(*)
ZV_ARITH(/)
#undef ZV_ARITH

#define ZV_COMPARE(op)                                                \
    ZV_ALWAYS_INLINE PM operator op(const P& a, const P& b) {         \
        PM c;                                                         \
        ZV_EACH c.r[u] = a.r[u] op b.r[u];                            \
        return c;                                                     \
    }                                                                 \
    ZV_ALWAYS_INLINE PM operator op(const P& a, double b) {           \
        PM c;                                                         \
        ZV_EACH c.r[u] = a.r[u] op b;                                 \
        return c;                                                     \
    }
ZV_COMPARE(<)
ZV_COMPARE(<=)
ZV_COMPARE(>)
ZV_COMPARE(>=)
ZV_COMPARE(==)
#undef ZV_COMPARE

ZV_ALWAYS_INLINE P operator-(const P& a) {
    P c;
    ZV_EACH c.r[u] = -a.r[u];
    return c;
}
ZV_ALWAYS_INLINE PM operator&(const PM& a, const PM& b) {
    PM c;
    ZV_EACH c.r[u] = a.r[u] & b.r[u];
    return c;
}
ZV_ALWAYS_INLINE PM operator|(const PM& a, const PM& b) {
    PM c;
    ZV_EACH c.r[u] = a.r[u] | b.r[u];
    return c;
}
ZV_ALWAYS_INLINE PM operator~(const PM& a) {
    PM c;
    ZV_EACH c.r[u] = ~a.r[u];
    return c;
}
// Per lane: where m is set a, elsewhere b.
ZV_ALWAYS_INLINE P select(const PM& m, const P& a, const P& b) {
    P c;
    ZV_EACH c.r[u] = vselect(m.r[u], a.r[u], b.r[u]);
    return c;
}

ZV_ALWAYS_INLINE P load(const double* p) {
    P v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
ZV_ALWAYS_INLINE void store(double* p, const P& v) { std::memcpy(p, &v, sizeof v); }
ZV_ALWAYS_INLINE P splat(double s) {
    P v;
    ZV_EACH v.r[u] = vsplat(s);
    return v;
}
ZV_ALWAYS_INLINE double lane(const P& v, int i) { return v.r[i / L][i % L]; }
ZV_ALWAYS_INLINE bool on(const PM& m, int i) { return m.r[i / L][i % L] != 0; }
ZV_ALWAYS_INLINE bool any(const PM& m) {
    VM acc = m.r[0];
    for (int u = 1; u < U; ++u) acc |= m.r[u];
    long long bits = 0;
    for (int i = 0; i < L; ++i) bits |= acc[i];
    return bits != 0;
}

// Elements handled per block by the multi-pass kernels (erf, its inverse).
constexpr int kBlock = 64;

// ---------------------------------------------------------------------------
// Quotients by small integers.
//
// The divider takes about two cycles per double in every vector width, and
// the continued fractions divide by their level numbers as often as by their
// levels. Where the variant has the registers for it (ZV_SPARE_DIVIDER), y/k
// for an integer 1 <= k <= 31 is formed without the divider, rounded exactly
// as the division:
//   q0 = y * c with c = 1/k rounded, within two units in the last place of y/k;
//   q0 = hi + lo by Veltkamp's split (hi has 48 significant bits, lo at most
//   5), so that hi * k and lo * k are exact; y - hi * k is exact (Sterbenz:
//   hi * k is within a factor 2 of y), and so is r = (y - hi * k) - lo * k,
//   the remainder y - q0 k itself (a multiple of q0's unit below 64 units);
//   y/k = q0 + r/k, and q0 + r * c misses it by under 2^-50 units, while y/k
//   lies at least 1/(2k) units from every rounding boundary: it cannot be a
//   midpoint (its odd part would give y more than 53 bits), and any other
//   point is a multiple of 1/(2k) units away. So q0 + r * c, rounded once,
//   is y/k rounded. Valid for y = 0 (gives +0) and for 2^-1000 < |y| < 2^1000.
constexpr double kVeltkamp48 = 33.0;  // 2^5 + 1

struct SmallInteger {
    double k, inverse;
};
constexpr SmallInteger small_integer(int k) { return {static_cast<double>(k), 1.0 / k}; }

template <class K>
ZV_ALWAYS_INLINE P quotient_by_products(const P& y, const K& k, const K& inverse) {
    const P q0 = y * inverse;
    const P g = q0 * kVeltkamp48;
    const P hi = (q0 - g) + g;
    const P lo = q0 - hi;
    const P r = (y - hi * k) - lo * k;
    return q0 + r * inverse;
}

ZV_ALWAYS_INLINE P quotient(const P& y, const SmallInteger& d) {
#if ZV_SPARE_DIVIDER
    return quotient_by_products(y, d.k, d.inverse);
#else
    return y / d.k;
#endif
}

// y/k with an integer 1 <= k <= 31 per lane and its rounded inverse.
ZV_ALWAYS_INLINE P quotient(const P& y, const P& k, const P& inverse) {
#if ZV_SPARE_DIVIDER
    return quotient_by_products(y, k, inverse);
#else
    (void)inverse;
    return y / k;
#endif
}

// ---------------------------------------------------------------------------
// Exponential.

constexpr int kExpDepth = 25;
constexpr double kExpDirect = 2.0;
// Lanes up to this magnitude take the split in lanes (beyond it the value
// is 0 or +inf, from the scalar kernel).
constexpr double kExpSplitMax = 740.0;
// Adding and subtracting 2^52 rounds a double of magnitude below 2^51 to an integer.
constexpr double kRoundShift = 0x1p52;

// E(y) ~ e^-y, 25 levels: level k = (1 + y/(k-1)) - (y/k) / level(k+1). The
// quotient y/k of level k is the y/(k-1) of level k+1: computed once.
ZV_ALWAYS_INLINE P exp_fraction(const P& y) {
    P level = splat(1.0);
    P upper = quotient(y, small_integer(kExpDepth - 1));
    ZV_UNROLL(24) for (int k = kExpDepth - 1; k >= 2; --k) {
        const P lower = quotient(y, small_integer(k - 1));
        level = (1.0 + lower) - upper / level;
        upper = lower;
    }
    return 1.0 - y / level;
}

// out[i] = math_exp(x[i]) for one vector of elements.
ZV_ALWAYS_INLINE void exp_vector(const double* x, double* out) {
    const P v = load(x);
    const P mag = select(v < 0.0, -v, v);
    const PM direct = (mag >= kEps) & (mag < kExpDirect);
    const PM split = (mag >= kExpDirect) & (mag <= kExpSplitMax);
    // floor(v) for the split lanes: nearest integer, one down if above v.
    const P shift = select(v < 0.0, splat(-kRoundShift), splat(kRoundShift));
    P f = (v + shift) - shift;
    f = select(f > v, f - 1.0, f);
    const P diff = v - f;
    const P s = select(v < 0.0, splat(-1.0), splat(1.0));
    const PM up = diff >= 0.5;
    const P n = select(up, f + s, f);
    const P y = select(up, diff - s, diff);
    const P arg = select(direct, v, select(split, y, splat(0.0)));
    const P q = 1.0 / exp_fraction(arg);
    for (int i = 0; i < W; ++i) {
        if (on(direct, i)) {
            out[i] = lane(q, i);
        } else if (on(split, i)) {
            const ext p = math_e_power(static_cast<std::int64_t>(lane(n, i)));
            out[i] = static_cast<double>(p * static_cast<ext>(lane(q, i)));
        } else {
            out[i] = math_exp(lane(v, i));
        }
    }
}

void exp_array(const double* x, double* out, std::size_t n) {
    std::size_t i = 0;
    for (; i + W <= n; i += W) exp_vector(x + i, out + i);
    if (i < n) {
        double bx[W] = {}, bo[W];
        for (std::size_t j = i; j < n; ++j) bx[j - i] = x[j];
        exp_vector(bx, bo);
        for (std::size_t j = i; j < n; ++j) out[j] = bo[j - i];
    }
}

// ---------------------------------------------------------------------------
// Logarithm.

constexpr int kLogDepth = 25;
constexpr double kLogNearLow = 0.5, kLogNearHigh = 1.5;
constexpr double kTen = 10.0;
constexpr double kLn10 = 2.302585092994046;
constexpr double kLnSmall[8] = {0.6931471805599453, 1.0986122886681098, 1.3862943611198906,
                                1.6094379124341003, 1.791759469228055,  1.9459101490553132,
                                2.0794415416798357, 2.1972245773362196};
// Lanes that need more decimal steps than this (below 1e-16 or above 1e17)
// go to the scalar kernel rather than hold the others back.
constexpr int kLogDecimalSteps = 17;
// Above this the scalar kernel decides too (keeps the decimal steps' quotients
// in their valid range; such lanes need more steps than the lanes take anyway).
constexpr double kLogLaneMax = 1e30;

// L(s), 25 levels: level 25 = 49, level k = (2k - 1) - (k^2 s) / level(k+1).
ZV_ALWAYS_INLINE P log_fraction(const P& s) {
    P level = splat(2 * kLogDepth - 1);
    for (int k = kLogDepth - 1; k >= 1; --k) {
        level = static_cast<double>(2 * k - 1) - (static_cast<double>(k * k) * s) / level;
    }
    return level;
}

ZV_ALWAYS_INLINE void log_vector(const double* x, double* out) {
    const P v = load(x);
    const P dist = v - 1.0;
    const P off_one = select(dist < 0.0, -dist, dist);
    // At least eps, below the lanes' bound and not within eps of one: the fraction or the split.
    PM regular = (v >= kEps) & (v < kLogLaneMax) & (off_one >= kEps);
    const PM near = (v >= kLogNearLow) & (v <= kLogNearHigh);
    // The decimal split: m = v 10^-k within [1, 10], one step at a time.
    P m = select(regular & ~near, v, splat(5.0));
    P k = splat(0.0);
    for (int step = 0;; ++step) {
        const PM low = m < 1.0;
        const PM high = m > kTen;
        const PM outside = low | high;
        if (!any(outside)) break;
        if (step == kLogDecimalSteps) {
            regular = regular & ~outside;
            break;
        }
        m = select(low, m * kTen, select(high, quotient(m, small_integer(10)), m));
        k = select(low, k - 1.0, select(high, k + 1.0, k));
    }
    // c = trunc(m) for m in [1, 10].
    P c = (m + kRoundShift) - kRoundShift;
    c = select(c > m, c - 1.0, c);
    // ln c from the table and 1/c rounded, for the quotient m / c.
    P head = splat(0.0), inverse = splat(1.0);
    for (int j = 2; j <= 9; ++j) {
        const PM is_j = c == static_cast<double>(j);
        head = select(is_j, splat(kLnSmall[j - 2]), head);
        inverse = select(is_j, splat(1.0 / j), inverse);
    }
    const PM is_ten = c == kTen;
    head = select(is_ten, splat(kLn10), head);
    inverse = select(is_ten, splat(1.0 / kTen), inverse);
    // Near one the fraction takes z = (v - 1)/(v + 1), elsewhere d = (q - 1)/(q + 1)
    // with q = m / c: one division serves both.
    const P w = select(near, v, quotient(m, c, inverse));
    const P d = (w - 1.0) / (w + 1.0);
    const P frac = (d + d) / log_fraction(d * d);
    const P res = select(near, frac, k * kLn10 + (frac + head));
    for (int i = 0; i < W; ++i) out[i] = on(regular, i) ? lane(res, i) : math_log(lane(v, i));
}

void log_array(const double* x, double* out, std::size_t n) {
    std::size_t i = 0;
    for (; i + W <= n; i += W) log_vector(x + i, out + i);
    if (i < n) {
        double bx[W], bo[W];
        for (int j = 0; j < W; ++j) bx[j] = 1.0;
        for (std::size_t j = i; j < n; ++j) bx[j - i] = x[j];
        log_vector(bx, bo);
        for (std::size_t j = i; j < n; ++j) out[j] = bo[j - i];
    }
}

// ---------------------------------------------------------------------------
// Error function.

constexpr double kErfSplit = 2.1;
constexpr int kErfDepth = 60;
constexpr double kSqrtPi = 1.772453850905516;
constexpr double kNegSqrtPi = -1.772453850905516;

// erf(x) for 0 < x <= 2.1 from e = exp((-x) x): the erf fraction K.
ZV_ALWAYS_INLINE P erf_small(const P& x, const P& e) {
    const P s = x * x;
    P kf = static_cast<double>(2 * kErfDepth - 1) - (s + s);
    for (int k = kErfDepth - 1; k >= 1; --k) {
        kf = (static_cast<double>(2 * k - 1) - (s + s)) + (static_cast<double>(4 * k) * s) / kf;
    }
    return ((x + x) * (e / kSqrtPi)) / kf;
}

// erf(x) for x > 2.1: the erfc fraction G.
ZV_ALWAYS_INLINE P erf_large(const P& x, const P& e) {
    const P y = x + x;
    P g = y;
    for (int k = kErfDepth - 1; k >= 1; --k) g = y + static_cast<double>(2 * k) / g;
    return 1.0 + (2.0 * (e / kNegSqrtPi)) / g;
}

ZV_ALWAYS_INLINE P erf_fraction(const P& x, const P& e, bool large) {
    return large ? erf_large(x, e) : erf_small(x, e);
}

// out[i] = the erf or erfc form at (x[i], e[i]) over a list, in vectors.
void fraction_array(const double* x, const double* e, double* out, int n, bool large) {
    int i = 0;
    for (; i + W <= n; i += W) store(out + i, erf_fraction(load(x + i), load(e + i), large));
    if (i < n) {
        double bx[W], be[W], bo[W];
        for (int j = 0; j < W; ++j) bx[j] = be[j] = 1.0;
        for (int j = i; j < n; ++j) {
            bx[j - i] = x[j];
            be[j - i] = e[j];
        }
        store(bo, erf_fraction(load(bx), load(be), large));
        for (int j = i; j < n; ++j) out[j] = bo[j - i];
    }
}

// f[i] = math_erf(x[i]) for n <= kBlock elements, given e[i] = math_exp((-x[i]) x[i]),
// which is also the exponential of erf's core at |x[i]| ((-|x|) |x| is the same product).
void erf_given_exp(const double* x, const double* e, double* f, int n) {
    int small_at[kBlock], large_at[kBlock];
    double small_x[kBlock] = {}, small_e[kBlock] = {}, large_x[kBlock] = {}, large_e[kBlock] = {};
    int n_small = 0, n_large = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        if (xi != xi) {
            f[i] = kNaN;
        } else if (xi >= kInf) {
            f[i] = 1.0;
        } else if (xi <= -kInf) {
            f[i] = -1.0;
        } else if ((xi < 0 ? -xi : xi) < kEps) {
            f[i] = 0.0;
        } else {
            const double mag = xi < 0 ? -xi : xi;
            if (mag > kErfSplit) {
                large_at[n_large] = i;
                large_x[n_large] = mag;
                large_e[n_large++] = e[i];
            } else {
                small_at[n_small] = i;
                small_x[n_small] = mag;
                small_e[n_small++] = e[i];
            }
        }
    }
    fraction_array(small_x, small_e, small_x, n_small, false);
    fraction_array(large_x, large_e, large_x, n_large, true);
    for (int j = 0; j < n_small; ++j) f[small_at[j]] = x[small_at[j]] < 0 ? -small_x[j] : small_x[j];
    for (int j = 0; j < n_large; ++j) f[large_at[j]] = x[large_at[j]] < 0 ? -large_x[j] : large_x[j];
}

void erf_array(const double* x, double* out, std::size_t n) {
    double xs[kBlock], e[kBlock];
    for (std::size_t at = 0; at < n; at += kBlock) {
        const int m = static_cast<int>(n - at < kBlock ? n - at : kBlock);
        for (int i = 0; i < m; ++i) {
            xs[i] = x[at + i];
            e[i] = (-xs[i]) * xs[i];
        }
        exp_array(e, e, m);
        erf_given_exp(xs, e, out + at, m);
    }
}

// ---------------------------------------------------------------------------
// Inverse error function.

constexpr int kInvStartTerms = 9;
constexpr double kInvCentre[kInvStartTerms] = {
    2.81022636e-08, 3.43273939e-07, -3.5233877e-06, -4.39150654e-06, 0.00021858087,
    -0.00125372503, -0.00417768164, 0.246640727,    1.50140941};
constexpr double kInvTail[kInvStartTerms] = {
    -0.000200214257, 0.000100950558, 0.00134934322,  -0.00367342844, 0.00573950773,
    -0.0076224613,   0.00943887047,  1.00167406,     2.83297682};
constexpr double kInvTailSwitch = 5.0;
constexpr double kInvCentreShift = -2.5;
constexpr double kInvTailShift = -3.0;
constexpr int kHalleySteps = 55;
constexpr double kHalleyFactorLow = 0.8;
constexpr double kHalleyFactorHigh = 1.2;

double horner(const double (&coef)[kInvStartTerms], double t) {
    double c = coef[0];
    for (int i = 1; i < kInvStartTerms; ++i) c = c * t + coef[i];
    return c;
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The records of up to kBlock Halley iterations of Steps steps side by side,
// one row each: the state after k steps in row h, (hx[h][k], hd[h][k]) (the
// iterate and the lagging derivative term), and the value the step after it
// computed at hx[h][k], hv[h][k]. As in HalleyOrbit, a step evaluates the
// inverted function and the derivative term at its iterate, which an
// iterate met before spares, and the iteration ends once a state repeats.
// The rows of the iterations that end go to the next elements.
template <int Steps>
struct HalleyRows {
    double hx[kBlock][Steps], hd[kBlock][Steps], hv[kBlock][Steps];
    int free_rows[kBlock];
    int free_count = kBlock;

    HalleyRows() {
        for (int h = 0; h < kBlock; ++h) free_rows[h] = kBlock - 1 - h;
    }
    // A row for an iteration that starts at (x0, d0).
    int take(double x0, double d0) {
        const int h = free_rows[--free_count];
        hx[h][0] = x0;
        hd[h][0] = d0;
        return h;
    }
    void give(int h) { free_rows[free_count++] = h; }

    // Row h has taken `taken` steps: when its iterate x is that of an earlier
    // state, the value computed there and the derivative term at x (the
    // lagging term of the state after).
    bool recall(int h, int taken, double x, double* value, double* term) const {
        for (int i = taken - 1; i >= 0; --i) {
            if (same_bits(hx[h][i], x)) {
                *value = hv[h][i];
                *term = hd[h][i + 1];
                return true;
            }
        }
        return false;
    }

    // Step k < Steps of row h computed value at its iterate and gives the
    // state (x, d). If that repeats state i, the states repeat with period
    // k - i and the iterate of the last step is that of state
    // i + (Steps - i) mod (k - i): its index is returned. Otherwise the state
    // is recorded and -1 returned.
    int step(int h, int k, double value, double x, double d) {
        hv[h][k - 1] = value;
        for (int i = k - 1; i >= 0; --i) {
            if (same_bits(hx[h][i], x) && same_bits(hd[h][i], d)) return i + (Steps - i) % (k - i);
        }
        hx[h][k] = x;
        hd[h][k] = d;
        return -1;
    }
};

// The Halley iteration of every element of an array runs step by step in
// lanes, up to kBlock elements side by side; an element leaves at its 55th
// step or as soon as its state (the iterate and the lagging derivative term)
// repeats an earlier one: the rest of its sequence is then periodic and its
// 56th state known. The next elements of the array take the places freed, so
// that the lanes stay full. At an iterate the element met before, erf and
// exp(-x^2) are those computed then.
void erf_inv_array(const double* p, double* out, std::size_t n) {
    // Element j of those iterating: out[where[j]], its record in row[j],
    // steps[j] steps taken.
    std::size_t where[kBlock];
    int row[kBlock], steps[kBlock], at[kBlock];
    double pv[kBlock], x[kBlock], d[kBlock], e[kBlock], f[kBlock], t[kBlock], xe[kBlock], ee[kBlock], fe[kBlock];
    HalleyRows<kHalleySteps> rows;
    int m = 0;
    std::size_t next = 0;
    for (;;) {
        // The next elements of the array take the free places.
        const int first = m;
        for (; m < kBlock && next < n; ++next) {
            const double pi = p[next];
            const double mag = pi < 0 ? -pi : pi;
            const double to_one = 1 - pi, to_minus_one = 1 + pi;
            if (pi != pi || mag > 1) {
                out[next] = kNaN;
            } else if ((to_one < 0 ? -to_one : to_one) < kEps) {
                out[next] = kInf;
            } else if ((to_minus_one < 0 ? -to_minus_one : to_minus_one) < kEps) {
                out[next] = -kInf;
            } else {
                where[m] = next;
                steps[m] = 0;
                pv[m] = pi;
                t[m++] = (1 - pi) * (1 + pi);
            }
        }
        if (m == 0) break;
        log_array(t + first, t + first, m - first);
        for (int j = first; j < m; ++j) {
            const double w = -t[j];
            const double c = w < kInvTailSwitch ? horner(kInvCentre, w + kInvCentreShift)
                                                : horner(kInvTail, math_sqrt(w) + kInvTailShift);
            x[j] = c * pv[j];
        }
        // The step of each: erf and exp(-x^2) at its iterate. exp(-x^2) at a
        // start is also the derivative term of the first step.
        int c = 0;
        for (int j = 0; j < m; ++j) {
            if (j >= first || !rows.recall(row[j], steps[j], x[j], &f[j], &e[j])) {
                at[c] = j;
                xe[c] = x[j];
                t[c++] = (-x[j]) * x[j];
            }
        }
        exp_array(t, ee, c);
        erf_given_exp(xe, ee, fe, c);
        for (int v = 0; v < c; ++v) {
            e[at[v]] = ee[v];
            f[at[v]] = fe[v];
        }
        for (int j = first; j < m; ++j) {
            d[j] = e[j];
            row[j] = rows.take(x[j], d[j]);
        }
        int kept = 0;
        for (int j = 0; j < m; ++j) {
            const double r = (f[j] - pv[j]) / d[j];
            double h = (r * 0.5) * (((x[j] + x[j]) * d[j]) / d[j]) + 1;
            if (h > kHalleyFactorHigh) h = kHalleyFactorHigh;
            if (h < kHalleyFactorLow) h = kHalleyFactorLow;
            const double next_x = x[j] - r / h;
            const int k = steps[j] + 1;
            const int last = k == kHalleySteps ? -1 : rows.step(row[j], k, f[j], next_x, e[j]);
            if (k == kHalleySteps || last >= 0) {
                out[where[j]] = last >= 0 ? rows.hx[row[j]][last] : next_x;
                rows.give(row[j]);
                continue;
            }
            where[kept] = where[j];
            row[kept] = row[j];
            steps[kept] = k;
            pv[kept] = pv[j];
            x[kept] = next_x;
            d[kept++] = e[j];
        }
        m = kept;
    }
}

// ---------------------------------------------------------------------------
// Quadrature terms of the incomplete gamma function.

void gamma_terms(const double* t, const double* w, double a_minus_1, double lg, double* term, std::size_t n) {
    double v[kBlock];
    for (std::size_t at = 0; at < n; at += kBlock) {
        const std::size_t m = n - at < kBlock ? n - at : kBlock;
        log_array(t + at, v, m);
        for (std::size_t i = 0; i < m; ++i) v[i] = (v[i] * a_minus_1 - t[at + i]) - lg;
        exp_array(v, v, m);
        for (std::size_t i = 0; i < m; ++i) term[at + i] = v[i] * w[at + i];
    }
}

// ---------------------------------------------------------------------------
// Incomplete gamma function for one shape.

constexpr double kSmallShape = 10;
constexpr double kSeriesMaxExcess = 10;
constexpr double kUpperFractionRatio = 3;
constexpr int kSeriesLevels = 55;
constexpr int kUpperLevels = 100;
constexpr double kHalleyHalf = -0.5;
constexpr int kGammaHalleySteps = 36;

ZV_ALWAYS_INLINE P pack(double v) { return splat(v); }
ZV_ALWAYS_INLINE P pack(const P& v) { return v; }

// S(55) = (55 + a) - 1, S(k) = ((k + a) - 1) + c_k x / S(k + 1); the shape a
// is one double or one per lane (A = P).
template <class A>
ZV_ALWAYS_INLINE P series_fraction(const A& a, const P& x) {
    P s = pack((kSeriesLevels + a) - 1);
    for (int k = kSeriesLevels - 1; k >= 1; --k) {
        const double level = k;
        if (k % 2 == 1) {
            s = ((level + a) - 1) + ((-(((level + 1) * 0.5) + (a - 1))) * x) / s;
        } else {
            s = ((level + a) - 1) + ((level * 0.5) * x) / s;
        }
    }
    return s;
}

// U(100) = (199 - a) + x, U(k) = (((2k - 1) - a) + x) + ((a - k) k) / U(k + 1).
template <class A>
ZV_ALWAYS_INLINE P upper_fraction(const A& a, const P& x) {
    P u = ((2.0 * kUpperLevels - 1) - a) + x;
    for (int k = kUpperLevels - 1; k >= 1; --k) {
        const double level = k;
        u = (((2 * level - 1) - a) + x) + ((a - level) * level) / u;
    }
    return u;
}

// out[i] = power[i] / S(x[i]) (upper: 1 - power[i] / U(x[i])) over a list.
void gamma_fraction_array(double a, const double* x, const double* power, double* out, int n, bool upper) {
    double bx[W], bp[W], bo[W];
    for (int i = 0; i < n; i += W) {
        const int m = n - i < W ? n - i : W;
        for (int j = 0; j < W; ++j) {
            bx[j] = j < m ? x[i + j] : 1.0;
            bp[j] = j < m ? power[i + j] : 1.0;
        }
        const P v = load(bx);
        store(bo, upper ? 1.0 - load(bp) / upper_fraction(a, v) : load(bp) / series_fraction(a, v));
        for (int j = 0; j < m; ++j) out[i + j] = bo[j];
    }
}

// Quadratures evaluated side by side: their terms fill whole packs.
constexpr int kQuadratureGroup = 8;

// out[at[j]] = gamma_p_quadrature(a[j], x[j], lg[j]) for j < n: the nodes of
// up to kQuadratureGroup quadratures at a time, their terms in lanes together.
void quadratures(const int* at, const double* a, const double* x, const double* lg, double* out, int n) {
    constexpr int kNodes = kQuadratureGroup * kQuadratureNodes;
    double t[kNodes], w[kNodes], v[kNodes];
    for (int from = 0; from < n; from += kQuadratureGroup) {
        const int m = n - from < kQuadratureGroup ? n - from : kQuadratureGroup;
        for (int j = 0; j < m; ++j) gamma_quadrature_nodes(a[from + j], x[from + j], t + j * kQuadratureNodes,
                                                           w + j * kQuadratureNodes);
        const int nodes = m * kQuadratureNodes;
        log_array(t, v, nodes);
        for (int j = 0; j < m; ++j) {
            const double a_minus_1 = -1 + a[from + j], lgj = lg[from + j];
            for (int i = j * kQuadratureNodes; i < (j + 1) * kQuadratureNodes; ++i) v[i] = (v[i] * a_minus_1 - t[i]) - lgj;
        }
        exp_array(v, v, nodes);
        for (int i = 0; i < nodes; ++i) v[i] = v[i] * w[i];
        for (int j = 0; j < m; ++j) out[at[from + j]] = gamma_quadrature_sum(v + j * kQuadratureNodes);
    }
}

// out[i] = math_gamma_p(a, x[i]) for n <= kBlock elements and a shape a >= eps
// that is not NaN, lg = math_lgamma(a); log_x, if not null, holds math_log(x[i]).
void gamma_p_block(double a, double lg, const double* x, double* out, int n, const double* log_x = nullptr) {
    int at[2][kBlock], quad_at[kBlock];
    double xs[2][kBlock], power[2][kBlock], quad_a[kBlock], quad_x[kBlock], quad_lg[kBlock];
    int count[2] = {0, 0}, quads = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        if (xi != xi) {
            out[i] = kNaN;
        } else if (xi < kEps) {
            out[i] = 0.0;
        } else if (a < kSmallShape && xi - a < kSeriesMaxExcess) {
            at[0][count[0]] = i;
            xs[0][count[0]++] = xi;
        } else if (a < kSmallShape || xi / a > kUpperFractionRatio) {
            at[1][count[1]] = i;
            xs[1][count[1]++] = xi;
        } else {
            quad_at[quads] = i;
            quad_a[quads] = a;
            quad_lg[quads] = lg;
            quad_x[quads++] = xi;
        }
    }
    quadratures(quad_at, quad_a, quad_x, quad_lg, out, quads);
    for (int r = 0; r < 2; ++r) {
        const int m = count[r];
        if (m == 0) continue;
        // x^a e^-x / Gamma(a) = exp((log(x) a - x) - lg)
        if (log_x != nullptr) {
            for (int j = 0; j < m; ++j) power[r][j] = log_x[at[r][j]];
        } else {
            log_array(xs[r], power[r], m);
        }
        for (int j = 0; j < m; ++j) power[r][j] = (power[r][j] * a - xs[r][j]) - lg;
        exp_array(power[r], power[r], m);
        gamma_fraction_array(a, xs[r], power[r], power[r], m, r == 1);
        for (int j = 0; j < m; ++j) out[at[r][j]] = power[r][j];
    }
}

void gamma_p_array(double a, const double* x, double* out, std::size_t n) {
    if (a < 0 || a != a || a < kEps) {
        for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p(a, x[i]);
        return;
    }
    const double lg = math_lgamma(a);
    double block[kBlock];
    for (std::size_t at = 0; at < n; at += kBlock) {
        const int m = static_cast<int>(n - at < kBlock ? n - at : kBlock);
        for (int i = 0; i < m; ++i) block[i] = x[at + i];
        gamma_p_block(a, lg, block, out + at, m);
    }
}

// ---------------------------------------------------------------------------
// Log-gamma, and the incomplete gamma function and its inverse with a shape
// per element.

// out[i] = math_lgamma(x[i]): the Lanczos sums one at a time (extended
// precision), their logarithms and those of (x - 1) + g + 1/2 in lanes; the
// guards and the integers of the table from the scalar kernel. An element
// with the bits of the one before takes its value.
void lgamma_array(const double* x, double* out, std::size_t n) {
    int at[kBlock];
    bool repeat[kBlock];
    double arg[2 * kBlock];
    for (std::size_t from = 0; from < n; from += kBlock) {
        const int m = static_cast<int>(n - from < kBlock ? n - from : kBlock);
        int count = 0;
        for (int i = 0; i < m; ++i) {
            const double xi = x[from + i];
            repeat[i] = i > 0 && same_bits(xi, x[from + i - 1]);
            if (repeat[i]) continue;
            const double off = xi - 1.0;
            if (xi != xi || (off < 0 ? -off : off) < kEps || xi < kEps || xi >= kInf ||
                (xi <= kLgammaIntegersMax && xi == static_cast<double>(static_cast<int>(xi)))) {
                out[from + i] = math_lgamma(xi);
                continue;
            }
            at[count] = i;
            arg[count] = (xi - 1) + kLanczosGPlusHalf;
            arg[kBlock + count++] = lanczos_sum(xi);
        }
        log_array(arg, arg, count);
        log_array(arg + kBlock, arg + kBlock, count);
        for (int j = 0; j < count; ++j) {
            const double a = x[from + at[j]] - 1;
            const double p = arg[j] * (0.5 + a) - (kLanczosGPlusHalf + a);
            out[from + at[j]] = (arg[kBlock + j] + kLnSqrtTwoPi) + p;
        }
        for (int i = 0; i < m; ++i) {
            if (repeat[i]) out[from + i] = out[from + i - 1];
        }
    }
}

// out[i] = power[i] / S(a[i], x[i]) (upper: 1 - power[i] / U(a[i], x[i])) over a list.
void gamma_fraction_each(const double* a, const double* x, const double* power, double* out, int n, bool upper) {
    double ba[W], bx[W], bp[W], bo[W];
    for (int i = 0; i < n; i += W) {
        const int m = n - i < W ? n - i : W;
        for (int j = 0; j < W; ++j) {
            ba[j] = j < m ? a[i + j] : 1.0;
            bx[j] = j < m ? x[i + j] : 1.0;
            bp[j] = j < m ? power[i + j] : 1.0;
        }
        const P av = load(ba), v = load(bx);
        store(bo, upper ? 1.0 - load(bp) / upper_fraction(av, v) : load(bp) / series_fraction(av, v));
        for (int j = 0; j < m; ++j) out[i + j] = bo[j];
    }
}

// out[i] = math_gamma_p(a[i], x[i]) for n <= kBlock elements, given
// lg[i] = math_lgamma(a[i]) (and math_log(x[i]) in log_x, if not null).
void gamma_p_block_each(const double* a, const double* lg, const double* x, double* out, int n,
                        const double* log_x = nullptr) {
    int at[3][kBlock];
    double as[3][kBlock], xs[3][kBlock], power[3][kBlock];
    int count[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
        const double ai = a[i], xi = x[i];
        int r;
        if (ai < 0 || ai != ai || xi != xi) {
            out[i] = kNaN;
            continue;
        } else if (xi < kEps) {
            out[i] = 0.0;
            continue;
        } else if (ai < kEps) {
            out[i] = 1.0;
            continue;
        } else if (ai < kSmallShape && xi - ai < kSeriesMaxExcess) {
            r = 0;
        } else if (ai < kSmallShape || xi / ai > kUpperFractionRatio) {
            r = 1;
        } else {
            r = 2;
        }
        at[r][count[r]] = i;
        as[r][count[r]] = ai;
        power[r][count[r]] = lg[i];
        xs[r][count[r]++] = xi;
    }
    for (int r = 0; r < 2; ++r) {
        const int m = count[r];
        if (m == 0) continue;
        // x^a e^-x / Gamma(a) = exp((log(x) a - x) - lg); lg waits in power.
        double lx[kBlock];
        if (log_x != nullptr) {
            for (int j = 0; j < m; ++j) lx[j] = log_x[at[r][j]];
        } else {
            log_array(xs[r], lx, m);
        }
        for (int j = 0; j < m; ++j) power[r][j] = (lx[j] * as[r][j] - xs[r][j]) - power[r][j];
        exp_array(power[r], power[r], m);
        gamma_fraction_each(as[r], xs[r], power[r], power[r], m, r == 1);
        for (int j = 0; j < m; ++j) out[at[r][j]] = power[r][j];
    }
    quadratures(at[2], as[2], xs[2], power[2], out, count[2]);
}

void gamma_p_each_array(const double* a, const double* x, double* out, std::size_t n) {
    double lg[kBlock], ab[kBlock], xb[kBlock];
    for (std::size_t at = 0; at < n; at += kBlock) {
        const int m = static_cast<int>(n - at < kBlock ? n - at : kBlock);
        for (int i = 0; i < m; ++i) {
            ab[i] = a[at + i];
            xb[i] = x[at + i];
        }
        lgamma_array(ab, lg, m);
        gamma_p_block_each(ab, lg, xb, out + at, m);
    }
}

// The Halley iteration of math_gamma_p_inv for every element of an array,
// step by step in lanes, with one shape for all (a[0], lg = math_lgamma(a[0]))
// or one per element (Each: a[i]; lg is then computed here). Up to kBlock
// elements iterate side by side; each leaves at its step 36 or when its state
// (the iterate and the lagging density) repeats, and the next elements of the
// array take the places freed, so that the lanes stay full. A step evaluates
// P and the density at each element's iterate, except where the iterate is
// one the element met before (a fixed point, a cycle between neighbouring
// doubles): there it takes the values computed then. Where the quantile is a
// repeated state's iterate, P at it is known: known[i] = 1 and p_at[i] that
// value (known[i] = 0 elsewhere), if known is not null.
template <bool Each>
void gamma_p_inv_halley(const double* a, const double* lg, const double* p, double* out, double* p_at,
                        unsigned char* known, std::size_t n) {
    // Element j of those iterating: out[where[j]], its record in row[j],
    // steps[j] steps taken.
    std::size_t where[kBlock];
    int row[kBlock], steps[kBlock], at[kBlock];
    double pv[kBlock], x[kBlock], d[kBlock], dn[kBlock], r[kBlock], xe[kBlock], re[kBlock], ge[kBlock];
    // The shapes of the elements iterating, and log-gamma of the array's
    // shapes from lg_from on (Each).
    double av[Each ? kBlock : 1], lgv[Each ? kBlock : 1], a1v[Each ? kBlock : 1], lg_ahead[Each ? kBlock : 1];
    std::size_t lg_from = 0, lg_to = 0;
    HalleyRows<kGammaHalleySteps> rows;
    const double a1 = Each ? 0.0 : a[0] - 1;  // the one shape's a - 1
    int m = 0;
    std::size_t next = 0;
    for (;;) {
        // The next elements of the array take the free places.
        const int first = m;
        for (; m < kBlock && next < n; ++next) {
            const std::size_t i = next;
            const double ai = a[Each ? i : 0], pi = p[i];
            const double to_one = 1 - pi;
            if (known != nullptr) known[i] = 0;
            if (ai != ai || pi != pi) {
                out[i] = kNaN;
            } else if (pi < kEps) {
                out[i] = 0.0;
            } else if (pi > 1) {
                out[i] = kNaN;
            } else if ((to_one < 0 ? -to_one : to_one) < kEps) {
                out[i] = kInf;
            } else if (ai < kEps) {
                out[i] = 0.0;
            } else {
                if constexpr (Each) {
                    if (i >= lg_to) {
                        lg_from = i;
                        lg_to = n - i < kBlock ? n : i + kBlock;
                        lgamma_array(a + lg_from, lg_ahead, lg_to - lg_from);
                    }
                    av[m] = ai;
                    lgv[m] = lg_ahead[i - lg_from];
                    a1v[m] = ai - 1;
                }
                where[m] = i;
                steps[m] = 0;
                pv[m] = pi;
                x[m++] = gamma_p_inv_start(ai, pi);
            }
        }
        if (m == 0) break;
        // The step of each: P and the density at its iterate, both from one
        // logarithm of it. The density at a start is also the lagging
        // density of the first step.
        int c = 0;
        for (int j = 0; j < first; ++j) {
            if (!rows.recall(row[j], steps[j], x[j], &r[j], &dn[j])) {
                at[c] = j;
                xe[c++] = x[j];
            }
        }
        for (int j = first; j < m; ++j) {
            at[c] = j;
            xe[c++] = x[j];
        }
        double lx[kBlock];
        log_array(xe, lx, c);
        if constexpr (Each) {
            double ae[kBlock], lge[kBlock];
            for (int v = 0; v < c; ++v) {
                ae[v] = av[at[v]];
                lge[v] = lgv[at[v]];
                ge[v] = (lx[v] * a1v[at[v]] - xe[v]) - lge[v];
            }
            gamma_p_block_each(ae, lge, xe, re, c, lx);
        } else {
            for (int v = 0; v < c; ++v) ge[v] = (lx[v] * a1 - xe[v]) - lg[0];
            gamma_p_block(a[0], lg[0], xe, re, c, lx);
        }
        exp_array(ge, ge, c);
        for (int v = 0; v < c; ++v) {
            r[at[v]] = re[v];
            dn[at[v]] = ge[v];
        }
        for (int j = first; j < m; ++j) {
            d[j] = dn[j];
            row[j] = rows.take(x[j], d[j]);
        }
        int kept = 0;
        for (int j = 0; j < m; ++j) {
            const double a1j = Each ? a1v[j] : a1;
            const double e = (r[j] - pv[j]) / d[j];
            const double q = (d[j] * (a1j / x[j] - 1)) / d[j];
            double h = (e * kHalleyHalf) * q + 1;
            if (h > kHalleyFactorHigh) h = kHalleyFactorHigh;
            if (h < kHalleyFactorLow) h = kHalleyFactorLow;
            const double next_x = x[j] - e / h;
            const int k = steps[j] + 1;
            const int last = k == kGammaHalleySteps ? -1 : rows.step(row[j], k, r[j], next_x, dn[j]);
            if (k == kGammaHalleySteps || last >= 0) {
                out[where[j]] = last >= 0 ? rows.hx[row[j]][last] : next_x;
                if (known != nullptr && last >= 0) {
                    known[where[j]] = 1;
                    p_at[where[j]] = rows.hv[row[j]][last];
                }
                rows.give(row[j]);
                continue;
            }
            where[kept] = where[j];
            row[kept] = row[j];
            steps[kept] = k;
            if constexpr (Each) {
                av[kept] = av[j];
                lgv[kept] = lgv[j];
                a1v[kept] = a1j;
            }
            pv[kept] = pv[j];
            x[kept] = next_x;
            d[kept++] = dn[j];
        }
        m = kept;
    }
}

void gamma_p_inv_array(double a, const double* p, double* out, double* p_at, unsigned char* known, std::size_t n) {
    // NaN and vanishing shapes: the scalar kernel's guards decide every element.
    if (a != a || a < kEps) {
        for (std::size_t i = 0; i < n; ++i) out[i] = math_gamma_p_inv(a, p[i]);
        if (known != nullptr) {
            for (std::size_t i = 0; i < n; ++i) known[i] = 0;
        }
        return;
    }
    const double lg = math_lgamma(a);
    gamma_p_inv_halley<false>(&a, &lg, p, out, p_at, known, n);
}

void gamma_p_inv_each_array(const double* a, const double* p, double* out, double* p_at, unsigned char* known,
                            std::size_t n) {
    gamma_p_inv_halley<true>(a, nullptr, p, out, p_at, known, n);
}

}  // namespace
}  // namespace ZV_VARIANT_NS

const LaneKernels ZV_TABLE = {ZV_NAME,
                              ZV_VARIANT_NS::exp_array,
                              ZV_VARIANT_NS::log_array,
                              ZV_VARIANT_NS::erf_array,
                              ZV_VARIANT_NS::erf_inv_array,
                              ZV_VARIANT_NS::gamma_terms,
                              ZV_VARIANT_NS::gamma_p_array,
                              ZV_VARIANT_NS::gamma_p_inv_array,
                              ZV_VARIANT_NS::lgamma_array,
                              ZV_VARIANT_NS::gamma_p_each_array,
                              ZV_VARIANT_NS::gamma_p_inv_each_array};

}  // namespace zorvana
