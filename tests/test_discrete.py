"""The negative binomial, geometric, hypergeometric, Wilcoxon rank sum and
signed rank distributions: masses and both tails against mpmath literals and
exact enumeration, quantiles as the least x meeting their tail, invalid
parameters, and the same functions in both namespaces."""
import itertools
import math
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

import zorvana as zv
import zorvana.accurate as za
from refs_discrete import GEOM, HYPER, NBINOM, SIGNRANK

NAN = math.nan
FAMILIES = {"nbinom": (NBINOM, 2), "geom": (GEOM, 1), "hyper": (HYPER, 3)}


def comb(n, k):
    """C(n, k), 0 outside 0 <= k <= n (math.comb is newer than CPython 3.6)."""
    if not 0 <= k <= n:
        return 0
    return math.factorial(n) // (math.factorial(k) * math.factorial(n - k))


def rel(got, ref):
    exact = Fraction(Decimal(ref))
    if not math.isfinite(got):
        return math.inf
    return float(abs(Fraction(got) - exact) / abs(exact)) if exact else abs(got)


def log_err(got, ref):
    """The error of a log against the scale max(1, |log|)."""
    if ref == "-inf":
        return 0.0 if got == -math.inf else math.inf
    return rel(got, ref) * abs(float(ref)) / max(1.0, abs(float(ref))) if float(ref) else abs(got)


def check(fam, rows, k, p_bound):
    d, p = getattr(za, "d" + fam), getattr(za, "p" + fam)
    worst = {"d": 0.0, "p": 0.0, "log": 0.0}
    for row in rows:
        x, params = row[0], row[1:1 + k]
        f, lf, low, llow, up, lup = row[1 + k:]
        if float(f) >= 1e-300:
            worst["d"] = max(worst["d"], rel(d(x, *params), f))
        worst["log"] = max(worst["log"], log_err(d(x, *params, log=True), lf))
        for lower, v, lv in ((True, low, llow), (False, up, lup)):
            if 1e-300 <= float(v):
                worst["p"] = max(worst["p"], rel(p(x, *params, lower_tail=lower), v))
            if float(v) > 0:
                worst["log"] = max(worst["log"], log_err(p(x, *params, log_p=True, lower_tail=lower), lv))
    assert worst["d"] < 1e-13 and worst["p"] < p_bound and worst["log"] < p_bound, worst


def large_shapes(row):
    return row[1] >= 1e6


@pytest.mark.parametrize("fam", sorted(FAMILIES))
def test_mass_and_tails_against_mpmath(fam):
    rows, k = FAMILIES[fam]
    check(fam, [r for r in rows if fam != "nbinom" or not large_shapes(r)], k, 1e-12)


def test_negative_binomial_tails_of_large_shapes():
    """Near the centre, for a million successes and more, the incomplete beta
    function of large shapes holds the tails to about 1e-11."""
    check("nbinom", [r for r in NBINOM if large_shapes(r)], 2, 2e-11)


def test_signrank_1000_against_exact_counts():
    for x, n, f, low in SIGNRANK:
        assert rel(zv.dsignrank(x, n), f) < 1e-13
        assert rel(zv.psignrank(x, n), low) < 1e-12
        assert rel(zv.psignrank(n * (n + 1) // 2 - 1 - x, n, lower_tail=False), low) < 1e-12


@pytest.mark.parametrize("m,n", [(1, 1), (1, 5), (3, 4), (5, 5), (4, 8)])
def test_wilcox_by_enumeration(m, n):
    counts = {}
    for pick in itertools.combinations(range(1, m + n + 1), m):
        w = sum(pick) - m * (m + 1) // 2
        counts[w] = counts.get(w, 0) + 1
    total = comb(m + n, m)
    cum = 0
    for w in range(-1, m * n + 2):
        c = counts.get(w, 0)
        cum += c
        assert zv.dwilcox(w, m, n) == zv.dwilcox(w, n, m) == float(Fraction(c, total))
        assert zv.pwilcox(w, m, n) == float(Fraction(cum, total))
        assert zv.pwilcox(w, m, n, lower_tail=False) == float(Fraction(total - cum, total))


@pytest.mark.parametrize("n", [1, 2, 7, 12])
def test_signrank_by_enumeration(n):
    counts = [0] * (n * (n + 1) // 2 + 1)
    for signs in itertools.product((0, 1), repeat=n):
        counts[sum(i + 1 for i in range(n) if signs[i])] += 1
    cum = 0
    for v, c in enumerate(counts):
        cum += c
        assert zv.dsignrank(v, n) == float(Fraction(c, 2 ** n))
        assert zv.psignrank(v, n) == float(Fraction(cum, 2 ** n))
        assert zv.psignrank(v, n, lower_tail=False) == float(Fraction(2 ** n - cum, 2 ** n))


def test_small_cases_exactly():
    for x in range(-1, 12):
        for r, b, n in [(5, 4, 6), (10, 0, 3), (0, 3, 2), (7, 7, 14)]:
            f = Fraction(comb(r, x) * comb(b, n - x), comb(r + b, n)) if 0 <= x <= n else 0
            assert abs(zv.dhyper(x, r, b, n) - float(f)) <= 2e-15 * float(f)
        for size, prob in [(1, 0.25), (3, 0.5), (7, 0.75)]:
            q = Fraction(prob)
            f = comb(x + size - 1, x) * (1 - q) ** x * q ** size if x >= 0 else 0
            assert abs(zv.dnbinom(x, size, prob) - float(f)) <= 2e-15 * float(f)
            cdf = sum(comb(k + size - 1, k) * (1 - q) ** k * q ** size for k in range(x + 1))
            assert abs(zv.pnbinom(x, size, prob) - float(cdf)) <= 1e-15 * float(cdf)
        if x >= 0:
            assert zv.dgeom(x, 0.25) == zv.dnbinom(x, 1.0, 0.25) or \
                abs(zv.dgeom(x, 0.25) / zv.dnbinom(x, 1.0, 0.25) - 1) < 4e-15


CASES = [("nbinom", (3.5, 0.3)), ("nbinom", (1e-3, 0.5)), ("nbinom", (1e6, 0.01)), ("geom", (0.05,)),
         ("hyper", (30, 20, 25)), ("hyper", (10 ** 6, 10 ** 8, 5000)), ("wilcox", (20, 30)), ("wilcox", (200, 200)),
         ("signrank", (40,)), ("signrank", (1000,))]


@pytest.mark.parametrize("fam,params", CASES)
def test_quantiles_are_the_least_x(fam, params):
    p, q = getattr(zv, "p" + fam), getattr(zv, "q" + fam)
    centre = int(q(0.5, *params))
    xs = sorted({max(0, centre + k) for k in (-400, -37, -3, 0, 1, 5, 60, 500)})
    for x in xs:
        for lower in (True, False):
            for log_p in (False, True):
                v = p(x, *params, log_p=log_p, lower_tail=lower)
                if v in ((0.0, -math.inf) if log_p else (1.0, 0.0)):
                    continue  # the ends of the support
                assert q(v, *params, lower_tail=lower, log_p=log_p) == x, (x, lower, log_p)
                # a little further into the tail asks for the next count
                w = np.nextafter(v, math.inf if lower else -math.inf)
                if p(x + 1, *params, log_p=log_p, lower_tail=lower) != v:
                    assert q(w, *params, lower_tail=lower, log_p=log_p) == x + 1, (x, lower, log_p)


@pytest.mark.parametrize("call", [
    lambda: zv.dnbinom(1, 0.0, 0.5), lambda: zv.pnbinom(1, -1.0, 0.5), lambda: zv.qnbinom(0.5, math.inf, 0.5),
    lambda: zv.dnbinom(1, 2.0, 0.0), lambda: zv.pnbinom(1, 2.0, 1.5), lambda: zv.qnbinom(0.5, 2.0, NAN),
    lambda: zv.dgeom(1, 0.0), lambda: zv.pgeom(1, -0.5), lambda: zv.qgeom(1.5, 0.5),
    lambda: zv.dhyper(1, 3, 4, 8), lambda: zv.phyper(1, -1, 4, 2), lambda: zv.qhyper(0.5, 3, 4, -1),
    lambda: zv.dwilcox(1, 0, 4), lambda: zv.pwilcox(1, 501, 500), lambda: zv.qwilcox(-0.1, 3, 4),
    lambda: zv.dsignrank(1, 0), lambda: zv.psignrank(1, 2001), lambda: zv.qsignrank(0.5, -3),
    lambda: zv.qnbinom(0.1, 2.0, 0.5, log_p=True),
])
def test_invalid_gives_nan(call):
    assert math.isnan(call())


def test_ends_and_point_masses():
    assert zv.dnbinom(0, 2.0, 1.0) == 1 and zv.dnbinom(1, 2.0, 1.0) == 0 and zv.qnbinom(0.7, 2.0, 1.0) == 0
    assert zv.qnbinom(0.0, 2.0, 0.5, lower_tail=False) == math.inf and zv.qgeom(1.0, 0.5) == math.inf
    assert zv.qhyper(1.0, 5, 4, 6) == 5 and zv.qhyper(0.0, 5, 4, 6) == 2
    assert zv.qwilcox(1.0, 3, 4) == 12 and zv.qsignrank(0.0, 5) == 0
    assert zv.pgeom(-1, 0.5) == 0 and zv.pgeom(-1, 0.5, lower_tail=False) == 1


@pytest.mark.parametrize("m,n", [(200, 200), (37, 150)])
def test_large_wilcox_tables(m, n):
    w = np.arange(m * n + 1)
    f = zv.dwilcox(w, m, n)
    assert abs(math.fsum(f) - 1) < 1e-13 and np.array_equal(f, f[::-1])
    assert np.array_equal(zv.pwilcox(w[:-1], m, n, lower_tail=False), zv.pwilcox(m * n - 1 - w[:-1], m, n))
    assert zv.dwilcox(0, m, n) == float(Fraction(1, comb(m + n, m)))


@pytest.mark.parametrize("name,args", [
    ("dnbinom", ([[0], [3], [50]], [0.5, 7.25], 0.3)), ("pnbinom", (np.arange(5), 2.5, [[0.2], [0.9]])),
    ("qnbinom", ([0.1, 0.9], 2.5, 0.3)), ("dhyper", (np.arange(8), 10, 7, 8)), ("qhyper", ([0.3], [10], 7, 8)),
    ("pwilcox", (np.arange(12).reshape(12, 1, 1), [3, 4], [[4], [5]])), ("qsignrank", ([0.2, 0.8], [5, 30])),
    ("pgeom", ([0, 5, 10 ** 6], [0.5, 1e-3, 1e-7])), ("pnbinom", ([3.0, 3.0, np.nan, 7.0, -1.0, 3.0], 2.5, 0.3)),
    ("dhyper", (np.tile(np.arange(-2, 9), 30), 10, 7, 8)), ("phyper", (np.arange(40) % 7, 10, 7, 8, True, False)),
])
def test_same_in_both_namespaces_and_as_scalars(name, args):
    got = getattr(zv, name)(*args)
    assert np.array_equal(got, getattr(za, name)(*args), equal_nan=True)
    b = np.broadcast_arrays(*[np.asarray(a) for a in args])
    loop = [getattr(zv, name)(*[a[i].item() for a in b]) for i in np.ndindex(b[0].shape)]
    assert np.array_equal(got.ravel(), np.array(loop), equal_nan=True)


# ---------------------------------------------------------------------------
# Draws

N_FIT = 10 ** 6
DRAW_CASES = [
    ("rnbinom", (3.5, 0.3)), ("rnbinom", (0.2, 0.6)), ("rnbinom", (50.0, 0.05)), ("rnbinom", (1e4, 0.5)),
    ("rgeom", (0.3,)), ("rgeom", (1e-3,)), ("rhyper", (10, 7, 8)), ("rhyper", (500, 800, 300)),
    ("rhyper", (10 ** 6, 10 ** 7, 5000)), ("rwilcox", (20, 30)), ("rsignrank", (40,)),
]


@pytest.mark.parametrize("name,params", DRAW_CASES)
def test_draws_fit_their_mass(name, params):
    """Chi-squared on 10^6 draws against the module's own masses, cells with
    fewer than 20 expected pooled at both ends."""
    from scipy import stats
    x = getattr(zv, name)(*params, size=N_FIT, engine=zv.Engine(2929), dtype=int)
    q = getattr(zv, "q" + name[1:])
    lo, top = int(q(1e-6, *params)), int(q(1e-6, *params, lower_tail=False))
    k = np.arange(lo, top + 1)
    expected = getattr(zv, "d" + name[1:])(k, *params) * N_FIT
    observed = np.bincount(np.clip(x, lo, top) - lo, minlength=top - lo + 1).astype(float)
    expected[0] += getattr(zv, "p" + name[1:])(lo - 1, *params) * N_FIT
    expected[-1] += getattr(zv, "p" + name[1:])(top, *params, lower_tail=False) * N_FIT
    # pool neighbouring cells until each expects at least 20
    cells_o, cells_e, o, e = [], [], 0.0, 0.0
    for oi, ei in zip(observed, expected):
        o, e = o + oi, e + ei
        if e >= 20:
            cells_o.append(o)
            cells_e.append(e)
            o = e = 0.0
    cells_o[-1] += o
    cells_e[-1] += e
    assert stats.chisquare(cells_o, np.array(cells_e) * (N_FIT / sum(cells_e))).pvalue > 1e-4


@pytest.mark.parametrize("name,params", [
    ("rnbinom", ([0.5, 3.0, 1e3], [[0.2], [0.9]])), ("rgeom", ([0.9, 1e-4, 1.0],)),
    ("rhyper", ([3, 30], [[5], [50]], 4)), ("rwilcox", ([1, 4], [7, 9])), ("rsignrank", ([1, 10, 100],)),
])
def test_array_draws_are_the_scalar_loop_and_repeat(name, params):
    f = getattr(zv, name)
    got = f(*params, engine=zv.Engine(7))
    assert np.array_equal(got, f(*params, engine=zv.Engine(7)))
    e = zv.Engine(7)
    b = np.broadcast_arrays(*[np.asarray(a, dtype=float) for a in params])
    loop = [f(*[a[i].item() for a in b], engine=e) for i in np.ndindex(b[0].shape)]
    assert np.array_equal(got.ravel(), np.array(loop))
    assert f(*[a.ravel()[0].item() for a in b], size=3, engine=zv.Engine(7), dtype=int).dtype == np.int64


@pytest.mark.parametrize("name,params", [
    ("rnbinom", (0.0, 0.5)), ("rnbinom", (2.0, 0.0)), ("rgeom", (1.5,)), ("rhyper", (3, 4, 8)),
    ("rhyper", (2.5, 4, 1)), ("rwilcox", (0, 3)), ("rwilcox", (501, 500)), ("rsignrank", (2001,)),
])
def test_invalid_draws_are_nan_without_drawing(name, params):
    e = zv.Engine(3)
    assert math.isnan(getattr(zv, name)(*params, engine=e))
    assert zv.runif(engine=e) == zv.runif(engine=zv.Engine(3))


# ---------------------------------------------------------------------------
# Multinomial

def multinomial_mass(x, prob):
    n, total = sum(x), sum(Fraction(p) for p in prob)
    f = Fraction(math.factorial(n))
    for xi, p in zip(x, prob):
        f = f / math.factorial(xi) * (Fraction(p) / total) ** xi
    return f


@pytest.mark.parametrize("x,prob", [
    ([1, 2, 3], [0.2, 0.3, 0.5]), ([0, 0, 6], [2.0, 3.0, 5.0]), ([5, 0], [1.0, 0.0]), ([0, 0], [0.5, 0.5]),
    ([40, 1, 300, 7], [0.1, 1e-3, 0.85, 0.049]), ([3], [7.0]),
])
def test_dmultinom_exactly(x, prob):
    f = multinomial_mass(x, prob)
    assert abs(Fraction(zv.dmultinom(x, prob)) - f) <= f * Fraction(1, 10 ** 14)
    assert za.dmultinom(x, prob, log=True) == zv.dmultinom(x, prob, log=True)


def test_dmultinom_large_and_broadcast():
    # the mass of 10^8 trials at the mean (mpmath, 300 bits)
    got = zv.dmultinom([2 * 10 ** 7, 3 * 10 ** 7, 5 * 10 ** 7], [0.2, 0.3, 0.5], log=True)
    assert abs(got - -18.505278869479497895) < 1e-13 * 18.5
    x = np.array([[[1, 2, 3]], [[0, 6, 0]]])
    prob = np.array([[0.2, 0.3, 0.5], [1.0, 1.0, 1.0], [0.0, 1.0, 0.0]])
    got = zv.dmultinom(x, prob)
    assert got.shape == (2, 3)
    assert got[1, 2] == 1 and got[0, 2] == 0
    assert got[0, 0] == zv.dmultinom([1, 2, 3], [0.2, 0.3, 0.5])


@pytest.mark.parametrize("x,prob", [([1, -1], [0.5, 0.5]), ([1.5, 1], [0.5, 0.5]), ([1, 1], [-0.5, 1.5]),
                                    ([1, 1], [0.0, 0.0]), ([1, 1], [np.inf, 1.0]), ([np.nan, 1], [1.0, 1.0])])
def test_dmultinom_invalid(x, prob):
    assert math.isnan(zv.dmultinom(x, prob))


def test_dmultinom_shape_errors():
    with pytest.raises(ValueError, match="last axes"):
        zv.dmultinom([1, 2, 3], [0.5, 0.5])
    with pytest.raises(ValueError, match="broadcast"):
        zv.dmultinom(np.ones((2, 3)), np.ones((4, 3)))
    with pytest.raises(TypeError):
        zv.dmultinom([1, 2], [0.5, 0.5], log="yes")


def test_rmultinom_fits_and_repeats():
    from scipy import stats
    prob = [0.1, 0.2, 0.3, 0.4]
    x = zv.rmultinom(12, prob, size=10 ** 6 // 12, engine=zv.Engine(29), dtype=int)
    assert x.shape == (10 ** 6 // 12, 4) and (x.sum(axis=1) == 12).all()
    # each category's count is binomial
    for j, p in enumerate(prob):
        observed = np.bincount(x[:, j], minlength=13)
        assert stats.chisquare(observed[:8], stats.binom(12, p).pmf(np.arange(8)) / stats.binom(12, p).cdf(7)
                               * observed[:8].sum()).pvalue > 1e-4
    assert np.array_equal(zv.rmultinom(12, prob, size=50, engine=zv.Engine(29), dtype=int), x[:50])
    e = zv.Engine(5)
    rows = zv.rmultinom([3, 50], [[1.0, 0.0, 2.0]], engine=zv.Engine(5))
    loop = [zv.rmultinom(n, [1.0, 0.0, 2.0], engine=e) for n in (3, 50)]
    assert np.array_equal(rows, np.array(loop)) and rows[:, 1].tolist() == [0, 0]
    assert np.isnan(zv.rmultinom(2.5, prob, engine=e)).all()
    with pytest.raises(ValueError, match="broadcast"):
        zv.rmultinom([1, 2], prob, size=3)
