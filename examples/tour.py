"""A short tour of zorvana: densities, distribution functions, quantiles and
seeded random draws, printed one value (or one small array) per line.

Run it with `python examples/tour.py` after `pip install .`.
"""
from __future__ import print_function

import os
import sys

import numpy as np

try:
    import zorvana as zv
except ImportError:  # not installed: use an in-place build in this checkout
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    import zorvana as zv


def text(value):
    if isinstance(value, np.ndarray):
        body = np.array2string(value, precision=6, separator=", ", max_line_width=1000)
        return "array%s %s" % (list(value.shape), body.replace("\n", ""))
    if isinstance(value, float):
        return repr(value)
    return str(value)


def show(call, name, *args, **kwargs):
    """Print `call` and its value; say so when the function is absent from
    this build or fails, and go on."""
    fn = getattr(zv, name, None)
    if fn is None:
        print("  %-46s (not in this build)" % call)
        return None
    try:
        value = fn(*args, **kwargs)
    except Exception as exc:
        print("  %-46s (failed: %s: %s)" % (call, type(exc).__name__, exc))
        return None
    print("  %-46s %s" % (call, text(value)))
    return value


def main():
    print("zorvana:", (zv.__doc__ or "").strip())

    print("\nDensities and probability masses (d), log with log=True")
    show("dnorm(0.0)", "dnorm", 0.0)
    show("dnorm(1.5, mu=1, sigma=2, log=True)", "dnorm", 1.5, mu=1, sigma=2, log=True)
    show("dgamma(2.0, shape=3.0, scale=1.5)", "dgamma", 2.0, shape=3.0, scale=1.5)
    show("dbeta(0.3, 2.0, 5.0)", "dbeta", 0.3, 2.0, 5.0)
    show("dt(0.5, 4.0)", "dt", 0.5, 4.0)
    show("dbinom(3, 10, 0.3)", "dbinom", 3, 10, 0.3)
    show("dpois([0, 1, 2, 3], rate=2.0)", "dpois", [0, 1, 2, 3], rate=2.0)

    print("\nDistribution functions (p), log with log_p=True")
    show("pnorm(1.96)", "pnorm", 1.96)
    show("pnorm(-3.0, log_p=True)", "pnorm", -3.0, log_p=True)
    show("pexp([0.5, 1.0, 2.0], 1.0)", "pexp", np.array([0.5, 1.0, 2.0]), 1.0)
    show("pchisq(3.84, 1.0)", "pchisq", 3.84, 1.0)
    show("pf(2.5, 5.0, 12.0)", "pf", 2.5, 5.0, 12.0)
    show("ppois(4, 3.5)", "ppois", 4, 3.5)
    show("pweibull(1.0, shape=1.5, scale=2.0)", "pweibull", 1.0, shape=1.5, scale=2.0)

    print("\nQuantiles (q)")
    show("qnorm(0.975)", "qnorm", 0.975)
    show("qt(0.975, 10.0)", "qt", 0.975, 10.0)
    show("qgamma(0.95, shape=2.0, scale=3.0)", "qgamma", 0.95, shape=2.0, scale=3.0)
    show("qbeta(0.5, 2.0, 5.0)", "qbeta", 0.5, 2.0, 5.0)
    show("qbinom(0.5, 20, 0.4)", "qbinom", 0.5, 20, 0.4)
    show("qlogis([0.1, 0.5, 0.9], 0.0, 1.0)", "qlogis", [0.1, 0.5, 0.9], 0.0, 1.0)

    print("\nBroadcasting: a column of x against a row of sigma gives a 3 x 2 array")
    show("dnorm([[-1], [0], [1]], 0, [1, 2])", "dnorm",
         np.array([[-1.0], [0.0], [1.0]]), 0.0, np.array([1.0, 2.0]))

    print("\nRandom draws (r) from a seeded Engine")
    if not hasattr(zv, "Engine"):
        print("  (Engine not in this build)")
        return 0
    e = zv.Engine(2026)
    first = show("rnorm(0.0, 1.0, engine=Engine(2026))", "rnorm", 0.0, 1.0, engine=e)
    show("rnorm(0.0, 1.0, size=5, engine=e)", "rnorm", 0.0, 1.0, size=5, engine=e)
    show("rgamma(2.0, 1.5, [2, 3], e)", "rgamma", 2.0, 1.5, [2, 3], e)
    show("rbinom(10, 0.3, 4, e)", "rbinom", 10, 0.3, 4, e)
    show("rpois(3.5, size=6, engine=e)", "rpois", 3.5, size=6, engine=e)
    show("runif(0.0, 1.0, engine=e)", "runif", 0.0, 1.0, engine=e)
    again = show("rnorm(0.0, 1.0, engine=Engine(2026))", "rnorm", 0.0, 1.0, engine=zv.Engine(2026))
    if first is not None and again is not None:
        print("  the same seed gives the same draw:", first == again)
    return 0


if __name__ == "__main__":
    sys.exit(main())
