"""Sphinx extension: the reference entries of zorvana's callables, from the
table in tools/gen_docs.py that the docstrings are generated from.

    .. zorvana-family:: gamma      the family's law as a formula, a picture of its
                                   density and distribution function, its
                                   parameters and its four functions
    .. zorvana-callable:: Engine   one callable (Engine, set_num_threads, ...)
    .. zorvana-function-list::     every callable with its parameters, in a table

The numpydoc sections of the docstrings are turned into reStructuredText by
napoleon, so the site says exactly what help() says. The pictures are drawn
with matplotlib from the installed module when the site is built, into
docs/families/_pictures (not kept in the repository).
"""
import math
import os
import sys

from docutils.parsers.rst import Directive, directives
from docutils.statemachine import StringList
from sphinx.ext.napoleon.docstring import NumpyDocstring
from sphinx.util.nodes import nested_parse_with_titles
from docutils import nodes

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_docs  # noqa: E402

_ROWS = {}


def rows():
    """name -> (text signature, docstring body), evaluated once per build."""
    if not _ROWS:
        for name, sig, body in gen_docs.rows():
            _ROWS[name] = (sig, body)
    return _ROWS


def family(key):
    for fam in gen_docs.FAMILIES:
        if fam.key == key:
            return fam
    raise KeyError(key)


def escape_rst(text):
    """Prose of the table as reStructuredText: |x - mu| and a * b are text,
    not substitutions or emphasis."""
    return text.replace("\\", "\\\\").replace("|", "\\|").replace("*", "\\*")


def escape_body(body):
    """A docstring with its prose escaped; the examples stay as they are."""
    head, sep, examples = body.partition("Examples\n--------\n")
    return escape_rst(head) + sep + examples


def methods(cls):
    """(name, signature without self, body) of a class's documented methods."""
    out = []
    for name, sig, body in getattr(gen_docs, "method_rows", list)():
        owner, _, method = name.partition(".")
        if owner == cls:
            out.append((method, "(" + sig[1:].replace("self, ", "", 1).replace("self", "", 1), body))
    return out


def directive(kind, name, sig, body, config, module=True):
    lines = [".. py:{}:: {}{}".format(kind, name, sig)] + (["   :module: zorvana"] if module else []) + [""]
    lines += ["   " + line if line else "" for line in NumpyDocstring(escape_body(body), config).lines()]
    return lines + [""]


def entry(name, config):
    sig, body = rows()[name]
    if not name[0].isupper():
        return directive("function", name, sig, body, config)
    lines = directive("class", name, sig, body, config)
    for method, msig, mbody in methods(name):
        lines += ["   " + line if line else "" for line in directive("method", method, msig, mbody, config, False)]
    return lines


# Each family's density or mass as a formula, and what its symbols are.
LAWS = {
    "norm": (r"f(x) = \frac{1}{\sigma\sqrt{2\pi}}\, e^{-(x - \mu)^2 / (2\sigma^2)}", ""),
    "bern": (r"P(X = 1) = p, \qquad P(X = 0) = 1 - p", r"p = \text{prob}"),
    "beta": (r"f(x) = \frac{x^{a - 1} (1 - x)^{b - 1}}{B(a, b)}, \qquad 0 \le x \le 1", ""),
    "binom": (r"P(X = x) = \binom{n}{x} p^x (1 - p)^{n - x}, \qquad x = 0, 1, \dots, n",
              r"n = \text{n\_trials},\ p = \text{prob}"),
    "cauchy": (r"f(x) = \frac{1}{\pi\sigma \left(1 + \left(\frac{x - \mu}{\sigma}\right)^2\right)}", ""),
    "chisq": (r"f(x) = \frac{x^{k/2 - 1} e^{-x/2}}{2^{k/2}\, \Gamma(k/2)}, \qquad x > 0", r"k = \text{dof}"),
    "exp": (r"f(x) = \lambda e^{-\lambda x}, \qquad x \ge 0", r"\lambda = \text{rate}"),
    "f": (r"f(x) = \frac{1}{x\, B(d_1/2, d_2/2)} \sqrt{\frac{(d_1 x)^{d_1}\, d_2^{d_2}}{(d_1 x + d_2)^{d_1 + d_2}}},"
          r" \qquad x > 0", r"d_1 = \text{df1},\ d_2 = \text{df2}"),
    "gamma": (r"f(x) = \frac{x^{k - 1} e^{-x/\theta}}{\Gamma(k)\, \theta^k}, \qquad x > 0",
              r"k = \text{shape},\ \theta = \text{scale}"),
    "invgamma": (r"f(x) = \frac{\beta^\alpha}{\Gamma(\alpha)}\, x^{-\alpha - 1} e^{-\beta / x}, \qquad x > 0",
                 r"\alpha = \text{shape},\ \beta = \text{scale}"),
    "laplace": (r"f(x) = \frac{1}{2\sigma}\, e^{-|x - \mu| / \sigma}", ""),
    "lnorm": (r"f(x) = \frac{1}{x \sigma \sqrt{2\pi}}\, e^{-(\ln x - \mu)^2 / (2\sigma^2)}, \qquad x > 0", ""),
    "logis": (r"f(x) = \frac{e^{-z}}{\sigma (1 + e^{-z})^2}, \qquad z = \frac{x - \mu}{\sigma}", ""),
    "pois": (r"P(X = x) = \frac{\lambda^x e^{-\lambda}}{x!}, \qquad x = 0, 1, 2, \dots", r"\lambda = \text{rate}"),
    "t": (r"f(x) = \frac{\Gamma\left(\frac{\nu + 1}{2}\right)}{\sqrt{\nu\pi}\, \Gamma\left(\frac{\nu}{2}\right)}"
          r" \left(1 + \frac{x^2}{\nu}\right)^{-(\nu + 1)/2}", r"\nu = \text{dof}"),
    "tukey": (r"P(Q \le q) = \int_0^\infty f_S(s)\, W(q s)^r\, ds, \qquad "
              r"W(w) = n \int_{-\infty}^{\infty} \phi(z) \left(\Phi(z) - \Phi(z - w)\right)^{n - 1} dz",
              r"n = \text{n\_means},\ r = \text{n\_ranges},\ S = \sqrt{V / \text{dof}},\ V \sim \chi^2_{\text{dof}}"),
    "unif": (r"f(x) = \frac{1}{b - a}, \qquad a \le x \le b", ""),
    "nbinom": (r"P(X = x) = \frac{\Gamma(x + n)}{\Gamma(n)\, x!}\, p^n (1 - p)^x, \qquad x = 0, 1, 2, \dots",
               r"n = \text{n\_successes},\ p = \text{prob}"),
    "geom": (r"P(X = x) = p (1 - p)^x, \qquad x = 0, 1, 2, \dots", r"p = \text{prob}"),
    "hyper": (r"P(X = x) = \binom{m}{x} \binom{n}{k - x} \Big/ \binom{m + n}{k}",
              r"m = \text{n\_good},\ n = \text{n\_bad},\ k = \text{n\_drawn}"),
    "wilcox": (r"P(W = x) = c_{m,n}(x) \Big/ \binom{m + n}{m}, \qquad x = 0, 1, \dots, mn",
               r"m = \text{n\_x},\ n = \text{n\_y},\ c_{m,n}(x) = "
               r"\#\{\text{rank sets of the first sample with } W = x\}"),
    "signrank": (r"P(V = x) = c_n(x) / 2^n, \qquad x = 0, 1, \dots, n(n + 1)/2",
                 r"n = \text{n\_obs},\ c_n(x) = \#\{S \subseteq \{1, \dots, n\} : \textstyle\sum S = x\}"),
    "weibull": (r"f(x) = \frac{k}{\lambda} \left(\frac{x}{\lambda}\right)^{k - 1} e^{-(x/\lambda)^k},"
                r" \qquad x \ge 0", r"k = \text{shape},\ \lambda = \text{scale}"),
}

# The pictures: parameter sets and the range of x drawn.
PICTURES = {
    "norm": ([(0.0, 1.0), (0.0, 2.0), (2.0, 0.5)], (-5.0, 5.0)),
    "bern": ([(0.2,), (0.5,), (0.8,)], (0, 1)),
    "beta": ([(0.5, 0.5), (2.0, 5.0), (5.0, 2.0), (2.0, 2.0)], (0.0, 1.0)),
    "binom": ([(10, 0.3), (20, 0.5), (30, 0.8)], (0, 30)),
    "cauchy": ([(0.0, 0.5), (0.0, 1.0), (2.0, 1.0)], (-5.0, 5.0)),
    "chisq": ([(1.0,), (3.0,), (8.0,)], (0.0, 16.0)),
    "exp": ([(0.5,), (1.0,), (2.0,)], (0.0, 5.0)),
    "f": ([(1.0, 1.0), (5.0, 2.0), (20.0, 20.0)], (0.0, 4.0)),
    "gamma": ([(1.0, 2.0), (2.0, 2.0), (5.0, 1.0)], (0.0, 16.0)),
    "invgamma": ([(1.0, 1.0), (2.0, 1.0), (3.0, 0.5)], (0.0, 3.0)),
    "laplace": ([(0.0, 1.0), (0.0, 2.0), (2.0, 0.5)], (-5.0, 5.0)),
    "lnorm": ([(0.0, 0.25), (0.0, 0.5), (0.0, 1.0)], (0.0, 3.0)),
    "logis": ([(0.0, 1.0), (0.0, 2.0), (2.0, 0.5)], (-6.0, 6.0)),
    "pois": ([(1.0,), (4.0,), (10.0,)], (0, 20)),
    "t": ([(1.0,), (4.0,), (30.0,)], (-5.0, 5.0)),
    "tukey": ([(2, 5.0), (4, 10.0), (10, 30.0)], (0.0, 8.0)),
    "unif": ([(0.0, 1.0), (-1.0, 2.0), (0.5, 1.5)], (-1.5, 2.5)),
    "weibull": ([(0.5, 1.0), (1.5, 1.0), (5.0, 1.0)], (0.0, 2.5)),
    "nbinom": ([(1.0, 0.5), (3.0, 0.4), (10.0, 0.6)], (0, 20)),
    "geom": ([(0.2,), (0.5,), (0.8,)], (0, 15)),
    "hyper": ([(10, 20, 10), (20, 10, 15), (15, 15, 20)], (0, 20)),
    "wilcox": ([(3, 4), (5, 5), (6, 8)], (0, 48)),
    "signrank": ([(5,), (8,), (12,)], (0, 78)),
}
PICTURE_DIR = os.path.join("families", "_pictures")


def draw_pictures(app):
    """Each family's picture: density (or mass) and distribution function at
    its parameter sets, computed by the installed module."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
    import zorvana

    out = os.path.join(app.srcdir, PICTURE_DIR)
    if not os.path.isdir(out):
        os.makedirs(out)
    for fam in gen_docs.FAMILIES:
        sets, (lo, hi) = PICTURES[fam.key]
        p = getattr(zorvana, "p" + fam.key)
        if "d" in fam.prefixes:
            d = getattr(zorvana, "d" + fam.key)
        else:  # no density: the upper tail on a log scale beside the distribution function
            d = lambda x, *params: p(x, *params, lower_tail=False)
        fig, (left, right) = plt.subplots(1, 2, figsize=(8.0, 2.8), dpi=90)
        for k, params in enumerate(sets):
            label = ", ".join("{} = {:g}".format(n, v) for n, v in zip(fam.names(), params))
            if fam.discrete:
                x = np.arange(int(lo), int(hi) + 1)
                left.plot(x + 0.12 * (k - 1), d(x, *params), "o", ms=3.5, label=label)
                left.vlines(x + 0.12 * (k - 1), 0, d(x, *params), lw=1, color=left.lines[-1].get_color())
                right.step(x, p(x, *params), where="post", label=label)
            elif "d" not in fam.prefixes:
                x = np.linspace(lo, hi, 25)[1:]  # (each point is a quadrature)
                left.semilogy(x, d(x, *params), label=label)
                right.plot(x, p(x, *params), label=label)
            else:
                x = np.linspace(lo, hi, 801)
                left.plot(x, d(x, *params), label=label)
                right.plot(x, p(x, *params), label=label)
        left.set_title("{} {}".format("mass" if fam.discrete else "density", "d" + fam.key), fontsize=9)
        if "d" not in fam.prefixes:
            left.set_title("upper tail p{}(q, lower_tail=False)".format(fam.key), fontsize=9)
        right.set_title("distribution function p" + fam.key, fontsize=9)
        top = left.get_ylim()[1]
        if "d" in fam.prefixes:
            left.set_ylim(0.0, min(top, 2.5))
        right.set_ylim(-0.02, 1.02)
        for ax in (left, right):
            ax.tick_params(labelsize=8)
            ax.grid(alpha=0.3)
        left.legend(fontsize=7, frameon=False)
        fig.tight_layout()
        fig.savefig(os.path.join(out, fam.key + ".png"))
        plt.close(fig)
    # The multinomial: the mass of the first two of three counts (the third
    # takes the rest of N = 20), prob = (0.2, 0.3, 0.5).
    n = 20
    x1, x2 = np.meshgrid(np.arange(n + 1), np.arange(n + 1), indexing="ij")
    counts = np.stack([x1, x2, n - x1 - x2], axis=-1)
    mass = np.where(counts[..., 2] >= 0, zorvana.dmultinom(np.maximum(counts, 0), [0.2, 0.3, 0.5]), np.nan)
    fig, ax = plt.subplots(figsize=(4.4, 3.4), dpi=90)
    im = ax.imshow(mass.T, origin="lower", cmap="viridis")
    ax.set_xlabel("x1", fontsize=8)
    ax.set_ylabel("x2", fontsize=8)
    ax.set_title("dmultinom([x1, x2, 20 - x1 - x2], [0.2, 0.3, 0.5])", fontsize=8)
    ax.tick_params(labelsize=8)
    fig.colorbar(im, ax=ax).ax.tick_params(labelsize=7)
    fig.tight_layout()
    fig.savefig(os.path.join(out, "multinom.png"))
    plt.close(fig)


class _Rst(Directive):
    def render(self, lines):
        node = nodes.section() if self.name == "zorvana-family" else nodes.container()
        node.document = self.state.document
        nested_parse_with_titles(self.state, StringList(lines, source="tools/gen_docs.py"), node)
        return node.children


class FamilyDirective(_Rst):
    required_arguments = 1

    def run(self):
        config = self.state.document.settings.env.config
        fam = family(self.arguments[0])
        names = [p + fam.key for p in fam.prefixes]
        formula, symbols = LAWS[fam.key]
        what = "distribution function" if "d" not in fam.prefixes else "mass" if fam.discrete else "density"
        lines = ["The {} distribution has the {}".format(fam.title, what), "",
                 ".. math::", "", "   " + formula, ""]
        if symbols:
            lines += ["with :math:`{}`.".format(symbols), ""]
        shown = ("d{0} and p{0}" if "d" in fam.prefixes else "p{0} and its upper tail").format(fam.key)
        shown_rst = ("``d{0}`` and ``p{0}``" if "d" in fam.prefixes else "``p{0}`` and its upper tail").format(fam.key)
        lines += [".. figure:: /{}/{}.png".format(PICTURE_DIR.replace(os.sep, "/"), fam.key),
                  "   :alt: {0} at a few parameter sets".format(shown), "",
                  "   {0} at a few parameter sets, drawn by the module itself.".format(shown_rst), ""]
        lines += ["Parameters, in the order every function takes them after its first argument:", ""]
        for pname, text in fam.params:
            default = " (default {})".format(fam.defaults[pname]) if pname in fam.defaults else ""
            lines.append("- ``{}``{}: {}".format(pname, default, escape_rst(text)))
        lines += ["", "Invalid parameters ({}) give NaN, never an exception.".format(escape_rst(fam.invalid)),
                  "", ".. list-table::", "   :header-rows: 1", "", "   * - function", "     - computes"]
        kinds = {"d": "density" if not fam.discrete else "probability mass", "p": "distribution function",
                 "q": "quantile function", "r": "random draws"}
        for name, what in zip(names, [kinds[p] for p in fam.prefixes]):
            lines += ["   * - :py:func:`zorvana.{}`".format(name), "     - " + what]
        lines.append("")
        for name in names:
            lines += [name, "-" * len(name), ""] + entry(name, config)
        return self.render(lines)


class FunctionListDirective(_Rst):
    """Every documented callable: its signature and the first sentence of its docstring."""

    def run(self):
        lines = [".. list-table::", "   :header-rows: 1", "   :widths: 22 48 30", "",
                 "   * - function", "     - parameters", "     - computes"]
        table = [(name, sig, body) for name, (sig, body) in rows().items()]
        table += list(getattr(gen_docs, "method_rows", list)())
        for name, sig, body in table:
            first = body.split("\n\n")[0].replace("\n", " ")
            first = first.split(". ")[0].rstrip(".") + "."
            target = ":py:meth:`zorvana.{0}`" if "." in name else ":py:func:`zorvana.{0}`"
            if name[0].isupper() and "." not in name:
                target = ":py:class:`zorvana.{0}`"
            lines += ["   * - " + target.format(name), "     - ``{}``".format(sig),
                      "     - " + escape_rst(first)]
        return self.render(lines + [""])


class CallableDirective(_Rst):
    required_arguments = 1

    def run(self):
        return self.render(entry(self.arguments[0], self.state.document.settings.env.config))


def setup(app):
    directives.register_directive("zorvana-family", FamilyDirective)
    directives.register_directive("zorvana-callable", CallableDirective)
    directives.register_directive("zorvana-function-list", FunctionListDirective)
    app.connect("builder-inited", draw_pictures)
    return {"parallel_read_safe": True, "parallel_write_safe": True, "version": "1"}
