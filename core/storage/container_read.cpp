#include "core/storage/container_read.h"

#include "core/base/errors.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/file_io.h"

namespace tuv {

std::unique_ptr<file_handle> open_container(file_system& files, std::int64_t disk_id,
                                            const std::filesystem::path& path) {
    try {
        return files.open(path, open_mode::read);
    } catch (const io_error&) {
        throw tuv_error("Couldn't open disk (" + std::to_string(disk_id) + ", '" + path.string() +
                        "')");
    }
}

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
    std::uint64_t at = 0;
    for (const stored_chunk& chunk : chunks) {
        if (got < at + chunk.stored_size) {
            throw vault_damaged_error(chunk.file_id, chunk.virtual_offset,
                                      "container " + chunk.container.string() +
                                          " ends before the block's " +
                                          std::to_string(chunk.stored_size) + " bytes at " +
                                          std::to_string(chunk.physical_offset));
        }
        const auto problem = decode_chunk(std::span(stored + at, chunk.stored_size), chunk.codec,
                                          chunk.size, chunk.checksum, out);
        if (problem) {
            throw vault_damaged_error(chunk.file_id, chunk.virtual_offset,
                                      "the bytes in container " + chunk.container.string() +
                                          " at " + std::to_string(chunk.physical_offset) + " " +
                                          *problem);
        }
        at += chunk.stored_size;
        out += chunk.size;
    }
}

}  // namespace tuv
