"""The lower_tail keyword of the p- and q-functions: the default replays the
call without it bit for bit (arrays and scalars, constant and varying
parameters), an array of flags picks each element's tail as the scalar calls
do, a flag that cannot be converted is refused as a bad log_p is, and the
upper tails keep the identities they share with the lower ones."""
import math

import numpy as np
import pytest

import zorvana as zv
from test_calling import same_bits
from test_module import FAMILIES

NAN, INF = math.nan, math.inf
COUNT_X = {"bern", "binom", "pois"}
FUNCTIONS = [prefix + fam for prefix in "pq" for fam in FAMILIES]

# Per family: parameters held constant, and a maker of per-element ones
# (mostly valid, with invalid and special values among them).
SPECIAL_PARAMS = [NAN, -1.0, 0.0, -0.0, INF, 5e-324, 1e-300]


def spread(rng, n, lo, hi):
    """Positive values log-uniform over [lo, hi], one in 17 special."""
    v = 10.0 ** rng.uniform(math.log10(lo), math.log10(hi), n)
    v[::17] = np.resize(SPECIAL_PARAMS, len(v[::17]))
    return v


def location(rng, n):
    v = rng.uniform(-20, 20, n)
    v[::19] = np.resize([NAN, INF, -INF, -0.0], len(v[::19]))
    return v


PARAMS = {
    "norm": ((0.3, 1.5), lambda r, n: (location(r, n), spread(r, n, 1e-3, 1e3))),
    "bern": ((0.3,), lambda r, n: (r.uniform(-0.1, 1.1, n),)),
    "beta": ((2.0, 3.0), lambda r, n: (spread(r, n, 0.1, 1e3), spread(r, n, 0.1, 1e3))),
    "binom": ((12, 0.4), lambda r, n: (r.integers(-1, 300, n), r.uniform(-0.1, 1.1, n))),
    "cauchy": ((0.5, 2.0), lambda r, n: (location(r, n), spread(r, n, 1e-3, 1e3))),
    "chisq": ((3.0,), lambda r, n: (spread(r, n, 0.5, 1e5),)),
    "exp": ((1.5,), lambda r, n: (spread(r, n, 1e-3, 1e3),)),
    "f": ((4.0, 6.0), lambda r, n: (spread(r, n, 0.5, 1e4), spread(r, n, 0.5, 1e4))),
    "gamma": ((2.5, 1.5), lambda r, n: (spread(r, n, 0.1, 1e5), spread(r, n, 1e-3, 1e3))),
    "invgamma": ((3.0, 2.0), lambda r, n: (spread(r, n, 0.1, 1e5), spread(r, n, 1e-3, 1e3))),
    "laplace": ((0.5, 2.0), lambda r, n: (location(r, n), spread(r, n, 1e-3, 1e3))),
    "lnorm": ((0.1, 0.8), lambda r, n: (location(r, n), spread(r, n, 1e-3, 1e2))),
    "logis": ((0.5, 2.0), lambda r, n: (location(r, n), spread(r, n, 1e-3, 1e3))),
    "pois": ((3.5,), lambda r, n: (spread(r, n, 1e-3, 1e5),)),
    "t": ((4.0,), lambda r, n: (spread(r, n, 0.5, 1e6),)),
    "unif": ((-1.0, 3.0), lambda r, n: (location(r, n), location(r, n) + spread(r, n, 1e-3, 1e3))),
    "weibull": ((1.5, 2.0), lambda r, n: (spread(r, n, 0.1, 1e2), spread(r, n, 1e-3, 1e3))),
}
# The families whose functions cost time linear in their counts get fewer elements.
SLOW = {"pbinom", "qbinom", "qbeta", "qf", "qt", "qpois", "qgamma", "qinvgamma", "qchisq"}

X_SPECIALS = [NAN, INF, -INF, 0.0, -0.0, 5e-324, 1e-310, 2.0 ** -52, 1.0, 1.7976931348623157e308]
P_SPECIALS = [NAN, 0.0, -0.0, 1.0, 5e-324, 1e-310, 1e-300, 2.0 ** -53, 1 - 2.0 ** -53, 0.5, -0.5, 1.5, INF]


def first_argument(fn, rng, n):
    """x (or p) of every kind: typical, wide, tiny and huge, subnormal, special."""
    fam = fn[1:]
    if fn[0] == "q":
        v = rng.uniform(0, 1, n)
        v[::3] = 10.0 ** -rng.uniform(0, 300, len(v[::3]))
        v[::11] = np.resize(P_SPECIALS, len(v[::11]))
        return v
    if fam in COUNT_X:
        v = rng.integers(-3, 400 if fam != "pois" else 3000, n)
        v[::23] = np.resize([-2 ** 63, 2 ** 63 - 1, 0], len(v[::23]))
        if fam == "binom":
            v[::23] = -1
        return v
    v = rng.uniform(-5, 5, n)
    v[::5] = rng.uniform(-1000, 1000, len(v[::5]))
    v[::7] = 10.0 ** rng.uniform(-300, 300, len(v[::7])) * rng.choice([-1, 1], len(v[::7]))
    v[::13] = np.resize(X_SPECIALS, len(v[::13]))
    return v


def arguments(fn, n, varying, seed=1):
    rng = np.random.default_rng(seed)
    constant, make = PARAMS[fn[1:]]
    with np.errstate(all="ignore"):
        params = list(make(rng, n)) if varying else list(constant)
    args = [first_argument(fn, rng, n)] + params
    if fn[0] == "p":
        args.append(rng.integers(0, 2, n).astype(bool) if varying else False)
    return args


def size(fn):
    return 3000 if fn in SLOW else 30000


@pytest.mark.parametrize("varying", [False, True], ids=["constant", "varying"])
@pytest.mark.parametrize("fn", FUNCTIONS)
def test_default_replays_the_call_without_the_keyword(fn, varying):
    f = getattr(zv, fn)
    args = arguments(fn, size(fn), varying)
    with np.errstate(all="ignore"):
        want = f(*args)
        assert same_bits(f(*args, lower_tail=True), want)
        assert same_bits(f(*args, True), want)  # by position
        # a flag column that varies in memory but is true throughout
        assert same_bits(f(*args, lower_tail=np.ones(len(args[0]), dtype=bool)), want)
        # a log flag given per element on the constant side too
        if fn[0] == "p" and not varying:
            flags = np.arange(len(args[0])) % 3 == 0
            mixed = f(*args[:-1], flags, lower_tail=True)
            assert same_bits(mixed[flags], f(*args[:-1], True)[flags])
    # all-scalar calls, through the fast entry and the general one
    rng = np.random.default_rng(2)
    for i in rng.integers(0, len(args[0]), 150):
        scalars = [a[i].item() if isinstance(a, np.ndarray) else a for a in args]
        got = f(*scalars, lower_tail=True)
        assert type(got) is float and same_bits(got, want[i])
        assert same_bits(f(*scalars, np.True_), want[i])
        assert same_bits(f(*scalars), want[i])


@pytest.mark.parametrize("fn", FUNCTIONS)
def test_flag_array_picks_each_elements_tail(fn):
    f = getattr(zv, fn)
    n = 400
    args = arguments(fn, n, varying=True, seed=3)
    rng = np.random.default_rng(4)
    # stretches of equal flags and single flags; broadcast against a second axis
    tail = np.repeat(rng.integers(0, 2, n // 8).astype(bool), 8)
    tail[::5] = ~tail[::5]
    with np.errstate(all="ignore"):
        out = f(*args, lower_tail=tail)
        wide = f(*[a[:, None] if isinstance(a, np.ndarray) else a for a in args], lower_tail=np.array([True, False]))
        assert same_bits(out[tail], f(*args)[tail])
        assert same_bits(out[~tail], f(*args, lower_tail=False)[~tail])
        assert same_bits(wide[:, 0], f(*args)) and same_bits(wide[:, 1], f(*args, lower_tail=False))
    for i in range(0, n, 7):
        scalars = [a[i].item() if isinstance(a, np.ndarray) else a for a in args]
        assert same_bits(f(*scalars, lower_tail=bool(tail[i])), out[i])
        assert same_bits(f(*scalars, lower_tail=int(tail[i])), out[i])  # converted like log_p


class Unconvertible:
    def __bool__(self):
        raise ValueError("no truth value")


@pytest.mark.parametrize("fn", ["pnorm", "pbinom", "qnorm", "qpois", "pt"])
@pytest.mark.parametrize("bad", [Unconvertible(), pytest.param([[1], [1, 2]], marks=pytest.mark.skipif(
    tuple(int(v) for v in np.__version__.split(".")[:2]) < (1, 24),
    reason="NumPy before 1.24 makes a ragged list an object array, a flag like any other"))], ids=["object", "ragged"])
def test_unconvertible_flag_refused_as_a_bad_log_p(fn, bad):
    f = getattr(zv, fn)
    first = 2 if fn[1:] in COUNT_X and fn[0] == "p" else 0.5
    params = PARAMS[fn[1:]][0]
    flag = "log_p" if fn[0] == "p" else "lower_tail"
    messages = []
    for name in (flag, "lower_tail"):
        with pytest.raises(TypeError) as info:
            f(first, *params, **{name: bad})
        messages.append(str(info.value).replace("kwargs: %s=" % name, "kwargs: FLAG="))
    assert messages[0] == messages[1]
    assert "lower_tail: numpy.ndarray[bool] = True" in messages[0]


STRICT_CALLS = [("pnorm", 1.5, ()), ("qpois", 0.3, (3.5,)), ("pbinom", 4, (12, 0.4))]


@pytest.mark.parametrize("fn,first,params", STRICT_CALLS)
@pytest.mark.parametrize("flag,tail", [(None, True), (True, True), (0, False), (1, True), (np.False_, False),
                                       (np.int8(1), True), (np.uint64(0), False)], ids=repr)
def test_lower_tail_takes_bools_and_0_or_1(fn, first, params, flag, tail):
    f = getattr(zv, fn)
    assert same_bits(f(first, *params, lower_tail=flag), f(first, *params, lower_tail=tail))
    assert same_bits(f(np.array([first]), *params, lower_tail=flag), f(np.array([first]), *params, lower_tail=tail))


@pytest.mark.parametrize("fn,first,params", STRICT_CALLS)
@pytest.mark.parametrize("flag", ["False", "", b"1", 1.0, NAN, np.float64(0.0), 2, -1, np.int64(2), [0, 1],
                                  np.array([1, 0]), np.array([0.5]), 1j, object()], ids=repr)
def test_lower_tail_refuses_what_is_no_flag(fn, first, params, flag):
    f = getattr(zv, fn)
    for x in (first, np.array([first, first])):
        with pytest.raises(TypeError, match="lower_tail must be True or False"):
            f(x, *params, lower_tail=flag)


def test_log_flags_keep_their_conversion():
    assert zv.pnorm(1.5, log_p="") == zv.pnorm(1.5) and zv.dnorm(1.5, log=0.5) == zv.dnorm(1.5, log=True)


@pytest.mark.parametrize("fn", FUNCTIONS)
def test_nan_parameters_give_nan(fn):
    f = getattr(zv, fn)
    constant = PARAMS[fn[1:]][0]
    first = 2 if fn[1:] in COUNT_X and fn[0] == "p" else 0.5
    for k, p in enumerate(constant):
        if isinstance(p, int):
            continue  # a count has no NaN (a float NaN count is tested elsewhere)
        params = list(constant)
        params[k] = NAN
        for log_p in ([False, True] if fn[0] == "p" else [None]):
            extra = () if log_p is None else (log_p,)
            assert math.isnan(f(first, *params, *extra, lower_tail=False))
            assert math.isnan(f(np.array([first]), *params, *extra, lower_tail=False)[0])


# ---------------------------------------------------------------------------
# Identities of the upper tails (each family's own accuracy is tested with it).

def implemented(fn, *args):
    if math.isnan(getattr(zv, fn)(*args, lower_tail=False)):
        pytest.skip("the upper tail of %s is not in this build yet" % fn)


def test_poisson_tails_add_to_one():
    implemented("ppois", 3, 2.5)
    # rates and counts where the lower tail is an exact sum
    x = np.arange(0, 16)[:, None]
    rate = np.array([0.01, 0.5, 2.5, 7.0, 10.0])
    total = zv.ppois(x, rate) + zv.ppois(x, rate, lower_tail=False)
    assert np.all(np.abs(total - 1) <= 4e-16)


def test_normal_upper_tail_is_the_lower_tail_mirrored():
    implemented("pnorm", 1.0)
    # where the lower tail is itself good to 1e-15 (it is formed as 1 + erf)
    x = np.linspace(-2.0, 2.0, 801)
    upper, mirrored = zv.pnorm(x, lower_tail=False), zv.pnorm(-x)
    assert np.all(np.abs(upper - mirrored) <= 1e-15 * mirrored)
    mu, sigma = 3.0, 0.25
    upper, mirrored = zv.pnorm(mu + sigma * x, mu, sigma, lower_tail=False), zv.pnorm(mu - sigma * x, mu, sigma)
    assert np.all(np.abs(upper - mirrored) <= 1e-15 * mirrored)


# q(0, lower_tail=False) is the upper end of the support, q(1, ...) the lower end.
ENDS = {
    "norm": (INF, -INF), "bern": (1.0, 0.0), "beta": (1.0, 0.0), "binom": (12.0, 0.0),
    "cauchy": (INF, -INF), "chisq": (INF, 0.0), "exp": (INF, 0.0), "f": (INF, 0.0), "gamma": (INF, 0.0),
    "invgamma": (INF, 0.0), "laplace": (INF, -INF), "lnorm": (INF, 0.0), "logis": (INF, -INF),
    "pois": (INF, 0.0), "t": (INF, -INF), "unif": (3.0, -1.0), "weibull": (INF, 0.0),
}


@pytest.mark.parametrize("fam", FAMILIES)
def test_upper_quantile_ends_of_the_support(fam):
    f, params = getattr(zv, "q" + fam), PARAMS[fam][0]
    implemented("q" + fam, 0.5, *params)
    assert [f(0.0, *params, lower_tail=False), f(1.0, *params, lower_tail=False)] == list(ENDS[fam])
    assert same_bits(f(np.array([0.0, 1.0]), *params, lower_tail=False), ENDS[fam])
