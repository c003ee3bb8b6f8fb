// Registration of the element-wise functions and of other callables with an
// all-scalar fast entry.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "module/batch.hpp"

namespace zorvana {

// Makes the function object of a registry row and sets it as the module's
// attribute of that name.
void register_row(pybind11::module_& m, const Row& row);

// A callable with a fast entry: `fast` returns the result, or nullptr with
// no exception set to hand the call (unchanged) to the general function, or
// nullptr with an exception set. Positional arguments come first in `args`,
// then the values of the keywords named in `kwnames` (nullptr when none).
using FastFn = PyObject* (*)(int slot, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Makes a function object named `name` whose calls go to fast(slot, ...)
// and, when that declines, to `general` (a pybind11 function with the
// signatures and the errors). Its __doc__ is general's, first line kept,
// with the documentation table's text signature and body, and `note`
// before the body.
pybind11::object make_function(pybind11::module_& m, const char* name, FastFn fast, int slot,
                               const pybind11::object& general, const std::string& note = "");

// Calls a function object with the arguments as a fast entry receives them.
PyObject* call_general(PyObject* general, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Finds argument values by position or keyword for a fast entry. Returns
// false when the call does not fit: a surplus argument, an unknown or repeated keyword.
bool match_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const std::vector<PyObject*>& names, PyObject** values);

}  // namespace zorvana
