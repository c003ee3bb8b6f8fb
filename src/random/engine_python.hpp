// Registers the Engine class with its constructor, repr, equality, copies
// and pickling.
#pragma once

#include <pybind11/pybind11.h>

namespace zorvana {

void register_engine(pybind11::module_& m);

}  // namespace zorvana
