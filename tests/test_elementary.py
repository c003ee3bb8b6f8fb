"""Elementary kernels against step-by-step Python replays of their arithmetic.

Double steps are replayed with plain floats; extended (64-bit significand)
steps with exact fractions rounded to nearest-even after every operation.
"""
import math
import time
from fractions import Fraction

import numpy as np
import pytest
from conftest import ext_from_hex

INF = float("inf")
NAN = float("nan")
EPS = 2.0 ** -52
EPS_EXT = Fraction(1, 2 ** 63)
INT64_MAX = 2 ** 63 - 1
INT64_MIN = -2 ** 63


# ---------------------------------------------------------------- extended
def rx(v):
    """Round an exact value to the nearest 64-bit-significand number (ties to even)."""
    v = Fraction(v)
    if v == 0:
        return Fraction(0)
    sign = -1 if v < 0 else 1
    a = abs(v)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if Fraction(2) ** e > a:
        e -= 1
    m = a * Fraction(2) ** (63 - e)
    q, r = divmod(m.numerator, m.denominator)
    if 2 * r > m.denominator or (2 * r == m.denominator and q % 2):
        q += 1
    return sign * Fraction(q) * Fraction(2) ** (e - 63)


def e_series():
    """e to far beyond 64 bits: sum of 1/k! for k < 40."""
    total, term = Fraction(0), Fraction(1)
    for k in range(1, 41):
        total += term
        term /= k
    return total


def pi_machin():
    """pi to far beyond 64 bits: 16 atan(1/5) - 4 atan(1/239)."""
    def atan_inv(n):
        return sum(Fraction((-1) ** j, (2 * j + 1) * n ** (2 * j + 1)) for j in range(40))
    return 16 * atan_inv(5) - 4 * atan_inv(239)


E_EXT = rx(e_series())
PI_EXT = rx(pi_machin())
HALF_PI_EXT = PI_EXT / 2


def pow_int_replay(x, n, rnd):
    """Square-and-multiply with every product rounded by rnd."""
    if n == 0:
        return rnd(1)
    if n == 1:
        return x
    if n == 2:
        return rnd(x * x)
    if n == 3:
        return rnd(x * rnd(x * x))
    if n < 0:
        return rnd(1 / pow_int_replay(x, -n, rnd))
    acc = rnd(1)
    while True:
        sq = rnd(x * x)
        if n & 1:
            acc = rnd(acc * x)
        if n <= 3:
            return rnd(acc * sq) if n >> 1 == 1 else acc
        n >>= 1
        x = sq


def exp_fraction_replay(y, rnd):
    level = rnd(1)
    for k in range(24, 1, -1):
        level = rnd(rnd(1 + rnd(y / (k - 1))) - rnd(rnd(y / k) / level))
    return rnd(1 - rnd(y / level))


def fl(v):
    return float(v)


def exp_replay(x):
    """math_exp for finite x with |x| >= 2 (the split)."""
    f = float(math.floor(x))
    r = abs(x - f)
    s = -1.0 if x < 0 else 1.0
    n, y = f, x - f
    if r >= 0.5:
        n, y = f + s, (x - f) - s
    p = pow_int_replay(E_EXT, int(n), rx)
    q = 1 / exp_fraction_replay(y, fl)
    return float(rx(p * Fraction(q)))


def exp_ext_replay(x):
    x = Fraction(x)
    if abs(x) < 2:
        return rx(1 / exp_fraction_replay(x, rx))
    f = Fraction(math.floor(x))
    r = abs(x - f)
    s = -1 if x < 0 else 1
    n, y = f, x - f
    if r >= Fraction(1, 2):
        n, y = f + s, rx(rx(x - f) - s)
    return rx(pow_int_replay(E_EXT, int(n), rx) * rx(1 / exp_fraction_replay(y, rx)))


def log_fraction_replay(s):
    level = 49.0
    for k in range(24, 0, -1):
        level = float(2 * k - 1) - (float(k * k) * s) / level
    return level


LN = {2: 0.6931471805599453, 3: 1.0986122886681098, 4: 1.3862943611198906, 5: 1.6094379124341003,
      6: 1.791759469228055, 7: 1.9459101490553132, 8: 2.0794415416798357, 9: 2.1972245773362196,
      10: 2.302585092994046, 1: 0.0}


def log_replay(x):
    if 0.5 <= x <= 1.5:
        z = (x - 1) / (x + 1)
        return (z + z) / log_fraction_replay(z * z)
    m, k = x, 0
    while True:
        if m < 1:
            m, k = m * 10, k - 1
        elif m > 10:
            m, k = m / 10, k + 1
        else:
            break
    c = int(m)
    q = m / c
    d = (q - 1) / (q + 1)
    return float(k) * LN[10] + ((d + d) / log_fraction_replay(d * d) + LN[c])


def sqrt_replay(x):
    scale = 1.0
    while x > 4:
        x, scale = x * 0.25, scale + scale
    g = x * 0.5
    for _ in range(100):
        w = x / g
        if abs(g - w) / (g + 1) < EPS:
            break
        g = (g + w) * 0.5
    return scale * g


def tan_replay(x):
    """math_tan for x > 0 given as an exact Fraction."""
    reductions = 0
    while x > PI_EXT:
        assert reductions < 2
        b = Fraction(math.floor(rx(x / PI_EXT)))
        x = rx(x - rx(b * PI_EXT))
        reductions += 1
    if Fraction(1.55) < x < Fraction(1.6):
        z = rx(x - HALF_PI_EXT)
        if abs(z) < EPS_EXT:
            return Fraction(1.633124e16)
        z3 = rx(rx(z * z) * z)
        z5 = pow_int_replay(z, 5, rx)
        z7 = pow_int_replay(z, 7, rx)
        t = rx(rx(rx(z5 + z5) / 945) + rx(z7 / 4725))
        t = rx(rx(t + rx(z3 / 45)) + rx(z / 3))
        return rx(t - rx(1 / z))
    depth = 45 if x > Fraction(1.4) else (35 if x > 1 else 25)
    x2 = rx(x * x)
    level = Fraction(2 * depth - 1)
    for k in range(depth - 1, 0, -1):
        level = rx(2 * k - 1 - rx(x2 / level))
    return rx(x / level)


def atan_replay(x):
    if x > 2.5:
        n = next(t for lim, t in [(3, 10), (4, 9), (5, 8), (7, 7), (11, 6), (25, 5), (100, 4), (1000, 3)]
                 if x < lim) if x < 1000 else 2
        b = x * x
        c = x * b
        terms = []
        for k in range(2, n + 1):
            terms.append(1 / (float(4 * k - 5) * c) - 1 / ((float(4 * k - 3) * c) * b))
            c = (c * b) * b
        s = terms[-1]
        for t in reversed(terms[:-1]):
            s = t + s
        head = rx(HALF_PI_EXT + Fraction(-1 / x))
        return float(rx(head + Fraction(s)))
    depth = 15 if x < 0.5 else 25 if x < 1 else 35 if x < 1.5 else 45 if x < 2 else 52
    x2 = x * x
    level = float(2 * depth - 1)
    for k in range(depth - 1, 0, -1):
        level = float(2 * k - 1) + (float(k * k) * x2) / level
    return x / level


def tanh_fraction_replay(x):
    x2 = x * x
    level = 69.0
    for k in range(34, 0, -1):
        level = float(2 * k - 1) + x2 / level
    return x / level


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


# ---------------------------------------------------------------- constants
def test_extended_constants_are_nearest_to_e_and_pi(kernel):
    # exp(2) is e^2 times 1/E(0) = 1, the extended power rounded once to double.
    assert kernel.ext("math_exp_ext", 2.0) == rx(E_EXT * E_EXT)
    assert kernel("math_exp", 2.0) == float(rx(E_EXT * E_EXT))
    # tan at the stored pi/2 hits the pole value; one ulp below, the series.
    assert kernel.ext("math_tan", "0x1.921fb54442d1846ap+0") == Fraction(1.633124e16)
    x = HALF_PI_EXT - Fraction(1, 2 ** 63)
    assert kernel.ext("math_tan", "0x1.921fb54442d18468p+0") == tan_replay(x)


# ---------------------------------------------------------------- floor
@pytest.mark.parametrize("x, want", [
    (2.7, 2.0), (-2.7, -3.0), (-3.0, -3.0), (5.0, 5.0), (-0.5, -1.0), (0.5, 0.0),
    (1e-17, 1e-17), (-1e-17, -1e-17), (INF, INF), (-INF, -INF), (NAN, NAN),
    (2.0 ** 62 + 2048, 2.0 ** 62 + 2048), (-(2.0 ** 63), -(2.0 ** 63)), (1e300, 1e300),
])
def test_floor(kernel, x, want):
    assert same(kernel("math_floor", x), want)


def test_floor_ext_keeps_extended_fraction(kernel):
    # 2^62 + 0.5 is representable only in extended precision.
    assert kernel.ext("math_floor_ext", "0x4000000000000000.8p0") == 2 ** 62
    assert kernel.ext("math_floor_ext", "-0x4000000000000000.8p0") == -2 ** 62 - 1
    assert kernel.ext("math_floor_ext", "0x1p-64") == Fraction(1, 2 ** 64)


# ---------------------------------------------------------------- powers
@pytest.mark.parametrize("x", [1.1, 0.3, -1.7, 3.000000000000001])
@pytest.mark.parametrize("n", [2, 3, 4, 5, 6, 7, 13, 64, -2, -7])
def test_pow_int_order(kernel, x, n):
    assert kernel("math_pow_int", x, n) == pow_int_replay(x, n, fl)


@pytest.mark.parametrize("x, n, want", [
    (0.5, INT64_MAX, INF), (2.0, INT64_MAX, INF), (2.0, INT64_MIN, 0.0), (0.5, INT64_MIN, 0.0),
    (7.0, 0, 1.0), (NAN, 0, 1.0), (3.0, -2, 1 / 9), (2.0, 1024, INF), (-2.0, 1023, -(2.0 ** 1023)),
])
def test_pow_int_special(kernel, x, n, want):
    assert same(kernel("math_pow_int", x, str(n)), want)


@pytest.mark.parametrize("x, n", [("0x1.0000000000000002p0", 5), ("0x1.8p0", 7), ("-0x1.3p0", -5)])
def test_pow_int_ext(kernel, x, n):
    xv = rx(ext_from_hex(x))
    assert kernel.ext("math_pow_int_ext", x, n) == pow_int_replay(xv, n, rx)


# ---------------------------------------------------------------- factorial
@pytest.mark.parametrize("n", list(range(0, 21)))
def test_factorial_exact(kernel, n):
    assert kernel("math_factorial", n) == math.factorial(n)


def test_factorial_beyond_64_bits_wraps_and_returns_promptly(kernel):
    assert kernel("math_factorial", 17) == 17 * 20922789888000
    wrapped = math.factorial(30) % 2 ** 64
    assert kernel("math_factorial", 30) == (wrapped - 2 ** 64 if wrapped >= 2 ** 63 else wrapped)
    start = time.time()
    assert kernel("math_factorial", 66) == 0
    assert kernel("math_factorial", "1e18") == 0
    assert time.time() - start < 5


# ---------------------------------------------------------------- exp
@pytest.mark.parametrize("x", [1.5, -1.5, 0.1, -1.9999999999999998, 1e-15])
def test_exp_direct_fraction(kernel, x):
    assert kernel("math_exp", x) == 1 / exp_fraction_replay(x, fl)


@pytest.mark.parametrize("x", [2.0, 2.5, -2.3, -2.5, 3.4, 10.75, -10.2, 100.0, 700.3, 709.7, -708.9, -744.0])
def test_exp_split(kernel, x):
    assert kernel("math_exp", x) == exp_replay(x)


def test_exp_split_cases_as_traced():
    # 2.5: r = 0.5 rounds up, n = 3, y = -0.5; -2.3: f = -3, r = 0.7, n = -4, y = 1.7.
    assert exp_replay(2.5) == float(rx(pow_int_replay(E_EXT, 3, rx) *
                                       Fraction(1 / exp_fraction_replay(-0.5, fl))))
    y = (-2.3 - -3.0) - -1.0
    assert y == pytest.approx(1.7)
    assert exp_replay(-2.3) == float(rx(pow_int_replay(E_EXT, -4, rx) *
                                        Fraction(1 / exp_fraction_replay(y, fl))))


@pytest.mark.parametrize("x, want", [
    (1e-17, 1.0), (-1e-17, 1.0), (0.0, 1.0), (-INF, 0.0), (INF, INF), (NAN, NAN),
    (1000.0, INF), (-1000.0, 0.0), (1e19, INF), (-1e19, 0.0), (9.3e18, INF), (-9.3e18, 0.0),
    (1e300, INF), (-1e300, 0.0),
])
def test_exp_guards(kernel, x, want):
    assert same(kernel("math_exp", x), want)


def test_exp_accuracy_sweep(kernel):
    xs = list(np.linspace(-700, 700, 301)) + list(np.linspace(-2, 2, 81))
    got = kernel.many("math_exp", [(x,) for x in xs])
    for x, g in zip(xs, got):
        assert g == pytest.approx(math.exp(x), rel=1e-14)


@pytest.mark.parametrize("x", ["0x1.8p0", "-0x1.8p0", "0x2.8p0", "-0x2.4cccccccccccccccp0", "0x2p0",
                               "0x32.1p0", "-0x14.0000000000000001p0", "0x1000.8p0"])
def test_exp_ext(kernel, x):
    assert kernel.ext("math_exp_ext", x) == exp_ext_replay(rx(ext_from_hex(x)))


@pytest.mark.parametrize("x, want", [
    ("0x1p63", INF), ("-0x1p63", 0), ("0x1.8p64", INF), ("-0x1p100", 0), ("1e4000", INF),
    ("-1e4000", 0), ("0x1p-64", 1), ("-0x1p-64", 1), ("inf", INF), ("-inf", 0),
])
def test_exp_ext_guards(kernel, x, want):
    assert kernel.ext("math_exp_ext", x) == want


@pytest.mark.parametrize("x, want", [
    # f = 2^63 - 1, r = 1/2: n rounds up to 2^63, past the 64-bit range; e^n overflows.
    ("0x1.fffffffffffffffep62", INF),
    # f = -2^63, r = 1/2: n = -2^63 - 1; e^n underflows.
    ("-0x1.fffffffffffffffep62", 0),
    # the largest n that still fits: f = 2^63 - 2, r = 1/2, n = 2^63 - 1 (the +inf power).
    ("0x1.fffffffffffffffap62", INF),
])
def test_exp_ext_split_rounding_out_of_64_bits(kernel, x, want):
    assert kernel.ext("math_exp_ext", x) == want


def test_exp_ext_nan(kernel):
    assert math.isnan(kernel.ext("math_exp_ext", "nan"))


# ---------------------------------------------------------------- log
@pytest.mark.parametrize("x", [0.5, 1.5, 0.75, 1.2, 1.0000000000000002, 0.9999999999999998,
                               1.5000000000000002, 0.49999999999999994, 2.0, 3.7, 10.0, 100.0,
                               0.1, 0.03, 9.99, 12345.678, 1e300, 2.3e-16, 1.7976931348623157e308])
def test_log_replay(kernel, x):
    assert kernel("math_log", x) == log_replay(x)


def test_log_decimal_split_as_traced(kernel):
    assert kernel("math_log", 10.0) == 2.302585092994046
    assert kernel("math_log", 100.0) == 1.0 * 2.302585092994046 + (0.0 + 2.302585092994046)
    # 1.5000000000000002 leaves the near-one fraction: c = 1, T = 0, k = 0.
    q = 1.5000000000000002
    d = (q - 1) / (q + 1)
    assert kernel("math_log", q) == 0.0 * 2.302585092994046 + ((d + d) / log_fraction_replay(d * d) + 0.0)


@pytest.mark.parametrize("x, want", [
    (1e-17, -INF), (1e-300, -INF), (0.0, -INF), (-0.0, -INF), (2.2e-16, -INF), (-1.0, NAN), (NAN, NAN), (-INF, NAN),
    (1.0, 0.0), (INF, INF),
])
def test_log_guards(kernel, x, want):
    assert same(kernel("math_log", x), want)


def test_log_accuracy_sweep(kernel):
    xs = list(np.geomspace(1e-15, 1e300, 200)) + list(np.linspace(0.3, 3, 60))
    got = kernel.many("math_log", [(x,) for x in xs])
    for x, g in zip(xs, got):
        assert g == pytest.approx(math.log(x), rel=1e-14, abs=1e-15)


# ---------------------------------------------------------------- sqrt
@pytest.mark.parametrize("x", [2.0, 4.0, 16.0, 17.0, 0.5, 1e-10, 3e-16, 1e300, 1.7976931348623157e308, 1.0000000000000002,
                               0.9999999999999998])
def test_sqrt_replay(kernel, x):
    assert kernel("math_sqrt", x) == sqrt_replay(x)


@pytest.mark.parametrize("x, want", [
    (1e-17, 0.0), (0.0, 0.0), (-1.0, NAN), (NAN, NAN), (INF, INF), (1.0, 1.0),
    (0.9999999999999999, 0.9999999999999999), (4.0, 2.0), (16.0, 4.0),
])
def test_sqrt_guards(kernel, x, want):
    assert same(kernel("math_sqrt", x), want)


# ---------------------------------------------------------------- tan
@pytest.mark.parametrize("x", ["0x1.91eb851eb851eb85p0",   # 1.57: Laurent series
                               "0x1.8p0",                  # 1.5: 45 levels
                               "0x1.3333333333333333p0",   # 1.2: 35 levels
                               "0x1p-1",                   # 0.5: 25 levels
                               "0x1p0", "0x1.6666666666666666p0",  # depth switches themselves
                               "0x1.8cccccccccccccccp0", "0x1.9999999999999999p0",  # window edges
                               "0x4p0", "0xap0", "0x64p0"])  # reduced by pi first
def test_tan_replay(kernel, x):
    xv = rx(ext_from_hex(x))
    assert kernel.ext("math_tan", x) == tan_replay(xv)
    assert kernel.ext("math_tan", "-" + x) == -tan_replay(xv)


@pytest.mark.parametrize("x, want", [("0x1p-64", 0), ("-0x1p-64", 0), ("0", 0)])
def test_tan_near_zero(kernel, x, want):
    assert kernel.ext("math_tan", x) == want


def test_tan_nan_and_accuracy(kernel):
    assert math.isnan(kernel.ext("math_tan", "nan"))
    assert math.isnan(kernel.ext("math_tan", "inf"))
    for x in [0.1, 0.7, 1.3, 1.56, 1.5707, 2.0, 3.0, 4.0, 7.5]:
        assert float(kernel.ext("math_tan", x)) == pytest.approx(math.tan(x), rel=1e-12)


# ---------------------------------------------------------------- atan
@pytest.mark.parametrize("x", [0.3, 0.49999999999999994, 0.5, 0.7, 1.0, 1.2, 1.5, 1.7, 2.0, 2.3, 2.5,
                               2.5000000000000004, 2.9, 3.0, 4.5, 6.0, 8.0, 20.0, 50.0, 500.0, 1000.0,
                               1e10, 1e300, INF])
def test_atan_replay(kernel, x):
    assert kernel("math_atan", x) == atan_replay(x)
    assert kernel("math_atan", -x) == -atan_replay(x)


@pytest.mark.parametrize("x, want", [(1e-17, 0.0), (-1e-17, 0.0), (NAN, NAN)])
def test_atan_guards(kernel, x, want):
    assert same(kernel("math_atan", x), want)


def test_atan_limits_and_accuracy(kernel):
    assert kernel("math_atan", 1e300) == float(HALF_PI_EXT)
    xs = list(np.geomspace(1e-10, 1e10, 200))
    got = kernel.many("math_atan", [(x,) for x in xs])
    for x, g in zip(xs, got):
        assert g == pytest.approx(math.atan(x), rel=2e-15)


# ---------------------------------------------------------------- tanh
@pytest.mark.parametrize("x", [0.1, -0.1, 0.5, 1.0, 3.0, -7.5, 15.0, 18.0, -18.0])
def test_tanh_replay(kernel, x):
    assert kernel("math_tanh", x) == tanh_fraction_replay(x)


@pytest.mark.parametrize("x, want", [
    (1e-17, 0.0), (-1e-17, 0.0), (NAN, NAN), (INF, 1.0), (-INF, -1.0), (1000.0, 1.0), (-1000.0, -1.0),
    (100.0, 1.0), (1e154, 1.0), (1e200, 1.0), (-1e300, -1.0), (1.7976931348623157e308, 1.0),
])
def test_tanh_bounded(kernel, x, want):
    assert same(kernel("math_tanh", x), want)


def test_tanh_stays_in_unit_interval(kernel):
    xs = list(np.linspace(0, 60, 601)) + list(np.geomspace(60, 1e308, 100))
    got = kernel.many("math_tanh", [(x,) for x in xs])
    for x, g in zip(xs, got):
        raw = tanh_fraction_replay(x) if x < 1e150 else NAN
        assert 0 <= g <= 1
        if -1 <= raw <= 1:
            assert g == raw
