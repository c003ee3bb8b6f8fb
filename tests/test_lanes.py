"""Lane kernels: every instruction-set variant the processor runs returns the
scalar kernels' bits on a million inputs per kernel, the environment variable
forces a variant, and no variant contains fused multiply-adds."""
import os
import re
import shutil
import subprocess

import pytest

from conftest import build_cpp

VARIANTS = ["sse2", "avx2", "avx512"]
KERNELS = ["exp", "log", "erf", "erf_inv", "gamma_terms", "gamma_p", "gamma_p_inv"]
INPUTS = 10 ** 6
# The scalar inverse of the incomplete gamma function takes 36 incomplete
# gamma evaluations an element: fewer inputs keep the reference quick.
INVERSE_INPUTS = 2 * 10 ** 4


@pytest.fixture(scope="module")
def lanes_check(tmp_path_factory):
    return build_cpp(tmp_path_factory.mktemp("lanes"), "lanes_check", ["tests/cpp/lanes_check.cpp"])


@pytest.fixture(scope="module")
def comparison(lanes_check):
    out = subprocess.run([lanes_check, str(INPUTS), "--inverse", str(INVERSE_INPUTS)] + VARIANTS,
                         stdout=subprocess.PIPE, check=True)
    rows = {}
    for line in out.stdout.decode().splitlines():
        fields = line.split()
        rows[tuple(fields[:2])] = fields[2:]
    return rows


@pytest.mark.parametrize("variant", VARIANTS)
def test_variant_matches_scalar_kernels(comparison, variant):
    if (variant, "unsupported") in comparison:
        pytest.skip(f"this processor does not run {variant}")
    for kernel in KERNELS:
        inputs, differing = comparison[(variant, kernel)]
        assert int(inputs) >= (INVERSE_INPUTS if kernel == "gamma_p_inv" else INPUTS)
        assert int(differing) == 0, f"{variant} {kernel}: {differing} of {inputs} differ"


@pytest.mark.parametrize("forced", ["scalar"] + VARIANTS)
def test_environment_forces_variant(lanes_check, comparison, forced):
    env = dict(os.environ, ZORVANA_DISPATCH=forced)
    chosen = subprocess.run([lanes_check, "--chosen"], env=env, stdout=subprocess.PIPE, check=True)
    runnable = forced == "scalar" or (forced, "unsupported") not in comparison
    if runnable:
        assert chosen.stdout.decode().split() == [forced]
    else:
        assert chosen.stdout.decode().split()[0] in VARIANTS


def test_no_fused_multiply_add(lanes_check):
    objdump = shutil.which("objdump")
    if objdump is None:
        pytest.skip("no objdump")
    code = subprocess.run([objdump, "-d", lanes_check], stdout=subprocess.PIPE, check=True).stdout.decode()
    assert "ymm" in code and "zmm" in code  # the wide variants are in the program
    assert not re.search(r"\bvf(n)?m(add|sub)", code)
