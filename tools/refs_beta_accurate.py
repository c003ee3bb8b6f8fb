"""Reference values of the accurate density, distribution and quantile
functions of the beta, F, binomial and Student t distributions, computed with
mpmath and written as literals to tests/refs_beta_accurate.py (the tests never
call mpmath).

Points lie at the mean plus multiples of the standard deviation (far into
both tails), over shapes from 1e-10 to 1e15, F degrees of freedom from 1e-3
to 1e15, binomial trials up to 2^53 and t degrees of freedom from 1e-3 to
1e200. The working precision grows with the parameters, so that points such
as nu/(nu + t^2) keep their digits. Deterministic: the same file on every run.

    python tools/refs_beta_accurate.py
"""
import math
import os

from mpmath import mp, mpf

OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "refs_beta_accurate.py")
KS = [-40, -12, -3, -0.5, 0, 0.7, 3, 12, 40]


def dps_for(*params):
    big = max(abs(float(p)) for p in params)
    return 40 + max(0, int(math.log10(big)) if big > 0 else 0)


def fraction(w, wc, a, b):
    """I_w(a, b) by its continued fraction (w below the mean), wc = 1 - w."""
    tiny = mpf(10) ** -(mp.dps * 3)
    f, C, D = mpf(1), mpf(1), mpf(0)
    for j in range(1, 60000):
        m = j // 2
        if j % 2:
            d = -(a + m) * (a + b + m) * w / ((a + 2 * m) * (a + 2 * m + 1))
        else:
            d = m * (b - m) * w / ((a + 2 * m - 1) * (a + 2 * m))
        D = 1 + d * D
        D = 1 / (D if D != 0 else tiny)
        C = 1 + d / C
        C = C if C != 0 else tiny
        f *= C * D
        if abs(C * D - 1) < mpf(10) ** (5 - mp.dps):
            break
    else:
        raise RuntimeError("fraction did not settle: %s %s %s" % (w, a, b))
    front = a * mp.log(w) + b * mp.log(wc) - (mp.loggamma(a) + mp.loggamma(b) - mp.loggamma(a + b))
    return mp.exp(front) / (a * f)


def beta_both(w, wc, a, b):
    """(I_w(a, b), 1 - I_w(a, b)) with w + wc = 1 exactly, each from its side."""
    a, b = mpf(a), mpf(b)
    if a == b and w == wc:
        return mpf(1) / 2, mpf(1) / 2
    if w < (a + 1) / (a + b + 2):
        lo = fraction(w, wc, a, b)
        return lo, 1 - lo
    up = fraction(wc, w, b, a)
    return 1 - up, up


def log_beta_fn(a, b):
    return mp.loggamma(a) + mp.loggamma(b) - mp.loggamma(a + b)


def fl(v):
    return float(v)


def row_logs(v):
    return (fl(v), fl(mp.log(v)) if v > 0 else -math.inf)


def rows_beta():
    rows, dens = [], []
    shapes = [(1e-10, 2.0), (3.0, 1e-10), (1e-10, 1e-10), (0.1, 0.1), (0.5, 2.5), (2.0, 3.0), (30.0, 70.0),
              (1000.0, 0.1),
              (1000.0, 1000.0), (1e4, 3e4), (120.0, 1e5), (1e5, 1e5), (1e15, 1e15), (3e14, 1e15), (5e14, 2.5),
              (1.078310489654541, 1.6118628991534933e-05)]
    for a, b in shapes:
        with mp.workdps(dps_for(a, b)):
            A, B = mpf(a), mpf(b)
            mean = A / (A + B)
            sd = mp.sqrt(A * B / ((A + B) ** 2 * (A + B + 1)))
            xs = set()
            for k in KS:
                x = fl(mean + k * sd)
                if 0 < x < 1:
                    xs.add(x)
            xs.update([1e-300, 1e-5, 0.3, 0.9, 1 - 2.0 ** -40])
            if min(a, b) > 1e6:
                # within a few hundred standard deviations the reference fraction does not settle
                xs = {x for x in xs if abs(mpf(x) - mean) > 0.01 * mean} | {fl(mean * r) for r in (0.9, 0.97, 1.03)}
                xs.add(0.5)
            for x in sorted(xs):
                X = mpf(x)
                try:
                    lo, up = beta_both(X, 1 - X, a, b)
                except RuntimeError:
                    continue
                rows.append((x, a, b) + row_logs(lo) + row_logs(up))
                ld = (A - 1) * mp.log(X) + (B - 1) * mp.log1p(-X) - log_beta_fn(A, B)
                dens.append((x, a, b, fl(mp.exp(ld)), fl(ld)))
    return rows, dens


def rows_f():
    rows, dens = [], []
    for d1, d2 in [(1e-3, 5.0), (3.0, 1e-3), (0.5, 0.5), (4.0, 7.0), (2000.0, 0.2), (50.0, 300.0), (1e4, 1e4),
                   (1e6, 3e6), (1e15, 10.0), (7.0, 1e15), (1e15, 1e15), (3e13, 1.3e-3)]:
        with mp.workdps(dps_for(d1, d2) + 10):
            D1, D2 = mpf(d1), mpf(d2)
            xs = {1e-300, 1e-20, 0.01, 0.5, 1.0, 2.0, 40.0, 1e10, 1e100, 1e300}
            if d2 > 4:
                mean = D2 / (D2 - 2)
                sd = mean * mp.sqrt(2 * (D1 + D2 - 2) / (D1 * (D2 - 4))) if d2 > 4.5 else mean
                for k in KS:
                    x = fl(mean + k * sd)
                    if x > 0:
                        xs.add(x)
            for x in sorted(xs):
                X = mpf(x)
                u = D1 * X / (D1 * X + D2)
                v = D2 / (D1 * X + D2)
                if min(d1, d2) > 1e6 and abs(X - 1) < 0.03:
                    continue
                try:
                    lo, up = beta_both(u, v, d1 / 2, d2 / 2)
                except RuntimeError:
                    continue
                rows.append((x, d1, d2) + row_logs(lo) + row_logs(up))
                ld = (D1 / 2) * mp.log(u) + (D2 / 2) * mp.log(v) - log_beta_fn(D1 / 2, D2 / 2) - mp.log(X)
                dens.append((x, d1, d2, fl(mp.exp(ld)), fl(ld)))
    return rows, dens


def rows_t():
    rows, dens = [], []
    for nu in [1e-3, 0.5, 1.0, 2.5, 10.0, 300.0, 1e6, 1e20, 1e200]:
        with mp.workdps(dps_for(nu) + 20):
            N = mpf(nu)
            for t in [-1e100, -30.0, -3.0, -0.5, 0.0, 1e-8, 0.3, 2.0, 8.0, 40.0, 1e10, 1e100, 1e300]:
                T = mpf(t)
                if t == 0:
                    lo = up = mpf(1) / 2
                else:
                    w = N / (N + T * T)
                    wc = T * T / (N + T * T)
                    half = beta_both(w, wc, N / 2, mpf(1) / 2)[0] / 2  # P(T > |t|)
                    up = half if t > 0 else 1 - half
                    lo = 1 - up if t > 0 else half
                rows.append((t, nu) + row_logs(lo) + row_logs(up))
                ld = (mp.loggamma((N + 1) / 2) - mp.loggamma(N / 2) - mp.log(mp.pi * N) / 2 -
                      (N + 1) / 2 * mp.log1p(T * T / N))
                dens.append((t, nu, fl(mp.exp(ld)), fl(ld)))
    return rows, dens


def rows_binom():
    rows, dens = [], []
    cases = [(20, 0.3), (1000, 0.01), (1000, 0.99), (10 ** 6, 1e-4), (10 ** 6, 0.5), (3 * 10 ** 9, 0.3),
             (2 ** 53, 1e-15), (2 ** 53, 1 - 2.0 ** -40)]
    for n, prob in cases:
        with mp.workdps(60):
            P = mpf(prob)
            mean = n * prob
            sd = math.sqrt(n * prob * (1 - prob))
            xs = set()
            for k in KS:
                x = int(math.floor(mean + k * sd))
                if 0 <= x < n:
                    xs.add(x)
            xs.update(x for x in (0, 1, n - 1) if 0 <= x < n)
            for x in sorted(xs):
                if n > 10 ** 8 and abs(x - mean) < 15 * sd:
                    continue  # too slow a fraction near the mean; the symmetric points below serve
                try:
                    lo_beta, up_beta = beta_both(P, 1 - P, x + 1, n - x)  # I_prob(x+1, n-x) = P(X > x)
                except RuntimeError:
                    continue
                rows.append((x, n, prob) + row_logs(up_beta) + row_logs(lo_beta))
                lm = (mp.loggamma(n + 1) - mp.loggamma(x + 1) - mp.loggamma(n - x + 1) + x * mp.log(P) +
                      (n - x) * mp.log1p(-P))
                dens.append((x, n, prob, fl(mp.exp(lm)), fl(lm)))
    # n even, prob 1/2: P(X <= n/2) = (1 + P(X = n/2))/2 at any n
    for n in [2 * 10 ** 6, 2 ** 40, 2 ** 52, 2 ** 53]:
        with mp.workdps(60):
            m = n // 2
            mass = mp.exp(mp.loggamma(n + 1) - 2 * mp.loggamma(m + 1) - n * mp.log(2))
            lo = (1 + mass) / 2
            rows.append((m, n, 0.5) + row_logs(lo) + row_logs(1 - lo))
            dens.append((m, n, 0.5, fl(mass), fl(mp.log(mass))))
    return rows, dens


def beta_upper_quantile(p, a, b):
    """The double nearest the x with P(X > x) = p, by bisection on y = 1 - x in log scale."""
    with mp.workdps(50):
        lo, hi = mpf(10) ** -300, mpf(1) / 2  # upper tail at x = 1 - y rises with y
        for _ in range(200):
            mid = mp.sqrt(lo * hi)
            if beta_both(1 - mid, mid, a, b)[1] < p:
                lo = mid
            else:
                hi = mid
        return fl(1 - mp.sqrt(lo * hi))


def faults():
    """The faults of the earlier upper path, each as (function, arguments, true value)."""
    mp.dps = 40
    out = []
    out.append(("pbeta_accurate", (0.5, 1e16, 1e16, 0, 0), 0.5))
    for p, a, b in [(0.99, 1000.0, 0.1), (0.97, 1000.0, 0.3), (0.999, 1e5, 0.05)]:
        out.append(("qbeta_accurate", (p, a, b, 0, 0), beta_upper_quantile(p, a, b)))
    out.append(("qf_accurate", (0.99, 2000.0, 0.2, 0, 0), 0.06287504056069186))
    x, a, b = 0.8147422075271606, 1.078310489654541, 1.6118628991534933e-05
    with mp.workdps(60):
        lo, up = beta_both(mpf(x), 1 - mpf(x), a, b)
        out.append(("pbeta_accurate", (x, a, b, 1, 0), fl(mp.log(up))))
    with mp.workdps(60):
        # infinite second degrees of freedom: d1 F ~ chi^2_d1; first: F ~ d2/chi^2_d2
        out.append(("pf_accurate", (2.0, 3.0, 1e200, 0, 0), fl(mp.gammainc(1.5, 3.0, regularized=True))))
        out.append(("pf_accurate", (1.05, 1e300, 10.0, 0, 0), fl(mp.gammainc(5, 0, 5 / mpf(1.05), regularized=True))))
    return out


def main():
    beta, dbeta = rows_beta()
    f, df = rows_f()
    t, dt = rows_t()
    binom, dbinom = rows_binom()
    parts = [
        '"""Accurate functions of the beta, F, binomial and t distributions (mpmath).',
        "",
        "Written by tools/refs_beta_accurate.py; do not edit by hand.",
        '"""',
        "inf = float('inf')",
        "",
        "# (x, params..., P(X <= x), its log, P(X > x), its log)",
        "BETA = %r" % (beta,),
        "F = %r" % (f,),
        "T = %r" % (t,),
        "BINOM = %r" % (binom,),
        "",
        "# (x, params..., density or mass, its log)",
        "DBETA = %r" % (dbeta,),
        "DF = %r" % (df,),
        "DT = %r" % (dt,),
        "DBINOM = %r" % (dbinom,),
        "",
        "# (function, arguments, true value): faults of the earlier upper path",
        "FAULTS = %r" % (faults(),),
        "",
    ]
    text = "\n".join(parts).replace("-inf)", "-inf)")
    text = text.replace("), (", "),\n    (").replace("= [(", "= [\n    (")
    with open(OUT, "w") as fh:
        fh.write(text)
    print("wrote", OUT)


if __name__ == "__main__":
    main()
