// Whether a state read from outside (a checkpoint, a pickle) is one that an
// Engine can be in. No Python here: the fields arrive already converted and
// each in its own range; what is checked is how they fit together.
#pragma once

#include <cstdint>

#include "random/mt19937_64.hpp"
#include "random/seed.hpp"
#include "random/wide.hpp"

namespace zorvana {

struct EngineState {
    Seed seed;
    Mt19937_64::State generator;
    Wide origin;
    unsigned span;
    std::uint64_t spawned;
};

// Whether the 19937 bits that the next blocks are made from (word 0's upper
// 33 bits and words 1 to 311) are all zero: the twist's fixed point, which
// no seed and no jump reaches and whose outputs are all 0 from the next
// block on.
bool generator_words_zero(const Mt19937_64::Words& words);

// A span an engine can have: 256 for a seeded engine, 32 less per level of
// spawning, 128 for a jumped one; no less than 96.
bool valid_span(unsigned span);

// Null when the fields fit together, otherwise the reason, naming the fields
// ("Engine state: ..."). Requires generator.next <= 312.
const char* engine_state_fault(const EngineState& s);

}  // namespace zorvana
