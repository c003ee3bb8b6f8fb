"""Student t functions: the limits at infinite and degenerate arguments, replays of the distribution
function's branches and of Hill's quantile, the reflected upper half of the
quantile and its check against the distribution function."""
import math
from fractions import Fraction

import numpy as np
import pytest
import scipy.special as sc
import scipy.stats as st

import zorvana as zv

INF = math.inf
NAN = math.nan
PI_EXT = Fraction(0xC90FDAA22168C235, 2 ** 62)          # pi to 64 bits
SQRT_HALF_PI_EXT = Fraction(0xA06C98FFB1382CB3, 2 ** 63)  # sqrt(pi/2) to 64 bits


def round_bits(v, bits):
    """Round a nonzero Fraction to the nearest value with a `bits`-bit significand, ties to even."""
    sign = -1 if v < 0 else 1
    v = abs(v)
    e = v.numerator.bit_length() - v.denominator.bit_length()
    if Fraction(2) ** e > v:
        e -= 1
    scale = Fraction(2) ** (bits - 1 - e)
    m = v * scale
    n = math.floor(m)
    r = m - n
    if r > Fraction(1, 2) or (r == Fraction(1, 2) and n % 2):
        n += 1
    return sign * n / scale


def ext_mul(x, y):
    return round_bits(Fraction(x) * Fraction(y), 64)


def tol_ok(f, p):
    return abs(f - p) <= 1e-3 * min(p, 1 - p) + 1e-15


def is_least_reaching(q, p, dof):
    return zv.pt(q, dof) >= p and zv.pt(float(np.nextafter(q, -INF)), dof) < p


# ---------------------------------------------------------------- guards and limits

@pytest.mark.parametrize("call, expected", [
    (lambda: zv.dt(1, 1e-17), NAN), (lambda: zv.dt(NAN, 3), NAN), (lambda: zv.dt(1, NAN), NAN),
    (lambda: zv.dt(INF, 3), 0.0), (lambda: zv.dt(-INF, 3, log=True), -INF),
    (lambda: zv.pt(NAN, 3), NAN), (lambda: zv.pt(1, 0), NAN), (lambda: zv.pt(INF, 3), 1.0),
    (lambda: zv.pt(-INF, 4, log_p=True), -INF), (lambda: zv.pt(INF, 4, log_p=True), 0.0),
    (lambda: zv.pt(0, 1), 0.5), (lambda: zv.pt(1e-17, 1), 0.5), (lambda: zv.pt(0, 2), 0.5),
    (lambda: zv.pt(0, 7.5), 0.5),
    (lambda: zv.qt(0.5, 1), 0.0), (lambda: zv.qt(0.5, 2), 0.0), (lambda: zv.qt(0.5, 10), 0.0),
    (lambda: zv.qt(0, 3), -INF), (lambda: zv.qt(1, 3), INF), (lambda: zv.qt(1.2, 3), NAN),
    (lambda: zv.qt(NAN, 3), NAN), (lambda: zv.qt(0.3, 1e-17), NAN),
])
def test_limits(call, expected):
    got = call()
    assert got == expected or (math.isnan(got) and math.isnan(expected))


def test_infinite_dof_is_normal():
    assert zv.dt(0, INF) == zv.dnorm(0, 0, 1)
    assert zv.pt(2, INF) == zv.pnorm(2, 0, 1)
    assert zv.pt(2, INF, log_p=True) == zv.pnorm(2, 0, 1, log_p=True)


def test_infinite_dof_quantile(kernel):
    assert zv.qt(0.975, INF) == kernel("math_erf_inv", (0.975 + 0.975) - 1) * 1.4142135623730951


def test_pt_one_dof(kernel):
    assert zv.pt(1, 1) == kernel("math_atan", 1.0) / 3.141592653589793 + 0.5
    assert zv.pt(-3, 1) == kernel("math_atan", -3.0) / 3.141592653589793 + 0.5


def test_qt_one_dof_uses_extended_tangent(kernel):
    # (0.75 - 0.5) * pi is pi/4 exactly in extended precision.
    t = kernel.ext("math_tan", "0xc.90fdaa22168c235p-4")
    assert zv.qt(0.75, 1) == float(round_bits(t, 53))
    assert zv.qt(0.25, 1) == -zv.qt(0.75, 1)


@pytest.mark.parametrize("x, dof, wide", [(1.0, 5.0, True), (3.0, 5.0, False), (-1.0, 5.0, True),
                                          (-4.0, 3.5, False)])
def test_pt_replays_its_two_beta_branches(kernel, x, dof, wide):
    x2 = x * x
    assert (dof > x2) == wide
    h = 0.5 * dof
    if wide:
        e = kernel("math_beta_i", 0.5, h, x2 / (dof + x2))
        v = 1 - (0.5 - e * 0.5) if x > 0 else 0.5 - e * 0.5
    else:
        e = kernel("math_beta_i", h, 0.5, 1 / ((x / dof) * x + 1))
        v = 1 - e * 0.5 if x > 0 else e * 0.5
    assert zv.pt(x, dof) == v


def test_dt_replay(kernel):
    x, dof = 1.7, 4.5
    d = dof * 0.5 + 0.5
    y = ((kernel("math_lgamma", d) - (kernel("math_log", dof) + 1.1447298858494002) * 0.5)
         - kernel("math_lgamma", dof * 0.5)) - kernel("math_log", (x / dof) * x + 1) * d
    assert zv.dt(x, dof, log=True) == y
    assert zv.dt(x, dof) == kernel("math_exp", y)


# ---------------------------------------------------------------- Hill's quantile

def hill_start(kernel, p, dof):
    P = p + p
    a = 1 / (dof - 0.5)
    b = 48 / (a * a)
    c = (((a * 20700) / b - 98) * a - 16) * a + 96.36
    d = float(round_bits(ext_mul(ext_mul(SQRT_HALF_PI_EXT, kernel("math_sqrt", a) * dof),
                                 (94.5 / (b + c) - 3) / b + 1), 53))
    y = kernel("math_exp", kernel("math_log", P * d) * (2 / dof))
    return a, b, c, d, y


def replay_branch_a(kernel, p, dof):
    a, b, c, d, y = hill_start(kernel, p, dof)
    assert y > 0.05 + a
    z = kernel("math_erf_inv", (p + p) - 1) * 1.4142135623730951
    g = ((((0.05 * z) * d - 5) * z - 7) * z - 2) * z
    if dof < 5:
        c = c + (0.6 + z) * ((dof - 4.5) * 0.3)
    c = (c + b) + g
    s = z * z
    e = (((((0.4 * s + 6.3) * s + 36) * s + 94.5) / c - s - 3) / b + 1) * z
    v = (a * e) * e
    w = kernel("math_expm1", v) if v > 0.1 else (((4 + v) * v + 12) * (v * v)) / 24 + v
    t = kernel("math_sqrt", w * dof)
    return -t if p < 0.5 else t


def replay_branch_b(kernel, p, dof):
    a, b, c, d, y = hill_start(kernel, p, dof)
    assert not y > 0.05 + a
    u = ((d * (-0.089) + (6 + dof) / (y * dof)) - 0.822) * (2 + dof)
    k = 0.5 / (4 + dof) + 1 / (u * 3)
    w = ((((k * y - 1) * (1 + dof)) / (2 + dof)) + 1 / y) * dof
    t = kernel("math_sqrt", w)
    for _ in range(6):
        r = ((1 - zv.pt(t, dof)) - p) / zv.dt(t, dof)
        t = t + ((((t * r) * (1 + dof)) / ((t * t + dof) * 2)) + 1) * r
    return -t if p < 0.5 else t


@pytest.mark.parametrize("p, dof", [(0.025, 10.0), (0.3, 3.7), (0.1, 25.0)])
def test_qt_branch_a_replay(kernel, p, dof):
    assert zv.qt(p, dof) == replay_branch_a(kernel, p, dof)


@pytest.mark.parametrize("p, dof", [(1e-6, 3.0), (1e-4, 1.5), (1e-9, 7.0)])
def test_qt_branch_b_replay(kernel, p, dof):
    q = zv.qt(p, dof)
    assert q < 0
    assert q == replay_branch_b(kernel, p, dof)


@pytest.mark.parametrize("p, dof", [(0.975, 10.0), (0.7, 3.7), (1 - 1e-6, 3.0), (0.9999, 1.5)])
def test_qt_upper_half_reflects_lower_half(p, dof):
    # Above the median the general-dof quantile is the negated quantile at 1 - p.
    assert zv.qt(p, dof) == -zv.qt(1 - p, dof)


@pytest.mark.parametrize("p, dof, expected", [
    (0.7, 0.9, sc.stdtrit(0.9, 0.7)),
    (0.99, 1.5, sc.stdtrit(1.5, 0.99)),
    (0.01, 1.5, sc.stdtrit(1.5, 0.01)),
    (0.975, 10.0, sc.stdtrit(10.0, 0.975)),
])
def test_qt_repaired_upper_half(p, dof, expected):
    assert zv.qt(p, dof) == pytest.approx(expected, rel=1e-4)
    assert tol_ok(zv.pt(zv.qt(p, dof), dof), p)


@pytest.mark.parametrize("p, dof", [(0.3, 0.4), (1e-18, 3.0), (0.9, 0.3), (2e-3, 0.8), (0.998, 0.8)])
def test_qt_unusable_hill_value_is_found_by_bisection(p, dof):
    # Hill's start cannot be formed (dof below 0.5, or P d below eps), or its
    # Halley steps run away (dof 0.8): the quantile is the least double whose
    # distribution function reaches p.
    q = zv.qt(p, dof)
    assert is_least_reaching(q, p, dof)
    assert q == pytest.approx(sc.stdtrit(dof, p), rel=1e-6)


def test_qt_beyond_the_reach_of_pt():
    # pt counts 1/(1 + x^2/dof) below eps as 0, so it is 0 below about
    # -1.5e8 at dof 5: the least double reaching 1e-300 lies there.
    q = zv.qt(1e-300, 5.0)
    assert is_least_reaching(q, 1e-300, 5.0)
    assert -2e8 < q < -1e8


def test_qt_sweep_inverts_pt():
    rng = np.random.default_rng(11)
    dof = 10.0 ** rng.uniform(-0.3, 3, 400)
    p = 10.0 ** rng.uniform(-12, -0.31, 400)
    p = np.where(rng.random(400) < 0.5, p, 1 - p)
    q = zv.qt(p, dof)
    for qi, pi, di in zip(q, p, dof):
        assert tol_ok(zv.pt(qi, di), pi) or is_least_reaching(qi, pi, di)


def test_t_sweep_against_scipy():
    rng = np.random.default_rng(13)
    dof = 10.0 ** rng.uniform(-0.5, 3, 400)
    x = st.t.ppf(rng.uniform(0.001, 0.999, 400), dof)
    np.testing.assert_allclose(zv.pt(x, dof), sc.stdtr(dof, x), rtol=1e-9)
    np.testing.assert_allclose(zv.dt(x, dof), st.t.pdf(x, dof), rtol=1e-9)
