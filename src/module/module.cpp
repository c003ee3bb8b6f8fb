// Module entry. PYBIND11_MODULE supplies the interpreter-version test (the
// module refuses any minor version other than the one it was compiled for)
// and turns a failure during registration into an ImportError.
#include <pybind11/pybind11.h>

#include "module/registry.hpp"
#include "random/frontends.hpp"

PYBIND11_MODULE(zorvana, m) {
    m.doc() = "pybind11 wrapper for mervel/zorvana";
    zorvana::register_densities(m);
    zorvana::register_draws(m);  // Engine, the default engine, r-functions
    zorvana::register_distribution_functions(m);
    zorvana::register_quantiles(m);
}
