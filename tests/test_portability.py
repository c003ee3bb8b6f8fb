"""The same bits from every build: the probe's whole grid (every kernel and
every element-wise function, special values included) from other compilers,
optimisation levels, the software extended type and an aarch64 build run under
qemu, each with another lane variant, compared line by line with the default
build running the plain scalar loops.

The default run covers each dimension at least once; ZORVANA_FULL_MATRIX=1
runs every combination."""
import os
import shutil
import subprocess
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import build_cpp

SOFT = "-DZORVANA_SOFT_EXT"
FULL = os.environ.get("ZORVANA_FULL_MATRIX", "") not in ("", "0")

# (compiler, flags, grid stride, run under qemu); an unoptimised build and
# emulation run every fifth grid point.
if FULL:
    VARIANTS = [(cc, (opt,) + soft, 5 if opt == "-O0" else 1, False)
                for cc in ("g++", "clang++") for opt in ("-O0", "-O2", "-O3") for soft in ((), (SOFT,))]
    VARIANTS += [("aarch64-linux-gnu-g++", (opt, "-static"), 5, True) for opt in ("-O0", "-O2", "-O3")]
else:
    VARIANTS = [("g++", ("-O2", SOFT), 1, False), ("g++", ("-O0", SOFT), 5, False), ("clang++", ("-O3",), 1, False),
                ("aarch64-linux-gnu-g++", ("-O2", "-static"), 5, True)]
# The lane variant of each build, in turn; the default build runs the plain
# scalar loops.
LANES = ["avx512", "sse2", "avx2"]
IDS = ["%s%s" % (cc.split("-")[0] if cc.startswith("aarch64") else cc, "".join(f for f in flags if f != "-static")
                 .replace(SOFT, "-soft")) for cc, flags, _, _ in VARIANTS]


def missing(compiler, emulated):
    for tool in [compiler] + (["qemu-aarch64"] if emulated else []):
        if shutil.which(tool) is None:
            return tool
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
                         compiler=shutil.which(compiler))

    # Futures: a failed build fails only its own test.
    with ThreadPoolExecutor(2) as pool:
        return [pool.submit(build, k) for k in range(len(VARIANTS))]


def grid(exe, stride, dispatch, emulated=False):
    """The probe's grid, with the lane kernels in the given variant (a variant
    the processor cannot run falls back to the best one it can)."""
    cmd = (["qemu-aarch64"] if emulated else []) + [exe, "--grid", str(stride)]
    env = dict(os.environ, ZORVANA_DISPATCH=dispatch)
    return subprocess.run(cmd, stdout=subprocess.PIPE, env=env, check=True).stdout.decode().splitlines()


@pytest.mark.parametrize("k", range(len(VARIANTS)), ids=IDS)
def test_grid_matches_default_build(kernel, builds, k):
    compiler, _, stride, emulated = VARIANTS[k]
    lacking = missing(compiler, emulated)
    if lacking:
        pytest.skip("%s is not installed (.ci/run installs it with apt-get)" % lacking)
    want = grid(kernel.exe, stride, "scalar")
    got = grid(builds[k].result(), stride, LANES[k % len(LANES)], emulated)
    assert len(got) == len(want) > 10 ** 5 // stride
    differ = [(w, g) for w, g in zip(want, got) if w != g]
    assert not differ, "%d of %d values differ, first: %s" % (len(differ), len(want), differ[:5])
