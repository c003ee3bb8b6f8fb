"""Upper tails of the normal, log-normal and closed-form families: accuracy
against mpmath literals and beside scipy's sf, logs far below the doubles,
round trips, continuity where the formulas switch, and the guards of the
lower tail mirrored."""
import itertools
import math
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest
from scipy import stats

import zorvana as zv
from refs_closed_tails import QUANTILES, TAILS
from conftest import nextafter, ulp

INF = float("inf")
NAN = float("nan")
TINY = 2.2250738585072014e-308

SCIPY = {
    "norm": lambda x, mu, sg: stats.norm.sf(x, mu, sg),
    "lnorm": lambda x, mu, sg: stats.lognorm.sf(x, sg, scale=math.exp(mu)),
    "exp": lambda x, r: stats.expon.sf(x, scale=1 / r),
    "laplace": lambda x, mu, sg: stats.laplace.sf(x, mu, sg),
    "logis": lambda x, mu, sg: stats.logistic.sf(x, mu, sg),
    "cauchy": lambda x, mu, sg: stats.cauchy.sf(x, mu, sg),
    "unif": lambda x, a, b: stats.uniform.sf(x, a, b - a),
    "weibull": lambda x, k, lam: stats.weibull_min.sf(x, k, scale=lam),
}


def rel(got, ref):
    exact = Fraction(Decimal(ref))
    if exact == 0:
        return 0.0 if got == 0 else INF
    if not math.isfinite(got):
        return INF
    return float(abs(Fraction(got) - exact) / abs(exact))


@pytest.mark.parametrize("family", sorted(TAILS))
def test_tail_and_log_accuracy(tail_probe, family):
    """Relative error at most 1e-12 for tails from 1/2 to 1e-300 (and near 1),
    never worse than scipy's sf (beyond a few ulps); the log to 1e-12 relative
    also where the tail itself is far below the smallest double."""
    rows = TAILS[family]
    name = "p%s_upper" % family
    vals = tail_probe.many(name, [args + (0,) for args, _, _ in rows])
    logs = tail_probe.many(name, [args + (1,) for args, _, _ in rows])
    for (args, ref, lref), v, lv in zip(rows, vals, logs):
        assert rel(lv, lref) <= 1e-12, (args, lv, lref)
        if float(Decimal(ref)) >= 1e-300:
            err = rel(v, ref)
            assert err <= 1e-12, (args, v, ref)
            with np.errstate(all="ignore"):
                theirs = rel(float(SCIPY[family](*args)), ref)
            assert err <= max(theirs, 4e-16), (args, v, ref, theirs)


@pytest.mark.parametrize("family", sorted(QUANTILES))
def test_quantiles_and_round_trips(tail_probe, family):
    """q(p) against mpmath, and p(q(p)) within 1e-12 relative of p."""
    rows = QUANTILES[family]
    qs = tail_probe.many("q%s_upper" % family, [args for args, _ in rows])
    back = tail_probe.many("p%s_upper" % family, [(q,) + args[1:] + (0,) for q, (args, _) in zip(qs, rows)])
    for (args, ref), q, p in zip(rows, qs, back):
        scale = max(abs(float(Decimal(ref))), abs(args[-1]) * 1e-3 if family != "unif" else 1.0)
        assert abs(Fraction(q) - Fraction(Decimal(ref))) <= Fraction(scale) * Fraction(1, 10 ** 12), (args, q, ref)
        if family in ("unif",) or (family == "norm" and args[1] != 0):
            continue  # the quantile's rounding alone moves p by more
        assert abs(p - args[0]) <= 1e-12 * args[0], (args, q, p)


def test_pnorm_upper_examples(tail_probe):
    assert tail_probe("pnorm_upper", 40, 0, 1, 1) == pytest.approx(-804.60844201375, rel=1e-14)
    assert tail_probe("pnorm_upper", 38, 0, 1, 0) == pytest.approx(2.885428351e-316, rel=1e-8)
    assert tail_probe("pnorm_upper", 1e200, 0, 1, 1) == -5e399 or tail_probe("pnorm_upper", 1e200, 0, 1, 1) == -INF
    assert tail_probe("pnorm_upper", 1e150, 0, 1, 1) == pytest.approx(-5e299, rel=1e-15)


@pytest.mark.parametrize("p", [0.5, 0.4999999999999999, 0.3, 1e-5, 1e-50, 1e-300, 5e-324, 0.75, 1 - 2 ** -53])
def test_qnorm_upper_round_trip_and_symmetry(tail_probe, p):
    q = tail_probe("qnorm_upper", p, 0, 1)
    assert tail_probe("pnorm_upper", q, 0, 1, 0) == pytest.approx(p, rel=1e-12)
    if p < 0.5:
        assert tail_probe("qnorm_upper", 1 - p, 0, 1) == pytest.approx(-q, rel=1e-12, abs=1e-16) or 1 - p == 1


# Points where a formula switches: the standardized argument at which each
# family moves from one expression to another.
SEAMS = [
    ("pnorm_upper", (0.0, 1.0), [0.0, 1.0, 40.0]), ("plogis_upper", (0.0, 1.0), [0.0]),
    ("plaplace_upper", (0.0, 1.0), [0.0]), ("pcauchy_upper", (0.0, 1.0), [0.0, 1.0, -1.0]),
    ("punif_upper", (0.0, 1.0), [0.5]), ("plnorm_upper", (0.0, 1.0), [1.0, math.e]),
]


@pytest.mark.parametrize("name, params, seams", SEAMS)
@pytest.mark.parametrize("log_p", [0, 1])
def test_continuity_at_switch_points(tail_probe, name, params, seams, log_p):
    for s in seams:
        xs = [s]
        for _ in range(3):
            xs = [nextafter(xs[0], -INF)] + xs + [nextafter(xs[-1], INF)]
        v = tail_probe.many(name, [(x,) + params + (log_p,) for x in xs])
        assert all(b <= a for a, b in zip(v, v[1:])), (s, v)  # non-increasing
        steps = [a - b for a, b in zip(v, v[1:])]
        assert max(steps) <= 4 * max(min(steps), ulp(max(map(abs, v)))), (s, v)


# The lower-tail function of each family in the module and its argument grid.
BIG = 1.7976931348623157e308
GRID = [NAN, -INF, -BIG, -1.0, 0.0, 5e-324, 0.5, 1.0, 2.0, 1e300, BIG, INF]
FAMILY_ARGS = {
    "norm": 2, "lnorm": 2, "exp": 1, "laplace": 2, "logis": 2, "cauchy": 2, "unif": 2, "weibull": 2,
}


@pytest.mark.parametrize("family", sorted(FAMILY_ARGS))
def test_guards_mirror_the_lower_tail(tail_probe, family):
    """NaN exactly where the lower tail gives NaN; at the limits (an infinite
    argument, a zero or infinite scale) the upper tail is 1 - lower; the
    quantile at p = 0 and 1 is the lower quantile at 1 and 0."""
    n = FAMILY_ARGS[family]
    pf, qf = getattr(zv, "p" + family), getattr(zv, "q" + family)
    rows = list(itertools.product(GRID, repeat=n + 1))
    up = tail_probe.many("p%s_upper" % family, [r + (0,) for r in rows])
    qup = tail_probe.many("q%s_upper" % family, rows)
    cols = np.array(rows).T
    lows = pf(*cols)
    with np.errstate(all="ignore"):
        qls = qf(1 - cols[0], *cols[1:])
    for r, u, qu, low, ql in zip(rows, up, qup, lows.tolist(), qls.tolist()):
        assert math.isnan(u) == math.isnan(low), (r, u, low)
        limit = any(math.isinf(a) for a in r) or (family not in ("exp", "unif") and r[2] == 0)
        if family in ("lnorm", "weibull") and 0 < r[0] < 2 ** -52:
            limit = False  # the lower tail counts these x as 0; the upper tail is exact there
        if limit and low in (0.0, 0.5, 1.0) and not math.isnan(u):
            assert u == 1 - low, (r, u, low)
        if math.isfinite(r[0]) and 1 - (1 - r[0]) != r[0]:
            continue  # the lower quantile cannot be asked at exactly 1 - p
        if r[0] in (0.0, 1.0):
            assert (math.isnan(qu) and math.isnan(ql)) or qu == ql, (r, qu, ql)
        # No NaN of its own; the lower quantile's NaN wherever it is not an
        # overflow of its arithmetic (an infinite location with a huge scale).
        assert math.isnan(ql) or not math.isnan(qu), (r, qu, ql)
        if math.isnan(ql) and not any(abs(a) >= 1e300 for a in r[1:]):
            assert math.isnan(qu), (r, qu, ql)


@pytest.mark.parametrize("x, prob, want", [
    (-1, 0.3, 1.0), (0, 0.3, 0.3), (1, 0.3, 0.0), (5, 0.3, 0.0), (0, 0.0, 0.0), (0, 1.0, 1.0),
    (0, NAN, NAN), (0, 1.5, NAN), (0, -0.1, NAN),
])
def test_pbern_upper(tail_probe, x, prob, want):
    got = tail_probe("pbern_upper", x, prob, 0)
    assert (math.isnan(got) and math.isnan(want)) or got == want
    lg = tail_probe("pbern_upper", x, prob, 1)
    assert (math.isnan(lg) and math.isnan(want)) or lg == (math.log(want) if want > 0 else -INF)


@pytest.mark.parametrize("p, prob, want", [
    (0.0, 0.3, 1.0), (0.29, 0.3, 1.0), (0.3, 0.3, 0.0), (1.0, 0.3, 0.0), (0.0, 0.0, 0.0), (1.0, 1.0, 0.0),
    (0.99, 1.0, 1.0), (NAN, 0.3, NAN), (1.5, 0.3, NAN), (0.5, NAN, NAN),
])
def test_qbern_upper(tail_probe, p, prob, want):
    """The least x with P(X > x) <= p."""
    got = tail_probe("qbern_upper", p, prob)
    assert (math.isnan(got) and math.isnan(want)) or got == want
