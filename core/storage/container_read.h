// Reading chunk bytes back from container files, checked: a container that
// cannot be opened, ends early or holds bytes that do not match the chunk's
// checksum is an error naming the file, the offset and the container.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tuv {

class file_handle;
class file_system;

// Opens a container for reading. Throws tuv_error "Couldn't open disk (<id>,
// '<path>')" when it cannot be opened.
std::unique_ptr<file_handle> open_container(file_system& files, std::int64_t disk_id,
                                            const std::filesystem::path& path);

// Where a chunk lies and in what form, and where its block lies in which
// file (for messages).
struct stored_chunk {
    std::filesystem::path container;
    std::uint64_t physical_offset;
    std::uint64_t size;         // the chunk's own length
    std::uint64_t stored_size;  // its length in the container
    std::optional<std::int64_t> codec;  // none: raw (core/storage/chunk_codec.h)
    std::string checksum;
    std::int64_t file_id;
    std::uint64_t virtual_offset;
    // Where its bytes begin in its frame's content, for a chunk that shares
    // a frame (which physical_offset and stored_size then describe).
    std::optional<std::uint64_t> frame_offset = std::nullopt;
};

// Whether `chunk` lies in the same shared frame as `before`.
bool same_frame(const stored_chunk& before, const stored_chunk& chunk);

// Reads the chunk's stored bytes, decodes its `size` bytes into `out` and
// checks their MD5. Throws vault_damaged_error (naming the file by its id)
// when the container ends early or the bytes do not decode to the chunk.
// `scratch` holds compressed bytes between reading and decoding.
void read_stored_chunk(file_handle& container, const stored_chunk& chunk, std::uint8_t* out,
                       std::vector<std::uint8_t>& scratch);

// The same for chunks that lie end to end in one container, in that order
// (chunks in one shared frame one after the other, in their frame's order),
// with one read for all of them, and one decompression for each frame;
// their decoded bytes follow each other at `out`.
void read_stored_chunks(file_handle& container, std::span<const stored_chunk> chunks,
                        std::uint8_t* out, std::vector<std::uint8_t>& scratch);

// Runs of chunks, each lying end to end in its container, decoded one after
// the other to `out` and checked together.
struct stored_run {
    file_handle* container;
    std::span<const stored_chunk> chunks;
};
void read_stored_runs(std::span<const stored_run> runs, std::uint8_t* out,
                      std::vector<std::uint8_t>& scratch);

}  // namespace tuv
