"""Writes tests/refs_noncentral.py: reference values of the noncentral
chi-squared, beta, F and t distributions and of the studentized range,
computed with mpmath and rounded once to double.

- chi-squared: the density by its Bessel-function form, both tails as the
  Poisson mixture of regularized incomplete gamma ratios (each tail summed
  directly, 40 digits, until the weights are 1e-60 of the sum);
- beta and F: the Poisson mixture of regularized incomplete beta ratios;
- t: the integrals E Phi(t S - ncp), E Phi^c(t S - ncp) and E S phi(t S - ncp)
  over S = sqrt(V / dof) by mpmath's quadrature, split about the peak;
- studentized range: the double integral over the log of the scale and
  the position of the range by composite 20-point Gauss-Legendre rules
  (20 digits), both tails.

Usage: python tools/refs_noncentral.py [output path]
"""
import os
import sys

import mpmath as mp

OUT = "tests/refs_noncentral.py"


def poisson_mixture(mu, tail_k):
    """sum_k e^-mu mu^k / k! tail_k(k), outward from the mode."""
    mu = mp.mpf(mu)
    k0 = int(mu)
    w = lambda k: mp.exp(-mu + k * mp.log(mu) - mp.loggamma(k + 1)) if mu > 0 else mp.mpf(k == 0)
    total = w(k0) * tail_k(k0)
    k = k0 + 1
    while True:
        wk = w(k)
        total += wk * tail_k(k)
        if k > mu + 10 and wk < total * mp.mpf(10) ** -60:
            break
        k += 1
    k = k0 - 1
    while k >= 0:
        wk = w(k)
        total += wk * tail_k(k)
        if wk < total * mp.mpf(10) ** -60 and k < mu - 10:
            break
        k -= 1
    return total


def chisq(x, dof, ncp):
    x, dof, ncp = mp.mpf(x), mp.mpf(dof), mp.mpf(ncp)
    lower = poisson_mixture(ncp / 2, lambda k: mp.gammainc(dof / 2 + k, 0, x / 2, regularized=True))
    upper = poisson_mixture(ncp / 2, lambda k: mp.gammainc(dof / 2 + k, x / 2, mp.inf, regularized=True))
    nu = dof / 2 - 1
    dens = mp.exp(-(x + ncp) / 2) * (x / ncp) ** (nu / 2) * mp.besseli(nu, mp.sqrt(ncp * x)) / 2
    return dens, lower, upper


def beta(x, a, b, ncp, y=None):
    x, a, b, ncp = mp.mpf(x), mp.mpf(a), mp.mpf(b), mp.mpf(ncp)
    y = 1 - x if y is None else y
    lower = poisson_mixture(ncp / 2, lambda k: mp.betainc(a + k, b, 0, x, regularized=True))
    upper = poisson_mixture(ncp / 2, lambda k: mp.betainc(b, a + k, 0, y, regularized=True))
    dens = poisson_mixture(ncp / 2, lambda k: x ** (a + k - 1) * y ** (b - 1) / mp.beta(a + k, b))
    return dens, lower, upper


def f(x, df1, df2, ncp):
    x, df1, df2 = mp.mpf(x), mp.mpf(df1), mp.mpf(df2)
    s = df1 * x + df2
    dens, lower, upper = beta(df1 * x / s, df1 / 2, df2 / 2, ncp, df2 / s)
    return dens * df1 * df2 / s ** 2, lower, upper


def scale_density(dof):
    a = mp.mpf(dof) / 2
    c = mp.log(2) + a * mp.log(a) - mp.loggamma(a)
    return lambda s: mp.exp(c + (2 * a - 1) * mp.log(s) - a * s * s)  # density of S = sqrt(V/dof)


def peak_points(g):
    """Breakpoints about the maximum of a positive function on (0, inf)."""
    grid = [mp.mpf(2) ** (k / mp.mpf(8)) for k in range(-400, 200)]
    vals = [g(s) for s in grid]
    i = max(range(len(grid)), key=lambda j: vals[j])
    top = vals[i]
    keep = [s for s, v in zip(grid, vals) if v > top * mp.mpf(10) ** -40]
    pts = [mp.mpf(0)] + keep[::4] + [keep[-1], mp.inf]
    return sorted(set(pts))


def t(x, dof, ncp):
    x, ncp = mp.mpf(x), mp.mpf(ncp)
    h = scale_density(dof)
    out = []
    for g in (lambda s: h(s) * s * mp.npdf(x * s - ncp),
              lambda s: h(s) * mp.ncdf(x * s - ncp),
              lambda s: h(s) * mp.ncdf(ncp - x * s)):
        out.append(mp.quad(g, peak_points(g)))
    return tuple(out)


def gauss_panels(f, a, b, width, nodes):
    """Composite Gauss-Legendre rule on [a, b] with panels of at most `width`,
    for f giving a pair of values."""
    xs, ws = nodes
    n = int(mp.ceil((b - a) / width))
    h = (b - a) / n
    s0 = s1 = 0
    for i in range(n):
        mid = a + (i + mp.mpf(1) / 2) * h
        for x, w in zip(xs, ws):
            v0, v1 = f(mid + h / 2 * x)
            s0 += w * v0
            s1 += w * v1
    return s0 * h / 2, s1 * h / 2


def legendre_nodes(n):
    with mp.workdps(60):  # (at the working precision the roots' search may land twice on one)
        xs, ws = legendre_roots(n)
    return [+x for x in xs], [+w for w in ws]


def legendre_roots(n):
    """Roots from NumPy's double nodes, polished by Newton's method."""
    import numpy as np
    xs, ws = [], []
    for x0 in np.polynomial.legendre.leggauss(n)[0]:
        x = mp.mpf(float(x0))
        for _ in range(8):
            x -= mp.legendre(n, x) / mp.diff(lambda t: mp.legendre(n, t), x)
        d = mp.diff(lambda t: mp.legendre(n, t), x)
        xs.append(x)
        ws.append(2 / ((1 - x * x) * d * d))
    return xs, ws


def range_cdf(w, n, nodes):
    """P(range of n normals <= w) and its complement (positive integrands)."""
    n = mp.mpf(n)

    def both(z):
        a, b = mp.ncdf(z), mp.ncdf(z - w)
        return n * mp.npdf(z) * (a - b) ** (n - 1), n * mp.npdf(z) * (a ** (n - 1) - (a - b) ** (n - 1))

    return gauss_panels(both, -13, w + 13, 1, nodes)


def tukey(q, n, dof, r):
    """Both tails over u = ln S by composite Gauss-Legendre panels."""
    q = mp.mpf(q)
    nodes = legendre_nodes(20)
    if dof == mp.inf:
        lo, up = range_cdf(q, n, nodes)
        return lo ** r, -mp.expm1(r * mp.log1p(-up))
    a = mp.mpf(dof) / 2
    c = mp.log(2) + a * mp.log(a) - a - mp.loggamma(a)
    sd = min(1 / mp.sqrt(2 * dof), mp.mpf(1) / 2)
    def parts(u):
        g = mp.exp(c - a * (mp.expm1(2 * u) - 2 * u))
        lo, up = range_cdf(q * mp.exp(u), n, nodes)
        lo, up = max(lo, 0), min(up, 1)  # the rule's rounding where the range is near 0
        return g * lo ** r, g * -mp.expm1(r * mp.log1p(-up))

    left, right = -(50 / mp.mpf(dof) + 10 * sd), 10 * sd
    return gauss_panels(parts, left, right, min(2 * sd, mp.mpf(1)), nodes)


CHISQ = [(3.0, 4.0, 2.0), (100.0, 10.0, 50.0), (0.05, 0.1, 5.0), (500.0, 2.0, 100.0), (40.0, 1000.0, 100.0),
         (9800.0, 100.0, 10000.0), (12000.0, 100.0, 10000.0), (1.0, 10000.0, 30.0), (0.5, 0.5, 0.1)]
BETA = [(0.3, 2.0, 3.0, 2.0), (0.99, 0.5, 8.0, 40.0), (0.02, 5.0, 1.5, 300.0), (0.999, 20.0, 2.0, 10000.0)]
F = [(1.5, 4.0, 6.0, 2.0), (30.0, 3.0, 20.0, 10.0), (0.2, 10.0, 10.0, 100.0), (200.0, 1.0, 50.0, 1000.0)]
T = [(1.5, 4.0, 2.0), (-2.0, 10.0, 1.0), (50.0, 3.0, 40.0), (5.0, 1.0, -3.0), (0.3, 0.5, 1.0), (1010.0, 1e6, 1000.0),
     (-3.0, 30.0, 4.0)]
TUKEY = [(3.5, 4, 10, 1), (1.0, 2, 5, 1), (6.0, 10, 20, 1), (12.0, 5, 1e5, 1), (3.0, 3, mp.inf, 2), (0.1, 3, 4, 1)]


def dbl(v):
    return repr(float(v))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else OUT
    lines = ['"""Generated by tools/refs_noncentral.py; do not edit by hand (rerun the script).', "",
             "NONCENTRAL: (family, x, params..., ncp, log density, lower tail, upper tail, log lower, log upper).",
             "TUKEY: (q, n_means, dof, n_ranges, lower tail, upper tail, log lower, log upper).", '"""', "",
             "inf = float('inf')", "", "NONCENTRAL = ["]
    mp.mp.dps = 40
    rows = [("chisq", (x, d), n, chisq(x, d, n)) for x, d, n in CHISQ]
    rows += [("beta", (x, a, b), n, beta(x, a, b, n)) for x, a, b, n in BETA]
    rows += [("f", (x, a, b), n, f(x, a, b, n)) for x, a, b, n in F]
    for x, d, n in T:
        mp.mp.dps = 30
        rows.append(("t", (x, d), n, t(x, d, n)))
        print("t", x, d, n, file=sys.stderr)
    for fam, args, n, (dens, lo, up) in rows:
        # the log of a tail near 1 from the other tail (lo + up = 1 to all digits)
        vals = [mp.log(dens), lo, up, mp.log(lo) if lo < up else mp.log1p(-up),
                mp.log(up) if up < lo else mp.log1p(-lo)]
        lines.append("    (%r, %s, %r, %s)," % (fam, ", ".join(map(repr, args)), n, ", ".join(map(dbl, vals))))
    lines += ["]", "", "TUKEY = ["]
    mp.mp.dps = 34  # 1 - W by a difference of powers: deep upper tails need the digits
    with open(os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), out), "w") as fh:
        fh.write("\n".join(lines + ["]", ""]))
    for q, n, d, r in TUKEY:
        lo, up = tukey(q, n, d, r)
        print("tukey", q, n, d, r, file=sys.stderr)
        vals = [lo, up, mp.log(lo) if lo < up else mp.log1p(-up), mp.log(up) if up < lo else mp.log1p(-lo)]
        lines.append("    (%r, %r, %s, %r, %s)," % (q, n, "inf" if d == mp.inf else repr(float(d)), r,
                                                  ", ".join(map(dbl, vals))))
    lines += ["]", ""]
    with open(os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), out), "w") as fh:
        fh.write("\n".join(lines))


if __name__ == "__main__":
    main()
