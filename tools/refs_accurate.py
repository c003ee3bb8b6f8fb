"""Writes tests/refs_accurate.py: reference values of the accurate elementary
kernels, computed with mpmath at high precision, as literals.

    python tools/refs_accurate.py

Each kernel gets about two hundred points (log-uniform over its domain,
uniform over the ranges where its algorithm switches, and the edges), each
row (args, value) with the value as a decimal string of 30 digits, so that
the tests can measure errors in ulps without mpmath.
"""
import math
import os
import random

import mpmath as mp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "refs_accurate.py")

mp.mp.prec = 256
TINY = 5e-324


def logu(rng, a, b, n, signs=(1,)):
    return [rng.choice(signs) * math.exp(rng.uniform(math.log(a), math.log(b))) for _ in range(n)]


def uni(rng, a, b, n):
    return [rng.uniform(a, b) for _ in range(n)]


def hp(f, prec=4000):
    """f evaluated at a working precision that survives cancellation."""
    with mp.workprec(prec):
        return +f()


def stirling_tail(x):
    return sum(mp.bernoulli(2 * k) / (2 * k * (2 * k - 1) * x ** (2 * k - 1)) for k in range(1, 20))


def ref_lgamma_correction(x):
    x = mp.mpf(x)
    if x > 1e8:
        return stirling_tail(x)
    return hp(lambda: mp.loggamma(x) - ((x - mp.mpf(1) / 2) * mp.log(x) - x + mp.log(2 * mp.pi) / 2), 600)


def ref_erfcx(x):
    x = mp.mpf(x)
    if x > 1e6:
        return sum((-1) ** n * mp.fac2(2 * n - 1) / (2 * x * x) ** n for n in range(10)) / (x * mp.sqrt(mp.pi))
    return mp.exp(x * x) * mp.erfc(x)


def ref_deviance(x, m):
    x, m = mp.mpf(x), mp.mpf(m)
    return hp(lambda: x * mp.log(x / m) + m - x, 600)


KERNELS = {
    "exp": (lambda x: mp.exp(x), lambda r: uni(r, -745.1, 709.78, 120) + uni(r, -1, 1, 40)
            + logu(r, 1e-300, 1, 40, (-1, 1)) + [-745.13, -745.1, -708.4, -708.39, 709.78, 1e-320, -1e-320]),
    "expm1": (lambda x: mp.expm1(x), lambda r: uni(r, -45, 45, 80) + uni(r, -0.8, 0.8, 60)
              + logu(r, 1e-300, 0.01, 60, (-1, 1)) + [0.0054, -0.0054, 0.00542, 38.5, -38.5, 709.7, -1e-320]),
    "log": (lambda x: mp.log(x), lambda r: logu(r, TINY, 1.7e308, 100) + uni(r, 0.6, 1.5, 50)
            + [1 + s * d for d in logu(r, 1e-16, 0.02, 30) for s in (-1, 1)]
            + [TINY, 2.2250738585072014e-308, 1.7976931348623157e308, 0.7071067811865476, 1.4142135623730951]),
    "log1p": (lambda x: mp.log1p(x), lambda r: logu(r, 1e-300, 0.9999, 120, (-1, 1)) + uni(r, -0.1, 0.1, 40)
              + logu(r, 1, 1e300, 40) + [-0.9999999999999999, 0.015625, -0.015625, 0.0156, -0.0156, TINY]),
    "log1pmx": (lambda x: hp(lambda: mp.log1p(x) - x), lambda r: logu(r, 1e-150, 0.9999, 120, (-1, 1))
                + uni(r, -0.05, 0.05, 40) + logu(r, 1, 1e300, 40) + [0.015625, -0.015625, -0.9999999999999999]),
    "pow": (lambda x, y: mp.power(x, y), lambda r: [(x, r.uniform(-3, 3)) for x in logu(r, 1e-300, 1e300, 80)]
            + [(r.uniform(0.5, 2), r.uniform(-900, 900)) for _ in range(60)]
            + [(x, r.uniform(-700, 700) / math.log(x)) for x in logu(r, 1e-300, 1e300, 60)]
            + [(2.0, -1074.0), (2.0, -1074.5), (10.0, -320.0), (10.0, 308.0), (0.5, 0.5)]),
    "lgamma": (lambda x: mp.loggamma(x), lambda r: logu(r, 1e-310, 1e305, 80) + uni(r, 0.5, 3, 50) + uni(r, 3, 12, 20)
               + [c + s * d for c in (1, 2) for d in logu(r, 1e-16, 0.4, 12) for s in (-1, 1)]
               + [0.8, 1.25, 1.6, 2.5, 10.0, 1.4616321449683622, 2 ** 60, 1e-17]),
    "lgamma_correction": (ref_lgamma_correction, lambda r: logu(r, 1e-300, 1e300, 100) + uni(r, 0.1, 20, 80)
                          + [9.999999999999998, 10.0, 1.0, 2.0, 0.5]),
    "deviance": (ref_deviance, lambda r: [(m * (1 + r.uniform(-0.3, 0.3)), m) for m in logu(r, 1e-300, 1e300, 60)]
                 + [(m * (1 + s * d), m) for m in logu(r, 1e-5, 1e5, 40) for d in logu(r, 1e-15, 0.2, 1) for s in (-1, 1)]
                 + [(x, m) for x, m in zip(logu(r, 1e-300, 1e300, 60), logu(r, 1e-300, 1e300, 60))]
                 + [(1.0, 1.0), (1.2222, 1.0), (1.2223, 1.0), (0.8181, 1.0), (0.8182, 1.0)]),
    "erfc": (lambda x: mp.erfc(x), lambda r: uni(r, -6, 27.3, 120) + uni(r, -1, 1, 40) + logu(r, 1e-300, 0.5, 20, (-1, 1))
             + uni(r, 26, 27.25, 20) + [0.5, -0.5, 0.5000000000000001, 8.0, 26.0, 27.2, 27.22]),
    "erfcx": (ref_erfcx, lambda r: uni(r, -26.5, 30, 120) + uni(r, 0, 8, 60) + logu(r, 1e-10, 1e300, 40)
              + [0.0, 0.25, 0.5, 7.999999999999999, 8.0, 1e155]),
    "atan": (lambda x: mp.atan(x), lambda r: logu(r, 1e-300, 1e300, 120, (-1, 1)) + uni(r, -10, 10, 60)
             + [0.0625, 0.125, 8.0625, 8.0626, 1e-9, 1.0, -1.0]),
    "erf": (lambda x: mp.erf(x), lambda r: uni(r, -6.5, 6.5, 80) + uni(r, -0.6, 0.6, 60) + logu(r, 1e-300, 0.5, 40, (-1, 1))
            + [0.5, -0.5, 0.5000000000000001, 6.0, -6.0]),
}


def main():
    rng = random.Random(20261208)
    out = ['"""Reference values of the accurate elementary kernels (mpmath, 256 bits and',
           'more where cancellation needs it). Generated by tools/refs_accurate.py: do not edit.',
           '',
           'REFS[kernel] = [(args, value as a decimal string), ...]"""',
           '', 'REFS = {']
    for name, (f, points) in KERNELS.items():
        out.append("    %r: [" % name)
        for p in points(rng):
            args = p if isinstance(p, tuple) else (p,)
            args = tuple(float(a) for a in args)
            v = f(*[mp.mpf(a) for a in args])
            out.append("        (%r, %r)," % (args, mp.nstr(v, 30, min_fixed=1, max_fixed=0)))
        out.append("    ],")
    out.append("}")
    with open(OUT, "w") as fh:
        fh.write("\n".join(out) + "\n")
    print("wrote", OUT)


if __name__ == "__main__":
    main()
