// Paths to entries, new directories and files, listings and the changed
// children of a directory.
#include "core/vault/catalogue.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/base/errors.h"
#include "core/base/vault_path.h"
#include "core/db/db.h"
#include "core/db/sql_builder.h"
#include "core/db/write_transaction.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// An entry's row with the attributes of its latest journal row. Entries
// without journal rows are not found by path.
constexpr const char* entry_with_latest_attributes =
    "SELECT file_info.*, journal.attributes FROM file_info"
    " JOIN journal ON journal.inode = file_info.file_id WHERE ";
constexpr const char* latest_first = " ORDER BY journal.id DESC LIMIT 1";

std::int64_t insert_entry(db& database, const std::string& name, std::int64_t parent_id,
                          std::uint64_t size, std::time_t time, const std::string& mime_type) {
    database.execute(
        "INSERT INTO file_info(path, size, parent_id, creation_time, last_access_time,"
        " modification_time, mime_type) VALUES(?, ?, ?, ?, ?, ?, ?)",
        {name, static_cast<std::int64_t>(size), parent_id, time, time, time, mime_type});
    // The row just inserted, whatever other rows share its name.
    return database.last_insert_id();
}

// The smallest inode of a journal row in `period` that has no catalogue row,
// or nullopt. Catalogue ids are handed out in order and never freed, so they
// normally fill one range: then only rows outside it can be orphans, and
// seeks on the journal's index by inode find them (the date index would read
// the whole period). A catalogue with holes (a damaged vault) is checked row
// by row.
std::optional<std::int64_t> first_orphan_inode(db& database, const journal_period& period,
                                               std::int64_t count, std::int64_t lowest,
                                               std::int64_t highest) {
    constexpr const char* by_inode =
        "SELECT min(inode) AS first FROM journal INDEXED BY journal_by_inode WHERE inode ";
    std::vector<sql_builder> checks;
    if (count > 0 && highest - lowest + 1 == count) {
        checks.emplace_back(by_inode).add("< ? AND (", {lowest});
        checks.emplace_back(by_inode).add("> ? AND (", {highest});
    } else {
        checks.emplace_back().add(
            "SELECT min(inode) AS first FROM journal WHERE NOT EXISTS"
            " (SELECT 1 FROM file_info WHERE file_id = journal.inode) AND (");
    }
    std::optional<std::int64_t> first;
    for (sql_builder& check : checks) {
        check.add(period.condition).add(") AND inode <> 0");
        auto row = database.query(check.sql(), check.params());
        if (row->next() && !row->is_null("first")) {
            const std::int64_t inode = row->get_int64(0);
            if (!first || inode < *first) first = inode;
        }
    }
    return first;
}

}  // namespace

std::unique_ptr<file_entry> catalogue::resolve(const std::string& path, std::int64_t parent_id) {
    const std::string& separator = repo_.path_separator();
    std::string rest = path;
    std::int64_t parent = parent_id;
    for (;;) {
        if (rest.starts_with(separator)) {
            // The root: no parent, and a name that holds the separator.
            auto row = repo_.database().query(std::string(entry_with_latest_attributes) +
                                                  "instr(file_info.path, ?) > 0 AND"
                                                  " file_info.parent_id = 0" +
                                                  latest_first,
                                              {separator});
            if (!row->next()) throw file_not_found_exception(separator, 0);
            if (rest.size() == separator.size()) {
                return file_entry::from_row(repo_, *row, row->get_string("attributes"));
            }
            parent = row->get_int64("file_id");
            rest.erase(0, separator.size());
            continue;
        }

        const std::size_t cut = rest.find(separator);
        const bool last = cut == std::string::npos;
        const std::string component = last ? rest : rest.substr(0, cut);
        std::unique_ptr<file_entry> found = find_child(component, parent);
        if (!found) throw file_not_found_exception(component, parent);
        if (last) return found;
        parent = found->file_id();
        rest.erase(0, cut + separator.size());
    }
}

std::unique_ptr<file_entry> catalogue::find_child(const std::string& name, std::int64_t parent_id) {
    sql_builder q(entry_with_latest_attributes);
    q.add("file_info.path = ?", {name});
    // Without a parent, the name is looked up anywhere in the tree.
    if (parent_id != 0) q.add(" AND file_info.parent_id = ?", {parent_id});
    q.add(latest_first);
    auto row = repo_.database().query(q.sql(), q.params());
    if (!row->next()) return nullptr;
    return file_entry::from_row(repo_, *row, row->get_string("attributes"));
}

std::unique_ptr<file_entry> catalogue::entry(std::int64_t file_id) {
    return std::make_unique<file_entry>(repo_, file_id, std::string());
}

std::int64_t catalogue::create_directory(const std::string& name, std::int64_t parent_id,
                                         const std::string& time) {
    return create_directory(name, parent_id, date(time));
}

std::int64_t catalogue::create_directory(const std::string& name, std::int64_t parent_id,
                                         const date& when) {
    check_entry_name(name, repo_.path_separator());

    // A directory row without its journal row could never be found by path,
    // so the three rows are written together or not at all.
    write_transaction transaction(repo_.database());
    const std::int64_t id =
        insert_entry(repo_.database(), name, parent_id, 10, when.seconds(), directory_mime_type);
    for (const auto& [inode, kind] :
         {std::pair{id, CHANGE_CREATED}, std::pair{parent_id, CHANGE_MODIFIED}}) {
        repo_.journal().insert_change(inode, kind, when, "", "");
    }
    transaction.commit();
    return id;
}

std::int64_t catalogue::create_file(const std::string& name, std::int64_t parent_id,
                                    std::uint64_t size, const std::string& time,
                                    const std::string& mime_type) {
    return create_file(name, parent_id, size, date(time), mime_type);
}

std::int64_t catalogue::create_file(const std::string& name, std::int64_t parent_id,
                                    std::uint64_t size, const date& when,
                                    const std::string& mime_type) {
    return create_file_entry(name, parent_id, size, when, mime_type)->file_id();
}

std::unique_ptr<file_entry> catalogue::create_file_entry(const std::string& name,
                                                         std::int64_t parent_id, std::uint64_t size,
                                                         const date& when,
                                                         const std::string& mime_type) {
    check_entry_name(name, repo_.path_separator());
    const std::int64_t id =
        insert_entry(repo_.database(), name, parent_id, size, when.seconds(), mime_type);
    return file_entry::inserted(repo_, id, name, parent_id, size, when, mime_type);
}

void catalogue::list_directory(const std::string& full_path,
                               std::vector<std::unique_ptr<file_entry>>& out) {
    const std::unique_ptr<file_entry> directory = resolve(full_path, 0);
    if (!directory->is_directory()) throw tuv_error(full_path + " not a directory");
    list_directory(*directory, out);
}

void catalogue::list_directory(const file_entry& directory,
                               std::vector<std::unique_ptr<file_entry>>& out) {
    // One statement for all children, in the order they were made.
    auto rows = repo_.database().query(
        "SELECT * FROM file_info WHERE parent_id = ? ORDER BY file_id", {directory.file_id()});
    while (rows->next()) out.push_back(file_entry::from_row(repo_, *rows, std::string()));
}

catalogue::id_span catalogue::catalogue_id_span() {
    // Counting a large catalogue takes longer than the listing it guards.
    const auto stamp = repo_.database().change_stamp();
    if (stamp && stamp == ids_stamp_) return ids_;
    auto row =
        repo_.database().query("SELECT count(*), min(file_id), max(file_id) FROM file_info", {});
    row->next();
    ids_ = {row->get_int64(0), row->get_int64(1), row->get_int64(2)};
    ids_stamp_ = stamp;
    return ids_;
}

void catalogue::changes_under(const std::string& full_path, int from, int to, int level,
                              int changetype, bool files_only, std::vector<change_entry>& out) {
    const std::unique_ptr<file_entry> directory = resolve(full_path, 0);
    const std::string directory_path = directory->full_path();
    const journal_period period = journal::period(from, to, level, changetype);

    // A journal row in the period whose inode has no catalogue row means the
    // catalogue is damaged: the children before it in inode order are
    // reported, then the error.
    const id_span ids = catalogue_id_span();
    const std::optional<std::int64_t> orphan =
        first_orphan_inode(repo_.database(), period, ids.count, ids.lowest, ids.highest);

    // The period's journal rows of the directory's children. CROSS JOIN keeps
    // the catalogue outside: its index on parent, then the journal's on
    // inode, however wide the period is. Only each inode's earliest change
    // counts (id breaks ties within one second); it is picked here rather than
    // by sorting every row in the database.
    sql_builder q;
    q.add(
        "SELECT journal.inode, journal.changetype, journal.year, journal.month, journal.day,"
        " journal.hour, journal.minute, journal.second, journal.id, file_info.path,"
        " file_info.size, file_info.mime_type FROM file_info CROSS JOIN journal ON"
        " journal.inode = file_info.file_id WHERE file_info.parent_id = ? AND journal.inode <> 0",
        {directory->file_id()});
    if (files_only) q.add(" AND file_info.mime_type <> ?", {directory_mime_type});
    q.add(" AND (").add(period.condition).add(")");

    struct earliest {
        std::int64_t inode;
        std::array<std::int64_t, 7> when;  // year .. second, then the row id
        change_entry change;
    };
    std::vector<earliest> found;
    std::unordered_map<std::int64_t, std::size_t> index_of;
    auto rows = repo_.database().query(q.sql(), q.params());
    while (rows->next()) {
        const std::int64_t inode = rows->get_int64(0);
        std::array<std::int64_t, 7> when{};
        for (std::size_t i = 0; i < when.size(); ++i) {
            when[i] = rows->get_int64(static_cast<int>(i) + 2);
        }
        const auto [slot, added] = index_of.try_emplace(inode, found.size());
        if (!added) {
            earliest& known = found[slot->second];
            if (when < known.when) {
                known.when = when;
                known.change.changetype = rows->get_int(1);
            }
            continue;
        }
        change_entry change;
        change.changetype = rows->get_int(1);
        change.full_path =
            join_vault_path(directory_path, rows->get_string(9), repo_.path_separator());
        change.size = static_cast<std::uint64_t>(rows->get_int64(10));
        change.mime_type = rows->get_string(11);
        found.push_back({inode, when, std::move(change)});
    }
    rows.reset();

    std::sort(found.begin(), found.end(),
              [](const earliest& a, const earliest& b) { return a.inode < b.inode; });
    for (earliest& e : found) {
        if (orphan && e.inode > *orphan) break;
        e.change.time.tm_year = static_cast<int>(e.when[0]) - 1900;
        e.change.time.tm_mon = static_cast<int>(e.when[1]) - 1;
        e.change.time.tm_mday = static_cast<int>(e.when[2]);
        e.change.time.tm_hour = static_cast<int>(e.when[3]);
        e.change.time.tm_min = static_cast<int>(e.when[4]);
        e.change.time.tm_sec = static_cast<int>(e.when[5]);
        out.push_back(std::move(e.change));
    }
    if (orphan) throw rec_not_found_exception("change info for " + std::to_string(*orphan));
}

}  // namespace tuv
