// Reads one version of a file block by block, so that memory does not grow
// with the file's size. Every block's bytes are checked against their MD5,
// and the blocks must lie end to end from offset 0: a damaged vault is an
// error naming the file (by its id: the caller that knows its vault path
// names it, vault_damaged_error::named), the offset and the container, never
// a quietly shorter or garbled version.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/base/errors.h"
#include "core/storage/container_read.h"
#include "core/storage/vault_storage.h"

namespace tuv {

class db_recordset;
class file_handle;

// One block of a version, as the block map gives it.
struct block_row {
    std::uint64_t offset = 0;  // in the version
    std::uint64_t size = 0;
    std::string checksum;
    std::int64_t disk_id = 0;
    std::uint64_t physical_offset = 0;
    std::uint64_t stored_size = 0;
    std::optional<std::int64_t> codec;
    std::optional<std::string> container;  // none: the disk has no row
    std::optional<std::uint64_t> frame_offset;
};

// The latest versions' blocks of several files, read in one statement ahead
// of reading the files one by one: on a database server a statement per
// small file costs more than reading it. The rows are held in memory, so
// only for files whose latest versions are small.
class latest_blocks {
  public:
    // Reads the blocks of the files not held yet (64 files a statement).
    void fetch(const vault_storage& storage, std::span<const std::int64_t> file_ids);
    bool holds(std::int64_t file_id) const { return files_.contains(file_id); }
    // The blocks held for `file_id`, let go of; none when none are held.
    std::optional<std::vector<block_row>> take(std::int64_t file_id);

  private:
    friend class version_reader;
    std::map<std::int64_t, std::vector<block_row>> files_;
};

class version_reader {
public:
    // Borrows the storage's database and file system. Blocks are read and
    // handed over in pieces of up to `piece_size` bytes (or one block, when
    // a block is larger): one read and one write per piece rather than per
    // block, whatever the chunk size. A piece never ends inside a shared
    // frame, so the frame is decoded once; it may then be longer by what is
    // left of the frame. A version of more than one piece is
    // decoded on two threads (piece_queue.h); the sink runs on the caller's.
    explicit version_reader(vault_storage storage, std::size_t piece_size = 256 << 10);
    ~version_reader();
    version_reader(const version_reader&) = delete;
    version_reader& operator=(const version_reader&) = delete;

    // Hands the version of `file_id` at T to `sink` in order, in pieces of
    // one or more whole blocks; returns its size. Throws rec_not_found_exception "Couldn't find
    // blocks for fid = <id>" when the file has no blocks at T and "Couldn't
    // find disk info for disk_id = <id>", tuv_error "Couldn't open disk
    // (<id>, '<path>')", and vault_damaged_error for a damaged block.
    std::uint64_t read(std::int64_t file_id, std::time_t when,
                       const std::function<void(std::span<const std::uint8_t>)>& sink);
    // The same for the latest version (the one at latest_version_date()),
    // found without its moment.
    // With `ahead`, a file whose blocks it holds is read from them (and they
    // are let go), with no statement of its own.
    std::uint64_t read_latest(std::int64_t file_id,
                              const std::function<void(std::span<const std::uint8_t>)>& sink,
                              latest_blocks* ahead = nullptr);

    // The same for the version whose blocks (latest_blocks::take()) are
    // given: no statement, so it may run on any thread, and two threads may
    // read through one reader at once. The containers opened stay open as
    // long as the reader.
    std::uint64_t read_blocks(std::int64_t file_id, std::span<const block_row> blocks,
                              const std::function<void(std::span<const std::uint8_t>)>& sink);

  private:
    std::uint64_t read_blocks(std::int64_t file_id, db_recordset& rows,
                              const std::function<void(std::span<const std::uint8_t>)>& sink);
    // `next` fills in the version's next block, in offset order; false
    // after the last.
    std::uint64_t read_blocks(std::int64_t file_id, const std::function<bool(block_row&)>& next,
                              const std::function<void(std::span<const std::uint8_t>)>& sink);
    file_handle& container(std::int64_t disk_id, const std::filesystem::path& path);

    vault_storage storage_;
    std::size_t piece_size_;
    std::mutex containers_mutex_;
    std::map<std::int64_t, std::unique_ptr<file_handle>> containers_;
};

}  // namespace tuv
