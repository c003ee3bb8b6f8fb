// Module entry. PYBIND11_MODULE supplies the interpreter-version test (the
// module refuses any minor version other than the one it was compiled for)
// and turns a failure during registration into an ImportError.
#include <pybind11/pybind11.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "kernels/lanes.hpp"
#include "kernels/platform.hpp"
#include "module/docstrings.hpp"
#include "module/elementwise.hpp"
#include "module/registry.hpp"
#include "module/threads.hpp"
#include "random/frontends.hpp"

namespace py = pybind11;

namespace zorvana {
namespace {

// The argument of set_num_threads: any integer (an int, or an object with
// an integer index; not a float), its range checked by the function, so that
// every count out of range is a ValueError, however large.
struct ThreadCount {
    py::int_ value;
};

}  // namespace
}  // namespace zorvana

namespace pybind11 {
namespace detail {

template <>
struct type_caster<zorvana::ThreadCount> {
    PYBIND11_TYPE_CASTER(zorvana::ThreadCount, const_name("int"));
    bool load(handle src, bool) {
        if (PyFloat_Check(src.ptr()) || !PyIndex_Check(src.ptr())) return false;
        PyObject* index = PyNumber_Index(src.ptr());
        if (index == nullptr) {
            PyErr_Clear();
            return false;
        }
        value.value = reinterpret_steal<int_>(index);
        return true;
    }
};

}  // namespace detail
}  // namespace pybind11

namespace {

// Puts CPython's "name(signature)\n--\n\n" prefix before a builtin
// function's docstring and the body, if any, after it. The new text replaces
// the method table's docstring, which pybind11 frees like its own.
void set_function_doc(PyObject* function, const std::string& prefix, const char* body = nullptr) {
    if (!PyCFunction_Check(function)) return;
    PyMethodDef* def = reinterpret_cast<PyCFunctionObject*>(function)->m_ml;
    std::string text = prefix + (def->ml_doc ? def->ml_doc : "");
    if (body != nullptr) text += std::string("\n") + body;
    std::free(const_cast<char*>(def->ml_doc));
    def->ml_doc = strdup(text.c_str());
}

// A function registered by pybind11 with the table's text signature and body.
void document_function(py::module_& m, const char* name) {
    const zorvana::Doc doc = zorvana::doc_of(name);
    if (doc.body == nullptr) return;
    set_function_doc(m.attr(name).ptr(), std::string(name) + doc.text_signature + "\n--\n\n", doc.body);
}

// The Engine class's documentation (the functions get theirs when they are
// made): the signature prefix in its type slot, read by inspect.signature,
// the body as __doc__, and the text signature of __init__.
void document_engine(py::module_& m) {
    const zorvana::Doc doc = zorvana::doc_of("Engine");
    if (doc.body == nullptr) return;
    py::object cls = m.attr("Engine");
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    const std::string text = std::string("Engine") + doc.text_signature + "\n--\n\n" + doc.body;
    char* slot = static_cast<char*>(PyObject_Malloc(text.size() + 1));
    std::memcpy(slot, text.c_str(), text.size() + 1);
    PyObject_Free(const_cast<char*>(type->tp_doc));
    type->tp_doc = slot;
    cls.attr("__doc__") = doc.body;
    PyObject* init = PyDict_GetItemString(type->tp_dict, "__init__");
    if (init != nullptr && PyInstanceMethod_Check(init)) {
        const std::string args(doc.text_signature + 1);
        set_function_doc(PyInstanceMethod_GET_FUNCTION(init), "__init__(self, " + args + "\n--\n\n");
    }
}

}  // namespace

PYBIND11_MODULE(zorvana, m) {
    m.doc() = "pybind11 wrapper for mervel/zorvana";
    // ZORVANA_VERSION comes from the file VERSION, through setup.py.
    m.attr("__version__") = ZORVANA_VERSION;
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
    zorvana::lanes_variant();  // the lane kernels' instruction set, chosen once
    if (zorvana::platform::kForkHandlersFromInterpreter) {
        // Without pthread_atfork, a child made by os.fork runs the handlers
        // through the interpreter (CPython 3.7 and later have the hook).
        py::module_ os = py::module_::import("os");
        if (py::hasattr(os, "register_at_fork")) {
            os.attr("register_at_fork")(py::arg("after_in_child") =
                                            py::cpp_function(&zorvana::platform::run_fork_child_handlers));
        }
    }

    for (const zorvana::Row& row : zorvana::density_rows()) zorvana::register_row(m, row);
    zorvana::register_draws(m);  // Engine, the default engine, r-functions
    document_engine(m);
    for (const zorvana::Row& row : zorvana::distribution_function_rows()) zorvana::register_row(m, row);
    for (const zorvana::Row& row : zorvana::quantile_rows()) zorvana::register_row(m, row);

    m.def("set_num_threads", [](const zorvana::ThreadCount& n) {
        if (n.value < py::int_(1)) throw py::value_error("the number of threads must be at least 1");
        if (n.value > py::int_(zorvana::kMostThreads)) {
            throw py::value_error("the number of threads must be at most " + std::to_string(zorvana::kMostThreads));
        }
        zorvana::set_num_threads(n.value.cast<int>());
    }, py::arg("n"));
    m.def("get_num_threads", &zorvana::num_threads);
    for (const char* name : {"set_num_threads", "get_num_threads"}) document_function(m, name);

    // zorvana.accurate: the element-wise functions in accurate arithmetic,
    // importable as a module of its own.
    py::module_ accurate = m.def_submodule("accurate");
    const zorvana::Doc accurate_doc = zorvana::doc_of("accurate");
    if (accurate_doc.body != nullptr) accurate.doc() = accurate_doc.body;
    for (const auto& rows : {zorvana::accurate_density_rows(), zorvana::accurate_distribution_function_rows(),
                             zorvana::accurate_quantile_rows()}) {
        for (const zorvana::Row& row : rows) zorvana::register_row(accurate, row);
    }
    zorvana::register_multinomial(m, accurate);
    for (const char* name : {"dmultinom", "rmultinom"}) document_function(m, name);
    document_function(accurate, "dmultinom");
    py::module_::import("sys").attr("modules")["zorvana.accurate"] = accurate;
}
