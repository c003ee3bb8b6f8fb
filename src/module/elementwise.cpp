// The element-wise calling convention, the module's own loop in place of
// pybind11's vectorize with the same observable contract:
//
// - the general path is a pybind11 function with the row's declarations, so
//   argument matching, the generated signature and the TypeError text are
//   pybind11's; each argument is converted as vectorize converts it (NumPy's
//   conversion with forced casting; an array of the element type is used as
//   is), except that a count given as a float, or out of the signed 64-bit
//   range, keeps its value so that the loop can give NaN for it;
// - shapes broadcast as vectorize broadcasts them (same RuntimeError); the
//   result is a Python float for all-scalar input, otherwise a new float64
//   array, column-major when vectorize would make it so, and empty arrays are
//   returned without evaluation;
// - the elements are evaluated with the interpreter lock released, in runs
//   handed to the row's batch function, shared among threads past a measured
//   amount of work;
// - all-scalar calls with Python floats, ints and bools skip all of that:
//   the fast entry evaluates the scalar function directly and hands anything
//   else to the general path unchanged.
#include "module/elementwise.hpp"

#include <pybind11/numpy.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "module/docstrings.hpp"
#include "module/threads.hpp"

namespace py = pybind11;

namespace zorvana {

// ---- Row declarations -----------------------------------------------------

std::vector<ArgSpec> batch_detail::parse_args(const char* row, const std::vector<ArgType>& types,
                                              std::initializer_list<const char*> names) {
    if (types.size() != names.size()) throw std::logic_error(std::string("argument count of row ") + row);
    std::vector<ArgSpec> specs;
    std::size_t i = 0;
    for (const char* text : names) {
        const bool keyword_only = text[0] == '*';
        if (keyword_only) ++text;
        const char* eq = std::strchr(text, '=');
        Default fallback = Default::none;
        if (eq != nullptr) {
            const std::string value(eq + 1);
            fallback = value == "0"      ? Default::zero
                       : value == "1"    ? Default::one
                       : value == "True" ? Default::yes
                                         : Default::no;
            if (value != "0" && value != "1" && value != "False" && value != "True") {
                throw std::logic_error(std::string("default of row ") + row);
            }
        }
        // The name's text lives as long as the row's literal; keep only its stem.
        const std::size_t length = eq ? static_cast<std::size_t>(eq - text) : std::strlen(text);
        specs.push_back({(new std::string(text, length))->c_str(), types[i++], fallback, keyword_only});
    }
    return specs;
}

namespace {

// ---- Fast entries -----------------------------------------------------------

constexpr int kSlots = 256;

struct Slot {
    FastFn fast = nullptr;
    int user = 0;
    PyObject* general = nullptr;
};
Slot g_slots[kSlots];
int g_used_slots = 0;

}  // namespace

PyObject* call_general(PyObject* general, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* tuple = PyTuple_New(nargs);
    if (tuple == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < nargs; ++i) {
        Py_INCREF(args[i]);
        PyTuple_SET_ITEM(tuple, i, args[i]);
    }
    PyObject* dict = nullptr;
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) {
        dict = PyDict_New();
        for (Py_ssize_t k = 0; dict != nullptr && k < PyTuple_GET_SIZE(kwnames); ++k) {
            if (PyDict_SetItem(dict, PyTuple_GET_ITEM(kwnames, k), args[nargs + k]) != 0) Py_CLEAR(dict);
        }
        if (dict == nullptr) {
            Py_DECREF(tuple);
            return nullptr;
        }
    }
    PyObject* result = PyObject_Call(general, tuple, dict);
    Py_DECREF(tuple);
    Py_XDECREF(dict);
    return result;
}

namespace {

#if PY_VERSION_HEX >= 0x03070000
constexpr int kEntryFlags = METH_FASTCALL | METH_KEYWORDS;

template <int I>
PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    const Slot& s = g_slots[I];
    if (PyObject* r = s.fast(s.user, args, nargs, kwnames)) return r;
    if (PyErr_Occurred()) return nullptr;
    return call_general(s.general, args, nargs, kwnames);
}
#else
// CPython 3.6: a plain entry with a tuple and a dictionary.
constexpr int kEntryFlags = METH_VARARGS | METH_KEYWORDS;

template <int I>
PyObject* entry(PyObject*, PyObject* tuple, PyObject* kwargs) {
    const Slot& s = g_slots[I];
    const Py_ssize_t nargs = PyTuple_GET_SIZE(tuple);
    const Py_ssize_t nkw = kwargs ? PyDict_Size(kwargs) : 0;
    if (nargs + nkw <= 8) {
        PyObject* values[8];
        for (Py_ssize_t i = 0; i < nargs; ++i) values[i] = PyTuple_GET_ITEM(tuple, i);
        PyObject* kwnames = nullptr;
        if (nkw > 0) {
            kwnames = PyTuple_New(nkw);
            if (kwnames == nullptr) return nullptr;
            Py_ssize_t pos = 0, k = 0;
            PyObject *key, *value;
            while (PyDict_Next(kwargs, &pos, &key, &value)) {
                Py_INCREF(key);
                PyTuple_SET_ITEM(kwnames, k, key);
                values[nargs + k++] = value;
            }
        }
        PyObject* r = s.fast(s.user, values, nargs, kwnames);
        Py_XDECREF(kwnames);
        if (r != nullptr || PyErr_Occurred()) return r;
    }
    return PyObject_Call(s.general, tuple, kwargs);
}
#endif

template <int... I>
constexpr std::array<PyCFunction, sizeof...(I)> entries(std::integer_sequence<int, I...>) {
    return {reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry<I>))...};
}
const std::array<PyCFunction, kSlots> kEntries = entries(std::make_integer_sequence<int, kSlots>());

// ---- Arguments of the general path ----------------------------------------

// NumPy's flag for a conversion that always copies.
constexpr int kNpyEnsureCopy = 0x0020;

// One argument as the loop reads it: an array (kept alive here) or a Python
// scalar held by value.
struct ArgValue {
    py::object array;  // none for a held scalar
    py::object source;  // for flags: the object given
    // For counts: a bool array of the argument's shape, set where the
    // element has no count (the result is NaN there); none when none lacks one.
    py::object no_count;
    Kind kind = Kind::real;
    union {
        double real;
        std::int64_t count;
        unsigned char flag;
    } held{};
    int ndim = 0;
    std::vector<py::ssize_t> shape, strides;
    py::ssize_t size = 1, itemsize = 8;
    const char* data = nullptr;

    const char* base() const { return data != nullptr ? data : reinterpret_cast<const char*>(&held); }

    void hold_real(double v, Kind k = Kind::real) {
        held.real = v;
        kind = k;
    }
    void hold_count(std::int64_t v) {
        held.count = v;
        kind = Kind::count;
    }
    void hold_flag(bool v) {
        held.flag = v ? 1 : 0;
        kind = Kind::flag;
    }

    // NumPy's conversion to `dtype` with forced casting; false when it fails.
    bool convert(py::handle src, const py::dtype& dtype, Kind k, int extra_flags = 0) {
        auto& api = py::detail::npy_api::get();
        PyObject* a = api.PyArray_FromAny_(src.ptr(), dtype.inc_ref().ptr(), 0, 0,
                                           py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_ |
                                               py::detail::npy_api::NPY_ARRAY_FORCECAST_ | extra_flags,
                                           nullptr);
        if (a == nullptr) {
            PyErr_Clear();
            return false;
        }
        take(py::reinterpret_steal<py::array>(a), k);
        return true;
    }

    void take(py::array a, Kind k) {
        kind = k;
        ndim = static_cast<int>(a.ndim());
        shape.assign(a.shape(), a.shape() + ndim);
        strides.assign(a.strides(), a.strides() + ndim);
        size = a.size();
        itemsize = a.itemsize();
        data = static_cast<const char*>(a.data());
        array = std::move(a);
    }
};

bool load_real(ArgValue& v, py::handle src) {
    PyObject* o = src.ptr();
    if (PyFloat_Check(o)) {
        v.hold_real(PyFloat_AS_DOUBLE(o));
        return true;
    }
    if (PyLong_Check(o)) {
        const double d = PyLong_AsDouble(o);
        if (!(d == -1.0 && PyErr_Occurred())) {
            v.hold_real(d);
            return true;
        }
        PyErr_Clear();  // too large: NumPy refuses it too
    }
    return v.convert(src, py::dtype::of<double>(), Kind::real);
}

bool load_flag(ArgValue& v, py::handle src) {
    PyObject* o = src.ptr();
    v.source = py::reinterpret_borrow<py::object>(src);
    if (PyBool_Check(o) || PyLong_CheckExact(o)) {
        v.hold_flag(PyObject_IsTrue(o) == 1);
        return true;
    }
    if (PyFloat_Check(o)) {
        v.hold_flag(PyFloat_AS_DOUBLE(o) != 0.0);  // NaN is true
        return true;
    }
    return v.convert(src, py::dtype::of<bool>(), Kind::flag);
}

// An object array of counts (or a list of numbers that NumPy would make
// float64 at a loss) judged element by element as the same number given
// alone: a Python int as its value, with no count outside the signed 64-bit
// range; a float truncated toward zero, with no count when NaN, infinite or
// out of the range. False, with nothing taken, when another kind of object is
// among them.
bool load_object_counts(ArgValue& v, const py::array& objects) {
    // Column-major arrays give column-major counts, as NumPy's cast does.
    using api_t = py::detail::npy_api;
    const bool fortran = (objects.flags() & api_t::NPY_ARRAY_F_CONTIGUOUS_) != 0 &&
                         (objects.flags() & api_t::NPY_ARRAY_C_CONTIGUOUS_) == 0;
    const py::object source = fortran ? objects.attr("T") : py::object(objects);
    auto& api = api_t::get();
    PyObject* raw = api.PyArray_FromAny_(source.ptr(), py::dtype("O").inc_ref().ptr(), 0, 0,
                                         py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_ |
                                             py::detail::npy_api::NPY_ARRAY_C_CONTIGUOUS_,
                                         nullptr);
    if (raw == nullptr) {
        PyErr_Clear();
        return false;
    }
    const py::array items = py::reinterpret_steal<py::array>(raw);
    const std::vector<py::ssize_t> shape(items.shape(), items.shape() + items.ndim());
    py::array_t<std::int64_t> counts(shape);
    py::array_t<bool> none(shape);
    PyObject* const* in = static_cast<PyObject* const*>(items.data());
    std::int64_t* out = counts.mutable_data();
    bool* lacks = none.mutable_data();
    bool any = false;
    for (py::ssize_t i = 0; i < items.size(); ++i) {
        PyObject* o = in[i];
        std::int64_t c = 0;
        bool missing = false;
        if (o != nullptr && PyLong_Check(o)) {
            int overflow = 0;
            c = PyLong_AsLongLongAndOverflow(o, &overflow);
            if (c == -1 && PyErr_Occurred()) {
                PyErr_Clear();
                return false;
            }
            missing = overflow != 0;
        } else if (o != nullptr && PyFloat_Check(o)) {
            const double d = PyFloat_AS_DOUBLE(o);
            missing = !(d >= -0x1p63 && d < 0x1p63);
            if (!missing) c = static_cast<std::int64_t>(d);
        } else {
            return false;
        }
        out[i] = missing ? 0 : c;
        lacks[i] = missing;
        any = any || missing;
    }
    if (fortran) {
        v.take(py::reinterpret_borrow<py::array>(counts.attr("T")), Kind::count);
        if (any) v.no_count = none.attr("T");
    } else {
        v.take(counts, Kind::count);
        if (any) v.no_count = none;
    }
    return true;
}

// Whether a list (or tuple, nested) holds a Python int that a float64 array
// would not keep: one outside the signed 64-bit range or not a double.
bool holds_inexact_int(PyObject* o, int depth = 0) {
    if (PyList_Check(o) || PyTuple_Check(o)) {
        if (depth > 64) return false;
        const Py_ssize_t n = PySequence_Fast_GET_SIZE(o);
        for (Py_ssize_t i = 0; i < n; ++i) {
            if (holds_inexact_int(PySequence_Fast_GET_ITEM(o, i), depth + 1)) return true;
        }
        return false;
    }
    if (!PyLong_Check(o) || PyBool_Check(o)) return false;
    int overflow = 0;
    const long long c = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (c == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    if (overflow != 0) return true;
    const double d = static_cast<double>(c);
    return !(d < 0x1p63) || static_cast<long long>(d) != c;
}

// A count: integers as int64 (NumPy's cast, as vectorize did); uint64 as
// the same cast, read as beyond the range where it wraps; floats as float64
// copies (the copy keeps the memory order vectorize's int64 copy had), read
// with the NaN-count rule.
bool load_count(ArgValue& v, py::handle src) {
    PyObject* o = src.ptr();
    if (PyLong_Check(o)) {
        int overflow = 0;
        const long long c = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (overflow != 0) {
            v.hold_real(kNaN);
            return true;
        }
        if (!(c == -1 && PyErr_Occurred())) {
            v.hold_count(c);
            return true;
        }
        PyErr_Clear();
    }
    if (PyFloat_Check(o)) {
        v.hold_real(PyFloat_AS_DOUBLE(o));
        return true;
    }
    py::object a;
    if (py::isinstance<py::array>(src)) {
        a = py::reinterpret_borrow<py::object>(src);
    } else {
        PyObject* raw = py::detail::npy_api::get().PyArray_FromAny_(
            o, nullptr, 0, 0, py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_, nullptr);
        if (raw == nullptr) {
            PyErr_Clear();
            return v.convert(src, py::dtype::of<std::int64_t>(), Kind::count);
        }
        a = py::reinterpret_steal<py::object>(raw);
    }
    const py::dtype dt = py::reinterpret_borrow<py::array>(a).dtype();
    const char kind = dt.kind();
    if (kind == 'u' && dt.itemsize() == 8) return v.convert(a, py::dtype::of<std::int64_t>(), Kind::unsigned_count);
    if (kind == 'f') {
        if (!py::isinstance<py::array>(src) && holds_inexact_int(o)) {
            PyObject* raw = py::detail::npy_api::get().PyArray_FromAny_(
                o, py::dtype("O").inc_ref().ptr(), 0, 0, py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_, nullptr);
            if (raw == nullptr) {
                PyErr_Clear();
            } else {
                const py::array objects = py::reinterpret_steal<py::array>(raw);
                const py::array floats = py::reinterpret_borrow<py::array>(a);
                if (objects.ndim() == floats.ndim() &&
                    std::equal(objects.shape(), objects.shape() + objects.ndim(), floats.shape()) &&
                    load_object_counts(v, objects)) {
                    return true;
                }
            }
        }
        return v.convert(a, py::dtype::of<double>(), Kind::real, kNpyEnsureCopy);
    }
    if (kind == 'O') {
        return v.convert(a, py::dtype::of<std::int64_t>(), Kind::count) ||
               load_object_counts(v, py::reinterpret_borrow<py::array>(a)) ||
               v.convert(a, py::dtype::of<double>(), Kind::real, kNpyEnsureCopy);
    }
    return v.convert(a, py::dtype::of<std::int64_t>(), Kind::count);
}

// A new keyword (ncp) converts strictly: numbers, and arrays (or nested
// lists) of booleans, integers or floats; no strings, None or other objects.
bool load_strict_real(ArgValue& v, py::handle src) {
    PyObject* o = src.ptr();
    if (PyFloat_Check(o) || PyLong_Check(o)) return load_real(v, src);
    if (o == Py_None || PyUnicode_Check(o) || PyBytes_Check(o)) return false;
    PyObject* raw = py::detail::npy_api::get().PyArray_FromAny_(o, nullptr, 0, 0,
                                                                py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_, nullptr);
    if (raw == nullptr) {
        PyErr_Clear();
        return false;
    }
    const py::array a = py::reinterpret_steal<py::array>(raw);
    const char kind = a.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f') return false;
    return v.convert(a, py::dtype::of<double>(), Kind::real);
}

struct RealArg : ArgValue {};
struct StrictRealArg : ArgValue {};
struct CountArg : ArgValue {};
struct FlagArg : ArgValue {};

}  // namespace
}  // namespace zorvana

namespace pybind11 {
namespace detail {

template <>
struct type_caster<zorvana::RealArg> {
    PYBIND11_TYPE_CASTER(zorvana::RealArg, const_name("numpy.ndarray[numpy.float64]"));
    bool load(handle src, bool) { return zorvana::load_real(value, src); }
};
template <>
struct type_caster<zorvana::StrictRealArg> {
    PYBIND11_TYPE_CASTER(zorvana::StrictRealArg, const_name("numpy.ndarray[numpy.float64]"));
    bool load(handle src, bool) { return zorvana::load_strict_real(value, src); }
};
template <>
struct type_caster<zorvana::CountArg> {
    PYBIND11_TYPE_CASTER(zorvana::CountArg, const_name("numpy.ndarray[numpy.int64]"));
    bool load(handle src, bool) { return zorvana::load_count(value, src); }
};
template <>
struct type_caster<zorvana::FlagArg> {
    PYBIND11_TYPE_CASTER(zorvana::FlagArg, const_name("numpy.ndarray[bool]"));
    bool load(handle src, bool) { return zorvana::load_flag(value, src); }
};

}  // namespace detail
}  // namespace pybind11

namespace zorvana {
namespace {

// ---- The lower_tail flag ----------------------------------------------------

// lower_tail converts strictly, where log and log_p take what vectorize's
// bool conversion takes (any object with a truth value, so that a string or
// a float is a flag too): a bool (Python's or NumPy's), the integer 0 or 1
// (Python's or a NumPy integer scalar), or an array of bools (an ndarray, or
// a list or tuple that NumPy makes one of); None stands for the default.
// Anything else raises TypeError.
bool strict_flag(const ArgSpec& s) { return s.type == ArgType::flag && std::strcmp(s.name, "lower_tail") == 0; }

bool zero_or_one(PyObject* o) {
    int overflow = 0;
    const long v = PyLong_AsLongAndOverflow(o, &overflow);
    if (v == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    return overflow == 0 && (v == 0 || v == 1);
}

bool strict_flag_accepts(PyObject* o) {
    if (PyBool_Check(o)) return true;
    if (PyLong_Check(o)) return zero_or_one(o);
    if (PyFloat_Check(o) || PyUnicode_Check(o) || PyBytes_Check(o) || PyComplex_Check(o)) return false;
    auto& api = py::detail::npy_api::get();
    PyObject* raw = api.PyArray_FromAny_(o, nullptr, 0, 0, py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_, nullptr);
    if (raw == nullptr) {
        PyErr_Clear();
        return false;
    }
    const py::array a = py::reinterpret_steal<py::array>(raw);
    const char kind = a.dtype().kind();
    if (kind == 'b') return true;
    // A NumPy integer scalar (not an array, nor a list of integers).
    if ((kind == 'i' || kind == 'u') && a.ndim() == 0 && !py::isinstance<py::array>(o) && !PyList_Check(o) &&
        !PyTuple_Check(o) && PyIndex_Check(o)) {
        PyObject* index = PyNumber_Index(o);
        if (index == nullptr) {
            PyErr_Clear();
            return false;
        }
        const bool ok = zero_or_one(index);
        Py_DECREF(index);
        return ok;
    }
    return false;
}

// The strict flags of a general call: None becomes the default; a refused
// object raises TypeError.
void check_strict_flags(const Row& row, ArgValue* const* args, std::size_t nargs) {
    for (std::size_t a = 0; a < nargs; ++a) {
        const ArgSpec& arg = row.args[a];
        if (!strict_flag(arg)) continue;
        ArgValue& v = *args[a];
        PyObject* o = v.source.ptr();
        if (o == nullptr) continue;
        if (o == Py_None) {
            v.array = py::object();
            v.data = nullptr;
            v.ndim = 0;
            v.shape.clear();
            v.strides.clear();
            v.size = 1;
            v.hold_flag(arg.fallback == Default::yes);
        } else if (!strict_flag_accepts(o)) {
            throw py::type_error(std::string(row.name) + "(): " + arg.name +
                                 " must be True or False, 0 or 1, or an array of bools (None: the default), not " +
                                 std::string(py::str(py::type::handle_of(v.source).attr("__name__"))));
        }
    }
}

// ---- The loop ---------------------------------------------------------------

// Elements per run at most: the loop looks at the cancel flag (and the
// calling thread at the clock) between runs, so a run is also cut to about
// kRunSeconds of work as measured on the first elements.
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kMinBlock = 8;
constexpr double kRunSeconds = 2e-3;
// Elements timed on the calling thread before deciding to share the rest.
constexpr std::size_t kProbe = 64;
// Estimated work below which a call stays on one thread: waking the workers
// and waiting for the last of them costs tens of microseconds.
constexpr double kParallelSeconds = 150e-6;
// Chunks handed out per thread (later chunks balance uneven elements), each
// of at least kChunkSeconds of estimated work.
constexpr std::size_t kChunksPerThread = 8;
constexpr double kChunkSeconds = 50e-6;

struct Plan {
    const Row* row;
    BatchFn batch;
    std::size_t nargs;
    std::vector<std::size_t> shape;                   // memory order, innermost last
    std::vector<std::vector<std::ptrdiff_t>> stride;  // per argument, per dimension
    std::vector<Column> base;
    double* out;
    std::size_t block = kBlock;

    // Evaluates elements [begin, end) of the output (in memory order).
    void run(std::size_t begin, std::size_t end, CallWatch& watch) const {
        const std::size_t dims = shape.size();
        const std::size_t inner = shape[dims - 1];
        Column cols[8];
        for (std::size_t k = begin; k < end && !watch.stop();) {
            const std::size_t i = k % inner;
            for (std::size_t a = 0; a < nargs; ++a) {
                std::size_t rest = k / inner;
                const char* p = base[a].data + static_cast<std::ptrdiff_t>(i) * stride[a][dims - 1];
                for (std::size_t d = dims - 1; d-- > 0;) {
                    p += static_cast<std::ptrdiff_t>(rest % shape[d]) * stride[a][d];
                    rest /= shape[d];
                }
                cols[a] = Column{p, stride[a][dims - 1], base[a].kind};
            }
            const std::size_t n = std::min({inner - i, end - k, block});
            if (row != nullptr) {
                run_row(*row, batch, n, cols, out + k);
            } else {
                batch(n, cols, out + k);
            }
            k += n;
        }
    }
};

Plan make_plan(const Row& row, ArgValue* const* args, std::size_t nargs, const std::vector<py::ssize_t>& shape,
               bool fortran, double* out) {
    Plan plan{&row, row.batch, nargs, {}, std::vector<std::vector<std::ptrdiff_t>>(nargs), {}, out};
    const std::size_t nd = shape.size();
    // Dimensions in memory order of the output, with each argument's strides
    // (0 where it is broadcast).
    std::vector<std::size_t> order(nd);
    for (std::size_t d = 0; d < nd; ++d) order[d] = fortran ? nd - 1 - d : d;
    std::vector<std::size_t> dims;
    std::vector<std::vector<std::ptrdiff_t>> strides(nargs);
    for (std::size_t d : order) {
        if (shape[d] == 1) continue;
        dims.push_back(static_cast<std::size_t>(shape[d]));
        for (std::size_t a = 0; a < nargs; ++a) {
            const ArgValue& v = *args[a];
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(nd) - v.ndim;
            const std::ptrdiff_t ad = static_cast<std::ptrdiff_t>(d) - offset;
            std::ptrdiff_t s = 0;
            if (ad >= 0 && v.shape[static_cast<std::size_t>(ad)] == shape[d]) s = v.strides[static_cast<std::size_t>(ad)];
            strides[a].push_back(s);
        }
    }
    if (dims.empty()) {
        dims.push_back(1);
        for (auto& s : strides) s.push_back(0);
    }
    // Merge a dimension into the next inner one where every argument steps
    // through both as through one.
    std::vector<std::size_t> merged{dims[0]};
    std::vector<std::vector<std::ptrdiff_t>> merged_strides(nargs);
    for (std::size_t a = 0; a < nargs; ++a) merged_strides[a].push_back(strides[a][0]);
    for (std::size_t d = 1; d < dims.size(); ++d) {
        bool joins = true;
        for (std::size_t a = 0; a < nargs && joins; ++a) {
            joins = merged_strides[a].back() == strides[a][d] * static_cast<std::ptrdiff_t>(dims[d]);
        }
        if (joins) {
            merged.back() *= dims[d];
            for (std::size_t a = 0; a < nargs; ++a) merged_strides[a].back() = strides[a][d];
        } else {
            merged.push_back(dims[d]);
            for (std::size_t a = 0; a < nargs; ++a) merged_strides[a].push_back(strides[a][d]);
        }
    }
    plan.shape = merged;
    plan.stride = merged_strides;
    for (std::size_t a = 0; a < nargs; ++a) plan.base.push_back(Column{args[a]->base(), 0, args[a]->kind});
    return plan;
}

// Evaluates every element with the interpreter lock released; false when a
// signal handler raised (its exception is set).
bool evaluate(Plan& plan, std::size_t size) {
    std::atomic<bool> cancel{false};
    PyThreadState* released = PyEval_SaveThread();
    {
        CallWatch watch(cancel, &released);
        const std::size_t probe = std::min(size, kProbe);
        const auto t0 = std::chrono::steady_clock::now();
        plan.run(0, probe, watch);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
        const std::size_t rest = size - probe;
        const int threads = num_threads();
        const double per_element = took.count() / static_cast<double>(probe);
        if (per_element * kBlock > kRunSeconds) {
            plan.block = std::max(kMinBlock, static_cast<std::size_t>(kRunSeconds / per_element));
        }
        if (rest > 0 && !cancel.load()) {
            const double estimate = per_element * static_cast<double>(rest);
            const double fit = std::min(static_cast<double>(kChunksPerThread * threads),
                                        estimate / kChunkSeconds);
            const std::size_t chunks = std::min(rest, static_cast<std::size_t>(fit));
            if (threads > 1 && estimate > kParallelSeconds && chunks >= 2) {
                const std::size_t per = (rest + chunks - 1) / chunks;
                run_chunks(
                    chunks,
                    [&](std::size_t c) {
                        const std::size_t b = probe + c * per;
                        const std::size_t e = std::min(size, b + per);
                        if (b < e) plan.run(b, e, *current_watch());
                    },
                    cancel, watch);
            } else {
                plan.run(probe, size, watch);
            }
        }
    }
    PyEval_RestoreThread(released);
    return !cancel.load();
}

// NaN where a count argument's element has no count (see load_object_counts).
void set_no_counts(const Row& row, const ArgValue& counts, const std::vector<py::ssize_t>& shape, bool fortran,
                   double* out, std::size_t size) {
    ArgValue mask;
    mask.take(counts.no_count.cast<py::array>(), Kind::flag);
    ArgValue* masks[] = {&mask};
    Plan plan = make_plan(row, masks, 1, shape, fortran, out);
    plan.row = nullptr;
    plan.batch = [](std::size_t n, const Column* cols, double* run) {
        for (std::size_t i = 0; i < n; ++i) {
            if (read_flag(cols[0], i)) run[i] = kNaN;
        }
    };
    std::atomic<bool> cancel{false};
    CallWatch watch(cancel);
    plan.run(0, size, watch);
}

// All arguments broadcast as vectorize broadcasts them.
py::object call(const Row& row, ArgValue* const* args, std::size_t nargs) {
    check_strict_flags(row, args, nargs);
    int nd = 0;
    for (std::size_t a = 0; a < nargs; ++a) nd = std::max(nd, args[a]->ndim);
    std::vector<py::ssize_t> shape(static_cast<std::size_t>(nd), 1);
    for (std::size_t a = 0; a < nargs; ++a) {
        const ArgValue& v = *args[a];
        for (int k = 1; k <= v.ndim; ++k) {
            const py::ssize_t in = v.shape[static_cast<std::size_t>(v.ndim - k)];
            py::ssize_t& out = shape[static_cast<std::size_t>(nd - k)];
            if (out == 1) {
                out = in;
            } else if (in != 1 && in != out) {
                py::pybind11_fail("pybind11::vectorize: incompatible size/dimension of inputs!");
            }
        }
    }
    // The output is column-major when every argument of more than one
    // element has the full shape and is column-major contiguous, and not all
    // of them are row-major contiguous.
    bool c_order = true, f_order = true;
    for (std::size_t a = 0; a < nargs && (c_order || f_order); ++a) {
        const ArgValue& v = *args[a];
        if (v.size == 1) continue;
        if (v.ndim != nd || !std::equal(v.shape.begin(), v.shape.end(), shape.begin())) {
            c_order = f_order = false;
            break;
        }
        py::ssize_t expect = v.itemsize;
        for (int d = nd; d-- > 0 && c_order;) {
            if (v.strides[static_cast<std::size_t>(d)] != expect) c_order = false;
            expect *= v.shape[static_cast<std::size_t>(d)];
        }
        expect = v.itemsize;
        for (int d = 0; d < nd && f_order; ++d) {
            if (v.strides[static_cast<std::size_t>(d)] != expect) f_order = false;
            expect *= v.shape[static_cast<std::size_t>(d)];
        }
    }
    std::size_t size = 1;
    for (py::ssize_t s : shape) size *= static_cast<std::size_t>(s);

    if (nd == 0) {
        Column cols[8];
        for (std::size_t a = 0; a < nargs; ++a) cols[a] = Column{args[a]->base(), 0, args[a]->kind};
        double r;
        {
            ScalarCall scalar_call;
            run_row(row, row.scalar, 1, cols, &r);
        }
        if (PyErr_Occurred()) throw py::error_already_set();  // interrupted
        for (std::size_t a = 0; a < nargs; ++a) {
            if (args[a]->no_count.ptr() != nullptr && *static_cast<const bool*>(args[a]->no_count.cast<py::array>().data())) {
                r = kNaN;
            }
        }
        return py::float_(r);
    }
    const bool fortran = !c_order && f_order;
    py::array result = fortran ? py::array(py::array_t<double, py::array::f_style>(shape))
                               : py::array(py::array_t<double>(shape));
    if (size == 0) return std::move(result);
    Plan plan = make_plan(row, args, nargs, shape, fortran, static_cast<double*>(result.mutable_data()));
    if (!evaluate(plan, size)) throw py::error_already_set();
    for (std::size_t a = 0; a < nargs; ++a) {
        if (args[a]->no_count.ptr() != nullptr) set_no_counts(row, *args[a], shape, fortran, plan.out, size);
    }
    return std::move(result);
}

// ---- The fast entry --------------------------------------------------------

std::vector<Row> g_rows;
std::vector<std::vector<PyObject*>> g_row_names;  // interned argument names

PyObject* fast_elementwise(int slot, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    const Row& row = g_rows[static_cast<std::size_t>(slot)];
    const std::size_t n = row.args.size();
    PyObject* values[8] = {};
    if (row.noncentral != nullptr && nargs >= static_cast<Py_ssize_t>(n)) return nullptr;  // ncp is keyword-only
    if (!match_arguments(args, nargs, kwnames, g_row_names[static_cast<std::size_t>(slot)], values)) return nullptr;
    union Held {
        double real;
        std::int64_t count;
        unsigned char flag;
    } held[8];
    Column cols[8];
    for (std::size_t a = 0; a < n; ++a) {
        const ArgSpec& declared = row.args[a];
        PyObject* o = values[a];
        Kind kind;
        if (o == nullptr) {
            switch (declared.fallback) {
            case Default::none: return nullptr;
            case Default::zero: held[a].real = 0.0; kind = Kind::real; break;
            case Default::one: held[a].real = 1.0; kind = Kind::real; break;
            case Default::yes: held[a].flag = 1; kind = Kind::flag; break;
            default: held[a].flag = 0; kind = Kind::flag; break;
            }
        } else if (declared.type == ArgType::real) {
            if (PyFloat_Check(o)) {
                held[a].real = PyFloat_AS_DOUBLE(o);
            } else if (PyLong_Check(o)) {
                held[a].real = PyLong_AsDouble(o);
                if (held[a].real == -1.0 && PyErr_Occurred()) {
                    PyErr_Clear();
                    return nullptr;
                }
            } else {
                return nullptr;
            }
            kind = Kind::real;
        } else if (declared.type == ArgType::count) {
            if (PyLong_Check(o)) {
                int overflow = 0;
                held[a].count = PyLong_AsLongLongAndOverflow(o, &overflow);
                kind = Kind::count;
                if (overflow != 0) {
                    held[a].real = kNaN;
                    kind = Kind::real;
                } else if (held[a].count == -1 && PyErr_Occurred()) {
                    PyErr_Clear();
                    return nullptr;
                }
            } else if (PyFloat_Check(o)) {
                held[a].real = PyFloat_AS_DOUBLE(o);
                kind = Kind::real;
            } else {
                return nullptr;
            }
        } else if (strict_flag(declared)) {
            // lower_tail: anything but a bool, 0, 1 or None to the general path (which refuses it)
            if (o == Py_None) {
                held[a].flag = declared.fallback == Default::yes;
            } else if (PyBool_Check(o) || (PyLong_CheckExact(o) && zero_or_one(o))) {
                held[a].flag = PyObject_IsTrue(o) == 1;
            } else {
                return nullptr;
            }
            kind = Kind::flag;
        } else {
            if (PyBool_Check(o) || PyLong_CheckExact(o)) {
                held[a].flag = PyObject_IsTrue(o) == 1;
            } else if (PyFloat_Check(o)) {
                held[a].flag = PyFloat_AS_DOUBLE(o) != 0.0;
            } else {
                return nullptr;
            }
            kind = Kind::flag;
        }
        cols[a] = Column{reinterpret_cast<const char*>(&held[a]), 0, kind};
    }
    double r;
    {
        ScalarCall scalar_call;
        run_row(row, row.scalar, 1, cols, &r);
    }
    if (PyErr_Occurred()) return nullptr;  // a signal handler raised during a long search
    return PyFloat_FromDouble(r);
}

// ---- The general function of a row -------------------------------------------

// Argument kinds of a general function: float, float with a default, count, flag.
struct R {};
struct Rd {};
struct C {};
struct Fl {};

template <class P>
struct Param;
template <>
struct Param<R> {
    using type = RealArg;
    static py::arg decl(const ArgSpec& s) { return py::arg(s.name); }
};
template <>
struct Param<Rd> {
    using type = RealArg;
    static py::arg_v decl(const ArgSpec& s) { return py::arg_v(s.name, s.fallback == Default::zero ? 0 : 1); }
};
template <>
struct Param<C> {
    using type = CountArg;
    static py::arg decl(const ArgSpec& s) { return py::arg(s.name); }
};
template <>
struct Param<Fl> {
    using type = FlagArg;
    static py::arg_v decl(const ArgSpec& s) { return py::arg_v(s.name, s.fallback == Default::yes); }
};

template <class... P, std::size_t... I>
py::object general_function(const Row* row, py::handle scope, std::index_sequence<I...>) {
    return py::cpp_function(
        [row](typename Param<P>::type&... a) -> py::object {
            ArgValue* values[] = {&a...};
            return call(*row, values, sizeof...(P));
        },
        py::name(row->name), py::scope(scope), Param<P>::decl(row->args[I])...);
}

template <class... P>
py::object general_function(const Row* row, py::handle scope) {
    return general_function<P...>(row, scope, std::index_sequence_for<P...>());
}

// The same with the keyword-only ncp after the row's other arguments.
template <class... P, std::size_t... I>
py::object ncp_function(const Row* row, py::handle scope, std::index_sequence<I...>) {
    return py::cpp_function(
        [row](typename Param<P>::type&... a, StrictRealArg& ncp) -> py::object {
            ArgValue* values[] = {&a..., &ncp};
            return call(*row, values, sizeof...(P) + 1);
        },
        py::name(row->name), py::scope(scope), Param<P>::decl(row->args[I])..., py::kw_only(),
        py::arg_v("ncp", 0));
}

template <class... P>
py::object ncp_function(const Row* row, py::handle scope) {
    return ncp_function<P...>(row, scope, std::index_sequence_for<P...>());
}

py::object make_general(const Row* row, py::handle scope) {
    std::string pattern;
    for (const ArgSpec& s : row->args) {
        if (s.keyword_only) {
            pattern += "|";
            continue;
        }
        pattern += s.type == ArgType::flag ? "F" : s.type == ArgType::count ? "C" : s.fallback != Default::none ? "D" : "R";
    }
    if (pattern == "RDDFF") return general_function<R, Rd, Rd, Fl, Fl>(row, scope);
    if (pattern == "RRDFF") return general_function<R, R, Rd, Fl, Fl>(row, scope);
    if (pattern == "RDFF") return general_function<R, Rd, Fl, Fl>(row, scope);
    if (pattern == "RRRFF") return general_function<R, R, R, Fl, Fl>(row, scope);
    if (pattern == "RRFF") return general_function<R, R, Fl, Fl>(row, scope);
    if (pattern == "CRFF") return general_function<C, R, Fl, Fl>(row, scope);
    if (pattern == "CCRFF") return general_function<C, C, R, Fl, Fl>(row, scope);
    if (pattern == "RCRFF") return general_function<R, C, R, Fl, Fl>(row, scope);
    if (pattern == "RDDF") return general_function<R, Rd, Rd, Fl>(row, scope);
    if (pattern == "RRDF") return general_function<R, R, Rd, Fl>(row, scope);
    if (pattern == "RDF") return general_function<R, Rd, Fl>(row, scope);
    if (pattern == "RRRF") return general_function<R, R, R, Fl>(row, scope);
    if (pattern == "RRF") return general_function<R, R, Fl>(row, scope);
    if (pattern == "CRF") return general_function<C, R, Fl>(row, scope);
    if (pattern == "CCRF") return general_function<C, C, R, Fl>(row, scope);
    if (pattern == "CRRF") return general_function<C, R, R, Fl>(row, scope);
    if (pattern == "CRRFF") return general_function<C, R, R, Fl, Fl>(row, scope);
    if (pattern == "CCF") return general_function<C, C, Fl>(row, scope);
    if (pattern == "CCFF") return general_function<C, C, Fl, Fl>(row, scope);
    if (pattern == "RCFF") return general_function<R, C, Fl, Fl>(row, scope);
    if (pattern == "CCCF") return general_function<C, C, C, Fl>(row, scope);
    if (pattern == "CCCFF") return general_function<C, C, C, Fl, Fl>(row, scope);
    if (pattern == "RCCFF") return general_function<R, C, C, Fl, Fl>(row, scope);
    if (pattern == "CCCCF") return general_function<C, C, C, C, Fl>(row, scope);
    if (pattern == "CCCCFF") return general_function<C, C, C, C, Fl, Fl>(row, scope);
    if (pattern == "RCCCFF") return general_function<R, C, C, C, Fl, Fl>(row, scope);
    if (pattern == "RRRDFF") return general_function<R, R, R, Rd, Fl, Fl>(row, scope);
    if (pattern == "RRF|") return ncp_function<R, R, Fl>(row, scope);
    if (pattern == "RRRF|") return ncp_function<R, R, R, Fl>(row, scope);
    if (pattern == "RRFF|") return ncp_function<R, R, Fl, Fl>(row, scope);
    if (pattern == "RRRFF|") return ncp_function<R, R, R, Fl, Fl>(row, scope);
    throw std::logic_error(std::string("no general function for the arguments of ") + row->name);
}

}  // namespace

bool match_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     const std::vector<PyObject*>& names, PyObject** values) {
    const Py_ssize_t n = static_cast<Py_ssize_t>(names.size());
    if (nargs > n) return false;
    for (Py_ssize_t i = 0; i < nargs; ++i) values[i] = args[i];
    if (kwnames == nullptr) return true;
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        Py_ssize_t j = 0;
        while (j < n && names[static_cast<std::size_t>(j)] != key) ++j;
        if (j == n) {
            j = 0;
            while (j < n && PyUnicode_Compare(names[static_cast<std::size_t>(j)], key) != 0) ++j;
            if (PyErr_Occurred()) {
                PyErr_Clear();
                return false;
            }
        }
        if (j == n || values[j] != nullptr) return false;
        values[j] = args[nargs + k];
    }
    return true;
}

py::object make_function(py::module_& m, const char* name, FastFn fast, int slot, const py::object& general,
                         const std::string& note) {
    if (g_used_slots == kSlots) throw std::logic_error("too many fast entries");
    const int index = g_used_slots++;
    g_slots[index] = Slot{fast, slot, general.inc_ref().ptr()};

    // A submodule's functions have their own entries ("accurate.dnorm"), if any.
    const std::string module = py::str(m.attr("__name__"));
    const std::string key = module.rfind("zorvana.", 0) == 0 ? module.substr(8) + "." + name : name;
    Doc doc = doc_of(key.c_str());
    if (doc.body == nullptr) doc = doc_of(name);
    std::string text;
    if (doc.text_signature != nullptr) text += std::string(name) + doc.text_signature + "\n--\n\n";
    std::string generated = py::str(general.attr("__doc__"));
    while (!generated.empty() && generated.back() == '\n') generated.pop_back();
    text += generated;
    if (!note.empty()) text += "\n\n" + note;
    if (doc.body != nullptr) text += std::string("\n\n") + doc.body;
    text += "\n";

    // The definition lives as long as the function object: for the process.
    auto* def = new PyMethodDef{(new std::string(name))->c_str(), kEntries[static_cast<std::size_t>(index)],
                                kEntryFlags, (new std::string(text))->c_str()};
    py::object module_name = m.attr("__name__");
    PyObject* f = PyCFunction_NewEx(def, m.ptr(), module_name.ptr());
    if (f == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(f);
}

void register_row(py::module_& m, const Row& row) {
    g_rows.push_back(row);
    const Row* stored = new Row(row);  // the general function refers to it for the process
    std::vector<PyObject*> names;
    for (const ArgSpec& s : row.args) {
        PyObject* name = PyUnicode_InternFromString(s.name);
        if (name == nullptr) throw py::error_already_set();
        names.push_back(name);
    }
    g_row_names.push_back(names);
    const py::object general = make_general(stored, m);
    m.attr(row.name) = make_function(m, row.name, fast_elementwise, static_cast<int>(g_rows.size() - 1), general);
}

}  // namespace zorvana
