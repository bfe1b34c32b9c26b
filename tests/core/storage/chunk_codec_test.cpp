// The stored forms of a compressed chunk: a frame without its header is
// stored where the header is the one a reader puts back, and reads back to
// the chunk; any other frame is stored whole.
#include "core/storage/chunk_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/storage/md5.h"
#include "tests/support/checks.h"

namespace tuv {
namespace {

// Bytes that compress: random letters of a 16-letter alphabet.
std::vector<std::uint8_t> letters(std::size_t size) {
    std::vector<std::uint8_t> bytes = test::random_bytes(size, size);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>('a' + b % 16);
    return bytes;
}

TEST(chunk_codec_test, a_frame_is_stored_without_the_header_a_reader_puts_back) {
    const struct {
        std::size_t size;
        std::size_t header;  // magic number, descriptor and content size field
        chunk_codec codec;
    } cases[] = {
        {200, 4 + 1 + 1, chunk_codec::zstd_headerless},
        {4000, 4 + 1 + 2, chunk_codec::zstd_headerless},
        {100000, 4 + 1 + 4, chunk_codec::zstd_headerless},
        // Larger than zstd's window at level 3: its frame has another header.
        {3 << 20, 0, chunk_codec::zstd},
    };
    chunk_compressor compressor(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<std::uint8_t> chunk = letters(c.size);
        std::vector<std::uint8_t> frame(c.size);
        frame.resize(compressor.compress(chunk, frame.data()));
        ASSERT_FALSE(frame.empty());

        const compressed_form form =
            store_compressed(frame, chunk.size(), chunk_codec::zstd_headerless);
        EXPECT_EQ(form.codec, c.codec);
        EXPECT_EQ(form.bytes.data(), frame.data() + c.header);
        EXPECT_EQ(form.bytes.size(), frame.size() - c.header);
        std::vector<std::uint8_t> out(chunk.size());
        EXPECT_EQ(decode_chunk(form.bytes, static_cast<std::int64_t>(form.codec), chunk.size(),
                               md5_hex(chunk.data(), chunk.size()), out.data()),
                  std::nullopt);
        EXPECT_EQ(out, chunk);
        // Where new chunks are whole frames, every frame is stored whole.
        EXPECT_EQ(store_compressed(frame, chunk.size(), chunk_codec::zstd).bytes.size(),
                  frame.size());
    }
}

}  // namespace
}  // namespace tuv
