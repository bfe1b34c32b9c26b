// The MD5 block function over 16 lanes of 32 bits with AVX-512F, which has
// a rotate and a three-input logic instruction: each round function is one
// instruction. Compiled with -mavx512f; only ever called after the
// processor was found to have it. Nothing from a header but intrinsics and
// constants is used here, so no code built for AVX-512 can end up shared
// with the rest of the program.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/storage/md5_lanes.h"

namespace tuv::md5_detail {
namespace {

using vec = __m512i;

// x[w] = word w of every lane's block at `offset`: the 16 x 16 matrix of
// words (one row per lane) transposed, in three rounds of interleaving.
inline void load_words(const std::uint8_t* const* at, std::size_t offset, vec (&x)[16]) {
    vec r[16];
    for (int l = 0; l < 16; ++l) r[l] = _mm512_loadu_si512(at[l] + offset);
    vec t[16];
    for (int i = 0; i < 8; ++i) {
        t[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    // u[4 * g + m], in its 128-bit part j, holds word 4 * j + m of lanes
    // 4 * g to 4 * g + 3.
    vec u[16];
    for (int g = 0; g < 4; ++g) {
        u[4 * g] = _mm512_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 1] = _mm512_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 2] = _mm512_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
        u[4 * g + 3] = _mm512_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
    }
    for (int m = 0; m < 4; ++m) {
        const vec low_ab = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x44);
        const vec high_ab = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xee);
        const vec low_cd = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x44);
        const vec high_cd = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xee);
        x[m] = _mm512_shuffle_i32x4(low_ab, low_cd, 0x88);
        x[4 + m] = _mm512_shuffle_i32x4(low_ab, low_cd, 0xdd);
        x[8 + m] = _mm512_shuffle_i32x4(high_ab, high_cd, 0x88);
        x[12 + m] = _mm512_shuffle_i32x4(high_ab, high_cd, 0xdd);
    }
}

// One step, as the scalar code's; the round functions as truth tables:
// 0xca is "b ? c : d", 0x96 "b ^ c ^ d", 0x39 "c ^ (b | ~d)".
template <std::size_t i>
inline void step(vec (&s)[4], const vec (&x)[16]) {
    constexpr std::size_t w = word(i);
    constexpr int r = shift[i / 16][i % 4];
    vec& a = s[(64 - i) % 4];
    const vec b = s[(65 - i) % 4];
    const vec c = s[(66 - i) % 4];
    const vec d = s[(67 - i) % 4];
    vec f;
    if constexpr (i < 16) {
        f = _mm512_ternarylogic_epi32(b, c, d, 0xca);
    } else if constexpr (i < 32) {
        f = _mm512_ternarylogic_epi32(d, b, c, 0xca);
    } else if constexpr (i < 48) {
        f = _mm512_ternarylogic_epi32(b, c, d, 0x96);
    } else {
        f = _mm512_ternarylogic_epi32(b, c, d, 0x39);
    }
    // f is the one term that waits on the step before: added last.
    const vec early =
        _mm512_add_epi32(a, _mm512_add_epi32(x[w], _mm512_set1_epi32(static_cast<int>(k[i]))));
    const vec sum = _mm512_add_epi32(early, f);
    a = _mm512_add_epi32(b, _mm512_rol_epi32(sum, r));
}

template <std::size_t... i>
inline void all_steps(vec (&s)[4], const vec (&x)[16], std::index_sequence<i...>) {
    (step<i>(s, x), ...);
}

}  // namespace

void compress_16_avx512(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                        std::size_t blocks) {
    vec s[4];
    for (int r = 0; r < 4; ++r) s[r] = _mm512_loadu_si512(state + 16 * r);
    for (std::size_t n = 0; n < blocks; ++n) {
        vec x[16];
        load_words(blocks_at, 64 * n, x);
        const vec before[4] = {s[0], s[1], s[2], s[3]};
        all_steps(s, x, std::make_index_sequence<64>{});
        for (int r = 0; r < 4; ++r) s[r] = _mm512_add_epi32(s[r], before[r]);
    }
    for (int r = 0; r < 4; ++r) _mm512_storeu_si512(state + 16 * r, s[r]);
}

}  // namespace tuv::md5_detail
