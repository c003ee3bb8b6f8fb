#include "module/threads.hpp"

#include <pythread.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "distributions/interrupt.hpp"
#include "kernels/platform.hpp"
#include "module/threads_pool.hpp"

namespace zorvana {

namespace {

// How often the calling thread takes the interpreter lock back to look for
// signals while it works with the lock released.
constexpr std::chrono::milliseconds kSignalLookInterval{20};

std::atomic<int> g_threads{1};
unsigned long g_main_thread = 0;

thread_local CallWatch* t_watch = nullptr;
using threads_detail::t_scalar;

// Work an all-scalar call does with the interpreter lock held, counted from
// its second check, before it lets the lock go.
constexpr std::chrono::microseconds kScalarHold{500};

bool is_main_thread() { return static_cast<unsigned long>(PyThread_get_thread_ident()) == g_main_thread; }

// The check behind interrupt_requested(). A thread with no watch is serving
// an all-scalar call with the interpreter lock held: it looks at the signals
// directly (the interpreter ignores the look on other threads than the main
// one), and lets the lock go once the call has run long.
bool check_interrupt() {
    if (t_watch != nullptr) return t_watch->stop();
    if (t_scalar != nullptr) return t_scalar->check();
    return PyErr_CheckSignals() != 0;
}

// In a child made by fork, the thread that forked is the interpreter's main
// thread (the interpreter makes it so), and only it exists.
void after_fork_in_child() { g_main_thread = static_cast<unsigned long>(PyThread_get_thread_ident()); }

ZV_AT_FORK_CHILD(after_fork_in_child);

}  // namespace

int num_threads() { return g_threads.load(std::memory_order_relaxed); }

void set_num_threads(int n) {
    g_threads.store(n < 1 ? 1 : n);
    // The workers beyond the new count leave once idle.
    pool_keep_workers(static_cast<std::size_t>(n < 1 ? 0 : n - 1));
}

int initial_num_threads() {
    if (const char* env = std::getenv("ZORVANA_NUM_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && n >= 1 && n <= kMostThreads) return static_cast<int>(n);
    }
    const int allowed = platform::processors_allowed();
    if (allowed >= 1) return std::min(allowed, kMostThreads);
    const unsigned n = std::thread::hardware_concurrency();
    return n >= 1 ? static_cast<int>(std::min(n, static_cast<unsigned>(kMostThreads))) : 1;
}

CallWatch::CallWatch(std::atomic<bool>& cancel, PyThreadState** released)
    : cancel_(cancel),
      released_(released),
      looks_at_signals_(is_main_thread()),
      next_look_(std::chrono::steady_clock::now() + kSignalLookInterval),
      outer_(t_watch) {
    t_watch = this;
}

CallWatch::CallWatch(std::atomic<bool>& cancel)
    : cancel_(cancel), released_(nullptr), looks_at_signals_(false), outer_(t_watch) {
    t_watch = this;
}

CallWatch::~CallWatch() { t_watch = outer_; }

bool CallWatch::stop() {
    if (cancel_.load(std::memory_order_relaxed)) return true;
    // Not while a look is under way: a signal handler that calls the module
    // again runs with the interpreter lock held.
    if (!looks_at_signals_ || looking_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_look_) return false;
    next_look_ = now + kSignalLookInterval;
    looking_ = true;
    PyEval_RestoreThread(*released_);
    const bool raised = PyErr_CheckSignals() != 0;
    *released_ = PyEval_SaveThread();
    looking_ = false;
    if (raised) cancel_.store(true);
    return raised;
}

void ScalarCall::take_lock_back() {
    watch_.reset();
    PyEval_RestoreThread(released_);
}

bool ScalarCall::check() {
    // Once cancelled, every later check says so: a draw made of several
    // loops (a normal, then a gamma) stops in each.
    if (cancel_.load(std::memory_order_relaxed)) return true;
    // Not from a call that a signal handler makes (with no ScalarCall of its
    // own) during a look: it returns with the interpreter lock it came with.
    if (looking_) return false;
    // The clock is read at the 2nd, 4th, 8th ... check only: a cheap call
    // with a check or two costs no more than before.
    ++checks_;
    if (checks_ >= 2 && (checks_ & (checks_ - 1)) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (checks_ == 2) {
            since_ = now;
        } else if (now - since_ >= kScalarHold) {
            // From here on the checks go to the watch (this thread's t_watch).
            released_ = PyEval_SaveThread();
            watch_.emplace(cancel_, &released_);
            return false;
        }
    }
    looking_ = true;
    const bool raised = PyErr_CheckSignals() != 0;
    looking_ = false;
    if (raised) cancel_.store(true);
    return raised;
}

CallWatch* current_watch() { return t_watch; }

void install_interrupt_check() { interrupt_check.store(check_interrupt); }

void record_main_thread() {
    // The module may be imported first on another thread: ask threading.
    PyObject* threading = PyImport_ImportModule("threading");
    PyObject* main = threading ? PyObject_CallMethod(threading, "main_thread", nullptr) : nullptr;
    PyObject* ident = main ? PyObject_GetAttrString(main, "ident") : nullptr;
    g_main_thread = ident ? PyLong_AsUnsignedLong(ident) : static_cast<unsigned long>(PyThread_get_thread_ident());
    if (PyErr_Occurred()) {
        PyErr_Clear();
        g_main_thread = static_cast<unsigned long>(PyThread_get_thread_ident());
    }
    Py_XDECREF(ident);
    Py_XDECREF(main);
    Py_XDECREF(threading);
}

void run_chunks(std::size_t chunks, const std::function<void(std::size_t)>& chunk, std::atomic<bool>& cancel,
                CallWatch& caller) {
    // A call made from a signal handler during another call stays on its thread.
    if (chunks > 1 && num_threads() > 1 && !caller.nested()) {
        const std::function<void(const std::function<void()>&)> in_worker = [&cancel](const std::function<void()>& body) {
            CallWatch watch(cancel);
            body();
        };
        const std::function<void()> while_waiting = [&caller] { caller.stop(); };
        PoolJob job;
        job.chunks = chunks;
        job.helpers = static_cast<std::size_t>(num_threads() - 1);
        job.chunk = &chunk;
        job.in_worker = &in_worker;
        job.while_waiting = &while_waiting;
        if (pool_try_run(job)) return;
    }
    for (std::size_t c = 0; c < chunks; ++c) chunk(c);
}

}  // namespace zorvana
