"""Upper tails of the beta, F, binomial and Student t distributions: accuracy
against mpmath (tests/refs_beta_tails.py), their logarithms far below the
smallest double, continuity where the algorithms switch, round trips through
the quantiles, and the guards."""
import math

import pytest

from refs_beta_tails import BETA, BINOM, F, LOG_ONLY, QBINOM, T
from conftest import nextafter

TOL = 1e-12
# Tails below 1e-100, whose prefactor exponent is carried in double-double:
# the t and F points (x = nu/(nu + t^2) and the like) are carried beyond
# their doubles too, except past t^2 or d1 x ~ 2^960, where they go through
# logarithms rounded to double (amplified by the steep tail).
DEEP = 1e-100
DEEP_TOL = {"beta": 1e-14, "binom": 1e-14, "t": 5e-14, "f": 1e-13}

# family: (p-function, q-function, reference rows, number of parameters)
CONTINUOUS = {
    "beta": ("pbeta_upper", "qbeta_upper", BETA, 2),
    "t": ("pt_upper", "qt_upper", T, 1),
    "f": ("pf_upper", "qf_upper", F, 2),
}


def rel(v, e):
    return abs(v - e) / abs(e)


def rows_of(family):
    if family == "binom":
        return "pbinom_upper", [(str(r[0]), str(r[1]), r[2]) for r in BINOM], [r[3:] for r in BINOM]
    fn, _, rows, k = CONTINUOUS[family]
    return fn, [r[:k + 1] for r in rows], [r[k + 1:] for r in rows]


@pytest.mark.parametrize("family", ["beta", "t", "f", "binom"])
def test_tail_and_log_against_mpmath(tail_probe, family):
    fn, args, refs = rows_of(family)
    values = tail_probe.many(fn, [a + (0,) for a in args])
    logs = tail_probe.many(fn, [a + (1,) for a in args])
    tol = [DEEP_TOL[family] if r[0] < DEEP else TOL for r in refs]
    bad = [(a, v, r) for a, v, r, t in zip(args, values, refs, tol) if rel(v, r[0]) > t]
    assert not bad, bad[:5]
    bad = [(a, l, r) for a, l, r in zip(args, logs, refs) if rel(l, r[1]) > TOL]
    assert not bad, bad[:5]


def test_log_far_below_the_smallest_double(tail_probe):
    """The logarithms stay finite and accurate where the tails underflow."""
    for fn, args, ref in LOG_ONLY:
        args = tuple(str(a) for a in args) if fn == "pbinom_upper" else args
        v = tail_probe(fn, *(args + (1,)))
        assert rel(v, ref) <= TOL, (fn, args, v, ref)
        if ref < -746:
            assert tail_probe(fn, *(args + (0,))) == 0


@pytest.mark.parametrize("family", sorted(CONTINUOUS))
def test_round_trip(tail_probe, family):
    """p(q(p)) = p within 1e-12, or as near as the doubles around q(p) allow."""
    pfn, qfn, rows, k = CONTINUOUS[family]
    cases = [(r[k + 1],) + r[1:k + 1] for r in rows if r[k + 1] <= 0.5]
    qs = tail_probe.many(qfn, cases)
    back = tail_probe.many(pfn, [(q,) + c[1:] + (0,) for q, c in zip(qs, cases)])
    up = tail_probe.many(pfn, [(nextafter(q, math.inf),) + c[1:] + (0,) for q, c in zip(qs, cases)])
    for c, q, b, u in zip(cases, qs, back, up):
        p = c[0]
        assert abs(b - p) <= max(TOL * p, abs(u - b)), (qfn, c, q, b)


@pytest.mark.parametrize("nu", [0.5, 1.0, 2.0, 2.5, 5.0, 30.0, 1e3, 1e6])
def test_t_quantile_round_trip_across_starts(tail_probe, nu):
    """The t quantile's closed forms and its iteration from each of its starts
    (series at the median, the centre's and the tail's sides of 1/4, the
    power law, the normal quantile) land on the tail."""
    ps = [0.4999999, 0.3, 0.25, 0.2499, 1e-3, 1e-12, 1e-40, 1e-150, 1e-300]
    qs = tail_probe.many("qt_upper", [(p, nu) for p in ps])
    cases = [(p, q) for p, q in zip(ps, qs) if q < math.inf]
    back = tail_probe.many("pt_upper", [(q, nu, 0) for _, q in cases])
    up = tail_probe.many("pt_upper", [(nextafter(q, math.inf), nu, 0) for _, q in cases])
    for (p, q), b, u in zip(cases, back, up):
        assert abs(b - p) <= max(TOL * p, abs(u - b)), (nu, p, q, b)


def test_binomial_quantile(tail_probe):
    qs = tail_probe.many("qbinom_upper", [(p, str(n), prob) for p, n, prob, _ in QBINOM])
    assert qs == [float(k) for *_, k in QBINOM]


@pytest.mark.parametrize("fn, params, switch", [
    # where the continued fraction changes sides: x = (a + 1)/(a + b + 2)
    ("pbeta_upper", (3.0, 900.0), 4 / 905),
    ("pbeta_upper", (1000.0, 1000.0), 0.5),
    ("pbeta_upper", (0.1, 0.1), 0.5),
    ("pbeta_upper", (1000.0, 0.1), 1001 / 1002.1),
    # t: nu/(nu + t^2) = (nu/2 + 1)/(nu/2 + 5/2), t^2 = 3 nu/(nu + 2)
    ("pt_upper", (1e6,), math.sqrt(3e6 / (1e6 + 2))),
    ("pt_upper", (3.0,), math.sqrt(9 / 5)),
    # F: u = (d1/2 + 1)/(d1/2 + d2/2 + 2), x = d2 u / (d1 (1 - u))
    ("pf_upper", (10.0, 40.0), 40 * 6 / (10 * 21)),
    # where the point is formed from logarithms, and where the power law takes over (2^-900)
    ("pt_upper", (3.0,), math.sqrt(3.0) * math.exp(310)),
    ("pt_upper", (3.0,), math.sqrt(3.0) * 2.0 ** 450),
    ("pf_upper", (4.0, 6.0), 1.5 * math.exp(620)),
    ("pf_upper", (4.0, 6.0), 1.5 * 2.0 ** 900),
])
def test_continuous_across_switches(tail_probe, fn, params, switch):
    """Around each switch the tail falls monotonically, by no more per ulp of
    its argument than its own slope allows."""
    xs = [switch]
    for _ in range(6):
        xs = [nextafter(xs[0], 0)] + xs + [nextafter(xs[-1], math.inf)]
    logs = tail_probe.many(fn, [(x,) + params + (1,) for x in xs])
    steps = [b - a for a, b in zip(logs, logs[1:])]
    noise = [1e-14 * max(1, abs(l)) for l in logs]
    assert all(s <= n for s, n in zip(steps, noise)), steps
    # the slope per ulp, from the widest stretch, bounds every single step
    mean = (logs[-1] - logs[0]) / (len(xs) - 1)
    assert all(abs(s) <= 3 * abs(mean) + n for s, n in zip(steps, noise)), steps


def test_binomial_upper_and_lower_add_to_one(tail_probe):
    """P(X > x) + P(X <= x) = 1, within the accuracy of the prescribed lower
    tail (which sums masses; at large n it drifts further)."""
    import zorvana
    for k, n, prob in [(3, 20, 0.3), (10, 20, 0.3), (5, 1000, 0.01), (990, 1000, 0.99)]:
        upper = tail_probe("pbinom_upper", str(k), str(n), prob, 0)
        assert abs((upper + zorvana.pbinom(k, n, prob)) - 1) <= 1e-12


nan = float("nan")
inf = float("inf")


@pytest.mark.parametrize("fn, args, expected", [
    # invalid or NaN parameters, as the lower tails
    ("pbeta_upper", (0.5, -1, 2, 0), nan), ("pbeta_upper", (nan, 1, 2, 0), nan), ("qbeta_upper", (1.5, 2, 3), nan),
    ("pf_upper", (1, 0, 3, 0), nan), ("qf_upper", (0.5, 3, nan), nan), ("pt_upper", (1, 0, 0), nan),
    ("qt_upper", (-0.1, 3), nan), ("pbinom_upper", ("1", "-1", 0.5, 0), nan), ("pbinom_upper", ("1", "3", 1.5, 0), nan),
    ("qbinom_upper", (0.5, "3", inf), nan), ("qbinom_upper", (nan, "3", 0.5), nan),
    # ends of the support and of the probabilities
    ("pbeta_upper", (0, 2, 3, 0), 1), ("pbeta_upper", (1, 2, 3, 1), -inf), ("qbeta_upper", (0, 2, 3), 1),
    ("qbeta_upper", (1, 2, 3), 0), ("pf_upper", (0, 2, 3, 0), 1), ("pf_upper", (inf, 2, 3, 0), 0),
    ("qf_upper", (0, 2, 3), inf), ("qf_upper", (1, 2, 3), 0), ("pt_upper", (-inf, 3, 0), 1), ("pt_upper", (0, 3, 0), 0.5),
    ("qt_upper", (0, 3), inf), ("qt_upper", (1, 3), -inf), ("qt_upper", (0.5, 3), 0),
    ("pbinom_upper", ("-1", "10", 0.3, 0), 1), ("pbinom_upper", ("10", "10", 0.3, 0), 0),
    ("qbinom_upper", (0, "10", 0.3), 10), ("qbinom_upper", (1, "10", 0.3), 0), ("qbinom_upper", (0.5, "10", 0), 0),
    ("qbinom_upper", (0.5, "10", 1), 10),
    # degenerate shapes: the complement of the lower tail's point masses
    ("pbeta_upper", (0.3, 0, 2, 0), 0), ("pbeta_upper", (0.3, 2, 0, 0), 1), ("pbeta_upper", (0.3, 0, 0, 0), 0.5),
    ("pbeta_upper", (0.3, inf, inf, 0), 1), ("pbeta_upper", (0.7, inf, inf, 0), 0), ("qbeta_upper", (0.3, 0, 0), 1),
    ("qbeta_upper", (0.7, 0, 0), 0), ("qbeta_upper", (0.3, inf, 2), 1),
    ("pf_upper", (0.5, inf, inf, 0), 1), ("pf_upper", (1, inf, inf, 0), 0.5), ("qf_upper", (0.3, inf, inf), 1),
])
def test_special_values(tail_probe, fn, args, expected):
    v = tail_probe(fn, *args)
    assert (math.isnan(v) and math.isnan(expected)) or v == expected


@pytest.mark.parametrize("x, nu", [(0.5, 3.0), (4.0, 30.0), (1e-3, 1e6)])
def test_t_below_the_median(tail_probe, x, nu):
    """P(T > -x) = 1 - P(T > x), and the quantiles mirror each other."""
    up = tail_probe("pt_upper", x, nu, 0)
    assert abs(tail_probe("pt_upper", -x, nu, 0) - (1 - up)) <= 2e-16
    p = 0.25  # 1 - p exact
    assert tail_probe("qt_upper", 1 - p, nu) == -tail_probe("qt_upper", p, nu)


@pytest.mark.parametrize("nu", [1e20, 1e100, 1e200, 1e300])
def test_t_at_huge_dof_is_the_normal(tail_probe, nu):
    """No NaN where nu + t^2 loses the prefactor: the normal tail, to 1e-13."""
    for t in [0.5, 3.0, 30.0]:
        got = tail_probe("pt_upper", t, nu, 1)
        assert abs(got / tail_probe("pnorm_upper", t, 0, 1, 1) - 1) <= 1e-13
    assert abs(tail_probe("qt_upper", 1e-5, nu) / tail_probe("qnorm_upper", 1e-5, 0, 1) - 1) <= 1e-13
