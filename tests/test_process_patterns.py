"""Ordinary process patterns that must not hang: fork after threaded calls
(and while other threads hold the pool or an engine), signal handlers that
use the engine of the draw they interrupted, long all-scalar calls beside
other Python threads; limits that hold, and counts in sequences taken as
given alone. Anything that could hang runs in a child interpreter
with a timeout."""
import os
import signal
import subprocess
import sys
import textwrap
import threading
from time import perf_counter, sleep

import numpy as np
import pytest

import zorvana as z

FORK = pytest.mark.skipif(not sys.platform.startswith("linux"), reason="fork start method of Linux")


def run(code, timeout=90):
    """Runs code in a new interpreter; its stdout, or a failure naming the hang."""
    # A session of its own: a hang is ended with every process it forked.
    proc = subprocess.Popen([sys.executable, "-c", textwrap.dedent(code)], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, universal_newlines=True, start_new_session=True)
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        pytest.fail("hung (killed after %d s); output so far:\n%s\n%s" % (timeout, out, err))
    assert proc.returncode == 0, err
    return out


SETUP = """
    import os, sys, threading, time
    import numpy as np
    import zorvana as z
    z.set_num_threads(2)
    x = np.linspace(0.001, 0.999, 100000)
    want = z.qgamma(x, 3.0, 1.0)          # a threaded call in the parent

    def child_checks(code):
        pid = os.fork()
        if pid == 0:
            try:
                ok = all([np.array_equal(z.qgamma(x, 3.0, 1.0), want) for _ in range(3)]) and code()
            finally:
                os._exit(0 if ok else 3)
        return os.waitpid(pid, 0)[1]
"""


@FORK
def test_fork_children_and_a_fork_pool_finish_threaded_calls():
    out = run(SETUP + """
    import multiprocessing
    print([child_checks(lambda: True) for _ in range(4)])
    def task(k):
        return np.array_equal(z.qgamma(x, 3.0, 1.0), want)
    with multiprocessing.get_context("fork").Pool(2) as pool:
        print(pool.map(task, range(6)))
    """)
    assert out.split("\n")[:2] == [str([0] * 4), str([True] * 6)]


@FORK
def test_fork_while_other_threads_hold_the_pool_and_engines():
    # A parent thread is in the middle of a threaded call, another in a long
    # draw from an engine (and one from the default engine): the child uses
    # the pool and both engines at once, and they continue the parent's streams.
    out = run(SETUP + """
    e = z.Engine(7)
    stop = [False]
    def busy_pool():
        while not stop[0]:
            z.qgamma(x, 3.0, 1.0)
    threads = [threading.Thread(target=busy_pool),
               threading.Thread(target=z.rbinom, args=(10 ** 6, 0.5), kwargs=dict(size=400, engine=e)),
               threading.Thread(target=z.rbinom, args=(10 ** 6, 0.5), kwargs=dict(size=400))]
    for t in threads:
        t.start()
    time.sleep(0.3)
    def draws():
        c = z.Engine(1)
        c.__setstate__(e.__getstate__())
        return z.rnorm(size=3, engine=e).tolist() == z.rnorm(size=3, engine=c).tolist() and np.isfinite(z.rnorm())
    status = [child_checks(draws) for _ in range(3)]
    stop[0] = True
    for t in threads:
        t.join()
    print(status)
    """)
    assert out.strip() == str([0] * 3)


def test_signal_handler_using_the_engine_of_the_interrupted_draw():
    # Readings see the engine as it stands between two outputs (the pickle
    # equals the engine as the interrupted call leaves it); a draw from it is
    # refused; other engines draw as usual.
    out = run("""
    import pickle, signal, zorvana as z
    e = z.Engine(5)
    class Stop(Exception):
        pass
    def handler(signum, frame):
        seen["copy"] = pickle.loads(pickle.dumps(e))
        seen["repr"] = repr(e)
        for draw in (lambda: z.rnorm(engine=e), lambda: z.rexp(1.0, size=2, engine=e),
                     lambda: e.__setstate__(e.__getstate__())):
            try:
                draw()
                seen["refused"] = False
            except RuntimeError as err:
                seen["refused"] = "in use by the call that the running signal handler interrupted" in str(err)
        seen["other"] = z.rnorm(engine=z.Engine(2)) == z.rnorm(engine=z.Engine(2))
        raise Stop
    signal.signal(signal.SIGALRM, handler)
    for draw in (lambda: z.rbinom(10 ** 13, 0.5, e),
                 lambda: z.rbinom(10 ** 7, 0.5, size=10 ** 5, engine=e)):
        seen = {}
        signal.setitimer(signal.ITIMER_REAL, 0.3)
        try:
            draw()
        except Stop:
            pass
        print(seen["copy"] == e, seen["repr"] == repr(e), seen["refused"], seen["other"])
    """, timeout=60)
    assert out.split("\n")[:2] == ["True True True True"] * 2


# Each about half a second here; the fast entry and the general path (NumPy
# scalars) of an element-wise function and of a draw.
LONG_SCALAR_CALLS = {
    "qbinom": lambda: z.qbinom(0.5, 3 * 10 ** 5, 0.5),
    "qbinom-general": lambda: z.qbinom(np.float64(0.5), np.int64(3 * 10 ** 5), 0.5),
    "rbinom": lambda: z.rbinom(10 ** 8, 0.5),
    "rbinom-general": lambda: z.rbinom(np.int64(10 ** 8), 0.5, z.Engine(3)),
}


@pytest.mark.parametrize("name", sorted(LONG_SCALAR_CALLS))
def test_long_scalar_calls_let_other_threads_run(name):
    ticks, stop = [], threading.Event()

    def heartbeat():
        while not stop.is_set():
            ticks.append(perf_counter())
            sleep(0.002)

    beat = threading.Thread(target=heartbeat)
    beat.start()
    sleep(0.02)
    t0 = perf_counter()
    LONG_SCALAR_CALLS[name]()
    t1 = perf_counter()
    stop.set()
    beat.join()
    times = [t0] + [t for t in ticks if t0 < t < t1] + [t1]
    longest_gap = max(b - a for a, b in zip(times, times[1:]))
    assert longest_gap < 0.5 * (t1 - t0), (longest_gap, t1 - t0)


@pytest.mark.parametrize("n,limit", [(n, "at most 1024") for n in (1025, 10 ** 6, 2 ** 31 - 1, 2 ** 31, 2 ** 64)] +
                         [(-2 ** 63 - 1, "at least 1")])
def test_set_num_threads_refuses_counts_out_of_range(n, limit):
    before = z.get_num_threads()
    with pytest.raises(ValueError, match=limit):
        z.set_num_threads(n)
    assert z.get_num_threads() == before


@pytest.mark.skipif(not os.path.isdir("/proc/self/task"), reason="threads counted in /proc")
def test_workers_beyond_the_count_leave():
    out = run("""
    import os, time, numpy as np, zorvana as z
    def threads():
        return len(os.listdir("/proc/self/task"))
    base = threads()
    z.set_num_threads(64)
    z.qgamma(np.full(400000, 0.5), 3.0, 1.0)
    many = threads()
    z.set_num_threads(2)
    for _ in range(500):
        if threads() <= base + 1:
            break
        time.sleep(0.01)
    print(many >= base + 63, threads() <= base + 1)
    """)
    assert out.split() == ["True", "True"]


def test_repr_waits_for_a_draw_on_another_thread():
    e = z.Engine(4)
    draw = threading.Thread(target=z.rbinom, args=(10 ** 6, 0.5), kwargs=dict(size=100, engine=e))
    draw.start()
    sleep(0.05)
    text = repr(e)
    draw.join()
    assert text == repr(e) == "<zorvana.Engine seed=4 outputs=%d>" % 10 ** 8


N = 2 ** 62 + 1


# Counts in lists and object arrays, each element against the same number alone.
@pytest.mark.parametrize("name,counts,params", [
    ("dbinom", [-2 ** 63 - 1], (10, 0.3)),
    ("ppois", [-2 ** 63 - 1, 2 ** 64, 3], (1.0,)),
    ("dbern", [-2 ** 63 - 1, 1, True], (0.5,)),
    ("dbinom", [N, 2 ** 64], (N, 1.0)),
    ("dbinom", [N, 0.5, -2 ** 63 - 1, 7.9], (N, 1.0)),
    ("dbinom", np.array([[N, 3.5], [-2 ** 64, float("nan")]], dtype=object, order="F"), (N, 1.0)),
    ("dpois", np.array([N, 2 ** 63, np.inf, -1], dtype=object), (2.0 ** 62,)),
])
def test_counts_in_sequences_as_given_alone(name, counts, params):
    f = getattr(z, name)
    got = f(counts, *params)
    want = np.array([f(c, *params) for c in np.asarray(counts, dtype=object).ravel()])
    assert np.array_equal(got.ravel(), want, equal_nan=True)
    if np.ndim(counts) > 1:  # the memory order stays the array's
        assert got.flags.f_contiguous and not got.flags.c_contiguous
