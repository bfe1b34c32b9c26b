#include "core/vault/file_entry.h"

#include <vector>

#include "core/base/errors.h"
#include "core/base/vault_path.h"
#include "core/db/db.h"
#include "core/storage/block_reader.h"
#include "core/storage/version_reader.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// Deeper than any real tree; only a damaged catalogue with a parent cycle
// gets there.
constexpr int max_depth = 10000;

}  // namespace

file_entry::file_entry(repository& repo) : repo_(&repo), new_entry_(true) {}

file_entry::file_entry(repository& repo, std::int64_t file_id, std::string attributes)
    : repo_(&repo), new_entry_(false) {
    load(file_id);
    attributes_ = std::move(attributes);
}

std::unique_ptr<file_entry> file_entry::from_row(repository& repo, db_recordset& row,
                                                 std::string attributes) {
    auto entry = std::make_unique<file_entry>(repo);
    entry->new_entry_ = false;
    entry->file_id_ = row.get_int64("file_id");
    entry->take_row(row);
    entry->attributes_ = std::move(attributes);
    return entry;
}

std::unique_ptr<file_entry> file_entry::inserted(repository& repo, std::int64_t file_id,
                                                 std::string name, std::int64_t parent_id,
                                                 std::uint64_t size, const date& when,
                                                 std::string mime_type) {
    auto entry = std::make_unique<file_entry>(repo);
    entry->new_entry_ = false;
    entry->file_id_ = file_id;
    entry->parent_id_ = parent_id;
    entry->size_ = size;
    entry->name_ = std::move(name);
    entry->creation_date_ = entry->last_access_date_ = entry->modification_date_ =
        date(when.seconds());
    entry->mime_type_ = std::move(mime_type);
    return entry;
}

void file_entry::load(std::int64_t file_id) {
    if (!new_entry_ && file_id_ != 0 && file_id_ != file_id) {
        throw tuv_error(std::string("File already opened with a different file id"));
    }
    file_id_ = file_id;
    auto row = repo_->database().query("SELECT * FROM file_info WHERE file_id = ?", {file_id});
    if (!row->next()) {
        throw rec_not_found_exception("No file entry found for file id = " +
                                      std::to_string(file_id));
    }
    take_row(*row);
}

void file_entry::take_row(db_recordset& row) {
    parent_id_ = row.get_int64("parent_id");
    size_ = static_cast<std::uint64_t>(row.get_int64("size"));
    size_changed_ = false;
    name_ = row.get_string("path");
    creation_date_ = date(static_cast<std::time_t>(row.get_int64("creation_time")));
    last_access_date_ = date(static_cast<std::time_t>(row.get_int64("last_access_time")));
    modification_date_ = date(static_cast<std::time_t>(row.get_int64("modification_time")));
    mime_type_ = row.get_string("mime_type");
}

std::string file_entry::full_path() {
    return full_path(file_id_);
}

std::string file_entry::full_path(std::int64_t file_id) {
    // The whole chain of ancestors in one statement, nearest first.
    auto rows = repo_->database().query(
        "WITH RECURSIVE chain(file_id, path, parent_id, depth) AS ("
        " SELECT file_id, path, parent_id, 0 FROM file_info WHERE file_id = ?"
        " UNION ALL"
        " SELECT f.file_id, f.path, f.parent_id, c.depth + 1"
        " FROM file_info f JOIN chain c ON f.file_id = c.parent_id"
        " WHERE c.parent_id <> 0 AND c.depth < ?)"
        " SELECT path, parent_id FROM chain ORDER BY depth",
        {file_id, max_depth});
    std::vector<std::string> names;
    std::int64_t missing = file_id;
    while (rows->next()) {
        names.push_back(rows->get_string("path"));
        missing = rows->get_int64("parent_id");
    }
    rows.reset();
    // The chain ends at the root (parent 0) unless a row on the way is gone.
    if (names.size() > max_depth) {
        throw tuv_error("The catalogue is damaged: the parents of entry " +
                        std::to_string(file_id) + " form a cycle");
    }
    if (names.empty() || missing != 0) {
        throw rec_not_found_exception("Record not found for fid = " + std::to_string(missing));
    }

    std::string path = names.back();
    for (auto name = names.rbegin() + 1; name != names.rend(); ++name) {
        path = join_vault_path(path, *name, repo_->path_separator());
    }
    return path;
}

void file_entry::set_size(std::uint64_t size) {
    size_ = size;
    size_changed_ = true;
}

void file_entry::flush() {
    if (file_id_ == 0) return;
    const bool dates_changed =
        creation_date_.changed() || last_access_date_.changed() || modification_date_.changed();
    if (!dates_changed && !size_changed_) return;

    // One statement for whatever changed: the entry holds its whole row.
    repo_->database().execute(
        "UPDATE file_info SET creation_time = ?, last_access_time = ?, modification_time = ?,"
        " size = ? WHERE file_id = ?",
        {creation_date_.seconds(), last_access_date_.seconds(), modification_date_.seconds(),
         static_cast<std::int64_t>(size_), file_id_});
    creation_date_.set_changed(false);
    last_access_date_.set_changed(false);
    modification_date_.set_changed(false);
    size_changed_ = false;
}

std::string file_entry::read(const date& moment) {
    std::string content;
    read_version(moment, [&](std::span<const std::uint8_t> bytes) {
        content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    });
    return content;
}

std::uint64_t file_entry::read_version(
    const date& moment, const std::function<void(std::span<const std::uint8_t>)>& sink) {
    return read_named(
        [&](version_reader& reader) { return reader.read(file_id_, moment.seconds(), sink); });
}

std::uint64_t file_entry::read_latest(
    const std::function<void(std::span<const std::uint8_t>)>& sink, latest_blocks* ahead) {
    return read_named(
        [&](version_reader& reader) { return reader.read_latest(file_id_, sink, ahead); });
}

std::uint64_t file_entry::read_named(const std::function<std::uint64_t(version_reader&)>& read) {
    if (is_directory()) throw tuv_error(std::string("Attempt to call read() on a directory"));
    try {
        version_reader reader(repo_->storage());
        return read(reader);
    } catch (const vault_damaged_error& damage) {
        // The storage layer knows the file by its id; the user knows its path.
        std::string path;
        try {
            path = full_path();
        } catch (const tuv_error&) {
            throw damage;  // the id alone must do
        }
        throw damage.named(path);
    }
}

std::uint64_t file_entry::version_size(const date& moment) {
    return tuv::block_reader(repo_->storage()).version_size(file_id_, moment.seconds());
}

std::string file_entry::attributes_at(const date& moment) {
    std::tm t{};
    moment.to_tm(t);
    auto row = repo_->database().query(
        "SELECT attributes FROM journal WHERE inode = ? AND year = ? AND month = ? AND day = ?"
        " AND hour = ? AND minute = ? AND second = ?",
        {file_id_, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec});
    if (!row->next()) {
        throw rec_not_found_exception("attributes for inode " + std::to_string(file_id_));
    }
    return row->get_string("attributes");
}

}  // namespace tuv
