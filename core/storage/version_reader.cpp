#include "core/storage/version_reader.h"

#include <exception>

#include "core/db/db.h"
#include "core/db/in_lists.h"
#include "core/storage/block_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/file_io.h"
#include "core/storage/piece_queue.h"
#include "core/storage/vault_folder.h"

namespace tuv {

version_reader::version_reader(vault_storage storage, std::size_t piece_size)
    : storage_(std::move(storage)), piece_size_(piece_size) {}

version_reader::~version_reader() = default;

namespace {

// The blocks' columns, the file's id last, for rows WHERE `condition`.
std::string blocks_sql(const vault_storage& storage, const std::string& condition) {
    return "SELECT bmap.virtual_offset, chunk.size, chunk.checksum, chunk.disk_id,"
           " chunk.physical_offset, " +
           stored_size_sql(storage) + " AS stored_size, " + codec_sql(storage) +
           " AS codec, disk_info.path AS container, " + frame_offset_sql(storage) +
           " AS frame_offset, bmap.file_id"
           " FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
           " LEFT JOIN disk_info ON disk_info.disk_id = chunk.disk_id"
           " WHERE " +
           condition;
}

// Columns are read by position: finding them by name for every block cost
// a tenth of an export's time.
void read_row(db_recordset& rows, block_row& row) {
    row.offset = static_cast<std::uint64_t>(rows.get_int64(0));
    row.size = static_cast<std::uint64_t>(rows.get_int64(1));
    row.checksum = rows.get_string(2);
    row.disk_id = rows.get_int64(3);
    row.physical_offset = static_cast<std::uint64_t>(rows.get_int64(4));
    row.stored_size = static_cast<std::uint64_t>(rows.get_int64(5));
    row.codec.reset();
    if (!rows.is_null("codec")) row.codec = rows.get_int64(6);
    row.container.reset();
    if (!rows.is_null("container")) row.container = rows.get_string(7);
    row.frame_offset.reset();
    if (!rows.is_null("frame_offset"))
        row.frame_offset = static_cast<std::uint64_t>(rows.get_int64(8));
}

}  // namespace

void latest_blocks::fetch(const vault_storage& storage, std::span<const std::int64_t> file_ids) {
    std::vector<std::int64_t> wanted;
    for (const std::int64_t id : file_ids) {
        if (!holds(id)) wanted.push_back(id);
    }
    for_padded_in_lists<64>(
        std::span<const std::int64_t>(wanted),
        [&](const std::string& list, const std::vector<db_param>& ids, std::size_t) {
            auto rows = storage.database.query(
                blocks_sql(storage, "bmap.file_id IN " + list) +
                    " AND bmap.deletion_date = 0 ORDER BY bmap.file_id, bmap.virtual_offset",
                db_params(ids));
            while (rows->next()) read_row(*rows, files_[rows->get_int64(9)].emplace_back());
        });
}

std::optional<std::vector<block_row>> latest_blocks::take(std::int64_t file_id) {
    auto held = files_.extract(file_id);
    if (!held) return std::nullopt;
    return std::move(held.mapped());
}

std::uint64_t version_reader::read(std::int64_t file_id, std::time_t when,
                                   const std::function<void(std::span<const std::uint8_t>)>& sink) {
    // One statement for the whole version; it also keeps one snapshot of
    // the vault for the whole read.
    auto rows = storage_.database.query(
        blocks_sql(storage_, "bmap.file_id = ?") + bmap_live_at + " ORDER BY bmap.virtual_offset",
        {file_id, when, when});
    return read_blocks(file_id, *rows, sink);
}

std::uint64_t version_reader::read_latest(
    std::int64_t file_id, const std::function<void(std::span<const std::uint8_t>)>& sink,
    latest_blocks* ahead) {
    if (ahead != nullptr) {
        if (const auto held = ahead->take(file_id)) return read_blocks(file_id, *held, sink);
    }
    // The latest moment is at or after every block's dates: the blocks live
    // then are exactly those never deleted, which the live index holds
    // without the older versions' rows.
    auto rows =
        storage_.database.query(blocks_sql(storage_, "bmap.file_id = ?") +
                                    " AND bmap.deletion_date = 0 ORDER BY bmap.virtual_offset",
                                {file_id});
    return read_blocks(file_id, *rows, sink);
}

std::uint64_t version_reader::read_blocks(
    std::int64_t file_id, std::span<const block_row> blocks,
    const std::function<void(std::span<const std::uint8_t>)>& sink) {
    std::size_t next = 0;
    return read_blocks(
        file_id,
        [&](block_row& row) {
            if (next == blocks.size()) return false;
            row = blocks[next++];
            return true;
        },
        sink);
}

std::uint64_t version_reader::read_blocks(
    std::int64_t file_id, db_recordset& rows,
    const std::function<void(std::span<const std::uint8_t>)>& sink) {
    return read_blocks(
        file_id,
        [&](block_row& row) {
            if (!rows.next()) return false;
            read_row(rows, row);
            return true;
        },
        sink);
}

std::uint64_t version_reader::read_blocks(
    std::int64_t file_id, const std::function<bool(block_row&)>& next,
    const std::function<void(std::span<const std::uint8_t>)>& sink) {
    piece_queue queue;
    version_piece piece;
    // The blocks gathered last, end to end in the container `run_disk`: one
    // read for all of them.
    std::vector<stored_chunk> run;
    std::int64_t run_disk = 0;
    std::uint64_t run_bytes = 0;
    const auto close_run = [&] {
        if (run.empty()) return;
        file_handle& from = container(run_disk, run.front().container);
        piece.runs.push_back({&from, std::move(run)});
        piece.size += run_bytes;
        run.clear();
        run_bytes = 0;
    };
    std::uint64_t expected = 0;
    std::exception_ptr stopped;
    try {
        bool any = false;
        block_row row;
        while (next(row)) {
            any = true;
            const std::uint64_t offset = row.offset;
            const std::uint64_t size = row.size;
            const std::int64_t disk_id = row.disk_id;
            // The blocks of a version lie end to end from offset 0.
            if (offset > expected) {
                throw vault_damaged_error(file_id, expected,
                                          "the version has a gap: no block begins here");
            }
            if (offset < expected) {
                throw vault_damaged_error(file_id, offset, "the block overlaps the one before it");
            }
            if (!row.container) {
                throw rec_not_found_exception("Couldn't find disk info for disk_id = " +
                                              std::to_string(disk_id));
            }
            stored_chunk chunk{local_path(storage_.folder, *row.container),
                               row.physical_offset,
                               size,
                               row.stored_size,
                               row.codec,
                               std::move(row.checksum),
                               file_id,
                               offset,
                               row.frame_offset};
            // The next chunk of a shared frame follows too: the frame is read
            // and decoded once for all of them.
            const bool in_frame =
                !run.empty() && disk_id == run_disk && same_frame(run.back(), chunk);
            const bool follows = in_frame || (!run.empty() && disk_id == run_disk &&
                                              chunk.physical_offset == run.back().physical_offset +
                                                                           run.back().stored_size);
            if (!follows) close_run();
            // A piece ends between frames, never inside one.
            if (!in_frame && piece.size + run_bytes + size > piece_size_) {
                close_run();
                queue.push(std::move(piece), sink);
                piece = {};
            }
            if (run.empty()) run_disk = disk_id;
            run.push_back(std::move(chunk));
            run_bytes += size;
            expected = offset + size;
        }
        if (!any) {
            throw rec_not_found_exception("Couldn't find blocks for fid = " +
                                          std::to_string(file_id));
        }
        close_run();
    } catch (const tuv_error&) {
        stopped = std::current_exception();
    }
    // The blocks before a fault found here are read first: a damaged one
    // among them is the fault reported, as when each was read in turn.
    queue.push(std::move(piece), sink);
    queue.finish(sink);
    if (stopped) std::rethrow_exception(stopped);
    return expected;
}

file_handle& version_reader::container(std::int64_t disk_id, const std::filesystem::path& path) {
    const std::lock_guard lock(containers_mutex_);
    auto found = containers_.find(disk_id);
    if (found == containers_.end()) {
        found =
            containers_.emplace(disk_id, open_container(storage_.containers, disk_id, path)).first;
    }
    return *found->second;
}

}  // namespace tuv
