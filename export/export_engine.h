// The export procedure: writes a vault file, or every entry below a vault
// directory, to a local destination folder, reproducing the vault's tree
// there, as each file's latest version, its oldest version or all of its
// versions. Quillmark_Export runs it once per source argument; the explorer
// runs it for its export command and for checking out a folder.
//
// Local paths: the destination root followed by the entry's vault path, with
// the vault's separator turned into the local one. In all-versions mode each
// version goes to a file whose name carries the version's moment (see
// versioned_name()), and two lines per version go to the progress stream:
//   "date" + "YYYY-MM-DD HH:MM:SS"
//   "file" + the versioned local path
//
// Failures never leave the engine as exceptions of the tuv_error family; they
// are appended to "log.txt" in the destination root, in these forms:
//   file_not_found_exception:  "Exception: " + text
//                              "Filename: " + missing path
//                              "Parent ID: " + parent id
//   one version (all versions): "Exception: " + text + ". FileName: " + vault
//                              path + ". check-in time: " + YYYY-MM-DD HH:MM:SS
//   anything else:             "Exception: " + text
// A source that is not in the vault is logged in the file_not_found form
// and said on the error stream too. An error while exporting one file is
// logged and the export goes on with the next file; a version that cannot
// be written leaves its local file as it was. The first failure makes the
// destination root if the export has not made it yet. Log lines that the log
// file cannot take (its folder cannot be made, the disk is full, it is not a
// regular file or a link to one) go to the error stream instead, so no
// failure goes unsaid.
//
// Every line written, to the progress stream, the error stream or the log,
// shows control characters as pictures (core/base/control_pictures.h): a
// name, a path or a message that holds a line break still gives one line.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/vault/own_files.h"

namespace tuv {

class file_entry;
class file_writer;
class latest_blocks;
class repository;
class version_reader;
class tuv_error;

// Which versions of each file are written (the command line's values).
enum class version_mode { latest = 1, all = 2, oldest = 3 };

// Which entries directly below a source directory are written: its files,
// its subdirectories (each of them completely) or both.
enum class entry_filter { files = 1, directories = 2, both = 3 };

inline constexpr const char* export_log_name = "log.txt";

class export_engine {
  public:
    // One export of `source` (a vault path) below `destination_root`. The
    // repository and both streams are borrowed and must outlive the engine.
    // `progress` takes the lines of all-versions mode; `problems` the log
    // lines the log file cannot take and the sources not in the vault. The
    // log is opened for appending here.
    export_engine(repository& repo, std::string source, std::filesystem::path destination_root,
                  version_mode mode, entry_filter filter, std::ostream& progress,
                  std::ostream& problems);
    ~export_engine();
    export_engine(const export_engine&) = delete;
    export_engine& operator=(const export_engine&) = delete;

    // Exports the source. Every tuv_error is logged; other exceptions
    // (memory) propagate.
    void run();

    const std::filesystem::path& log_path() const { return log_path_; }

    // What could not be exported: logged errors and a source not in the
    // vault. 0 after a complete export.
    int failures() const { return failures_; }

  private:
    // `entry` is the directory at vault path `directory`.
    void export_tree(const file_entry& entry, const std::string& directory,
                     const std::filesystem::path& local, entry_filter filter);
    // `ahead` may hold the latest version's blocks (small files only).
    void export_file(file_entry& entry, const std::string& path, const std::filesystem::path& local,
                     latest_blocks* ahead = nullptr);
    void export_versions(file_entry& entry, const std::string& path,
                         const std::filesystem::path& local);
    std::filesystem::path local_path_of(const std::string& vault_path) const;

    // Writes the latest version through the file writer when it is small;
    // `path` names the file in what reading it may throw.
    void export_latest(file_entry& entry, const std::string& path,
                       const std::filesystem::path& local, latest_blocks* ahead);
    // Reads the blocks of the small files among `entries` from `first` on
    // (up to 64 of them) into `ahead`; returns the index after the last.
    std::size_t read_ahead(const std::vector<std::unique_ptr<file_entry>>& entries,
                           std::size_t first, latest_blocks& ahead);
    // Logs the failures of the files handed to the writer so far, so that
    // the log keeps the order of the files.
    void settle();
    void record_error(const tuv_error& error);
    void log_error(const tuv_error& error);
    void log_version_error(const tuv_error& error, const std::string& path,
                           const std::string& time_text);
    void open_log();
    // Appends each line, control characters shown as pictures, and a line
    // break.
    void write_log(std::initializer_list<std::string> lines);

    repository& repo_;
    std::string source_;
    std::filesystem::path destination_root_;
    std::filesystem::path log_path_;
    std::ofstream log_;
    version_mode version_mode_;
    entry_filter entry_filter_;
    std::ostream& progress_;
    std::ostream& problems_;
    file_writer* writer_ = nullptr;  // during a run in latest mode
    // Reads the small versions the writer decodes, keeping their containers
    // open from one file to the next (during a run in latest mode).
    version_reader* small_reader_ = nullptr;
    // The vault's own files, looked up at the run's first file for every
    // file it writes, so that each costs one look at its destination.
    own_files& own();
    std::optional<own_files> own_;
    int failures_ = 0;
};

// The local name of a file's version from `moment` (local calendar fields):
// the suffix "_YYYY-MM-DD HH-MM-SS" goes before the first "." of `name` that
// follows its leading dots, or at its end when there is none.
std::string versioned_name(const std::string& name, const std::tm& moment);

}  // namespace tuv
