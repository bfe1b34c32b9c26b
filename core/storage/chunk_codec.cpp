#include "core/storage/chunk_codec.h"

#include <zstd.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/storage/md5.h"
#include "core/storage/md5_many.h"

namespace tuv {
namespace {

struct dctx_free {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// One decompression context per thread: making one per chunk would cost
// more than decompressing a small chunk.
ZSTD_DCtx& thread_dctx() {
    thread_local std::unique_ptr<ZSTD_DCtx, dctx_free> context(ZSTD_createDCtx());
    if (!context) throw std::bad_alloc();
    return *context;
}

}  // namespace

chunk_compressor::chunk_compressor(int level) : context_(ZSTD_createCCtx()), level_(level) {
    if (context_ == nullptr) throw std::bad_alloc();
}

chunk_compressor::~chunk_compressor() { ZSTD_freeCCtx(context_); }

std::size_t chunk_compressor::compress(std::span<const std::uint8_t> bytes, std::uint8_t* out) {
    if (bytes.size() < 2) return 0;
    // With room for one byte less than the chunk, zstd gives up as soon as
    // the result would be no smaller: incompressible data costs little.
    // The chunk's size is known, so zstd sizes its window (and memory) to it.
    const std::size_t n =
        ZSTD_compressCCtx(context_, out, bytes.size() - 1, bytes.data(), bytes.size(), level_);
    return ZSTD_isError(n) ? 0 : n;
}

std::optional<std::string> decode_chunk(std::span<const std::uint8_t> stored,
                                        std::optional<std::int64_t> codec, std::uint64_t size,
                                        const std::string& checksum, std::uint8_t* out) {
    auto problem = decode_chunk_unchecked(stored, codec, size, out);
    if (!problem && md5_hex(out, size) != checksum) problem = checksum_mismatch;
    return problem;
}

std::optional<std::string> decode_chunk_unchecked(std::span<const std::uint8_t> stored,
                                                  std::optional<std::int64_t> codec,
                                                  std::uint64_t size, std::uint8_t* out) {
    const std::int64_t form = codec.value_or(static_cast<std::int64_t>(chunk_codec::raw));
    if (form == static_cast<std::int64_t>(chunk_codec::raw)) {
        if (stored.size() != size) {
            return "hold " + std::to_string(stored.size()) + " bytes, not the chunk's " +
                   std::to_string(size);
        }
        if (out != stored.data() && size > 0) std::memcpy(out, stored.data(), size);
    } else if (form == static_cast<std::int64_t>(chunk_codec::zstd)) {
        // The frame must say how long it is, and say exactly the chunk's
        // size: a damaged header is caught before anything is written.
        const unsigned long long claimed = ZSTD_getFrameContentSize(stored.data(), stored.size());
        if (claimed == ZSTD_CONTENTSIZE_ERROR || claimed == ZSTD_CONTENTSIZE_UNKNOWN) {
            return std::string("do not decompress");
        }
        if (claimed != size) {
            return "decompress to " + std::to_string(claimed) + " bytes, not the chunk's " +
                   std::to_string(size);
        }
        const std::size_t n =
            ZSTD_decompressDCtx(&thread_dctx(), out, size, stored.data(), stored.size());
        if (ZSTD_isError(n)) return std::string("do not decompress");
        if (n != size) {
            return "decompress to " + std::to_string(n) + " bytes, not the chunk's " +
                   std::to_string(size);
        }
    } else {
        return "are stored with codec " + std::to_string(form) +
               ", which this version of Quillmark cannot read";
    }
    return std::nullopt;
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

}  // namespace tuv
