#include "core/vault/catalogue_queries.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "core/db/db.h"
#include "core/db/sql_builder.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

bool earlier(const std::tm& a, const std::tm& b) {
    return std::tie(a.tm_year, a.tm_mon, a.tm_mday, a.tm_hour, a.tm_min, a.tm_sec) <
           std::tie(b.tm_year, b.tm_mon, b.tm_mday, b.tm_hour, b.tm_min, b.tm_sec);
}

// The files of one folder with each of their journal rows.
constexpr std::string_view spans_query =
    "SELECT file_info.file_id, file_info.path, journal.year, journal.month, journal.day,"
    " journal.hour, journal.minute, journal.second FROM file_info"
    " JOIN journal ON journal.inode = file_info.file_id"
    " WHERE file_info.parent_id = ? AND file_info.mime_type <> ?";

std::unordered_map<std::string, version_span> spans_of(std::unique_ptr<db_recordset> rows) {
    // The first and last moments are kept as the rows come, so nothing needs
    // sorting; a file's rows come together, so the map is searched once per
    // file (and would still be right, only slower, if they did not).
    std::unordered_map<std::string, version_span> spans;
    std::int64_t previous = 0;
    version_span* span = nullptr;
    while (rows->next()) {
        const std::tm moment = journal_calendar(*rows, 2);
        if (const std::int64_t id = rows->get_int64(0); span == nullptr || id != previous) {
            previous = id;
            span = &spans[rows->get_string(1)];
        }
        if (span->count++ == 0) {
            span->first = span->last = moment;
        } else if (earlier(moment, span->first)) {
            span->first = moment;
        } else if (earlier(span->last, moment)) {
            span->last = moment;
        }
    }
    return spans;
}

}  // namespace

std::unordered_map<std::string, version_span> file_versions_in(repository& repo,
                                                               std::int64_t folder_id) {
    return spans_of(
        repo.database().query(std::string(spans_query), {folder_id, directory_mime_type}));
}

std::unordered_map<std::string, version_span> file_versions_in(repository& repo,
                                                               std::int64_t folder_id,
                                                               std::span<const std::string> names) {
    if (names.empty()) return {};
    sql_builder query;
    query.add(spans_query, {folder_id, directory_mime_type});
    query.add(" AND file_info.path IN (?", {names.front()});
    for (const std::string& name : names.subspan(1)) query.add(", ?", {name});
    query.add(")");
    return spans_of(repo.database().query(query.sql(), query.params()));
}

version_span versions_of(repository& repo, std::int64_t file_id) {
    std::vector<std::tm> moments;
    repo.journal().get_change_range(file_id, 0, 0, LEVEL_ALL, 0, moments);
    version_span span;
    span.count = static_cast<int>(moments.size());
    if (!moments.empty()) {
        span.first = moments.front();
        span.last = moments.back();
    }
    return span;
}

bool has_subdirectories(repository& repo, std::int64_t directory_id) {
    auto row = repo.database().query(
        "SELECT 1 FROM file_info WHERE parent_id = ? AND mime_type = ? LIMIT 1",
        {directory_id, directory_mime_type});
    return row->next();
}

std::optional<root_entry> find_root_entry(repository& repo) {
    auto row = repo.database().query(
        "SELECT file_id, path, creation_time FROM file_info WHERE parent_id = 0 ORDER BY file_id"
        " LIMIT 1");
    if (!row->next()) return std::nullopt;
    return root_entry{row->get_int64(0), row->get_string(1),
                      date(static_cast<std::time_t>(row->get_int64(2)))};
}

date latest_version_date(db& database, std::int64_t file_id) {
    std::time_t latest = 0;
    {
        auto row = database.query(
            "SELECT modification_time,"
            " (SELECT COALESCE(MAX(creation_date), 0) FROM bmap WHERE file_id = ?),"
            " (SELECT COALESCE(MAX(deletion_date), 0) FROM bmap WHERE file_id = ?)"
            " FROM file_info WHERE file_id = ?",
            {file_id, file_id, file_id});
        if (row->next()) {
            for (int column = 0; column < 3; ++column) {
                latest = std::max(latest, static_cast<std::time_t>(row->get_int64(column)));
            }
        }
    }
    auto row = database.query(
        "SELECT year, month, day, hour, minute, second FROM journal WHERE inode = ?"
        " ORDER BY year DESC, month DESC, day DESC, hour DESC, minute DESC, second DESC LIMIT 1",
        {file_id});
    if (!row->next()) return date(latest);
    const std::tm fields = journal_calendar(*row, 0);
    // Local time grows with the moment, so a row whose fields come no later
    // than those of `latest` is no later. Only a row that may be later is
    // converted: mktime looks at the zone file again at every call, a
    // system call for each file a check-in gives a new version.
    std::tm latest_fields{};
    date(latest).to_tm(latest_fields);
    if (!earlier(latest_fields, fields)) return date(latest);
    // A row whose fields name no local moment has no content to find.
    const auto moment = local_moment(fields);
    return date(moment ? std::max(latest, *moment) : latest);
}

date latest_version_date(repository& repo, std::int64_t file_id) {
    return latest_version_date(repo.database(), file_id);
}

}  // namespace tuv
