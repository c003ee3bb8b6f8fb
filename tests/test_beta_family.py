"""Beta, F, binomial and Bernoulli functions: guards, degenerate shapes, the
limits at infinite arguments, and the repairs (checked quantiles, densities with a zero
exponent, clamped probabilities, terminating binomial search)."""
import math
import time

import numpy as np
import pytest
import scipy.special as sc
import scipy.stats as st

import zorvana as zv

INF = math.inf
NAN = math.nan


def same(got, expected):
    return got == expected or (math.isnan(got) and math.isnan(expected))


def assert_quantile(q, p, cdf):
    """An iterated quantile is either confirmed by the distribution function
    within 1e-3 of the smaller tail (plus 1e-15), or is the least double whose
    distribution function reaches p."""
    f = cdf(q)
    if abs(f - p) <= 1e-3 * min(p, 1 - p) + 1e-15:
        return
    assert f >= p and cdf(float(np.nextafter(q, -INF))) < p, (q, p, f)


# ---------------------------------------------------------------- guards

@pytest.mark.parametrize("call", [
    lambda: zv.dbeta(NAN, 2, 3), lambda: zv.dbeta(0.5, -1, 3), lambda: zv.dbeta(0.5, 2, NAN),
    lambda: zv.pbeta(NAN, 2, 3), lambda: zv.pbeta(0.5, 2, -0.1),
    lambda: zv.qbeta(1.5, 2, 3), lambda: zv.qbeta(-0.1, 2, 3), lambda: zv.qbeta(NAN, 2, 3),
    lambda: zv.qbeta(0.5, NAN, 3),
    lambda: zv.df(NAN, 2, 3), lambda: zv.df(1, 1e-17, 3), lambda: zv.df(1, 2, 0),
    lambda: zv.pf(1, 2, NAN), lambda: zv.qf(0.5, 2, 1e-17), lambda: zv.qf(1.1, 2, 3),
    lambda: zv.dbinom(1, 3, 1.1), lambda: zv.dbinom(1, -1, 0.5), lambda: zv.pbinom(1, 3, NAN),
    lambda: zv.qbinom(0.5, 3, INF), lambda: zv.qbinom(0.5, -2, 0.3), lambda: zv.qbinom(NAN, 3, 0.3),
    lambda: zv.dbern(0, 1.2), lambda: zv.pbern(0, -0.1), lambda: zv.qbern(0.5, INF),
    lambda: zv.qbern(1.5, 0.3),
])
def test_invalid_gives_nan(call):
    assert math.isnan(call())


# ---------------------------------------------------------------- beta

@pytest.mark.parametrize("x, a, b, expected", [
    # a = b = 0: half the mass at each end
    (0.0, 0, 0, INF), (1.0, 0, 0, INF), (0.3, 0, 0, 0.0),
    # a = 0, or a finite with b = +inf: mass at 0
    (0.0, 0, 2, INF), (0.2, 0, 2, 0.0), (0.0, 3, INF, INF), (0.5, 3, INF, 0.0),
    # a = b = +inf: mass at 1/2
    (0.5, INF, INF, INF), (0.4, INF, INF, 0.0),
    # b = 0, or a = +inf with b finite: mass at 1
    (1.0, 2, 0, INF), (0.9, 2, 0, 0.0), (1.0, INF, 2, INF), (0.0, INF, 2, 0.0),
    # the ends of the regular density
    (0.0, 1, 3, 3.0), (1.0, 2, 1, 2.0), (0.0, 0.5, 2, INF), (1.0, 2, 3, 0.0), (1.0, 2, 0.5, INF),
    (0.0, 2, 3, 0.0), (1.5, 2, 2, 0.0), (-0.1, 2, 2, 0.0),
])
def test_dbeta_limits(x, a, b, expected):
    assert zv.dbeta(x, a, b) == expected
    assert zv.dbeta(x, a, b, log=True) == (math.log(expected) if expected > 0 else -INF)


@pytest.mark.parametrize("x, a, b, expected", [
    (0.3, 0, 0, 0.5), (0.3, 0, 2, 1.0), (0.3, 2, INF, 1.0), (0.3, INF, INF, 0.0), (0.5, INF, INF, 1.0),
    (0.3, 2, 0, 0.0), (0.3, INF, 2, 0.0), (1e-17, 2, 3, 0.0), (0.0, 2, 3, 0.0), (1.0, 2, 3, 1.0),
    (-1.0, 0, 0, 0.0), (2.0, INF, 2, 1.0),
])
def test_pbeta_limits(x, a, b, expected):
    assert zv.pbeta(x, a, b) == expected


def test_pbeta_log_at_one():
    assert zv.pbeta(1, 2, 3, log_p=True) == 0.0
    assert zv.pbeta(0, 2, 3, log_p=True) == -INF


@pytest.mark.parametrize("p, a, b, expected", [
    (0.5, 0, 0, 0.5), (0.3, 0, 0, 0.0), (0.7, 0, 0, 1.0), (0.7, 3, 0, 1.0), (0.7, INF, INF, 0.5),
    (0.7, 0, 4, 0.0), (0.7, 2, INF, 0.0), (0.2, INF, 3, 1.0), (0.0, 2, 3, 0.0), (1.0, 2, 3, 1.0),
])
def test_qbeta_limits(p, a, b, expected):
    assert zv.qbeta(p, a, b) == expected


@pytest.mark.parametrize("x, a, b", [(1e-310, 1.0, 5.0), (1e-300, 1.0, 2.5), (1 - 2.0 ** -53, 4.0, 1.0)])
def test_dbeta_zero_exponent_at_log_minus_inf(x, a, b):
    # x or 1 - x is below eps there, so its logarithm is -inf, but the power
    # it enters is v^0 = 1: the density is the finite limit a or b.
    limit = b if a == 1 else a
    assert zv.dbeta(x, a, b) == pytest.approx(limit, rel=1e-13)
    assert zv.dbeta(x, a, b, log=True) == pytest.approx(math.log(limit), rel=1e-12)


def test_df_small_x_through_zero_exponent():
    # df1 = 2 makes the beta shape g = 1: the density tends to 1 at x = 0.
    assert zv.df(1e-300, 2, 4) == pytest.approx(1.0, rel=1e-12)


@pytest.mark.parametrize("p, a, b, rel", [
    (1.99109e-11, 13.4133, 3.16383, 1e-9),        # the iteration ends in NaN
    (3.79973e-05, 84.1737, 1.29243, 1e-9),        # it stops early, far off
    (0.9506408159585593, 0.0526, 3.2114, 1e-9),   # it collapses to 0
    (1e-13, 50.0, 1.5, 1e-9),                     # the start is returned unrefined
    # near 1 the distribution function resolves 1 - p = 1e-13 to about 1e-3
    (1 - 1e-13, 1.5, 50.0, 1e-4),
])
def test_qbeta_repaired_tails(p, a, b, rel):
    q = zv.qbeta(p, a, b)
    assert q == pytest.approx(sc.betaincinv(a, b, p), rel=rel)
    assert_quantile(q, p, lambda x: zv.pbeta(x, a, b))


def test_qbeta_tail_sweep_has_no_nan_and_inverts():
    rng = np.random.default_rng(7)
    a = rng.uniform(1.05, 100, 300)
    b = rng.uniform(1.05, 100, 300)
    p = 10.0 ** rng.uniform(-12, -2, 300)
    p = np.where(rng.random(300) < 0.5, p, 1 - p)
    q = zv.qbeta(p, a, b)
    assert not np.isnan(q).any()
    f = zv.pbeta(q, a, b)
    tail = np.minimum(p, 1 - p)
    assert (np.abs(f - p) <= 1e-3 * tail + 1e-15).all()


@pytest.mark.parametrize("a, b", [(0.3, 0.4), (2.0, 3.0), (0.8, 40.0), (150.0, 7.0)])
@pytest.mark.parametrize("p", [1e-8, 0.02, 0.5, 0.97, 1 - 1e-9])
def test_qbeta_round_trip(p, a, b):
    assert_quantile(zv.qbeta(p, a, b), p, lambda x: zv.pbeta(x, a, b))


def test_qbeta_below_eps_is_held_at_the_least_double_reaching_p():
    # The true quantile is near 1e-27, but the distribution function counts
    # every x below eps as 0, so the first double reaching p is eps itself.
    assert zv.qbeta(1e-8, 0.3, 0.4) == 2.0 ** -52


def test_beta_sweep_against_scipy():
    rng = np.random.default_rng(3)
    a = 10.0 ** rng.uniform(-1, 3, 400)
    b = 10.0 ** rng.uniform(-1, 3, 400)
    x = st.beta.ppf(rng.uniform(0.01, 0.99, 400), a, b)
    ok = (x > 1e-10) & (x < 1 - 1e-10)
    a, b, x = a[ok], b[ok], x[ok]
    np.testing.assert_allclose(zv.pbeta(x, a, b), sc.betainc(a, b, x), rtol=1e-9)
    np.testing.assert_allclose(zv.dbeta(x, a, b), st.beta.pdf(x, a, b), rtol=1e-9)


# ---------------------------------------------------------------- F

@pytest.mark.parametrize("x, d1, d2, expected", [
    (0.0, 2, 5, 1.0), (0.0, 1, 5, INF), (0.0, 3, 5, 0.0), (INF, 1, 5, NAN), (INF, 3, 5, 0.0),
    (INF, INF, 1, NAN), (INF, INF, 3, 0.0), (INF, 3, INF, 0.0), (1.0, INF, INF, INF), (2.0, INF, INF, 0.0),
    (-1.0, 3, 5, 0.0),
])
def test_df_limits(x, d1, d2, expected):
    assert same(zv.df(x, d1, d2), expected)


@pytest.mark.parametrize("x, d1, d2, expected", [
    (1.0, INF, INF, 0.5), (1.5, INF, INF, 1.0), (0.5, INF, INF, 0.0), (1e-17, 3, 4, 0.0), (INF, 3, 4, 1.0),
])
def test_pf_limits(x, d1, d2, expected):
    assert zv.pf(x, d1, d2) == expected


def test_pf_log_at_median_of_infinite_dofs():
    assert zv.pf(1.0, INF, INF, log_p=True) == pytest.approx(math.log(0.5), rel=1e-15)


@pytest.mark.parametrize("x", [1e-3, 0.2, 1.0, 5.0, 1e3])
def test_pf_infinite_df1_log_is_never_positive(x):
    v = zv.pf(x, INF, 7.0, log_p=True)
    assert v <= 0
    # the inverse chi-squared limit: 1 - P(d2/2, d2/(2x))
    assert math.exp(v) == pytest.approx(sc.gammaincc(3.5, 3.5 / x), rel=1e-9, abs=1e-300)


def test_qf_limits():
    assert zv.qf(0.5, INF, INF) == 1.0
    assert zv.qf(0.0, 3, 4) == 0.0
    assert zv.qf(1.0, 3, 4) == INF


@pytest.mark.parametrize("d1, d2", [(3.0, 4.0), (0.4, 12.0), (30.0, 1.5), (INF, 6.0), (5.0, INF)])
@pytest.mark.parametrize("p", [1e-10, 0.05, 0.5, 0.9, 1 - 1e-7])
def test_qf_round_trip(p, d1, d2):
    assert_quantile(zv.qf(p, d1, d2), p, lambda x: zv.pf(x, d1, d2))


def test_f_sweep_against_scipy():
    rng = np.random.default_rng(5)
    d1 = 10.0 ** rng.uniform(-0.5, 2.5, 300)
    d2 = 10.0 ** rng.uniform(-0.5, 2.5, 300)
    x = st.f.ppf(rng.uniform(0.01, 0.99, 300), d1, d2)
    np.testing.assert_allclose(zv.pf(x, d1, d2), st.f.cdf(x, d1, d2), rtol=1e-9)
    np.testing.assert_allclose(zv.df(x, d1, d2), st.f.pdf(x, d1, d2), rtol=1e-8)


# ---------------------------------------------------------------- binomial

@pytest.mark.parametrize("x, n, prob, expected", [
    (0, 0, 0.3, 1.0), (1, 1, 0.3, 0.3), (0, 1, 0.25, 0.75), (5, 4, 0.3, 0.0), (-1, 4, 0.3, 0.0),
])
def test_dbinom_limits(x, n, prob, expected):
    assert zv.dbinom(x, n, prob) == expected


def test_dbinom_log_at_ends():
    assert zv.dbinom(0, 3, 0.5, log=True) == zv.dbinom(1, 1, 0.5, log=True) * 3
    assert zv.dbinom(3, 3, 0.0, log=True) == -INF


@pytest.mark.parametrize("n, prob", [(7, 0.3), (40, 0.5), (303, 0.5), (250, 0.02)])
def test_pbinom_sums_masses_from_x_down(n, prob):
    masses = zv.dbinom(np.arange(n + 1), n, prob)
    for x in range(0, n, max(1, n // 9)):
        s = masses[x]
        for k in range(x - 1, -1, -1):
            s = s + masses[k]
        assert zv.pbinom(x, n, prob) == min(s, 1.0)


def test_pbinom_limits():
    assert zv.pbinom(4, 4, 0.3) == 1.0
    assert zv.pbinom(4, 4, 0.3, log_p=True) == 0.0
    assert zv.pbinom(-1, 4, 0.3) == 0.0
    assert zv.pbinom(0, 1, 0.3) == 0.7


def test_pbinom_is_clamped_to_one():
    # The masses of 0..301 out of 303 sum past 1 in double arithmetic.
    masses = zv.dbinom(np.arange(302), 303, 0.5)
    s = masses[301]
    for k in range(300, -1, -1):
        s = s + masses[k]
    assert s > 1
    assert zv.pbinom(301, 303, 0.5) == 1.0
    assert zv.pbinom(301, 303, 0.5, log_p=True) == 0.0
    xs = np.arange(280, 303)
    assert (zv.pbinom(xs, 303, 0.5) <= 1).all()


@pytest.mark.parametrize("p, n, prob, expected", [
    (0.5, 1, 0.5, 0.0), (0.51, 1, 0.5, 1.0), (1.0, 7, 0.2, 7.0), (0.0, 7, 0.2, 0.0),
    (0.3, 0, 0.4, 0.0), (0.999, 0, 0.4, 0.0), (0.3, 9, 1.0, 9.0), (0.3, 9, 0.0, 0.0),
])
def test_qbinom_limits(p, n, prob, expected):
    assert zv.qbinom(p, n, prob) == expected


@pytest.mark.parametrize("n, prob", [(12, 0.3), (200, 0.5), (1000, 0.004), (600, 0.97)])
def test_qbinom_is_least_count_reaching_p(n, prob):
    cdf = np.append(zv.pbinom(np.arange(n), n, prob), 1.0)
    for p in [1e-9, 0.01, 0.3, 0.5, 0.77, 0.999, 1 - 1e-12, float(cdf[n // 3]), float(cdf[n // 30])]:
        if p >= 1:
            continue  # p = 1 gives n by definition
        assert zv.qbinom(p, n, prob) == float(np.argmax(cdf >= p))


def test_qbinom_beyond_the_reach_of_the_partial_sums():
    # At n = 1500 the computed masses sum to about 1 - 8e-13 at most, so no
    # partial sum below n reaches p = 1 - 2^-53: the search runs to n (and
    # ends there) and the answer is n, the least count whose value reaches p.
    n, prob, p = 1500, 0.5, 1 - 2.0 ** -53
    cdf = zv.pbinom(np.arange(n), n, prob)
    assert cdf.max() < p
    assert zv.qbinom(p, n, prob) == n


@pytest.mark.parametrize("n, prob, p", [(30000, 0.5, 0.5), (40000, 0.3, 0.8), (30000, 0.5, "tie")])
def test_qbinom_large_answer_is_found_quickly(n, prob, p):
    # Recomputing every partial sum up to an answer near 15000 takes some
    # 10^8 masses; the answer must still be the least count whose partial
    # sum reaches p (a p equal to a partial sum stops there).
    if p == "tie":
        p = zv.pbinom(15011, n, prob)
    start = time.perf_counter()
    q = zv.qbinom(p, n, prob)
    assert time.perf_counter() - start < 10
    k = int(q)
    assert zv.pbinom(k, n, prob) >= p > zv.pbinom(k - 1, n, prob)


def test_qbinom_certain_success_returns_n_at_once():
    start = time.perf_counter()
    assert zv.qbinom(0.5, 10 ** 12, 1.0) == 1e12
    assert time.perf_counter() - start < 1


# ---------------------------------------------------------------- Bernoulli

@pytest.mark.parametrize("call, expected", [
    (lambda: zv.dbern(2, 0.3), 0.0), (lambda: zv.dbern(0, 0.3), 0.7), (lambda: zv.dbern(1, 0.3), 0.3),
    (lambda: zv.pbern(5, 0.3), 1.0), (lambda: zv.pbern(0, 0.3), 0.7), (lambda: zv.pbern(-1, 0.3), 0.0),
    (lambda: zv.pbern(-1, 0.3, log_p=True), -INF), (lambda: zv.dbern(-3, 0.3, log=True), -INF),
    (lambda: zv.qbern(1, 0), 0.0), (lambda: zv.qbern(1, 0.2), 1.0), (lambda: zv.qbern(0, 0.9), 0.0),
    (lambda: zv.qbern(0.7, 0.3), 0.0), (lambda: zv.qbern(0.71, 0.3), 1.0),
])
def test_bernoulli(call, expected):
    assert call() == expected
