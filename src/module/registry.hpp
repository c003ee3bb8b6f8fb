// Registration of the element-wise functions, one group per call, in the
// order the module's attributes are created.
#pragma once

#include <pybind11/pybind11.h>

namespace zorvana {

void register_densities(pybind11::module_& m);
void register_distribution_functions(pybind11::module_& m);
void register_quantiles(pybind11::module_& m);

}  // namespace zorvana
