// The MD5 block function over 8 lanes of 32 bits with AVX2. Compiled with
// -mavx2; only ever called after the processor was found to have it
// (md5_lane_steps.h says why nothing here reaches the rest of the program).
#include <immintrin.h>

#include "core/storage/md5_lane_steps.h"

namespace tuv::md5_detail {
namespace {

struct avx2 {
    using vec = __m256i;
    static constexpr std::size_t lanes = 8;

    static vec load(const void* p) { return _mm256_loadu_si256(static_cast<const vec*>(p)); }
    static void store(void* p, vec v) { _mm256_storeu_si256(static_cast<vec*>(p), v); }
    static vec add(vec a, vec b) { return _mm256_add_epi32(a, b); }
    static vec broadcast(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    template <int r>
    static vec rotl(vec v) {
        return _mm256_or_si256(_mm256_slli_epi32(v, r), _mm256_srli_epi32(v, 32 - r));
    }
    // Written so that b, which the step before computed, comes in last.
    template <std::size_t round>
    static vec round_function(vec b, vec c, vec d) {
        if constexpr (round == 0) {
            return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
        }
        if constexpr (round == 1) {
            return _mm256_or_si256(_mm256_andnot_si256(d, c), _mm256_and_si256(b, d));
        }
        if constexpr (round == 2) return _mm256_xor_si256(b, _mm256_xor_si256(c, d));
        if constexpr (round == 3) {
            return _mm256_xor_si256(c,
                                    _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
        }
    }
    static vec unpacklo_32(vec a, vec b) { return _mm256_unpacklo_epi32(a, b); }
    static vec unpackhi_32(vec a, vec b) { return _mm256_unpackhi_epi32(a, b); }
    static vec unpacklo_64(vec a, vec b) { return _mm256_unpacklo_epi64(a, b); }
    static vec unpackhi_64(vec a, vec b) { return _mm256_unpackhi_epi64(a, b); }

    // A block's 16 words are two rows of 8 per lane: two 8 x 8 transposes.
    static void words(const std::uint8_t* const* at, std::size_t offset, vec (&x)[16]) {
        for (std::size_t half = 0; half < 2; ++half) {
            vec r[8];
            for (std::size_t l = 0; l < 8; ++l) r[l] = load(at[l] + offset + 32 * half);
            vec u[8];
            lane_transpose<avx2>(r, u);
            // Word 4 * j + m: half j of u[m], then of u[4 + m].
            for (std::size_t m = 0; m < 4; ++m) {
                x[8 * half + m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x20);
                x[8 * half + 4 + m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x31);
            }
        }
    }
};

}  // namespace

void compress_8_avx2(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                     std::size_t blocks) {
    lane_steps<avx2>::compress(state, blocks_at, blocks);
}

}  // namespace tuv::md5_detail
