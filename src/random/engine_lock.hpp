// The lock an Engine is held by for the length of a draw call. Unlike a bare
// mutex it knows the thread that holds it: the holder itself (a signal
// handler run on that thread in the middle of the call) can be told so
// instead of waiting for itself, and in a process made by fork a lock that a
// thread the child does not have held at the fork counts as free.
#pragma once

#include <atomic>
#include <cstdint>

namespace zorvana {

class EngineLock {
public:
    EngineLock() = default;
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    bool try_lock();
    // Waits while another thread holds it. Must not be called by the holder.
    void lock();
    void unlock();
    // Whether the calling thread holds it.
    bool held_here() const;

private:
    // The holder's thread number (see engine_lock.cpp); 0 when free.
    std::atomic<std::uint64_t> holder_{0};
};

}  // namespace zorvana
