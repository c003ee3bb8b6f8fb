#include "random/seed_python.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace py = pybind11;

namespace zorvana {
namespace {

// The SeedSequence words an engine is keyed with: 256 bits, twice the
// sequence's default pool.
constexpr int kSeedSequenceWords = 4;
// Bytes of entropy behind Engine().
constexpr int kEntropyBytes = 16;

std::string type_name(const py::handle& o) { return py::str(py::type::handle_of(o).attr("__name__")); }

// The index of an integer-like object (not a float), or a null object.
py::object index_of(const py::handle& o) {
    if (PyFloat_Check(o.ptr()) || !PyIndex_Check(o.ptr())) return py::object();
    PyObject* v = PyNumber_Index(o.ptr());
    if (v == nullptr) {
        // a NumPy array has an index only when it holds one integer without dimensions: others are sequences
        if (!PySequence_Check(o.ptr())) throw py::error_already_set();
        PyErr_Clear();
    }
    return py::reinterpret_steal<py::object>(v);
}

// The 64-bit words of a non-negative integer, least significant first.
std::vector<std::uint64_t> words_of(py::int_ v) {
    std::vector<std::uint64_t> key;
    const py::int_ zero(0), shift(64);
    do {
        key.push_back(PyLong_AsUnsignedLongLongMask(v.ptr()));
        if (PyErr_Occurred()) throw py::error_already_set();
        PyObject* next = PyNumber_Rshift(v.ptr(), shift.ptr());
        if (next == nullptr) throw py::error_already_set();
        v = py::reinterpret_steal<py::int_>(next);
    } while (v > zero);
    return key;
}

py::int_ integer_of(const std::vector<std::uint64_t>& key) {
    py::object r = py::int_(0);
    const py::int_ shift(64);
    for (std::size_t k = key.size(); k-- > 0;) {
        r = py::reinterpret_steal<py::object>(PyNumber_Lshift(r.ptr(), shift.ptr()));
        if (!r) throw py::error_already_set();
        r = py::reinterpret_steal<py::object>(PyNumber_Or(r.ptr(), py::int_(key[k]).ptr()));
        if (!r) throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::int_>(r);
}

bool is_seed_sequence(const py::handle& o) {
    return py::hasattr(o, "generate_state") && py::hasattr(o, "entropy") && py::hasattr(o, "spawn_key");
}

Seed of_words(const py::handle& items) {
    std::vector<std::uint64_t> key;
    const py::int_ zero(0), top(py::int_(1) << py::int_(64));
    for (const py::handle item : items) {
        const py::object v = index_of(item);
        if (!v) {
            throw py::type_error("Engine: the words of a seed sequence must be integers, not " + type_name(item));
        }
        if (v < zero || !(v < top)) throw py::value_error("Engine: the words of a seed sequence must be in [0, 2**64)");
        key.push_back(PyLong_AsUnsignedLongLong(v.ptr()));
    }
    if (key.empty()) throw py::value_error("Engine: a seed sequence needs at least one word");
    return Seed::of_key(Seed::Kind::words, std::move(key));
}

}  // namespace

Seed seed_from_python(const py::handle& seed) {
    if (seed.is_none()) return entropy_seed();
    const py::object v = index_of(seed);
    if (v) {
        const py::int_ least(-(std::int64_t{1} << 31)), above(std::int64_t{1} << 31);
        if (v < least) throw py::type_error("Engine: an integer seed must be at least -2**31");
        if (v < above) return Seed::of_small(static_cast<std::int32_t>(v.cast<long long>()));
        return Seed::of_key(Seed::Kind::integer, words_of(py::reinterpret_borrow<py::int_>(v)));
    }
    if (is_seed_sequence(seed)) {
        const py::object uint64 = py::module_::import("numpy").attr("uint64");
        return of_words(seed.attr("generate_state")(kSeedSequenceWords, uint64));
    }
    if (!PyFloat_Check(seed.ptr()) && !PyUnicode_Check(seed.ptr()) && !PyBytes_Check(seed.ptr()) &&
        !PyByteArray_Check(seed.ptr()) && PySequence_Check(seed.ptr())) {
        return of_words(seed);
    }
    throw py::type_error("Engine: the seed must be an integer, a sequence of integers or a "
                         "numpy.random.SeedSequence, not " + type_name(seed));
}

Seed entropy_seed() {
    const py::object urandom = py::module_::import("os").attr("urandom");
    const py::object from_bytes = py::module_::import("builtins").attr("int").attr("from_bytes");
    const py::int_ least(std::int64_t{1} << 31);
    for (;;) {
        const py::int_ v = from_bytes(urandom(kEntropyBytes), "little").cast<py::int_>();
        // below 2^31 (one chance in 2^97) it would read back as a 32-bit seed
        if (!(v < least)) return Seed::of_key(Seed::Kind::integer, words_of(v));
    }
}

py::object seed_to_python(const Seed& seed) {
    switch (seed.kind) {
        case Seed::Kind::small: return py::int_(seed.small);
        case Seed::Kind::integer: return integer_of(seed.key);
        case Seed::Kind::words: break;
    }
    py::tuple t(seed.key.size());
    for (std::size_t k = 0; k < seed.key.size(); ++k) t[k] = py::int_(seed.key[k]);
    return std::move(t);
}

std::string seed_text(const Seed& seed) { return py::repr(seed_to_python(seed)); }

}  // namespace zorvana
