"""zorvana.accurate beside the top level: the same functions and calling
conventions; the top level's default values unmoved (digests of its outputs
on a fixed input set); its upper tails and log_p quantiles the namespace's
values bit for bit."""
import inspect
import math
import os
import pickle
import sys

import numpy as np
import pytest

import zorvana as zv
import zorvana.accurate as za
from refs_default_bits import DIGESTS
from test_calling import same_bits, threads  # noqa: F401  (a fixture)
from test_lower_tail import PARAMS, arguments
from test_module import FAMILIES

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
import default_bits  # noqa: E402  (the inputs of the digests)

ELEMENTWISE = [prefix + fam for prefix in "dpq" for fam in FAMILIES] + ["ptukey", "qtukey"]
NONCENTRAL = {"beta", "chisq", "f", "t"}  # with the keyword-only ncp after the flags
COUNT_X = {"bern", "binom", "pois"}


def test_both_imports_give_the_registered_submodule():
    from zorvana import accurate
    assert accurate is za is sys.modules["zorvana.accurate"] is zv.accurate
    assert za.__name__ == "zorvana.accurate" and "accurate arithmetic" in za.__doc__
    discrete = [prefix + fam for prefix in "dpq" for fam in ("nbinom", "geom", "hyper", "wilcox", "signrank")]
    assert sorted(n for n in vars(za) if not n.startswith("_")) == sorted(ELEMENTWISE + discrete + ["dmultinom"])
    assert pickle.loads(pickle.dumps(za.qnorm)) is za.qnorm


@pytest.mark.parametrize("name", ELEMENTWISE)
def test_same_signature_as_the_top_level(name):
    top, acc = getattr(zv, name), getattr(za, name)
    assert inspect.signature(acc) == inspect.signature(top)
    assert acc.__doc__.splitlines()[0] == top.__doc__.splitlines()[0]
    assert acc.__module__ == "zorvana.accurate" and ">>> za." in acc.__doc__
    if name[0] == "q":
        tail = ["lower_tail", "log_p"] + (["ncp"] if name[1:] in NONCENTRAL else [])
        assert list(inspect.signature(top).parameters)[-len(tail):] == tail


@pytest.mark.parametrize("key", sorted(DIGESTS))
def test_default_values_unmoved(key):
    name, label = key.split("/")
    args = next(a for n, l, a in default_bits.inputs() if n == name and l == label)
    with np.errstate(all="ignore"):
        assert default_bits.digest_of(getattr(zv, name), args) == DIGESTS[key]


@pytest.mark.parametrize("fn", [p + fam for p in "pq" for fam in FAMILIES])
def test_top_level_beyond_the_defaults_is_the_namespace(fn):
    """lower_tail=False (and for quantiles log_p=True) gives the namespace's
    bits, in arrays of mixed flags, with constant flags and in scalar calls;
    the prescribed elements stay the top level's own."""
    top, acc = getattr(zv, fn), getattr(za, fn)
    n = 600
    rng = np.random.default_rng(5)
    args = arguments(fn, n, varying=True, seed=6)
    if fn[0] == "p":
        args = args[:-1]
    else:
        args[0] = np.where(rng.random(n) < 0.5, args[0], -args[0] * 40)  # logs of probabilities too
    # the two flags in the row's order: (log_p, lower_tail) or (lower_tail, log_p)
    first, second = rng.integers(0, 2, n).astype(bool), rng.integers(0, 2, n).astype(bool)
    with np.errstate(all="ignore"):
        mixed, theirs = top(*args, first, second), acc(*args, first, second)
        prescribed = second if fn[0] == "p" else first & ~second
        assert same_bits(mixed[~prescribed], theirs[~prescribed])
        default = top(*args, first) if fn[0] == "p" else top(*args)
        assert same_bits(mixed[prescribed], default[prescribed])
        combos = [(False, False), (True, False)] if fn[0] == "p" else [(False, False), (True, True), (False, True)]
        for f1, f2 in combos:
            assert same_bits(top(*args, f1, f2), acc(*args, f1, f2))
    for i in range(0, n, 37):
        scalars = [a[i].item() if isinstance(a, np.ndarray) else a for a in args]
        assert same_bits(top(*scalars, bool(first[i]), bool(second[i])), mixed[i])
        assert same_bits(acc(*scalars, bool(first[i]), bool(second[i])), theirs[i])


@pytest.mark.parametrize("fn", ["dnorm", "pgamma", "qbinom", "ppois", "qt"])
def test_namespace_calling_conventions(fn, threads):
    f = getattr(za, fn)
    n = 3000
    args = arguments(fn if fn[0] != "d" else "p" + fn[1:], n, varying=True, seed=8)
    with np.errstate(all="ignore"):
        one = f(*args)
        threads(2)
        assert same_bits(f(*args), one)
        column = f(*[a[:, None] if isinstance(a, np.ndarray) else a for a in args])
        assert column.shape == (n, 1) and same_bits(column[:, 0], one)
    assert type(f(*[a[0].item() if isinstance(a, np.ndarray) else a for a in args])) is float
    with pytest.raises(TypeError, match=r"^%s\(\): incompatible function arguments" % fn):
        f(0.5, *PARAMS[fn[1:]][0], bogus=1)
    with pytest.raises(RuntimeError, match="incompatible size/dimension"):
        f(np.zeros(2), *[np.zeros(3)] * len(PARAMS[fn[1:]][0]))


@pytest.mark.parametrize("fn", ["qnorm", "qpois", "qbeta"])
def test_log_p_flag_converts_like_the_p_functions_log_p(fn):
    f, params = getattr(zv, fn), PARAMS[fn[1:]][0]
    lp = math.log(0.3)
    want = f(lp, *params, log_p=True)
    assert want == f(lp, *params, True, True) == f(lp, *params, log_p=1) == f(lp, *params, log_p=np.True_)
    assert same_bits(f(np.array([lp, 0.3]), *params, log_p=[True, False]), [want, f(0.3, *params)])
    assert f(0.3, *params, log_p=0.0) == f(0.3, *params)


@pytest.mark.parametrize("fam", FAMILIES)
def test_log_p_ends_and_invalid_logs(fam):
    """log p = -inf and 0 are p = 0 and 1 (the ends of the support); a log
    above 0 or NaN gives NaN, in both tails and in both namespaces."""
    params = PARAMS[fam][0]
    for f in (getattr(zv, "q" + fam), getattr(za, "q" + fam)):
        for lower in (True, False):
            ends = [f(0.0, *params, lower_tail=lower), f(1.0, *params, lower_tail=lower)]
            logs = [f(-math.inf, *params, lower_tail=lower, log_p=True), f(0.0, *params, lower_tail=lower, log_p=True)]
            assert logs == [getattr(za, "q" + fam)(v, *params, lower_tail=lower) for v in (0.0, 1.0)], (lower, logs)
            if lower is False:
                assert logs == ends
            for bad in (0.5, math.nan, math.inf):
                assert math.isnan(f(bad, *params, lower_tail=lower, log_p=True))
