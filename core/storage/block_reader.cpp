#include "core/storage/block_reader.h"

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/container_read.h"
#include "core/storage/file_io.h"
#include "core/storage/vault_folder.h"

namespace tuv {
namespace {

date marked_changed(std::time_t seconds) {
    date result(seconds);
    result.set_changed(true);
    return result;
}

}  // namespace

std::string block_reader::read_block(std::int64_t file_id, std::uint64_t offset, std::time_t when,
                                     block_info* info) {
    db& database = storage_.database;
    block_info block;
    std::uint64_t stored_size = 0;
    std::optional<std::int64_t> codec;
    {
        auto row = database.query("SELECT chunk.size, chunk.disk_id, chunk.physical_offset,"
                                  " chunk.checksum, " +
                                      stored_size_sql(storage_) + " AS stored_size, " +
                                      codec_sql(storage_) +
                                      " AS codec FROM bmap JOIN chunk"
                                      " ON chunk.chunk_id = bmap.chunk_id"
                                      " WHERE bmap.file_id = ? AND bmap.virtual_offset = ?" +
                                      bmap_live_at,
                                  {file_id, static_cast<std::int64_t>(offset), when, when});
        if (!row->next()) {
            throw rec_not_found_exception("Couldn't find block for fid = " +
                                          std::to_string(file_id) +
                                          " with offset = " + std::to_string(offset));
        }
        block.size = static_cast<std::uint64_t>(row->get_int64("size"));
        block.file_id = file_id;
        block.disk_id = row->get_int64("disk_id");
        block.virtual_offset = offset;
        block.physical_offset = static_cast<std::uint64_t>(row->get_int64("physical_offset"));
        block.checksum = row->get_string("checksum");
        stored_size = static_cast<std::uint64_t>(row->get_int64("stored_size"));
        if (!row->is_null("codec")) codec = row->get_int64("codec");
    }
    std::filesystem::path path;
    {
        auto row = database.query("SELECT path FROM disk_info WHERE disk_id = ?", {block.disk_id});
        if (!row->next()) {
            throw rec_not_found_exception("Couldn't find disk info for disk_id = " +
                                          std::to_string(block.disk_id));
        }
        path = local_path(storage_.folder, row->get_string("path"));
    }
    const auto container = open_container(storage_.files, block.disk_id, path);
    std::string bytes(block.size, '\0');
    std::vector<std::uint8_t> scratch;
    read_stored_chunk(*container,
                      {path, block.physical_offset, block.size, stored_size, codec, block.checksum,
                       file_id, offset},
                      reinterpret_cast<std::uint8_t*>(bytes.data()), scratch);
    if (info != nullptr) *info = block;
    return bytes;
}

std::vector<block_entry> block_reader::get_blocks(std::int64_t file_id, std::time_t when) {
    std::string sql = "SELECT bmap.virtual_offset, bmap.deletion_date FROM bmap WHERE bmap.file_id = ?";
    std::vector<db_param> params{file_id};
    if (when != 0) {
        sql += bmap_live_at;
        params.emplace_back(when);
        params.emplace_back(when);
    }
    sql += " ORDER BY bmap.virtual_offset, bmap.block_id";
    auto rows = storage_.database.query(sql, params);
    std::vector<block_entry> blocks;
    while (rows->next()) {
        const auto offset = static_cast<std::uint64_t>(rows->get_int64("virtual_offset"));
        // The first block at an offset stands for it.
        if (!blocks.empty() && blocks.back().virtual_offset == offset) continue;
        blocks.push_back({offset, static_cast<std::time_t>(rows->get_int64("deletion_date"))});
    }
    if (blocks.empty()) {
        throw rec_not_found_exception("Couldn't find blocks for fid = " + std::to_string(file_id));
    }
    return blocks;
}

date block_reader::first_version_date(std::int64_t file_id) {
    const std::string sql = "SELECT COALESCE(MIN(creation_date), 0) FROM bmap";
    auto row = file_id == -1 ? storage_.database.query(sql)
                             : storage_.database.query(sql + " WHERE file_id = ?", {file_id});
    return marked_changed(row->next() ? static_cast<std::time_t>(row->get_int64(0)) : 0);
}

date block_reader::last_version_date(std::int64_t file_id) {
    const std::string sql = "SELECT COALESCE(MAX(creation_date), 0) FROM bmap";
    auto row = file_id == -1 ? storage_.database.query(sql)
                             : storage_.database.query(sql + " WHERE file_id = ?", {file_id});
    return marked_changed(row->next() ? static_cast<std::time_t>(row->get_int64(0)) : 0);
}

std::uint64_t block_reader::version_size(std::int64_t file_id, std::time_t when) {
    auto row = storage_.database.query(
        std::string("SELECT COALESCE(SUM(chunk.size), 0) FROM bmap JOIN chunk"
                    " ON chunk.chunk_id = bmap.chunk_id WHERE bmap.file_id = ?") +
            bmap_live_at,
        {file_id, when, when});
    return row->next() ? static_cast<std::uint64_t>(row->get_int64(0)) : 0;
}

}  // namespace tuv
