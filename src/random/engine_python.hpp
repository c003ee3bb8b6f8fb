// Registers the Engine class with its constructor, repr, equality, copies
// and pickling.
#pragma once

#include <pybind11/pybind11.h>

#include "random/engine.hpp"

namespace zorvana {

// Takes an engine's lock from a thread that holds the interpreter lock,
// releasing the interpreter lock while it waits (the holder of the engine may
// need the interpreter lock before it lets go).
class EngineHold {
public:
    explicit EngineHold(const Engine& e) : e_(e) {
        if (!e_.lock().try_lock()) {
            PyThreadState* released = PyEval_SaveThread();
            e_.lock().lock();
            PyEval_RestoreThread(released);
        }
    }
    ~EngineHold() { e_.lock().unlock(); }
    EngineHold(const EngineHold&) = delete;
    EngineHold& operator=(const EngineHold&) = delete;

private:
    const Engine& e_;
};

void register_engine(pybind11::module_& m);

}  // namespace zorvana
