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

BlockJump::BlockJump(const BlockJump& half, const Wide& blocks) : blocks_(blocks), poly_(square_mod(half.poly_)) {
    for (Wide extra = blocks - half.blocks_.times(2); !extra.is_zero(); extra -= Wide(1)) {
        poly_ = times_block_mod(poly_);
    }
}

// ---- Applying a jump ----------------------------------------------------------
//
// A jump's cost is Horner's rule below: for each of the polynomial's 2493
// bytes, eight word steps and one sum of 312 words into the window from a
// table of 256 windows (0.6 MB). The sums are most of it, bound by how fast
// memory moves: they run on whole 64-byte lines (the table's rows and the
// window's steps of eight words are aligned to them) with the widest vectors
// the processor has, chosen once.

namespace {

constexpr std::size_t kN = Mt19937_64::kWords;
constexpr std::size_t kLine = 8;  // words in a 64-byte line

// dst ^= src, and dst = a ^ b, over 312 words.
using XorInto = void (*)(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT src);
using XorOf = void (*)(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT a,
                       const std::uint64_t* ZV_RESTRICT b);

#if ZV_LANE_REGISTERS == 1
#define ZV_XOR_KERNELS(suffix, bytes)                                                                           \
    void xor_into_##suffix(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT src) {              \
        ZV_GNU_VECTOR(V, std::uint64_t, bytes);                                                                 \
        for (std::size_t k = 0; k < kN; k += (bytes) / 8) {                                                     \
            V x, y;                                                                                             \
            std::memcpy(&x, dst + k, bytes);                                                                    \
            std::memcpy(&y, src + k, bytes);                                                                    \
            x ^= y;                                                                                             \
            std::memcpy(dst + k, &x, bytes);                                                                    \
        }                                                                                                       \
    }                                                                                                           \
    void xor_of_##suffix(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT a,                    \
                         const std::uint64_t* ZV_RESTRICT b) {                                                  \
        ZV_GNU_VECTOR(V, std::uint64_t, bytes);                                                                 \
        for (std::size_t k = 0; k < kN; k += (bytes) / 8) {                                                     \
            V x, y;                                                                                             \
            std::memcpy(&x, a + k, bytes);                                                                      \
            std::memcpy(&y, b + k, bytes);                                                                      \
            x ^= y;                                                                                             \
            std::memcpy(dst + k, &x, bytes);                                                                    \
        }                                                                                                       \
    }
// Sixteen bytes: SSE2, the baseline of x86-64 (elsewhere the compiler splits them).
ZV_XOR_KERNELS(16, 16)
#if ZV_X86
#define ZV_XOR_WIDE 1
ZV_TARGET_BEGIN(avx2)
ZV_XOR_KERNELS(avx2, 32)
ZV_TARGET_END
ZV_TARGET_BEGIN(avx512f)
ZV_XOR_KERNELS(avx512, 64)
ZV_TARGET_END
#endif
#else
void xor_into_16(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT src) {
    for (std::size_t k = 0; k < kN; ++k) dst[k] ^= src[k];
}
void xor_of_16(std::uint64_t* ZV_RESTRICT dst, const std::uint64_t* ZV_RESTRICT a,
               const std::uint64_t* ZV_RESTRICT b) {
    for (std::size_t k = 0; k < kN; ++k) dst[k] = a[k] ^ b[k];
}
#endif

struct XorKernels {
    XorInto into;
    XorOf of;
};

XorKernels choose_kernels() {
#ifdef ZV_XOR_WIDE
    if (platform::cpu_has_avx512f()) return {xor_into_avx512, xor_of_avx512};
    if (platform::cpu_has_avx2()) return {xor_into_avx2, xor_of_avx2};
#endif
    return {xor_into_16, xor_of_16};
}

const XorKernels& kernels() {
    static const XorKernels k = choose_kernels();
    return k;
}

// Words on 64-byte lines: the buffers of a thread's jumps, kept for its next ones.
struct LineBuffer {
    std::vector<std::uint64_t> storage;
    std::uint64_t* get(std::size_t words) {
        if (storage.size() < words + kLine) storage.assign(words + kLine, 0);
        const auto at = reinterpret_cast<std::uintptr_t>(storage.data());
        return storage.data() + ((kLine * 8 - at % (kLine * 8)) % (kLine * 8)) / 8;
    }
};

}  // namespace

void BlockJump::apply(Mt19937_64::Words& words) const {
    constexpr std::size_t m = Mt19937_64::kMiddle;
    const XorKernels& xor_kernel = kernels();
    // The window and its next seven words: A^i x is the window from word i.
    std::array<std::uint64_t, kN + 7> ext;
    std::memcpy(ext.data(), words.data(), sizeof(words));
    for (std::size_t k = 0; k < 7; ++k) ext[kN + k] = Mt19937_64::twist(ext[k], ext[k + 1], ext[k + m]);
    // sums[c] = sum of A^i x over the bits i of c (312 words, 39 lines, a row).
    thread_local LineBuffer sums_buffer, y_buffer;
    std::uint64_t* const sums = sums_buffer.get(256 * kN);
    std::fill(sums, sums + kN, 0);
    for (unsigned c = 1; c < 256; ++c) {
        unsigned i = 0;
        while (((c >> i) & 1u) == 0) ++i;
        xor_kernel.of(sums + c * kN, sums + (c & (c - 1)) * kN, &ext[i]);
    }
    // Horner's rule eight coefficients at a time: y <- A^8 y + sums[byte],
    // highest byte first. y is a run of words whose last 312 are the window
    // (from a line's start: it moves on by eight words a step).
    const std::size_t bytes = poly_.size();
    // Past the first window every word is computed before it is read.
    std::uint64_t* const y = y_buffer.get(kN + 8 * bytes);
    std::fill(y, y + kN, 0);
    std::size_t at = 0;
    for (std::size_t b = bytes; b-- > 0;) {
        if (b + 1 < bytes) {
            for (std::size_t k = 0; k < 8; ++k) {
                y[at + kN + k] = Mt19937_64::twist(y[at + k], y[at + k + 1], y[at + k + m]);
            }
            at += 8;
        }
        const unsigned c = poly_[b];
        if (c != 0) xor_kernel.into(y + at, sums + c * kN);
    }
    std::memcpy(words.data(), y + at, sizeof(words));
}

// Skips below this many blocks refill block by block (about a microsecond
// each); longer ones jump.
constexpr std::uint64_t kJumpFromBlocks = 64;

void Mt19937_64::advance(const Wide& n, const BlockJump* const* parts, std::size_t count) {
    if (n.is_zero()) return;
    // The last output skipped is word o of this block's run: in block K of
    // it, at index r.
    const Wide o = n + Wide(i_) - Wide(1);
    std::uint32_t r;
    const Wide blocks = o.divide(static_cast<std::uint32_t>(kWords), &r);
    if (!blocks.is_zero()) {
        // One refill puts a reached block in place (the seeded words are not
        // one); the rest is prepared jumps, then a jump or refills for what
        // they leave.
        refill();
        Wide rest = blocks - Wide(1);
        for (std::size_t p = 0; p < count; ++p) {
            const BlockJump& jump = *parts[p];
            if (rest < jump.blocks()) continue;
            jump.apply(x_);
            block_start_ += jump.blocks().times(static_cast<std::uint32_t>(kWords));
            rest -= jump.blocks();
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

// Whole blocks of 2^j outputs, less one.
static Wide stride_blocks(unsigned j) {
    std::uint32_t rest;
    return Wide::power_of_two(j).divide(static_cast<std::uint32_t>(Mt19937_64::kWords), &rest) - Wide(1);
}

StrideJumps& StrideJumps::shared() {
    static StrideJumps* const jumps = new StrideJumps;  // for the process
    return *jumps;
}

unsigned StrideJumps::highest(unsigned bits, std::uint32_t k) {
    unsigned top = 0;
    while (top < 31 && (k >> (top + 1)) != 0) ++top;
    return bits + top;
}

bool StrideJumps::ready(unsigned bits, std::uint32_t k) const {
    return highest(bits, k) < made_.load(std::memory_order_acquire);
}

void StrideJumps::make_next() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const unsigned j = made_.load(std::memory_order_relaxed);
    if (j > kLast) return;
    // 2^(j+1) outputs hold twice the blocks of 2^j and one or two more.
    parts_[j].reset(j == kFirst ? new BlockJump(stride_blocks(j)) : new BlockJump(*parts_[j - 1], stride_blocks(j)));
    made_.store(j + 1, std::memory_order_release);
}

void StrideJumps::advance(Mt19937_64& gen, unsigned bits, std::uint32_t k) {
    while (!ready(bits, k)) make_next();
    const BlockJump* parts[32];
    std::size_t count = 0;
    for (unsigned b = 32; b-- > 0;) {
        if ((k >> b) & 1u) parts[count++] = parts_[bits + b].get();
    }
    gen.advance(Wide::power_of_two(bits).times(k), parts, count);
}

}  // namespace zorvana
