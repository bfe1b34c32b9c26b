// The process-wide repository object: the open vault database, its settings
// (read once, at construction) and the change journal.
//
// Programs get it through open_repository(); tests and tools that need a
// vault of their own may construct one directly.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/db/settings.h"
#include "core/storage/file_io.h"
#include "core/storage/vault_storage.h"
#include "core/vault/catalogue.h"
#include "core/vault/checkin.h"
#include "core/vault/checkout.h"

namespace tuv {

class block_writer;
class chunk_pipeline;
class date;
class db;
class file_entry;
class journal;
class progress_observer;

class repository {
  public:
    // read_only: nothing is ever written to the vault, and a vault the user
    // cannot write (a read-only mount, a read-only backup) can be opened.
    enum class access { read_write, read_only };

    // Opens the database at `db_path` (which must exist) and reads every
    // setting. Throws db_exception when the file cannot be opened or is not
    // a database, tuv_error "<path> is not a Quillmark vault: it has no
    // settings table", rec_not_found_exception for a missing key, tuv_error
    // for a value that breaks the rules (validate()).
    explicit repository(const std::string& db_path, access mode = access::read_write);
    ~repository();
    repository(const repository&) = delete;
    repository& operator=(const repository&) = delete;

    db& database() { return *database_; }
    tuv::journal& journal() { return *journal_; }

    const std::string& path_separator() const { return path_separator_; }
    // The vault's folder: the folder of its database file, absolute. Paths
    // the vault stores are relative to it (core/vault_folder.h).
    const std::filesystem::path& folder() const { return folder_; }
    // The folder of the container files, resolved against folder().
    const std::filesystem::path& data_directory() const { return data_directory_; }
    const chunk_settings& chunks() const { return chunks_; }
    std::uint32_t chunk_min_size() const { return chunks_.min_size; }
    std::uint32_t chunk_max_size() const { return chunks_.max_size; }
    std::uint32_t chunk_win_size() const { return chunks_.win_size; }
    std::uint32_t chunk_anchor() const { return chunks_.anchor; }
    // Capacity of a new container; absent in a vault that never stores
    // content (only the writer needs it, and fails then).
    const std::optional<std::uint64_t>& default_disk_size() const { return default_disk_size_; }
    // How new chunks are stored. A vault made before compression has no
    // such setting (compression_set() is false) and stores them raw.
    compression_setting compression() const { return compression_; }
    bool compression_set() const { return compression_set_; }

    // --- The catalogue ---------------------------------------------------
    // Vault paths are names joined by path_separator(); a full path begins
    // with the separator, which alone names the root.

    // The entry a path names. A full path is looked up from the root, each
    // name under the one before; a path without the leading separator has
    // its first name looked up under `parent_id`, or anywhere in the tree
    // when `parent_id` is 0. Where several entries share a name under one
    // parent, the one with the latest journal row wins, and the entry carries
    // that row's attributes. Throws file_not_found_exception naming the first
    // missing component and the parent it was looked up under.
    std::unique_ptr<file_entry> resolve(const std::string& path, std::int64_t parent_id = 0);

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

    // Appends one entry per child of the directory at `full_path`, in the
    // order they were made; the entries carry no attributes. Throws
    // tuv_error "<path> not a directory" for a file.
    void list_directory(const std::string& full_path,
                        std::vector<std::unique_ptr<file_entry>>& out);

    // Appends one record per direct child of the directory at `full_path`
    // that changed in the period (see journal::get_journal_logs), in
    // ascending id order, each with its earliest change there; directories
    // are left out when `files_only` is set.
    void changes_under(const std::string& full_path, int from, int to, int level, int changetype,
                       bool files_only, std::vector<change_entry>& out);

    // --- Reading versions ---------------------------------------------------

    // Writes the version of the vault file `source` (a full vault path) at
    // the moment `when` ("now" or "YYYY-MM-DD HH:MM:SS") to the local file
    // `destination`, replacing it; a symbolic link (chain) to a regular file
    // stays, and the file it ends at is replaced. Returns the bytes written.
    // Throws, before anything local is made: file_not_found_exception for a
    // source not in the vault, invalid_date_exception for a bad date,
    // tuv_error "Cannot write <destination>: it is not a regular file" for a
    // destination that exists as anything else (folder, device, FIFO,
    // socket) and "Cannot write <destination>: it is a symbolic link to a
    // file that does not exist" for a dangling link. Then tuv_error
    // "Couldn't open <destination>: <the system's reason>" when the folder
    // cannot take the file, and the reading errors of version_reader; on
    // any failure the destination is left as it was.
    // `sync`: durable waits until the file is on disk; an export of many
    // files leaves that to the system, as a copy does.
    std::uint64_t checkout(const std::string& source, const std::filesystem::path& destination,
                           const std::string& when, checkout_sync sync = checkout_sync::durable);
    std::uint64_t checkout(const std::string& source, const std::filesystem::path& destination,
                           const date& when, checkout_sync sync = checkout_sync::durable);

    // The first and last check-in moments of a file, or of the whole vault
    // for file id -1 (the epoch when there is none).
    date first_version_date(std::int64_t file_id);
    date last_version_date(std::int64_t file_id);

    // --- Search -----------------------------------------------------------

    // Appends one entry per file that the search format and its arguments
    // match, in ascending id order (see core/search.h for the language).
    void search(std::vector<std::unique_ptr<file_entry>>& out, const std::string& format,
                const std::vector<std::string>& arguments);

    // --- Check-in ---------------------------------------------------------

    // Stores the local file `source` as a new version of the vault file of
    // the same name in `directory` (a full vault path; "" or the separator
    // for the root), creating the directories and the file entry that are
    // missing, dated `when` ("YYYY-MM-DD HH:MM:SS" or "now"), with
    // `description` in its journal row. One transaction: on any failure
    // nothing of the file is committed, container space written for it is
    // given back, and the error is raised. Reports progress to observer()
    // after every chunk.
    //
    // A file's versions must follow each other in time (the block map
    // dates them): a moment at or before the file's latest version is
    // refused with tuv_error "Cannot check in <source> as <vault path>: its
    // latest version is dated <latest>, and a new version must be later
    // (asked for <moment>)", except that "now" then takes the second after
    // the latest version (result.moved). A source that is not a regular
    // file is refused: "Cannot check in <source>: it is not a regular file",
    // and so is one of the vault's own files (its database, a container):
    // "Cannot check in <source>: it is one of the vault's own files".
    checkin_result checkin_file(const std::filesystem::path& source, const std::string& directory,
                                const std::string& when, const std::string& mime_type,
                                const std::string& description);

    // What the storage layer needs of this vault (its database, file system
    // and folders), for the block map, containers and version reads.
    vault_storage storage() {
        return {*database_,
                *files_,
                folder_,
                data_directory_,
                default_disk_size_,
                compression_.level,
                headerless_frames_,
                stored_form_columns_};
    }

    // True when the local `path` is one of the vault's own files: its
    // database (with its log files) or anything in its data folder. They
    // change while a check-in writes them, so they are never checked in,
    // nor written over by a checkout.
    bool is_own_file(const std::filesystem::path& path) const;

    // Where container and local files are read and written; the machine's
    // own file system unless a test put another in place (borrowed, must
    // outlive its use).
    file_system& files() const { return *files_; }
    void set_file_system(file_system& files) { files_ = &files; }

    // Non-owning; null unless the check-in program set one. The observer
    // must outlive its use by the repository. The database tells it while
    // a statement waits for a lock (progress_observer.h).
    progress_observer* observer() const { return observer_; }
    void set_observer(progress_observer* observer);

  private:
    friend class checkin_group;

    // The vault's own files (see is_own_file) by identity, looked up once
    // for the check-ins of a run instead of for each source. A log file
    // SQLite has not made when they are taken is looked for at each check.
    struct own_files {
        file_identity data_folder;
        std::vector<file_identity> present;
        std::vector<std::filesystem::path> absent;
        // The folder of the source checked last, and whether it is the data
        // folder: files come folder by folder.
        std::filesystem::path last_folder;
        bool last_folder_is_data = false;
    };
    own_files find_own_files();

    // The steps of a check-in (checkin_file). First, before anything is
    // written: refuses a bad date, a bad name, a source that is not a
    // regular file or is one of the vault's own, and opens it (tuv_error
    // "Couldn't open file: <source>" when it cannot be opened).
    std::unique_ptr<file_handle> open_checkin_source(const std::filesystem::path& source,
                                                     const std::string& when, own_files& own);
    // Then its chunks are set on their way (reading starts at once, on a
    // thread of the pipeline's own; `input` must outlive the pipeline).
    std::unique_ptr<chunk_pipeline> start_chunks(file_handle& input);
    // Last, inside the caller's transaction: the rows of the new version,
    // its chunks, taken from `chunks`, recorded through `writer`, whose
    // container bytes the caller syncs before it commits. `known` holds the
    // directories found or made so far in the transaction, and takes those
    // of this path.
    checkin_result checkin_into(file_handle& input, chunk_pipeline& chunks,
                                const std::filesystem::path& source, const std::string& directory,
                                const std::string& when, const std::string& mime_type,
                                const std::string& description, block_writer& writer,
                                known_directories& known);

    // The number of catalogue rows and their lowest and highest ids, read
    // again only when the database has changed since.
    struct catalogue_ids {
        std::int64_t count = 0;
        std::int64_t lowest = 0;
        std::int64_t highest = 0;
    };
    catalogue_ids catalogue_id_span();

    std::uint64_t write_version(file_entry& entry, const std::filesystem::path& destination,
                                const date& moment, checkout_sync sync);

    std::unique_ptr<db> database_;
    std::string path_separator_;
    std::filesystem::path folder_;
    std::filesystem::path data_directory_;
    std::unique_ptr<tuv::journal> journal_;
    progress_observer* observer_ = nullptr;
    file_system* files_;
    chunk_settings chunks_{};
    std::optional<std::uint64_t> default_disk_size_;
    compression_setting compression_;
    bool compression_set_ = false;
    bool headerless_frames_ = false;
    bool stored_form_columns_ = false;
    catalogue_ids catalogue_ids_;
    std::optional<std::pair<std::int64_t, std::int64_t>> catalogue_ids_stamp_;
};

// The process's repository, open for reading and writing. The first call
// constructs it on `db_path`; every later call returns that same object
// whatever path it is given. When the first construction fails its exception
// propagates, and every later call returns nullptr: a process gets one
// attempt. Use from one thread.
repository* open_repository(const std::string& db_path);

}  // namespace tuv
