"""Accuracy report: every density, distribution function and quantile of
zorvana against an arbitrary-precision reference (mpmath).

For each distribution and a spread of parameter values the script places a
fixed grid of points by their true probability (lower tail down to 1e-30,
the bulk, upper tail down to 1e-13), evaluates the module there and records
the largest relative error, with its input, in three regions:

- bulk: 0.01 <= F(x) and 1 - F(x) >= 0.01;
- lower tail: F(x) < 0.01;
- upper tail: 1 - F(x) < 0.01.  For the distribution functions the upper tail
  is measured on the complement 1 - p(x) formed in double, as a user computes
  it, against the true upper tail.

Quantiles are evaluated at p = F(x) rounded to double (for the discrete
distributions at the tail levels themselves) against the true quantile of
that double.

Everything is deterministic: the grid points are doubles found by bisection
over the ordered doubles at a fixed mpmath precision, the reference values use
the same fixed precision, and the module's own values are fixed to the bit.

    python tools/accuracy.py                 # writes docs/accuracy.md and docs/accuracy-*.png
    python tools/accuracy.py --only gamma    # distributions whose name matches, print only
    python tools/accuracy.py --no-plots      # the table without pictures

Needs mpmath (and matplotlib for the pictures).
"""
from __future__ import print_function

import argparse
import math
import os
import re
import struct
import sys
import time

import mpmath
from mpmath import mp, mpf

import numpy as np

try:
    import zorvana as zv
except ImportError:  # not installed: use an in-place build in this checkout
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    import zorvana as zv

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DPS = 30
TINY = 5e-324
NEXT_BELOW_ONE = 1.0 - 2.0 ** -53

# Probability levels of the grid: ('lo', L) is the least x with F(x) >= L,
# ('hi', L) the least x with 1 - F(x) <= L.
LOWER = [1e-30, 1e-25, 1e-20, 1e-17, 1e-15, 1e-13, 1e-11, 1e-9, 1e-7, 1e-5, 1e-4, 1e-3, 3e-3]
BULK = [0.011, 0.05, 0.1, 0.25, 0.4]
UPPER = [3e-3, 1e-3, 1e-4, 1e-5, 1e-7, 1e-9, 1e-11, 1e-13]
LEVELS = ([("lo", v) for v in LOWER + BULK]
          + [("hi", v) for v in [0.4, 0.25, 0.1, 0.05, 0.011] + UPPER])
REGIONS = ("bulk", "lower", "upper")


# ---------------------------------------------------------------- references

def _gamma_pq(a, z):
    if z <= 0:
        return mpf(0), mpf(1)
    return (mpmath.gammainc(a, 0, z, regularized=True),
            mpmath.gammainc(a, z, mpmath.inf, regularized=True))


def _beta_pq(a, b, u, v):
    """I_u(a, b) and its complement, with v = 1 - u given exactly."""
    if u <= 0:
        return mpf(0), mpf(1)
    if v <= 0:
        return mpf(1), mpf(0)
    return (mpmath.betainc(a, b, 0, u, regularized=True),
            mpmath.betainc(b, a, 0, v, regularized=True))


class Dist(object):
    """A distribution: the module's parameter names, a bracket for the grid
    search, and the reference F, Q = 1 - F and density at x (mpf)."""

    def __init__(self, name, pnames, bracket, cdf, pdf, discrete=False):
        self.name, self.pnames, self.bracket = name, pnames, bracket
        self.cdf, self.pdf, self.discrete = cdf, pdf, discrete


def _norm_cdf(x, mu, s):
    z = (mpf(x) - mu) / s / mpmath.sqrt(2)
    return mpmath.erfc(-z) / 2, mpmath.erfc(z) / 2


def _norm_pdf(x, mu, s):
    return mpmath.npdf(mpf(x), mu, s)


def _lnorm_cdf(x, mu, s):
    if x <= 0:
        return mpf(0), mpf(1)
    return _norm_cdf(mpmath.log(mpf(x)), mu, s)


def _lnorm_pdf(x, mu, s):
    return mpmath.npdf(mpmath.log(mpf(x)), mu, s) / x


def _exp_cdf(x, r):
    return -mpmath.expm1(-r * mpf(x)), mpmath.exp(-r * mpf(x))


def _laplace_cdf(x, mu, s):
    z = (mpf(x) - mu) / s
    half = mpmath.exp(-abs(z)) / 2
    return (half, 1 - half) if z < 0 else (1 - half, half)


def _logis_cdf(x, mu, s):
    z = (mpf(x) - mu) / s
    return 1 / (1 + mpmath.exp(-z)), 1 / (1 + mpmath.exp(z))


def _logis_pdf(x, mu, s):
    e = mpmath.exp(-abs((mpf(x) - mu) / s))
    return e / (s * (1 + e) ** 2)


def _cauchy_cdf(x, mu, s):
    z = (mpf(x) - mu) / s
    lo = mpmath.atan2(1, -z) / mpmath.pi
    return lo, mpmath.atan2(1, z) / mpmath.pi


def _cauchy_pdf(x, mu, s):
    z = (mpf(x) - mu) / s
    return 1 / (mpmath.pi * s * (1 + z * z))


def _unif_cdf(x, a, b):
    x = mpf(x)
    return (x - a) / (b - a), (b - x) / (b - a)


def _weibull_cdf(x, k, lam):
    e = (mpf(x) / lam) ** k
    return -mpmath.expm1(-e), mpmath.exp(-e)


def _weibull_pdf(x, k, lam):
    r = mpf(x) / lam
    return k / lam * r ** (k - 1) * mpmath.exp(-r ** k)


def _gamma_pdf(x, k, th):
    z = mpf(x) / th
    return mpmath.exp((k - 1) * mpmath.log(z) - z - mpmath.loggamma(k)) / th


def _invgamma_cdf(x, a, b):
    p, q = _gamma_pq(a, b / mpf(x))
    return q, p


def _invgamma_pdf(x, a, b):
    x = mpf(x)
    return mpmath.exp(a * mpmath.log(b) - mpmath.loggamma(a) - (a + 1) * mpmath.log(x) - b / x)


def _beta_pdf(x, a, b):
    x = mpf(x)
    return mpmath.exp((a - 1) * mpmath.log(x) + (b - 1) * mpmath.log1p(-x)
                      - mpmath.log(mpmath.beta(a, b)))


def _f_cdf(x, d1, d2):
    x = mpf(x)
    den = d1 * x + d2
    return _beta_pq(d1 / 2, d2 / 2, d1 * x / den, d2 / den)


def _f_pdf(x, d1, d2):
    x = mpf(x)
    lg = (d1 / 2 * mpmath.log(d1 * x) + d2 / 2 * mpmath.log(d2) - (d1 + d2) / 2 * mpmath.log(d1 * x + d2)
          - mpmath.log(x) - mpmath.log(mpmath.beta(d1 / 2, d2 / 2)))
    return mpmath.exp(lg)


def _t_cdf(x, nu):
    x = mpf(x)
    if x == 0:
        return mpf(0.5), mpf(0.5)
    w = nu / (nu + x * x)
    tail = mpmath.betainc(nu / 2, mpf(0.5), 0, w, regularized=True) / 2
    return (tail, 1 - tail) if x < 0 else (1 - tail, tail)


def _t_pdf(x, nu):
    x = mpf(x)
    return mpmath.exp(mpmath.loggamma((nu + 1) / 2) - mpmath.loggamma(nu / 2)
                      - mpmath.log(nu * mpmath.pi) / 2 - (nu + 1) / 2 * mpmath.log1p(x * x / nu))


def _pois_cdf(k, lam):
    q, p = _gamma_pq(mpf(k + 1), lam)
    return p, q


def _pois_pdf(k, lam):
    return mpmath.exp(k * mpmath.log(lam) - lam - mpmath.loggamma(k + 1))


def _binom_cdf(k, n, pr):
    if k >= n:
        return mpf(1), mpf(0)
    return _beta_pq(mpf(n - k), mpf(k + 1), 1 - pr, pr)


def _binom_pdf(k, n, pr):
    return mpmath.binomial(n, k) * pr ** k * (1 - pr) ** (n - k)


def _bern_cdf(k, pr):
    return (1 - pr, pr) if k == 0 else (mpf(1), mpf(0))


def _bern_pdf(k, pr):
    return 1 - pr if k == 0 else pr


def _wide(lo, hi):
    return lambda *p: (lo, hi)


DISTS = {
    "norm": Dist("norm", ("mu", "sigma"), lambda mu, s: (mu - 60 * s, mu + 60 * s), _norm_cdf, _norm_pdf),
    "lnorm": Dist("lnorm", ("mu", "sigma"), _wide(TINY, 1e300), _lnorm_cdf, _lnorm_pdf),
    "exp": Dist("exp", ("rate",), lambda r: (TINY, 1000.0 / r), _exp_cdf, lambda x, r: r * mpmath.exp(-r * x)),
    "laplace": Dist("laplace", ("mu", "sigma"), lambda mu, s: (mu - 1000 * s, mu + 1000 * s), _laplace_cdf,
                    lambda x, mu, s: mpmath.exp(-abs(mpf(x) - mu) / s) / (2 * s)),
    "logis": Dist("logis", ("mu", "sigma"), lambda mu, s: (mu - 1000 * s, mu + 1000 * s), _logis_cdf,
                  _logis_pdf),
    "cauchy": Dist("cauchy", ("mu", "sigma"), _wide(-1e300, 1e300), _cauchy_cdf, _cauchy_pdf),
    "unif": Dist("unif", ("a", "b"), lambda a, b: (a, b), _unif_cdf, lambda x, a, b: 1 / (b - a)),
    "weibull": Dist("weibull", ("shape", "scale"), lambda k, lam: (TINY, lam * 1000.0 ** (1.0 / k)),
                    _weibull_cdf, _weibull_pdf),
    "gamma": Dist("gamma", ("shape", "scale"), lambda k, th: (TINY, th * (k + 60 * math.sqrt(k) + 200)),
                  lambda x, k, th: _gamma_pq(k, mpf(x) / th), _gamma_pdf),
    "invgamma": Dist("invgamma", ("shape", "scale"), lambda a, b: (b / (a + 60 * math.sqrt(a) + 200), 1e300),
                     _invgamma_cdf, _invgamma_pdf),
    "chisq": Dist("chisq", ("dof",), lambda nu: (TINY, nu + 60 * math.sqrt(2 * nu) + 400),
                  lambda x, nu: _gamma_pq(nu / 2, mpf(x) / 2), lambda x, nu: _gamma_pdf(x, nu / 2, 2)),
    "pois": Dist("pois", ("rate",), lambda lam: (0, int(lam + 60 * math.sqrt(lam) + 200)),
                 _pois_cdf, _pois_pdf, discrete=True),
    "beta": Dist("beta", ("a", "b"), _wide(TINY, NEXT_BELOW_ONE),
                 lambda x, a, b: _beta_pq(a, b, mpf(x), 1 - mpf(x)), _beta_pdf),
    "f": Dist("f", ("df1", "df2"), _wide(TINY, 1e300), _f_cdf, _f_pdf),
    "binom": Dist("binom", ("n_trials", "prob"), lambda n, pr: (0, n), _binom_cdf, _binom_pdf, discrete=True),
    "bern": Dist("bern", ("prob",), lambda pr: (0, 1), _bern_cdf, _bern_pdf, discrete=True),
    "t": Dist("t", ("dof",), _wide(-1e300, 1e300), _t_cdf, _t_pdf),
}

# The families of the report: title, file stem, and per distribution the
# parameter sets measured.
FAMILIES = [
    ("Normal and log-normal", "normal", [
        ("norm", [(0.0, 1.0), (3.0, 0.01)]),
        ("lnorm", [(0.0, 1.0), (2.0, 0.25), (0.0, 3.0)]),
    ]),
    ("Gamma, inverse-gamma, chi-squared and Poisson", "gamma", [
        ("gamma", [(0.05, 1.0), (0.5, 1.0), (2.0, 1.0), (10.0, 1.0), (20.0, 1.0), (30.0, 1.0),
                   (50.0, 1.0), (100.0, 2.5)]),
        ("invgamma", [(0.5, 1.0), (3.0, 2.0), (10.0, 1.0), (50.0, 1.0)]),
        ("chisq", [(0.5,), (1.0,), (3.0,), (20.0,), (60.0,), (100.0,), (200.0,)]),
        ("pois", [(0.5,), (5.0,), (10.5,), (50.0,), (200.0,), (10000.0,)]),
    ]),
    ("Beta, F, binomial and Bernoulli", "beta", [
        ("beta", [(0.5, 0.5), (0.1, 3.0), (2.0, 5.0), (50.0, 3.0), (20.0, 20.0), (200.0, 300.0)]),
        ("f", [(1.0, 1.0), (5.0, 12.0), (50.0, 3.0), (3.0, 0.3), (100.0, 10000.0)]),
        ("binom", [(10, 0.3), (100, 0.5), (1000, 0.01), (2000, 0.9)]),
        ("bern", [(0.3,), (1e-10,)]),
    ]),
    ("Student t", "t", [
        ("t", [(0.12,), (0.6,), (1.0,), (2.0,), (3.5,), (10.0,), (30.0,), (10000.0,)]),
    ]),
    ("Exponential, Laplace, logistic, Cauchy, uniform and Weibull", "closed", [
        ("exp", [(1.0,), (1e-3,)]),
        ("laplace", [(0.0, 1.0)]),
        ("logis", [(0.0, 1.0)]),
        ("cauchy", [(0.0, 1.0)]),
        ("unif", [(0.0, 1.0), (-3.0, 7.0)]),
        ("weibull", [(0.5, 1.0), (2.0, 1.0), (10.0, 3.0)]),
    ]),
]


# Parameter sets measured on purpose where the module is known to break down
# in the bulk; the summary reports them apart from the typical ones.
BREAKDOWNS = {
    ("gamma", (0.05, 1.0)): "shape below 0.1: the 2^-52 rule zeroes the lower part of the bulk",
    ("beta", (0.1, 3.0)): "a shape below 0.1: the 2^-52 rule zeroes the lower part of the bulk",
    ("f", (3.0, 0.3)): "df2 below 1: the bulk lies beyond 1e12, where the terms cancel",
    ("t", (0.12,)): "dof below 0.2: the incomplete beta argument of the bulk is below 2^-52",
}


def breakdown(name, params):
    return BREAKDOWNS.get((name, tuple(params)))


# --------------------------------------------------------------------- grid

def _key(x):
    b = struct.unpack("<q", struct.pack("<d", x))[0]
    return b if b >= 0 else -(b & 0x7FFFFFFFFFFFFFFF)


def _unkey(k):
    b = k if k >= 0 else (-k) | -0x8000000000000000
    return struct.unpack("<d", struct.pack("<q", b))[0]


def _least_double(pred, lo, hi):
    """Least double x in [lo, hi] with pred(x), pred monotone and true at hi,
    to a relative width of 1e-6 (the grid needs no more)."""
    if pred(lo):
        return lo
    klo, khi = _key(lo), _key(hi)
    while khi - klo > 1:
        xl, xh = _unkey(klo), _unkey(khi)
        if abs(xh - xl) <= 1e-6 * max(abs(xl), abs(xh)):
            break
        mid = (klo + khi) // 2
        if pred(_unkey(mid)):
            khi = mid
        else:
            klo = mid
    return _unkey(khi)


def _least_int(pred, lo, hi):
    if pred(lo):
        return lo
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if pred(mid):
            hi = mid
        else:
            lo = mid
    return hi


def _pred(cdf, params, side, level):
    level = mpf(level)
    if side == "lo":
        return lambda x: cdf(x, *params)[0] >= level
    return lambda x: cdf(x, *params)[1] <= level


def _region(F, Q):
    if F < mpf("0.01"):
        return "lower"
    if Q < mpf("0.01"):
        return "upper"
    return "bulk"


def _true_quantile(dist, params, x, p):
    """Root of F(t) = p near the grid point x, by Newton's method in mpmath;
    None if it does not settle."""
    t = mpf(x)
    pm = mpf(p)
    lo, hi = dist.bracket(*params)
    for _ in range(12):
        F, Q = dist.cdf(t, *params)
        f = dist.pdf(t, *params)
        if not f > 0:
            return None
        r = F - pm if F <= 0.5 else (1 - pm) - Q
        step = r / f
        t = t - step
        if not lo <= t <= hi:
            return None
        if abs(step) <= mpf(10) ** (-DPS + 4) * abs(t):
            return t
    return None


_GRIDS = {}


def grid(name, params):
    """The points of one parameter set: for the d- and p-functions a list of
    (x, F, Q, density), for the q-function a list of (p, true quantile, F)."""
    if (name, params) not in _GRIDS:
        _GRIDS[(name, params)] = _grid(name, params)
    return _GRIDS[(name, params)]


def _grid(name, params):
    mp.dps = DPS
    dist = DISTS[name]
    mparams = tuple(mpf(v) if isinstance(v, float) else v for v in params)
    lo, hi = dist.bracket(*params)
    xs = []
    qs = []
    if dist.discrete:
        for side, level in LEVELS:
            p = level if side == "lo" else 1.0 - level
            if not 0.0 < p < 1.0:
                continue
            target = ("lo", p) if side == "lo" else ("hi", 1 - mpf(p))
            k = _least_int(_pred(dist.cdf, mparams, *target), lo, hi)
            F, Q = dist.cdf(k, *mparams)
            qs.append((p, mpf(k), F))
            if k not in [x for x, _, _, _ in xs]:
                xs.append((k, F, Q, dist.pdf(k, *mparams)))
        xs.sort(key=lambda r: r[0])
        return xs, qs
    for side, level in LEVELS:
        x = _least_double(_pred(dist.cdf, mparams, side, level), lo, hi)
        if x in [r[0] for r in xs]:
            continue
        F, Q = dist.cdf(x, *mparams)
        xs.append((x, F, Q, dist.pdf(x, *mparams)))
        p = float(F)
        if 0.0 < p < 1.0:
            qs.append((p, _true_quantile(dist, mparams, x, p), F))
    return xs, qs


# ------------------------------------------------------------------ measure

def rel_err(c, t, unit=0):
    """|c - t| / |t|; with unit=1 (counts) the denominator is at least 1."""
    if math.isnan(c):
        return float("nan")
    if unit:
        t = mpf(t)
        return float(abs(mpf(c) - t) / max(abs(t), 1)) if not math.isinf(c) else float("inf")
    if t == 0:
        return 0.0 if c == 0 else float("inf")
    if math.isinf(c):
        return float("inf")
    return float(abs((mpf(c) - t) / t))


def _worse(e, best):
    """NaN ranks above inf, inf above every number."""
    if best is None:
        return True
    if math.isnan(best):
        return False
    if math.isnan(e):
        return True
    return e > best


def measure(name, params):
    """Relative errors of d, p and q of one parameter set: a dict function ->
    list of (coordinate F, error, input, region), in grid order."""
    dist = DISTS[name]
    xs, qs = grid(name, params)
    d = getattr(zv, "d" + name)
    p = getattr(zv, "p" + name)
    q = getattr(zv, "q" + name)
    out = {"d": [], "p": [], "q": []}
    for x, F, Q, dens in xs:
        arg = int(x) if dist.discrete else x
        reg = _region(F, Q)
        out["d"].append((F, rel_err(d(arg, *params), dens), x, reg))
        pv = p(arg, *params)
        if reg == "upper":
            out["p"].append((F, rel_err(1.0 - pv, Q), x, reg))
        else:
            out["p"].append((F, rel_err(pv, F), x, reg))
    for pr, ref, F in qs:
        if ref is None:
            continue
        reg = "lower" if pr < 0.01 else ("upper" if pr > 0.99 else "bulk")
        out["q"].append((F, rel_err(q(pr, *params), ref, int(dist.discrete)), pr, reg))
    return out


def fmt_num(v):
    return "%.6g" % v


def fmt_p(v):
    if v > 0.5:
        return "1-%.3g" % (1.0 - v)
    return "%.3g" % v


def fmt_err(e):
    if math.isnan(e):
        return "NaN"
    if math.isinf(e):
        return "inf"
    if e == 0:
        return "0"
    return "%.1e" % e


def cells(kind, points):
    """The three table cells (bulk, lower, upper) of one function."""
    row = []
    for reg in REGIONS:
        worst = None
        for _, e, inp, r in points:
            if r == reg and _worse(e, worst and worst[0]):
                worst = (e, inp)
        if worst is None:
            row.append("-")
        else:
            inp = ("p=" + fmt_p(worst[1])) if kind == "q" else ("x=" + fmt_num(worst[1]))
            row.append("%s at %s" % (fmt_err(worst[0]), inp))
    return row


def param_text(name, params):
    return ", ".join("%s=%s" % (k, fmt_num(v)) for k, v in zip(DISTS[name].pnames, params))


def table_rows(name, params, result):
    return [["%s%s" % (kind, name), param_text(name, params)] + cells(kind, result[kind])
            for kind in ("d", "p", "q")]


def parse_table(text):
    """Rows of every table in a report: {(function, parameters): cells}."""
    rows = {}
    for line in text.splitlines():
        parts = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(parts) == 5 and re.match(r"^`[dpq]\w+`$", parts[0]):
            rows[(parts[0].strip("`"), parts[1])] = parts[2:]
    return rows


# ------------------------------------------------------------ upper tails

# Levels of the upper-tail grid: the least x with Q(x) = 1 - F(x) <= L.
UPPER_DEEP = [0.4, 0.1, 1e-2, 1e-4, 1e-7, 1e-10, 1e-13, 1e-16, 1e-20, 1e-30, 1e-50, 1e-100, 1e-150, 1e-200,
              1e-250, 1e-300]
UPPER_COLUMNS = ("upper", "sf", "one_minus", "log", "q", "isf")


def stats_rv(name, params):
    """scipy.stats' distribution, shape arguments and loc/scale keywords
    for zorvana's parametrisation; None without scipy."""
    try:
        import scipy.stats as st
    except ImportError:
        return None
    ls = lambda rv: (rv, (), dict(loc=params[0], scale=params[1]))  # noqa: E731
    table = {
        "norm": lambda: ls(st.norm), "cauchy": lambda: ls(st.cauchy), "laplace": lambda: ls(st.laplace),
        "logis": lambda: ls(st.logistic),
        "unif": lambda: (st.uniform, (), dict(loc=params[0], scale=params[1] - params[0])),
        "lnorm": lambda: (st.lognorm, (params[1],), dict(scale=math.exp(params[0]))),
        "exp": lambda: (st.expon, (), dict(scale=1.0 / params[0])),
        "weibull": lambda: (st.weibull_min, (params[0],), dict(scale=params[1])),
        "gamma": lambda: (st.gamma, (params[0],), dict(scale=params[1])),
        "invgamma": lambda: (st.invgamma, (params[0],), dict(scale=params[1])),
        "chisq": lambda: (st.chi2, params, {}), "pois": lambda: (st.poisson, params, {}),
        "beta": lambda: (st.beta, params, {}), "f": lambda: (st.f, params, {}),
        "binom": lambda: (st.binom, params, {}), "bern": lambda: (st.bernoulli, params, {}),
        "t": lambda: (st.t, params, {}),
    }
    return table[name]()


def _upper_bracket(dist, params, level):
    """(lo, hi) with Q(hi) <= level, hi grown from the grid's bracket; None
    when no double (or count) reaches the level."""
    lo, hi = dist.bracket(*params)
    for _ in range(4000):
        if dist.cdf(hi, *params)[1] <= level:
            return lo, hi
        if dist.discrete:
            hi = hi * 2 + 1
        elif hi >= 1e300:
            return None
        else:
            hi = min(1.7976931348623157e308, hi * 2 if hi > 1 else hi + 1)
    return None


def _true_upper_quantile(dist, params, x, p):
    """Root of Q(t) = p near the grid point x (Newton's method in mpmath)."""
    t, pm = mpf(x), mpf(p)
    for _ in range(40):
        Q = dist.cdf(t, *params)[1]
        f = dist.pdf(t, *params)
        if not f > 0:
            return None
        step = (pm - Q) / f  # dQ/dt = -f
        # the log of Q is close to linear far out: limit each step to a tenth of t's size
        if abs(step) > abs(t) / 10 + 1:
            step = (abs(t) / 10 + 1) * (1 if step > 0 else -1)
        t = t - step
        if abs(step) <= mpf(10) ** (-DPS + 4) * (abs(t) + 1) and abs(Q - pm) <= pm * mpf(10) ** (-DPS + 6):
            return t
    return None


def measure_upper(name, params):
    """Errors of the upper tail at points with Q(x) from 0.4 down to 1e-300:
    {column: [(Q, error, input)]} for p(x, lower_tail=False), scipy's sf,
    1 - p(x), the log of the upper tail, q(Q, lower_tail=False) and scipy's isf."""
    mp.dps = DPS
    dist = DISTS[name]
    mparams = tuple(mpf(v) if isinstance(v, float) else v for v in params)
    p = getattr(zv, "p" + name)
    q = getattr(zv, "q" + name)
    rv = stats_rv(name, params)
    out = dict((c, []) for c in UPPER_COLUMNS)
    seen = set()
    for level in UPPER_DEEP:
        bracket = _upper_bracket(dist, mparams, mpf(level))
        if bracket is None:
            continue
        pred = _pred(dist.cdf, mparams, "hi", level)
        x = (_least_int if dist.discrete else _least_double)(pred, *bracket)
        if x in seen:
            continue
        seen.add(x)
        Q = dist.cdf(x, *mparams)[1]
        if not Q > 0:
            continue
        arg = int(x) if dist.discrete else x
        out["upper"].append((Q, rel_err(p(arg, *params, lower_tail=False), Q), x))
        out["one_minus"].append((Q, rel_err(1.0 - p(arg, *params), Q), x))
        out["log"].append((Q, rel_err(p(arg, *params, log_p=True, lower_tail=False), mpmath.log(Q)), x))
        if rv is not None:
            with np.errstate(all="ignore"):
                out["sf"].append((Q, rel_err(float(rv[0].sf(arg, *rv[1], **rv[2])), Q), x))
        # quantiles at the level itself (discrete) or at Q rounded to double
        pr = level if dist.discrete else float(Q)
        if not 0.0 < pr < 1.0:
            continue
        ref = mpf(x) if dist.discrete else _true_upper_quantile(dist, mparams, x, pr)
        if ref is None:
            continue
        unit = int(dist.discrete)
        out["q"].append((Q, rel_err(q(pr, *params, lower_tail=False), ref, unit), pr))
        if rv is not None:
            with np.errstate(all="ignore"):
                out["isf"].append((Q, rel_err(float(rv[0].isf(pr, *rv[1], **rv[2])), ref, unit), pr))
    return out


def upper_cells(name, params, result):
    """Cells of one parameter set: the worst error of each column with its input."""
    row = ["`p%s`, `q%s`" % (name, name), param_text(name, params)]
    for col in UPPER_COLUMNS:
        worst = None
        for _, e, inp in result[col]:
            if _worse(e, worst and worst[0]):
                worst = (e, inp)
        if worst is None:
            row.append("-")
        else:
            inp = ("p=%.3g" % worst[1]) if col in ("q", "isf") else ("x=" + fmt_num(worst[1]))
            row.append("%s at %s" % (fmt_err(worst[0]), inp))
    return row


UPPER_TEXT = """## Upper tails

`p<dist>(x, ..., lower_tail=False)` computes the upper tail Q(x) = P(X > x) directly, and with
`log_p=True` its logarithm in log space. The table measures it at {npts} levels of Q, from 0.4 down
to 1e-300 (the least x, or count, with Q(x) <= the level; fewer where no double reaches the deeper
levels), each cell the largest relative error over them with its input:

- **upper tail**: `p(x, lower_tail=False)` against the true Q(x);
- **scipy sf**: scipy.stats' `sf` at the same x (scipy {scipy});
- **1 - p**: the complement of the lower tail formed in double, the way without the keyword; it is
  lost below about 1e-16 (an error of 1.0e+00 is a 0) and, where the lower tail is approximated,
  wrong long before;
- **log**: `p(x, log_p=True, lower_tail=False)` against log Q(x), relative;
- **upper quantile**: `q(p, lower_tail=False)` at p = Q(x) rounded to double against the true x
  with Q(x) = p (discrete: at the levels, against the least count k with Q(k) <= p, in counts over
  the larger of 1 and the count);
- **scipy isf**: scipy.stats' `isf` at the same p.

The same errors, worst over the parameter sets of each function:

{summary}

By parameter set:

{table}
"""


def write_upper(upper_by_family):
    """The upper-tail section of the report, as text."""
    try:
        import scipy
        version = scipy.__version__
    except ImportError:
        version = "not installed"
    head = ("| functions | parameters | upper tail | scipy sf | 1 - p | log | upper quantile | scipy isf |\n"
            "|---|---|---|---|---|---|---|---|")
    summary = ["| functions | upper tail | scipy sf | 1 - p | log | upper quantile | scipy isf |",
               "|---|---|---|---|---|---|---|"]
    table = [head]
    for title, results in upper_by_family:
        for name, sets in results:
            worst = []
            for col in UPPER_COLUMNS:
                w = None
                for _, res in sets:
                    for _, e, _ in res[col]:
                        if _worse(e, w):
                            w = e
                worst.append("-" if w is None else fmt_err(w))
            summary.append("| `p%s`, `q%s` | %s |" % (name, name, " | ".join(worst)))
            for params, res in sets:
                table.append("| %s |" % " | ".join(upper_cells(name, params, res)))
    return UPPER_TEXT.format(npts=len(UPPER_DEEP), scipy=version, summary="\n".join(summary),
                             table="\n".join(table))


# ------------------------------------------------------- known breakdowns

def _known():
    """Named cases where the values are far from the truth, computed now:
    (expression, module value, true value, comment)."""
    mp.dps = DPS
    out = []

    def add(expr, value, true, note):
        out.append((expr, value, true, note))

    add("df(1, 1e15, 5)", zv.df(1, 1e15, 5), _f_pdf(1, mpf(1e15), mpf(5)),
        "huge degrees of freedom: the density's factor 1 - x m cancels")
    xs = np.linspace(1e12, 1e13, 2001)
    v = zv.pf(xs, 1100.64, 0.3)
    i = int(np.argmin(np.diff(v)))
    add("pf(%s, 1100.64, 0.3)" % fmt_num(xs[i]), v[i], _f_cdf(xs[i], mpf(1100.64), mpf(0.3))[0],
        "pf is not monotone here: pf(%s, 1100.64, 0.3) = %s is smaller"
        % (fmt_num(xs[i + 1]), repr(float(v[i + 1]))))
    add("dpois(10**16, 1e16)", zv.dpois(10 ** 16, 1e16), _pois_pdf(10 ** 16, mpf(1e16)),
        "the three terms of the log mass, each about 3.6e17, cancel to -19.3 and their rounding is larger")
    add("pt(-1e8, 0.12)", zv.pt(-1e8, 0.12), _t_cdf(-1e8, mpf(0.12))[0],
        "the incomplete beta argument 0.12/1e16 is below 2^-52 and counts as zero")
    add("pinvgamma(1e16, 0.5, 1e15)", zv.pinvgamma(1e16, 0.5, 1e15),
        _invgamma_cdf(1e16, mpf(0.5), mpf(1e15))[0],
        "1/x is below 2^-52 and counts as zero, so P(0.5, 0.1) is taken as 0")
    add("pinvgamma(1e17, 2, 1e17)", zv.pinvgamma(1e17, 2, 1e17), _invgamma_cdf(1e17, mpf(2), mpf(1e17))[0],
        "NaN for every scale above 2^52 (its reciprocal counts as zero)")
    add("pnorm(-8.3, log_p=True)", zv.pnorm(-8.3, log_p=True), mpmath.log(_norm_cdf(-8.3, 0, 1)[0]),
        "a probability below 2^-52 has the logarithm -inf")
    add("qnorm(1e-17)", zv.qnorm(1e-17), mpf(-8.4937932241095980),
        "a probability below 2^-52 counts as zero")
    add("1 - pchisq(60, 20)", 1.0 - zv.pchisq(60, 20), _gamma_pq(mpf(10), mpf(30))[1],
        "quadrature window: the mass beyond 5 standard deviations above the mode is dropped")
    for k in (16, 20):
        add("ppois(%d, 50)" % k, zv.ppois(k, 50.0), _pois_cdf(k, mpf(50))[0],
            "1 - P(%d, 50) with P from the quadrature window" % (k + 1))
    add("qchisq(0.99999, 100)", zv.qchisq(0.99999, 100),
        _true_quantile(DISTS["chisq"], (mpf(100),), 172.1, 0.99999),
        "quantile search on a distribution function that stops short of 1")
    qref = _least_int(lambda k: _pois_cdf(k, mpf(50))[0] >= mpf(1e-5), 0, 100)
    add("qpois(1e-5, 50)", zv.qpois(1e-5, 50.0), mpf(qref), "the lower tail of ppois(k, 50) is too large")
    p3 = zv.ppois(3, 2.0)
    add("qpois(ppois(3, 2), 2)", zv.qpois(p3, 2.0), mpf(3),
        "at a probability the distribution function attains, qpois goes one count further (F(i) > p)")
    return out


# ------------------------------------------------------------------ output

TICKS = [1e-30, 1e-20, 1e-10, 0.5, 1 - 1e-6, 1 - 1e-13]
TICK_LABELS = ["1e-30", "1e-20", "1e-10", "0.5", "1-1e-6", "1-1e-13"]


def _plot_family(title, stem, results, path):
    import matplotlib
    import matplotlib.ticker
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    names = [name for name, _ in results]
    # Three panels a row and a fourth, narrow column that holds the row's
    # legend, so no legend covers a curve; 1,600 px wide.
    fig, axes = plt.subplots(len(names), 4, figsize=(16, 3.2 * len(names) + 0.9), squeeze=False,
                             gridspec_kw={"width_ratios": [1, 1, 1, 0.42]})
    floor, top = 1e-18, 10.0
    for row, (name, sets) in enumerate(results):
        for col, kind in enumerate("dpq"):
            ax = axes[row][col]
            for i, (params, res) in enumerate(sets):
                pts = [(float(F), e) for F, e, _, _ in res[kind] if 0 < float(F) < 1]
                if not pts:
                    continue
                xs = [c for c, _ in pts]
                ys = [top if (math.isnan(e) or math.isinf(e) or e > top) else max(e, floor) for _, e in pts]
                ax.plot(xs, ys, "o-", ms=3, lw=1.2, color=plt.cm.viridis(i / max(1, len(sets) - 1)),
                        label=param_text(name, params) + (" (breakdown)" if breakdown(name, params) else ""))
            ax.set_xscale("logit")
            ax.set_xlim(1e-31, 1 - 1e-14)
            ax.set_xticks(TICKS)
            ax.set_xticklabels(TICK_LABELS)
            ax.xaxis.set_minor_locator(matplotlib.ticker.NullLocator())
            ax.set_yscale("log")
            ax.set_ylim(floor / 2, top * 3)
            ax.axhline(2.0 ** -52, color="0.6", lw=0.8, ls=":")
            ax.set_title(kind + name + (" (1 - p in the upper tail)" if kind == "p" else ""), fontsize=11)
            ax.tick_params(labelsize=9)
            if col == 0:
                ax.set_ylabel("relative error", fontsize=10)
            if row == len(names) - 1:
                ax.set_xlabel("true F(x) (q: p), logit scale", fontsize=10)
        legend = axes[row][3]
        legend.axis("off")
        handles, labels = axes[row][0].get_legend_handles_labels()
        legend.legend(handles, labels, loc="center left", fontsize=9, frameon=False,
                      title=name + " parameters", title_fontsize=10)
    fig.suptitle("%s: relative error against mpmath (0 drawn at 1e-18; NaN, inf and >10 at 10; "
                 "dotted: 2^-52)" % title, fontsize=12)
    fig.tight_layout(rect=(0, 0, 1, 0.98))
    fig.savefig(path, dpi=100)
    plt.close(fig)


HEADER = """# Accuracy

How far zorvana's values are from the true ones, measured by `tools/accuracy.py` against mpmath
({dps} significant digits) for every density (d), distribution function (p) and quantile (q) of the
seventeen distributions. The module reproduces a fixed arithmetic with deliberate approximations
(see [the behaviour notes](behaviour.md)); this page shows where they bite and how much.

How to read the tables. For each parameter set the script places {npts} points by their true
probability F(x): lower tail F down to 1e-30, the bulk, upper tail 1 - F down to 1e-13. Each cell
is the largest relative error |computed - true| / |true| in one region, with the input where it
occurs:

- **bulk**: 0.01 <= F(x) <= 0.99;
- **lower tail**: F(x) < 0.01 (for q: p < 0.01);
- **upper tail**: 1 - F(x) < 0.01 (for q: p > 0.99). For the p-functions this column measures
  the complement `1 - p(x)` formed in double, as a user computes an upper tail, against the true
  upper tail. Even a correctly rounded p leaves 1 - p an error of up to 1.1e-16 / (1 - F): about
  1e-3 at the deepest level, 1e-13. Larger values are the module's own; near 1 the upper tail is
  lost, far above 1 the error of p is larger than the tail itself. The upper tail computed
  directly (`lower_tail=False`) is measured in [Upper tails](#upper-tails), down to 1e-300.

Quantiles are evaluated at p = F(x) rounded to double (discrete distributions: at the levels
themselves, p or 1 - p) against the true quantile of that double (for the discrete ones the least
count k with F(k) >= p; their error is the difference in counts over the larger of 1 and the true
count). A relative error of about 1e-16 is the rounding of a double; `0` means exact; `1.0e+00`
is mostly a 0 where the truth is not (the 2^-52 rule); `inf` an infinity where the truth is
finite, or a non-zero value where the truth is 0. The pictures (`accuracy-<family>.png`) draw the
same errors over F(x), one curve per parameter set.

Regenerate with `python tools/accuracy.py` (a few minutes); `tests/test_accuracy.py`
recomputes some rows and compares them with this page.
"""


def write_report(results_by_family, known, path, upper_by_family=(), accurate_by_family=()):
    lines = [HEADER.format(dps=DPS, npts=len(LEVELS))]
    lines.append("## Known breakdowns\n")
    lines.append("Cases named here on purpose; the values are computed by the same script.\n")
    lines.append("| expression | zorvana | true | why |")
    lines.append("|---|---|---|---|")
    for expr, value, true, note in known:
        lines.append("| `%s` | %s | %s | %s |" % (expr, repr(float(value)), mpmath.nstr(true, 6), note))
    lines.append("""
- **The 2^-52 rule.** Magnitudes below 2^-52 count as zero: distribution functions of the gamma,
  beta, F, log-normal and Weibull families are 0 for x below 2^-52, arguments of the incomplete
  gamma and beta functions below 2^-52 give 0 (`pt(-1e8, 0.12)`), a probability below 2^-52 has
  logarithm -inf, quantiles of p below 2^-52 are the lower end of the support or -inf, and the
  inverse-gamma functions give NaN for a scale above 2^52. This is the lower-tail column of most
  p- and q-rows below.
- **The quadrature window.** The incomplete gamma function P(a, x) for a >= 10 and x <= 3a
  integrates only over a window around the mode (up to 5 standard deviations above it for a <= 30,
  10 for a > 800). The mass beyond is dropped, so `1 - pgamma` and `1 - pchisq` lose their upper
  tail, `ppois` its lower tail (it is 1 - P(x + 1, rate)), and the quantiles that search on them
  go wrong there (`qchisq`, `qgamma`, `qinvgamma`, `qpois`).
- **`qpois` is strict.** It returns the least count i with F(i) > p, so a p that the distribution
  function attains exactly gives one count more than the usual definition (F(i) >= p).
- **Linear costs.** `pbinom(x, n, prob)` adds x + 1 masses and `rbinom` draws one uniform per
  trial, so both cost time proportional to the count: `pbinom(10**6, 2 * 10**6, 0.5)` takes about
  a second, `rbinom` about 10 ms per draw at 10^6 trials.
- **Huge parameters.** At degrees of freedom, counts or rates near 1e15 and beyond, the formulas
  cancel: see `df`, `pf` and `dpois` above.
""")
    lines.append("## Summary\n")
    lines.append("Largest relative error of each function over the typical parameter sets below, that is "
                 "all but the known breakdowns listed after this table.\n")
    lines.append("| function | bulk | lower tail | upper tail |")
    lines.append("|---|---|---|---|")
    broken = []
    for title, stem, results in results_by_family:
        for name, sets in results:
            typical = [(params, res) for params, res in sets if not breakdown(name, params)]
            broken += [(name, params, res) for params, res in sets if breakdown(name, params)]
            for kind in "dpq":
                worst = []
                for reg in REGIONS:
                    w = None
                    for _, res in typical:
                        for _, e, _, r in res[kind]:
                            if r == reg and _worse(e, w):
                                w = e
                    worst.append("-" if w is None else fmt_err(w))
                lines.append("| `%s%s` | %s |" % (kind, name, " | ".join(worst)))
    lines.append("\nParameter sets where the values break down in the bulk, measured on purpose:\n")
    lines.append("| function | parameters | bulk | lower tail | upper tail | why |")
    lines.append("|---|---|---|---|---|---|")
    for name, params, res in broken:
        for row in table_rows(name, params, res):
            lines.append("| `%s` | %s | %s | %s | %s | %s |" % tuple(row + [breakdown(name, params)]))
    for title, stem, results in results_by_family:
        lines.append("\n## %s\n" % title)
        lines.append("![relative error](accuracy-%s.png)\n" % stem)
        lines.append("| function | parameters | bulk | lower tail | upper tail |")
        lines.append("|---|---|---|---|---|")
        for name, sets in results:
            for params, res in sets:
                for row in table_rows(name, params, res):
                    lines.append("| `%s` | %s | %s | %s | %s |" % tuple(row))
    if upper_by_family:
        lines.append("\n" + write_upper(upper_by_family))
    if accurate_by_family:
        lines.append("\n" + write_accurate(accurate_by_family))
    with open(path, "w") as fh:
        fh.write("\n".join(lines) + "\n")


# ------------------------------------------------------- zorvana.accurate

ACCURATE_COLUMNS = ("za", "scipy")


def measure_accurate(name, params):
    """Errors of zorvana.accurate and scipy.stats on the grid of one parameter
    set: {function kind: {column: [(error, input)]}}; the p-functions in both
    tails (each tail against its own true value, P(X > x) from sf)."""
    import zorvana.accurate as za
    dist = DISTS[name]
    xs, qs = grid(name, params)
    rv, shapes, kw = stats_rv(name, params)
    sp = dict((m, (lambda v, f=getattr(rv, m): float(f(v, *shapes, **kw))))
              for m in ("pmf" if dist.discrete else "pdf", "cdf", "sf", "ppf"))
    d, p, q = (getattr(za, k + name) for k in "dpq")
    out = dict((k, dict((c, []) for c in ACCURATE_COLUMNS)) for k in "dpq")
    for x, F, Q, dens in xs:
        arg = int(x) if dist.discrete else x
        out["d"]["za"].append((rel_err(d(arg, *params), dens), x))
        out["d"]["scipy"].append((rel_err(sp["pmf" if dist.discrete else "pdf"](arg), dens), x))
        for got, ref in ((p(arg, *params), F), (p(arg, *params, lower_tail=False), Q)):
            out["p"]["za"].append((rel_err(got, ref), x))
        for got, ref in ((sp["cdf"](arg), F), (sp["sf"](arg), Q)):
            out["p"]["scipy"].append((rel_err(got, ref), x))
    for pr, ref, F in qs:
        if ref is None:
            continue
        unit = int(dist.discrete)
        out["q"]["za"].append((rel_err(q(pr, *params), ref, unit), pr))
        out["q"]["scipy"].append((rel_err(sp["ppf"](pr), ref, unit), pr))
    return out


def accurate_cells(kind, result):
    row = []
    for col in ACCURATE_COLUMNS:
        worst = None
        for e, inp in result[kind][col]:
            if _worse(e, worst and worst[0]):
                worst = (e, inp)
        inp = ("p=" + fmt_p(worst[1])) if kind == "q" else ("x=" + fmt_num(worst[1]))
        row.append("%s at %s" % (fmt_err(worst[0]), inp))
    return row


def write_accurate(accurate_by_family):
    """The zorvana.accurate section of the report, as text."""
    lines = ["## zorvana.accurate beside scipy\n",
             "`zorvana.accurate` holds the same 51 functions computed by the module's accurate arithmetic "
             "(correct values in place of the prescribed arithmetic's bits). The table measures them on the "
             "grid of the sections above (F(x) from 1e-30 to 1 - 1e-13), beside scipy.stats' pdf (pmf), "
             "cdf and sf, and ppf at the same points; each cell is the largest relative error with its input. "
             "The p-functions are measured in both tails: P(X <= x) against F(x) and "
             "`lower_tail=False` (scipy: sf) against 1 - F(x) computed exactly. Quantiles are taken at "
             "p = F(x) rounded to double (discrete: at the levels, in counts over the larger of 1 and the "
             "count).\n",
             "The same errors, worst over the parameter sets of each function:\n",
             "| function | zorvana.accurate | scipy |", "|---|---|---|"]
    table = ["\nBy parameter set:\n", "| function | parameters | zorvana.accurate | scipy |", "|---|---|---|---|"]
    for title, results in accurate_by_family:
        for name, sets in results:
            for kind in "dpq":
                worst = []
                for col in ACCURATE_COLUMNS:
                    w = None
                    for _, res in sets:
                        for e, _ in res[kind][col]:
                            if _worse(e, w):
                                w = e
                    worst.append(fmt_err(w))
                lines.append("| `%s%s` | %s |" % (kind, name, " | ".join(worst)))
                for params, res in sets:
                    table.append("| `%s%s` | %s | %s |" % (kind, name, param_text(name, params),
                                                            " | ".join(accurate_cells(kind, res))))
    return "\n".join(lines + table)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--only", help="regular expression on distribution names; prints, writes nothing")
    ap.add_argument("--no-plots", action="store_true")
    ap.add_argument("--upper-only", action="store_true", help="only the upper tails; prints, writes nothing")
    ap.add_argument("--docs", default=os.path.join(ROOT, "docs"))
    args = ap.parse_args(argv)
    mp.dps = DPS
    start = time.time()
    by_family, upper_by_family, accurate_by_family = [], [], []
    for title, stem, members in FAMILIES:
        results, upper, accurate = [], [], []
        for name, sets in members:
            if args.only and not re.search(args.only, name):
                continue
            done, done_upper, done_accurate = [], [], []
            for params in sets:
                t0 = time.time()
                res = measure(name, params) if not args.upper_only else None
                if res is not None:
                    done.append((params, res))
                    for row in table_rows(name, params, res):
                        print("%-10s %-26s %-28s %-28s %s" % tuple(row))
                res = measure_upper(name, params)
                done_upper.append((params, res))
                print("  ".join(upper_cells(name, params, res)))
                if not args.upper_only:
                    res = measure_accurate(name, params)
                    done_accurate.append((params, res))
                    for kind in "dpq":
                        print("accurate %s%s %s" % (kind, name, "  ".join(accurate_cells(kind, res))))
                print("  (%.1f s)" % (time.time() - t0), file=sys.stderr)
            results.append((name, done))
            upper.append((name, done_upper))
            accurate.append((name, done_accurate))
        if results:
            by_family.append((title, stem, results))
            upper_by_family.append((title, upper))
            accurate_by_family.append((title, accurate))
    if args.only or args.upper_only:
        return 0
    if not os.path.isdir(args.docs):
        os.makedirs(args.docs)
    known = _known()
    write_report(by_family, known, os.path.join(args.docs, "accuracy.md"), upper_by_family, accurate_by_family)
    if not args.no_plots:
        for title, stem, results in by_family:
            _plot_family(title, stem, results, os.path.join(args.docs, "accuracy-%s.png" % stem))
    print("wrote %s in %.0f s" % (args.docs, time.time() - start), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
