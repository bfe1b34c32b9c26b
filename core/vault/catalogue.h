// The catalogue: the vault's tree of directories and files. Paths become
// entries here, directories and files are made here, and a directory's
// children and its changes in a period are listed here.
//
// Vault paths are names joined by the vault's path separator; a full path
// begins with the separator, which alone names the root.
//
// The repository owns its catalogue (repository::catalogue()); the catalogue
// borrows the repository, whose database and journal it reads and writes
// and which the entries it makes borrow in turn.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tuv {

class date;
class file_entry;
class repository;

// One child of a directory that changed in a period, as changes_under gives it.
struct change_entry {
    int changetype = 0;      // the journal's kind of change
    std::string full_path;   // the child's full vault path
    std::uint64_t size = 0;  // the child's current size
    std::tm time{};          // when it changed (local time; unstored fields 0)
    std::string mime_type;
};

class catalogue {
  public:
    explicit catalogue(repository& repo) : repo_(repo) {}
    catalogue(const catalogue&) = delete;
    catalogue& operator=(const catalogue&) = delete;

    // The entry a path names. A full path is looked up from the root, each
    // name under the one before; a path without the leading separator has
    // its first name looked up under `parent_id`, or anywhere in the tree
    // when `parent_id` is 0. Where several entries share a name under one
    // parent, the one with the latest journal row wins, and the entry carries
    // that row's attributes. Throws file_not_found_exception naming the first
    // missing component and the parent it was looked up under.
    std::unique_ptr<file_entry> resolve(const std::string& path, std::int64_t parent_id = 0);

    // The entry named `name` directly under `parent_id` (anywhere in the
    // tree when it is 0; chosen as resolve() chooses), or null when there is
    // none: a check-in asks this of every
    // new file, and an exception per file would cost more than the look-up.
    std::unique_ptr<file_entry> find_child(const std::string& name, std::int64_t parent_id);

    // The entry with that id, without attributes. Throws
    // rec_not_found_exception when there is no such row.
    std::unique_ptr<file_entry> entry(std::int64_t file_id);

    // Adds a directory under `parent_id`, dated by `time` ("now" or
    // "YYYY-MM-DD HH:MM:SS"), with a journal row for it (created) and one
    // for its parent (modified), all or nothing. Returns its id. Throws
    // tuv_error for a name that is empty or holds the separator, and
    // invalid_date_exception for a bad time.
    std::int64_t create_directory(const std::string& name, std::int64_t parent_id,
                                  const std::string& time);
    std::int64_t create_directory(const std::string& name, std::int64_t parent_id,
                                  const date& when);

    // Adds a file row (no journal row: the check-in writes those). Returns
    // its id. Refuses names as create_directory does.
    std::int64_t create_file(const std::string& name, std::int64_t parent_id, std::uint64_t size,
                             const std::string& time, const std::string& mime_type);
    std::int64_t create_file(const std::string& name, std::int64_t parent_id, std::uint64_t size,
                             const date& when, const std::string& mime_type);
    // The same, handing back the new entry as its row now stands, without
    // reading the row again.
    std::unique_ptr<file_entry> create_file_entry(const std::string& name, std::int64_t parent_id,
                                                  std::uint64_t size, const date& when,
                                                  const std::string& mime_type);

    // Appends one entry per child of the directory at `full_path`, in the
    // order they were made; the entries carry no attributes. Throws
    // tuv_error "<path> not a directory" for a file.
    void list_directory(const std::string& full_path,
                        std::vector<std::unique_ptr<file_entry>>& out);
    // The same for a directory already found (a directory: not checked), so
    // a walk down a tree does not look each directory's path up again.
    void list_directory(const file_entry& directory, std::vector<std::unique_ptr<file_entry>>& out);

    // Appends one record per direct child of the directory at `full_path`
    // that changed in the period (see journal::get_journal_logs), in
    // ascending id order, each with its earliest change there; directories
    // are left out when `files_only` is set.
    void changes_under(const std::string& full_path, int from, int to, int level, int changetype,
                       bool files_only, std::vector<change_entry>& out);

  private:
    // The number of catalogue rows and their lowest and highest ids, read
    // again only when the database has changed since.
    struct id_span {
        std::int64_t count = 0;
        std::int64_t lowest = 0;
        std::int64_t highest = 0;
    };
    id_span catalogue_id_span();

    repository& repo_;
    id_span ids_;
    std::optional<std::pair<std::int64_t, std::int64_t>> ids_stamp_;
};

}  // namespace tuv
