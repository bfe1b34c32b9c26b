// The MD5 block function over 16 lanes of 32 bits with AVX-512F, which has
// a rotate and a three-input logic instruction: each round function is one
// instruction. Compiled with -mavx512f; only ever called after the
// processor was found to have it (md5_lane_steps.h says why nothing here
// reaches the rest of the program).
#include <immintrin.h>

#include "core/storage/md5_lane_steps.h"

namespace tuv::md5_detail {
namespace {

struct avx512 {
    using vec = __m512i;
    static constexpr std::size_t lanes = 16;

    static vec load(const std::uint32_t* p) { return _mm512_loadu_si512(p); }
    static void store(std::uint32_t* p, vec v) { _mm512_storeu_si512(p, v); }
    static vec add(vec a, vec b) { return _mm512_add_epi32(a, b); }
    static vec broadcast(std::uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
    template <int r>
    static vec rotl(vec v) {
        return _mm512_rol_epi32(v, r);
    }
    // As truth tables: 0xca is "b ? c : d", 0x96 "b ^ c ^ d", 0x39
    // "c ^ (b | ~d)".
    template <std::size_t round>
    static vec round_function(vec b, vec c, vec d) {
        if constexpr (round == 0) return _mm512_ternarylogic_epi32(b, c, d, 0xca);
        if constexpr (round == 1) return _mm512_ternarylogic_epi32(d, b, c, 0xca);
        if constexpr (round == 2) return _mm512_ternarylogic_epi32(b, c, d, 0x96);
        if constexpr (round == 3) return _mm512_ternarylogic_epi32(b, c, d, 0x39);
    }
    static vec unpacklo_32(vec a, vec b) { return _mm512_unpacklo_epi32(a, b); }
    static vec unpackhi_32(vec a, vec b) { return _mm512_unpackhi_epi32(a, b); }
    static vec unpacklo_64(vec a, vec b) { return _mm512_unpacklo_epi64(a, b); }
    static vec unpackhi_64(vec a, vec b) { return _mm512_unpackhi_epi64(a, b); }

    static void words(const std::uint8_t* const* at, std::size_t offset, vec (&x)[16]) {
        vec r[16];
        for (std::size_t l = 0; l < 16; ++l) r[l] = _mm512_loadu_si512(at[l] + offset);
        vec u[16];
        lane_transpose<avx512>(r, u);
        // Word 4 * j + m: part j of u[m], u[4 + m], u[8 + m], u[12 + m].
        for (std::size_t m = 0; m < 4; ++m) {
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
};

}  // namespace

void compress_16_avx512(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                        std::size_t blocks) {
    lane_steps<avx512>::compress(state, blocks_at, blocks);
}

}  // namespace tuv::md5_detail
