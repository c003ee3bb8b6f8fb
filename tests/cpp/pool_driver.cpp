// Drives the worker pool and the engine locks outside Python, for the
// sanitizer builds: concurrent jobs from several threads, cancellation, fork
// (after jobs, while another thread runs a job or holds an engine lock, and
// from the waiting caller itself), and contended engine locks. Prints one
// "ok <part>" line per part; exits non-zero at the first fault. A child that
// hangs is ended by an alarm and counts as a fault.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "module/threads_pool.hpp"
#include "random/engine_lock.hpp"

using namespace zorvana;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        std::exit(1);
    }
}

double value_of(std::size_t i) { return static_cast<double>(i) * 0.5 + 1.0; }

// One job over n elements in chunks of `per`; true when every element came
// out right. `waiting` runs while the caller waits for the workers.
bool run_job(std::size_t n, std::size_t per, std::size_t helpers, const std::function<void()>& waiting = {},
             std::atomic<int>* worker_parts = nullptr) {
    std::vector<double> out(n, -1.0);
    const std::size_t chunks = (n + per - 1) / per;
    const std::function<void(std::size_t)> chunk = [&](std::size_t c) {
        for (std::size_t i = c * per; i < std::min(n, (c + 1) * per); ++i) {
            double v = value_of(i);
            for (int k = 0; k < 400; ++k) v = v * 1.0000001 - v * 0.0000001;  // some work
            out[i] = (v - v) + value_of(i);
        }
    };
    const std::function<void(const std::function<void()>&)> in_worker = [worker_parts](const std::function<void()>& body) {
        if (worker_parts != nullptr) worker_parts->fetch_add(1);
        body();
    };
    PoolJob job;
    job.chunks = chunks;
    job.helpers = helpers;
    job.chunk = &chunk;
    job.in_worker = &in_worker;
    if (waiting) job.while_waiting = &waiting;
    if (!pool_try_run(job)) {
        for (std::size_t c = 0; c < chunks; ++c) chunk(c);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (out[i] != value_of(i)) return false;
    }
    return true;
}

// Runs body in a forked child with an alarm; true when it exits with 0.
bool in_child(const std::function<bool()>& body) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(30);
        _exit(body() ? 0 : 3);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void concurrent_jobs() {
    std::atomic<int> worker_parts{0};
    std::atomic<bool> ok{true};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            for (int k = 0; k < 40; ++k) {
                if (!run_job(2000 + 37 * static_cast<std::size_t>(t + k), 64, 3, {}, &worker_parts)) ok = false;
            }
        });
    }
    for (auto& c : callers) c.join();
    check(ok, "concurrent jobs");
    std::printf("ok concurrent jobs\n");
}

void cancellation() {
    // Chunks that would run for seconds stop once cancelled (as on a Ctrl-C,
    // here from another thread); the job ends soon after, and the next runs.
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0};
    std::atomic<int> looks{0};
    const std::function<void(std::size_t)> chunk = [&](std::size_t) {
        for (int k = 0; k < 20000 && !cancel.load(); ++k) std::this_thread::sleep_for(std::chrono::microseconds(200));
        done.fetch_add(1);
    };
    const std::function<void()> waiting = [&] { looks.fetch_add(1); };
    PoolJob job;
    job.chunks = 8;
    job.helpers = 3;
    job.chunk = &chunk;
    job.while_waiting = &waiting;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel = true;
    });
    const auto t0 = std::chrono::steady_clock::now();
    const bool pooled = pool_try_run(job);
    canceller.join();
    check(pooled, "the pool took the job");
    check(std::chrono::steady_clock::now() - t0 < std::chrono::seconds(3), "a cancelled job ends soon");
    check(done.load() == 8, "every chunk ran (and stopped)");
    check(run_job(5000, 100, 3), "a job after a cancelled one");
    std::printf("ok cancellation\n");
}

void forks() {
    check(run_job(20000, 200, 3), "a job before the forks");
    check(in_child([] { return run_job(20000, 200, 3) && run_job(20000, 200, 3); }), "fork after jobs");

    // Another thread in the middle of jobs at the fork.
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop.load()) run_job(20000, 200, 3);
    });
    for (int k = 0; k < 5; ++k) {
        check(in_child([] { return run_job(20000, 200, 3) && run_job(3000, 100, 3); }), "fork during another thread's job");
    }
    stop = true;
    busy.join();

    // Another thread holding an engine lock at the fork: the child takes it.
    EngineLock lock;
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        lock.lock();
        held = true;
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.unlock();
    });
    while (!held.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    check(!lock.try_lock() && !lock.held_here(), "held by the other thread");
    check(in_child([&lock] {
              lock.lock();
              const bool here = lock.held_here();
              lock.unlock();
              return here && lock.try_lock();
          }),
          "fork while another thread holds an engine lock");
    release = true;
    holder.join();

    // The caller itself forks while it waits for the workers (whose chunks
    // are slow): the child finishes the job alone, every element right.
    // (The caller's first chunk waits until a worker has one, however
    // slowly the workers wake.)
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> worker_started{false};
    std::vector<double> out(4000, -1.0);
    const std::function<void(std::size_t)> chunk = [&](std::size_t c) {
        if (std::this_thread::get_id() != caller) {
            worker_started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        } else {
            for (int k = 0; k < 5000 && !worker_started.load(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (std::size_t i = c * 1000; i < (c + 1) * 1000; ++i) out[i] = value_of(i);
    };
    pid_t child = -1;
    const std::function<void()> waiting = [&] {
        if (child != -1) return;
        std::fflush(stdout);
        child = fork();
        if (child == 0) alarm(30);
    };
    PoolJob job;
    job.chunks = 4;
    job.helpers = 3;
    job.chunk = &chunk;
    job.while_waiting = &waiting;
    check(pool_try_run(job), "the pool took the job");
    bool ok = true;
    for (std::size_t i = 0; i < out.size(); ++i) ok = ok && out[i] == value_of(i);
    if (child == 0) _exit(ok && run_job(20000, 200, 3) ? 0 : 3);
    check(child > 0, "the caller waited and forked");
    int status = 0;
    check(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0,
          "fork by the waiting caller");
    check(ok, "the parent's job around its fork");
    std::printf("ok fork\n");
}

// Threads of this process (Linux); -1 where that cannot be read.
int threads_now() {
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) n += e->d_name[0] != '.';
    closedir(dir);
    return n;
}

// Waits up to 5 s for the process to hold at most `most` threads.
bool settles_at(int most) {
    for (int k = 0; k < 500; ++k) {
        const int n = threads_now();
        if (n <= most) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void workers_leave() {
    const int base = threads_now();
    if (base < 0) {
        std::printf("ok workers leave (not counted here)\n");
        return;
    }
    // Many workers, then fewer kept: those beyond leave while idle ...
    check(run_job(40000, 50, 24), "a job with many helpers");
    check(threads_now() > base, "workers started");
    pool_keep_workers(2);
    check(settles_at(base + 2), "idle workers beyond the count leave");
    // ... and a job asks again for what it needs, then for fewer.
    check(run_job(20000, 100, 6), "a job with more helpers again");
    check(run_job(20000, 100, 1), "a job with one helper");
    check(settles_at(base + 1), "workers beyond a job's count leave once idle");
    check(run_job(20000, 100, 3), "a job after the workers left");
    std::printf("ok workers leave\n");
}

void engine_locks() {
    EngineLock lock;
    long counter = 0;  // guarded by the lock alone
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int k = 0; k < 2000; ++k) {
                if (k % 3 == 0 && lock.try_lock()) {
                    ++counter;
                    lock.unlock();
                    continue;
                }
                lock.lock();
                ++counter;
                lock.unlock();
            }
        });
    }
    for (auto& t : threads) t.join();
    check(counter == 4 * 2000, "each increment under the lock");
    lock.lock();
    check(lock.held_here() && !lock.try_lock(), "held here");
    lock.unlock();
    std::printf("ok engine locks\n");
}

}  // namespace

int main() {
    concurrent_jobs();
    cancellation();
    forks();
    workers_leave();
    engine_locks();
    return 0;
}
