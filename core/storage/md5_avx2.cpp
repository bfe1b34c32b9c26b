// The MD5 block function over 8 lanes of 32 bits with AVX2. Compiled with
// -mavx2; only ever called after the processor was found to have it.
// Nothing from a header but intrinsics and constants is used here, so no
// code built for AVX2 can end up shared with the rest of the program.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/storage/md5_lanes.h"

namespace tuv::md5_detail {
namespace {

using vec = __m256i;

// The eight words at `offset` of every lane's blocks, one vector per word:
// the 8 x 8 matrix of words (one row per lane) transposed.
inline void load_words(const std::uint8_t* const* at, std::size_t offset, vec* x) {
    vec r[8];
    for (int l = 0; l < 8; ++l) {
        r[l] = _mm256_loadu_si256(reinterpret_cast<const vec*>(at[l] + offset));
    }
    vec t[8];
    for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
    }
    // u[4 * g + m], in its 128-bit half j, holds word 4 * j + m of lanes
    // 4 * g to 4 * g + 3.
    vec u[8];
    for (int g = 0; g < 2; ++g) {
        u[4 * g] = _mm256_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 1] = _mm256_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 2] = _mm256_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
        u[4 * g + 3] = _mm256_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
    }
    for (int m = 0; m < 4; ++m) {
        x[m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x20);
        x[4 + m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x31);
    }
}

template <int r>
inline vec rotl(vec v) {
    return _mm256_or_si256(_mm256_slli_epi32(v, r), _mm256_srli_epi32(v, 32 - r));
}

// One step, as the scalar code's.
template <std::size_t i>
inline void step(vec (&s)[4], const vec (&x)[16]) {
    constexpr std::size_t w = word(i);
    vec& a = s[(64 - i) % 4];
    const vec b = s[(65 - i) % 4];
    const vec c = s[(66 - i) % 4];
    const vec d = s[(67 - i) % 4];
    vec f;
    if constexpr (i < 16) {
        f = _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
    } else if constexpr (i < 32) {
        f = _mm256_or_si256(_mm256_andnot_si256(d, c), _mm256_and_si256(b, d));
    } else if constexpr (i < 48) {
        f = _mm256_xor_si256(b, _mm256_xor_si256(c, d));
    } else {
        f = _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
    }
    // f is the one term that waits on the step before: added last.
    const vec early =
        _mm256_add_epi32(a, _mm256_add_epi32(x[w], _mm256_set1_epi32(static_cast<int>(k[i]))));
    const vec sum = _mm256_add_epi32(early, f);
    a = _mm256_add_epi32(b, rotl<shift[i / 16][i % 4]>(sum));
}

template <std::size_t... i>
inline void all_steps(vec (&s)[4], const vec (&x)[16], std::index_sequence<i...>) {
    (step<i>(s, x), ...);
}

}  // namespace

void compress_8_avx2(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                     std::size_t blocks) {
    vec s[4];
    for (int r = 0; r < 4; ++r)
        s[r] = _mm256_loadu_si256(reinterpret_cast<const vec*>(state + 8 * r));
    for (std::size_t n = 0; n < blocks; ++n) {
        vec x[16];
        load_words(blocks_at, 64 * n, x);
        load_words(blocks_at, 64 * n + 32, x + 8);
        const vec before[4] = {s[0], s[1], s[2], s[3]};
        all_steps(s, x, std::make_index_sequence<64>{});
        for (int r = 0; r < 4; ++r) s[r] = _mm256_add_epi32(s[r], before[r]);
    }
    for (int r = 0; r < 4; ++r) {
        _mm256_storeu_si256(reinterpret_cast<vec*>(state + 8 * r), s[r]);
    }
}

}  // namespace tuv::md5_detail
