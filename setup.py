"""Build of the zorvana extension module.

Package metadata lives here rather than in a [project] table so that the
setuptools releases that still run on CPython 3.6 read it too.
"""
import os
from glob import glob

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext, naive_recompile
from setuptools import setup

# Compile translation units in parallel and skip objects newer than their
# source (a header change needs a clean build: `rm -rf build`).
ParallelCompile("NPY_NUM_BUILD_JOBS", default=2, needs_recompile=naive_recompile).install()

# The one place the version is written; the module reports it as __version__.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "VERSION")) as f:
    VERSION = f.read().strip()

# Every density, probability and quantile is fixed to the last bit by the
# order of its floating-point operations: the compiler must neither fuse a*b+c
# nor reassociate anything.
BIT_EXACT_FLAGS = ["-O2", "-ffp-contract=off", "-fno-fast-math", "-Wall", "-Wextra"]

# ZORVANA_SOFT_EXT=1 computes the extended-precision steps with the software
# x87 type even where long double is the x87 format (x86-64): the same bits,
# more slowly. Elsewhere the software type is always used.
SOFT_EXT = os.environ.get("ZORVANA_SOFT_EXT", "") not in ("", "0")


class BuildExt(build_ext):
    """Objects and the module are reused by date alone: each extended type
    compiles into its own directory, and the module is linked anew when the
    type differs from the last build's."""

    def finalize_options(self):
        build_ext.finalize_options(self)
        if SOFT_EXT:
            self.build_temp += "-soft-ext"

    def run(self):
        marker = os.path.join(os.path.dirname(self.build_temp), "extended-type")
        kind = "software" if SOFT_EXT else "default"
        last = open(marker).read() if os.path.exists(marker) else ""
        if last != kind:
            self.force = True
        build_ext.run(self)
        with open(marker, "w") as f:
            f.write(kind)


ext = Pybind11Extension(
    "zorvana",
    sorted(glob("src/**/*.cpp", recursive=True)),
    include_dirs=["src"],
    cxx_std=17,
    extra_compile_args=BIT_EXACT_FLAGS,
    define_macros=[("ZORVANA_VERSION", '"{}"'.format(VERSION))] +
                  ([("ZORVANA_SOFT_EXT", "1")] if SOFT_EXT else []),
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
    package_data={"zorvana-stubs": ["__init__.pyi"]},
    cmdclass={"build_ext": BuildExt},
    install_requires=["numpy>=1.19"],
    extras_require={
        "test": ["pytest", "hypothesis", "scipy", "mpmath", "dask[array]", "matplotlib", "mypy"],
        "bench": ["scipy", "matplotlib"],
        "plots": ["matplotlib"],
    },
    zip_safe=False,
)
