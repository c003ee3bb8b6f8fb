#include "random/engine_lock.hpp"

#include <condition_variable>
#include <mutex>
#include <new>

#include "kernels/platform.hpp"

namespace zorvana {

namespace {

// Each thread that takes an engine lock gets a number, never reused in the
// process or in its forked children (which continue the count).
std::atomic<std::uint64_t> g_next_number{1};
thread_local std::uint64_t t_number = 0;

std::uint64_t this_thread_number() {
    if (t_number == 0) t_number = g_next_number.fetch_add(1);
    return t_number;
}

// After a fork, the threads alive are the one that forked and those started
// since: a lock held by any other number was held by a thread the child
// does not have. Written only in the child, before it has other threads.
std::uint64_t g_forker = 0;
std::uint64_t g_first_since_fork = 0;

bool holder_alive(std::uint64_t holder) { return holder == g_forker || holder >= g_first_since_fork; }

// Threads waiting for a lock another thread holds (the rare case) wait on one
// condition for all engines, counted so that an unlock with nobody waiting
// costs no more than a bare mutex's. Both live for the process: a draw may
// still be running on another thread when the interpreter exits.
alignas(std::mutex) unsigned char g_mutex_storage[sizeof(std::mutex)];
alignas(std::condition_variable) unsigned char g_freed_storage[sizeof(std::condition_variable)];
std::mutex* g_mutex = new (g_mutex_storage) std::mutex;
std::condition_variable* g_freed = new (g_freed_storage) std::condition_variable;
std::atomic<int> g_waiters{0};

// In the child the waiters are gone, and the mutex and condition may be in a
// state only they could have left: both are made anew (the old ones are not
// destroyed, which that state would not allow).
void after_fork_in_child() {
    g_mutex = new (g_mutex_storage) std::mutex;
    g_freed = new (g_freed_storage) std::condition_variable;
    g_waiters.store(0);
    g_forker = t_number;
    g_first_since_fork = g_next_number.load();
}

ZV_AT_FORK_CHILD(after_fork_in_child);

}  // namespace

bool EngineLock::try_lock() {
    const std::uint64_t me = this_thread_number();
    std::uint64_t holder = 0;
    if (holder_.compare_exchange_strong(holder, me)) return true;
    // A holder that a fork left behind: take the lock over.
    return !holder_alive(holder) && holder_.compare_exchange_strong(holder, me);
}

void EngineLock::lock() {
    if (try_lock()) return;
    std::unique_lock<std::mutex> guard(*g_mutex);
    g_waiters.fetch_add(1);
    while (!try_lock()) g_freed->wait(guard);
    g_waiters.fetch_sub(1);
}

void EngineLock::unlock() {
    holder_.store(0);
    if (g_waiters.load() > 0) {
        // Under the mutex, so that a waiter between its test and its wait
        // is not missed.
        { std::lock_guard<std::mutex> guard(*g_mutex); }
        g_freed->notify_all();
    }
}

bool EngineLock::held_here() const { return holder_.load() == this_thread_number(); }

}  // namespace zorvana
