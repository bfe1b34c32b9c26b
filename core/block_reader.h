// The block map of one catalogue entry: which chunk lies at which offset of
// the file in which period. Owned by its file_entry.
//
// Write side (check-in): each chunk of a new version is recorded at its
// offset. A chunk identical to the live block at that offset is left alone;
// any other closes the live blocks it replaces (their deletion date becomes
// the check-in date), is stored once per vault (found again by checksum) and
// gets a new live block. Container files written are kept open until the
// check-in syncs them, so no committed row points at bytes not on disk.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tuv {

class db;
class disk_manager;
class file_handle;
class repository;

class block_reader {
  public:
    // `repo` is borrowed and must outlive the reader.
    explicit block_reader(repository& repo);
    ~block_reader();
    block_reader(const block_reader&) = delete;
    block_reader& operator=(const block_reader&) = delete;

    // Records the chunk `bytes` (whose MD5 is `checksum`) at `offset` of file
    // `file_id` as of `when`. Container bytes are written at once; rows go
    // into the caller's transaction.
    void write_block(std::span<const std::uint8_t> bytes, const std::string& checksum,
                     std::time_t when, std::uint64_t offset, std::int64_t file_id);

    // The id of the chunk with that checksum, or 0 when there is none.
    std::int64_t find_chunk(const std::string& checksum);

    // Stores the bytes in a container and adds their chunk row (refcount 1).
    std::int64_t insert_chunk(std::span<const std::uint8_t> bytes, const std::string& checksum);

    // Closes, as of `when`, the live blocks of the file that hold byte
    // `offset` or begin after it and at or before `offset + size`.
    void close_overlapping_blocks(std::int64_t file_id, std::uint64_t offset, std::uint64_t size,
                                  std::time_t when);

    // Closes, as of `when`, the live blocks that lie beyond the end of a new
    // version `end` bytes long, so a shorter version holds only its content.
    void close_blocks_after(std::int64_t file_id, std::uint64_t end, std::time_t when);

    // Makes every container byte written through this reader durable, and
    // the data folder too when a container file was created.
    void sync_containers();

  private:
    file_handle& container(const std::filesystem::path& path);

    repository& repo_;
    std::unique_ptr<disk_manager> disks_;        // made at the first stored chunk
    std::optional<std::int64_t> longest_chunk_;  // bounds the search for overlapping blocks
    std::map<std::filesystem::path, std::unique_ptr<file_handle>> containers_;
    bool created_container_ = false;
};

}  // namespace tuv
