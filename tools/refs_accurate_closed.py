"""Writes tests/refs_accurate_closed.py: densities, both tails and quantiles
(from p and from log p, both tails) of the normal, log-normal and closed-form
families, computed with mpmath at 400 bits from the exact double arguments.

    python tools/refs_accurate_closed.py

Tail points are chosen by their probability (from 1/2 down to 1e-300 and, for
the logs, far below the doubles, on both sides); quantiles are asked for
p from 1e-300 to 1 - 1e-16 and log p from -1e4 to -1e-20.
"""
import math
import os
import random

import mpmath as mp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "refs_accurate_closed.py")
mp.mp.prec = 400


def s(v):
    return mp.nstr(v, 25, min_fixed=1, max_fixed=0)


def norm_sf(z):
    return mp.erfc(z / mp.sqrt(2)) / 2


def norm_isf(p):
    """The z with S(z) = p, by Newton on log S."""
    p = mp.mpf(p)
    if p == mp.mpf(1) / 2:
        return mp.mpf(0)
    if p > mp.mpf(1) / 2:
        return -norm_isf(1 - p)
    lp = mp.log(p)
    z = mp.sqrt(-2 * lp) if p < 0.3 else (mp.mpf(0.5) - p) * 2.5
    for _ in range(200):
        sf = norm_sf(z)
        step = (mp.log(sf) - lp) * sf / mp.npdf(z)
        z += step
        if abs(step) < mp.mpf(2) ** -350 * (1 + abs(z)):
            break
    return z


def loc(sf_std, pdf_std):
    """Upper tail and density of a location-scale family from its standard ones."""
    return (lambda x, mu, sg: sf_std((x - mu) / sg),
            lambda x, mu, sg: pdf_std((x - mu) / sg) / sg)


def laplace_sf(z):
    return mp.exp(-z) / 2 if z >= 0 else 1 - mp.exp(z) / 2


def laplace_isf(p):
    return -mp.log(2 * p) if p <= 0.5 else mp.log(2 * (1 - p))


def logis_sf(z):
    return 1 / (1 + mp.exp(z))


def cauchy_sf(z):
    return mp.atan(1 / z) / mp.pi if z > 0 else mp.mpf(1) / 2 - mp.atan(z) / mp.pi


def z(x, mu, sg):
    return (x - mu) / sg


# name: (parameter sets, S, F, f, S^-1, F^-1) with S(x, *par) the upper tail
# and F the lower one, exact in mpmath.
FAMILIES = {
    "norm": ([(0.0, 1.0), (3.0, 2.0), (-1000.0, 0.001), (1e10, 1e5), (0.5, 1e-300), (-2.0, 1e300)],
             lambda x, mu, sg: norm_sf(z(x, mu, sg)),
             lambda x, mu, sg: norm_sf(-z(x, mu, sg)),
             lambda x, mu, sg: mp.npdf(z(x, mu, sg)) / sg,
             lambda q, mu, sg: mu + sg * norm_isf(q),
             lambda q, mu, sg: mu - sg * norm_isf(q)),
    "lnorm": ([(0.0, 1.0), (2.0, 0.5), (-3.0, 2.0), (100.0, 0.01)],
              lambda x, mu, sg: norm_sf(z(mp.log(x), mu, sg)),
              lambda x, mu, sg: norm_sf(-z(mp.log(x), mu, sg)),
              lambda x, mu, sg: mp.npdf(z(mp.log(x), mu, sg)) / (sg * x),
              lambda q, mu, sg: mp.exp(mu + sg * norm_isf(q)),
              lambda q, mu, sg: mp.exp(mu - sg * norm_isf(q))),
    "exp": ([(1.0,), (0.01,), (250.0,), (1e-300,), (1e300,)],
            lambda x, r: mp.exp(-r * x),
            lambda x, r: -mp.expm1(-r * x),
            lambda x, r: r * mp.exp(-r * x),
            lambda q, r: -mp.log(q) / r,
            lambda q, r: -mp.log1p(-q) / r),
    "laplace": ([(0.0, 1.0), (5.0, 0.25), (-1e5, 1e3)],
                lambda x, mu, sg: laplace_sf(z(x, mu, sg)),
                lambda x, mu, sg: laplace_sf(-z(x, mu, sg)),
                lambda x, mu, sg: mp.exp(-abs(x - mu) / sg) / (2 * sg),
                lambda q, mu, sg: mu + sg * laplace_isf(q),
                lambda q, mu, sg: mu - sg * laplace_isf(q)),
    "logis": ([(0.0, 1.0), (-2.0, 3.0), (1e3, 1e-3)],
              lambda x, mu, sg: logis_sf(z(x, mu, sg)),
              lambda x, mu, sg: logis_sf(-z(x, mu, sg)),
              lambda x, mu, sg: mp.exp(-abs(x - mu) / sg) / (sg * (1 + mp.exp(-abs(x - mu) / sg)) ** 2),
              lambda q, mu, sg: mu + sg * mp.log((1 - q) / q),
              lambda q, mu, sg: mu - sg * mp.log((1 - q) / q)),
    "cauchy": ([(0.0, 1.0), (1.0, 0.5), (0.0, 1e-9), (-3e5, 2e7)],
               lambda x, mu, sg: cauchy_sf(z(x, mu, sg)),
               lambda x, mu, sg: cauchy_sf(-z(x, mu, sg)),
               lambda x, mu, sg: 1 / (mp.pi * sg * (1 + z(x, mu, sg) ** 2)),
               lambda q, mu, sg: mu + sg * mp.cot(mp.pi * q),
               lambda q, mu, sg: mu - sg * mp.cot(mp.pi * q)),
    "unif": ([(0.0, 1.0), (-3.0, 5.0), (1e10, 1e10 + 1)],
             lambda x, a, b: (b - x) / (b - a),
             lambda x, a, b: (x - a) / (b - a),
             lambda x, a, b: 1 / (b - a),
             lambda q, a, b: b - (b - a) * q,
             lambda q, a, b: a + (b - a) * q),
    "weibull": ([(0.5, 1.0), (2.0, 3.0), (10.0, 0.1), (0.05, 2.0), (1.0, 7.0), (300.0, 1e5)],
                lambda x, k, lam: mp.exp(-(x / lam) ** k),
                lambda x, k, lam: -mp.expm1(-(x / lam) ** k),
                lambda x, k, lam: (k / lam) * (x / lam) ** (k - 1) * mp.exp(-(x / lam) ** k),
                lambda q, k, lam: lam * (-mp.log(q)) ** (1 / k),
                lambda q, k, lam: lam * (-mp.log1p(-q)) ** (1 / k)),
}


def tail_targets(rng):
    """Upper tails from 1/2 down to 1e-300 and below the doubles, and near 1."""
    qs = [mp.mpf(10) ** -rng.uniform(0, 300) / 2 for _ in range(8)]
    qs += [mp.mpf(v) for v in (0.5, 0.25, 1e-10, 1e-300)]
    qs += [mp.mpf(10) ** -rng.uniform(310, 3000) for _ in range(2)]
    qs += [1 - mp.mpf(10) ** -rng.uniform(0.3, 15) for _ in range(4)]
    return qs


def exact(x):
    return mp.mpf(x)


def main():
    rng = random.Random(20261208)
    dens, tails, quants = ["DENSITIES = {"], ["TAILS = {"], ["QUANTILES = {"]
    for fam, (params, sf, cdf, pdf, isf, icdf) in FAMILIES.items():
        for out in (dens, tails, quants):
            out.append("    %r: [" % fam)
        for par in params:
            mpar = [exact(v) for v in par]
            targets = [(isf, q) for q in tail_targets(rng)] + [(icdf, q) for q in tail_targets(rng) if q < 0.5]
            for inverse, q in targets:
                if fam == "unif" and (q < 1e-15 or q > 1 - 1e-15):
                    continue
                x = float(inverse(q, *mpar))
                if not math.isfinite(x) or (fam in ("lnorm", "exp", "weibull") and x <= 0):
                    continue
                up, lo = sf(exact(x), *mpar), cdf(exact(x), *mpar)
                if up <= 0 or lo <= 0 or up >= 1 or lo >= 1:
                    continue
                tails.append("        %r," % (((x,) + par + (s(up), s(mp.log(up)), s(lo), s(mp.log(lo)))),))
                d = pdf(exact(x), *mpar)
                if d > 0:
                    dens.append("        %r," % (((x,) + par + (s(d), s(mp.log(d)))),))
            # quantiles: (p, *par, lower_tail, log_p), the true x and the
            # hazard f(x) / (asked tail at x) that turns an error in x into a
            # relative error of the probability
            ps = [0.5, 0.3, 1e-3, 1e-20, 1e-100, 1e-300, 0.7, 0.999, 1 - 2 ** -40, 1 - 1e-16]
            ps += [10.0 ** -rng.uniform(0.3, 300) for _ in range(3)]
            lps = [-1e4, -800.0, -1.0, -0.5, -1e-10, -1e-20] + [-(10.0 ** rng.uniform(-20, 4)) for _ in range(3)]
            for value, log_p in [(p, False) for p in ps] + [(lp, True) for lp in lps]:
                if fam == "unif" and (log_p and value < -30 or not log_p and (value < 1e-15 or value > 1 - 1e-15)):
                    continue
                prob = mp.exp(exact(value)) if log_p else exact(value)
                for lower in (True, False):
                    x = (icdf if lower else isf)(prob, *mpar)
                    asked = (cdf if lower else sf)(x, *mpar)
                    hazard = pdf(x, *mpar) / asked
                    quants.append("        %r," % (((value,) + par + (lower, log_p, s(x), float(min(hazard, mp.mpf(1e300))))),))
        for out in (dens, tails, quants):
            out.append("    ],")
    for out in (dens, tails, quants):
        out.append("}")
    head = ['"""Densities, tails and quantiles of the normal, log-normal and closed-form',
            'families (mpmath, 400 bits), generated by tools/refs_accurate_closed.py: do',
            'not edit.',
            '',
            'DENSITIES[family] = [(x, *params, f(x), log f(x)), ...];',
            'TAILS[family] = [(x, *params, P(X > x), its log, P(X <= x), its log), ...];',
            'QUANTILES[family] = [(p, *params, lower_tail, log_p, x, f(x) / tail at x), ...];',
            'decimal strings but for the arguments and the last column."""', '']
    with open(OUT, "w") as fh:
        fh.write("\n".join(head + dens + [""] + tails + [""] + quants) + "\n")
    print("wrote", OUT)


if __name__ == "__main__":
    main()
