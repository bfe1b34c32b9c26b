// The process-wide repository object: the open vault database, its settings
// (read once, at construction), and what works on them: the catalogue
// (core/vault/catalogue.h) and the change journal. A check-in is
// core/vault/checkin.h, a checkout core/vault/checkout.h.
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

namespace tuv {

class date;
class db;
class journal;
class progress_observer;

class repository {
  public:
    // read_only: nothing is ever written to the vault, and a vault the user
    // cannot write (a read-only mount, a read-only backup) can be opened.
    enum class access { read_write, read_only };

    // Opens the database at `db_path` (UTF-8; it must exist, or it is the
    // address of a database server, core/db/open_database.h) and reads every
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

    // The vault's tree of directories and files (core/vault/catalogue.h).
    tuv::catalogue& catalogue() { return *catalogue_; }

    // The first and last check-in moments of a file, or of the whole vault
    // for file id -1 (the epoch when there is none).
    date first_version_date(std::int64_t file_id);
    date last_version_date(std::int64_t file_id);

    // Checks the local file `source` in as a new version of the vault file
    // of the same name in `directory`, dated `when` ("YYYY-MM-DD HH:MM:SS"
    // or "now"), on its own: one transaction and one sync, committed before
    // it returns. See core/vault/checkin.h for what a check-in does and
    // refuses; it is all or nothing, and on any failure the error is
    // raised. `observer` (may be null) hears the progress after every chunk
    // and of waits for the database.
    checkin_result checkin_file(const std::filesystem::path& source, const std::string& directory,
                                const std::string& when, const std::string& mime_type,
                                const std::string& description,
                                progress_observer* observer = nullptr);

    // What the storage layer needs of this vault (its database, file system
    // and folders), for the block map, containers and version reads.
    vault_storage storage() {
        return {*database_,
                *files_,
                containers(),
                folder_,
                data_directory_,
                default_disk_size_,
                compression_.level,
                headerless_frames_,
                shared_frames_,
                stored_form_columns_,
                frame_offset_column_,
                server_containers_ != nullptr};
    }

    // Where container and local files are read and written; the machine's
    // own file system unless a test put another in place (borrowed, must
    // outlive its use).
    file_system& files() const { return *files_; }
    void set_file_system(file_system& files) { files_ = &files; }
    // Where the containers are read and written: files() for a vault on
    // this machine, the database's large objects for one on a server.
    file_system& containers() const {
        return server_containers_ ? *server_containers_ : *files_;
    }

  private:
    std::unique_ptr<db> database_;
    std::string path_separator_;
    std::filesystem::path folder_;
    std::filesystem::path data_directory_;
    std::unique_ptr<tuv::journal> journal_;
    std::unique_ptr<tuv::catalogue> catalogue_;
    file_system* files_;
    std::unique_ptr<file_system> server_containers_;
    chunk_settings chunks_{};
    std::optional<std::uint64_t> default_disk_size_;
    compression_setting compression_;
    bool compression_set_ = false;
    bool headerless_frames_ = false;
    bool shared_frames_ = false;
    bool stored_form_columns_ = false;
    bool frame_offset_column_ = false;
};

// The process's repository, open for reading and writing. The first call
// constructs it on `db_path`; every later call returns that same object
// whatever path it is given. When the first construction fails its exception
// propagates, and every later call returns nullptr: a process gets one
// attempt. Use from one thread.
repository* open_repository(const std::string& db_path);

}  // namespace tuv
