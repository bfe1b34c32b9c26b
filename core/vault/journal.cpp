#include "core/vault/journal.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/sql_builder.h"
#include "core/vault/file_entry.h"

namespace tuv {

std::tm journal_calendar(db_recordset& row, int first_column) {
    std::tm time{};
    time.tm_year = row.get_int(first_column) - 1900;
    time.tm_mon = row.get_int(first_column + 1) - 1;
    time.tm_mday = row.get_int(first_column + 2);
    time.tm_hour = row.get_int(first_column + 3);
    time.tm_min = row.get_int(first_column + 4);
    time.tm_sec = row.get_int(first_column + 5);
    return time;
}

namespace {

bool same_second(const std::tm& a, const std::tm& b) {
    return std::tie(a.tm_year, a.tm_mon, a.tm_mday, a.tm_hour, a.tm_min, a.tm_sec) ==
           std::tie(b.tm_year, b.tm_mon, b.tm_mday, b.tm_hour, b.tm_min, b.tm_sec);
}

// The rows that are versions: those of the entries that are files. One
// parameter: directory_mime_type.
constexpr const char* file_version_rows =
    " FROM journal JOIN file_info ON file_info.file_id = journal.inode"
    " WHERE file_info.mime_type <> ?";

}  // namespace

std::uint64_t count_file_versions(db& database) {
    auto row =
        database.query(std::string("SELECT COUNT(*)") + file_version_rows, {directory_mime_type});
    return row->next() ? static_cast<std::uint64_t>(row->get_int64(0)) : 0;
}

file_version_moments::file_version_moments(db& database)
    : rows_(database.query(std::string("SELECT journal.inode, year, month, day, hour, minute,"
                                       " second") +
                               file_version_rows + " ORDER BY journal.inode",
                           {directory_mime_type})),
      on_row_(rows_->next()) {}

file_version_moments::~file_version_moments() = default;

std::vector<std::time_t> file_version_moments::of(std::int64_t file_id) {
    std::vector<std::time_t> moments;
    for (; on_row_; on_row_ = rows_->next()) {
        const std::int64_t inode = rows_->get_int64(0);
        if (inode > file_id) break;
        if (inode < file_id) continue;  // a file the caller had no use for
        if (const auto moment = local_moment(journal_calendar(*rows_, 1)))
            moments.push_back(*moment);
    }
    // Sorted here: around a daylight-saving change the calendar's order is
    // not the clock's.
    std::sort(moments.begin(), moments.end());
    return moments;
}

db& journal::database() {
    if (database_ == nullptr) throw db_exception(std::string("db instance dead"));
    return *database_;
}

void journal::insert_change(std::int64_t inode, int changetype, const date& moment,
                            const std::string& src_path, const std::string& attributes) {
    const change one{inode, changetype, src_path, attributes};
    insert_changes({&one, 1}, moment);
}

void journal::insert_changes(std::span<const change> changes, const date& moment) {
    if (changes.empty()) return;
    std::tm local{};
    moment.to_tm(local);
    std::string sql =
        "INSERT INTO journal(inode, changetype, year, month, day, hour, minute, second,"
        " src_path, attributes) VALUES";
    std::vector<db_param> values;
    values.reserve(changes.size() * 10);
    for (const change& c : changes) {
        sql +=
            values.empty() ? "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
        values.insert(values.end(),
                      {c.inode, c.changetype, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour, local.tm_min, local.tm_sec, c.src_path, c.attributes});
    }
    database().execute(sql, db_params(values));
}

void journal::get_change_range(std::int64_t inode, int from, int to, int level, int changetype,
                               std::vector<std::tm>& out) {
    constexpr const char* moment = "SELECT year, month, day, hour, minute, second FROM journal";
    sql_builder where;
    where.add(" WHERE inode = ?", {inode});
    const bool by_kind = changetype != 0;
    const char* groups = nullptr;
    switch (level) {
        case LEVEL_ALL:
            if (by_kind) where.add(" AND changetype = ?", {changetype});
            break;
        case LEVEL_YEARS:
            if (by_kind) {
                where.add(" AND changetype = ?", {changetype});
            } else if (from != 0 || to != 0) {
                where.add(" AND year BETWEEN ? AND ?", {from, to});
            }
            groups = "year";
            break;
        case LEVEL_MONTHS:
            where.add(" AND year BETWEEN ? AND ?", {from, to});
            if (by_kind) where.add(" AND changetype = ?", {changetype});
            groups = "year, month";
            break;
        case LEVEL_DAYS:
            where.add(" AND month = ? AND year = ?", {from, to});
            if (by_kind) where.add(" AND changetype = ?", {changetype});
            groups = "year, month, day";
            break;
        default:
            throw tuv_error(std::string("Invalid time range in journal::get_change_range()"));
    }
    sql_builder q(moment);
    if (groups == nullptr) {
        // id last: rows of the same second keep the order they were written in.
        q.add(where).add(" ORDER BY year, month, day, hour, minute, second, id");
    } else {
        // One row stands for each group: its first written, so that every
        // field is that of a real change (a server refuses columns that are
        // neither grouped nor aggregated).
        q.add(" JOIN (SELECT MIN(id) AS first FROM journal")
            .add(where)
            .add(std::string(" GROUP BY ") + groups + ") AS grouped ON journal.id = grouped.first")
            .add(std::string(" ORDER BY ") + groups);
    }

    auto rows = database().query(q.sql(), q.params());
    bool found = false;
    while (rows->next()) {
        found = true;
        out.push_back(journal_calendar(*rows, 0));
    }
    rows.reset();
    // The explorer asks for the days of the first and last month of a range
    // that may be empty; only those two are not an error.
    if (!found && from != 1 && from != 12) {
        throw rec_not_found_exception("Couldn't find logs in journal ");
    }
}

journal_period journal::period(int from, int to, int level, int changetype) {
    journal_period p;
    const bool by_kind = changetype != 0;
    switch (level) {
        case LEVEL_YEARS:
            if (by_kind) {
                p.condition.add("changetype = ?", {changetype});
            } else if (from != 0 || to != 0) {
                p.condition.add("year BETWEEN ? AND ?", {from, to});
            } else {
                p.condition.add("1 = 1");
            }
            break;
        case LEVEL_MONTHS:
            p.condition.add("year BETWEEN ? AND ?", {from, to});
            if (by_kind) p.condition.add(" AND changetype = ?", {changetype});
            break;
        case LEVEL_DAYS:
            p.condition.add("month = ? AND year = ?", {from, to});
            if (by_kind) p.condition.add(" AND changetype = ?", {changetype});
            break;
        default:
            throw tuv_error(std::string("Invalid time range in journal::get_journal_logs()"));
    }
    return p;
}

void journal::get_journal_logs(int from, int to, int level, int changetype,
                               std::map<std::int64_t, journal_log>& out) {
    db& database = this->database();
    const journal_period p = period(from, to, level, changetype);
    sql_builder q;
    q.add("SELECT inode, changetype, year, month, day, hour, minute, second FROM journal WHERE ");
    q.add(p.condition);
    q.add(" ORDER BY ");
    q.add(journal_period::chronological);

    auto rows = database.query(q.sql(), q.params());
    while (rows->next()) {
        const std::int64_t inode = rows->get_int64("inode");
        if (out.contains(inode)) continue;
        out.emplace(inode,
                    journal_log{inode, rows->get_int("changetype"), journal_calendar(*rows, 2)});
    }
}

void journal::get_versions(std::int64_t inode, std::vector<journal_version>& out) {
    auto rows = database().query(
        "SELECT year, month, day, hour, minute, second, attributes FROM journal WHERE inode = ?"
        " ORDER BY year, month, day, hour, minute, second, id",
        {inode});
    const std::size_t first = out.size();
    while (rows->next()) {
        journal_version version{journal_calendar(*rows, 0), rows->get_string("attributes")};
        // Rows of one second come in the order they were written; the first
        // one's description stands for all of them.
        if (out.size() > first && same_second(out.back().time, version.time)) {
            version.attributes = out.back().attributes;
        }
        out.push_back(std::move(version));
    }
}

void journal::inodes_for_source(const std::string& text, std::vector<std::int64_t>& out) {
    // Names compare as the file system compares them: exactly here, ASCII
    // letters without case on Windows. instr() takes every character as it
    // is, so no wildcard needs escaping.
#ifdef _WIN32
    static const std::string sql =
        "SELECT inode FROM journal WHERE instr(lower(src_path), lower(?1)) > 0 GROUP BY inode"
        " ORDER BY MAX(CASE WHEN lower(src_path) = lower(?1) THEN 1 ELSE 0 END) DESC, inode";
#else
    static const std::string sql =
        "SELECT inode FROM journal WHERE instr(src_path, ?1) > 0 GROUP BY inode"
        " ORDER BY MAX(CASE WHEN src_path = ?1 THEN 1 ELSE 0 END) DESC, inode";
#endif
    auto rows = database().query(sql, {text});
    while (rows->next()) out.push_back(rows->get_int64("inode"));
}

std::string journal_moment_text(int year, int month, int day, int hour, int minute, int second) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

std::string journal_moment_text(const std::tm& moment) {
    return journal_moment_text(moment.tm_year + 1900, moment.tm_mon + 1, moment.tm_mday,
                               moment.tm_hour, moment.tm_min, moment.tm_sec);
}

}  // namespace tuv
