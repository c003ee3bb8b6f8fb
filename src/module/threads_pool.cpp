#include "module/threads_pool.hpp"

#include "kernels/platform.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace zorvana {

namespace {

// How often the calling thread runs the job's while_waiting.
constexpr std::chrono::milliseconds kWaitLookInterval{20};

// Forks this process went through (in the child's line): a pool belongs to one.
std::atomic<unsigned> g_forks{0};

// A set of worker threads, started on first use and as later jobs ask for
// more. One job at a time uses them; a job that finds them busy is refused.
// Each worker has a number, the lowest free one when it starts; those
// numbered at or above the count the last job asked for (or that
// pool_keep_workers set) leave when they are next idle.
class Pool {
public:
    bool try_run(const PoolJob& job) {
        std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
        if (!busy.owns_lock() || job.helpers == 0) return false;
        try {
            start_workers(job.helpers);
        } catch (const std::exception&) {
            // No more threads to be had: share with those that exist.
        }
        std::size_t helpers;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            helpers = std::min(job.helpers, live_);
        }
        if (helpers == 0) return false;
        const unsigned forks = g_forks.load();
        std::vector<char> ran_here(job.chunks, 0);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = job;
            job_.helpers = helpers;
            next_.store(0);
            finished_ = 0;
            joined_ = 0;
            ++generation_;
        }
        wake_.notify_all();
        for (std::size_t c = next_.fetch_add(1); c < job.chunks; c = next_.fetch_add(1)) {
            (*job.chunk)(c);
            ran_here[c] = 1;
        }
        // Wait for the workers that joined.
        std::unique_lock<std::mutex> lock(mutex_);
        // No worker joins once every chunk is taken.
        job_.helpers = joined_;
        while (finished_ < joined_) {
            if (done_.wait_for(lock, kWaitLookInterval) == std::cv_status::timeout) {
                lock.unlock();
                if (job.while_waiting != nullptr) (*job.while_waiting)();
                if (g_forks.load() != forks) {
                    // Forked meanwhile (by this thread): the workers and
                    // their chunks stayed behind; this pool's locks are not
                    // to be touched again. Do the chunks that this thread did
                    // not (again where a worker had done one: the same values).
                    for (std::size_t c = 0; c < job.chunks; ++c) {
                        if (!ran_here[c]) (*job.chunk)(c);
                    }
                    busy.release();
                    return true;
                }
                lock.lock();
            }
        }
        job_ = PoolJob{};
        return true;
    }

private:
    void start_workers(std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        keep(n);
        // A new worker joins the next job even if it starts after it was posted.
        const std::uint64_t seen = generation_;
        while (live_ < n) {
            std::size_t number = 0;
            while (number < workers_.size() && state_[number] != kFree) ++number;
            if (number == workers_.size()) {
                workers_.emplace_back();
                state_.push_back(kFree);
            }
            workers_[number] = std::thread([this, seen, number] { work(seen, number); });
            state_[number] = kLive;
            ++live_;
        }
    }

public:
    // Workers numbered n and above leave when next idle (those idle now, at once).
    void keep_workers(std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        keep(n);
    }

private:
    // (Under mutex_.) Threads stay joinable, as a forked child expects of
    // its parent's; those that left are joined here, on the next change.
    void keep(std::size_t n) {
        if (n < keep_) wake_.notify_all();
        keep_ = n;
        for (std::size_t k = 0; k < workers_.size(); ++k) {
            if (state_[k] != kLeft) continue;
            workers_[k].join();  // it holds nothing: it let the mutex go as it returned
            state_[k] = kFree;
        }
    }

    void work(std::uint64_t seen, std::size_t number) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return generation_ != seen || number >= keep_; });
            if (number >= keep_) {
                state_[number] = kLeft;
                --live_;
                return;
            }
            seen = generation_;
            if (job_.chunk == nullptr || joined_ >= job_.helpers || next_.load() >= job_.chunks) continue;
            ++joined_;
            const PoolJob job = job_;
            lock.unlock();
            const std::function<void()> body = [this, &job] {
                for (std::size_t c = next_.fetch_add(1); c < job.chunks; c = next_.fetch_add(1)) (*job.chunk)(c);
            };
            if (job.in_worker != nullptr) {
                (*job.in_worker)(body);
            } else {
                body();
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
    // The workers by number, what each number stands for, and how many are
    // alive (under mutex_).
    enum : char { kFree, kLive, kLeft };
    std::vector<std::thread> workers_;
    std::vector<char> state_;
    std::size_t live_ = 0;
    std::size_t keep_ = std::numeric_limits<std::size_t>::max();
    std::uint64_t generation_ = 0;
    PoolJob job_;
    std::atomic<std::size_t> next_{0};
    std::size_t joined_ = 0;
    std::size_t finished_ = 0;
};

// The process's pool, made on first use. Never destroyed: its threads
// outlive the interpreter's exit, and a forked child abandons its parent's
// (whose threads, locks and condition variables it cannot use).
std::atomic<Pool*> g_pool{nullptr};

Pool& pool() {
    Pool* p = g_pool.load(std::memory_order_acquire);
    if (p != nullptr) return *p;
    Pool* fresh = new Pool;
    if (g_pool.compare_exchange_strong(p, fresh, std::memory_order_acq_rel)) return *fresh;
    delete fresh;
    return *p;
}

void after_fork_in_child() {
    g_forks.fetch_add(1);
    g_pool.store(nullptr);
}

ZV_AT_FORK_CHILD(after_fork_in_child);

}  // namespace

bool pool_try_run(const PoolJob& job) { return pool().try_run(job); }

void pool_keep_workers(std::size_t n) {
    if (Pool* p = g_pool.load(std::memory_order_acquire)) p->keep_workers(n);
}

}  // namespace zorvana
