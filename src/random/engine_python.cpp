// Python side of the Engine. A copy or an unpickled engine holds the whole
// generator state, so it continues the original's stream bit for bit; the
// state can also be read and put back in place (__getstate__, __setstate__)
// to resume from a checkpoint. advance, jumped and spawn move along the
// stream by polynomial jumps (mt19937_64_jump.hpp).
#include "random/engine_python.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "module/docstrings.hpp"
#include "random/engine.hpp"
#include "random/engine_state.hpp"
#include "random/mt19937_64_jump.hpp"
#include "random/seed_python.hpp"
#include "random/wide.hpp"

namespace py = pybind11;

namespace zorvana {
namespace {

// A count argument of advance, jumped and spawn: any object, checked by
// count_argument (its own TypeError text); the signatures show it as int.
struct CountArg {
    py::object value;
};

// The seed of Engine(seed): any object, checked by seed_from_python.
struct SeedArg {
    py::object value;
};

// The instance of __setstate__: any Engine, its engine constructed or not.
struct AnyEngine {
    py::handle self;
};

}  // namespace
}  // namespace zorvana

namespace pybind11 {
namespace detail {

template <>
struct type_caster<zorvana::CountArg> {
    PYBIND11_TYPE_CASTER(zorvana::CountArg, const_name("int"));
    bool load(handle src, bool) {
        value.value = reinterpret_borrow<object>(src);
        return true;
    }
};

template <>
struct type_caster<zorvana::SeedArg> {
    PYBIND11_TYPE_CASTER(zorvana::SeedArg, const_name("Union[int, Sequence[int], numpy.random.SeedSequence]"));
    bool load(handle src, bool) {
        value.value = reinterpret_borrow<object>(src);
        return true;
    }
};

template <>
struct type_caster<zorvana::AnyEngine> {
    PYBIND11_TYPE_CASTER(zorvana::AnyEngine, type_caster_base<zorvana::Engine>::name);
    bool load(handle src, bool) {
        value.self = src;
        return isinstance<zorvana::Engine>(src);
    }
};

}  // namespace detail
}  // namespace pybind11

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

Engine* constructed_engine(py::handle instance) {
    auto* inst = reinterpret_cast<py::detail::instance*>(instance.ptr());
    const py::detail::value_and_holder v_h =
        inst->get_value_and_holder(py::detail::get_type_info(typeid(Engine)), false);
    if (!v_h || !v_h.holder_constructed()) return nullptr;
    return v_h.value_ptr<Engine>();
}

namespace {

const char* const kNeverInitialised =
    "this zorvana.Engine was never initialised (made by Engine.__new__ without Engine(seed) or __setstate__): "
    "it cannot be used";

}  // namespace

bool load_engine_arg(EngineArg& arg, py::handle src) {
    if (!py::isinstance<Engine>(src)) return false;
    arg.engine = constructed_engine(src);
    if (arg.engine == nullptr) throw py::type_error(kNeverInitialised);
    return true;
}

namespace {

// Pickled state: (format, seed, words, next, outputs, origin, span, spawned)
// with the 312 words as little-endian bytes. Format 1, the first five
// fields, is still read (origin 0, span 256, nothing spawned). A new layout
// gets a new format number. Format 3 is format 2 with a seed wider than 32
// bits (an int of 2^31 or more, or a tuple of words): an engine with a
// 32-bit seed still pickles as format 2, which earlier builds read.
constexpr int kPickleFormat = 2;
constexpr int kPickleFormatKeySeed = 3;
constexpr std::size_t kWordBytes = 8;
constexpr std::size_t kStateBytes = Mt19937_64::kWords * kWordBytes;

// The longest advance, and the most jumps (each 2^128 outputs).
constexpr unsigned kLongestAdvanceBits = 256;
constexpr unsigned kJumpBits = 128;

// Everything about an engine, read while no draw runs on it.
struct Snapshot {
    Seed seed;
    Mt19937_64::State state;
    Wide origin;
    unsigned span;
    std::uint64_t spawned;
};

Snapshot snapshot(const Engine& e) {
    const EngineHold hold(e, EngineHold::Use::read);
    return Snapshot{e.seed(), e.generator().state(), e.origin(), e.span(), e.spawned()};
}

// ---- Integers between Python and Wide ------------------------------------

py::int_ to_python(const Wide& v) {
    py::object r = py::int_(0);
    const py::int_ shift(64);
    for (std::size_t k = Wide::kWords; k-- > 0;) {
        r = py::reinterpret_steal<py::object>(PyNumber_Lshift(r.ptr(), shift.ptr()));
        if (!r) throw py::error_already_set();
        r = py::reinterpret_steal<py::object>(PyNumber_Or(r.ptr(), py::int_(v.w[k]).ptr()));
        if (!r) throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::int_>(r);
}

Wide from_python(py::int_ v) {
    Wide r;
    const py::int_ shift(64);
    for (std::size_t k = 0; k < Wide::kWords; ++k) {
        r.w[k] = PyLong_AsUnsignedLongLongMask(v.ptr());
        if (PyErr_Occurred()) throw py::error_already_set();
        py::object next = py::reinterpret_steal<py::object>(PyNumber_Rshift(v.ptr(), shift.ptr()));
        if (!next) throw py::error_already_set();
        v = py::reinterpret_borrow<py::int_>(next);
    }
    return r;
}

// An integer argument in [0, 2^limit_bits] (an int, or an object with an
// integer index): TypeError for anything else, ValueError outside the range.
Wide count_argument(const py::handle& o, const char* where, const char* name, unsigned limit_bits) {
    if (PyFloat_Check(o.ptr()) || !PyIndex_Check(o.ptr())) {
        throw py::type_error(std::string(where) + ": " + name + " must be an integer, not " +
                             std::string(py::str(py::type::handle_of(o).attr("__name__"))));
    }
    PyObject* index = PyNumber_Index(o.ptr());
    if (index == nullptr) throw py::error_already_set();
    const py::int_ v = py::reinterpret_steal<py::int_>(index);
    const py::int_ zero(0);
    if (v < zero) throw py::value_error(std::string(where) + ": " + name + " must not be negative");
    const py::int_ limit = to_python(Wide::power_of_two(limit_bits));
    if (v > limit) {
        throw py::value_error(std::string(where) + ": " + name + " must be at most 2**" + std::to_string(limit_bits));
    }
    return from_python(v);
}

// ---- State, copies, comparison, repr ----------------------------------------

py::tuple engine_getstate(const Engine& e) {
    const Snapshot s = snapshot(e);
    std::string bytes(kStateBytes, '\0');
    for (std::size_t k = 0; k < Mt19937_64::kWords; ++k) {
        for (std::size_t b = 0; b < kWordBytes; ++b) {
            bytes[k * kWordBytes + b] = static_cast<char>((s.state.words[k] >> (8 * b)) & 0xFF);
        }
    }
    const int format = s.seed.kind == Seed::Kind::small ? kPickleFormat : kPickleFormatKeySeed;
    return py::make_tuple(format, seed_to_python(s.seed), py::bytes(bytes), s.state.next, to_python(s.state.outputs),
                          to_python(s.origin), s.span, s.spawned);
}

// ---- Reading a state ----------------------------------------------------------

// An integer field: an int, or an object with an integer index (not a bool
// or a float): TypeError naming the field otherwise.
py::int_ int_field(const py::tuple& t, std::size_t i, const char* name) {
    const py::handle o = t[i];
    if (PyBool_Check(o.ptr()) || PyFloat_Check(o.ptr()) || !PyIndex_Check(o.ptr())) {
        throw py::type_error(std::string("Engine state: ") + name + " must be an integer, not " +
                             std::string(py::str(py::type::handle_of(o).attr("__name__"))));
    }
    PyObject* index = PyNumber_Index(o.ptr());
    if (index == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::int_>(index);
}

// An integer field in [lo, hi]: ValueError naming the field and the range otherwise.
py::int_ int_in(const py::tuple& t, std::size_t i, const char* name, const py::int_& lo, const py::int_& hi,
                const char* range) {
    const py::int_ v = int_field(t, i, name);
    if (v < lo || v > hi) throw py::value_error(std::string("Engine state: ") + name + " must be " + range);
    return v;
}

// A state as __getstate__ gives it, each field checked for its type and
// range, then the fields against each other (engine_state_fault).
EngineState read_state(const py::tuple& t) {
    if (t.size() == 0) throw py::value_error("Engine state: empty");
    const py::int_ given = int_field(t, 0, "format");
    int format = 0;
    for (int known = 1; known <= kPickleFormatKeySeed; ++known) {
        if (given.equal(py::int_(known))) format = known;
    }
    if (format == 0) {
        throw py::value_error("Engine state of an unknown format; this build reads formats 1 to " +
                              std::to_string(kPickleFormatKeySeed));
    }
    const std::size_t fields = format == 1 ? 5 : 8;
    if (t.size() != fields) throw py::value_error("Engine state: expected " + std::to_string(fields) + " fields");
    const py::int_ zero(0);
    const py::int_ wide_max = to_python(Wide() - Wide(1));
    EngineState s{};
    // Formats 1 and 2 hold a 32-bit seed; format 3 a wider integer or a key
    // of words, as Engine(seed) takes them.
    if (format == kPickleFormatKeySeed) {
        s.seed = seed_from_python(t[1]);
        if (s.seed.kind == Seed::Kind::small) {
            throw py::value_error("Engine state: seed of format 3 must be wider than 32 bits or a sequence of words");
        }
    } else {
        s.seed = Seed::of_small(int_in(t, 1, "seed", py::int_(INT32_MIN), py::int_(INT32_MAX),
                                       "from -2**31 to 2**31 - 1")
                                    .cast<std::int32_t>());
    }
    if (!PyBytes_Check(t[2].ptr())) {
        throw py::type_error("Engine state: words must be bytes, not " +
                             std::string(py::str(py::type::handle_of(t[2]).attr("__name__"))));
    }
    const std::string bytes = t[2].cast<py::bytes>();
    if (bytes.size() != kStateBytes) {
        throw py::value_error("Engine state: words must be " + std::to_string(kStateBytes) + " bytes");
    }
    for (std::size_t k = 0; k < Mt19937_64::kWords; ++k) {
        std::uint64_t w = 0;
        for (std::size_t b = 0; b < kWordBytes; ++b) {
            w |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[k * kWordBytes + b])) << (8 * b);
        }
        s.generator.words[k] = w;
    }
    s.generator.next = int_in(t, 3, "next", zero, py::int_(Mt19937_64::kWords), "from 0 to 312").cast<std::size_t>();
    s.generator.outputs = from_python(int_in(t, 4, "outputs", zero, wide_max, "from 0 to 2**320 - 1"));
    s.span = Engine::kRootSpan;
    if (format != 1) {
        s.origin = from_python(int_in(t, 5, "origin", zero, wide_max, "from 0 to 2**320 - 1"));
        s.span = int_in(t, 6, "span", py::int_(Engine::kLeastSpawnedSpan), py::int_(Engine::kRootSpan),
                        "one of 256, 224, 192, 160, 128 and 96").cast<unsigned>();
        s.spawned = int_in(t, 7, "spawned", zero, py::int_(Engine::kMostSpawned), "from 0 to 2**32 - 2")
                        .cast<std::uint64_t>();
    }
    if (const char* fault = engine_state_fault(s)) throw py::value_error(fault);
    return s;
}

// Puts an instance in the state: in place when its engine exists; an
// instance never initialised (Engine.__new__, as unpickling by NEWOBJ and
// BUILD makes one) gets its engine constructed here, whole, so it is then as
// one made by Engine(seed). Nothing changes when the state is refused.
void engine_setstate(const AnyEngine& instance, const py::tuple& t) {
    const py::handle self = instance.self;
    const EngineState s = read_state(t);
    if (Engine* e = constructed_engine(self)) {
        const EngineHold hold(*e);
        e->restore(s.seed, s.generator);
        e->place(s.origin, s.span, s.spawned);
        return;
    }
    auto made = std::make_unique<Engine>(s.seed);
    made->restore(s.seed, s.generator);
    made->place(s.origin, s.span, s.spawned);
    auto* inst = reinterpret_cast<py::detail::instance*>(self.ptr());
    py::detail::value_and_holder v_h = inst->get_value_and_holder(py::detail::get_type_info(typeid(Engine)));
    if (v_h.value_ptr() != nullptr) {
        // Raw storage that pybind11 allocated for the unconstructed value.
        py::detail::call_operator_delete(v_h.value_ptr(), v_h.type->type_size, v_h.type->type_align);
    }
    v_h.value_ptr() = made.release();
    v_h.type->init_instance(inst, nullptr);  // the holder takes the engine; the instance is registered
}

std::unique_ptr<Engine> engine_of_snapshot(const Snapshot& s) {
    auto copy = std::make_unique<Engine>(s.seed);
    copy->restore(s.seed, s.state);
    copy->place(s.origin, s.span, s.spawned);
    return copy;
}

std::unique_ptr<Engine> engine_copy(const Engine& e) { return engine_of_snapshot(snapshot(e)); }

bool same_state(const Engine& a, const Engine& b) {
    const Snapshot x = snapshot(a);
    const Snapshot y = snapshot(b);
    return x.seed == y.seed && x.state.words == y.state.words && x.state.next == y.state.next &&
           x.state.outputs == y.state.outputs && x.origin == y.origin && x.span == y.span &&
           x.spawned == y.spawned;
}

// An offset as a sum of multiples of powers 2^(32 k), highest first:
// 3*2**224+2**128+17.
std::string power_sum(const Wide& v) {
    std::string text;
    for (unsigned k = 2 * Wide::kWords; k-- > 0;) {
        const std::uint64_t digit = (v.w[k / 2] >> (32 * (k % 2))) & 0xFFFFFFFFu;
        if (digit == 0) continue;
        if (!text.empty()) text += "+";
        if (k == 0) {
            text += std::to_string(digit);
        } else {
            if (digit != 1) text += std::to_string(digit) + "*";
            text += "2**" + std::to_string(32 * k);
        }
    }
    return text.empty() ? "0" : text;
}

std::string engine_repr(const Engine& e) {
    const Snapshot s = snapshot(e);
    std::string text = "<zorvana.Engine seed=" + seed_text(s.seed);
    if (!s.origin.is_zero()) text += " origin=" + power_sum(s.origin);
    text += " outputs=" + std::string(py::str(to_python(s.state.outputs - s.origin)));
    if (s.spawned != 0) text += " spawned=" + std::to_string(s.spawned);
    return text + ">";
}

// ---- Moving along the stream --------------------------------------------------

void engine_advance(Engine& e, const CountArg& n) {
    const Wide count = count_argument(n.value, "Engine.advance", "n", kLongestAdvanceBits);
    const EngineHold hold(e);
    const py::gil_scoped_release nogil;
    e.generator().advance(count);
}

std::unique_ptr<Engine> engine_jumped(const Engine& e, const CountArg& jumps) {
    const Wide j = count_argument(jumps.value, "Engine.jumped", "jumps", kJumpBits);
    Snapshot s = snapshot(e);
    Wide skip;  // j * 2^128
    for (std::size_t k = 0; k + 2 < Wide::kWords; ++k) skip.w[k + 2] = j.w[k];
    {
        const py::gil_scoped_release nogil;
        Mt19937_64 gen(0);
        gen.set_state(s.state);
        gen.advance(skip);
        s.state = gen.state();
    }
    s.origin = s.state.outputs;
    s.span = Engine::kJumpedSpan;
    s.spawned = 0;
    return engine_of_snapshot(s);
}

// The engine is held for the whole call, the interpreter lock released while
// each jump runs; between two children the call looks for a signal whose
// handler raised (a Ctrl-C): it then ends with that exception, the children
// made so far dropped and the parent's spawn count as it was.
py::list engine_spawn(Engine& e, const CountArg& count) {
    const Wide wide_n = count_argument(count.value, "Engine.spawn", "n", 64);
    py::list out;
    if (wide_n.is_zero()) return out;
    const std::uint64_t n = wide_n.w[0];
    const EngineHold hold(e);
    if (e.span() < Engine::kLeastSpawnedSpan + Engine::kSpawnBits) {
        throw py::value_error("Engine.spawn: an engine spawned " + std::to_string(
                                  (Engine::kRootSpan - e.span()) / Engine::kSpawnBits) +
                              " levels down (or jumped and spawned) cannot spawn further");
    }
    if (wide_n.bit_length() > 64 || n > Engine::kMostSpawned - e.spawned()) {
        throw py::value_error("Engine.spawn: an engine spawns at most 2**32 - 2 engines in all; this one has "
                              "spawned " + std::to_string(e.spawned()));
    }
    const unsigned child_span = e.span() - Engine::kSpawnBits;
    StrideJumps& strides = StrideJumps::shared();
    // The first child is e.spawned() + 1 strides on; each next one a stride further.
    const auto first = static_cast<std::uint32_t>(e.spawned() + 1);
    // The jumps this takes, where not made yet (the first spawn in a process):
    // a squaring at a time, looking for a Ctrl-C between them.
    while (!strides.ready(child_span, first)) {
        {
            const py::gil_scoped_release nogil;
            strides.make_next();
        }
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    Mt19937_64 gen(0);
    gen.set_state(e.generator().state());
    for (std::uint64_t k = 0; k < n; ++k) {
        {
            const py::gil_scoped_release nogil;
            strides.advance(gen, child_span, k == 0 ? first : 1u);
        }
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        const Mt19937_64::State child = gen.state();
        out.append(py::cast(engine_of_snapshot(Snapshot{e.seed(), child, child.outputs, child_span, 0})));
    }
    e.set_spawned(e.spawned() + n);
    return out;
}

}  // namespace

void register_engine(py::module_& m) {
    // The seed is positional only: no keyword name; left out, it is drawn
    // from the operating system. Defining __eq__ makes the class unhashable,
    // as a mutable value should be. Every method takes the instance as an
    // EngineArg, which refuses one never initialised.
    py::class_<Engine> cls(m, "Engine");
    cls
        .def(py::init([]() { return std::make_unique<Engine>(entropy_seed()); }))
        .def(py::init([](const SeedArg& seed) { return std::make_unique<Engine>(seed_from_python(seed.value)); }))
        .def_property_readonly(
            "seed", [](const EngineArg& e) { return seed_to_python(e->seed()); },
            "The seed this engine's stream starts from: Engine(seed) starts it again (an int, or a tuple of "
            "64-bit words for a sequence or a SeedSequence).")
        .def("__repr__", [](const EngineArg& e) { return engine_repr(*e); })
        .def("__eq__",
             [](const EngineArg& e, const py::object& other) -> py::object {
                 if (!py::isinstance<Engine>(other)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 EngineArg o;
                 load_engine_arg(o, other);
                 return py::bool_(same_state(*e, *o));
             })
        .def("__copy__", [](const EngineArg& e) { return engine_copy(*e); })
        .def("__deepcopy__", [](const EngineArg& e, const py::object&) { return engine_copy(*e); })
        .def("__getstate__", [](const EngineArg& e) { return engine_getstate(*e); },
             "The engine's whole state: (format 2, or 3 for a seed wider than 32 bits; seed; the 312 generator "
             "words as little-endian bytes; index of the next word; outputs since seeding; origin; span; "
             "engines spawned).")
        // Unpickling calls Engine(seed), then __setstate__ on it, which works
        // for every pickle protocol (pybind11's own pickling constructs in
        // __setstate__ and needs protocol 2 or later).
        .def("__reduce__", [](const py::object& self) {
            EngineArg e;
            load_engine_arg(e, self);
            return py::make_tuple(self.attr("__class__"), py::make_tuple(seed_to_python(e->seed())),
                                  engine_getstate(*e));
        })
        .def("advance", [](const EngineArg& e, const CountArg& n) { engine_advance(*e, n); }, py::arg("n"),
             doc_of("Engine.advance").body)
        .def("jumped", [](const EngineArg& e, const CountArg& jumps) { return engine_jumped(*e, jumps); },
             py::arg_v("jumps", py::int_(1), "1"), doc_of("Engine.jumped").body)
        .def("spawn", [](const EngineArg& e, const CountArg& n) { return engine_spawn(*e, n); }, py::arg("n"),
             doc_of("Engine.spawn").body);
    // pybind11 takes a method named __setstate__ for a constructor, which
    // does nothing on an engine that exists; this one restores in place, or
    // initialises an instance that Engine.__new__ made.
    cls.attr("__setstate__") =
        py::cpp_function(&engine_setstate, py::name("setstate"), py::is_method(cls), py::arg("state"),
                         "Put the engine, in place, in a state that __getstate__ gave: resumes from a checkpoint.");
}

}  // namespace zorvana
