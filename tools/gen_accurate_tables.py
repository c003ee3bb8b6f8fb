"""Writes src/accurate/elementary_tables.hpp: the constants, tables and
polynomial coefficients of the accurate elementary kernels, computed with
mpmath at high precision and printed as exact hexadecimal literals.

    python tools/gen_accurate_tables.py
"""
import os

import mpmath as mp

mp.mp.prec = 320
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "src", "accurate", "elementary_tables.hpp")


def hx(v):
    return float(v).hex()


def split(v):
    """v as hi + lo, the doubles nearest."""
    hi = float(v)
    return hi, float(v - mp.mpf(hi))


def truncated(v, bits):
    """v with its significand cut to the leading `bits` bits (a double)."""
    m, e = mp.frexp(v)
    return float(mp.ldexp(mp.floor(m * 2 ** bits), e - bits))


def dd_row(v):
    hi, lo = split(v)
    return "{%s, %s}" % (hx(hi), hx(lo))


def array(name, rows, kind="double", width=None):
    shape = "[%d]" % len(rows) + ("[%d]" % width if width else "")
    body = ",\n".join("    " + r for r in rows)
    return "constexpr %s %s%s = {\n%s,\n};\n" % (kind, name, shape, body)


def poly_rows(coeffs):
    return [hx(c) + ",  // " + mp.nstr(c, 20) for c in coeffs]


def lines():
    out = []
    ln2 = mp.log(2)

    # e^x: x = k ln2/64 + r; ln2/64 in three parts, the first with 32 bits
    # (k has at most 17), so that k*C1 is exact.
    c = ln2 / 64
    c1 = truncated(c, 32)
    c2 = truncated(c - c1, 32)
    c3 = float(c - c1 - c2)
    out.append("constexpr double kLn2Over64Hi = %s;" % hx(c1))
    out.append("constexpr double kLn2Over64Mid = %s;" % hx(c2))
    out.append("constexpr double kLn2Over64Lo = %s;" % hx(c3))
    out.append("constexpr double k64OverLn2 = %s;" % hx(64 / ln2))
    out.append("// 2^(j/64), j = 0..63, as hi + lo.")
    out.append(array("kExp2Table", [dd_row(mp.power(2, mp.mpf(j) / 64)) for j in range(64)], width=2))

    # log: e ln2 with ln2's first part of 42 bits (|e| <= 1075 has 11).
    l1 = truncated(ln2, 42)
    out.append("constexpr double kLn2Hi = %s;" % hx(l1))
    out.append("constexpr double kLn2Lo = %s;" % hx(ln2 - l1))
    out.append("constexpr double kLn2[2] = {%s, %s};" % (hx(split(ln2)[0]), hx(split(ln2)[1])))
    # Significands m in [1, 2) by their 6 leading fraction bits j; from
    # j = 27 on, m/2 is used. Each row: an approximation inv of 1/c (c the
    # bucket's centre; 1 for the buckets next to 1) and -log(inv) as hi + lo.
    rows = []
    for j in range(64):
        if j == 0 or j == 63:
            inv = 1.0
        else:
            cen = 1 + (mp.mpf(j) + 0.5) / 64
            if j >= 27:
                cen /= 2
            inv = float(1 / cen)
        hi, lo = split(-mp.log(mp.mpf(inv)))
        rows.append("{%s, %s, %s}" % (hx(inv), hx(hi), hx(lo)))
    out.append("// log: rows {inv, hi, lo} with hi + lo = -log(inv).")
    out.append(array("kLogTable", rows, width=3))
    out.append("constexpr int kLogHalveFrom = 27;")

    # atan(j/8), j = 0..64.
    out.append("// atan(j/8), j = 0..64, as hi + lo.")
    out.append(array("kAtanTable", [dd_row(mp.atan(mp.mpf(j) / 8)) for j in range(65)], width=2))
    out.append("constexpr double kPiHalf[2] = {%s, %s};" % tuple(hx(v) for v in split(mp.pi / 2)))
    out.append("constexpr double kPi[2] = {%s, %s};" % tuple(hx(v) for v in split(mp.pi)))
    out.append("constexpr double kInvPi[2] = {%s, %s};" % tuple(hx(v) for v in split(1 / mp.pi)))
    out.append("constexpr double kHalfLog2Pi[2] = {%s, %s};" % tuple(hx(v) for v in split(mp.log(2 * mp.pi) / 2)))
    out.append("constexpr double kInvSqrtPi = %s;" % hx(1 / mp.sqrt(mp.pi)))
    out.append("constexpr double kTwoOverSqrtPi = %s;" % hx(2 / mp.sqrt(mp.pi)))
    out.append("constexpr double kEulerGamma = %s;" % hx(mp.euler))

    # ln Gamma(1 + e) and ln Gamma(2 + e) as e * sum c_k e^k (Taylor).
    def lgamma_taylor(at, radius):
        coeffs = []
        for k in range(1, 80):
            if at == 1:
                v = -mp.euler if k == 1 else (-1) ** k * mp.zeta(k) / k
            else:
                v = 1 - mp.euler if k == 1 else (-1) ** k * (mp.zeta(k) - 1) / k
            coeffs.append(v)
            if k > 3 and abs(v) * radius ** k < mp.mpf(2) ** -66 * radius:
                break
        return coeffs
    t1 = lgamma_taylor(1, mp.mpf("0.3"))
    t2 = lgamma_taylor(2, mp.mpf("0.5"))
    out.append("// ln Gamma(1 + e) = e * sum_k c[k] e^k, -0.2 <= e <= 0.25.")
    out.append(array("kLgammaAt1", poly_rows(t1)))
    out.append("// ln Gamma(2 + e) = e * sum_k c[k] e^k, -0.4 <= e <= 0.5.")
    out.append(array("kLgammaAt2", poly_rows(t2)))

    # Stirling remainder: sum_k B_2k / (2k (2k - 1) x^(2k - 1)), x >= 10.
    st = [mp.bernoulli(2 * k) / (2 * k * (2 * k - 1)) for k in range(1, 13)]
    out.append("// Stirling remainder coefficients B_2k / (2k (2k - 1)).")
    out.append(array("kStirling", poly_rows(st)))

    # erfcx on [0, 8]: Taylor polynomials about the centres of 16 pieces of
    # width 1/2, from the equation y' = 2 x y - 2/sqrt(pi).
    pieces = []
    width = mp.mpf("0.5")
    for i in range(16):
        cen = width * i + width / 2
        a = [mp.exp(cen ** 2) * mp.erfc(cen)]
        a.append(2 * cen * a[0] - 2 / mp.sqrt(mp.pi))
        k = 1
        while True:
            # (k + 1) a_{k+1} = 2 c a_k + 2 a_{k-1}
            a.append((2 * cen * a[k] + 2 * a[k - 1]) / (k + 1))
            k += 1
            tail = max(abs(a[k]), abs(a[k - 1])) * (width / 2) ** k
            if k > 4 and tail < mp.mpf(2) ** -64 * a[0]:
                break
        pieces.append(a)
    deg = max(len(a) for a in pieces)
    rows = []
    for i, a in enumerate(pieces):
        a = a + [mp.mpf(0)] * (deg - len(a))
        rows.append("{" + ", ".join(hx(v) for v in a) + "}")
    out.append("// erfcx(c + t), |t| <= 1/4, c = 1/4 + i/2: sum_k a[i][k] t^k, k <= kErfcxDegrees[i].")
    out.append("constexpr int kErfcxDegree = %d;" % (deg - 1))
    out.append("constexpr int kErfcxDegrees[16] = {%s};" % ", ".join(str(len(a) - 1) for a in pieces))
    out.append(array("kErfcxTaylor", rows, width=deg))
    # erfcx(x) x sqrt(pi) = sum_n (-1)^n (2n - 1)!! / (2 x^2)^n, x >= 8.
    asym = [(-1) ** n * mp.fac2(2 * n - 1) for n in range(0, 22)]
    out.append("// x sqrt(pi) erfcx(x) = sum_n c[n] u^n, u = 1/(2 x^2), x >= 8 (asymptotic).")
    out.append(array("kErfcxAsymptotic", [hx(v) for v in asym]))
    # Terms enough from x on: the first omitted term below 2^-60 of the sum.
    rows = []
    for x0 in (8, 10, 12, 16, 24, 40):
        u = 1 / (2 * mp.mpf(x0) ** 2)
        n = next(n for n in range(1, 22) if mp.fac2(2 * n - 1) * u ** n < mp.mpf(2) ** -60)
        rows.append("{%d, %d}" % (x0, n - 1))
    out.append("// {x0, the last term needed for x >= x0}")
    out.append(array("kErfcxAsymptoticTerms", rows, kind="int", width=2))

    # erf(x) = x sum_n c_n x^(2n), |x| < 1/2.
    ec = [2 / mp.sqrt(mp.pi) * (-1) ** n / (mp.factorial(n) * (2 * n + 1)) for n in range(0, 16)]
    out.append("// erf(x) = x * sum_n c[n] x^(2n), |x| <= 1/2.")
    out.append(array("kErfSeries", poly_rows(ec)))
    out += normal_quantile_start()
    return out


def normal_quantile_start():
    """The standard normal z with upper tail p = e^(-r^2/2), as polynomials in
    s = (r - mid)/half on pieces of r (Chebyshev fits, error below 1e-9):
    the start of the upper quantile's Halley step."""
    def z_of_r(r):
        lp = -r * r / 2
        z = r - (2.515517 + r * (0.802853 + r * 0.010328)) / (1 + r * (1.432788 + r * (0.189269 + r * 0.001308)))
        for _ in range(60):
            sf = mp.erfc(z / mp.sqrt(2)) / 2
            step = (mp.log(sf) - lp) * sf / mp.npdf(z)
            z += step
            if abs(step) < mp.mpf(2) ** -110 * (1 + abs(z)):
                break
        return z
    edges = [mp.sqrt(2 * mp.log(2)), 2, 3, 5, 9, 16, 39]
    rows, info = [], []
    with mp.workprec(120):
        for a, b in zip(edges, edges[1:]):
            a, b = mp.mpf(a), mp.mpf(b)
            mid, half = (a + b) / 2, (b - a) / 2
            for n in range(6, 30):
                poly, err = mp.chebyfit(lambda s: z_of_r(mid + half * s), [-1, 1], n, error=True)
                if err < 1e-9:
                    break
            rows.append([mp.mpf(0)] * (17 - len(poly)) + list(poly))
            info.append((float(b), float(mid), float(1 / half), float(17 - len(poly))))
    out = ["// Upper quantile start: on piece i (r <= kNormStartPiece[i][0]), z is the",
           "// polynomial kNormStart[i] (highest degree first, from index first) in",
           "// s = (r - mid) * inv_half. Rows {r_end, mid, inv_half, first}."]
    out.append(array("kNormStartPiece", ["{%s, %s, %s, %s}" % tuple(hx(v) for v in i) for i in info], width=4))
    out.append(array("kNormStart", ["{" + ", ".join(hx(v) for v in r) + "}" for r in rows], width=17))
    return out


def main():
    text = ["// Generated by tools/gen_accurate_tables.py: do not edit.",
            "// Constants, tables and coefficients of the accurate elementary kernels.",
            "#pragma once", "", "namespace zorvana {", "namespace accurate {", "namespace tables {", ""]
    text += lines()
    text += ["", "}  // namespace tables", "}  // namespace accurate", "}  // namespace zorvana", ""]
    with open(OUT, "w") as f:
        f.write("\n".join(text))
    print("wrote", OUT)


if __name__ == "__main__":
    main()
