"""Writes tests/refs_gamma_tails.py: reference values of the incomplete gamma
ratios and of the upper tails of the gamma, inverse-gamma, chi-squared and
Poisson distributions, computed with mpmath at 50 digits and rounded once to
double.

P(a, x) comes from its power series (positive terms) below x = a, Q(a, x)
from Legendre's continued fraction above (mpmath's own function where x < 2);
the other ratio is the complement at 50 digits, its logarithm log1p of minus
the direct one. Points are chosen by a target tail probability (the x found by
scipy.special's inverses, then kept as the exact double) so that they sweep
the tails from 0.5 down to 1e-300, plus points far below the smallest double
for the logarithms, and pairs of doubles straddling each switch between the
kernel's algorithms.

Usage: python tools/refs_gamma_tails.py [output path]
"""
import math
import os
import sys

import mpmath as mp
from scipy import special

OUT = "tests/refs_gamma_tails.py"
DPS = 50


def _fraction(A, X, eps):
    """Gamma(a, x) e^x x^-a by Legendre's continued fraction (modified Lentz)."""
    tiny = mp.mpf(10) ** (-3 * mp.mp.dps)
    b = X + 1 - A
    c = 1 / tiny
    d = 1 / b
    h = d
    i = 0
    while True:
        i += 1
        an = -i * (i - A)
        b += 2
        d = an * d + b
        if abs(d) < tiny:
            d = tiny
        c = b + an / c
        if abs(c) < tiny:
            c = tiny
        d = 1 / d
        delta = d * c
        h *= delta
        if abs(delta - 1) < eps:
            return h


def ratios(a, x):
    """(P, Q, log P, log Q) at DPS digits, for exact mpf arguments."""
    eps = mp.mpf(10) ** (-DPS - 5)
    A, X = mp.mpf(a), mp.mpf(x)
    if X < A:
        t = s = mp.mpf(1)
        n = 0
        while True:
            n += 1
            t *= X / (A + n)
            s += t
            if t < eps * s:
                break
        lp = A * mp.log(X) - X - mp.loggamma(A + 1) + mp.log(s)
        p = mp.exp(lp)
        return p, 1 - p, lp, mp.log1p(-p)
    if X < 2:
        q = mp.gammainc(A, X, mp.inf, regularized=True)
        lq = mp.log(q)
    else:
        lq = A * mp.log(X) - X - mp.loggamma(A) + mp.log(_fraction(A, X, eps))
        q = mp.exp(lq)
    return 1 - q, q, mp.log1p(-q), lq


def f(v):
    """A reference as a Python literal: the double nearest, or 0.0 below."""
    return repr(float(v))


def x_for(a, target, upper):
    """A double x with the upper (else lower) ratio near target."""
    x = special.gammainccinv(a, target) if upper else special.gammaincinv(a, target)
    return float(x)


def kernel_points():
    pts = []
    for a in (0.1, 0.25, 0.5, 0.9, 1.0, 2.5, 7.5, 19.99, 20.0, 60.5, 1000.0, 31622.5, 1e5):
        for t in (0.3, 1e-5, 1e-40, 1e-150, 1e-300):
            for upper in (True, False):
                x = x_for(a, t, upper)
                if 0 < x < math.inf:
                    pts.append((a, x))
    # tiny shapes below x = 1: Q = 1 - x^a / Gamma(a + 1) - ... is of order a
    for a in (1e-6, 1e-3, 0.02):
        for x in (0.05, 0.5, 0.95, 1.5):
            pts.append((a, x))
    return pts


def switch_points():
    """Pairs of doubles straddling each switch of the kernel's algorithms."""
    pts = []
    for a in (20.0, 150.0, 1e5):
        for edge in (a * 0.5, a * 1.25, a):
            pts += [(a, math.nextafter(edge, 0)), (a, edge)]
    # the shape at which the uniform expansion starts
    for lam in (0.7, 1.0, 1.1):
        pts += [(math.nextafter(20.0, 0), 20.0 * lam), (20.0, 20.0 * lam)]
    # series / small-shape Taylor form / continued fraction for small shapes
    for a in (0.1, 0.6, 1.2):
        pts += [(a, math.nextafter(a, 0)), (a, a), (a, math.nextafter(1.0, 0)), (a, 1.0)]
    # where x^a / Gamma(a + 1) = 1/2 decides the side for small shapes
    for a in (0.1, 0.5):
        edge = float(mp.exp((mp.log(0.5) + mp.loggamma(a + 1)) / a))
        pts += [(a, math.nextafter(edge, 0)), (a, edge), (a, math.nextafter(edge, 1))]
    return pts


def deep_points():
    """Ratios far below the smallest double (only their logarithms are
    finite), on both sides."""
    return [(5.0, 5e4), (0.25, 1e5), (0.1, 1e300), (5e4, 1e6), (1e5, 2e5), (1e5, 1e4), (1e5, 1e-300),
            (2.5, 1e-320), (50.0, 1e-10)]


def family_rows():
    """(function, args, upper tail, its log): args as the function takes them."""
    rows = []
    # the examples
    for x, dof in ((60.0, 20.0), (200.0, 50.0), (1e5, 10.0), (3.0, 0.5), (1e-3, 0.5), (150.0, 1e5 / 1000)):
        rows.append(("pchisq_upper", (x, dof), ratios(mp.mpf(dof) / 2, mp.mpf(x) / 2)))
    for dof in (0.5, 3.0, 40.0, 1e3, 1e5):
        for t in (0.2, 1e-8, 1e-100, 1e-300):
            x = 2 * x_for(dof / 2, t, True)
            rows.append(("pchisq_upper", (x, dof), ratios(mp.mpf(dof) / 2, mp.mpf(x) / 2)))
    for a in (0.1, 1.0, 7.5, 1e3, 1e5):
        for scale in (1.0, 2.5):
            for t in (0.4, 1e-6, 1e-120, 1e-300):
                x = x_for(a, t, True) * scale
                rows.append(("pgamma_upper", (x, a, scale), ratios(a, mp.mpf(x) / mp.mpf(scale))))
            x = (a + 1e3 * math.sqrt(a) + 1e4) * scale
            rows.append(("pgamma_upper", (x, a, scale), ratios(a, mp.mpf(x) / mp.mpf(scale))))
    for a in (0.1, 2.0, 30.0, 1e5):
        for scale in (1.0, 0.3):
            for t in (0.45, 1e-7, 1e-200, 1e-300):
                z = x_for(a, t, False)
                if z > 1e-300:
                    x = scale / z
                    rows.append(("pinvgamma_upper", (x, a, scale), ratios(a, mp.mpf(scale) / mp.mpf(x))))
            x = scale / (a * 1e-3)
            rows.append(("pinvgamma_upper", (x, a, scale), ratios(a, mp.mpf(scale) / mp.mpf(x))))
    for rate in (1e-3, 0.5, 10.0, 1234.5, 1e5):
        for t in (0.5, 1e-9, 1e-150, 1e-300):
            k = max(0, math.floor(special.pdtrik(t, rate)) if t < 0.5 else math.floor(rate))
            rows.append(("ppois_upper", (k, rate), ratios(k + 1, rate)))
        k = int(rate * 30 + 2000)
        rows.append(("ppois_upper", (k, rate), ratios(k + 1, rate)))
    out = []
    for name, args, (p, q, lp, lq) in rows:
        # gamma, chi-squared: Q; inverse gamma, Poisson: P
        v, lv = (q, lq) if name in ("pgamma_upper", "pchisq_upper") else (p, lp)
        out.append((name, args, v, lv))
    return out


def main():
    mp.mp.dps = DPS
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", OUT)
    lines = ['"""Generated by tools/refs_gamma_tails.py; do not edit by hand (rerun the script).',
             "",
             "KERNEL: (a, x, P, Q, log P, log Q) of the regularized incomplete gamma ratios.",
             "SWITCH: the same at pairs of doubles straddling each switch between algorithms.",
             "DEEP: (a, x, log P, log Q) where one ratio is far below the smallest double.",
             "FAMILY: (function, args, upper tail, log of the upper tail).",
             '"""', "", "KERNEL = ["]
    for a, x in kernel_points():
        p, q, lp, lq = ratios(a, x)
        lines.append("    ({}, {}, {}, {}, {}, {}),".format(f(a), f(x), f(p), f(q), f(lp), f(lq)))
    lines += ["]", "", "SWITCH = ["]
    for a, x in switch_points():
        p, q, lp, lq = ratios(a, x)
        lines.append("    ({}, {}, {}, {}, {}, {}),".format(f(a), f(x), f(p), f(q), f(lp), f(lq)))
    lines += ["]", "", "DEEP = ["]
    for a, x in deep_points():
        p, q, lp, lq = ratios(a, x)
        lines.append("    ({}, {}, {}, {}),".format(f(a), f(x), f(lp), f(lq)))
    lines += ["]", "", "FAMILY = ["]
    for name, args, v, lv in family_rows():
        lines.append("    ({!r}, ({}), {}, {}),".format(name, ", ".join(f(a) if isinstance(a, float) else repr(a)
                                                                      for a in args) + ("," if len(args) == 1 else ""),
                                                 f(v), f(lv)))
    lines += ["]", ""]
    with open(path, "w") as fh:
        fh.write("\n".join(lines))
    print("wrote", path)


if __name__ == "__main__":
    main()
