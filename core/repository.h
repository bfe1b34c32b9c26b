// The process-wide repository object: the open vault database, its settings
// (read once, at construction) and the change journal.
//
// Programs get it through open_repository(); tests and tools that need a
// vault of their own may construct one directly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/settings.h"

namespace tuv {

class db;
class journal;
class progress_observer;

class repository {
  public:
    // Opens the database at `db_path` (which must exist), creates the
    // settings table when missing and reads every setting. Throws
    // db_exception when the file cannot be opened or is not a database,
    // rec_not_found_exception for a missing key, tuv_error for a value that
    // breaks the rules (validate()).
    explicit repository(const std::string& db_path);
    ~repository();
    repository(const repository&) = delete;
    repository& operator=(const repository&) = delete;

    db& database() { return *database_; }
    tuv::journal& journal() { return *journal_; }

    const std::string& path_separator() const { return path_separator_; }
    const std::string& data_directory() const { return data_directory_; }
    const chunk_settings& chunks() const { return chunks_; }
    std::uint32_t chunk_min_size() const { return chunks_.min_size; }
    std::uint32_t chunk_max_size() const { return chunks_.max_size; }
    std::uint32_t chunk_win_size() const { return chunks_.win_size; }
    std::uint32_t chunk_anchor() const { return chunks_.anchor; }
    // Capacity of a new container; absent in a vault that never stores
    // content (only the writer needs it, and fails then).
    const std::optional<std::uint64_t>& default_disk_size() const { return default_disk_size_; }

    // Non-owning; null unless the check-in program set one. The observer
    // must outlive its use by the repository.
    progress_observer* observer() const { return observer_; }
    void set_observer(progress_observer* observer) { observer_ = observer; }

  private:
    std::unique_ptr<db> database_;
    std::string path_separator_;
    std::string data_directory_;
    std::unique_ptr<tuv::journal> journal_;
    progress_observer* observer_ = nullptr;
    chunk_settings chunks_{};
    std::optional<std::uint64_t> default_disk_size_;
};

// The process's repository. The first call constructs it on `db_path`; every
// later call returns that same object whatever path it is given. When the
// first construction fails its exception propagates, and every later call
// returns nullptr: a process gets one attempt. Use from one thread.
repository* open_repository(const std::string& db_path);

}  // namespace tuv
