// Module entry. PYBIND11_MODULE supplies the interpreter-version test (the
// module refuses any minor version other than the one it was compiled for)
// and turns a failure during registration into an ImportError.
#include <pybind11/pybind11.h>

#include "module/registry.hpp"
#include "random/frontends.hpp"

PYBIND11_MODULE(zorvana, m) {
    m.doc() = "pybind11 wrapper for mervel/zorvana";
#if PY_VERSION_HEX < 0x03070000
    // Before 3.7 the interpreter lock is created lazily, on the first thread.
    // pybind11 looks NumPy up once, with the lock released around a
    // once-only guard; NumPy's import creates the lock in between, and the
    // first array call of a process that had not imported NumPy deadlocks.
    // Creating the lock here (what 3.7 and later do at start-up) avoids it.
    PyEval_InitThreads();
#endif
    zorvana::register_densities(m);
    zorvana::register_draws(m);  // Engine, the default engine, r-functions
    zorvana::register_distribution_functions(m);
    zorvana::register_quantiles(m);
}
