"""The calling layer: threads, the all-scalar entry against the array path,
error texts, Ctrl-C, the interpreter lock, counts that are not counts."""
import math
import os
import signal
import subprocess
import sys
import threading
import warnings
from time import perf_counter, sleep

import numpy as np
import pytest

import zorvana as z
from conftest import ROOT

NAN, INF = math.nan, math.inf


def same_bits(a, b):
    a, b = np.asarray(a, dtype=float), np.asarray(b, dtype=float)
    return a.shape == b.shape and bool(np.all((a.view(np.int64) == b.view(np.int64)) | (np.isnan(a) & np.isnan(b))))


@pytest.fixture
def threads():
    before = z.get_num_threads()
    yield z.set_num_threads
    z.set_num_threads(before)


SPECIALS = [NAN, INF, -INF, 0.0, -0.0, 1.0, 2.0 ** -52, 5e-324]


def mixed(n, seed):
    """Values of every kind: typical, wide, tiny and huge, specials."""
    rng = np.random.default_rng(seed)
    v = rng.uniform(0, 1, n)
    v[::7] = rng.uniform(-50, 50, len(v[::7]))
    v[::11] = 10.0 ** rng.uniform(-300, 300, len(v[::11]))
    v[::13] = np.resize(SPECIALS, len(v[::13]))
    return v


# Large inputs, with broadcasting, odd strides and column-major order; enough
# work that every thread gets a share.
THREAD_CASES = [
    ("pnorm", lambda: (mixed(600001, 1)[::3], 0.5, 2.0)),
    ("dbinom", lambda: (np.arange(-2, 2998)[:, None] % 40, np.array([10, 37, -1]), 0.3,
                        np.array([[True], [False]]).repeat(1500, 0))),
    ("qgamma", lambda: (np.asfortranarray(mixed(1500, 3).reshape(30, 50)), np.linspace(0.1, 30, 50), 2.0)),
    ("punif", lambda: (mixed(800000, 4).reshape(400, 2000)[:, ::2], -1.0, mixed(1000, 5))),
    ("ppois", lambda: (np.arange(50000) % 300 * 1.5, mixed(50000, 6) * 100, False)),
    # both tails in one call, the flag changing every few elements
    ("pchisq", lambda: (np.abs(mixed(300000, 7)[::3]) * 40, 20.0, False, np.arange(100000) % 7 < 3)),
]


@pytest.mark.parametrize("name,make", THREAD_CASES, ids=[c[0] for c in THREAD_CASES])
def test_same_bits_for_any_number_of_threads(threads, name, make):
    f, args = getattr(z, name), make()
    results = []
    for n in (1, 2, 3):
        threads(n)
        results.append(f(*args))
    assert same_bits(results[0], results[1]) and same_bits(results[0], results[2])
    # and element by element as all-scalar calls give it
    out, b = results[0], np.broadcast_arrays(*[np.asarray(a) for a in args])
    rng = np.random.default_rng(0)
    for idx in zip(*[rng.integers(0, s, 40) for s in out.shape]):
        scalars = [a[idx].item() for a in b]
        assert same_bits(f(*scalars), out[idx])


FAMILIES = {
    "norm": (0.3, 1.5), "bern": (0.3,), "beta": (2.0, 3.0), "binom": (12, 0.4), "cauchy": (0.5, 2.0),
    "chisq": (3.0,), "exp": (1.5,), "f": (4.0, 6.0), "gamma": (2.5, 1.5), "invgamma": (3.0, 2.0),
    "laplace": (0.5, 2.0), "lnorm": (0.1, 0.8), "logis": (0.5, 2.0), "pois": (3.5,), "t": (4.0,),
    "unif": (-1.0, 3.0), "weibull": (1.5, 2.0),
}


@pytest.mark.parametrize("prefix", ["d", "p", "q"])
@pytest.mark.parametrize("fam", sorted(FAMILIES))
def test_scalar_entry_equals_array_path(prefix, fam):
    f, params = getattr(z, prefix + fam), FAMILIES[fam]
    if prefix == "q":
        xs = [0.0, 1e-300, 0.01, 0.5, 0.975, 1.0, NAN, -0.5]
    elif fam in ("bern", "binom", "pois"):
        xs = [-1, 0, 1, 3, 7, 40]
    else:
        xs = [-2.0, -0.0, 0.0, 1e-310, 0.7, 2.5, 40.0, INF, NAN]
    flags = [False, True] if prefix != "q" else [None]
    for flag in flags:
        extra = () if flag is None else (flag,)
        arr = f(np.array(xs), *params, *extra)
        for i, x in enumerate(xs):
            assert same_bits(f(x, *params, *extra), arr[i])
            # Python ints for float parameters, NumPy scalars: the same values
            ints = [int(p) if p == int(p) else p for p in params]
            assert same_bits(f(np.float64(x) if prefix == "q" else x, *ints, *extra), arr[i])


@pytest.mark.parametrize("call,message", [
    ("qbeta(0.5, 2.0)", "qbeta(): incompatible function arguments. The following argument types are supported:\n"
     "    1. (p: numpy.ndarray[numpy.float64], a: numpy.ndarray[numpy.float64], "
     "b: numpy.ndarray[numpy.float64], lower_tail: numpy.ndarray[bool] = True, "
     "log_p: numpy.ndarray[bool] = False, *, ncp: numpy.ndarray[numpy.float64] = 0) -> object\n\n"
     "Invoked with: 0.5, 2.0"),
    ("dexp(1.0, rate=2.0, log_p=True)", "dexp(): incompatible function arguments. The following argument types are "
     "supported:\n    1. (x: numpy.ndarray[numpy.float64], rate: numpy.ndarray[numpy.float64] = 1, "
     "log: numpy.ndarray[bool] = False) -> object\n\nInvoked with: 1.0; kwargs: rate=2.0, log_p=True"),
    ("qnorm(0.5, 0, 1, True, False, 2)", "qnorm(): incompatible function arguments. The following argument types "
     "are supported:\n    1. (p: numpy.ndarray[numpy.float64], mu: numpy.ndarray[numpy.float64] = 0, "
     "sigma: numpy.ndarray[numpy.float64] = 1, lower_tail: numpy.ndarray[bool] = True, "
     "log_p: numpy.ndarray[bool] = False) -> object\n\nInvoked with: 0.5, 0, 1, True, False, 2"),
    ("dpois('a', 1.0)", None), ("pnorm(2**1100)", None), ("rnorm(0.0, 1.0, size=2**63)", None),
    ("rnorm(0.0, 1.0, size=[3, 2**63])", None), ("rnorm(0.0, 1.0, size=2**64)", None),
    ("rbinom(2**63, 0.5)", None), ("rnorm(0.0, 1.0, z.Engine(1), 5)", None),
])
def test_refused_calls_keep_their_type_error(call, message):
    with pytest.raises(TypeError, match="incompatible function arguments") as info:
        eval("z." + call)
    if message is not None:
        assert str(info.value) == message


def test_broadcast_error_and_empty_results_unchanged():
    with pytest.raises(RuntimeError, match=r"^pybind11::vectorize: incompatible size/dimension of inputs!$"):
        z.pbinom(np.zeros(2, dtype=np.int64), np.array([3, 4, 5]), 0.5)
    assert z.qpois(np.zeros((2, 0)), np.ones((1, 0))).shape == (2, 0)
    # counts given as floats keep the memory order of their copy, as before
    assert z.dpois(np.asfortranarray(np.ones((3, 4))), 2.0).flags.f_contiguous


# ---------------------------------------------------------------------------
# A count that is not one: NaN, no warning; finite values truncate.

@pytest.mark.parametrize("call,expected", [
    (lambda: z.dpois(np.array([1.0, NAN, INF, -INF, 1e30, 2.0 ** 63, -2.0 ** 63, 2.9, -0.5]), 2.0),
     [z.dpois(1, 2.0), NAN, NAN, NAN, NAN, NAN, z.dpois(-2 ** 63, 2.0), z.dpois(2, 2.0), z.dpois(0, 2.0)]),
    (lambda: z.ppois(np.array([INF]), 3.0), [NAN]),
    (lambda: z.pbinom(np.array([1e30], dtype=np.float32), 10, 0.3), [NAN]),
    (lambda: z.dbinom(3, np.array([NAN, 10.7, 2.0 ** 64]), 0.4), [NAN, z.dbinom(3, 10, 0.4), NAN]),
    (lambda: z.qbinom(0.5, [NAN, 9], 0.5), [NAN, z.qbinom(0.5, 9, 0.5)]),
    (lambda: z.dpois(np.array([2 ** 64 - 1, 2 ** 63, 2 ** 63 - 1, 3], dtype=np.uint64), 1.0),
     [NAN, NAN, z.dpois(2 ** 63 - 1, 1.0), z.dpois(3, 1.0)]),
    (lambda: z.dpois(np.array([1, NAN], dtype=object), 2.0), [z.dpois(1, 2.0), NAN]),
    (lambda: [z.ppois(NAN, 3.0), z.dpois(2 ** 70, 1.0), z.dpois(-2 ** 63 - 1, 1.0), z.dbern(INF, 0.5),
              z.dpois(np.uint64(2 ** 64 - 1), 1.0), z.qbinom(0.5, 1e300, 0.5)], [NAN] * 6),
])
def test_a_missing_count_gives_nan(call, expected):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert same_bits(call(), expected)


# ---------------------------------------------------------------------------
# Threads of the caller: the interpreter lock, engines, the thread count.

def test_lock_released_during_array_calls():
    times = {}

    def work():
        times["start"] = perf_counter()
        z.qbeta(np.full(40000, 0.3), 2.0, 3.0)  # about 0.2 s of work
        times["end"] = perf_counter()

    worker = threading.Thread(target=work)
    worker.start()
    while "start" not in times:
        sleep(0.001)
    sleep(0.05)  # wakes while the worker is inside its call only if that call released the lock
    woke = perf_counter()
    worker.join()
    assert woke < times["end"]


def test_one_engine_shared_by_threads_keeps_each_call_consecutive():
    size, e, results = 50000, z.Engine(5), []
    kinds = {"g": lambda eng: z.rgamma(2.5, 1.0, size, eng),
             "n": lambda eng: z.rnorm(0.0, 1.0, size=[size // 2, 2], engine=eng).ravel()}

    def draw():
        for _ in range(4):
            for k in "gn":
                results.append((k, kinds[k](e)))

    workers = [threading.Thread(target=draw) for _ in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    # Replay: some order of the calls must give exactly these blocks.
    order, pending = [], list(results)
    while pending:
        for i, (k, block) in enumerate(pending):
            replay = z.Engine(5)
            for done in order:
                kinds[done](replay)
            if same_bits(kinds[k](replay), block):
                order.append(k)
                del pending[i]
                break
        else:
            pytest.fail("a block is no run of the engine's stream")


def test_thread_count_from_environment_and_setter(threads):
    code = "import zorvana as z; print(z.get_num_threads())"
    env = dict(os.environ, ZORVANA_NUM_THREADS="3")
    out = subprocess.run([sys.executable, "-c", code], env=env, stdout=subprocess.PIPE, check=True, timeout=60)
    assert out.stdout.split() == [b"3"]
    threads(2)
    assert z.get_num_threads() == 2
    with pytest.raises(ValueError):
        z.set_num_threads(0)


# ---------------------------------------------------------------------------
# Ctrl-C ends every long call, scalar or array, element-wise or draw.

LONG_CALLS = [
    "z.qbinom(0.5, 10**9, 0.5)",                      # scalar search, interpreter lock held
    "z.pbinom(np.array([10**9]), 2 * 10**9, 0.5)",   # one long element, lock released
    "z.qgamma(np.full(2000000, 0.5), 5.0, 1.0)",       # many elements on every thread
    "z.rbinom(10**13, 0.5, engine=e)",                # scalar draw
    "z.rbinom(10**6, 0.5, 200000, e)",                # array draw: many long draws
    "z.rbinom(np.full(200000, 10**6), [0.5], engine=e)",  # array parameters: many long draws
    "z.rpois(np.full(2000000, 3e6), engine=e)",       # runs of uniforms drawn ahead of their quantiles
]


@pytest.mark.parametrize("call", LONG_CALLS)
def test_sigint_ends_a_long_call(call):
    # A child started in the background by a shell inherits SIGINT ignored;
    # Python then installs no KeyboardInterrupt handler of its own.
    code = ("import signal, sys, numpy as np, zorvana as z\n"
            "signal.signal(signal.SIGINT, signal.default_int_handler)\ne = z.Engine(3)\nprint('go', flush=True)\n"
            "try:\n    {}\nexcept KeyboardInterrupt:\n    print('interrupted', z.runif(0, 1, engine=e) >= 0)\n").format(call)
    proc = subprocess.Popen([sys.executable, "-c", code], cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        assert proc.stdout.readline() == b"go\n"
        sleep(0.5)
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=20)
    finally:
        proc.kill()
    assert out.split() == [b"interrupted", b"True"], err
