"""The same bits from every build: the probe's whole grid (every kernel and
every element-wise function, special values included) from other compilers,
optimisation levels, the software extended type, the portable build (standard
C++17 alone), the x86 intrinsics of MSVC's branch, the wheel compiler (zig's
clang for glibc 2.17) and aarch64 builds run under qemu, each with another
lane variant, compared line by line with the default build running the plain
scalar loops.

The default run covers each dimension at least once; ZORVANA_FULL_MATRIX=1
runs every combination."""
import glob
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import sysconfig
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import ROOT, build_cpp

SOFT = "-DZORVANA_SOFT_EXT"
# Standard C++17 alone, every extension refused.
PORTABLE = ("-DZORVANA_PORTABLE", "-pedantic-errors")
INTRINSICS = "-DZORVANA_INTRINSIC_VECTORS"
FULL = os.environ.get("ZORVANA_FULL_MATRIX", "") not in ("", "0")
# The wheels' compiler (tools/wheels.py) and the aarch64 libraries it links
# against, installed with g++-aarch64-linux-gnu, for qemu.
ZIG = {"zig-x86_64": "x86_64-linux-gnu.2.17", "zig-aarch64": "aarch64-linux-gnu.2.17"}
AARCH64_ROOT = "/usr/aarch64-linux-gnu"

# (compiler, flags, grid stride, run under qemu); an unoptimised build and
# emulation run every fifth grid point.
if FULL:
    VARIANTS = [(cc, (opt,) + soft + extra, 5 if opt == "-O0" else 1, False)
                for cc in ("g++", "clang++") for opt in ("-O0", "-O2", "-O3") for soft in ((), (SOFT,))
                for extra in ((), PORTABLE, (INTRINSICS,))]
    VARIANTS += [("aarch64-linux-gnu-g++", (opt, "-static") + extra, 5, True)
                 for opt in ("-O0", "-O2", "-O3") for extra in ((), PORTABLE)]
    VARIANTS += [("zig-x86_64", (opt,), 1, False) for opt in ("-O2", "-O3")]
    VARIANTS += [("zig-aarch64", (opt,), 5, True) for opt in ("-O2", "-O3")]
else:
    VARIANTS = [("g++", ("-O2", SOFT), 1, False), ("g++", ("-O0", SOFT), 5, False), ("clang++", ("-O3",), 1, False),
                ("aarch64-linux-gnu-g++", ("-O2", "-static"), 5, True),
                ("g++", ("-O0", SOFT) + PORTABLE, 5, False), ("clang++", ("-O2",) + PORTABLE, 5, False),
                ("g++", ("-O2", INTRINSICS), 1, False),
                ("zig-x86_64", ("-O2",), 1, False), ("zig-aarch64", ("-O2",), 5, True)]
# The lane variant of each build, in turn; the default build runs the plain
# scalar loops (a portable build has no other).
LANES = ["avx512", "sse2", "avx2"]


def variant_id(cc, flags):
    name = cc.split("-")[0] if cc.startswith("aarch64") else cc
    text = "".join(f for f in flags if f not in ("-static", "-pedantic-errors"))
    return name + text.replace(SOFT, "-soft").replace("-DZORVANA_PORTABLE", "-portable").replace(INTRINSICS,
                                                                                                "-intrinsics")


IDS = [variant_id(cc, flags) for cc, flags, _, _ in VARIANTS]


def command(compiler):
    """The compiler's command line (zig as the wheels run it), or None when missing."""
    if compiler in ZIG:
        if importlib.util.find_spec("ziglang") is None:
            return None
        return [sys.executable, "-m", "ziglang", "c++", "-target", ZIG[compiler]]
    path = shutil.which(compiler)
    return [path] if path else None


def missing(compiler, emulated):
    if command(compiler) is None:
        return "ziglang (pip install ziglang)" if compiler in ZIG else compiler
    if emulated and shutil.which("qemu-aarch64") is None:
        return "qemu-aarch64"
    if compiler in ZIG and emulated and not os.path.isdir(AARCH64_ROOT):
        return AARCH64_ROOT
    return None


@pytest.fixture(scope="module")
def builds(tmp_path_factory):
    """Every available variant, compiled two at a time."""
    out = tmp_path_factory.mktemp("variants")

    def build(k):
        compiler, flags, _, emulated = VARIANTS[k]
        if missing(compiler, emulated):
            return None
        return build_cpp(out, "probe%d" % k, ["tests/cpp/kernel_probe.cpp"], extra_flags=flags,
                         compiler=command(compiler))

    # Futures: a failed build fails only its own test.
    with ThreadPoolExecutor(2) as pool:
        return [pool.submit(build, k) for k in range(len(VARIANTS))]


def grid(exe, stride, dispatch, emulated=False):
    """The probe's grid, with the lane kernels in the given variant (a variant
    the processor cannot run falls back to the best one it can)."""
    cmd = (["qemu-aarch64", "-L", AARCH64_ROOT] if emulated else []) + [exe, "--grid", str(stride)]
    env = dict(os.environ, ZORVANA_DISPATCH=dispatch)
    return subprocess.run(cmd, stdout=subprocess.PIPE, env=env, check=True).stdout.decode().splitlines()


@pytest.mark.parametrize("k", range(len(VARIANTS)), ids=IDS)
def test_grid_matches_default_build(kernel, builds, k):
    compiler, _, stride, emulated = VARIANTS[k]
    lacking = missing(compiler, emulated)
    if lacking:
        pytest.skip("%s is not installed (.ci/run installs the compilers and qemu with apt-get; ziglang comes "
                    "with the test extras)" % lacking)
    want = grid(kernel.exe, stride, "scalar")
    got = grid(builds[k].result(), stride, LANES[k % len(LANES)], emulated)
    assert len(got) == len(want) > 10 ** 5 // stride
    differ = [(w, g) for w, g in zip(want, got) if w != g]
    assert not differ, "%d of %d values differ, first: %s" % (len(differ), len(want), differ[:5])


# What the compilers take beyond standard C++; the portable build may expand
# none of it from the module's own files (system headers and the macros of
# pybind11, which has its own branches for each compiler, aside).
EXTENSIONS = re.compile(r"__attribute__|__builtin_|__int128|vector_size|__restrict|__declspec|"
                        r"#pragma (GCC|clang)|pthread_|sched_getaffinity")


def test_portable_build_expands_no_extension(tmp_path):
    """Every translation unit of the module compiles for the portable build
    as standard C++17 (-pedantic-errors), and preprocessed, the lines that
    come from src/ name no compiler extension."""
    pybind11 = pytest.importorskip("pybind11")
    if shutil.which("g++") is None:
        pytest.skip("no g++")
    sources = sorted(glob.glob(os.path.join(ROOT, "src", "**", "*.cpp"), recursive=True))
    cmd = ["g++", "-std=c++17", "-DNDEBUG", "-DZORVANA_PORTABLE", '-DZORVANA_VERSION="0"',
           "-I", os.path.join(ROOT, "src"), "-isystem", pybind11.get_include(),
           "-isystem", sysconfig.get_paths()["include"]]
    found = []
    for src in sources:
        subprocess.run(cmd + ["-fsyntax-only", "-pedantic-errors", src], check=True)
        text = subprocess.run(cmd + ["-E", src], stdout=subprocess.PIPE, check=True).stdout.decode()
        ours = False
        for line in text.splitlines():
            if line.startswith("# "):
                name = line.split('"')[1] if '"' in line else ""
                ours = os.path.abspath(name).startswith(os.path.join(ROOT, "src") + os.sep)
            elif ours and EXTENSIONS.search(line) and "pybind11" not in line:
                found.append("%s: %s" % (os.path.relpath(src, ROOT), line.strip()[:120]))
    assert not found, "\n".join(found[:20])
