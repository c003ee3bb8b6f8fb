"""Normal and log-normal d/p/q functions: special branches and log flags,
replays of the regular formulas from the kernels' values, symmetries, the
confirmation of quantiles, and agreement with scipy.stats."""
import math
from fractions import Fraction

import mpmath
import numpy as np
import pytest
from scipy import stats

import zorvana
from test_erf import ext_hex, ext_round, same

NAN, INF = float("nan"), float("inf")
NEG_LOG_SQRT_2PI = -0.9189385332046728
SQRT2 = 1.4142135623730951
with mpmath.workdps(40):
    MAN, EXP = mpmath.sqrt(2).man_exp
SQRT2_EXT = ext_round(Fraction(MAN) * Fraction(2) ** EXP)

# (function, arguments, plain value, value with the flag; None: math_log of the plain value)
SPECIAL = [
    ("dnorm", (3.0, 3.0, 0.0), INF, INF),
    ("dnorm", (2.0, 3.0, 0.0), 0.0, -INF),
    ("dnorm", (INF, INF, INF), 0.0, -INF),      # sigma = +inf comes first
    ("dnorm", (INF, INF, 1.0), NAN, NAN),
    ("dnorm", (1.0, -INF, 1.0), 0.0, -INF),
    ("dnorm", (1.0, 0.0, -1.0), NAN, NAN),
    ("dnorm", (0.0, NAN, 1.0), NAN, NAN),
    ("pnorm", (3.0, 3.0, 0.0), 1.0, 0.0),       # the step includes mu
    ("pnorm", (2.9, 3.0, 0.0), 0.0, -INF),
    ("pnorm", (INF, INF, INF), NAN, NAN),       # same infinities come before sigma = +inf
    ("pnorm", (1.0, 0.0, INF), 0.5, None),
    ("pnorm", (1.0, -INF, INF), 1.0, 0.0),
    ("pnorm", (1.0, INF, 2.0), 0.0, -INF),
    ("pnorm", (-INF, 5.0, 0.0), 0.0, -INF),
    ("pnorm", (NAN, 0.0, 1.0), NAN, NAN),
    ("dlnorm", (-1.0, 0.0, 1.0), 0.0, -INF),
    ("dlnorm", (1e-17, 0.0, 1.0), 0.0, -INF),   # log x = -inf
    ("dlnorm", (math.e, 1.0, 0.0), 0.0, -INF),  # finite log x on a point mass
    ("dlnorm", (0.0, -INF, 0.0), INF, INF),
    ("dlnorm", (INF, INF, 1.0), NAN, NAN),
    ("dlnorm", (0.0, -INF, 1.0), 0.0, -INF),
    ("dlnorm", (2.0, 1.0, INF), 0.0, -INF),
    ("dlnorm", (1.0, 0.0, -1.0), NAN, NAN),
    ("plnorm", (1e-17, 0.0, 1.0), 0.0, -INF),
    ("plnorm", (0.0, 0.0, INF), 0.0, -INF),     # below eps before any sigma rule
    ("plnorm", (INF, 0.0, 1.0), 1.0, 0.0),
    ("plnorm", (INF, INF, 1.0), NAN, NAN),
    ("plnorm", (2.0, 0.0, INF), 0.5, None),
    ("plnorm", (NAN, 0.0, 1.0), NAN, NAN),
]


@pytest.mark.parametrize("name, args, plain, logged", SPECIAL)
def test_special_branches(kernel, name, args, plain, logged):
    f = getattr(zorvana, name)
    assert same(f(*args), plain)
    assert same(f(*args, True), kernel("math_log", plain) if logged is None else logged)


@pytest.mark.parametrize("name, args, expected", [
    ("qnorm", (0.5, 2.0, 3.0), 2.0), ("qnorm", (0.7, 4.0, 0.0), 4.0), ("qnorm", (0.0, 1.0, 2.0), -INF), ("qnorm", (1.0, 1.0, 2.0), INF),
    ("qnorm", (0.0, INF, 1.0), NAN), ("qnorm", (1.0, -INF, 1.0), NAN), ("qnorm", (0.5, 0.0, INF), NAN),
    ("qnorm", (-0.1, 0.0, 1.0), NAN), ("qnorm", (0.5, NAN, 1.0), NAN), ("qlnorm", (0.0, 0.0, 1.0), 0.0),
    ("qlnorm", (1.0, 0.0, 1.0), INF), ("qlnorm", (0.0, INF, 1.0), NAN), ("qlnorm", (1.0, -INF, 1.0), NAN),
    ("qlnorm", (0.5, 0.0, INF), NAN), ("qlnorm", (1.5, 0.0, 1.0), NAN), ("qlnorm", (0.5, 0.0, -1.0), NAN),
])
def test_quantile_guards(name, args, expected):
    assert same(getattr(zorvana, name)(*args), expected)


def test_formulas_replayed_from_kernels(kernel):
    assert zorvana.dnorm(0.0, log=True) == NEG_LOG_SQRT_2PI
    assert zorvana.dnorm(0.0) == kernel("math_exp", NEG_LOG_SQRT_2PI - kernel("math_log", 1.0))
    for x, mu, sigma in [(-2.5, 1.0, 0.7), (1e3, -2.0, 1e-3)]:
        z = (x - mu) / sigma
        y = (z * z) * -0.5 + (NEG_LOG_SQRT_2PI - kernel("math_log", sigma))
        assert zorvana.dnorm(x, mu, sigma, True) == y
        assert zorvana.dnorm(x, mu, sigma) == kernel("math_exp", y)
        lx = kernel("math_log", 1e3)
        assert zorvana.dlnorm(1e3, mu, sigma) == zorvana.dnorm(lx, mu, sigma) / 1e3
        z = (lx - mu) / sigma
        y = (z * z) * -0.5 + (NEG_LOG_SQRT_2PI - kernel("math_log", sigma))
        assert zorvana.dlnorm(1e3, mu, sigma, True) == y - lx
    for p, mu, sigma in [(0.3, 0.0, 1.0), (1e-9, -3.0, 4.0)]:
        e = kernel("math_erf_inv", (p + p) - 1)
        assert zorvana.qnorm(p, mu, sigma) == e * (sigma * SQRT2) + mu
        assert zorvana.qlnorm(p, mu, sigma) == kernel("math_exp", mu + e * (sigma * SQRT2))
    assert zorvana.qlnorm(0.3, 2.0, 0.0) == kernel("math_exp", 2.0)
    for x in (3e-16, 0.4, 1e200):
        assert zorvana.plnorm(x, 0.5, 1.5, True) == zorvana.pnorm(kernel("math_log", x), 0.5, 1.5, True)


@pytest.mark.parametrize("mu, sigma, d", [(0.0, 1.0, 0.75), (3.0, 2.0, 1.5), (-1.0, 0.25, 2.5)])
def test_pnorm_is_symmetric_about_mu(kernel, mu, sigma, d):
    # mu +- d and the differences back are exact, so both sides use one
    # extended erf value with opposite signs: (1 +- g) / 2 rounded once.
    g = kernel.ext("math_erf_ext", ext_hex(ext_round(Fraction(d / sigma) / SQRT2_EXT)))
    upper, lower = zorvana.pnorm([mu + d, mu - d], mu, sigma)
    assert upper == float(ext_round(ext_round(1 + g) / 2))
    assert lower == float(ext_round(ext_round(1 - g) / 2))
    assert zorvana.pnorm(mu + d, mu, sigma, True) == kernel("math_log", upper)


@pytest.mark.parametrize("p", [0.5, 0.625, 0.96875, 0.7, 0.99])
def test_qnorm_antisymmetric_for_exact_complements(p):
    assert Fraction(1 - p) == 1 - Fraction(p)
    assert zorvana.qnorm(p, 0.0, 2.5) == -zorvana.qnorm(1 - p, 0.0, 2.5)


def test_quantiles_keep_the_formula_value_in_extreme_corners(kernel):
    # The inverse error function converges to its fixed point, so the
    # quantiles return the formula's value as it stands, even where its
    # rounding is visible: mu - 1.28 rounds to mu - 2 at mu = 1e16 ...
    mu = 1e16
    assert zorvana.qnorm(0.1, mu, 1.0) == kernel("math_erf_inv", (0.1 + 0.1) - 1) * SQRT2 + mu == mu - 2
    # ... and exp(q) below 2^-52 is returned although plnorm counts it as 0.
    p, sigma = 1e-7, 7.0
    expected = kernel("math_exp", kernel("math_erf_inv", (p + p) - 1) * (sigma * SQRT2))
    assert expected < 2.0 ** -52
    assert zorvana.qlnorm(p, 0.0, sigma) == expected
    # mu + (-inf) is NaN once (p + p) - 1 rounds to -1.
    assert math.isnan(zorvana.qnorm(1e-300, INF, 1.0))
    assert zorvana.qnorm(0.3, INF, 1.0) == INF
    assert zorvana.qnorm(0.3, -INF, 1.0) == -INF
    # mu = -inf: q = -inf and exp(-inf) = 0.
    assert zorvana.qlnorm(0.3, -INF, 1.0) == 0.0


XS = np.linspace(-6.0, 6.0, 97)
PS = np.linspace(0.001, 0.999, 101)


@pytest.mark.parametrize("mu, sigma", [(0.0, 1.0), (1.5, 0.3), (-2.0, 7.0)])
def test_close_to_scipy(mu, sigma):
    xs = mu + sigma * XS
    lxs = np.exp(xs[xs > -34])  # log x is -inf below 2^-52
    ref, lref = stats.norm(mu, sigma), stats.lognorm(sigma, scale=math.exp(mu))
    np.testing.assert_allclose(zorvana.dnorm(xs, mu, sigma), ref.pdf(xs), rtol=1e-13)
    np.testing.assert_allclose(zorvana.dlnorm(lxs, mu, sigma), lref.pdf(lxs), rtol=1e-12)
    # The lower tail is 1 + erf in extended: its absolute error stays near
    # the extended resolution while its relative error grows (about 1e-13
    # at z = -3, where the erf fraction is least accurate).
    np.testing.assert_allclose(zorvana.pnorm(xs, mu, sigma), ref.cdf(xs), rtol=5e-13, atol=1e-19)
    np.testing.assert_allclose(zorvana.plnorm(lxs, mu, sigma), lref.cdf(lxs), rtol=5e-13, atol=1e-19)
    # The quantiles invert the double erf, off by up to 3e-13 just below 2.1:
    # the inverse is then off by a few 1e-11.
    np.testing.assert_allclose(zorvana.qnorm(PS, mu, sigma), ref.ppf(PS), rtol=0, atol=1e-10 * sigma)
    np.testing.assert_allclose(zorvana.qlnorm(PS, mu, sigma), lref.ppf(PS), rtol=1e-10 * sigma)
    np.testing.assert_allclose(zorvana.pnorm(zorvana.qnorm(PS, mu, sigma), mu, sigma), PS, atol=1e-12)
    np.testing.assert_allclose(zorvana.plnorm(zorvana.qlnorm(PS, mu, sigma), mu, sigma), PS, atol=1e-12)
