"""Upper tails of the gamma, inverse-gamma, chi-squared and Poisson
distributions and the accurate incomplete gamma kernels beneath them: values
and logarithms against mpmath references (tests/refs_gamma_tails.py, written
by tools/refs_gamma_tails.py), the switches between the kernel's algorithms,
round trips through the quantiles, and the special arguments."""
import math

import pytest

import zorvana
from refs_gamma_tails import DEEP, FAMILY, KERNEL, SWITCH

INF = float("inf")
NAN = float("nan")
TOL = 1e-12     # the target for tails and round trips
TIGHT = 5e-14   # what the kernels achieve on the reference points
TINY = 1e-300


def rel(v, ref):
    return abs(v - ref) / abs(ref) if ref != 0 else abs(v)


@pytest.mark.parametrize("table", ["kernel", "switch"])
def test_kernel_ratios(tail_probe, table):
    """P, Q and their logarithms, from 0.5 down to 1e-300 and at pairs of
    doubles straddling each switch between the algorithms (which so meet
    without a step), well within the 1e-12 target."""
    rows = KERNEL if table == "kernel" else SWITCH
    tol = TIGHT
    names = ("gamma_p", "gamma_q", "log_gamma_p", "log_gamma_q")
    got = {n: tail_probe.many(n, [(a, x) for a, x, *_ in rows]) for n in names}
    bad = []
    for i, (a, x, *refs) in enumerate(rows):
        for n, ref in zip(names, refs):
            if not n.startswith("log") and ref < TINY:
                continue
            if rel(got[n][i], ref) > tol:
                bad.append((n, a, x, got[n][i], ref))
    assert not bad


def test_log_ratios_far_below_the_doubles(tail_probe):
    for a, x, log_p, log_q in DEEP:
        for name, ref in (("log_gamma_p", log_p), ("log_gamma_q", log_q)):
            v = tail_probe(name, a, x)
            assert math.isfinite(v) and rel(v, ref) <= TIGHT, (name, a, x, v, ref)


@pytest.mark.parametrize("name", ["pgamma_upper", "pinvgamma_upper", "pchisq_upper", "ppois_upper"])
def test_family_upper_tails(tail_probe, name):
    """Each family's upper tail and its log against the references, the
    issue's chi-squared examples among them."""
    rows = [r for r in FAMILY if r[0] == name]
    assert rows
    values = tail_probe.many(name, [args + (0,) for _, args, _, _ in rows])
    logs = tail_probe.many(name, [args + (1,) for _, args, _, _ in rows])
    bad = [(args, v, ref) for (_, args, ref, _), v in zip(rows, values) if ref >= TINY and rel(v, ref) > TIGHT]
    bad += [(args, lv, lref) for (_, args, _, lref), lv in zip(rows, logs) if rel(lv, lref) > TIGHT]
    assert not bad


def test_issue_examples(tail_probe):
    assert tail_probe("pchisq_upper", 60, 20, 0) == pytest.approx(7.121750862815577e-06, rel=1e-15)
    assert tail_probe("pchisq_upper", 200, 50, 0) == pytest.approx(7.857610724654744e-20, rel=1e-15)
    assert math.isfinite(tail_probe("pchisq_upper", 1e5, 10, 1))


PROBS = [0.5, 0.1, 1e-6, 1e-20, 1e-100, 1e-250, 1e-300]


@pytest.mark.parametrize("family,params", [
    ("gamma", (0.1, 1.0)), ("gamma", (1.0, 3.3)), ("gamma", (7.5, 0.25)), ("gamma", (250.5, 1.0)),
    ("gamma", (3e4, 0.7)), ("gamma", (1e5, 1.0)),
    ("invgamma", (0.1, 1.0)), ("invgamma", (2.5, 3.3)), ("invgamma", (40.0, 1.0)), ("invgamma", (1e5, 2.0)),
    ("chisq", (0.5,)), ("chisq", (3.0,)), ("chisq", (41.0,)), ("chisq", (1e5,)),
])
def test_round_trips(tail_probe, family, params):
    """p(q(p)) = p to 1e-12 from 0.5 down to 1e-300 (where the quantile is a
    double above the subnormals), and the quantile is the double nearest the
    root: the error is within a unit in its last place times the elasticity
    |d log p / d log q| (measured by a difference quotient)."""
    qs = tail_probe.many("q%s_upper" % family, [(p,) + params for p in PROBS])
    rows = [(p, q) for p, q in zip(PROBS, qs) if 1e-300 < q < INF]
    assert len(rows) >= 3
    name = "p%s_upper" % family
    back = tail_probe.many(name, [(q,) + params + (0,) for _, q in rows])
    logs = tail_probe.many(name, [(q,) + params + (1,) for _, q in rows])
    moved = tail_probe.many(name, [(q * (1 + 1e-7),) + params + (1,) for _, q in rows])
    bad = []
    for (p, q), b, lp, lm in zip(rows, back, logs, moved):
        elasticity = abs(lm - lp) / 1e-7
        if rel(b, p) > min(TOL, 1e-14 + elasticity * 2.0 ** -52):
            bad.append((p, q, b, elasticity))
    assert bad == []


@pytest.mark.parametrize("rate", [1e-12, 0.3, 7.0, 150.5, 1e5])
def test_poisson_quantile_is_the_least_count(tail_probe, rate):
    """qpois_upper gives the least x with P(X > x) <= p, by a bounded search
    (counts far from the start, such as tiny p at small rates, included)."""
    probs = PROBS + [0.9, 0.999999, 0.3]
    qs = tail_probe.many("qpois_upper", [(p, rate) for p in probs])
    at = tail_probe.many("ppois_upper", [(q, rate, 0) for q in qs])
    below = tail_probe.many("ppois_upper", [(q - 1, rate, 0) for q in qs])
    assert all(a <= p < b for p, a, b in zip(probs, at, below)), list(zip(probs, qs, at, below))


@pytest.mark.parametrize("x,rate", [(0, 0.5), (3, 2.0), (12, 9.5)])
def test_poisson_tails_sum_to_one(tail_probe, x, rate):
    assert tail_probe("ppois_upper", x, rate, 0) + zorvana.ppois(x, rate) == pytest.approx(1, abs=1e-15)


SPECIALS = [NAN, -INF, -1.0, 0.0, 1e-310, 1e-20, 0.7, 3.0, 1e6, INF]


@pytest.mark.parametrize("name,nparams", [("gamma", 2), ("invgamma", 2), ("chisq", 1), ("pois", 1)])
def test_nan_exactly_where_the_lower_tail_gives_nan(tail_probe, name, nparams):
    """Over a grid of special arguments the upper tail and the quantile are
    NaN exactly where the lower-tail functions are."""
    import itertools
    lower_p, lower_q = getattr(zorvana, "p" + name), getattr(zorvana, "q" + name)
    grid = [g for g in itertools.product(SPECIALS, repeat=nparams)]
    xs = [-1, 0, 3, 40] if name == "pois" else SPECIALS
    p_rows = [(x,) + g for x in xs for g in grid]
    q_rows = [(p,) + g for p in (NAN, -0.5, 0.0, 1e-300, 0.25, 1.0, 1.5) for g in grid]
    upper_p = tail_probe.many("p%s_upper" % name, [r + (0,) for r in p_rows])
    upper_q = tail_probe.many("q%s_upper" % name, q_rows)
    for rows, upper, lower in ((p_rows, upper_p, lower_p), (q_rows, upper_q, lower_q)):
        mismatch = [(r, u) for r, u in zip(rows, upper) if math.isnan(u) != math.isnan(float(lower(*r)))]
        assert mismatch == []


@pytest.mark.parametrize("call,expected", [
    (("pgamma_upper", -1, 2, 1, 0), 1.0), (("pgamma_upper", 0, 2, 1, 0), 1.0), (("pgamma_upper", INF, 2, 1, 0), 0.0),
    (("pgamma_upper", 1, 0, 1, 0), 0.0), (("pgamma_upper", 1e-300, 0.1, 1, 0), 1.0 - 1.9e-30),
    (("qgamma_upper", 0, 2, 1), INF), (("qgamma_upper", 1, 2, 1), 0.0),
    (("pinvgamma_upper", 0, 2, 1, 0), 1.0), (("pinvgamma_upper", INF, 2, 1, 0), 0.0),
    (("qinvgamma_upper", 0, 2, 1), INF), (("qinvgamma_upper", 1, 2, 1), 0.0),
    (("pchisq_upper", 0, 3, 0), 1.0), (("pchisq_upper", 1, 0, 0), 0.0), (("pchisq_upper", 1e5, 10, 0), 0.0),
    (("qchisq_upper", 0, 3), INF), (("qchisq_upper", 1, 3), 0.0), (("qchisq_upper", 0.5, 0), 0.0),
    (("ppois_upper", -1, 2, 0), 1.0), (("ppois_upper", 0, 0, 0), 0.0), (("ppois_upper", 5, INF, 0), 1.0),
    (("qpois_upper", 0, 2), INF), (("qpois_upper", 1, 2), 0.0), (("qpois_upper", 0.5, 0), 0.0),
    (("qpois_upper", 1e-30, 1e-20), 1.0),
    # shapes near the top of the doubles
    (("pgamma_upper", 1e308, 1.7e308, 1, 0), 1.0), (("pchisq_upper", 1.7e308, 1.7e308, 1), -math.log(2)),
])
def test_limits(tail_probe, call, expected):
    """The ends of the supports, degenerate parameters, and values the
    lower-tail functions round to their limits (tiny x, tiny rates) but the
    upper tails compute."""
    v = tail_probe(*call)
    assert v == pytest.approx(expected, rel=1e-3, abs=0) if expected not in (0.0, INF) else v == expected
