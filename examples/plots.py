"""Pictures of the seventeen distributions: density (or mass), distribution
function and quantile function for a few parameter sets, and a histogram of
20,000 seeded draws over the density of the first set. One PNG per
distribution.

    pip install ".[plots]"
    python examples/plots.py                       # writes plots/<name>.png
    python examples/plots.py --out pics --only 'gamma|beta'
"""
from __future__ import print_function

import argparse
import os
import re
import sys

import numpy as np

try:
    import zorvana as zv
except ImportError:  # not installed: use an in-place build in this checkout
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    import zorvana as zv

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

# name, parameter names, parameter sets, x range (continuous) or largest
# count shown (discrete)
DISTRIBUTIONS = [
    ("norm", ("mu", "sigma"), [(0.0, 1.0), (1.0, 0.5), (-1.0, 2.0)], (-5.0, 5.0)),
    ("bern", ("prob",), [(0.3,), (0.7,)], 1),
    ("beta", ("a", "b"), [(2.0, 5.0), (0.5, 0.5), (5.0, 1.0)], (0.0, 1.0)),
    ("binom", ("n_trials", "prob"), [(10, 0.3), (20, 0.5), (40, 0.8)], 40),
    ("cauchy", ("mu", "sigma"), [(0.0, 1.0), (0.0, 0.5), (2.0, 2.0)], (-8.0, 8.0)),
    ("chisq", ("dof",), [(3.0,), (1.0,), (8.0,)], (0.0, 20.0)),
    ("exp", ("rate",), [(1.0,), (0.5,), (2.0,)], (0.0, 6.0)),
    ("f", ("df1", "df2"), [(5.0, 2.0), (1.0, 1.0), (20.0, 20.0)], (0.0, 5.0)),
    ("gamma", ("shape", "scale"), [(2.0, 2.0), (1.0, 2.0), (9.0, 0.5)], (0.0, 20.0)),
    ("invgamma", ("shape", "scale"), [(3.0, 1.0), (1.0, 1.0), (3.0, 0.5)], (0.0, 3.0)),
    ("laplace", ("mu", "sigma"), [(0.0, 1.0), (0.0, 2.0), (-2.0, 1.0)], (-8.0, 8.0)),
    ("lnorm", ("mu", "sigma"), [(0.0, 0.5), (0.0, 1.0), (1.0, 0.25)], (0.0, 6.0)),
    ("logis", ("mu", "sigma"), [(0.0, 1.0), (2.0, 1.0), (-2.0, 0.5)], (-8.0, 8.0)),
    ("pois", ("rate",), [(4.0,), (1.0,), (10.0,)], 20),
    ("t", ("dof",), [(3.0,), (1.0,), (30.0,)], (-5.0, 5.0)),
    ("unif", ("a", "b"), [(0.0, 1.0), (-1.0, 2.0), (0.5, 3.0)], (-1.5, 3.5)),
    ("weibull", ("shape", "scale"), [(1.5, 1.0), (0.5, 1.0), (5.0, 2.0)], (0.0, 3.0)),
]
DRAWS = 20000


def label(pnames, params):
    return ", ".join("%s=%g" % kv for kv in zip(pnames, params))


def plot(name, pnames, sets, span, path, seed=2026):
    d, p, q, r = (getattr(zv, prefix + name) for prefix in "dpqr")
    discrete = isinstance(span, int)
    # Four panels in a row, 1,600 px wide; the parameter sets' legend sits
    # below the row, where it covers no curve.
    fig, ax = plt.subplots(1, 4, figsize=(16, 4.6))
    ps = np.linspace(0.002, 0.998, 499)
    if discrete:
        xs = np.arange(span + 1)
    else:
        xs = np.linspace(span[0], span[1], 801)
    for params in sets:
        lab = label(pnames, params)
        if discrete:
            ax[0].plot(xs, d(xs, *params), "o-", ms=3.5, lw=1, label=lab)
            ax[1].step(xs, p(xs, *params), where="post", lw=1.4, label=lab)
            ax[2].step(ps, q(ps, *params), where="post", lw=1.4, label=lab)
        else:
            ax[0].plot(xs, d(xs, *params), lw=1.6, label=lab)
            ax[1].plot(xs, p(xs, *params), lw=1.6, label=lab)
            ax[2].plot(ps, q(ps, *params), lw=1.6, label=lab)
    draws = r(*sets[0], size=DRAWS, engine=zv.Engine(seed))
    if discrete:
        counts = np.bincount(draws.astype(np.int64), minlength=span + 1)[:span + 1]
        ax[3].bar(xs, counts / float(DRAWS), color="0.75", label="%d draws" % DRAWS)
        ax[3].plot(xs, d(xs, *sets[0]), "o", ms=4, color="C0", label="mass")
    else:
        # Draws outside the shown range still count in the normalisation.
        hist, edges = np.histogram(draws, bins=60, range=span)
        width = edges[1] - edges[0]
        ax[3].bar(edges[:-1], hist / (DRAWS * width), width=width, align="edge", color="0.75",
                  label="%d draws" % DRAWS)
        ax[3].plot(xs, d(xs, *sets[0]), lw=1.6, color="C0", label="density")
    ax[3].set_title("r%s(%s) over d%s" % (name, label(pnames, sets[0]), name), fontsize=12)
    for i, title in enumerate(("d%s" % name, "p%s" % name, "q%s" % name)):
        ax[i].set_title(title, fontsize=12)
    ax[2].set_xlabel("p", fontsize=11)
    if name in ("cauchy", "invgamma", "f", "lnorm"):
        ax[2].set_ylim(span)  # heavy right tails would flatten the rest
    ax[0].set_ylim(bottom=0, top=min(ax[0].get_ylim()[1], 4.0))
    for a in ax:
        a.tick_params(labelsize=10)
    handles, labels = ax[0].get_legend_handles_labels()
    more, more_labels = ax[3].get_legend_handles_labels()
    fig.legend(handles + more, labels + more_labels, loc="lower center", ncol=len(labels) + len(more_labels),
               fontsize=11, frameon=False)
    fig.tight_layout(rect=(0, 0.09, 1, 1))
    fig.savefig(path, dpi=100)
    plt.close(fig)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Draw the distributions of zorvana into PNG files.")
    ap.add_argument("--out", default="plots", help="directory of the PNG files (default: plots)")
    ap.add_argument("--only", help="regular expression on the distribution names")
    args = ap.parse_args(argv)
    if not os.path.isdir(args.out):
        os.makedirs(args.out)
    for name, pnames, sets, span in DISTRIBUTIONS:
        if args.only and not re.search(args.only, name):
            continue
        path = os.path.join(args.out, name + ".png")
        plot(name, pnames, sets, span, path)
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
