"""The documentation site builds without a warning, and every family page
carries its four functions, rendered from the docstring table; the README
stays short and its links lead somewhere."""
import os
import re
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_docs  # noqa: E402


def test_site_builds_without_warnings(tmp_path):
    pytest.importorskip("sphinx", reason="the site is built where the test extras bring Sphinx (CPython 3.8+)")
    pytest.importorskip("myst_parser")
    out = tmp_path / "html"
    res = subprocess.run([sys.executable, "-m", "sphinx", "-W", "-q", "-b", "html", os.path.join(ROOT, "docs"),
                          str(out), "-d", str(tmp_path / "doctrees")],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    assert res.returncode == 0, res.stdout
    for fam in gen_docs.FAMILIES:
        with open(str(out / "families" / (fam.key + ".html"))) as f:
            page = f.read()
        for prefix in "dpqr":
            assert 'id="zorvana.%s%s"' % (prefix, fam.key) in page
        assert ">>> " in page or "&gt;&gt;&gt;" in page
    with open(str(out / "engines.html")) as f:
        page = f.read()
    for name, _, _ in getattr(gen_docs, "method_rows", list)():
        assert 'id="zorvana.%s"' % name in page
    images = sorted(os.listdir(str(out / "_images")))
    assert [i for i in images if i.startswith("accuracy-")], images


def test_readme_is_short_and_its_links_resolve():
    with open(os.path.join(ROOT, "README.md"), "rb") as f:
        text = f.read()
    assert len(text) <= 12000, "README.md has %d bytes; the details belong on the site" % len(text)
    links = re.findall(r"\]\(([^)\s]+)\)", text.decode("utf-8"))
    assert links
    for target in links:
        if "://" not in target:
            assert os.path.exists(os.path.join(ROOT, target.partition("#")[0])), target
