"""Record every function's output bits on a fixed input set, or compare the
installed build with such a record.

    python tools/snapshot.py record  OUT.npz
    python tools/snapshot.py compare OUT.npz [--only REGEX]

The inputs are a pure function of a fixed seed: random values spread over
every argument's domain, mixed with the special values (NaN, infinities,
signed zeros, subnormals, the largest doubles, eps and 1 -/+ eps) that the
guard sequences single out. The draws are recorded from seeded engines in
the scalar, size and shape forms. A speed change is safe only when compare
reports no differing element; NaNs compare equal whatever their sign.
"""
import argparse
import re
import sys

import numpy as np

import zorvana as zv

FAMILIES = ["norm", "bern", "beta", "binom", "cauchy", "chisq", "exp", "f", "gamma", "invgamma",
            "laplace", "lnorm", "logis", "pois", "t", "unif", "weibull"]
PARAMS = {
    "norm": ["mu", "sigma"], "bern": ["prob"], "beta": ["a", "b"], "binom": ["n_trials", "prob"],
    "cauchy": ["mu", "sigma"], "chisq": ["dof"], "exp": ["rate"], "f": ["df1", "df2"],
    "gamma": ["shape", "scale"], "invgamma": ["shape", "scale"], "laplace": ["mu", "sigma"],
    "lnorm": ["mu", "sigma"], "logis": ["mu", "sigma"], "pois": ["rate"], "t": ["dof"],
    "unif": ["a", "b"], "weibull": ["shape", "scale"],
}
INTEGER_X = {"bern", "binom", "pois"}
# Functions whose elements cost tens of microseconds or more get fewer inputs.
SLOW = {"qbeta", "qf", "qgamma", "qinvgamma", "qchisq", "qt", "qnorm", "qlnorm", "qpois", "qbinom",
        "pbinom", "dbinom", "pgamma", "pchisq", "pinvgamma", "ppois"}
N_FAST, N_SLOW = 100000, 15000

TINY = [5e-324, 1e-310, 2.2250738585072014e-308, 1e-300, 1e-20, 1.1102230246251565e-16,
        2.220446049250313e-16, 4.440892098500626e-16]
HUGE = [1e15, 4503599627370496.0, 9007199254740992.0, 1e20, 1e100, 1e300, 1.7976931348623157e308]
SPECIAL = [np.nan, np.inf, -np.inf, 0.0, -0.0, 1.0, -1.0, 0.5, 2.0] + TINY + [-t for t in TINY] + HUGE + \
          [-h for h in HUGE] + [1 - 2.0 ** -53, 1 + 2.0 ** -52, 1 - 2.0 ** -52]


def _mix(rng, n, bulk, specials, share=0.08):
    out = bulk(n)
    k = int(n * share)
    idx = rng.choice(n, size=k, replace=False)
    out[idx] = rng.choice(np.asarray(specials, dtype=out.dtype), size=k)
    return out


def _positive(rng, n):
    # log-uniform over [1e-3, 1e3] with some wider spread
    e = rng.uniform(-3, 3, n)
    wide = rng.random(n) < 0.1
    e[wide] = rng.uniform(-12, 12, wide.sum())
    return 10.0 ** e


def argument(rng, fam, name, arg, n):
    if arg in ("log", "log_p"):
        return rng.random(n) < 0.5
    if arg == "x" and fam in INTEGER_X and name[0] in "dp":
        hi = 3 if fam == "bern" else 400
        v = rng.integers(-2, hi, n, dtype=np.int64)
        k = n // 50
        v[rng.choice(n, k, replace=False)] = rng.choice(
            np.array([-(2 ** 63), 2 ** 62, 2 ** 63 - 1, 10 ** 6, 10 ** 9, 10 ** 12], dtype=np.int64), k)
        return v
    if arg == "n_trials":
        top = 120 if name == "qbinom" or name == "pbinom" else 2000
        v = rng.integers(-1, top, n, dtype=np.int64)
        k = n // 200
        v[rng.choice(n, k, replace=False)] = rng.choice(np.array([0, 1, 10 ** 4, -5], dtype=np.int64), k)
        return v
    if arg == "p":
        def bulk(m):
            u = rng.random(m)
            tail = rng.random(m) < 0.3
            t = 10.0 ** rng.uniform(-20, -1, tail.sum())
            u[tail] = np.where(rng.random(tail.sum()) < 0.5, t, 1 - t)
            return u
        return _mix(rng, n, bulk, SPECIAL + [1.5, -0.5])
    if arg == "prob":
        return _mix(rng, n, lambda m: rng.random(m), SPECIAL)
    if arg in ("mu", "a") and fam != "beta":
        return _mix(rng, n, lambda m: rng.normal(0, 3, m), SPECIAL)
    if arg == "b" and fam == "unif":
        return _mix(rng, n, lambda m: rng.normal(2, 3, m), SPECIAL)
    if arg == "x":
        def bulk(m):
            kind = rng.integers(0, 4, m)
            v = np.where(kind == 0, rng.normal(0, 3, m), rng.random(m))
            v = np.where(kind == 2, _positive(rng, m), v)
            v = np.where(kind == 3, -_positive(rng, m), v)
            return v
        return _mix(rng, n, bulk, SPECIAL)
    return _mix(rng, n, lambda m: _positive(rng, m), SPECIAL)


def elementwise_inputs():
    rng = np.random.default_rng(20261207)
    for prefix in "dpq":
        for fam in FAMILIES:
            name = prefix + fam
            n = N_SLOW if name in SLOW else N_FAST
            args = (["p"] if prefix == "q" else ["x"]) + PARAMS[fam]
            if prefix != "q":
                args.append("log" if prefix == "d" else "log_p")
            vals = [argument(rng, fam, name, a, n) for a in args]
            if name in ("qbinom", "pbinom", "dbinom"):
                # keep the linear-cost arguments moderate
                vals[args.index("n_trials")] = np.minimum(vals[args.index("n_trials")], 3000)
            yield name, vals


# Parameter sets held constant over a whole array (the calling layer's
# batch paths take other routes for them than for per-element parameters).
CONSTANT_PARAMS = {
    "norm": [(0.0, 1.0), (2.5, 0.5)], "bern": [(0.3,)], "beta": [(2.0, 5.0), (0.5, 0.5)],
    "binom": [(30, 0.3)], "cauchy": [(0.0, 2.0)], "chisq": [(3.0,), (60.0,)], "exp": [(1.5,)],
    "f": [(5.0, 20.0)], "gamma": [(0.5, 1.0), (3.0, 2.0), (50.0, 0.1)], "invgamma": [(3.0, 2.0)],
    "laplace": [(1.0, 2.0)], "lnorm": [(0.0, 1.0)], "logis": [(0.0, 1.0)], "pois": [(4.0,), (100.0,)],
    "t": [(4.0,), (0.7,)], "unif": [(-1.0, 3.0)], "weibull": [(1.5, 2.0)],
}
N_CONSTANT = 4000


def constant_inputs():
    rng = np.random.default_rng(7)
    for prefix in "dpq":
        for fam in FAMILIES:
            name = prefix + fam
            for k, params in enumerate(CONSTANT_PARAMS[fam]):
                first = argument(rng, fam, name, "p" if prefix == "q" else "x", N_CONSTANT)
                if prefix != "q" and fam in INTEGER_X:
                    first = np.abs(first) % 400
                flag = [rng.random(N_CONSTANT) < 0.5] if prefix != "q" else []
                yield "{}@{}".format(name, k), [first] + list(params) + flag


# (parameters...) sets per draw function; the first ones are ordinary.
DRAW_PARAMS = {
    "rnorm": [(0.0, 1.0), (3.0, 1e-3), (0.0, -1.0)],
    "rbern": [(0.3,), (0.0,), (1.0,)],
    "rbeta": [(2.0, 3.0), (0.5, 0.5), (1e-3, 1e-3), (200.0, 1.0)],
    "rbinom": [(20, 0.3), (1000, 0.5), (0, 0.5)],
    "rcauchy": [(0.0, 1.0), (1.0, 0.0)],
    "rchisq": [(3.0,), (0.5,), (100.0,)],
    "rexp": [(1.0,), (1e-5,), (np.inf,)],
    "rf": [(3.0, 7.0), (0.5, 50.0), (1e-3, 1e-3)],
    "rgamma": [(2.5, 1.0), (0.3, 2.0), (1.0, 1.0), (1e5, 1.0)],
    "rinvgamma": [(3.0, 1.0), (0.4, 2.0)],
    "rlaplace": [(0.0, 1.0), (2.0, 3.0)],
    "rlnorm": [(0.0, 1.0), (1.0, 0.25)],
    "rlogis": [(0.0, 1.0), (-1.0, 2.0)],
    "rpois": [(4.0,), (100.0,), (0.5,), (1e4,)],
    "rt": [(5.0,), (0.7,), (np.inf,)],
    "runif": [(0.0, 1.0), (-3.0, 5.0), (2.0, 2.0)],
    "rweibull": [(1.5, 2.0), (0.3, 1.0)],
}


def draw_outputs():
    out = {}
    for name, sets in DRAW_PARAMS.items():
        f = getattr(zv, name)
        for k, params in enumerate(sets):
            e = zv.Engine(1000 + k)
            arr = f(*params, 3000 if name not in ("rpois", "rbinom") else 600, e)
            shaped = f(*params, [3, 7], e)
            scal = np.array([f(*params, e) for _ in range(40)])
            tail = f(*params, 5, e)
            out["{}#{}".format(name, k)] = np.concatenate([arr, shaped.ravel(), scal, tail])
    return out


def record_all():
    out = {}
    for name, vals in list(elementwise_inputs()) + list(constant_inputs()):
        out[name] = np.asarray(getattr(zv, name.split("@")[0])(*vals), dtype=np.float64)
    out.update(draw_outputs())
    return out


def compare(path, only):
    ref = np.load(path)
    pat = re.compile(only) if only else None
    cur = {}
    for name, vals in list(elementwise_inputs()) + list(constant_inputs()):
        if pat and not pat.search(name):
            continue
        if name not in ref.files:
            continue
        cur[name] = (np.asarray(getattr(zv, name.split("@")[0])(*vals), dtype=np.float64), vals)
    if not pat or any(pat.search(k) for k in DRAW_PARAMS):
        for k, v in draw_outputs().items():
            if not pat or pat.search(k):
                cur[k] = (v, None)
    bad = 0
    for name, (got, vals) in cur.items():
        want = ref[name]
        same = (got.view(np.uint64) == want.view(np.uint64)) | (np.isnan(got) & np.isnan(want))
        nd = int((~same).sum())
        if nd:
            bad += 1
            i = int(np.flatnonzero(~same)[0])
            where = "" if vals is None else " at " + ", ".join(
                repr(np.ravel(v)[i].item() if np.ndim(v) else v) for v in vals)
            print("{:10s} {:6d} of {} differ; first{}: {!r} was {!r}".format(
                name, nd, got.size, where, got[i].item(), want[i].item()))
    print("{} of {} outputs compared; {} differ".format(len(cur), len(ref.files), bad))
    return 1 if bad else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("mode", choices=["record", "compare"])
    ap.add_argument("path")
    ap.add_argument("--only", help="regular expression on function names")
    a = ap.parse_args()
    if a.mode == "record":
        np.savez_compressed(a.path, **record_all())
        return 0
    return compare(a.path, a.only)


if __name__ == "__main__":
    sys.exit(main())
