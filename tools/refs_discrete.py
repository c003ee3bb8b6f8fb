"""Writes tests/refs_discrete.py: masses and both tails (with their logs) of
the negative binomial, geometric and hypergeometric distributions, computed
with mpmath at 400 bits from the exact double arguments, and the exact masses
of the signed rank statistic for n = 1000 at a few points.

    python tools/refs_discrete.py

Points are spread from the centre into both tails, down to masses far below
the smallest double (those rows check the logs only). The negative binomial
tails come from the continued fraction of the incomplete beta function on
the side where it converges, the other tail as its complement; the
hypergeometric tails from the masses summed outward from x.
"""
import os
import random

import mpmath as mp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "refs_discrete.py")
mp.mp.prec = 400
TINY = mp.mpf(2) ** -430


def s(v):
    return mp.nstr(v, 25, min_fixed=1, max_fixed=0)


def slog(v):
    return s(mp.log(v)) if v > 0 else "-inf"


def beta_cf(a, b, x):
    """I_x(a, b) by its continued fraction (x below (a + 1) / (a + b + 2))."""
    qab, qap, qam = a + b, a + 1, a - 1
    c, d = mp.mpf(1), 1 - qab * x / qap
    d = 1 / d
    h = d
    m = 1
    while True:
        m2 = 2 * m
        aa = m * (b - m) * x / ((qam + m2) * (a + m2))
        d = 1 / (1 + aa * d)
        c = 1 + aa / c
        h *= d * c
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2))
        d = 1 / (1 + aa * d)
        c = 1 + aa / c
        delta = d * c
        h *= delta
        if abs(delta - 1) < TINY:
            break
        m += 1
    front = mp.exp(a * mp.log(x) + b * mp.log1p(-x) - mp.log(a) - mp.log(mp.beta(a, b)))
    return front * h


def beta_both(a, b, x):
    """(I_x(a, b), 1 - I_x(a, b))."""
    if x < (a + 1) / (a + b + 2):
        low = beta_cf(a, b, x)
        return low, 1 - low
    up = beta_cf(b, a, 1 - x)
    return 1 - up, up


def nbinom_rows(rng):
    rows = []
    for n in [1e-3, 0.37, 1.0, 3.7, 100.0, 12345.6, 1e6, 1e9]:
        for prob in [1e-4, 0.013, 0.3, 0.77, 0.9999]:
            N, P = mp.mpf(n), mp.mpf(prob)
            mean = N * (1 - P) / P
            sd = mp.sqrt(N * (1 - P)) / P
            xs = {0, 1}
            for k in [-8, -3, -1, 0, 1, 3, 8, 30]:
                v = mean + k * sd * (1 + mp.mpf(rng.random()) / 10)
                if 0 <= v < 2 ** 62:
                    xs.add(int(v))
            for x in sorted(xs):
                X = mp.mpf(x)
                lm = mp.loggamma(X + N) - mp.loggamma(N) - mp.loggamma(X + 1) + N * mp.log(P) + X * mp.log1p(-P)
                low, up = beta_both(N, X + 1, P)
                rows.append((x, n, prob, s(mp.exp(lm)), s(lm), s(low), slog(low), s(up), slog(up)))
    return rows


def geom_rows(rng):
    rows = []
    for prob in [1e-300, 1e-12, 3e-5, 0.013, 0.3, 0.77, 0.9999, 1 - 2 ** -40]:
        P = mp.mpf(prob)
        for x in sorted({0, 1, 7, int(1 / prob) if prob > 1e-18 else 10 ** 18, int(40 / prob) if prob > 1e-17 else 2 ** 62,
                         int(700 / prob) if prob > 1e-16 else 2 ** 61, 10 ** rng.randint(1, 15)}):
            X = mp.mpf(x)
            lq = mp.log1p(-P)
            up = mp.exp((X + 1) * lq)
            rows.append((x, prob, s(P * mp.exp(X * lq)), s(mp.log(P) + X * lq), s(1 - up), slog(1 - up), s(up),
                         s((X + 1) * lq)))
    return rows


def hyper_log_mass(x, r, b, n):
    lc = lambda a, k: mp.loggamma(a + 1) - mp.loggamma(k + 1) - mp.loggamma(a - k + 1)
    return lc(r, x) + lc(b, n - x) - lc(r + b, n)


def hyper_tail(x, r, b, n, down):
    """P(X <= x) (down) or P(X >= x) summed outward from x."""
    lo, hi = max(0, n - b), min(n, r)
    term = mp.exp(hyper_log_mass(x, r, b, n))
    total = term
    k = x
    while (k > lo) if down else (k < hi):
        if down:
            term *= mp.mpf(k) * (b - n + k) / ((n - k + 1) * (r - k + 1))
            k -= 1
        else:
            term *= mp.mpf(n - k) * (r - k) / ((k + 1) * (b - n + k + 1))
            k += 1
        total += term
        if term < TINY * total:
            break
    return total


def hyper_rows(rng):
    rows = []
    for r, b, n in [(10, 7, 8), (50, 50, 30), (3, 1000, 200), (1000, 3, 900), (600, 400, 1000), (12345, 67890, 5000),
                    (10 ** 6, 2 * 10 ** 6, 3000), (5 * 10 ** 8, 5 * 10 ** 8, 1000), (10 ** 9 - 7, 7 * 10 ** 8, 20000),
                    (31, 10 ** 9, 10 ** 5)]:
        lo, hi = max(0, n - b), min(n, r)
        N = r + b
        mean, sd = mp.mpf(n) * r / N, mp.sqrt(mp.mpf(n) * r * b * (N - n) / (mp.mpf(N) ** 2 * (N - 1)))
        xs = {lo, hi, min(hi, lo + 1)}
        for k in [-12, -4, -1.5, 0, 1.5, 4, 12]:
            v = int(mean + k * sd * (1 + mp.mpf(rng.random()) / 10))
            if lo <= v <= hi:
                xs.add(v)
        for x in sorted(xs):
            lm = hyper_log_mass(x, r, b, n)
            if mp.mpf(x) * N <= mp.mpf(n) * r:
                low = hyper_tail(x, r, b, n, True)
                up = 1 - low
            else:
                up = hyper_tail(x + 1, r, b, n, False) if x < hi else mp.mpf(0)
                low = 1 - up
            rows.append((x, r, b, n, s(mp.exp(lm)), s(lm), s(low), slog(low), s(up), slog(up)))
    return rows


def signrank_rows():
    """Exact masses and lower tails for n = 1000 at a few points, by the
    generating function in Python integers (the counts of V = k)."""
    n = 1000
    top = n * (n + 1) // 2
    wanted = [0, 1, 17, 1000, 50000, 200000, 250249, 250250]
    limit = max(wanted)
    c = [0] * (limit + 1)
    c[0] = 1
    for i in range(1, n + 1):
        for k in range(limit, i - 1, -1):
            c[k] += c[k - i]
    total = mp.mpf(2) ** n
    rows = []
    cum = 0
    for k in range(limit + 1):
        cum += c[k]
        if k in wanted:
            rows.append((k, n, s(mp.mpf(c[k]) / total), s(mp.mpf(cum) / total)))
    assert top == 500500
    return rows


def main():
    rng = random.Random(29)
    parts = [
        '"""Masses and tails of the negative binomial, geometric and hypergeometric',
        "distributions (mpmath, 400 bits) and of the signed rank statistic for",
        "n = 1000 (exact), generated by tools/refs_discrete.py: do not edit.",
        "",
        "NBINOM = [(x, n_successes, prob, f, log f, P(X <= x), its log, P(X > x), its log)];",
        "GEOM = [(x, prob, the same seven)]; HYPER = [(x, n_good, n_bad, n_drawn, the same six)];",
        'SIGNRANK = [(x, n_obs, f, P(X <= x))]."""',
        "",
    ]
    for name, rows in [("NBINOM", nbinom_rows(rng)), ("GEOM", geom_rows(rng)), ("HYPER", hyper_rows(rng)),
                       ("SIGNRANK", signrank_rows())]:
        parts.append(name + " = [")
        parts += ["    {!r},".format(row) for row in rows]
        parts.append("]")
        parts.append("")
    with open(OUT, "w") as f:
        f.write("\n".join(parts))


if __name__ == "__main__":
    main()
