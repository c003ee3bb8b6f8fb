"""Gamma, inverse-gamma, chi-squared and Poisson functions: guards and limits,
log flags, the kernels each value rests on, repaired quantiles, clamped
probabilities, bounded searches, and agreement with scipy in ordinary ranges."""
import math
import time

import numpy as np
import pytest
from scipy import stats

import zorvana as z

INF = float("inf")
NAN = float("nan")
INT64_MAX = 2 ** 63 - 1


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


def below(x):
    return float(np.nextafter(x, -INF))


@pytest.mark.parametrize("fn, args, expected", [
    (z.dgamma, (0.0, 1.0, 2.0), 0.5), (z.dgamma, (0.0, 0.5, 1.0), INF), (z.dgamma, (0.0, 3.0, 1.0), 0.0),
    (z.dgamma, (2.0, 0.0, 1.0), 0.0), (z.dgamma, (1.0, 1.0, 1e-17), NAN), (z.dgamma, (-1.0, 2.0, 1.0), 0.0),
    (z.dgamma, (INF, 2.0, 1.0), 0.0),
    (z.dinvgamma, (2.0, 0.0, 1.0), INF), (z.dinvgamma, (0.0, 2.0, 0.0), INF), (z.dinvgamma, (0.0, 2.0, 1.0), 0.0),
    (z.dinvgamma, (1.0, 2.0, 0.0), 0.0), (z.dinvgamma, (1.0, 2.0, -1.0), NAN),
    (z.dchisq, (0.0, 1.0), INF), (z.dchisq, (0.0, 2.0), 0.5), (z.dchisq, (INF, 3.0), 0.0),
    (z.dchisq, (1.0, -1.0), NAN),
    (z.dpois, (0, 0.0), 1.0), (z.dpois, (3, 0.0), 0.0), (z.dpois, (3, INF), 0.0), (z.dpois, (3, -1.0), NAN),
    (z.dpois, (INT64_MAX, 5.0), 0.0),
    (z.pgamma, (1e-17, 2.0, 1.0), 0.0), (z.pgamma, (INF, 2.0, INF), NAN), (z.pgamma, (5.0, 0.0, 1.0), 1.0),
    (z.pgamma, (INF, 2.0, 1.0), 1.0), (z.pgamma, (5.0, 0.0, INF), 0.0), (z.pgamma, (5.0, INF, 1.0), 0.0),
    (z.pinvgamma, (0.0, 2.0, 1.0), 0.0), (z.pinvgamma, (3.0, 2.0, 0.0), 1.0), (z.pinvgamma, (0.0, 2.0, 0.0), NAN),
    (z.pinvgamma, (3.0, 2.0, 1e17), NAN), (z.pinvgamma, (1.0, 2.0, INF), NAN), (z.pinvgamma, (INF, 2.0, 1.0), 1.0),
    (z.pchisq, (1e-17, 3.0), 0.0), (z.pchisq, (5.0, 0.0), 1.0), (z.pchisq, (5.0, INF), 0.0),
    (z.ppois, (-1, 2.0), 0.0), (z.ppois, (3, INF), 0.0), (z.ppois, (INT64_MAX, 5.0), 1.0),
    (z.qgamma, (0.5, 0.0, 1.0), 0.0), (z.qgamma, (0.5, 0.0, INF), NAN), (z.qgamma, (0.0, 2.0, 1.0), 0.0),
    (z.qgamma, (1.0, 2.0, 1.0), INF), (z.qgamma, (1.5, 2.0, 1.0), NAN),
    (z.qinvgamma, (0.5, 2.0, 0.0), 0.0), (z.qinvgamma, (0.5, 0.0, 1.0), NAN), (z.qinvgamma, (1.0, 2.0, 1.0), INF),
    (z.qchisq, (0.0, 3.0), 0.0), (z.qchisq, (1.0, 3.0), INF), (z.qchisq, (-0.1, 3.0), NAN),
    (z.qpois, (0.3, 1e-17), 0.0), (z.qpois, (1.0, 4.0), INF), (z.qpois, (0.0, 4.0), 0.0), (z.qpois, (0.5, -1.0), NAN),
    (z.qpois, (0.5, INF), INF), (z.qpois, (1e-9, INF), INF),
])
def test_guards_and_limits(fn, args, expected):
    assert same(fn(*args), expected)


@pytest.mark.parametrize("fn, args", [
    (z.dinvgamma, (1.0, 2.0, 0.0)), (z.dpois, (-1, 2.0)), (z.pgamma, (1e-17, 2.0, 1.0)), (z.ppois, (-1, 2.0)),
    (z.pchisq, (5.0, INF)),
])
def test_zero_limits_give_minus_inf_with_log(fn, args):
    assert fn(*args, True) == -INF


def test_one_limits_give_zero_with_log():
    assert z.pchisq(5.0, 0.0, True) == 0.0
    assert z.dpois(0, 0.0, True) == 0.0


@pytest.mark.parametrize("fn, args", [
    (z.dgamma, (2.5, 3.0, 1.5)), (z.dinvgamma, (0.7, 2.5, 1.5)), (z.dchisq, (4.2, 3.0)), (z.dpois, (7, 5.5)),
])
def test_log_domain_densities(kernel, fn, args):
    assert fn(*args, False) == kernel("math_exp", fn(*args, True))


@pytest.mark.parametrize("fn, args", [
    (z.pgamma, (2.5, 3.0, 1.5)), (z.pinvgamma, (0.7, 2.5, 1.5)), (z.pchisq, (4.2, 3.0)), (z.ppois, (7, 5.5)),
    (z.ppois, (30, 25.0)), (z.dchisq, (0.0, 2.0)),
])
def test_log_of_value(kernel, fn, args):
    assert fn(*args, True) == kernel("math_log", fn(*args, False))


def test_distribution_functions_rest_on_kernels(kernel):
    assert z.pgamma(3.0, 2.5, 2.0) == kernel("math_gamma_p", 2.5, 1.5)
    assert z.pchisq(7.0, 5.0) == kernel("math_gamma_p", 2.5, 3.5)
    f, h = 1 / 0.7, 1 / 1.5
    assert z.pinvgamma(0.7, 2.5, 1.5) == 1 - kernel("math_gamma_p", 2.5, f / h)
    # Direct sum up to count 15 and rate 10; the incomplete gamma beyond either.
    assert z.ppois(15, 10.0) == kernel("math_exp", -10.0) * kernel("math_poisson_sum", 15, 10.0)
    assert z.ppois(16, 10.0) == 1 - kernel("math_gamma_p", 17.0, 10.0)
    assert z.ppois(3, 10.5) == 1 - kernel("math_gamma_p", 4.0, 10.5)


@pytest.mark.parametrize("fn, args, expected", [
    (z.dgamma, (1e-17, 1.0, 1.0), 1.0), (z.dchisq, (1e-17, 2.0), 0.5), (z.dpois, (0, 1e-17), 1.0),
])
def test_power_zero_of_tiny_argument_is_one(fn, args, expected):
    # log of an argument below eps is -inf; times an exponent of exactly 0 the factor is 1.
    assert fn(*args) == pytest.approx(expected, rel=1e-15)


def test_probabilities_are_clamped(kernel):
    a, x = 857255.67, 900118.46
    assert kernel("math_gamma_p", a, x) > 1
    assert z.pgamma(x, a, 1.0) == 1.0 and z.pgamma(x, a, 1.0, True) == 0.0
    assert z.pchisq(2 * x, 2 * a) == 1.0
    assert 1 - kernel("math_gamma_p", 724.0, 1000.0) < 0
    assert z.ppois(723, 1000.0) == 0.0 and z.ppois(723, 1000.0, True) == -INF


# Quantiles whose Halley iteration diverges are replaced by the least double
# reaching p under the module's own distribution function.
REPAIRED = [
    (z.qchisq, z.pchisq, "math_gamma_p_inv", (1.5, 0.001), (0.001, 3.0)),
    (z.qchisq, z.pchisq, "math_gamma_p_inv", (2.0, 1e-4), (1e-4, 4.0)),
    (z.qchisq, z.pchisq, "math_gamma_p_inv", (1.5, 0.999999), (0.999999, 3.0)),
    (z.qgamma, z.pgamma, "math_gamma_p_inv", (10.0, 1e-9), (1e-9, 10.0, 1.0)),
    (z.qgamma, z.pgamma, "math_gamma_p_inv", (1.5, 0.001), (0.001, 1.5, 1.0)),
    (z.qgamma, z.pgamma, "math_gamma_p_inv", (0.1, 0.01), (0.01, 0.1, 1.0)),
    (z.qgamma, z.pgamma, "math_gamma_p_inv", (10.0, 0.99995), (0.99995, 10.0, 1.0)),
    (z.qinvgamma, z.pinvgamma, "math_gamma_p_inv", (1.5, 0.001), (0.999, 1.5, 2.0)),
]


@pytest.mark.parametrize("qfn, pfn, kname, kargs, args", REPAIRED)
def test_diverging_quantiles_are_repaired(kernel, qfn, pfn, kname, kargs, args):
    assert math.isnan(kernel(kname, *kargs))
    p, params = args[0], args[1:]
    x = qfn(*args)
    assert pfn(x, *params) >= p > pfn(below(x), *params)


@pytest.mark.parametrize("q, ref", [
    (lambda: z.qchisq(0.001, 3.0), stats.chi2.ppf(0.001, 3)),
    (lambda: z.qchisq(1e-4, 4.0), stats.chi2.ppf(1e-4, 4)),
    (lambda: z.qgamma(1e-9, 10.0, 1.0), stats.gamma.ppf(1e-9, 10)),
    (lambda: z.qgamma(0.001, 1.5, 1.0), stats.gamma.ppf(0.001, 1.5)),
    (lambda: z.qinvgamma(0.999, 1.5, 2.0), stats.invgamma.ppf(0.999, 1.5, scale=2.0)),
])
def test_repaired_quantiles_are_accurate(q, ref):
    assert q() == pytest.approx(ref, rel=1e-9)


def test_converged_quantiles_are_kept(kernel):
    assert z.qgamma(0.3, 3.0, 2.0) == kernel("math_gamma_p_inv", 3.0, 0.3) * 2.0
    assert z.qchisq(0.5, 5.0) == kernel("math_gamma_p_inv", 2.5, 0.5) * 2
    assert z.qinvgamma(0.3, 3.0, 2.0) == 2.0 / kernel("math_gamma_p_inv", 3.0, 0.7)
    # Above scale 2^52 the distribution function is NaN: nothing to check against.
    assert math.isnan(z.qinvgamma(0.999, 1.5, 1e17))


@pytest.mark.parametrize("rate", [0.5, 3.0, 10.0, 10.5, 11.0, 40.0, 1000.0])
def test_qpois_is_least_count_above_p(rate):
    for p in (1e-6, 0.05, 0.5, 0.9, 0.999999):
        k = int(z.qpois(p, rate))
        assert z.ppois(k, rate) > p and (k == 0 or z.ppois(k - 1, rate) <= p)


def test_qpois_step_past_exact_probability():
    p = z.ppois(2, 3.0)
    assert z.qpois(p, 3.0) == 3.0
    assert z.qpois(below(p), 3.0) == 2.0


@pytest.mark.parametrize("p, rate", [(0.5, 1e300), (0.975, 1e19), (0.01, 4e19)])
def test_qpois_beyond_64_bit_counts_is_the_normal_quantile(p, rate):
    # Counts past 2^63 cannot be searched; the normal quantile is exact to the
    # spacing of the doubles there (not a count clamped at 2^63).
    want = stats.norm.ppf(p, rate, math.sqrt(rate))
    assert z.qpois(p, rate) == pytest.approx(want, rel=1e-15)


@pytest.mark.parametrize("p, rate", [(1e-300, 1e10), (1e-20, 1e6), (1e-18, 1e4)])
def test_qpois_tiny_p_terminates_quickly(p, rate):
    start = time.time()
    k = z.qpois(p, rate)
    assert time.time() - start < 2
    assert z.ppois(int(k), rate) > p >= z.ppois(int(k) - 1, rate)


def sweep(fn, ref, grids):
    args = np.meshgrid(*grids, indexing="ij")
    return fn(*args), ref(*args)


@pytest.mark.parametrize("name, fn, ref, grids, rtol", [
    ("dgamma", z.dgamma, lambda x, k, s: stats.gamma.pdf(x, k, scale=s),
     ([0.1, 1.0, 3.5, 12.0], [0.5, 2.0, 7.5, 40.0], [0.5, 2.0]), 1e-11),
    ("pgamma", z.pgamma, lambda x, k, s: stats.gamma.cdf(x, k, scale=s),
     ([0.1, 1.0, 3.5, 12.0], [0.5, 2.0, 7.5, 40.0], [0.5, 2.0]), 1e-8),
    ("qgamma", z.qgamma, lambda p, k, s: stats.gamma.ppf(p, k, scale=s),
     ([0.01, 0.3, 0.7, 0.99], [0.5, 2.0, 7.5, 40.0], [0.5, 2.0]), 1e-8),
    ("dinvgamma", z.dinvgamma, lambda x, a, b: stats.invgamma.pdf(x, a, scale=b),
     ([0.2, 1.0, 3.5], [0.5, 2.0, 7.5], [0.5, 2.0]), 1e-11),
    ("pinvgamma", z.pinvgamma, lambda x, a, b: stats.invgamma.cdf(x, a, scale=b),
     ([0.2, 1.0, 3.5], [0.5, 2.0, 7.5], [0.5, 2.0]), 1e-7),
    ("qinvgamma", z.qinvgamma, lambda p, a, b: stats.invgamma.ppf(p, a, scale=b),
     ([0.01, 0.3, 0.7, 0.99], [0.5, 2.0, 7.5], [0.5, 2.0]), 1e-8),
    ("dchisq", z.dchisq, stats.chi2.pdf, ([0.1, 1.0, 4.0, 20.0], [1.0, 3.0, 10.0, 50.0]), 1e-11),
    ("pchisq", z.pchisq, stats.chi2.cdf, ([0.1, 1.0, 4.0, 20.0], [1.0, 3.0, 10.0, 50.0]), 1e-8),
    ("qchisq", z.qchisq, stats.chi2.ppf, ([0.01, 0.3, 0.7, 0.99], [1.0, 3.0, 10.0, 50.0]), 1e-8),
    ("dpois", z.dpois, stats.poisson.pmf, ([0, 3, 12, 40], [0.5, 4.0, 12.0, 25.0]), 1e-11),
    ("ppois", z.ppois, stats.poisson.cdf, ([0, 3, 12, 40], [0.5, 4.0, 12.0, 25.0]), 1e-8),
    ("qpois", z.qpois, stats.poisson.ppf, ([0.01, 0.3, 0.7, 0.99], [0.5, 4.0, 12.0, 35.0, 500.0]), 0),
])
def test_near_reference_in_ordinary_ranges(name, fn, ref, grids, rtol):
    got, want = sweep(fn, ref, grids)
    # Probabilities near 0 are differences of values near 1: an absolute floor.
    atol = 1e-14 if name[0] == "p" else 0
    assert np.allclose(got, want, rtol=rtol, atol=atol)
