"""The keyword-only ncp of the chi-squared, beta, F and t functions and the
studentized range (ptukey, qtukey): mpmath references, ncp = 0 the central
function bit for bit, both namespaces the same, quantiles that round-trip."""
import inspect
import math

import numpy as np
import pytest

import zorvana as zv
import zorvana.accurate as za
from refs_noncentral import NONCENTRAL, TUKEY
from test_calling import same_bits

INF, NAN = math.inf, math.nan
FAMS = {"chisq": 1, "beta": 2, "f": 2, "t": 1}


def rel(v, ref):
    return 0.0 if v == ref else abs(v - ref) / abs(ref)


@pytest.mark.parametrize("row", NONCENTRAL, ids=lambda r: "%s%r" % (r[0], r[1:-5]))
def test_against_mpmath(row):
    fam, x, *params, ncp = row[:-5]
    log_dens, lower, upper, log_lower, log_upper = row[-5:]
    d, p = getattr(zv, "d" + fam), getattr(zv, "p" + fam)
    assert rel(d(x, *params, True, ncp=ncp), log_dens) < 1e-13
    if log_dens > -700:  # the reference's own rounding in exp grows with |log|
        assert rel(d(x, *params, ncp=ncp), math.exp(log_dens)) < 1e-13 + abs(log_dens) * 2.3e-16
    for lt, ref, log_ref in ((True, lower, log_lower), (False, upper, log_upper)):
        if ref >= 1e-300:
            assert rel(p(x, *params, lower_tail=lt, ncp=ncp), ref) < 1e-12, lt
        assert rel(p(x, *params, True, lt, ncp=ncp), log_ref) < 1e-12, lt


@pytest.mark.parametrize("row", NONCENTRAL[::2], ids=lambda r: "%s%r" % (r[0], r[1:-5]))
def test_quantiles_round_trip(row):
    fam, x, *params, ncp = row[:-5]
    q = getattr(zv, "q" + fam)
    for lt, log_ref in ((True, row[-2]), (False, row[-1])):
        if not -700 < log_ref < -0.7:  # the smaller tail, a normal double
            continue
        back = q(math.exp(log_ref), *params, lt, ncp=ncp)
        back_log = q(log_ref, *params, lt, True, ncp=ncp)
        assert rel(back, x) < 1e-9 and rel(back_log, x) < 1e-9, (lt, back, back_log)


@pytest.mark.parametrize("fam", sorted(FAMS))
def test_ncp_zero_is_the_central_function(fam):
    params = {"chisq": (3.5,), "beta": (2.0, 3.0), "f": (4.0, 6.0), "t": (5.0,)}[fam]
    xs = np.array([0.05, 0.3, 0.7, 0.95, 2.5, 40.0])
    ps = np.array([1e-20, 0.01, 0.3, 0.5, 0.99])
    cases = [("d", xs, ()), ("d", xs, (True,)), ("p", xs, ()), ("p", xs, (True, False)), ("p", xs, (False, True)),
             ("q", ps, ()), ("q", ps, (False,)), ("q", np.log(ps), (True, True))]
    for prefix, args, flags in cases:
        f = getattr(zv, prefix + fam)
        central = f(args, *params, *flags)
        for zero in (0, 0.0, -0.0, np.zeros(len(args))):
            assert same_bits(f(args, *params, *flags, ncp=zero), central)
        assert same_bits(np.array([f(a, *params, *flags, ncp=0.0) for a in args]), central)


@pytest.mark.parametrize("fam", sorted(FAMS))
def test_arrays_mixing_ncp_match_scalar_calls(fam):
    params = {"chisq": (3.5,), "beta": (2.0, 3.0), "f": (4.0, 6.0), "t": (5.0,)}[fam]
    ncp = np.array([0.0, 2.0, 0.0, 7.5, -0.0, 1.0])
    for prefix, first, flags in (("d", 0.4, (False,)), ("p", 0.4, (True, False)), ("q", 0.2, (False, False))):
        for ns in (zv, za):
            f = getattr(ns, prefix + fam)
            arr = f(first, *params, *flags, ncp=ncp)
            assert same_bits(arr, np.array([f(first, *params, *flags, ncp=float(n)) for n in ncp]))
            assert same_bits(arr[[1, 3, 5]], getattr(za if ns is zv else zv, prefix + fam)(
                first, *params, *flags, ncp=ncp[[1, 3, 5]]))


@pytest.mark.parametrize("fam", sorted(FAMS))
def test_invalid_ncp_gives_nan(fam):
    params = {"chisq": (3.5,), "beta": (2.0, 3.0), "f": (4.0, 6.0), "t": (5.0,)}[fam]
    bad = [NAN, INF, -INF] + ([] if fam == "t" else [-1.0, -1e-300])
    for prefix in "dpq":
        f = getattr(zv, prefix + fam)
        assert all(math.isnan(v) for v in f(0.4, *params, ncp=np.array(bad)))
    if fam == "t":  # any finite ncp: P(T <= x; -d) = P(T >= -x; d)
        assert rel(zv.pt(0.7, 5.0, ncp=-2.0), zv.pt(-0.7, 5.0, ncp=2.0, lower_tail=False)) < 1e-13


@pytest.mark.parametrize("call", ["dchisq(1.0, 2.0, False, 1.0)", "pt(1.0, 2.0, False, True, 1.0)",
                                  "qf(0.5, 1.0, 2.0, ncp='1')", "pbeta(0.5, 1.0, 2.0, ncp=None)",
                                  "pchisq([1.0], 2.0, ncp=['1'])", "dt(1.0, 2.0, ncp=np.array([None]))"])
def test_ncp_is_keyword_only_and_a_number(call):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        eval("zv." + call)
    assert zv.pchisq(1.0, 2.0, ncp=np.float32(1)) == zv.pchisq(1.0, 2.0, ncp=1.0)  # numbers of any type


def test_signatures_list_ncp():
    for name in ("dchisq", "pt", "qbeta", "pf"):
        ncp = inspect.signature(getattr(zv, name)).parameters["ncp"]
        assert ncp.kind == ncp.KEYWORD_ONLY and ncp.default == 0


@pytest.mark.parametrize("row", TUKEY, ids=lambda r: repr(r[:4]))
def test_tukey_against_mpmath(row):
    q, n, dof, r, lower, upper, log_lower, log_upper = row
    for ns in (zv, za):
        assert rel(ns.ptukey(q, n, dof, r), lower) < 1e-10
        assert rel(ns.ptukey(q, n, dof, r, lower_tail=False), upper) < 1e-10
        assert rel(ns.ptukey(q, n, dof, r, True), log_lower) < 1e-10
        assert rel(ns.ptukey(q, n, dof, r, True, False), log_upper) < 1e-10
    if dof == INF or row is TUKEY[0]:  # (each quantile is a search of ptukey calls)
        assert rel(zv.qtukey(lower, n, dof, r), q) < 1e-8
        assert rel(zv.qtukey(log_upper, n, dof, r, False, True), q) < 1e-8


def test_tukey_edges_and_invalid():
    assert zv.ptukey(0.0, 3, 10) == 0.0 and zv.ptukey(INF, 3, 10) == 1.0
    assert zv.qtukey(0.0, 3, 10) == 0.0 and zv.qtukey(1.0, 3, 10) == INF
    bad = zv.ptukey(2.0, [1.5, 3, 3, 3, NAN], [10, 0, 10, NAN, 10], [1, 1, 0.5, 1, 1])
    assert all(math.isnan(v) for v in bad)
    assert math.isnan(zv.qtukey(1.5, 3, 10))
    # two means, known variance: the range is |Z1 - Z2| = sqrt(2) |Z|
    assert rel(zv.ptukey(1.0, 2, INF), math.erf(0.5)) < 1e-13
