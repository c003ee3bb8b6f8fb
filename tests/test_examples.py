"""The example scripts run to the end with the module as built."""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def test_tour_runs():
    env = dict(os.environ)
    # The same zorvana as the tests import: an in-place build in the checkout
    # first, else the installed one.
    env["PYTHONPATH"] = os.pathsep.join([ROOT] + [p for p in [env.get("PYTHONPATH")] if p])
    proc = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "tour.py")],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, cwd=ROOT,
                          timeout=120)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")
    out = proc.stdout.decode()
    assert "dnorm(0.0)" in out and "Quantiles" in out
