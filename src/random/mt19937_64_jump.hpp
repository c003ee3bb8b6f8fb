// Jumping ahead in the 64-bit Mersenne Twister's stream. The words follow a
// linear recurrence over GF(2), w[k + 312] = twist(w[k], w[k + 1], w[k + 156]),
// with characteristic polynomial phi of degree 19937; a window of 312
// successive words reached by the recurrence moves J words on as
// g(A) applied to it, where A moves it one word on and g = t^J mod phi.
// Evaluating g(A) costs about 20000 word steps and as many window sums
// (eight coefficients at a time), and finding g costs one squaring modulo
// phi per bit of J: a few tens of milliseconds for J near 2^256.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "random/mt19937_64.hpp"
#include "random/wide.hpp"

namespace zorvana {

constexpr std::size_t kCharPolyWords = Mt19937_64::kWords;
constexpr unsigned kCharPolyDegree = 19937;
// phi, bit j the coefficient of t^j (written by tools/gen_mt_jump.py).
extern const std::uint64_t kMt19937_64CharPoly[kCharPolyWords];

// A jump of a fixed number of whole blocks (312 words each), prepared once.
class BlockJump {
public:
    explicit BlockJump(const Wide& blocks);

    const Wide& blocks() const { return blocks_; }
    // Moves `words`, a block that the recurrence has reached (any block
    // after at least one refill; the seeded words themselves are not one),
    // on by blocks() blocks.
    void apply(Mt19937_64::Words& words) const;

private:
    friend class StrideJumps;
    // A jump of twice half's blocks and `extra` more: one squaring.
    BlockJump(const BlockJump& half, const Wide& blocks);

    Wide blocks_;
    std::vector<unsigned char> poly_;  // t^(312 blocks) mod phi, bit i = bit i % 8 of byte i / 8
};

// Jumps of k * 2^bits outputs, for k from 1 to 2^32 - 1 and bits from 96 to
// 256 (the distances between spawned engines), from prepared parts: part j
// covers the whole blocks of 2^j outputs but one. A jump applies the parts
// of k's bits (j = bits + b for each bit b of k) and refills for what they
// leave (under 64 blocks). The parts form one chain, each made from the one
// below it with one squaring (part 9, of no blocks, is where it starts),
// made on first use and kept for the process. One set serves every caller,
// from any thread.
class StrideJumps {
public:
    static constexpr unsigned kFirst = 9;         // 2^9 outputs: one block and a part
    static constexpr unsigned kLast = 256 + 31;   // k * 2^256 for k below 2^32

    static StrideJumps& shared();

    // Whether the parts that a jump of k * 2^bits needs are made.
    bool ready(unsigned bits, std::uint32_t k) const;
    // Makes the next part of the chain: about one squaring (the first call
    // also builds the reduction tables). A caller can look for a Ctrl-C
    // between calls.
    void make_next();
    // Moves gen on by k * 2^bits outputs, as advance(k * 2^bits) would,
    // making the parts it lacks.
    void advance(Mt19937_64& gen, unsigned bits, std::uint32_t k);

private:
    StrideJumps() = default;
    static unsigned highest(unsigned bits, std::uint32_t k);

    std::mutex mutex_;                               // held while a part is made
    std::atomic<unsigned> made_{kFirst};             // parts below this one are made
    std::unique_ptr<BlockJump> parts_[kLast + 1];    // written once each, before made_ passes it
};

}  // namespace zorvana
