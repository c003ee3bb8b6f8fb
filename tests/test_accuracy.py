"""The committed accuracy report (docs/accuracy.md) still describes the module:
a slice of its rows is measured again and must read the same."""
import importlib.util
import os

import pytest

pytest.importorskip("mpmath")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


@pytest.fixture(scope="module")
def tool():
    found = importlib.util.spec_from_file_location("accuracy", os.path.join(ROOT, "tools", "accuracy.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


@pytest.fixture(scope="module")
def committed(tool):
    with open(os.path.join(ROOT, "docs", "accuracy.md")) as fh:
        return tool.parse_table(fh.read())


# One parameter set per kind of arithmetic: closed form with the error
# function, the incomplete gamma quadrature window, the Poisson search, the
# incomplete beta fraction, Student t's start value.
@pytest.mark.parametrize("name,params", [
    ("norm", (0.0, 1.0)), ("chisq", (20.0,)), ("pois", (50.0,)), ("beta", (2.0, 5.0)), ("t", (3.5,)),
])
def test_report_rows_are_current(tool, committed, name, params):
    for row in tool.table_rows(name, params, tool.measure(name, params)):
        assert committed.get((row[0], row[1])) == row[2:], (
            "%s(%s) no longer matches docs/accuracy.md: rerun tools/accuracy.py" % (row[0], row[1]))
