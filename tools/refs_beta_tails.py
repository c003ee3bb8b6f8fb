"""Reference values of the upper tails of the beta, F, binomial and Student t
distributions, computed with mpmath and written as literals to
tests/refs_beta_tails.py (the tests never call mpmath).

Points are placed by their tail: for each parameter set and each target
tail p the argument is the double found by bisection (at a fixed precision)
where the tail crosses p; the stored tail is then the exact one at that
double. Deterministic: the same file on every run.

    python tools/refs_beta_tails.py
"""
import math
import os

from mpmath import mp, mpf

mp.dps = 30
TARGETS = [0.5, 1e-2, 1e-10, 1e-50, 1e-150, 1e-300]
OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "refs_beta_tails.py")


def beta_upper(x, a, b):
    """1 - I_x(a, b) at the exact double x."""
    x = mpf(x)
    return lower_beta(1 - x, mpf(b), mpf(a))


def fraction_beta(w, a, b, wc):
    """I_w(a, b) by its continued fraction at working precision, for shapes
    where mpmath's hypergeometric series takes seconds; w below the mean."""
    a, b, w, wc = mpf(a), mpf(b), mpf(w), mpf(wc)
    tiny = mpf(10) ** -300
    f, C, D = mpf(1), mpf(1), mpf(0)
    for j in range(1, 100000):
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
        if abs(C * D - 1) < mpf(10) ** (-mp.dps):
            break
    front = mp.exp(a * mp.log(w) + b * mp.log(wc) - (mp.loggamma(a) + mp.loggamma(b) - mp.loggamma(a + b)))
    return front / (a * f)


def lower_beta(w, a, b, wc=None):
    """I_w(a, b) = 1 - I_wc(b, a), wc = 1 - w (formed directly by the caller
    where w is near 1), from the side that converges."""
    a, b, w = mpf(a), mpf(b), mpf(w)
    wc = 1 - w if wc is None else mpf(wc)
    if max(a, b) > 2000:
        if w < (a + 1) / (a + b + 2):
            return fraction_beta(w, a, b, wc)
        return 1 - fraction_beta(wc, b, a, w)
    if w > a / (a + b):
        return 1 - mp.betainc(b, a, 0, wc, regularized=True)
    return mp.betainc(a, b, 0, w, regularized=True)


def t_upper(t, nu):
    t, nu = mpf(t), mpf(nu)
    half = lower_beta(nu / (nu + t * t), nu / 2, mpf(1) / 2, t * t / (nu + t * t)) / 2
    return half if t >= 0 else 1 - half


def f_upper(x, d1, d2):
    x, d1, d2 = mpf(x), mpf(d1), mpf(d2)
    return lower_beta(d2 / (d1 * x + d2), d2 / 2, d1 / 2, d1 * x / (d1 * x + d2))


def crossing(tail, lo, hi, p, rising=False):
    """The double in (lo, hi) near where the decreasing (or rising) tail(x)
    crosses p: the Illinois method on ln tail against ln x, from a coarse
    geometric scan."""
    lp = mp.log(p)

    def g(z):
        v = tail(float(mp.exp(z)))
        d = (mp.log(v) if v > 0 else mpf(-10 ** 6)) - lp
        return -d if rising else d

    za, zb = mp.log(lo), mp.log(hi)
    # coarse scan to a bracket of width one e-fold in ten
    grid = [za + (zb - za) * i / 64 for i in range(65)]
    prev = grid[0]
    gp = g(prev)
    for z in grid[1:]:
        gz = g(z)
        if gz <= 0:
            za, ga, zb, gb = prev, gp, z, gz
            break
        prev, gp = z, gz
    else:
        return hi
    side = 0
    for _ in range(60):
        if gb == ga:
            break
        z = (za * gb - zb * ga) / (gb - ga)
        gz = g(z)
        if gz <= 0:
            zb, gb = z, gz
            if side == -1:
                ga /= 2
            side = -1
        else:
            za, ga = z, gz
            if side == 1:
                gb /= 2
            side = 1
        if abs(zb - za) < mpf(10) ** -17 * (1 + abs(za)):
            break
    return float(mp.exp(zb))


def beta_point(a, b, p):
    # Bisection on y = 1 - x where the tail is small near 1, on x otherwise.
    if beta_upper(0.5, a, b) > p:
        y = crossing(lambda s: beta_upper(1 - s, a, b), 1e-300, 0.5, p, rising=True)
        return 1 - y
    return crossing(lambda s: beta_upper(s, a, b), 1e-300, 0.5, p)


def rows_beta():
    shapes = [(0.1, 0.1), (0.1, 1000), (1000, 0.1), (0.5, 2.5), (2.5, 0.5), (2, 3), (30, 70), (1000, 1000), (1000, 3)]
    rows = []
    for a, b in shapes:
        for p in TARGETS:
            x = beta_point(a, b, p)
            v = beta_upper(x, a, b)
            if 0 < x < 1 and mpf("1e-305") < v:
                rows.append((x, a, b, float(v), float(mp.log(v))))
    # tiny first shapes: the lower tail is near 1 wherever x is not tiny
    for a, b in [(1e-6, 0.5), (1e-3, 2.0), (1e-3, 0.01)]:
        for x in (0.002, 0.05, 0.3, 0.7):
            v = beta_upper(x, a, b)
            rows.append((x, a, b, float(v), float(mp.log(v))))
    return rows


def rows_t():
    rows = []
    for nu in [0.5, 1, 2.5, 10, 300, 1e4, 1e6]:
        for p in TARGETS:
            if t_upper(1e300, nu) > p:
                continue
            t = crossing(lambda s: t_upper(s, nu), 1e-3, 1e300, p)
            v = t_upper(t, nu)
            rows.append((t, nu, float(v), float(mp.log(v))))
        for t in [-0.3, -5.0]:  # below the median
            v = t_upper(t, nu)
            rows.append((t, nu, float(v), float(mp.log(v))))
    return rows


def rows_f():
    rows = []
    for d1, d2 in [(0.5, 0.5), (1, 1e4), (1e4, 1), (4, 7), (50, 300), (1e4, 1e4), (0.5, 30)]:
        for p in TARGETS:
            if f_upper(1e300, d1, d2) > p:
                continue
            x = crossing(lambda s: f_upper(s, d1, d2), 1e-300, 1e300, p)
            v = f_upper(x, d1, d2)
            rows.append((x, d1, d2, float(v), float(mp.log(v))))
    return rows


def log_mass(k, n, prob):
    return (math.lgamma(n + 1) - math.lgamma(k + 1) - math.lgamma(n - k + 1) + k * math.log(prob) +
            (n - k) * math.log1p(-prob))


def far_binom_upper(k, n, prob):
    """P(X > k) above the mode, summed upward until the terms no longer count."""
    p = mpf(prob)
    q = 1 - p
    j = k + 1
    term = mp.exp(mp.loggamma(n + 1) - mp.loggamma(j + 1) - mp.loggamma(n - j + 1) + j * mp.log(p) + (n - j) * mp.log(q))
    total = term
    while j < n:
        term = term * (n - j) / (j + 1) * (p / q)
        j += 1
        total += term
        if term < total * mpf(10) ** -35:
            break
    return total


def binom_tails(n, prob, k_lo):
    """P(X > k) for k from k_lo up to where the tail no longer counts, summed
    from the far end downward: {k: tail}."""
    p = mpf(prob)
    q = 1 - p
    mean = n * prob
    sd = math.sqrt(n * prob * (1 - prob))
    k_end = int(mean + 45 * sd + 100)
    while k_end < n and log_mass(k_end, n, prob) > -800:
        k_end = int(1.3 * k_end) + 10
    k_end = min(n, k_end)
    term = mp.exp(mp.loggamma(n + 1) - mp.loggamma(k_end + 1) - mp.loggamma(n - k_end + 1) + k_end * mp.log(p) +
                  (n - k_end) * mp.log(q))
    tails = {}
    above = mpf(0)  # P(X > k) for k = k_end
    k = k_end
    ratio = q / p
    while k > k_lo:
        tails[k] = above
        above += term  # now P(X >= k) = P(X > k - 1)
        term = term * k / (n - k + 1) * ratio
        k -= 1
    tails[k] = above
    return tails


def rows_binom():
    """(k, n, prob, P(X > k), its log) and (p, n, prob, least k with P(X > k) <= p)."""
    rows, quantiles = [], []
    for n, prob in [(20, 0.3), (1000, 0.01), (1000, 0.99), (100000, 0.5), (1000000, 1e-4), (1000000, 0.5),
                    (1000000, 0.999)]:
        sd = math.sqrt(n * prob * (1 - prob))
        tails = binom_tails(n, prob, max(int(n * prob - 3 * sd) - 2, 0))
        for p in TARGETS:
            ks = [k for k in tails if tails[k] <= p and k < n]
            if not ks:
                continue
            k = min(ks)
            if k - 1 not in tails:
                continue
            v = tails[k]
            if v > 0:
                rows.append((k, n, prob, float(v), float(mp.log(v))))
                quantiles.append((float(mp.sqrt(v * tails[k - 1])), n, prob, k))
    return rows, quantiles


def rows_log_only():
    """Tails far below the smallest double: (function, args..., ln tail)."""
    rows = []
    for x, a, b in [(0.99, 1000, 1000), (1 - 2.0 ** -30, 3, 900), (0.9, 0.1, 1000)]:
        rows.append(("pbeta_upper", (x, a, b), float(mp.log(beta_upper(x, a, b)))))
    for t, nu in [(1e6, 1000), (1e300, 0.5), (1e200, 30), (2000.0, 1e6)]:
        rows.append(("pt_upper", (t, nu), float(mp.log(t_upper(t, nu)))))
    for x, d1, d2 in [(1e200, 100, 100), (1e300, 3, 5), (50.0, 1e4, 1e4)]:
        rows.append(("pf_upper", (x, d1, d2), float(mp.log(f_upper(x, d1, d2)))))
    for k, n, prob in [(900000, 1000000, 0.5), (999999, 1000000, 0.3), (60, 1000, 0.001)]:
        v = far_binom_upper(k, n, prob)
        rows.append(("pbinom_upper", (k, n, prob), float(mp.log(v))))
    return rows


def unique(rows):
    """The rows in order, each once (a target beyond the doubles repeats the last point)."""
    return list(dict.fromkeys(rows))


def main():
    binom, qbinom = rows_binom()
    parts = [
        '"""Upper tails of the beta, F, binomial and t distributions (mpmath, 30 digits).',
        "",
        "Written by tools/refs_beta_tails.py; do not edit by hand.",
        '"""',
        "",
        "# (x, a, b, P(X > x), ln P(X > x))",
        "BETA = %r" % (unique(rows_beta()),),
        "",
        "# (t, nu, P(T > t), ln P(T > t))",
        "T = %r" % (unique(rows_t()),),
        "",
        "# (x, d1, d2, P(F > x), ln P(F > x))",
        "F = %r" % (unique(rows_f()),),
        "",
        "# (k, n, prob, P(X > k), ln P(X > k))",
        "BINOM = %r" % (unique(binom),),
        "",
        "# (p, n, prob, least k with P(X > k) <= p)",
        "QBINOM = %r" % (unique(qbinom),),
        "",
        "# (function, arguments, ln of the tail), the tail far below the smallest double",
        "LOG_ONLY = %r" % (rows_log_only(),),
        "",
    ]
    text = "\n".join(parts)
    text = text.replace("), (", "),\n    (").replace("= [(", "= [\n    (")
    with open(OUT, "w") as f:
        f.write(text)
    print("wrote", OUT)


if __name__ == "__main__":
    main()
