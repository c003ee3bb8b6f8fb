// The worker threads that share the elements of a large call. No Python here:
// the calling layer (module/threads.cpp) supplies what a worker does around
// its chunks and what the calling thread does while it waits.
#pragma once

#include <cstddef>
#include <functional>

namespace zorvana {

// One job for the pool: chunk(c) for every c < chunks.
struct PoolJob {
    std::size_t chunks = 0;
    // Workers that may join (the calling thread works too).
    std::size_t helpers = 0;
    const std::function<void(std::size_t)>* chunk = nullptr;
    // Runs a worker's part, body(), with what the worker needs around it.
    const std::function<void(const std::function<void()>& body)>* in_worker = nullptr;
    // Called by the calling thread every few milliseconds while it waits for
    // the workers (without any of the pool's locks).
    const std::function<void()>* while_waiting = nullptr;
};

// Runs the job on the calling thread and the process's workers (started on
// first use, as many as asked). False, with nothing run, when another call
// has the workers or none could be started: the caller then runs the job
// alone. The workers are the process's own: a child made by fork starts
// with a pool of its own (none of its parent's threads, locks or jobs), and a
// job under way on the forking thread is finished by that thread in the child.
bool pool_try_run(const PoolJob& job);

// The most workers to keep: those beyond leave once idle (a job asking for
// fewer helpers than there are workers does the same).
void pool_keep_workers(std::size_t n);

}  // namespace zorvana
