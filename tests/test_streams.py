"""Streams at scale: Engine.advance, jumped and spawn, and draws with array
parameters. Skips are checked against stepping through the same outputs
(one output per runif draw), long ones against their composition."""
import copy
import os
import pickle
import sys

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
