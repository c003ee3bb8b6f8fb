"""Streams at scale: Engine.advance, jumped and spawn, and draws with array
parameters. Skips are checked against stepping through the same outputs
(one output per runif draw), long ones against their composition."""
import copy
import io
import os
import pickle
import signal
import subprocess
import sys
import textwrap
import threading
from time import perf_counter

import numpy as np
import pytest

import zorvana as z
from conftest import ROOT

sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_mt_jump  # noqa: E402

STRIDE = 2 ** 224  # between the engines spawned from Engine(seed)


def stream(e, n=8):
    return z.runif(0.0, 1.0, size=n, engine=e)


def stepped(seed, drawn, n):
    e = z.Engine(seed)
    z.runif(0.0, 1.0, size=drawn + n, engine=e)
    return e


def test_characteristic_polynomial_table_regenerates():
    with open(os.path.join(ROOT, gen_mt_jump.TABLE)) as f:
        assert f.read() == gen_mt_jump.render()


# Around a block (312 outputs), just below and above the count of blocks
# from which advance jumps instead of refilling (64), and far.
@pytest.mark.parametrize("n", [0, 1, 311, 312, 313, 624, 64 * 312, 65 * 312 + 7, 100003, 10 ** 6])
@pytest.mark.parametrize("drawn", [0, 5, 312])
def test_advance_equals_stepping(n, drawn):
    e = stepped(-11, drawn, 0)
    e.advance(n)
    assert e == stepped(-11, drawn, n)
    assert repr(e) == "<zorvana.Engine seed=-11 outputs=%d>" % (drawn + n)


@pytest.mark.parametrize("a,b", [(2 ** 255 + 12345, 2 ** 255 - 999), (10 ** 70, 3 ** 100), (2 ** 256, 2 ** 256),
                                 (1, 2 ** 256 - 1)])
def test_long_advances_compose(a, b):
    e, f = z.Engine(3), z.Engine(3)
    z.runif(0.0, 1.0, size=7, engine=e)
    z.runif(0.0, 1.0, size=7, engine=f)
    e.advance(a)
    e.advance(b)
    half = (a + b) // 2
    f.advance(half)
    f.advance(a + b - half)
    assert e == f and "outputs=%d>" % (a + b + 7) in repr(e)


def test_jumped():
    e = stepped(2024, 100, 0)
    before = copy.copy(e)
    j2 = e.jumped(2)
    assert j2 == e.jumped().jumped() and e == before
    assert repr(j2) == "<zorvana.Engine seed=2024 origin=2*2**128+100 outputs=0>"
    f = copy.copy(e)
    f.advance(2 * 2 ** 128)
    assert np.array_equal(stream(j2), stream(f))
    assert repr(j2) == "<zorvana.Engine seed=2024 origin=2*2**128+100 outputs=8>"
    assert np.array_equal(stream(e.jumped(0)), stream(e))


def test_spawn_rule():
    e = stepped(7, 50, 0)
    first = e.spawn(2)
    stream(e, 20)  # the parent moves on; later engines go on counting
    later = e.spawn(1)
    assert repr(e) == "<zorvana.Engine seed=7 outputs=70 spawned=3>"
    for k, child, at in [(1, first[0], 50), (2, first[1], 50), (3, later[0], 70)]:
        origin = ("" if k == 1 else "%d*" % k) + "2**224+%d" % at
        assert repr(child) == "<zorvana.Engine seed=7 origin=%s outputs=0>" % origin
        f = stepped(7, at, 0)
        f.advance(k * STRIDE)
        assert np.array_equal(stream(child), stream(f))
    # a spawned engine spawns within its own range, 2^192 apart
    grand = first[1].spawn(2)[1]
    f = stepped(7, 50, 0)
    f.advance(2 * STRIDE + 8 + 2 * 2 ** 192)
    assert np.array_equal(stream(grand), stream(f))


def test_spawned_engines_pickle_and_copy():
    e = z.Engine(5)
    child = e.spawn(3)[2]
    stream(child, 400)
    child.spawn(2)
    for copier in (lambda e: pickle.loads(pickle.dumps(e)), copy.deepcopy):
        clone = copier(child)
        assert clone == child and repr(clone) == repr(child)
        assert clone.spawn(1) == child.spawn(1)  # the spawn count came along
        assert np.array_equal(stream(clone), stream(child))
    state = child.__getstate__()
    assert state[0] == 2 and state[4:] == (3 * STRIDE + 416, 3 * STRIDE, 224, 4)
    old_format = (1,) + state[1:5]  # no origin, span or spawn count
    resumed = z.Engine(0)
    resumed.__setstate__(old_format)
    assert np.array_equal(stream(resumed), stream(child))
    assert repr(resumed).startswith("<zorvana.Engine seed=5 outputs=")


def test_spawn_depth_and_count_are_bounded():
    e = z.Engine(1)
    for _ in range(5):
        e = e.spawn(1)[0]
    with pytest.raises(ValueError):
        e.spawn(1)
    assert e.spawn(0) == []
    j = z.Engine(1).jumped()
    j.spawn(1)[0].spawn(0)
    with pytest.raises(ValueError):
        j.spawn(1)[0].spawn(1)
    with pytest.raises(ValueError):
        z.Engine(1).spawn(2 ** 32 - 1)


@pytest.mark.parametrize("call,error", [
    (lambda e: e.advance(-1), ValueError), (lambda e: e.advance(2 ** 256 + 1), ValueError),
    (lambda e: e.jumped(-1), ValueError), (lambda e: e.jumped(2 ** 128 + 1), ValueError),
    (lambda e: e.spawn(-1), ValueError),
    (lambda e: e.advance(1.0), TypeError), (lambda e: e.advance("3"), TypeError), (lambda e: e.advance(None), TypeError),
    (lambda e: e.jumped(1.5), TypeError), (lambda e: e.spawn(2.0), TypeError), (lambda e: e.spawn([1]), TypeError),
])
def test_bad_counts(call, error):
    e = z.Engine(1)
    before = copy.copy(e)
    with pytest.raises(error):
        call(e)
    assert e == before


def test_counts_take_integer_indexes():
    e, f = z.Engine(1), z.Engine(1)
    e.advance(np.int64(400))
    e.advance(True)
    f.advance(401)
    assert e == f and e.jumped(np.uint8(2)) == f.jumped(2) and len(e.spawn(np.int32(2))) == 2


@pytest.mark.parametrize("spawned", [6, 2 ** 31 + 2 ** 17 - 1, 2 ** 32 - 5])
@pytest.mark.parametrize("level", [0, 1])
def test_children_far_into_the_spawn_count(spawned, level):
    # The first child of a call is spawned + 1 strides on, made from the
    # stride's powers of two; each is where advance puts it.
    e = z.Engine(12) if level == 0 else z.Engine(12).spawn(1)[0]
    stream(e, 9)
    state = list(e.__getstate__())
    state[7] = spawned
    e.__setstate__(tuple(state))
    at, stride = copy.copy(e), 2 ** (state[6] - 32)
    for k, child in enumerate(e.spawn(2), start=spawned + 1):
        f = copy.copy(at)
        f.advance(k * stride)
        assert np.array_equal(stream(child), stream(f))
    assert e.__getstate__()[7] == spawned + 2


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="no interval timer")
def test_spawn_ends_soon_on_a_signal():
    class Stop(Exception):
        pass
    fired = []

    def handler(signum, frame):
        fired.append(perf_counter())
        raise Stop

    e = stepped(8, 3, 0)
    before = copy.copy(e)
    old = signal.signal(signal.SIGALRM, handler)
    try:
        t0 = perf_counter()
        signal.setitimer(signal.ITIMER_REAL, 0.3)
        with pytest.raises(Stop):
            e.spawn(10 ** 5)  # seconds of work
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, old)
    assert fired[0] - (t0 + 0.3) < 0.1
    assert e == before and e.spawn(1) == before.spawn(1)  # none counted


# ---------------------------------------------------------------------------
# States from outside: an engine never initialised, and states checked.

def test_engine_never_initialised():
    # Every method and draw refuses it (none waits or reads garbage);
    # __setstate__ makes it whole, as unpickling by NEWOBJ and BUILD does.
    code = textwrap.dedent("""
        import copy, io, pickle, numpy as np, zorvana as z
        calls = [repr, copy.copy, copy.deepcopy, pickle.dumps, lambda e: e == z.Engine(1),
                 lambda e: z.Engine(1) == e, lambda e: e.__getstate__(), lambda e: e.advance(5),
                 lambda e: e.jumped(), lambda e: e.spawn(2), lambda e: z.rnorm(engine=e),
                 lambda e: z.rnorm(0.0, 1.0, 3, e), lambda e: z.rgamma(2.0, 1.0, [2], e),
                 lambda e: z.rpois([1.0, 2.0], engine=e), lambda e: z.rbinom(np.int64(3), 0.5, e)]
        e = z.Engine.__new__(z.Engine)
        refused = []
        for call in calls:
            try:
                call(e)
                refused.append(False)
            except TypeError as err:
                refused.append("zorvana.Engine was never initialised" in str(err))
        try:
            e.__setstate__((2, 1, b"", 0, 0, 0, 256, 0))
        except ValueError:
            pass
        print(all(refused), len(refused))
        try:
            repr(e)
            print("initialised by a refused state")
        except TypeError:
            print("still refused")
        f = z.Engine(4)
        z.runif(0, 1, size=400, engine=f)
        f.spawn(2)
        e.__setstate__(f.__getstate__())
        print(e == f, repr(e) == repr(f), e.spawn(1) == f.spawn(1), z.rnorm(engine=e) == z.rnorm(engine=f))
        buf = io.BytesIO()
        p = pickle._Pickler(buf, 2)
        p.save_global(z.Engine)
        p.write(pickle.EMPTY_TUPLE + pickle.NEWOBJ)
        p.save(f.__getstate__())
        p.write(pickle.BUILD + pickle.STOP)
        g = pickle.loads(buf.getvalue())
        print(g == f, list(z.runif(0, 1, size=3, engine=g)) == list(z.runif(0, 1, size=3, engine=f)))
    """)
    out = subprocess.run([sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, timeout=60)
    assert out.stdout.split("\n")[:4] == ["True 15", "still refused", "True True True True", "True True"], \
        out.stderr[-2000:]


def set_field(state, index, value):
    state = list(state)
    state[index] = value
    return tuple(state)


def words_with(first):
    return first.to_bytes(8, "little") + bytes(8 * 311)


# A spawned engine 400 outputs in (origin 2 * 2**224, outputs origin + 400,
# next 288, span 224) with each field in turn made wrong.
BAD_STATES = [
    (0, "2", TypeError, "format"), (0, 2 ** 100, ValueError, "format"), (1, 2 ** 31, ValueError, "seed"),
    (1, "1", TypeError, "seed"),
    (2, "x" * 2496, TypeError, "words"), (2, bytes(2495), ValueError, "words"),
    (2, bytes(2496), ValueError, "all zero"), (2, words_with(0x7FFFFFFF), ValueError, "all zero"),
    (3, 313, ValueError, "next"), (3, True, TypeError, "next"), (3, 287, ValueError, "next"),
    (4, -1, ValueError, "outputs"), (4, 2 ** 320, ValueError, "outputs"), (4, 5.0, TypeError, "outputs"),
    (5, 2 * 2 ** 224 + 401, ValueError, "origin beyond outputs"), (5, "0", TypeError, "origin"),
    (6, 100, ValueError, "span"), (6, 257, ValueError, "span"), (6, None, TypeError, "span"),
    (6, 256, ValueError, "span 256"), (7, 2 ** 32 - 1, ValueError, "spawned"), (7, 1.5, TypeError, "spawned"),
]


@pytest.mark.parametrize("index,value,error,named", BAD_STATES)
def test_bad_states_refused(index, value, error, named):
    e = z.Engine(3).spawn(2)[1]
    stream(e, 400)
    state = e.__getstate__()
    assert state[3:] == (288, 2 * 2 ** 224 + 400, 2 * 2 ** 224, 224, 0)
    target = z.Engine(9)
    before = copy.copy(target)
    with pytest.raises(error, match="Engine state.*" + named):
        target.__setstate__(set_field(state, index, value))
    assert target == before
    target.__setstate__(state)  # the state itself is taken
    assert target == e


def test_state_of_span_96_cannot_have_spawned():
    e = z.Engine(1)
    for _ in range(5):
        e = e.spawn(1)[0]
    with pytest.raises(ValueError, match="span 96 cannot have spawned"):
        z.Engine(1).__setstate__(set_field(e.__getstate__(), 7, 1))


@pytest.mark.parametrize("make", [
    lambda: z.Engine(0), lambda: stepped(-1, 312, 0), lambda: stepped(5, 313, 0), lambda: z.Engine(2).jumped(0),
    lambda: stepped(6, 20, 0).jumped(3), lambda: z.Engine(7).spawn(3)[2].spawn(1)[0],
], ids=["fresh", "a block", "past a block", "jumped 0", "jumped", "spawned twice"])
def test_states_engines_are_in_are_taken(make):
    e = make()
    e.advance(2 ** 200 + 7)
    f = z.Engine(1)
    f.__setstate__(e.__getstate__())
    assert f == e and np.array_equal(stream(f), stream(e))


# ---------------------------------------------------------------------------
# Array parameters.

NAN, INF = float("nan"), float("inf")

# Per function: values of each parameter, invalid and edge values among them.
VALUES = {
    "rnorm": ([0.0, -3.0, NAN, 1e300], [1.0, 0.0, -1.0]),
    "rbern": ([0.3, 0.0, 1.0, 1.5, NAN, 0.9],),
    "rbeta": ([2.0, 0.5, -1.0, INF], [3.0, 1e-3, NAN]),
    "rbinom": ([10, 0, -1, 40], [0.3, 1.0, NAN]),
    "rcauchy": ([0.0, 5.0, NAN], [1.0, -1.0, INF, 2.0]),
    "rchisq": ([3.0, 0.0, -1.0, 0.5, INF, 50.0],),
    "rexp": ([2.0, 0.0, -0.0, NAN, 0.1, INF],),
    "rf": ([5.0, 1e-17, INF, 0.7], [7.0, 2.0, NAN]),
    "rgamma": ([2.5, 0.3, 0.0, -1.0], [1.5, 1e-17, 2.0]),
    "rinvgamma": ([3.0, 0.5, NAN, 2.0], [2.0, 0.0, 1e16]),
    "rlaplace": ([1.0, -2.0, NAN], [2.0, -1.0, 0.0, 0.5]),
    "rlnorm": ([0.5, 0.0, 3.0], [0.75, NAN, 0.0, 2.0]),
    "rlogis": ([1.0, NAN, -4.0], [2.0, INF, 0.5, -1.0]),
    "rpois": ([4.0, 0.0, NAN, 30.0, -1.0, 0.5],),
    "rt": ([5.0, 1e-17, INF, 0.8, NAN, 30.0],),
    "runif": ([-1.0, 2.0, NAN], [3.0, 2.0, 10.0, -5.0]),
    "rweibull": ([1.5, 1e-17, 5.0], [2.0, 1.0, NAN, 0.5]),
}


def grids(values):
    """The parameters as arrays that broadcast: the first down, the second across."""
    if len(values) == 1:
        return (np.reshape(np.array(values[0] * 2, dtype=object), (2, -1)).tolist(),), (2, len(values[0]))
    a, b = values
    return (np.reshape(a, (-1, 1)), np.array(b)), (len(a), len(b))


def scalar_loop(draw, params, shape, seed):
    e = z.Engine(seed)
    full = [np.broadcast_to(np.asarray(p, dtype=object if isinstance(p, list) else None), shape) for p in params]
    values = [draw(*(p[i] for p in full), engine=e) for i in np.ndindex(*shape)]
    return np.reshape(values, shape), e


@pytest.mark.parametrize("name", sorted(VALUES))
def test_array_parameters_equal_the_scalar_loop(name):
    draw = getattr(z, name)
    params, shape = grids(VALUES[name])
    e = z.Engine(-5)
    got = draw(*params, engine=e)
    want, f = scalar_loop(draw, params, shape, -5)
    assert got.shape == shape and got.dtype == np.float64 and got.flags.c_contiguous
    assert np.array_equal(got, want, equal_nan=True) and e == f
    # with size: the parameters repeat over the leading dimension
    got = draw(*params, size=(2,) + shape, engine=e)
    want = np.stack([draw(*params, engine=f), draw(*params, engine=f)])
    assert np.array_equal(got, want, equal_nan=True) and e == f


@pytest.mark.parametrize("n", [255, 257, 4097])
def test_rpois_runs_equal_the_scalar_loop(n):
    # rpois draws a run's uniforms before its quantiles: large distinct rates,
    # invalid ones (no uniform), 0, -0, subnormal and infinite rates, across
    # the runs' edges; one rate for the whole array too
    rng = np.random.RandomState(n)
    rates = np.exp(rng.uniform(np.log(11.0), np.log(3e6), n))
    pick = rng.random_sample(n) < 0.15
    rates[pick] = rng.choice([NAN, -1.0, -INF, 0.0, -0.0, 5e-324, INF, 4.0, 10.999999999999998, 11.0], pick.sum())
    for params, size in [((rates,), {}), ((101.5,), {"size": n}), ((rates[:1],), {"size": n})]:
        e, f = z.Engine(n), z.Engine(n)
        got = z.rpois(*params, engine=e, **size)
        full = np.broadcast_to(params[0], got.shape)
        want = [z.rpois(float(r), engine=f) for r in full]
        assert np.array_equal(got, want, equal_nan=True) and e == f


@pytest.mark.parametrize("params,size,shape", [
    ((np.zeros(0), 1.0), None, (0,)), ((np.zeros(0), np.ones(1)), None, (0,)), ((np.zeros((2, 0)), 1.0), None, (2, 0)),
    ((np.zeros(1), 1.0), (3, 0), (3, 0)), ((np.zeros(1), 1.0), None, (1,)), ((np.zeros((1, 1)), [1.0]), None, (1, 1)),
    ((np.zeros((3, 1)), [1.0, 2.0]), [4, 3, 2], (4, 3, 2)), (([0.0], 1.0), 5, (5,)), ((0.0, [[1.0]]), [1, 1], (1, 1)),
])
def test_array_parameter_shapes(params, size, shape):
    e = z.Engine(8)
    kwargs = {} if size is None else {"size": size}
    got = z.rnorm(*params, engine=e, **kwargs)
    assert isinstance(got, np.ndarray) and got.shape == shape
    f = z.Engine(8)
    z.rnorm(size=got.size, engine=f)
    assert e == f  # one draw per element, none for an empty result


@pytest.mark.parametrize("call,shapes", [
    (lambda: z.rnorm(np.zeros(2), np.ones(3)), ["(2,)", "(3,)"]),
    (lambda: z.rgamma(np.ones((2, 1)), np.ones((3, 4))), ["(2, 1)", "(3, 4)"]),
    (lambda: z.rnorm(np.zeros(2), size=3), ["(2,)", "(3,)"]),
    (lambda: z.rnorm(np.zeros((1, 3)), size=3), ["(1, 3)", "(3,)"]),  # the result would have to grow
    (lambda: z.rexp(np.ones(3), size=[3, 2]), ["(3,)", "(3, 2)"]),
    (lambda: z.rpois(np.ones(2), size=[]), ["(2,)", "()"]),
    (lambda: z.rnorm(np.zeros(0), np.zeros(2)), ["(0,)", "(2,)"]),
])
def test_broadcast_errors_name_both_shapes(call, shapes):
    with pytest.raises(ValueError) as info:
        call()
    assert all(s in str(info.value) for s in shapes)


@pytest.mark.parametrize("call,kind", [
    ("rnorm(np.float64(2.0))", float), ("rnorm(np.array(2.0))", float), ("rnorm(np.int64(2), np.array(1.0))", float),
    ("rbinom(np.int64(3), 0.5)", float), ("rnorm(np.array(2.0), size=3)", (3,)), ("rnorm([2.0])", (1,)),
    ("rnorm(np.array([2.0]), size=[1, 1])", (1, 1)), ("rbinom([3, 4], np.float32(0.5))", (2,)),
    ("rbinom(np.array([3], dtype=np.uint64), 0.5)", (1,)), ("rbinom([True], 0.5)", (1,)),
])
def test_scalars_keep_their_forms(call, kind):
    got = eval("z." + call)
    assert isinstance(got, float) if kind is float else got.shape == kind


@pytest.mark.parametrize("call", [
    "rbinom([10.0], 0.5)", "rbinom(np.array([2**63], dtype=np.uint64), 0.5)", "rbinom([2**64], 0.5)",
    "rnorm(['a'])", "rnorm([1j])", "rnorm([0.0], engine=None)", "rnorm([0.0], size=-1)", "rnorm([0.0], size=[2.0])",
])
def test_array_parameters_refused(call):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        eval("z." + call)


def test_array_parameter_calls_on_one_engine_take_turns():
    e, rates, out = z.Engine(6), np.linspace(0.5, 2.0, 200000), [None, None]

    def work(k):
        out[k] = z.rexp(rates, engine=e)

    workers = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    f = z.Engine(6)
    first, second = z.rexp(rates, engine=f), z.rexp(rates, engine=f)
    assert e == f
    assert {0, 1} == {k for k in (0, 1) if np.array_equal(out[k], first)} | \
        {k for k in (0, 1) if np.array_equal(out[k], second)}
    assert not np.array_equal(out[0], out[1])
