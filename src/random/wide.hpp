// Unsigned 320-bit counts, modulo 2^320: positions in a generator's stream
// and jump lengths, which pass 2^256. Little-endian 64-bit words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zorvana {

struct Wide {
    static constexpr std::size_t kWords = 5;
    std::array<std::uint64_t, kWords> w{};

    Wide() = default;
    explicit Wide(std::uint64_t low) { w[0] = low; }

    static Wide power_of_two(unsigned k) {
        Wide r;
        r.w[k / 64] = std::uint64_t{1} << (k % 64);
        return r;
    }

    bool is_zero() const {
        for (std::uint64_t x : w) {
            if (x != 0) return false;
        }
        return true;
    }
    bool operator==(const Wide& o) const { return w == o.w; }
    bool operator!=(const Wide& o) const { return w != o.w; }
    bool operator<(const Wide& o) const {
        for (std::size_t k = kWords; k-- > 0;) {
            if (w[k] != o.w[k]) return w[k] < o.w[k];
        }
        return false;
    }

    Wide& operator+=(const Wide& o) {
        std::uint64_t carry = 0;
        for (std::size_t k = 0; k < kWords; ++k) {
            const std::uint64_t a = w[k] + carry;
            const std::uint64_t c1 = a < carry ? 1 : 0;
            w[k] = a + o.w[k];
            carry = c1 + (w[k] < a ? 1 : 0);
        }
        return *this;
    }
    Wide& operator-=(const Wide& o) {
        std::uint64_t borrow = 0;
        for (std::size_t k = 0; k < kWords; ++k) {
            const std::uint64_t a = w[k] - borrow;
            const std::uint64_t b1 = w[k] < borrow ? 1 : 0;
            borrow = b1 + (a < o.w[k] ? 1 : 0);
            w[k] = a - o.w[k];
        }
        return *this;
    }
    friend Wide operator+(Wide a, const Wide& b) { return a += b; }
    friend Wide operator-(Wide a, const Wide& b) { return a -= b; }

    // this * m, for m below 2^32.
    Wide times(std::uint32_t m) const {
        Wide r;
        std::uint64_t carry = 0;
        for (std::size_t k = 0; k < kWords; ++k) {
            const std::uint64_t lo = (w[k] & 0xFFFFFFFFu) * m + carry;
            const std::uint64_t hi = (w[k] >> 32) * m + (lo >> 32);
            r.w[k] = (lo & 0xFFFFFFFFu) | (hi << 32);
            carry = hi >> 32;
        }
        return r;
    }

    // Quotient by d (0 < d < 2^32); the remainder in *rem.
    Wide divide(std::uint32_t d, std::uint32_t* rem) const {
        Wide q;
        std::uint64_t r = 0;
        for (std::size_t k = kWords; k-- > 0;) {
            for (int half = 1; half >= 0; --half) {
                const std::uint64_t cur = (r << 32) | ((w[k] >> (32 * half)) & 0xFFFFFFFFu);
                q.w[k] |= (cur / d) << (32 * half);
                r = cur % d;
            }
        }
        *rem = static_cast<std::uint32_t>(r);
        return q;
    }

    // Number of significant bits (0 for zero), and bit i.
    unsigned bit_length() const {
        for (std::size_t k = kWords; k-- > 0;) {
            if (w[k] != 0) {
                unsigned n = 64 * static_cast<unsigned>(k);
                for (std::uint64_t x = w[k]; x != 0; x >>= 1) ++n;
                return n;
            }
        }
        return 0;
    }
    bool bit(unsigned i) const { return ((w[i / 64] >> (i % 64)) & 1) != 0; }
};

}  // namespace zorvana
