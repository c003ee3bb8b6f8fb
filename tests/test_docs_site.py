"""The documentation site builds without a warning, and every family page
carries its four functions, rendered from the docstring table, its formula
and its picture; in a real browser the mathematics is typeset from the site's
own copy of MathJax, every image loads and search finds a function. The
README stays short and its links lead somewhere."""
import functools
import glob
import os
import re
import shutil
import subprocess
import sys
import threading

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_docs  # noqa: E402


@pytest.fixture(scope="module")
def site(tmp_path_factory):
    """The site built once, warnings as errors: its html folder."""
    pytest.importorskip("sphinx", reason="the site is built where the test extras bring Sphinx (CPython 3.8+)")
    pytest.importorskip("myst_parser")
    pytest.importorskip("matplotlib")
    tmp_path = tmp_path_factory.mktemp("site")
    out = tmp_path / "html"
    res = subprocess.run([sys.executable, "-m", "sphinx", "-W", "-q", "-b", "html", os.path.join(ROOT, "docs"),
                          str(out), "-d", str(tmp_path / "doctrees")],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    assert res.returncode == 0, res.stdout
    return out


def test_site_builds_without_warnings(site):
    out = site
    for fam in gen_docs.FAMILIES:
        with open(str(out / "families" / (fam.key + ".html"))) as f:
            page = f.read()
        for prefix in fam.prefixes:
            assert 'id="zorvana.%s%s"' % (prefix, fam.key) in page
        assert ">>> " in page or "&gt;&gt;&gt;" in page
    with open(str(out / "engines.html")) as f:
        page = f.read()
    for name, _, _ in getattr(gen_docs, "method_rows", list)():
        assert 'id="zorvana.%s"' % name in page
    images = sorted(os.listdir(str(out / "_images")))
    assert [i for i in images if i.startswith("accuracy-")], images
    assert {fam.key + ".png" for fam in gen_docs.FAMILIES} <= set(images)
    assert os.path.exists(str(out / "_static" / "mathjax" / "tex-chtml.js"))
    with open(str(out / "functions.html")) as f:
        page = f.read()
    for name, sig, _ in gen_docs.rows() + gen_docs.method_rows():  # each linked, with its parameters
        assert '#zorvana.%s"' % name in page and sig.replace("=", "") in re.sub(r"<[^>]*>|=", "", page), name


@pytest.fixture(scope="module")
def browser(site):
    """Headless Chromium driven by Selenium, on the site served over HTTP
    from a local server; skips where either is missing."""
    pytest.importorskip("selenium", reason="Selenium comes with the test extras on CPython 3.8+")
    from selenium import webdriver
    chromium = next(filter(None, map(shutil.which, ["chromium", "chromium-browser", "google-chrome"])), None)
    driver = shutil.which("chromedriver")
    if chromium is None or driver is None:
        pytest.skip("no Chromium and chromedriver (Debian: apt-get install chromium chromium-driver)")
    from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

    class Quiet(SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=str(site)))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"]:
        options.add_argument(arg)
    chrome = webdriver.Chrome(service=webdriver.ChromeService(executable_path=driver), options=options)
    chrome.set_script_timeout(30)
    base = "http://127.0.0.1:%d/" % server.server_address[1]
    yield chrome, base
    chrome.quit()
    server.shutdown()


# Raw TeX as it stands in a page before MathJax typesets it.
RAW_TEX = re.compile(r"\\[(\[]|\\(frac|text|sigma|mu|lambda|theta|Gamma|left|right|qquad|sqrt|binom)\b")


def pages(site):
    names = ["index.html", "coming-from-r.html", "functions.html", "getting-started.html", "accuracy.html"]
    return names + sorted("families/" + os.path.basename(p) for p in glob.glob(str(site / "families" / "*.html")))


def test_site_in_a_browser(site, browser):
    chrome, base = browser
    typeset = 0
    for page in pages(site):
        chrome.get(base + page)
        # MathJax's own promise: settled once the page is typeset
        chrome.execute_async_script(
            "var done = arguments[0];"
            "if (window.MathJax && MathJax.startup && MathJax.startup.promise)"
            " MathJax.startup.promise.then(function () { done(true); }, function () { done(false); });"
            "else done(null);")
        text = chrome.execute_script("return document.body.innerText")
        assert not RAW_TEX.search(text), (page, RAW_TEX.search(text).group(0))
        typeset += chrome.execute_script("return document.querySelectorAll('mjx-container').length")
        scripts = chrome.execute_script("return Array.from(document.scripts, s => s.src).filter(s => s)")
        assert all(src.startswith(base) for src in scripts), (page, scripts)  # nothing from the network
        broken = chrome.execute_script(
            "return Array.from(document.images).filter(i => !(i.complete && i.naturalWidth > 0)).map(i => i.src)")
        assert broken == [], (page, broken)
        if page.startswith("families/") and not page.endswith("index.html"):
            assert chrome.execute_script("return document.querySelectorAll('mjx-container').length") > 0, page
            assert chrome.execute_script("return document.images.length") > 0, page
    assert typeset >= len(gen_docs.FAMILIES)
    chrome.get(base + "search.html?q=qgamma")
    found = chrome.execute_async_script(
        "var done = arguments[0], t0 = Date.now();"
        "(function poll() {"
        " var hits = Array.from(document.querySelectorAll('#search-results li a'), a => a.textContent);"
        " if (hits.length || Date.now() - t0 > 20000) done(hits); else setTimeout(poll, 100);"
        "})();")
    assert any("qgamma" in hit for hit in found), found


def test_readme_is_short_and_its_links_resolve():
    with open(os.path.join(ROOT, "README.md"), "rb") as f:
        text = f.read()
    assert len(text) <= 12000, "README.md has %d bytes; the details belong on the site" % len(text)
    links = re.findall(r"\]\(([^)\s]+)\)", text.decode("utf-8"))
    assert links
    for target in links:
        if "://" not in target:
            assert os.path.exists(os.path.join(ROOT, target.partition("#")[0])), target
