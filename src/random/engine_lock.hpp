// The lock an Engine is held by for the length of a draw call. Unlike a bare
// mutex it knows the thread that holds it: the holder itself (a signal
// handler run on that thread in the middle of the call) can be told so
// instead of waiting for itself, and a process made by fork frees the locks
// that threads it did not inherit held at the moment of the fork.
#pragma once

#include <thread>

namespace zorvana {

// Run in a forked child (registered at load): frees the locks held by other
// threads than the one that forked.
void free_engine_locks_after_fork();

class EngineLock {
public:
    EngineLock() = default;
    ~EngineLock();
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    bool try_lock();
    // Waits while another thread holds it. Must not be called by the holder.
    void lock();
    void unlock();
    // Whether the calling thread holds it.
    bool held_here() const;

private:
    void take();
    void release();

    bool held_ = false;
    std::thread::id owner_;
    // The locks held at any moment form a list (for the fork).
    EngineLock* prev_ = nullptr;
    EngineLock* next_ = nullptr;

    friend void free_engine_locks_after_fork();
};

}  // namespace zorvana
