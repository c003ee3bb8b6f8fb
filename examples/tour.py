"""A short tour of zorvana: densities, distribution functions, quantiles and
seeded random draws, printed one value (or one small array) per line with a
word on what it is.

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


def text(value, counts):
    """A value as text; counts (quantiles and draws of the discrete
    distributions) as integers."""
    if isinstance(value, np.ndarray):
        if counts and np.all(np.isfinite(value)):
            body = np.array2string(value.astype(np.int64), separator=", ")
        else:
            body = np.array2string(value, precision=6, separator=", ", max_line_width=1000)
        return body.replace("\n", "")
    if counts and np.isfinite(value):
        return str(int(value))
    return repr(value)


def show(call, meaning, value, counts=False):
    print("  %-38s %-26s %s" % (call, meaning, text(value, counts)))
    return value


def main():
    print("zorvana:", (zv.__doc__ or "").strip())

    print("\nDensities and probability masses (d), log with log=True")
    show("dnorm(0.0)", "density of N(0, 1) at 0", zv.dnorm(0.0))
    show("dnorm(1.5, mu=1, sigma=2, log=True)", "log-density", zv.dnorm(1.5, mu=1, sigma=2, log=True))
    show("dgamma(2.0, shape=3.0, scale=1.5)", "density", zv.dgamma(2.0, shape=3.0, scale=1.5))
    show("dbeta(0.3, 2.0, 5.0)", "density", zv.dbeta(0.3, 2.0, 5.0))
    show("dt(0.5, 4.0)", "density", zv.dt(0.5, 4.0))
    show("dbinom(3, 10, 0.3)", "probability of exactly 3", zv.dbinom(3, 10, 0.3))
    show("dpois([0, 1, 2, 3], rate=2.0)", "probabilities of 0..3", zv.dpois([0, 1, 2, 3], rate=2.0))

    print("\nDistribution functions (p), log with log_p=True")
    show("pnorm(1.96)", "probability below 1.96", zv.pnorm(1.96))
    show("pnorm(-3.0, log_p=True)", "log-probability", zv.pnorm(-3.0, log_p=True))
    show("pexp([0.5, 1.0, 2.0], 1.0)", "probabilities below", zv.pexp(np.array([0.5, 1.0, 2.0]), 1.0))
    show("pchisq(3.84, 1.0)", "probability below", zv.pchisq(3.84, 1.0))
    show("pf(2.5, 5.0, 12.0)", "probability below", zv.pf(2.5, 5.0, 12.0))
    show("ppois(4, 3.5)", "probability of at most 4", zv.ppois(4, 3.5))
    show("pweibull(1.0, shape=1.5, scale=2.0)", "probability below", zv.pweibull(1.0, shape=1.5, scale=2.0))

    print("\nQuantiles (q)")
    show("qnorm(0.975)", "97.5% point", zv.qnorm(0.975))
    show("qt(0.975, 10.0)", "97.5% point", zv.qt(0.975, 10.0))
    show("qgamma(0.95, shape=2.0, scale=3.0)", "95% point", zv.qgamma(0.95, shape=2.0, scale=3.0))
    show("qbeta(0.5, 2.0, 5.0)", "median", zv.qbeta(0.5, 2.0, 5.0))
    show("qbinom(0.5, 20, 0.4)", "median count", zv.qbinom(0.5, 20, 0.4), counts=True)
    show("qlogis([0.1, 0.5, 0.9], 0.0, 1.0)", "deciles and median", zv.qlogis([0.1, 0.5, 0.9], 0.0, 1.0))

    print("\nCorrect values: zorvana.accurate beside the prescribed arithmetic of the top level")
    import zorvana.accurate as za
    show("qchisq(0.99999, 100.0)", "top level (prescribed)", zv.qchisq(0.99999, 100.0))
    show("accurate.qchisq(0.99999, 100.0)", "zorvana.accurate", za.qchisq(0.99999, 100.0))
    show("2 * pnorm(-11.4)", "top level (prescribed)", 2 * zv.pnorm(-11.4))
    show("2 * accurate.pnorm(-11.4)", "zorvana.accurate", 2 * za.pnorm(-11.4))
    show("accurate.pnorm(-8.3, log_p=True)", "log of a small lower tail", za.pnorm(-8.3, log_p=True))
    show("qnorm(-1e4, log_p=True)", "quantile from log p", zv.qnorm(-1e4, log_p=True))

    print("\nBroadcasting: a column of x against a row of sigma gives a 3 x 2 array")
    show("dnorm([[-1], [0], [1]], 0, [1, 2])", "densities",
         zv.dnorm(np.array([[-1.0], [0.0], [1.0]]), 0.0, np.array([1.0, 2.0])))

    print("\nRandom draws (r) from a seeded Engine")
    e = zv.Engine(2026)
    first = show("rnorm(0.0, 1.0, engine=Engine(2026))", "one draw", zv.rnorm(0.0, 1.0, engine=e))
    show("rnorm(0.0, 1.0, size=5, engine=e)", "next five draws", zv.rnorm(0.0, 1.0, size=5, engine=e))
    show("rgamma(2.0, 1.5, [2, 3], e)", "2 x 3 draws", zv.rgamma(2.0, 1.5, [2, 3], e))
    show("rbinom(10, 0.3, 4, e)", "counts of successes", zv.rbinom(10, 0.3, 4, e), counts=True)
    show("rpois(3.5, size=6, engine=e)", "counts", zv.rpois(3.5, size=6, engine=e), counts=True)
    show("runif(0.0, 1.0, engine=e)", "one draw", zv.runif(0.0, 1.0, engine=e))
    again = show("rnorm(0.0, 1.0, engine=Engine(2026))", "the first draw again",
                 zv.rnorm(0.0, 1.0, engine=zv.Engine(2026)))
    print("  the same seed gives the same draw:", first == again)
    return 0


if __name__ == "__main__":
    sys.exit(main())
