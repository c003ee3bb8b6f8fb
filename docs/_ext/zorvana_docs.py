"""Sphinx extension: the reference entries of zorvana's callables, from the
table in tools/gen_docs.py that the docstrings are generated from.

    .. zorvana-family:: gamma      the family's law, parameters and its four functions
    .. zorvana-callable:: Engine   one callable (Engine, set_num_threads, ...)

The numpydoc sections of the docstrings are turned into reStructuredText by
napoleon, so the site says exactly what help() says.
"""
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
        names = [p + fam.key for p in "dpqr"]
        lines = ["The {} distribution has {}.".format(fam.title, escape_rst(fam.law)), ""]
        lines += ["Parameters, in the order every function takes them after its first argument:", ""]
        for pname, text in fam.params:
            default = " (default {})".format(fam.defaults[pname]) if pname in fam.defaults else ""
            lines.append("- ``{}``{}: {}".format(pname, default, escape_rst(text)))
        lines += ["", "Invalid parameters ({}) give NaN, never an exception.".format(escape_rst(fam.invalid)),
                  "", ".. list-table::", "   :header-rows: 1", "", "   * - function", "     - computes"]
        for name, what in zip(names, ["density" if not fam.discrete else "probability mass",
                                      "distribution function", "quantile function", "random draws"]):
            lines += ["   * - :py:func:`zorvana.{}`".format(name), "     - " + what]
        lines.append("")
        for name in names:
            lines += [name, "-" * len(name), ""] + entry(name, config)
        return self.render(lines)


class CallableDirective(_Rst):
    required_arguments = 1

    def run(self):
        return self.render(entry(self.arguments[0], self.state.document.settings.env.config))


def setup(app):
    directives.register_directive("zorvana-family", FamilyDirective)
    directives.register_directive("zorvana-callable", CallableDirective)
    return {"parallel_read_safe": True, "parallel_write_safe": True, "version": "1"}
