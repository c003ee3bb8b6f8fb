"""Exponential, Laplace, logistic, Cauchy, uniform and Weibull functions, and
the e^u - 1 / log(1 + u) helpers."""
import math
from fractions import Fraction

import numpy as np
import pytest
from scipy import stats

import zorvana as z
from test_elementary import PI_EXT, rx

INF = float("inf")
NAN = float("nan")
EPS = 2.0 ** -52


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


def ext_hex(v):
    """Hexadecimal literal of an exact binary fraction, for the kernel probe."""
    v = Fraction(v)
    return "0x%xp-%d" % (v.numerator, v.denominator.bit_length() - 1) if v >= 0 else \
        "-0x%xp-%d" % (-v.numerator, v.denominator.bit_length() - 1)


def expm1_series(u):
    t = u * u / 120 + u / 24
    t = t * u + u / 6
    t = t * u + 0.5 * u
    return t * u + u


def log1p_series(u):
    q = -u
    t = q * q / 5 + 0.25 * q
    t = q / (-3) - t * q
    t = 0.5 * q - t * q
    return t * (-q) - q


# ---------------------------------------------------------------- helpers
@pytest.mark.parametrize("u", [1e-4, -1e-4, 3e-7, -5e-5, 0.0, 1e-300])
def test_expm1_series_branch(kernel, u):
    assert kernel("math_expm1", u) == expm1_series(u)


@pytest.mark.parametrize("u", [1.0000000000000002e-4, -0.3, 2.5, -40.0])
def test_expm1_kernel_branch(kernel, u):
    assert kernel("math_expm1", u) == kernel("math_exp", u) - 1


@pytest.mark.parametrize("u, want", [(-INF, -1.0), (INF, INF), (NAN, NAN)])
def test_expm1_limits(kernel, u, want):
    assert same(kernel("math_expm1", u), want)


@pytest.mark.parametrize("u", [-1e-4, 1e-4, -5e-5, -1e-10, 0.0])
def test_log1p_series_branch(kernel, u):
    assert kernel("math_log1p", u) == log1p_series(u)


@pytest.mark.parametrize("u", [-1.0000000000000002e-4, -0.5, -0.9, 3.0])
def test_log1p_kernel_branch(kernel, u):
    assert kernel("math_log1p", u) == kernel("math_log", 1 + u)


def test_log1p_nan_and_minus_one(kernel):
    assert math.isnan(kernel("math_log1p", NAN))
    assert kernel("math_log1p", -1.0) == -INF


# ---------------------------------------------------------------- invalid parameters
INVALID = [
    (z.dexp, (1.0, INF)), (z.dexp, (NAN, 1.0)), (z.dexp, (1.0, -1.0)), (z.dexp, (1.0, NAN)),
    (z.pexp, (NAN, 1.0)), (z.pexp, (1.0, -1.0)), (z.pexp, (1.0, NAN)),
    (z.qexp, (0.5, -1.0)), (z.qexp, (0.5, NAN)), (z.qexp, (-0.1, 1.0)), (z.qexp, (1.1, 1.0)),
    (z.qexp, (NAN, 1.0)),
]
for _f in (z.dlaplace, z.plaplace, z.dlogis, z.plogis, z.dcauchy, z.pcauchy):
    INVALID += [(_f, (NAN, 0.0, 1.0)), (_f, (1.0, NAN, 1.0)), (_f, (1.0, 0.0, NAN)), (_f, (1.0, 0.0, -1.0))]
for _f in (z.qlaplace, z.qlogis, z.qcauchy):
    INVALID += [(_f, (0.5, 0.0, -1.0)), (_f, (0.5, NAN, 1.0)), (_f, (0.5, 0.0, NAN)), (_f, (-0.1, 0.0, 1.0)),
                (_f, (1.5, 0.0, 1.0)), (_f, (NAN, 0.0, 1.0)), (_f, (0.5, 0.0, INF))]
INVALID += [
    (z.dunif, (NAN, 0.0, 1.0)), (z.dunif, (0.0, 1.0, 1.0)), (z.dunif, (0.5, 1.0, 0.0)), (z.dunif, (0.5, NAN, 1.0)),
    (z.dunif, (0.5, 0.0, NAN)),
    (z.punif, (NAN, 0.0, 1.0)), (z.punif, (0.5, 1.0, 1.0)), (z.punif, (0.5, -INF, INF)), (z.punif, (0.5, NAN, 1.0)),
    (z.qunif, (0.5, 1.0, 1.0)), (z.qunif, (1.5, 0.0, 1.0)), (z.qunif, (0.5, -INF, 1.0)), (z.qunif, (0.5, 0.0, INF)),
    (z.qunif, (NAN, 0.0, 1.0)),
]
for _f in (z.dweibull, z.pweibull):
    INVALID += [(_f, (NAN, 1.0, 1.0)), (_f, (1.0, 1e-17, 1.0)), (_f, (1.0, 1.0, 1e-17)), (_f, (1.0, NAN, 1.0)),
                (_f, (1.0, 1.0, NAN)), (_f, (1.0, -1.0, 1.0)), (_f, (1.0, 0.0, 1.0))]
INVALID += [(z.qweibull, (0.5, 1e-17, 1.0)), (z.qweibull, (0.5, 1.0, 0.0)), (z.qweibull, (0.5, NAN, 1.0)),
            (z.qweibull, (-0.5, 1.0, 1.0)), (z.qweibull, (NAN, 1.0, 1.0))]


@pytest.mark.parametrize("f, args", INVALID, ids=lambda v: getattr(v, "__name__", None) or repr(v))
def test_invalid_gives_nan(f, args):
    assert math.isnan(f(*args))
    if f.__name__[0] in "dp":
        assert math.isnan(f(*args, True))


# ---------------------------------------------------------------- edge cases
EDGES = [
    (z.dexp, (-1.0, 2.0, True), -INF), (z.dexp, (INF, 2.0, True), -INF), (z.dexp, (INF, 2.0), 0.0),
    (z.dexp, (INF, 0.0), NAN), (z.dexp, (1.0, 0.0), 0.0),
    (z.pexp, (0.0, 1.0, True), -INF), (z.pexp, (-3.0, 1.0), 0.0), (z.pexp, (2.0, INF), 1.0),
    (z.pexp, (INF, 1.0), 1.0), (z.pexp, (2.0, INF, True), 0.0),
    (z.qexp, (0.5, 0.0), INF), (z.qexp, (1.0, 3.0), INF), (z.qexp, (0.0, 3.0), 0.0),
    (z.dlaplace, (2.0, 2.0, 0.0), INF), (z.dlaplace, (3.0, 2.0, 0.0), 0.0), (z.dlaplace, (5.0, 1.0, INF), 0.0),
    (z.dlaplace, (INF, INF, 1.0), NAN), (z.dlaplace, (INF, 0.0, 1.0, True), -INF),
    (z.dlaplace, (2.0, 2.0, 0.0, True), INF), (z.dlaplace, (3.0, 2.0, 0.0, True), -INF),
    (z.plaplace, (2.0, 2.0, 0.0), 0.5), (z.plaplace, (1.0, 0.0, INF), 0.5), (z.plaplace, (1.0, INF, INF), NAN),
    (z.plaplace, (3.0, 2.0, 0.0), 1.0), (z.plaplace, (1.0, 2.0, 0.0), 0.0), (z.plaplace, (INF, 0.0, 1.0), 1.0),
    (z.plaplace, (0.0, -INF, 1.0), 1.0), (z.plaplace, (0.0, INF, 1.0), 0.0), (z.plaplace, (-INF, -INF, 1.0), NAN),
    (z.plaplace, (0.0, 0.0, 1.0), 0.5), (z.plaplace, (1.0, 2.0, 0.0, True), -INF),
    (z.qlaplace, (0.5, 3.0, 2.0), 3.0), (z.qlaplace, (0.2, 3.0, 0.0), 3.0), (z.qlaplace, (0.0, 0.0, 1.0), -INF),
    (z.qlaplace, (0.0, INF, 1.0), NAN), (z.qlaplace, (1.0, 0.0, 1.0), INF), (z.qlaplace, (1.0, -INF, 1.0), NAN),
    (z.dlogis, (2.0, 2.0, 0.0), NAN), (z.dlogis, (2.0, 2.0, 0.0, True), NAN), (z.dlogis, (3.0, 2.0, 0.0), NAN),
    (z.dlogis, (1.0, 0.0, INF), 0.0), (z.dlogis, (INF, INF, 1.0), NAN), (z.dlogis, (INF, 0.0, 1.0), 0.0),
    (z.dlogis, (-INF, 0.0, 1.0, True), -INF), (z.dlogis, (-800.0, 0.0, 1.0), 0.0),
    (z.plogis, (2.0, 2.0, 0.0), 0.5), (z.plogis, (3.0, 2.0, 0.0), 1.0), (z.plogis, (1.0, 0.0, INF), 0.5),
    (z.plogis, (INF, INF, 1.0), NAN), (z.plogis, (-INF, 0.0, 1.0), 0.0), (z.plogis, (0.0, -INF, 1.0), 1.0),
    (z.plogis, (1e-16, 0.0, 1.0), 0.5), (z.plogis, (-4.4e-16, 0.0, 1.0), 0.5), (z.plogis, (5.0, 5.0, 3.0), 0.5),
    (z.qlogis, (0.0, INF, 1.0), NAN), (z.qlogis, (0.0, 0.0, 1.0), -INF), (z.qlogis, (1.0, 0.0, 1.0), INF),
    (z.qlogis, (0.5, 4.0, 0.0), 4.0), (z.qlogis, (0.5, 4.0, 2.0), 4.0),
    (z.dcauchy, (1.0, 1.0, 0.0), NAN), (z.dcauchy, (2.0, 1.0, 0.0), NAN), (z.dcauchy, (1e300, 0.0, 1.0, True), -INF),
    (z.dcauchy, (1.0, 0.0, INF), 0.0), (z.dcauchy, (INF, 0.0, INF), NAN), (z.dcauchy, (INF, 0.0, 1.0), 0.0),
    (z.dcauchy, (INF, INF, 1.0), NAN), (z.dcauchy, (INF, 0.0, 1.0, True), -INF),
    (z.pcauchy, (1.0, -INF, 1.0), 1.0), (z.pcauchy, (1.0, INF, 1.0), 0.0), (z.pcauchy, (-INF, 0.0, 1.0), 0.0),
    (z.pcauchy, (INF, 0.0, 1.0), 1.0), (z.pcauchy, (1.0, 0.0, INF), 0.5), (z.pcauchy, (INF, 0.0, INF), NAN),
    (z.pcauchy, (-INF, -INF, 1.0), NAN), (z.pcauchy, (1.0, 1.0, 0.0), NAN), (z.pcauchy, (2.0, 1.0, 0.0), 1.0),
    (z.pcauchy, (0.0, 1.0, 0.0), 0.0), (z.pcauchy, (3.0, 3.0, 1.0), 0.5), (z.pcauchy, (-INF, 0.0, 1.0, True), -INF),
    (z.qcauchy, (0.3, 7.0, 0.0), 7.0), (z.qcauchy, (0.5, 7.0, 2.0), 7.0), (z.qcauchy, (0.0, 0.0, 1.0), -INF),
    (z.qcauchy, (0.0, INF, 1.0), NAN), (z.qcauchy, (1.0, 0.0, 1.0), INF), (z.qcauchy, (1.0, -INF, 1.0), NAN),
    (z.dunif, (0.5, 0.0, INF), 0.0), (z.dunif, (0.5, 0.0, INF, True), -INF), (z.dunif, (1.0, 0.0, 1.0), 1.0),
    (z.dunif, (0.0, 1.0, 1.0), NAN), (z.dunif, (1.5, 0.0, 1.0), 0.0), (z.dunif, (-0.5, 0.0, 1.0, True), -INF),
    (z.dunif, (0.0, 0.0, 4.0), 0.25), (z.dunif, (1.0, 0.0, 1.0, True), 0.0),
    (z.punif, (0.5, -INF, 1.0), NAN), (z.punif, (5.0, -INF, 1.0), 1.0), (z.punif, (0.0, 0.0, 1.0), 0.0),
    (z.punif, (1.0, 0.0, 1.0), 1.0), (z.punif, (1.0, 0.0, 4.0), 0.25), (z.punif, (0.0, 0.0, 1.0, True), -INF),
    (z.qunif, (0.25, 0.0, 4.0), 1.0), (z.qunif, (0.0, -3.0, 4.0), -3.0), (z.qunif, (1.0, -3.0, 4.0), 4.0),
    (z.dweibull, (0.0, 0.5, 1.0), INF), (z.dweibull, (0.0, 0.5, 1.0, True), INF), (z.dweibull, (0.0, 2.0, 1.0), 0.0),
    (z.dweibull, (0.0, 2.0, 1.0, True), -INF), (z.dweibull, (-1.0, 2.0, 1.0), 0.0), (z.dweibull, (INF, 2.0, 1.0), 0.0),
    (z.dweibull, (INF, 2.0, 1.0, True), -INF),
    (z.pweibull, (1e-17, 2.0, 1.0), 0.0), (z.pweibull, (1e-17, 2.0, 1.0, True), -INF), (z.pweibull, (INF, 2.0, INF), NAN),
    (z.pweibull, (INF, 2.0, 1.0), 1.0), (z.pweibull, (5.0, 2.0, INF), 0.0), (z.pweibull, (2.0, INF, 1.0), 1.0),
    (z.pweibull, (0.5, INF, 1.0), 0.0), (z.pweibull, (0.5, INF, 1.0, True), -INF),
    (z.qweibull, (0.5, INF, 3.0), 3.0), (z.qweibull, (0.0, 2.0, 3.0), 0.0), (z.qweibull, (1.0, 2.0, 3.0), INF),
]


@pytest.mark.parametrize("f, args, want", EDGES, ids=lambda v: getattr(v, "__name__", None) or repr(v))
def test_edge_values(f, args, want):
    assert same(f(*args), want)


# ---------------------------------------------------------------- hand-traced regular values
def test_traced_values(kernel):
    k_exp = lambda v: kernel("math_exp", v)  # noqa: E731
    k_log = lambda v: kernel("math_log", v)  # noqa: E731
    assert z.dexp(0.0, 2.0) == k_exp(k_log(2.0))
    assert z.dexp(1.5, 2.0, True) == k_log(2.0) - 2.0 * 1.5
    # pexp(1e-6, 1): u = -1e-6 takes the polynomial.
    assert z.pexp(1e-6, 1.0) == -expm1_series(-1e-6)
    assert z.pexp(0.7, 2.0) == -(k_exp(-2.0 * 0.7) - 1)
    assert z.qexp(0.3, 2.0) == -k_log(1 - 0.3) / 2.0
    assert z.dlaplace(1.0, 0.5, 2.0, True) == -k_log(4.0) - 0.5 / 2.0
    assert z.plaplace(-1.0, 0.5, 2.0) == -0.5 * (1 - k_exp(-1.5 / 2.0)) + 0.5
    assert z.qlaplace(0.8, 1.0, 2.0) == 1.0 - k_log(1 - 2 * abs(0.8 - 0.5)) * 2.0
    zz = (1.3 - 0.2) / 0.7
    assert z.dlogis(1.3, 0.2, 0.7, True) == (-zz - k_log(0.7)) - 2 * k_log(k_exp(-zz) + 1)
    assert z.plogis(1.3, 0.2, 0.7) == (kernel("math_tanh", (1.3 - 0.2) / 1.4) + 1) * 0.5
    assert z.qlogis(0.9, 1.0, 2.0) == k_log(0.9 / (1 - 0.9)) * 2.0 + 1.0
    assert z.pcauchy(-2.0, 0.5, 1.5) == -kernel("math_atan", 2.5 / 1.5) / 3.141592653589793 + 0.5
    assert z.pweibull(1, INF, 1) == -(k_exp(-1.0) - 1)
    # qweibull(5e-5, 2, 1): log1p(-5e-5) by the polynomial.
    assert z.qweibull(5e-5, 2.0, 1.0) == k_exp(k_log(-log1p_series(-5e-5)) * (1 / 2.0)) * 1.0
    r = 0.8 / 1.5
    lr = k_log(r)
    assert z.dweibull(0.8, 2.5, 1.5, True) == (lr * 1.5 + k_log(2.5 / 1.5)) - k_exp(2.5 * lr)
    c = k_log(r) * 2.5
    assert z.pweibull(0.8, 2.5, 1.5) == -(k_exp(-k_exp(c)) - 1)


@pytest.mark.parametrize("x, mu, sigma", [(1.0, 0.0, 1.0), (-3.5, 1.0, 0.25), (1e5, -2.0, 3.0)])
def test_dcauchy_extended_product(x, mu, sigma):
    zz = (x - mu) / sigma
    w = zz * zz + 1
    want = float(rx(1 / rx(rx(PI_EXT * Fraction(sigma)) * Fraction(w))))
    assert z.dcauchy(x, mu, sigma) == want


@pytest.mark.parametrize("p, mu, sigma", [(0.3, 7.0, 2.0), (0.9, -1.0, 0.5), (0.001, 0.0, 1.0), (0.75, 1e10, 3.0)])
def test_qcauchy_extended_tangent(kernel, p, mu, sigma):
    e = rx(Fraction(p - 0.5) * PI_EXT)
    t = kernel.ext("math_tan", ext_hex(e))
    assert z.qcauchy(p, mu, sigma) == float(rx(Fraction(mu) + rx(Fraction(sigma) * t)))


# ---------------------------------------------------------------- departures from the literal formulas
@pytest.mark.parametrize("x, shape, scale", [(1e300, 1.0, 1e-10), (1.7976931348623157e308, 1.0, 0.5),
                                            (1e300, 2.0, 1e-10)])
@pytest.mark.parametrize("log", [False, True])
def test_dweibull_overflowing_ratio_stays_nan(x, shape, scale, log):
    # r = x / scale overflows to +inf, so log r = +inf (not the -inf of an r
    # below eps): (k - 1) log r is +inf * 0 = NaN for k = 1, and
    # +inf - e^(+inf) is NaN for k = 2.
    assert math.isnan(z.dweibull(x, shape, scale, log))


@pytest.mark.parametrize("x", [0.0, 1e-17, 2e-16])
@pytest.mark.parametrize("scale", [1.0, 2.5])
def test_dweibull_shape_one_is_exponential_at_zero(kernel, x, scale):
    # log r is -inf there; with shape 1 the factor r^0 is 1: density 1/scale.
    want = kernel("math_log", 1.0 / scale)
    assert z.dweibull(x, 1.0, scale, True) == want
    assert z.dweibull(x, 1.0, scale) == kernel("math_exp", want)
    assert z.dweibull(x, 1.0, scale) == pytest.approx(1 / scale, rel=1e-14)


@pytest.mark.parametrize("x", [30.0, 100.0, 1000.0, 1e200, 1.7976931348623157e308])
def test_plogis_stays_a_probability(x):
    assert z.plogis(x, 0.0, 0.5) == 1.0
    assert z.plogis(x, 0.0, 0.5, True) == 0.0
    assert z.plogis(-x, 0.0, 0.5) == 0.0
    assert z.plogis(-x, 0.0, 0.5, True) == -INF


def test_plogis_sweep_in_unit_interval():
    xs = np.concatenate([np.linspace(-100, 100, 4001), -np.geomspace(1, 1e308, 200), np.geomspace(1, 1e308, 200)])
    v = z.plogis(xs, 0.0, 1.0)
    assert np.all((v >= 0) & (v <= 1))


@pytest.mark.parametrize("x, want", [(5.0, 0.0), (1e300, 0.0), (-1.0, 0.0), (0.0, 0.0), (INF, 1.0)])
def test_punif_infinite_upper_bound(x, want):
    assert z.punif(x, 0.0, INF) == want
    assert z.punif(x, 0.0, INF, True) == (0.0 if want == 1.0 else -INF)


# ---------------------------------------------------------------- log flags
FLAGGED = [
    (z.dexp, z.pexp, (2.0,), [0.0, 0.3, 4.0]),
    (z.dlaplace, z.plaplace, (1.0, 2.0), [-3.0, 1.0, 2.5]),
    (z.dlogis, z.plogis, (1.0, 2.0), [-3.0, 1.0, 2.5]),
    (z.dcauchy, z.pcauchy, (1.0, 2.0), [-3.0, 1.0, 2.5]),
    (z.dunif, z.punif, (-1.0, 3.0), [-1.0, 0.0, 2.5]),
    (z.dweibull, z.pweibull, (1.5, 2.0), [0.1, 1.0, 2.5]),
]


@pytest.mark.parametrize("d, p, params, xs", FLAGGED, ids=lambda v: getattr(v, "__name__", None))
def test_log_flags(kernel, d, p, params, xs):
    for x in xs:
        # Log of value for every p-function.
        assert p(x, *params, True) == kernel("math_log", p(x, *params))
        plain, logged = d(x, *params), d(x, *params, True)
        if d in (z.dcauchy,):
            assert logged == kernel("math_log", plain)
        elif d is z.dunif:
            assert logged == -kernel("math_log", params[1] - params[0])
        else:
            assert plain == kernel("math_exp", logged)


# ---------------------------------------------------------------- agreement with scipy
REFERENCE = [
    (z.dexp, z.pexp, z.qexp, (1.7,), stats.expon(scale=1 / 1.7), np.linspace(0.01, 5, 50)),
    (z.dlaplace, z.plaplace, z.qlaplace, (0.5, 1.3), stats.laplace(0.5, 1.3), np.linspace(-6, 6, 61)),
    (z.dlogis, z.plogis, z.qlogis, (-0.5, 0.8), stats.logistic(-0.5, 0.8), np.linspace(-6, 6, 61)),
    (z.dcauchy, z.pcauchy, z.qcauchy, (1.0, 2.0), stats.cauchy(1.0, 2.0), np.linspace(-30, 30, 61)),
    (z.dunif, z.punif, z.qunif, (-2.0, 3.0), stats.uniform(-2.0, 5.0), np.linspace(-1.9, 2.9, 50)),
    (z.dweibull, z.pweibull, z.qweibull, (1.8, 2.5), stats.weibull_min(1.8, scale=2.5), np.linspace(0.05, 8, 60)),
    (z.dweibull, z.pweibull, z.qweibull, (0.7, 1.0), stats.weibull_min(0.7, scale=1.0), np.linspace(0.05, 8, 60)),
]


@pytest.mark.parametrize("d, p, q, params, ref, xs", REFERENCE, ids=lambda v: getattr(v, "__name__", None))
def test_against_scipy(d, p, q, params, ref, xs):
    np.testing.assert_allclose(d(xs, *params), ref.pdf(xs), rtol=1e-10)
    np.testing.assert_allclose(d(xs, *params, True), ref.logpdf(xs), rtol=1e-10, atol=1e-12)
    np.testing.assert_allclose(p(xs, *params), ref.cdf(xs), rtol=1e-10)
    ps = np.linspace(0.001, 0.999, 41)
    np.testing.assert_allclose(q(ps, *params), ref.ppf(ps), rtol=1e-10, atol=1e-12)


def test_arrays_broadcast_like_scalars():
    xs = np.array([[0.1, 0.5], [1.0, 2.0]])
    got = z.pweibull(xs, np.array([1.5, 2.0]), 1.0)
    assert got.shape == (2, 2)
    assert got[1, 0] == z.pweibull(1.0, 1.5, 1.0)
    assert isinstance(z.qexp(0.5, 1.0), float)
