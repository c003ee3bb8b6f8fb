"""zorvana.accurate for the normal, log-normal and closed-form families:
densities, both tails with their logs and quantiles from p and log p against
mpmath literals, the faults of the former upper path, and NaN exactly where
the prescribed functions give it."""
import itertools
import math
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest
from scipy import stats

import zorvana as zv
import zorvana.accurate as za
from conftest import nextafter
from refs_accurate_closed import DENSITIES, QUANTILES, TAILS

INF, NAN = math.inf, math.nan
FAMILIES = ["norm", "lnorm", "exp", "laplace", "logis", "cauchy", "unif", "weibull", "bern"]
COUNT_X = {"bern"}


def scipy_rv(fam, params):
    """scipy.stats' distribution frozen at zorvana's parameters."""
    a, b = (params + (None,))[:2]
    return {
        "norm": lambda: stats.norm(a, b), "lnorm": lambda: stats.lognorm(b, scale=math.exp(a)),
        "exp": lambda: stats.expon(scale=1 / a), "laplace": lambda: stats.laplace(a, b),
        "logis": lambda: stats.logistic(a, b), "cauchy": lambda: stats.cauchy(a, b),
        "unif": lambda: stats.uniform(a, b - a), "weibull": lambda: stats.weibull_min(a, scale=b),
    }[fam]()


def scipy_values(fam, rows, nparams, method):
    """scipy's values at the rows' points, one call per parameter set."""
    out = np.empty(len(rows))
    sets = {}
    for i, row in enumerate(rows):
        sets.setdefault(tuple(row[1:1 + nparams]), []).append(i)
    with np.errstate(all="ignore"):
        for params, at in sets.items():
            out[at] = getattr(scipy_rv(fam, params), method)(np.array([rows[i][0] for i in at]))
    return out


def rel(got, ref):
    exact = Fraction(Decimal(ref))
    if not math.isfinite(got):
        return INF
    return float(abs(Fraction(got) - exact) / abs(exact)) if exact else abs(got)


def log_err(got, ref):
    """The error of a log against the bound's scale max(1, |log|)."""
    return rel(got, ref) * abs(float(ref)) / max(1.0, abs(float(ref))) if float(ref) else abs(got)


@pytest.mark.parametrize("fam", sorted(DENSITIES))
def test_density_and_its_log(fam):
    rows = DENSITIES[fam]
    args = [np.array(col) for col in zip(*[r[:-2] for r in rows])]
    d, logd = getattr(za, "d" + fam)(*args), getattr(za, "d" + fam)(*args, log=True)
    theirs = scipy_values(fam, rows, len(rows[0]) - 3, "pdf")
    for row, v, lv, t in zip(rows, d, logd, theirs):
        if 1e-300 <= float(row[-2]) <= 1e300:
            assert rel(v, row[-2]) <= min(1e-13, max(rel(t, row[-2]), 1e-15)), (row, v, t)
        assert log_err(lv, row[-1]) <= 1e-13, (row, lv)


@pytest.mark.parametrize("fam", sorted(TAILS))
def test_both_tails_and_their_logs(fam):
    rows = TAILS[fam]
    args = [np.array(col) for col in zip(*[r[:-4] for r in rows])]
    p = getattr(za, "p" + fam)
    for lower, k in ((False, -4), (True, -2)):
        v, lv = p(*args, lower_tail=lower), p(*args, log_p=True, lower_tail=lower)
        theirs = scipy_values(fam, rows, len(rows[0]) - 5, "cdf" if lower else "sf")
        for row, got, lgot, t in zip(rows, v, lv, theirs):
            if float(row[k]) >= 1e-300:
                # within 1e-12, and no worse than scipy (beyond 1e-15)
                assert rel(got, row[k]) <= min(1e-12, max(rel(t, row[k]), 1e-15)), (row, lower, got, t)
            assert log_err(lgot, row[k + 1]) <= 1e-12, (row, lower, lgot)


@pytest.mark.parametrize("fam", sorted(QUANTILES))
def test_quantiles_from_p_and_log_p(fam):
    """The probability at the result within 1e-12 (relative; of log p's scale
    for log_p) of the one asked for, or the result within an ulp of the
    true quantile."""
    q = getattr(za, "q" + fam)
    for row in QUANTILES[fam]:
        p, params, (lower, log_p, ref, hazard) = row[0], row[1:-4], row[-4:]
        got = q(p, *params, lower_tail=lower, log_p=log_p)
        want = float(Decimal(ref))
        if got == want:
            continue  # beyond the doubles too
        step = abs(nextafter(want, INF) - want)
        err = float(abs(Fraction(got) - Fraction(Decimal(ref)))) if math.isfinite(got) else INF
        scale = max(1.0, abs(p)) if log_p else 1.0
        assert err <= step or err * hazard <= 1e-12 * scale, (row, got)


@pytest.mark.parametrize("call,want", [
    ("za.pcauchy(1e300, 0.0, 1e-9, log_p=True, lower_tail=False)", -712.6435236210095),
    ("zv.pcauchy(1e300, 0.0, 1e-9, log_p=True, lower_tail=False)", -712.6435236210095),
    ("za.qcauchy(-712.6435236210095, 0.0, 1e-9, lower_tail=False, log_p=True)", 1e300),
    ("za.pnorm(-11.4)", 2.0905954217385492e-30),
    ("za.pnorm(-8.3, log_p=True)", -37.49421742374825),
    ("za.qnorm(-1e4, log_p=True)", -141.37983987312717),
    ("zv.qnorm(-1e4, log_p=True)", -141.37983987312717),
    ("za.qnorm(-1e4, lower_tail=False, log_p=True)", 141.37983987312717),
    ("za.pexp(1e-20, 1.0)", 1e-20),
    ("za.pexp(1e-200, 1e-200, log_p=True)", -921.0340371976183),
    ("za.pweibull(1e-10, 3.0, 1.0, log_p=True)", -69.07755278982137),
    ("za.qweibull(-1e4, 100.0, 1.0, log_p=True)", 3.720075976020836e-44),
    ("za.qlnorm(-1e4, 0.0, 1.0, log_p=True, lower_tail=False)", 2.5146891575117037e+61),
    ("za.dnorm(1.0)", 0.24197072451914334),
])
def test_issue_values(call, want):
    got = eval(call)
    assert got == pytest.approx(want, rel=1e-13, abs=0), call


@pytest.mark.parametrize("x,prob,d,lower,upper", [
    (0, 0.3, 0.7, 0.7, 0.3), (1, 0.3, 0.3, 1.0, 0.0), (-1, 0.3, 0.0, 0.0, 1.0), (2, 0.3, 0.0, 1.0, 0.0),
    (0, 1e-20, 1.0, 1.0, 1e-20), (0, 1.0, 0.0, 0.0, 1.0),
])
def test_bernoulli(x, prob, d, lower, upper):
    assert (za.dbern(x, prob), za.pbern(x, prob), za.pbern(x, prob, lower_tail=False)) == (d, lower, upper)
    assert za.dbern(x, prob, log=True) == (math.log(d) if d else -INF) or x == 0 and d and \
        za.dbern(x, prob, log=True) == math.log1p(-prob)
    assert za.pbern(0, 1e-20, log_p=True) == -1e-20 and za.pbern(0, 1e-300, log_p=True, lower_tail=False) == \
        pytest.approx(math.log(1e-300), rel=1e-15)
    # the least x with P(X <= x) >= p, exactly: 1 - 1e-20 < 1
    assert [za.qbern(1.0, 1e-20), za.qbern(1 - 2 ** -53, 1e-20), za.qbern(0.5, 0.3, lower_tail=False)] == [1, 0, 0]
    assert za.qbern(math.log(0.8), 0.3, log_p=True) == 1 and za.qbern(-1e4, 0.3, log_p=True, lower_tail=False) == 1


SPECIAL = [NAN, INF, -INF, 0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 5e-324, 1e-300, 1e300]
SPECIAL_P = [NAN, 0.0, 1.0, 0.5, -0.5, 1.5, 5e-324, 1 - 2 ** -53, INF, -INF]
NPARAMS = {"norm": 2, "lnorm": 2, "exp": 1, "laplace": 2, "logis": 2, "cauchy": 2, "unif": 2, "weibull": 2,
           "bern": 1}


@pytest.mark.parametrize("fn", [p + fam for p in "dpq" for fam in FAMILIES])
def test_nan_where_the_prescribed_function_has_it(fn):
    """The p-functions give NaN exactly where the prescribed ones do; the
    densities and quantiles never where they do not (they may have a value
    where the prescribed arithmetic loses it, a scale of 5e-324 say)."""
    fam = fn[1:]
    first = [-1, 0, 1, 2] if fam in COUNT_X and fn[0] != "q" else (SPECIAL_P if fn[0] == "q" else SPECIAL)
    grid = np.array(list(itertools.product(first, *[SPECIAL] * NPARAMS[fam])), dtype=float).T
    args = [grid[0].astype(np.int64) if fam in COUNT_X and fn[0] != "q" else grid[0]] + list(grid[1:])
    with np.errstate(all="ignore"):
        want = np.isnan(getattr(zv, fn)(*args))
        got = np.isnan(getattr(za, fn)(*args))
    differ = np.flatnonzero((want != got) if fn[0] == "p" else (got & ~want))
    assert not len(differ), [tuple(a[i] for a in args) for i in differ[:5]]
