"""Writes the module's documentation from one description of the families
(the seventeen with d, p, q and r functions, the further discrete families, the
studentized range with p and q):

- src/module/docstrings.cpp: the table that doc_of() reads, one row per
  callable (68 element-wise functions, 22 draw functions and Engine; the 68
  of zorvana.accurate as "accurate.<name>", and the submodule's own text as
  "accurate") with its text signature and docstring body;
- stubs/zorvana-stubs/__init__.pyi and accurate.pyi: the type stubs;
- docs/families/: the documentation site's page of each family, whose
  entries the site's extension (docs/_ext/zorvana_docs.py) writes from this
  same table when the site is built.

Each docstring is composed from a per-prefix template (d, p, q, r) and the
family's data below. Examples are evaluated with the installed module, so the
outputs shown are the module's own; rerun after a change of values.

Usage: python tools/gen_docs.py [--check]
  --check  compare with the committed files instead of writing (exit 1 on a difference)
"""
import os
import sys
from collections import OrderedDict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOC_TABLE = os.path.join("src", "module", "docstrings.cpp")
STUBS = os.path.join("stubs", "zorvana-stubs", "__init__.pyi")
ACCURATE_STUBS = os.path.join("stubs", "zorvana-stubs", "accurate.pyi")

# How the text signatures show an argument of a draw function that may only
# be left out, not given as None (size: one float instead of an array;
# engine: the shared default engine).
DRAW_OMITTED = "..."

EPS_NOTE = "2^-52 (about 2.2e-16)"

GAMMA_WINDOW = (
    "The incomplete gamma function P(a, z) behind {what} integrates the density only over a window "
    "around its mode when a >= 10 and z <= 3a, from 4 to 11 standard deviations (sqrt(a)) below "
    "the mode to 5 to 10 above it (5 for a up to 30); the mass beyond the upper edge is dropped. "
    "{effect}")


class Family(object):
    def __init__(self, key, title, params, law, invalid, discrete=False, defaults=None,
                 d_log_of_value=False, q_def=None, notes=None, examples=None, draw=None, accurate_only=False,
                 ncp=None, prefixes="dpqr", first="x"):
        self.key = key
        self.title = title
        self.params = params  # [(name, description)] in registry order
        self.law = law
        self.invalid = invalid
        self.discrete = discrete
        self.defaults = defaults or {}
        self.d_log_of_value = d_log_of_value
        self.q_def = q_def
        self.notes = notes or {}
        self.examples = examples or {}
        self.draw = draw
        self.accurate_only = accurate_only  # no prescribed functions: the same in both namespaces
        self.ncp = ncp  # the text of the keyword-only ncp of d, p and q, if any
        self.prefixes = prefixes
        self.first = first  # the p-function's first argument

    def names(self):
        return [n for n, _ in self.params]


NCP_NOTE = ("Keyword-only. 0 (the default, either sign) is the central distribution, computed "
            "exactly as without ncp; any other value is computed in the module's accurate "
            "arithmetic, the same bits as zorvana.accurate's: within about 1e-12 relative in both "
            "tails (densities 1e-13), logs in log space.")


def ncp_text(what, bound="ncp >= 0"):
    return "Noncentrality, {}: {}. {}".format(bound, what, NCP_NOTE)


LOCATION_SCALE = "mu : float or array_like\n    Location {mu}.\nsigma : float or array_like\n    Scale {sigma}."


# Parameters that are counts (int64 in the element-wise functions).
COUNT_PARAMS = {"n_trials", "n_good", "n_bad", "n_drawn", "n_x", "n_y", "n_obs"}

# The families added beside R's others, computed only in accurate arithmetic.
ACCURATE_ONLY_NOTE = ("This family has only the module's accurate arithmetic: the function is the same "
                      "as zorvana.accurate.{name}, bit for bit, correct to about 1e-12 relative (masses "
                      "1e-13) in both tails and in log space.")
RANK_TABLE_NOTE = ("The whole distribution is computed once per parameter pair and kept (a few tables at a "
                   "time): {what}")
OWN_ARITHMETIC = ("; it uses only the module's own arithmetic (never the platform's log or pow), so a seed "
                  "gives the same draws on every machine")


def loc_scale(mu, sigma):
    return [("mu", "Location {}.".format(mu)), ("sigma", "Scale {}.".format(sigma))]


FAMILIES = [
    Family(
        "norm", "normal",
        loc_scale("mu, the mean", "sigma >= 0, the standard deviation; sigma = 0 is a point mass at mu"),
        "density exp(-(x - mu)^2 / (2 sigma^2)) / (sigma sqrt(2 pi)) on the real line",
        "sigma < 0, or mu or sigma NaN",
        defaults={"mu": "0", "sigma": "1"},
        notes={"q": ["qnorm works from 2p - 1, which counts as -1 (or 1) within about 1.1e-16 of 0 "
                     "(or 1): qnorm(1e-17) is -inf, and just above that the rounding of 2p - 1 shows: "
                     "qnorm(1e-16) is -8.187 where the true quantile is -8.222. sigma = inf gives NaN.",
                     "For a small lower tail p, zorvana.accurate.qnorm(p) is the accurate route (or "
                     "mu - (qnorm(p, lower_tail=False) - mu)): computed for p down to the smallest double."],
               "p": ["pnorm forms the lower tail as 1 + erf, so a small lower tail loses its relative "
                     "accuracy and below 2^-52 its logarithm is -inf. By symmetry, pnorm(x, mu, sigma) "
                     "equals pnorm(2 mu - x, mu, sigma, lower_tail=False), which is accurate far out; "
                     "zorvana.accurate.pnorm computes either tail accurately."]},
        examples={"d": ["zv.dnorm(0.5)", "zv.dnorm([0.0, 1.0, 2.0], mu=1.0, sigma=2.0)"],
                  "p": ["zv.pnorm(1.96)", "zv.pnorm(-40.0, log_p=True)"],
                  "q": ["zv.qnorm(0.975)", "zv.qnorm(0.5, mu=10.0, sigma=3.0)"],
                  "r": ["zv.rnorm(engine=zv.Engine(42))", "zv.rnorm(10.0, 2.0, size=3, engine=zv.Engine(42))"]},
        draw="mu + sigma Z with Z from the polar method (two outputs per attempt)"),
    Family(
        "nbinom", "negative binomial",
        [("n_successes", "Number of successes n > 0 (need not be an integer)."),
         ("prob", "Probability of success in each trial, in (0, 1].")],
        "mass Gamma(x + n) / (Gamma(n) x!) prob^n (1 - prob)^x for counts x >= 0 (failures before the n-th "
        "success)",
        "n_successes not above 0, infinite or NaN, or prob outside (0, 1] or NaN", discrete=True,
        q_def="the least count k with pnbinom(k) >= p", accurate_only=True,
        notes={"p": ["The tails are the incomplete beta function, P(X <= x) = I_prob(n, x + 1); for a "
                     "million successes and more they hold about 1e-11 relative near the centre."]},
        examples={"d": ["zv.dnbinom(3, 2.5, 0.3)"], "p": ["zv.pnbinom(3, 2.5, 0.3)",
                                                          "zv.pnbinom(400, 2.5, 0.3, lower_tail=False)"],
                  "q": ["zv.qnbinom(0.5, 2.5, 0.3)"], "r": ["zv.rnbinom(2.5, 0.3, size=5, engine=zv.Engine(42))"]},
        draw="a Poisson variate whose mean is a gamma variate of shape n and scale (1 - prob) / prob "
             "(Marsaglia and Tsang's gamma, with the polar normal; Poisson by inversion from 0 for means "
             "below 10, else Hormann's transformed rejection, two outputs per attempt); prob = 1 gives 0 "
             "without drawing" + OWN_ARITHMETIC),
    Family(
        "geom", "geometric",
        [("prob", "Probability of success in each trial, in (0, 1].")],
        "mass prob (1 - prob)^x for counts x >= 0 (failures before the first success)",
        "prob outside (0, 1] or NaN", discrete=True, q_def="the least count k with pgeom(k) >= p",
        accurate_only=True,
        examples={"d": ["zv.dgeom(3, 0.2)"], "p": ["zv.pgeom(3, 0.2)", "zv.pgeom(10**6, 1e-3, lower_tail=False)"],
                  "q": ["zv.qgeom(0.5, 0.2)"], "r": ["zv.rgeom(0.2, size=5, engine=zv.Engine(42))"]},
        draw="floor(log(U) / log(1 - prob)) for one uniform U in (0, 1] (one output; none for prob = 1)"
             + OWN_ARITHMETIC),
    Family(
        "hyper", "hypergeometric",
        [("n_good", "Number of good items m >= 0."), ("n_bad", "Number of bad items n >= 0."),
         ("n_drawn", "Number of items drawn without replacement, k <= m + n.")],
        "mass C(m, x) C(n, k - x) / C(m + n, k): the good items among k drawn",
        "a count negative, n_drawn above n_good + n_bad, or a total of 2^53 or more", discrete=True,
        q_def="the least count x with phyper(x) >= p", accurate_only=True,
        notes={"p": ["A tail is summed term by term outward from x (its length grows with the standard "
                     "deviation; totals up to 1e9 and beyond)."]},
        examples={"d": ["zv.dhyper(3, 10, 7, 8)"], "p": ["zv.phyper(3, 10, 7, 8)",
                                                         "zv.phyper(59, 100, 10**6, 1000, lower_tail=False)"],
                  "q": ["zv.qhyper(0.5, 10, 7, 8)"], "r": ["zv.rhyper(10, 7, 8, size=5, engine=zv.Engine(42))"]},
        draw="the inverse of one uniform U in (0, 1] (one output) by a search from the mode outward, "
             "alternately down and up, the masses by their ratios (time of the order of the standard "
             "deviation)" + OWN_ARITHMETIC),
    Family(
        "wilcox", "Wilcoxon rank sum",
        [("n_x", "Size m >= 1 of the first sample."), ("n_y", "Size n >= 1 of the second sample.")],
        "mass the number of ways the first sample's ranks sum to x + m (m + 1) / 2, over C(m + n, m), "
        "for x = 0..mn (the statistic W)",
        "n_x or n_y below 1, or n_x n_y above 250000", discrete=True,
        q_def="the least count k with pwilcox(k) >= p", accurate_only=True,
        notes={k: [RANK_TABLE_NOTE.format(
            what="its counts exactly, as integers, in time about min(m, n) m n (m + n) / 64 word operations "
                 "and 8 (mn + 1) (m + n) / 64 bytes while it is made, then 16 (mn + 1) bytes kept "
                 "(640 kB for m = n = 200, made in about 0.2 s; 4 MB for m = n = 500, about 10 s). Sizes with mn "
                 "above 250000 give NaN. A Ctrl-C stops the making.")]
            for k in "dpq"},
        examples={"d": ["zv.dwilcox(10, 4, 6)"], "p": ["zv.pwilcox(10, 4, 6)",
                                                       "zv.pwilcox(100, 200, 200)"],
                  "q": ["zv.qwilcox(0.025, 4, 6)"], "r": ["zv.rwilcox(4, 6, size=5, engine=zv.Engine(42))"]},
        draw="the least k with pwilcox(k) >= U for one uniform U in (0, 1] (one output), from the "
             "table" + OWN_ARITHMETIC),
    Family(
        "signrank", "Wilcoxon signed rank",
        [("n_obs", "Number of observations n >= 1.")],
        "mass the number of subsets of 1..n summing to x, over 2^n, for x = 0..n (n + 1) / 2 "
        "(the statistic V)",
        "n_obs below 1 or above 2000", discrete=True, q_def="the least count k with psignrank(k) >= p",
        accurate_only=True,
        notes={k: [RANK_TABLE_NOTE.format(
            what="in time about n^3 / 6 operations and 16 (n (n + 1) / 2 + 1) bytes (8 MB for n = 1000, "
                 "made in about 0.2 s; 32 MB and 2.5 s for n = 2000). n_obs above 2000 gives NaN.")] for k in "dpq"},
        examples={"d": ["zv.dsignrank(10, 8)"], "p": ["zv.psignrank(10, 8)", "zv.psignrank(50000, 1000)"],
                  "q": ["zv.qsignrank(0.025, 8)"], "r": ["zv.rsignrank(8, size=5, engine=zv.Engine(42))"]},
        draw="the least k with psignrank(k) >= U for one uniform U in (0, 1] (one output), from the "
             "table" + OWN_ARITHMETIC),
    Family(
        "bern", "Bernoulli",
        [("prob", "Probability of a 1, in [0, 1].")],
        "mass prob at 1 and 1 - prob at 0",
        "prob outside [0, 1] or NaN", discrete=True, d_log_of_value=True,
        q_def="the least count k in {0, 1} with pbern(k) >= p",
        examples={"d": ["zv.dbern(1, 0.3)"], "p": ["zv.pbern(0, 0.3)"], "q": ["zv.qbern(0.8, 0.3)"],
                  "r": ["zv.rbern(0.3, size=5, engine=zv.Engine(42))"]},
        draw="1.0 when a uniform U in (0, 1] is at most prob, else 0.0 (one output)"),
    Family(
        "beta", "beta",
        [("a", "First shape, a >= 0."), ("b", "Second shape, b >= 0.")],
        "density x^(a - 1) (1 - x)^(b - 1) / B(a, b) on [0, 1]; a shape of 0 or inf makes it a "
        "point mass (at 0, 1 or 0.5)",
        "a < 0 or b < 0, or a or b NaN",
        notes={"p": ["x below {} counts as 0.".format(EPS_NOTE)]},
        ncp=ncp_text("the distribution of X / (X + Y) with X noncentral chi-squared on 2a degrees of "
                     "freedom with this ncp and Y chi-squared on 2b (a Poisson mixture of beta(a + k, b)); "
                     "a and b must then be positive and finite"),
        examples={"d": ["zv.dbeta(0.3, 2.0, 5.0)"], "p": ["zv.pbeta(0.3, 2.0, 5.0)"],
                  "q": ["zv.qbeta(0.5, 2.0, 5.0)"], "r": ["zv.rbeta(2.0, 5.0, engine=zv.Engine(42))"]},
        draw="X / (X + Y) with X, Y gamma variates of shapes a and b, X drawn first"),
    Family(
        "binom", "binomial",
        [("n_trials", "Number of trials, an integer >= 0 (a float is truncated toward zero)."),
         ("prob", "Success probability of each trial, in [0, 1].")],
        "mass C(n_trials, x) prob^x (1 - prob)^(n_trials - x) for x = 0, ..., n_trials",
        "prob outside [0, 1] or NaN, n_trials < 0", discrete=True,
        q_def="the least count k with pbinom(k, n_trials, prob) >= p",
        notes={"p": ["The masses are summed exactly, x + 1 of them."]},
        examples={"d": ["zv.dbinom(3, 10, 0.5)"], "p": ["zv.pbinom(3, 10, 0.5)"],
                  "q": ["zv.qbinom(0.5, 10, 0.3)"], "r": ["zv.rbinom(10, 0.3, size=5, engine=zv.Engine(42))"]},
        draw="the number of uniforms at most prob among n_trials of them (n_trials outputs per "
             "draw, so the cost grows with n_trials)"),
    Family(
        "cauchy", "Cauchy",
        loc_scale("mu, the median", "sigma >= 0, the half-width at half-maximum (not a standard "
                  "deviation: the Cauchy distribution has none)"),
        "density 1 / (pi sigma (1 + ((x - mu) / sigma)^2))",
        "sigma < 0, or mu or sigma NaN", d_log_of_value=True, defaults={"mu": "0", "sigma": "1"},
        notes={"d": ["sigma = 0 gives NaN."], "q": ["sigma = inf gives NaN."]},
        examples={"d": ["zv.dcauchy(1.0, 0.0, 2.0)"], "p": ["zv.pcauchy(1.0, 0.0, 2.0)"],
                  "q": ["zv.qcauchy(0.75, 0.0, 2.0)"], "r": ["zv.rcauchy(0.0, 2.0, engine=zv.Engine(42))"]},
        draw="qcauchy(U, mu, sigma) for one uniform U in (0, 1]"),
    Family(
        "chisq", "chi-squared",
        [("dof", "Degrees of freedom, dof >= 0 (need not be an integer).")],
        "density x^(dof/2 - 1) exp(-x/2) / (2^(dof/2) Gamma(dof/2)) for x > 0 (the gamma "
        "distribution with shape dof/2 and scale 2)",
        "dof < 0 or NaN",
        notes={"p": ["x below {} counts as 0.".format(EPS_NOTE),
                     GAMMA_WINDOW.format(what="pchisq(x, dof) = P(dof/2, x/2)",
                                         effect="Upper tails 1 - p then come out too large: 1 - pchisq(60, 20) "
                                                "is 1.29e-4 where the true tail is 7.12e-6; "
                                                "pchisq(60, 20, lower_tail=False) computes it directly.")],
               "q": [GAMMA_WINDOW.format(what="qchisq", effect="Upper quantiles then lie too far out: "
                                         "qchisq(0.99999, 100) is 300 where the true quantile is 172.1; "
                                         "qchisq(1e-5, 100, lower_tail=False) finds it.")]},
        ncp=ncp_text("the distribution of the sum of squares of dof independent normals of variance 1 "
                     "whose means' squares sum to ncp (a Poisson mixture, with mean ncp/2, of central "
                     "chi-squared distributions with dof + 2k degrees of freedom)"),
        examples={"d": ["zv.dchisq(2.0, 3.0)"], "p": ["zv.pchisq(3.84, 1.0)"],
                  "q": ["zv.qchisq(0.95, 1.0)", "zv.qchisq(0.99999, 100.0)"],
                  "r": ["zv.rchisq(3.0, engine=zv.Engine(42))"]},
        draw="a gamma variate of shape dof/2 and scale 2 (Marsaglia and Tsang's method)"),
    Family(
        "exp", "exponential",
        [("rate", "Rate >= 0, the reciprocal of the mean.")],
        "density rate exp(-rate x) for x >= 0",
        "rate < 0 or NaN (and rate = inf in dexp)", defaults={"rate": "1"},
        examples={"d": ["zv.dexp(1.0, 2.0)"], "p": ["zv.pexp(1.0, 2.0)"], "q": ["zv.qexp(0.5, 2.0)"],
                  "r": ["zv.rexp(2.0, size=3, engine=zv.Engine(42))"]},
        draw="qexp(U, rate) for one uniform U in (0, 1]"),
    Family(
        "f", "F",
        [("df1", "Numerator degrees of freedom, at least {}; inf allowed.".format(EPS_NOTE)),
         ("df2", "Denominator degrees of freedom, at least {}; inf allowed.".format(EPS_NOTE))],
        "the distribution of (U1/df1) / (U2/df2) for independent chi-squared U1, U2 with df1 and df2 "
        "degrees of freedom",
        "df1 or df2 below {}, or NaN".format(EPS_NOTE),
        notes={"p": ["x below {} counts as 0.".format(EPS_NOTE)]},
        ncp=ncp_text("the numerator's chi-squared is noncentral with this ncp"),
        examples={"d": ["zv.df(1.0, 3.0, 5.0)"], "p": ["zv.pf(2.0, 3.0, 5.0)"], "q": ["zv.qf(0.95, 3.0, 5.0)"],
                  "r": ["zv.rf(3.0, 5.0, engine=zv.Engine(42))"]},
        draw="((df2 / df1) X1) / X2 with X1, X2 chi-squared variates, X1 drawn first"),
    Family(
        "gamma", "gamma",
        [("shape", "Shape k >= 0."),
         ("scale", "Scale theta >= {}; a scale, not a rate: for a rate r pass "
                   "scale=1/r.".format(EPS_NOTE))],
        "density x^(k - 1) exp(-x / theta) / (Gamma(k) theta^k) for x > 0, mean k theta",
        "shape < 0, scale below {}, or either NaN".format(EPS_NOTE), defaults={"scale": "1"},
        notes={"p": ["x below {} counts as 0.".format(EPS_NOTE),
                     GAMMA_WINDOW.format(what="pgamma(x, k, theta) = P(k, x / theta)",
                                         effect="Upper tails 1 - p then come out too large: 1 - pgamma(60, 10, 2) "
                                                "is 1.29e-4 where the true tail is 7.12e-6; "
                                                "pgamma(60, 10, 2, lower_tail=False) computes it directly.")],
               "q": [GAMMA_WINDOW.format(what="qgamma", effect="Upper quantiles then lie too far out: "
                                         "qgamma(0.99999, 50, 2) is 300 where the true quantile is 172.1; "
                                         "qgamma(1e-5, 50, 2, lower_tail=False) finds it.")]},
        examples={"d": ["zv.dgamma(2.0, shape=2.0, scale=3.0)"], "p": ["zv.pgamma(2.0, shape=2.0, scale=3.0)"],
                  "q": ["zv.qgamma(0.95, shape=2.0, scale=3.0)"],
                  "r": ["zv.rgamma(2.0, 3.0, size=3, engine=zv.Engine(42))"]},
        draw="Marsaglia and Tsang's method (shapes up to 1 draw one extra uniform)"),
    Family(
        "invgamma", "inverse-gamma",
        [("shape", "Shape alpha >= 0."),
         ("scale", "Scale beta >= 0; 1/X is gamma with shape alpha and scale 1/beta.")],
        "density beta^alpha / Gamma(alpha) x^(-alpha - 1) exp(-beta / x) for x > 0",
        "shape < 0 or scale < 0, or either NaN", defaults={"scale": "1"},
        notes={"p": [GAMMA_WINDOW.format(what="pinvgamma(x, alpha, beta) = 1 - P(alpha, beta / x)",
                                         effect="Lower tails then come out too large.")],
               "q": [GAMMA_WINDOW.format(what="qinvgamma", effect="Lower quantiles then lie too close to 0.")]},
        examples={"d": ["zv.dinvgamma(0.5, 2.0, 1.0)"], "p": ["zv.pinvgamma(0.5, 2.0, 1.0)"],
                  "q": ["zv.qinvgamma(0.5, 2.0, 1.0)"], "r": ["zv.rinvgamma(2.0, 1.0, engine=zv.Engine(42))"]},
        draw="1 / G with G a gamma variate of shape alpha and scale 1/beta (a scale above 2^52 gives NaN)"),
    Family(
        "laplace", "Laplace",
        loc_scale("mu, the mean and median", "sigma >= 0 (the standard deviation is sigma sqrt(2)); "
                  "sigma = 0 is a point mass at mu"),
        "density exp(-|x - mu| / sigma) / (2 sigma)",
        "sigma < 0, or mu or sigma NaN", defaults={"mu": "0", "sigma": "1"}, notes={"q": ["sigma = inf gives NaN."]},
        examples={"d": ["zv.dlaplace(1.0, 0.0, 2.0)"], "p": ["zv.plaplace(1.0, 0.0, 2.0)"],
                  "q": ["zv.qlaplace(0.9, 0.0, 2.0)"], "r": ["zv.rlaplace(0.0, 2.0, engine=zv.Engine(42))"]},
        draw="qlaplace(U, mu, sigma) for one uniform U in (0, 1]"),
    Family(
        "lnorm", "log-normal",
        [("mu", "Mean of log(X)."), ("sigma", "Standard deviation of log(X), sigma >= 0.")],
        "density exp(-(log x - mu)^2 / (2 sigma^2)) / (x sigma sqrt(2 pi)) for x > 0",
        "sigma < 0, or mu or sigma NaN", defaults={"mu": "0", "sigma": "1"},
        notes={"d": ["x below {} counts as 0 (dlnorm(1e-17, 0, 1) is 0).".format(EPS_NOTE)],
               "p": ["x below {} counts as 0.".format(EPS_NOTE)], "q": ["sigma = inf gives NaN."]},
        examples={"d": ["zv.dlnorm(1.0, 0.0, 1.0)"], "p": ["zv.plnorm(2.0, 0.0, 1.0)"],
                  "q": ["zv.qlnorm(0.5, 1.0, 0.5)"], "r": ["zv.rlnorm(0.0, 1.0, engine=zv.Engine(42))"]},
        draw="exp(mu + sigma Z) with Z from the polar method"),
    Family(
        "logis", "logistic",
        loc_scale("mu, the mean and median", "sigma >= 0 (the standard deviation is sigma pi / sqrt(3))"),
        "density exp(-z) / (sigma (1 + exp(-z))^2) with z = (x - mu) / sigma",
        "sigma < 0, or mu or sigma NaN", defaults={"mu": "0", "sigma": "1"},
        notes={"d": ["sigma = 0 gives NaN."], "q": ["sigma = inf gives NaN."]},
        examples={"d": ["zv.dlogis(1.0, 0.0, 2.0)"], "p": ["zv.plogis(1.0, 0.0, 2.0)"],
                  "q": ["zv.qlogis(0.9, 0.0, 2.0)"], "r": ["zv.rlogis(0.0, 2.0, engine=zv.Engine(42))"]},
        draw="qlogis(U, mu, sigma) for one uniform U in (0, 1]"),
    Family(
        "pois", "Poisson",
        [("rate", "Mean lambda >= 0.")],
        "mass lambda^x exp(-lambda) / x! for counts x >= 0",
        "rate < 0 or NaN", discrete=True,
        q_def="the least count k with ppois(k, rate) > p (strictly: p equal to ppois(k) gives k + 1)",
        notes={"p": [GAMMA_WINDOW.format(what="ppois(x, rate) = 1 - P(x + 1, rate) for x > 15 or rate > 10",
                                         effect="Lower tails then come out too large: ppois(16, 50) is "
                                                "5.98e-5 where the true value is 2.04e-8.")],
               "q": [GAMMA_WINDOW.format(what="qpois", effect="Lower quantiles then come out too small: "
                                         "qpois(1e-5, 50) is 15 where the true quantile is 23.")]},
        examples={"d": ["zv.dpois(2, 3.0)"], "p": ["zv.ppois(2, 3.0)", "zv.ppois(16, 50.0)"],
                  "q": ["zv.qpois(0.5, 3.0)"], "r": ["zv.rpois(3.0, size=5, engine=zv.Engine(42))"]},
        draw="qpois(U, rate) for one uniform U in (0, 1] (a search, longer for large rates)"),
    Family(
        "t", "Student t",
        [("dof", "Degrees of freedom >= {}; need not be an integer, and inf gives the standard "
                 "normal.".format(EPS_NOTE))],
        "density Gamma((dof + 1)/2) / (sqrt(dof pi) Gamma(dof/2)) (1 + x^2/dof)^(-(dof + 1)/2)",
        "dof below {} or NaN".format(EPS_NOTE),
        notes={"q": ["For dof other than 1, 2 and inf, qt starts from Hill's approximation (1970) and "
                     "refines it by six Halley steps in the tails only; in the central branch Hill's "
                     "value is returned as it is: relative errors up to about 4e-7 for dof of 3 or more "
                     "(qt(0.975, 10) is 2.22813884 where the true quantile is 2.22813885), and more for "
                     "small dof: qt(0.47, 1.5) is -0.08692 where the true quantile is -0.08824."]},
        ncp=ncp_text("the distribution of (Z + ncp) / sqrt(V / dof), any finite ncp", "ncp"),
        examples={"d": ["zv.dt(0.0, 5.0)"], "p": ["zv.pt(2.0, 5.0)"], "q": ["zv.qt(0.975, 10.0)"],
                  "r": ["zv.rt(5.0, engine=zv.Engine(42))"]},
        draw="Z / sqrt(V / dof) with Z normal (drawn first) and V chi-squared"),
    Family(
        "tukey", "studentized range",
        [("n_means", "Number of means whose range is taken, n_means >= 2 (need not be an integer)."),
         ("dof", "Degrees of freedom of the estimate of the standard deviation, dof > 0; inf for a known "
                 "standard deviation."),
         ("n_ranges", "Number of independent ranges, n_ranges >= 1, whose largest is taken (over the same "
                      "standard deviation).")],
        "distribution function E W(q S)^n_ranges, W that of the range of n_means independent standard "
        "normals and S = sqrt(V / dof) with V chi-squared on dof degrees of freedom: the distribution of "
        "Tukey's studentized range statistic",
        "n_means < 2, dof <= 0, n_ranges < 1, or any of them NaN", defaults={"n_ranges": "1"},
        prefixes="pq", first="q", accurate_only=True,
        notes={"p": ["Both tails are integrals of positive functions (1 - W as such, not as a "
                     "difference), by Gauss-Legendre quadrature over the range's position and the log "
                     "of S, in the module's accurate arithmetic: within about 1e-10 relative for tails "
                     "down to 1e-100 and beyond, the same bits in zorvana.accurate."],
               "q": ["The quantile solves ptukey for q (in log), in the accurate arithmetic."]},
        examples={"p": ["zv.ptukey(3.5, 4, 10.0)", "zv.ptukey(10.0, 5, 20.0, lower_tail=False)"],
                  "q": ["zv.qtukey(0.95, 4, 10.0)"]}),
    Family(
        "unif", "uniform",
        [("a", "Lower end."), ("b", "Upper end, b > a.")],
        "density 1 / (b - a) on [a, b]",
        "not a < b, or a or b NaN (and infinite ends in qunif)", defaults={"a": "0", "b": "1"},
        examples={"d": ["zv.dunif(0.5, 0.0, 2.0)"], "p": ["zv.punif(0.5, 0.0, 2.0)"],
                  "q": ["zv.qunif(0.25, 0.0, 4.0)"], "r": ["zv.runif(0.0, 1.0, size=3, engine=zv.Engine(42))"]},
        draw="a' + (b - a') C with C a 53-bit uniform in [0, 1] and a' the next double above a "
             "(a itself is never drawn)"),
    Family(
        "weibull", "Weibull",
        [("shape", "Shape k, at least {}.".format(EPS_NOTE)),
         ("scale", "Scale lambda, at least {}.".format(EPS_NOTE))],
        "density (k / lambda) (x / lambda)^(k - 1) exp(-(x / lambda)^k) for x >= 0",
        "shape or scale below {}, or NaN".format(EPS_NOTE), defaults={"scale": "1"},
        notes={"p": ["x below {} counts as 0.".format(EPS_NOTE)]},
        examples={"d": ["zv.dweibull(1.0, 2.0, 1.0)"], "p": ["zv.pweibull(1.0, 2.0, 1.0)"],
                  "q": ["zv.qweibull(0.5, 2.0, 1.0)"], "r": ["zv.rweibull(2.0, 1.0, engine=zv.Engine(42))"]},
        draw="qweibull(U, shape, scale) for one uniform U in (0, 1]"),
]

# The noncentral functions, shown on the central ones' help.
NCP_EXAMPLES = {
    "dchisq": ["zv.dchisq(2.0, 3.0, ncp=1.5)"],
    "pchisq": ["zv.pchisq(400.0, 10.0, ncp=100.0, lower_tail=False)"],
    "qchisq": ["zv.qchisq(0.95, 3.0, ncp=1.5)"],
    "pt": ["zv.pt(2.0, 10.0, ncp=1.5)"],
    "pf": ["zv.pf(3.0, 4.0, 20.0, ncp=5.0, lower_tail=False)"],
    "pbeta": ["zv.pbeta(0.5, 2.0, 3.0, ncp=4.0)"],
}

# Each p-function's help shows a p-value the right way, the upper tail
# computed directly; some q-functions show the quantile of an upper tail.
P_VALUES = {
    "norm": ["zv.pnorm(5.0, lower_tail=False)", "zv.pnorm(40.0, lower_tail=False, log_p=True)"],
    "bern": ["zv.pbern(0, 0.3, lower_tail=False)"],
    "beta": ["zv.pbeta(0.99, 2.0, 5.0, lower_tail=False)"],
    "binom": ["zv.pbinom(90, 100, 0.5, lower_tail=False)"],
    "cauchy": ["zv.pcauchy(1e10, 0.0, 1.0, lower_tail=False)"],
    "chisq": ["zv.pchisq(60.0, 20.0, lower_tail=False)", "zv.pchisq(1e5, 10.0, lower_tail=False, log_p=True)"],
    "exp": ["zv.pexp(50.0, 1.0, lower_tail=False)"],
    "f": ["zv.pf(10.0, 3.0, 20.0, lower_tail=False)"],
    "gamma": ["zv.pgamma(60.0, shape=10.0, scale=2.0, lower_tail=False)"],
    "invgamma": ["zv.pinvgamma(50.0, 2.0, 1.0, lower_tail=False)"],
    "laplace": ["zv.plaplace(40.0, 0.0, 1.0, lower_tail=False)"],
    "lnorm": ["zv.plnorm(1e4, 0.0, 1.0, lower_tail=False)"],
    "logis": ["zv.plogis(40.0, 0.0, 1.0, lower_tail=False)"],
    "pois": ["zv.ppois(30, 10.0, lower_tail=False)"],
    "t": ["2 * zv.pt(4.5, 20.0, lower_tail=False)"],
    "unif": ["zv.punif(0.9, 0.0, 1.0, lower_tail=False)"],
    "weibull": ["zv.pweibull(5.0, 2.0, 1.0, lower_tail=False)"],
}
UPPER_QUANTILES = {
    "norm": ["zv.qnorm(1e-10, lower_tail=False)", "zv.qnorm(-1e4, log_p=True)"],
    "chisq": ["zv.qchisq(1e-5, 100.0, lower_tail=False)"],
    "gamma": ["zv.qgamma(1e-5, 50.0, 2.0, lower_tail=False)"],
    "pois": ["zv.qpois(1e-10, 3.0, lower_tail=False)"],
    "t": ["zv.qt(0.025, 10.0, lower_tail=False)"],
}

RETURNS = ("Returns\n-------\nfloat or numpy.ndarray of float64\n"
           "    A Python float when every argument is a scalar, otherwise an array of the\n"
           "    arguments' broadcast shape.")

ENGINE_BODY = """A random engine: one 64-bit Mersenne Twister (MT19937-64) generator.

Pass it as ``engine=`` to the draw functions. Draws made without an engine use
one shared default engine, Engine(1), made when the module is imported. Two
engines made from the same seed give the same stream, and ``Engine(e.seed)``
starts ``e``'s stream again.

Parameters
----------
seed : int, sequence of int, numpy.random.SeedSequence or None, optional
    Positional only. An int in [-2**31, 2**31) seeds the generator with its
    one-value seeding, sign-extended to 64 bits (seed -1 seeds with all bits
    set). A larger int, or a sequence of ints in [0, 2**64), is a key for the
    generator's array seeding (its authors' init_by_array64): the int's 64-bit
    words, least significant first (Engine(2**64 + 5) is Engine([5, 1])), or
    the sequence's items in order. A SeedSequence keys it with its first four
    64-bit words of generate_state. Left out (or None), the seed is 128 bits
    from the operating system (os.urandom), shown by ``seed`` and the repr so
    that the run can be repeated. An int below -2**31 or a float raises
    TypeError; an empty sequence or an item outside [0, 2**64) ValueError.

Notes
-----
``advance(n)`` skips n outputs, ``jumped(jumps)`` gives an engine jumps * 2^128
outputs further on, and ``spawn(n)`` gives n engines for parallel streams, all
by jumping along the one stream of the seed (milliseconds, whatever the
distance).

Spawning rule. An engine owns 2^s outputs from where it was made: s = 256 for
Engine(seed), 128 for a jumped engine, and 32 less than its parent's for a
spawned one. It draws from the first 2^(s - 32) of them itself; its k-th
spawned engine (k counts every spawn call, at most 2^32 - 2 in all) starts
k * 2^(s - 32) outputs past the point where that spawn was called and owns the
next 2^(s - 32). So spawned engines, their own spawned engines (five levels
down) and the parent's continuation never overlap while each draws fewer than
2^(s - 32) outputs (2^64 at the deepest level). Engines jumped from the same
engine are 2^128 outputs apart; a jumped engine and its own spawned engines
stay within the parent's first 2^(s - 32) outputs, apart from the parent's
spawned engines, while (jumps + 1) * 2^128 <= 2^(s - 32) (jumps up to
2^96 - 1 from Engine(seed)).

``seed`` is the seed as Engine() takes it again: an int, or a tuple of the
key's words for a sequence or a SeedSequence. ``repr`` shows the seed, where
the engine was made (origin: outputs from the seeding, as a sum of powers of
two, for a jumped or spawned engine), the outputs drawn or skipped since, and
how many engines it spawned. ``pickle``, ``copy.copy`` and ``copy.deepcopy``
keep the whole state, spawn count included, so the copy continues the
original's stream bit for bit (the pickle carries a format version: 2, or 3
for a seed wider than 32 bits). Engines compare equal when their seeds and
states are equal; being mutable, they are not hashable.
"""
ENGINE_EXAMPLES = ["zv.Engine([0x12345, 0x23456])",
                   "zv.runif(engine=zv.Engine(2**64 + 5)) == zv.runif(engine=zv.Engine([5, 1]))",
                   "e = zv.Engine(2024)", "zv.runif(0.0, 1.0, engine=e)", "e",
                   "import pickle", "f = pickle.loads(pickle.dumps(e))",
                   "zv.rnorm(engine=e) == zv.rnorm(engine=f)", "e.spawn(2)", "e"]

# Methods of Engine: name, signature, body, examples.
ENGINE_METHODS = [
    ("advance", "(self, n)",
     "Skips n 64-bit outputs of this engine's stream, in place: the engine ends where n draws of one "
     "output each (runif, rexp, ...) would leave it, without making them. Long skips jump along the "
     "stream by a polynomial over GF(2) and take a few tens of milliseconds at most.",
     [("n", "int", "0 <= n <= 2**256; a negative n raises ValueError, a non-integer TypeError.")],
     ["e = zv.Engine(7)", "e.advance(1000)", "f = zv.Engine(7)", "_ = zv.runif(0.0, 1.0, size=1000, engine=f)",
      "e == f"]),
    ("jumped", "(self, jumps=1)",
     "A new engine standing jumps * 2^128 outputs further along this engine's stream; this engine "
     "is unchanged. Engines jumped 1, 2, 3, ... times give streams that do not overlap for 2^128 "
     "outputs. The new engine owns 2^128 outputs (see the spawning rule of Engine).",
     [("jumps", "int, default 1", "0 <= jumps <= 2**128; a negative count raises ValueError, a "
       "non-integer TypeError.")],
     ["e = zv.Engine(7)", "e.jumped(2)", "e.jumped(2) == e.jumped().jumped()"]),
    ("spawn", "(self, n)",
     "A list of n new engines for parallel streams that overlap neither each other, nor this "
     "engine's continuation, nor the engines of its earlier spawn calls, nor their own spawned "
     "engines (the spawning rule of Engine). This engine counts the engines it spawned (the count "
     "is part of its state, pickles included); its stream is unchanged.",
     [("n", "int", "n >= 0 (spawn(0) is []); a negative n raises ValueError, a non-integer TypeError. "
       "An engine spawns at most 2**32 - 2 engines in all, and engines five levels down cannot "
       "spawn: ValueError.")],
     ["e = zv.Engine(7)", "e.spawn(2)", "e.spawn(1)", "e"]),
]


def method_rows():
    out = []
    for name, sig, text, params, examples in ENGINE_METHODS:
        body = wrap(text) + "\n\nParameters\n----------\n" + "\n".join(param(*p) for p in params)
        body += "\n\nExamples\n--------\n" + run_examples(examples)
        out.append(("Engine." + name, sig, body))
    return out


# Operators stay on one line with both operands ("1 - p" is never split).
UNBREAKABLE = [" - ", " + ", " = ", " <= ", " >= ", " < ", " > ", " / "]


def wrap(text, indent="", width=79):
    for op in UNBREAKABLE:
        text = text.replace(op, op.replace(" ", "\0"))
    words, lines, line = text.split(), [], indent
    for w in words:
        if len(line) + len(w) + (line != indent) > width and line != indent:
            lines.append(line)
            line = indent
        line += (" " if line != indent else "") + w
    lines.append(line)
    return "\n".join(lines).replace("\0", " ")


def param(name, kind, text):
    return "{} : {}\n{}".format(name, kind, wrap(text, "    "))


def run_examples(lines):
    """The doctest text of example lines, each evaluated with the installed module."""
    import numpy as np
    import zorvana
    import zorvana.accurate
    glob = {"zv": zorvana, "za": zorvana.accurate, "np": np}
    out = []
    for line in lines:
        out.append(">>> " + line)
        if line.startswith("import ") or (" = " in line and "==" not in line.split(" = ")[0]):
            exec(line, glob)
        else:
            value = eval(line, glob)
            if value is not None:
                out.append(repr(value))
    return "\n".join(out)


def flag_note(fam, prefix, accurate=False):
    if accurate:
        return ("Return the natural logarithm of the {}, computed in log space (finite wherever the {} "
                "is positive, however far below the smallest double).".format(
                    *(["probability"] * 2 if prefix == "p" else ["mass" if fam.discrete else "density"] * 2)))
    if prefix == "p":
        return ("Return the natural logarithm of the probability. For the lower tail it is the logarithm "
                "of the computed probability, so a probability below {} gives -inf; the upper tail's "
                "logarithm is computed in log space (finite wherever the tail is positive).".format(EPS_NOTE))
    if fam.d_log_of_value:
        return ("Return the natural logarithm of the {}. It is the logarithm of the computed value, "
                "so a value below {} gives -inf.".format("mass" if fam.discrete else "density", EPS_NOTE))
    return ("Return the natural logarithm of the {}, computed in the log domain (finite far into the "
            "tails).".format("mass" if fam.discrete else "density"))


def tail_note(fam, prefix, accurate=False):
    if prefix == "p":
        return ("True for the lower tail P(X <= x), False for the upper tail P(X > x), computed directly "
                "and accurate far into the tail (never as 1 minus the lower tail): the way to a p-value." +
                ("" if accurate or fam.accurate_only else " It is computed as zorvana.accurate computes it, to the same bits."))
    if fam.discrete:
        return ("True: p is a lower tail, as above. False: p is an upper tail, and the result is the least "
                "count k with P(X > k) <= p.")
    return ("True: p is the lower tail P(X <= x). False: p is the upper tail P(X > x), accurate for p "
            "far below 1e-16; p = 0 gives the upper end of the support, p = 1 the lower end." +
            ("" if accurate else " With False the quantile is computed as zorvana.accurate computes it, to "
             "the same bits."))


def log_p_note(fam, accurate=False):
    return ("True: p is given as its natural logarithm, so that probabilities far below the smallest "
            "double can be asked for (log p down to -1e4 and beyond)." +
            ("" if accurate else " With True the quantile is computed as zorvana.accurate computes it."))


ACCURATE_NOTE = ("Computed in the module's accurate arithmetic: the value correct to about 1e-12 "
                 "relative (densities 1e-13), in both tails and in log space, with the same bits on "
                 "every machine. The top-level function of the same name keeps its prescribed "
                 "arithmetic.")


RETURNS_MULTI = ("Returns\n-------\nfloat or numpy.ndarray of float64\n    A Python float where the other axes "
                 "are none, else an array of their broadcast shape.")


def elementwise(fam, prefix, accurate=False):
    name = prefix + fam.key
    what = "probability mass" if fam.discrete else "density"
    head = {
        "d": "The {} of the {} distribution, element-wise.".format(what, fam.title),
        "p": "The cumulative distribution function P(X <= x) of the {} distribution, element-wise.".format(
            fam.title),
        "q": "The quantile function of the {} distribution, element-wise: {}.".format(
            fam.title, fam.q_def or "the x with p{}(x) = p".format(fam.key)),
    }[prefix]
    parts = [wrap(head), wrap("The distribution has {}.".format(fam.law))]
    if fam.accurate_only:
        parts.append(wrap(ACCURATE_ONLY_NOTE.format(name=name)))
    elif accurate:
        parts.append(wrap(ACCURATE_NOTE))
    params = []
    if prefix == "q":
        params.append(param("p", "float or array_like", "Probability in [0, 1]."))
    elif fam.discrete:
        params.append(param("x", "int or array_like", "Count at which to evaluate (a float is truncated toward zero)."))
    else:
        params.append(param(fam.first, "float or array_like", "Where to evaluate."))
    for pname, text in fam.params:
        kind = "int or array_like" if pname in COUNT_PARAMS else "float or array_like"
        if pname in fam.defaults:
            kind += ", default " + fam.defaults[pname]
        params.append(param(pname, kind, text))
    flag = {"d": "log", "p": "log_p"}.get(prefix)
    if flag:
        params.append(param(flag, "bool or array_like, default False", flag_note(fam, prefix, accurate)))
    if prefix in "pq":
        params.append(param("lower_tail", "bool, 0 or 1, or array of bool; default True (also for None)",
                            tail_note(fam, prefix, accurate)))
    if prefix == "q":
        params.append(param("log_p", "bool or array_like, default False", log_p_note(fam, accurate)))
    if fam.ncp:
        params.append(param("ncp", "float or array_like, keyword-only, default 0", fam.ncp))
    parts.append("Parameters\n----------\n" + "\n".join(params))
    parts.append(RETURNS)
    invalid = fam.invalid + (", or p outside [0, 1] (with log_p: log p above 0)" if prefix == "q" else "")
    notes = ["Invalid arguments give NaN, never an exception: {}.".format(invalid)]
    if not accurate or fam.accurate_only:  # the notes tell where the prescribed arithmetic falls short
        notes += fam.notes.get(prefix, [])
    parts.append("Notes\n-----\n" + "\n\n".join(wrap(n) for n in notes))
    examples = fam.examples[prefix] + NCP_EXAMPLES.get(name, []) + {"p": P_VALUES, "q": UPPER_QUANTILES}.get(prefix, {}).get(fam.key, [])
    if accurate:
        examples = ["import zorvana.accurate as za"] + [e.replace("zv.", "za.") for e in examples[:2]]
        examples += ACCURATE_EXAMPLES.get(name, [])
    parts.append("Examples\n--------\n" + run_examples(examples))
    return ("accurate." if accurate else "") + name, text_signature(fam, prefix), "\n\n".join(parts)


def text_signature(fam, prefix):
    if prefix == "r":
        args = ["{}={}".format(n, fam.defaults[n]) if n in fam.defaults else n for n in fam.names()]
        args += ["size=" + DRAW_OMITTED, "engine=" + DRAW_OMITTED]
        if fam.discrete:
            args += ["*", "dtype=None"]
    else:
        args = ["p" if prefix == "q" else fam.first]
        args += ["{}={}".format(n, fam.defaults[n]) if n in fam.defaults else n for n in fam.names()]
        if prefix in "dp":
            args.append(("log" if prefix == "d" else "log_p") + "=False")
        if prefix in "pq":
            args.append("lower_tail=True")
        if prefix == "q":
            args.append("log_p=False")
        if fam.ncp:
            args += ["*", "ncp=0"]
    return "(" + ", ".join(args) + ")"


def draw(fam):
    name = "r" + fam.key
    parts = [wrap("Random draws from the {} distribution, which has {}.".format(fam.title, fam.law))]
    call = ", ".join(fam.names())
    parts.append(wrap("{n}({c}) gives one float, {n}({c}, size) a float64 array: size n gives n "
                      "draws, a sequence of ints an array of that shape. Any parameter may be an array: "
                      "the parameters broadcast together as NumPy broadcasts (and to size, when it is "
                      "given), and element i of the result, in row-major order, is the draw that the "
                      "scalar call with element i's parameters would make next, so the array equals "
                      "that loop of scalar calls bit for bit.".format(n=name, c=call)))
    params = []
    for pname, text in fam.params:
        kind = "int or array_like of int" if pname in COUNT_PARAMS else "float or array_like"
        if pname in fam.defaults:
            kind += ", default " + fam.defaults[pname]
        params.append(param(pname, kind, text))
    params.append(param("size", "int or sequence of int, optional",
                        "Leave out for one float, or, with array parameters, an array of their broadcast "
                        "shape. Element i of the array (in row-major order) is the (i + 1)-th successive "
                        "draw, exactly as that many scalar draws would give. Array parameters must "
                        "broadcast to size: otherwise ValueError, naming both shapes."))
    params.append(param("engine", "Engine, optional",
                        "The engine to draw from; left out, the module's shared default engine, "
                        "Engine(1), is used and advanced."))
    if fam.discrete:
        params.append(param("dtype", "type, keyword-only, default float64",
                            "int or numpy.int64 (or a dtype of int64) gives the counts as integers: a Python "
                            "int, or an int64 array, with the same values, drawn the same way; float or "
                            "numpy.float64 gives floats. Other types raise ValueError, what numpy.dtype "
                            "refuses TypeError; a NaN draw (invalid parameters) raises ValueError with "
                            "integers, after drawing."))
    parts.append("Parameters\n----------\n" + "\n".join(params))
    parts.append("Returns\n-------\nfloat or numpy.ndarray of float64\n"
                 "    A Python float when every parameter is a scalar and size is left out{}.".format(
                     " (int and int64 with dtype=int)" if fam.discrete else ""))
    notes = [
        "Each draw is " + fam.draw + ".",
        "Invalid parameters ({}) give NaN without advancing the engine: for all-scalar parameters "
        "the float or the whole array, for array parameters each element whose parameters are "
        "invalid.".format(fam.invalid),
        "An interrupted draw (Ctrl-C) leaves its engine advanced by what was drawn before the interruption.",
    ]
    parts.append("Notes\n-----\n" + "\n\n".join(wrap(n) for n in notes))
    parts.append("Examples\n--------\n" + run_examples(fam.examples["r"] + DRAW_ARRAY_EXAMPLES.get(name, [])))
    return name, text_signature(fam, "r"), "\n\n".join(parts)


# Draws with array parameters, shown for a few families.
DRAW_ARRAY_EXAMPLES = {
    "rnorm": ["zv.rnorm([0.0, 10.0, 100.0], 1.0, engine=zv.Engine(42))",
              "zv.rnorm([0.0, 10.0], [[1.0], [0.01]], engine=zv.Engine(42))"],
    "rbinom": ["zv.rbinom([10, 100], 0.5, size=(2, 2), engine=zv.Engine(42))",
               "zv.rbinom(10, 0.3, size=5, engine=zv.Engine(42), dtype=int)"],
    "rpois": ["zv.rpois([0.5, 5.0, 50.0], engine=zv.Engine(42))"],
    "runif": ["zv.runif(0.0, [1.0, 10.0, 100.0], engine=zv.Engine(42))"],
}


def thread_rows():
    return [
        ("set_num_threads", "(n)", wrap(
            "Sets the number of threads (the calling one included) that share the elements of one large "
            "element-wise call. The start value is the environment variable ZORVANA_NUM_THREADS read at "
            "import, or else the number of cores this process may run on. Results are the same bit for bit "
            "for every number of threads; small calls always run on the calling thread.") +
         "\n\nParameters\n----------\nn : int\n    At least 1 and at most 1024, the bounds of ZORVANA_NUM_THREADS too; any other "
         "number raises ValueError."
         "\n\nExamples\n--------\n" + run_examples(["zv.set_num_threads(2)", "zv.get_num_threads()"])),
        ("get_num_threads", "()", wrap(
            "The number of threads that share the elements of one large element-wise call "
            "(see set_num_threads).") +
         "\n\nExamples\n--------\n" + run_examples(["zv.set_num_threads(1)", "zv.get_num_threads()"])),
    ]


DMULTINOM_BODY = (
    wrap("The probability mass of the multinomial distribution along the last axis: N! / (x_1! ... x_k!) "
         "pi_1^x_1 ... pi_k^x_k for the counts x of the k categories, N their sum, and pi = prob / "
         "sum(prob).") + "\n\n" +
    wrap("Computed in the module's accurate arithmetic (the same function as zorvana.accurate.dmultinom): "
         "correct to about 1e-13 relative, its logarithm finite far below the smallest double, the same "
         "bits on every machine.") +
    "\n\nParameters\n----------\n" + "\n".join([
        param("x", "array_like", "Counts, the categories along the last axis; the other axes broadcast with "
                                 "those of prob."),
        param("prob", "array_like", "Nonnegative weights of the categories along the last axis, of the same "
                                    "length as x's; normalised by their sum."),
        param("log", "bool, default False", "Return the natural logarithm of the mass.")]) +
    "\n\n" + RETURNS_MULTI +
    "\n\nNotes\n-----\n" + wrap("Invalid arguments give NaN: a count negative, not an integer or not finite, "
                                  "a weight negative, infinite or NaN, or all weights 0. Last axes of "
                                  "different lengths, or other axes that do not broadcast, raise ValueError."))
RMULTINOM_BODY = (
    wrap("Random draws from the multinomial distribution: the counts of n_trials trials among the "
         "categories of prob (normalised by its sum), along a new last axis of len(prob).") + "\n\n" +
    "Parameters\n----------\n" + "\n".join([
        param("n_trials", "int or array_like of int", "Number of trials, a count >= 0."),
        param("prob", "array_like", "Nonnegative weights of the categories along the last axis; its other "
                                    "axes broadcast with n_trials'."),
        param("size", "int or sequence of int, optional",
              "The shape of the draws (the result has shape size + (len(prob),)); the parameters must "
              "broadcast to it. Left out: their broadcast shape. Element i in row-major order is the "
              "(i + 1)-th successive draw."),
        param("engine", "Engine, optional", "The engine to draw from; left out, the shared default engine."),
        param("dtype", "type, keyword-only, default float64", "int or numpy.int64 gives int64 counts; float "
                                                             "or numpy.float64 floats.")]) +
    "\n\nReturns\n-------\nnumpy.ndarray\n    The counts, the categories along the last axis." +
    "\n\nNotes\n-----\n" + "\n\n".join(wrap(t) for t in [
        "Each draw is a sequence of binomial draws, category by category: the trials left, with "
        "probability the category's weight over the weight left, drawn as rbinom draws them (one "
        "output per trial left); the last category with weight takes the rest, and a category of weight "
        "0, or with no trials left, draws nothing. It uses only the module's own arithmetic, so a seed "
        "gives the same draws on every machine.",
        "Invalid parameters (n_trials not a count, a weight negative, infinite or NaN, all weights 0) give "
        "NaN counts for that draw without drawing (ValueError with dtype=int).",
        "The time grows with n_trials (each binomial draw consumes one output per trial)."]) +
    "\n\nExamples\n--------\n")


def multinomial_rows():
    return [("dmultinom", "(x, prob, log=False)",
             DMULTINOM_BODY + "\n\nExamples\n--------\n" + run_examples(
                 ["zv.dmultinom([1, 2, 3], [0.2, 0.3, 0.5])", "zv.dmultinom([[1, 2, 3], [0, 0, 6]], [2, 3, 5])"])),
            ("rmultinom", "(n_trials, prob, size=None, engine=None, *, dtype=None)",
             RMULTINOM_BODY + run_examples(["zv.rmultinom(10, [0.2, 0.3, 0.5], size=2, engine=zv.Engine(42))"]))]


def rows():
    """(name, text signature, body) of every documented callable, registry order."""
    out = []
    for prefix in "dpq":
        out += [elementwise(f, prefix) for f in FAMILIES if prefix in f.prefixes]
    out += [draw(f) for f in FAMILIES if "r" in f.prefixes]
    out += multinomial_rows()
    out.append(("Engine", "(seed=None, /)", ENGINE_BODY + "\nExamples\n--------\n" + run_examples(ENGINE_EXAMPLES)))
    out += thread_rows()
    return out


ACCURATE_BODY = """The 68 element-wise functions in accurate arithmetic.

Every d-, p- and q-function of zorvana is here under the same name, with the
same arguments, defaults and calling conventions (broadcasting, a float for
scalars, threads), computed by the module's accurate arithmetic: values
correct to about 1e-12 relative (densities 1e-13) in both tails, logarithms
finite far below the smallest double, quantiles from log p, and the same bits
on every machine. The top-level functions of R's first seventeen families keep
the prescribed arithmetic, bit for bit; their upper tails and log_p quantiles
are these functions' values. The negative binomial, geometric,
hypergeometric, Wilcoxon rank sum and signed rank functions have only this
arithmetic: the top level's are these.

Import it as ``import zorvana.accurate as za`` or ``from zorvana import accurate``.
"""

# Each accurate function shows where the accurate values matter.
ACCURATE_EXAMPLES = {
    "pnorm": ["2 * za.pnorm(-11.4)", "za.pnorm(-8.3, log_p=True)"],
    "qnorm": ["za.qnorm(-1e4, log_p=True)"],
    "qchisq": ["za.qchisq(0.99999, 100.0)"],
    "ppois": ["za.ppois(16, 50.0)"],
    "qpois": ["za.qpois(1e-5, 50.0)"],
    "pbinom": ["za.pbinom(1000000, 2000000, 0.5)"],
    "qt": ["za.qt(0.975, 12.0)"],
    "pcauchy": ["za.pcauchy(1e300, 0.0, 1e-9, log_p=True, lower_tail=False)"],
    "pexp": ["za.pexp(1e-20, 1.0)"],
}


def accurate_rows():
    """The rows of zorvana.accurate: the submodule's text, then its functions."""
    out = [("accurate", None, ACCURATE_BODY)]
    for prefix in "dpq":
        out += [elementwise(f, prefix, accurate=True) for f in FAMILIES if prefix in f.prefixes]
    return out


def cpp_string(text):
    """A raw string literal that the text cannot end early."""
    assert ")doc\"" not in text
    return 'R"doc(' + text + ')doc"'


def doc_table():
    lines = [
        "// Generated by tools/gen_docs.py from its family descriptions; do not edit.",
        "// Docstrings of every callable: name, text signature, body.",
        '#include "module/docstrings.hpp"',
        "",
        "#include <cstring>",
        "",
        "namespace zorvana {",
        "",
        "namespace {",
        "",
        "struct Row {",
        "    const char* name;",
        "    Doc doc;",
        "};",
        "",
        "const Row kRows[] = {",
    ]
    for name, sig, body in rows() + method_rows() + accurate_rows():
        sig = "nullptr" if sig is None else '"{}"'.format(sig)
        lines.append('    {{"{}", {{{}, {}}}}},'.format(name, sig, cpp_string(body)))
    lines += [
        "};",
        "",
        "}  // namespace",
        "",
        "Doc doc_of(const char* name) {",
        "    for (const Row& row : kRows) {",
        "        if (std::strcmp(row.name, name) == 0) return row.doc;",
        "    }",
        "    return Doc{nullptr, nullptr};",
        "}",
        "",
        "}  // namespace zorvana",
        "",
    ]
    return "\n".join(lines)


# ---------------------------------------------------------------- stubs

def stub_param(fam, name, scalar):
    if scalar:
        t = "int" if name in COUNT_PARAMS else "float"
    else:
        t = "ArrayLike"
    return "{}: {}{}".format(name, t, " = ..." if name in fam.defaults else "")


def elementwise_stubs(out):
    ignore = "  # type: ignore[overload-overlap, misc]"
    for prefix in "dpq":
        for fam in FAMILIES:
            if prefix not in fam.prefixes:
                continue
            name = prefix + fam.key
            first = "p" if prefix == "q" else fam.first
            flags = {"d": ["log"], "p": ["log_p", "lower_tail"], "q": ["lower_tail", "log_p"]}[prefix]
            for scalar in (True, False):
                args = []
                if scalar:
                    args.append("{}: {}".format(first, "int" if fam.discrete and prefix != "q" else "float"))
                else:
                    args.append(first + ": ArrayLike")
                args += [stub_param(fam, n, scalar) for n in fam.names()]
                for f in flags:
                    args.append("{}: {} = ...".format(f, "bool" if scalar else "ArrayLike"))
                if fam.ncp:
                    args += ["*", "ncp: {} = ...".format("float" if scalar else "ArrayLike")]
                ret = "float" if scalar else "NDArray[np.float64]"
                out.append("")
                out.append("@overload")
                out.append("def {}({}) -> {}: ...{}".format(name, ", ".join(args), ret, ignore if scalar else ""))


DMULTINOM_STUBS = [
    "", "def dmultinom(x: ArrayLike, prob: ArrayLike, log: bool = ...) -> Union[float, NDArray[np.float64]]: ...",
]
RMULTINOM_STUBS = [
    "", "@overload",
    "def rmultinom(n_trials: ArrayLike, prob: ArrayLike, size: Union[int, Sequence[int], None] = ..., "
    "engine: Optional[Engine] = ..., *, dtype: Union[Type[int], Type[np.int64], np.dtype[np.int64]]) "
    "-> NDArray[np.int64]: ...",
    "", "@overload",
    "def rmultinom(n_trials: ArrayLike, prob: ArrayLike, size: Union[int, Sequence[int], None] = ..., "
    "engine: Optional[Engine] = ..., *, dtype: Optional[Type[float]] = ...) -> NDArray[np.float64]: ...",
]


def accurate_stubs():
    out = [
        "# Generated by tools/gen_docs.py; do not edit.",
        "# The all-scalar overload comes first and is narrower than the array one.",
        "# pyright: reportOverlappingOverload=false",
        "from typing import Union, overload",
        "",
        "import numpy as np",
        "from numpy.typing import ArrayLike, NDArray",
    ]
    elementwise_stubs(out)
    out += DMULTINOM_STUBS
    out.append("")
    return "\n".join(out)


def stubs():
    out = [
        "# Generated by tools/gen_docs.py; do not edit.",
        "# The all-scalar overload comes first and is narrower than the array one.",
        "# pyright: reportOverlappingOverload=false",
        "from typing import Any, ClassVar, List, Optional, Sequence, Tuple, Type, Union, overload",
        "",
        "import numpy as np",
        "from numpy.typing import ArrayLike, NDArray",
        "",
        "from . import accurate as accurate",
        "",
        "__version__: str",
        "",
        "",
        "def set_num_threads(n: int) -> None: ...",
        "def get_num_threads() -> int: ...",
        "",
        "",
        "class Engine:",
        "    def __init__(self, __seed: Union[int, Sequence[int], np.random.SeedSequence, None] = ...) -> None: ...",
        "    @property",
        "    def seed(self) -> Union[int, Tuple[int, ...]]: ...",
        "    def __eq__(self, __other: object) -> bool: ...",
        "    __hash__: ClassVar[None]  # type: ignore[assignment]",
        "    def __copy__(self) -> Engine: ...",
        "    def __deepcopy__(self, __memo: Any) -> Engine: ...",
        "    def __getstate__(self) -> Tuple[int, Union[int, Tuple[int, ...]], bytes, int, int, int, int, int]: ...",
        "    def __setstate__(self, __state: Tuple[int, ...]) -> None: ...",
        "    def advance(self, n: int) -> None: ...",
        "    def jumped(self, jumps: int = ...) -> Engine: ...",
        "    def spawn(self, n: int) -> List[Engine]: ...",
        "",
    ]
    ignore = "  # type: ignore[overload-overlap, misc]"
    elementwise_stubs(out)
    engine = "engine: Engine = ..."
    for fam in FAMILIES:
        if "r" not in fam.prefixes:
            continue
        name = "r" + fam.key
        pos = [stub_param(fam, n, True) for n in fam.names()]
        required = [p.replace(" = ...", "") for p in pos]
        # The scalar form (engine also by position), then the shape and size
        # forms, then any parameter an array (an array whatever the size).
        forms = [(pos + [engine], "float", ignore)]
        for size, ret in (("Sequence[int]", "NDArray[np.float64]"), ("int", "NDArray[np.float64]")):
            forms.append((required + ["size: " + size, engine], ret, ""))
            if fam.defaults:  # size by keyword after the distribution's defaults
                forms.append((pos + ["*", "size: " + size, engine], ret, ""))
        arrays = [stub_param(fam, n, False) for n in fam.names()]
        forms.append((arrays + ["size: Union[int, Sequence[int]] = ...", engine], "NDArray[np.float64]", ""))
        if fam.discrete:  # counts as integers with dtype=int, as floats by default
            forms = [form for args, ret, note in forms for form in (
                (args + ["*", "dtype: Union[Type[int], Type[np.int64], np.dtype[np.int64]]"],
                 "int" if ret == "float" else "NDArray[np.int64]", ignore),
                (args + ["*", "dtype: Optional[Type[float]] = ..."], ret, note))]
        for args, ret, note in forms:
            out.append("")
            out.append("@overload")
            out.append("def {}({}) -> {}: ...{}".format(name, ", ".join(args), ret, note))
    out += DMULTINOM_STUBS + RMULTINOM_STUBS
    out.append("")
    return "\n".join(out)


# ------------------------------------------------------ documentation site

FAMILY_PAGES = os.path.join("docs", "families")


def family_pages():
    """The site's page of each family (its body is written at build time by
    the zorvana-family directive of docs/_ext, from this table) and their
    index."""
    pages = OrderedDict()
    toc = ["Distributions", "=============", "",
           "Each distribution ``<dist>`` has four functions: ``d<dist>`` (density or mass),",
           "``p<dist>`` (distribution function), ``q<dist>`` (quantile function) and ``r<dist>``",
           "(random draws). The calling conventions they share are on :doc:`/calling`.", "",
           ".. toctree::", "   :maxdepth: 1", ""]
    for fam in sorted(FAMILIES, key=lambda f: f.title.lower()):
        title = "{}{} distribution".format(fam.title[0].upper(), fam.title[1:])
        pages[os.path.join(FAMILY_PAGES, fam.key + ".rst")] = "\n".join(
            [".. Generated by tools/gen_docs.py; do not edit.", "", title, "=" * len(title), "",
             ".. zorvana-family:: " + fam.key, ""])
        toc.append("   " + fam.key)
    title = "Multinomial distribution"
    pages[os.path.join(FAMILY_PAGES, "multinom.rst")] = "\n".join(
        [".. Generated by tools/gen_docs.py; do not edit.", "", title, "=" * len(title), "",
         "The multinomial distribution has the mass", "", ".. math::", "",
         r"   P(X = x) = \frac{N!}{x_1! \cdots x_k!}\, \pi_1^{x_1} \cdots \pi_k^{x_k}, \qquad "
         r"N = x_1 + \dots + x_k,\ \pi = \text{prob} / \textstyle\sum \text{prob}", "",
         ".. figure:: /families/_pictures/multinom.png", "   :alt: dmultinom of three categories", "",
         "   ``dmultinom`` of three categories, drawn by the module itself.", "",
         "It has no p- or q-function: ``dmultinom`` gives its mass along the last axis, ``rmultinom`` "
         "draws counts.", "",
         "dmultinom", "---------", "", ".. zorvana-callable:: dmultinom", "",
         "rmultinom", "---------", "", ".. zorvana-callable:: rmultinom", ""])
    toc.append("   multinom")
    pages[os.path.join(FAMILY_PAGES, "index.rst")] = "\n".join(
        [".. Generated by tools/gen_docs.py; do not edit.", ""] + toc + [""])
    return pages


def outputs():
    out = OrderedDict([(DOC_TABLE, doc_table()), (STUBS, stubs()), (ACCURATE_STUBS, accurate_stubs())])
    out.update(family_pages())
    return out


def main(argv):
    check = "--check" in argv
    stale = []
    for rel, text in outputs().items():
        path = os.path.join(ROOT, rel)
        if check:
            with open(path) as f:
                if f.read() != text:
                    stale.append(rel)
        else:
            if not os.path.isdir(os.path.dirname(path)):
                os.makedirs(os.path.dirname(path))
            with open(path, "w") as f:
                f.write(text)
    if stale:
        print("out of date (rerun tools/gen_docs.py): " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
