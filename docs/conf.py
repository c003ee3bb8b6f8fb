"""Configuration of the documentation site.

    pip install ".[docs]"
    python -m sphinx -W -b html docs docs/_build/html

The family pages draw their pictures with matplotlib at build time.

The family pages and the reference entries are written at build time from
tools/gen_docs.py, the table the docstrings are generated from, with the
installed module evaluating the examples.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "_ext"))

with open(os.path.join(HERE, os.pardir, "VERSION")) as f:
    release = f.read().strip()
version = release

project = "zorvana"
author = "the zorvana developers"
copyright = "the zorvana developers"

# Formulas are typeset by MathJax, served from the site itself (copied into
# _static/mathjax by sphinx-mathjax-offline): the pages need no network.
extensions = ["myst_parser", "sphinx.ext.napoleon", "sphinx.ext.mathjax", "sphinx-mathjax-offline", "zorvana_docs"]
source_suffix = {".rst": "restructuredtext", ".md": "markdown"}
root_doc = "index"
exclude_patterns = ["_build"]
# $...$ and $$...$$ in the Markdown pages are mathematics too.
myst_enable_extensions = ["dollarmath"]

# Section links within and between the Markdown pages (#the-same-bits-everywhere).
myst_heading_anchors = 3

html_theme = "alabaster"
html_title = "zorvana {}".format(release)
html_theme_options = {"description": "The same bits everywhere: d/p/q/r functions of seventeen distributions",
                      "fixed_sidebar": True, "page_width": "1180px", "sidebar_width": "230px"}
