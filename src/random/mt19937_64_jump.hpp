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
// 256 (the distances between spawned engines), from prepared parts: part b
// covers the whole blocks of 2^(bits + b) outputs but one. A jump applies
// the parts of k's bits and refills for what they leave (under 64 blocks);
// k = 1 takes part 0 alone. Part 0 is made on first use (one squaring per
// bit of its block count), each further part from the one below it with one
// squaring; all are kept for the next jumps. Safe to use from several threads.
class StrideJumps {
public:
    explicit StrideJumps(unsigned bits) : bits_(bits) {}
    StrideJumps(const StrideJumps&) = delete;
    StrideJumps& operator=(const StrideJumps&) = delete;

    // Moves gen on by k * 2^bits outputs, as advance(k * 2^bits) would.
    void advance(Mt19937_64& gen, std::uint32_t k);

private:
    const BlockJump& part(unsigned b);

    unsigned bits_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<BlockJump>> parts_;
};

}  // namespace zorvana
