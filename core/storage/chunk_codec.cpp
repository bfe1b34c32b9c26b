#include "core/storage/chunk_codec.h"

#include <zstd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/storage/md5.h"
#include "core/storage/md5_many.h"
#include "core/storage/per_thread.h"

namespace tuv {
namespace {

struct dctx_free {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};
struct cctx_free {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

struct cctx_holder {
    std::unique_ptr<ZSTD_CCtx, cctx_free> context{ZSTD_createCCtx()};
};
struct dctx_holder {
    std::unique_ptr<ZSTD_DCtx, dctx_free> context{ZSTD_createDCtx()};
};

ZSTD_CCtx& thread_cctx() {
    static per_thread<cctx_holder> contexts;
    ZSTD_CCtx* context = contexts.get().context.get();
    if (context == nullptr) throw std::bad_alloc();
    return *context;
}

// One decompression context per thread: making one per chunk would cost
// more than decompressing a small chunk.
ZSTD_DCtx& thread_dctx() {
    static per_thread<dctx_holder> contexts;
    ZSTD_DCtx* context = contexts.get().context.get();
    if (context == nullptr) throw std::bad_alloc();
    return *context;
}

// The magic number and frame header zstd writes for `size` bytes
// compressed in one go with the content size known (RFC 8878, 3.1.1): a
// single segment, no dictionary, no checksum, the content size in the
// smallest field that holds it (as zstd chooses it). Returns their length.
constexpr std::size_t longest_frame_header = 4 + 1 + 8;
std::size_t frame_header(std::uint64_t size, std::uint8_t* out) {
    const std::array<std::uint8_t, 4> magic{0x28, 0xB5, 0x2F, 0xFD};
    std::memcpy(out, magic.data(), magic.size());
    unsigned field_code = 0;  // the field is 1, 2, 4 or 8 bytes long
    std::uint64_t value = size;
    if (size >= 0xFFFFFFFFu) {
        field_code = 3;
    } else if (size >= 65536 + 256) {
        field_code = 2;
    } else if (size >= 256) {
        field_code = 1;
        value = size - 256;
    }
    constexpr std::uint8_t single_segment = 0x20;
    out[4] = static_cast<std::uint8_t>(field_code << 6 | single_segment);
    const std::size_t field = std::size_t{1} << field_code;
    for (std::size_t i = 0; i < field; ++i) {
        out[5 + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return 5 + field;
}

std::string wrong_length(std::uint64_t got, std::uint64_t size) {
    return "decompress to " + std::to_string(got) + " bytes, not the chunk's " +
           std::to_string(size);
}

std::optional<std::string> decode_frame(std::span<const std::uint8_t> frame, std::uint64_t size,
                                        std::uint8_t* out) {
    // The frame must say how long it is, and say exactly the chunk's size:
    // a damaged header is caught before anything is written.
    const unsigned long long claimed = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (claimed == ZSTD_CONTENTSIZE_ERROR || claimed == ZSTD_CONTENTSIZE_UNKNOWN) {
        return std::string("do not decompress");
    }
    if (claimed != size) return wrong_length(claimed, size);
    const std::size_t n =
        ZSTD_decompressDCtx(&thread_dctx(), out, size, frame.data(), frame.size());
    if (ZSTD_isError(n)) return std::string("do not decompress");
    if (n != size) return wrong_length(n, size);
    return std::nullopt;
}

// Decodes the start of `frame` into `content`, as many bytes as it has
// room for (no more than the frame holds): false when that cannot be done.
// The whole content is decoded in one go; a part of it by streaming, which
// stops once the room is full.
bool decode_frame_start(std::span<const std::uint8_t> frame, unsigned long long content_size,
                        std::vector<std::uint8_t>& content) {
    ZSTD_DCtx& context = thread_dctx();
    if (content.size() == content_size) {
        const std::size_t n = ZSTD_decompressDCtx(&context, content.data(), content.size(),
                                                  frame.data(), frame.size());
        return !ZSTD_isError(n) && n == content.size();
    }
    ZSTD_DCtx_reset(&context, ZSTD_reset_session_only);
    ZSTD_inBuffer in{frame.data(), frame.size(), 0};
    ZSTD_outBuffer out{content.data(), content.size(), 0};
    while (out.pos < out.size) {
        const std::size_t in_before = in.pos;
        const std::size_t out_before = out.pos;
        const std::size_t left = ZSTD_decompressStream(&context, &out, &in);
        if (ZSTD_isError(left) || left == 0) break;
        if (in.pos == in_before && out.pos == out_before) break;  // the frame is cut short
    }
    return out.pos == out.size;
}

}  // namespace

bool decode_whole_frame(std::span<const std::uint8_t> frame, std::uint64_t length,
                        std::uint8_t* out) {
    if (ZSTD_getFrameContentSize(frame.data(), frame.size()) != length) return false;
    const std::size_t n =
        ZSTD_decompressDCtx(&thread_dctx(), out, length, frame.data(), frame.size());
    return !ZSTD_isError(n) && n == length;
}

std::optional<std::string> chunk_decoder::decode(const void* container, std::uint64_t at,
                                                 std::span<const std::uint8_t> stored,
                                                 std::optional<std::int64_t> codec,
                                                 std::uint64_t size,
                                                 std::optional<std::uint64_t> frame_offset,
                                                 std::uint64_t want, std::uint8_t* out) {
    if (codec != static_cast<std::int64_t>(chunk_codec::shared_frame)) {
        return decode_chunk_unchecked(stored, codec, size, out);
    }
    if (!frame_offset || *frame_offset > UINT64_MAX - size) return std::string("do not decompress");
    const std::uint64_t end = *frame_offset + size;
    const bool same = held_ && container_ == container && at_ == at;
    if (!same || (!failed_ && content_.size() < end && content_.size() < content_size_)) {
        held_ = true;
        container_ = container;
        at_ = at;
        content_.clear();
        content_size_ = ZSTD_getFrameContentSize(stored.data(), stored.size());
        failed_ =
            content_size_ == ZSTD_CONTENTSIZE_ERROR || content_size_ == ZSTD_CONTENTSIZE_UNKNOWN;
        if (!failed_) {
            // A frame no larger than a check-in makes is decoded whole: in one
            // go zstd decodes it faster than it streams a part, and the
            // chunks after are then at hand. A larger claim is decoded only
            // as far as needed: a damaged header must not make us allocate it.
            const std::uint64_t needed = std::max(want, end);
            content_.resize(content_size_ <= std::max<std::uint64_t>(needed, shared_frame_limit)
                                ? content_size_
                                : needed);
            failed_ = !decode_frame_start(stored, content_size_, content_);
        }
    }
    if (failed_) return std::string("do not decompress");
    if (content_size_ < end) {
        return wrong_length(content_size_ > *frame_offset ? content_size_ - *frame_offset : 0,
                            size);
    }
    if (size > 0) std::memcpy(out, content_.data() + *frame_offset, size);
    return std::nullopt;
}

std::size_t chunk_compressor::compress(std::span<const std::span<const std::uint8_t>> parts,
                                       std::uint8_t* out) {
    if (parts.size() == 1) return compress(parts.front(), out);
    // zstd's one-shot compression, the fastest, wants the parts end to end.
    static per_thread<std::vector<std::uint8_t>> buffers;
    std::vector<std::uint8_t>& joined = buffers.get();
    joined.clear();
    for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return compress(joined, out);
}

std::size_t chunk_compressor::compress(std::span<const std::uint8_t> bytes, std::uint8_t* out) {
    if (bytes.size() < 2) return 0;
    // With room for one byte less than the chunk, zstd gives up as soon as
    // the result would be no smaller: incompressible data costs little.
    // The chunk's size is known, so zstd sizes its window (and memory) to it.
    const std::size_t n = ZSTD_compressCCtx(&thread_cctx(), out, bytes.size() - 1, bytes.data(),
                                            bytes.size(), level_);
    return ZSTD_isError(n) ? 0 : n;
}

compressed_form store_compressed(std::span<const std::uint8_t> frame, std::uint64_t size,
                                 chunk_codec codec) {
    if (codec == chunk_codec::zstd_headerless) {
        std::array<std::uint8_t, longest_frame_header> header{};
        const std::size_t length = frame_header(size, header.data());
        if (frame.size() > length && std::memcmp(frame.data(), header.data(), length) == 0) {
            return {frame.subspan(length), chunk_codec::zstd_headerless};
        }
    }
    return {frame, chunk_codec::zstd};
}

std::optional<std::string> decode_chunk(std::span<const std::uint8_t> stored,
                                        std::optional<std::int64_t> codec, std::uint64_t size,
                                        const std::string& checksum, std::uint8_t* out,
                                        std::optional<std::uint64_t> frame_offset) {
    auto problem = decode_chunk_unchecked(stored, codec, size, out, frame_offset);
    if (!problem && md5_hex(out, size) != checksum) problem = checksum_mismatch;
    return problem;
}

std::optional<std::string> decode_chunk_unchecked(std::span<const std::uint8_t> stored,
                                                  std::optional<std::int64_t> codec,
                                                  std::uint64_t size, std::uint8_t* out,
                                                  std::optional<std::uint64_t> frame_offset) {
    if (codec == static_cast<std::int64_t>(chunk_codec::shared_frame)) {
        chunk_decoder alone;
        return alone.decode(nullptr, 0, stored, codec, size, frame_offset, 0, out);
    }
    const std::int64_t form = codec.value_or(static_cast<std::int64_t>(chunk_codec::raw));
    std::optional<std::string> problem;
    if (form == static_cast<std::int64_t>(chunk_codec::raw)) {
        if (stored.size() != size) {
            return "hold " + std::to_string(stored.size()) + " bytes, not the chunk's " +
                   std::to_string(size);
        }
        if (out != stored.data() && size > 0) std::memcpy(out, stored.data(), size);
    } else if (form == static_cast<std::int64_t>(chunk_codec::zstd)) {
        problem = decode_frame(stored, size, out);
    } else if (form == static_cast<std::int64_t>(chunk_codec::zstd_headerless)) {
        // The frame is put together again beside the stored bytes; it is
        // at most a few bytes longer than the chunk's stored form.
        static per_thread<std::vector<std::uint8_t>> buffers;
        std::vector<std::uint8_t>& frame = buffers.get();
        frame.resize(longest_frame_header + stored.size());
        const std::size_t header = frame_header(size, frame.data());
        if (!stored.empty()) std::memcpy(frame.data() + header, stored.data(), stored.size());
        problem = decode_frame(std::span(frame.data(), header + stored.size()), size, out);
    } else {
        return "are stored with codec " + std::to_string(form) +
               ", which this version of Quillmark cannot read";
    }
    return problem;
}

std::vector<bool> matching_checksums(std::span<const std::span<const std::uint8_t>> bytes,
                                     std::span<const std::string_view> checksums) {
    std::vector<md5::digest> digests(bytes.size());
    md5_many(bytes, digests);
    std::vector<bool> matches(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) matches[i] = to_hex(digests[i]) == checksums[i];
    return matches;
}

std::string stored_size_sql(const vault_storage& storage) {
    return storage.stored_form_columns ? "COALESCE(chunk.stored_size, chunk.size)" : "chunk.size";
}

std::string codec_sql(const vault_storage& storage) {
    return storage.stored_form_columns ? "chunk.codec" : "NULL";
}

std::string frame_offset_sql(const vault_storage& storage) {
    return storage.frame_offset_column ? "chunk.frame_offset" : "NULL";
}

}  // namespace tuv
