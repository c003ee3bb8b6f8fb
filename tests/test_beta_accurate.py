"""Accurate density, distribution and quantile functions of the beta, F,
binomial and Student t distributions against mpmath (tests/refs_beta_accurate.py):
both tails and their logarithms, densities, quantile round trips (log_p down
to -1e4), the faults of the earlier upper path, and the guards."""
import math

import pytest

from conftest import nextafter
from refs_beta_accurate import BETA, BINOM, DBETA, DBINOM, DF, DT, F, FAULTS, T

nan = float("nan")
inf = float("inf")

# family: (rows, densities, number of parameters)
FAMILIES = {"beta": (BETA, DBETA, 2), "f": (F, DF, 2), "t": (T, DT, 1), "binom": (BINOM, DBINOM, 2)}
CONTINUOUS = ["beta", "f", "t"]


def args_of(family, row, k):
    """The probe's arguments: counts of the binomial as integers."""
    head = row[:k + 1]
    return tuple(str(v) for v in head[:2]) + head[2:] if family == "binom" else head


def rel(v, e):
    return abs(v - e) / abs(e) if e else abs(v)


@pytest.mark.parametrize("family", sorted(FAMILIES))
def test_both_tails_and_logs(tail_probe, family):
    rows, _, k = FAMILIES[family]
    fn = "p%s_accurate" % family
    bad = []
    for lower, col in ((1, k + 1), (0, k + 3)):
        args = [args_of(family, r, k) for r in rows]
        values = tail_probe.many(fn, [a + (0, lower) for a in args])
        logs = tail_probe.many(fn, [a + (1, lower) for a in args])
        for a, r, v, l in zip(args, rows, values, logs):
            ref, ref_log = r[col], r[col + 1]
            if ref >= 1e-300 and rel(v, ref) > 1e-12:
                bad.append(("value", lower, a, v, ref))
            if ref_log > -inf and abs(l - ref_log) > 1e-12 * max(1, abs(ref_log)):
                bad.append(("log", lower, a, l, ref_log))
    assert not bad, bad[:5]


@pytest.mark.parametrize("family", sorted(FAMILIES))
def test_densities(tail_probe, family):
    _, dens, k = FAMILIES[family]
    fn = "d%s_accurate" % family
    args = [args_of(family, r, k) for r in dens]
    values = tail_probe.many(fn, [a + (0,) for a in args])
    logs = tail_probe.many(fn, [a + (1,) for a in args])
    bad = [(a, v, r[-2]) for a, v, r in zip(args, values, dens) if 1e-300 <= r[-2] <= 1e300 and rel(v, r[-2]) > 1e-13]
    bad += [(a, l, r[-1]) for a, l, r in zip(args, logs, dens) if abs(l - r[-1]) > 1e-13 * max(1, abs(r[-1]))]
    assert not bad, bad[:5]


@pytest.mark.parametrize("family", CONTINUOUS)
@pytest.mark.parametrize("lower", [1, 0])
@pytest.mark.parametrize("log_p", [0, 1])
def test_quantile_round_trip(tail_probe, family, lower, log_p):
    """p(q(p)) = p within 1e-12, or the doubles beside q(p) bracket p."""
    rows, _, k = FAMILIES[family]
    col = k + 1 if lower else k + 3
    cases = [(r[col + log_p],) + r[1:k + 1] for r in rows if 1e-300 <= r[col] <= 1 - 1e-16]
    qs = tail_probe.many("q%s_accurate" % family, [c + (lower, log_p) for c in cases])
    pfn = "p%s_accurate" % family
    at = tail_probe.many(pfn, [(q,) + c[1:] + (0, lower) for q, c in zip(qs, cases)])
    below = tail_probe.many(pfn, [(nextafter(q, -inf),) + c[1:] + (0, lower) for q, c in zip(qs, cases)])
    above = tail_probe.many(pfn, [(nextafter(q, inf),) + c[1:] + (0, lower) for q, c in zip(qs, cases)])
    bad = []
    for c, q, v, lo, hi in zip(cases, qs, at, below, above):
        p = math.exp(c[0]) if log_p else c[0]
        if not (rel(v, p) <= 1e-12 or min(lo, hi) <= p <= max(lo, hi)):
            bad.append((c, q, v, p))
    assert not bad, bad[:5]


@pytest.mark.parametrize("family", CONTINUOUS)
@pytest.mark.parametrize("lower", [1, 0])
@pytest.mark.parametrize("lp", [-1e4, -2000.0, -745.5, -1e-20])
def test_quantile_of_log_p_far_below_the_doubles(tail_probe, family, lower, lp):
    """With log_p, the log tail at the quantile meets log p (or the quantile
    is an end of the doubles)."""
    params = {"beta": [(2.5, 3.0), (0.1, 1e5)], "f": [(3.0, 30.0), (1e4, 0.5)], "t": [(30.0,), (1e6,)]}[family]
    pfn = "p%s_accurate" % family
    for par in params:
        q = tail_probe("q%s_accurate" % family, lp, *par, lower, 1)
        if q in (0.0, 1.0, inf, -inf) or (family == "beta" and q in (nextafter(1, 0), 5e-324)):
            continue
        l = tail_probe(pfn, q, *par, 1, lower)
        lo = tail_probe(pfn, nextafter(q, -inf), *par, 1, lower)
        hi = tail_probe(pfn, nextafter(q, inf), *par, 1, lower)
        assert abs(l - lp) <= 1e-12 * max(1, abs(lp)) or min(lo, hi) <= lp <= max(lo, hi), (par, q, l)


@pytest.mark.parametrize("lower", [1, 0])
@pytest.mark.parametrize("log_p", [0, 1])
def test_binomial_quantile_is_the_least_count(tail_probe, lower, log_p):
    """Between P(X <= x - 1) and P(X <= x) the lower quantile is x; between
    P(X > x) and P(X > x - 1) the upper one is x."""
    cases, want = [], []
    for r, d in zip(BINOM, DBINOM):
        x, n, prob, lo, _, up, _ = r
        m = d[3]
        tail = lo if lower else up
        if x == 0 or not 1e-300 <= tail <= 1 - 1e-12 or m < 1e-6 * tail:
            continue
        p = tail - m / 2 if lower else tail + m / 2
        cases.append((math.log(p) if log_p else p, str(n), prob, lower, log_p))
        want.append(float(x))
    assert len(cases) > 20
    assert tail_probe.many("qbinom_accurate", cases) == want


@pytest.mark.parametrize("fn, args, true", FAULTS)
def test_faults_of_the_earlier_upper_path(tail_probe, fn, args, true):
    v = tail_probe(fn, *args)
    assert rel(v, true) <= 1e-13, (v, true)


@pytest.mark.parametrize("family", ["t", "f"])
def test_upper_tails_at_huge_points_to_the_last_bits(tail_probe, family):
    """Far out, where the point nu/(nu + t^2) is formed from logarithms, the
    tail keeps its last bits."""
    rows, _, k = FAMILIES[family]
    cases = [r for r in rows if r[0] >= 1e10 and r[k + 3] >= 1e-300]
    assert cases
    got = tail_probe.many("p%s_accurate" % family, [r[:k + 1] + (0, 0) for r in cases])
    bad = [(r[:k + 1], v, r[k + 3]) for r, v in zip(cases, got) if rel(v, r[k + 3]) > 1e-15]
    assert not bad, bad


@pytest.mark.parametrize("fn, args, expected", [
    # log_p: a log probability above 0 or NaN, and the ends -inf and 0
    ("qbeta_accurate", (0.1, 2, 3, 1, 1), nan), ("qbeta_accurate", (-inf, 2, 3, 1, 1), 0),
    ("qbeta_accurate", (0.0, 2, 3, 0, 1), 0), ("qf_accurate", (-inf, 2, 3, 0, 1), inf),
    ("qbeta_accurate", (0.25, 1e-300, 0.5, 0, 0), 0),  # a tiny shape: the quantile underflows (was NaN)
    ("qt_accurate", (-inf, 3, 1, 1), -inf), ("qt_accurate", (0.0, 3, 1, 1), inf), ("qt_accurate", (nan, 3, 1, 1), nan),
    ("qt_accurate", (0.5, 0.5, 1, 0), 0), ("qbinom_accurate", (1.0, "10", 0.0, 1, 0), 0),
    ("qbinom_accurate", (0.0, "10", 0.3, 1, 1), 10), ("qbinom_accurate", (-inf, "10", 0.3, 0, 1), 10),
    ("qbinom_accurate", (0.5, "10", 0.3, 1, 0), 3), ("qbinom_accurate", (0.5, "10", 0.3, 0, 0), 3),
    # lower tails at the ends of the support and of degenerate shapes
    ("pbeta_accurate", (0.3, 0, 2, 0, 1), 1), ("pbeta_accurate", (0.3, 0, 0, 1, 1), math.log(0.5)),
    ("pbeta_accurate", (0.7, inf, inf, 0, 1), 1), ("pf_accurate", (1, inf, inf, 0, 1), 0.5),
    ("pbinom_accurate", ("10", "10", 0.3, 0, 1), 1), ("pbinom_accurate", ("-1", "10", 0.3, 1, 1), -inf),
    ("pbinom_accurate", ("3", "10", 0, 0, 1), 1), ("pbinom_accurate", ("3", "10", 1, 0, 1), 0),
    ("pt_accurate", (-inf, 3, 0, 1), 0), ("pt_accurate", (0, 3, 1, 1), math.log(0.5)),
    # densities at the ends and at infinite degrees of freedom
    ("dbeta_accurate", (0, 1, 2.5, 0), 2.5), ("dbeta_accurate", (1, 2, 0.5, 0), inf),
    ("dbeta_accurate", (1, 2, 3, 1), -inf),
    ("df_accurate", (0, 2, 3, 0), 1), ("df_accurate", (0, 3, 3, 1), -inf), ("dt_accurate", (inf, 3, 0), 0),
    ("dbinom_accurate", ("0", "10", 0, 0), 1), ("dbinom_accurate", ("11", "10", 0.5, 1), -inf),
    ("dbinom_accurate", ("3", "-1", 0.5, 0), nan), ("dt_accurate", (1, 0, 0), nan),
])
def test_special_values(tail_probe, fn, args, expected):
    v = tail_probe(fn, *args)
    same_sign = math.copysign(1, v) == math.copysign(1, expected)
    assert (math.isnan(v) and math.isnan(expected)) or (v == expected and same_sign), v


def test_cost_does_not_grow_with_the_parameters(tail_probe):
    """Shapes near 2^53 at their mean: values, not a sum over n terms (the
    probe would time out)."""
    for n in (2 ** 52, 2 ** 53):
        v = tail_probe("pbinom_accurate", str(n // 2), str(n), 0.5, 0, 1)
        assert 0.5 < v < 0.5 + 1e-7
        assert tail_probe("qbinom_accurate", 0.5, str(n), 0.5, 1, 0) == n // 2
    assert tail_probe("pbeta_accurate", 0.5, 1e16, 1e16, 0, 0) == 0.5


def test_namespace_and_top_level_upper_tails():
    """zorvana.accurate gives these values, and the top level's upper tails are its own."""
    import numpy as np
    import zorvana
    import zorvana.accurate as za
    x, a, b, lo, _, up, _ = BETA[len(BETA) // 2]
    assert rel(za.pbeta(x, a, b), lo) <= 1e-12 and rel(za.pbeta(x, a, b, lower_tail=False), up) <= 1e-12
    xs = np.array([r[0] for r in T])
    nus = np.array([r[1] for r in T])
    for name, args in [("pt", (xs, nus)), ("pf", (np.array([r[0] for r in F]), np.array([r[1] for r in F]),
                                                   np.array([r[2] for r in F])))]:
        top = getattr(zorvana, name)(*args, lower_tail=False)
        ours = getattr(za, name)(*args, lower_tail=False)
        assert np.array_equal(top, ours, equal_nan=True)
