// Python side of the draws: the Engine class, the default engine and the
// seventeen draw functions, each with a scalar, a shape and a size overload
// behind a fast entry for calls with plain Python numbers.
#include "random/frontends.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "kernels/precision.hpp"
#include "module/elementwise.hpp"
#include "module/threads.hpp"
#include "random/discrete_draws.hpp"
#include "random/draws.hpp"
#include "random/engine.hpp"
#include "random/engine_python.hpp"
#include "random/mt19937_64.hpp"

namespace py = pybind11;

namespace zorvana {

namespace {

// ---- Array parameters -------------------------------------------------------

// A distribution parameter of the array-parameter forms: an aligned array of
// the parameter's type (float64, or int64 for a count) of any shape, with
// zero dimensions for a scalar.
struct RealParam {
    py::array array;
};
struct CountParam {
    py::array array;
};

constexpr int kNpyAligned = 0x0100;

py::array as_array(PyObject* src, const py::dtype& dtype) {
    auto& api = py::detail::npy_api::get();
    PyObject* a = api.PyArray_FromAny_(src, dtype.inc_ref().ptr(), 0, 0,
                                       py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_ |
                                           py::detail::npy_api::NPY_ARRAY_FORCECAST_ | kNpyAligned,
                                       nullptr);
    if (a == nullptr) PyErr_Clear();
    return py::reinterpret_steal<py::array>(a);  // null on failure (py::array() would be an empty array)
}

// The array NumPy makes of an object as it is (no type asked for).
py::array plain_array(PyObject* src) {
    PyObject* raw = py::detail::npy_api::get().PyArray_FromAny_(
        src, nullptr, 0, 0, py::detail::npy_api::NPY_ARRAY_ENSUREARRAY_, nullptr);
    if (raw == nullptr) PyErr_Clear();
    return py::reinterpret_steal<py::array>(raw);
}

// A float parameter: numbers (booleans, integers, floats, or objects that
// convert to float64); as in the scalar form, text and complex numbers are
// refused.
bool load_real_param(RealParam& v, py::handle src) {
    if (PyFloat_Check(src.ptr()) || PyLong_Check(src.ptr())) {
        v.array = as_array(src.ptr(), py::dtype::of<double>());
        return static_cast<bool>(v.array);
    }
    const py::array a = plain_array(src.ptr());
    if (!a) return false;
    const char kind = a.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f' && kind != 'O') return false;
    v.array = as_array(a.ptr(), py::dtype::of<double>());
    return static_cast<bool>(v.array);
}

// A count: integers (and booleans), as the scalar form takes them; a float,
// or an integer outside the signed 64-bit range, is refused as there.
bool load_count_param(CountParam& v, py::handle src) {
    if (PyFloat_Check(src.ptr())) return false;
    const py::array a = plain_array(src.ptr());
    if (!a) return false;
    const char kind = a.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'O') return false;
    if (kind == 'u' && a.itemsize() == 8) {
        const py::array wide = as_array(a.ptr(), py::dtype::of<std::uint64_t>());
        if (!wide) return false;
        const py::array_t<std::uint64_t, py::array::c_style> flat = py::array::ensure(wide);
        if (!flat) {
            PyErr_Clear();
            return false;
        }
        const std::uint64_t* d = flat.data();
        for (py::ssize_t i = 0; i < flat.size(); ++i) {
            if (d[i] > static_cast<std::uint64_t>(INT64_MAX)) return false;
        }
    }
    v.array = as_array(a.ptr(), py::dtype::of<std::int64_t>());  // object arrays: ints in range only
    return static_cast<bool>(v.array);
}

}  // namespace
}  // namespace zorvana

namespace pybind11 {
namespace detail {

template <>
struct type_caster<zorvana::RealParam> {
    PYBIND11_TYPE_CASTER(zorvana::RealParam, const_name("numpy.ndarray[numpy.float64]"));
    bool load(handle src, bool) { return zorvana::load_real_param(value, src); }
};
template <>
struct type_caster<zorvana::CountParam> {
    PYBIND11_TYPE_CASTER(zorvana::CountParam, const_name("numpy.ndarray[numpy.int64]"));
    bool load(handle src, bool) { return zorvana::load_count_param(value, src); }
};

}  // namespace detail
}  // namespace pybind11

namespace zorvana {

namespace {

// Draws per run of the fill: between runs the fill looks for a Ctrl-C.
constexpr py::ssize_t kFillBlock = 4096;

// The draw's function type, written so that the parameter types P are
// deduced from the parameter test alone.
template <class... P>
struct DrawFn {
    using type = double (*)(P..., Mt19937_64&);
};

// The run form of a draw (see draws.hpp) where it has one: rpois, whose
// quantile searches share their inverse error functions in lanes.
using RunFn = void (*)(const double* params, std::ptrdiff_t step, double* out, std::size_t n, Mt19937_64& gen);

template <class... P>
RunFn run_of(typename DrawFn<P...>::type draw) {
    if constexpr (sizeof...(P) == 1 && (std::is_same<P, double>::value && ...)) {
        if (draw == rpois_unchecked) return rpois_run;
    }
    return nullptr;
}

// Fills a new float64 array of the given shape (row-major): nothing is tested
// or drawn when it has no elements; a failing parameter test gives all NaN
// without drawing; otherwise element i is the (i + 1)-th successive draw,
// made with the interpreter lock released and the engine held. A Ctrl-C
// ends the fill with KeyboardInterrupt; the engine keeps what was drawn.
template <class... P>
py::array_t<double> fill(const std::vector<py::ssize_t>& dims, bool (*valid)(P...),
                         typename DrawFn<P...>::type draw, Engine& engine, P... params) {
    py::array_t<double> out(dims);
    const py::ssize_t n = out.size();
    if (n == 0) return out;
    double* data = out.mutable_data();
    if (!valid(params...)) {
        for (py::ssize_t i = 0; i < n; ++i) data[i] = kNaN;
        return out;
    }
    const EngineHold hold(engine);
    std::atomic<bool> cancel{false};
    PyThreadState* released = PyEval_SaveThread();
    {
        CallWatch watch(cancel, &released);
        Mt19937_64& gen = engine.generator();
        const RunFn run = run_of<P...>(draw);
        for (py::ssize_t i = 0; i < n;) {
            const py::ssize_t end = std::min(n, i + kFillBlock);
            if (run != nullptr) {
                const double one[] = {static_cast<double>(params)...};
                run(one, 0, data + i, static_cast<std::size_t>(end - i), gen);
                i = end;
            }
            // (a draw cut short by a Ctrl-C returns at once; stop at it)
            for (; i < end && !cancel.load(std::memory_order_relaxed); ++i) data[i] = draw(params..., gen);
            if (watch.stop()) break;
        }
    }
    PyEval_RestoreThread(released);
    if (cancel.load()) throw py::error_already_set();
    return out;
}

template <class T>
struct ParamType;
template <>
struct ParamType<double> {
    using type = RealParam;
};
template <>
struct ParamType<std::int64_t> {
    using type = CountParam;
};

std::string shape_text(const std::vector<py::ssize_t>& shape) {
    std::string t = "(";
    for (std::size_t d = 0; d < shape.size(); ++d) t += (d ? ", " : "") + std::to_string(shape[d]);
    return t + (shape.size() == 1 ? ",)" : ")");
}

std::vector<py::ssize_t> shape_of(const py::array& a) { return {a.shape(), a.shape() + a.ndim()}; }

// NumPy's broadcast of two shapes; false when they do not broadcast.
bool broadcast(const std::vector<py::ssize_t>& a, const std::vector<py::ssize_t>& b, std::vector<py::ssize_t>& out) {
    const std::size_t nd = std::max(a.size(), b.size());
    out.assign(nd, 1);
    for (std::size_t k = 1; k <= nd; ++k) {
        const py::ssize_t x = k <= a.size() ? a[a.size() - k] : 1;
        const py::ssize_t y = k <= b.size() ? b[b.size() - k] : 1;
        if (x != y && x != 1 && y != 1) return false;
        out[nd - k] = x == 1 ? y : x;
    }
    return true;
}

template <class T>
T load_param(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The scalar call at one element: its parameters' test, then the draw.
template <class... P, std::size_t... I>
double draw_at(bool (*valid)(P...), typename DrawFn<P...>::type draw, Mt19937_64& gen,
               const std::array<const char*, sizeof...(P)>& base, const std::array<py::ssize_t, sizeof...(P)>& at,
               std::index_sequence<I...>) {
    const std::tuple<P...> v{load_param<P>(base[I] + at[I])...};
    return valid(std::get<I>(v)...) ? draw(std::get<I>(v)..., gen) : kNaN;
}

// Fills a new float64 array of shape `dims` (row-major) from parameters that
// may differ per element: element i gets the parameters broadcast to it and
// is what the scalar call with them would give, drawn next on the engine
// (NaN without drawing where they fail the test), made with the interpreter
// lock released and the engine held, as fill() makes its draws.
template <class... P, std::size_t... I>
py::array_t<double> fill_varying(const std::vector<py::ssize_t>& dims, bool (*valid)(P...),
                                 typename DrawFn<P...>::type draw, Engine& engine,
                                 const std::array<const py::array*, sizeof...(P)>& params, std::index_sequence<I...> seq) {
    constexpr std::size_t np = sizeof...(P);
    py::array_t<double> out(dims);
    const py::ssize_t n = out.size();
    if (n == 0) return out;
    double* data = out.mutable_data();
    // Each parameter's byte step per result dimension (0 where broadcast).
    const std::size_t nd = dims.size();
    std::vector<std::array<py::ssize_t, np>> steps(nd);
    std::array<const char*, np> base{};
    for (std::size_t a = 0; a < np; ++a) {
        const py::array& arr = *params[a];
        base[a] = static_cast<const char*>(arr.data());
        const std::size_t offset = nd - static_cast<std::size_t>(arr.ndim());
        for (std::size_t d = 0; d < nd; ++d) {
            const auto ad = static_cast<py::ssize_t>(d) - static_cast<py::ssize_t>(offset);
            steps[d][a] = ad >= 0 && arr.shape(ad) != 1 ? arr.strides(ad) : 0;
        }
    }
    const py::ssize_t inner = nd ? dims[nd - 1] : 1;
    const std::array<py::ssize_t, np> inner_step = nd ? steps[nd - 1] : std::array<py::ssize_t, np>{};
    std::array<py::ssize_t, np> at{};
    std::vector<py::ssize_t> index(nd, 0);

    const EngineHold hold(engine);
    std::atomic<bool> cancel{false};
    PyThreadState* released = PyEval_SaveThread();
    {
        CallWatch watch(cancel, &released);
        Mt19937_64& gen = engine.generator();
        const RunFn run = run_of<P...>(draw);
        std::vector<double> gathered(run != nullptr ? static_cast<std::size_t>(std::min(n, kFillBlock)) : 0);
        py::ssize_t j = 0;  // index along the innermost dimension
        for (py::ssize_t i = 0; i < n;) {
            const py::ssize_t end = std::min(n, i + kFillBlock);
            const py::ssize_t from = i;
            // (a draw cut short by a Ctrl-C returns at once; stop at it)
            for (; i < end && !cancel.load(std::memory_order_relaxed); ++i) {
                if (run != nullptr) {
                    gathered[static_cast<std::size_t>(i - from)] = load_param<double>(base[0] + at[0]);
                } else {
                    data[i] = draw_at(valid, draw, gen, base, at, seq);
                }
                for (std::size_t a = 0; a < np; ++a) at[a] += inner_step[a];
                if (++j < inner) continue;
                // the next row: back to its start, then carry through the outer dimensions
                j = 0;
                for (std::size_t a = 0; a < np; ++a) at[a] -= inner_step[a] * inner;
                for (std::size_t d = nd ? nd - 1 : 0; d-- > 0;) {
                    for (std::size_t a = 0; a < np; ++a) at[a] += steps[d][a];
                    if (++index[d] < dims[d]) break;
                    for (std::size_t a = 0; a < np; ++a) at[a] -= steps[d][a] * dims[d];
                    index[d] = 0;
                }
            }
            if (run != nullptr) run(gathered.data(), 1, data + from, static_cast<std::size_t>(i - from), gen);
            if (watch.stop()) break;
        }
    }
    PyEval_RestoreThread(released);
    if (cancel.load()) throw py::error_already_set();
    return out;
}

// The array-parameter forms: the parameters' broadcast shape, or `size`
// when given (the parameters must broadcast to it, as NumPy's Generator
// requires); all-scalar parameters decline the call (the scalar, shape and
// size forms take it).
template <class... P>
py::array_t<double> draw_varying(const char* name, const char* const* names, bool (*valid)(P...),
                                 typename DrawFn<P...>::type draw, Engine& engine, const std::vector<py::ssize_t>* size,
                                 const std::array<const py::array*, sizeof...(P)>& params) {
    bool any = false;
    std::vector<py::ssize_t> shape;
    std::size_t widest = 0;
    for (std::size_t a = 0; a < params.size(); ++a) {
        const std::vector<py::ssize_t> s = shape_of(*params[a]);
        any = any || !s.empty();
        std::vector<py::ssize_t> joined;
        if (!broadcast(shape, s, joined)) {
            throw py::value_error(std::string(name) + ": shape mismatch: " + names[widest] + " has shape " +
                                  shape_text(shape_of(*params[widest])) + " and " + names[a] + " shape " +
                                  shape_text(s) + ", which do not broadcast together");
        }
        if (joined != shape) widest = a;
        shape = joined;
    }
    if (!any) throw py::reference_cast_error();
    if (size != nullptr) {
        std::vector<py::ssize_t> joined;
        if (!broadcast(shape, *size, joined) || joined != *size) {
            throw py::value_error(std::string(name) + ": parameters of shape " + shape_text(shape) +
                                  " do not broadcast to size " + shape_text(*size));
        }
        shape = *size;
    }
    return fill_varying<P...>(shape, valid, draw, engine, params, std::index_sequence_for<P...>());
}

// The largest size and dimension: NumPy sees 2^63 and more as negative.
constexpr std::uint64_t kLargestDimension = 0x7fffffffffffffffu;

// Makes a dimension, or declines the overload (as for 2^64, which does not
// convert at all) for one that NumPy could not take.
py::ssize_t dimension(std::uint64_t size) {
    if (size > kLargestDimension) throw py::reference_cast_error("");
    return static_cast<py::ssize_t>(size);
}

// ---- The fast entry: Python floats and ints, a size of ints ---------------

// One draw function as the fast entry sees it.
struct DrawRow {
    const char* name = nullptr;
    PyObject* general = nullptr;         // the overloads, for calls the fast entry declines
    std::vector<PyObject*> names;        // parameters, then "engine"
    std::vector<PyObject*> array_names;  // parameters, "size", "engine"
    std::vector<double> defaults;        // per parameter; NaN: none
    bool count_first = false;            // n_trials (int) before the float parameters
    double (*scalar)(const double* reals, std::int64_t count, Mt19937_64& gen) = nullptr;
    py::array_t<double> (*array)(const std::vector<py::ssize_t>& dims, const double* reals, std::int64_t count,
                                 Engine& engine) = nullptr;
};

std::vector<DrawRow> g_draws;
PyTypeObject* g_engine_type = nullptr;
Engine* g_default_engine = nullptr;

// The Engine behind a Python object of exactly the Engine class, or nullptr.
Engine* engine_of(PyObject* o) {
    if (Py_TYPE(o) != g_engine_type) return nullptr;
    auto* inst = reinterpret_cast<py::detail::instance*>(o);
    if (!inst->simple_layout || !inst->simple_holder_constructed) return nullptr;
    return static_cast<Engine*>(inst->simple_value_holder[0]);
}

// A size as the array forms take it: one non-negative int, or a list or
// tuple of them, each below 2^63; false for anything else.
bool dims_of(PyObject* size, std::vector<py::ssize_t>& dims) {
    const auto one = [&dims](PyObject* o) {
        if (!PyLong_CheckExact(o)) return false;
        const long long v = PyLong_AsLongLong(o);
        if (v == -1 && PyErr_Occurred()) {
            PyErr_Clear();
            return false;
        }
        if (v < 0) return false;
        dims.push_back(static_cast<py::ssize_t>(v));
        return true;
    };
    if (PyList_CheckExact(size) || PyTuple_CheckExact(size)) {
        PyObject* items = PySequence_Fast(size, "");
        if (items == nullptr) return false;
        bool ok = true;
        for (Py_ssize_t i = 0; ok && i < PySequence_Fast_GET_SIZE(items); ++i) ok = one(PySequence_Fast_GET_ITEM(items, i));
        Py_DECREF(items);
        return ok;
    }
    return one(size);
}

PyObject* fast_draw(int slot, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    const DrawRow& row = g_draws[static_cast<std::size_t>(slot)];
    const std::size_t nparams = row.defaults.size();
    PyObject* values[8] = {};
    // The scalar form, unless a size is given (by keyword, or as an
    // argument after the parameters that is no Engine): the array forms.
    bool array_form = !match_arguments(args, nargs, kwnames, row.names, values) ||
                      (values[nparams] != nullptr && engine_of(values[nparams]) == nullptr);
    if (array_form) {
        std::fill(std::begin(values), std::end(values), nullptr);
        if (!match_arguments(args, nargs, kwnames, row.array_names, values) || values[nparams] == nullptr) {
            return nullptr;
        }
    }
    double reals[4];
    std::int64_t count = 0;
    std::size_t r = 0;
    for (std::size_t a = 0; a < nparams; ++a) {
        PyObject* o = values[a];
        if (o == nullptr) {
            if (is_nan(row.defaults[a])) return nullptr;
            reals[r++] = row.defaults[a];
        } else if (a == 0 && row.count_first) {
            if (!PyLong_Check(o)) return nullptr;
            count = PyLong_AsLongLong(o);
            if (count == -1 && PyErr_Occurred()) {
                PyErr_Clear();
                return nullptr;
            }
        } else if (PyFloat_Check(o)) {
            reals[r++] = PyFloat_AS_DOUBLE(o);
        } else if (PyLong_Check(o)) {
            const double d = PyLong_AsDouble(o);
            if (d == -1.0 && PyErr_Occurred()) {
                PyErr_Clear();
                return nullptr;
            }
            reals[r++] = d;
        } else {
            return nullptr;
        }
    }
    Engine* engine = g_default_engine;
    if (PyObject* o = values[array_form ? nparams + 1 : nparams]) {
        engine = engine_of(o);
        if (engine == nullptr) return nullptr;
    }
    if (array_form) {
        std::vector<py::ssize_t> dims;
        if (!dims_of(values[nparams], dims)) return nullptr;
        try {
            return row.array(dims, reals, count, *engine).release().ptr();
        } catch (py::error_already_set& e) {
            e.restore();  // NumPy's refusal of the shape, or a Ctrl-C
            return nullptr;
        } catch (const std::runtime_error& e) {
            PyErr_SetString(PyExc_RuntimeError, e.what());  // the engine is held by this thread
            return nullptr;
        }
    }
    double v;
    try {
        EngineHold hold(*engine);
        ScalarCall scalar_call;
        v = row.scalar(reals, count, engine->generator());
    } catch (const std::runtime_error& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
        return nullptr;
    }
    if (PyErr_Occurred()) return nullptr;  // a signal handler raised during a long draw
    return PyFloat_FromDouble(v);
}

// ---- Counts as integers: the dtype keyword of rbinom, rpois and rbern ------

PyObject* g_dtype_name = nullptr;

// Whether a dtype asks for int64 counts (true) or float64 ones (false): int,
// float, None (float64) or anything numpy.dtype() takes; TypeError for what
// it refuses, ValueError for other types.
bool wants_integers(const char* name, PyObject* dtype) {
    if (dtype == reinterpret_cast<PyObject*>(&PyLong_Type)) return true;
    if (dtype == reinterpret_cast<PyObject*>(&PyFloat_Type) || dtype == Py_None) return false;
    py::dtype dt;
    try {
        dt = py::dtype::from_args(py::reinterpret_borrow<py::object>(dtype));
    } catch (py::error_already_set& e) {
        throw py::type_error(std::string(name) + ": dtype " + std::string(py::repr(dtype)) + " is no data type (" +
                             std::string(py::str(e.value())) + ")");
    }
    if (dt.itemsize() == 8 && dt.kind() == 'i') return true;
    if (dt.itemsize() == 8 && dt.kind() == 'f') return false;
    throw py::value_error(std::string(name) + ": dtype must be float64 or int64 (or float or int), not " +
                          std::string(py::str(static_cast<const py::handle&>(dt))));
}

// The draws as integers: a Python int for a float, an int64 array of the
// same shape for a float64 array. ValueError where a draw is NaN (invalid
// parameters) or beyond int64.
py::object as_integers(const char* name, const py::object& drawn) {
    const auto count = [name](double v) {
        constexpr double kInt64End = 9223372036854775808.0;  // 2^63
        if (!(v >= -kInt64End && v < kInt64End)) {
            throw py::value_error(std::string(name) + ": a draw of " + std::string(py::repr(py::float_(v))) +
                                  (is_nan(v) ? " (invalid parameters)" : "") +
                                  " has no int64 value; the engine has advanced as with dtype=float64");
        }
        return static_cast<std::int64_t>(v);
    };
    if (PyFloat_Check(drawn.ptr())) return py::int_(count(PyFloat_AS_DOUBLE(drawn.ptr())));
    const py::array_t<double, py::array::c_style> in = py::array::ensure(drawn);
    if (!in) throw py::error_already_set();
    py::array_t<std::int64_t> out(std::vector<py::ssize_t>(in.shape(), in.shape() + in.ndim()));
    const double* from = in.data();
    std::int64_t* to = out.mutable_data();
    for (py::ssize_t i = 0; i < in.size(); ++i) to[i] = count(from[i]);
    return std::move(out);
}

PyObject* fast_draw(int slot, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// The entry of the count draws: without dtype, the others' entry; with it,
// the same call without dtype (the same draws on the same engine), its
// result then made integers when dtype asks for them.
PyObject* fast_count_draw(int slot, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    const Py_ssize_t nkw = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
    Py_ssize_t at = 0;
    while (at < nkw && PyUnicode_Compare(PyTuple_GET_ITEM(kwnames, at), g_dtype_name) != 0) ++at;
    if (PyErr_Occurred()) return nullptr;
    if (at == nkw) return fast_draw(slot, args, nargs, kwnames);
    const DrawRow& row = g_draws[static_cast<std::size_t>(slot)];
    try {
        const bool integers = wants_integers(row.name, args[nargs + at]);
        std::vector<PyObject*> rest(args, args + nargs + nkw);
        rest.erase(rest.begin() + nargs + at);
        py::object names;
        if (nkw > 1) {
            names = py::reinterpret_steal<py::object>(PyTuple_New(nkw - 1));
            if (!names) throw py::error_already_set();
            for (Py_ssize_t k = 0, j = 0; k < nkw; ++k) {
                if (k == at) continue;
                PyObject* key = PyTuple_GET_ITEM(kwnames, k);
                Py_INCREF(key);
                PyTuple_SET_ITEM(names.ptr(), j++, key);
            }
        }
        PyObject* r = fast_draw(slot, rest.data(), nargs, names.ptr());
        if (r == nullptr && !PyErr_Occurred()) r = call_general(row.general, rest.data(), nargs, names.ptr());
        if (r == nullptr) return nullptr;
        py::object drawn = py::reinterpret_steal<py::object>(r);
        return integers ? as_integers(row.name, drawn).release().ptr() : drawn.release().ptr();
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    }
    return nullptr;
}

template <class... P>
struct Unpack;
template <class... D>
struct Unpack<std::int64_t, D...> {
    template <auto Valid, auto Draw, std::size_t... I>
    static double call(const double* reals, std::int64_t count, Mt19937_64& gen, std::index_sequence<I...>) {
        return Valid(count, reals[I]...) ? Draw(count, reals[I]..., gen) : kNaN;
    }
    template <auto Valid, auto Draw, std::size_t... I>
    static py::array_t<double> array(const std::vector<py::ssize_t>& dims, const double* reals, std::int64_t count,
                                     Engine& e, std::index_sequence<I...>) {
        return fill<std::int64_t, D...>(dims, Valid, Draw, e, count, reals[I]...);
    }
    static constexpr bool count_first = true;
    using seq = std::index_sequence_for<D...>;
};
template <class... D>
struct Unpack<double, D...> {
    template <auto Valid, auto Draw, std::size_t... I>
    static double call(const double* reals, std::int64_t, Mt19937_64& gen, std::index_sequence<I...>) {
        return Valid(reals[I]...) ? Draw(reals[I]..., gen) : kNaN;
    }
    template <auto Valid, auto Draw, std::size_t... I>
    static py::array_t<double> array(const std::vector<py::ssize_t>& dims, const double* reals, std::int64_t,
                                     Engine& e, std::index_sequence<I...>) {
        return fill<double, D...>(dims, Valid, Draw, e, reals[I]...);
    }
    static constexpr bool count_first = false;
    using seq = std::index_sequence_for<double, D...>;
};

template <auto Valid, auto Draw, class... P>
double scalar_draw(const double* reals, std::int64_t count, Mt19937_64& gen) {
    using U = Unpack<P...>;
    return U::template call<Valid, Draw>(reals, count, gen, typename U::seq());
}

template <auto Valid, auto Draw, class... P>
constexpr auto scalar_draw_of(bool (*)(P...)) {
    return &scalar_draw<Valid, Draw, P...>;
}

template <auto Valid, auto Draw, class... P>
py::array_t<double> array_draw(const std::vector<py::ssize_t>& dims, const double* reals, std::int64_t count,
                               Engine& e) {
    using U = Unpack<P...>;
    return U::template array<Valid, Draw>(dims, reals, count, e, typename U::seq());
}

template <auto Valid, auto Draw, class... P>
constexpr auto array_draw_of(bool (*)(P...)) {
    return &array_draw<Valid, Draw, P...>;
}

const char* const kInterruptNote =
    "A Ctrl-C (KeyboardInterrupt) during a long draw leaves the engine advanced by the draws made.";

// The overloads of one draw function: scalar form, shape form (size a list
// of integers), size form (size one integer), then the same three with
// array parameters, in that order, so that the dispatcher tries them in that
// order. `engine` is an EngineArg: None does not match it, which makes the
// dispatcher try the next overload, and an engine never initialised is
// refused with TypeError; the array-parameter forms
// decline all-scalar parameters the same way, so those keep the first three
// forms (a 0-d array or a NumPy scalar converts to a float there).
template <class... P, class... Args>
py::object overloads(py::module_& m, const char* name, bool (*valid)(P...), typename DrawFn<P...>::type draw,
                     const py::arg_v& engine_arg, Args... params) {
    py::object f = py::none();
    f = py::cpp_function(
        [valid, draw](P... p, const EngineArg& e) {
            double v;
            {
                EngineHold hold(*e);
                ScalarCall scalar_call;
                v = valid(p...) ? draw(p..., e->generator()) : kNaN;
            }
            if (PyErr_Occurred()) throw py::error_already_set();  // interrupted
            return v;
        },
        py::name(name), py::scope(m), py::sibling(f), params..., engine_arg);
    f = py::cpp_function(
        [valid, draw](P... p, const std::vector<std::uint64_t>& size, const EngineArg& e) {
            std::vector<py::ssize_t> dims;
            for (std::uint64_t s : size) dims.push_back(dimension(s));
            return fill<P...>(dims, valid, draw, *e, p...);
        },
        py::name(name), py::scope(m), py::sibling(f), params..., py::arg("size"), engine_arg);
    f = py::cpp_function(
        [valid, draw](P... p, std::uint64_t size, const EngineArg& e) {
            return fill<P...>({dimension(size)}, valid, draw, *e, p...);
        },
        py::name(name), py::scope(m), py::sibling(f), params..., py::arg("size"), engine_arg);
    const std::array<const char*, sizeof...(P)> names = {params.name...};
    f = py::cpp_function(
        [name, names, valid, draw](const typename ParamType<P>::type&... p, const EngineArg& e) {
            return draw_varying<P...>(name, names.data(), valid, draw, *e, nullptr, {&p.array...});
        },
        py::name(name), py::scope(m), py::sibling(f), params..., engine_arg);
    f = py::cpp_function(
        [name, names, valid, draw](const typename ParamType<P>::type&... p, const std::vector<std::uint64_t>& size,
                                   const EngineArg& e) {
            std::vector<py::ssize_t> dims;
            for (std::uint64_t s : size) dims.push_back(dimension(s));
            return draw_varying<P...>(name, names.data(), valid, draw, *e, &dims, {&p.array...});
        },
        py::name(name), py::scope(m), py::sibling(f), params..., py::arg("size"), engine_arg);
    f = py::cpp_function(
        [name, names, valid, draw](const typename ParamType<P>::type&... p, std::uint64_t size, const EngineArg& e) {
            const std::vector<py::ssize_t> dims{dimension(size)};
            return draw_varying<P...>(name, names.data(), valid, draw, *e, &dims, {&p.array...});
        },
        py::name(name), py::scope(m), py::sibling(f), params..., py::arg("size"), engine_arg);
    return f;
}

double default_of(const py::arg&) { return kNaN; }
double default_of(const py::arg_v& a) { return py::cast<double>(a.value); }

// Registers one draw function: its overloads behind a fast entry for the
// all-scalar form.
// The count draws (counts) also take the keyword-only dtype.
template <auto Valid, auto Draw, class... Args>
void def_draw(py::module_& m, const char* name, const py::object& default_engine, bool counts, Args... params) {
    // The overload listings show this text for the default instead of the
    // default engine's address.
    const py::arg_v engine_arg("engine", default_engine, "<default Engine>");
    const py::object general = overloads(m, name, Valid, Draw, engine_arg, params...);
    DrawRow row;
    for (const char* n : {params.name..., "size", "engine"}) {
        PyObject* s = PyUnicode_InternFromString(n);
        if (s == nullptr) throw py::error_already_set();
        row.array_names.push_back(s);
        if (std::strcmp(n, "size") != 0) row.names.push_back(s);
    }
    row.defaults = {default_of(params)...};
    row.scalar = scalar_draw_of<Valid, Draw>(Valid);
    row.array = array_draw_of<Valid, Draw>(Valid);
    row.count_first = std::is_same<decltype(Valid), bool (*)(std::int64_t, double)>::value;
    row.name = name;
    row.general = general.inc_ref().ptr();  // held for the process, as the function object holds it
    g_draws.push_back(row);
    m.attr(name) = make_function(m, name, counts ? fast_count_draw : fast_draw, static_cast<int>(g_draws.size() - 1),
                                 general, kInterruptNote);
}

}  // namespace

Engine& default_engine() { return *g_default_engine; }

void register_draws(py::module_& m) {
    register_engine(m);
    g_engine_type = reinterpret_cast<PyTypeObject*>(py::type::of<Engine>().ptr());

    // The one default engine, made through the module's own attribute and
    // shared by every overload of every draw function as its `engine` default.
    const py::object engine = m.attr("Engine")(1);
    g_default_engine = engine.cast<Engine*>();
    g_dtype_name = PyUnicode_InternFromString("dtype");
    if (g_dtype_name == nullptr) throw py::error_already_set();

    using py::arg;
    def_draw<rnorm_valid, rnorm_unchecked>(m, "rnorm", engine, false, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rbern_valid, rbern_unchecked>(m, "rbern", engine, true, arg("prob"));
    def_draw<rbeta_valid, rbeta_unchecked>(m, "rbeta", engine, false, arg("a"), arg("b"));
    def_draw<rbinom_valid, rbinom_unchecked>(m, "rbinom", engine, true, arg("n_trials"), arg("prob"));
    def_draw<rcauchy_valid, rcauchy_unchecked>(m, "rcauchy", engine, false, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rchisq_valid, rchisq_unchecked>(m, "rchisq", engine, false, arg("dof"));
    def_draw<rexp_valid, rexp_unchecked>(m, "rexp", engine, false, arg("rate") = 1);
    def_draw<rf_valid, rf_unchecked>(m, "rf", engine, false, arg("df1"), arg("df2"));
    def_draw<rgamma_valid, rgamma_unchecked>(m, "rgamma", engine, false, arg("shape"), arg("scale") = 1);
    def_draw<rinvgamma_valid, rinvgamma_unchecked>(m, "rinvgamma", engine, false, arg("shape"), arg("scale") = 1);
    def_draw<rlaplace_valid, rlaplace_unchecked>(m, "rlaplace", engine, false, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rlnorm_valid, rlnorm_unchecked>(m, "rlnorm", engine, false, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rlogis_valid, rlogis_unchecked>(m, "rlogis", engine, false, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rpois_valid, rpois_unchecked>(m, "rpois", engine, true, arg("rate"));
    def_draw<rt_valid, rt_unchecked>(m, "rt", engine, false, arg("dof"));
    def_draw<runif_valid, runif_unchecked>(m, "runif", engine, false, arg("a") = 0, arg("b") = 1);
    def_draw<rweibull_valid, rweibull_unchecked>(m, "rweibull", engine, false, arg("shape"), arg("scale") = 1);
    def_draw<rnbinom_valid, rnbinom_unchecked>(m, "rnbinom", engine, true, arg("n_successes"), arg("prob"));
    def_draw<rgeom_valid, rgeom_unchecked>(m, "rgeom", engine, true, arg("prob"));
    def_draw<rhyper_valid, rhyper_unchecked>(m, "rhyper", engine, true, arg("n_good"), arg("n_bad"), arg("n_drawn"));
    def_draw<rwilcox_valid, rwilcox_unchecked>(m, "rwilcox", engine, true, arg("n_x"), arg("n_y"));
    def_draw<rsignrank_valid, rsignrank_unchecked>(m, "rsignrank", engine, true, arg("n_obs"));
}

}  // namespace zorvana
