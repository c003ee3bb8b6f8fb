"""Accurate elementary kernels (the upper-tail path) against mpmath literals, in ulps."""
import glob
import math
import os
import re
import shutil
import subprocess
from decimal import Decimal
from fractions import Fraction

import pytest
from conftest import CXXFLAGS, ROOT, nextafter, ulp
from refs_accurate import REFS

INF = float("inf")
NAN = float("nan")
MIN_SUB = 5e-324

# Largest error allowed, in units in the last place of the true value.
ULPS = {
    "exp": 1, "expm1": 1, "log": 1, "log1p": 1, "log1pmx": 2, "pow": 1.5,
    "lgamma": 2, "lgamma_correction": 2.5, "deviance": 3, "erf": 2, "erfc": 2.5, "erfcx": 2, "atan": 1,
}


def ulp_error(got, ref):
    """|got - ref| in ulps of the double nearest ref (subnormal ulp below the normal range)."""
    exact = Fraction(Decimal(ref))
    near = float(Decimal(ref))
    if math.isinf(near):
        return 0.0 if got == near else INF
    if not math.isfinite(got):
        return INF
    unit = ulp(near) if abs(near) >= 2.2250738585072014e-308 else MIN_SUB
    return float(abs(Fraction(got) - exact) / Fraction(unit))


@pytest.mark.parametrize("name", sorted(REFS))
def test_within_few_ulps(tail_probe, name):
    rows = REFS[name]
    got = tail_probe.many(name, [args for args, _ in rows])
    worst = max((ulp_error(g, ref), args, g) for g, (args, ref) in zip(got, rows))
    assert worst[0] <= ULPS[name], worst


@pytest.mark.parametrize("name, args, want", [
    ("exp", (INF,), INF), ("exp", (-INF,), 0.0), ("exp", (NAN,), NAN), ("exp", (709.8,), INF),
    ("exp", (-745.2,), 0.0), ("exp", (-745.13,), MIN_SUB), ("exp", (0.0,), 1.0),
    ("expm1", (-INF,), -1.0), ("expm1", (INF,), INF), ("expm1", (-0.0,), -0.0), ("expm1", (1e-300,), 1e-300),
    ("log", (0.0,), -INF), ("log", (-1.0,), NAN), ("log", (INF,), INF), ("log", (1.0,), 0.0),
    ("log1p", (-1.0,), -INF), ("log1p", (-1.5,), NAN), ("log1p", (-0.0,), -0.0), ("log1p", (INF,), INF),
    ("log1pmx", (0.0,), -0.0), ("log1pmx", (-1.0,), -INF), ("log1pmx", (INF,), -INF), ("log1pmx", (-2.0,), NAN),
    ("pow", (NAN, 0.0), 1.0), ("pow", (1.0, NAN), 1.0), ("pow", (0.0, 2.0), 0.0), ("pow", (0.0, -2.0), INF),
    ("pow", (INF, -1.0), 0.0), ("pow", (-2.0, 2.0), NAN), ("pow", (2.0, 1024.0), INF), ("pow", (2.0, -1075.0), 0.0),
    ("pow", (0.5, INF), 0.0), ("pow", (2.0, -INF), 0.0),
    ("lgamma", (1.0,), 0.0), ("lgamma", (2.0,), 0.0), ("lgamma", (0.0,), INF), ("lgamma", (-1.0,), NAN),
    ("lgamma", (INF,), INF), ("lgamma", (1.7976931348623157e308,), INF),
    ("lgamma_correction", (INF,), 0.0), ("lgamma_correction", (0.0,), INF),
    ("deviance", (0.0, 3.0), 3.0), ("deviance", (2.0, 0.0), INF), ("deviance", (2.0, 2.0), 0.0),
    ("deviance", (INF, 1.0), INF), ("deviance", (-1.0, 1.0), NAN), ("deviance", (INF, INF), NAN),
    ("erfc", (INF,), 0.0), ("erfc", (-INF,), 2.0), ("erfc", (0.0,), 1.0), ("erfc", (27.3,), 0.0), ("erfc", (NAN,), NAN),
    ("erfcx", (INF,), 0.0), ("erfcx", (-27.0,), INF), ("erfcx", (0.0,), 1.0),
    ("atan", (INF,), math.pi / 2), ("atan", (-INF,), -math.pi / 2), ("atan", (-0.0,), -0.0), ("atan", (NAN,), NAN),
])
def test_special_values(tail_probe, name, args, want):
    got = tail_probe(name, *args)
    assert (math.isnan(got) and math.isnan(want)) or (got == want and math.copysign(1, got) == math.copysign(1, want))


@pytest.mark.parametrize("name, seams", [
    ("lgamma", [0.8, 1.25, 1.6, 2.5, 10.0]), ("lgamma_correction", [10.0]), ("erfc", [0.5, -0.5]),
    ("erfcx", [8.0] + [0.5 * i for i in range(1, 16)]), ("log1pmx", [0.015625, -0.015625]),
    ("atan", [0.0625, 8.0625]), ("expm1", [0.0054, 40.0, -40.0]), ("log1p", [0.015625, -0.015625]),
])
def test_no_seam_at_switch_points(tail_probe, name, seams):
    """Across each point where a kernel changes algorithm, its steps over
    neighbouring doubles match the function's own slope within a few ulps."""
    rows = []
    for s in seams:
        lo = nextafter(nextafter(s, -INF), -INF)
        rows += [(lo,), (nextafter(lo, INF),), (s,), (nextafter(s, INF),), (nextafter(nextafter(s, INF), INF),)]
    got = tail_probe.many(name, rows)
    for i in range(0, len(got), 5):
        v = got[i:i + 5]
        steps = sorted(b - a for a, b in zip(v, v[1:]))
        slope = (steps[1] + steps[2]) / 2
        assert all(abs(s - slope) <= 3 * ulp(max(map(abs, v))) for s in steps), (rows[i + 2], v)


PLATFORM_MATHS = re.compile(
    r"^_*(exp|exp2|expm1|exp10|log|log2|log10|log1p|pow|erf|erfc|lgamma|lgamma_r|tgamma|gamma|"
    r"sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|cbrt|hypot|fma|sincos)"
    r"[fl]?(_finite)?$")


def test_no_platform_maths_in_accurate_path(tmp_path):
    """The accurate kernels and the upper tails must give the same bits on
    every machine: none of their objects may call the platform maths library
    (sqrt, correctly rounded everywhere, is allowed)."""
    nm = shutil.which("nm")
    cxx = shutil.which("g++") or shutil.which("c++")
    if nm is None or cxx is None:
        pytest.skip("needs nm and a C++ compiler")
    sources = sorted(glob.glob(os.path.join(ROOT, "src", "accurate", "*.cpp")) +
                     glob.glob(os.path.join(ROOT, "src", "tails", "*.cpp")))
    bad = {}
    for src in sources:
        obj = str(tmp_path / (os.path.basename(src) + ".o"))
        subprocess.run([cxx] + CXXFLAGS + ["-I", os.path.join(ROOT, "src"), "-c", src, "-o", obj], check=True)
        names = subprocess.run([nm, "-u", obj], stdout=subprocess.PIPE, check=True).stdout.decode().split()
        hits = [n for n in names if PLATFORM_MATHS.match(n.split("@")[0])]
        if hits:
            bad[os.path.basename(src)] = hits
    assert not bad, bad
