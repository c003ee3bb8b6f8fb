// What an engine was seeded with, kept whole so that the same seeding can be
// made again (the seed attribute, repr, copies and pickles):
//
// - small: a signed 32-bit seed, sign-extended to 64 bits for the generator's
//   one-value seeding (-1 seeds with all bits set);
// - integer: an integer of 2^31 or more, whose 64-bit words (least
//   significant first, as many as it needs) are the key of init_by_array64;
// - words: a key given as a sequence of 64-bit words, in order.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "random/mt19937_64.hpp"

namespace zorvana {

struct Seed {
    enum class Kind { small, integer, words };

    Kind kind = Kind::small;
    std::int32_t small = 0;
    std::vector<std::uint64_t> key;  // integer and words: at least one word

    static Seed of_small(std::int32_t seed) {
        Seed s;
        s.small = seed;
        return s;
    }
    static Seed of_key(Kind kind, std::vector<std::uint64_t> key) {
        Seed s;
        s.kind = kind;
        s.key = std::move(key);
        return s;
    }

    // Seeds a generator.
    void apply(Mt19937_64& gen) const {
        if (kind == Kind::small) {
            gen.reseed(static_cast<std::uint64_t>(static_cast<std::int64_t>(small)));
        } else {
            gen.reseed_by_array(key.data(), key.size());
        }
    }

    bool operator==(const Seed& o) const { return kind == o.kind && small == o.small && key == o.key; }
    bool operator!=(const Seed& o) const { return !(*this == o); }
};

}  // namespace zorvana
