#include "random/mt19937_64_jump.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "kernels/platform.hpp"

namespace zorvana {

namespace {

// Polynomials over GF(2) are little-endian byte strings: bit i of the
// polynomial is bit i % 8 of byte i / 8. Sums are XORs, made eight bytes at
// a time; XOR does not care about byte order, so neither do the results.
using Bytes = std::vector<unsigned char>;
constexpr unsigned kDegree = kCharPolyDegree;
constexpr std::size_t kResidueBytes = (kDegree + 7) / 8;  // residues: degree below 19937
constexpr std::size_t kBlockShiftBytes = Mt19937_64::kWords / 8;  // t^312: 39 bytes

void xor_into(unsigned char* ZV_RESTRICT dst, const unsigned char* ZV_RESTRICT src, std::size_t n) {
    std::size_t k = 0;
#if ZV_GNU
    // Sixteen bytes at a time where the compiler has vector types (SSE2 is
    // the baseline of x86-64; elsewhere it splits them).
    ZV_GNU_VECTOR(Pair, std::uint64_t, 16);
    for (; k + 32 <= n; k += 32) {
        Pair a0, a1, b0, b1;
        std::memcpy(&a0, dst + k, 16);
        std::memcpy(&a1, dst + k + 16, 16);
        std::memcpy(&b0, src + k, 16);
        std::memcpy(&b1, src + k + 16, 16);
        a0 ^= b0;
        a1 ^= b1;
        std::memcpy(dst + k, &a0, 16);
        std::memcpy(dst + k + 16, &a1, 16);
    }
#endif
    for (; k + 8 <= n; k += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, dst + k, 8);
        std::memcpy(&b, src + k, 8);
        a ^= b;
        std::memcpy(dst + k, &a, 8);
    }
    for (; k < n; ++k) dst[k] ^= src[k];
}

// The residues (b(t) t^19937) mod phi of the 256 polynomials b of degree
// below 8, and the squares of the 256 bytes (a square over GF(2) spreads
// the bits: bit i goes to bit 2i).
struct Tables {
    std::vector<unsigned char> residue;  // 256 x kResidueBytes
    std::array<std::uint16_t, 256> square{};

    Tables() : residue(256 * kResidueBytes, 0) {
        for (unsigned b = 0; b < 256; ++b) {
            std::uint16_t s = 0;
            for (unsigned i = 0; i < 8; ++i) s = static_cast<std::uint16_t>(s | (((b >> i) & 1u) << (2 * i)));
            square[b] = s;
        }
        // r_0 = t^19937 mod phi: phi without its leading term; r_(i+1) = t r_i mod phi.
        Bytes r(kResidueBytes, 0);
        for (std::size_t j = 0; j < kDegree; ++j) {
            if ((kMt19937_64CharPoly[j / 64] >> (j % 64)) & 1) r[j / 8] = static_cast<unsigned char>(r[j / 8] | (1u << (j % 8)));
        }
        const Bytes low = r;
        std::array<Bytes, 8> powers;
        for (unsigned i = 0; i < 8; ++i) {
            powers[i] = r;
            // multiply by t: shift up one bit; a bit reaching t^19937 is replaced by phi's lower part
            unsigned carry = 0;
            for (std::size_t k = 0; k < kResidueBytes; ++k) {
                const unsigned v = r[k];
                r[k] = static_cast<unsigned char>(((v << 1) | carry) & 0xFFu);
                carry = v >> 7;
            }
            const std::size_t top = kDegree / 8;  // byte of bit 19937
            const unsigned mask = 1u << (kDegree % 8);
            if (r[top] & mask) {
                r[top] = static_cast<unsigned char>(r[top] & ~mask);
                xor_into(r.data(), low.data(), kResidueBytes);
            }
        }
        for (unsigned b = 1; b < 256; ++b) {
            unsigned i = 0;
            while (((b >> i) & 1u) == 0) ++i;
            unsigned char* dst = &residue[b * kResidueBytes];
            std::memcpy(dst, &residue[(b & (b - 1)) * kResidueBytes], kResidueBytes);
            xor_into(dst, powers[i].data(), kResidueBytes);
        }
    }
};

const Tables& tables() {
    static const Tables t;  // built once, on the first long jump
    return t;
}

// p mod phi, for p of any degree; p keeps two spare zero bytes at its end.
Bytes reduce(Bytes p) {
    const Tables& t = tables();
    const std::size_t bits = 8 * (p.size() - 2);
    if (bits > kDegree) {
        // The eight coefficients from t^(19937 + 8m) up, highest m first:
        // cleared, and their residue added eight bytes lower... m bytes up.
        for (std::size_t m = (bits - kDegree + 7) / 8; m-- > 0;) {
            const std::size_t at = kDegree + 8 * m;
            const unsigned shift = at % 8;
            const std::size_t byte = at / 8;
            const unsigned b = ((p[byte] >> shift) | (p[byte + 1] << (8 - shift))) & 0xFFu;
            if (b == 0) continue;
            p[byte] = static_cast<unsigned char>(p[byte] & ((1u << shift) - 1));
            p[byte + 1] = static_cast<unsigned char>(p[byte + 1] & ~((1u << shift) - 1));
            xor_into(&p[m], &t.residue[b * kResidueBytes], kResidueBytes);
        }
    }
    p.resize(kResidueBytes);
    return p;
}

Bytes square_mod(const Bytes& g) {
    const Tables& t = tables();
    Bytes p(2 * g.size() + 2, 0);
    for (std::size_t k = 0; k < g.size(); ++k) {
        p[2 * k] = static_cast<unsigned char>(t.square[g[k]] & 0xFFu);
        p[2 * k + 1] = static_cast<unsigned char>(t.square[g[k]] >> 8);
    }
    return reduce(std::move(p));
}

Bytes times_block_mod(const Bytes& g) {
    Bytes p(kBlockShiftBytes + g.size() + 2, 0);
    std::memcpy(&p[kBlockShiftBytes], g.data(), g.size());
    return reduce(std::move(p));
}

// t^(312 blocks) mod phi, by squaring and multiplying along the bits of blocks.
Bytes block_power(const Wide& blocks) {
    Bytes g(kResidueBytes, 0);
    g[0] = 1;
    for (unsigned i = blocks.bit_length(); i-- > 0;) {
        g = square_mod(g);
        if (blocks.bit(i)) g = times_block_mod(g);
    }
    return g;
}

}  // namespace

BlockJump::BlockJump(const Wide& blocks) : blocks_(blocks), poly_(block_power(blocks)) {}

void BlockJump::apply(Mt19937_64::Words& words) const {
    constexpr std::size_t n = Mt19937_64::kWords;
    constexpr std::size_t m = Mt19937_64::kMiddle;
    // The window and its next seven words: A^i x is the window from word i.
    std::array<std::uint64_t, n + 7> ext;
    std::memcpy(ext.data(), words.data(), sizeof(words));
    for (std::size_t k = 0; k < 7; ++k) ext[n + k] = Mt19937_64::twist(ext[k], ext[k + 1], ext[k + m]);
    // sums[c] = sum of A^i x over the bits i of c. The buffers (0.8 MB)
    // stay with the thread for its next jump.
    thread_local std::vector<std::uint64_t> sums, y;
    sums.resize(256 * n);
    std::fill(sums.begin(), sums.begin() + n, 0);
    for (unsigned c = 1; c < 256; ++c) {
        unsigned i = 0;
        while (((c >> i) & 1u) == 0) ++i;
        std::uint64_t* dst = &sums[c * n];
        const std::uint64_t* rest = &sums[(c & (c - 1)) * n];
        for (std::size_t k = 0; k < n; ++k) dst[k] = rest[k] ^ ext[i + k];
    }
    // Horner's rule eight coefficients at a time: y <- A^8 y + sums[byte],
    // highest byte first. y is a run of words whose last 312 are the window.
    const std::size_t bytes = poly_.size();
    y.resize(n + 8 * bytes);  // past the first window every word is computed before it is read
    std::fill(y.begin(), y.begin() + n, 0);
    std::size_t at = 0;
    for (std::size_t b = bytes; b-- > 0;) {
        if (b + 1 < bytes) {
            for (std::size_t k = 0; k < 8; ++k) y[at + n + k] = Mt19937_64::twist(y[at + k], y[at + k + 1], y[at + k + m]);
            at += 8;
        }
        const unsigned c = poly_[b];
        if (c == 0) continue;
        xor_into(reinterpret_cast<unsigned char*>(&y[at]), reinterpret_cast<const unsigned char*>(&sums[c * n]),
                 n * sizeof(std::uint64_t));
    }
    std::memcpy(words.data(), &y[at], sizeof(words));
}

// Skips below this many blocks refill block by block (about a microsecond
// each); longer ones jump.
constexpr std::uint64_t kJumpFromBlocks = 64;

void Mt19937_64::advance(const Wide& n, const BlockJump* stride) {
    if (n.is_zero()) return;
    // The last output skipped is word o of this block's run: in block K of
    // it, at index r.
    const Wide o = n + Wide(i_) - Wide(1);
    std::uint32_t r;
    const Wide blocks = o.divide(static_cast<std::uint32_t>(kWords), &r);
    if (!blocks.is_zero()) {
        // One refill puts a reached block in place (the seeded words are not
        // one); the rest is a jump, or refills for a short rest.
        refill();
        Wide rest = blocks - Wide(1);
        if (stride != nullptr && !(rest < stride->blocks())) {
            stride->apply(x_);
            block_start_ += stride->blocks().times(static_cast<std::uint32_t>(kWords));
            rest -= stride->blocks();
        }
        if (!(rest < Wide(kJumpFromBlocks))) {
            const BlockJump jump(rest);
            jump.apply(x_);
            block_start_ += rest.times(static_cast<std::uint32_t>(kWords));
            rest = Wide();
        }
        for (std::uint64_t k = 0; k < rest.w[0]; ++k) refill();
    }
    i_ = static_cast<std::size_t>(r) + 1;
}

}  // namespace zorvana
