// Registers the Engine class with its constructor, repr, equality, copies
// and pickling.
#pragma once

#include <pybind11/pybind11.h>

#include "random/engine.hpp"

namespace zorvana {

// Takes an engine's lock from a thread that holds the interpreter lock,
// releasing the interpreter lock while it waits (the holder of the engine may
// need the interpreter lock before it lets go).
//
// The engine may be held by a call on this very thread: a signal handler runs
// in the middle of a draw, at a point between two outputs. A change (a draw,
// a new state) of that engine is refused with RuntimeError (std::runtime_error
// with the text below); a reading (repr, comparison, copy, pickling) reads the
// engine as it stands there, without waiting for itself.
class EngineHold {
public:
    enum class Use { change, read };
    explicit EngineHold(const Engine& e, Use use = Use::change);
    ~EngineHold();
    EngineHold(const EngineHold&) = delete;
    EngineHold& operator=(const EngineHold&) = delete;

private:
    const Engine& e_;
    bool owns_ = false;
};

// The RuntimeError's text for a change of an engine held by this thread.
extern const char* const kEngineInUse;

// An Engine argument (self of the methods, the engine of a draw): an
// instance whose C++ engine was constructed. One made by Engine.__new__
// alone (never initialised) is refused with TypeError before anything reads
// it; None and objects of other types do not match (pybind11 then tries the
// next overload, and raises its TypeError when none matches).
struct EngineArg {
    Engine* engine = nullptr;
    Engine& operator*() const { return *engine; }
    Engine* operator->() const { return engine; }
};

// The engine inside an instance of the Engine class, or nullptr when none was
// ever constructed there.
Engine* constructed_engine(pybind11::handle instance);

bool load_engine_arg(EngineArg& arg, pybind11::handle src);

void register_engine(pybind11::module_& m);

}  // namespace zorvana

namespace pybind11 {
namespace detail {

template <>
struct type_caster<zorvana::EngineArg> {
    // Shown in signatures as the class itself.
    PYBIND11_TYPE_CASTER(zorvana::EngineArg, type_caster_base<zorvana::Engine>::name);
    bool load(handle src, bool) { return zorvana::load_engine_arg(value, src); }
};

}  // namespace detail
}  // namespace pybind11
