"""Writes src/accurate/gamma_temme_table.hpp: the coefficients of the uniform
asymptotic expansion of the incomplete gamma ratios for large shapes,

    Q(a, x) = erfc(eta sqrt(a/2)) / 2 + exp(-a eta^2/2) / sqrt(2 pi a) * sum_k c_k(eta) a^-k,
    P(a, x) = erfc(-eta sqrt(a/2)) / 2 - (the same sum term),

with lambda = x/a, mu = lambda - 1, eta^2/2 = mu - log(1 + mu), eta of the
sign of mu, and

    c_0(eta) = 1/mu - 1/eta,
    c_k(eta) = c_{k-1}'(eta) / eta + (-1)^k g_k / mu,

g_k the coefficients of Stirling's series Gamma(a) ~ e^-a a^a sqrt(2 pi / a)
sum g_k a^-k. Each c_k is analytic at eta = 0 and is stored as its Taylor
polynomial, cut where the dropped terms stay below 2^-60 of the result over
the region the kernel uses the expansion in (shape >= A_MIN, lambda in
[LAMBDA_LO, LAMBDA_HI]; these must match accurate/gamma_inc.cpp). The series
are formed in power-series arithmetic at 100 digits; every coefficient is then
rounded once to double. The script also checks the truncated expansion
against mpmath's incomplete gamma function across the region.

The header also holds the Stirling remainder c(a) = ln Gamma(a) - ((a - 1/2)
ln a - a + ln(2 pi)/2) at the integers and half-integers a = 1/2 .. 19/2, each
rounded once to double (the shapes of chi-squared laws with few degrees of
freedom and of Poisson tails at small counts, where the general remainder is
costly to compute).

Usage: python tools/gen_gamma_temme.py [output path]
"""
import os
import sys

import mpmath as mp

HEADER = "src/accurate/gamma_temme_table.hpp"
A_MIN = 20
LAMBDA_LO = mp.mpf("0.5")
LAMBDA_HI = mp.mpf("1.25")
K = 11          # terms c_0 .. c_10
ORDER = 80      # power-series length while forming the c_k
TOL = mp.mpf(2) ** -60


def mul(a, b):
    r = [mp.mpf(0)] * ORDER
    for i, x in enumerate(a):
        if x:
            for j in range(ORDER - i):
                r[i + j] += x * b[j]
    return r


def inverse(a):
    r = [mp.mpf(0)] * ORDER
    r[0] = 1 / a[0]
    for n in range(1, ORDER):
        r[n] = -sum(a[k] * r[n - k] for k in range(1, n + 1)) / a[0]
    return r


def sqrt_series(a):
    r = [mp.mpf(0)] * ORDER
    r[0] = mp.sqrt(a[0])
    for n in range(1, ORDER):
        r[n] = (a[n] - sum(r[k] * r[n - k] for k in range(1, n))) / (2 * r[0])
    return r


def compose(f, g):
    """f(g(t)) for g(0) = 0."""
    r = [mp.mpf(0)] * ORDER
    p = [mp.mpf(0)] * ORDER
    p[0] = mp.mpf(1)
    for k in range(ORDER):
        for i in range(ORDER):
            r[i] += f[k] * p[i]
        p = mul(p, g)
    return r


def exp_series(a):
    r = [mp.mpf(0)] * ORDER
    r[0] = mp.exp(a[0])
    for n in range(1, ORDER):
        r[n] = sum(k * a[k] * r[n - k] for k in range(1, n + 1)) / n
    return r


def coefficients():
    """Taylor coefficients of c_0 .. c_{K-1} in eta."""
    # eta / mu = sqrt(2 (mu - log(1 + mu)) / mu^2), a series in mu; mu(eta) by
    # the fixed point mu = eta * (mu / eta)(mu).
    h = sqrt_series([2 * mp.mpf(-1) ** n / (n + 2) for n in range(ORDER)])
    hinv = inverse(h)
    mu = [mp.mpf(0)] * ORDER
    mu[1] = mp.mpf(1)
    for _ in range(ORDER + 2):
        mu = [mp.mpf(0)] + compose(hinv, mu)[:ORDER - 1]
    inv_m = inverse(mu[1:] + [mp.mpf(0)])  # eta / mu
    log_gstar = [mp.mpf(0)] * ORDER
    for j in range(1, ORDER // 2):
        log_gstar[2 * j - 1] = mp.bernoulli(2 * j) / (2 * j * (2 * j - 1))
    g = exp_series(log_gstar)
    c = [inv_m[1:] + [mp.mpf(0)]]
    for k in range(1, K):
        prev = c[-1]
        sign = (-1) ** k
        residue = prev[1] + sign * g[k] * inv_m[0]
        assert abs(residue) < mp.mpf(10) ** -50, residue
        ck = [mp.mpf(0)] * ORDER
        for j in range(ORDER - 2 * k - 2):
            ck[j] = (j + 2) * prev[j + 2] + sign * g[k] * inv_m[j + 1]
        c.append(ck)
    return c


def eta_of(lam):
    return mp.sign(lam - 1) * mp.sqrt(2 * (lam - 1 - mp.log(lam)))


def truncate(c):
    """Each c_k cut where the dropped tail, at the largest |eta| of the
    region and the smallest shape, is below TOL (the bracket the sum enters is
    at least 1 there)."""
    eta_max = max(abs(eta_of(LAMBDA_LO)), abs(eta_of(LAMBDA_HI)))
    kept = []
    for k, ck in enumerate(c):
        usable = ORDER - 2 * k - 4
        scale = mp.mpf(A_MIN) ** -k
        n = usable
        while n > 1 and sum(abs(ck[j]) * eta_max ** j for j in range(n - 1, usable)) * scale < TOL:
            n -= 1
        kept.append(ck[:n])
    return kept


def terms_needed(kept):
    """For K = 1 .. len(kept): the least shape from which the terms c_k a^-k,
    k >= K, stay below TOL over the region (so the sum may stop at K)."""
    etas = [eta_of(LAMBDA_LO + (LAMBDA_HI - LAMBDA_LO) * i / 40) for i in range(41)]
    bound = [max(abs(sum(ck[j] * e ** j for j in range(len(ck)))) for e in etas) for ck in kept]
    shapes = []
    for k_stop in range(1, len(kept) + 1):
        a = mp.mpf(A_MIN)
        while sum(bound[k] * a ** -k for k in range(k_stop, len(kept))) >= TOL:
            a *= mp.mpf("1.05")
        shapes.append(int(mp.ceil(a)))
    return shapes


def check(kept):
    """Largest relative error of the truncated expansion over the region."""
    worst = mp.mpf(0)
    for a in (20, 21.5, 30, 60, 200, 1e3, 1e5):
        a = mp.mpf(a)
        for i in range(21):
            lam = LAMBDA_LO + (LAMBDA_HI - LAMBDA_LO) * i / 20
            if lam == 1:
                continue
            eta = eta_of(lam)
            s = sum(sum(ck[j] * eta ** j for j in range(len(ck))) * a ** -k for k, ck in enumerate(kept))
            r = mp.exp(-a * eta ** 2 / 2) / mp.sqrt(2 * mp.pi * a) * s
            if lam > 1:
                v = mp.erfc(eta * mp.sqrt(a / 2)) / 2 + r
                exact = mp.gammainc(a, a * lam, mp.inf, regularized=True)
            else:
                v = mp.erfc(-eta * mp.sqrt(a / 2)) / 2 - r
                exact = mp.gammainc(a, 0, a * lam, regularized=True)
            worst = max(worst, abs(v / exact - 1))
    return worst


def main():
    mp.mp.dps = 100
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", HEADER)
    kept = truncate(coefficients())
    worst = check(kept)
    assert worst < 2 ** -58, worst
    lines = [
        "// Generated by tools/gen_gamma_temme.py; do not edit by hand (rerun the script).",
        "// Taylor coefficients in eta of the terms c_k(eta) of the uniform asymptotic",
        "// expansion of the incomplete gamma ratios, k = 0 .. {}, each rounded once to".format(len(kept) - 1),
        "// double; cut for shapes >= {} and x / shape in [{}, {}] (largest relative".format(
            A_MIN, mp.nstr(LAMBDA_LO, 3), mp.nstr(LAMBDA_HI, 3)),
        "// error of the truncated expansion there: {}).".format(mp.nstr(worst, 2)),
        "#pragma once",
        "",
        "namespace zorvana {",
        "namespace accurate {",
        "",
        "constexpr int kTemmeTerms = {};".format(len(kept)),
        "constexpr int kTemmeDegree[kTemmeTerms] = {{{}}};".format(", ".join(str(len(ck)) for ck in kept)),
        "",
    ]
    for k, ck in enumerate(kept):
        lines.append("constexpr double kTemmeC{}[] = {{".format(k))
        for v in ck:
            lines.append("    {},".format(float(v).hex() if v else "0.0"))
        lines.append("};")
    lines.append("constexpr const double* kTemmeC[kTemmeTerms] = {{{}}};".format(
        ", ".join("kTemmeC{}".format(k) for k in range(len(kept)))))
    lines += ["", "// From shape kTemmeShapeFor[K - 1] on, the terms c_0 .. c_(K-1) suffice.",
              "constexpr double kTemmeShapeFor[kTemmeTerms] = {{{}}};".format(
                  ", ".join("{}.0".format(v) for v in terms_needed(kept)))]
    lines += ["", "// c(n / 2) for n = 1 .. 19: the Stirling remainder at the half-integers below 10.",
              "constexpr int kHalfIntegerRemainders = 19;",
              "constexpr double kStirlingRemainderHalf[kHalfIntegerRemainders] = {"]
    for n in range(1, 20):
        a = mp.mpf(n) / 2
        c = mp.loggamma(a) - ((a - mp.mpf(1) / 2) * mp.log(a) - a + mp.log(2 * mp.pi) / 2)
        lines.append("    {},".format(float(c).hex()))
    lines.append("};")
    lines += ["", "}  // namespace accurate", "}  // namespace zorvana", ""]
    with open(out, "w") as f:
        f.write("\n".join(lines))
    print("wrote", out, "degrees", [len(ck) for ck in kept], "worst", mp.nstr(worst, 3))


if __name__ == "__main__":
    main()
