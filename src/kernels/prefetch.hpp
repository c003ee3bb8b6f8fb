// Kernel values computed ahead, in lanes, for a run of elements, and handed to
// the scalar kernels one element at a time: the caller arms a slot of its own
// thread with the exact arguments and the value; the scalar kernel, called
// with those arguments bit for bit, returns the value instead of computing it.
// The value is the kernel's own (the lane kernels equal the scalar ones bit
// for bit), so a scalar function that calls its kernels returns what it
// always did, whatever path it takes; arguments that differ simply miss.
#pragma once

#include <cstring>

namespace zorvana {

enum class Prefetch : int { erf_inv, gamma_p, gamma_p_inv, count };

struct PrefetchSlot {
    double a, x, value;
    bool armed;
};

inline thread_local PrefetchSlot prefetch_slots[static_cast<int>(Prefetch::count)] = {};

// The value armed for kernel k at arguments (a, x) exactly, if there is one.
inline bool prefetched(Prefetch k, double a, double x, double& value) {
    const PrefetchSlot& s = prefetch_slots[static_cast<int>(k)];
    if (!s.armed || std::memcmp(&s.a, &a, sizeof a) != 0 || std::memcmp(&s.x, &x, sizeof x) != 0) return false;
    value = s.value;
    return true;
}

// Arms kernel k's slot for the lifetime of the object.
class PrefetchScope {
   public:
    PrefetchScope(Prefetch k, double a, double x, double value) : slot_(prefetch_slots[static_cast<int>(k)]) {
        slot_ = PrefetchSlot{a, x, value, true};
    }
    ~PrefetchScope() { slot_.armed = false; }
    PrefetchScope(const PrefetchScope&) = delete;
    PrefetchScope& operator=(const PrefetchScope&) = delete;

   private:
    PrefetchSlot& slot_;
};

}  // namespace zorvana
