// Values that depend on a distribution's parameters only (log sigma, the
// log-gamma of a shape, ln B(a, b)) are the same for every element of a call
// that passes one parameter set. Each is remembered per thread for the few
// most recent arguments, keyed by their exact bits (NaN payloads and signed
// zeros included), so a hit returns precisely what the computation returned.
#pragma once

#include <cstdint>
#include <cstring>

#include "kernels/platform.hpp"

namespace zorvana {

// A memo of a pure function of Arity doubles, holding the last Entries
// arguments and results, replaced in turn. Meant as a function-local
// thread_local: it is constant-initialised and never shared between threads.
// Built with ZORVANA_PLAIN_LOOPS it remembers nothing.
template <int Arity, int Entries = 4>
class ParamMemo {
  public:
    // Neither inlined nor cloned, so that `this` stays a plain pointer and
    // the thread's memo is located once per call: with the thread-local
    // address folded in, the compiler looks it up again at every use.
    template <class Compute>
    ZV_NOINLINE_NOCLONE double get(const double (&args)[Arity], Compute compute) {
#ifndef ZORVANA_PLAIN_LOOPS
        std::uint64_t key[Arity];
        std::memcpy(key, args, sizeof key);
        for (int e = 0; e < filled_; ++e) {
            if (std::memcmp(keys_[e], key, sizeof key) == 0) return values_[e];
        }
        // Computed before a slot is taken: compute may use other memos.
        const double value = compute();
        std::memcpy(keys_[next_], key, sizeof key);
        values_[next_] = value;
        next_ = (next_ + 1) % Entries;
        if (filled_ < Entries) ++filled_;
        return value;
#else
        (void)args;
        return compute();
#endif
    }

  private:
    std::uint64_t keys_[Entries][Arity] = {};
    double values_[Entries] = {};
    int filled_ = 0;
    int next_ = 0;
};

}  // namespace zorvana
