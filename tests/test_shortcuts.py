"""The kernels' shortcuts (Halley iterations ended when their state repeats,
the values at an iterate met before recalled, values remembered per
parameter, the tables of e^n and of log-gamma at integers, the Poisson
distribution function's remembered incomplete gamma values) return what the plain loops return: the probe built with
-DZORVANA_PLAIN_LOOPS, which takes every step and recomputes everything, is
the reference, bit for bit."""
import subprocess
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

from conftest import build_cpp, nextafter
from halley_orbits import ORBITS

N = 100000
EPS = 2.0 ** -52
TINY = [5e-324, 1e-310, 2.2250738585072014e-308, 1e-300, 1e-17, EPS / 2, EPS, 2 * EPS]
SPECIAL = [float("nan"), float("inf"), -float("inf"), 0.0, -0.0] + TINY + [-t for t in TINY]
# Probabilities at the guards: within eps of 0 and 1, 1/2, and the erf_inv
# switch to the tail polynomial, (1 - p)(1 + p) = e^-5.
EDGE_P = [0.5, 1.0, 1 - EPS / 2, 1 - EPS, 1 - 2 * EPS, 1.5, 0.9966253678191203, 0.9966253678191204]
# Shapes at the regime switches of the incomplete gamma and beta kernels and
# of the Student t (1 and 2 dof), and large ones.
SHAPES = [0.001, 0.5, 1.0, 1 + EPS, 2.0, 2.5, 9.999999999999998, 10.0, 30.0, 40.5, 100.0, 1e3, 1e6]


def probabilities(rng, n, signed=False):
    u = rng.random_sample(n)
    tail = 10.0 ** -rng.uniform(1, 300, n)
    p = np.where(rng.random_sample(n) < 0.3, np.where(u < 0.5, tail, 1 - tail), u)
    if signed:
        p = p * rng.choice([-1.0, 1.0], n)
    pick = rng.random_sample(n) < 0.02
    p[pick] = rng.choice(SPECIAL + EDGE_P + [-v for v in EDGE_P], pick.sum())
    return p


def shapes(rng, n, top=4):
    """Runs of repeated shapes (as an array call passes them), drawn from the
    switch points, specials and random values up to 10^top, so that
    remembered values are hit, missed and replaced."""
    pool = SHAPES + SPECIAL[:5] + list(10.0 ** rng.uniform(-3, top, 40))
    run = rng.geometric(0.05, n)
    values = rng.choice(pool, n)
    return values[np.repeat(np.arange(n), run)[:n]]


def points(rng, n, lo, hi):
    x = rng.uniform(lo, hi, n)
    pick = rng.random_sample(n) < 0.02
    x[pick] = rng.choice(SPECIAL + [1.0, -1.0, 2.0, 2.1, 2.1000000000000005, 710.0, -745.0], pick.sum())
    return x


def cases(rng):
    n = N
    yield "math_erf_inv", [probabilities(rng, n, signed=True)]
    # Integer parts around the end of the table of e^n, n = -1024 ... 1024.
    ends = [v * s for v in (1023.5, 1024.0, 1024.4999999999998, 1024.5, 1025.0) for s in (1, -1)]
    yield "math_exp", [np.concatenate([points(rng, n // 2, -800, 800), points(rng, n // 2, -3, 3), ends])]
    yield "math_exp_ext", [np.concatenate([points(rng, n // 2, -12000, 12000), points(rng, n // 2, -3, 3), ends])]
    yield "pnorm", [points(rng, n, -40, 40), points(rng, n, -1, 1), shapes(rng, n)]
    counts = rng.randint(-2, 1100, n // 2).astype(float)
    yield "math_lgamma", [np.concatenate([counts, np.nextafter(counts, 2000), points(rng, n // 2, 0, 1100)])]
    yield "math_gamma_p_inv", [shapes(rng, n, top=1.2), probabilities(rng, n)]
    yield "math_gamma_p", [shapes(rng, n), points(rng, n, 0, 60)]
    yield "math_beta_i_inv", [shapes(rng, n), shapes(rng, n), probabilities(rng, n)]
    yield "math_lbeta", [shapes(rng, n), shapes(rng, n)]
    yield "pbeta", [points(rng, n, 0, 1), shapes(rng, n), shapes(rng, n)]
    yield "qbeta", [probabilities(rng, n // 4), shapes(rng, n // 4), shapes(rng, n // 4)]
    yield "pt", [points(rng, n, -20, 20), shapes(rng, n)]
    yield "dt", [points(rng, n, -20, 20), shapes(rng, n)]
    yield "qt", [probabilities(rng, n // 4), shapes(rng, n // 4)]
    yield "dnorm", [points(rng, n, -5, 5), points(rng, n, -1, 1), shapes(rng, n)]
    yield "dgamma", [points(rng, n, 0, 50), shapes(rng, n), shapes(rng, n)]
    # Remembered incomplete gamma values of the Poisson distribution function.
    yield "qpois", [probabilities(rng, n // 20), shapes(rng, n // 20, top=3)]
    yield "ppois", [rng.randint(0, 400, n // 4).astype(float), shapes(rng, n // 4, top=2.5)]
    # The incomplete gamma inverse's shapes at its guard (eps), its start
    # switch (1) and the regime switch (10), each with its neighbours.
    edges = [v for e in (EPS, 1.0, 10.0) for v in (nextafter(e, 0), e, nextafter(e, 20))] + [1e-17, 5e-324]
    yield "math_gamma_p_inv", [rng.choice(edges, n // 2), probabilities(rng, n // 2)]


@pytest.fixture(scope="module")
def probes(tmp_path_factory):
    out = tmp_path_factory.mktemp("shortcuts")
    src = ["tests/cpp/kernel_probe.cpp"]
    with ThreadPoolExecutor(2) as pool:
        return tuple(pool.map(lambda build: build_cpp(out, build[0], src, build[1]),
                              [("fast", []), ("plain", ["-DZORVANA_PLAIN_LOOPS"])]))


def run(exe, text):
    return subprocess.run([exe], input=text, stdout=subprocess.PIPE, check=True).stdout


def orbit_cases():
    """The inputs of tests/halley_orbits.py per kernel, then their arguments
    shuffled apart (other orbits)."""
    rng = np.random.RandomState(21)
    for name in ("math_gamma_p_inv", "math_erf_inv", "math_beta_i_inv"):
        rows = [[float.fromhex(v) for v in args] for kernel, args in ORBITS if kernel == name]
        if name == "math_erf_inv":
            rows = [[(p + p) - 1] for p, in rows]
        columns = [np.array(col) for col in zip(*rows)]
        yield name, [np.concatenate([col, rng.permutation(col)]) for col in columns]


@pytest.mark.parametrize("name,columns", list(cases(np.random.RandomState(20261207))) + list(orbit_cases()),
                         ids=lambda v: v if isinstance(v, str) else "")
def test_shortcut_matches_plain_loop(probes, name, columns):
    rows = zip(*[[float(v).hex() for v in col] for col in columns])
    text = "".join(name + " " + " ".join(row) + "\n" for row in rows).encode()
    with ThreadPoolExecutor(2) as pool:
        fast, plain = (out.split(b"\n") for out in pool.map(lambda exe: run(exe, text), probes))
    lines = text.split(b"\n")
    wrong = [(lines[i], fast[i], plain[i]) for i in range(len(fast)) if fast[i] != plain[i]]
    assert not wrong, (len(wrong), wrong[:5])
