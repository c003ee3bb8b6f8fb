#include "module/threads.hpp"

#include <pythread.h>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "distributions/interrupt.hpp"

namespace zorvana {

namespace {

// How often the calling thread takes the interpreter lock back to look for
// signals while it works with the lock released.
constexpr std::chrono::milliseconds kSignalLookInterval{20};

std::atomic<int> g_threads{1};
unsigned long g_main_thread = 0;

thread_local CallWatch* t_watch = nullptr;

bool is_main_thread() { return static_cast<unsigned long>(PyThread_get_thread_ident()) == g_main_thread; }

// The check behind interrupt_requested(). A thread with no watch is serving
// an all-scalar call with the interpreter lock held: it looks at the signals
// directly (the interpreter ignores the look on other threads than the main one).
bool check_interrupt() {
    if (t_watch != nullptr) return t_watch->stop();
    return PyErr_CheckSignals() != 0;
}

// A fixed set of worker threads, started on first use. One call at a time
// uses them; a call that finds them busy runs on its own thread.
class Pool {
public:
    bool try_run(std::size_t chunks, const std::function<void(std::size_t)>& chunk, std::atomic<bool>& cancel,
                 CallWatch& caller) {
        std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
        if (!busy.owns_lock()) return false;
        const int wanted = num_threads() - 1;
        if (wanted <= 0) return false;
        try {
            start_workers(static_cast<std::size_t>(wanted));
        } catch (const std::exception&) {
            // No more threads to be had: share with those that exist.
        }
        const std::size_t helpers = std::min(static_cast<std::size_t>(wanted), workers_.size());
        if (helpers == 0) return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = Job{&chunk, &cancel, chunks, helpers};
            next_.store(0);
            finished_ = 0;
            joined_ = 0;
            ++generation_;
        }
        wake_.notify_all();
        take_chunks(chunk, chunks);
        // Wait for the workers that joined; keep looking at the signals.
        std::unique_lock<std::mutex> lock(mutex_);
        // No worker joins once every chunk is taken.
        job_.helpers = joined_;
        while (finished_ < joined_) {
            if (done_.wait_for(lock, kSignalLookInterval) == std::cv_status::timeout) {
                lock.unlock();
                caller.stop();
                lock.lock();
            }
        }
        job_ = Job{};
        return true;
    }

private:
    struct Job {
        const std::function<void(std::size_t)>* chunk = nullptr;
        std::atomic<bool>* cancel = nullptr;
        std::size_t chunks = 0;
        std::size_t helpers = 0;
    };

    void take_chunks(const std::function<void(std::size_t)>& chunk, std::size_t chunks) {
        for (std::size_t c = next_.fetch_add(1); c < chunks; c = next_.fetch_add(1)) chunk(c);
    }

    void start_workers(std::size_t n) {
        if (pid_ != getpid()) {
            // A forked child has none of its parent's threads; forget them
            // (without destroying the thread objects, which would abort).
            new std::vector<std::thread>(std::move(workers_));
            workers_.clear();
            pid_ = getpid();
        }
        // A new worker joins the next job even if it starts after it was posted.
        const std::uint64_t seen = generation_;
        while (workers_.size() < n) workers_.emplace_back([this, seen] { work(seen); });
    }

    void work(std::uint64_t seen) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return generation_ != seen; });
            seen = generation_;
            if (job_.chunk == nullptr || joined_ >= job_.helpers || next_.load() >= job_.chunks) continue;
            ++joined_;
            const Job job = job_;
            lock.unlock();
            {
                CallWatch watch(*job.cancel);
                take_chunks(*job.chunk, job.chunks);
            }
            lock.lock();
            ++finished_;
            done_.notify_all();
        }
    }

    std::mutex busy_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<std::thread> workers_;
    pid_t pid_ = getpid();
    std::uint64_t generation_ = 0;
    Job job_;
    std::atomic<std::size_t> next_{0};
    std::size_t joined_ = 0;
    std::size_t finished_ = 0;
};

Pool& pool() {
    static Pool* p = new Pool;  // never destroyed: its threads outlive the interpreter's exit
    return *p;
}

}  // namespace

int num_threads() { return g_threads.load(std::memory_order_relaxed); }

void set_num_threads(int n) { g_threads.store(n < 1 ? 1 : n); }

int initial_num_threads() {
    if (const char* env = std::getenv("ZORVANA_NUM_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && n >= 1 && n <= 1024) return static_cast<int>(n);
    }
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n >= 1) return n;
    }
    const unsigned n = std::thread::hardware_concurrency();
    return n >= 1 ? static_cast<int>(n) : 1;
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
    if (chunks > 1 && num_threads() > 1 && !caller.nested() && pool().try_run(chunks, chunk, cancel, caller)) return;
    for (std::size_t c = 0; c < chunks; ++c) chunk(c);
}

}  // namespace zorvana
