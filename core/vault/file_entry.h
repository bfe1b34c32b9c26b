// One catalogue entry, file or directory: its row of `file_info`, its dates
// and its block map. Entries are never shared; every lookup makes a new one.
//
// An entry borrows the repository, which must outlive it. Dates and size that
// were changed are written back by flush() alone: an entry dropped without
// it writes nothing.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/base/date.h"

namespace tuv {

class db_recordset;
class latest_blocks;
class repository;
class version_reader;

inline constexpr const char* directory_mime_type = "directory";

class file_entry {
  public:
    // An empty entry for a file that is about to be created: it takes any id
    // at its first load.
    explicit file_entry(repository& repo);
    // The entry with that id, loaded at once; `attributes` is the journal
    // description the caller found it with. Throws as load() does.
    file_entry(repository& repo, std::int64_t file_id, std::string attributes);
    // An entry made from a `file_info` row already read (all its columns).
    static std::unique_ptr<file_entry> from_row(repository& repo, db_recordset& row,
                                                std::string attributes);
    // An entry for the row just inserted with these values, its three dates
    // all `when`.
    static std::unique_ptr<file_entry> inserted(repository& repo, std::int64_t file_id,
                                                std::string name, std::int64_t parent_id,
                                                std::uint64_t size, const date& when,
                                                std::string mime_type);
    file_entry(const file_entry&) = delete;
    file_entry& operator=(const file_entry&) = delete;

    // Reads the row of `file_id`. Throws tuv_error "File already opened with
    // a different file id" when an existing entry is asked to load another
    // id, and rec_not_found_exception "Record Not Found : No file entry found
    // for file id = <id>" when there is no such row.
    void load(std::int64_t file_id);

    // The full vault path of this entry, or of any entry by id: the separator
    // for the root, the separator and the name for a top-level entry, and a
    // separator before every further name. Throws rec_not_found_exception
    // "Record Not Found : Record not found for fid = <id>" for a missing row
    // on the way up.
    std::string full_path();
    std::string full_path(std::int64_t file_id);

    // Writes the dates and the size back to the row when any of them was
    // changed, then counts them as unchanged. Throws on a
    // database error, leaving the row as it was.
    void flush();

    // The whole version at `moment`, in memory (for callers that want it so;
    // checkout streams instead). Throws
    // tuv_error "Attempt to call read() on a directory" for a directory and
    // the errors of version_reader.
    std::string read(const date& moment);

    // Hands the version at `moment` to `sink` in pieces, in order, without
    // holding it in memory; returns its size. Throws as read() does, with a
    // damaged vault named by this entry's vault path.
    std::uint64_t read_version(const date& moment,
                               const std::function<void(std::span<const std::uint8_t>)>& sink);

    // The same for the latest version (the one at latest_version_date()),
    // from `ahead`'s rows when it holds this file's (version_reader.h).
    std::uint64_t read_latest(const std::function<void(std::span<const std::uint8_t>)>& sink,
                              latest_blocks* ahead = nullptr);

    // The size of the version at `moment`; 0 when there are no blocks.
    std::uint64_t version_size(const date& moment);

    // The journal description of this entry recorded at exactly that moment
    // (to the second). Throws rec_not_found_exception "Record Not Found :
    // attributes for inode <id>" when no row has that moment.
    std::string attributes_at(const date& moment);

    std::int64_t file_id() const { return file_id_; }
    std::int64_t parent_id() const { return parent_id_; }
    const std::string& name() const { return name_; }
    const std::string& mime_type() const { return mime_type_; }
    bool is_directory() const { return mime_type_ == directory_mime_type; }
    const std::string& attributes() const { return attributes_; }
    bool is_new_entry() const { return new_entry_; }

    std::uint64_t size() const { return size_; }
    // Records a new size, written by the next flush().
    void set_size(std::uint64_t size);

    // Dates set through these (date::set) are written by the next flush().
    date& creation_date() { return creation_date_; }
    date& last_access_date() { return last_access_date_; }
    date& modification_date() { return modification_date_; }
    const date& creation_date() const { return creation_date_; }
    const date& last_access_date() const { return last_access_date_; }
    const date& modification_date() const { return modification_date_; }

  private:
    void take_row(db_recordset& row);
    // Runs `read` with a reader of this vault; a damaged vault is named by
    // this entry's path.
    std::uint64_t read_named(const std::function<std::uint64_t(version_reader&)>& read);

    repository* repo_;
    std::string name_;
    std::int64_t parent_id_ = 0;
    std::int64_t file_id_ = 0;
    std::uint64_t size_ = 0;
    bool size_changed_ = false;
    bool new_entry_;
    std::string attributes_;
    std::string mime_type_;
    date creation_date_;
    date last_access_date_;
    date modification_date_;
};

}  // namespace tuv
