// Elementary kernels. Every depth, threshold and operation order below fixes
// the values to the last bit; the continued fractions are evaluated as
// backward loops from their deepest level, which performs the same operations
// as the recursive definitions.
#include "kernels/elementary.hpp"

#include <cstdint>

#include "kernels/param_memo.hpp"
#include "kernels/precision.hpp"

namespace zorvana {
namespace {

// e and pi rounded to nearest to a 64-bit significand.
constexpr ext kE = 0x1.5bf0a8b145769536p+1_ext;   // 2.71828182845904523536...
constexpr ext kPi = 0x1.921fb54442d1846ap+1_ext;  // 3.14159265358979323846...
// The stored pi halved exactly, and its negation.
constexpr ext kHalfPi = kPi / 2;
constexpr ext kMinusHalfPi = -kHalfPi;

// ln 10 and ln 2 ... ln 9 (index k - 2), each the double nearest the true value.
constexpr double kLn10 = 2.302585092994046;
constexpr double kLnSmall[8] = {0.6931471805599453, 1.0986122886681098, 1.3862943611198906,
                                1.6094379124341003, 1.791759469228055,  1.9459101490553132,
                                2.0794415416798357, 2.1972245773362196};

// 2! ... 14! (index n - 2); 15! and 16! kept apart.
constexpr std::int64_t kFactorials[13] = {2,      6,       24,       120,       720,
                                          5040,   40320,   362880,   3628800,   39916800,
                                          479001600, 6227020800, 87178291200};
constexpr std::int64_t kFactorial15 = 1307674368000;
constexpr std::int64_t kFactorial16 = 20922789888000;
// From 66! on, the factor 2^64 divides the product: in 64-bit wrapping
// arithmetic every such factorial is 0.
constexpr std::uint64_t kFactorialWrapsToZero = 66;

// 2^63: magnitudes from here on no longer fit a signed 64-bit integer. Every
// double or extended value of that size is already an integer.
constexpr double kTwo63 = 0x1p63;
constexpr ext kTwo63Ext = 0x1p63_ext;

// Depths of the continued fractions.
constexpr int kExpDepth = 25;   // E(y) ~ e^-y
constexpr int kLogDepth = 25;   // L(s): ln((1+z)/(1-z)) = 2z / L(z^2)
constexpr int kTanhDepth = 35;  // H(1): tanh x = x / H(1)
constexpr int kTanDepthLow = 25, kTanDepthMid = 35, kTanDepthHigh = 45;
constexpr int kAtanDepth[5] = {15, 25, 35, 45, 52};

// The exponential uses its continued fraction directly below this magnitude.
constexpr double kExpDirect = 2.0;
// The integer/fraction split rounds up from this remainder.
constexpr double kHalf = 0.5;

// The logarithm's fraction serves [0.5, 1.5]; elsewhere the argument is
// brought into [1, 10] by powers of ten.
constexpr double kLogNearLow = 0.5, kLogNearHigh = 1.5;
constexpr double kTen = 10.0;

// Square root: arguments above 4 are quartered; at most 100 Newton steps.
constexpr double kSqrtReduce = 4.0;
constexpr int kSqrtMaxStep = 99;

// Tangent: window around the pole pi/2 served by the Laurent series, the
// value returned at the pole itself, and the depth switches.
constexpr double kTanPoleLow = 1.55, kTanPoleHigh = 1.6;
constexpr double kTanPoleValue = 1.633124e16;
constexpr double kTanDepthSwitchMid = 1.0, kTanDepthSwitchHigh = 1.4;
constexpr int kTanMaxReduction = 1;

// Arctangent: the fraction serves (0, 2.5], the asymptotic series above.
constexpr double kAtanSeriesFrom = 2.5;
constexpr double kAtanFractionSwitch[4] = {0.5, 1.0, 1.5, 2.0};

// E(y) ~ e^-y: level 25 is 1; level k (2..24) is (1 + y/(k-1)) - (y/k) / level(k+1);
// level 1 is 1 - y / level 2. The quotient y/k of level k is the y/(k-1) of
// level k+1, just computed: it is divided once (the plain loops divide twice).
template <typename T>
T exp_fraction(T y) {
    T level = 1;
#ifdef ZORVANA_PLAIN_LOOPS
    for (int k = kExpDepth - 1; k >= 2; --k) {
        level = (T(1) + y / static_cast<T>(k - 1)) - (y / static_cast<T>(k)) / level;
    }
#else
    T upper = y / static_cast<T>(kExpDepth - 1);
    for (int k = kExpDepth - 1; k >= 2; --k) {
        const T lower = y / static_cast<T>(k - 1);
        level = (T(1) + lower) - upper / level;
        upper = lower;
    }
#endif
    return T(1) - y / level;
}

// L(s): level 25 is 49; level k is (2k - 1) - (k^2 * s) / level(k+1).
double log_fraction(double s) {
    double level = 2 * kLogDepth - 1;
    for (int k = kLogDepth - 1; k >= 1; --k) {
        level = static_cast<double>(2 * k - 1) - (static_cast<double>(k * k) * s) / level;
    }
    return level;
}

// Floor through truncation to a signed 64-bit integer.
template <typename T>
T floor_core(T x, T eps, T two63) {
    if (x != x) return x;
    if (x >= std::numeric_limits<T>::infinity() || x <= -std::numeric_limits<T>::infinity()) return x;
    if (abs0(x) < eps) return x;
    // Beyond the 64-bit range the value is already integral; truncation
    // there would be undefined.
    if (abs0(x) >= two63) return x;
    T t = static_cast<T>(static_cast<std::int64_t>(x));
    if (x < 0 && t > x) t = t - 1;
    return t;
}

// Square-and-multiply powering, lowest exponent bit first.
template <typename T>
T pow_int_core(T x, std::int64_t n) {
    if (n == 0) return 1;
    if (n == 1) return x;
    if (n == 2) return x * x;
    if (n == 3) return x * (x * x);
    if (n == std::numeric_limits<std::int64_t>::max()) return std::numeric_limits<T>::infinity();
    if (n == std::numeric_limits<std::int64_t>::min()) return 0;
    if (n < 0) return T(1) / pow_int_core(x, -n);
    T acc = 1;
    for (;;) {
        const T sq = x * x;
        if (n & 1) acc = acc * x;
        if (n <= 3) return (n >> 1) == 1 ? acc * sq : acc;
        n >>= 1;
        x = sq;
    }
}

// e^n by the powering below, for the integer part n of the exponential's
// argument. The values for |n| <= kExpPowersMax (the whole double range of
// the exponential and more) are that powering's own results, computed once,
// on first use, into a table that is read-only from then on.
constexpr int kExpPowersMax = 1024;

struct ExpPowers {
    ext value[2 * kExpPowersMax + 1];
    ExpPowers() {
        for (int n = -kExpPowersMax; n <= kExpPowersMax; ++n) value[n + kExpPowersMax] = pow_int_core(kE, n);
    }
};

ext e_power(std::int64_t n) {
#ifndef ZORVANA_PLAIN_LOOPS
    if (-kExpPowersMax <= n && n <= kExpPowersMax) {
        // Initialised once, thread-safely, by the first caller.
        static const ExpPowers powers;
        return powers.value[n + kExpPowersMax];
    }
#endif
    return pow_int_core(kE, n);
}

// tan on x >= eps_ext: at most two reductions by pi, then the Laurent series
// near the pole or the continued fraction x / T(1).
ext tan_core(ext x) {
    int reductions = 0;
    while (x > kPi) {
        if (reductions > kTanMaxReduction) return kNaNExt;
        ext b = x / kPi;
        b = math_floor_ext(b);
        x = x - b * kPi;
        ++reductions;
    }
    if (static_cast<ext>(kTanPoleLow) < x && x < static_cast<ext>(kTanPoleHigh)) {
        const ext z = x + kMinusHalfPi;
        if (abs0(z) < kEpsExt) return kTanPoleValue;
        const ext z3 = (z * z) * z;
        const ext z5 = math_pow_int_ext(z, 5);
        const ext z7 = math_pow_int_ext(z, 7);
        return ((((z5 + z5) / 945 + z7 / 4725) + z3 / 45) + z / 3) - 1 / z;
    }
    const int depth = x > static_cast<ext>(kTanDepthSwitchHigh)  ? kTanDepthHigh
                      : x > static_cast<ext>(kTanDepthSwitchMid) ? kTanDepthMid
                                                                 : kTanDepthLow;
    const ext x2 = x * x;
    ext level = 2 * depth - 1;
    for (int k = depth - 1; k >= 1; --k) level = static_cast<ext>(2 * k - 1) - x2 / level;
    return x / level;
}

// Number of terms of the arctangent's asymptotic series for x > 2.5.
int atan_series_terms(double x) {
    if (x < 3) return 10;
    if (x < 4) return 9;
    if (x < 5) return 8;
    if (x < 7) return 7;
    if (x < 11) return 6;
    if (x < 25) return 5;
    if (x < 100) return 4;
    if (x < 1000) return 3;
    return 2;
}

constexpr int kAtanMaxTerms = 10;

// atan x = pi/2 - 1/x + sum_k [1/((4k-5) x^(4k-5)) - 1/((4k-3) x^(4k-3))].
double atan_series(double x) {
    const int n = atan_series_terms(x);
    const double b = x * x;
    double c = x * b;
    double terms[kAtanMaxTerms + 1] = {};
    for (int k = 2; k <= n; ++k) {
        terms[k] = 1 / (static_cast<double>(4 * k - 5) * c) -
                   1 / ((static_cast<double>(4 * k - 3) * c) * b);
        c = (c * b) * b;
    }
    double sum = terms[n];
    for (int k = n - 1; k >= 2; --k) sum = terms[k] + sum;
    const ext head = kHalfPi + static_cast<ext>(-1 / x);
    return static_cast<double>(head + static_cast<ext>(sum));
}

// atan x = x / A(1) with A(k) = (2k - 1) + (k^2 x^2) / A(k+1), for 0 < x <= 2.5.
double atan_fraction(double x) {
    int depth = kAtanDepth[4];
    for (int i = 0; i < 4; ++i) {
        if (x < kAtanFractionSwitch[i]) {
            depth = kAtanDepth[i];
            break;
        }
    }
    const double x2 = x * x;
    double level = 2 * depth - 1;
    for (int k = depth - 1; k >= 1; --k) {
        level = static_cast<double>(2 * k - 1) + (static_cast<double>(k * k) * x2) / level;
    }
    return x / level;
}

}  // namespace

double math_floor(double x) { return floor_core(x, kEps, kTwo63); }

ext math_floor_ext(ext x) { return floor_core(x, kEpsExt, kTwo63Ext); }

double math_pow_int(double x, std::int64_t n) { return pow_int_core(x, n); }

ext math_pow_int_ext(ext x, std::int64_t n) { return pow_int_core(x, n); }

ext math_e_power(std::int64_t n) { return e_power(n); }

std::int64_t math_factorial(std::uint64_t n) {
    if (n < 2) return 1;
    if (n <= 14) return kFactorials[n - 2];
    if (n == 15) return kFactorial15;
    if (n == 16) return kFactorial16;
    // n * (n-1)! in 64-bit arithmetic. Past 20! the product leaves the signed
    // range; it is carried in wrapping unsigned arithmetic (no overflow), and
    // from 66! on that product is exactly 0, returned without the long loop.
    if (n >= kFactorialWrapsToZero) return 0;
    std::uint64_t acc = static_cast<std::uint64_t>(kFactorial16);
    for (std::uint64_t m = 17; m <= n; ++m) acc = m * acc;
    return static_cast<std::int64_t>(acc);
}

double math_exp(double x) {
    if (is_nan(x)) return x;
    if (is_ninf(x)) return 0;
    if (near_zero(x)) return 1;
    if (is_pinf(x)) return kInf;
    if (abs0(x) < kExpDirect) return 1 / exp_fraction(x);
    // The integer part no longer fits 64 bits: the result is far outside the
    // double range either way.
    if (abs0(x) >= kTwo63) return x > 0 ? kInf : 0.0;
    const double f = math_floor(x);
    const double r = abs0(x - f);
    const double s = x < 0 ? -1.0 : 1.0;
    double n = f;
    double y = x - f;
    if (r >= kHalf) {
        n = f + s;
        y = (x - f) - s;
    }
    const ext p = e_power(static_cast<std::int64_t>(n));
    const double q = 1 / exp_fraction(y);
    return static_cast<double>(p * static_cast<ext>(q));
}

ext math_exp_ext(ext x) {
    if (is_nan(x)) return x;
    if (is_ninf(x)) return 0;
    if (near_zero(x)) return 1;
    if (is_pinf(x)) return kInfExt;
    if (abs0(x) < static_cast<ext>(kExpDirect)) return 1 / exp_fraction(x);
    if (abs0(x) >= kTwo63Ext) return x > 0 ? kInfExt : ext(0);
    const ext f = math_floor_ext(x);
    const ext r = abs0(x - f);
    const ext s = x < 0 ? ext(-1) : ext(1);
    ext n = f;
    ext y = x - f;
    if (r >= static_cast<ext>(kHalf)) {
        n = f + s;
        y = (x - f) - s;
    }
    // Rounding away from f can carry n out of the 64-bit range (x = 2^63 - 1/2
    // gives n = 2^63): e^n is then beyond the extended range either way.
    if (abs0(n) >= kTwo63Ext) return n > 0 ? kInfExt : ext(0);
    return e_power(static_cast<std::int64_t>(n)) * (1 / exp_fraction(y));
}

double math_log(double x) {
    if (!(x >= 0)) return kNaN;
    if (x < kEps) return -kInf;
    if (near_one(x)) return 0;
    if (is_pinf(x)) return kInf;
    if (kLogNearLow <= x && x <= kLogNearHigh) {
        const double z = (x - 1) / (x + 1);
        return (z + z) / log_fraction(z * z);
    }
    // x = m * 10^k with m in [1, 10]; ln x = k ln 10 + ln c + ln(m / c), c = trunc(m).
    double m = x;
    int k = 0;
    for (;;) {
        if (m < 1) {
            m = m * kTen;
            --k;
        } else if (m > kTen) {
            m = m / kTen;
            ++k;
        } else {
            break;
        }
    }
    const int c = static_cast<int>(m);
    const double q = m / c;
    const double d = (q - 1) / (q + 1);
    const double tail = (d + d) / log_fraction(d * d);
    const double head = c == 10 ? kLn10 : (c >= 2 ? kLnSmall[c - 2] : 0.0);
    return static_cast<double>(k) * kLn10 + (tail + head);
}

double math_log_param(double x) {
    // What the guards settle at once (1 above all) is not worth a look-up.
    if (!(x >= kEps) || near_one(x) || is_pinf(x)) return math_log(x);
    thread_local ParamMemo<1> memo;
    return memo.get({x}, [x] { return math_log(x); });
}

double math_sqrt(double x) {
    if (!(x >= 0)) return kNaN;
    if (is_pinf(x)) return kInf;
    if (x < kEps) return 0;
    if (abs0(1 - x) < kEps) return x;
    double scale = 1;
    while (x > kSqrtReduce) {
        x = x * 0.25;
        scale = scale + scale;
    }
    double g = x * 0.5;
    for (int step = 0;;) {
        if (step > kSqrtMaxStep) break;
        ++step;
        const double w = x / g;
        if (abs0(g - w) / (g + 1) < kEps) break;
        g = (g + w) * 0.5;
    }
    return scale * g;
}

ext math_tan(ext x) {
    if (is_nan(x)) return x;
    if (abs0(x) < kEpsExt) return 0;
    if (x < 0) return -tan_core(-x);
    return tan_core(x);
}

double math_atan(double x) {
    if (is_nan(x)) return x;
    if (near_zero(x)) return 0;
    if (x < 0) return -math_atan(-x);
    if (x > kAtanSeriesFrom) return atan_series(x);
    return atan_fraction(x);
}

double math_tanh(double x) {
    if (is_nan(x)) return x;
    if (near_zero(x)) return 0;
    const double x2 = x * x;
    double level = 2 * kTanhDepth - 1;
    for (int k = kTanhDepth - 1; k >= 1; --k) level = static_cast<double>(2 * k - 1) + x2 / level;
    const double t = x / level;
    // The fraction drifts past +-1 for large |x| and turns NaN once x^2
    // overflows (inf / inf); tanh itself never leaves [-1, 1] and tends to
    // +-1, so the value is bounded there.
    if (is_nan(t)) return x > 0 ? 1.0 : -1.0;
    if (t > 1) return 1.0;
    if (t < -1) return -1.0;
    return t;
}

}  // namespace zorvana
