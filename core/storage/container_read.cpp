#include "core/storage/container_read.h"

#include <algorithm>
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

bool same_frame(const stored_chunk& before, const stored_chunk& chunk) {
    return chunk.codec == static_cast<std::int64_t>(chunk_codec::shared_frame) &&
           before.codec == chunk.codec && before.container == chunk.container &&
           before.physical_offset == chunk.physical_offset;
}

void read_stored_chunk(file_handle& container, const stored_chunk& chunk, std::uint8_t* out,
                       std::vector<std::uint8_t>& scratch) {
    read_stored_chunks(container, std::span(&chunk, 1), out, scratch);
}

namespace {

// Reads one run's stored bytes and decodes them to `out`, adding each chunk
// decoded (and its checksum) to the lists; returns the run's first fault, up
// to which its chunks are decoded.
std::optional<vault_damaged_error> decode_run(file_handle& container,
                                              std::span<const stored_chunk> chunks,
                                              std::uint8_t* out, std::vector<std::uint8_t>& scratch,
                                              std::vector<std::span<const std::uint8_t>>& decoded,
                                              std::vector<std::string_view>& checksums,
                                              chunk_decoder& decoder) {
    if (chunks.empty()) return std::nullopt;
    const std::uint64_t start = chunks.front().physical_offset;
    std::uint64_t end = start;
    bool raw = true;
    for (const stored_chunk& c : chunks) {
        end = std::max(end, c.physical_offset + c.stored_size);
        raw = raw && !c.codec && c.stored_size == c.size;
    }
    const std::uint64_t stored_total = end - start;
    // Raw chunks are read straight into place and checked there.
    std::uint8_t* stored = out;
    if (!raw) {
        scratch.resize(stored_total);
        stored = scratch.data();
    }
    const std::size_t got = container.read_at(start, stored, stored_total);
    const auto damaged = [](const stored_chunk& chunk, const std::string& detail) {
        return vault_damaged_error(chunk.file_id, chunk.virtual_offset, detail);
    };
    // The chunks from the current one up to frame_end lie in one frame, which
    // is decoded as far as frame_want, the furthest any of them reaches.
    std::size_t frame_end = 0;
    std::uint64_t frame_want = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const stored_chunk& chunk = chunks[i];
        const std::uint64_t at = chunk.physical_offset - start;
        if (got < at + chunk.stored_size) {
            return damaged(chunk, "container " + utf8_of(chunk.container) +
                                      " ends before the block's " +
                                      std::to_string(chunk.stored_size) + " bytes at " +
                                      std::to_string(chunk.physical_offset));
        }
        // A frame whose content the run's next chunks are, end to end, is
        // decoded straight into place.
        if (chunk.frame_offset == 0u &&
            chunk.codec == static_cast<std::int64_t>(chunk_codec::shared_frame)) {
            std::size_t next = i;
            std::uint64_t length = 0;
            while (next < chunks.size() && same_frame(chunk, chunks[next]) &&
                   chunks[next].frame_offset == length) {
                length += chunks[next++].size;
            }
            const bool all = next == chunks.size() || !same_frame(chunk, chunks[next]);
            if (all && decode_whole_frame(std::span(stored + at, chunk.stored_size), length, out)) {
                for (; i < next; ++i) {
                    decoded.emplace_back(out, chunks[i].size);
                    checksums.emplace_back(chunks[i].checksum);
                    out += chunks[i].size;
                }
                --i;
                continue;
            }
        }
        // A frame is decoded as far as the run's chunks in it reach, found
        // once for all of them: a run may hold one chunk many times over.
        if (i >= frame_end) {
            frame_end = i;
            frame_want = 0;
            do {
                frame_want = std::max(frame_want, chunks[frame_end].frame_offset.value_or(0) +
                                                      chunks[frame_end].size);
                ++frame_end;
            } while (frame_end < chunks.size() && same_frame(chunk, chunks[frame_end]));
        }
        const auto problem = decoder.decode(&container, chunk.physical_offset,
                                            std::span(stored + at, chunk.stored_size), chunk.codec,
                                            chunk.size, chunk.frame_offset, frame_want, out);
        if (problem) return damaged(chunk, where(chunk) + *problem);
        decoded.emplace_back(out, chunk.size);
        checksums.emplace_back(chunk.checksum);
        out += chunk.size;
    }
    return std::nullopt;
}

}  // namespace

void read_stored_chunks(file_handle& container, std::span<const stored_chunk> chunks,
                        std::uint8_t* out, std::vector<std::uint8_t>& scratch) {
    const stored_run run{&container, chunks};
    read_stored_runs(std::span(&run, 1), out, scratch);
}

void read_stored_runs(std::span<const stored_run> runs, std::uint8_t* out,
                      std::vector<std::uint8_t>& scratch) {
    // Every chunk is decoded first and all are then hashed together, so that
    // the hashing runs in the vector lanes however the chunks lie; the first
    // fault in the chunks' order is the one reported, as when each was
    // checked in turn.
    std::vector<std::span<const std::uint8_t>> decoded;
    std::vector<std::string_view> checksums;
    std::optional<vault_damaged_error> fault;
    std::vector<const stored_chunk*> order;
    chunk_decoder decoder;
    for (const stored_run& run : runs) {
        for (const stored_chunk& chunk : run.chunks) order.push_back(&chunk);
        fault = decode_run(*run.container, run.chunks, out, scratch, decoded, checksums, decoder);
        if (fault) break;
        for (const stored_chunk& chunk : run.chunks) out += chunk.size;
    }
    const std::vector<bool> matches = matching_checksums(decoded, checksums);
    for (std::size_t i = 0; i < matches.size(); ++i) {
        if (!matches[i]) {
            throw vault_damaged_error(order[i]->file_id, order[i]->virtual_offset,
                                      where(*order[i]) + checksum_mismatch);
        }
    }
    if (fault) throw *fault;
}

}  // namespace tuv
