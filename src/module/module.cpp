// Module entry. PYBIND11_MODULE supplies the interpreter-version test (the
// module refuses any minor version other than the one it was compiled for)
// and turns a failure during registration into an ImportError.
#include <pybind11/pybind11.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "module/docstrings.hpp"
#include "module/registry.hpp"
#include "random/frontends.hpp"

namespace {

// Puts CPython's "name(signature)\n--\n\n" prefix before a builtin function's
// generated docstring and the body after it. The new text replaces the
// method table's docstring, which pybind11 frees like its own.
void set_function_doc(PyObject* function, const std::string& prefix, const char* body) {
    if (!PyCFunction_Check(function)) return;
    PyMethodDef* def = reinterpret_cast<PyCFunctionObject*>(function)->m_ml;
    std::string text = def->ml_doc ? def->ml_doc : "";
    while (!text.empty() && text.back() == '\n') text.pop_back();
    text = prefix + text;
    if (body != nullptr) text += std::string("\n\n") + body;
    std::free(const_cast<char*>(def->ml_doc));
    def->ml_doc = strdup(text.c_str());
}

// Gives every registered callable its documentation: CPython's
// "name(signature)\n--\n\n" prefix (read by inspect.signature; __doc__ shows
// what follows it), the generated signature lines, then the body. Functions
// get a new method-table docstring (freed by pybind11 like its own); the
// Engine class gets the prefix in its type slot and the body as __doc__.
void attach_docs(pybind11::module_& m) {
    for (auto item : pybind11::reinterpret_borrow<pybind11::dict>(m.attr("__dict__"))) {
        const std::string name = pybind11::str(item.first);
        const zorvana::Doc doc = zorvana::doc_of(name.c_str());
        if (doc.body == nullptr) continue;
        const std::string prefix = name + doc.text_signature + "\n--\n\n";
        PyObject* obj = item.second.ptr();
        if (PyCFunction_Check(obj)) {
            set_function_doc(obj, prefix, doc.body);
        } else if (PyType_Check(obj)) {
            auto* type = reinterpret_cast<PyTypeObject*>(obj);
            const std::string text = prefix + doc.body;
            char* slot = static_cast<char*>(PyObject_Malloc(text.size() + 1));
            std::memcpy(slot, text.c_str(), text.size() + 1);
            PyObject_Free(const_cast<char*>(type->tp_doc));
            type->tp_doc = slot;
            item.second.attr("__doc__") = doc.body;
            // inspect.signature reads a class's signature from its __init__.
            PyObject* init = PyDict_GetItemString(type->tp_dict, "__init__");
            if (init != nullptr && PyInstanceMethod_Check(init)) {
                const std::string args(doc.text_signature + 1);
                set_function_doc(PyInstanceMethod_GET_FUNCTION(init), "__init__(self, " + args + "\n--\n\n",
                                 nullptr);
            }
        }
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
    zorvana::register_densities(m);
    zorvana::register_draws(m);  // Engine, the default engine, r-functions
    zorvana::register_distribution_functions(m);
    zorvana::register_quantiles(m);
    attach_docs(m);
}
