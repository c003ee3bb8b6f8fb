#include "random/engine_state.hpp"

#include "random/engine.hpp"

namespace zorvana {

bool generator_words_zero(const Mt19937_64::Words& words) {
    // Word 0's low 31 bits feed no later word (only its upper bits enter the twist).
    std::uint64_t any = words[0] & ~std::uint64_t{0x7FFFFFFF};
    for (std::size_t k = 1; k < Mt19937_64::kWords; ++k) any |= words[k];
    return any == 0;
}

bool valid_span(unsigned span) {
    return span <= Engine::kRootSpan && span >= Engine::kLeastSpawnedSpan &&
           (Engine::kRootSpan - span) % Engine::kSpawnBits == 0;
}

const char* engine_state_fault(const EngineState& s) {
    const Mt19937_64::State& g = s.generator;
    if (generator_words_zero(g.words)) {
        return "Engine state: the generator words are all zero (but for the low bits of the first), a state that "
               "no seed reaches and whose outputs are all 0";
    }
    // Blocks start at multiples of 312 outputs; before the first (a seeded
    // engine that has not drawn) the position is 312 with no output made.
    const Wide next(g.next);
    if (g.outputs < next) {
        if (!(g.outputs.is_zero() && g.next == Mt19937_64::kWords)) {
            return "Engine state: outputs and the index of the next word disagree (outputs - next must be a "
                   "multiple of 312)";
        }
    } else {
        std::uint32_t rest;
        (g.outputs - next).divide(static_cast<std::uint32_t>(Mt19937_64::kWords), &rest);
        if (rest != 0) {
            return "Engine state: outputs and the index of the next word disagree (outputs - next must be a "
                   "multiple of 312)";
        }
    }
    if (g.outputs < s.origin) return "Engine state: origin beyond outputs (an engine starts at its origin)";
    if (!valid_span(s.span)) return "Engine state: span must be one of 256, 224, 192, 160, 128 and 96";
    if (s.span == Engine::kRootSpan && !s.origin.is_zero()) {
        return "Engine state: span 256 is a seeded engine's, whose origin is 0";
    }
    if (s.spawned > Engine::kMostSpawned) return "Engine state: spawned must be at most 2**32 - 2";
    if (s.spawned != 0 && s.span < Engine::kLeastSpawnedSpan + Engine::kSpawnBits) {
        return "Engine state: an engine of span 96 cannot have spawned";
    }
    return nullptr;
}

}  // namespace zorvana
