// The MD5 block function over the lanes of a vector register, written once
// for every instruction set: each kernel's file (md5_avx2.cpp,
// md5_avx512.cpp) defines `ops`, a struct of static functions over its
// vector type, in an anonymous namespace, and instantiates lane_steps<ops>
// there. The instantiations are thus local to the file compiled for their
// instruction set, and no code built for it is shared with the rest of the
// program.
//
// `ops` supplies: vec, lanes; load, store, add, broadcast; rotl<r>;
// round_function<round>(b, c, d) as the scalar code defines the four; the
// interleaving unpacklo_32, unpackhi_32, unpacklo_64 and unpackhi_64 within
// 128-bit parts; and words(at, offset, x), which sets x[w] to word w of every
// lane's block at at[lane] + offset (the matrix of words, one row per lane,
// transposed: lane_transpose below does its first two rounds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/storage/md5_lanes.h"

namespace tuv::md5_detail {

template <typename ops>
struct lane_steps {
    using vec = typename ops::vec;

    // One step, as the scalar code's.
    template <std::size_t i>
    static void step(vec (&s)[4], const vec (&x)[16]) {
        constexpr std::size_t w = word(i);
        vec& a = s[(64 - i) % 4];
        const vec b = s[(65 - i) % 4];
        const vec c = s[(66 - i) % 4];
        const vec d = s[(67 - i) % 4];
        // The round function is the one term that waits on the step
        // before: added last.
        const vec early = ops::add(a, ops::add(x[w], ops::broadcast(k[i])));
        const vec sum = ops::add(early, ops::template round_function<i / 16>(b, c, d));
        a = ops::add(b, ops::template rotl<shift[i / 16][i % 4]>(sum));
    }

    template <std::size_t... i>
    static void all_steps(vec (&s)[4], const vec (&x)[16], std::index_sequence<i...>) {
        (step<i>(s, x), ...);
    }

    // A lane kernel (md5_lanes.h).
    static void compress(std::uint32_t* state, const std::uint8_t* const* blocks_at,
                         std::size_t blocks) {
        vec s[4];
        for (std::size_t r = 0; r < 4; ++r) s[r] = ops::load(state + ops::lanes * r);
        for (std::size_t n = 0; n < blocks; ++n) {
            vec x[16];
            ops::words(blocks_at, 64 * n, x);
            const vec before[4] = {s[0], s[1], s[2], s[3]};
            all_steps(s, x, std::make_index_sequence<64>{});
            for (std::size_t r = 0; r < 4; ++r) s[r] = ops::add(s[r], before[r]);
        }
        for (std::size_t r = 0; r < 4; ++r) ops::store(state + ops::lanes * r, s[r]);
    }
};

// The first two rounds of transposing `n` rows of 32-bit words (n = 8 or
// 16, one row per lane): afterwards u[4 * g + m], in its 128-bit part j,
// holds word 4 * j + m of rows 4 * g to 4 * g + 3. Interleaving the 128-bit
// parts is left to the caller, whose instructions for it differ.
template <typename ops, std::size_t n>
void lane_transpose(const typename ops::vec (&r)[n], typename ops::vec (&u)[n]) {
    typename ops::vec t[n];
    for (std::size_t i = 0; i < n / 2; ++i) {
        t[2 * i] = ops::unpacklo_32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = ops::unpackhi_32(r[2 * i], r[2 * i + 1]);
    }
    for (std::size_t g = 0; g < n / 4; ++g) {
        u[4 * g] = ops::unpacklo_64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 1] = ops::unpackhi_64(t[4 * g], t[4 * g + 2]);
        u[4 * g + 2] = ops::unpacklo_64(t[4 * g + 1], t[4 * g + 3]);
        u[4 * g + 3] = ops::unpackhi_64(t[4 * g + 1], t[4 * g + 3]);
    }
}

}  // namespace tuv::md5_detail
