"""The build: a changed header recompiles every translation unit that
includes it, so an install never carries objects compiled from an older
header (once per CI run, CPython 3.8 and later, on a copy of the tree that
starts from the objects of the install under test where there are any); and
the check that every release wheel runs."""
import os
import shutil
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build(tree):
    return subprocess.run([sys.executable, "setup.py", "build_ext"], cwd=str(tree), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, universal_newlines=True)


@pytest.mark.skipif(sys.version_info < (3, 8), reason="runs once, on the newer interpreter")
def test_changed_header_recompiles_its_includers(tmp_path):
    pytest.importorskip("pybind11")
    pytest.importorskip("setuptools")
    tree = tmp_path / "tree"
    tree.mkdir()
    for name in ("setup.py", "VERSION", "README.md", "LICENSE", "src", "stubs", "build"):
        src = os.path.join(ROOT, name)
        if os.path.isdir(src):
            shutil.copytree(src, str(tree / name), symlinks=True)
        elif os.path.exists(src):
            shutil.copy2(src, str(tree / name))
    res = build(tree)
    assert res.returncode == 0, res.stdout[-3000:]
    # A header that only some translation units include, not directly named
    # by any source list.
    header = tree / "src" / "distributions" / "quantile_search.hpp"
    with open(str(header), "a") as f:
        f.write("\n#error stale objects were reused\n")
    res = build(tree)
    assert res.returncode != 0 and "stale objects were reused" in res.stdout, res.stdout[-3000:]


def test_wheel_check_passes_here():
    """The value check every release wheel runs holds for this build."""
    sys.path.insert(0, os.path.join(ROOT, "tools"))
    import wheels
    assert wheels.check() == 0
