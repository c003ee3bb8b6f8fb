// The Engine: one generator, owned, seeded from a signed 32-bit seed
// sign-extended to 64 bits (-1 seeds with all bits set). It keeps its seed
// for display; everything else about it is the generator's state.
#pragma once

#include <cstdint>
#include <memory>

#include "random/engine_lock.hpp"
#include "random/mt19937_64.hpp"

namespace zorvana {

class Engine {
public:
    explicit Engine(std::int32_t seed)
        : seed_(seed),
          gen_(std::make_unique<Mt19937_64>(static_cast<std::uint64_t>(static_cast<std::int64_t>(seed)))) {}

    Mt19937_64& generator() { return *gen_; }
    const Mt19937_64& generator() const { return *gen_; }
    std::int32_t seed() const { return seed_; }
    // A draw holds the engine's lock for the length of the call, so that two
    // threads drawing from one engine take turns, each call's draws consecutive.
    EngineLock& lock() const { return lock_; }

    // Puts the engine where another one stood (a copy or a checkpoint).
    void restore(std::int32_t seed, const Mt19937_64::State& state) {
        seed_ = seed;
        gen_->set_state(state);
    }

private:
    std::int32_t seed_;
    std::unique_ptr<Mt19937_64> gen_;
    mutable EngineLock lock_;
};

}  // namespace zorvana
