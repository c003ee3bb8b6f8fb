// Cancellation of long loops. A loop whose length grows with its arguments
// (a search over counts, a sum of masses, a trial-by-trial draw) asks
// interrupt_requested() every so often: once per costly iteration, or once
// per 2^k cheap ones, so that a check comes every few milliseconds of work at
// most and costs nothing measurable per element. On true the loop returns at
// once with any value (NaN by habit); the caller discards it.
//
// This header needs no Python. Without a check installed (the C++-only
// builds of the tests) the answer is always false; the Python module installs
// one that reports a pending Ctrl-C of the call being served.
#pragma once

#include <atomic>

namespace zorvana {

using InterruptCheck = bool (*)();

inline std::atomic<InterruptCheck> interrupt_check{nullptr};

inline bool interrupt_requested() {
    const InterruptCheck check = interrupt_check.load(std::memory_order_relaxed);
    return check != nullptr && check();
}

}  // namespace zorvana
