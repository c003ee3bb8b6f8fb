"""The example scripts run to the end with the module as built."""
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(script, *args):
    env = dict(os.environ)
    # The same zorvana as the tests import: an in-place build in the checkout
    # first, else the installed one.
    env["PYTHONPATH"] = os.pathsep.join([ROOT] + [p for p in [env.get("PYTHONPATH")] if p])
    proc = subprocess.run([sys.executable, os.path.join(ROOT, "examples", script)] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, cwd=ROOT,
                          timeout=300)
    assert proc.returncode == 0, proc.stdout.decode(errors="replace") + proc.stderr.decode(errors="replace")
    return proc.stdout.decode()


def test_tour_runs():
    out = run("tour.py")
    assert "dnorm(0.0)" in out and "Quantiles" in out and "not in this build" not in out
    # counts print as integers
    assert "median count               8\n" in out


def test_plots_draw_pngs(tmp_path):
    pytest.importorskip("matplotlib")
    run("plots.py", "--out", str(tmp_path), "--only", "^(binom|gamma)$")
    assert sorted(os.listdir(str(tmp_path))) == ["binom.png", "gamma.png"]


def test_chunked_dask_matches_whole_array():
    pytest.importorskip("dask.array")
    out = run("chunked.py", "--n", "3000", "--chunk", "700")
    assert "same bits as one call: False" not in out and "reproducible: True" in out


# Every code example of the README and the site's pages shows its output, and
# prints it still: each document's examples run in a fresh process (the
# default engine's draws included) as one doctest.
def has_examples(doc):
    with open(os.path.join(ROOT, doc)) as f:
        text = f.read()
    return "```python" in text or "```pycon" in text


DOCUMENTS = [d for d in ["README.md"] + sorted(os.path.join("docs", n) for n in os.listdir(os.path.join(ROOT, "docs"))
                                               if n.endswith(".md")) if has_examples(d)]
DOCTEST = """
import doctest, sys
text = sys.stdin.read()
test = doctest.DocTestParser().get_doctest(text, {}, sys.argv[1], sys.argv[1], 0)
runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
runner.run(test)
sys.exit(1 if runner.failures else 0)
"""


@pytest.mark.parametrize("doc", DOCUMENTS)
def test_documented_examples_print_what_they_show(doc):
    with open(os.path.join(ROOT, doc)) as f:
        text = f.read()
    assert "```python" not in text, "write examples as ```pycon with their output"
    blocks = re.findall(r"^```pycon\n(.*?)^```", text, re.S | re.M)
    proc = subprocess.run([sys.executable, "-c", DOCTEST, doc], input="\n".join(blocks).encode(),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=ROOT, timeout=120)
    assert proc.returncode == 0, proc.stdout.decode(errors="replace")
