// Inside MD5: the block function, scalar and over several lanes at once,
// for md5.cpp and md5_many.cpp only. Nothing here pads or counts lengths;
// a caller hands over whole 64-byte blocks.
//
// A lane kernel runs `blocks` blocks for every lane at once: lane l reads
// its blocks one after the other from blocks_at[l] (each 64 * `blocks`
// bytes readable, no alignment needed) and keeps its four state words at
// state[l], state[lanes + l], state[2 * lanes + l] and state[3 * lanes + l].
// The kernels are compiled for their instruction sets in files of their own
// and must only be called when the processor has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tuv::md5_detail {

// floor(|sin(i + 1)| * 2^32), one per step. Defined in md5.cpp, whose
// scalar steps take them as immediates; the kernels see only this
// declaration, so they read them from memory, where an immediate would cost
// a vector instruction or two every step to broadcast.
extern const std::uint32_t k[64];

inline constexpr int shift[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// Which message word step i takes. (Used only in constant expressions, so
// the kernels' files, compiled for other instruction sets, never emit it.)
constexpr std::size_t word(std::size_t i) {
    switch (i / 16) {
        case 0:
            return i;
        case 1:
            return (5 * i + 1) % 16;
        case 2:
            return (3 * i + 5) % 16;
        default:
            return (7 * i) % 16;
    }
}

inline constexpr std::uint32_t initial_state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

void compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* data, std::size_t blocks);

// Writes a message's last block or two to `out` (128 bytes): the final
// length % 64 bytes of the message from `rest`, 0x80, zeros and the length
// in bits; returns how many blocks that is (2 when those bytes leave no
// room for the length).
std::size_t last_blocks(const std::uint8_t* rest, std::uint64_t length, std::uint8_t* out);

// The digest of a final state: each word low byte first.
std::array<std::uint8_t, 16> digest_of(const std::uint32_t (&state)[4]);

using lane_kernel = void (*)(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                             std::size_t blocks);

inline constexpr std::size_t max_lanes = 16;

#if defined(QUILLMARK_MD5_X86)
void compress_8_avx2(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                     std::size_t blocks);
void compress_16_avx512(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                        std::size_t blocks);
#endif

}  // namespace tuv::md5_detail
