// The read side of a file's block map: which chunk lies at which offset of
// the file at a moment T, one block at a time, and the moments and sizes of
// its versions. A version at T is made of the blocks created at or before T
// and not deleted at or before T, in offset order (bmap_live_at).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/storage/vault_storage.h"

namespace tuv {

class date;

// The blocks of a version at T, as a condition on `bmap` that follows a
// WHERE clause and takes T twice: made at or before T, not closed by then.
inline constexpr const char* bmap_live_at =
    " AND bmap.creation_date <= ? AND (bmap.deletion_date = 0 OR bmap.deletion_date > ?)";

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
    explicit block_reader(vault_storage storage) : storage_(std::move(storage)) {}

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
    vault_storage storage_;
};

}  // namespace tuv
