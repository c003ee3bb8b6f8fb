// The 64-bit Mersenne Twister (Matsumoto and Nishimura's MT19937-64) in its
// published block form: when the 312 words of a block are used up, all of
// them are twisted in one pass, then handed out one by one, tempered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "random/wide.hpp"

namespace zorvana {

class BlockJump;

class Mt19937_64 {
public:
    static constexpr std::size_t kWords = 312;  // n: state size in words

    using Words = std::array<std::uint64_t, kWords>;

    // The generator's place in its stream, independent of how the words are
    // refilled: the words of the current block, the index of the next output
    // (kWords: a refill is due) and the number of outputs drawn (or skipped
    // by advance) since seeding, modulo 2^320.
    struct State {
        Words words;
        std::size_t next;
        Wide outputs;
    };

    explicit Mt19937_64(std::uint64_t seed) { reseed(seed); }

    // Knuth-style linear recurrence filling the 312 words from one value; the
    // first output twists them.
    void reseed(std::uint64_t seed) {
        x_[0] = seed;
        for (std::size_t k = 1; k < kWords; ++k) {
            x_[k] = kSeedMultiplier * (x_[k - 1] ^ (x_[k - 1] >> 62)) + k;
        }
        i_ = kWords;
        block_start_ = Wide() - Wide(kWords);
    }

    // Matsumoto and Nishimura's init_by_array64: the words of a key (at
    // least one) mixed into the state seeded with kArraySeed, then the
    // first word's top bit set so the state is never all zero. The first
    // output twists them.
    void reseed_by_array(const std::uint64_t* key, std::size_t length) {
        reseed(kArraySeed);
        std::size_t i = 1, j = 0;
        const auto wrap = [this, &i]() {
            if (++i >= kWords) {
                x_[0] = x_[kWords - 1];
                i = 1;
            }
        };
        for (std::size_t k = kWords > length ? kWords : length; k > 0; --k) {
            x_[i] = (x_[i] ^ ((x_[i - 1] ^ (x_[i - 1] >> 62)) * kKeyMultiplier)) + key[j] + j;
            wrap();
            if (++j >= length) j = 0;
        }
        for (std::size_t k = kWords - 1; k > 0; --k) {
            x_[i] = (x_[i] ^ ((x_[i - 1] ^ (x_[i - 1] >> 62)) * kMixMultiplier)) - i;
            wrap();
        }
        x_[0] = std::uint64_t{1} << 63;
    }

    // Next 64-bit output: the next word of the block, tempered.
    std::uint64_t next() {
        if (i_ == kWords) refill();
        std::uint64_t z = x_[i_++];
        z ^= (z >> kShiftU) & kMaskD;
        z ^= (z << kShiftS) & kMaskB;
        z ^= (z << kShiftT) & kMaskC;
        z ^= z >> kShiftL;
        return z;
    }

    State state() const { return State{x_, i_, block_start_ + Wide(i_)}; }

    // Requires s.next <= kWords.
    void set_state(const State& s) {
        x_ = s.words;
        i_ = s.next;
        block_start_ = s.outputs - Wide(s.next);  // modulo 2^320, as outputs itself
    }

    // Skips n outputs: the generator ends as n calls of next() would leave
    // it. Long skips jump by a polynomial (mt19937_64_jump.hpp) and take
    // milliseconds whatever n (up to 2^300); `stride`, if given, is a jump
    // prepared for about the block count this skip needs, reused across
    // many skips of one length.
    void advance(const Wide& n, const BlockJump* stride = nullptr) {
        advance(n, &stride, stride != nullptr ? 1 : 0);
    }
    // The same with several prepared jumps, each applied once where the
    // skip still has room for it, in the order given.
    void advance(const Wide& n, const BlockJump* const* parts, std::size_t count);

    // The twist of one word; the odd case selects the matrix row by a mask,
    // not a branch, whose outcome would be a coin toss.
    static std::uint64_t twist(std::uint64_t upper_from, std::uint64_t lower_from, std::uint64_t mid) {
        const std::uint64_t y = (upper_from & kUpperMask) | (lower_from & kLowerMask);
        return mid ^ (y >> 1) ^ ((0 - (y & 1)) & kTwist);
    }
    static constexpr std::size_t kMiddle = 156;  // m: offset of the word mixed in

private:
    // r = 31: the upper 33 bits of word i meet the lower 31 bits of word i + 1.
    static constexpr std::uint64_t kUpperMask = 0xFFFFFFFF80000000ULL;
    static constexpr std::uint64_t kLowerMask = 0x000000007FFFFFFFULL;
    static constexpr std::uint64_t kTwist = 0xB5026F5AA96619E9ULL;           // a: twist matrix row
    static constexpr std::uint64_t kSeedMultiplier = 6364136223846793005ULL;  // f
    // init_by_array64: the one-value seed it starts from and the multipliers
    // of its two mixing passes.
    static constexpr std::uint64_t kArraySeed = 19650218ULL;
    static constexpr std::uint64_t kKeyMultiplier = 3935559000370003845ULL;
    static constexpr std::uint64_t kMixMultiplier = 2862933555777941757ULL;
    // Tempering: shifts u, s, t, l and masks d, b, c.
    static constexpr unsigned kShiftU = 29, kShiftS = 17, kShiftT = 37, kShiftL = 43;
    static constexpr std::uint64_t kMaskD = 0x5555555555555555ULL;
    static constexpr std::uint64_t kMaskB = 0x71D67FFFEDA60000ULL;
    static constexpr std::uint64_t kMaskC = 0xFFF7EEE000000000ULL;

    // Word k becomes twist(x[k], x[k + 1], x[k + 156]), indices modulo 312,
    // in ascending k: the words past k are still the old block's, those
    // before it already the new one's. Split so no index wraps.
    void refill() {
        std::size_t k = 0;
        for (; k < kWords - kMiddle; ++k) x_[k] = twist(x_[k], x_[k + 1], x_[k + kMiddle]);
        for (; k < kWords - 1; ++k) x_[k] = twist(x_[k], x_[k + 1], x_[k + kMiddle - kWords]);
        x_[kWords - 1] = twist(x_[kWords - 1], x_[0], x_[kMiddle - 1]);
        i_ = 0;
        block_start_ += Wide(kWords);
    }

    Words x_;
    std::size_t i_;      // index of the next output; kWords: refill due
    Wide block_start_;   // outputs drawn before word 0 of this block, modulo 2^320
};

}  // namespace zorvana
