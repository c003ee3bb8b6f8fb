// Threads of the calling layer: the number of threads, the pool that shares
// a call's elements among them, and the watch for Ctrl-C while the
// interpreter lock is released.
#pragma once

#include <Python.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

namespace zorvana {

// Threads used by one call (the calling thread included); at least 1.
int num_threads();
void set_num_threads(int n);
// The most threads a call may use (set_num_threads refuses more).
constexpr int kMostThreads = 1024;
// The start value: ZORVANA_NUM_THREADS when it is an integer from 1 to
// kMostThreads, otherwise the number of cores this process may run on (at
// most kMostThreads).
int initial_num_threads();

// What a thread working for a call checks between runs of elements and, via
// interrupt_requested(), inside long loops. A call is cancelled when the
// calling thread finds a pending signal whose handler raised (the exception
// is then left set for the caller to report). Only the calling thread looks
// for signals, and only when it is the interpreter's main thread (the only
// one that runs signal handlers); workers just see the cancel flag.
class CallWatch {
public:
    // For the calling thread: `released` is where it keeps its thread state
    // while the interpreter lock is released (the lock is taken back
    // briefly for each look at the signals).
    CallWatch(std::atomic<bool>& cancel, PyThreadState** released);
    // For a worker of the same call.
    explicit CallWatch(std::atomic<bool>& cancel);
    ~CallWatch();
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    bool stop();
    // Whether this thread was already working for another call.
    bool nested() const { return outer_ != nullptr; }

private:
    std::atomic<bool>& cancel_;
    PyThreadState** released_;
    bool looks_at_signals_;
    bool looking_ = false;
    std::chrono::steady_clock::time_point next_look_;
    CallWatch* outer_;
};

// An all-scalar call, served with the interpreter lock held: cheap calls
// never touch the lock. A call that turns out long (its loops have asked
// interrupt_requested() for about a millisecond) releases the lock for the
// rest of its work, as an array call does, and the destructor takes it back;
// until then the checks look at the signals directly. The scalar function
// must have taken its arguments out of Python objects before it starts, and
// the caller looks for an exception (a signal handler that raised) after the
// destructor.
class ScalarCall;
namespace threads_detail {
inline thread_local ScalarCall* t_scalar = nullptr;  // the innermost on this thread
}

class ScalarCall {
public:
    // (The thread-local slot's address is looked up once.)
    ScalarCall() : slot_(&threads_detail::t_scalar), outer_(*slot_) { *slot_ = this; }
    ~ScalarCall() {
        if (released_ != nullptr) take_lock_back();
        *slot_ = outer_;
    }
    ScalarCall(const ScalarCall&) = delete;
    ScalarCall& operator=(const ScalarCall&) = delete;

    // interrupt_requested() during the call.
    bool check();

private:
    void take_lock_back();

    std::atomic<bool> cancel_{false};
    PyThreadState* released_ = nullptr;
    bool looking_ = false;  // a signal handler runs from a check
    unsigned checks_ = 0;
    std::chrono::steady_clock::time_point since_;
    std::optional<CallWatch> watch_;
    ScalarCall** slot_;
    ScalarCall* outer_;
};

// The watch of the call this thread works for (nullptr when none).
CallWatch* current_watch();

// Installs the module's interrupt check (see distributions/interrupt.hpp).
void install_interrupt_check();
// The interpreter's main thread, recorded at import.
void record_main_thread();

// Runs chunk(c) for every c < chunks, on the calling thread and up to
// num_threads() - 1 workers. The calling thread must hold a CallWatch; it
// takes chunks too, and while it waits for the workers it keeps looking at
// the signals. chunk(c) must return soon once `cancel` is set.
void run_chunks(std::size_t chunks, const std::function<void(std::size_t)>& chunk, std::atomic<bool>& cancel,
                CallWatch& caller);

}  // namespace zorvana
