"""Engine, generator, primitive variates and the seventeen draw functions.

Exact expectations come from the C++ standard library's mt19937_64, from a
Python replay of the variates on the generator's raw words (the same platform
log, pow and sqrt through the math module), or from identities between draws
on engines of equal seed. Distributions are checked against scipy.stats."""
import copy
import math
import pickle
import subprocess
import sys

import numpy as np
import pytest
from scipy import stats

import zorvana as z
from conftest import ROOT, build_cpp

MASK64 = (1 << 64) - 1
MT_SOURCES = ["src/random/variates.cpp", "src/random/mt19937_64_jump.cpp", "src/random/mt19937_64_charpoly.cpp",
              "src/random/engine_state.cpp"]
INF, NAN = math.inf, math.nan
LEAST_SUBNORMAL = float(np.nextafter(0.0, 1.0))


@pytest.fixture(scope="module")
def mt_check(tmp_path_factory):
    exe = build_cpp(tmp_path_factory.mktemp("mt"), "mt_check", ["tests/cpp/mt_check.cpp"] + MT_SOURCES)

    def run(*lines):
        out = subprocess.run([exe], input=("\n".join(lines) + "\n").encode(), stdout=subprocess.PIPE, check=True,
                             timeout=300)
        return out.stdout.decode().splitlines()
    return run


def raw_words(mt_check, seed, n):
    return [int(w) for w in mt_check("mt %d %d" % (seed & MASK64, n))[0].split()]


class Replay:
    """The variates written out in Python on a list of raw generator words."""

    def __init__(self, words):
        self.words = iter(words)

    def canonical(self):
        return float(next(self.words)) * 2.0 ** -64  # int -> float rounds to nearest even

    def uniform(self, a, b):
        lo = float(np.nextafter(a, b))
        return self.canonical() * (b - lo) + lo

    def std_normal(self):
        while True:
            u, v = 2.0 * self.canonical() - 1.0, 2.0 * self.canonical() - 1.0
            s = u * u + v * v
            if not (s > 1.0 or s == 0.0):
                return u * math.sqrt((math.log(s) * -2.0) / s) + 0.0

    def gamma(self, k, theta):
        if k <= 1:
            u = self.uniform(0.0, 1.0)
            g = self.gamma(k + 1.0, theta)
            return math.pow(u, INF if k == 0 else 1.0 / k) * g
        d = k - 0.3333333333333333
        c = 0.3333333333333333 / math.sqrt(d)
        while True:
            x = self.std_normal()
            if not x > -1.0 / c:
                continue
            v = math.pow(c * x + 1.0, 3.0)
            u = self.uniform(0.0, 1.0)
            if math.log(u) < (math.log(v) + (1.0 - v)) * d + (x * 0.5) * x:
                return (d * v) * theta


def bits_equal(a, b):
    """Same doubles, zeros by sign; any NaN equals any NaN."""
    a, b = np.asarray(a, dtype=float), np.asarray(b, dtype=float)
    same = (a == b) & (np.signbit(a) == np.signbit(b))
    return a.shape == b.shape and bool(np.all(same | (np.isnan(a) & np.isnan(b))))


def same_state(e, f):
    return bits_equal(z.runif(0.0, 1.0, size=4, engine=e), z.runif(0.0, 1.0, size=4, engine=f))


# ---------------------------------------------------------------------------
# Generator, word conversions and replayed variates.

def test_generator_check_values(mt_check):
    outputs = raw_words(mt_check, 5489, 10000)
    assert (outputs[0], outputs[9999]) == (14514284786278117030, 9981545732273789042)
    assert raw_words(mt_check, 1, 3) == [2469588189546311528, 2516265689700432462, 8323445853463659930]


@pytest.mark.parametrize("seed", [0, 1, 5489, 2 ** 31 - 1, -1, -2, -2 ** 31, -123456789])
def test_generator_equals_standard_library(mt_check, seed):
    ours, ref = mt_check("mt %d 1000" % (seed & MASK64), "std %d 1000" % (seed & MASK64))
    assert ours == ref
    # the engine sign-extends its 32-bit seed
    r = Replay(int(w) for w in ours.split())
    assert list(z.runif(0.0, 1.0, 5, z.Engine(seed))) == [r.uniform(0.0, 1.0) for _ in range(5)]


@pytest.mark.parametrize("k", [0, 1, 311, 312, 313, 1000])
def test_generator_state_continues_the_stream(mt_check, k):
    head, tail = mt_check("state 5489 %d 700" % k)
    nxt, outputs, first_word = (int(t) for t in head.split())
    assert (nxt, outputs) == ((k - 1) % 312 + 1 if k else 312, k)
    assert k or first_word == 5489  # fresh: the seeded words, refill due
    assert [int(w) for w in tail.split()] == raw_words(mt_check, 5489, k + 700)[k:]


def test_rejection_loops_end_on_an_interrupt(mt_check):
    # From words whose outputs are all 0 no attempt is ever accepted; each
    # loop stops at the check that answers yes (the third, then the next).
    assert mt_check("stuck 3") == ["nan nan nan 5"]


@pytest.mark.parametrize("seed,bits,k", [(7, 224, 5), (9, 96, 2 ** 32 - 2), (3, 192, 1), (11, 160, 2 ** 31 + 12345)])
def test_prepared_stride_jumps_equal_advance(mt_check, seed, bits, k):
    assert mt_check("strides %d %d %d" % (seed, bits, k)) == ["same"]


@pytest.mark.parametrize("word", [0, 1, 2 ** 11, 2 ** 63, 2 ** 64 - 1025, 2 ** 64 - 1024, 2 ** 64 - 1])
def test_word_conversions(mt_check, word):
    canonical, unit = (float.fromhex(t) for t in mt_check("word %d" % word)[0].split())
    assert canonical == float(word) * 2.0 ** -64
    assert unit == canonical * (1.0 - LEAST_SUBNORMAL) + LEAST_SUBNORMAL  # uniform on (0, 1), written out
    assert (canonical == 1.0) == (word >= 2 ** 64 - 1024) and unit > 0


def unit_uniform(word):
    return float(word) * 2.0 ** -64 if word else LEAST_SUBNORMAL


def test_trial_word_bound_is_exact(mt_check):
    # "U <= prob" is "word <= last": last is the largest word whose uniform is
    # at most prob, at every boundary of the word-to-double rounding.
    edges = [0.0, -0.0, LEAST_SUBNORMAL, 2 * LEAST_SUBNORMAL, 2.2250738585072014e-308, 2.0 ** -64,
             2.0 ** -63, 2.0 ** -53, 2.0 ** -11, 0.3, 0.5, 2.0 ** -1, 1 - 2.0 ** -53, 1.0]
    edges += list(np.random.RandomState(8).random_sample(200)) + list(2.0 ** -np.arange(1, 70))
    probs = sorted({float(v) for e in edges for v in (np.nextafter(e, -1.0), e, np.nextafter(e, 2.0))
                    if 0.0 <= v <= 1.0} | {-0.0})
    for prob, line in zip(probs, mt_check(*("last " + p.hex() for p in probs))):
        anyword, last = (int(t) for t in line.split())
        if not anyword:
            assert prob < LEAST_SUBNORMAL
            continue
        assert unit_uniform(last) <= prob
        assert last == MASK64 or unit_uniform(last + 1) > prob


def test_polar_value_has_no_negative_zero(mt_check):
    # u = +-1, v = 0 (outputs 2^64 - 1 or 0, then 2^63): s = 1 and sqrt(-0) = -0
    for line in mt_check("polar 1 1", "polar -1 1"):
        assert float.fromhex(line) == 0.0 and math.copysign(1.0, float.fromhex(line)) > 0


def test_replayed_values(mt_check):
    e, r = z.Engine(77), Replay(raw_words(mt_check, 77, 20000))
    for _ in range(20):
        assert z.runif(-2.0, 5.0, engine=e) == r.uniform(-2.0, 5.0)
        assert z.rnorm(1.5, 2.0, engine=e) == r.std_normal() * 2.0 + 1.5
        assert z.rgamma(2.5, 1.5, engine=e) == r.gamma(2.5, 1.5)
        assert z.rgamma(0.3, 2.0, engine=e) == r.gamma(0.3, 2.0)
        x1, x2 = r.gamma(2.5, 2.0), r.gamma(3.5, 2.0)
        assert z.rf(5.0, 7.0, engine=e) == ((7.0 / 5.0) * x1) / x2
        x, v = r.std_normal(), r.gamma(1.5, 2.0)
        assert z.rt(3.0, engine=e) == x / math.sqrt(v / 3.0)


def _ratio(x, y):
    return math.copysign(INF, x) if y == 0.0 and x != 0.0 else x / y


# Shapes at the ends of each branch of the gamma variate, and the composite
# draws built on it; each row gives the draw's own formula on the replay.
BOUNDARY_REPLAYS = [
    ("rgamma", (1e-17, 1.5), lambda r: r.gamma(1e-17, 1.5)),  # 1 + k rounds to 1: U, U, then shape 2
    ("rgamma", (2.0 ** -53, 1.0), lambda r: r.gamma(2.0 ** -53, 1.0)),
    ("rgamma", (1.0000000000000002, 1.0), lambda r: r.gamma(1.0000000000000002, 1.0)),  # z <= -1/c retries
    ("rgamma", (1e300, 1.0), lambda r: r.gamma(1e300, 1.0)),
    ("rchisq", (2.0,), lambda r: r.gamma(2.0 * 0.5, 2.0)),
    ("rinvgamma", (0.5, 3.0), lambda r: 1.0 / r.gamma(0.5, 1.0 / 3.0)),
    ("rbeta", (0.3, 1e-17), lambda r: (lambda x, y: x / (y + x))(r.gamma(0.3, 1.0), r.gamma(1e-17, 1.0))),
    ("rt", (2.0 ** -52,), lambda r: (lambda x, v: _ratio(x, math.sqrt(v / 2.0 ** -52)))(
        r.std_normal(), r.gamma(0.5 * 2.0 ** -52, 2.0))),
    ("rf", (0.7, 2.0 ** -52), lambda r: (lambda x1, x2: _ratio((2.0 ** -52 / 0.7) * x1, x2))(
        r.gamma(0.5 * 0.7, 2.0), r.gamma(0.5 * 2.0 ** -52, 2.0))),
]


@pytest.mark.parametrize("name,params,replay", BOUNDARY_REPLAYS, ids=[b[0] + repr(b[1]) for b in BOUNDARY_REPLAYS])
def test_boundary_shapes_replay_exactly(mt_check, name, params, replay):
    e, r = z.Engine(-7), Replay(raw_words(mt_check, -7, 4000))
    want = [replay(r) for _ in range(40)]
    assert bits_equal(getattr(z, name)(*params, size=40, engine=e), want)
    assert unit(e) == r.uniform(0.0, 1.0)  # and exactly as many outputs consumed


# ---------------------------------------------------------------------------
# Engine, default engine and overloads.

def run_fresh(code):
    out = subprocess.run([sys.executable, "-c", "import zorvana as z\n" + code], cwd=ROOT, stdout=subprocess.PIPE,
                         check=True, timeout=60)
    return out.stdout.decode().split()


def test_fresh_process_first_uniform():
    assert run_fresh("print(repr(z.runif(0, 1)))") == ["0.13387664401253274"]


def test_default_engine_is_one_stream_and_engine_none_declines():
    # The process has not imported NumPy before its first array call.
    code = """
for call in (lambda: z.rnorm(0.0, 1.0, engine=None), lambda: z.rnorm(0.0, 1.0, size=3, engine=None),
             lambda: z.rgamma(2.0, 1.0, [2], None)):
    try:
        call()
        print("accepted")
    except TypeError:
        pass
got = [z.runif(0, 1), z.rnorm(), *z.rgamma(2.5, 1.0, size=2), *z.rnorm(1.0, 2.0, size=[1, 2]).ravel()]
e = z.Engine(1)
ref = [z.runif(0, 1, e), z.rnorm(engine=e), *z.rgamma(2.5, 1.0, 2, e), *z.rnorm(1.0, 2.0, [1, 2], e).ravel()]
print(got == ref)
"""
    assert run_fresh(code) == ["True"]


@pytest.mark.parametrize("call", [
    "Engine(-2**31 - 1)", "Engine(1.5)", "Engine(seed=1)", "Engine(arg0=1)", "Engine('7')", "Engine([1.0])",
    "rnorm(0.0, 1.0, size=-1)", "rnorm(0.0, 1.0, size=2.0)", "rnorm(0.0, 1.0, size='3')",
    "rnorm(0.0, 1.0, size=[2, -3])", "rnorm(0.0, 1.0, size=[2.0])", "rbinom(10.0, 0.5)",
    "rnorm(0.0, 1.0, engine=None)", "rnorm(0.0, 1.0, size=3, engine=None)", "rnorm(0.0, 1.0, [3], None)",
    "rexp(1.0, engine=3.0)", "rexp(rate=1.0, scale=2.0)", "rgamma()", "rnorm(dtype=int)",
])
def test_unmatched_calls_raise_type_error(call):
    with pytest.raises(TypeError):
        eval("z." + call)


def test_overload_choice():
    e, f = z.Engine(11), z.Engine(11)
    assert isinstance(z.rnorm(), float) and isinstance(z.Engine(-2 ** 31), z.Engine)
    assert z.Engine(np.array(7)) == z.Engine(np.int32(7)) == z.Engine(7)  # index-convertible seeds as before
    assert z.rnorm(5, engine=e) == z.rnorm(5.0, 1.0, engine=f)  # scalar form, mu = 5
    assert z.rnorm(0.0, 1.0, e) == z.rnorm(0.0, 1.0, engine=f)
    assert bits_equal(z.rnorm(0.0, 1.0, 3, e), z.rnorm(0.0, 1.0, size=3, engine=f))
    assert same_state(e, f)
    shapes = [z.rnorm(size=5), z.rexp(1.0, 10), z.rnorm(0, 1, 5), z.rnorm(0.0, 1.0, [2, 3]), z.rnorm(size=(2, 3)),
              z.rnorm(size=range(1, 3)), z.rbinom(10, 0.5, 3), z.rnorm(size=[])]
    assert [a.shape for a in shapes] == [(5,), (10,), (5,), (2, 3), (2, 3), (1, 2), (3,), ()]
    assert all(a.dtype == np.float64 and a.flags.c_contiguous and a.flags.owndata for a in shapes)
    assert np.isfinite(shapes[-1])  # the zero-dimensional array holds one draw


@pytest.mark.parametrize("size", [0, [0], [2, 0, 3]])
@pytest.mark.parametrize("sigma", [1.0, -1.0])
def test_empty_arrays_draw_and_test_nothing(size, sigma):
    e, f = z.Engine(4), z.Engine(4)
    assert z.rnorm(0.0, sigma, size=size, engine=e).shape == np.zeros(size).shape
    with pytest.raises((ValueError, MemoryError)):  # a dimension the array library refuses
        z.rnorm(0.0, sigma, size=[2 ** 62], engine=e)
    assert same_state(e, f)


# ---------------------------------------------------------------------------
# Seeds wider than 32 bits and from the operating system: init_by_array64.

# The published outputs of init_by_array64 with this key, by index.
ARRAY_KEY = [0x12345, 0x23456, 0x34567, 0x45678]
ARRAY_OUTPUTS = {
    0: 7266447313870364031, 1: 4946485549665804864, 2: 16945909448695747420, 3: 16394063075524226720,
    4: 4873882236456199058, 5: 14877448043947020171, 6: 6740343660852211943, 7: 13857871200353263164,
    8: 5249110015610582907, 9: 10205081126064480383, 995: 10197035660403006684, 996: 13004818533162292132,
    1010: 14907209235746902445, 1011: 15452338815569321965, 1012: 17045090235069538607,
    1013: 15507333859934612093, 1014: 157175897107904252,
}


def array_words(mt_check, key, n):
    return [int(w) for w in mt_check("array %d %s" % (n, " ".join(map(str, key))))[0].split()]


def test_array_seeding_gives_the_published_outputs(mt_check):
    words = array_words(mt_check, ARRAY_KEY, 1015)
    assert {k: words[k] for k in ARRAY_OUTPUTS} == ARRAY_OUTPUTS


@pytest.mark.parametrize("seed, key", [
    (ARRAY_KEY, ARRAY_KEY), (2 ** 31, [2 ** 31]), (2 ** 64 + 5, [5, 1]), (range(1, 4), [1, 2, 3]),
    (np.array([3, 2 ** 64 - 1], dtype=np.uint64), [3, 2 ** 64 - 1]), ((np.int64(9),), [9]), (np.array([9]), [9]),
])
def test_wide_seeds_key_the_array_seeding(mt_check, seed, key):
    r = Replay(array_words(mt_check, key, 5))
    assert list(z.runif(0.0, 1.0, 5, z.Engine(seed))) == [r.uniform(0.0, 1.0) for _ in range(5)]


SEEDS = [0, -2 ** 31, 2 ** 31 - 1, 2 ** 31, 2 ** 127 + 1, [1, 2, 3], (2 ** 64 - 1,), "sequence", None]


@pytest.mark.parametrize("seed", SEEDS)
def test_seed_is_kept_shown_and_pickled(seed):
    sequence = np.random.SeedSequence(2024)
    e = z.Engine(sequence if seed == "sequence" else seed)
    if seed == "sequence":
        expected = tuple(int(w) for w in sequence.generate_state(4, np.uint64))
    else:
        expected = e.seed if seed is None else tuple(seed) if isinstance(seed, (list, tuple)) else seed
    assert e.seed == expected and type(e.seed) is type(expected)
    if seed is None:
        assert 2 ** 31 <= e.seed < 2 ** 128 and z.Engine().seed != e.seed
    assert z.Engine(e.seed) == e and repr(e) == "<zorvana.Engine seed=%r outputs=0>" % (expected,)
    z.rnorm(size=400, engine=e)
    small = isinstance(expected, int) and expected < 2 ** 31
    assert e.__getstate__()[0] == (2 if small else 3)
    for copier in (lambda e: pickle.loads(pickle.dumps(e)), copy.deepcopy):
        c = copier(e)
        assert c == e and c.seed == e.seed and same_state(c, e)


@pytest.mark.parametrize("seed, error", [
    (-2 ** 31 - 1, TypeError), (1.5, TypeError), (b"7", TypeError), ({1: 2}, TypeError), ([1, 2.0], TypeError),
    ([], ValueError), ([-1], ValueError), ([2 ** 64], ValueError),
])
def test_bad_seeds(seed, error):
    with pytest.raises(error, match="Engine"):
        z.Engine(seed)


def test_pickled_seed_matches_its_format():
    state = z.Engine(2 ** 40).__getstate__()
    with pytest.raises(ValueError):
        z.Engine(1).__setstate__((2,) + state[1:])


# ---------------------------------------------------------------------------
# R's defaults, and counts as integers.

@pytest.mark.parametrize("fam, required, defaults", [
    ("exp", (), (1.0,)), ("unif", (), (0.0, 1.0)), ("gamma", (2.5,), (1.0,)), ("invgamma", (2.5,), (1.0,)),
    ("weibull", (2.5,), (1.0,)), ("lnorm", (), (0.0, 1.0)), ("logis", (), (0.0, 1.0)),
    ("cauchy", (), (0.0, 1.0)), ("laplace", (), (0.0, 1.0)),
])
def test_r_defaults(fam, required, defaults):
    for prefix, first in (("d", 0.7), ("p", 0.7), ("q", 0.3)):
        f = getattr(z, prefix + fam)
        for at in (first, np.array([first, 2 * first])):
            assert bits_equal(f(at, *required), f(at, *required, *defaults))
    r = getattr(z, "r" + fam)
    assert r(*required, engine=z.Engine(3)) == r(*required, *defaults, engine=z.Engine(3))
    assert bits_equal(r(*required, size=[2, 3], engine=z.Engine(3)),
                      r(*required, *defaults, size=[2, 3], engine=z.Engine(3)))


COUNT_DRAWS = [("rbinom", (10, 0.3), [{}, {"size": 7}, {"size": [2, 3]}]), ("rpois", (40.0,), [{}, {"size": 5}]),
               ("rbern", (0.3,), [{}, {"size": [4]}]), ("rbinom", ([5, 50], 0.5), [{}, {"size": [3, 2]}])]


@pytest.mark.parametrize("dtype", [int, np.int64, "int64", float, np.float64, None])
@pytest.mark.parametrize("fn, args, sizes", COUNT_DRAWS)
def test_counts_as_integers(fn, args, sizes, dtype):
    f = getattr(z, fn)
    e, g = z.Engine(5), z.Engine(5)
    integers = dtype not in (float, np.float64, None)
    for kwargs in sizes:
        a, b = f(*args, engine=e, **kwargs), f(*args, engine=g, dtype=dtype, **kwargs)
        assert np.array_equal(a, b)
        if isinstance(a, float):
            assert type(b) is (int if integers else float)
        else:
            assert b.dtype == (np.int64 if integers else np.float64) and b.shape == a.shape
    assert e == g
    assert np.asarray(f(*args, dtype=dtype)).dtype == (np.int64 if integers else np.float64)  # default engine


@pytest.mark.parametrize("call, error", [
    ("rbinom(10, 0.5, dtype=np.int32)", ValueError), ("rpois(3.0, dtype=bool)", ValueError),
    ("rbern(0.5, dtype='bogus')", TypeError), ("rbinom(10, 1.5, size=2, dtype=int)", ValueError),
    ("rpois(1e300, dtype=int)", ValueError), ("rbinom([10, -1], 0.5, dtype=int)", ValueError),
])
def test_integer_counts_refused(call, error):
    with pytest.raises(error, match=call[:call.index("(")]):
        eval("z." + call)


# ---------------------------------------------------------------------------
# Array forms, parameter tests and consumption, for every distribution.

TYPICAL = {
    "rnorm": (1.5, 2.0), "rbern": (0.3,), "rbeta": (2.0, 3.0), "rbinom": (10, 0.3), "rcauchy": (1.0, 2.0),
    "rchisq": (3.0,), "rexp": (2.0,), "rf": (5.0, 7.0), "rgamma": (2.5, 1.5), "rinvgamma": (3.0, 2.0),
    "rlaplace": (1.0, 2.0), "rlnorm": (0.5, 0.75), "rlogis": (1.0, 2.0), "rpois": (4.0,), "rt": (5.0,),
    "runif": (-1.0, 3.0), "rweibull": (1.5, 2.0),
}


@pytest.mark.parametrize("name", sorted(TYPICAL))
def test_array_forms_equal_successive_scalar_draws(name):
    draw, params = getattr(z, name), TYPICAL[name]
    e, f = z.Engine(2024), z.Engine(2024)
    grid, line = draw(*params, size=[2, 3], engine=e), draw(*params, 4, e)
    scalars = [draw(*params, engine=f) for _ in range(10)]
    assert bits_equal(grid, np.reshape(scalars[:6], (2, 3))) and bits_equal(line, scalars[6:])
    assert same_state(e, f)


@pytest.mark.parametrize("name,params", [
    ("rnorm", (0.0, -1.0)), ("rnorm", (NAN, 1.0)), ("rlnorm", (0.0, NAN)), ("runif", (2.0, 2.0)),
    ("runif", (3.0, 1.0)), ("runif", (NAN, 1.0)), ("rexp", (-1.0,)), ("rexp", (NAN,)), ("rlaplace", (0.0, -1.0)),
    ("rlogis", (NAN, 1.0)), ("rcauchy", (0.0, NAN)), ("rweibull", (1e-17, 1.0)), ("rweibull", (1.0, 1e-17)),
    ("rpois", (NAN,)), ("rbern", (1.5,)), ("rbern", (-0.1,)), ("rbern", (NAN,)), ("rbern", (INF,)),
    ("rbinom", (-1, 0.3)), ("rbinom", (5, NAN)), ("rgamma", (2.0, 1e-17)), ("rgamma", (-1.0, 1.0)),
    ("rgamma", (NAN, 1.0)), ("rgamma", (2.0, -0.0)), ("rchisq", (-1.0,)), ("rinvgamma", (1.0, -1.0)),
    ("rinvgamma", (NAN, 1.0)), ("rbeta", (-1.0, 1.0)), ("rbeta", (1.0, NAN)), ("rt", (1e-17,)), ("rt", (NAN,)),
    ("rf", (1e-17, 1.0)), ("rf", (1.0, 0.0)),
    # pass the draw's test, but the gamma's scale 1/scale is below 2^-52: NaN before drawing
    ("rinvgamma", (2.0, 1e16)), ("rinvgamma", (2.0, INF)),
])
def test_invalid_parameters_give_nan_without_drawing(name, params):
    draw, e, f = getattr(z, name), z.Engine(9), z.Engine(9)
    assert math.isnan(draw(*params, engine=e)) and np.isnan(draw(*params, size=[2, 2], engine=e)).all()
    assert same_state(e, f)


def unit(f):
    return z.runif(0.0, 1.0, engine=f)


# (draw on e, the same value built from other draws on f): equal values, equal end states.
CONSUMPTION = {
    "rt": (lambda e: z.rt(5.0, engine=e),
           lambda f: z.rnorm(0.0, 1.0, engine=f) / math.sqrt(z.rchisq(5.0, engine=f) / 5.0)),
    "rf": (lambda e: z.rf(3.0, 8.0, engine=e),
           lambda f: ((8.0 / 3.0) * z.rchisq(3.0, engine=f)) / z.rchisq(8.0, engine=f)),
    "rbeta": (lambda e: z.rbeta(2.0, 0.5, engine=e),
              lambda f: (lambda x, y: x / (y + x))(z.rgamma(2.0, 1.0, engine=f), z.rgamma(0.5, 1.0, engine=f))),
    "rinvgamma": (lambda e: z.rinvgamma(3.0, 4.0, engine=e), lambda f: 1.0 / z.rgamma(3.0, 0.25, engine=f)),
    "rchisq": (lambda e: z.rchisq(1.5, engine=e), lambda f: z.rgamma(0.75, 2.0, engine=f)),
    # shape 1: one uniform, then a shape-2 gamma; U^(1/1) = U
    "rgamma shape 1": (lambda e: z.rgamma(1.0, 3.0, engine=e), lambda f: unit(f) * z.rgamma(2.0, 3.0, engine=f)),
    # shape 0: uniforms for shapes 0 and 1, then a shape-2 gamma; U^inf = 0
    "rgamma shape 0": (lambda e: z.rgamma(0.0, 3.0, engine=e),
                       lambda f: 0.0 * unit(f) * unit(f) * z.rgamma(2.0, 3.0, engine=f)),
    "rnorm sigma 0": (lambda e: z.rnorm(1.5, 0.0, engine=e), lambda f: 1.5 + 0.0 * z.rnorm(engine=f)),
    "rbern 0": (lambda e: z.rbern(0.0, engine=e), lambda f: 0.0 * unit(f)),
    "rbern 1": (lambda e: z.rbern(1.0, engine=e), lambda f: 1.0 + 0.0 * unit(f)),
    "rbern": (lambda e: z.rbern(0.4, engine=e), lambda f: float(unit(f) <= 0.4)),
    "rbinom": (lambda e: z.rbinom(5, 0.3, engine=e), lambda f: float(sum(z.runif(0.0, 1.0, 5, f) <= 0.3))),
    "rbinom 0": (lambda e: z.rbinom(0, 0.3, engine=e), lambda f: 0.0),
    "rbinom prob 0": (lambda e: z.rbinom(700, 0.0, engine=e), lambda f: 0.0 * unit(f) * sum(z.runif(0, 1, 699, f))),
    "rbinom prob 1": (lambda e: z.rbinom(700, 1.0, engine=e), lambda f: 700.0 + 0.0 * sum(z.runif(0, 1, 700, f))),
    "rbinom subnormal": (lambda e: z.rbinom(400, 1e-320, engine=e),
                         lambda f: float(sum(z.runif(0.0, 1.0, 400, f) <= 1e-320))),
    "rlnorm sigma 0": (lambda e: z.rlnorm(0.5, 0.0, engine=e),
                       lambda f: 0.0 * z.rnorm(engine=f) + z.rlnorm(0.5, 0.0, engine=z.Engine(1))),
    # inverse transform: the quantile at one unit uniform
    "rexp": (lambda e: z.rexp(2.0, engine=e), lambda f: z.qexp(unit(f), 2.0)),
    "rlaplace": (lambda e: z.rlaplace(1.0, 2.0, engine=e), lambda f: z.qlaplace(unit(f), 1.0, 2.0)),
    "rlogis": (lambda e: z.rlogis(1.0, 2.0, engine=e), lambda f: z.qlogis(unit(f), 1.0, 2.0)),
    "rcauchy": (lambda e: z.rcauchy(1.0, 2.0, engine=e), lambda f: z.qcauchy(unit(f), 1.0, 2.0)),
    "rweibull": (lambda e: z.rweibull(1.5, 2.0, engine=e), lambda f: z.qweibull(unit(f), 1.5, 2.0)),
    "rpois": (lambda e: z.rpois(4.0, engine=e), lambda f: z.qpois(unit(f), 4.0)),
    "rpois inf": (lambda e: z.rpois(INF, engine=e), lambda f: z.qpois(unit(f), INF)),
    # sigma = +inf passes the draw's test; the quantile gives NaN after one output
    "rlogis sigma inf": (lambda e: z.rlogis(0.0, INF, engine=e), lambda f: NAN + unit(f)),
    "rcauchy sigma inf": (lambda e: z.rcauchy(0.0, INF, engine=e), lambda f: NAN + unit(f)),
}


@pytest.mark.parametrize("case", sorted(CONSUMPTION))
def test_consumption_and_order_of_draws(case):
    on_e, on_f = CONSUMPTION[case]
    e, f = z.Engine(12), z.Engine(12)
    got = [on_e(e) for _ in range(30)]
    assert bits_equal(got, [on_f(f) for _ in range(30)])
    assert same_state(e, f)


def test_runif_never_returns_lower_end():
    b = float(np.nextafter(1.0, 2.0))
    assert (z.runif(1.0, b, size=50) == b).all()


def test_rlnorm_exponentiates_the_normal_draw():
    e, f = z.Engine(15), z.Engine(15)
    want = np.exp(z.rnorm(0.5, 0.75, size=200, engine=f))
    np.testing.assert_allclose(z.rlnorm(0.5, 0.75, size=200, engine=e), want, rtol=1e-14)


# ---------------------------------------------------------------------------
# Negative zero, zero scale and infinite shapes.

@pytest.mark.parametrize("name,params", [
    ("rgamma", (0.0, 1.0)), ("rchisq", (0.0,)), ("rinvgamma", (2.0, 0.0)), ("rinvgamma", (0.0, 1.0)),
    ("rbeta", (0.0, 2.0)), ("rbeta", (2.0, 0.0)), ("rnorm", (0.0, 0.0)), ("rnorm", (-0.0, 0.0)),
    ("rlnorm", (0.0, 0.0)), ("rexp", (0.0,)), ("rpois", (0.0,)), ("rbern", (0.0,)), ("rbinom", (3, 0.0)),
    ("runif", (0.0, 1.0)), ("runif", (-1.0, 0.0)), ("rlaplace", (0.0, 0.0)), ("rlogis", (0.0, 0.0)),
    ("rcauchy", (0.0, 0.0)),
])
def test_negative_zero_parameter_draws_as_positive_zero(name, params):
    draw, e, f = getattr(z, name), z.Engine(16), z.Engine(16)
    location = name in ("rnorm", "rlnorm", "rlaplace", "rlogis", "rcauchy")
    for k in range(len(params)):
        if params[k] == 0.0 and not (location and k == 0):  # a location of -0 may keep its sign
            neg = params[:k] + (-0.0,) + params[k + 1:]
            assert bits_equal(draw(*neg, size=300, engine=e), draw(*params, size=300, engine=f))
    assert same_state(e, f)


def test_negative_zero_shape_or_scale_gives_zero_draws():
    # 1 / -0 = -inf would make these +inf or NaN
    for draws in (z.rgamma(-0.0, 1.0, size=300), z.rchisq(-0.0, size=300), z.rinvgamma(2.0, -0.0, size=300)):
        assert (draws == 0.0).all()


@pytest.mark.parametrize("scale", [0.0, 1e-310])
@pytest.mark.parametrize("shape", [0.0, 0.01, 0.5, 2.0, INF])
def test_rinvgamma_zero_scale_is_point_mass_at_zero(shape, scale):
    # the gamma of scale +inf behind it (1 / scale overflows for a subnormal
    # scale too) may be 0 * inf = NaN; the draw is 0 all the same, after the
    # same outputs
    e, f, n = z.Engine(17), z.Engine(17), 10000
    assert (z.rinvgamma(shape, scale, size=n, engine=e) == 0.0).all()
    z.rgamma(shape, INF, size=n, engine=f)
    assert same_state(e, f)


def test_infinite_shapes_return_limits():
    e, f = z.Engine(18), z.Engine(18)
    # no output for an infinite shape itself
    assert [z.rgamma(INF, 2.0, engine=e), z.rchisq(INF, engine=e), z.rinvgamma(INF, 2.0, engine=e),
            z.rf(INF, INF, engine=e), z.rbeta(INF, INF, engine=e)] == [INF, INF, 0.0, 1.0, 0.5]
    assert same_state(e, f)
    for _ in range(20):
        assert z.rt(INF, engine=e) == z.rnorm(0.0, 1.0, engine=f)
        assert z.rf(INF, 6.0, engine=e) == 6.0 / z.rchisq(6.0, engine=f)
        assert z.rf(4.0, INF, engine=e) == z.rchisq(4.0, engine=f) / 4.0
        assert z.rbeta(INF, 2.0, engine=e) == 1.0 + 0.0 * z.rgamma(2.0, 1.0, engine=f)
        assert z.rbeta(3.0, INF, engine=e) == 0.0 * z.rgamma(3.0, 1.0, engine=f)
    assert same_state(e, f)


# ---------------------------------------------------------------------------
# Goodness of fit against scipy.stats (fixed seed).

N_FIT = 20000


@pytest.mark.parametrize("name,params,ref", [
    ("rnorm", (1.5, 2.0), stats.norm(1.5, 2.0)), ("runif", (-1.0, 3.0), stats.uniform(-1.0, 4.0)),
    ("rgamma", (2.5, 1.5), stats.gamma(2.5, scale=1.5)), ("rgamma", (0.4, 2.0), stats.gamma(0.4, scale=2.0)),
    ("rchisq", (3.0,), stats.chi2(3.0)), ("rinvgamma", (3.0, 2.0), stats.invgamma(3.0, scale=2.0)),
    ("rbeta", (2.0, 3.0), stats.beta(2.0, 3.0)), ("rbeta", (0.5, 0.7), stats.beta(0.5, 0.7)),
    ("rt", (5.0,), stats.t(5.0)), ("rt", (0.8,), stats.t(0.8)), ("rf", (5.0, 7.0), stats.f(5.0, 7.0)),
    ("rlnorm", (0.5, 0.75), stats.lognorm(0.75, scale=math.exp(0.5))), ("rexp", (2.0,), stats.expon(scale=0.5)),
    ("rlaplace", (1.0, 2.0), stats.laplace(1.0, 2.0)), ("rlogis", (1.0, 2.0), stats.logistic(1.0, 2.0)),
    ("rcauchy", (1.0, 2.0), stats.cauchy(1.0, 2.0)), ("rweibull", (1.5, 2.0), stats.weibull_min(1.5, scale=2.0)),
])
def test_continuous_draws_fit(name, params, ref):
    x = getattr(z, name)(*params, size=N_FIT, engine=z.Engine(31337))
    assert stats.kstest(x, ref.cdf).pvalue > 1e-3


@pytest.mark.parametrize("name,params,ref", [
    ("rbern", (0.3,), stats.bernoulli(0.3)), ("rbinom", (10, 0.3), stats.binom(10, 0.3)),
    ("rpois", (4.0,), stats.poisson(4.0)), ("rpois", (30.0,), stats.poisson(30.0)),
])
def test_discrete_draws_fit(name, params, ref):
    x = getattr(z, name)(*params, size=N_FIT, engine=z.Engine(31337)).astype(np.int64)
    lo, top = int(ref.ppf(0.001)), int(ref.ppf(0.999))
    observed = np.bincount(np.clip(x, lo, top) - lo, minlength=top - lo + 1)
    expected = np.concatenate(([ref.cdf(lo)], ref.pmf(np.arange(lo + 1, top)), [ref.sf(top - 1)])) * N_FIT
    assert stats.chisquare(observed, expected).pvalue > 1e-3
