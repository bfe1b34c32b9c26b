// The write side of a file's block map: recording the chunks of a new
// version. A chunk identical to the live block at its offset is left alone;
// any other closes the live blocks it replaces (their deletion date becomes
// the check-in date), is stored once per vault (found again by checksum) and
// gets a new live block. Container files written are kept open until the
// check-in syncs them, so no committed row points at bytes not on disk.
//
// Container bytes reach the disk only through sync_containers() (and
// insert_chunk()), which report their failures: the destructor writes
// nothing, so bytes gathered and neither synced nor given back are dropped.
//
// One writer serves one check-in, or a group of them that share one
// transaction and one sync (core/vault/checkin_group.h); its rows go into
// the caller's transaction.
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/storage/vault_storage.h"

namespace tuv {

class db;
class disk_manager;
class file_handle;

// The id of the stored chunk with that checksum, or 0 when there is none.
std::int64_t find_stored_chunk(db& database, const std::string& checksum);
// The same for many checksums, in their order, with few statements.
std::vector<std::int64_t> find_stored_chunks(db& database, std::span<const std::string> checksums);

class block_writer {
  public:
    explicit block_writer(vault_storage storage);
    // Writes nothing: call sync_containers() for the bytes to keep.
    ~block_writer();
    block_writer(const block_writer&) = delete;
    block_writer& operator=(const block_writer&) = delete;

    // Records the chunk `bytes` (whose MD5 is `checksum`) at `offset` of file
    // `file_id` as of `when`. A chunk not stored yet is stored as
    // `compressed` (its zstd frame) when that is given, else raw. When the
    // caller knows what find_chunk() would say now, `stored_id` says it
    // (the chunk with that checksum, or 0 for none): a chunk once found
    // stays, as rows are never deleted. Container bytes are gathered and
    // written in batches (all of them by sync_containers()); rows go into
    // the caller's transaction. The block rows of a version written from
    // its start into no earlier block, or into the blocks this writer read
    // at its start, and the deletion dates of the blocks it replaces, are
    // gathered and written many at a time, across files: all of them are in
    // by the time sync_containers() returns, and before a file's block map
    // is read again.
    //
    // A chunk with a `frame_offset` lies in a frame shared with the chunks
    // of the file written next to it, that offset into the frame's content;
    // the frame's first chunk (offset 0) brings the whole frame as
    // `compressed`. The frame is stored once, with the first of its chunks
    // that is stored at all, and every chunk of it stored points at it.
    void write_block(std::span<const std::uint8_t> bytes, const std::string& checksum,
                     std::time_t when, std::uint64_t offset, std::int64_t file_id,
                     std::span<const std::uint8_t> compressed = {},
                     std::optional<std::int64_t> stored_id = std::nullopt,
                     std::optional<std::uint32_t> frame_offset = std::nullopt);

    // Says that file `file_id` has no block at all (it was just made), so
    // that its chunks are written without looking for blocks they replace.
    void begin_new_file(std::int64_t file_id);

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

    // Records the containers' free space in the caller's transaction,
    // writes out the container bytes gathered for a batch, then makes every
    // container byte written through this writer durable, and the data
    // folder too when a container file was created. Throws io_error when a
    // write or a sync fails; nothing written since may be committed then.
    // Call it before the transaction that holds the rows commits.
    void sync_containers();

    // Whether every container byte given to this writer since the last
    // successful sync_containers() (or give_back_uncommitted_space()) is
    // durable: what a transaction that refers to them needs to commit.
    bool synced() const { return !unsynced_; }

    // After a failed check-in, once its transaction is rolled back: drops
    // the container bytes not written yet, cuts every container this writer
    // wrote to back to the length that committed rows use, and removes a
    // container that no committed row knows, so a failure (a full disk
    // above all) does not keep the space it took; a server's containers are
    // left to their rollback. Best effort: the check-in's own error is the
    // one to report, so nothing is thrown.
    void give_back_uncommitted_space() noexcept;

  private:
    struct container_file;
    std::int64_t store_chunk(std::span<const std::uint8_t> bytes,
                             std::span<const std::uint8_t> compressed,
                             const std::string& checksum, std::int64_t refcount);
    std::int64_t store_in_frame(std::span<const std::uint8_t> bytes, const std::string& checksum,
                                std::uint32_t frame_offset);
    void make_disks();
    void close_overlapping(std::int64_t file_id, std::uint64_t offset, std::uint64_t size,
                           std::time_t when, bool through_end);
    // close_overlapping() for the file of known_, from what it knows.
    void close_known(std::uint64_t offset, std::uint64_t size, std::time_t when, bool through_end);
    // Gives the blocks a deletion date.
    void close_blocks(std::span<const std::int64_t> block_ids, std::time_t when);
    // The same, with the rows waiting to be inserted. Inserts nothing: a
    // chunk's temporary id may be in use.
    void close_blocks_later(std::span<const std::int64_t> block_ids, std::time_t when);
    void write_container(std::int64_t disk_id, const std::filesystem::path& path,
                         std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void write_pending(container_file& c);
    void write_pending();
    // Reads the file's live blocks into known_, or marks the file fresh
    // when it has none.
    void read_live_blocks(std::int64_t file_id);

    vault_storage storage_;
    std::unique_ptr<disk_manager> disks_;  // made at the first stored chunk
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
    bool unsynced_ = false;  // container bytes given since the last sync
    // A file that had no live block when its first chunk came, written from
    // offset 0 on without gaps: as long as that holds, no chunk can be
    // unchanged or replace anything, and the queries for it are skipped.
    struct fresh_file {
        std::int64_t file_id = 0;
        std::uint64_t next_offset = 0;
    };
    std::optional<fresh_file> fresh_;
    // The fresh file whose version an empty chunk ended, and where: nothing
    // of it lies beyond that end.
    std::optional<fresh_file> fresh_ended_;
    // The block a new chunk just closed because it began where the chunk
    // ends: the next chunk, if it is that block's chunk, is unchanged.
    struct closed_block {
        std::int64_t file_id;
        std::uint64_t offset;
        std::int64_t chunk_id;
    };
    std::optional<closed_block> closed_at_end_;
    std::int64_t file_seen_ = 0;  // the file whose first chunk was looked at
    // The live blocks of the file being written, read in one statement at
    // its first chunk when they are few, and kept up to date as its version
    // closes them: a chunk then costs no statement to compare, and a changed
    // one none to find the blocks it replaces. The version's new blocks are
    // not among them; they all lie before the chunk being written.
    struct live_block {
        std::uint64_t size;
        std::string checksum;
        std::int64_t block_id;
        std::int64_t chunk_id;
    };
    struct known_blocks {
        // About 640 KiB at most: a file of more blocks is compared in the
        // block map, chunk by chunk, which reads no more than it needs (a
        // large file's map took more time and memory than its queries).
        static constexpr std::size_t most = 1 << 12;
        std::int64_t file_id;
        std::multimap<std::uint64_t, live_block> blocks;  // by offset
        bool changed = false;                             // the version closed some of them
        // Whether a live block at `offset` holds the chunk with `checksum`.
        bool holds(std::uint64_t offset, const std::string& checksum) const;
    };
    std::optional<known_blocks> known_;
    // The shared frame whose chunks are being written: its bytes, and where
    // they went once one of its chunks was stored.
    struct shared_frame {
        std::int64_t file_id;
        std::vector<std::uint8_t> bytes;
        std::optional<std::int64_t> disk_id;
        std::uint64_t offset = 0;
    };
    std::optional<shared_frame> frame_;
    // Rows not inserted yet: the chunks stored and the blocks of a version
    // written into no earlier block. Every read or change of the block map,
    // the end of a version and the sync insert them first. A chunk waiting
    // has a temporary, negative id, which its blocks use until both are in.
    struct new_chunk {
        std::string checksum;
        std::int64_t disk_id;
        std::int64_t offset;
        std::int64_t size;
        std::int64_t refcount;
        std::int64_t stored_size;   // -1: raw, without the column
        std::int64_t codec;         // -1: raw
        std::int64_t frame_offset;  // -1: not in a shared frame
        std::int64_t temporary_id = 0;
    };
    struct pending_block {
        std::int64_t file_id;
        std::int64_t chunk_id;
        std::time_t when;
        std::int64_t offset;
    };
    std::vector<new_chunk> new_chunks_;
    std::vector<pending_block> pending_blocks_;
    // Blocks of known files closed and not yet given their deletion date,
    // by that date.
    std::map<std::time_t, std::vector<std::int64_t>> closing_;
    std::size_t closing_count_ = 0;
    // How many blocks more each stored chunk has than its row says.
    std::unordered_map<std::int64_t, std::int64_t> more_references_;
    // The ids the last insert gave the chunks that waited, in their order.
    std::vector<std::int64_t> inserted_ids_;
    // The chunks this writer stored, by checksum: those waiting, by their
    // temporary ids, and the last ones inserted (block_writer.cpp says how
    // many), by their ids. A look-up of the pipeline misses them.
    std::unordered_map<std::string, std::int64_t> stored_here_;
    std::deque<std::string> inserted_order_;  // the inserted ones, oldest first
    void insert_pending_rows();
    std::int64_t add_chunk_row(new_chunk row);
    std::int64_t inserted_id(std::int64_t id) const;
    // The id (temporary while it waits) of a chunk this writer stored
    // lately with that checksum, or 0.
    std::int64_t stored_lately(const std::string& checksum) const;
    static std::size_t new_chunk_index(std::int64_t temporary_id);
};

}  // namespace tuv
