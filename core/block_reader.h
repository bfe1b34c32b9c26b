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
#include <vector>

namespace tuv {

class date;
class db;
class disk_manager;
class file_handle;
class repository;

// One block of a version, as read_block reports it.
struct block_info {
    std::uint64_t size = 0;
    std::int64_t file_id = 0;
    std::int64_t disk_id = 0;
    std::uint64_t virtual_offset = 0;
    std::uint64_t physical_offset = 0;
    std::string checksum;
};

// A block of a file's block map, as get_blocks lists it.
struct block_entry {
    std::uint64_t virtual_offset = 0;
    std::time_t deletion_date = 0;  // 0 while live
};

class block_reader {
  public:
    // `repo` is borrowed and must outlive the reader.
    explicit block_reader(repository& repo);
    ~block_reader();
    block_reader(const block_reader&) = delete;
    block_reader& operator=(const block_reader&) = delete;

    // Records the chunk `bytes` (whose MD5 is `checksum`) at `offset` of file
    // `file_id` as of `when`. Container bytes are gathered and written in
    // batches (all of them by sync_containers()); rows go into the caller's
    // transaction.
    void write_block(std::span<const std::uint8_t> bytes, const std::string& checksum,
                     std::time_t when, std::uint64_t offset, std::int64_t file_id);

    // The id of the chunk with that checksum, or 0 when there is none.
    std::int64_t find_chunk(const std::string& checksum);

    // Stores the bytes in a container, written at once, and adds their chunk
    // row (refcount 1).
    std::int64_t insert_chunk(std::span<const std::uint8_t> bytes, const std::string& checksum);

    // Closes, as of `when`, the live blocks of the file that hold byte
    // `offset` or begin after it and at or before `offset + size`.
    void close_overlapping_blocks(std::int64_t file_id, std::uint64_t offset, std::uint64_t size,
                                  std::time_t when);

    // Closes, as of `when`, the live blocks that lie beyond the end of a new
    // version `end` bytes long, so a shorter version holds only its content.
    void close_blocks_after(std::int64_t file_id, std::uint64_t end, std::time_t when);

    // Writes out the container bytes gathered for a batch (the reader's end
    // does too), then makes every container byte written through this
    // reader durable, and the data folder too when a container file was
    // created.
    void sync_containers();

    // After a failed check-in, once its transaction is rolled back: drops
    // the container bytes not written yet, cuts every container this reader
    // wrote to back to the length that committed rows use, and removes a
    // container that no committed row knows, so a failure (a full disk
    // above all) does not keep the space it took. Best effort: the
    // check-in's own error is the one to report, so nothing is thrown.
    void give_back_uncommitted_space() noexcept;

    // --- Read side: versions as of a moment T (seconds) -------------------
    // A version at T is made of the blocks created at or before T and not
    // deleted at or before T, in offset order.

    // The bytes of the block at `offset` of the version at T, checked against
    // their checksum; fills `info` when given. Throws rec_not_found_exception
    // "Couldn't find block for fid = <id> with offset = <offset>" and
    // "Couldn't find disk info for disk_id = <id>", tuv_error "Couldn't open
    // disk (<id>, '<path>')", and vault_damaged_error when the container ends
    // early or the bytes do not match.
    std::string read_block(std::int64_t file_id, std::uint64_t offset, std::time_t when,
                           block_info* info = nullptr);

    // The blocks of the version at T in offset order (with T = 0, every
    // block the file ever had; the first at an offset wins). Throws
    // rec_not_found_exception "Couldn't find blocks for fid = <id>" when
    // there are none.
    std::vector<block_entry> get_blocks(std::int64_t file_id, std::time_t when);

    // The moment of the first and of the last check-in of the file, or of
    // the whole vault for file id -1; the epoch when there is none. The
    // dates come back marked changed.
    date first_version_date(std::int64_t file_id);
    date last_version_date(std::int64_t file_id);

    // The size of the version at T; 0 when there are no blocks.
    std::uint64_t version_size(std::int64_t file_id, std::time_t when);

  private:
    struct container_file;
    std::int64_t store_chunk(std::span<const std::uint8_t> bytes, const std::string& checksum,
                             std::int64_t refcount);
    void close_overlapping(std::int64_t file_id, std::uint64_t offset, std::uint64_t size,
                           std::time_t when, bool through_end);
    void write_container(std::int64_t disk_id, const std::filesystem::path& path,
                         std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void write_pending(container_file& c);
    void write_pending();

    repository& repo_;
    std::unique_ptr<disk_manager> disks_;        // made at the first stored chunk
    struct container_file {
        std::int64_t disk_id = 0;
        std::unique_ptr<file_handle> file;
        std::uint64_t unsent_from = 0;  // written bytes not yet handed to the disk
        std::uint64_t unsent_to = 0;
        std::vector<std::uint8_t> pending;  // bytes for pending_at on, not written yet
        std::uint64_t pending_at = 0;
    };
    std::map<std::filesystem::path, container_file> containers_;
    bool created_container_ = false;
    // A file that had no live block when its first chunk came, written from
    // offset 0 on without gaps: as long as that holds, no chunk can be
    // unchanged or replace anything, and the queries for it are skipped.
    struct fresh_file {
        std::int64_t file_id = 0;
        std::uint64_t next_offset = 0;
    };
    std::optional<fresh_file> fresh_;
    // The block a new chunk just closed because it began where the chunk
    // ends: the next chunk, if it is that block's chunk, is unchanged.
    struct closed_block {
        std::int64_t file_id;
        std::uint64_t offset;
        std::int64_t chunk_id;
    };
    std::optional<closed_block> closed_at_end_;
    std::int64_t file_seen_ = 0;  // the file whose first chunk was looked at
};

}  // namespace tuv
