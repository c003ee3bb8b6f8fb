// Module entry. PYBIND11_MODULE supplies the interpreter-version test (the
// module refuses any minor version other than the one it was compiled for)
// and turns a failure during registration into an ImportError.
#include <pybind11/pybind11.h>

#include <stdexcept>

#include "module/elementwise.hpp"
#include "module/registry.hpp"
#include "module/threads.hpp"
#include "random/frontends.hpp"

namespace py = pybind11;

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
    zorvana::record_main_thread();
    zorvana::install_interrupt_check();
    zorvana::set_num_threads(zorvana::initial_num_threads());

    for (const zorvana::Row& row : zorvana::density_rows()) zorvana::register_row(m, row);
    zorvana::register_draws(m);  // Engine, the default engine, r-functions
    for (const zorvana::Row& row : zorvana::distribution_function_rows()) zorvana::register_row(m, row);
    for (const zorvana::Row& row : zorvana::quantile_rows()) zorvana::register_row(m, row);

    m.def(
        "set_num_threads",
        [](int n) {
            if (n < 1) throw py::value_error("the number of threads must be at least 1");
            zorvana::set_num_threads(n);
        },
        py::arg("n"),
        "Sets the number of threads (the calling one included) that share the elements of one large "
        "element-wise call. The start value is the environment variable ZORVANA_NUM_THREADS read at "
        "import, or else the number of cores this process may run on. Results are the same for every "
        "number of threads.");
    m.def("get_num_threads", &zorvana::num_threads,
          "The number of threads that share the elements of one large element-wise call.");
}
