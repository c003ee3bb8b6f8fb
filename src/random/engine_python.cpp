// Python side of the Engine. A copy or an unpickled engine holds the whole
// generator state, so it continues the original's stream bit for bit; the
// state can also be read and put back in place (__getstate__, __setstate__)
// to resume from a checkpoint.
#include "random/engine_python.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "random/engine.hpp"

namespace py = pybind11;

namespace zorvana {

const char* const kEngineInUse =
    "this Engine is in use by the call that the running signal handler interrupted on this thread: it can be "
    "read (repr, ==, copy, pickle) but not drawn from or changed until that call returns";

EngineHold::EngineHold(const Engine& e, Use use) : e_(e) {
    if (e_.lock().try_lock()) {
        owns_ = true;
        return;
    }
    if (e_.lock().held_here()) {
        if (use == Use::change) throw std::runtime_error(kEngineInUse);
        return;  // the holder is suspended here, between two outputs
    }
    PyThreadState* released = PyEval_SaveThread();
    e_.lock().lock();
    PyEval_RestoreThread(released);
    owns_ = true;
}

EngineHold::~EngineHold() {
    if (owns_) e_.lock().unlock();
}

namespace {

// Pickled state: (format, seed, words, next, outputs) with the 312 words as
// little-endian bytes. A new layout gets a new format number.
constexpr int kPickleFormat = 1;
constexpr std::size_t kWordBytes = 8;
constexpr std::size_t kStateBytes = Mt19937_64::kWords * kWordBytes;

// The generator's state, read while no draw runs on the engine.
Mt19937_64::State held_state(const Engine& e) {
    const EngineHold hold(e, EngineHold::Use::read);
    return e.generator().state();
}

py::tuple engine_getstate(const Engine& e) {
    const Mt19937_64::State s = held_state(e);
    std::string bytes(kStateBytes, '\0');
    for (std::size_t k = 0; k < Mt19937_64::kWords; ++k) {
        for (std::size_t b = 0; b < kWordBytes; ++b) {
            bytes[k * kWordBytes + b] = static_cast<char>((s.words[k] >> (8 * b)) & 0xFF);
        }
    }
    return py::make_tuple(kPickleFormat, e.seed(), py::bytes(bytes), s.next, s.outputs);
}

void engine_setstate(Engine& e, const py::tuple& t) {
    if (t.size() == 0 || !py::isinstance<py::int_>(t[0]) || t[0].cast<py::int_>().cast<long long>() != kPickleFormat) {
        throw py::value_error("Engine state of an unknown format; this build reads format " +
                              std::to_string(kPickleFormat));
    }
    if (t.size() != 5) throw py::value_error("Engine state: expected 5 fields");
    const std::string bytes = t[2].cast<py::bytes>();
    const auto next = t[3].cast<std::size_t>();
    if (bytes.size() != kStateBytes || next > Mt19937_64::kWords) {
        throw py::value_error("Engine state: malformed generator words or position");
    }
    Mt19937_64::State s{};
    for (std::size_t k = 0; k < Mt19937_64::kWords; ++k) {
        std::uint64_t w = 0;
        for (std::size_t b = 0; b < kWordBytes; ++b) {
            w |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[k * kWordBytes + b])) << (8 * b);
        }
        s.words[k] = w;
    }
    s.next = next;
    s.outputs = t[4].cast<std::uint64_t>();
    const EngineHold hold(e);
    e.restore(t[1].cast<std::int32_t>(), s);
}

std::unique_ptr<Engine> engine_copy(const Engine& e) {
    auto copy = std::make_unique<Engine>(e.seed());
    copy->restore(e.seed(), held_state(e));
    return copy;
}

bool same_state(const Engine& a, const Engine& b) {
    const Mt19937_64::State x = held_state(a);
    const Mt19937_64::State y = held_state(b);
    return a.seed() == b.seed() && x.words == y.words && x.next == y.next && x.outputs == y.outputs;
}

}  // namespace

void register_engine(py::module_& m) {
    // The seed is positional only: no keyword name. Defining __eq__ makes the
    // class unhashable, as a mutable value should be.
    py::class_<Engine> cls(m, "Engine");
    cls
        .def(py::init<std::int32_t>())
        .def("__repr__",
             [](const Engine& e) {
                 const EngineHold hold(e, EngineHold::Use::read);
                 return "<zorvana.Engine seed=" + std::to_string(e.seed()) +
                        " outputs=" + std::to_string(e.generator().state().outputs) + ">";
             })
        .def("__eq__",
             [](const Engine& e, const py::object& other) -> py::object {
                 if (!py::isinstance<Engine>(other)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 return py::bool_(same_state(e, other.cast<const Engine&>()));
             })
        .def("__copy__", &engine_copy)
        .def("__deepcopy__", [](const Engine& e, const py::object&) { return engine_copy(e); })
        .def("__getstate__", &engine_getstate,
             "The engine's whole state: (format 1, seed, the 312 generator words as little-endian bytes, "
             "index of the next word, outputs drawn).")
        // Unpickling calls Engine(seed), then __setstate__ on it, which works
        // for every pickle protocol (pybind11's own pickling constructs in
        // __setstate__ and needs protocol 2 or later).
        .def("__reduce__", [](const py::object& self) {
            const auto& e = self.cast<const Engine&>();
            return py::make_tuple(self.attr("__class__"), py::make_tuple(e.seed()), engine_getstate(e));
        });
    // pybind11 takes a method named __setstate__ for a constructor, which
    // does nothing on an engine that exists; this one restores in place.
    cls.attr("__setstate__") =
        py::cpp_function(&engine_setstate, py::name("setstate"), py::is_method(cls), py::arg("state"),
                         "Put the engine, in place, in a state that __getstate__ gave: resumes from a checkpoint.");
}

}  // namespace zorvana
