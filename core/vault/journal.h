// The change journal: one row per creation or new version of a catalogue
// entry and per directory whose content changed, stamped with the local
// calendar time of the check-in. Rows are never changed or deleted.
//
// A version of a file is one check-in of it, which is one journal row of the
// file: every check-in writes one, also when the content did not change. Such
// a check-in adds no block; its version holds the blocks live at its moment,
// as the one before it did (docs/storage.md, "The block map"). The explorer,
// `quillmark versions`, search and the export list these rows, and the
// vault's figures count them (count_file_versions, file_version_moments). A
// directory's rows are changes, not versions.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/db/sql_builder.h"

namespace tuv {

class date;
class db;
class db_recordset;

// Kinds of change in the `changetype` column. Readers pass 0 for "any".
inline constexpr int CHANGE_CREATED = 1;
inline constexpr int CHANGE_MODIFIED = 4;

// Levels of get_change_range and get_journal_logs.
inline constexpr int LEVEL_ALL = -1;    // every row (get_change_range only)
inline constexpr int LEVEL_YEARS = 0;   // from, to: years (0, 0: all years)
inline constexpr int LEVEL_MONTHS = 1;  // from, to: years
inline constexpr int LEVEL_DAYS = 2;    // from: month 1 to 12, to: year

// A moment as the journal stores it, in its six fields (month 1 to 12),
// written "YYYY-MM-DD HH:MM:SS" as the commands and reports show it.
std::string journal_moment_text(int year, int month, int day, int hour, int minute, int second);
// The same for the fields of a journal_log or journal_version time.
std::string journal_moment_text(const std::tm& moment);

// The calendar columns of a journal row (year, month, day, hour, minute,
// second, in that order from `first_column` on) as a broken-down time; the
// fields the journal does not store are 0.
std::tm journal_calendar(db_recordset& row, int first_column);

// One changed inode in a period, as get_journal_logs returns it. Fields of
// `time` that the journal does not store are 0.
struct journal_log {
    std::int64_t inode = 0;
    int changetype = 0;
    std::tm time{};
};

// One version of an entry: the moment of a journal row and the description
// recorded with it.
struct journal_version {
    std::tm time{};  // as journal_log's
    std::string attributes;
};

// The rows of a period, across all inodes, as a condition on the journal's
// columns (which no other table shares, so it also serves in joins).
struct journal_period {
    // Rows in this order come oldest first; the first row of an inode is its
    // earliest change in the period (id breaks ties within one second).
    static constexpr const char* chronological = "year, month, day, hour, minute, second, id";

    sql_builder condition;
};

// The number of versions of all files. One query.
std::uint64_t count_file_versions(db& database);

// The moments of the versions of every file, read file by file with one
// query. The reader borrows `database`, which must outlive it; callers that
// read other tables beside it hold a read_snapshot.
class file_version_moments {
  public:
    explicit file_version_moments(db& database);
    ~file_version_moments();
    file_version_moments(const file_version_moments&) = delete;
    file_version_moments& operator=(const file_version_moments&) = delete;

    // The moments of the versions of `file_id`, oldest first, in seconds as
    // the block map dates its rows (a version at a moment holds the blocks
    // live then). Ids must be asked for in ascending order; a file without
    // versions has none. A row whose fields name no local moment (date.h's
    // local_moment) is left out: no content can be found for it.
    std::vector<std::time_t> of(std::int64_t file_id);

  private:
    std::unique_ptr<db_recordset> rows_;
    bool on_row_;  // rows_ holds a row not taken yet
};

class journal {
  public:
    // `database` is borrowed and must outlive the journal (or be detached).
    explicit journal(db* database) : database_(database) {}

    // Forgets the database; every later operation throws "db instance dead".
    void detach() { database_ = nullptr; }

    // Appends one row stamped with the local calendar time of `moment`
    // (month 1 to 12, year four digits).
    void insert_change(std::int64_t inode, int changetype, const date& moment,
                       const std::string& src_path, const std::string& attributes);
    // The same for several entries changed at one moment, in one statement,
    // their rows in the given order.
    struct change {
        std::int64_t inode;
        int changetype;
        std::string src_path;
        std::string attributes;
    };
    void insert_changes(std::span<const change> changes, const date& moment);

    // The moments at which one entry changed, oldest first: every row
    // (LEVEL_ALL), one per year, month of the years from..to, or day of the
    // month `from` of the year `to`, each given by the first row written
    // in it. changetype 0 means any kind.
    // Throws tuv_error for another level, and rec_not_found_exception
    // "Record Not Found : Couldn't find logs in journal " when no row matches,
    // except that `from` 1 or 12 then leaves the list unchanged.
    void get_change_range(std::int64_t inode, int from, int to, int level, int changetype,
                          std::vector<std::tm>& out);

    // Across all inodes: for each inode that changed in the period, its
    // earliest change there. Inodes already in `out` are left alone. No row
    // is no error. Throws tuv_error for a level other than 0, 1 or 2.
    void get_journal_logs(int from, int to, int level, int changetype,
                          std::map<std::int64_t, journal_log>& out);

    // The condition of get_journal_logs for a period. Throws tuv_error for a
    // level other than 0, 1 or 2.
    static journal_period period(int from, int to, int level, int changetype);

    // Appends every row of one inode, oldest first (as get_change_range with
    // LEVEL_ALL), each with the description of the first row written in its
    // second: what file_entry::attributes_at reads for that moment. One query
    // however many versions there are. No row is no error.
    void get_versions(std::int64_t inode, std::vector<journal_version>& out);

    // Appends the distinct inodes whose source path contains `text`: those
    // checked in from exactly `text` first, then the others, each in
    // ascending order. Every character of `text` stands for itself ("%" and
    // "_" included); letters compare as the system's file names do, with
    // case here and ASCII letters without case on Windows. An empty text
    // matches every row.
    void inodes_for_source(const std::string& text, std::vector<std::int64_t>& out);

  private:
    db& database();

    db* database_;
};

}  // namespace tuv
