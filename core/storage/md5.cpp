#include "core/storage/md5.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "core/storage/md5_lanes.h"

namespace tuv {
namespace md5_detail {

const std::uint32_t k[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

namespace {

// The round functions, written so the part that does not need b (the word
// computed by the step just before) can start early. In g the two terms have
// no bit in common, so adding them equals or-ing them and lets the compiler
// fold them into the running sum separately.
constexpr std::uint32_t round_function(std::size_t round, std::uint32_t b, std::uint32_t c,
                                       std::uint32_t d) {
    switch (round) {
        case 0:
            return d ^ (b & (c ^ d));
        case 1:
            return (c & ~d) + (b & d);
        case 2:
            return b ^ c ^ d;
        default:
            return c ^ (b | ~d);
    }
}

std::uint32_t load_le(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);  // one unaligned load
        return v;
    } else {
        return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
}

// One step; `s` holds a, b, c, d in the roles they take at step i, which
// rotate by one position every step. Everything is a compile-time constant,
// so the whole block unrolls into straight-line code over registers.
template <std::size_t i>
inline void step(std::uint32_t (&s)[4], const std::uint32_t (&x)[16]) {
    std::uint32_t& a = s[(64 - i) % 4];
    const std::uint32_t b = s[(65 - i) % 4];
    const std::uint32_t c = s[(66 - i) % 4];
    const std::uint32_t d = s[(67 - i) % 4];
    a = b +
        std::rotl(a + (x[word(i)] + k[i]) + round_function(i / 16, b, c, d), shift[i / 16][i % 4]);
}

template <std::size_t... i>
inline void all_steps(std::uint32_t (&s)[4], const std::uint32_t (&x)[16],
                      std::index_sequence<i...>) {
    (step<i>(s, x), ...);
}

}  // namespace

// Runs the compression over `blocks` whole 64-byte blocks read in place.
void compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* data, std::size_t blocks) {
    std::uint32_t s[4] = {state[0], state[1], state[2], state[3]};
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t x[16];
        for (std::size_t w = 0; w < 16; ++w) x[w] = load_le(data + 4 * w);
        const std::uint32_t before[4] = {s[0], s[1], s[2], s[3]};
        all_steps(s, x, std::make_index_sequence<64>{});
        for (std::size_t w = 0; w < 4; ++w) s[w] += before[w];
    }
    state = {s[0], s[1], s[2], s[3]};
}

std::size_t last_blocks(const std::uint8_t* rest, std::uint64_t length, std::uint8_t* out) {
    const std::size_t used = length % 64;
    const std::size_t blocks = used < 56 ? 1 : 2;
    if (used > 0) std::memcpy(out, rest, used);
    out[used] = 0x80;
    std::memset(out + used + 1, 0, 64 * blocks - 8 - used - 1);
    const std::uint64_t bits = length * 8;
    for (std::size_t i = 0; i < 8; ++i) {
        out[64 * blocks - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return blocks;
}

std::array<std::uint8_t, 16> digest_of(const std::uint32_t (&state)[4]) {
    std::array<std::uint8_t, 16> out;
    for (std::size_t i = 0; i < 16; ++i) {
        out[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    }
    return out;
}

}  // namespace md5_detail

using md5_detail::compress;

void md5::update(const void* data, std::size_t size) {
    if (size == 0) return;  // `data` may then be null, which memcpy must not see
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t used = length_ % 64;
    length_ += size;
    if (used > 0) {
        const std::size_t n = std::min(size, 64 - used);
        std::memcpy(pending_.data() + used, in, n);
        in += n;
        size -= n;
        if (used + n < 64) return;
        compress(state_, pending_.data(), 1);
    }
    compress(state_, in, size / 64);
    std::memcpy(pending_.data(), in + size / 64 * 64, size % 64);
}

md5::digest md5::finish() {
    std::uint8_t tail[128];
    compress(state_, tail, md5_detail::last_blocks(pending_.data(), length_, tail));
    const digest out = md5_detail::digest_of({state_[0], state_[1], state_[2], state_[3]});
    reset();
    return out;
}

void md5::reset() {
    *this = md5();
}

std::string to_hex(const md5::digest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(32, '0');
    for (std::size_t i = 0; i < 16; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 0xf];
    }
    return text;
}

std::string md5_hex(const void* data, std::size_t size) {
    md5 hash;
    hash.update(data, size);
    return to_hex(hash.finish());
}

}  // namespace tuv
