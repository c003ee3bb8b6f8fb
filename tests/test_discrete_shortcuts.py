"""The discrete searches' shortcuts (qbinom and pbinom computing each mass
once and keeping them for the next element, qpois reusing its start value
and its factor e^-rate) return what the plain loops return: the probe built
with -DZORVANA_PLAIN_LOOPS, which recomputes every partial sum and takes
every step, is the reference, bit for bit."""
import math
import subprocess

import numpy as np
import pytest

import zorvana as z
from conftest import build_cpp

EPS = 2.0 ** -52


@pytest.fixture(scope="module")
def probes(tmp_path_factory):
    out = tmp_path_factory.mktemp("discrete")
    src = ["tests/cpp/discrete_probe.cpp"]
    return build_cpp(out, "fast", src), build_cpp(out, "plain", src, ["-DZORVANA_PLAIN_LOOPS"])


def probability(rng, tie):
    """Central, either tail (down to 1e-300 and to 1 - 2^-53), or the value
    of the distribution function at some count and its neighbours."""
    r = rng.random_sample()
    if r < 0.3:
        return float(rng.choice([np.nextafter(tie, 0.0), tie, np.nextafter(tie, 2.0)]))
    if r < 0.45:
        return float(10.0 ** -rng.uniform(0, 300))
    if r < 0.6:
        return 1 - float(10.0 ** -rng.uniform(0, 15.9))
    return float(rng.random_sample())


def binom_rows(rng):
    # runs of one (n, prob), as an array call passes them: the masses kept
    # from one element serve the next
    for _ in range(250):
        n = int(rng.randint(2, 200))
        prob = float(rng.choice([rng.random_sample(), 10.0 ** -rng.uniform(0, 8), 1 - 10.0 ** -rng.uniform(0, 8),
                                 0.0, 5e-324, 1 - EPS / 2, 0.5]))
        for _ in range(rng.randint(1, 16)):
            x = int(rng.randint(0, n))
            tie = float(z.pbinom(x, n, prob))
            yield "qbinom %s %d %s" % (probability(rng, tie).hex(), n, prob.hex())
            yield "pbinom %d %d %s" % (int(rng.randint(-1, n + 1)), n, prob.hex())


def qpois_rows(rng):
    # rates met afresh (their comparisons decided on the accurate integral
    # unless p is close) and runs of one rate (the remembered kernel values),
    # on both sides of the largest rate so decided
    for _ in range(3000):
        rate = float(rng.choice([10.0 ** rng.uniform(-2, 3.5), 10.999999999999998, 11.0, 15.5,
                                 10.0 ** rng.uniform(3.5, 6.5), 2.0 ** 20, 2.0 ** 20 + 2.0 ** -32]))
        for _ in range(1 if rng.random_sample() < 0.8 else 3):
            tie = float(z.ppois(int(z.qpois(rng.random_sample(), rate)) + int(rng.randint(-2, 2)), rate))
            p = probability(rng, tie)
            yield "qpois %s %s" % ((p if p >= 1e-12 else 0.25).hex(), rate.hex())  # tiny p: 10^4-step walks
    # normal starts a hair from a whole count (3 + k): the estimated start
    # cannot tell its truncation and the inverse error function decides
    for _ in range(500):
        rate = float(10.0 ** rng.uniform(1.05, 6.5))
        k = int(rate + np.sqrt(rate) * rng.uniform(-4, 4))
        p = 0.5 * (1 + math.erf((k + 3 - rate) / (np.sqrt(rate) * np.sqrt(2.0))))
        for q in (p, np.nextafter(p, 0.0), np.nextafter(p, 1.0)):
            if 1e-12 <= q < 1:
                yield "qpois %s %s" % (float(q).hex(), rate.hex())


@pytest.mark.parametrize("rows", [binom_rows, qpois_rows])
def test_search_matches_plain_search(probes, rows):
    lines = list(rows(np.random.RandomState(20261208)))
    text = ("\n".join(lines) + "\n").encode()
    fast, plain = (subprocess.run([exe], input=text, stdout=subprocess.PIPE, check=True).stdout.split()
                   for exe in probes)
    wrong = [(lines[i], fast[i], plain[i]) for i in range(len(lines)) if fast[i] != plain[i]]
    assert not wrong, (len(wrong), wrong[:5])


def test_accurate_integral_is_far_closer_to_the_kernel_than_the_margin(probes):
    # qpois trusts the accurate integral's side of p beyond 2^-18 from it, up
    # to rate 2^20 (count below 2^31): the kernel must lie well within that,
    # over the quadrature's window edges and the continued fractions' regimes
    rng = np.random.RandomState(11)
    rates = np.concatenate([10.0 ** rng.uniform(np.log10(11), 20 * np.log10(2), 6000), 10.0 ** rng.uniform(-2, 1, 1000),
                            [11.0, 30.0, 30.000000000000004, 100.0, 1000.0, 2.0 ** 20]])
    rows = []
    for rate in rates:
        counts = rate + np.sqrt(rate) * rng.uniform(-13, 13, 3)
        if rate <= 10:
            counts = 16 + rng.randint(0, 60, 3)
        counts = np.concatenate([counts, [rate / 3 - 1, 9, 10]])
        rows += ["ppois_gap %d %s" % (max(0, int(c)), float(rate).hex()) for c in counts]
    out = subprocess.run([probes[0]], input=("\n".join(rows) + "\n").encode(), stdout=subprocess.PIPE,
                         check=True).stdout.split()
    gaps = np.abs([float.fromhex(v.decode()) for v in out])  # the accurate value, then the walk's
    worst = int(np.argmax(gaps)) // 2
    assert gaps.max() < 2.0 ** -24, rows[worst]


def test_inverse_error_function_estimate_is_far_within_its_bound(probes):
    # qpois takes its normal start's count from the estimate where the
    # start lies farther than the bound's reach from a whole count
    rng = np.random.RandomState(12)
    z = np.concatenate([rng.uniform(0, 6.2, 40000), rng.uniform(1.8, 2.3, 20000), [0.0, 2.1, 2.2, 4.0, 6.0]])
    z *= rng.choice([-1.0, 1.0], z.size)
    x = np.concatenate([[math.erf(v) for v in z], rng.uniform(-1, 1, 20000)])
    rows = ["erf_inv_gap %s" % float(v).hex() for v in x if abs(v) < 1]
    out = subprocess.run([probes[0]], input=("\n".join(rows) + "\n").encode(), stdout=subprocess.PIPE,
                         check=True).stdout.split()
    gap = np.abs([float.fromhex(v.decode()) for v in out[0::2]])
    bound = np.array([float.fromhex(v.decode()) for v in out[1::2]])
    known = np.isfinite(bound)
    assert known.mean() > 0.9
    ratio = np.where(known, gap / np.where(known, bound, 1.0), 0.0)
    worst = int(np.argmax(ratio))
    assert ratio[worst] < 1 / 16, rows[worst]


@pytest.mark.parametrize("n, prob, p", [(300000, 0.5, 0.5), (300000, 0.3, 1 - 1e-12), (300000, 0.5, 1e-300),
                                        (200000, 0.5, "tie"), (140000, 0.5, 1e-300), (140000, 0.5, 0.5)])
def test_qbinom_large_answer_is_least_count_reaching_p(n, prob, p):
    # Beyond 2^16 stored masses the search drops those that can no longer
    # change a partial sum (the last case starts from the first 2^14 masses
    # the one before kept); pbinom from 2^14 on adds every mass from the top.
    if p == "tie":
        p = z.pbinom(100123, n, prob)
    k = int(z.qbinom(p, n, prob))
    assert z.pbinom(k, n, prob) >= p > z.pbinom(k - 1, n, prob)
