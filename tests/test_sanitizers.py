"""The C++ probes and the pool driver built with AddressSanitizer and
UndefinedBehaviorSanitizer, and with ThreadSanitizer, each run on a share of
its usual work: any report fails the run. Skipped, with the reason, where the
compiler cannot build and run a sanitized program."""
import glob
import os
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import CXXFLAGS, ROOT

# The programs under test do not involve the interpreter: one run per CI, on
# the newer interpreter.
pytestmark = pytest.mark.skipif(sys.version_info < (3, 8), reason="C++ only; run on the newer interpreter")

SANITIZERS = {
    "address+undefined": ["-fsanitize=address,undefined", "-fno-sanitize-recover=all", "-fno-omit-frame-pointer"],
    "thread": ["-fsanitize=thread"],
}
ENV = {
    "ASAN_OPTIONS": "abort_on_error=0:detect_leaks=1:exitcode=23",
    "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1:exitcode=23",
    # The driver's forked children start threads; the runtime supports it
    # when told to.
    "TSAN_OPTIONS": "halt_on_error=1:exitcode=23:die_after_fork=0",
}
LAYERS = ["kernels", "distributions", "accurate", "tails"]
EXTRA = ["src/random/variates.cpp", "src/module/threads_pool.cpp", "src/random/engine_lock.cpp",
         "src/random/mt19937_64_jump.cpp", "src/random/mt19937_64_charpoly.cpp", "src/random/engine_state.cpp"]

TAIL_LINES = ["exp 0x1.8p+3", "log1p -0x1p-30", "lgamma 0x1.4p+1", "erfc 0x1.8p+2", "pow 0x1.8p+0 0x1p+5",
              "pnorm_upper 40 0 1 1", "pbinom_upper 40 100 0.3 0", "qbinom_upper 0.25 1000 0.3",
              "ppois_upper 12 3.5 1"]
# (probe source, arguments, stdin lines)
RUNS = [
    ("kernel_probe", ["--grid", "41"], []),
    ("discrete_probe", [], ["qbinom 0.3 100000 0.4", "pbinom 40000 100000 0.4", "qpois 0.7 5e4", "qbinom 1e-300 50 0.5"]),
    ("lanes_check", ["3000", "--inverse", "300", "sse2", "avx2", "avx512"], []),
    ("mt_check", [], ["mt 5489 2000", "state 7 700 20", "word 12345678901", "last 0.3", "polar 0.25 0.5",
                      "stuck 2", "strides 7 224 3", "strides 9 128 1000001", "fault 5 700 none", "fault 5 7 zero-low",
                      "fault 5 7 next"]),
    ("soft_ext_check", ["3000"], []),
    ("tail_probe", [], TAIL_LINES),
    ("pool_driver", [], []),
]


def compiler():
    return shutil.which("g++") or shutil.which("clang++")


def unsupported(cxx, flags, tmp):
    """Why a sanitized program cannot be built and run here, or None."""
    if cxx is None:
        return "no C++ compiler"
    src = os.path.join(tmp, "empty.cpp")
    with open(src, "w") as f:
        f.write("#include <thread>\nint main() { std::thread t([] {}); t.join(); return 0; }\n")
    exe = os.path.join(tmp, "empty")
    build = subprocess.run([cxx, "-std=c++17", "-pthread"] + flags + [src, "-o", exe], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, universal_newlines=True)
    if build.returncode != 0:
        return "%s cannot build with %s: %s" % (cxx, " ".join(flags), build.stdout.strip()[-300:])
    run = subprocess.run([exe], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True,
                         env=dict(os.environ, **ENV))
    if run.returncode != 0:
        return "a program built with %s does not run here: %s" % (" ".join(flags), run.stdout.strip()[-300:])
    return None


@pytest.fixture(scope="module", params=sorted(SANITIZERS))
def sanitized(request, tmp_path_factory):
    """(name, {probe: executable}) for one sanitizer: the layers compiled
    once (two at a time) into a library, each probe linked against it."""
    name, flags = request.param, SANITIZERS[request.param]
    out = str(tmp_path_factory.mktemp("sanitized"))
    cxx = compiler()
    reason = unsupported(cxx, flags, out)
    if reason:
        pytest.skip(reason)
    base = [cxx] + CXXFLAGS + ["-O1", "-g", "-pthread", "-I", os.path.join(ROOT, "src")] + flags
    sources = [s for layer in LAYERS for s in sorted(glob.glob(os.path.join(ROOT, "src", layer, "*.cpp")))]
    sources += [os.path.join(ROOT, s) for s in EXTRA]

    def compile_one(k):
        obj = os.path.join(out, "%d.o" % k)
        subprocess.run(base + ["-c", sources[k], "-o", obj], check=True)
        return obj

    with ThreadPoolExecutor(2) as pool:
        objects = list(pool.map(compile_one, range(len(sources))))
    lib = os.path.join(out, "layers.a")
    subprocess.run(["ar", "rcs", lib] + objects, check=True)
    exes = {}
    for probe, _, _ in RUNS:
        exe = os.path.join(out, probe)
        subprocess.run(base + [os.path.join(ROOT, "tests", "cpp", probe + ".cpp"), lib, "-o", exe], check=True)
        exes[probe] = exe
    return name, exes


@pytest.mark.parametrize("probe,args,lines", RUNS, ids=[r[0] for r in RUNS])
def test_clean_under_sanitizer(sanitized, probe, args, lines):
    name, exes = sanitized
    run = subprocess.run([exes[probe]] + args, input="\n".join(lines) + "\n", stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, universal_newlines=True, env=dict(os.environ, **ENV), timeout=600)
    report = run.stderr.strip()
    assert run.returncode == 0 and "Sanitizer" not in report and "runtime error" not in report, \
        "%s under %s (exit %d):\n%s" % (probe, name, run.returncode, report[-3000:])
    assert "unknown" not in run.stdout and run.stdout.strip()
