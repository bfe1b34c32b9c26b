#include "core/storage/container_read.h"

#include <optional>
#include <string_view>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/file_io.h"

namespace tuv {

std::unique_ptr<file_handle> open_container(file_system& files, std::int64_t disk_id,
                                            const std::filesystem::path& path) {
    try {
        return files.open(path, open_mode::read);
    } catch (const io_error&) {
        throw tuv_error("Couldn't open disk (" + std::to_string(disk_id) + ", '" + utf8_of(path) +
                        "')");
    }
}

namespace {

// The start of a message about a chunk's bytes, to be followed by what is
// wrong with them (decode_chunk).
std::string where(const stored_chunk& chunk) {
    return "the bytes in container " + utf8_of(chunk.container) + " at " +
           std::to_string(chunk.physical_offset) + " ";
}

}  // namespace

void read_stored_chunk(file_handle& container, const stored_chunk& chunk, std::uint8_t* out,
                       std::vector<std::uint8_t>& scratch) {
    read_stored_chunks(container, std::span(&chunk, 1), out, scratch);
}

void read_stored_chunks(file_handle& container, std::span<const stored_chunk> chunks,
                        std::uint8_t* out, std::vector<std::uint8_t>& scratch) {
    if (chunks.empty()) return;
    std::uint64_t stored_total = 0;
    bool raw = true;
    for (const stored_chunk& c : chunks) {
        stored_total += c.stored_size;
        raw = raw && !c.codec && c.stored_size == c.size;
    }
    // Raw chunks are read straight into place and checked there.
    std::uint8_t* stored = out;
    if (!raw) {
        scratch.resize(stored_total);
        stored = scratch.data();
    }
    const std::size_t got = container.read_at(chunks.front().physical_offset, stored, stored_total);
    // Every chunk is decoded first and all are then hashed together; the
    // first fault in the chunks' order is the one reported, as when each
    // was checked in turn.
    const auto damaged = [](const stored_chunk& chunk, const std::string& detail) {
        return vault_damaged_error(chunk.file_id, chunk.virtual_offset, detail);
    };
    std::optional<vault_damaged_error> fault;
    std::vector<std::span<const std::uint8_t>> decoded;
    std::vector<std::string_view> checksums;
    std::uint64_t at = 0;
    for (const stored_chunk& chunk : chunks) {
        if (got < at + chunk.stored_size) {
            fault =
                damaged(chunk, "container " + utf8_of(chunk.container) +
                                   " ends before the block's " + std::to_string(chunk.stored_size) +
                                   " bytes at " + std::to_string(chunk.physical_offset));
            break;
        }
        const auto problem = decode_chunk_unchecked(std::span(stored + at, chunk.stored_size),
                                                    chunk.codec, chunk.size, out);
        if (problem) {
            fault = damaged(chunk, where(chunk) + *problem);
            break;
        }
        decoded.emplace_back(out, chunk.size);
        checksums.emplace_back(chunk.checksum);
        at += chunk.stored_size;
        out += chunk.size;
    }
    const std::vector<bool> matches = matching_checksums(decoded, checksums);
    for (std::size_t i = 0; i < matches.size(); ++i) {
        if (!matches[i]) throw damaged(chunks[i], where(chunks[i]) + checksum_mismatch);
    }
    if (fault) throw *fault;
}

}  // namespace tuv
