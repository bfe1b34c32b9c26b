#include "core/vault/vault_stats.h"

#include <algorithm>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/db/db.h"
#include "core/db/read_snapshot.h"
#include "core/storage/chunk_codec.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

struct block_span {
    std::uint64_t size;
    std::int64_t created;
    std::int64_t deleted;  // 0 while live
};

std::uint64_t count(db& database, const std::string& sql,
                    std::initializer_list<db_param> params = {}) {
    auto row = database.query(sql, params);
    return row->next() ? static_cast<std::uint64_t>(row->get_int64(0)) : 0;
}

// Adds the sizes of one file's versions, whose moments are `versions`
// (sorted). Each block counts once for every version in [created, deleted):
// found by binary search, so a long history costs no more than its blocks.
void add_file(const std::vector<block_span>& blocks, const std::vector<std::time_t>& versions,
              vault_stats& stats) {
    for (const block_span& b : blocks) {
        const auto first = std::lower_bound(versions.begin(), versions.end(), b.created);
        const auto last = b.deleted == 0
                              ? versions.end()
                              : std::lower_bound(versions.begin(), versions.end(), b.deleted);
        if (first < last) stats.logical_bytes += b.size * static_cast<std::uint64_t>(last - first);
    }
}

}  // namespace

std::optional<double> vault_stats::dedup_ratio() const {
    if (chunk_bytes == 0) return std::nullopt;
    return static_cast<double>(logical_bytes) / static_cast<double>(chunk_bytes);
}

std::optional<double> vault_stats::compression_ratio() const {
    if (stored_bytes == 0) return std::nullopt;
    return static_cast<double>(chunk_bytes) / static_cast<double>(stored_bytes);
}

vault_counts count_vault(repository& repo) {
    db& database = repo.database();
    const read_snapshot snapshot(database);
    vault_counts counts;
    counts.directories = count(database, "SELECT COUNT(*) FROM file_info WHERE mime_type = ?",
                               {directory_mime_type});
    counts.files = count(database, "SELECT COUNT(*) FROM file_info") - counts.directories;
    counts.chunks = count(database, "SELECT COUNT(*) FROM chunk");
    counts.containers = count(database, "SELECT COUNT(*) FROM disk_info");
    return counts;
}

vault_stats collect_vault_stats(repository& repo) {
    db& database = repo.database();
    const read_snapshot snapshot(database);
    const vault_counts counts = count_vault(repo);
    vault_stats stats;
    stats.directories = counts.directories;
    stats.files = counts.files;
    stats.chunks = counts.chunks;
    stats.containers = counts.containers;
    stats.versions = count_file_versions(database);
    stats.chunk_bytes = count(database, "SELECT COALESCE(SUM(size), 0) FROM chunk");
    // stored_size_sql is not a value: it is one of two constant column
    // expressions, chosen by whether the vault's chunk table has the stored
    // form's columns, so nothing from a user or a file reaches this text.
    // A shared frame is counted once, however many of its chunks are rows.
    const std::string stored = stored_size_sql(repo.storage());
    stats.stored_bytes =
        repo.storage().frame_offset_column
            ? count(database, "SELECT COALESCE(SUM(" + stored +
                                  "), 0) FROM chunk WHERE frame_offset IS NULL") +
                  count(database,
                        "SELECT COALESCE(SUM(stored_size), 0) FROM (SELECT DISTINCT disk_id,"
                        " physical_offset, stored_size FROM chunk WHERE frame_offset IS NOT NULL) "
                        "AS frames")
            : count(database, "SELECT COALESCE(SUM(" + stored + "), 0) FROM chunk");

    // A block whose chunk row is gone counts as empty; verify names it.
    auto rows = database.query(
        "SELECT bmap.file_id, COALESCE(chunk.size, 0), bmap.creation_date, bmap.deletion_date"
        " FROM bmap LEFT JOIN chunk ON chunk.chunk_id = bmap.chunk_id ORDER BY bmap.file_id");
    file_version_moments versions(database);
    std::vector<block_span> blocks;
    std::int64_t file = 0;
    const auto finish_file = [&] {
        if (!blocks.empty()) add_file(blocks, versions.of(file), stats);
        blocks.clear();
    };
    while (rows->next()) {
        const std::int64_t file_id = rows->get_int64(0);
        if (file_id != file) finish_file();
        file = file_id;
        blocks.push_back({static_cast<std::uint64_t>(rows->get_int64(1)), rows->get_int64(2),
                          rows->get_int64(3)});
    }
    finish_file();
    return stats;
}

}  // namespace tuv
