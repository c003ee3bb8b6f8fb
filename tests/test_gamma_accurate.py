"""The accurate gamma, inverse-gamma, chi-squared and Poisson functions:
densities, both tails and their logarithms against mpmath references
(tests/refs_gamma_accurate.py, written by tools/refs_gamma_accurate.py) over
shapes and rates from 1e-10 to 1e15; quantiles of both tails from p and from
log p (down to -1e4) by round trips; the discrete quantile's definition; the
upper tails of the top level as the same functions."""
import math

import numpy as np
import pytest

import zorvana
from refs_gamma_accurate import ROWS

TIGHT = 2e-14  # what the functions achieve on the reference points (the targets: 1e-13, 1e-12)
FAMILIES = ["gamma", "invgamma", "chisq", "pois"]


def rel(v, ref):
    return abs(v - ref) / abs(ref) if ref != 0 else abs(v)


def log_err(v, ref):
    if v == ref:
        return 0.0
    return abs(v - ref) / max(1.0, abs(ref)) if math.isfinite(ref) else math.inf


@pytest.mark.parametrize("fam", FAMILIES)
def test_densities_and_tails_against_references(tail_probe, fam):
    """Values where they lie in [1e-300, 1e300] to relative error, logarithms
    (finite far below the doubles) to error relative to max(1, |log|)."""
    rows = [r for r in ROWS if r[0] == fam]
    calls = []
    for _, args, *_ in rows:
        calls += [("d%s_accurate" % fam, args + (log,)) for log in (0, 1)]
        calls += [("p%s_accurate" % fam, args + (log, lower)) for lower in (1, 0) for log in (0, 1)]
    got = [float.fromhex(v) for v in tail_probe.raw(calls)]
    bad = []
    for i, (_, args, *refs) in enumerate(rows):
        d, ld, lo, up, llo, lup = refs
        values = got[6 * i:6 * i + 6]
        for v, ref, is_log in zip(values, (d, ld, lo, llo, up, lup), (0, 1, 0, 1, 0, 1)):
            err = log_err(v, ref) if is_log else (rel(v, ref) if 1e-300 <= ref <= 1e300 else 0.0)
            if err > TIGHT:
                bad.append((args, v, ref))
    assert bad == []


def neighbours(x):
    return float(np.nextafter(x, -np.inf)), float(np.nextafter(x, np.inf))


QUANTILE_PARAMS = [("gamma", (1e-10, 1.0)), ("gamma", (0.3, 2.5)), ("gamma", (1.0, 1.0)), ("gamma", (33.3, 0.37)),
                   ("gamma", (1e6, 1.0)), ("gamma", (1e15, 6e3)), ("invgamma", (1e-10, 1.0)),
                   ("invgamma", (0.3, 2.5)), ("invgamma", (2.0, 1e-15)), ("invgamma", (33.3, 0.37)),
                   ("invgamma", (1e15, 6e3)), ("chisq", (1e-10,)), ("chisq", (0.6,)), ("chisq", (66.6,)),
                   ("chisq", (2e15,))]
PROBS = [1e-300, 1e-120, 1e-9, 0.01, 0.4, 0.5, 0.9, 1 - 1e-9, 1 - 1e-16]
LOG_PROBS = [-1e4, -745.5, -50.0, -0.7, -1e-3, -1e-20]


@pytest.mark.parametrize("fam,params", QUANTILE_PARAMS)
def test_quantile_round_trips(tail_probe, fam, params):
    """Both tails, from p and from log p: the tail's logarithm at the quantile
    is within 1e-12 (relative to max(1, |log p|)) of log p, or the
    quantile's neighbours bracket it."""
    bad = []
    for lower in (1, 0):
        for log_p, ps in ((0, PROBS), (1, LOG_PROBS)):
            qs = tail_probe.many("q%s_accurate" % fam, [(p,) + params + (lower, log_p) for p in ps])
            rows = [(x,) + params + (1, lower) for q in qs for x in (q,) + neighbours(q)]
            logs = tail_probe.many("p%s_accurate" % fam, rows)
            for i, (p, q) in enumerate(zip(ps, qs)):
                target = p if log_p else math.log(p)
                at, below, above = logs[3 * i:3 * i + 3]
                if not (log_err(at, target) <= 1e-12 or min(below, above) <= target <= max(below, above)):
                    bad.append((lower, log_p, p, q, at))
    assert bad == []


@pytest.mark.parametrize("rate", [1e-12, 0.3, 7.0, 150.5, 1e4, 1e15])
def test_poisson_quantile_is_the_least_count(tail_probe, rate):
    """The least x with P(X <= x) >= p (lower) or P(X > x) <= p (upper), from p
    and from log p, judged on the tail at most 1/2 (P(X <= x) >= p is
    P(X > x) <= 1 - p)."""
    cases = [(p, 0) for p in PROBS] + [(lp, 1) for lp in LOG_PROBS]
    bad = []
    for lower in (1, 0):
        qs = tail_probe.many("qpois_accurate", [(p, rate, lower, log_p) for p, log_p in cases])
        for (p, log_p), q in zip(cases, qs):
            small = (math.exp(p) if log_p else p) <= 0.5
            use_upper = small != lower
            t = (p if log_p else math.log(p)) if small else (math.log(-math.expm1(p)) if log_p else math.log1p(-p))
            k = int(q)
            at, below = tail_probe.many("ppois_accurate", [(k, rate, 1, int(not use_upper)),
                                                           (k - 1, rate, 1, int(not use_upper))])
            ok = (at <= t < below) if use_upper else (at >= t > below)
            if not ok:
                bad.append((lower, p, log_p, q, at, below))
    assert bad == []


def test_issue_faults(tail_probe):
    """The inverse-gamma tail whose argument scale / x falls below the
    doubles (or their normal range), and the issue's everyday examples."""
    v = tail_probe("pinvgamma_accurate", 1e300, 0.1, 1e-100, 0, 0)
    assert rel(v, 1.0511370061117725e-40) < 1e-13
    assert rel(tail_probe("pinvgamma_accurate", 1e300, 0.1, 1e-100, 1, 0), -92.05353127850199) < 1e-13
    assert rel(tail_probe("pinvgamma_upper", 1e300, 0.1, 1e-15, 0), 3.3239870722035346e-32) < 1e-13
    assert tail_probe("qinvgamma_accurate", v, 0.1, 1e-100, 0, 0) == pytest.approx(1e300, rel=1e-12)
    assert tail_probe("qchisq_accurate", 0.99999, 100, 1, 0) == pytest.approx(172.09894203615855, rel=1e-14)
    assert tail_probe("qpois_accurate", 1e-5, 50, 1, 0) == 23
    assert tail_probe("ppois_accurate", 16, 50, 0, 1) == pytest.approx(2.0424168906349247e-08, rel=1e-14)


@pytest.mark.parametrize("call,expected", [
    (("dgamma_accurate", 0, 1, 4, 0), 0.25), (("dgamma_accurate", 0, 0.5, 1, 0), math.inf),
    (("dgamma_accurate", -1, 2, 1, 1), -math.inf), (("dchisq_accurate", 0, 2, 1), -math.log(2)),
    (("dinvgamma_accurate", 0, 2, 1, 0), 0.0), (("dpois_accurate", 0, 3, 1), -3.0),
    (("dpois_accurate", 2, 0, 0), 0.0), (("dinvgamma_accurate", 1e-300, 1e-10, 1e10, 1), -math.inf),
    (("pgamma_accurate", 0, 2, 1, 0, 1), 0.0), (("pgamma_accurate", math.inf, 2, 1, 1, 1), 0.0),
    (("pinvgamma_accurate", 0, 2, 1, 0, 1), 0.0), (("pchisq_accurate", 1, 0, 0, 1), 1.0),
    (("ppois_accurate", -1, 2, 1, 1), -math.inf), (("ppois_accurate", 3, 0, 0, 1), 1.0),
    (("qgamma_accurate", 0, 2, 1, 1, 0), 0.0), (("qgamma_accurate", 0, 2, 1, 1, 1), math.inf),
    (("qgamma_accurate", -math.inf, 2, 1, 0, 1), math.inf), (("qinvgamma_accurate", 1, 2, 1, 1, 0), math.inf),
    (("qchisq_accurate", 0.5, 0, 1, 0), 0.0), (("qpois_accurate", 1, 2, 1, 0), math.inf),
    (("qpois_accurate", -math.inf, 2, 1, 1), 0.0), (("qpois_accurate", 0.5, 0, 0, 0), 0.0),
    (("qgamma_accurate", 0.1, 2, 1, 1, 1), math.nan), (("qpois_accurate", 1.5, 2, 1, 0), math.nan),
])
def test_limits(tail_probe, call, expected):
    v = tail_probe(*call)
    assert (math.isnan(v) and math.isnan(expected)) or v == expected


@pytest.mark.parametrize("fam", FAMILIES)
def test_top_level_upper_tails_are_the_accurate_ones(tail_probe, fam):
    """lower_tail=False at the top level gives the accurate functions' bits."""
    rows = [r[1] for r in ROWS if r[0] == fam]
    p = getattr(zorvana, "p" + fam)
    q = getattr(zorvana, "q" + fam)
    for log_p in (False, True):
        got = [float(p(*args, log_p=log_p, lower_tail=False)) for args in rows]
        assert got == tail_probe.many("p%s_accurate" % fam, [args + (int(log_p), 0) for args in rows])
    probs = [1e-200, 1e-7, 0.3, 0.8]
    params = rows[len(rows) // 2][1:]
    got = [float(q(pr, *params, lower_tail=False)) for pr in probs]
    assert got == tail_probe.many("q%s_accurate" % fam, [(pr,) + params + (0, 0) for pr in probs])


@pytest.mark.parametrize("fam", FAMILIES)
def test_accurate_namespace(tail_probe, fam):
    """zorvana.accurate gives the accurate functions' bits: densities, both
    tails, quantiles from p and from log p."""
    import zorvana.accurate as za
    rows = [r[1] for r in ROWS if r[0] == fam][::3]
    d, p, q = (getattr(za, k + fam) for k in "dpq")
    for log in (False, True):
        got = [float(d(*args, log=log)) for args in rows]
        assert got == tail_probe.many("d%s_accurate" % fam, [args + (int(log),) for args in rows])
        for lower in (False, True):
            got = [float(p(*args, log_p=log, lower_tail=lower)) for args in rows]
            assert got == tail_probe.many("p%s_accurate" % fam, [args + (int(log), int(lower)) for args in rows])
            probs = LOG_PROBS if log else PROBS
            params = rows[len(rows) // 2][1:]
            got = [float(q(pr, *params, lower_tail=lower, log_p=log)) for pr in probs]
            assert got == tail_probe.many("q%s_accurate" % fam, [(pr,) + params + (int(lower), int(log)) for pr in probs])


SPECIALS = [math.nan, -math.inf, -1.0, 0.0, 1e-310, 1e-20, 0.7, 3.0, 1e6, math.inf]


@pytest.mark.parametrize("fam,nparams", [("gamma", 2), ("invgamma", 2), ("chisq", 1), ("pois", 1)])
def test_nan_exactly_where_the_prescribed_functions_give_nan(tail_probe, fam, nparams):
    """Over a grid of special arguments the accurate p- (both tails) and
    q-functions (both tails) are NaN exactly where the top level's defaults
    are, the densities only where those are (the defaults' arithmetic also
    gives NaN at some valid points, such as dgamma(1e-20, 1e-20, 1))."""
    import itertools
    grid = list(itertools.product(SPECIALS, repeat=nparams))
    xs = [-1, 0, 3, 40] if fam == "pois" else SPECIALS
    x_rows = [(x,) + g for x in xs for g in grid]
    q_rows = [(p,) + g for p in (math.nan, -0.5, 0.0, 1e-300, 0.25, 1.0, 1.5) for g in grid]
    checks = [("d", x_rows, [r + (0,) for r in x_rows])]
    checks += [("p", x_rows, [r + (0, lower) for r in x_rows]) for lower in (0, 1)]
    checks += [("q", q_rows, [r + (lower, 0) for r in q_rows]) for lower in (0, 1)]
    mismatch = []
    for kind, rows, calls in checks:
        ref = getattr(zorvana, kind + fam)
        got = tail_probe.many("%s%s_accurate" % (kind, fam), calls)
        mismatch += [(kind, r, v) for r, v in zip(rows, got) if math.isnan(v) != math.isnan(float(ref(*r)))]
    assert [m for m in mismatch if m[0] != "d" or math.isnan(m[2])] == []
