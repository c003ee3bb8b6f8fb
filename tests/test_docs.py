"""The module explains itself: every callable's signature and docstring, the
generated documentation and stubs being current, the stubs matching the
module, and engines that pickle and copy with their whole state."""
import copy
import inspect
import os
import pickle
import re
import subprocess
import sys

import numpy as np
import pytest

import zorvana

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_docs  # noqa: E402

PUBLIC = sorted(n for n, v in vars(zorvana).items() if not n.startswith("_") and callable(v))

# A draw's size and engine may only be left out; their text signature shows
# that as an Ellipsis default, which the inspect module of CPython 3.6 cannot
# read: it ends the signature before them.
OLD_INSPECT = sys.version_info < (3, 7)
OLD_INSPECT_REASON = "CPython 3.6's inspect stops at the draws' Ellipsis defaults"

DRAWS = {
    "rnorm": (0.0, 1.0), "rbern": (0.3,), "rbeta": (2.0, 3.0), "rbinom": (5, 0.3), "rcauchy": (0.0, 1.0),
    "rchisq": (3.0,), "rexp": (1.0,), "rf": (3.0, 5.0), "rgamma": (0.5, 1.0), "rinvgamma": (2.0, 1.0),
    "rlaplace": (0.0, 1.0), "rlnorm": (0.0, 1.0), "rlogis": (0.0, 1.0), "rpois": (4.0,), "rt": (5.0,),
    "runif": (0.0, 1.0), "rweibull": (2.0, 1.0), "rnbinom": (2.5, 0.3), "rgeom": (0.2,), "rhyper": (10, 7, 8),
    "rwilcox": (4, 6), "rsignrank": (10,),
}


def generated_parameters(name, doc):
    """Names and default texts of the parameters in the binding library's
    generated signature lines (every overload)."""
    params = {}
    for args in re.findall(r"^(?:\d+\. )?%s\((.*)\) ->" % name, doc, re.M):
        for part in filter(None, args.split(", ")):
            if part == "*":  # keyword-only parameters follow
                continue
            pname, _, rest = part.partition(":")
            if pname != "*":  # the keyword-only marker
                params.setdefault(pname, rest.partition(" = ")[2] or None)
    return params


def test_every_callable_is_in_the_table():
    assert len(PUBLIC) == 95
    assert sorted(row[0] for row in gen_docs.rows()) == PUBLIC


@pytest.mark.parametrize("name", PUBLIC)
def test_signature_and_parameters_documented(name):
    if name in DRAWS and OLD_INSPECT:
        pytest.skip(OLD_INSPECT_REASON)
    obj = getattr(zorvana, name)
    sig = inspect.signature(obj)
    names = list(sig.parameters)
    if name != "Engine":  # its constructor's only argument has no keyword name
        generated = generated_parameters(name, obj.__doc__)
        # (the count draws take dtype before their overloads see the call)
        assert set(names) - ({"dtype"} if name in ("rbinom", "rpois", "rbern", "rnbinom", "rgeom", "rhyper", "rwilcox", "rsignrank") else set()) == set(generated)
        for pname, default in generated.items():
            if default is not None and pname != "engine":
                assert repr(sig.parameters[pname].default) == default
    documented = re.findall(r"^(\w+) : ", obj.__doc__, re.M)
    assert documented == names
    assert ">>> " in obj.__doc__


def test_generated_files_are_current():
    """The committed table and stubs are what the generator writes now,
    with every example's output as the installed module gives it."""
    for rel, text in gen_docs.outputs().items():
        with open(os.path.join(ROOT, rel)) as f:
            assert f.read() == text, "rerun tools/gen_docs.py: " + rel


def test_version():
    with open(os.path.join(ROOT, "VERSION")) as f:
        assert zorvana.__version__ == f.read().strip()


def mypy_run(args, cwd):
    pytest.importorskip("mypy")
    # numpy releases before 1.20 have no type information: their types count as Any.
    (cwd / "mypy.ini").write_text("[mypy]\nignore_missing_imports = True\n")
    flag = "--mypy-config-file" if args[0] == "mypy.stubtest" else "--config-file"
    return subprocess.run([sys.executable, "-m"] + args + [flag, "mypy.ini"], cwd=str(cwd),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)


def test_stubs_match_the_module(tmp_path):
    if OLD_INSPECT:
        pytest.skip(OLD_INSPECT_REASON)
    res = mypy_run(["mypy.stubtest", "zorvana", "--ignore-unused-allowlist",
                    "--allowlist", os.path.join(ROOT, "tests", "stubtest_allowlist.txt")], tmp_path)
    assert res.returncode == 0, res.stdout


def test_stub_overloads(tmp_path):
    pytest.importorskip("numpy.typing", reason="numpy before 1.20 has no types to reveal")
    calls = ["zv.dnorm(0.5)", "zv.dnorm(np.zeros(3), sigma=2.0)", "zv.dpois(3, 2.0, log=True)",
             "zv.qbinom([0.5], 10, 0.3)", "zv.rnorm()", "zv.rnorm(size=3)", "zv.rnorm(0.0, 1.0, e)",
             "zv.rexp(1.0, [2, 3], e)", "zv.rexp(1.0, 10)", "zv.rbinom(10, 0.5, engine=e)",
             "zv.rnorm([0.0, 1.0])", "zv.rbinom(np.arange(3), 0.5, size=3, engine=e)"]
    script = tmp_path / "use.py"
    script.write_text("import numpy as np\nimport zorvana as zv\ne = zv.Engine(1)\n" +
                      "".join("reveal_type(%s)\n" % c for c in calls))
    res = mypy_run(["mypy", "use.py"], tmp_path)
    revealed = re.findall(r'Revealed type is "([^"]*)"', res.stdout)
    kinds = ["float" if t in ("float", "builtins.float") else "array" if "float64" in t else t for t in revealed]
    assert kinds == ["float", "array", "float", "array", "float", "array", "float", "array", "array", "float",
                     "array", "array"]


COPIERS = {
    "pickle": lambda e: pickle.loads(pickle.dumps(e)),
    "copy": copy.copy,
    "deepcopy": copy.deepcopy,
}


@pytest.mark.parametrize("how", sorted(COPIERS))
@pytest.mark.parametrize("fn", sorted(DRAWS))
def test_copy_continues_the_stream(fn, how):
    draw, args = getattr(zorvana, fn), DRAWS[fn]
    e = zorvana.Engine(-7)
    draw(*args, engine=e)
    draw(*args, size=[20, 10], engine=e)  # past the first block of 312 outputs for most draws
    c = COPIERS[how](e)
    assert c is not e and c == e and repr(c) == repr(e)
    for size in (None, 7, [3, 4]):
        kwargs = {} if size is None else {"size": size}
        a, b = draw(*args, engine=e, **kwargs), draw(*args, engine=c, **kwargs)
        assert np.array_equal(a, b) and not np.isnan(a).any()
    assert c == e


def test_engine_state_semantics():
    e = zorvana.Engine(2024)
    assert repr(e) == "<zorvana.Engine seed=2024 outputs=0>"
    zorvana.rnorm(size=3, engine=e)
    outputs = int(re.search(r"outputs=(\d+)", repr(e)).group(1))
    assert outputs >= 6  # two outputs per polar attempt
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        assert pickle.loads(pickle.dumps(e, protocol)) == e
    c = copy.copy(e)
    zorvana.runif(0.0, 1.0, engine=c)  # a copy is independent
    assert c != e and repr(e).endswith("outputs=%d>" % outputs)
    assert e != zorvana.Engine(2023) and e != "engine"
    with pytest.raises(TypeError):
        hash(e)
    state = e.__getstate__()
    assert state[0] == 2  # format version
    fresh = zorvana.Engine(5)
    fresh.__setstate__(state)  # restores in place
    assert fresh == e
    for bad in [(3,) + state[1:], state[:2] + (b"short",) + state[3:], state[:3] + (313,) + state[4:]]:
        with pytest.raises(ValueError):
            fresh.__setstate__(bad)
