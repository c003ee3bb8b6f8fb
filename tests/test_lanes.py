"""Lane kernels: every instruction-set variant the processor runs returns the
scalar kernels' bits on a million inputs per kernel, the environment variable
forces a variant, no variant contains fused multiply-adds, and the families
that use them in array calls give the scalar functions' values."""
import math
import os
import re
import shutil
import subprocess

import numpy as np
import pytest

import zorvana

from conftest import build_cpp
from halley_orbits import ORBITS

VARIANTS = ["sse2", "avx2", "avx512"]
KERNELS = ["exp", "log", "lgamma", "erf", "erf_inv", "gamma_terms", "gamma_p", "gamma_p_inv", "gamma_p_each",
           "gamma_p_inv_each"]
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
        assert int(inputs) >= (INVERSE_INPUTS if kernel.startswith("gamma_p_inv") else INPUTS)
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


SPECIAL = [0.0, -0.0, 1.0, -1.0, float("nan"), float("inf"), -float("inf"), 1e-300, 5e-324, 1e300, 2.0 ** -52]


def probabilities(n, rng):
    body = np.concatenate([rng.uniform(0, 1, n), 10.0 ** rng.uniform(-17, -1, n // 4),
                           1 - 10.0 ** rng.uniform(-17, -1, n // 4), [0.5, 1e-17, 1 - 2.0 ** -53, 1.1, -0.1]])
    return np.concatenate([body, SPECIAL])


def positions(n, rng, centre):
    body = np.concatenate([centre * rng.uniform(0, 4, n), rng.normal(centre, 3, n // 4)])
    return np.concatenate([body, SPECIAL])


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


CASES = [
    ("dnorm", positions, [(0.0, 1.0, False), (2.5, 0.5, False), (-0.0, 1.0, False), (0.0, 1.0, True),
                          (0.0, 0.0, False)]),
    ("qnorm", probabilities, [(0.0, 1.0), (-10.0, 30.0), (1.0, float("inf"))]),
    ("qlnorm", probabilities, [(0.0, 1.0), (1.0, 0.25)]),
    ("qpois", probabilities, [(100.0,), (11.0,), (4.0,)]),
    ("pgamma", positions, [(0.5, 1.0, False), (3.0, 2.0, True), (50.0, 0.1, False), (0.0, 1.0, False)]),
    ("pchisq", positions, [(1.0, False), (50.0, True)]),
    ("qgamma", probabilities, [(0.5, 1.0), (3.0, 2.0), (50.0, 0.1)]),
    ("qchisq", probabilities, [(1.0,), (5.0,)]),
    ("qinvgamma", probabilities, [(1.5, 1.0), (20.0, 5.0)]),
]


@pytest.mark.parametrize("name, inputs, param_sets", CASES, ids=[c[0] for c in CASES])
def test_array_equals_scalar_calls(name, inputs, param_sets):
    """The families whose array calls compute their kernels ahead in lanes give
    the all-scalar call's value (the scalar function itself) everywhere."""
    f = getattr(zorvana, name)
    rng = np.random.default_rng(7)
    for params in param_sets:
        centre = params[0] if name in ("pgamma", "pchisq") else 1.0
        x = inputs(300, rng, centre) if inputs is positions else inputs(300, rng)
        got = f(x, *params)
        for xi, gi in zip(x.tolist(), got.tolist()):
            assert same(gi, f(xi, *params)), (name, xi, params)


def test_orbit_endings_equal_scalar_calls():
    """Inputs whose Halley iterations end on each kind of orbit, among random
    ones in the same blocks: the gamma quantile with a shape per element and
    with each shape for a whole call, the normal quantile (the error
    function's inverse)."""
    rng = np.random.default_rng(3)
    gamma = [[float.fromhex(v) for v in args] for name, args in ORBITS if name == "math_gamma_p_inv"]
    calls = [(zorvana.qgamma, np.concatenate([[p for _, p in gamma], rng.uniform(0, 1, 200)]),
              np.concatenate([[a for a, _ in gamma], 10.0 ** rng.uniform(-0.5, 1.7, 200)]), 1.0)]
    calls += [(zorvana.qgamma, np.concatenate([[p], rng.uniform(0, 1, 40)]), a, 1.0) for a, p in gamma]
    p = [float.fromhex(args[0]) for name, args in ORBITS if name == "math_erf_inv"]
    calls.append((zorvana.qnorm, np.concatenate([p, rng.uniform(0, 1, 200)]), 0.0, 1.0))
    for f, x, *params in calls:
        full = np.broadcast_arrays(x, *params)
        got = f(x, *params)
        for i in range(x.size):
            assert same(got[i], f(*(c[i].item() for c in full))), (f.__name__, [c[i] for c in full])


TINY = [5e-324, 1e-310, 2.2250738585072014e-308, 1e-300, 2.0 ** -53, 2.0 ** -52, 2.0 ** -51]
PARAM_SPECIAL = SPECIAL + TINY + [-t for t in TINY] + [1 - 2.0 ** -53, 1 + 2.0 ** -52, 9e307, 1.7976931348623157e308]


def per_element(rng, n, body):
    """n parameters, one an element: body(m) values, specials and subnormals
    mixed in, and runs of repeated values."""
    v = body(n)
    pick = rng.random(n) < 0.05
    v[pick] = rng.choice(PARAM_SPECIAL, pick.sum())
    runs = rng.random(n) < 0.2
    v[runs] = v[np.maximum(np.flatnonzero(runs) - 1, 0)]
    return v


def scale(rng, n, lo=-3, hi=3):
    return per_element(rng, n, lambda m: 10.0 ** rng.uniform(lo, hi, m))


def location(rng, n):
    return per_element(rng, n, lambda m: rng.normal(0, 3, m))


def shape(rng, n):
    """Shapes of every regime of the incomplete gamma function: mostly below
    10, some above, integers, and 10 and its neighbours."""
    def body(m):
        v = 10.0 ** rng.uniform(-3, 1, m)
        pick = rng.random(m)
        v[pick < 0.2] = 10.0 ** rng.uniform(1, 2.5, (pick < 0.2).sum())
        v[pick > 0.9] = rng.integers(1, 30, (pick > 0.9).sum())
        v[(pick > 0.85) & (pick <= 0.9)] = rng.choice([10.0, 9.999999999999998, 10.000000000000002], ((pick > 0.85) & (pick <= 0.9)).sum())
        return v
    return per_element(rng, n, body)


def dofs(rng, n):
    """Degrees of freedom around both of Hill's branches, with the closed
    forms (1, 2, +inf) mixed in."""
    def body(m):
        v = 10.0 ** rng.uniform(-1, 2.5, m)
        pick = rng.random(m) < 0.1
        v[pick] = rng.choice([1.0, 2.0, np.inf, 0.5, 1 + 2.0 ** -52, 2 - 2.0 ** -52], pick.sum())
        return v
    return per_element(rng, n, body)


def counts(rng, n):
    c = rng.integers(-2, 60, n)
    c[rng.random(n) < 0.01] = 2 ** 62
    return c


def flags(rng, n):
    return rng.random(n) < 0.3


VARYING = [
    ("dnorm", lambda rng, n: [location(rng, n), location(rng, n), scale(rng, n), flags(rng, n)]),
    ("dnorm", lambda rng, n: [location(rng, n), 1.5, scale(rng, n), False]),
    ("dnorm", lambda rng, n: [location(rng, n), location(rng, n), 0.25, True]),
    ("dlnorm", lambda rng, n: [scale(rng, n, -5, 5), location(rng, n), scale(rng, n), flags(rng, n)]),
    ("dlnorm", lambda rng, n: [scale(rng, n, -320, 308), -0.0, 2.0, False]),
    ("dexp", lambda rng, n: [scale(rng, n), scale(rng, n), flags(rng, n)]),
    ("dexp", lambda rng, n: [location(rng, n), 0.0, False]),
    ("dlaplace", lambda rng, n: [location(rng, n), location(rng, n), scale(rng, n), flags(rng, n)]),
    ("pgamma", lambda rng, n: [scale(rng, n, -3, 2), shape(rng, n), scale(rng, n, -1, 1), flags(rng, n)]),
    ("pgamma", lambda rng, n: [scale(rng, n, -3, 2), shape(rng, n), 2.0, False]),
    ("pchisq", lambda rng, n: [scale(rng, n, -3, 2), shape(rng, n), flags(rng, n)]),
    ("ppois", lambda rng, n: [counts(rng, n), scale(rng, n, -2, 2), flags(rng, n)]),
    ("ppois", lambda rng, n: [counts(rng, n), 12.5, False]),
    ("qgamma", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], shape(rng, n // 10),
                               scale(rng, n // 10, -1, 1)]),
    ("qchisq", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], shape(rng, n // 10)]),
    ("qinvgamma", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], shape(rng, n // 10),
                                  scale(rng, n // 10, -1, 1)]),
    ("qt", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], dofs(rng, n // 10)]),
    ("qpois", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], scale(rng, n // 10, 0, 2.5)]),
    ("qpois", lambda rng, n: [probabilities(n // 30, rng)[:n // 30], scale(rng, n // 30, 1, 6.5)]),
    ("qt", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], 4.0]),
    ("qt", lambda rng, n: [probabilities(n // 10, rng)[:n // 10], 0.7]),
]


@pytest.mark.parametrize("name, make", VARYING, ids=[c[0] for c in VARYING])
def test_varying_parameters_equal_scalar_calls(name, make):
    """Array calls with a parameter per element (lanes over the parameters'
    kernels too) give the all-scalar calls' values bit for bit."""
    f = getattr(zorvana, name)
    rng = np.random.default_rng(21)
    n = 30000
    args = [np.asarray(a) for a in make(rng, n)]
    got = f(*args)
    full = np.broadcast_arrays(*args)
    want = np.array([f(*(a[i].item() for a in full)) for i in range(full[0].size)])
    differ = ~((got.view(np.uint64) == want.view(np.uint64)) | (np.isnan(got) & np.isnan(want)))
    bad = np.flatnonzero(differ)
    assert bad.size == 0, (bad.size, [(tuple(a[i] for a in full), got[i], want[i]) for i in bad[:5]])
