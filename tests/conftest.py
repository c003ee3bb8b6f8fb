"""Shared fixtures: a C++ probe that evaluates the kernels without Python."""
import glob
import os
import shutil
import subprocess
import math
import struct
from fractions import Fraction

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CXXFLAGS = ["-std=c++17", "-O2", "-ffp-contract=off", "-fno-fast-math"]


def nextafter(x, toward):
    """The double after x in the direction of toward (math.nextafter, which
    CPython 3.6 lacks)."""
    if math.isnan(x) or math.isnan(toward):
        return math.nan
    if x == toward:
        return toward
    if x == 0:
        return math.copysign(5e-324, toward)
    bits = struct.unpack("<q", struct.pack("<d", x))[0]
    bits += 1 if (toward > x) == (x > 0) else -1
    return struct.unpack("<d", struct.pack("<q", bits))[0]


def ulp(x):
    """The gap from |x| to the next double away from 0 (math.ulp)."""
    x = abs(x)
    if math.isinf(x) or math.isnan(x):
        return x
    return nextafter(x, math.inf) - x


def build_cpp(out_dir, name, extra_sources, extra_flags=(), layers=True, compiler=None):
    """Compile the pure C++ layers (kernels, distribution functions and upper tails, unless
    layers is false) with the given extra sources into one program, with the
    module's own flags (and extra_flags, such as a -D switch), by the given
    compiler (a path or a command) or g++."""
    compiler = compiler or shutil.which("g++") or shutil.which("c++")
    if compiler is None:
        pytest.skip("no C++ compiler")
    if isinstance(compiler, str):
        compiler = [compiler]
    sources = []
    if layers:
        sources += sorted(glob.glob(os.path.join(ROOT, "src", "kernels", "*.cpp")))
        for layer in ("distributions", "accurate", "tails"):
            sources += sorted(glob.glob(os.path.join(ROOT, "src", layer, "*.cpp")))
    sources += [os.path.join(ROOT, s) for s in extra_sources]
    exe = os.path.join(str(out_dir), name)
    subprocess.run(list(compiler) + CXXFLAGS + list(extra_flags) + ["-I", os.path.join(ROOT, "src"), "-o", exe] + sources,
                   check=True)
    return exe


def ext_from_hex(text):
    """Exact value of a hexadecimal floating literal (extended values do not
    fit a Python float), as a Fraction; inf and nan as floats."""
    t = text.strip()
    if t in ("inf", "-inf", "nan", "-nan"):
        return float(t.replace("-nan", "nan"))
    sign = -1 if t.startswith("-") else 1
    t = t.lstrip("-").lower()
    mant, exp = t[2:].split("p")
    whole, _, frac = mant.partition(".")
    value = Fraction(int(whole + frac, 16), 16 ** len(frac))
    e = int(exp)
    return sign * (value * 2 ** e if e >= 0 else value / 2 ** (-e))


class KernelProbe:
    """Calls kernels by name: probe("math_exp", 2.5) -> float;
    probe.ext("math_exp_ext", "0x1p-1") -> Fraction (exact extended value)."""

    def __init__(self, exe):
        self.exe = exe

    def raw(self, calls):
        text = "\n".join(" ".join([name] + [a if isinstance(a, str) else float(a).hex() for a in args])
                         for name, args in calls) + "\n"
        out = subprocess.run([self.exe], input=text.encode(), stdout=subprocess.PIPE, check=True).stdout
        return out.decode().split()

    def __call__(self, name, *args):
        (res,) = self.raw([(name, args)])
        if res == "unknown":
            raise KeyError(name)
        return int(res) if name == "math_factorial" else float.fromhex(res)

    def many(self, name, arg_rows):
        res = self.raw([(name, row) for row in arg_rows])
        return [float.fromhex(r) for r in res]

    def ext(self, name, *args):
        (res,) = self.raw([(name, args)])
        return ext_from_hex(res)


@pytest.fixture(scope="session")
def kernel(tmp_path_factory):
    exe = build_cpp(tmp_path_factory.mktemp("probe"), "kernel_probe", ["tests/cpp/kernel_probe.cpp"])
    return KernelProbe(exe)


@pytest.fixture(scope="session")
def tail_probe(tmp_path_factory):
    """The accurate kernels and upper tails by name: tail_probe("pnorm_upper", 40, 0, 1, 1)."""
    exe = build_cpp(tmp_path_factory.mktemp("tail_probe"), "tail_probe", ["tests/cpp/tail_probe.cpp"])
    return KernelProbe(exe)
