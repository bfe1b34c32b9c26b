#include "core/storage/container_read.h"

#include "core/base/errors.h"
#include "core/storage/file_io.h"
#include "core/storage/md5.h"

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

void read_stored_chunk(file_handle& container, const stored_chunk& chunk, std::uint8_t* out) {
    read_stored_chunks(container, std::span(&chunk, 1), out);
}

void read_stored_chunks(file_handle& container, std::span<const stored_chunk> chunks,
                        std::uint8_t* out) {
    if (chunks.empty()) return;
    std::uint64_t total = 0;
    for (const stored_chunk& c : chunks) total += c.size;
    const std::size_t got = container.read_at(chunks.front().physical_offset, out, total);
    std::uint64_t at = 0;
    for (const stored_chunk& chunk : chunks) {
        if (got < at + chunk.size) {
            throw vault_damaged_error(chunk.file_id, chunk.virtual_offset,
                                      "container " + chunk.container.string() +
                                          " ends before the block's " +
                                          std::to_string(chunk.size) + " bytes at " +
                                          std::to_string(chunk.physical_offset));
        }
        if (md5_hex(out + at, chunk.size) != chunk.checksum) {
            throw vault_damaged_error(chunk.file_id, chunk.virtual_offset,
                                      "the bytes in container " + chunk.container.string() +
                                          " at " + std::to_string(chunk.physical_offset) +
                                          " do not match their checksum");
        }
        at += chunk.size;
    }
}

}  // namespace tuv
