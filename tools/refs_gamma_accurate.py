"""Writes tests/refs_gamma_accurate.py: reference values of the accurate
gamma, inverse-gamma, chi-squared and Poisson functions (densities and both
tails, with their logarithms), computed with mpmath at 60 digits and rounded
once to double.

The tails come from the smaller one: by the incomplete gamma ratios of
tools/refs_gamma_tails.py (series, continued fraction) up to shape 1e5, and
above by quadrature of the density relative to its value at x, between
points spaced by its local decay length (those forms need far too many terms
near the mean of a huge shape); the other tail is the complement. Points are
chosen by target probabilities from 0.4 down to 1e-300 on both sides, shapes
and rates over 1e-10 to 1e15, scales whose quotients fall below the normal
doubles, and points far below the smallest double for the logarithms.

Usage: python tools/refs_gamma_accurate.py [output path]
"""
import math
import os
import sys

import mpmath as mp
from scipy import special

sys.path.insert(0, os.path.dirname(__file__))
import refs_gamma_tails  # noqa: E402

OUT = "tests/refs_gamma_accurate.py"
DPS = 60


def small_side_quad(A, X):
    """(log of the smaller tail, whether it is the upper) of the standard
    gamma law with shape A at X, by quadrature."""
    lg = mp.loggamma(A)

    def ld(t):
        return (A - 1) * mp.log(t) - t - lg

    lf = ld(X)
    upper = X > A - 1
    slope = (A - 1) / X - 1
    h = min(1 / abs(slope), mp.sqrt(A)) if slope != 0 else mp.sqrt(A)
    steps = (0, 1, 2, 4, 8, 16, 32, 64, 128, 256)
    if upper:
        pts = [X + h * k for k in steps] + [mp.inf]
    else:
        pts = ([X - h * k for k in steps if X - h * k > 0] + [mp.mpf(0)])[::-1]
    return lf + mp.log(mp.quad(lambda t: mp.exp(ld(t) - lf), pts)), upper


def tails(a, X):
    """(P, Q, log P, log Q) at the shape a (a double) and the exact X."""
    A = mp.mpf(a)
    if a <= 1e5:
        return refs_gamma_tails.ratios(A, X)
    ls, upper = small_side_quad(A, X)
    s = mp.exp(ls)
    big, lbig = 1 - s, mp.log1p(-s)
    return (big, s, lbig, ls) if upper else (s, big, ls, lbig)


def f(v):
    """A reference as a Python literal: the double nearest (0.0 below, INF above)."""
    return repr(float(v)).replace("inf", "INF")


def wilson_hilferty(a, t, upper):
    zn = -special.ndtri(t) if upper else special.ndtri(t)
    base = 1 - 1 / (9 * a) + zn / (3 * math.sqrt(a))
    return a * base ** 3


def z_for(a, t, upper):
    """A standard gamma point with the upper (else lower) ratio near t."""
    if a >= 1e3:
        return wilson_hilferty(a, t, upper)
    z = special.gammainccinv(a, t) if upper else special.gammaincinv(a, t)
    return float(z)


SHAPES = (1e-10, 1e-4, 0.3, 1.0, 2.5, 33.3, 1e3, 1e6, 1e10, 1e15)
TARGETS = (0.4, 1e-9, 1e-120, 1e-300)


def standard_points(a):
    """Standard gamma points for the shape a: by targets on both sides, far
    beyond (logs only), and tiny ones."""
    zs = []
    for t in TARGETS:
        for upper in (True, False):
            z = z_for(a, t, upper)
            if 1e-290 < z < 1e300 and math.isfinite(z):
                zs.append(z)
    zs += [a + 60 * math.sqrt(a) + 800, a * 1e-3 + 1e-200, 1e-250]
    return sorted(set(zs))


def rows():
    out = []   # (name, args, quotient a, X, log density or None)
    for a in SHAPES:
        for z in standard_points(a):
            for scale in (1.0, 0.37, 6e3):
                x = z * scale
                if not (0 < x < math.inf):
                    continue
                X = mp.mpf(x) / mp.mpf(scale)
                ld = (mp.mpf(a) - 1) * mp.log(x) - X - mp.loggamma(a) - a * mp.log(scale)
                out.append(("gamma", (x, a, scale), a, X, False, ld))
                xi = scale / z
                if 0 < xi < math.inf:
                    Xi = mp.mpf(scale) / mp.mpf(xi)
                    ldi = a * mp.log(scale) - (mp.mpf(a) + 1) * mp.log(xi) - Xi - mp.loggamma(a)
                    out.append(("invgamma", (xi, a, scale), a, Xi, True, ldi))
            if a >= 1e-4:
                dof = 2 * a
                x = 2 * z
                X = mp.mpf(x) / 2
                ld = (mp.mpf(a) - 1) * mp.log(x) - X - mp.loggamma(a) - a * mp.log(2)
                out.append(("chisq", (x, dof), a, X, False, ld))
    # quotients below the normal doubles (and below the doubles), for tiny
    # and moderate shapes: the inverse-gamma faults among them
    for a in (1e-10, 0.1, 1.0, 3.5):
        for x, scale in ((1e300, 1e-100), (1e300, 1e-15), (1e-300, 1e10), (3e200, 2e-110)):
            X = mp.mpf(scale) / mp.mpf(x)
            ldi = a * mp.log(scale) - (mp.mpf(a) + 1) * mp.log(x) - X - mp.loggamma(a)
            out.append(("invgamma", (x, a, scale), a, X, True, ldi))
            X = mp.mpf(x) / mp.mpf(1e300)
            ld = (mp.mpf(a) - 1) * mp.log(x) - X - mp.loggamma(a) - a * mp.log(1e300)
            out.append(("gamma", (x, a, 1e300), a, X, False, ld))
        x = 5e-321
        out.append(("chisq", (x, 2 * a), a, mp.mpf(x) / 2,
                    False, (mp.mpf(a) - 1) * mp.log(x) - mp.mpf(x) / 2 - mp.loggamma(a) - a * mp.log(2)))
    # Poisson: P(X <= k) = Q(k + 1, r); the example among them
    prs = [(16, 50.0)]
    for rate in (1e-8, 0.3, 7.0, 150.5, 1e4, 1e8, 1e15):
        ks = {0, int(rate), int(rate * 40 + 3000)}
        for t in TARGETS[:3]:
            k = special.pdtrik(t, rate) if rate < 1e3 else rate + special.ndtri(t) * math.sqrt(rate)
            if math.isfinite(k) and k >= 0:
                ks.add(int(k))
        for c in (1, 6, 25):
            ks.add(int(rate + c * math.sqrt(rate) + c * c))
        prs += [(k, rate) for k in sorted(ks)]
    for k, rate in prs:
        ld = k * mp.log(rate) - rate - mp.loggamma(k + 1)
        out.append(("pois", (k, rate), k + 1.0, mp.mpf(rate), True, ld))
    return out


def main():
    mp.mp.dps = DPS
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", OUT)
    lines = ['"""Generated by tools/refs_gamma_accurate.py; do not edit by hand (rerun the script).',
             "",
             "ROWS: (family, args, density, log density, P(X <= x), P(X > x), their logs).",
             '"""', "", 'INF = float("inf")', "", "ROWS = ["]
    for fam, args, a, X, lower_is_q, ld in rows():
        p, q, lp, lq = tails(a, X)
        lo, up, llo, lup = (q, p, lq, lp) if lower_is_q else (p, q, lp, lq)
        text = ", ".join(f(v) if isinstance(v, float) else repr(v) for v in args)
        lines.append("    ({!r}, ({}), {}, {}, {}, {}, {}, {}),".format(fam, text, f(mp.exp(ld)), f(ld), f(lo), f(up),
                                                                   f(llo), f(lup)))
    lines += ["]", ""]
    with open(path, "w") as fh:
        fh.write("\n".join(lines))
    print("wrote", path)


if __name__ == "__main__":
    main()
