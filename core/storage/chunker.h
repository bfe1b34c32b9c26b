// Content-defined chunking: splits a file into chunks whose ends are chosen by
// the bytes near them, so an edit in the middle of a file moves only the
// chunk ends close to it and the later chunks stay equal (same checksum) to
// those of the previous version.
//
// The hash is a rolling polynomial over the last `win_size` bytes:
// h = h*base + s(new) - base^win*s(oldest), in 32-bit arithmetic that wraps,
// where s() takes each byte as a SIGNED 8-bit value (0x80..0xff count as
// -128..-1). Both rules decide where chunks end, so stored vaults depend on
// them. With the base 2 that check-in always uses, a byte more than 32
// positions back has been shifted out of h, whatever the window.
//
// A chunk ends at the first position, at least min_size bytes in, where h
// taken as uint32 % anchor == 0, or at max_size bytes. The unsigned remainder
// is part of the format; for a roughly uniform hash it succeeds about once in
// `anchor` bytes. So every chunk but a file's last is within
// [min_size, max_size] and averages about min_size + anchor (less when max
// cuts in). A window of 0 or an anchor of 1 makes every chunk exactly
// min_size bytes long: fixed-size chunking.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/db/settings.h"
#include "core/storage/buffered_reader.h"

namespace tuv {

enum class chunk_status {
    more = 0,  // the chunk ended by the hash test or at max_size; more may follow
    last = 1,  // the end of the file was met in this chunk, which may be empty
};

// Reads the next chunk from `in`'s position into `buffer` (at least max_size
// bytes, borrowed), leaves `in` just behind it and sets `length`. Bytes of
// `buffer` past `length` are left alone. A file that ends exactly where a
// chunk ends gives one more, empty, `last` chunk; so does an empty file.
// Nothing is kept between calls.
//
// Throws tuv_error (from validate()) when the settings break the chunker's
// rules, before reading anything; io_error when the file cannot be read.
chunk_status read_chunk(buffered_reader& in, std::uint8_t* buffer, std::size_t& length,
                        const chunk_settings& s, std::uint32_t base = 2);

}  // namespace tuv
