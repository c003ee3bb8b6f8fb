// The incomplete beta function by its continued fraction, evaluated on the
// side where it converges, with the prefactor x^a y^b / B(a, b) written
// through deviances and Stirling remainders so that it keeps its relative
// precision for large shapes; near the mean of large shapes by an asymptotic
// expansion; a small complement of a tiny shape by its own closed form; the
// inverse by Halley steps on the logarithm of the tail, guarded by a
// bracket.
#include "accurate/beta_inc.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "accurate/elementary.hpp"

namespace zorvana {
namespace accurate {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// ln sqrt(2 pi)
constexpr double kLogSqrt2Pi = 0.91893853320467274178;
// Below this a point is "tiny": x^a / (a B(a, b)) is I_x(a, b) to double
// precision, and n x may lose precision to underflow.
constexpr double kTiny = 0x1p-900;
// Pairs of continued-fraction terms at most. Shapes up to 1e6 need a few
// hundred near the mean.
constexpr int kMaxPairs = 20000;
// Where the side asked for is a complement below 1/16 (1 - e would lose four
// bits and more: tiny shapes put almost all of the mass on one side), it
// comes from its own fraction if that settles in reach: outside its fast
// region it takes about 10/sqrt(s) pairs, s the smaller of x and y.
constexpr double kComplementFromOther = 1 - 0x1p-4;
constexpr double kOtherMinPoint = 1e-3;
constexpr int kOtherPairs = 400;
// ln(15/16): a logarithm above it is that of a value whose complement is
// below 1/16.
constexpr double kLogNearOne = -0.06453852113757118;
// Steps of the inverse at most (it usually needs three to six).
constexpr int kMaxSteps = 200;

// ln sqrt(2 pi) as a double-double.
constexpr double kLogSqrt2PiLo = -0x1.65b5a1b7ff5dfp-55;

double abs0(double x) { return x < 0 ? -x : x; }

// a ln(a/m) + m - a (a, m > 0) as a double-double: in the deep tails it is
// most of the exponent of the prefactor, and every unit in its last place
// would be a relative error of the result. Near a by its series, elsewhere
// from the logarithms in double-double (log_a = ln a).
DD deviance_dd(double a, double m, DD log_a) {
    const double d = a - m;
    const double sum = a + m;
    if (abs0(d) < 0.1 * sum) return deviance_near_dd(a, m);
    const DD l = dd_sub(log_a, log_dd(m));
    return dd_add(dd_mul(l, a), two_sum(m, -a));
}

// The terms of the prefactor that depend on the shapes alone, remembered per
// thread for the last pair (an array call repeats it): ln a, ln b, ln n
// (n = a + b, itself a double-double) and
//   ln(a b / n)/2 - ln sqrt(2 pi) - (c(a) + c(b) - c(n)).
struct ShapeMemo {
    std::uint64_t a = 0, b = 0;  // bits; 0 and 0 is no pair (shapes are positive)
    DD log_a{0.0, 0.0}, log_b{0.0, 0.0}, log_n{0.0, 0.0};
    DD value{0.0, 0.0};
    double bcorr = 0;  // c(a) + c(b) - c(n)
    // D(a, n) and D(b, n), formed when first asked for (far-tail points)
    bool have_dev_n[2] = {false, false};
    DD dev_n[2] = {{0.0, 0.0}, {0.0, 0.0}};
};
thread_local ShapeMemo shape_memo;

// The terms of the sum n alone, for callers whose shapes change with a
// fixed sum (the binomial's x + 1 and n - x).
struct SumMemo {
    std::uint64_t hi = 0, lo = 0;
    DD log_n{0.0, 0.0};
    double c_n = 0;
};
thread_local SumMemo sum_memo;

// ln c and c(c) of single shapes, per thread in a small table indexed by
// their bits: shapes that change per element often recur (the binomial's
// counts x + 1 and n - x over an array).
struct SingleShape {
    std::uint64_t bits = 0;  // 0: empty (shapes are positive)
    DD log{0.0, 0.0};
    double c = 0;
};
constexpr int kSingleSlots = 256;
thread_local SingleShape single_shapes[kSingleSlots];

const SingleShape& single_terms(double a) {
    const std::uint64_t u = bits_of(a);
    SingleShape& e = single_shapes[(u ^ (u >> 17) ^ (u >> 41)) & (kSingleSlots - 1)];
    if (e.bits != u) {
        e.log = log_dd(a);
        e.c = lgamma_correction(a);
        e.bits = u;
    }
    return e;
}

const ShapeMemo& shape_terms(double a, double b, DD n) {
    ShapeMemo& m = shape_memo;
    if (m.a == bits_of(a) && m.b == bits_of(b)) return m;
    const SingleShape& ta = single_terms(a);
    const double c_a = ta.c;
    m.log_a = ta.log;
    const SingleShape& tb = single_terms(b);  // may replace ta's slot
    const double c_b = tb.c;
    m.log_b = tb.log;
    SumMemo& sm = sum_memo;
    if (sm.hi != bits_of(n.hi) || sm.lo != bits_of(n.lo) || sm.hi == 0) {
        // ln(n.hi + n.lo) = ln n.hi + n.lo/n.hi (n.lo/n.hi below 2^-53)
        sm.log_n = dd_add(log_dd(n.hi), n.lo / n.hi);
        sm.c_n = lgamma_correction(n.hi);
        sm.hi = bits_of(n.hi);
        sm.lo = bits_of(n.lo);
    }
    m.log_n = sm.log_n;
    const double c = (c_a + c_b) - sm.c_n;
    const DD half = dd_mul(dd_sub(dd_add(m.log_a, m.log_b), m.log_n), 0.5);
    m.value = dd_add(dd_sub(half, DD{kLogSqrt2Pi, kLogSqrt2PiLo}), -c);
    m.bcorr = c;
    m.have_dev_n[0] = m.have_dev_n[1] = false;
    m.a = bits_of(a);
    m.b = bits_of(b);
    return m;
}

// D(a, m) = a ln(a/m) + m - a for m = n s (n = a + b), s in (0, 1), m a
// double-double.
DD deviance_of(double a, DD m, const DD& log_a, const DD& log_n, double s, double s_lo) {
    if (s < kTiny) {
        // ln(a/m) = ln a - ln n - ln s; m itself is negligible beside a.
        const DD l = dd_sub(dd_sub(log_a, log_n), dd_add(log_dd(s), s_lo / s));
        return dd_add(dd_mul(l, a), two_sum(m.hi, -a));
    }
    // D(a, m.hi + m.lo) = D(a, m.hi) + (1 - a/m.hi) m.lo + a (m.lo/m.hi)^2/2
    // to well below an ulp; the last term counts where D itself is that
    // small (a point at the mean of shapes whose sum is not a double).
    const double r = m.lo / m.hi;
    return dd_add(dd_add(deviance_dd(a, m.hi, log_a), (1 - a / m.hi) * m.lo), (0.5 * a) * (r * r));
}

// ln(x^a y^b / B(a, b)) with s + s_lo the smaller of x and y (x when
// x_small), the other 1 - s - s_lo exactly:
//   -D(a, n x) - D(b, n y) + ln(a b / n)/2 - ln sqrt(2 pi) - (c(a) + c(b) - c(n)),
// n = a + b, D the deviance and c the Stirling remainder; n x and n y are
// carried in double-double so that n x + n y = n holds exactly, and the sum
// is a double-double (in the deep tails its last bits are the result's).
DD log_prefactor(double a, double b, double s, double s_lo, bool x_small, DD* dev_out = nullptr,
                 DD* ms_out = nullptr) {
    const DD n = two_sum(a, b);
    DD ms = two_prod(n.hi, s);
    ms.lo = ms.lo + (n.lo * s + n.hi * s_lo);
    DD mo = two_sum(n.hi, -ms.hi);
    mo.lo = mo.lo + (n.lo - ms.lo);
    const ShapeMemo& sh = shape_terms(a, b, n);
    const double as = x_small ? a : b;
    const double ao = x_small ? b : a;
    const DD& log_as = x_small ? sh.log_a : sh.log_b;
    const DD& log_ao = x_small ? sh.log_b : sh.log_a;
    DD dev_o;
    if (s < 0x1p-20 && ao * (s * s) < 0x1p-30) {
        // A point far in the tail: with m = n (1 - s),
        //   D(ao, m) = D(ao, n) - as s + ao (s^2/2 + s^3/3 + s^4/4 + ...),
        // D(ao, n) once per shape pair (n - ao = as exactly).
        ShapeMemo& shm = shape_memo;
        const int k = x_small ? 1 : 0;
        if (!shm.have_dev_n[k]) {
            shm.dev_n[k] = deviance_of(ao, n, log_ao, sh.log_n, 1.0, 0.0);
            shm.have_dev_n[k] = true;
        }
        DD lin = two_prod(as, s);
        lin.lo = lin.lo + as * s_lo;
        const double quad = (ao * (s * s)) * (0.5 + s * (1.0 / 3 + s * 0.25));
        dev_o = dd_add(dd_sub(shm.dev_n[k], lin), quad);
    } else {
        dev_o = deviance_of(ao, mo, log_ao, sh.log_n, 1.0, 0.0);
    }
    const DD dev = dd_add(deviance_of(as, ms, log_as, sh.log_n, s, s_lo), dev_o);
    if (dev_out) *dev_out = dev;
    if (ms_out) *ms_out = ms;
    return dd_sub(sh.value, dev);
}

// I_x(a, b) = x^a y^b / (a B(a, b) K), K = 1 + d1/(1 + d2/(1 + d3/(1 + ...))),
//   d(2m+1) = -(a + m)(a + b + m) x / ((a + 2m)(a + 2m + 1)),
//   d(2m+2) = (m + 1)(b - m - 1) x / ((a + 2m + 1)(a + 2m + 2)),
// converges fast for x below about (a + 1)/(a + b + 2). Its even part is
// evaluated, K = f/(f - d1) with
//   f = (1 + d1 + d2) - d2 d3/((1 + d3 + d4) - d4 d5/((1 + d5 + d6) - ...)),
// by the modified Lentz method. The sums 1 + d(2m+1) cancel when x is near
// 1; they are formed from y when y is the exact side (x_exact false):
//   1 + d(2m+1) = (m (2a + 3m + 2 - b) + a (1 - b) + (a + m)(a + b + m) y)
//                 / ((a + 2m)(a + 2m + 1)).
// Returns ln(K); *converged (when given) tells whether the terms settled
// within max_pairs pairs.
double log_beta_fraction(double a, double b, double x, double y, bool x_exact, int max_pairs = kMaxPairs,
                         bool* converged = nullptr) {
    constexpr double kFloor = 0x1p-1000;
    const double apb = a + b;
    // 1 + d(2m+1), and d(2m+1) in *d, for m = md
    // Beyond 2^500 the products of the shapes would overflow: the quotients
    // are then formed factor by factor.
    const bool huge = apb > 0x1p500;
    auto odd = [a, b, apb, x, y, x_exact, huge](double md, double* d) {
        const double a2m = a + (md + md);
        if (huge) {
            const double r = ((a + md) / a2m) * ((apb + md) / (a2m + 1));
            *d = -(r * x);
            if (x_exact) return 1 + *d;
            return ((md * (((a + a) + (3 * md + 2)) - b) + a * (1 - b)) / a2m) / (a2m + 1) + r * y;
        }
        const double den = a2m * (a2m + 1);
        const double c = (a + md) * (apb + md);
        *d = -(c * x) / den;
        if (x_exact) return 1 + *d;
        return ((md * (((a + a) + (3 * md + 2)) - b) + a * (1 - b)) + c * y) / den;
    };
    // d(2m+2) for m = md
    auto even = [a, b, x, huge](double md) {
        const double m1 = md + 1;
        const double a2m = a + (md + md);
        if (huge) return (((m1 * (b - m1)) * x) / (a2m + 1)) / (a2m + 2);
        return ((m1 * (b - m1)) * x) / ((a2m + 1) * (a2m + 2));
    };
    double d1;
    const double s1 = odd(0, &d1);
    double d_even = even(0);
    double f = s1 + d_even;
    if (f == 0) f = kFloor;
    double C = f, D = 0;
    if (converged) *converged = false;
    for (int m = 1; m < max_pairs; ++m) {
        const double md = m;
        double d_odd;
        const double s = odd(md, &d_odd);
        const double alpha = -(d_even * d_odd);
        d_even = even(md);
        const double beta = s + d_even;
        D = beta + alpha * D;
        if (D == 0) D = kFloor;
        C = beta + alpha / C;
        if (C == 0) C = kFloor;
        D = 1 / D;
        const double delta = C * D;
        f = f * delta;
        const double e = delta - 1;
        if ((e < 0 ? -e : e) <= 0x1p-53) {
            if (converged) *converged = true;
            break;
        }
    }
    return log(f / (f - d1));
}

// ln Gamma(a + b) - ln Gamma(a) for a > 0, 0 < b <= 1, with the relative
// precision of its leading term b psi(a): the recurrence up to A = a + m >=
// 10, then Stirling's series, whose remainders' difference is taken term by
// term (A + b)^-k - A^-k = A^-k expm1(-k ln(1 + b/A)).
double lgamma_diff(double a, double b) {
    double shift = 0;  // sum of ln(1 + b/(a + j)) over the recurrence
    double A = a;
    while (A < 10) {
        shift = shift + log1p(b / A);
        A = A + 1;
    }
    const double l1p = log1p(b / A);
    const double lead = (A - 0.5) * l1p + b * (log(A + b) - 1);
    // B_2k / (2k (2k - 1)), k = 1..7
    constexpr double kStirling[] = {1.0 / 12, -1.0 / 360, 1.0 / 1260, -1.0 / 1680, 1.0 / 1188, -691.0 / 360360,
                                    1.0 / 156};
    const double inv = 1 / A;
    const double inv2 = inv * inv;
    double pw = inv;
    double rem = 0;
    for (int k = 0; k < 7; ++k) {
        rem = rem + (kStirling[k] * pw) * expm1(-(2 * k + 1) * l1p);
        pw = pw * inv2;
    }
    return (lead + rem) - shift;
}

// A second shape at most this small and a side below 1/16 take the
// complement's own form below.
constexpr double kSmallShape = 0.5;

// ln I_w(c, d) for a small second shape d (0 < d <= 1/2) at w = 1 - v,
// v <= 1/2 exact, lv = ln v (v may have underflowed): the small complement of I_v(d, c), with the relative
// precision that 1 - I_v(d, c) would lose:
//   I_w(c, d) = d (E + (1 - v^d)/d - J) / (1 + d E),
//   E = (d B(c, d) - 1)/d,  J = sum_{k>=1} (1 - c)_k/k! v^(k+d)/(k + d),
// from I_v(d, c) = (v^d/d + J)/B(c, d), J the integral of
// t^(d-1) ((1 - t)^(c-1) - 1) over (0, v). J converges fast where I_v(d, c)
// has its fraction, v < (d + 1)/(c + d + 2).
double log_small_shape_complement(double c, double d, double v, double lv) {
    const double e = expm1(lgamma1p(d) - lgamma_diff(c, d)) / d;
    double power = 1, sum = 0;
    for (int k = 1; k < 5000; ++k) {
        power = (power * ((k - c) / k)) * v;
        const double t = power / (k + d);
        sum = sum + t;
        if (abs0(t) <= 0x1p-60 * abs0(sum)) break;
    }
    const double j = exp(d * lv) * sum;
    const double bracket = (e + (-expm1(d * lv)) / d) - j;
    return (log(d) + log(bracket)) - log1p(d * e);
}

// The asymptotic expansion for large a and b near the mean (DiDonato and
// Morris, ACM TOMS 18 (1992) 360-373): for lambda = a - n x >= 0, n = a + b,
//   I_x(a, b) = (2/sqrt(pi)) e^(-f - bcorr) S,  S = J0 + sum d_k w0^k J_k,
// f = D(a, n x) + D(b, n y) the deviances of the prefactor, bcorr the
// Stirling remainders c(a) + c(b) - c(n), w0 = 1/sqrt(min(a, b)(1 + h)),
// h = min(a, b)/max(a, b); J0 = e^(z^2) erfc(z)/sqrt(pi), z = sqrt(f), and
// J_k by their recurrence. The coefficients d_k depend on the shapes alone;
// they are formed as the sum reaches them and kept per thread for the last
// two ordered pairs (the two sides of the mean).
constexpr int kAsymTerms = 20;  // even
// Shapes from which the expansion serves, and the band |lambda| <=
// kAsymBand min(a, b) around the mean where it does; outside it the
// continued fraction settles within a few hundred pairs.
constexpr double kAsymMin = 100;
constexpr double kAsymBand = 0.03;

struct AsymCoeffs {
    std::uint64_t a = 0, b = 0;
    double w0 = 0, h = 0, r0 = 0, r1 = 0;
    double s = 1, hn = 1;  // the recurrence's running sum and power of h^2
    int done = 0;          // d[1..done + 1] are formed (done even)
    double a0[kAsymTerms + 2] = {}, c[kAsymTerms + 2] = {}, d[kAsymTerms + 2] = {};
};
thread_local AsymCoeffs asym_memo[2];
thread_local int asym_next = 0;

// The pair's coefficients, d_1 at first; asym_extend forms the others as
// the sum asks for them (near the mean of large shapes it stops after a few).
AsymCoeffs& asym_coeffs(double a, double b) {
    for (AsymCoeffs& m : asym_memo) {
        if (m.a == bits_of(a) && m.b == bits_of(b)) return m;
    }
    AsymCoeffs& m = asym_memo[asym_next];
    asym_next ^= 1;
    if (a < b) {
        m.h = a / b;
        m.r0 = 1 / (1 + m.h);
        m.r1 = (b - a) / b;
        m.w0 = 1 / std::sqrt(a * (1 + m.h));
    } else {
        m.h = b / a;
        m.r0 = 1 / (1 + m.h);
        m.r1 = (b - a) / a;
        m.w0 = 1 / std::sqrt(b * (1 + m.h));
    }
    m.a0[1] = (2.0 / 3.0) * m.r1;
    m.c[1] = -0.5 * m.a0[1];
    m.d[1] = -m.c[1];
    m.s = 1;
    m.hn = 1;
    m.done = 0;
    m.a = bits_of(a);
    m.b = bits_of(b);
    return m;
}

// d[k] and d[k + 1] for the even k up to n.
void asym_extend(AsymCoeffs& m, int n) {
    const double h2 = m.h * m.h;
    double b0[kAsymTerms + 2];
    for (int k = m.done + 2; k <= n; k += 2) {
        m.hn = h2 * m.hn;
        m.a0[k] = 2 * m.r0 * (1 + m.h * m.hn) / (k + 2.0);
        m.s = m.s + m.hn;
        m.a0[k + 1] = 2 * m.r1 * m.s / (k + 3.0);
        for (int i = k; i <= k + 1; ++i) {
            const double r = -0.5 * (i + 1.0);
            b0[1] = r * m.a0[1];
            for (int q = 2; q <= i; ++q) {
                double bsum = 0;
                for (int j = 1; j < q; ++j) bsum = bsum + (j * r - (q - j)) * m.a0[j] * b0[q - j];
                b0[q] = r * m.a0[q] + bsum / q;
            }
            m.c[i] = b0[i] / (i + 1.0);
            double dsum = 0;
            for (int j = 1; j < i; ++j) dsum = dsum + m.d[i - j] * m.c[j];
            m.d[i] = -(dsum + m.c[i]);
        }
        m.done = k;
    }
}

// ln S for the shapes (a, b) (lambda >= 0 on their side) and f.
double asym_log_sum(double a, double b, double f) {
    constexpr double e0 = 1.1283791670955126;   // 2/sqrt(pi)
    constexpr double e1 = 0.35355339059327373;  // 2^(-3/2)
    AsymCoeffs& m = asym_coeffs(a, b);
    const double z0 = std::sqrt(f);
    const double z2 = f + f;
    double j0 = (0.5 / e0) * erfcx(z0);
    double j1 = e1;
    double sum = j0 + m.d[1] * m.w0 * j1;
    double znm1 = 0.5 * (z0 / e1), zn = z2, w = m.w0;
    for (int n = 2; n <= kAsymTerms; n += 2) {
        if (n > m.done) asym_extend(m, n);
        j0 = e1 * znm1 + (n - 1.0) * j0;
        j1 = e1 * zn + n * j1;
        znm1 = z2 * znm1;
        zn = z2 * zn;
        w = m.w0 * w;
        const double t0 = m.d[n] * w * j0;
        w = m.w0 * w;
        const double t1 = m.d[n + 1] * w * j1;
        sum = sum + (t0 + t1);
        if (abs0(t0) + abs0(t1) <= 0x1p-56 * sum) break;
    }
    return log(sum);
}

// The logarithm of the requested side (a double-double where it comes from
// the prefactor directly) and of the prefactor.
struct Eval {
    DD log_value;
    double log_pref;
};

// x, y in (0, 1), x + y = 1 in the sense of the header. With log_wanted, a
// value near 1 takes its complement from the complement's own fraction
// where that settles (its logarithm then keeps its relative precision).
Eval evaluate(double a, double b, double x, double y, bool upper, double small_lo, bool log_wanted = false) {
    const bool x_small = x <= y;
    const double s = x_small ? x : y;
    // The fraction of I_x(a, b) converges for x < (a + 1)/(a + b + 2), that
    // of I_y(b, a) for y < (b + 1)/(a + b + 2).
    const double n2 = (a + b) + 2;
    const bool direct_x = x_small ? s * n2 < a + 1 : s * n2 > b + 1;
    DD dev, ms;
    const DD lp = log_prefactor(a, b, s, small_lo, x_small, &dev, &ms);
    const double log_pref = lp.hi + lp.lo;
    if (a >= kAsymMin && b >= kAsymMin) {
        // lambda = a - n x = n y - b
        const DD l = x_small ? dd_add(two_sum(a, -ms.hi), -ms.lo) : dd_add(two_sum(ms.hi, -b), ms.lo);
        const double lambda = l.hi + l.lo;
        const double band = kAsymBand * (a < b ? a : b);
        if (lambda <= band && lambda >= -band) {
            constexpr double kLogE0 = 0.12078223763524522;  // ln(2/sqrt(pi))
            constexpr double kLogE0Lo = 4.1797047492946264e-18;
            const bool lower_small = lambda >= 0;  // the side below the mean is I_x(a, b)
            // f >= 0; its rounding may leave it just below 0 at the mean
            const double f = dev.hi + dev.lo > 0 ? dev.hi + dev.lo : 0.0;
            const double ls = lower_small ? asym_log_sum(a, b, f) : asym_log_sum(b, a, f);
            DD r = dd_sub(DD{kLogE0, kLogE0Lo}, dev);
            r = dd_add(dd_add(r, -shape_memo.bcorr), ls);
            if (upper != lower_small) return {r, log_pref};
            return {DD{log1p(-exp_dd(r)), 0.0}, log_pref};
        }
    }
    // ln I_x(a, b) (on_x) or ln I_y(b, a) from its own fraction: the
    // prefactor over the side's first shape, over K.
    auto side = [&](bool on_x, int max_pairs, bool* converged) {
        const double log_k = on_x ? log_beta_fraction(a, b, x, y, x_small, max_pairs, converged)
                                  : log_beta_fraction(b, a, y, x, !x_small, max_pairs, converged);
        return dd_add(dd_sub(lp, on_x ? shape_memo.log_a : shape_memo.log_b), -log_k);
    };
    const DD log_direct = side(direct_x, kMaxPairs, nullptr);
    // The complement of the direct side by its small-shape form: the direct
    // side's first shape small, its point the smaller one.
    const double direct_shape = direct_x ? a : b;
    const double direct_point = direct_x ? x : y;
    const bool small_shape = direct_shape <= kSmallShape && direct_point <= 0.5;
    if (upper != direct_x) {
        if (log_wanted && log_direct.hi > kLogNearOne && small_shape) {
            const double l =
                log_small_shape_complement(direct_x ? b : a, direct_shape, direct_point, log(direct_point));
            return {DD{log1p(-exp(l)), 0.0}, log_pref};
        }
        if (log_wanted && log_direct.hi > kLogNearOne && s >= kOtherMinPoint) {
            // ln(1 - c) from the complement c itself where its fraction settles.
            bool converged;
            const DD log_other = side(!direct_x, kOtherPairs, &converged);
            if (converged) return {DD{log1p(-exp_dd(log_other)), 0.0}, log_pref};
        }
        return {log_direct, log_pref};
    }
    double e = exp_dd(log_direct);
    if (e > 1) e = 1;
    if (e > kComplementFromOther && small_shape) {
        return {DD{log_small_shape_complement(direct_x ? b : a, direct_shape, direct_point, log(direct_point)), 0.0},
                log_pref};
    }
    if (e > kComplementFromOther && s >= kOtherMinPoint) {
        // 1 - e would lose the leading bits of a small complement (tiny
        // shapes put almost all of the mass on one side whatever x): its own
        // fraction, if it settles within a bounded number of terms.
        bool converged;
        const DD log_other = side(!direct_x, kOtherPairs, &converged);
        if (converged) return {log_other, log_pref};
    }
    return {DD{log1p(-e), 0.0}, log_pref};
}

}  // namespace

namespace {

double log_beta_of(double a, double b) {
    if (b < 8) return (lgamma(a) + lgamma(b)) - lgamma(a + b);
    const double n = a + b;
    const double c = lgamma_correction(b) - lgamma_correction(n);
    if (a < 8) {
        // ln Gamma(b) - ln Gamma(n) = -(b - 1/2) ln(1 + a/b) - a ln n + a + c(b) - c(n)
        return lgamma(a) + (((a - a * log(n)) - (b - 0.5) * log1p(a / b)) + c);
    }
    // -(a ln(n/a) + b ln(n/b)) + ln(n/(a b))/2 + ln sqrt(2 pi) + c(a) + c(b) - c(n)
    const double l = log1p(b / a);
    return (((0.5 * (l - log(b)) + kLogSqrt2Pi) - (a * l + b * log1p(a / b))) + lgamma_correction(a)) + c;
}

// The last pair's ln B, per thread: the quantiles and the far tails ask for
// it on every element with the same shapes.
struct LogBetaMemo {
    std::uint64_t a = 0, b = 0;
    double value = 0;
};
thread_local LogBetaMemo log_beta_memo;

}  // namespace

double log_beta(double a, double b) {
    if (a > b) {
        const double t = a;
        a = b;
        b = t;
    }
    LogBetaMemo& m = log_beta_memo;
    if (m.a == bits_of(a) && m.b == bits_of(b) && (m.a | m.b) != 0) return m.value;
    m.value = log_beta_of(a, b);
    m.a = bits_of(a);
    m.b = bits_of(b);
    return m.value;
}

double log_beta_inc_tiny(double a, double b, double log_x) { return ((a * log_x) - log(a)) - log_beta(a, b); }

DD log_beta_inc_tiny_dd(double a, double b, DD log_x) {
    return dd_add(dd_add(dd_mul(log_x, a), -log(a)), -log_beta(a, b));
}

DD log_beta_prefactor(double a, double b, double x, double y, double small_lo) {
    const bool x_small = x <= y;
    return log_prefactor(a, b, x_small ? x : y, small_lo, x_small);
}

DD log_beta_inc_dd(double a, double b, double x, double y, bool upper, double* log_pref_out, double small_lo,
                   bool log_wanted) {
    if (x != x || y != y || a != a || b != b) return DD{kNaN, 0.0};
    if (x <= 0 || y <= 0) {
        const bool one = (x <= 0) == upper;  // I_0 = 0, I_1 = 1
        return DD{one ? 0.0 : -kInf, 0.0};
    }
    const Eval ev = evaluate(a, b, x, y, upper, small_lo, log_wanted);
    if (log_pref_out) *log_pref_out = ev.log_pref;
    return ev.log_value;
}

double beta_inc(double a, double b, double x, double y, bool upper, bool log_p, double* log_pref_out,
                double small_lo) {
    if (x != x || y != y || a != a || b != b) return kNaN;
    if (x <= 0 || y <= 0) {
        const bool one = (x <= 0) == upper;  // I_0 = 0, I_1 = 1
        return log_p ? (one ? 0.0 : -kInf) : (one ? 1.0 : 0.0);
    }
    const Eval ev = evaluate(a, b, x, y, upper, small_lo, log_p);
    if (log_pref_out) *log_pref_out = ev.log_pref;
    return log_p ? ev.log_value.hi + ev.log_value.lo : exp_dd(ev.log_value);
}

namespace {

// The upper quantile z of the standard normal to about 4e-4 (Abramowitz and
// Stegun 26.2.23), for starting values.
double rough_normal_upper_quantile(double lp) {
    const bool upper = lp < -0.6931471805599453;
    const double w = std::sqrt(-2 * (upper ? lp : log(-expm1(lp))));
    const double z = w - (2.515517 + (0.802853 + 0.010328 * w) * w) / (1 + (1.432788 + (0.189269 + 0.001308 * w) * w) * w);
    return upper ? z : -z;
}

// A point of the solver: the smaller side s (x when on_x), t = 1 - s, and
// ln s (finite also when s has underflowed).
struct Iterate {
    bool on_x;
    double s, t, log_s;
};

// The point with logit v = ln(s/t) of the current side.
Iterate at_logit(bool on_x, double v) {
    if (v > 0) return at_logit(!on_x, -v);
    Iterate it;
    it.on_x = on_x;
    const double e = exp(v);  // <= 1
    it.s = e / (1 + e);
    it.t = 1 - it.s;
    it.log_s = v - log1p(e);
    return it;
}

}  // namespace

BetaPoint beta_inc_inv(double a, double b, double p, bool upper) { return beta_inc_inv_log(a, b, log(p), upper); }

BetaPoint beta_inc_inv_log(double a, double b, double lp, bool upper) {
    const double lbeta = log_beta(a, b);
    // H is the requested tail as a function of u = ln(x/y); it rises with u
    // for the lower tail, falls for the upper one.
    const double sign = upper ? -1.0 : 1.0;

    // Start: the power law of the tail, I ~ s^c / (c B) with c the shape of
    // the side s, exact as s -> 0, where it stays within that tail (s times
    // the other shape small); otherwise the normal approximation of u,
    // mean psi(a) - psi(b), variance psi'(a) + psi'(b).
    Iterate it;
    {
        const double c = upper ? b : a;
        const double other = upper ? a : b;
        const double ls = ((lp + log(c)) + lbeta) / c;
        // the same for the other side, whose tail is 1 - p (NaN unless asked for)
        const bool own_tail = ls < -1 && exp(ls) * (other + 1) < 0.2;
        const double ls_other = own_tail ? kNaN : ((log(-expm1(lp)) + log(other)) + lbeta) / other;
        if (own_tail) {
            it = at_logit(!upper, ls);
            if (ls < -700) it.log_s = ls;
        } else if (ls_other < -1 && exp(ls_other) * (c + 1) < 0.2) {
            // a tiny shape puts the point far out on its own side
            it = at_logit(upper, ls_other);
            if (ls_other < -700) it.log_s = ls_other;
        } else {
            // with the skewness of ln(x/y), (psi''(a) - psi''(b))/var^(3/2)
            // (Cornish-Fisher), psi''(c) ~ -(1/c^2 + 1/c^3)
            const double z = -sign * rough_normal_upper_quantile(lp);
            const double mean = (log(a / b) - 0.5 / a) + 0.5 / b;
            const double var = ((1 / a + 0.5 / (a * a)) + 1 / b) + 0.5 / (b * b);
            const double sd = std::sqrt(var);
            const double k3 = (1 / (b * b) + 1 / (b * b * b)) - (1 / (a * a) + 1 / (a * a * a));
            const double skew = k3 / (var * sd);
            const double w = (skew > -1 && skew < 1 && z > -4 && z < 4) ? z + skew * ((z * z - 1) / 6) : z;
            it = at_logit(true, mean + w * sd);
        }
    }

    double lo = -kInf, hi = kInf;  // bracket of u
    double last_slope = kNaN;
    for (int step = 0; step < kMaxSteps; ++step) {
        const double u = it.on_x ? it.log_s - log(it.t) : log(it.t) - it.log_s;
        // ln H and its first two derivatives in u:
        //   dH/du = sign x^a y^b / B(a, b),
        //   d(ln H)'/du = (ln H)' (a y - b x) - (ln H)'^2.
        double lh, g1, g2;
        if (it.s < kTiny) {
            // I_s(c, other) = s^c / (c B) (its side's own incomplete beta function).
            const double c = it.on_x ? a : b;
            const double li = ((c * it.log_s) - log(c)) - lbeta;
            const bool own = it.on_x != upper;  // H is I_s itself
            if (own) {
                lh = li;
                g1 = sign * c;
                g2 = 0;
            } else if (c <= kSmallShape) {
                // 1 - I_s loses its leading bits: its own small-shape form
                lh = log_small_shape_complement(it.on_x ? b : a, c, it.s, it.log_s);
                g1 = sign * ((c * -expm1(lh)) / exp(lh));
                g2 = g1 * c - g1 * g1;
            } else {
                const double i = exp(li);
                lh = log1p(-i);
                g1 = sign * ((c * i) / (1 - i));
                g2 = g1 * c - g1 * g1;
            }
        } else {
            const double x = it.on_x ? it.s : it.t;
            const double y = it.on_x ? it.t : it.s;
            const Eval ev = evaluate(a, b, x, y, upper, 0.0);
            lh = ev.log_value.hi + ev.log_value.lo;
            g1 = sign * exp(ev.log_pref - lh);
            g2 = g1 * (a * y - b * x) - g1 * g1;
        }
        last_slope = g1;
        const double r = lh - lp;
        // Done when ln H meets ln p within its own rounding.
        const double noise = 0x1p-51 * (lp < -1 ? -lp : 1.0);
        if (!(r > noise || r < -noise)) break;
        const bool too_high = (r > 0) != upper;
        if (too_high) {
            hi = u;
        } else {
            lo = u;
        }
        double du = -r / g1;
        const double h = (r * g2) / ((g1 + g1) * g1);
        if (h > -0.5 && h < 0.5) du = du / (1 - h);
        if (!(du > -kInf && du < kInf)) {
            // A flat tail (its slope underflowed): a long step the right way.
            const double w = 1 + (u < 0 ? -u : u);
            du = too_high ? -w : w;
        }
        const double un = u + du;
        // Steps in the last bits are Newton's own (the bracket, rounded as u
        // is, cannot judge them); larger ones stay inside it.
        const bool last_bits = du > -0x1p-26 && du < 0x1p-26;
        // Halley's step from a residual below 2^-20 leaves one of order its
        // cube, below 2^-58: it is the last (no evaluation to confirm it).
        bool final_step = r > -0x1p-20 && r < 0x1p-20;
        if (!last_bits && (!(un < hi) || !(un > lo))) {
            // Outside the bracket: halve it, or the way to its finite end.
            const double target = lo > -kInf && hi < kInf ? 0.5 * (lo + hi) : (lo > -kInf ? 0.5 * (u + lo) : 0.5 * (u + hi));
            du = target - u;
            final_step = false;
        }
        const double dv = it.on_x ? du : -du;  // the step in ln(s/t)
        if (it.s >= kTiny && dv > -1 && dv < 1) {
            // Small steps move s itself, which keeps its last bits:
            // s' = s e^dv / (1 + s (e^dv - 1)), t' = t / (1 + s (e^dv - 1)).
            const double e = expm1(dv);
            const double den = 1 + it.s * e;
            const double sn = it.s + ((it.s * e) * it.t) / den;
            const double tn = it.t / den;
            if (sn == it.s) break;
            if (sn <= tn) {
                it.s = sn;
                it.t = 1 - sn;
            } else {
                it.on_x = !it.on_x;
                it.s = tn;
                it.t = 1 - tn;
            }
            it.log_s = log(it.s);
            if ((du < 0 ? -du : du) < 0x1p-52) break;
        } else {
            const double v = (it.s >= kTiny ? it.log_s - log(it.t) : it.log_s) + dv;
            it = at_logit(it.on_x, v);
            if (v < -700) it.log_s = v;
        }
        if (final_step) break;
    }
    BetaPoint pt;
    pt.small_lo = 0.0;
    pt.log_small_lo = 0.0;
    pt.slope = last_slope;
    pt.x_small = it.on_x;
    pt.log_small = it.log_s;
    pt.x = it.on_x ? it.s : it.t;
    pt.y = it.on_x ? it.t : it.s;
    return pt;
}

BetaPoint split_point(double p1, double p2, double q1, double q2) {
    BetaPoint pt;
    pt.log_small = kNaN;
    pt.log_small_lo = 0.0;
    pt.small_lo = 0.0;
    pt.slope = kNaN;
    constexpr double kSplitMax = 0x1p990;  // Dekker's split overflows beyond 2^995
    constexpr double kRatioMin = 1.1850648642339810e-269;  // e^-620
    const double P = p1 * p2;
    const double Q = q1 * q2;
    pt.x_small = P <= Q;
    const double small = pt.x_small ? P : Q;
    const double large = pt.x_small ? Q : P;
    if (small >= 0x1p-960 && large <= 0x1p960 && small >= large * kRatioMin && p1 <= kSplitMax && p2 <= kSplitMax &&
        q1 <= kSplitMax && q2 <= kSplitMax) {
        const DD Pd = two_prod(p1, p2);
        const DD Qd = two_prod(q1, q2);
        DD S = two_sum(Pd.hi, Qd.hi);
        S.lo = S.lo + (Pd.lo + Qd.lo);
        const double ls = S.lo / S.hi;
        const double qx = Pd.hi / S.hi;
        const double qy = Qd.hi / S.hi;
        pt.x = qx + qx * (Pd.lo / Pd.hi - ls);
        pt.y = qy + qy * (Qd.lo / Qd.hi - ls);
        // What rounding the smaller to a double left out: in the deep tails
        // the prefactor raises it to a large power.
        const DD exact = dd_div(pt.x_small ? Pd : Qd, S);
        pt.small_lo = (exact.hi - (pt.x_small ? pt.x : pt.y)) + exact.lo;
        if (pt.x_small != (pt.x <= pt.y)) pt.small_lo = 0.0;  // a tie near 1/2 rounded the other way
        return pt;
    }
    // Far apart or out of range: the logarithms serve, in double-double (in
    // the deep tails the prefactor raises the smaller to a large power).
    const DD lp = dd_add(log_dd(p1), log_dd(p2));
    const DD lq = dd_add(log_dd(q1), log_dd(q2));
    pt.x_small = lp.hi + lp.lo <= lq.hi + lq.lo;
    const DD gap = pt.x_small ? dd_sub(lp, lq) : dd_sub(lq, lp);  // ln(small/large) <= 0
    const double r = exp(gap.hi);
    const DD ls = dd_add(gap, -log1p(r));
    pt.log_small = ls.hi;
    pt.log_small_lo = ls.lo;
    const double s = exp(pt.log_small);
    pt.x = pt.x_small ? s : 1 / (1 + r);
    pt.y = pt.x_small ? 1 / (1 + r) : s;
    return pt;
}

}  // namespace accurate
}  // namespace zorvana
