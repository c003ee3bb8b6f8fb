// The 64-bit Mersenne Twister (Matsumoto and Nishimura's MT19937-64).
// Each output regenerates exactly one state word, so the stream equals the
// published block form (all 312 words twisted at once) without its bursts.
#pragma once

#include <array>
#include <cstdint>

namespace zorvana {

class Mt19937_64 {
public:
    explicit Mt19937_64(std::uint64_t seed) { reseed(seed); }

    // Knuth-style linear recurrence filling the 312 words from one value.
    void reseed(std::uint64_t seed) {
        x_[0] = seed;
        for (std::size_t k = 1; k < kWords; ++k) {
            x_[k] = kSeedMultiplier * (x_[k - 1] ^ (x_[k - 1] >> 62)) + k;
        }
        i_ = 0;
    }

    // Next 64-bit output: twist word i, then temper it.
    std::uint64_t next() {
        const std::size_t j = i_ + 1 == kWords ? 0 : i_ + 1;
        const std::size_t mid = i_ + kMiddle < kWords ? i_ + kMiddle : i_ + kMiddle - kWords;
        const std::uint64_t y = (x_[i_] & kUpperMask) | (x_[j] & kLowerMask);
        x_[i_] = x_[mid] ^ (y >> 1) ^ ((y & 1) ? kTwist : 0);
        std::uint64_t z = x_[i_];
        i_ = j;
        z ^= (z >> kShiftU) & kMaskD;
        z ^= (z << kShiftS) & kMaskB;
        z ^= (z << kShiftT) & kMaskC;
        z ^= z >> kShiftL;
        return z;
    }

private:
    static constexpr std::size_t kWords = 312;   // n: state size in words
    static constexpr std::size_t kMiddle = 156;  // m: offset of the word mixed in
    // r = 31: the upper 33 bits of word i meet the lower 31 bits of word i + 1.
    static constexpr std::uint64_t kUpperMask = 0xFFFFFFFF80000000ULL;
    static constexpr std::uint64_t kLowerMask = 0x000000007FFFFFFFULL;
    static constexpr std::uint64_t kTwist = 0xB5026F5AA96619E9ULL;           // a: twist matrix row
    static constexpr std::uint64_t kSeedMultiplier = 6364136223846793005ULL;  // f
    // Tempering: shifts u, s, t, l and masks d, b, c.
    static constexpr unsigned kShiftU = 29, kShiftS = 17, kShiftT = 37, kShiftL = 43;
    static constexpr std::uint64_t kMaskD = 0x5555555555555555ULL;
    static constexpr std::uint64_t kMaskB = 0x71D67FFFEDA60000ULL;
    static constexpr std::uint64_t kMaskC = 0xFFF7EEE000000000ULL;

    std::array<std::uint64_t, kWords> x_;
    std::size_t i_;
};

}  // namespace zorvana
