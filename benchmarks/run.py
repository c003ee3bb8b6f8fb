"""Speed of every zorvana function beside its nearest scipy / numpy equivalent.

For each of the 51 element-wise functions (d, p, q) and the 17 draw functions
(r) this measures, in one process:

* throughput: nanoseconds per element of one call on an array (10^6 elements
  per parameter set, fewer for functions too slow for that: the size used is
  printed in the column ``n``);
* latency: microseconds of one call with all-scalar arguments;

each beside the nearest equivalent:

* element-wise functions: ``ref1`` is a scipy.special ufunc expression with
  the same parameters where one exists (e.g. ``ndtr((x - mu) / sigma)`` for
  pnorm, ``gdtr(1 / scale, shape, x)`` for pgamma), otherwise the
  scipy.stats method (``norm.pdf(x, mu, sigma)``); ``ref2`` is the scipy.stats
  method whenever ``ref1`` is a ufunc;
* draws: ``ref1`` is ``numpy.random.Generator(numpy.random.MT19937(seed))``,
  ``ref2`` the legacy ``numpy.random.RandomState(seed)`` (the generator behind
  the ``numpy.random.*`` functions).

All implementations get the very same input arrays; repetitions are
interleaved (zorvana, ref1, ref2, then rotated) and the median is reported.
The ratio columns are zorvana / reference: below 1 means zorvana is faster.
A PNG bar chart of the ratios (log scale) is written with matplotlib when it
is installed.

Functions missing from the module, or still returning NaN everywhere, are
marked and not timed; the run goes on.

Then the functions whose lanes also serve a parameter per element, timed
with a parameter per element (each drawn between the family's parameter
sets) beside the same scipy references, and beside zorvana's own time with
the first parameter set held constant.

After the table, a section on the calling layer: all-scalar latency beside
scipy.special and numpy in one run (minimum of interleaved repetitions), and
thread scaling: nanoseconds per element with 1 thread and with every
available thread (zorvana.set_num_threads) at several sizes.

Then a section on streams: draws with a parameter per element beside the
constant-parameter array draw and numpy's Generator given the same arrays,
and the milliseconds of Engine.advance, jumped and spawn (a spawned engine
beside numpy's MT19937.jumped()).

Then the upper tails: the p- and q-functions with lower_tail=False beside
scipy.stats sf and isf on the same arrays, inputs drawn from upper-tail
probabilities down to 1e-300.

Last, zorvana.accurate: each of its 51 functions on one thread, 10^5
elements, the first parameter set held constant, beside scipy's fastest
route on the same arrays (the faster of the scipy.special expression, where
there is one, and the scipy.stats method).

Usage: python benchmarks/run.py [--quick] [--only REGEX] [--out PNG] [--calling] [--varying] [--streams] [--tails]
                                [--accurate] [--discrete]

Then the negative binomial, geometric, hypergeometric, Wilcoxon and signed
rank functions and the multinomial draw beside scipy.stats (scipy.special's
nbdtr where it applies) and numpy's Generator (--discrete alone).
"""
from __future__ import print_function

import argparse
import gc
import math
import os
import re
import sys
import time
import warnings
from collections import OrderedDict

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))

DISTS = ["norm", "bern", "beta", "binom", "cauchy", "chisq", "exp", "f", "gamma", "invgamma",
         "laplace", "lnorm", "logis", "pois", "t", "unif", "weibull"]
DISCRETE = {"bern", "binom", "pois"}

# Parameter sets per distribution, in zorvana's argument order. Chosen to
# cover what callers use: standard forms, skewed and near-symmetric shapes,
# small and large counts, heavy and light tails.
PARAMS = {
    "norm": [(0.0, 1.0), (2.5, 0.5), (-10.0, 30.0)],
    "bern": [(0.1,), (0.5,), (0.9,)],
    "beta": [(0.5, 0.5), (2.0, 5.0), (30.0, 10.0)],
    "binom": [(10, 0.3), (100, 0.5), (1000, 0.01)],
    "cauchy": [(0.0, 1.0), (5.0, 2.0)],
    "chisq": [(1.0,), (5.0,), (50.0,)],
    "exp": [(0.5,), (1.0,), (10.0,)],
    "f": [(2.0, 10.0), (5.0, 20.0), (30.0, 30.0)],
    "gamma": [(0.5, 1.0), (3.0, 2.0), (50.0, 0.1)],
    "invgamma": [(1.5, 1.0), (3.0, 2.0), (20.0, 5.0)],
    "laplace": [(0.0, 1.0), (3.0, 0.5)],
    "lnorm": [(0.0, 1.0), (1.0, 0.25)],
    "logis": [(0.0, 1.0), (2.0, 3.0)],
    "pois": [(0.5,), (4.0,), (100.0,)],
    "t": [(1.0,), (4.0,), (30.0,)],
    "unif": [(0.0, 1.0), (-2.0, 5.0)],
    "weibull": [(0.7, 1.0), (1.5, 2.0), (5.0, 10.0)],
}

# Probabilities behind every input array: 80 % central, uniform on
# [0.01, 0.99]; 10 % in each tail, log-uniform down to 1e-12 from 0 and 1.
CENTRAL_LO, CENTRAL_HI, TAIL_MIN = 0.01, 0.99, 1e-12
TAIL_SHARE = 0.1
# Probe inputs per parameter set (checks of the values), and how many of
# them time one call to choose the array size.
PROBE_N, CALIBRATION_N = 2000, 200
SLOPE_LIMIT_SECONDS = 0.02

# Differences from the reference larger than this are listed with their
# arguments after the table.
WORST_SHOWN = 1e-9

# Per-parameter-set costs of zorvana are listed when the slowest set costs
# more than this many times the fastest.
UNEVEN = 3.0

# Reference families: name shown in the headline and the chart, bar colour.
FAMILIES = OrderedDict([
    ("special", ("scipy.special", "tab:blue")),
    ("stats", ("scipy.stats", "tab:orange")),
    ("Generator", ("numpy Generator(MT19937)", "tab:green")),
    ("RandomState", ("numpy RandomState", "tab:red")),
])


def stats_rv(dist, params):
    """(scipy.stats distribution, shape args, loc/scale kwargs) equal to
    zorvana's parametrisation of ``dist`` with ``params``."""
    import scipy.stats as st
    if dist == "norm":
        return st.norm, (), dict(loc=params[0], scale=params[1])
    if dist == "bern":
        return st.bernoulli, (params[0],), {}
    if dist == "beta":
        return st.beta, params, {}
    if dist == "binom":
        return st.binom, params, {}
    if dist == "cauchy":
        return st.cauchy, (), dict(loc=params[0], scale=params[1])
    if dist == "chisq":
        return st.chi2, params, {}
    if dist == "exp":
        return st.expon, (), dict(scale=1.0 / params[0])
    if dist == "f":
        return st.f, params, {}
    if dist == "gamma":
        return st.gamma, (params[0],), dict(scale=params[1])
    if dist == "invgamma":
        return st.invgamma, (params[0],), dict(scale=params[1])
    if dist == "laplace":
        return st.laplace, (), dict(loc=params[0], scale=params[1])
    if dist == "lnorm":
        return st.lognorm, (params[1],), dict(scale=np.exp(params[0]))
    if dist == "logis":
        return st.logistic, (), dict(loc=params[0], scale=params[1])
    if dist == "pois":
        return st.poisson, params, {}
    if dist == "t":
        return st.t, params, {}
    if dist == "unif":
        return st.uniform, (), dict(loc=params[0], scale=params[1] - params[0])
    if dist == "weibull":
        return st.weibull_min, (params[0],), dict(scale=params[1])
    raise KeyError(dist)


def stats_ref(kind, dist):
    """The scipy.stats method for one element-wise function, called with
    zorvana's arguments."""
    method = {"d": "pmf" if dist in DISCRETE else "pdf", "p": "cdf", "q": "ppf"}[kind]
    nparams = len(PARAMS[dist][0])

    def call(*args):
        x, params = args[0], args[1:1 + nparams]
        rv, shapes, kw = stats_rv(dist, params)
        return getattr(rv, method)(x, *shapes, **kw)

    rv, _, _ = stats_rv(dist, PARAMS[dist][0])
    return "stats.%s.%s" % (rv.name, method), call


def special_ref(kind, dist):
    """A scipy.special ufunc expression with the same parameters, or None."""
    import scipy.special as sp
    table = {
        ("p", "norm"): ("special.ndtr", lambda x, mu, s: sp.ndtr((x - mu) / s)),
        ("p", "beta"): ("special.betainc", lambda x, a, b: sp.betainc(a, b, x)),
        ("p", "binom"): ("special.bdtr", lambda x, n, pr: sp.bdtr(x, n, pr)),
        ("p", "chisq"): ("special.chdtr", lambda x, k: sp.chdtr(k, x)),
        ("p", "f"): ("special.fdtr", lambda x, d1, d2: sp.fdtr(d1, d2, x)),
        ("p", "gamma"): ("special.gdtr", lambda x, k, th: sp.gdtr(1.0 / th, k, x)),
        ("p", "invgamma"): ("special.gammaincc", lambda x, k, th: sp.gammaincc(k, th / x)),
        ("p", "lnorm"): ("special.ndtr", lambda x, mu, s: sp.ndtr((np.log(x) - mu) / s)),
        ("p", "logis"): ("special.expit", lambda x, mu, s: sp.expit((x - mu) / s)),
        ("p", "pois"): ("special.pdtr", lambda x, lam: sp.pdtr(x, lam)),
        ("p", "t"): ("special.stdtr", lambda x, nu: sp.stdtr(nu, x)),
        ("q", "norm"): ("special.ndtri", lambda p, mu, s: sp.ndtri(p) * s + mu),
        ("q", "beta"): ("special.betaincinv", lambda p, a, b: sp.betaincinv(a, b, p)),
        ("q", "chisq"): ("special.gammaincinv", lambda p, k: 2.0 * sp.gammaincinv(0.5 * k, p)),
        ("q", "f"): ("special.fdtri", lambda p, d1, d2: sp.fdtri(d1, d2, p)),
        ("q", "gamma"): ("special.gammaincinv", lambda p, k, th: sp.gammaincinv(k, p) * th),
        ("q", "invgamma"): ("special.gammainccinv", lambda p, k, th: th / sp.gammainccinv(k, p)),
        ("q", "lnorm"): ("special.ndtri", lambda p, mu, s: np.exp(sp.ndtri(p) * s + mu)),
        ("q", "logis"): ("special.logit", lambda p, mu, s: sp.logit(p) * s + mu),
        ("q", "t"): ("special.stdtrit", lambda p, nu: sp.stdtrit(nu, p)),
    }
    return table.get((kind, dist))


def numpy_draw(dist, legacy):
    """numpy's sampler for ``dist`` as (label, call(gen, *params, size=None))."""
    table = {
        "norm": ("normal", lambda g, mu, s, n: g.normal(mu, s, n)),
        "bern": ("binomial(1,p)", lambda g, pr, n: g.binomial(1, pr, n)),
        "beta": ("beta", lambda g, a, b, n: g.beta(a, b, n)),
        "binom": ("binomial", lambda g, k, pr, n: g.binomial(k, pr, n)),
        "cauchy": ("standard_cauchy", lambda g, mu, s, n: g.standard_cauchy(n) * s + mu),
        "chisq": ("chisquare", lambda g, k, n: g.chisquare(k, n)),
        "exp": ("exponential", lambda g, r, n: g.exponential(1.0 / r, n)),
        "f": ("f", lambda g, d1, d2, n: g.f(d1, d2, n)),
        "gamma": ("gamma", lambda g, k, th, n: g.gamma(k, th, n)),
        "invgamma": ("1/gamma", lambda g, k, th, n: 1.0 / g.gamma(k, 1.0 / th, n)),
        "laplace": ("laplace", lambda g, mu, s, n: g.laplace(mu, s, n)),
        "lnorm": ("lognormal", lambda g, mu, s, n: g.lognormal(mu, s, n)),
        "logis": ("logistic", lambda g, mu, s, n: g.logistic(mu, s, n)),
        "pois": ("poisson", lambda g, r, n: g.poisson(r, n)),
        "t": ("standard_t", lambda g, k, n: g.standard_t(k, n)),
        "unif": ("uniform", lambda g, a, b, n: g.uniform(a, b, n)),
        "weibull": ("weibull", lambda g, k, th, n: g.weibull(k, n) * th),
    }
    label, fn = table[dist]
    prefix = "RandomState." if legacy else "Generator(MT19937)."
    return prefix + label, fn


# ---------------------------------------------------------------- inputs

def probabilities(n, rng):
    """n probabilities, central and tail, in shuffled order."""
    n_tail = int(n * TAIL_SHARE)
    central = rng.uniform(CENTRAL_LO, CENTRAL_HI, n - 2 * n_tail)
    lo = np.exp(rng.uniform(math.log(TAIL_MIN), math.log(CENTRAL_LO), n_tail))
    hi = 1.0 - np.exp(rng.uniform(math.log(TAIL_MIN), math.log(CENTRAL_LO), n_tail))
    p = np.concatenate([central, lo, hi])
    rng.shuffle(p)
    return p


def element_inputs(kind, dist, params, n, rng):
    """The first argument array of a d/p/q call: p itself for quantiles, the
    quantiles of p under (dist, params) for densities and distribution
    functions (int64 for the discrete ones)."""
    p = probabilities(n, rng)
    if kind == "q":
        return p
    rv, shapes, kw = stats_rv(dist, params)
    x = rv.ppf(p, *shapes, **kw)
    if dist in DISCRETE:
        return x.astype(np.int64)
    return np.ascontiguousarray(x, dtype=np.float64)


# ---------------------------------------------------------------- timing

def timed(fn, args):
    gc_was = gc.isenabled()
    gc.disable()
    try:
        t0 = time.perf_counter()
        out = fn(*args)
        t1 = time.perf_counter()
    finally:
        if gc_was:
            gc.enable()
    return t1 - t0, out


def latency(fn, batch_seconds):
    """A callable returning the seconds of one call fn(), measured over a
    batch of calls that lasts about batch_seconds."""
    t, _ = timed(lambda: [fn() for _ in range(20)], ())
    number = max(1, min(100000, int(batch_seconds / max(t / 20.0, 1e-8))))
    calls = range(number)

    def run():
        gc.disable()
        try:
            t0 = time.perf_counter()
            for _ in calls:
                fn()
            return (time.perf_counter() - t0) / number
        finally:
            gc.enable()
    return run


class Impl(object):
    """One implementation of a function: a label and a call taking zorvana's
    arguments (params as scalars)."""

    def __init__(self, label, family, array_call, scalar_call):
        self.label = label
        self.family = family              # FAMILIES key, or "zorvana"
        self.array_call = array_call      # (x_or_n, params) -> array
        self.scalar_call = scalar_call    # (x_scalar, params) -> float
        self.ns = None
        self.ns_sets = None
        self.us = None
        self.error = None


def interleaved(impls, make_runs, reps):
    """Run reps rounds; in each round every implementation's run once, the
    starting implementation rotating. make_runs(impl) returns a callable that
    returns seconds. Returns {label: [seconds...]}."""
    runs = [(im, make_runs(im)) for im in impls]
    results = dict((im.label, []) for im in impls)
    for r in range(reps):
        k = r % len(runs)
        for im, run in runs[k:] + runs[:k]:
            results[im.label].append(run())
    return results


def median(xs):
    xs = sorted(xs)
    m = len(xs) // 2
    return xs[m] if len(xs) % 2 else 0.5 * (xs[m - 1] + xs[m])


def compare(a, b):
    """Largest relative difference where both are finite, the index where it
    occurs, and the number of elements where exactly one is NaN (a quick
    check that both compute the same function)."""
    a = np.asarray(a, dtype=float)
    b = np.asarray(b, dtype=float)
    both = np.isfinite(a) & np.isfinite(b)
    nan_mismatch = int(np.count_nonzero(np.isnan(a) != np.isnan(b)))
    if not both.any():
        return float("nan"), None, nan_mismatch
    rel = np.zeros(a.shape)
    rel[both] = np.abs(a[both] - b[both]) / np.maximum(np.abs(b[both]), np.finfo(float).tiny)
    worst = int(np.argmax(rel))
    return float(rel[worst]), worst, nan_mismatch


# ---------------------------------------------------------------- one function

class Row(object):
    def __init__(self, name, kind, dist):
        self.name, self.kind, self.dist = name, kind, dist
        self.n = None
        self.note = ""
        self.impls = []
        self.maxrel = None
        self.worst = None
        self.nan_mismatch = None


def zorvana_impl(zv, name, kind, engine):
    fn = getattr(zv, name)
    if kind == "r":
        return Impl("zorvana", "zorvana", lambda n, params: fn(*(params + (n, engine))),
                    lambda _x, params: fn(*(params + (engine,))))
    return Impl("zorvana", "zorvana", lambda x, params: fn(x, *params),
                lambda x, params: fn(x, *params))


def element_row(zv, kind, dist, cfg):
    name = kind + dist
    row = Row(name, kind, dist)
    label, stats_call = stats_ref(kind, dist)
    refs = []
    special = special_ref(kind, dist)
    if special is not None:
        refs.append(Impl(special[0], "special", lambda x, params, f=special[1]: f(x, *params),
                         lambda x, params, f=special[1]: f(x, *params)))
    refs.append(Impl(label, "stats", lambda x, params: stats_call(x, *params),
                     lambda x, params: stats_call(x, *params)))
    z = zorvana_impl(zv, name, kind, None) if hasattr(zv, name) else None
    return run_row(row, z, refs, cfg)


def draw_row(zv, dist, cfg):
    name = "r" + dist
    row = Row(name, "r", dist)
    refs = []
    for legacy in (False, True):
        label, fn = numpy_draw(dist, legacy)
        gen = (np.random.RandomState(cfg.seed) if legacy
               else np.random.Generator(np.random.MT19937(cfg.seed)))
        refs.append(Impl(label, "RandomState" if legacy else "Generator",
                         lambda n, params, g=gen, f=fn: f(g, *(params + (n,))),
                         lambda _x, params, g=gen, f=fn: f(g, *(params + (None,)))))
    z = None
    if hasattr(zv, name) and hasattr(zv, "Engine"):
        z = zorvana_impl(zv, name, "r", zv.Engine(cfg.seed))
    elif hasattr(zv, name):
        row.note = "no Engine class"
    return run_row(row, z, refs, cfg)


def run_row(row, z, refs, cfg):
    """Probe, size, then time throughput and latency of z beside refs."""
    sets = PARAMS[row.dist]
    rng = np.random.RandomState(cfg.seed)
    probe_n = PROBE_N
    if row.kind == "r":
        probe_inputs = [probe_n] * len(sets)
    else:
        probe_inputs = [element_inputs(row.kind, row.dist, ps, probe_n, rng) for ps in sets]

    # Probe: does zorvana's function exist, run, and return numbers?
    if z is None and not row.note:
        row.note = "missing"
    impls = list(refs)
    if z is not None:
        try:
            zout = [z.array_call(x, ps) for x, ps in zip(probe_inputs, sets)]
            z.scalar_call(scalar_arg(probe_inputs[0]), sets[0])
        except Exception as exc:  # a half-landed function must not stop the run
            row.note = "error: %s" % (str(exc).splitlines()[0][:60],)
            z = None
        else:
            zflat = np.concatenate([np.ravel(o) for o in zout])
            if np.all(np.isnan(zflat)):
                row.note = "returns NaN (not landed)"
                z = None
            elif row.kind != "r":
                rout = np.concatenate([np.ravel(refs[0].array_call(x, ps))
                                       for x, ps in zip(probe_inputs, sets)])
                row.maxrel, worst, row.nan_mismatch = compare(zflat, rout)
                if worst is not None:
                    k, i = divmod(worst, probe_n)
                    row.worst = "%s(%r, %s) = %r, ref1 %r" % (
                        row.name, probe_inputs[k][i].item(), ", ".join(repr(v) for v in sets[k]),
                        zflat[worst].item(), rout[worst].item())
                if row.nan_mismatch:
                    row.note = "NaN in one of zorvana, ref1 only at %d of %d probe inputs" % (
                        row.nan_mismatch, zflat.size)
    if z is not None:
        impls.insert(0, z)
    row.impls = impls

    # Size: 10^6 elements per parameter set unless one call of the slowest
    # implementation would exceed the call budget. Cost per element of each implementation: the best of two timed runs
    # (after a warm-up run: imports, caches) on CALIBRATION_N inputs; for
    # the cheap ones the slope between that and the PROBE_N inputs, so that
    # the fixed cost of a call (large for scipy.stats) does not shrink n.
    per_elem = 0.0
    for im in impls:
        for x, ps in zip(probe_inputs, sets):
            small = CALIBRATION_N if row.kind == "r" else x[:CALIBRATION_N]
            try:
                im.array_call(small, ps)
                t_small = min(timed(im.array_call, (small, ps))[0] for _ in range(2))
                cost = t_small / CALIBRATION_N
                if t_small * PROBE_N / CALIBRATION_N < SLOPE_LIMIT_SECONDS:
                    t_big = min(timed(im.array_call, (x, ps))[0] for _ in range(2))
                    cost = max((t_big - t_small) / (PROBE_N - CALIBRATION_N), 1e-9)
            except Exception as exc:
                im.error = str(exc).splitlines()[0][:60]
                continue
            per_elem = max(per_elem, cost)
    for im in impls:
        if im.error is not None:
            row.note = (row.note + " ; " if row.note else "") + "%s failed: %s" % (im.label, im.error)
    impls = [im for im in impls if im.error is None]
    row.impls = impls
    n = cfg.size
    if per_elem > 0:
        n = int(min(cfg.size, max(cfg.min_size, cfg.call_seconds / per_elem)))
        n = int(float("%.1g" % n))  # one significant digit
    row.n = n
    if row.kind == "r":
        inputs = [n] * len(sets)
    else:
        inputs = [element_inputs(row.kind, row.dist, ps, n, rng) for ps in sets]

    def throughput(im):
        def run():
            return [timed(im.array_call, (x, ps))[0] for x, ps in zip(inputs, sets)]
        return run
    res = interleaved(impls, throughput, cfg.reps)
    for im in impls:
        im.ns = median([sum(ts) for ts in res[im.label]]) / (n * len(sets)) * 1e9
        im.ns_sets = [median([ts[k] for ts in res[im.label]]) / n * 1e9 for k in range(len(sets))]

    x0 = scalar_arg(inputs[0])

    def scalar(im):
        return latency(lambda: im.scalar_call(x0, sets[0]), cfg.batch_seconds)
    res = interleaved(impls, scalar, cfg.reps)
    for im in impls:
        im.us = median(res[im.label]) * 1e6
    return row


def scalar_arg(x):
    """A central scalar argument taken from an input array (a Python int or
    float, as a caller would pass it)."""
    if isinstance(x, (int, np.integer)):
        return None
    v = np.sort(np.asarray(x))[len(x) * 3 // 10]
    return int(v) if np.issubdtype(np.asarray(x).dtype, np.integer) else float(v)


# ---------------------------------------------------------------- report

def fmt(v, width, digits=3):
    if v is None or (isinstance(v, float) and math.isnan(v)):
        return "-".rjust(width)
    if v >= 1000:
        return ("%.0f" % v).rjust(width)
    return ("%.*g" % (digits, v)).rjust(width)


def ratio(z, r, attr):
    if z is None or r is None:
        return None
    a, b = getattr(z, attr), getattr(r, attr)
    if a is None or b is None or b <= 0:
        return None
    return a / b


def split(row):
    z = row.impls[0] if row.impls and row.impls[0].label == "zorvana" else None
    refs = [im for im in row.impls if im.label != "zorvana"]
    return z, (refs + [None, None])[:2]


def print_table(rows, out=sys.stdout):
    head = ("%-10s %8s | %8s %8s %7s %8s %7s | %8s %8s %7s %8s %7s | %8s | %s"
            % ("function", "n", "zv ns", "ref1 ns", "ratio1", "ref2 ns", "ratio2",
               "zv us", "ref1 us", "ratio1", "ref2 us", "ratio2", "max rel", "ref1 ; ref2 ; note"))
    print(head, file=out)
    print("-" * len(head), file=out)
    for row in rows:
        z, (r1, r2) = split(row)
        labels = " ; ".join(im.label for im in (r1, r2) if im is not None)
        note = (" ; " + row.note) if row.note else ""
        cells = [
            "%-10s" % row.name, fmt(row.n and float(row.n), 8),
            fmt(z and z.ns, 8), fmt(r1 and r1.ns, 8), fmt(ratio(z, r1, "ns"), 7),
            fmt(r2 and r2.ns, 8), fmt(ratio(z, r2, "ns"), 7),
            fmt(z and z.us, 8), fmt(r1 and r1.us, 8), fmt(ratio(z, r1, "us"), 7),
            fmt(r2 and r2.us, 8), fmt(ratio(z, r2, "us"), 7),
            fmt(row.maxrel, 8, 2),
        ]
        print("%s %s | %s %s %s %s %s | %s %s %s %s %s | %s | %s%s" % tuple(cells + [labels, note]),
              file=out)


def geomean(xs):
    xs = [x for x in xs if x is not None and x > 0]
    if not xs:
        return None
    return math.exp(sum(math.log(x) for x in xs) / len(xs)), len(xs)


def headline(rows):
    """Per group of functions and per reference family: geometric mean of
    the ratios zorvana / reference over the functions timed."""
    lines = []
    for kind, title in (("d", "densities"), ("p", "distribution functions"),
                        ("q", "quantiles"), ("r", "draws")):
        group = [r for r in rows if r.kind == kind]
        if not group:
            continue
        timed_n = sum(1 for r in group if split(r)[0] is not None)
        lines.append("%-23s %2d/%2d timed; geometric mean of zorvana/ref:" % (title, timed_n, len(group)))
        for attr, what in (("ns", "array "), ("us", "scalar")):
            parts = []
            for fam in FAMILIES:
                rs = []
                for r in group:
                    z, refs = split(r)
                    rs += [ratio(z, im, attr) for im in refs if im is not None and im.family == fam]
                g = geomean(rs)
                if g is not None:
                    parts.append("vs %s %.3g (%d fn)" % (FAMILIES[fam][0], g[0], g[1]))
            if parts:
                lines.append("    %s: %s" % (what, ", ".join(parts)))
    return lines


def chart(rows, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        from matplotlib.patches import Patch
        from matplotlib.ticker import NullFormatter
    except ImportError:
        print("matplotlib is not installed: no chart written")
        return
    rows = [r for r in rows if split(r)[0] is not None]
    if not rows:
        print("nothing timed: no chart written")
        return
    ypos = np.arange(len(rows))
    fig, axes = plt.subplots(1, 2, figsize=(12, 2.2 + 0.2 * len(rows)), sharey=True)
    for ax, attr, title in ((axes[0], "ns", "array throughput (per element)"),
                            (axes[1], "us", "one all-scalar call")):
        for i, r in enumerate(rows):
            z, refs = split(r)
            for k, im in enumerate(refs):
                v = ratio(z, im, attr)
                if v is None:
                    continue
                # Bars grow from 1 to the ratio: right of 1 zorvana is slower.
                ax.barh(i + (k - 0.5) * 0.4, v - 1.0, left=1.0, height=0.4,
                        color=FAMILIES[im.family][1])
        ax.set_xscale("log")
        ax.xaxis.set_minor_formatter(NullFormatter())
        ax.axvline(1.0, color="black", linewidth=0.8)
        ax.set_title("zorvana / reference: " + title + "\n(left of 1: zorvana faster)", fontsize=10)
        ax.grid(axis="x", which="major", alpha=0.4)
    axes[0].set_yticks(ypos)
    axes[0].set_yticklabels([r.name for r in rows], fontsize=7)
    axes[0].set_ylim(len(rows) - 0.5, -0.5)
    used = set(im.family for r in rows for im in split(r)[1] if im is not None)
    handles = [Patch(color=FAMILIES[f][1], label="vs " + FAMILIES[f][0]) for f in FAMILIES if f in used]
    fig.legend(handles=handles, loc="lower center", ncol=len(handles), fontsize=8)
    fig.tight_layout(rect=(0, 0.03, 1, 1))
    fig.savefig(path, dpi=110)
    plt.close(fig)
    print("chart written to %s" % path)


# ---------------------------------------------------------------- main

def module_version():
    try:
        from importlib.metadata import version
        return version("zorvana")
    except Exception:  # Python 3.6, or an in-place build without metadata
        return "(version unknown)"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    import platform
    return platform.processor() or platform.machine()


def import_zorvana():
    """The installed module, or else an in-place build in the checkout that
    holds this script."""
    try:
        import zorvana
    except ImportError:
        sys.path.insert(0, os.path.dirname(HERE))
        import zorvana
    return zorvana


def best_of(fn, reps, number):
    """Least seconds per call of fn over reps batches of number calls."""
    best = float("inf")
    for _ in range(reps):
        gc.disable()
        try:
            t0 = time.perf_counter()
            for _ in range(number):
                fn()
            best = min(best, (time.perf_counter() - t0) / number)
        finally:
            gc.enable()
    return best


# All-scalar calls timed beside their nearest equivalent, with the targets
# of the calling layer (zorvana / reference at most this).
LATENCY_PAIRS = [
    ("punif(0.5, 0, 1)", lambda zv: lambda: zv.punif(0.5, 0, 1),
     "special.ndtr(0.5)", lambda: __import__("scipy.special").special.ndtr, 1.2),
    ("pgamma(3, 2, 1)", lambda zv: lambda: zv.pgamma(3, 2, 1),
     "special.gammainc(2, 3)", lambda: __import__("scipy.special").special.gammainc, 1.5),
    ("rnorm(0, 1)", lambda zv: lambda: zv.rnorm(0, 1),
     "Generator.normal()", lambda: np.random.Generator(np.random.MT19937(1)).normal, 1.0),
]

# Thread scaling: (function, input maker, sizes).
SCALING = [
    ("qnorm", lambda n, rng: (probabilities(n, rng), 0.0, 1.0), [10 ** 3, 2 * 10 ** 4, 10 ** 5]),
    ("pnorm", lambda n, rng: (rng.normal(0, 2, n), 0.0, 1.0), [10 ** 3, 10 ** 4, 2 * 10 ** 4, 10 ** 5, 10 ** 6]),
    ("punif", lambda n, rng: (rng.uniform(-1, 2, n), 0.0, 1.0), [10 ** 3, 10 ** 4, 10 ** 5, 10 ** 6, 10 ** 7]),
    ("dgamma", lambda n, rng: (rng.gamma(3.0, 2.0, n), 3.0, 2.0), [10 ** 3, 10 ** 4, 10 ** 5, 10 ** 6]),
    ("dbinom", lambda n, rng: (rng.integers(0, 100, n), 100, 0.3), [10 ** 3, 10 ** 4, 10 ** 5, 10 ** 6]),
]


def calling_section(zv, cfg):
    print("calling layer")
    reps = 3 if cfg.quick else 7
    print("  all-scalar latency, least of %d interleaved batches (us per call):" % reps)
    print("    %-18s %8s   %-24s %8s %7s %7s" % ("zorvana", "us", "reference", "us", "ratio", "target"))
    for zname, zmake, rname, rmake, target in LATENCY_PAIRS:
        zfn = zmake(zv)
        ref = rmake()
        if rname.startswith("special.ndtr"):
            rfn = lambda: ref(0.5)  # noqa: E731
        elif rname.startswith("special.gammainc"):
            rfn = lambda: ref(2.0, 3.0)  # noqa: E731
        else:
            rfn = ref
        number = 2000 if cfg.quick else 20000
        zt, rt = float("inf"), float("inf")
        for _ in range(reps):
            zt = min(zt, best_of(zfn, 1, number))
            rt = min(rt, best_of(rfn, 1, number))
        print("    %-18s %8.3f   %-24s %8.3f %7.2f %7.2f" % (zname, zt * 1e6, rname, rt * 1e6, zt / rt, target))
    if not hasattr(zv, "set_num_threads"):
        print("  (no thread control in this build)")
        return
    before = zv.get_num_threads()
    many = max(before, 2)
    print("  thread scaling: ns per element with 1 and %d threads (least of up to %d calls), speed-up:" % (many, reps))
    print("    %-8s %10s %10s %10s %8s" % ("function", "elements", "1 thread", "%d threads" % many, "speed-up"))
    rng = np.random.default_rng(cfg.seed)
    try:
        for name, make, sizes in SCALING:
            fn = getattr(zv, name)
            for n in sizes:
                if cfg.quick and n > 10 ** 5:
                    continue
                args = make(n, rng)
                times = []
                for threads in (1, many):
                    zv.set_num_threads(threads)
                    once, _ = timed(fn, args)
                    calls = max(1, min(reps, int(1.0 / max(once, 1e-9))))
                    times.append(min(once, best_of(lambda: fn(*args), calls, 1)))
                print("    %-8s %10d %10.2f %10.2f %8.2f" % (name, n, times[0] / n * 1e9, times[1] / n * 1e9,
                                                            times[0] / times[1]))
    finally:
        zv.set_num_threads(before)
    print("")


# Draws with a parameter per element: (function, constant parameters,
# per-element parameters from a NumPy generator, numpy Generator's call).
VARYING_DRAWS = [
    ("rnorm", (0.0, 1.0), lambda r, n: (r.normal(0.0, 5.0, n), 1.0), lambda g, mu, s: g.normal(mu, s)),
    ("rnorm", (0.0, 1.0), lambda r, n: (r.normal(0.0, 5.0, n), r.uniform(0.5, 2.0, n)), lambda g, mu, s: g.normal(mu, s)),
    ("rexp", (2.0,), lambda r, n: (r.uniform(0.5, 4.0, n),), lambda g, rate: g.exponential(1.0 / rate)),
    ("runif", (0.0, 1.0), lambda r, n: (0.0, r.uniform(1.0, 2.0, n)), lambda g, a, b: g.uniform(a, b)),
    ("rgamma", (3.0, 1.0), lambda r, n: (r.uniform(2.0, 4.0, n), 1.0), lambda g, k, th: g.gamma(k, th)),
    ("rgamma", (0.5, 1.0), lambda r, n: (r.uniform(0.3, 0.7, n), 1.0), lambda g, k, th: g.gamma(k, th)),
    ("rbeta", (2.0, 3.0), lambda r, n: (r.uniform(1.5, 2.5, n), 3.0), lambda g, a, b: g.beta(a, b)),
    ("rt", (5.0,), lambda r, n: (r.uniform(4.0, 6.0, n),), lambda g, k: g.standard_t(k)),
    ("rbinom", (10, 0.3), lambda r, n: (10, r.uniform(0.1, 0.5, n)), lambda g, k, p: g.binomial(k, p)),
    ("rbinom", (10, 0.3), lambda r, n: (r.integers(5, 15, n), 0.3), lambda g, k, p: g.binomial(k, p)),
    ("rpois", (4.0,), lambda r, n: (r.uniform(3.0, 5.0, n),), lambda g, rate: g.poisson(rate)),
    ("rpois", (100.0,), lambda r, n: (r.uniform(90.0, 110.0, n),), lambda g, rate: g.poisson(rate)),
    ("rpois", (1e4,), lambda r, n: (np.exp(r.uniform(np.log(1e3), np.log(1e5), n)),), lambda g, rate: g.poisson(rate)),
    ("rweibull", (1.5, 2.0), lambda r, n: (r.uniform(1.0, 2.0, n), 2.0), lambda g, k, th: g.weibull(k) * th),
]

# Skips timed by Engine.advance, and the other moves along the stream.
ADVANCES = [10 ** 6, 2 ** 64, 2 ** 128, 2 ** 200, 2 ** 256 - 1, 2 ** 256]


def cpu_best_of(fn, reps):
    """Least processor seconds of one call of fn over reps calls (the
    section runs on one thread; processor time holds up on a busy machine)."""
    best = float("inf")
    for _ in range(reps):
        t0 = time.process_time()
        fn()
        best = min(best, time.process_time() - t0)
    return best


def streams_section(zv, cfg):
    """Array-parameter draws beside the constant-parameter array draw and
    numpy's Generator, then the cost of advance, jumped and spawn (processor
    time)."""
    best_of = lambda fn, reps, _number: cpu_best_of(fn, reps)  # noqa: E731
    if not hasattr(zv.Engine, "advance"):
        print("streams: not in this build\n")
        return
    print("streams")
    reps = 3 if cfg.quick else 5
    print("  draws with a parameter per element: ns per element, least processor time of %d calls" % reps)
    print("    %-9s %-34s %8s %9s %7s %10s %7s" % ("function", "per element", "constant", "varying", "ratio",
                                                   "Generator", "ratio"))
    rng = np.random.default_rng(cfg.seed)
    for name, const, make, numpy_call in VARYING_DRAWS:
        fn = getattr(zv, name)
        n = 2000 if name == "rpois" and const[0] >= 30 else (20000 if cfg.quick else 200000)
        args = make(rng, n)
        e = zv.Engine(cfg.seed)
        gen = np.random.Generator(np.random.MT19937(cfg.seed))
        t_const = best_of(lambda: fn(*(const + (n, e))), reps, 1) / n * 1e9
        t_vary = best_of(lambda: fn(*args, engine=e), reps, 1) / n * 1e9
        t_np = best_of(lambda: numpy_call(gen, *args), reps, 1) / n * 1e9
        what = ", ".join("array" if isinstance(a, np.ndarray) else repr(a) for a in args)
        print("    %-9s %-34s %8.1f %9.1f %7.2f %10.1f %7.2f" % (name, "(%s)" % what, t_const, t_vary,
                                                                 t_vary / t_const, t_np, t_vary / t_np))
    # One scalar call per draw, each with a rate of its own (no run to share).
    rates = rng.uniform(90.0, 110.0, 2000)
    e = zv.Engine(cfg.seed)
    gen = np.random.Generator(np.random.MT19937(cfg.seed))
    t_zv = best_of(lambda: [zv.rpois(r, engine=e) for r in rates.tolist()], reps, 1) / rates.size * 1e9
    t_np = best_of(lambda: [gen.poisson(r) for r in rates.tolist()], reps, 1) / rates.size * 1e9
    print("    %-9s %-34s %8s %9.1f %7s %10.1f %7.2f" % ("rpois", "(float), a call per draw, 90..110", "-", t_zv, "-",
                                                     t_np, t_zv / t_np))
    print("  Engine.advance(n), ms (least of %d):" % reps)
    for n in ADVANCES:
        e = zv.Engine(cfg.seed)
        e.advance(312 * 3)  # any first refill out of the way
        t = best_of(lambda: e.advance(n), reps, 1)
        text = ("2**%d" % (n.bit_length() - 1) if n & (n - 1) == 0 and n > 10 ** 6 else
                "2**%d - 1" % n.bit_length() if n & (n + 1) == 0 else str(n))
        print("    n = %-12s %8.2f" % (text, t * 1e3))
    e = zv.Engine(cfg.seed)
    print("  Engine.jumped(): %.2f ms; jumped(2**127 - 1): %.2f ms" % (
        best_of(lambda: e.jumped(), reps, 1) * 1e3, best_of(lambda: e.jumped(2 ** 127 - 1), reps, 1) * 1e3))
    # A spawned child beside numpy's MT19937.jumped() (one jump of 2^128
    # steps and a new bit generator), in the same run.
    t_np = best_of(lambda: np.random.MT19937(cfg.seed).jumped(), reps, 1)
    print("  numpy MT19937.jumped(): %.3f ms" % (t_np * 1e3))
    # The stride jumps are prepared on the first spawn in the process (tens
    # of ms, once); the first child of a call costs one jump per set bit of
    # the spawn count it starts from, the others one jump each.
    e.spawn(1)
    t = best_of(lambda: zv.Engine(cfg.seed).spawn(1), reps, 1)
    print("  Engine(seed).spawn(1): %.3f ms (%.3f x MT19937.jumped())" % (t * 1e3, t / t_np))
    for count in (100, 1000):
        if cfg.quick and count > 100:
            continue
        t = best_of(lambda: e.spawn(count), 1 if count > 100 else reps, 1)
        print("  Engine.spawn(%d): %.2f ms (%.3f ms per engine, %.3f x MT19937.jumped())" % (
            count, t * 1e3, t * 1e3 / count, t / count / t_np))
    print("")


# Functions timed with a parameter per element, and the elements of one call.
VARYING = ["dnorm", "dlnorm", "dexp", "dlaplace", "pgamma", "pchisq", "ppois",
           "qgamma", "qchisq", "qinvgamma", "qpois", "qt"]
VARYING_N = {"d": 10 ** 5, "p": 2 * 10 ** 4, "q": 2000}


def varying_params(dist, n, rng):
    """One array per parameter: each element drawn between the least and the
    greatest value of that parameter over the family's sets (log-uniform for
    positive ones)."""
    out = []
    for k in range(len(PARAMS[dist][0])):
        vals = [ps[k] for ps in PARAMS[dist]]
        lo, hi = min(vals), max(vals)
        if lo > 0:
            out.append(np.exp(rng.uniform(math.log(lo), math.log(hi), n)))
        else:
            out.append(rng.uniform(lo, hi, n))
    return tuple(out)


def varying_section(zv, cfg, pattern):
    reps = 3 if cfg.quick else 7
    names = [f for f in VARYING if pattern is None or pattern.search(f)]
    if not names:
        return
    if hasattr(zv, "set_num_threads"):
        before = zv.get_num_threads()
        zv.set_num_threads(1)
    print("a parameter per element (one thread; least of %d interleaved runs, ns per element):" % reps)
    print("  %-10s %7s | %9s %9s | %9s %7s %-24s | %9s %7s %s"
          % ("function", "n", "zv const", "zv varied", "ref1", "ratio1", "ref1", "ref2", "ratio2", "ref2"))
    rng = np.random.RandomState(cfg.seed)
    try:
        for name in names:
            kind, dist = name[0], name[1:]
            n = VARYING_N[kind] // (10 if cfg.quick else 1)
            params = varying_params(dist, n, rng)
            x = element_inputs(kind, dist, params, n, rng)
            const = PARAMS[dist][0]
            x_const = element_inputs(kind, dist, const, n, rng)
            fn = getattr(zv, name)
            calls = [("zv const", lambda: fn(x_const, *const)), ("zv varied", lambda: fn(x, *params))]
            special = special_ref(kind, dist)
            if special is not None:
                calls.append((special[0], lambda f=special[1]: f(x, *params)))
            label, stats_call = stats_ref(kind, dist)
            calls.append((label, lambda: stats_call(x, *params)))
            best = [float("inf")] * len(calls)
            with np.errstate(all="ignore"), warnings.catch_warnings():
                warnings.simplefilter("ignore")
                for r in range(reps):
                    for k in range(len(calls)):
                        j = (k + r) % len(calls)
                        best[j] = min(best[j], timed(calls[j][1], ())[0])
            ns = [b / n * 1e9 for b in best]
            refs = [(calls[k][0], ns[k]) for k in range(2, len(calls))] + [("", None)]
            print("  %-10s %7d | %9s %9s | %9s %7s %-24s | %9s %7s %s"
                  % (name, n, fmt(ns[0], 9), fmt(ns[1], 9), fmt(refs[0][1], 9),
                     fmt(ns[1] / refs[0][1], 7), refs[0][0], fmt(refs[1][1], 9),
                     fmt(refs[1][1] and ns[1] / refs[1][1], 7), refs[1][0]))
    finally:
        if hasattr(zv, "set_num_threads"):
            zv.set_num_threads(before)


# Upper tails (lower_tail=False) beside scipy.stats sf / isf: parameter sets
# per family (zorvana's argument order), one or two each.
TAIL_PARAMS = OrderedDict([
    ("norm", [(0.0, 1.0)]), ("lnorm", [(0.0, 1.0)]), ("exp", [(1.0,)]), ("laplace", [(0.0, 1.0)]),
    ("logis", [(0.0, 1.0)]), ("cauchy", [(0.0, 1.0)]), ("unif", [(0.0, 1.0)]), ("weibull", [(1.5, 2.0)]),
    ("bern", [(0.3,)]), ("gamma", [(3.0, 2.0), (1000.0, 1.0)]), ("invgamma", [(3.0, 2.0)]),
    ("chisq", [(20.0,), (1000.0,)]), ("pois", [(4.0,), (1000.0,)]), ("beta", [(2.0, 5.0), (300.0, 100.0)]),
    ("f", [(5.0, 20.0)]), ("binom", [(100, 0.5), (10 ** 5, 0.01)]), ("t", [(4.0,), (300.0,)]),
])
# Upper-tail probabilities behind the inputs: log-uniform on [TAIL_LOWEST, 0.5].
TAIL_LOWEST = 1e-300
TAIL_TARGET = 2.0  # zorvana / scipy per element, at most


def tail_inputs(kind, dist, params, n, rng):
    """p itself for the q-functions, else x = isf(p) under (dist, params)."""
    p = np.exp(rng.uniform(math.log(TAIL_LOWEST), math.log(0.5), n))
    if kind == "q":
        return p
    rv, shapes, kw = stats_rv(dist, params)
    x = rv.isf(p, *shapes, **kw)
    x[~np.isfinite(x)] = 0
    return x.astype(np.int64) if dist in DISCRETE else np.ascontiguousarray(x, dtype=np.float64)


def tails_section(zv, cfg):
    """ns per element of the upper tails, p and q with lower_tail=False,
    beside scipy.stats sf and isf on the same arrays (median of interleaved
    runs), and the largest relative difference between the two."""
    print("upper tails: lower_tail=False beside scipy.stats sf / isf; inputs from upper-tail probabilities")
    print("  log-uniform on [%g, 0.5]; ns per element, median of %d interleaved runs; target ratio <= %g"
          % (TAIL_LOWEST, cfg.reps, TAIL_TARGET))
    print("  max rel: largest relative difference from scipy over %d probe inputs, scipy's own errors far in"
          % PROBE_N)
    print("  the tails included (docs/accuracy.md measures both against mpmath)")
    print("    %-9s %-18s %8s %9s %9s %7s %9s" % ("function", "parameters", "n", "zv ns", "scipy ns", "ratio",
                                                 "max rel"))
    rng = np.random.default_rng(cfg.seed)
    ratios = []
    for dist, sets in TAIL_PARAMS.items():
        for kind in "pq":
            name = kind + dist
            fn = getattr(zv, name, None)
            for params in sets:
                rv, shapes, kw = stats_rv(dist, params)
                method = getattr(rv, "sf" if kind == "p" else "isf")
                ref = lambda x, m=method, s=shapes, k=kw: m(x, *s, **k)  # noqa: E731
                z = lambda x, f=fn, ps=params: f(x, *ps, lower_tail=False)  # noqa: E731
                probe = tail_inputs(kind, dist, params, PROBE_N, rng)
                with np.errstate(all="ignore"), warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    try:
                        zout = z(probe)
                    except TypeError:
                        print("    %-9s %-18s  no lower_tail in this build" % (name, params))
                        continue
                    if np.all(np.isnan(zout)):
                        print("    %-9s %-18s  returns NaN (not landed)" % (name, params))
                        continue
                    rel = compare(zout, ref(probe))[0]
                    # size: one call of the slower of the two about call_seconds
                    cost = max(timed(f, (probe,))[0] for f in (z, ref)) / PROBE_N
                    n = int(min(cfg.size // 5, max(cfg.min_size, cfg.call_seconds / max(cost, 1e-9))))
                    n = int(float("%.1g" % n))
                    x = tail_inputs(kind, dist, params, n, rng)
                    res = {"z": [], "ref": []}
                    for r in range(cfg.reps):
                        for key, f in ((("z", z), ("ref", ref)) if r % 2 == 0 else (("ref", ref), ("z", z))):
                            res[key].append(timed(f, (x,))[0])
                zt, rt = median(res["z"]) / n * 1e9, median(res["ref"]) / n * 1e9
                ratios.append(zt / rt)
                flag = "" if zt / rt <= TAIL_TARGET else "  above target"
                print("    %-9s %-18s %8d %9.1f %9.1f %7.2f %9.2g%s" % (name, params, n, zt, rt, zt / rt, rel, flag))
    g = geomean(ratios)
    if g is not None:
        print("  geometric mean of zorvana/scipy over %d rows: %.3g; above %g: %d" % (
            g[1], g[0], TAIL_TARGET, sum(1 for r in ratios if r > TAIL_TARGET)))
    print("")


ACCURATE_N = 10 ** 5
ACCURATE_TARGET = 2.0  # zorvana.accurate / scipy per element, at most
# The families whose accurate functions are to be faster than scipy.
ACCURATE_FASTER = {"gamma", "invgamma", "chisq", "pois", "beta", "f", "binom", "t"}


def accurate_section(zv, cfg, pattern=None):
    """ns per element of zorvana.accurate on one thread beside scipy's
    fastest route (median of interleaved runs), and the largest relative
    difference between the two."""
    import zorvana.accurate as za
    print("zorvana.accurate: one thread, %d elements, the first parameter set held constant, beside the faster"
          % (cfg.size // 10))
    print("  of scipy.special (where there is an expression) and scipy.stats on the same arrays; ns per element,")
    print("  median of %d interleaved runs; target ratio <= %g (below 1 for %s)"
          % (cfg.reps, ACCURATE_TARGET, ", ".join(sorted(ACCURATE_FASTER))))
    print("    %-9s %-14s %9s %9s %-22s %7s %9s" % ("function", "parameters", "za ns", "scipy ns", "scipy route",
                                                  "ratio", "max rel"))
    before = zv.get_num_threads()
    zv.set_num_threads(1)
    rng = np.random.default_rng(cfg.seed)
    n = cfg.size // 10
    ratios = []
    try:
        for kind in "dpq":
            for dist in DISTS:
                name = kind + dist
                if pattern is not None and not pattern.search(name):
                    continue
                params = PARAMS[dist][0]
                x = element_inputs(kind, dist, params, n, rng)
                routes = [stats_ref(kind, dist)]
                if special_ref(kind, dist) is not None:
                    routes.insert(0, special_ref(kind, dist))
                f = getattr(za, name)
                z = lambda x, f=f, ps=params: f(x, *ps)  # noqa: E731
                refs = [(label, lambda x, c=call, ps=params: c(x, *ps)) for label, call in routes]
                with np.errstate(all="ignore"), warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    res = dict((label, []) for label in ["z"] + [label for label, _ in refs])
                    impls = [("z", z)] + refs
                    for r in range(cfg.reps):
                        k = r % len(impls)
                        for label, fn in impls[k:] + impls[:k]:
                            res[label].append(timed(fn, (x,))[0])
                    zt = median(res["z"]) / n * 1e9
                    label, rt = min(((label, median(res[label]) / n * 1e9) for label, _ in refs), key=lambda t: t[1])
                    rel = compare(z(x), dict(refs)[label](x))[0]
                target = 1.0 if dist in ACCURATE_FASTER else ACCURATE_TARGET
                ratios.append(zt / rt)
                flag = "" if zt / rt <= target else "  above target"
                print("    %-9s %-14s %9.1f %9.1f %-22s %7.2f %9.2g%s" % (
                    name, params, zt, rt, label, zt / rt, rel if rel is not None else float("nan"), flag))
    finally:
        zv.set_num_threads(before)
    g = geomean(ratios)
    if g is not None:
        print("  geometric mean of zorvana.accurate/scipy over %d rows: %.3g" % (g[1], g[0]))
    print("")


# ------------------------------------------------- the further discrete families

# (zorvana call, reference label, reference call) on the same arrays; each
# call gets (x, n) where x is the family's input array and n its length.
def discrete_cases(zv):
    import scipy.special as sp
    import scipy.stats as st
    cases = []
    for n_s, pr in [(3.5, 0.3), (1000.0, 0.01)]:
        rv = st.nbinom(n_s, pr)
        cases += [
            ("dnbinom(x, %g, %g)" % (n_s, pr), "x", lambda x, a=n_s, b=pr: zv.dnbinom(x, a, b),
             "stats.nbinom.pmf", lambda x, rv=rv: rv.pmf(x), rv),
            ("pnbinom(x, %g, %g)" % (n_s, pr), "x", lambda x, a=n_s, b=pr: zv.pnbinom(x, a, b),
             "special.nbdtr", lambda x, a=n_s, b=pr: sp.nbdtr(x, a, b) if float(a).is_integer() else
             st.nbinom.cdf(x, a, b), rv),
            ("pnbinom(x, %g, %g, upper)" % (n_s, pr), "x",
             lambda x, a=n_s, b=pr: zv.pnbinom(x, a, b, lower_tail=False), "stats.nbinom.sf",
             lambda x, rv=rv: rv.sf(x), rv),
            ("qnbinom(p, %g, %g)" % (n_s, pr), "p", lambda p, a=n_s, b=pr: zv.qnbinom(p, a, b),
             "stats.nbinom.ppf", lambda p, rv=rv: rv.ppf(p), rv),
        ]
    rv = st.geom(0.05, loc=-1)
    cases += [("dgeom(x, 0.05)", "x", lambda x: zv.dgeom(x, 0.05), "stats.geom.pmf", lambda x, rv=rv: rv.pmf(x), rv),
              ("pgeom(x, 0.05)", "x", lambda x: zv.pgeom(x, 0.05), "stats.geom.cdf", lambda x, rv=rv: rv.cdf(x), rv),
              ("qgeom(p, 0.05)", "p", lambda p: zv.qgeom(p, 0.05), "stats.geom.ppf", lambda p, rv=rv: rv.ppf(p), rv)]
    for r, b, k in [(30, 70, 20), (10 ** 6, 10 ** 7, 5000)]:
        rv = st.hypergeom(r + b, r, k)
        cases += [
            ("dhyper(x, %d, %d, %d)" % (r, b, k), "x", lambda x, a=r, c=b, d=k: zv.dhyper(x, a, c, d),
             "stats.hypergeom.pmf", lambda x, rv=rv: rv.pmf(x), rv),
            ("phyper(x, %d, %d, %d)" % (r, b, k), "x", lambda x, a=r, c=b, d=k: zv.phyper(x, a, c, d),
             "stats.hypergeom.cdf", lambda x, rv=rv: rv.cdf(x), rv),
            ("qhyper(p, %d, %d, %d)" % (r, b, k), "p", lambda p, a=r, c=b, d=k: zv.qhyper(p, a, c, d),
             "stats.hypergeom.ppf", lambda p, rv=rv: rv.ppf(p), rv),
        ]
    for name, call in [("dwilcox(x, 20, 30)", lambda x: zv.dwilcox(x, 20, 30)),
                       ("pwilcox(x, 20, 30)", lambda x: zv.pwilcox(x, 20, 30)),
                       ("dsignrank(x, 100)", lambda x: zv.dsignrank(x, 100)),
                       ("psignrank(x, 100)", lambda x: zv.psignrank(x, 100))]:
        cases.append((name, "w", call, None, None, None))
    return cases


def discrete_section(zv, cfg):
    """ns per element of the further discrete families beside scipy (one
    thread, constant parameters, 10^5 elements), and their draws beside
    numpy's Generator."""
    rng = np.random.RandomState(cfg.seed)
    n = 20000 if cfg.quick else 10 ** 5
    threads = zv.get_num_threads()
    zv.set_num_threads(1)
    print("Further discrete families: ns per element, one thread, %d elements" % n)
    print("  %-34s %9s  %-22s %9s  %6s" % ("zorvana", "ns", "reference", "ns", "ratio"))
    p = probabilities(n, rng)

    def best(fn, arg):
        times = []
        for _ in range(cfg.reps):
            t = time.perf_counter()
            fn(arg)
            times.append(time.perf_counter() - t)
        return min(times) / n * 1e9

    for name, kind, call, ref_name, ref, rv in discrete_cases(zv):
        if kind == "p":
            arg = p
        elif kind == "x":
            arg = rv.ppf(p).astype(np.int64)
        else:
            arg = rng.randint(0, 600, n).astype(np.int64)
        # the tables are made on the first call, outside the timing
        call(arg[:1])
        z = best(call, arg)
        if ref is None:
            print("  %-34s %9.1f" % (name, z))
            continue
        with np.errstate(all="ignore"):
            r = best(ref, arg)
        print("  %-34s %9.1f  %-22s %9.1f  %6.2f" % (name, z, ref_name, r, z / r))
    m = 10 ** 5 if cfg.quick else 10 ** 6
    print("")
    print("Draws: ns per draw, %d draws, beside numpy.random.Generator(MT19937)" % m)
    g = np.random.Generator(np.random.MT19937(cfg.seed))
    e = zv.Engine(cfg.seed)
    draws = [
        ("rnbinom(3.5, 0.3)", lambda: zv.rnbinom(3.5, 0.3, size=m, engine=e), lambda: g.negative_binomial(3.5, 0.3, m)),
        ("rnbinom(1000, 0.01)", lambda: zv.rnbinom(1000.0, 0.01, size=m, engine=e),
         lambda: g.negative_binomial(1000.0, 0.01, m)),
        ("rgeom(0.05)", lambda: zv.rgeom(0.05, size=m, engine=e), lambda: g.geometric(0.05, m)),
        ("rhyper(30, 70, 20)", lambda: zv.rhyper(30, 70, 20, size=m, engine=e), lambda: g.hypergeometric(30, 70, 20, m)),
        ("rhyper(10^6, 10^7, 5000)", lambda: zv.rhyper(10 ** 6, 10 ** 7, 5000, size=m, engine=e),
         lambda: g.hypergeometric(10 ** 6, 10 ** 7, 5000, m)),
        ("rwilcox(20, 30)", lambda: zv.rwilcox(20, 30, size=m, engine=e), None),
        ("rsignrank(100)", lambda: zv.rsignrank(100, size=m, engine=e), None),
        ("rmultinom(20, [.1,.2,.3,.4])", lambda: zv.rmultinom(20, [0.1, 0.2, 0.3, 0.4], size=m // 10, engine=e),
         lambda: g.multinomial(20, [0.1, 0.2, 0.3, 0.4], m // 10)),
    ]
    for name, zc, rc in draws:
        scale = 10 if name.startswith("rmultinom") else 1
        z = min(timeit_once(zc) for _ in range(cfg.reps)) / m * 1e9 * scale
        if rc is None:
            print("  %-34s %9.1f" % (name, z))
            continue
        r = min(timeit_once(rc) for _ in range(cfg.reps)) / m * 1e9 * scale
        print("  %-34s %9.1f  %-22s %9.1f  %6.2f" % (name, z, "Generator", r, z / r))
    zv.set_num_threads(threads)
    print("")


def timeit_once(fn):
    t = time.perf_counter()
    fn()
    return time.perf_counter() - t

# The noncentral functions (keyword ncp) and the studentized range beside
# scipy's: (label, zorvana call, scipy call, input maker, elements).
NONCENTRAL_PAIRS = [
    ("pchisq ncp=5", lambda zv, x: zv.pchisq(x, 4.0, ncp=5.0), "special.chndtr",
     lambda sp, x: sp.chndtr(x, 4.0, 5.0), lambda rng, n: rng.uniform(0.5, 30.0, n), 4000),
    ("pchisq ncp=1000", lambda zv, x: zv.pchisq(x, 10.0, ncp=1000.0), "special.chndtr",
     lambda sp, x: sp.chndtr(x, 10.0, 1000.0), lambda rng, n: rng.uniform(800.0, 1250.0, n), 1000),
    ("pt ncp=2", lambda zv, x: zv.pt(x, 10.0, ncp=2.0), "special.nctdtr",
     lambda sp, x: sp.nctdtr(10.0, 2.0, x), lambda rng, n: rng.uniform(-3.0, 6.0, n), 1000),
    ("pf ncp=3", lambda zv, x: zv.pf(x, 4.0, 10.0, ncp=3.0), "special.ncfdtr",
     lambda sp, x: sp.ncfdtr(4.0, 10.0, 3.0, x), lambda rng, n: rng.uniform(0.1, 6.0, n), 4000),
    ("pbeta ncp=3", lambda zv, x: zv.pbeta(x, 2.0, 5.0, ncp=3.0), "stats.ncf (as beta)",
     lambda sp, x: sp.ncfdtr(4.0, 10.0, 3.0, 2.5 * x / (1.0 - x)), lambda rng, n: rng.uniform(0.05, 0.9, n), 4000),
    ("ptukey", lambda zv, x: zv.ptukey(x, 4, 10.0), "stats.studentized_range.cdf",
     lambda sp, x: __import__("scipy.stats").stats.studentized_range.cdf(x, 4, 10.0),
     lambda rng, n: rng.uniform(1.0, 6.0, n), 8),
]


def noncentral_section(zv, cfg):
    """Microseconds per element at constant parameters, one thread."""
    import scipy.special as sp
    rng = np.random.default_rng(cfg.seed)
    zv.set_num_threads(1)
    print("%-18s %12s %12s %8s  %s" % ("function", "zorvana us", "scipy us", "ratio", "beside"))
    for label, zcall, ref_name, ref_call, make, n in NONCENTRAL_PAIRS:
        if cfg.quick:
            n = max(4, n // 10)
        x = make(rng, n)
        tz = best_of(lambda: zcall(zv, x), cfg.reps, 1) / n * 1e6
        tr = best_of(lambda: ref_call(sp, x), cfg.reps, 1) / n * 1e6
        print("%-18s %12.3f %12.3f %8.1f  %s" % (label, tz, tr, tz / tr, ref_name))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true",
                    help="small sizes and few repetitions (a smoke run of a few seconds)")
    ap.add_argument("--only", metavar="REGEX",
                    help="only functions whose name matches this regular expression "
                         "(searched: 'norm' gives dnorm, plnorm, ...; '^q' the quantiles)")
    ap.add_argument("--out", metavar="PATH", default=os.path.join(HERE, "ratios.png"),
                    help="where to write the bar chart (default benchmarks/ratios.png)")
    ap.add_argument("--seed", type=int, default=12345, help="seed of every generator (default 12345)")
    ap.add_argument("--calling", action="store_true",
                    help="only the calling-layer section (scalar latency, thread scaling)")
    ap.add_argument("--varying", action="store_true",
                    help="only the section with a parameter per element")
    ap.add_argument("--streams", action="store_true",
                    help="only the streams section (array-parameter draws, advance, jumped, spawn)")
    ap.add_argument("--tails", action="store_true",
                    help="only the upper-tail section (lower_tail=False beside scipy.stats sf / isf)")
    ap.add_argument("--accurate", action="store_true",
                    help="only the zorvana.accurate section (one thread, beside scipy's fastest route)")
    ap.add_argument("--discrete", action="store_true",
                    help="only the section of the further discrete families (beside scipy and numpy)")
    ap.add_argument("--noncentral", action="store_true",
                    help="only the noncentral functions (ncp) and ptukey beside scipy, one thread")
    cfg = ap.parse_args(argv)
    if cfg.quick:
        cfg.size, cfg.min_size, cfg.reps = 20000, 500, 3
        cfg.call_seconds, cfg.batch_seconds = 0.01, 0.002
    else:
        cfg.size, cfg.min_size, cfg.reps = 10 ** 6, 500, 5
        cfg.call_seconds, cfg.batch_seconds = 0.25, 0.01

    zv = import_zorvana()
    if cfg.calling:
        calling_section(zv, cfg)
        return 0
    if cfg.streams:
        streams_section(zv, cfg)
        return 0
    if cfg.tails:
        import scipy.stats  # noqa: F401
        tails_section(zv, cfg)
        return 0
    if cfg.accurate:
        accurate_section(zv, cfg, re.compile(cfg.only) if cfg.only else None)
        return 0
    if cfg.discrete:
        discrete_section(zv, cfg)
    if cfg.noncentral:
        noncentral_section(zv, cfg)
        return 0
    import scipy
    if cfg.varying:
        varying_section(zv, cfg, re.compile(cfg.only) if cfg.only else None)
        return 0
    start = time.time()
    pattern = re.compile(cfg.only) if cfg.only else None
    wanted = []
    for kind in "dpqr":
        for dist in DISTS:
            name = kind + dist
            if pattern is None or pattern.search(name):
                wanted.append((kind, dist))

    print("zorvana %s (%s) | numpy %s | scipy %s | Python %s"
          % (module_version(), zv.__file__, np.__version__, scipy.__version__,
             sys.version.split()[0]))
    print("machine: %s, %s logical CPUs, load average %.2f at start"
          % (cpu_model(), os.cpu_count(), os.getloadavg()[0]))
    print("throughput: up to %d elements per parameter set (column n), median of %d interleaved runs;"
          % (cfg.size, cfg.reps))
    print("  n is reduced so that one call of the slowest implementation takes about %.2f s"
          % cfg.call_seconds)
    print("latency: one call with Python-float arguments, first parameter set, a central x")
    print("inputs: x = quantile of p under each parameter set (p itself for q-functions), p shuffled:")
    print("  %d%% uniform on [%g, %g], %d%% log-uniform in each tail down to %g from 0 and 1;"
          % (100 - 200 * TAIL_SHARE, CENTRAL_LO, CENTRAL_HI, 100 * TAIL_SHARE, TAIL_MIN))
    print("  flags log/log_p False; draws use the same parameter sets, seed %d" % cfg.seed)
    print("  parameter sets (zorvana's argument order):")
    for dist in DISTS:
        if any(d == dist for _, d in wanted):
            print("    %-9s %s" % (dist, "  ".join(str(ps) for ps in PARAMS[dist])))
    print("ratio = zorvana / reference (below 1: zorvana faster); max rel = largest relative")
    print("  difference from ref1 over 2000 probe inputs per parameter set (both finite)")
    print("")

    rows = []
    for kind, dist in wanted:
        t0 = time.time()
        with np.errstate(all="ignore"), warnings.catch_warnings():
            warnings.simplefilter("ignore")  # scipy's warnings about tail inputs
            if kind == "r":
                row = draw_row(zv, dist, cfg)
            else:
                row = element_row(zv, kind, dist, cfg)
        rows.append(row)
        sys.stderr.write("  %-10s %5.1f s%s\n" % (row.name, time.time() - t0,
                                                  ("  (" + row.note + ")") if row.note else ""))
        sys.stderr.flush()

    print_table(rows)
    print("")
    far = [r for r in rows if r.maxrel is not None and r.maxrel > WORST_SHOWN]
    if far:
        print("largest relative differences from ref1 above %g (probe inputs):" % WORST_SHOWN)
        for r in far:
            print("  %-10s %8.2g  at %s" % (r.name, r.maxrel, r.worst))
        print("")
    uneven = [r for r in rows if split(r)[0] is not None
              and max(split(r)[0].ns_sets) > UNEVEN * min(split(r)[0].ns_sets)]
    if uneven:
        print("zorvana ns per element by parameter set, where the sets differ more than %gx:" % UNEVEN)
        for r in uneven:
            print("  %-10s %s" % (r.name, "  ".join(
                "%s %.3g" % (ps, v) for ps, v in zip(PARAMS[r.dist], split(r)[0].ns_sets))))
        print("")
    for line in headline(rows):
        print(line)
    print("")
    varying_section(zv, cfg, pattern)
    calling_section(zv, cfg)
    streams_section(zv, cfg)
    tails_section(zv, cfg)
    accurate_section(zv, cfg, pattern)
    discrete_section(zv, cfg)
    print("total run time %.0f s" % (time.time() - start))
    chart(rows, cfg.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
