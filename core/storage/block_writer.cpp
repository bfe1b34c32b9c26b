#include "core/storage/block_writer.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <map>
#include <unordered_map>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/in_lists.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/chunk_pipeline.h"
#include "core/storage/disk_manager.h"
#include "core/storage/file_io.h"

namespace tuv {
namespace {

// The most rows one statement inserts.
constexpr std::size_t most_pending_rows = 64;
// A chunk the pipeline looked up and did not find may be one this writer
// stored meanwhile: it waited at the look-up, its row not inserted yet (at
// most most_pending_rows rows wait), or was stored after it (the look-up is
// at most max_depth chunks ahead). So the chunks inserted last are
// remembered by checksum, this many, however many statements inserted them.
constexpr std::size_t kept_inserted_chunks = 2 * most_pending_rows;
static_assert(chunk_pipeline::max_depth <= most_pending_rows);

}  // namespace

block_writer::block_writer(vault_storage storage) : storage_(std::move(storage)) {}

// Writes nothing: a write here could not report its failure, and rows
// committed after it would point at bytes that never reached the disk.
block_writer::~block_writer() = default;

void block_writer::write_block(std::span<const std::uint8_t> bytes, const std::string& checksum,
                               std::time_t when, std::uint64_t offset, std::int64_t file_id,
                               std::span<const std::uint8_t> compressed,
                               std::optional<std::int64_t> stored_id,
                               std::optional<std::uint32_t> frame_offset) {
    db& database = storage_.database;
    const auto at = static_cast<std::int64_t>(offset);
    // Kept before anything else: the chunk that brings a frame may need no
    // storing, and a later chunk of the frame does.
    if (frame_offset == 0u && !compressed.empty()) {
        frame_.emplace(shared_frame{file_id, {compressed.begin(), compressed.end()}, {}, 0});
    }
    const bool in_frame = frame_offset && frame_ && frame_->file_id == file_id;
    if (file_id != file_seen_) {
        file_seen_ = file_id;
        fresh_.reset();
        fresh_ended_.reset();
        known_.reset();
        if (offset == 0) read_live_blocks(file_id);
    }
    const bool fresh = fresh_ && fresh_->file_id == file_id && fresh_->next_offset == offset;
    if (fresh) {
        // An empty chunk ends a version: a later write at the same offset
        // begins another one.
        if (bytes.empty()) {
            fresh_ended_ = fresh_;
            fresh_.reset();
        } else {
            fresh_->next_offset = offset + bytes.size();
        }
    } else {
        fresh_.reset();
        fresh_ended_.reset();
        // Unchanged: the live block at this offset already holds this chunk.
        // (Zero-length chunks count too, so a file that ends on a chunk
        // boundary adds nothing when it is checked in unchanged.)
        if (known_ && known_->file_id == file_id) {
            if (known_->holds(offset, checksum)) return;
        } else {
            insert_pending_rows();
            auto same = database.query(
                "SELECT 1 FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
                " WHERE bmap.file_id = ? AND bmap.virtual_offset = ? AND bmap.deletion_date = 0"
                " AND chunk.checksum = ? LIMIT 1",
                {file_id, at, checksum});
            if (same->next()) return;
        }
    }

    // A version that replaces blocks of a file not known reads the block
    // map for every chunk: what waits goes in first, and this chunk's rows
    // with it.
    const bool known = !fresh && known_ && known_->file_id == file_id;
    if (!fresh && !known) insert_pending_rows();
    // Every block of a chunk adds one to its refcount, which starts at 1: a
    // chunk stored for this block starts at 2 at once.
    // A chunk the pipeline found nowhere may be one this writer stored
    // after the look-up, or before it without inserting its row yet: the
    // look-up saw only the database.
    std::int64_t chunk_id = !stored_id        ? find_chunk(checksum)
                            : *stored_id != 0 ? *stored_id
                                              : stored_lately(checksum);
    // Unchanged too when the chunk before it closed its block a moment ago
    // (a new chunk closes the block that begins where it ends). It gets a
    // block again; and as nothing of the file changes here, it leaves the
    // block behind it alone, or every later unchanged chunk would follow it
    // into a new block.
    const bool closed_behind = closed_at_end_ && closed_at_end_->file_id == file_id &&
                               closed_at_end_->offset == offset &&
                               closed_at_end_->chunk_id == chunk_id;
    closed_at_end_.reset();
    const bool stored = chunk_id == 0;
    if (stored) {
        chunk_id =
            in_frame
                ? store_in_frame(bytes, checksum, *frame_offset)
                : store_chunk(bytes, frame_offset ? std::span<const std::uint8_t>{} : compressed,
                              checksum, 2);
    }
    if (known) {
        close_known(offset, bytes.size(), when, !closed_behind);
    } else if (!fresh) {
        close_overlapping(file_id, offset, bytes.size(), when, !closed_behind);
        chunk_id = inserted_id(chunk_id);  // the chunk row went in with the others
    }
    if (!stored && chunk_id < 0) {
        ++new_chunks_[new_chunk_index(chunk_id)].refcount;
    } else if (!stored) {
        ++more_references_[chunk_id];
    }
    pending_blocks_.push_back({file_id, chunk_id, when, at});
    // A version written into no earlier block, or into blocks known, reads
    // nothing of the block map until it ends: its rows wait and go in
    // together.
    if ((!fresh && !known) || pending_blocks_.size() >= most_pending_rows ||
        closing_count_ >= most_pending_rows) {
        insert_pending_rows();
    }
}

void block_writer::insert_pending_rows() {
    // Chunk rows first, in the order they were stored (so their ids follow
    // it), in statements of a few fixed sizes, each prepared once. A raw
    // chunk's stored_size and codec are NULL, as they always were; -1
    // stands for NULL, which cannot be bound.
    inserted_ids_.assign(new_chunks_.size(), 0);
    const int columns =
        storage_.frame_offset_column ? 8 : storage_.stored_form_columns ? 7 : 5;
    for_batches<most_pending_rows>(new_chunks_.size(), [&](std::size_t first, std::size_t n) {
        std::string sql = "INSERT INTO chunk(checksum, disk_id, physical_offset, size, refcount";
        sql += columns >= 7 ? ", stored_size, codec" : "";
        sql += columns == 8 ? ", frame_offset) VALUES" : ") VALUES";
        const char* marks = columns == 5 ? "(?, ?, ?, ?, ?)"
                            : columns == 7
                                ? "(?, ?, ?, ?, ?, NULLIF(?, -1), NULLIF(?, -1))"
                                : "(?, ?, ?, ?, ?, NULLIF(?, -1), NULLIF(?, -1), NULLIF(?, -1))";
        std::vector<db_param> values;
        values.reserve(static_cast<std::size_t>(columns) * n);
        for (std::size_t i = first; i < first + n; ++i) {
            const new_chunk& c = new_chunks_[i];
            sql += i == first ? "" : ", ";
            sql += marks;
            values.insert(values.end(), {db_param(c.checksum), db_param(c.disk_id),
                                         db_param(c.offset), db_param(c.size),
                                         db_param(c.refcount)});
            if (columns >= 7) values.insert(values.end(), {c.stored_size, c.codec});
            if (columns == 8) values.emplace_back(c.frame_offset);
        }
        // A row alone needs no RETURNING (which SQLite makes dearer).
        if (n == 1) {
            storage_.database.execute(sql, db_params(values));
            inserted_ids_[first] = storage_.database.last_insert_id();
            return;
        }
        // Each chunk of a check-in is stored once, so its checksum names its
        // row among these.
        auto made =
            storage_.database.query(sql + " RETURNING chunk_id, checksum", db_params(values));
        while (made->next()) {
            const auto waiting = stored_here_.find(made->get_string(1));
            if (waiting != stored_here_.end() && waiting->second < 0) {
                inserted_ids_[new_chunk_index(waiting->second)] = made->get_int64(0);
            }
        }
    });
    for (std::size_t i = 0; i < new_chunks_.size(); ++i) {
        stored_here_[new_chunks_[i].checksum] = inserted_ids_[i];
        inserted_order_.push_back(std::move(new_chunks_[i].checksum));
    }
    for (; inserted_order_.size() > kept_inserted_chunks; inserted_order_.pop_front()) {
        stored_here_.erase(inserted_order_.front());
    }
    new_chunks_.clear();

    for_batches<most_pending_rows>(pending_blocks_.size(), [&](std::size_t first, std::size_t n) {
        std::string sql =
            "INSERT INTO bmap(file_id, chunk_id, creation_date, deletion_date, virtual_offset)"
            " VALUES";
        std::vector<db_param> values;
        values.reserve(4 * n);
        for (std::size_t i = first; i < first + n; ++i) {
            const pending_block& b = pending_blocks_[i];
            sql += i == first ? "(?, ?, ?, 0, ?)" : ", (?, ?, ?, 0, ?)";
            values.insert(values.end(), {b.file_id, inserted_id(b.chunk_id), b.when, b.offset});
        }
        storage_.database.execute(sql, db_params(values));
    });
    pending_blocks_.clear();

    for (const auto& [when, block_ids] : closing_) close_blocks(block_ids, when);
    closing_.clear();
    closing_count_ = 0;

    // Stored chunks used again, by how many more blocks: one statement for
    // each count and batch. Nothing reads a refcount while rows are written.
    if (more_references_.empty()) return;
    std::map<std::int64_t, std::vector<std::int64_t>> by_count;
    for (const auto& [chunk_id, more] : more_references_) by_count[more].push_back(chunk_id);
    more_references_.clear();
    for (const auto& counted : by_count) {
        const std::int64_t more = counted.first;
        for_in_lists<most_pending_rows>(
            std::span(counted.second), [&](const std::string& list, std::vector<db_param> values) {
                values.insert(values.begin(), more);
                storage_.database.execute(
                    "UPDATE chunk SET refcount = refcount + ? WHERE chunk_id IN " + list,
                    db_params(values));
            });
    }
}

std::int64_t block_writer::inserted_id(std::int64_t id) const {
    if (id >= 0) return id;
    const std::size_t index = new_chunk_index(id);
    return index < inserted_ids_.size() ? inserted_ids_[index] : id;
}

std::int64_t block_writer::add_chunk_row(new_chunk row) {
    row.temporary_id = -static_cast<std::int64_t>(new_chunks_.size()) - 1;
    stored_here_[row.checksum] = row.temporary_id;
    new_chunks_.push_back(std::move(row));
    return new_chunks_.back().temporary_id;
}

std::size_t block_writer::new_chunk_index(std::int64_t temporary_id) {
    return static_cast<std::size_t>(-temporary_id - 1);
}

void block_writer::begin_new_file(std::int64_t file_id) {
    file_seen_ = file_id;
    fresh_ = fresh_file{file_id, 0};
    fresh_ended_.reset();
    known_.reset();
}

void block_writer::read_live_blocks(std::int64_t file_id) {
    // Only rows of this file change what is read here, and the deletion
    // dates that wait (they are not kept by file).
    if (!closing_.empty() || std::ranges::any_of(pending_blocks_, [&](const pending_block& b) {
            return b.file_id == file_id;
        })) {
        insert_pending_rows();
    }
    // One more than are kept tells a file with too many apart.
    auto live = storage_.database.query(
        "SELECT bmap.virtual_offset, chunk.size, chunk.checksum, bmap.block_id, bmap.chunk_id"
        " FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
        " WHERE bmap.file_id = ? AND bmap.deletion_date = 0 ORDER BY bmap.virtual_offset LIMIT ?",
        {file_id, static_cast<std::int64_t>(known_blocks::most + 1)});
    known_blocks found{file_id, {}};
    while (live->next()) {
        found.blocks.emplace_hint(
            found.blocks.end(), static_cast<std::uint64_t>(live->get_int64(0)),
            live_block{static_cast<std::uint64_t>(live->get_int64(1)), live->get_string(2),
                       live->get_int64(3), live->get_int64(4)});
    }
    if (found.blocks.empty()) {
        fresh_ = fresh_file{file_id, 0};
    } else if (found.blocks.size() <= known_blocks::most) {
        known_ = std::move(found);
    }
}

bool block_writer::known_blocks::holds(std::uint64_t offset, const std::string& checksum) const {
    const auto [first, last] = blocks.equal_range(offset);
    return std::any_of(first, last, [&](const auto& b) { return b.second.checksum == checksum; });
}

std::int64_t find_stored_chunk(db& database, const std::string& checksum) {
    auto row = database.query("SELECT chunk_id FROM chunk WHERE checksum = ?", {checksum});
    return row->next() ? row->get_int64(0) : 0;
}

std::vector<std::int64_t> find_stored_chunks(db& database, std::span<const std::string> checksums) {
    if (checksums.size() == 1) return {find_stored_chunk(database, checksums.front())};
    std::vector<std::int64_t> ids(checksums.size(), 0);
    std::size_t first = 0;
    for_padded_in_lists<most_pending_rows>(checksums, [&](const std::string& list,
                                                          const std::vector<db_param>& values,
                                                          std::size_t n) {
        auto rows = database.query("SELECT checksum, chunk_id FROM chunk WHERE checksum IN " + list,
                                   db_params(values));
        while (rows->next()) {
            const std::string checksum = rows->get_string(0);
            // Every place of it: a list may name a checksum twice.
            for (std::size_t i = first; i < first + n; ++i) {
                if (ids[i] == 0 && checksums[i] == checksum) ids[i] = rows->get_int64(1);
            }
        }
        first += n;
    });
    return ids;
}

std::int64_t block_writer::stored_lately(const std::string& checksum) const {
    const auto found = stored_here_.find(checksum);
    return found == stored_here_.end() ? 0 : found->second;
}

std::int64_t block_writer::find_chunk(const std::string& checksum) {
    if (const std::int64_t waiting = stored_lately(checksum)) return waiting;
    return find_stored_chunk(storage_.database, checksum);
}

std::int64_t block_writer::insert_chunk(std::span<const std::uint8_t> bytes,
                                        const std::string& checksum) {
    const std::int64_t id = store_chunk(bytes, {}, checksum, 1);
    insert_pending_rows();
    disks_->record_free_space();
    write_pending();
    return inserted_id(id);
}

void block_writer::make_disks() {
    if (disks_) return;
    const auto& capacity = storage_.container_size;
    if (!capacity) throw rec_not_found_exception("Could not find settings for default_disk_size");
    disks_ = std::make_unique<disk_manager>(storage_.database, *capacity, storage_.data_directory,
                                            storage_.folder);
}

std::int64_t block_writer::store_in_frame(std::span<const std::uint8_t> bytes,
                                          const std::string& checksum, std::uint32_t frame_offset) {
    make_disks();
    shared_frame& frame = *frame_;
    if (!frame.disk_id) {
        const chunk_location where = disks_->allocate(frame.bytes.size());
        created_container_ = created_container_ || where.new_container;
        unsynced_ = true;
        // Bytes first, as for any chunk.
        write_container(where.disk_id, where.container, where.offset, frame.bytes);
        frame.disk_id = where.disk_id;
        frame.offset = where.offset;
    }
    return add_chunk_row({checksum, *frame.disk_id, static_cast<std::int64_t>(frame.offset),
                          static_cast<std::int64_t>(bytes.size()), 2,
                          static_cast<std::int64_t>(frame.bytes.size()),
                          static_cast<std::int64_t>(chunk_codec::shared_frame),
                          static_cast<std::int64_t>(frame_offset)});
}

std::int64_t block_writer::store_chunk(std::span<const std::uint8_t> bytes,
                                       std::span<const std::uint8_t> compressed,
                                       const std::string& checksum, std::int64_t refcount) {
    make_disks();
    compressed_form form{bytes, chunk_codec::raw};
    if (!compressed.empty()) {
        form = store_compressed(
            compressed, bytes.size(),
            storage_.headerless_frames ? chunk_codec::zstd_headerless : chunk_codec::zstd);
    }
    // Only a form smaller than the chunk is worth its decompression.
    const bool compress = form.codec != chunk_codec::raw && form.bytes.size() < bytes.size();
    const std::span<const std::uint8_t> stored = compress ? form.bytes : bytes;
    const chunk_location where = disks_->allocate(stored.size());
    created_container_ = created_container_ || where.new_container;
    unsynced_ = true;
    // Bytes first: should the write fail, the error ends the check-in and
    // its transaction takes the rows back.
    write_container(where.disk_id, where.container, where.offset, stored);

    // A raw chunk's row is as it always was, so a vault made before
    // compression (without the two columns) takes it as well.
    return add_chunk_row({checksum, where.disk_id, static_cast<std::int64_t>(where.offset),
                          static_cast<std::int64_t>(bytes.size()), refcount,
                          compress ? static_cast<std::int64_t>(stored.size()) : -1,
                          compress ? static_cast<std::int64_t>(form.codec) : -1, -1});
}

void block_writer::close_overlapping_blocks(std::int64_t file_id, std::uint64_t offset,
                                            std::uint64_t size, std::time_t when) {
    known_.reset();
    close_overlapping(file_id, offset, size, when, true);
}

void block_writer::close_overlapping(std::int64_t file_id, std::uint64_t offset,
                                     std::uint64_t size, std::time_t when, bool through_end) {
    insert_pending_rows();
    db& database = storage_.database;
    const auto at = static_cast<std::int64_t>(offset);
    // Closed: the live block that holds byte `offset` and the live blocks
    // that begin at or after it up to the new chunk's end, inclusive when
    // `through_end` (an empty block left at `offset` by a shorter version
    // among them). The
    // live blocks of a file lie end to end, so the one holding byte `offset`
    // is either among those or the last one that begins before it.
    // Finding them first and closing them one by one keeps the common case
    // (nothing to close) free of writes and of statement journals.
    std::vector<std::int64_t> closing;
    {
        auto before = database.query(
            "SELECT bmap.block_id, bmap.virtual_offset + chunk.size > ? AS holds"
            " FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
            " WHERE bmap.file_id = ? AND bmap.deletion_date = 0 AND bmap.virtual_offset < ?"
            " ORDER BY bmap.virtual_offset DESC LIMIT 1",
            {at, file_id, at});
        if (before->next() && before->get_int64("holds") != 0) {
            closing.push_back(before->get_int64("block_id"));
        }
    }
    {
        const std::int64_t end = at + static_cast<std::int64_t>(size);
        auto within = database.query(
            "SELECT block_id, virtual_offset, chunk_id FROM bmap WHERE file_id = ?"
            " AND deletion_date = 0 AND virtual_offset >= ? AND virtual_offset <= ?",
            {file_id, at, through_end ? end : end - 1});
        while (within->next()) {
            closing.push_back(within->get_int64("block_id"));
            if (size > 0 && within->get_int64("virtual_offset") == end) {
                closed_at_end_ = closed_block{file_id, static_cast<std::uint64_t>(end),
                                              within->get_int64("chunk_id")};
            }
        }
    }
    close_blocks(closing, when);
}

void block_writer::close_known(std::uint64_t offset, std::uint64_t size, std::time_t when,
                               bool through_end) {
    // The blocks close_overlapping() would find in the block map.
    auto& blocks = known_->blocks;
    const std::uint64_t end = offset + size;
    const auto first = blocks.lower_bound(offset);
    const auto last = through_end ? blocks.upper_bound(end)
                      : size == 0 ? first
                                  : blocks.lower_bound(end);
    std::vector<std::int64_t> closing;
    // The blocks lie end to end: of those that begin where the last one
    // before `offset` begins, one may hold it (the others are empty).
    auto holder = blocks.end();
    if (first != blocks.begin()) {
        const std::uint64_t before = std::prev(first)->first;
        for (auto b = blocks.lower_bound(before); b != first; ++b) {
            if (before + b->second.size > offset) holder = b;
        }
    }
    if (holder != blocks.end()) closing.push_back(holder->second.block_id);
    for (auto b = first; b != last; ++b) {
        closing.push_back(b->second.block_id);
        if (size > 0 && b->first == end) {
            closed_at_end_ = closed_block{known_->file_id, end, b->second.chunk_id};
        }
    }
    if (closing.empty()) return;
    close_blocks_later(closing, when);
    if (holder != blocks.end()) blocks.erase(holder);
    blocks.erase(first, last);
    known_->changed = true;
}

void block_writer::close_blocks_later(std::span<const std::int64_t> block_ids, std::time_t when) {
    if (block_ids.empty()) return;
    std::vector<std::int64_t>& waiting = closing_[when];
    waiting.insert(waiting.end(), block_ids.begin(), block_ids.end());
    closing_count_ += block_ids.size();
}

void block_writer::close_blocks(std::span<const std::int64_t> block_ids, std::time_t when) {
    for_in_lists<most_pending_rows>(
        block_ids, [&](const std::string& list, std::vector<db_param> values) {
            values.insert(values.begin(), when);
            storage_.database.execute("UPDATE bmap SET deletion_date = ? WHERE block_id IN " + list,
                                      db_params(values));
        });
}

void block_writer::close_blocks_after(std::int64_t file_id, std::uint64_t end, std::time_t when) {
    closed_at_end_.reset();  // the version is complete
    // A file written from offset 0 without gaps into no block at all has
    // none beyond its end. Its rows wait for the next batch, with those of
    // the files after it: many small files then share a statement.
    const auto written_to = [&](const std::optional<fresh_file>& f) {
        return f && f->file_id == file_id && f->next_offset == end;
    };
    if (written_to(fresh_) || written_to(fresh_ended_)) return;
    if (known_ && known_->file_id == file_id) {
        // A zero-length block at the end is the version's own last chunk.
        std::vector<std::int64_t> closing;
        for (auto b = known_->blocks.lower_bound(end); b != known_->blocks.end(); ++b) {
            if (b->first > end || b->second.size > 0) closing.push_back(b->second.block_id);
        }
        close_blocks_later(closing, when);
        if (closing_count_ >= most_pending_rows) insert_pending_rows();
        // It knows nothing of the version's new blocks: the next version
        // of the file reads the block map again.
        if (known_->changed || !closing.empty()) known_.reset();
        return;
    }
    insert_pending_rows();
    const auto at = static_cast<std::int64_t>(end);
    // A zero-length block at the end is the version's own last chunk.
    storage_.database.execute(
        "UPDATE bmap SET deletion_date = ? WHERE block_id IN ("
        " SELECT bmap.block_id FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
        " WHERE bmap.file_id = ? AND bmap.deletion_date = 0 AND bmap.virtual_offset >= ?"
        " AND (bmap.virtual_offset > ? OR chunk.size > 0))",
        {when, file_id, at, at});
}

void block_writer::write_container(std::int64_t disk_id, const std::filesystem::path& path,
                                   std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    auto found = containers_.find(path);
    if (found == containers_.end()) {
        container_file opened;
        opened.disk_id = disk_id;
        opened.file = storage_.containers.open(path, open_mode::read_write);
        // The first chunk a writer puts in a container goes where the
        // committed ones end. A container shorter than that was cut short:
        // writing past its end would leave a hole where its chunks were, and
        // a length that no longer shows it.
        if (const std::uint64_t length = opened.file->size(); length < offset) {
            throw tuv_error(short_container_text(disk_id, path, length, offset) +
                            "; nothing is stored in a damaged container");
        }
        found = containers_.emplace(path, std::move(opened)).first;
    }
    container_file& c = found->second;
    // Chunks of a check-in go to consecutive offsets: they are gathered and
    // written a batch at a time, not with one call per chunk.
    constexpr std::size_t write_batch = 1 << 20;
    if (!c.pending.empty() && offset != c.pending_at + c.pending.size()) write_pending(c);
    if (c.pending.empty()) c.pending_at = offset;
    c.pending.insert(c.pending.end(), bytes.begin(), bytes.end());
    if (c.pending.size() >= write_batch) write_pending(c);
}

void block_writer::write_pending(container_file& c) {
    if (c.pending.empty()) return;
    c.file->write_at(c.pending_at, c.pending.data(), c.pending.size());
    const std::uint64_t end = c.pending_at + c.pending.size();
    // Handing every few MB to the disk at once lets the writing overlap with
    // the hashing, so the sync before commit has little left to wait for.
    constexpr std::uint64_t writeback_batch = 8 << 20;
    if (c.pending_at != c.unsent_to) c.unsent_from = c.pending_at;
    c.unsent_to = end;
    c.pending.clear();
    if (c.unsent_to - c.unsent_from >= writeback_batch) {
        c.file->start_writeback(c.unsent_from, c.unsent_to - c.unsent_from);
        c.unsent_from = c.unsent_to;
    }
}

void block_writer::write_pending() {
    for (auto& [path, c] : containers_) write_pending(c);
}

void block_writer::sync_containers() {
    insert_pending_rows();
    if (disks_) disks_->record_free_space();
    write_pending();
    for (auto& [path, c] : containers_) {
        assert(c.pending.empty());
        c.file->sync();
    }
    if (created_container_) storage_.containers.sync_directory(storage_.data_directory);
    created_container_ = false;
    unsynced_ = false;
}

void block_writer::give_back_uncommitted_space() noexcept {
    // The rows rolled back: what was known of the files' blocks may not hold.
    file_seen_ = 0;
    fresh_.reset();
    fresh_ended_.reset();
    known_.reset();
    closed_at_end_.reset();
    frame_.reset();
    pending_blocks_.clear();
    closing_.clear();
    closing_count_ = 0;
    more_references_.clear();
    new_chunks_.clear();
    inserted_ids_.clear();
    stored_here_.clear();
    inserted_order_.clear();
    for (auto& [path, c] : containers_) {
        c.pending.clear();
        // A server's containers took the bytes back with the transaction;
        // cutting one now could cut what another writer has since committed.
        if (storage_.on_server) continue;
        try {
            // Read after the rollback: what the committed rows use. Should
            // the rollback itself have failed, the rows still seen only make
            // the length larger, so nothing committed is ever cut.
            auto row = storage_.database.query(
                "SELECT total_size - free_size FROM disk_info WHERE disk_id = ?", {c.disk_id});
            if (row->next()) {
                const auto used = static_cast<std::uint64_t>(row->get_int64(0));
                row.reset();
                if (c.file && c.file->size() > used) c.file->truncate(used);
            } else {
                // Made by this check-in: its row is gone, and so goes the file.
                row.reset();
                c.file.reset();
                storage_.containers.remove(path);
            }
        } catch (const std::exception&) {
            // Stray bytes past the used length are harmless; the next
            // allocation writes over them.
        }
    }
    containers_.clear();
    created_container_ = false;
    unsynced_ = false;  // nothing committed refers to them
}

}  // namespace tuv
