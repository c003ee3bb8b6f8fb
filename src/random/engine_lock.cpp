#include "random/engine_lock.hpp"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <new>

namespace zorvana {

// One mutex guards the state of every engine lock and the list of the held
// ones; it is only ever held for a few instructions, never while waiting.
// Waiters for any engine wait on one condition (two threads drawing from one
// engine at once is the rare case). Both live for the process: a draw may
// still be running on another thread when the interpreter exits.
namespace {

std::mutex* g_mutex = new std::mutex;
alignas(std::condition_variable) unsigned char g_freed_storage[sizeof(std::condition_variable)];
std::condition_variable* g_freed = new (g_freed_storage) std::condition_variable;
EngineLock* g_held = nullptr;

// Fork: the list and the states are taken consistent (the forking thread
// holds the mutex across the fork), then the child frees what the threads it
// does not have held. The condition may have had waiters among those threads
// and is made anew (the old one is not destroyed: it is not in a state to be).
void before_fork() { g_mutex->lock(); }
void after_fork_in_parent() { g_mutex->unlock(); }
void after_fork_in_child() {
    g_freed = new (g_freed_storage) std::condition_variable;
    free_engine_locks_after_fork();
    g_mutex->unlock();
}

[[maybe_unused]] const int g_fork_handlers = pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child);

}  // namespace

void free_engine_locks_after_fork() {
    const std::thread::id here = std::this_thread::get_id();
    for (EngineLock* l = g_held; l != nullptr;) {
        EngineLock* next = l->next_;
        if (l->owner_ != here) l->release();
        l = next;
    }
}

EngineLock::~EngineLock() {
    std::lock_guard<std::mutex> guard(*g_mutex);
    if (held_) release();
}

void EngineLock::take() {
    held_ = true;
    owner_ = std::this_thread::get_id();
    prev_ = nullptr;
    next_ = g_held;
    if (g_held != nullptr) g_held->prev_ = this;
    g_held = this;
}

void EngineLock::release() {
    held_ = false;
    owner_ = std::thread::id();
    if (prev_ != nullptr) prev_->next_ = next_;
    else g_held = next_;
    if (next_ != nullptr) next_->prev_ = prev_;
    prev_ = next_ = nullptr;
}

bool EngineLock::try_lock() {
    std::lock_guard<std::mutex> guard(*g_mutex);
    if (held_) return false;
    take();
    return true;
}

void EngineLock::lock() {
    std::unique_lock<std::mutex> guard(*g_mutex);
    g_freed->wait(guard, [this] { return !held_; });
    take();
}

void EngineLock::unlock() {
    {
        std::lock_guard<std::mutex> guard(*g_mutex);
        release();
    }
    g_freed->notify_all();
}

bool EngineLock::held_here() const {
    std::lock_guard<std::mutex> guard(*g_mutex);
    return held_ && owner_ == std::this_thread::get_id();
}

}  // namespace zorvana
