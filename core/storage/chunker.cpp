#include "core/storage/chunker.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <type_traits>

namespace tuv {
namespace {

// A byte as the hash sees it: signed, then widened to the wrapping 32-bit sum.
std::uint32_t signed_value(std::uint8_t byte) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(byte)));
}

// h % anchor == 0 without a division per byte, which would cost more than
// the rest of the loop. With anchor = odd << shift, the multiples of anchor
// are exactly the h for which rotr(h * odd^-1 mod 2^32, shift) is at most
// UINT32_MAX / anchor (the divisibility test compilers use for constants).
class multiple_test {
  public:
    explicit multiple_test(std::uint32_t anchor)
        : shift_(std::countr_zero(anchor)), limit_(UINT32_MAX / anchor) {
        const std::uint32_t odd = anchor >> shift_;
        inverse_ = odd;  // right in the low 3 bits; each Newton step doubles that
        for (int i = 0; i < 4; ++i) inverse_ *= 2 - odd * inverse_;
    }

    bool operator()(std::uint32_t h) const { return std::rotr(h * inverse_, shift_) <= limit_; }

  private:
    int shift_;
    std::uint32_t limit_;
    std::uint32_t inverse_;
};

// `Base` is either a plain number or std::integral_constant<..., 2>, so the
// base the check-in always uses compiles to a shift.
template <typename Base>
chunk_status scan(buffered_reader& in, std::uint8_t* buffer, std::size_t& length,
                  const chunk_settings& s, Base base) {
    const std::size_t min = s.min_size;
    const std::size_t max = s.max_size;
    const std::size_t win = s.win_size;

    std::size_t n = in.read(buffer, min);
    if (n < min) {
        length = n;
        return chunk_status::last;
    }

    std::uint32_t h = 0;
    std::uint32_t power = 1;  // base^win: what the oldest byte weighs in h
    for (std::size_t i = min - win; i < min; ++i) {
        power *= base;
        h = h * base + signed_value(buffer[i]);
    }

    // From here on one byte at a time, but taken straight from the reader's
    // buffer rather than by a call per byte.
    const multiple_test at_cut(s.anchor);
    while (!at_cut(h) && n < max) {
        const auto bytes = in.peek();
        if (bytes.empty()) {
            length = n;
            return chunk_status::last;
        }
        const std::size_t take = std::min(bytes.size(), max - n);
        std::size_t i = 0;
        while (i < take) {
            const std::uint8_t byte = bytes[i++];
            buffer[n] = byte;
            h = h * base + (signed_value(byte) - power * signed_value(buffer[n - win]));
            ++n;
            if (at_cut(h)) break;
        }
        in.consume(i);
    }
    length = n;
    return chunk_status::more;
}

}  // namespace

chunk_status read_chunk(buffered_reader& in, std::uint8_t* buffer, std::size_t& length,
                        const chunk_settings& s, std::uint32_t base) {
    validate(s);
    if (base == 2) return scan(in, buffer, length, s, std::integral_constant<std::uint32_t, 2>{});
    return scan(in, buffer, length, s, base);
}

}  // namespace tuv
