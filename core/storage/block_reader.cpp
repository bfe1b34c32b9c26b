#include "core/storage/block_reader.h"

#include <string>

#include "core/base/date.h"
#include "core/db/db.h"

namespace tuv {
namespace {

date marked_changed(std::time_t seconds) {
    date result(seconds);
    result.set_changed(true);
    return result;
}

}  // namespace

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
