"""The module as Python sees it: registry order, signatures, the calling
convention of the element-wise functions and the refusal of other
interpreter versions."""
import glob
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

import zorvana

FAMILIES = ["norm", "bern", "beta", "binom", "cauchy", "chisq", "exp", "f", "gamma", "invgamma",
            "laplace", "lnorm", "logis", "pois", "t", "unif", "weibull"]

# Argument names of each family's d-function after x, and of its q-function after p.
PARAMS = {
    "norm": ["mu", "sigma"], "bern": ["prob"], "beta": ["a", "b"], "binom": ["n_trials", "prob"],
    "cauchy": ["mu", "sigma"], "chisq": ["dof"], "exp": ["rate"], "f": ["df1", "df2"],
    "gamma": ["shape", "scale"], "invgamma": ["shape", "scale"], "laplace": ["mu", "sigma"],
    "lnorm": ["mu", "sigma"], "logis": ["mu", "sigma"], "pois": ["rate"], "t": ["dof"],
    "unif": ["a", "b"], "weibull": ["shape", "scale"],
}
INTEGER_X = {"bern", "binom", "pois"}
# R's defaults.
DEFAULTS = {"mu": "0", "sigma": "1", "rate": "1", "scale": "1", "a": "0", "b": "1"}
DEFAULTED = {"norm", "cauchy", "exp", "gamma", "invgamma", "laplace", "lnorm", "logis", "unif", "weibull"}


def _type(fam, name, arg):
    if arg == "x" and fam in INTEGER_X and name[0] in "dp":
        return "numpy.ndarray[numpy.int64]"
    if arg == "n_trials":
        return "numpy.ndarray[numpy.int64]"
    if arg in ("log", "log_p", "lower_tail"):
        return "numpy.ndarray[bool]"
    return "numpy.ndarray[numpy.float64]"


def expected_signature(prefix, fam):
    name = prefix + fam
    args = (["p"] if prefix == "q" else ["x"]) + PARAMS[fam]
    flag = {"d": "log", "p": "log_p"}.get(prefix)
    if flag:
        args.append(flag)
    if prefix in "pq":
        args.append("lower_tail")
    if prefix == "q":
        args.append("log_p")
    parts = []
    for a in args:
        text = "{}: {}".format(a, _type(fam, name, a))
        if fam in DEFAULTED and a in DEFAULTS:
            text += " = " + DEFAULTS[a]
        elif a in (flag, "log_p"):
            text += " = False"
        elif a == "lower_tail":
            text += " = True"
        parts.append(text)
    if fam in ("beta", "chisq", "f", "t"):
        parts += ["*", "ncp: numpy.ndarray[numpy.float64] = 0"]
    return "{}({}) -> object".format(name, ", ".join(parts))


def test_docstring():
    assert zorvana.__doc__ == "pybind11 wrapper for mervel/zorvana"


def test_registration_order():
    public = [n for n in zorvana.__dict__ if not n.startswith("_")]
    elementwise = [n for n in public if n[0] in "dpq" and n[1:] in FAMILIES]
    assert elementwise == ["d" + f for f in FAMILIES] + ["p" + f for f in FAMILIES] + ["q" + f for f in FAMILIES]
    # The draw side sits between the densities and the distribution functions.
    if hasattr(zorvana, "Engine"):
        assert public.index("dweibull") < public.index("Engine") < public.index("pnorm")


@pytest.mark.parametrize("prefix", ["d", "p", "q"])
@pytest.mark.parametrize("fam", FAMILIES)
def test_signature(prefix, fam):
    doc = getattr(zorvana, prefix + fam).__doc__
    assert doc.strip().splitlines()[0] == expected_signature(prefix, fam)


def test_scalar_call_gives_python_float_and_defaults():
    v = zorvana.dnorm(0.0)
    assert type(v) is float
    assert v == zorvana.dnorm(0.0, 0, 1, False)
    assert zorvana.qnorm(0.5) == zorvana.qnorm(0.5, 0.0, 1.0)
    assert type(zorvana.dnorm(np.float64(0.5), 0, 1)) is float
    assert type(zorvana.dnorm(np.array(0.5), 0, 1)) is float


def test_one_element_array_gives_array():
    out = zorvana.dnorm(np.array([0.5]), 0, 1)
    assert isinstance(out, np.ndarray) and out.shape == (1,) and out.dtype == np.float64


def test_broadcasting():
    out = zorvana.dnorm(np.zeros((2, 1)), np.zeros(3), 1.0)
    assert out.shape == (2, 3)
    xs = np.linspace(-2, 2, 5)
    out = zorvana.pnorm(xs[:, None], np.array([0.0, 1.0]), 2.0)
    assert out.shape == (5, 2)
    assert out[3, 1] == zorvana.pnorm(xs[3], 1.0, 2.0)


@pytest.mark.parametrize("shapes", [((2,), (3,)), ((0,), (3,))])
def test_incompatible_shapes_raise(shapes):
    with pytest.raises(RuntimeError, match=r"^pybind11::vectorize: incompatible size/dimension of inputs!$"):
        zorvana.dnorm(np.zeros(shapes[0]), np.zeros(shapes[1]), 1.0)


def test_empty_input_gives_empty_result():
    out = zorvana.dnorm(np.zeros(0), 0.0, 1.0)
    assert out.shape == (0,) and out.dtype == np.float64


def test_flag_broadcasts():
    out = zorvana.dnorm(np.array([0.3, 0.3]), 0, 1, [True, False])
    assert out[0] == zorvana.dnorm(0.3, log=True)
    assert out[1] == zorvana.dnorm(0.3)


def test_flags_accept_numbers():
    assert zorvana.dnorm(0.3, log=2) == zorvana.dnorm(0.3, log=True)
    assert zorvana.dnorm(0.3, log=0.0) == zorvana.dnorm(0.3, log=False)


def test_integer_arguments_truncate_floats():
    assert zorvana.dpois(2.9, 1.0) == zorvana.dpois(2, 1.0)
    assert zorvana.dbinom(3, 10.7, 0.4) == zorvana.dbinom(3, 10, 0.4)


def test_integer_input_gives_float64_result():
    out = zorvana.dpois(np.arange(5, dtype=np.int64), 2.0)
    assert out.dtype == np.float64
    assert out[2] == zorvana.dpois(2, 2.0)


@pytest.mark.parametrize("order", ["C", "F"])
def test_memory_order_is_kept(order):
    x = np.asarray(np.arange(6.0).reshape(2, 3) / 7.0, order=order)
    out = zorvana.pnorm(x, 0.0, 1.0)
    assert out.flags["C_CONTIGUOUS" if order == "C" else "F_CONTIGUOUS"]
    assert out[1, 2] == zorvana.pnorm(x[1, 2])


def test_keywords_in_any_order():
    assert zorvana.dgamma(x=1.0, scale=2.0, shape=3.0) == zorvana.dgamma(1.0, 3.0, 2.0)


@pytest.mark.parametrize("call", [
    lambda: zorvana.qbeta(0.5, 2.0),                   # missing required arguments
    lambda: zorvana.dnorm(0.0, 0, 1, False, 5),        # surplus argument
    lambda: zorvana.dnorm(0.0, log_p=True),            # the p-functions' flag on a d-function
    lambda: zorvana.pnorm(0.0, log=True),              # and the reverse
    lambda: zorvana.dnorm("abc"),                      # a string NumPy cannot read
    lambda: zorvana.dexp({}, 1.0),                     # a dictionary
])
def test_incompatible_arguments_raise_type_error(call):
    with pytest.raises(TypeError, match=r"\(\): incompatible function arguments"):
        call()


def test_invalid_parameters_give_nan_not_exceptions():
    assert np.isnan(zorvana.dnorm(1.0, 0.0, -1.0))
    assert np.all(np.isnan(zorvana.qexp(np.array([0.1, 0.5]), -1.0)))


def _other_interpreters():
    """Installed CPython interpreters of a minor version other than ours."""
    found = {}
    for exe in sorted(glob.glob(os.path.expanduser("~/.pyenv/versions/3.*/bin/python3"))):
        minor = os.path.basename(os.path.dirname(os.path.dirname(exe))).split(".")[:2]
        if minor != [str(sys.version_info[0]), str(sys.version_info[1])]:
            found.setdefault(tuple(minor), exe)
    return list(found.values())


def test_other_interpreter_version_is_refused(tmp_path):
    others = _other_interpreters()
    if not others:
        pytest.skip("no interpreter of another minor version installed")
    built = zorvana.__file__
    shutil.copy(built, str(tmp_path / "zorvana.so"))
    # Lazy symbol binding lets an interpreter that lacks some API symbol reach
    # the module's own version test instead of failing in the dynamic loader.
    code = ("import os, sys; sys.setdlopenflags(os.RTLD_LAZY); sys.path.insert(0, {!r});\n"
            "try:\n    import zorvana\nexcept ImportError as e:\n    print(e)\n").format(str(tmp_path))
    ours = "{}.{}".format(*sys.version_info[:2])
    for exe in others[:3]:
        out = subprocess.run([exe, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        version = subprocess.run([exe, "-c", "import sys; print(sys.version)"],
                                 stdout=subprocess.PIPE).stdout.decode().strip()
        expected = ("Python version mismatch: module was compiled for Python {}, but the interpreter "
                    "version is incompatible: {}.").format(ours, version)
        assert out.stdout.decode().strip() == expected
