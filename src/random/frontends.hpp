// The draw side's entry: registers the Engine class, the default engine and
// the draw functions on the module.
#pragma once

#include <pybind11/pybind11.h>

namespace zorvana {

void register_draws(pybind11::module_& m);

class Engine;
// The module's shared default engine (made by register_draws).
Engine& default_engine();

// dmultinom on the module and on zorvana.accurate, rmultinom on the module.
void register_multinomial(pybind11::module_& m, pybind11::module_& accurate);

}  // namespace zorvana
