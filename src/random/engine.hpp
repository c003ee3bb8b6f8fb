// The Engine: one generator, owned, seeded from a Seed (seed.hpp): a signed
// 32-bit seed sign-extended to 64 bits (-1 seeds with all bits set), or a key
// of 64-bit words for init_by_array64. It keeps its seed for display and
// for repeating the run; everything else about it is the generator's state
// and where the engine stands among the streams made from it:
//
// - origin: the outputs between the seeding and the point where this engine
//   was made (0 for Engine(seed); the jump or spawn point for the others);
// - span: the engine owns 2^span outputs from its origin on (256 for
//   Engine(seed), 128 for a jumped engine, 32 less than its parent's for a
//   spawned one): it draws from the first 2^(span - 32) of them, and its k-th
//   spawned engine (k = 1, 2, ..., at most 2^32 - 2) starts k * 2^(span - 32)
//   outputs past the point where the spawn was called;
// - spawned: how many engines it has spawned so far.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "random/engine_lock.hpp"
#include "random/mt19937_64.hpp"
#include "random/seed.hpp"
#include "random/wide.hpp"

namespace zorvana {

class Engine {
public:
    static constexpr unsigned kRootSpan = 256;
    static constexpr unsigned kJumpedSpan = 128;
    static constexpr unsigned kSpawnBits = 32;
    // Spawned engines draw from at least 2^64 outputs of their own.
    static constexpr unsigned kLeastSpawnedSpan = 96;
    static constexpr std::uint64_t kMostSpawned = (std::uint64_t{1} << kSpawnBits) - 2;

    explicit Engine(std::int32_t seed) : Engine(Seed::of_small(seed)) {}
    explicit Engine(Seed seed) : seed_(std::move(seed)), gen_(std::make_unique<Mt19937_64>(0)) {
        seed_.apply(*gen_);
    }

    Mt19937_64& generator() { return *gen_; }
    const Mt19937_64& generator() const { return *gen_; }
    const Seed& seed() const { return seed_; }
    const Wide& origin() const { return origin_; }
    unsigned span() const { return span_; }
    std::uint64_t spawned() const { return spawned_; }
    void set_spawned(std::uint64_t n) { spawned_ = n; }
    // A draw holds the engine's lock for the length of the call, so that two
    // threads drawing from one engine take turns, each call's draws consecutive.
    EngineLock& lock() const { return lock_; }

    // Puts the engine where another one stood (a copy or a checkpoint).
    void restore(const Seed& seed, const Mt19937_64::State& state) {
        seed_ = seed;
        gen_->set_state(state);
    }
    void place(const Wide& origin, unsigned span, std::uint64_t spawned) {
        origin_ = origin;
        span_ = span;
        spawned_ = spawned;
    }

private:
    Seed seed_;
    std::unique_ptr<Mt19937_64> gen_;
    mutable EngineLock lock_;
    Wide origin_;
    unsigned span_ = kRootSpan;
    std::uint64_t spawned_ = 0;
};

}  // namespace zorvana
