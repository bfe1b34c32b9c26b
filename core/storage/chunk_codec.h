// The stored form of a chunk: its bytes as they lie in a container. A chunk
// is stored raw or compressed with zstd, whichever is smaller; its row keeps
// `size` as the chunk's own length (offsets, the block map and every sum of
// sizes stay in those terms) and, for a compressed chunk, `stored_size` and
// `codec` (docs/storage.md). The checksum is always the MD5 of the chunk's
// own bytes, so a chunk is found again whatever form it was stored in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/vault_storage.h"

struct ZSTD_DCtx_s;

namespace tuv {

// The values of chunk.codec. NULL, as in every row of a vault made before
// compression, is raw. zstd is a whole zstd frame; zstd_headerless the
// frame without its magic number and frame header, which say nothing the
// row does not: a reader puts back the header zstd writes for a chunk of
// that size compressed in one go (docs/storage.md). shared_frame is a chunk
// whose bytes lie in a whole zstd frame together with other chunks of the
// file it came with, at the row's frame_offset of the frame's content.
enum class chunk_codec : std::int64_t { raw = 0, zstd = 1, zstd_headerless = 2, shared_frame = 3 };

// The most content a shared frame holds: larger frames compress hardly
// better, and every chunk read alone costs decompressing up to its end.
inline constexpr std::size_t shared_frame_limit = 64 << 10;

// Compresses chunks at one zstd level. The compression context is the
// calling thread's own, kept for every chunk and every file the thread
// compresses: making one costs more than compressing a small file.
class chunk_compressor {
  public:
    explicit chunk_compressor(int level) : level_(level) {}

    // Compresses `bytes` into `out`, which has room for bytes.size() - 1
    // bytes, and returns the compressed length; 0 when compressing would
    // not make the chunk smaller (it is then stored raw).
    std::size_t compress(std::span<const std::uint8_t> bytes, std::uint8_t* out);
    // The same for `parts` compressed together, one after the other, as one
    // frame: `out` has room for one byte less than all of them.
    std::size_t compress(std::span<const std::span<const std::uint8_t>> parts, std::uint8_t* out);

  private:
    int level_;
};

// How a chunk of `size` bytes that compressed to `frame` (a whole zstd frame,
// as chunk_compressor makes it) is stored where new compressed chunks take
// `codec` (zstd or zstd_headerless): headerless when the frame's header is
// the one a reader puts back, otherwise the whole frame, codec zstd. The
// bytes are a part of `frame`.
struct compressed_form {
    std::span<const std::uint8_t> bytes;
    chunk_codec codec;
};
compressed_form store_compressed(std::span<const std::uint8_t> frame, std::uint64_t size,
                                 chunk_codec codec);

// Turns a chunk's stored bytes back into its `size` bytes at `out` (which
// may be stored.data() for a raw chunk) and checks them against the
// checksum. Returns what is wrong, worded to follow "the bytes in container
// <c> at <offset> ": "do not match their checksum", "do not decompress",
// "decompress to <n> bytes, not the chunk's <size>", "are stored with codec
// <n>, which this version of Quillmark cannot read"; nothing when the chunk
// is whole. `codec` is the row's value (none for raw); `frame_offset` too,
// for a chunk in a shared frame (`stored` is then the whole frame).
std::optional<std::string> decode_chunk(std::span<const std::uint8_t> stored,
                                        std::optional<std::int64_t> codec, std::uint64_t size,
                                        const std::string& checksum, std::uint8_t* out,
                                        std::optional<std::uint64_t> frame_offset = std::nullopt);

// decode_chunk without the checksum test, for callers that check many
// chunks together with matching_checksums.
std::optional<std::string> decode_chunk_unchecked(
    std::span<const std::uint8_t> stored, std::optional<std::int64_t> codec, std::uint64_t size,
    std::uint8_t* out, std::optional<std::uint64_t> frame_offset = std::nullopt);

// Decodes the whole content of the shared frame `frame` to `out` when it is
// exactly `length` bytes long and whole; false otherwise (the chunks are
// then decoded one by one, which says what is wrong). For chunks that fill
// their frame end to end, as a version read back has them: no copy.
bool decode_whole_frame(std::span<const std::uint8_t> frame, std::uint64_t length,
                        std::uint8_t* out);

// Decodes chunks, keeping the content of the last shared frame it
// decompressed: the chunks of a read that lie in one frame cost one
// decompression, not one each.
class chunk_decoder {
  public:
    // decode_chunk_unchecked for the chunk whose stored bytes lie at `at` in
    // `container` (any value that tells containers apart). A chunk in a
    // shared frame is taken from the content decoded last when that frame
    // was decoded far enough; otherwise the frame is decoded whole, or, when
    // its header claims more than a shared frame holds, up to `want` bytes
    // of its content (at least the chunk's end), as far as the later chunks
    // of the read reach into it.
    std::optional<std::string> decode(const void* container, std::uint64_t at,
                                      std::span<const std::uint8_t> stored,
                                      std::optional<std::int64_t> codec, std::uint64_t size,
                                      std::optional<std::uint64_t> frame_offset, std::uint64_t want,
                                      std::uint8_t* out);
    // Drops the frame held, for a `container` value that may be reused.
    void forget() { held_ = false; }

  private:
    const void* container_ = nullptr;
    std::uint64_t at_ = 0;
    bool held_ = false;
    bool failed_ = false;                  // the frame does not decode
    unsigned long long content_size_ = 0;  // as its header says
    std::vector<std::uint8_t> content_;    // its content decoded so far
};

// What decode_chunk says of bytes that do not match their checksum.
inline constexpr const char* checksum_mismatch = "do not match their checksum";

// For each chunk's decoded bytes, whether they match its checksum (the
// md5_hex text): all hashed together (md5_many.h).
std::vector<bool> matching_checksums(std::span<const std::span<const std::uint8_t>> bytes,
                                     std::span<const std::string_view> checksums);

// SQL for a `chunk` row's stored length and codec, to select beside its
// other columns: a vault without the columns stores every chunk raw, its
// full size in the container.
std::string stored_size_sql(const vault_storage& storage);
std::string codec_sql(const vault_storage& storage);
std::string frame_offset_sql(const vault_storage& storage);

}  // namespace tuv
