// The draw side's entry: registers the Engine class, the default engine and
// the seventeen draw functions on the module.
#pragma once

#include <pybind11/pybind11.h>

namespace zorvana {

void register_draws(pybind11::module_& m);

}  // namespace zorvana
